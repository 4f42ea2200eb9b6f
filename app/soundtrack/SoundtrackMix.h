#pragma once
// The arithmetic of the slideshow's soundtrack on interleaved float samples: songs one after the
// other, the loop with a crossfade at its seam, fades, the end cut without a click, and sounds
// laid over the music with the music ducked beneath them.

#include <vector>

// A very short crossfade where a loop starts again: enough to hide the seam, too short to hear.
constexpr double LoopCrossfadeSeconds = 0.05;
// A cut end (the pictures end before the music) always ramps down over at least this long.
constexpr double CutRampSeconds = 0.03;
// Ducking: the music's gain under an overlay, and how long it takes to get there and back.
constexpr double DuckGain = 0.2512; // -12 dB
constexpr double DuckRampSeconds = 0.2;
// An overlay itself starts and ends with this short ramp, so it never clicks in.
constexpr double OverlayEdgeSeconds = 0.01;

// Appends song to mix (interleaved, same channel count): no gap, no overlap.
void AppendSong(std::vector<float>& mix, const std::vector<float>& song);

// Repeats music until it holds frames sample frames, each new pass crossfaded over the end of
// the one before during crossfadeFrames (shortened when the music is too short for it), and cut
// at frames. Music already that long is only cut.
void LoopToLength(std::vector<float>& music, int channels, long long frames, long long crossfadeFrames);

// Cuts the music at frames (or pads it with silence up to there).
void SetLength(std::vector<float>& music, int channels, long long frames);

// Gain rises from silence over the first fadeInFrames. Over the last fadeOutFrames the gain
// falls and reaches silence a tenth of the fade before the end, so the end itself is quiet.
void ApplyFades(std::vector<float>& music, int channels, long long fadeInFrames, long long fadeOutFrames);

// The music's gain along the time line under overlays: 1 outside, the ducked (or silent) gain
// under each, reached with ramps of rampFrames before the overlay starts and after it ends.
struct TDuckSpan {
    long long At = 0, Frames = 0; // where the overlay lies, in sample frames of the slideshow
    double Gain = DuckGain;       // 1: no ducking, 0: silent
};
std::vector<float> DuckEnvelope(long long frames, const std::vector<TDuckSpan>& spans, long long rampFrames);

// Mixes overlay (interleaved, same channels) into mix starting at frame at, with short edge
// ramps; mix grows with silence when the overlay runs past its end.
void MixOver(std::vector<float>& mix, int channels, const std::vector<float>& overlay, long long at,
             long long edgeFrames);

// The largest absolute sample value.
float Peak(const std::vector<float>& samples);
