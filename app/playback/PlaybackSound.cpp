#include "app/playback/PlaybackSound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace {
// The samples from a place on; silence after their end (the pictures may last longer).
class TSampleSource : public QIODevice {
public:
    TSampleSource(std::shared_ptr<const TSoundSamples> sound, qint64 byte, QObject* parent)
        : QIODevice(parent), sound_(std::move(sound)), pos_(byte) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (1 << 16) + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 total = qint64(sound_->Samples.size() * sizeof(float));
        const qint64 have = std::clamp<qint64>(total - pos_, 0, maxSize);
        if (have > 0)
            std::memcpy(data, reinterpret_cast<const char*>(sound_->Samples.data()) + pos_, std::size_t(have));
        std::memset(data + have, 0, std::size_t(maxSize - have));
        pos_ += maxSize;
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<const TSoundSamples> sound_;
    qint64 pos_;
};

std::uint32_t LE32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
           std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
}
} // namespace

bool ReadFloatWav(const std::string& file, TSoundSamples& sound, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    char riff[12];
    if (!in.read(riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = file + " is no WAV file";
        return false;
    }
    bool haveFormat = false;
    char chunk[8];
    while (in.read(chunk, 8)) {
        const std::uint32_t size = LE32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::string fmt(size, '\0');
            if (size < 16 || !in.read(fmt.data(), size)) {
                error = file + ": its format chunk is cut short";
                return false;
            }
            const int tag = std::uint8_t(fmt[0]) | std::uint8_t(fmt[1]) << 8;
            const int bits = std::uint8_t(fmt[14]) | std::uint8_t(fmt[15]) << 8;
            sound.Channels = std::uint8_t(fmt[2]) | std::uint8_t(fmt[3]) << 8;
            sound.Rate = int(LE32(fmt.data() + 4));
            if (tag != 3 || bits != 32 || sound.Channels < 1) {
                error = file + " holds no 32-bit float samples";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            sound.Samples.resize(size / sizeof(float));
            if (!in.read(reinterpret_cast<char*>(sound.Samples.data()), std::streamsize(sound.Samples.size() * sizeof(float)))) {
                error = file + ": its samples are cut short";
                return false;
            }
            return true;
        } else {
            in.seekg(size + (size & 1), std::ios::cur);
        }
    }
    error = file + " has no samples";
    return false;
}

bool SameSound(const TSoundtrackPlan& a, const TSoundtrackPlan& b) {
    return a.Songs == b.Songs && a.Rate == b.Rate && a.Channels == b.Channels && a.VideoSeconds == b.VideoSeconds &&
           a.LastTransitionSeconds == b.LastTransitionSeconds && a.Loop == b.Loop && a.EndWithVideo == b.EndWithVideo &&
           a.FadeInSeconds == b.FadeInSeconds && a.FadeOutSeconds == b.FadeOutSeconds && a.Loudness == b.Loudness &&
           a.Overlays == b.Overlays;
}

bool BuildPlaybackSound(const TSoundtrackPlan& plan, TSoundSamples& sound, std::string& error) {
    sound = TSoundSamples();
    if (plan.Songs.empty() && plan.Overlays.empty())
        return true;
    TBuiltSoundtrack built;
    if (!built.Build(plan, error))
        return false;
    return ReadFloatWav(built.Path(), sound, error);
}

double HeardSeconds(qint64 processedUSecs, qint64 bufferedBytes, qint64 bytesPerSecond) {
    const double buffered = bytesPerSecond > 0 ? double(std::max<qint64>(bufferedBytes, 0)) / double(bytesPerSecond) : 0;
    return std::max(processedUSecs / 1e6 - buffered, 0.0);
}

double TSoundClock::Update(double heard, double now) {
    if (!started_ && heard <= 0)
        return last_; // nothing heard yet: the picture waits for the sound
    const double reading = heard - now;
    if (!started_ || reading > offset_ || reading < offset_ - JumpSeconds) {
        offset_ = reading;
        started_ = true;
        windowStart_ = now;
        windowLargest_ = reading;
    } else {
        // A window without a reading up to the offset: the sound has slowed down against the
        // steady clock; the offset comes down to the latest of those readings.
        windowLargest_ = std::max(windowLargest_, reading);
        if (now - windowStart_ >= WindowSeconds) {
            offset_ = windowLargest_;
            windowStart_ = now;
            windowLargest_ = reading;
        }
    }
    last_ = std::max(last_, std::max(now + offset_, 0.0));
    return last_;
}

TPlaybackSound::TPlaybackSound(QObject* parent) : QObject(parent) {}

TPlaybackSound::~TPlaybackSound() { Stop(); }

bool TPlaybackSound::DeviceFound() { return !QMediaDevices::defaultAudioOutput().isNull(); }

int TPlaybackSound::DeviceRate(int rate, int channels) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return rate;
    QAudioFormat format;
    format.setSampleRate(rate > 0 ? rate : 44100);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Float);
    return device.isFormatSupported(format) ? format.sampleRate() : device.preferredFormat().sampleRate();
}

void TPlaybackSound::SetSound(std::shared_ptr<const TSoundSamples> sound) {
    Stop();
    sound_ = std::move(sound);
}

bool TPlaybackSound::Start(double seconds) {
    Stop();
    if (!HasSound())
        return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    QAudioFormat format;
    format.setSampleRate(sound_->Rate);
    format.setChannelCount(sound_->Channels);
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format))
        return false;
    start_ = std::max(seconds, 0.0);
    const qint64 frame = qint64(start_ * sound_->Rate);
    source_ = new TSampleSource(sound_, frame * sound_->Channels * qint64(sizeof(float)), this);
    source_->open(QIODevice::ReadOnly);
    sink_ = new QAudioSink(device, format, this);
    sink_->setBufferSize(sound_->Rate * sound_->Channels * int(sizeof(float)) / 10); // 100 ms
    sink_->start(source_);
    if (sink_->error() != QAudio::NoError) {
        Stop();
        return false;
    }
    clock_.Reset();
    steady_.start();
    return true;
}

void TPlaybackSound::Stop() {
    if (sink_) {
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
    }
    delete source_;
    source_ = nullptr;
}

double TPlaybackSound::Seconds() const {
    if (!sink_)
        return start_;
    const qint64 bytesPerSecond = qint64(sound_->Rate) * sound_->Channels * qint64(sizeof(float));
    const qint64 size = sink_->bufferSize();
    const qint64 buffered = std::clamp<qint64>(size - sink_->bytesFree(), 0, size);
    const double heard = HeardSeconds(sink_->processedUSecs(), buffered, bytesPerSecond);
    return start_ + clock_.Update(heard, steady_.nsecsElapsed() / 1e9);
}
