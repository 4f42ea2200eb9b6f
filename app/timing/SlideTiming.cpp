#include "app/timing/SlideTiming.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

long long TimedFrameCount(const std::vector<int>& holds, int transitionFrames) {
    long long frames = transitionFrames + 2;
    for (int h : holds)
        frames += h + transitionFrames;
    return frames;
}

std::vector<long long> TransitionStarts(const std::vector<int>& holds, int transitionFrames) {
    std::vector<long long> starts;
    long long at = 0;
    for (int h : holds) {
        at += transitionFrames + h;
        starts.push_back(at);
    }
    return starts;
}

bool FitHolds(const std::vector<int>& ownHolds, int transitionFrames, long long totalFrames, std::vector<int>& holds) {
    const long long n = static_cast<long long>(ownHolds.size());
    long long remaining = totalFrames - (n + 1) * transitionFrames - 2;
    long long sharing = 0;
    for (int own : ownHolds) {
        if (own > 0)
            remaining -= own;
        else
            ++sharing;
    }
    if (sharing == 0) {
        holds = ownHolds;
        return true;
    }
    if (remaining < sharing || remaining / sharing > INT_MAX)
        return false;
    const long long base = remaining / sharing;
    long long longer = remaining % sharing;
    holds.clear();
    for (int own : ownHolds) {
        if (own > 0) {
            holds.push_back(own);
        } else {
            holds.push_back(int(base + (longer > 0 ? 1 : 0)));
            if (longer > 0)
                --longer;
        }
    }
    return true;
}

namespace {
constexpr int BeatsPerBar = 4;

// The grid frame nearest to target within [low, high] and no farther than reach; -1 when none.
long long Nearest(const std::vector<long long>& grid, long long target, long long low, long long high, long long reach) {
    auto it = std::lower_bound(grid.begin(), grid.end(), target);
    long long best = -1;
    auto consider = [&](long long g) {
        if (g < low || g > high || std::llabs(g - target) > reach)
            return;
        if (best < 0 || std::llabs(g - target) < std::llabs(best - target))
            best = g;
    };
    // The neighbours of target, then the first beat inside the bounds on either side.
    if (it != grid.end())
        consider(*it);
    if (it != grid.begin())
        consider(*std::prev(it));
    if (best < 0) {
        auto lowIt = std::lower_bound(grid.begin(), grid.end(), low);
        if (lowIt != grid.end())
            consider(*lowIt);
        auto highIt = std::upper_bound(grid.begin(), grid.end(), high);
        if (highIt != grid.begin())
            consider(*std::prev(highIt));
    }
    return best;
}

struct TPlaced {
    std::vector<long long> Starts;
    int OnBeat = 0, Moved = 0;
    long long Distance = 0; // how far the starts were moved in all
};

// preferred: beats taken before those of grid, from up to preferredReach away.
TPlaced Place(const std::vector<long long>& nominal, int transitionFrames, const std::vector<long long>& grid,
              long long reach, bool keepEnd, const std::vector<long long>& preferred = {}, long long preferredReach = 0) {
    const int n = int(nominal.size());
    TPlaced p;
    long long previous = 0; // the fade-in
    for (int k = 0; k < n; ++k) {
        const long long low = previous + transitionFrames + 1;
        const long long high = keepEnd ? nominal[n - 1] - static_cast<long long>(n - 1 - k) * (transitionFrames + 1) : LLONG_MAX;
        long long at = -1;
        if (!(keepEnd && k == n - 1)) {
            at = Nearest(preferred, nominal[k], low, high, preferredReach);
            if (at < 0)
                at = Nearest(grid, nominal[k], low, high, reach);
        }
        if (at >= 0) {
            ++p.OnBeat;
        } else {
            at = std::clamp(nominal[k], low, std::max(low, high));
            if (std::binary_search(grid.begin(), grid.end(), at))
                ++p.OnBeat;
        }
        if (at != nominal[k])
            ++p.Moved;
        p.Distance += std::llabs(at - nominal[k]);
        p.Starts.push_back(at);
        previous = at;
    }
    return p;
}

double Average(const std::vector<int>& holds) {
    return holds.empty() ? 0 : std::accumulate(holds.begin(), holds.end(), 0.0) / double(holds.size());
}

std::vector<int> HoldsOf(const std::vector<long long>& starts, int transitionFrames) {
    std::vector<int> holds;
    long long previous = 0;
    for (long long s : starts) {
        holds.push_back(int(s - previous - transitionFrames));
        previous = s;
    }
    return holds;
}

long long MedianGap(const std::vector<long long>& beats) {
    std::vector<long long> gaps;
    for (std::size_t i = 1; i < beats.size(); ++i)
        gaps.push_back(beats[i] - beats[i - 1]);
    if (gaps.empty())
        return 0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}
} // namespace

TBeatSnap SnapToBeats(const std::vector<int>& holds, int transitionFrames, const std::vector<long long>& beatFrames,
                      bool keepEnd, const std::vector<long long>& reported) {
    TBeatSnap snap;
    snap.HoldFrames = holds;
    const std::vector<long long> nominal = TransitionStarts(holds, transitionFrames);
    const long long beat = MedianGap(beatFrames);
    if (holds.empty() || beat <= 0)
        return snap;
    const double chosen = Average(holds);
    auto acceptable = [&](const TPlaced& p) {
        return std::fabs(Average(HoldsOf(p.Starts, transitionFrames)) - chosen) <= 0.1 * chosen;
    };
    auto take = [&](const TPlaced& p, bool bars) {
        snap.HoldFrames = HoldsOf(p.Starts, transitionFrames);
        snap.OnBeat = p.OnBeat;
        snap.Moved = p.Moved;
        snap.OnBars = bars;
        return snap;
    };

    const long long bar = beat * BeatsPerBar;
    // Long enough: the distance of two transitions spans two bars, so that moving each to its
    // nearest bar (at most half a bar) leaves the holds close to even.
    if (chosen + transitionFrames >= double(2 * bar)) {
        // The phase of the bars that moves the transitions least.
        bool found = false;
        TPlaced best;
        for (int phase = 0; phase < BeatsPerBar; ++phase) {
            std::vector<long long> downbeats;
            for (std::size_t i = std::size_t(phase); i < beatFrames.size(); i += BeatsPerBar)
                downbeats.push_back(beatFrames[i]);
            TPlaced p = Place(nominal, transitionFrames, downbeats, bar, keepEnd);
            if (acceptable(p) && (!found || p.OnBeat > best.OnBeat ||
                                  (p.OnBeat == best.OnBeat && p.Distance < best.Distance))) {
                best = std::move(p);
                found = true;
            }
        }
        if (found)
            return take(best, true);
    }
    TPlaced p = Place(nominal, transitionFrames, beatFrames, beat / 2 + 1, keepEnd, reported, beat * 3 / 2);
    if (acceptable(p))
        return take(p, false);
    return snap;
}
