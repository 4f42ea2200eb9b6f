// The player in one run, printed as figures and as ratios to what it must reach:
//   1. 640x360, blur framing, random motion, captions, a transition every 3 s, 60 s of show:
//      frames drawn, shown and dropped, drawing time per frame (at least 25 frames a second,
//      at most 2 % dropped);
//   2. the same at 960x540 with letterbox framing and no motion;
//   3. a 5-minute show with a soundtrack: the largest gap between the frame shown and the clock
//      (the sound's when a sound device is there; at most 40 ms);
//   4. scrubbing a 200-slide show of 24-megapixel photos: the time until the frame is shown,
//      median and worst (150 and 400 ms), and the process's peak memory (under 300 MB).
//
//   build/bench/player_bench [--quick] [--only N]
//     --quick: 10 s shows, 1 minute of sound, 40 slides; --only N: part N alone (its memory
//     figures are then that part's own)
//
// The photos are made by the bench (eight different pictures of each size, used in turn).

#include "app/playback/PlaybackSound.h"
#include "app/playback/Player.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {
// Runs the event loop until done or timeout.
bool Until(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

std::vector<std::string> Photos(TTempDir& dir, const std::string& name, int width, int height) {
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) {
        const std::string file = dir.File(name + std::to_string(i) + ".jpg");
        const int band = 40 + 25 * i;
        WriteTestJpeg(file, width, height, [&](int x, int y) {
            const std::uint32_t r = std::uint32_t((x * 255 / width + i * 30) & 0xFF);
            const std::uint32_t g = std::uint32_t((y * 255 / height) & 0xFF);
            const std::uint32_t b = (x / band + y / band) % 2 ? 0xD0 : 0x30;
            return r << 16 | g << 8 | b;
        });
        files.push_back(file);
    }
    return files;
}

TSlideshowData Show(const std::vector<std::string>& photos, int slides, const std::string& size) {
    TSlideshowData data;
    for (int k = 0; k < slides; ++k) {
        TSlide slide = PlainSlide(photos[std::size_t(k) % photos.size()]);
        slide.Caption = "Slide " + std::to_string(k + 1) + " of the bench";
        data.Slides.push_back(slide);
    }
    data.Output.FrameSize = size;
    data.Output.FrameRate = {25, 1};
    data.Output.HoldSeconds = 2;
    data.Output.TransitionSeconds = 1;
    data.Output.RandomEffects = true;
    data.Output.Seed = 3;
    return data;
}

void Ratio(const char* what, double measured, double limit, bool atLeast) {
    const bool met = atLeast ? measured >= limit : measured <= limit;
    std::printf("  %-34s %9.2f   limit %7.2f   ratio %5.2f  %s\n", what, measured, limit,
                limit != 0 ? measured / limit : 0.0, met ? "met" : "NOT MET");
}

long PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The memory the process holds now.
long ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}
// Plays data from its start at room for seconds of show; prints the figures.
void PlayFor(const char* title, const TSlideshowData& data, QSize room, double seconds, bool sound) {
    TPlayer player;
    player.SoundWanted = sound;
    player.Source = [&] { return data; };
    player.SetRoom(room);
    player.Reload();
    if (!Until([&] { return player.Ready(); }, 60000)) {
        std::printf("%s: not ready (%s)\n", title, player.Notice().toUtf8().constData());
        return;
    }
    if (sound)
        Until([&] { return player.Notice().isEmpty() || player.Notice().startsWith("No sound"); }, 60000);
    // From the first frame shown: a sound device takes a moment to start, the picture waits for it.
    QElapsedTimer clock;
    QObject::connect(&player, &TPlayer::FrameShown, &player, [&] {
        if (!clock.isValid())
            clock.start();
    });
    player.Play();
    const long long last = std::min<long long>(player.FrameCount() - 1, (long long)(seconds * player.FramesPerSecond()));
    Until([&] { return player.Position() >= last || !player.Playing(); }, int(seconds * 1000) + 30000);
    const double elapsed = clock.elapsed() / 1000.0;
    player.Pause();
    const TPlayer::TStats& s = player.Stats();
    const long long due = s.Shown + s.Dropped;
    std::printf("%s: %dx%d, %.0f s of show in %.1f s, sound: %s\n", title, player.FrameSize().width(),
                player.FrameSize().height(), last / player.FramesPerSecond(), elapsed,
                player.SoundPlaying() || (sound && player.Notice().isEmpty()) ? "through the sound device"
                                                                             : player.Notice().isEmpty() ? "none (own clock)"
                                                                             : player.Notice().toUtf8().constData());
    std::printf("  frames drawn %lld, shown %lld, dropped %lld, drawing %.2f ms per frame shown\n", s.Drawn, s.Shown,
                s.Dropped, s.Shown ? s.DrawMs / s.Shown : 0.0);
    // In real time no more than the show's 25 can be shown: the drawing time tells how many the
    // drawing thread could draw, the frames shown a second may fall short by the 2 % dropped.
    Ratio("frames a second the drawing allows", s.Shown ? 1000.0 * s.Shown / s.DrawMs : 0.0, 25, true);
    Ratio("frames shown per second", s.Shown / std::max(elapsed, 0.001), 25 * 0.98, true);
    Ratio("frames dropped, %", due ? 100.0 * s.Dropped / due : 0, 2, false);
    Ratio("largest picture-clock gap, ms", s.LargestGapMs, 40, false);
    std::printf("  memory now %ld MB, peak %ld MB\n", ResidentMegabytes(), PeakMegabytes());
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    bool quick = false;
    int only = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: player_bench [--quick] [--only 1|2|3|4]\n");
            return 2;
        }
    }
    const auto part = [&](int n) { return only == 0 || only == n; };
    if (!FFLoader().LoadLibs(EncoderLibs)) {
        std::fprintf(stderr, "player_bench: %s\n", FFLoader().LastErrMsg().c_str());
        return 1;
    }
    TTempDir dir;
    const double showSeconds = quick ? 10 : 60;
    // 4. Scrubbing, first: the peak memory is this show's.
    if (part(4)) {
        const std::vector<std::string> big = Photos(dir, "big", 6000, 4000);
        TSlideshowData many = Show(big, quick ? 40 : 200, "1920x1080");
        many.Output.Framing = TFraming::Letterbox;
        TPlayer player;
        player.SoundWanted = false;
        player.Source = [&] { return many; };
        player.SetRoom(QSize(640, 360));
        player.Reload();
        Until([&] { return player.Ready() && !player.Picture().isNull(); }, 60000);
        std::vector<double> times;
        std::uint32_t state = 12345;
        for (int i = 0; i < (quick ? 15 : 40); ++i) {
            state = state * 1664525u + 1013904223u;
            const long long frame = (long long)(state % std::uint32_t(player.FrameCount()));
            QElapsedTimer clock;
            clock.start();
            player.ShowFrame(frame);
            Until([&] { return player.Position() == frame && !player.Picture().isNull(); }, 10000);
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::sort(times.begin(), times.end());
        std::printf("4. scrubbing %d slides of 6000x4000 photos, %zu jumps to random frames\n", int(many.Slides.size()),
                    times.size());
        Ratio("median time to the frame, ms", times[times.size() / 2], 150, false);
        Ratio("worst time to the frame, ms", times.back(), 400, false);
        Ratio("peak memory of the process, MB", double(PeakMegabytes()), 300, false);
        std::printf("  memory now %ld MB\n", ResidentMegabytes());
    }
    const std::vector<std::string> photos = only == 4 ? std::vector<std::string>() : Photos(dir, "photo", 3000, 2000);

    if (part(1)) {
        TSlideshowData moving = Show(photos, int(showSeconds / 3) + 1, "1920x1080");
        moving.Output.Framing = TFraming::Blur;
        moving.Output.Motion = TMotionStyle::Random;
        PlayFor("1. blur, random motion, captions", moving, QSize(640, 360), showSeconds, false);
    }
    if (part(2)) {
        TSlideshowData still = Show(photos, int(showSeconds / 3) + 1, "1920x1080");
        still.Output.Framing = TFraming::Letterbox;
        PlayFor("2. letterbox, no motion, captions", still, QSize(960, 540), showSeconds, false);
    }
    if (!part(3))
        return 0;
    const double soundSeconds = quick ? 60 : 300;
    TSlideshowData long_ = Show(photos, int(soundSeconds / 3) + 1, "1920x1080");
    const std::string song = dir.File("song.wav");
    WriteTestWav(song, 20, 44100, 2);
    long_.Soundtracks = {{song}};
    long_.Output.Audio = song;
    long_.Output.LoopMusic = true;
    std::printf("sound device: %s\n", TPlaybackSound::DeviceFound() ? "found" : "none (the player's own clock)");
    PlayFor("3. a long show with looped music", long_, QSize(640, 360), soundSeconds, true);

    return 0;
}
