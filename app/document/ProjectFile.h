#pragma once
// Project files (".pixaroll"): a slideshow document kept as JSON text (Qt's QJsonDocument, which
// the program has anyway).
//
//   { "format": "pixaroll-project", "version": 2,
//     "output": { "container": "mp4", "frameSize": "320x240", "frameRate": "30:1", ... },
//     "captionSubtitles": true,
//     "soundtracks": [ { "file": "music/song.mp3" } ],
//     "slides": [ { "picture": "pictures/a.jpg", "hold": 3, "effect": 12, "caption": "Home" },
//                 { "picture": "pictures/b.jpg", "effect": "random", "captionDateTaken": true } ] }
//
// File names are stored relative to the project file's folder (with "/"), so a project moved
// together with its pictures still finds them; in memory they are absolute. Members this program
// does not know are skipped, so files of later versions with the same format version open; a
// higher format version is refused. Saving writes a temporary file beside the project and renames
// it over the old one (QSaveFile): a failed save leaves the old file as it was.

#include "app/document/SlideshowDocument.h"

#include <string>
#include <vector>

// Version 2 added caption styles and title slides (app/captions/CaptionProjectKeys.h); version 1
// files read as they always did and are saved as version 2.
inline constexpr int ProjectFormatVersion = 2;
inline constexpr const char* ProjectFileExtension = ".pixaroll";

// The content of project text; paths resolve against projectFolder. False with error: the reason
// and where ("line 3, column 7: ..." for text that is no JSON, "slides[2].hold: ..." for a value
// of the wrong kind). data is changed only on success.
bool ReadProjectText(const std::string& text, const std::string& projectFolder, TSlideshowData& data,
                     std::string& error);
// The project text of data, paths relative to projectFolder.
std::string ProjectText(const TSlideshowData& data, const std::string& projectFolder);

// Reads a project file; error starts with the file's name.
bool LoadProject(const std::string& file, TSlideshowData& data, std::string& error);
// Writes a project file through a temporary file and a rename.
bool SaveProject(const std::string& file, const TSlideshowData& data, std::string& error);

// The same for a document: its content, ProjectFile and the unsaved mark follow.
bool OpenProject(TSlideshowDocument& document, const std::string& file, std::string& error);
bool SaveProject(TSlideshowDocument& document, const std::string& file, std::string& error);

struct TMissingFile {
    enum EKind { Picture, Soundtrack };
    EKind Kind = Picture;
    int Index = 0;       // the slide or the soundtrack
    std::string File;
};
// Every picture and soundtrack file that does not exist (or is no file), in document order.
std::vector<TMissingFile> MissingFiles(const TSlideshowData& data);
// "picture 2: /old/place/b.jpg" and "soundtrack 1: ..." (positions from 1).
std::string MissingFileText(const TMissingFile& missing);

// Every missing file whose name is found in folder (directly in it) takes that place, all at
// once. Returns how many were relinked.
int RelinkMissingFiles(TSlideshowData& data, const std::string& folder);
int RelinkMissingFiles(TSlideshowDocument& document, const std::string& folder);
