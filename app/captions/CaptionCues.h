#pragma once
// Captions also as a subtitle stream (an option of the document): the slides' captions as
// SubRip cues timed to the run, written to a temporary file that the job adds as an input; mp4
// and mov carry them as mov_text. A caption's cue runs as long as the caption shows: from the
// first frame of its fade in (in the transition into its slide) to the last frame of its fade
// out; with fades as long as the transitions, neighbouring cues overlap there.

struct TSlideshowData;

#include "app/timing/SlideTiming.h"

#include <string>

// The SubRip text of data's captions; empty when no slide shows one.
// With timing, its holds take the place of the slides' (a run timed by its music).
std::string CaptionCues(const TSlideshowData& data, const TSlideTiming* timing = nullptr);
// True for the containers that take a text subtitle stream (mp4, mov).
bool TakesCaptionStream(const std::string& container);

// A temporary file of cues, removed with the object.
class TCaptionCueFile {
public:
    TCaptionCueFile() = default;
    ~TCaptionCueFile();
    TCaptionCueFile(const TCaptionCueFile&) = delete;
    TCaptionCueFile& operator=(const TCaptionCueFile&) = delete;
    // Writes text into a fresh file of the temporary folder; false with error when it cannot.
    bool Write(const std::string& text, std::string& error);
    const std::string& Path() const { return path_; }
    void Remove();

private:
    std::string path_;
};
