#include "app/playback/Player.h"

#include "app/output/FrameSizeLimits.h"
#include "app/captions/SlideCaption.h"
#include "app/clips/ClipSlides.h"
#include "medialib/FFLoad.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
// Soundtracks and clips are read with the media libraries.
bool NeedsMediaLibraries(const TSlideshowData& data) {
    return !data.Output.Audio.empty() || !data.Output.MoreAudio.empty() || !data.Soundtracks.empty() ||
           std::any_of(data.Slides.begin(), data.Slides.end(), [](const TSlide& s) { return IsClipSlide(s); });
}
} // namespace

TPlayer::TPlayer(QObject* parent) : QObject(parent) {
    drawer_.OnPrepared = [this](const TPlaybackShape& shape) {
        QMetaObject::invokeMethod(this, [this, shape] { Prepared(shape); }, Qt::QueuedConnection);
    };
    drawer_.OnFrame = [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (playing_)
                return;
            if (std::optional<TDrawnFrame> frame = drawer_.TakeAny())
                Show(std::move(*frame));
        }, Qt::QueuedConnection);
    };
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(4);
    connect(&tick_, &QTimer::timeout, this, &TPlayer::Tick);
}

TPlayer::~TPlayer() {
    *alive_ = false;
    tick_.stop();
    sound_.Stop();
    drawer_.OnPrepared = nullptr;
    drawer_.OnFrame = nullptr;
    drawer_.Stop();
    JoinSound();
}

QSize TPlayer::PreviewSize(QSize output, QSize room) {
    if (output.width() <= 0 || output.height() <= 0)
        output = QSize(320, 240);
    const double scale = std::min({double(std::max(room.width(), 16)) / output.width(),
                                   double(std::max(room.height(), 16)) / output.height(),
                                   double(MaxWidth) / output.width(), double(MaxHeight) / output.height(), 1.0});
    const int w = std::max(2, int(output.width() * scale) & ~1);
    const int h = std::max(2, int(output.height() * scale) & ~1);
    return QSize(w, h);
}

void TPlayer::SetRoom(QSize room) {
    if (room == room_)
        return;
    room_ = room;
    if (ready_ || order_ != 0)
        Reload();
}

int TPlayer::SlideAt(long long frame) const {
    const std::vector<long long>& starts = shape_.SlideStarts;
    if (starts.empty())
        return -1;
    const auto it = std::upper_bound(starts.begin(), starts.end(), frame);
    return std::max(0, int(it - starts.begin()) - 1);
}

void TPlayer::SetNotice(const QString& notice) {
    if (notice == notice_)
        return;
    notice_ = notice;
    emit StateChanged();
}

void TPlayer::Reload() {
    if (Busy && Busy()) {
        stale_ = true; // drawn again when the player is asked for a frame after the job
        return;
    }
    if (!Source)
        return;
    stale_ = false;
    TSlideshowData data = Source();
    const TFrameSize output = SlideshowFrameSize(data.Output.FrameSize);
    frameSize_ = PreviewSize(QSize(output.Width, output.Height), room_);
    // What the drawing thread will need of the process is set up here, where nothing else runs.
    std::string reason;
    if (HasCaptions(data) && !EnsureCaptionDrawing(reason)) {
        SetNotice(QString::fromStdString(reason));
        return;
    }
    if (NeedsMediaLibraries(data) && !FFLoader().LibsLoaded(EncoderLibs) && !FFLoader().LoadLibs(EncoderLibs))
        SetNotice("The media libraries cannot be loaded: " + QString::fromStdString(FFLoader().LastErrMsg()));
    if (data.Slides.empty()) {
        drawer_.Stop();
        Pause();
        shape_ = TPlaybackShape();
        ready_ = false;
        position_ = target_ = 0;
        picture_ = QImage();
        emit ShapeChanged();
        emit FrameShown(0);
        return;
    }
    if (playing_) {
        sound_.Stop();
        waitForSound_ = true; // the clock goes on once the changed show is there
    }
    order_ = loadOrder_ = drawer_.Load(data, frameSize_.width(), frameSize_.height(), target_, playing_);
}

void TPlayer::Prepared(const TPlaybackShape& shape) {
    if (shape.Order != loadOrder_)
        return; // another slideshow is on its way
    shape_ = shape;
    ready_ = shape.Error.empty() && shape.Frames > 0;
    emit ShapeChanged();
    if (!shape.Error.empty()) {
        Pause();
        SetNotice("Cannot play: " + QString::fromStdString(shape.Error));
        return;
    }
    const TSlideshowSettings& out = shape.Data.Output;
    if (!SoundWanted || (out.Audio.empty() && out.MoreAudio.empty() && shape.Run.Overlays.empty())) {
        NoSound();
        SetNotice({});
    } else if (!TPlaybackSound::DeviceFound()) {
        NoSound();
        SetNotice("No sound device was found: the picture plays without sound.");
    } else {
        BuildSound();
    }
    if (playing_ && soundOrder_ == soundDone_)
        StartClock(target_);
    else if (playing_)
        waitForSound_ = true;
}

