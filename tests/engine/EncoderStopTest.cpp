// The encoder component's Stop at random moments of a transcode: the stopped task is not a
// failure and its output plays to its end, or is missing because nothing had been written yet.
// PIXAROLL_STOP_SEED repeats a run; the seed in use is printed.

#include "engine/FFEncoder.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {
unsigned StopSeed() {
    const char* given = std::getenv("PIXAROLL_STOP_SEED");
    unsigned seed = given && *given ? unsigned(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::cout << "PIXAROLL_STOP_SEED=" << seed << std::endl;
    return seed;
}

struct TTaskEnd {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Final = false;
    TTerminateInfo Task; // of task 0
};
} // namespace

TEST(EncoderStop, AStopAtAnyMomentKeepsAPlayableFile) {
    TTempDir dir;
    const std::string input = MakeWithFfmpeg(
        dir, "clip.mp4",
        "-f lavfi -i testsrc2=size=640x480:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 -t 20 "
        "-c:v mpeg4 -q:v 8 -c:a aac");
    struct {
        const char* Extension;
        const char* VideoCodec;
        bool Audio;
    } const targets[] = {{"nut", "rawvideo", false}, {"mp4", "mpeg4", true}, {"mkv", "mpeg4", true}};
    // A few moments each in the suite; PIXAROLL_STOP_MOMENTS=50 for a long hunt.
    const char* moments = std::getenv("PIXAROLL_STOP_MOMENTS");
    const int MomentsEach = moments && *moments ? std::max(1, std::atoi(moments)) : 7;
    std::mt19937 random(StopSeed());
    int run = 0;
    for (const auto& target : targets) {
        int kept = 0;
        for (int i = 0; i < MomentsEach; ++i) {
            const std::string output = dir.File("stopped" + std::to_string(++run) + "." + target.Extension);
            const int moment = std::uniform_int_distribution<int>(0, 1000)(random);
            const bool wait = std::uniform_int_distribution<int>(0, 1)(random) == 1;
            SCOPED_TRACE(output + " stopped after " + std::to_string(moment) + " ms" + (wait ? ", waiting" : ""));
            TLogCapture log;
            TTaskEnd end;
            {
                TFFEncoder encoder;
                encoder.TriggerEventInMainThread = false;
                encoder.OnTerminate = [&end](TCustomEncoder&, const TTerminateInfo& info) {
                    std::lock_guard guard(end.Lock);
                    if (info.TaskIndex == 0)
                        end.Task = info;
                    end.Final = info.TaskIndex == -1;
                    end.Changed.notify_all();
                };
                const int task = encoder.AddTask(input);
                ASSERT_GE(task, 0) << encoder.LastErrMsg;
                TOutputOptions out;
                out.VideoCodec = target.VideoCodec;
                out.FrameSize = "320x240";
                out.DisableAudio = !target.Audio;
                if (target.Audio)
                    out.AudioCodec = "aac";
                ASSERT_TRUE(encoder.SetOutputFile(task, output, &out)) << encoder.LastErrMsg;
                encoder.StartTask(1);
                std::this_thread::sleep_for(std::chrono::milliseconds(moment));
                encoder.Stop(wait);
                std::unique_lock guard(end.Lock);
                ASSERT_TRUE(end.Changed.wait_for(guard, 60s, [&] { return end.Final; }));
            }
            EXPECT_FALSE(end.Task.Failed) << end.Task.ErrorMessage;
            if (std::filesystem::exists(output)) {
                ++kept;
                EXPECT_EQ(DecodeErrors(output), "");
            } else {
                EXPECT_FALSE(log.Contains("its end could not be written"));
            }
        }
        EXPECT_GT(kept, 0) << target.Extension;
    }
}
