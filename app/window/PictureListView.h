#pragma once
// The picture list the user sees: thumbnails and file names of the slides in order, one or many
// selected. Rows are dragged to a new place, files and folders dropped from the file manager are
// added where they are dropped; both go through the model (TPictureListModel).

#include <QList>
#include <QListView>

class TPictureListModel;

class TPictureListView : public QListView {
    Q_OBJECT
public:
    TPictureListView(TPictureListModel& model, QWidget* parent = nullptr);

    // The selected rows, in list order.
    QList<int> SelectedRows() const;
    // Selects exactly these rows (the first becomes the current one).
    void SelectRows(const QList<int>& rows);
    // The row a drop at pos inserts before (the row count for the end of the list).
    int DropRowAt(const QPoint& pos) const;

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TPictureListModel& model_;
};
