#pragma once
// The fixed texts and tables of the main window: option lists, the Default button's choices per
// container, the web addresses and the open-file filters.

#include "app/output/FirstRunChoices.h"

#include <QString>
#include <QStringList>

class TGlobalObject;

namespace window_texts {

inline const QStringList SampleRates = {"as source", "8000", "11025", "22050", "44100"};
// The classic five first; the rows of today's codecs follow (ContainerTable).
inline const QStringList Formats = {"mp4", "swf", "flv", "wmv", "mov", "mp4 (H.264)", "mp4 (H.265)", "webm (VP9)", "webm (AV1)"};
inline const QStringList BitRates = {"192", "256", "384", "512", "640", "768", "900", "1200", "1500"};
// "174x144" is what the list has always offered; it stays for settings stored with it. HD and
// larger, vertical for phones and square follow the classic fifteen.
inline const QStringList VideoSizes = [] {
    QStringList sizes;
    for (const char* size : FrameSizeNames)
        sizes << size;
    return sizes;
}();
inline const QStringList FrameRates = {"30:1", "25:1", "15:1"};

// The row a first run (no settings file at all) selects, with that row's defaults below.
inline const QString FirstRunFormat = first_run::FormatRow;

// What the Default button selects, per position of the container list.
struct TContainerDefaults {
    const char* BitRate;
    const char* VideoSize;
    const char* FrameRate;
    const char* SampleRate;
};
inline constexpr TContainerDefaults Defaults[] = {
    {"1200", "320x240", "30:1", "as source"}, // mp4
    {"768", "320x240", "30:1", "as source"},  // swf
    {"768", "320x240", "30:1", "as source"},  // flv
    {"1200", "320x240", "30:1", "as source"}, // wmv
    {"1200", "320x240", "30:1", "as source"}, // mov
    {"1500", first_run::FrameSize, first_run::FrameRate, "as source"}, // mp4 (H.264)
    {"1500", first_run::FrameSize, first_run::FrameRate, "as source"}, // mp4 (H.265)
    {"1500", first_run::FrameSize, first_run::FrameRate, "as source"}, // webm (VP9)
    {"1500", first_run::FrameSize, first_run::FrameRate, "as source"}, // webm (AV1)
};

inline const char* const HomePageUrl = "https://www.zemosoft.example/pixaroll/";
inline const char* const HelpUrl = "https://www.zemosoft.example/pixaroll/help.html";

struct TRelatedProduct {
    const char* Name;
    const char* Url;
};
inline constexpr TRelatedProduct RelatedSoftware[] = {
    {"Zemo Video Converter", "https://www.zemosoft.example/video-converter/"},
    {"Zemo Audio Converter", "https://www.zemosoft.example/audio-converter/"},
    {"Zemo DVD Ripper", "https://www.zemosoft.example/dvd-ripper/"},
    {"Zemo Video Joiner", "https://www.zemosoft.example/video-joiner/"},
    {"Zemo Video Splitter", "https://www.zemosoft.example/video-splitter/"},
    {"Zemo GIF Maker", "https://www.zemosoft.example/gif-maker/"},
    {"Zemo Screen Recorder", "https://www.zemosoft.example/screen-recorder/"},
    {"More .. ", "https://www.zemosoft.example/"},
};

// File extensions the open-file dialog offers, matched in any letter case.
inline const QStringList PictureExtensions = {"bmp", "jpeg", "jpg", "png"};
// Video clips play as slides too; Add Photos and dropping take them beside the pictures.
inline const QStringList ClipExtensions = {"mp4", "m4v", "mov", "mkv", "webm", "avi", "3gp", "3g2", "mts", "m2ts", "mpg", "mpeg", "wmv", "ogv"};
inline const QStringList SlideExtensions = PictureExtensions + ClipExtensions;
inline const QStringList AudioExtensions = {"aac", "ac3", "ape", "dts", "flac", "m4a", "mka", "mp2", "mp3",
                                            "mpa", "mpc", "ofr", "ogg", "ra",  "tta", "wav", "wma"};

// "Title (*.[bB][mM][pP] ...)": every pattern matches the extension in any letter case, also
// where the file dialog compares names case-sensitively.
QString FileFilter(const QString& title, const QStringList& extensions);
// True when fileName ends in "." and one of the extensions, in any letter case.
bool HasExtension(const QString& fileName, const QStringList& extensions);

} // namespace window_texts

// The caption of the window's first showing: title, " Free Ver" and the version text.
QString ClassicCaption(const TGlobalObject& global);
