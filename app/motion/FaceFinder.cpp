#include "app/motion/FaceFinder.h"

#include "app/motion/FaceCascades.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace {

// The frontal cascade of the Haar family finds upright faces with the fewest false hits on
// landscapes and textures; the profile cascade (run on the picture and its mirror image) adds
// faces turned to the side. A frontal hit must be confirmed by a second frontal cascade looking
// closely at the place alone (cheap: a small part of the picture). The profile hits go
// unconfirmed: the LBP profile cascade misses the side view of the camera man in the tests, and
// the Haar one would only agree with itself.
constexpr const char* FrontalFile = "haarcascades/haarcascade_frontalface_alt2.xml";
constexpr const char* ProfileFile = "haarcascades/haarcascade_profileface.xml";
constexpr const char* FrontalCheckFile = "haarcascades/haarcascade_frontalface_alt.xml";
// The confirming look: the hit's surroundings (this many hit sizes each way), faces of about
// the hit's size, finer steps and fewer neighbours than the search itself.
constexpr double CheckSurroundings = 0.5;
constexpr double CheckScaleStep = 1.05;
constexpr int CheckNeighbours = 2;

// A face smaller than this part of the picture's shorter side is no face a framing cares for
// (and most false hits are that small).
constexpr int SmallestFaceDivisor = 20;
// The profile cascade is the slow one (about three times the frontal one, and it looks at the
// picture and its mirror image), and most of its time goes to the smallest faces: it looks for
// faces of at least this part of the shorter side only, about a quarter of the windows. A face
// turned to the side smaller than that is left to the detail and to the frontal cascade.
constexpr int SmallestProfileDivisor = 10;
constexpr int SmallestFacePixels = 20;
// Neighbouring hits a detection needs. Measured on the test pictures at 800 pixels: faces got
// 11 to 37, the one false frontal hit (wood grain of an enlarged photo) 5.
constexpr int FrontalNeighbours = 7;
constexpr int ProfileNeighbours = 5;
// Steps between the sizes of face tried. Coarser steps for the (slow) profile cascade lose the
// side view of the camera man in the tests.
constexpr double FrontalScaleStep = 1.1;
constexpr double ProfileScaleStep = 1.1;
// Hits overlapping by more than this (intersection over union) are the same face.
constexpr double SameFaceOverlap = 0.25;

struct TDetectors {
    cv::CascadeClassifier Frontal, Profile, FrontalCheck;
};

// CascadeClassifier may not be used by two threads at once, and it keeps the buffers of the
// last picture's pyramid (about 15 MB a cascade at 800 pixels) for as long as it lives: every
// call loads a set of its own (about 60 ms of processor time, against some 450 ms of looking)
// and lets it go after. Kept from call to call, the sets held some 25 MB of a moving
// slideshow's peak memory for nothing.
class TDetectorLoader {
public:
    std::unique_ptr<TDetectors> Take() {
        std::string folder;
        unsigned generation;
        {
            std::lock_guard lock(mutex_);
            folder = folder_;
            generation = generation_;
        }
        auto d = std::make_unique<TDetectors>();
        std::vector<std::string> missing;
        for (auto [classifier, file] : {std::pair{&d->Frontal, FrontalFile}, std::pair{&d->Profile, ProfileFile},
                                        std::pair{&d->FrontalCheck, FrontalCheckFile}}) {
            const std::string path = folder + "/" + file;
            bool loaded = false;
            try {
                // Asked first: OpenCV would say a missing file on standard error by itself.
                loaded = std::filesystem::is_regular_file(path) && classifier->load(path);
            } catch (const cv::Exception&) {
                loaded = false; // a damaged file counts as a missing one
            }
            if (!loaded)
                missing.push_back(path);
        }
        for (const std::string& path : missing)
            SayMissing(path, generation);
        return d;
    }


    void SetFolder(const std::string& folder) {
        std::lock_guard lock(mutex_);
        folder_ = folder;
        ++generation_;
        said_.clear();
    }

    std::string Folder() {
        std::lock_guard lock(mutex_);
        return folder_;
    }

    void SetLog(std::function<void(const std::string&)> log) {
        std::lock_guard lock(mutex_);
        log_ = std::move(log);
    }

private:
    void SayMissing(const std::string& path, unsigned generation) {
        std::function<void(const std::string&)> log;
        {
            std::lock_guard lock(mutex_);
            if (generation != generation_ || !said_.insert(path).second)
                return;
            log = log_;
        }
        const std::string line = "Face detection is off: cannot read the cascade file \"" + path + "\"";
        if (log)
            log(line);
        else
            std::cerr << line << '\n';
    }

