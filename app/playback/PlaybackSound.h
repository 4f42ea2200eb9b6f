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
    // The place the sound has reached, in seconds of the show.
    double Seconds() const;

private:
    std::shared_ptr<const TSoundSamples> sound_;
    QAudioSink* sink_ = nullptr;
    QIODevice* source_ = nullptr;
    double start_ = 0;
    mutable qint64 lastProcessed_ = -1;
    mutable QElapsedTimer sinceProcessed_;
};
