#pragma once
// When a photo was taken, as its camera recorded it in the EXIF block (DateTimeOriginal).

#include <string>

// "2021-07-14 10:20" for a recorded "2021:07:14 10:20:30"; empty when the file has no EXIF
// block, no such tag or a value that is no date (cameras without a clock write blanks or zeros).
std::string PhotoDateTaken(const std::string& fileName);
// The recorded value as sortable text, "2021:07:14 10:20:30"; empty as above.
std::string PhotoDateTakenStamp(const std::string& fileName);
