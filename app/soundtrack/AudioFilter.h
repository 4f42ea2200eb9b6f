#pragma once
// Interleaved float audio through libavfilter: a graph description run over a whole buffer, and
// the integrated loudness (EBU R128) that the library's ebur128 filter measures.

#include <string>
#include <vector>

// Runs samples (interleaved, rate and channels as given) through the graph description and
// replaces them with what comes out, converted back to the same rate and channels. False with
// error when the graph cannot be made or fails.
bool FilterAudio(std::vector<float>& samples, int rate, int channels, const std::string& description,
                 std::string& error);

// The integrated loudness of samples in LUFS (about -70 for silence). False with error when the
// measurement cannot be made.
bool MeasureLoudness(const std::vector<float>& samples, int rate, int channels, double& lufs, std::string& error);
