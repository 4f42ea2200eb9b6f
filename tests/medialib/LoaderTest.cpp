#include "medialib/FFLoad.h"

#include <gtest/gtest.h>

TEST(Loader, LoadsEncoderLibrariesFromTheSystemAndUnloads) {
    TFFLoader& loader = FFLoader();
    ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
    EXPECT_TRUE(loader.LibsLoaded(EncoderLibs));
    EXPECT_EQ(int(ff::avcodec_version() >> 16), LIBAVCODEC_VERSION_MAJOR);
    EXPECT_NE(ff::avcodec_find_encoder_by_name("mpeg4"), nullptr);
    loader.UnloadLibs(AllLibs);
    EXPECT_FALSE(loader.LibLoaded(avcodec));
    EXPECT_EQ(ff::avcodec_version, nullptr);
}
