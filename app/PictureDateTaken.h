#pragma once
// The date and time a photo was taken, as its camera recorded it in the EXIF data of a JPEG file
// (DateTimeOriginal, else the picture's DateTime): "YYYY:MM:DD HH:MM:SS", which sorts as text.

#include <cstddef>
#include <cstdint>
#include <string>

// From the payload of a JPEG APP1 segment ("Exif\0\0" and the TIFF data); empty when it has none.
std::string ExifDateTaken(const std::uint8_t* app1, std::size_t size);
// From a picture file; empty when the file is no JPEG, cannot be read or records no date.
std::string PictureDateTaken(const std::string& fileName);
