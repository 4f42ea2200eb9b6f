// Metadata and chapter maps: which dictionaries of which input reach the output, what the
// defaults copy, and the messages for maps that name nothing. Real files read back with ffprobe.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
void MakeSource(const std::string& arguments, const std::string& file) {
    int status = 0;
    std::string text = RunCommand("ffmpeg -nostdin -v error -y " + arguments + " '" + file + "'", &status);
    ASSERT_EQ(status, 0) << text;
}

// A two-second mkv with the global tags, stream tags and chapters of an ffmetadata text.
void MakeTaggedSource(const TTempDir& dir, const std::string& file, const std::string& metadata,
                      const std::string& streamTags = "") {
    std::string text = dir.File(file + ".txt");
    std::ofstream(text) << ";FFMETADATA1\n" << metadata;
    MakeSource("-f lavfi -i testsrc=size=64x48:rate=10 -i '" + text + "' -map 0:v -map_metadata 1 -map_chapters 1 " +
                   streamTags + " -t 2 -c:v mpeg4",
               dir.File(file));
}

std::string Probe(const std::string& file, const std::string& entries) {
    return RunCommand("ffprobe -v error -show_entries " + entries + " -of csv=p=0 '" + file + "'");
}

const char* const TwoChapters = "title=Holiday\n"
                                "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Beach\n"
                                "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Hotel\n";

// Opens every source, applies the options, writes one output; the error text, empty on success.
std::string RunJob(const std::vector<std::string>& sources, const std::vector<std::pair<std::string, std::string>>& options,
                const std::string& output) {
    TCustomFFmpeg job(4);
    for (const std::string& source : sources)
        if (!job.OpenInputFile(source))
            return "open: " + job.LastError;
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    if (job.OpenOutputFile(output) < 0)
        return "open: " + job.LastError;
    return job.Execute() ? "" : job.ErrorMessage();
}
} // namespace

TEST(EngineMetadataMaps, GlobalMapTakesAnotherInputsTagsAndStopsTheDefaultCopy) {
    TTempDir dir;
    MakeTaggedSource(dir, "first.mkv", "title=First\ncomment=only in the first\n");
    MakeTaggedSource(dir, "second.mkv", "title=Second\n");

    std::string plain = dir.File("plain.mkv");
    ASSERT_EQ(RunJob({dir.File("first.mkv"), dir.File("second.mkv")}, {{"map", "0:0"}}, plain), "");
    EXPECT_EQ(Probe(plain, "format_tags=title,comment"), "First,only in the first\n");

    std::string mapped = dir.File("mapped.mkv");
    ASSERT_EQ(RunJob({dir.File("first.mkv"), dir.File("second.mkv")}, {{"map_meta_data", "0:1"}}, mapped), "");
    EXPECT_EQ(Probe(mapped, "format_tags=title,comment"), "Second\n");

    // The output's own metadata stays where a map brings the same key.
    std::string own = dir.File("own.mkv");
    ASSERT_EQ(RunJob({dir.File("second.mkv")}, {{"metadata", "title=Mine"}, {"map_meta_data", "0,g:0"}}, own), "");
    EXPECT_EQ(Probe(own, "format_tags=title"), "Mine\n");
}

TEST(EngineMetadataMaps, StreamMapFillsAnOutputStreamBeforeTheSourcesOwnTags) {
    TTempDir dir;
    MakeTaggedSource(dir, "camera.mkv", "title=Holiday\n", "-metadata:s:v:0 title=Camera");
    std::string source = dir.File("camera.mkv");

    std::string plain = dir.File("plain.mkv");
    ASSERT_EQ(RunJob({source}, {}, plain), "");
    EXPECT_EQ(Probe(plain, "stream_tags=title"), "Camera\n");

    std::string mapped = dir.File("mapped.mkv");
    ASSERT_EQ(RunJob({source}, {{"map_meta_data", "0,s0:0"}}, mapped), "");
    EXPECT_EQ(Probe(mapped, "stream_tags=title"), "Holiday\n");
    // The input side names the file's own tags ('g' by default): that switches the global
    // default off as well.
    EXPECT_EQ(Probe(mapped, "format_tags=title"), "\n");

    std::string fromStream = dir.File("from-stream.mkv");
    ASSERT_EQ(RunJob({source}, {{"map_meta_data", "0:0,s0"}}, fromStream), "");
    EXPECT_EQ(Probe(fromStream, "format_tags=title"), "Camera\n");
}

