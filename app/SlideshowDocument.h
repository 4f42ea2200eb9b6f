#pragma once
// The slideshow document: what a slideshow is, whichever front end filled it.
//
// A document holds
//   - the slides, in the order they are shown: a picture file each, and optionally its own
//     hold time, its own transition effect and a caption;
//   - the soundtracks, played one after the other in their order;
//   - the output choices: the window's (or the command line's) TSlideshowSettings. Their
//     Pictures, Audio and MoreAudio fields are not used inside a document: the slides and the soundtracks
//     take their place (SettingsForJob fills them back in for the job).
// A slide without values of its own is shown exactly as the output choices say: the hold of
// HoldSeconds, the effect sequence of the run (sequential or random from its seed).
//
// A slide's effect is the transition INTO it: slide 0's effect is the fade-in from black, slide
// k's effect the transition from slide k-1 to slide k. The final transition to black always takes
// the run's own sequence.
//
// Editing goes through the document's functions, so listeners hear of every change (the window's
// picture list model turns them into its row signals): each listener gets the change before it is
// made and after. Version() counts the changes; Modified() says whether there were any since the
// document was opened, saved or made.

#include "app/SlideshowJob.h"
#include "app/captions/CaptionStyle.h"
#include "app/captions/TitleBackground.h"
#include "app/clips/ClipTypes.h"
#include "app/motion/MotionTypes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The effect of a slide that asks for a random effect instead of a numbered row.
inline constexpr int SlideEffectRandom = 0;

// Per-slide choices of the features that come later. They are kept here so that every per-slide
// value lives in TSlide and in the project file's slide object ("motion", "music", "clip"); a
// document that leaves them at their defaults renders as if they did not exist.
struct TSlideMotion { // pan and zoom over the picture while it is on screen
    std::optional<TMotionStyle> Style;     // none: the output choices' motion
    TMotionRect Start, End;                // the framings of TMotionStyle::Rects, first and last frame
    bool operator==(const TSlideMotion&) const = default;
};
struct TSlideMusic { // a cue of the music the slide starts with or waits for
    bool operator==(const TSlideMusic&) const = default;
};
struct TSlideClip { // the part of a video clip a clip slide plays (the slide's file is the clip)
    std::optional<double> In;              // seconds into the clip it starts at; none: its start
    std::optional<double> Out;             // seconds into the clip it ends at; none: its end
    TClipSound Sound = TClipSound::Mix;    // what becomes of the clip's own sound
    bool operator==(const TSlideClip&) const = default;
};

struct TSlide {
    std::string Picture;                   // the picture file (absolute, or as the user gave it)
    std::optional<double> HoldSeconds;     // none: the output choices' hold
    std::optional<int> Effect;             // none: the run's sequence; 1..176 a row; SlideEffectRandom
    std::string Caption;                   // drawn on the picture; empty: none
    bool CaptionDateTaken = false;         // an empty caption shows the photo's date taken (EXIF)
    TSlideMotion Motion;
    TSlideMusic Music;
    TSlideClip Clip;
    std::optional<TCaptionStyle> CaptionStyle; // none: the show's caption style
    TSlideTitle Title;                     // a title slide: its caption on a background, no picture

    bool operator==(const TSlide&) const = default;
    // True when the slide has no value of its own besides its picture.
    bool IsPlain() const;
};

// A slide of the picture with no values of its own.
TSlide PlainSlide(const std::string& picture);

struct TSoundtrack {
    std::string File;
    bool operator==(const TSoundtrack&) const = default;
};

// The plain content of a document: a value that can be copied, compared, saved and rendered.
struct TSlideshowData {
    std::vector<TSlide> Slides;
    std::vector<TSoundtrack> Soundtracks;
    TSlideshowSettings Output;             // Output.Pictures and Output.Audio stay empty
    bool CaptionSubtitles = false;         // captions also as a subtitle stream (mp4, mov)
    TCaptionStyle CaptionStyle;            // the show's caption style
    std::optional<double> CaptionFadeSeconds; // captions fade over this; none: the transition's length

    bool operator==(const TSlideshowData& other) const;
};

