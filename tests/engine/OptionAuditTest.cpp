// Every name the option dispatcher knows, in its order, with a valid value: each is taken (or
// does exactly what it is there for: log that it does nothing, refuse a removed option with its
// message), and none answers that it is not supported. Where the value lands in the settings,
// the row checks it there.

#include "tests/engine/EngineTestSupport.h"
#include "medialib/FFLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>

namespace {
enum class TAnswer {
    Taken,         // accepted without a word
    DoesNothing,   // logs "Do nothing: option - NAME"
    Warns,         // accepted, with a warning in the log
    Refused,       // raises its message: the option was removed
    NeedsOutput,   // adds a stream to the last output: taken once an output exists
};

using TCheck = std::function<bool(const TJobSettings&)>;

struct TAuditRow {
    const char* Name;
    std::string Value;
    TAnswer Answer = TAnswer::Taken;
    TCheck Check = nullptr;      // the setting the value must leave behind
    std::string Message = {};    // Warns, Refused: the text
};

std::string Coefficients(int value) {
    std::string text;
    for (int i = 0; i < 64; ++i)
        text += (i ? "," : "") + std::to_string(value + i);
    return text;
}

// The names the dispatcher tests, in its order.
const char* const DispatcherNames[] = {
    "L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "loglevel", "f", "i", "y", "map",
    "map_meta_data", "map_chapters", "t", "fs", "ss", "itsoffset", "itsscale", "timestamp", "metadata", "dframes",
    "benchmark", "timelimit", "dump", "hex", "re", "loop_input", "loop_output", "v", "target", "threads", "vsync",
    "async", "adrift_threshold", "vglobal", "copyts", "copytb", "shortest", "dts_delta_threshold", "programid",
    "xerror", "copyinkf", "b", "vb", "vframes", "r", "s", "aspect", "pix_fmt", "croptop", "cropbottom", "cropleft",
    "cropright", "padtop", "padbottom", "padleft", "padright", "padcolor", "intra", "vn", "vdt", "qscale",
    "rc_override", "vcodec", "me_threshold", "sameq", "pass", "passlogfile", "deinterlace", "psnr", "vstats",
    "vstats_file", "vhook", "vfilters", "vf", "intra_matrix", "inter_matrix", "top", "dc", "vtag", "newvideo",
    "vlang", "qphist", "force_fps", "streamid", "force_key_frames", "ab", "aframes", "aq", "ar", "ac", "an",
    "acodec", "atag", "vol", "newaudio", "alang", "sample_fmt", "sn", "scodec", "newsubtitle", "slang", "stag", "vc",
    "tvstd", "isync", "muxdelay", "muxpreload", "absf", "vbsf", "sbsf", "apre", "vpre", "spre", "fpre",
    "vaapi_device"};

// A preset file of one line; its path.
std::string Preset(const TTempDir& dir, const std::string& name, const std::string& line) {
    std::string file = dir.File(name);
    std::ofstream(file) << line << "\n";
    return file;
}

std::vector<TAuditRow> AuditRows(const TTempDir& dir) {
    using A = TAnswer;
    const std::string crop = "Removed, use the crop filter instead", pad = "Removed, use the pad filter instead";
    return {
        {"L", "", A::DoesNothing}, {"h", "", A::DoesNothing}, {"version", "", A::DoesNothing},
        {"formats", "", A::DoesNothing}, {"codecs", "", A::DoesNothing}, {"bsfs", "", A::DoesNothing},
        {"protocols", "", A::DoesNothing}, {"filters", "", A::DoesNothing},
        {"loglevel", "quiet", A::Taken, [](const TJobSettings&) { return GetFFLogger().LogLevel() == llQuiet; }},
        {"f", "avi", A::Taken, [](const TJobSettings& s) { return s.ForcedFormat == "avi"; }},
        {"i", "clip.avi"}, {"y", ""},
        {"map", "0:0:0:0", A::Taken, [](const TJobSettings& s) { return s.StreamMaps.size() == 1; }},
        {"map_meta_data", "0,s0:1", A::Taken, [](const TJobSettings& s) {
             return s.MetadataMaps.size() == 1 && s.MetadataMaps[0].Out.Type == 's' && s.MetadataMaps[0].In.File == 1 &&
                    !s.MetadataStreamsAutocopy && !s.MetadataGlobalAutocopy && s.MetadataChaptersAutocopy; }},
        {"map_chapters", "0:1", A::Taken, [](const TJobSettings& s) {
             return s.ChapterMaps.size() == 1 && s.ChapterMaps[0].In == 1 && s.ChapterMaps[0].Out == 0; }},
        {"t", "2.5", A::Taken, [](const TJobSettings& s) { return s.RecordingTime == 2500000; }},
        {"fs", "1000000", A::Taken, [](const TJobSettings& s) { return s.LimitFileSize == 1000000; }},
        {"ss", "1:02", A::Taken, [](const TJobSettings& s) { return s.StartTime == 62000000; }},
        {"itsoffset", "-0.25", A::Taken, [](const TJobSettings& s) { return s.InputTsOffset == -250000; }},
        {"itsscale", "1:2.5", A::Taken, [](const TJobSettings& s) { return s.TsScale.count(1) && s.TsScale.at(1) == 2.5; }},
        {"timestamp", "2020-01-02 03:04:05", A::Taken, [](const TJobSettings& s) { return s.RecordingTimestamp > 1577800000; }},
        {"metadata", "title=Holiday", A::Taken, [](const TJobSettings& s) {
             return s.Metadata.size() == 1 && s.Metadata[0].second == "Holiday"; }},
        {"dframes", "7", A::Taken, [](const TJobSettings& s) { return s.MaxFrames[2] == 7; }},
        {"benchmark", ""},
        {"timelimit", "60", A::Warns, nullptr, "Warning: -timelimit not implemented on Windows"},
        {"dump", "1", A::Taken, [](const TJobSettings& s) { return s.DumpPackets; }},
        {"hex", "1", A::Taken, [](const TJobSettings& s) { return s.DumpHex; }},
        {"re", "1", A::Taken, [](const TJobSettings& s) { return s.RateEmulation; }},
        {"loop_input", "1", A::Taken, [](const TJobSettings& s) { return s.LoopInput != 0; }},
        {"loop_output", "3", A::Taken, [](const TJobSettings& s) { return s.LoopOutput == 3 && s.LoopOutputGiven; }},
        {"v", "2", A::Taken, [](const TJobSettings& s) { return s.Verbose == 2; }},
        {"target", "pal-vcd", A::Taken, [](const TJobSettings& s) { return s.FrameWidth == 352 && s.FrameHeight == 288; }},
        {"threads", "3", A::Taken, [](const TJobSettings& s) { return s.ThreadCount == 3; }},
        {"vsync", "2", A::Taken, [](const TJobSettings& s) { return s.VideoSync == 2; }},
        {"async", "1", A::Taken, [](const TJobSettings& s) { return s.AudioSync == 1; }},
        {"adrift_threshold", "0.25", A::Taken, [](const TJobSettings& s) { return s.AudioDriftThreshold == 0.25; }},
        {"vglobal", "1", A::Taken, [](const TJobSettings& s) { return s.VideoGlobalHeader == 1; }},
        {"copyts", "1", A::Taken, [](const TJobSettings& s) { return s.CopyTs; }},
        {"copytb", "1", A::Taken, [](const TJobSettings& s) { return s.CopyTb; }},
        {"shortest", "1", A::Taken, [](const TJobSettings& s) { return s.Shortest; }},
        {"dts_delta_threshold", "3.5", A::Taken, [](const TJobSettings& s) { return s.DtsDeltaThreshold == 3.5; }},
        {"programid", "4", A::Taken, [](const TJobSettings& s) { return s.ProgramId == 4; }},
        {"xerror", "1", A::Taken, [](const TJobSettings& s) { return s.ExitOnError; }},
        {"copyinkf", "1", A::Taken, [](const TJobSettings& s) { return s.CopyInitialNonKeyframes; }},
        {"b", "900000"}, {"vb", "900000"},
        {"vframes", "9", A::Taken, [](const TJobSettings& s) { return s.MaxFrames[0] == 9; }},
        {"r", "30000/1001", A::Taken, [](const TJobSettings& s) { return s.FrameRate.num == 30000 && s.FrameRate.den == 1001; }},
        {"s", "cif", A::Taken, [](const TJobSettings& s) { return s.FrameWidth == 352 && s.FrameHeight == 288; }},
        {"aspect", "1.5", A::Taken, [](const TJobSettings& s) { return s.FrameAspectRatio == 1.5; }},
        {"pix_fmt", "yuv422p", A::Taken, [](const TJobSettings& s) { return s.FramePixFmt == AV_PIX_FMT_YUV422P; }},
        {"croptop", "8", A::Refused, nullptr, crop}, {"cropbottom", "8", A::Refused, nullptr, crop},
        {"cropleft", "8", A::Refused, nullptr, crop}, {"cropright", "8", A::Refused, nullptr, crop},
        {"padtop", "8", A::Refused, nullptr, pad}, {"padbottom", "8", A::Refused, nullptr, pad},
        {"padleft", "8", A::Refused, nullptr, pad}, {"padright", "8", A::Refused, nullptr, pad},
        {"padcolor", "ffffff", A::Refused, nullptr, pad},
        {"intra", "1", A::Taken, [](const TJobSettings& s) { return s.IntraOnly; }},
        {"vn", "1", A::Taken, [](const TJobSettings& s) { return s.VideoDisable; }},
        {"vdt", "32", A::Taken, [](const TJobSettings& s) { return s.VideoDiscard == 32; }},
        {"qscale", "3.5", A::Taken, [](const TJobSettings& s) { return s.VideoQScale == 3.5f; }},
        {"rc_override", "0,10,31/20,30,-50", A::Taken, [](const TJobSettings& s) { return s.RcOverride == "0,10,31/20,30,-50"; }},
        {"vcodec", "mpeg4", A::Taken, [](const TJobSettings& s) { return s.VideoCodecName == "mpeg4"; }},
        {"me_threshold", "5", A::Taken, [](const TJobSettings& s) { return s.MeThreshold == 5; }},
        {"sameq", "1", A::Taken, [](const TJobSettings& s) { return s.SameQuant; }},
        {"pass", "2", A::Taken, [](const TJobSettings& s) { return s.DoPass == 2; }},
        {"passlogfile", dir.File("passes"), A::Taken, [&dir](const TJobSettings& s) { return s.PassLogFile == dir.File("passes"); }},
        {"deinterlace", "1", A::Taken, [](const TJobSettings& s) { return s.Deinterlace; }},
        {"psnr", "1", A::Taken, [](const TJobSettings& s) { return s.Psnr; }},
        {"vstats", "1", A::Taken, [](const TJobSettings& s) {
             return s.VStatsFile.find("vstats_") != std::string::npos && s.VStatsFile.size() > 4 &&
                    s.VStatsFile.compare(s.VStatsFile.size() - 4, 4, ".log") == 0; }},
        {"vstats_file", dir.File("stats.log"), A::Taken, [&dir](const TJobSettings& s) { return s.VStatsFile == dir.File("stats.log"); }},
        {"vhook", INVERT_HOOK_PATH},
        {"vfilters", "hflip", A::Taken, [](const TJobSettings& s) { return s.VideoFilters == "hflip"; }},
        {"vf", "scale=64:48", A::Taken, [](const TJobSettings& s) { return s.VideoFilters == "scale=64:48"; }},
        {"intra_matrix", Coefficients(8), A::Taken, [](const TJobSettings& s) {
             return s.IntraMatrix.size() == 64 && s.IntraMatrix[0] == 8 && s.IntraMatrix[63] == 71; }},
        {"inter_matrix", Coefficients(16), A::Taken, [](const TJobSettings& s) {
             return s.InterMatrix.size() == 64 && s.InterMatrix[63] == 79; }},
        {"top", "0", A::Taken, [](const TJobSettings& s) { return s.TopFieldFirst == 0; }},
        {"dc", "10", A::Taken, [](const TJobSettings& s) { return s.IntraDcPrecision == 10; }},
        {"vtag", "DIVX", A::Taken, [](const TJobSettings& s) { return s.VideoTag == MKTAG('D', 'I', 'V', 'X'); }},
        {"newvideo", "", A::NeedsOutput},
        {"vlang", "eng", A::Taken, [](const TJobSettings& s) { return s.VideoLanguage == "eng"; }},
        {"qphist", "1", A::Taken, [](const TJobSettings& s) { return s.QpHist; }},
        {"force_fps", "1", A::Taken, [](const TJobSettings& s) { return s.ForceFps; }},
        {"streamid", "2:301", A::Taken, [](const TJobSettings& s) { return s.StreamIds.count(2) && s.StreamIds.at(2) == 301; }},
        {"force_key_frames", "1,2.5", A::Taken, [](const TJobSettings& s) { return s.ForcedKeyFrames == "1,2.5"; }},
        {"ab", "96000"},
        {"aframes", "11", A::Taken, [](const TJobSettings& s) { return s.MaxFrames[1] == 11; }},
        {"aq", "4", A::Taken, [](const TJobSettings& s) { return s.AudioQScale == 4.0f; }},
        {"ar", "22050", A::Taken, [](const TJobSettings& s) { return s.AudioSampleRate == 22050; }},
        {"ac", "1", A::Taken, [](const TJobSettings& s) { return s.AudioChannels == 1; }},
        {"an", "1", A::Taken, [](const TJobSettings& s) { return s.AudioDisable; }},
        {"acodec", "copy", A::Taken, [](const TJobSettings& s) { return s.AudioStreamCopy && s.AudioCodecName.empty(); }},
        {"atag", "0x55", A::Taken, [](const TJobSettings& s) { return s.AudioTag == 0x55; }},
        {"vol", "512", A::Taken, [](const TJobSettings& s) { return s.AudioVolume == 512; }},
        {"newaudio", "", A::NeedsOutput},
        {"alang", "fra", A::Taken, [](const TJobSettings& s) { return s.AudioLanguage == "fra"; }},
        {"sample_fmt", "fltp", A::Taken, [](const TJobSettings& s) { return s.AudioSampleFmt == AV_SAMPLE_FMT_FLTP; }},
        {"sn", "1", A::Taken, [](const TJobSettings& s) { return s.SubtitleDisable; }},
        {"scodec", "mov_text", A::Taken, [](const TJobSettings& s) { return s.SubtitleCodecName == "mov_text"; }},
        {"newsubtitle", "", A::NeedsOutput},
        {"slang", "deu", A::Taken, [](const TJobSettings& s) { return s.SubtitleLanguage == "deu"; }},
        {"stag", "tx3g", A::Taken, [](const TJobSettings& s) { return s.SubtitleTag == MKTAG('t', 'x', '3', 'g'); }},
        {"vc", "2", A::Taken, [](const TJobSettings& s) { return s.VideoChannel == 2; }},
        {"tvstd", "pal", A::Taken, [](const TJobSettings& s) { return s.TvStandard == "pal"; }},
        {"isync", "1", A::Taken, [](const TJobSettings& s) { return s.InputSync; }},
        {"muxdelay", "0.4", A::Taken, [](const TJobSettings& s) { return s.MuxMaxDelay == 0.4f; }},
        {"muxpreload", "0.2", A::Taken, [](const TJobSettings& s) { return s.MuxPreload == 0.2f; }},
        {"absf", "aac_adtstoasc", A::Taken, [](const TJobSettings& s) {
             return s.BitstreamFilters[1] == std::vector<std::string>{"aac_adtstoasc"}; }},
        {"vbsf", "h264_mp4toannexb", A::Taken, [](const TJobSettings& s) {
             return s.BitstreamFilters[0] == std::vector<std::string>{"h264_mp4toannexb"}; }},
        {"sbsf", "null", A::Taken, [](const TJobSettings& s) {
             return s.BitstreamFilters[2] == std::vector<std::string>{"null"}; }},
        {"apre", Preset(dir, "a.ffpreset", "acodec=ac3"), A::Taken, [](const TJobSettings& s) { return s.AudioCodecName == "ac3"; }},
        {"vpre", Preset(dir, "v.ffpreset", "vcodec=mpeg4"), A::Taken, [](const TJobSettings& s) { return s.VideoCodecName == "mpeg4"; }},
        {"spre", Preset(dir, "s.ffpreset", "scodec=mov_text"), A::Taken, [](const TJobSettings& s) { return s.SubtitleCodecName == "mov_text"; }},
        {"fpre", Preset(dir, "f.ffpreset", "vcodec=mpeg2video"), A::Taken, [](const TJobSettings& s) { return s.VideoCodecName == "mpeg2video"; }},
        {"vaapi_device", "/dev/dri/renderD129", A::Taken, [](const TJobSettings& s) { return s.VaapiDevice == "/dev/dri/renderD129"; }},
    };
}
} // namespace