TEST(EngineMetadataMaps, BadMapsAreRefusedWithTheirReason) {
    TCustomFFmpeg job(1);
    auto error = [&](const char* name, const char* value) {
        try {
            job.ApplyOption(name, value);
        } catch (const FFmpegException& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(error("map_meta_data", "0,x:0"), "Invalid metadata type x.");
    EXPECT_NE(error("map_meta_data", "a:0").find("Invalid metadata map \"a:0\""), std::string::npos);
    EXPECT_NE(error("map_meta_data", "0").find("Invalid metadata map"), std::string::npos);
    EXPECT_NE(error("map_meta_data", "0,s:0").find("Invalid metadata map"), std::string::npos);
    EXPECT_NE(error("map_meta_data", "0:0x").find("Invalid metadata map"), std::string::npos);
    EXPECT_NE(error("map_chapters", "1").find("Invalid chapter map \"1\""), std::string::npos);
    EXPECT_NE(error("map_chapters", "0:").find("Invalid chapter map"), std::string::npos);
    EXPECT_EQ(error("map_chapters", "-1"), "");
    EXPECT_EQ(error("map_meta_data", "0,c1:0,p0"), "");

    TTempDir dir;
    MakeTaggedSource(dir, "in.mkv", TwoChapters);
    std::string in = dir.File("in.mkv");
    const std::pair<const char*, const char*> cases[] = {
        {"3:0", "Invalid output file index 3 while processing metadata maps"},
        {"0:2", "Invalid input file index 2 while processing metadata maps"},
        {"0,s1:0", "Invalid stream index 1 while processing metadata maps"},
        {"0:0,c2", "Invalid chapter index 2 while processing metadata maps"},
        {"0:0,p0", "Invalid program index 0 while processing metadata maps"},
    };
    for (const auto& [map, message] : cases) {
        SCOPED_TRACE(map);
        EXPECT_EQ(RunJob({in}, {{"map_meta_data", map}}, dir.File("out.mkv")), message);
    }
    EXPECT_EQ(RunJob({in}, {{"map_chapters", "0:1"}}, dir.File("out.mkv")), "Invalid input file index 1 in chapter mapping.");
    EXPECT_EQ(RunJob({in}, {{"map_chapters", "1:0"}}, dir.File("out.mkv")), "Invalid output file index 1 in chapter mapping.");
}

TEST(EngineChapterMaps, ChaptersComeFromTheMappedInputOrTheFirstThatHasAny) {
    TTempDir dir;
    MakeTaggedSource(dir, "none.mkv", "title=None\n");
    MakeTaggedSource(dir, "trip.mkv", TwoChapters);
    MakeTaggedSource(dir, "party.mkv",
                     "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2000\ntitle=Cake\n");
    std::string none = dir.File("none.mkv"), trip = dir.File("trip.mkv"), party = dir.File("party.mkv");
    const std::string chapters = "chapter=start_time,end_time:chapter_tags=title";

    std::string plain = dir.File("plain.mkv");
    ASSERT_EQ(RunJob({none, trip, party}, {{"map", "0:0"}}, plain), "");
    EXPECT_EQ(Probe(plain, chapters), "0.000000,1.000000,Beach\n1.000000,2.000000,Hotel\n");

    std::string mapped = dir.File("mapped.mkv");
    ASSERT_EQ(RunJob({none, trip, party}, {{"map", "0:0"}, {"map_chapters", "0:2"}}, mapped), "");
    EXPECT_EQ(Probe(mapped, chapters), "0.000000,2.000000,Cake\n");

    std::string off = dir.File("off.mkv");
    ASSERT_EQ(RunJob({trip}, {{"map_chapters", "-1"}}, off), "");
    EXPECT_EQ(Probe(off, "chapter=id"), "");
    EXPECT_EQ(ProbeVideo(off).Packets, 20);

    // A chapter map switches the copying of chapter titles off; the one named comes by itself.
    std::string titled = dir.File("titled.mkv");
    ASSERT_EQ(RunJob({trip}, {{"map_meta_data", "0,c0:0,c1"}}, titled), "");
    EXPECT_EQ(Probe(titled, chapters), "0.000000,1.000000,Hotel\n1.000000,2.000000\n");
}
