#pragma once
// Looking at decoded sound in tests: any file decoded by ffmpeg to mono float samples, the RMS
// of windows, the level of one frequency, and steps between neighbouring samples.

#include <string>
#include <vector>

// The file's first audio stream as mono float samples at rate (ffmpeg does the decoding).
std::vector<float> DecodeMono(const std::string& file, int rate);
// The samples of the file's first audio stream, channels interleaved, at its own rate.
std::vector<float> DecodeInterleaved(const std::string& file, int rate, int channels);

// RMS of samples [from, from + count), clipped to the buffer.
double Rms(const std::vector<float>& samples, long long from, long long count);
double Decibels(double rms);
// The amplitude of frequency Hz in samples [from, from + count) (Goertzel).
double ToneLevel(const std::vector<float>& samples, int rate, double frequency, long long from, long long count);
// The largest |s[i+1] - s[i]| in [from, to).
double LargestStep(const std::vector<float>& samples, long long from, long long to);
// ffmpeg's ebur128 measure of the file's integrated loudness, LUFS.
double IntegratedLoudness(const std::string& file);
