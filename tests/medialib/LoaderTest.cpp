#include "medialib/FFLoad.h"
#include "medialib/CodecLock.h"
#include "tests/medialib/LogCollector.h"
#include "tests/medialib/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {
class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { loader.UnloadLibs(AllLibs); }
    void TearDown() override {
        loader.UnloadLibs(AllLibs);
        loader.LibraryPath.clear();
    }
    // A LibAV folder holding one file under the name the loader looks for.
    void PlaceInFolder(const fs::path& source, TAVLibrary lib) {
        fs::copy_file(source, folder.Path() / loader.LibFileName(lib));
        loader.LibraryPath = folder.Path().string();
    }
    TFFLoader& loader = FFLoader();
    TTempFolder folder;
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
} // namespace

TEST_F(LoaderTest, ASecondLoaderGoingAwayLeavesTheFirstOnesFunctionsBound) {
    loader.LibraryPath.clear();
    ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
    {
        TFFLoader second;
        second.LibraryPath.clear();
        ASSERT_TRUE(second.LoadLibs(EncoderLibs)) << second.LastErrMsg();
    } // unloads its libraries
    EXPECT_TRUE(loader.LibsLoaded(EncoderLibs));
    EXPECT_NE(ff::avcodec_find_encoder_by_name, nullptr);
    EXPECT_NE(ff::av_log_set_callback, nullptr);
    // A later load of the same set (which installs the callbacks again) and a codec opening
    // under the codec lock still work.
    EXPECT_NO_THROW(EXPECT_TRUE(loader.LoadLibs(EncoderLibs)));
    const AVCodec* codec = ff::avcodec_find_encoder_by_name("mpeg4");
    ASSERT_NE(codec, nullptr);
    AVCodecContext* context = ff::avcodec_alloc_context3(codec);
    context->width = 64, context->height = 48, context->time_base = {1, 25}, context->pix_fmt = AV_PIX_FMT_YUV420P;
    {
        TCodecLockGuard guard;
        EXPECT_TRUE(guard.Locked());
        EXPECT_EQ(ff::avcodec_open2(context, codec, nullptr), 0);
    }
    ff::avcodec_free_context(&context);

    // The last holder going away unbinds.
    loader.UnloadLibs(AllLibs);
    EXPECT_EQ(ff::avcodec_find_encoder_by_name, nullptr);
}

