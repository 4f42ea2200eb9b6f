// The job's input 1: the soundtrack file itself when nothing is asked of the music, the built
// soundtrack (removed with the job) when it is, and no task at all when a song cannot be used.

#include "app/SlideshowJob.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {
// The temporary folder of the tests that follow in this process.
void RestoreTmp(const std::string& old) {
    if (old.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", old.c_str(), 1);
}

class SoundtrackJob : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        std::filesystem::create_directory(temp_.File("tmp"));
        const char* tmp = std::getenv("TMPDIR");
        oldTmp_ = tmp ? tmp : "";
        setenv("TMPDIR", temp_.File("tmp").c_str(), 1);
        WriteTestJpeg(temp_.File("a.jpg"), 64, 48, [](int x, int) { return std::uint32_t(x * 3) << 8; });
        WriteTestWav(temp_.File("one.wav"), 0.5, 44100, 2, 440);
        WriteTestWav(temp_.File("two.wav"), 0.5, 22050, 1, 880);
        settings_.Pictures = {temp_.File("a.jpg")};
        settings_.OutDir = temp_.File("out");
        settings_.Audio = temp_.File("one.wav");
        std::filesystem::create_directory(settings_.OutDir);
    }
    // The file the task opened as input 1.
    std::string InputOne(int task) {
        const AVFormatContext* ic = encoder_.InputInfo(task, 1).Context();
        return ic && ic->url ? ic->url : "";
    }
    void TearDown() override { RestoreTmp(oldTmp_); }
    bool Empty(const std::string& folder) const { return std::filesystem::is_empty(temp_.File(folder)); }
    TTempDir temp_;
    std::string oldTmp_;
    TSlideshowSettings settings_;
    TFFEncoder encoder_;
};
} // namespace

TEST_F(SoundtrackJob, InputOneIsTheFileItselfUnlessTheMusicIsBuilt) {
    EXPECT_FALSE(NeedsBuiltSoundtrack(settings_, {}));
    {
        TSlideshowJob job(encoder_);
        job.PrepareSequencer(settings_);
        ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
        EXPECT_EQ(InputOne(job.TaskIndex()), settings_.Audio);
        EXPECT_TRUE(job.BuiltSoundtrack().Path().empty());
        EXPECT_TRUE(Empty("tmp"));
        encoder_.ClearTasks();
    }
    // Each choice alone builds the music.
    auto with = [&](auto change) {
        TSlideshowSettings s = settings_;
        change(s);
        return NeedsBuiltSoundtrack(s, {});
    };
    EXPECT_TRUE(with([&](TSlideshowSettings& s) { s.MoreAudio = {temp_.File("two.wav")}; }));
    EXPECT_TRUE(with([](TSlideshowSettings& s) { s.LoopMusic = true; }));
    EXPECT_TRUE(with([](TSlideshowSettings& s) { s.FadeInSeconds = 1; }));
    EXPECT_TRUE(with([](TSlideshowSettings& s) { s.FadeOutSeconds = FadeOutAuto; }));
    EXPECT_TRUE(with([](TSlideshowSettings& s) { s.Loudness = -16; }));
    EXPECT_TRUE(NeedsBuiltSoundtrack(settings_, {TAudioOverlay{temp_.File("two.wav"), 0, 0.2, 1}}));
    // Without any music there is nothing to build.
    EXPECT_FALSE(with([](TSlideshowSettings& s) { s.Audio.clear(); s.LoopMusic = true; }));

    settings_.MoreAudio = {temp_.File("two.wav")};
    std::string built;
    {
        TSlideshowJob job(encoder_);
        std::vector<std::string> log;
        job.OnLog = [&](const std::string& line) { log.push_back(line); };
        job.PrepareSequencer(settings_);
        ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
        built = InputOne(job.TaskIndex());
        EXPECT_EQ(built, job.BuiltSoundtrack().Path());
        EXPECT_NE(built, settings_.Audio);
        EXPECT_TRUE(std::filesystem::exists(built));
        EXPECT_NEAR(job.BuiltSoundtrack().Shape().Length, 1.0, 1e-3);
        EXPECT_TRUE(job.WithSoundtrack());
        encoder_.ClearTasks();
    }
    EXPECT_FALSE(std::filesystem::exists(built)) << "removed with the job";
}

TEST_F(SoundtrackJob, ASongThatCannotBeUsedFailsTheBuildBeforeAnyOutputIsClaimed) {
    settings_.MoreAudio = {temp_.File("gone.mp3")};
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_NE(job.LastError.find(temp_.File("gone.mp3")), std::string::npos) << job.LastError;
    EXPECT_EQ(encoder_.TaskCount(), 0);
    EXPECT_TRUE(Empty("out"));
    EXPECT_TRUE(Empty("tmp"));
    // A stop request while the music is built: the same, without a complaint about a file.
    settings_.MoreAudio = {temp_.File("one.wav")};
    job.Cancelled = [] { return true; };
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_NE(job.LastError.find("stopped"), std::string::npos) << job.LastError;
    EXPECT_TRUE(Empty("out"));
    EXPECT_TRUE(Empty("tmp"));
}
