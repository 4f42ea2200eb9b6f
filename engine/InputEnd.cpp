// The end of reading an input. A file that cannot be read on, or that ends clearly before the
// length its streams state (a soundtrack cut off in a download), ends the run with a message
// that names it; the outputs are closed so that what was written so far plays.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

#include <algorithm>

namespace {
// Containers state their streams' lengths to the sample; a shorter end beyond this margin is
// not rounding.
constexpr int64_t EndMargin = 500000; // microseconds
} // namespace

void TTranscoder::CheckInputEnd(const TInputFile& file, int readResult) {
    if (file.IsVirtual() || job_.StopRequested())
        return;
    const AVFormatContext* ic = file.Context();
    const std::string name = ic->url ? ic->url : "";
    if (readResult != AVERROR_EOF)
        throw FFmpegException(ErrorText(name, readResult));
    // A length guessed from the bit rate and the file size says nothing about truncation; a
    // recording limit ends streams early on purpose.
    // Nor does the length of a stream whose times jumped (parts joined end to end, a counter
    // that restarted): where its reading ended is no longer a point on the stated time line.
    if (ic->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE || s_.RecordingTime != INT64_MAX ||
        file.TimestampsJumped)
        return;
    for (int i = 0; i < file.StreamCount; ++i) {
        const TInputStream& ist = ist_[std::size_t(file.FirstStream + i)];
        const AVStream* st = ist.Stream;
        if (ist.Free || ist.PastRecordingTime || ist.NextPts == NoTimestamp || st->duration == AV_NOPTS_VALUE ||
            st->duration <= 0 || file.TsScale.count(i))
            continue;
        int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        int64_t statedEnd = ff::av_rescale_q(start + st->duration, st->time_base, AV_TIME_BASE_Q);
        int64_t reached = ist.NextPts - file.TsOffset;
        if (reached + EndMargin < statedEnd)
            throw FFmpegException(Fmt("%s: the file ends at %.2f s of its %.2f s; it is truncated or damaged",
                                      name.c_str(), double(reached) / AV_TIME_BASE, double(statedEnd) / AV_TIME_BASE));
    }
}
