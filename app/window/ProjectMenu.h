#pragma once
// The File menu: New, Open, Save, Save As and the recently used projects, the window caption
// with the project's name and an unsaved mark, and the question before unsaved work is lost.
//
// A project is the slideshow document saved to a ".pixaroll" file: the slides, the soundtrack
// and the window's output choices. Opening one fills the window's controls as if the user had
// chosen them (so the settings file, which Start reads, holds them too). The window's caption
// stays the classic one until there is a project to name or unsaved work: then it reads
// "<name>* - <classic caption>", the "*" while changes are unsaved.

#include "app/document/SlideshowDocument.h"
#include "app/settings/GlobalObject.h"
#include "app/settings/IniFile.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QWidget;
class TSlideEditor;
class TWindowBinder;
class TWindowServices;

// Reading and writing project files. Read fills data (and names what is wrong in error);
// Write never leaves a half-written file behind.
struct TProjectFileIO {
    std::function<bool(const std::string& file, TSlideshowData& data, std::string& error)> Read;
    std::function<bool(const std::string& file, const TSlideshowData& data, std::string& error)> Write;
};

class TProjectMenu : public QObject {
    Q_OBJECT
public:
    // window: the main window (dialogs, caption, keys); binder: its output choices; global: the
    // program's title, version and settings file.
    TProjectMenu(QWidget& window, TSlideEditor& slides, TWindowBinder& binder, TWindowServices& services,
                 const TGlobalObject& global);
    ~TProjectMenu() override;

    QAction* actNew;
    QAction* actOpen;
    QAction* actSave;
    QAction* actSaveAs;
    QMenu* mnuRecent = nullptr;
    void FillMenu(QMenu* menu);

    // Called at the end of the window's first showing: from now on changes of its choices count
    // as changes of the project.
    void WindowShown();

    // True when there is work a close would lose: changes since the last save of a project, or
    // slides never saved.
    bool HasUnsavedWork() const;
    // Asks about unsaved work (Save, Discard, Cancel); true when the window may go on to close.
    bool MayClose();

    bool New();
    bool Open();
    bool OpenFile(const QString& file);
    bool Save();
    bool SaveAs();
    bool SaveTo(const QString& file);

    // The projects opened or saved last, newest first (kept in the settings file, section "options").
    QStringList RecentProjects() const;
    static constexpr int MaxRecent = 8;

    // The window caption for the project's state.
    QString Caption() const;
    void UpdateCaption();

    // The file format's reading and writing.
    TProjectFileIO IO;

signals:
    void Saved();    // the document was saved to its project file
    void Replaced(); // a new or opened project took the document's place

private:
    bool MayDiscard(const QString& question);
    // Offers to look for the pictures of an opened project that are not where it says.
    void Relink();
    void ChoicesChanged();
    // The window's choices into the document.
    void TakeWindowChoices();
    TIniFile Ini() const;
    void RememberRecent(const QString& file);
    void ForgetRecent(const QString& file);
    void FillRecentMenu();

    QWidget& window_;
    TSlideEditor& slides_;
    TWindowBinder& binder_;
    TWindowServices& services_;
    const TGlobalObject& global_;
    int subscription_ = 0;
    bool watching_ = false;
    bool applying_ = false;
};
