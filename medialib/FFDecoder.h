#pragma once
// The information object of one opened input file: what the application shows about the input
// after adding it (the container, its chapters, programs and streams, in the manner of FFmpeg's
// format dump).
//
// The object refers to the input's demuxer context while the input is open; the job that owns
// the input detaches it when it closes the file, after which the object reports "file not
// loaded.".

#include "medialib/FFApi.h"

#include <cstdint>
#include <string>

// The numbers and texts of the information record; -1 and empty when unknown.
struct TAVFileInfo {
    std::int64_t StartTime = -1;  // microseconds
    std::int64_t Duration = -1;   // microseconds
    int BitRate = -1;
    std::int64_t TimeStamp = -1;  // seconds since 1970
    std::int64_t FileSize = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

class TFFDecoder {
public:
    // Refers to ic (not owned) and gathers the file size and the stream counts.
    void Attach(AVFormatContext* ic);
    void Detach();
    bool Loaded() const { return ic_ != nullptr; }
    AVFormatContext* Context() const { return ic_; }

    // Fills info; false (and "file not loaded." logged) when the input is not open.
    bool GetFileInfo(TAVFileInfo& info);

    std::int64_t FileSize() const { return fileSize_; }
    int VideoStreamCount() const { return videoCount_; }
    int AudioStreamCount() const { return audioCount_; }
    int SubtitleStreamCount() const { return subtitleCount_; }
    int FirstVideoStream() const { return firstVideo_; }
    int FirstAudioStream() const { return firstAudio_; }
    int FirstSubtitleStream() const { return firstSubtitle_; }
    const std::string& LastErrMsg() const { return lastErrMsg_; }

private:
    friend std::string FileInfoText(TFFDecoder& info);
    bool RequireLoaded();

    AVFormatContext* ic_ = nullptr;
    std::int64_t fileSize_ = -1;
    int videoCount_ = 0, audioCount_ = 0, subtitleCount_ = 0;
    int firstVideo_ = -1, firstAudio_ = -1, firstSubtitle_ = -1;
    std::string lastErrMsg_;
};

// The multi-line information text (each line ends with a line break); empty when the input is
// not open.
std::string FileInfoText(TFFDecoder& info);
