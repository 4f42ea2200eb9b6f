#pragma once
// The player: plays a document's slideshow in real time at a preview size, its frames drawn on
// the drawing thread (TPlaybackDrawer) and its sound played through Qt Multimedia
// (TPlaybackSound). The sound's clock leads: a frame whose time has passed is dropped, the sound
// never waits. Without a sound device (or without a soundtrack) the player's own clock runs.
//
// Everything here runs on the user-interface thread; the drawing thread and the sound's build
// thread share nothing with a job, and Stop waits until neither does anything.

#include "app/document/SlideshowDocument.h"
#include "app/playback/PlaybackDrawer.h"
#include "app/playback/PlaybackSound.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

class TPlayer : public QObject {
    Q_OBJECT
public:
    // The largest preview.
    static constexpr int MaxWidth = 960, MaxHeight = 540;

    explicit TPlayer(QObject* parent = nullptr);
    ~TPlayer() override;

    // The slideshow as a job would play it now (the document's slides, the window's choices).
    std::function<TSlideshowData()> Source;
    // True while a job runs: the player does not play then.
    std::function<bool()> Busy;
    // Plays sound when a device is there (tests and benches may turn it off).
    bool SoundWanted = true;

    // The preview's size: the output frame's shape fit into width x height, at most
    // MaxWidth x MaxHeight and never larger than the output frame; even sides.
    static QSize PreviewSize(QSize output, QSize room);
    // The room the preview has (the pane's picture area); Reload follows it.
    void SetRoom(QSize room);
    QSize FrameSize() const { return frameSize_; }

    // Takes the slideshow from Source again and draws from the frame shown (playing on, when it
    // played). While a job runs nothing is taken; the next Play or ShowFrame takes it first.
    void Reload();
    void Play();
    void Pause();
    void Toggle();
    bool Playing() const { return playing_; }
    // Shows frame (the sound stays silent) and waits there.
    void ShowFrame(long long frame);
    // Shows frame and plays on from it.
    void PlayFrom(long long frame);
    // Shows slide k (the first frame of its hold).
    void ShowSlide(int k);
    // Stops everything (a job starts); waits until the drawing thread is idle.
    void Stop();

    // The show as prepared.
    long long FrameCount() const { return shape_.Frames; }
    double FramesPerSecond() const { return shape_.FramesPerSecond; }
    const std::vector<long long>& SlideStarts() const { return shape_.SlideStarts; }
    int SlideAt(long long frame) const;
    // The frame shown last and its picture.
    long long Position() const { return position_; }
    // The frame asked for last (shown when the drawing thread has drawn it).
    long long Target() const { return target_; }
    const QImage& Picture() const { return picture_; }
    bool Ready() const { return ready_; }
    // Why nothing plays, or that the picture plays without sound; empty when all is well.
    const QString& Notice() const { return notice_; }
    bool SoundPlaying() const { return sound_.Running(); }

    // Figures of the playing since the last Play.
    struct TStats {
        long long Shown = 0, Dropped = 0;
        long long Drawn = 0;      // frames the drawing thread drew (shown, dropped or queued)
        double DrawMs = 0;        // the drawing time of the frames shown, added up
        double LargestGapMs = 0;  // shown frame's time against the clock
    };
    const TStats& Stats() const { return stats_; }
    // The clock in seconds of the show (the sound's while it plays).
    double Clock() const;

signals:
    void FrameShown(long long frame);
    void ShapeChanged();   // frame count or slide boundaries
    void StateChanged();   // playing or paused, notice

private:
    void Prepared(const TPlaybackShape& shape);
    void Tick();
    void StartClock(long long frame);
    void RunClock();
    void BuildSound();
    void JoinSound();
    void NoSound();
    void SetNotice(const QString& notice);
    void Show(TDrawnFrame frame);

    TPlaybackDrawer drawer_;
    TPlaybackSound sound_;
    TPlaybackShape shape_;
    QSize room_{640, 360};
    QSize frameSize_;
    QTimer tick_;
    QElapsedTimer clock_;
    double clockStart_ = 0;
    bool playing_ = false;
    bool ready_ = false;
    bool waitForSound_ = false;
    bool stale_ = false;   // a Reload was refused while a job ran
    bool clockPending_ = false; // the clock starts with the first frame drawn
    long long position_ = 0;
    long long target_ = 0;
    QImage picture_;
    QString notice_;
    TStats stats_;
    std::uint64_t order_ = 0;
    std::uint64_t drawnAtStart_ = 0; // the drawer's frames when the clock started
    std::uint64_t loadOrder_ = 0;   // the drawer's order of the slideshow on its way
    std::uint64_t soundOrder_ = 0;  // the sound build under way or done last
    std::uint64_t soundDone_ = 0;   // the sound build whose result arrived
    TSoundtrackPlan soundPlan_;
    std::thread soundThread_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
