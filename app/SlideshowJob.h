#pragma once
// One slideshow job, built the same way for the window's Start and for the command line.
//
// A TSlideshowJob owns the frame sequencer and the frame input adapter of one run and builds
// the encoder's single task from the user's choices (TSlideshowSettings):
//   input 0   the frame input: "frameinput" with the parameter string
//             "a=<adapter id>;r=<rate N/D>;s=<W*H>;bpp=32;t=Canvas"
//   input 1   the soundtrack, when the name is not empty and names an existing file; or, when
//             the music is more than one file played as it is (several songs, loop, fades,
//             loudness, overlays: NeedsBuiltSoundtrack), the soundtrack built before the run
//             (app/soundtrack/SoundtrackBuilder.h), a temporary file removed with the job
//   output    a fresh "slideshow-_(new).<ext>" in the output folder, with the container row's
//             codecs, the frame rate, frame size, channels, sample rate and video bit rate
// The frames are drawn on the user-interface thread (the adapter hands the worker's reads
// there); "Break when no pictures" makes the sequencer stop the encoder without waiting.
//
// Use, on the user-interface thread:
//   TFFEncoder encoder;                       // lives longer than the job
//   TSlideshowJob job(encoder);
//   job.OnLog = [](const std::string& line) { ... };   // the log lines of Start, optional
//   job.PrepareSequencer(settings);            // sizes, frame counts, first effect
//   if (!job.BuildTask(settings, libFolder))   // libraries, task, inputs, output
//       show(job.LastError);                   // nothing was started
//   encoder.OnProgress = ...; encoder.OnTerminate = ...;
//   job.Start(preview);                        // StartTask(1): returns at once
// The job must outlive the run (until OnTerminate with task index -1): the worker reads its
// adapter. Pause, Resume and Stop go to the encoder directly.

#include "app/SlideshowSequencer.h"
#include "app/captions/CaptionCues.h"
#include "app/output/ContainerTable.h"
#include "app/show/OutputChoices.h"
#include "app/soundtrack/SoundtrackBuilder.h"
#include "engine/FFEncoder.h"
#include "engine/FileOptions.h"
#include "frameinput/FrameInputAdapter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>


struct TSlideshowData;

// The input record of the drawn frames: every field at its default but the format.
TInputOptions SlideshowInputOptions();
// Threads of the video encoder: one per core, at most 8 (more slices buy nothing at these sizes).
int SlideshowEncoderThreads();
// The output record of the settings with the container row's codecs.
TOutputOptions SlideshowOutputOptions(const TSlideshowSettings& settings, const TContainerRow& container);
// True when the music of settings (with overlays laid over it) is built before the run instead
// of the soundtrack file going to the engine as it is.
bool NeedsBuiltSoundtrack(const TSlideshowSettings& settings, const std::vector<TAudioOverlay>& overlays);

class TSlideshowJob {
public:
    explicit TSlideshowJob(TFFEncoder& encoder);
    TSlideshowJob(const TSlideshowJob&) = delete;
    TSlideshowJob& operator=(const TSlideshowJob&) = delete;

    TSlideshowSequencer Sequencer;
    TFrameInputAdapter Adapter;
    // Receives each log line of BuildTask (empty lines included), on the calling thread.
    std::function<void(const std::string&)> OnLog;

    // Works out the output folder; BuildTask asks it only once the libraries are loaded and the
    // tasks cleared. Unset: settings.OutDir.
    std::function<std::string()> OutputFolder;

    // Resets the sequencer for a new run: the frame size from the size text (320 for a part
    // that is no number), hold and transition frame counts, the first effect. The pictures are
    // read from settings.Pictures; replace Sequencer.PictureCount/PicturePath to read a live list.
    // False, with LastError and nothing allocated, for a frame size the container row's encoder
    // cannot take (FrameSizeRefusal).
    bool PrepareSequencer(const TSlideshowSettings& settings);
    // The same for a document's content: its slides in their order, each with its own hold,
    // effect and caption, and its output choices (the pictures are copied for the run).
    bool PrepareSequencer(const TSlideshowData& data);
    // What the last PrepareSequencer found in the music and did with it (also in OnLog), when
    // the holds follow the music.
    std::vector<std::string> TimingLines;
    // The frames the prepared run delivers in all.
    long long ExpectedFrames() const { return expectedFrames_; }
    // Seconds the built run lasts: the pictures' when they end it ("Break when no pictures"),
    // else the longer of the pictures and the built soundtrack; 0 when only the encoder knows
    // (a soundtrack file that goes to it as it is).
    double RunSeconds() const;

    // Loads the libraries when they are not loaded (from libFolder, then the system; an empty
    // libFolder keeps the loader's own folder), registers the frame input, clears the encoder's
    // tasks and builds the task. False with LastError (and the log lines) when a step failed;
    // a task whose output could not be set is removed again. The output name is claimed in the
    // folder (an empty file); a failure removes that file again.
    bool BuildTask(const TSlideshowSettings& settings, const std::string& libFolder = "");

    // Sets the encoder's preview and starts the task on a worker thread; returns at once.
    void Start(bool preview);

    int TaskIndex() const { return taskIndex_; }
    const std::string& OutputFile() const { return outputFile_; }
    bool WithSoundtrack() const { return withSoundtrack_; }
    // Frames the sequencer has delivered so far.
    int FramesDelivered() const { return frames_; }
    std::string LastError;
    // The last BuildTask failed because the media libraries could not be loaded.
    bool LibrariesMissing() const { return librariesMissing_; }
    // Lines of the last BuildTask the user should see even without the log (also in OnLog):
    // the outcome of the hardware encoder's probe.
    std::vector<std::string> Notices;
    // Where the hardware encoder's probe looks for render nodes.
    std::string DriFolder = "/dev/dri";
    // Sounds laid over the music (a clip's own sound, at its place in the slideshow); the caller
    // fills them in before BuildTask.
    std::vector<TAudioOverlay> AudioOverlays;
    // Asked while BuildTask builds the soundtrack; true gives the build up (a stop request).
    std::function<bool()> Cancelled;
    // The soundtrack BuildTask built for input 1; empty when the file went as it is.
    const TBuiltSoundtrack& BuiltSoundtrack() const { return builtSoundtrack_; }

private:
    void Log(const std::string& line);
    void Notice(const std::string& line);
    void LogFailure(const std::string& prefix, const std::string& text);
    bool BuildSoundtrack(const TSlideshowSettings& settings, int sampleRate);

    TFFEncoder& encoder_;
    long long expectedFrames_ = 0;
    std::string cueText_;     // captions as subtitle cues, when the document asks for them
    TCaptionCueFile cueFile_;
    TBuiltSoundtrack builtSoundtrack_;
    double videoSeconds_ = 0;
    double lastTransitionSeconds_ = 0;
    bool breakWhenNoPictures_ = false;
    int taskIndex_ = -1;
    std::string outputFile_;
    bool withSoundtrack_ = false;
    bool librariesMissing_ = false;
    std::atomic<int> frames_{0};
};
