#pragma once
// The folder chooser behind "Brows": a tree of folders, OK only where a folder is selected, and
// no folder on a read-only file system (a CD-ROM or any other medium the video cannot be
// written to).

#include <QDialog>

#include <functional>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;
class TWindowServices;

class TfmDirectory : public QDialog {
    Q_OBJECT
public:
    TfmDirectory(TWindowServices& services, const QString& appTitle, QWidget* parent = nullptr);

    QLabel* lbl1;
    QTreeView* stview_selectdir;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    // The folder the user confirmed; empty after Cancel or a refused choice.
    QString SelectedFolder() const { return selectedFolder_; }
    // The folder selected when the dialog shows (the home folder when it does not exist).
    void SetStartFolder(const QString& folder) { startFolder_ = folder; }
    // Selects folder in the tree and applies the click rule.
    void SelectFolder(const QString& folder);
    QString CurrentFolder() const;

    // Whether a folder is on a read-only file system; replaceable for tests.
    std::function<bool(const QString&)> IsReadOnly;

public slots:
    void stview_selectdirClick();
    void btnOkClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TWindowServices& services_;
    QString appTitle_;
    QFileSystemModel* model_;
    QString selectedFolder_;
    QString startFolder_;
};
