#include "app/window/DocumentCommands.h"

#include <QMetaObject>

#include <algorithm>

namespace {
QString Slides(int n) { return n == 1 ? QString("1 Slide") : QString("%1 Slides").arg(n); }

// What an edit of slides changed, as the verb of its name.
QString EditName(const std::vector<TDocumentStep>& steps, int slides) {
    bool hold = false, effect = false, caption = false, motion = false, clip = false, picture = false;
    for (const TDocumentStep& s : steps)
        for (std::size_t i = 0; i < s.OldSlides.size() && i < s.NewSlides.size(); ++i) {
            const TSlide& a = s.OldSlides[i];
            const TSlide& b = s.NewSlides[i];
            hold |= a.HoldSeconds != b.HoldSeconds;
            effect |= a.Effect != b.Effect;
            caption |= a.Caption != b.Caption || a.CaptionDateTaken != b.CaptionDateTaken;
            motion |= !(a.Motion == b.Motion);
            clip |= !(a.Clip == b.Clip);
            picture |= a.Picture != b.Picture;
        }
    const int kinds = int(hold) + int(effect) + int(caption) + int(motion) + int(clip) + int(picture);
    if (kinds != 1)
        return "Edit " + Slides(slides);
    const QString what = hold ? "Change Hold" : effect ? "Change Effect" : caption ? "Change Caption"
                       : motion ? "Change Framing" : clip ? "Change Clip" : "Change Picture";
    return slides == 1 ? what : what + " of " + Slides(slides);
}

bool MusicDiffers(const TSlideshowSettings& a, const TSlideshowSettings& b) {
    return a.Audio != b.Audio || a.MoreAudio != b.MoreAudio || a.LoopMusic != b.LoopMusic ||
           a.FadeInSeconds != b.FadeInSeconds || a.FadeOutSeconds != b.FadeOutSeconds || a.Loudness != b.Loudness ||
           a.FitToMusic != b.FitToMusic || a.Beats != b.Beats;
}
} // namespace

QString DocumentStepsName(const std::vector<TDocumentStep>& steps) {
    if (steps.empty())
        return "Change";
    const auto only = [&](TDocumentStep::EKind kind) {
        return std::all_of(steps.begin(), steps.end(), [&](const TDocumentStep& s) { return s.Kind == kind; });
    };
    int count = 0;
    for (const TDocumentStep& s : steps)
        count += s.Count;
    if (only(TDocumentStep::Inserted))
        return "Add " + Slides(count);
    if (only(TDocumentStep::Removed))
        return "Remove " + Slides(count);
    if (only(TDocumentStep::Moved))
        return "Move " + Slides(count);
    if (only(TDocumentStep::Edited)) {
        std::vector<int> rows;
        for (const TDocumentStep& s : steps)
            for (int i = 0; i < s.Count; ++i)
                rows.push_back(s.First + i);
        std::sort(rows.begin(), rows.end());
        return EditName(steps, int(std::unique(rows.begin(), rows.end()) - rows.begin()));
    }
    if (only(TDocumentStep::Soundtracks))
        return "Change Music";
    if (only(TDocumentStep::Choices) || only(TDocumentStep::Output)) {
        for (const TDocumentStep& s : steps)
            if (MusicDiffers(s.OldOutput, s.NewOutput))
                return "Change Music";
        return "Change Output Choices";
    }
    if (only(TDocumentStep::Reset))
        return "Replace Slideshow";
    return "Edit Slideshow";
}

TDocumentHistory::TDocumentHistory(TSlideshowDocument& document, QObject* parent)
    : QObject(parent), document_(document) {
    subscription_ = document_.Subscribe([this](const TDocumentChange& c) { Before(c); },
                                        [this](const TDocumentChange& c) { After(c); });
}

TDocumentHistory::~TDocumentHistory() { document_.Unsubscribe(subscription_); }

void TDocumentHistory::Before(const TDocumentChange& change) {
    if (applying_)
        return;
    const std::vector<TSlide>& slides = document_.Slides();
    TDocumentStep step;
    step.First = change.First;
    step.Count = change.Count;
    step.Destination = change.Destination;
    switch (change.Kind) {
    case TDocumentChange::SlidesInserted: step.Kind = TDocumentStep::Inserted; break;
    case TDocumentChange::SlidesRemoved:
        step.Kind = TDocumentStep::Removed;
        step.OldSlides.assign(slides.begin() + change.First, slides.begin() + change.First + change.Count);
        break;
    case TDocumentChange::SlidesMoved: step.Kind = TDocumentStep::Moved; break;
    case TDocumentChange::SlidesEdited:
        step.Kind = TDocumentStep::Edited;
        step.OldSlides.assign(slides.begin() + change.First, slides.begin() + change.First + change.Count);
        break;
    case TDocumentChange::SoundtracksChanged:
        step.Kind = TDocumentStep::Soundtracks;
        step.OldSoundtracks = document_.Soundtracks();
        break;
    case TDocumentChange::OutputChanged:
        step.Kind = TDocumentStep::Output;
        step.OldOutput = document_.Output();
        break;
    case TDocumentChange::Reset:
        step.Kind = TDocumentStep::Reset;
        step.OldData = document_.Data();
        break;
    }
    open_ = std::move(step);
}

void TDocumentHistory::After(const TDocumentChange&) {
    if (applying_)
        return;
    TDocumentStep step = std::move(open_);
    const std::vector<TSlide>& slides = document_.Slides();
    switch (step.Kind) {
    case TDocumentStep::Inserted:
    case TDocumentStep::Edited:
        step.NewSlides.assign(slides.begin() + step.First, slides.begin() + step.First + step.Count);
        break;
    case TDocumentStep::Soundtracks: step.NewSoundtracks = document_.Soundtracks(); break;
    case TDocumentStep::Output: step.NewOutput = document_.Output(); break;
    case TDocumentStep::Reset: step.NewData = document_.Data(); break;
    default: break;
    }
    Record(std::move(step));
}

