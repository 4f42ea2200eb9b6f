#pragma once
// Faces in a grey picture, with OpenCV's cascade detectors: frontal faces, and faces seen from
// the side in either direction. Overlapping hits of the detectors count as one face.

#include <opencv2/core.hpp>

#include <vector>

// Boxes in the picture's pixels, largest first. Thread-safe: every call loads a set of
// detectors of its own and lets it go after.
std::vector<cv::Rect> FindFaces(const cv::Mat& grey);
