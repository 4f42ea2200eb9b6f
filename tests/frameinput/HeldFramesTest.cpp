// Repeated frames left out between key spans ("keyspan"): which packets are delivered, with
// which time stamps and pixels, with and without drawing ahead, and what the end delivers.

#include "frameinput/FrameInputAdapter.h"
#include "frameinput/FrameInputParams.h"
#include "TestSupport.h"

#include <atomic>
#include <vector>

namespace {
class HeldFrames : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { LoadLibraries(); }
    void SetUp() override {
        adapter_.TriggerEventInMainThread = false;
        adapter_.DrawAhead = GetParam();
        // At 10 frames a second: frame 1 drawn, 2-14 repeat it, 15 drawn, 16-18 repeat it, then
        // the end. A frame's pixel is the number of the frame that drew it.
        adapter_.OnReadFrameCanvas = [this](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
            ++events_;
            const int n = info->FrameNumber;
            if (n > last_)
                return -1;
            if (n == 1 || n == 15)
                canvas.Fill(std::uint32_t(n));
            else
                info->Repeat = 1;
            return 0;
        };
    }
    struct TDelivered {
        std::int64_t Pts;
        int Pixel;
        bool operator==(const TDelivered&) const = default;
    };
    std::vector<TDelivered> ReadAll(const std::string& rest, int& endResult) {
        TFrameInputContext input("a=" + std::to_string(adapter_.Id()) + ";r=10/1;s=4x2;bpp=32;t=canvas" + rest);
        std::vector<TDelivered> out;
        if (input.Open() != 0)
            return out;
        for (int guard = 0; guard < 100; ++guard) {
            int size = input.Read();
            if (size < 0) {
                endResult = size;
                break;
            }
            EXPECT_EQ(size, 32);
            EXPECT_TRUE(input.Packet()->flags & AV_PKT_FLAG_KEY);
            out.push_back({input.Packet()->pts, input.Packet()->data[0]});
        }
        const int eventsAtEnd = events_;
        EXPECT_EQ(input.Read(), endResult) << "a read after the end ends again";
        afterEnd_ = events_ - eventsAtEnd;
        return out;
    }
    TFrameInputAdapter adapter_;
    TLogCapture log_;
    std::atomic<int> events_{0};
    int last_ = 18;
    int afterEnd_ = 0;
};

TEST_P(HeldFrames, RepeatsInsideASpanAreLeftOutAndTheLastRepeatComesBeforeTheEnd) {
    int end = 0;
    // 1 s spans: frame 11 (1.0 s) starts span 1 and is delivered although it repeats; frame 18
    // (1.7 s) is the last frame read and keeps the stream 1.8 s long.
    const std::vector<TDelivered> expected = {{0, 1}, {1000000, 1}, {1400000, 15}, {1700000, 15}};
    EXPECT_EQ(ReadAll(";ks=1", end), expected);
    EXPECT_EQ(end, -1);
    EXPECT_EQ(afterEnd_, 0) << "the adapter is not asked again once the frames ended";
}

TEST_P(HeldFrames, WithoutASpanEveryFrameIsDeliveredAndSpansLongerThanTheShowKeepOnlyChanges) {
    int end = 0;
    EXPECT_EQ(ReadAll("", end).size(), 18u);
    EXPECT_EQ(ReadAll(";ks=0", end).size(), 18u);
    const std::vector<TDelivered> longSpan = {{0, 1}, {1400000, 15}, {1700000, 15}};
    EXPECT_EQ(ReadAll(";ks=60", end), longSpan);
    // A show that ends on a drawn frame has no repeat to deliver at the end.
    last_ = 15;
    const std::vector<TDelivered> endsDrawn = {{0, 1}, {1400000, 15}};
    EXPECT_EQ(ReadAll(";ks=60", end), endsDrawn);
}

INSTANTIATE_TEST_SUITE_P(DrawnAheadOrNot, HeldFrames, ::testing::Bool());

TEST(HeldFrameParams, TheSpanIsReadInWholeSecondsAndRefusedWhenNegative) {
    TFrameInputParams params;
    std::string error;
    ASSERT_EQ(ParseFrameInputParams("a=1;r=30/1;s=4x2;bpp=32;t=canvas;keyspan=2", params, error), 0) << error;
    EXPECT_EQ(params.KeySpanSeconds, 2);
    EXPECT_EQ(ValidateFrameInputParams(params, error), 0) << error;
    ASSERT_EQ(ParseFrameInputParams("a=1;r=30/1;s=4x2;bpp=32;t=canvas;ks=-1", params, error), 0) << error;
    EXPECT_LT(ValidateFrameInputParams(params, error), 0);
    EXPECT_EQ(error, "Invalid key span\n");
    EXPECT_LT(ParseFrameInputParams("a=1;ks=two", params, error), 0);
    EXPECT_EQ(HeldFrameInputParamString(7, "30:1", "320x240", 2), "a=7;r=30/1;s=320*240;bpp=32;t=Canvas;ks=2");
    EXPECT_EQ(HeldFrameInputParamString(7, "30:1", "320x240", 0), "a=7;r=30/1;s=320*240;bpp=32;t=Canvas");
}
} // namespace