void TDocumentHistory::RecordChoices(const TSlideshowSettings& before, const TSlideshowSettings& after) {
    if (applying_ || before == after)
        return;
    TDocumentStep step;
    step.Kind = TDocumentStep::Choices;
    step.OldOutput = before;
    step.NewOutput = after;
    Record(std::move(step));
    // The choices are looked at once a turn of the event loop is over: the action is complete.
    if (depth_ == 0)
        Flush();
}

void TDocumentHistory::Record(TDocumentStep step) {
    pending_.push_back(std::move(step));
    if (depth_ == 0)
        FlushLater();
}

void TDocumentHistory::FlushLater() {
    if (flushQueued_)
        return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, [this] {
        flushQueued_ = false;
        if (depth_ == 0)
            Flush();
    }, Qt::QueuedConnection);
}

void TDocumentHistory::Begin(const QString& name) {
    // What was done before the action is a command of its own.
    if (depth_++ == 0) {
        Flush();
        name_ = name;
    }
}

void TDocumentHistory::End() {
    if (depth_ > 0 && --depth_ == 0) {
        Flush();
        name_.clear();
    }
}

void TDocumentHistory::Flush() {
    if (pending_.empty())
        return;
    std::vector<TDocumentStep> steps = std::move(pending_);
    pending_.clear();
    const QString name = name_.isEmpty() ? DocumentStepsName(steps) : name_;
    stack_.push(new TDocumentCommand(*this, std::move(steps), name));
    emit Changed();
}

void TDocumentHistory::DropPending(const std::vector<TDocumentStep::EKind>& kinds) {
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [&](const TDocumentStep& s) {
                                      return kinds.empty() ||
                                             std::find(kinds.begin(), kinds.end(), s.Kind) != kinds.end();
                                  }),
                   pending_.end());
}

void TDocumentHistory::Clear() {
    pending_.clear();
    stack_.clear();
    emit Changed();
}

void TDocumentHistory::Undo() {
    Flush();
    stack_.undo();
    emit Changed();
}

void TDocumentHistory::Redo() {
    Flush();
    stack_.redo();
    emit Changed();
}

void TDocumentHistory::Apply(const std::vector<TDocumentStep>& steps, bool forward) {
    const bool wasApplying = applying_;
    applying_ = true;
    const auto apply = [&](const TDocumentStep& s) {
        switch (s.Kind) {
        case TDocumentStep::Inserted:
            if (forward)
                document_.InsertSlides(s.First, s.NewSlides);
            else
                document_.RemoveSlides(s.First, s.Count);
            break;
        case TDocumentStep::Removed:
            if (forward)
                document_.RemoveSlides(s.First, s.Count);
            else
                document_.InsertSlides(s.First, s.OldSlides);
            break;
        case TDocumentStep::Moved:
            if (forward)
                document_.MoveSlides(s.First, s.Count, s.Destination);
            else if (s.Destination < s.First) // the block stands at Destination now
                document_.MoveSlides(s.Destination, s.Count, s.First + s.Count);
            else // the block ends right before Destination now
                document_.MoveSlides(s.Destination - s.Count, s.Count, s.First);
            break;
        case TDocumentStep::Edited: {
            const std::vector<TSlide>& values = forward ? s.NewSlides : s.OldSlides;
            for (std::size_t i = 0; i < values.size(); ++i)
                document_.SetSlide(s.First + int(i), values[i]);
            break;
        }
        case TDocumentStep::Soundtracks: document_.SetSoundtracks(forward ? s.NewSoundtracks : s.OldSoundtracks); break;
        case TDocumentStep::Output: document_.SetOutput(forward ? s.NewOutput : s.OldOutput); break;
        case TDocumentStep::Reset: document_.Assign(forward ? s.NewData : s.OldData); break;
        case TDocumentStep::Choices:
            if (ApplyChoices)
                ApplyChoices(forward ? s.NewOutput : s.OldOutput);
            break;
        }
    };
    try {
        if (forward)
            std::for_each(steps.begin(), steps.end(), apply);
        else
            std::for_each(steps.rbegin(), steps.rend(), apply);
    } catch (...) {
        applying_ = wasApplying;
        throw;
    }
    applying_ = wasApplying;
}

TDocumentCommand::TDocumentCommand(TDocumentHistory& history, std::vector<TDocumentStep> steps, const QString& name)
    : QUndoCommand(name), history_(history), steps_(std::move(steps)) {}

void TDocumentCommand::undo() {
    history_.Apply(steps_, false);
    done_ = false;
}

void TDocumentCommand::redo() {
    // The first redo comes from the push, after the steps were done already.
    if (done_)
        return;
    history_.Apply(steps_, true);
    done_ = true;
}

bool TDocumentCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const TDocumentCommand*>(other);
    const auto editsOf = [](const std::vector<TDocumentStep>& steps) {
        std::vector<int> rows;
        for (const TDocumentStep& s : steps) {
            if (s.Kind != TDocumentStep::Edited)
                return std::vector<int>{};
            for (int i = 0; i < s.Count; ++i)
                rows.push_back(s.First + i);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        return rows;
    };
    if (next->text() != text() || !text().startsWith("Change "))
        return false;
    const std::vector<int> rows = editsOf(steps_);
    if (rows.empty() || rows != editsOf(next->steps_))
        return false;
    steps_.insert(steps_.end(), next->steps_.begin(), next->steps_.end());
    return true;
}
