// A stop at any moment keeps what was written: pixaroll-cli transcode (nut, mp4, mkv) and render
// are interrupted by SIGINT at random moments, and every output left behind plays to its end;
// an output is only missing when nothing had been written into it yet.
// PIXAROLL_STOP_SEED repeats a run; the seed in use is printed.

#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {
struct TStopped {
    int Status = -1; // exit status; -1 when the program did not exit normally
    int Signal = 0;  // the signal that ended it, when one did
    std::string Log;
};

// Runs pixaroll-cli with args, sends SIGINT after `moment` and waits for it to end. The child
// gets SIGINT at its default disposition whatever the test runner's was.
TStopped RunAndInterrupt(const std::vector<std::string>& args, std::chrono::microseconds moment,
                         const std::string& logFile) {
    std::vector<char*> argv;
    std::string program = CliPath();
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    TStopped result;
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        signal(SIGINT, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return result;
    std::this_thread::sleep_for(moment);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::ifstream in(logFile);
    std::stringstream text;
    text << in.rdbuf();
    result.Log = text.str();
    return result;
}

unsigned StopSeed() {
    const char* given = std::getenv("PIXAROLL_STOP_SEED");
    unsigned seed = given && *given ? unsigned(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::cout << "PIXAROLL_STOP_SEED=" << seed << std::endl;
    return seed;
}

struct TTarget {
    const char* Name;
    std::vector<std::string> Args; // the output file is "OUT" in them
    std::string Output;            // where the output lands, relative to the folder
    int LongestMoment;             // milliseconds
};

TEST(StopAtRandomMoments, EveryOutputLeftPlaysAndNoneIsDeletedAfterFramesWereWritten) {
    TTempDir dir;
    ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
    const std::string input = dir.File("clip.mp4");
    TRunResult made = RunShell("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=640x480:rate=25 -f lavfi -i "
                               "sine=frequency=440:sample_rate=44100 -t 20 -c:v mpeg4 -q:v 8 -c:a aac -y '" +
                               input + "'");
    ASSERT_EQ(made.Status, 0) << made.Output;
    const std::string pictures = WriteTwoTestPictures(dir);
    const std::string song = dir.File("song.wav");
    made = RunShell("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=330:sample_rate=44100:duration=20 -ac 2 -y '" +
                    song + "'");
    ASSERT_EQ(made.Status, 0) << made.Output;

    std::vector<std::string> render{"render", "--out-dir", "OUTDIR", "--size", "320x240", "--rate", "25:1",
                                    "--format", "mp4", "--audio", song, "--pictures"};
    std::istringstream names(pictures);
    for (std::string p; names >> p;)
        render.push_back(p);
    const TTarget targets[] = {
        // Played at the input's own pace: the stop lands while frames are written out.
        {"nut", {"transcode", "-re", "-i", input, "-vcodec", "rawvideo", "-an", "OUT"}, "x.nut", 1500},
        {"mp4", {"transcode", "-i", input, "-vcodec", "mpeg4", "-s", "320x240", "OUT"}, "x.mp4", 1200},
        {"mkv", {"transcode", "-i", input, "-vcodec", "mpeg4", "-s", "320x240", "-acodec", "aac", "OUT"}, "x.mkv", 1200},
        {"render", render, "slideshow-_(new).mp4", 1500},
    };
    // A few moments each in the suite; PIXAROLL_STOP_MOMENTS=50 for a long hunt.
    const char* moments = std::getenv("PIXAROLL_STOP_MOMENTS");
    const int MomentsEach = moments && *moments ? std::max(1, std::atoi(moments)) : 7;
    std::mt19937 random(StopSeed());
    int run = 0;
    for (const TTarget& target : targets) {
        int kept = 0;
        for (int i = 0; i < MomentsEach; ++i) {
            const std::string folder = dir.File("run" + std::to_string(++run));
            std::filesystem::create_directory(folder);
            const std::string output = folder + "/" + target.Output;
            std::vector<std::string> args = target.Args;
            for (std::string& a : args)
                if (a == "OUT")
                    a = output;
                else if (a == "OUTDIR")
                    a = folder;
            const int moment = std::uniform_int_distribution<int>(0, target.LongestMoment)(random);
            SCOPED_TRACE(std::string(target.Name) + " stopped after " + std::to_string(moment) + " ms");
            TStopped r = RunAndInterrupt(args, std::chrono::milliseconds(moment), folder + "/log.txt");
            // Stopped (130), done before the signal came, or ended by it before the program
            // took charge of it.
            EXPECT_TRUE(r.Status == 130 || r.Status == 0 || r.Signal == SIGINT) << r.Status << "\n" << r.Log;
            if (std::filesystem::exists(output)) {
                ++kept;
                EXPECT_GT(std::filesystem::file_size(output), 0u);
                EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i '" + output + "' -f null -").Output, "") << r.Log;
            } else {
                // Gone only when it never held a frame.
                std::size_t removed = r.Log.find("Removed");
                if (removed != std::string::npos) {
                    EXPECT_NE(r.Log.find("no frame was written into it", removed), std::string::npos) << r.Log;
                }
            }
        }
        // Most moments fall after the first frames: a run that never kept a file proves nothing.
        EXPECT_GT(kept, 0) << target.Name;
    }
}
} // namespace
