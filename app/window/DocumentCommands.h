#pragma once
// Undo and redo for the slideshow document and the window's output choices.
//
// The history listens to the document: every change made through the document's functions is
// recorded as a step that knows how to make and unmake itself (the slides inserted or removed,
// the move, the old and new values of edited slides, the old and new soundtracks, output
// choices or whole content). The steps of one user action become one QUndoCommand on the
// history's QUndoStack:
//   - the changes inside a TNamedEdit scope (the picture list's edits open one), or
//   - the changes made in one turn of the event loop outside any scope (the slide panel, the
//     framing dialog, the clip panel, Clear), pushed when the loop turns again or before an undo.
// A command without a name of its own is named after what its steps did ("Remove 3 Slides",
// "Change Caption"). Undoing and redoing go through the document's functions too, so every view
// of the document hears of them as of any other change, and are not recorded again.
//
// The window's output choices live in its controls until a project is saved; a window-choices
// step holds them before and after (as TSlideshowSettings) and puts them back through Apply.

#include "app/document/SlideshowDocument.h"

#include <QObject>
#include <QString>
#include <QUndoCommand>
#include <QUndoStack>

#include <functional>
#include <vector>

// One recorded change and what it takes to make it again or take it back.
struct TDocumentStep {
    enum EKind { Inserted, Removed, Moved, Edited, Soundtracks, Output, Reset, Choices };
    EKind Kind = Reset;
    int First = 0, Count = 0, Destination = 0;
    std::vector<TSlide> OldSlides, NewSlides;             // Inserted: New; Removed: Old; Edited: both
    std::vector<TSoundtrack> OldSoundtracks, NewSoundtracks;
    TSlideshowSettings OldOutput, NewOutput;              // Output and Choices
    TSlideshowData OldData, NewData;                      // Reset
};

// The name a user reads for what steps did ("Remove 3 Slides").
QString DocumentStepsName(const std::vector<TDocumentStep>& steps);

class TDocumentHistory : public QObject {
    Q_OBJECT
public:
    explicit TDocumentHistory(TSlideshowDocument& document, QObject* parent = nullptr);
    ~TDocumentHistory() override;

    QUndoStack& Stack() { return stack_; }
    TSlideshowDocument& Document() { return document_; }

    // Puts window choices back into the window's controls (undo and redo of Choices steps).
    std::function<void(const TSlideshowSettings&)> ApplyChoices;
    // Records a change of the window's choices (done already) as a step of the current action.
    void RecordChoices(const TSlideshowSettings& before, const TSlideshowSettings& after);

    // Opens and closes a named action (TNamedEdit does both); an empty name: named by its steps.
    // Scopes nest: the outermost one makes the command.
    void Begin(const QString& name);
    void End();
    // Pushes the changes recorded so far as one command (nothing when there are none).
    void Flush();
    // Drops what is recorded but not pushed yet, of the kinds given (all when empty).
    void DropPending(const std::vector<TDocumentStep::EKind>& kinds = {});
    // Forgets every command (a new or opened project); the stack is clean then.
    void Clear();
    // True while a command is being undone or redone.
    bool Applying() const { return applying_; }

    void Undo();
    void Redo();

    // Makes and takes back steps on the document (a command's redo and undo).
    void Apply(const std::vector<TDocumentStep>& steps, bool forward);

signals:
    // After an undo, a redo or a push: the document or the window's choices may have changed.
    void Changed();

private:
    void Before(const TDocumentChange& change);
    void After(const TDocumentChange& change);
    void Record(TDocumentStep step);
    void FlushLater();

    TSlideshowDocument& document_;
    QUndoStack stack_;
    int subscription_ = 0;
    bool applying_ = false;
    bool flushQueued_ = false;
    int depth_ = 0;
    QString name_;
    std::vector<TDocumentStep> pending_;
    TDocumentStep open_; // the step between the document's Before and After
};

// The changes made while it lives are one command, named name (empty: by its steps). A null
// history makes it do nothing.
class TNamedEdit {
public:
    TNamedEdit(TDocumentHistory* history, const QString& name) : history_(history) {
        if (history_)
            history_->Begin(name);
    }
    ~TNamedEdit() {
        if (history_)
            history_->End();
    }
    TNamedEdit(const TNamedEdit&) = delete;
    TNamedEdit& operator=(const TNamedEdit&) = delete;

private:
    TDocumentHistory* history_;
};

// A command of the history: its steps were done when it was pushed, so its first redo does nothing.
class TDocumentCommand : public QUndoCommand {
public:
    TDocumentCommand(TDocumentHistory& history, std::vector<TDocumentStep> steps, const QString& name);
    void undo() override;
    void redo() override;
    // Edits of the same slides with the same name follow each other as one (typing a caption,
    // stepping a hold).
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override;
    const std::vector<TDocumentStep>& Steps() const { return steps_; }

private:
    TDocumentHistory& history_;
    std::vector<TDocumentStep> steps_;
    bool done_ = true;
};
