#pragma once
// The player's sound: the soundtrack a job of the slideshow would build (SoundtrackPlanOf and
// TBuiltSoundtrack: the songs, loop, fades, loudness, the clips' sounds with the music ducked
// under them), played through Qt Multimedia's QAudioSink from any place. Its position is the
// player's clock. Without a sound device nothing plays and the caller keeps its own clock.

#include "app/SlideshowRun.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QObject>

#include <memory>
#include <string>
#include <vector>

class QAudioSink;

// Interleaved float samples.
struct TSoundSamples {
    std::vector<float> Samples;
    int Rate = 44100;
    int Channels = 2;
    double Seconds() const { return Rate > 0 && Channels > 0 ? double(Samples.size()) / Channels / Rate : 0; }
};

// Builds the soundtrack of a plan (SoundtrackPlanOf) into samples.
// False with error (naming the file at fault). Nothing to build (no song, no clip sound) gives
// true and no samples.
bool BuildPlaybackSound(const TSoundtrackPlan& plan, TSoundSamples& sound, std::string& error);
// True when two plans build the same sound.
bool SameSound(const TSoundtrackPlan& a, const TSoundtrackPlan& b);
// Reads a WAV file of 32-bit float samples (as the soundtrack builder writes them).
bool ReadFloatWav(const std::string& file, TSoundSamples& sound, std::string& error);

// The place the listener has heard, in seconds from the start of the sink's play: what the sink
// has handed the device (QAudioSink::processedUSecs) less what still waits in its buffer
// (bufferedBytes: bufferSize - bytesFree) at bytesPerSecond. Never below 0.
double HeardSeconds(qint64 processedUSecs, qint64 bufferedBytes, qint64 bytesPerSecond);

// The heard place between the device's steps. The readings come in steps of the device's period
// and lag between them, never lead: a steady clock carries the time on, its offset to the
// readings taken up at once when a reading is ahead of it, and brought down to the latest
// reading of a window of WindowSeconds (longer than a device's period) in which none reached it;
// a reading more than JumpSeconds behind is taken as it is (the device stalled). The place never
// goes back, and stays at 0 until something was heard.
class TSoundClock {
public:
    static constexpr double WindowSeconds = 0.06, JumpSeconds = 0.1;
    void Reset() { *this = TSoundClock(); }
    // heard: the latest reading; now: a steady clock, both in seconds. Returns the place.
    double Update(double heard, double now);

private:
    bool started_ = false;
    double offset_ = 0; // the place less now
    double windowStart_ = 0, windowLargest_ = 0;
    double last_ = 0;
};

class TPlaybackSound : public QObject {
    Q_OBJECT
public:
    explicit TPlaybackSound(QObject* parent = nullptr);
    ~TPlaybackSound() override;

    // True when the system has a sound output device.
    static bool DeviceFound();
    // The sample rate the device takes for channels (the preferred one when rate is not taken).
    static int DeviceRate(int rate, int channels);

    void SetSound(std::shared_ptr<const TSoundSamples> sound);
    bool HasSound() const { return bool(sound_) && !sound_->Samples.empty(); }
    // Plays from seconds on; false when there is no device or no sound (nothing plays then).
    bool Start(double seconds);
    void Stop();
    bool Running() const { return sink_ != nullptr; }
    // The place heard, in seconds of the show (HeardSeconds, smoothed by a TSoundClock).
    double Seconds() const;

private:
    std::shared_ptr<const TSoundSamples> sound_;
    QAudioSink* sink_ = nullptr;
    QIODevice* source_ = nullptr;
    double start_ = 0;
    mutable TSoundClock clock_;
    QElapsedTimer steady_;
};
