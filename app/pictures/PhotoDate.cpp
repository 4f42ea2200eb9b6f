#include "app/pictures/PhotoDate.h"

#include <libexif/exif-data.h>

#include <cctype>
#include <memory>

namespace {
struct TExifDataFree {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

// "YYYY:MM:DD HH:MM:SS" with digits where digits belong and a year above 0.
bool IsStamp(const std::string& s) {
    static const char pattern[] = "dddd:dd:dd dd:dd:dd";
    if (s.size() != sizeof pattern - 1)
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(s[i])) != 0;
        if (pattern[i] == 'd' ? !digit : s[i] != pattern[i])
            return false;
    }
    return s.compare(0, 4, "0000") != 0 && s.compare(5, 2, "00") != 0;
}
} // namespace

std::string PhotoDateTakenStamp(const std::string& fileName) {
    std::unique_ptr<ExifData, TExifDataFree> data(exif_data_new_from_file(fileName.c_str()));
    if (!data)
        return {};
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL);
    if (!entry)
        return {};
    char value[64] = {};
    exif_entry_get_value(entry, value, sizeof value);
    std::string stamp(value);
    return IsStamp(stamp) ? stamp : std::string();
}

std::string PhotoDateTaken(const std::string& fileName) {
    std::string stamp = PhotoDateTakenStamp(fileName);
    if (stamp.empty())
        return {};
    stamp[4] = '-';
    stamp[7] = '-';
    return stamp.substr(0, 16);
}
