#include "app/captions/CaptionCues.h"

#include "app/timing/SlideHolds.h"
#include "app/show/SlideshowData.h"
#include "app/output/FrameCount.h"
#include "app/captions/SlideCaption.h"
#include "app/captions/CaptionLayer.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

namespace {
std::string Time(long long ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}
} // namespace

std::string CaptionCues(const TSlideshowData& data, const TSlideTiming* timing) {
    const int num = data.Output.FrameRate.Num, den = data.Output.FrameRate.Den;
    if (num <= 0 || den <= 0)
        return {};
    auto ms = [&](double frame) { return static_cast<long long>(frame * 1000.0 * den / num + 0.5); };
    const int transition = FrameCount(data.Output.FrameRate, data.Output.TransitionSeconds);
    // A caption shows from the first frame of its fade in to the last of its fade out.
    const int fade = CaptionFadeFrames(data);
    const int steps = std::max(transition, 1);
    std::string cues;
    int number = 0;
    long long start = 0; // first frame of the transition into slide k
    for (int k = 0; k < int(data.Slides.size()); ++k) {
        const int hold = timing && k < int(timing->HoldFrames.size()) ? timing->HoldFrames[std::size_t(k)]
                                                                       : SlideHoldFrames(data, k);
        const long long next = start + transition + hold;
        const std::string text = SlideCaptionText(data.Slides[std::size_t(k)]);
        if (!text.empty())
            cues += std::to_string(++number) + "\n" + Time(ms(start + steps - fade)) + " --> " + Time(ms(next + fade)) +
                    "\n" + text + "\n\n";
        start = next;
    }
    return cues;
}

bool TakesCaptionStream(const std::string& container) { return container == "mp4" || container == "mov"; }

TCaptionCueFile::~TCaptionCueFile() { Remove(); }

bool TCaptionCueFile::Write(const std::string& text, std::string& error) {
    Remove();
    // Qt gives an empty path for a temporary folder that does not exist: never the root folder.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty()) {
        error = "cannot write the caption cues: the temporary folder " + qEnvironmentVariable("TMPDIR").toStdString() +
                " does not exist";
        return false;
    }
    QTemporaryFile file(folder + "/pixaroll-captions-XXXXXX.srt");
    file.setAutoRemove(false);
    if (!file.open() || file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush()) {
        error = "cannot write the caption cues: " + file.errorString().toStdString();
        if (!file.fileName().isEmpty())
            QFile::remove(file.fileName());
        return false;
    }
    path_ = file.fileName().toStdString();
    return true;
}

void TCaptionCueFile::Remove() {
    if (path_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    path_.clear();
}
