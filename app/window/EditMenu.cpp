#include "app/window/EditMenu.h"

#include "app/window/DocumentCommands.h"
#include "app/window/PictureListModel.h"
#include "app/window/ProjectMenu.h"
#include "app/window/SlideEditor.h"
#include "app/window/WindowBinder.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

TEditMenu::TEditMenu(QWidget& window, TSlideEditor& slides, TProjectMenu& project, TWindowBinder& binder)
    : QObject(&window), window_(window), slides_(slides), project_(project), binder_(binder),
      history_(new TDocumentHistory(slides.Document(), this)) {
    slides_.Model().History = history_;
    history_->ApplyChoices = [this](const TSlideshowSettings& choices) { ShowChoices(choices); };

    actUndo = new QAction("&Undo", this);
    actUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    actRedo = new QAction("&Redo", this);
    actRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    // Window-wide: the list, the panel's fields and the buttons all take them.
    for (QAction* a : {actUndo, actRedo}) {
        a->setShortcutContext(Qt::WindowShortcut);
        window_.addAction(a);
    }
    connect(actUndo, &QAction::triggered, this, [this] {
        TakeChoices();
        history_->Undo();
    });
    connect(actRedo, &QAction::triggered, this, [this] {
        TakeChoices();
        history_->Redo();
    });
    QUndoStack& stack = history_->Stack();
    connect(&stack, &QUndoStack::indexChanged, this, [this] { UpdateActions(); });
    connect(&stack, &QUndoStack::cleanChanged, this, [this] { FollowCleanState(); });
    connect(history_, &TDocumentHistory::Changed, this, [this] {
        UpdateActions();
        FollowCleanState();
    });
    // A saved project is the clean state; what saving copied from the controls into the document
    // is no change of its own.
    connect(&project_, &TProjectMenu::Saved, this, [this] {
        TakeChoices();
        history_->DropPending({TDocumentStep::Output, TDocumentStep::Soundtracks});
        history_->Flush();
        history_->Stack().setClean();
    });
    connect(&project_, &TProjectMenu::Replaced, this, [this] {
        history_->Clear();
        choices_ = WindowChoices();
    });
    UpdateActions();
}

TEditMenu::~TEditMenu() { slides_.Model().History = nullptr; }

void TEditMenu::FillMenu(QMenu* menu) {
    menu->addAction(actUndo);
    menu->addAction(actRedo);
}

TSlideshowSettings TEditMenu::WindowChoices() const {
    TSlideshowSettings choices = binder_.Read();
    choices.Pictures.clear();
    return choices;
}

void TEditMenu::WindowShown() {
    if (watching_)
        return;
    watching_ = true;
    choices_ = WindowChoices();
    connect(&binder_, &TWindowBinder::AnyChoiceChanged, this, &TEditMenu::ChoiceChanged);
    binder_.WatchChoices();
}

void TEditMenu::ChoiceChanged() {
    // A control's own handler may store the choice after this signal: look once the turn is over.
    if (checkQueued_)
        return;
    checkQueued_ = true;
    QMetaObject::invokeMethod(this, [this] {
        checkQueued_ = false;
        TakeChoices();
    }, Qt::QueuedConnection);
}

void TEditMenu::TakeChoices() {
    if (!watching_ || history_->Applying())
        return;
    const TSlideshowSettings now = WindowChoices();
    if (now == choices_)
        return;
    history_->RecordChoices(choices_, now);
    choices_ = now;
    emit WindowChoicesChanged();
}

void TEditMenu::ShowChoices(const TSlideshowSettings& choices) {
    binder_.Show(choices);
    binder_.ShowMusic(QString::fromStdString(choices.Audio), choices, choices.MoreAudio);
    choices_ = WindowChoices();
    emit WindowChoicesChanged();
}

void TEditMenu::UpdateActions() {
    const QUndoStack& stack = history_->Stack();
    actUndo->setEnabled(stack.canUndo());
    actRedo->setEnabled(stack.canRedo());
    actUndo->setText(stack.canUndo() ? "&Undo " + stack.undoText() : QString("&Undo"));
    actRedo->setText(stack.canRedo() ? "&Redo " + stack.redoText() : QString("&Redo"));
}

void TEditMenu::FollowCleanState() {
    slides_.Document().SetModified(!history_->Stack().isClean());
    project_.UpdateCaption();
}
