#include "app/output/HeldPictures.h"

#include <string>

bool WritesHeldPicturesOnce(const TContainerRow& row, bool constantFrameRate) {
    return row.Quality != nullptr && !constantFrameRate;
}

void ApplyHeldPictureOptions(TOutputOptions& output) {
    output.VideoSyncMethod = 2; // every picture keeps its time stamp: nothing is duplicated
    output.ExtOptions += "\nforce_key_frames=expr:gte(t,n_forced*" + std::to_string(HeldKeySpanSeconds) + ")";
    // x264 and x265 make a forced picture an IDR picture only when asked to.
    const std::string codec = output.VideoCodec;
    if (codec == "libx264" || codec == "libx265")
        output.ExtOptions += "\nforced-idr=1";
}