// What changed; slide positions are those before the change for OnBefore and after it for OnAfter
// (for Inserted: the new rows First..First+Count-1 in both; for Removed: the old rows in both).
struct TDocumentChange {
    enum EKind {
        SlidesInserted,   // Count slides at First
        SlidesRemoved,    // Count slides at First
        SlidesMoved,      // Count slides from First to before Destination (positions before the move,
                          // the convention of QAbstractItemModel::beginMoveRows)
        SlidesEdited,     // values of Count slides from First changed; the list stays as it is
        SoundtracksChanged,
        OutputChanged,
        Reset,            // everything may have changed (new or opened document)
    };
    EKind Kind = Reset;
    int First = 0;
    int Count = 0;
    int Destination = 0;
};

using TDocumentListener = std::function<void(const TDocumentChange&)>;

class TSlideshowDocument {
public:
    TSlideshowDocument() = default;
    explicit TSlideshowDocument(TSlideshowData data);
    // Listeners are not copied: a copy is a new document nobody listens to.
    TSlideshowDocument(const TSlideshowDocument& other);
    TSlideshowDocument& operator=(const TSlideshowDocument& other);

    // The document the window's or the command line's choices of today describe: one plain slide
    // per picture, the soundtrack (when one is named) and the other fields as output choices.
    static TSlideshowDocument FromSettings(const TSlideshowSettings& settings);
    // The output choices with Pictures filled from the slides, Audio from the first soundtrack and
    // MoreAudio from the others.
    TSlideshowSettings SettingsForJob() const;

    const TSlideshowData& Data() const { return data_; }

    // Slides. Positions out of range are clamped for insertion and ignored elsewhere (a no-op).
    int SlideCount() const { return int(data_.Slides.size()); }
    const std::vector<TSlide>& Slides() const { return data_.Slides; }
    const TSlide& Slide(int index) const { return data_.Slides.at(std::size_t(index)); }
    void InsertSlides(int at, std::vector<TSlide> slides);
    void AppendPictures(const std::vector<std::string>& pictures);
    void RemoveSlides(int first, int count);
    // Removes any selection (positions in any order, duplicates allowed), as one contiguous
    // block after the other from the end.
    void RemoveSlides(std::vector<int> positions);
    // Moves count slides from first to before destination (0..SlideCount()); a destination inside
    // or right after the block changes nothing.
    void MoveSlides(int first, int count, int destination);
    void ClearSlides();
    void SetSlide(int index, TSlide slide);
    void SetHold(int index, std::optional<double> seconds);
    void SetEffect(int index, std::optional<int> effect);
    void SetCaption(int index, const std::string& caption);
    void SetCaptionDateTaken(int index, bool on);
    void SetPicture(int index, const std::string& picture);
    void SetClip(int index, TSlideClip clip);
    void SetMotion(int index, const TSlideMotion& motion);

    // Soundtracks.
    const std::vector<TSoundtrack>& Soundtracks() const { return data_.Soundtracks; }
    void SetSoundtracks(std::vector<TSoundtrack> soundtracks);

    // Output choices (Pictures, Audio and MoreAudio are cleared: they live in the slides and soundtracks).
    const TSlideshowSettings& Output() const { return data_.Output; }
    void SetOutput(TSlideshowSettings output);

    // The whole content at once (New, Open: they call SetModified(false) afterwards).
    void Assign(TSlideshowData data);

    // Change notification. Subscribe returns an id for Unsubscribe; either function may be empty.
    int Subscribe(TDocumentListener before, TDocumentListener after);
    void Unsubscribe(int id);
    std::uint64_t Version() const { return version_; }
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    // The project file this document was opened from or saved to last; empty for a new one.
    std::string ProjectFile;

private:
    struct TListener {
        int Id;
        TDocumentListener Before, After;
    };
    template <class Edit> void Change(const TDocumentChange& change, Edit&& edit);
    void EditSlide(int index, const std::function<void(TSlide&)>& edit);

    TSlideshowData data_;
    std::vector<TListener> listeners_;
    int nextListener_ = 1;
    std::uint64_t version_ = 0;
    bool modified_ = false;
};
