#pragma once
// Everything the main window asks of the desktop that a test must be able to answer: message
// boxes, the open-file dialog, the folder chooser and opening addresses in other programs.
// TWindowServices is the real desktop; tests derive from it and answer themselves.

#include <QString>
#include <QStringList>

class QWidget;

class TWindowServices {
public:
    virtual ~TWindowServices() = default;

    // "Do you really want to exit?"-style question with Yes and No; true for Yes.
    virtual bool Question(QWidget* parent, const QString& caption, const QString& text);
    // OK boxes with a warning, exclamation or information icon.
    virtual void Warning(QWidget* parent, const QString& caption, const QString& text);
    virtual void Exclamation(QWidget* parent, const QString& caption, const QString& text);
    virtual void Information(QWidget* parent, const QString& caption, const QString& text);

    // The open-file dialog. filter is "Description (*.a *.b)"; returns the chosen files in the
    // dialog's order, empty when cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const QString& filter);
    virtual QString OpenFile(QWidget* parent, const QString& filter);

    // Unsaved changes: save them, give them up, or stay (close nothing).
    enum class ESaveAnswer { Save, Discard, Cancel };
    virtual ESaveAnswer SaveChanges(QWidget* parent, const QString& caption, const QString& text);
    // The project file dialogs; empty when cancelled. suggested is the name offered for saving.
    virtual QString OpenProjectFile(QWidget* parent, const QString& filter);
    virtual QString SaveProjectFile(QWidget* parent, const QString& filter, const QString& suggested);
    // A folder to look in (relinking moved pictures); empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start);

    // Shows a folder in the file manager, plays a file in the desktop's player or shows a web
    // page in the browser; false when the desktop has no program that opens it.
    virtual bool OpenUrl(const QString& address);
};
