#pragma once
// Where the face finder's detectors come from, and where it tells what it misses.

#include <functional>
#include <string>

// The folder of the face detector's cascade files (haarcascades/ below it): the system's
// OpenCV data folder unless set. A change takes effect with the next call of FindInterest.
// Without the files no faces are found and one line says so through the interest log.
void SetInterestCascadeFolder(const std::string& folder);
std::string InterestCascadeFolder();

// Receives the face detector's log lines (a missing cascade file, once per folder); standard
// error when none is set. Called on the thread that calls FindInterest.
void SetInterestLog(std::function<void(const std::string&)> log);
