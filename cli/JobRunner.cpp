#include "cli/JobRunner.h"

#include "app/output/RunProgress.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <signal.h>
#include <unistd.h>

namespace {
std::atomic<int> receivedSignal{0};
struct sigaction previousInt, previousTerm;

void OnStopSignal(int sig) {
    int expected = 0;
    if (!receivedSignal.compare_exchange_strong(expected, sig))
        ::_exit(128 + sig); // the second signal: the user wants out now
}

// Done share of the run in 0..1, or -1 when unknown.
double Fraction(const TProgressInfo& info, int64_t expectedFrames) {
    if (expectedFrames > 0)
        return std::min(1.0, double(info.FrameNumber) / double(expectedFrames));
    if (info.TotalDuration > 0)
        return std::min(1.0, double(info.CurrentTime) / double(info.TotalDuration));
    return -1;
}
} // namespace

TStopSignals::TStopSignals() {
    receivedSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

TStopSignals::~TStopSignals() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

int TStopSignals::Received() { return receivedSignal.load(); }

TProgressPrinter::TProgressPrinter(bool quiet, int64_t expectedFrames, double frameRate, double plainEvery)
    : quiet_(quiet), terminal_(::isatty(STDERR_FILENO) == 1), expectedFrames_(expectedFrames), frameRate_(frameRate),
      plainEvery_(plainEvery), start_(std::chrono::steady_clock::now()), lastPlain_(start_) {}

std::string TProgressPrinter::Describe(const TProgressInfo& info, int64_t expectedFrames, double frameRate,
                                       double elapsed) {
    double fraction = Fraction(info, expectedFrames);
    char text[256];
    std::string percent = fraction >= 0 ? std::to_string(int(fraction * 100)) + "%" : "--%";
    std::string frames = expectedFrames > 0 ? std::to_string(info.FrameNumber) + "/" + std::to_string(expectedFrames)
                                            : std::to_string(info.FrameNumber);
    // Speed: seconds of video written per second of work.
    double videoSeconds = frameRate > 0 && info.FrameNumber > 0 ? info.FrameNumber / frameRate : info.CurrentTime / 1e6;
    double speed = elapsed > 0 ? videoSeconds / elapsed : 0;
    double left = fraction > 0 && elapsed > 0 ? elapsed * (1 - fraction) / fraction : -1;
    std::snprintf(text, sizeof text, "%4s  frame %s  %.1fx  %s left", percent.c_str(), frames.c_str(), speed,
                  ClockText(left).c_str());
    return text;
}

void TProgressPrinter::Show(const TProgressInfo& info) {
    if (quiet_)
        return;
    auto now = std::chrono::steady_clock::now();
    double elapsed = std::chrono::duration<double>(now - start_).count();
    std::string text = Describe(info, expectedFrames_, frameRate_, elapsed);
    if (terminal_) {
        double fraction = Fraction(info, expectedFrames_);
        const int width = 30;
        int filled = fraction >= 0 ? int(fraction * width) : 0;
        std::string bar = "[" + std::string(std::size_t(filled), '#') + std::string(std::size_t(width - filled), '.') + "]";
        std::fprintf(stderr, "\r%s %s\033[K", bar.c_str(), text.c_str());
        std::fflush(stderr);
        shown_ = true;
    } else if (std::chrono::duration<double>(now - lastPlain_).count() >= plainEvery_) { // a line now and then
        lastPlain_ = now;
        std::fprintf(stderr, "progress: %s\n", text.c_str());
    }
}

void TProgressPrinter::Finish() {
    if (terminal_ && shown_ && !quiet_)
        std::fprintf(stderr, "\n");
    shown_ = false;
}

int RunUntilEnd(TQueueMainThread& queue, const TRunControl& control) {
    bool stopped = false;
    while (!control.Ended()) {
        queue.Pump(std::chrono::milliseconds(50));
        if (!stopped && TStopSignals::Received()) {
            stopped = true;
            control.Stop();
        }
    }
    queue.Pump();
    return TStopSignals::Received();
}

int ReportStop(const char* command, int signal) {
    if (signal == 0)
        return 0;
    std::fprintf(stderr, "pixaroll-cli %s: stopped by %s; what was written so far is kept\n", command,
                 signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal");
    return 128 + signal;
}