TEST(EngineOptionAudit, EveryDispatcherOptionIsTakenOrAnswersAsSpecified) {
    TTempDir dir;
    const std::vector<TAuditRow> rows = AuditRows(dir);
    std::set<std::string> names;
    for (const TAuditRow& row : rows) {
        SCOPED_TRACE(std::string("-") + row.Name + " " + row.Value);
        EXPECT_TRUE(names.insert(row.Name).second) << "listed twice";
        TCustomFFmpeg job(1);
        if (row.Answer == TAnswer::NeedsOutput) {
            // Without an output the stream has nowhere to go.
            try {
                job.ApplyOption(row.Name, row.Value);
                ADD_FAILURE() << "taken without an output";
            } catch (const FFmpegException& e) {
                EXPECT_STREQ(e.what(), "At least one output file must be specified");
            }
            job.ApplyOption("f", TestFramesFormat);
            ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 3))) << job.LastError;
            job.ApplyOption("vcodec", "mpeg4");
            ASSERT_GE(job.OpenOutputFile(dir.File("streams.mkv")), 0) << job.LastError;
        }
        TLogCapture log;
        std::string answer = "(taken)";
        try {
            job.ApplyOption(row.Name, row.Value);
        } catch (const std::exception& e) {
            answer = e.what();
        }
        EXPECT_EQ(answer.find("not supported"), std::string::npos) << answer;
        switch (row.Answer) {
        case TAnswer::Refused:
            EXPECT_EQ(answer, row.Message);
            break;
        case TAnswer::DoesNothing:
            EXPECT_EQ(answer, "(taken)");
            EXPECT_TRUE(log.Contains(std::string("Do nothing: option - ") + row.Name));
            break;
        case TAnswer::Warns:
            EXPECT_EQ(answer, "(taken)");
            EXPECT_TRUE(log.Contains(row.Message));
            break;
        case TAnswer::Taken:
        case TAnswer::NeedsOutput:
            EXPECT_EQ(answer, "(taken)");
            break;
        }
        if (row.Check) {
            EXPECT_TRUE(row.Check(job.Settings())) << "the value did not land in its setting";
        }
    }
    GetFFLogger().SetLogLevel(llQuiet);
    // The table covers the dispatcher's whole list, in its order.
    std::vector<std::string> expected(std::begin(DispatcherNames), std::end(DispatcherNames)), audited;
    for (const TAuditRow& row : rows)
        audited.push_back(row.Name);
    EXPECT_EQ(audited, expected);
}

TEST(EngineOptionAudit, ServerFeedsAreTheOneThingRefused) {
    TTempDir dir;
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 3))) << job.LastError;
    job.ApplyOption("f", "ffm");
    EXPECT_LT(job.OpenOutputFile(dir.File("feed.ffm")), 0);
    EXPECT_NE(job.LastError.find("'ffm'"), std::string::npos) << job.LastError;
}