    std::mutex mutex_;
    std::string folder_ = PIXAROLL_CASCADE_DIR;
    unsigned generation_ = 0;
    std::set<std::string> said_;
    std::function<void(const std::string&)> log_;
};

TDetectorLoader& Loader() {
    static TDetectorLoader loader;
    return loader;
}


double Overlap(const cv::Rect& a, const cv::Rect& b) {
    const double common = (a & b).area();
    const double all = a.area() + b.area() - common;
    return all > 0 ? common / all : 0;
}

bool SameFace(const cv::Rect& a, const cv::Rect& b) {
    const cv::Point ca(a.x + a.width / 2, a.y + a.height / 2);
    const cv::Point cb(b.x + b.width / 2, b.y + b.height / 2);
    return Overlap(a, b) > SameFaceOverlap || a.contains(cb) || b.contains(ca);
}

// Whether the checking cascade sees a face of about the hit's size around it. Without the
// checking cascade's file the hit stands unconfirmed.
bool Confirmed(cv::CascadeClassifier& check, const cv::Mat& grey, const cv::Rect& hit) {
    if (check.empty())
        return true;
    const int mx = int(hit.width * CheckSurroundings), my = int(hit.height * CheckSurroundings);
    const cv::Rect around = cv::Rect(hit.x - mx, hit.y - my, hit.width + 2 * mx, hit.height + 2 * my) &
                            cv::Rect(0, 0, grey.cols, grey.rows);
    const int side = std::min(hit.width, hit.height);
    std::vector<cv::Rect> found;
    check.detectMultiScale(grey(around), found, CheckScaleStep, CheckNeighbours, 0, cv::Size(side * 2 / 3, side * 2 / 3),
                           cv::Size(side * 3 / 2, side * 3 / 2));
    return !found.empty();
}

} // namespace

std::vector<cv::Rect> FindFaces(const cv::Mat& grey) {
    if (grey.empty())
        return {};
    const std::unique_ptr<TDetectors> detectors = Loader().Take();
    TDetectors& d = *detectors;

    // The smallest face a cascade looks for: this part of the shorter side, at least SmallestFacePixels.
    const auto smallest = [&](int divisor) {
        const int side = std::max(SmallestFacePixels, std::min(grey.cols, grey.rows) / divisor);
        return cv::Size(side, side);
    };
    const cv::Size minSize = smallest(SmallestFaceDivisor);
    // Frontal hits first: where two detectors see the same face, the frontal box is kept.
    std::vector<cv::Rect> hits;
    if (!d.Frontal.empty()) {
        std::vector<cv::Rect> front;
        d.Frontal.detectMultiScale(grey, front, FrontalScaleStep, FrontalNeighbours, 0, minSize);
        for (const cv::Rect& r : front)
            if (Confirmed(d.FrontalCheck, grey, r))
                hits.push_back(r);
    }
    // Its pyramid buffers go before the profile cascade makes its own.
    d.Frontal = cv::CascadeClassifier();
    d.FrontalCheck = cv::CascadeClassifier();
    if (!d.Profile.empty()) {
        // The cascades know faces turned one way only; the mirror image shows the others.
        cv::Mat mirrored;
        cv::flip(grey, mirrored, 1);
        for (const cv::Mat* view : {&grey, static_cast<const cv::Mat*>(&mirrored)}) {
            std::vector<cv::Rect> side;
            d.Profile.detectMultiScale(*view, side, ProfileScaleStep, ProfileNeighbours, 0,
                                       smallest(SmallestProfileDivisor));
            for (cv::Rect r : side) {
                if (view == &mirrored)
                    r.x = grey.cols - r.x - r.width;
                hits.push_back(r);
            }
        }
    }

    std::vector<cv::Rect> faces;
    for (const cv::Rect& hit : hits)
        if (std::none_of(faces.begin(), faces.end(), [&](const cv::Rect& f) { return SameFace(f, hit); }))
            faces.push_back(hit);
    std::stable_sort(faces.begin(), faces.end(), [](const cv::Rect& a, const cv::Rect& b) { return a.area() > b.area(); });
    return faces;
}

void SetInterestCascadeFolder(const std::string& folder) { Loader().SetFolder(folder); }

std::string InterestCascadeFolder() { return Loader().Folder(); }

void SetInterestLog(std::function<void(const std::string&)> log) { Loader().SetLog(std::move(log)); }
