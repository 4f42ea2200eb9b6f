// The house rules of app/, read from the sources themselves: every folder says what it holds,
// the includes run one way (from the window down to the pictures, the output and the settings),
// and no file reaches back up into a room above it or round in a circle.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// The floors of app/, highest first. A file may include files of its own room, of a lower
// floor, or of another room on its own floor as long as the rooms form no circle. The two files
// at app/'s root are rooms of their own: the job sits under the window, the frame sequencer low
// (the features hook into it; it reads pictures).
const std::map<std::string, int>& Floors() {
    static const std::map<std::string, int> floors = {
        {"window", 10},
        {"SlideshowJob", 9}, {"SlideshowRun", 9}, {"playback", 9},
        {"document", 8},
        {"captions", 7},
        {"timing", 6},
        {"motion", 5},
        {"clips", 4},
        {"soundtrack", 3}, {"SlideshowSequencer", 3}, {"show", 3},
        {"pictures", 2},
        {"framing", 1}, {"output", 1}, {"settings", 1},
    };
    return floors;
}

const fs::path AppDir = fs::path(PIXAROLL_SOURCE_DIR) / "app";

// "window" for app/window/X.cpp, "SlideshowJob" for app/SlideshowJob.h.
std::string RoomOf(const std::string& appPath) {
    const fs::path p(appPath);
    auto it = p.begin();
    ++it; // "app"
    const std::string first = it->string();
    return ++it == p.end() ? p.stem().string() : first;
}

struct TSource {
    std::string Path;                  // "app/window/MainWindow.cpp"
    std::vector<std::string> Includes; // the "app/..." files it includes
};

std::vector<TSource> AppSources() {
    std::vector<TSource> sources;
    const std::regex include(R"re(^\s*#\s*include\s+"(app/[^"]+)")re");
    for (const auto& entry : fs::recursive_directory_iterator(AppDir)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        TSource source{"app/" + fs::relative(entry.path(), AppDir).generic_string(), {}};
        std::ifstream in(entry.path());
        std::string line;
        std::smatch m;
        while (std::getline(in, line))
            if (std::regex_search(line, m, include))
                source.Includes.push_back(m[1]);
        sources.push_back(std::move(source));
    }
    return sources;
}

// The first circle found in a graph, as its nodes in order; empty when there is none.
std::vector<std::string> FindCircle(const std::map<std::string, std::set<std::string>>& graph) {
    std::map<std::string, int> state; // 0 unseen, 1 on the path, 2 done
    std::vector<std::string> path, circle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        auto it = graph.find(node);
        if (it != graph.end())
            for (const std::string& next : it->second) {
                if (state[next] == 1) {
                    auto from = std::find(path.begin(), path.end(), next);
                    circle.assign(from, path.end());
                    circle.push_back(next);
                    return true;
                }
                if (state[next] == 0 && visit(next))
                    return true;
            }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, edges] : graph)
        if (state[node] == 0 && visit(node))
            return circle;
    return {};
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : " -> ") + part;
    return text;
}
} // namespace

TEST(AppLayoutTest, EveryFolderSaysWhatItHoldsAndHasItsFloor) {
    ASSERT_TRUE(fs::exists(AppDir / "README.md"));
    for (const auto& entry : fs::directory_iterator(AppDir)) {
        if (!entry.is_directory())
            continue;
        const std::string room = entry.path().filename().string();
        EXPECT_TRUE(fs::exists(entry.path() / "README.md")) << "app/" << room << " has no README.md";
        EXPECT_TRUE(Floors().count(room)) << "app/" << room << " has no floor in the layout (app/README.md)";
    }
}

TEST(AppLayoutTest, IncludesRunOneWayWithoutCircles) {
    const std::vector<TSource> sources = AppSources();
    ASSERT_GT(sources.size(), 100u);
    std::map<std::string, std::set<std::string>> files, rooms;
    for (const TSource& source : sources) {
        const std::string from = RoomOf(source.Path);
        ASSERT_TRUE(Floors().count(from)) << source.Path;
        for (const std::string& included : source.Includes) {
            EXPECT_TRUE(fs::exists(fs::path(PIXAROLL_SOURCE_DIR) / included)) << source.Path << " includes " << included;
            const std::string to = RoomOf(included);
            ASSERT_TRUE(Floors().count(to)) << included;
            EXPECT_LE(Floors().at(to), Floors().at(from))
                << source.Path << " climbs up to " << included << " (" << from << " is below " << to << ")";
            files[source.Path].insert(included);
            if (to != from)
                rooms[from].insert(to);
        }
    }
    EXPECT_EQ(Joined(FindCircle(rooms)), "") << "rooms in a circle";
    // A header and its own source file are one unit: the circle of interest runs between units.
    std::map<std::string, std::set<std::string>> units;
    auto unit = [](const std::string& path) { return fs::path(path).replace_extension().generic_string(); };
    for (const auto& [from, includes] : files)
        for (const std::string& to : includes)
            if (unit(from) != unit(to))
                units[unit(from)].insert(unit(to));
    EXPECT_EQ(Joined(FindCircle(units)), "") << "files in a circle";
}

TEST(AppLayoutTest, OnlyTheWindowAndItsBinderTouchTheWindowsControls) {
    // The form's controls are named by their kind (cmb..., edt..., chk..., btn..., rdo..., txt..., pnl...,
    // dlg..., lbl...) and live in MainWindow; the binder maps them to the document.
    const std::regex control(R"(\b(window_|window|w)(\.|->)(cmb|edt|chk|btn|rdo|rb|txt|dlg|pnl|trk|lbl|pb|lst)[A-Z]\w*)");
    for (const auto& entry : fs::recursive_directory_iterator(AppDir / "window")) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.rfind("MainWindow", 0) == 0 || name.rfind("WindowBinder", 0) == 0)
            continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string body = text.str();
        std::smatch m;
        EXPECT_FALSE(std::regex_search(body, m, control)) << name << " reaches into the window: " << m.str();
    }
    std::ifstream main(AppDir / "window" / "MainWindow.cpp");
    int lines = 0;
    for (std::string line; std::getline(main, line);)
        ++lines;
    EXPECT_LT(lines, 600) << "MainWindow.cpp is the window's form: construction, handlers and wiring";
}
