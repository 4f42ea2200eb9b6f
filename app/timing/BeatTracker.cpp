#include "app/timing/BeatTracker.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

struct TBeatTracker::TState {
    aubio_tempo_t* Tempo = nullptr;
    fvec_t* In = nullptr;
    fvec_t* Out = nullptr;
    int Filled = 0;
};

TBeatTracker::TBeatTracker(int sampleRate) : rate_(sampleRate), s_(new TState) {
    s_->Tempo = new_aubio_tempo("default", Window, Hop, uint_t(sampleRate));
    s_->In = new_fvec(Hop);
    s_->Out = new_fvec(1);
    if (!s_->Tempo || !s_->In || !s_->Out) {
        Release();
        throw std::runtime_error("Cannot start the beat tracker");
    }
}

TBeatTracker::~TBeatTracker() { Release(); }

void TBeatTracker::Release() {
    if (!s_)
        return;
    if (s_->Tempo)
        del_aubio_tempo(s_->Tempo);
    if (s_->In)
        del_fvec(s_->In);
    if (s_->Out)
        del_fvec(s_->Out);
    delete s_;
    s_ = nullptr;
}

void TBeatTracker::Feed(const float* samples, int count) {
    while (count > 0) {
        const int n = std::min(count, Hop - s_->Filled);
        std::copy(samples, samples + n, s_->In->data + s_->Filled);
        s_->Filled += n;
        samples += n;
        count -= n;
        if (s_->Filled == Hop)
            RunHop();
    }
}

void TBeatTracker::RunHop() {
    s_->Filled = 0;
    aubio_tempo_do(s_->Tempo, s_->In, s_->Out);
    if (s_->Out->data[0] != 0) {
        const double t = offset_ + aubio_tempo_get_last_s(s_->Tempo);
        if (t >= 0 && (times_.empty() || t > times_.back()))
            times_.push_back(t);
    }
}

namespace {
double MedianGap(const std::vector<double>& times) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    if (gaps.empty())
        return 0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}
// The beat period that fits all the beats best (least squares over their numbers), counting
// each gap as the whole number of periods of about `period` it spans: the tracker's own tempo
// is a few per cent off at times, which adds up over a long gap.
double FittedPeriod(const std::vector<double>& times, double period) {
    if (times.size() < 2 || !(period > 0))
        return period;
    std::vector<double> index{0};
    for (std::size_t i = 1; i < times.size(); ++i)
        index.push_back(index.back() + std::max(1.0, std::round((times[i] - times[i - 1]) / period)));
    const double n = double(times.size());
    double si = 0, st = 0, sii = 0, sit = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        si += index[i];
        st += times[i];
        sii += index[i] * index[i];
        sit += index[i] * times[i];
    }
    const double d = n * sii - si * si;
    const double fitted = d > 0 ? (n * sit - si * st) / d : period;
    return fitted > 0 && std::fabs(fitted - period) < 0.25 * period ? fitted : period;
}
} // namespace

TBeats TBeatTracker::Result() const {
    TBeats beats;
    beats.Times = times_;
    // The tracker's own tempo: it keeps it also where it leaves beats out (a steady click
    // track loses many of them once the tracker has locked on).
    const double bpm = aubio_tempo_get_bpm(s_->Tempo);
    const double gap = MedianGap(times_);
    const double guess = bpm > 0 ? 60.0 / bpm : gap;
    beats.Bpm = times_.size() < 2 || !(guess > 0) ? 0 : 60.0 / FittedPeriod(times_, guess);
    return beats;
}

std::vector<double> CompletedBeats(const TBeats& beats, double musicSeconds) {
    const std::vector<double>& t = beats.Times;
    if (t.size() < 2 || !(beats.Bpm > 0))
        return t;
    const double period = 60.0 / beats.Bpm;
    std::vector<double> out;
    // Before the first beat found: back to the start at the tempo.
    const int before = int(std::floor(t.front() / period + 1e-9));
    for (int i = before; i >= 1; --i)
        out.push_back(t.front() - i * period);
    for (std::size_t i = 0; i < t.size(); ++i) {
        out.push_back(t[i]);
        if (i + 1 < t.size()) {
            // A gap of about k periods gets k - 1 beats spread evenly over it.
            const double gap = t[i + 1] - t[i];
            const int k = int(std::lround(gap / period));
            for (int j = 1; j < k; ++j)
                out.push_back(t[i] + gap * j / k);
        }
    }
    for (double next = t.back() + period; next < musicSeconds; next += period)
        out.push_back(next);
    return out;
}