void TPlayer::BuildSound() {
    const TSlideshowSettings& out = shape_.Data.Output;
    const int rate = TPlaybackSound::DeviceRate(out.AudioSampleRate, out.AudioChannels);
    TSoundtrackPlan plan = SoundtrackPlanOf(out, shape_.Run, rate);
    if ((sound_.HasSound() || soundThread_.joinable()) && SameSound(plan, soundPlan_))
        return; // the same music: it stays
    soundPlan_ = plan;
    JoinSound();
    sound_.SetSound(nullptr);
    SetNotice("Preparing the sound...");
    const std::uint64_t order = ++soundOrder_;
    std::weak_ptr<bool> alive = alive_;
    soundThread_ = std::thread([this, plan, order, alive] {
        auto sound = std::make_shared<TSoundSamples>();
        std::string error;
        const bool ok = BuildPlaybackSound(plan, *sound, error);
        if (alive.expired())
            return;
        QMetaObject::invokeMethod(this, [this, sound, ok, error, order] {
            if (order != soundOrder_)
                return;
            soundDone_ = order;
            if (!ok) {
                SetNotice("The sound cannot be played: " + QString::fromStdString(error));
                soundPlan_ = TSoundtrackPlan();
            } else {
                sound_.SetSound(sound);
                SetNotice({});
            }
            if (playing_ && waitForSound_)
                StartClock(target_);
        }, Qt::QueuedConnection);
    });
}

void TPlayer::NoSound() {
    sound_.SetSound(nullptr);
    soundPlan_ = TSoundtrackPlan();
    soundDone_ = ++soundOrder_; // a build under way is of no use any more
}

void TPlayer::JoinSound() {
    if (soundThread_.joinable())
        soundThread_.join();
}

void TPlayer::StartClock(long long frame) {
    // The clock and the sound start with the first frame drawn: a play from a jump waits for
    // its pictures (decoded anew after a jump back) instead of dropping the frames meanwhile.
    waitForSound_ = false;
    clockPending_ = true;
    stats_ = TStats();
    drawnAtStart_ = drawer_.Frames();
    clockStart_ = double(frame) / std::max(shape_.FramesPerSecond, 1.0);
    sound_.Stop();
    clock_.invalidate();
}

void TPlayer::RunClock() {
    clockPending_ = false;
    if (!SoundWanted || !sound_.HasSound() || !sound_.Start(clockStart_))
        sound_.Stop();
    clock_.start();
}

double TPlayer::Clock() const {
    if (sound_.Running())
        return sound_.Seconds();
    return clockStart_ + (clock_.isValid() ? clock_.nsecsElapsed() / 1e9 : 0);
}

void TPlayer::Play() {
    if (Busy && Busy()) {
        SetNotice("The player waits while the video is made.");
        return;
    }
    if (playing_)
        return;
    if (stale_) {
        // The show changed while a job ran: it is prepared again and plays once it is there.
        const std::uint64_t before = loadOrder_;
        playing_ = true;
        Reload();
        if (loadOrder_ == before) {
            playing_ = false;
            return;
        }
        tick_.start();
        emit StateChanged();
        return;
    }
    if (!ready_)
        return;
    if (target_ >= shape_.Frames - 1)
        target_ = 0;
    playing_ = true;
    order_ = drawer_.Play(target_);
    // A sound still being built starts the clock when it is there.
    waitForSound_ = soundOrder_ != soundDone_;
    if (!waitForSound_)
        StartClock(target_);
    tick_.start();
    emit StateChanged();
}

void TPlayer::Pause() {
    const bool was = playing_;
    playing_ = false;
    waitForSound_ = false;
    tick_.stop();
    sound_.Stop();
    if (was) {
        target_ = position_;
        order_ = drawer_.Show(position_); // the run's queue goes; the frame shown stays
        emit StateChanged();
    }
}

void TPlayer::Toggle() {
    if (playing_)
        Pause();
    else
        Play();
}

void TPlayer::ShowFrame(long long frame) {
    Pause();
    if (stale_) {
        // Nothing drawn before the change is shown: the changed show draws the frame.
        target_ = std::max<long long>(frame, 0);
        Reload();
        return;
    }
    if (!ready_)
        return;
    target_ = std::clamp<long long>(frame, 0, shape_.Frames - 1);
    order_ = drawer_.Show(target_);
}

void TPlayer::PlayFrom(long long frame) {
    Pause();
    if (!ready_)
        return;
    target_ = std::clamp<long long>(frame, 0, shape_.Frames - 1);
    Play();
}

void TPlayer::ShowSlide(int k) {
    if (!ready_ || k < 0 || k >= int(shape_.HoldStarts.size()))
        return;
    const bool was = playing_;
    ShowFrame(shape_.HoldStarts[std::size_t(k)]);
    if (was)
        Play();
}

void TPlayer::Stop() {
    Pause();
    drawer_.Stop();
    JoinSound();
}

void TPlayer::Tick() {
    if (!playing_ || waitForSound_)
        return;
    if (clockPending_) {
        if (!drawer_.Queued() && !drawer_.AtEnd())
            return;
        RunClock();
    }
    const double fps = std::max(shape_.FramesPerSecond, 1.0);
    const double now = Clock();
    const long long wanted = (long long)std::floor(now * fps + 1e-9);
    int dropped = 0;
    std::optional<TDrawnFrame> frame = drawer_.Take(wanted, &dropped);
    stats_.Dropped += dropped;
    stats_.Drawn = (long long)(drawer_.Frames() - drawnAtStart_);
    if (frame) {
        const double start = frame->Index / fps, end = (frame->Index + 1) / fps;
        const double gap = now < start ? start - now : now > end ? now - end : 0;
        stats_.LargestGapMs = std::max(stats_.LargestGapMs, gap * 1000);
        stats_.DrawMs += frame->DrawMs;
        ++stats_.Shown;
        Show(std::move(*frame));
    }
    if (wanted >= shape_.Frames)
        Pause(); // the end of the show
}

void TPlayer::Show(TDrawnFrame frame) {
    position_ = frame.Index;
    if (playing_)
        target_ = position_ + 1;
    picture_ = std::move(frame.Image);
    emit FrameShown(position_);
}
