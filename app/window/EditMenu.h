#pragma once
// The Edit menu: Undo and Redo over the slideshow document and the window's output choices
// (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y), each entry naming what it undoes or redoes. The window's
// unsaved mark follows the history: undoing back to the state last saved clears it. Saving marks
// that state; a new or opened project starts an empty history.
//
// The window's choices (the output options, the music) are watched through their controls'
// signals: what one turn of the event loop changed is one step, taken back by showing the
// earlier choices in the controls as opening a project does.

#include "app/SlideshowJob.h"

#include <QObject>

class QAction;
class QMenu;
class TDocumentHistory;
class QWidget;
class TWindowBinder;
class TProjectMenu;
class TSlideEditor;

class TEditMenu : public QObject {
    Q_OBJECT
public:
    TEditMenu(QWidget& window, TSlideEditor& slides, TProjectMenu& project, TWindowBinder& binder);
    ~TEditMenu() override;

    QAction* actUndo;
    QAction* actRedo;
    void FillMenu(QMenu* menu);
    TDocumentHistory& History() { return *history_; }

    // From the window's first showing on, changes of its choices are recorded.
    void WindowShown();
    // The window's choices as a project keeps them (no pictures).
    TSlideshowSettings WindowChoices() const;

signals:
    // The window's output choices or music changed (by the user, an undo or a redo).
    void WindowChoicesChanged();

private:
    void ChoiceChanged();
    void TakeChoices();
    void ShowChoices(const TSlideshowSettings& choices);
    void UpdateActions();
    void FollowCleanState();

    QWidget& window_;
    TSlideEditor& slides_;
    TProjectMenu& project_;
    TWindowBinder& binder_;
    TDocumentHistory* history_;
    TSlideshowSettings choices_;
    bool watching_ = false;
    bool checkQueued_ = false;
};