TEST_F(LoaderTest, FileNamesFollowTheHeadersMajors) {
    EXPECT_EQ(loader.LibFileName(avcodec), "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_EQ(loader.LibFileName(avcore), "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
    EXPECT_EQ(loader.LibFileName(msvcrt), "libc.so.6");
}

TEST_F(LoaderTest, DefaultFolderIsLibAVBesideTheProgram) {
    fs::path exe = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(ProgramLibraryFolder(), (exe.parent_path() / "LibAV").string());
    EXPECT_EQ(TFFLoader().LibraryPath, ProgramLibraryFolder());
}

TEST_F(LoaderTest, LoadsFromTheSystemBindsAndUnloadsAgain) {
    loader.LibraryPath.clear();
    for (int round = 0; round < 2; ++round) { // unload must leave nothing behind that a reload trips on
        ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
        EXPECT_TRUE(loader.LibsLoaded(EncoderLibs));
        EXPECT_FALSE(loader.LibLoaded(avdevice));
        EXPECT_EQ(int(ff::avcodec_version() >> 16), LIBAVCODEC_VERSION_MAJOR);
        EXPECT_NE(ff::avcodec_find_encoder_by_name("mpeg4"), nullptr);
        EXPECT_NE(ff::libc::vsnprintf, nullptr);
        EXPECT_TRUE(StartsWith(loader.LibVersionText(avutil), std::to_string(LIBAVUTIL_VERSION_MAJOR) + "."));
        loader.UnloadLibs(AllLibs);
        EXPECT_FALSE(loader.LibLoaded(avcodec));
        EXPECT_EQ(ff::avcodec_version, nullptr);
        EXPECT_EQ(ff::libc::fopen, nullptr);
        EXPECT_EQ(loader.LoadedFrom(avcodec), "");
    }
}

TEST_F(LoaderTest, LoadingALoadedSetAgainReinstallsTheCallbacksWithoutReloading) {
    loader.LibraryPath.clear();
    ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
    auto version = ff::avformat_version;
    ff::av_log_set_callback(ff::av_log_default_callback); // someone took FFmpeg's log away
    ASSERT_TRUE(loader.LoadLibs(EncoderLibs));
    EXPECT_EQ(ff::avformat_version, version);
    TLogCollector log;
    ff::av_log(nullptr, AV_LOG_ERROR, "back in the logger\n");
    ASSERT_EQ(log.Texts().size(), 1u);
    EXPECT_EQ(log.Texts()[0], "back in the logger");
}

TEST_F(LoaderTest, PrefersTheFolderAndFallsBackToTheSystemForWhatIsNotThere) {
    loader.LibraryPath.clear();
    ASSERT_TRUE(loader.LoadLib(swscale)) << loader.LastErrMsg();
    const fs::path systemCopy = loader.LoadedFrom(swscale);
    loader.UnloadLibs(AllLibs);

    PlaceInFolder(systemCopy, swscale);
    // A C library in the folder would break binding: it must be taken from the system regardless.
    fs::copy_file(FAKE_AVUTIL_INCOMPLETE, folder.Path() / loader.LibFileName(msvcrt));
    ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
    EXPECT_EQ(fs::path(loader.LoadedFrom(swscale)), folder.Path() / loader.LibFileName(swscale));
    EXPECT_FALSE(StartsWith(loader.LoadedFrom(avcodec), folder.Path().string()));
    EXPECT_FALSE(StartsWith(loader.LoadedFrom(msvcrt), folder.Path().string()));
    EXPECT_NE(ff::sws_getContext, nullptr);
}

TEST_F(LoaderTest, RefusesALibraryOfAnotherMajorVersion) {
    PlaceInFolder(FAKE_AVUTIL_MISMATCH, avutil);
    EXPECT_FALSE(loader.LoadLibs(EncoderLibs));
    const std::string file = (folder.Path() / loader.LibFileName(avutil)).string();
    EXPECT_EQ(loader.LastErrMsg(), "Load library " + file + " error: version " +
                                       std::to_string(LIBAVUTIL_VERSION_MAJOR + 1) +
                                       ".1.2 does not match major version " +
                                       std::to_string(LIBAVUTIL_VERSION_MAJOR) + " of the program's headers");
    EXPECT_FALSE(loader.LibLoaded(avutil));
    EXPECT_FALSE(loader.LibLoaded(msvcrt)) << "a failed set is unloaded as a whole";
    EXPECT_EQ(ff::avutil_version, nullptr);
}

TEST_F(LoaderTest, ALibraryMissingAFunctionEndsUnloadedNamingTheSymbol) {
    PlaceInFolder(FAKE_AVUTIL_INCOMPLETE, avutil);
    EXPECT_FALSE(loader.LoadLib(avutil));
    const std::string file = loader.LibFileName(avutil);
    EXPECT_TRUE(StartsWith(loader.LastErrMsg(), "Load function av_log@" + file + " error: ")) << loader.LastErrMsg();
    EXPECT_NE(loader.LastErrMsg().find("undefined symbol: av_log"), std::string::npos) << loader.LastErrMsg();
    EXPECT_FALSE(loader.LibLoaded(avutil));
    EXPECT_EQ(loader.LoadedFrom(avutil), "");
    EXPECT_EQ(ff::avutil_version, nullptr) << "pointers bound before the failure are cleared";

    // The failure text stays until the next failure, a later success does not clear it.
    const std::string failure = loader.LastErrMsg();
    loader.LibraryPath.clear();
    ASSERT_TRUE(loader.LoadLib(avutil));
    EXPECT_EQ(loader.LastErrMsg(), failure);
}

TEST_F(LoaderTest, AFolderWithoutTheFileFallsBackToTheSystem) {
    loader.LibraryPath = (folder.Path() / "missing").string();
    EXPECT_TRUE(loader.LoadLib(avutil)) << loader.LastErrMsg();
    EXPECT_FALSE(StartsWith(loader.LoadedFrom(avutil), folder.Path().string()));
}

TEST_F(LoaderTest, EmptySetsAreProgrammingErrors) {
    EXPECT_THROW(loader.LoadLibs(0), std::logic_error);
    EXPECT_THROW(loader.UnloadLibs(0), std::logic_error);
    EXPECT_THROW(loader.LibsLoaded(0), std::logic_error);
}

TEST_F(LoaderTest, AFileThatIsNoLibraryIsReportedWithTheLinkersReason) {
    const fs::path file = folder.Path() / loader.LibFileName(avformat);
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a shared object", f);
    std::fclose(f);
    loader.LibraryPath = folder.Path().string() + "/"; // a trailing slash is not doubled
    EXPECT_FALSE(loader.LoadLibs(EncoderLibs));
    EXPECT_TRUE(StartsWith(loader.LastErrMsg(), "Load library " + file.string() + " error: " + file.string() + ":"))
        << loader.LastErrMsg();
    EXPECT_FALSE(loader.LibsLoaded(LibBit(avutil) | LibBit(avcodec))) << "libraries loaded before it are unloaded";
}
