// Project files: what is saved comes back, moved projects find their pictures, missing files
// are named and relinked, damaged and foreign files are refused with the place of the fault.

#include "app/document/ProjectFile.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {
void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TSlideshowData FiveSlides(const fs::path& folder) {
    TSlideshowData data;
    for (int i = 0; i < 5; ++i) {
        const fs::path picture = folder / "pictures" / ("p" + std::to_string(i) + ".jpg");
        Touch(picture);
        TSlide slide = PlainSlide(picture.string());
        if (i % 2)
            slide.HoldSeconds = 0.5 * i;
        slide.Effect = i == 4 ? SlideEffectRandom : 1 + 40 * i;
        slide.Caption = i == 2 ? "Ünïcode \"quoted\"\nsecond line" : "";
        slide.CaptionDateTaken = i == 3;
        data.Slides.push_back(slide);
    }
    Touch(folder / "song.mp3");
    data.Soundtracks.push_back(TSoundtrack{(folder / "song.mp3").string()});
    data.Output.FrameSize = "640x480";
    data.Output.FrameRate = {25, 1};
    data.Output.HoldSeconds = 2.5;
    data.Output.RandomEffects = false;
    data.Output.Seed = 4000000000u;
    data.Output.AudioChannels = 1;
    data.Output.OutDir = (folder / "videos").string();
    data.Output.BreakWhenNoPictures = true;
    // Every output choice away from its default, today's codec rows' too.
    data.Output.Format = "mp4-h264";
    data.Output.Framing = TFraming::Blur;
    data.Output.ConstantQuality = false;
    data.Output.Crf = 30;
    data.Output.Preset = spSmallFile;
    data.Output.HardwareEncoder = true;
    data.Output.ConstantFrameRate = true;
    data.Output.FitToMusic = true;
    data.Output.Beats = true;
    return data;
}

TSlideshowData Moved(TSlideshowData data, const fs::path& from, const fs::path& to) {
    auto move = [&](std::string& file) { file = (to / fs::path(file).lexically_relative(from)).string(); };
    for (TSlide& s : data.Slides)
        move(s.Picture);
    for (TSoundtrack& s : data.Soundtracks)
        move(s.File);
    move(data.Output.OutDir);
    return data;
}

std::string ErrorOf(const std::string& text) {
    TSlideshowData data;
    std::string error;
    EXPECT_FALSE(ReadProjectText(text, "/tmp", data, error)) << text;
    return error;
}
} // namespace

TEST(ProjectFileTest, SavedProjectsComeBackAndMoveWithTheirPictures) {
    TTempDir dir;
    const fs::path a = dir.Path() / "a", b = dir.Path() / "b";
    const TSlideshowData data = FiveSlides(a);
    std::string error;
    ASSERT_TRUE(SaveProject((a / "show.pixaroll").string(), data, error)) << error;
    const std::string text = Read(a / "show.pixaroll");
    EXPECT_NE(text.find("\"pictures/p0.jpg\""), std::string::npos) << text;
    EXPECT_EQ(text.find(a.string()), std::string::npos) << "no absolute paths: " << text;
    for (const auto& entry : fs::directory_iterator(a))
        EXPECT_FALSE(entry.is_regular_file() && entry.path().filename() != "show.pixaroll" &&
                     entry.path().filename() != "song.mp3")
            << "left behind: " << entry.path();

    TSlideshowData back;
    ASSERT_TRUE(LoadProject((a / "show.pixaroll").string(), back, error)) << error;
    EXPECT_TRUE(back == data);

    // A slide held for 0 s (a single frame; the window offers it) opens again as saved.
    TSlideshowData zero = data;
    zero.Slides[0].HoldSeconds = 0.0;
    ASSERT_TRUE(SaveProject((dir.Path() / "zero.pixaroll").string(), zero, error)) << error;
    ASSERT_TRUE(LoadProject((dir.Path() / "zero.pixaroll").string(), back, error)) << error;
    EXPECT_EQ(back.Slides[0].HoldSeconds, std::optional<double>(0.0));
    EXPECT_TRUE(back == zero);

    fs::rename(a, b);
    TSlideshowDocument doc;
    ASSERT_TRUE(OpenProject(doc, (b / "show.pixaroll").string(), error)) << error;
    EXPECT_TRUE(doc.Data() == Moved(data, a, b));
    EXPECT_FALSE(doc.Modified());
    EXPECT_EQ(doc.ProjectFile, (b / "show.pixaroll").string());
    EXPECT_TRUE(MissingFiles(doc.Data()).empty());

    // Saving again replaces the file as a whole; a folder that does not exist is an error.
    doc.SetCaption(0, "again");
    ASSERT_TRUE(SaveProject(doc, (b / "show.pixaroll").string(), error)) << error;
    EXPECT_FALSE(doc.Modified());
    EXPECT_NE(Read(b / "show.pixaroll").find("again"), std::string::npos);
    EXPECT_FALSE(SaveProject((dir.Path() / "none" / "x.pixaroll").string(), data, error));
    EXPECT_NE(error.find("x.pixaroll"), std::string::npos) << error;
}

TEST(ProjectFileTest, MissingFilesAreNamedAndOneFolderRelinksThemAll) {
    TTempDir dir;
    const fs::path a = dir.Path() / "a";
    TSlideshowData data = FiveSlides(a);
    fs::rename(a / "pictures", dir.Path() / "elsewhere");
    fs::rename(a / "song.mp3", dir.Path() / "elsewhere" / "song.mp3");
    const std::vector<TMissingFile> missing = MissingFiles(data);
    ASSERT_EQ(missing.size(), 6u);
    EXPECT_EQ(MissingFileText(missing[1]), "picture 2: " + (a / "pictures" / "p1.jpg").string());
    EXPECT_EQ(missing[5].Kind, TMissingFile::Soundtrack);

    EXPECT_EQ(RelinkMissingFiles(data, (dir.Path() / "nothing-here").string()), 0);
    TSlideshowDocument doc(data);
    int edits = 0;
    doc.Subscribe(nullptr, [&](const TDocumentChange&) { ++edits; });
    EXPECT_EQ(RelinkMissingFiles(doc, (dir.Path() / "elsewhere").string()), 6);
    EXPECT_TRUE(MissingFiles(doc.Data()).empty());
    EXPECT_EQ(doc.Slide(4).Picture, (dir.Path() / "elsewhere" / "p4.jpg").string());
    EXPECT_EQ(doc.Slide(4).Effect, SlideEffectRandom); // the slide keeps its values
    EXPECT_EQ(edits, 6);
    EXPECT_TRUE(doc.Modified());
}

TEST(ProjectFileTest, DamagedForeignAndNewerFilesAreRefusedWithThePlace) {
    const std::string head = "{\n  \"format\": \"pixaroll-project\",\n  \"version\": 1,\n";
    EXPECT_EQ(ErrorOf(head + "  \"slides\": [ {\"picture\": \"a.jpg\",, } ]\n}").rfind("line 4, column ", 0), 0u);
    EXPECT_EQ(ErrorOf(head).rfind("line 4, column 1", 0), 0u) << ErrorOf(head);
    EXPECT_EQ(ErrorOf("").rfind("line 1, column 1", 0), 0u);
    EXPECT_NE(ErrorOf("\xFF\xFE{}").find("line 1"), std::string::npos);
    EXPECT_NE(ErrorOf("[1, 2]").find("not a Zemo Pixaroll project"), std::string::npos);
    EXPECT_NE(ErrorOf("{\"format\": \"someone-else\", \"version\": 1}").find("not a Zemo Pixaroll project"),
              std::string::npos);
    EXPECT_NE(ErrorOf("{\"format\": \"pixaroll-project\", \"version\": 3}").find("newer"), std::string::npos);
    EXPECT_EQ(ErrorOf("{\"format\": \"pixaroll-project\"}").rfind("version:", 0), 0u);
    const std::string slides = head + "  \"slides\": [ {\"picture\": \"a.jpg\"}, ";
    EXPECT_EQ(ErrorOf(slides + "{\"picture\": \"b.jpg\", \"hold\": \"long\"} ] }").rfind("slides[1].hold:", 0), 0u);
    EXPECT_EQ(ErrorOf(slides + "{\"picture\": \"b.jpg\", \"hold\": -1} ] }").rfind("slides[1].hold:", 0), 0u);
    EXPECT_EQ(ErrorOf(slides + "{\"picture\": \"b.jpg\", \"effect\": 177} ] }").rfind("slides[1].effect:", 0), 0u);
    EXPECT_EQ(ErrorOf(slides + "{\"picture\": \"b.jpg\", \"effect\": 2.5} ] }").rfind("slides[1].effect:", 0), 0u);
    EXPECT_EQ(ErrorOf(slides + "{\"picture\": \"\"} ] }").rfind("slides[1].picture:", 0), 0u);
    EXPECT_EQ(ErrorOf(slides + "7 ] }").rfind("slides[1]:", 0), 0u);
    // A key given twice is refused, not the first one dropped silently; the same key in two
    // objects is no repetition.
    EXPECT_EQ(ErrorOf(head + "  \"slides\": [ {\"picture\": \"a.jpg\"} ],\n  \"slides\": []\n}").rfind("slides: appears twice (line 5, column 3)", 0), 0u)
        << ErrorOf(head + "  \"slides\": [ {\"picture\": \"a.jpg\"} ],\n  \"slides\": []\n}");
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"hold\": 1, \"hold\": 2} }").rfind("output.hold: appears twice", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"slides\": [{\"picture\": \"a.jpg\"}, {\"picture\": \"b\\\"c\", \"clip\": {\"in\": 1, \"in\": 2}}] }")
                  .rfind("slides[1].clip.in: appears twice", 0), 0u);
    // The show's own values get the checks their command-line options have, named by their key.
    for (const char* hold : {"\"x\"", "-1", "\"\"", "1e12", "\"1e12\"", "1e308", "4294967296", "86401"}) {
        SCOPED_TRACE(hold);
        EXPECT_EQ(ErrorOf(head + "\"output\": {\"hold\": " + hold + "} }").rfind("output.hold: must be seconds from 0 to 86400", 0), 0u);
        EXPECT_EQ(ErrorOf(head + "\"output\": {\"transition\": " + hold + "} }").rfind("output.transition:", 0), 0u);
    }
    for (const char* rate : {"\"x\"", "\"30\"", "\"0:1\"", "\"30:0\"", "\"-30:1\"", "30"})
        EXPECT_EQ(ErrorOf(head + "\"output\": {\"frameRate\": " + rate + "} }").rfind("output.frameRate: must be N:D", 0), 0u) << rate;
    for (const char* size : {"\"x\"", "\"64\"", "\"0x48\"", "\"64x\"", "\"64*48\"", "64"})
        EXPECT_EQ(ErrorOf(head + "\"output\": {\"frameSize\": " + size + "} }").rfind("output.frameSize: must be WxH", 0), 0u) << size;
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"seed\": 4294967296} }").rfind("output.seed:", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"framing\": \"stretch\"} }").rfind("output.framing:", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"preset\": \"ultrafast\"} }").rfind("output.preset:", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"crf\": 64} }").rfind("output.crf:", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"soundtracks\": {} }").rfind("soundtracks:", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"fitToMusic\": \"yes\"} }").rfind("output.fitToMusic:", 0), 0u);
    EXPECT_EQ(ErrorOf(head + "\"output\": {\"beats\": 1} }").rfind("output.beats:", 0), 0u);

    // Members this program does not know are skipped.
    TSlideshowData data;
    std::string error;
    ASSERT_TRUE(ReadProjectText(head + "  \"future\": {\"a\": [1]},\n  \"output\": {\"hold\": 3, \"sparkle\": true},\n"
                                       "  \"slides\": [ {\"picture\": \"a.jpg\", \"motion\": {\"zoom\": 2}, \"glow\": 1} ] }",
                                "/p", data, error))
        << error;
    ASSERT_EQ(data.Slides.size(), 1u);
    EXPECT_EQ(data.Slides[0].Picture, "/p/a.jpg");
    EXPECT_EQ(data.Output.HoldSeconds, 3.0);

    TTempDir dir;
    EXPECT_FALSE(LoadProject(dir.Path().string(), data, error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    EXPECT_FALSE(LoadProject(dir.File("absent.pixaroll"), data, error));
    EXPECT_EQ(error.rfind(dir.File("absent.pixaroll"), 0), 0u) << error;
}

TEST(ProjectFileTest, MutatedProjectsGiveAProjectOrAClearError) {
    TTempDir dir;
    const std::string text = ProjectText(FiveSlides(dir.Path()), dir.Path().string());
    const std::string tokens[] = {"{", "}", "[", "]", ",", ":", "\"", "null", "true", "-1", "1e999", "177", "\"random\"",
                                  "\\u0000", "\xC3", "0.5", "{\"picture\":\"x\"}"};
    std::mt19937 random(20261208);
    int projects = 0, errors = 0;
    for (int round = 0; round < 300; ++round) {
        std::string mutated = text;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits && !mutated.empty(); ++e) {
            const std::size_t at = random() % mutated.size();
            switch (random() % 5) {
            case 0: mutated[at] = char(random() % 256); break;
            case 1: mutated.erase(at, 1 + random() % 16); break;
            case 2: mutated.insert(at, tokens[random() % std::size(tokens)]); break;
            case 3: mutated.resize(at); break;
            default: mutated.insert(at, mutated.substr(random() % mutated.size(), random() % 40)); break;
            }
        }
        TSlideshowData data;
        std::string error;
        if (ReadProjectText(mutated, dir.Path().string(), data, error)) {
            ++projects;
            // What opens saves and opens again as the same project.
            TSlideshowData again;
            ASSERT_TRUE(ReadProjectText(ProjectText(data, dir.Path().string()), dir.Path().string(), again, error)) << error;
            EXPECT_TRUE(again == data) << mutated;
        } else {
            ++errors;
            EXPECT_GT(error.size(), 10u) << mutated;
        }
    }
    EXPECT_GT(errors, 100);
    EXPECT_GT(projects, 0);
}

TEST(ProjectFileTest, VersionOneOpensUnchangedAndCaptionStylesAndTitlesComeBack) {
    // A project of version 1 reads as it always did: the default style, no titles.
    const std::string v1 = R"({ "format": "pixaroll-project", "version": 1,
      "slides": [ { "picture": "a.jpg", "caption": "Home", "hold": 2 }, { "picture": "b.jpg", "captionDateTaken": true } ] })";
    TSlideshowData data;
    std::string error;
    ASSERT_TRUE(ReadProjectText(v1, "/p", data, error)) << error;
    EXPECT_TRUE(data.CaptionStyle == TCaptionStyle());
    EXPECT_FALSE(data.CaptionFadeSeconds);
    ASSERT_EQ(data.Slides.size(), 2u);
    EXPECT_EQ(data.Slides[0].Caption, "Home");
    EXPECT_EQ(data.Slides[0].HoldSeconds, 2.0);
    EXPECT_FALSE(data.Slides[0].CaptionStyle || data.Slides[0].Title.On);
    EXPECT_TRUE(data.Slides[1].CaptionDateTaken);
    const std::string saved = ProjectText(data, "/p");
    EXPECT_NE(saved.find("\"version\": 2"), std::string::npos) << saved;
    TSlideshowData again;
    ASSERT_TRUE(ReadProjectText(saved, "/p", again, error)) << error;
    EXPECT_TRUE(again == data);

    // Every style key, for the show and a slide, a fade, and title slides of each background.
    data.CaptionStyle.Font = "DejaVu Serif";
    data.CaptionStyle.Bold = false;
    data.CaptionStyle.Size = 0.0512345678901;
    data.CaptionStyle.Color = 0xFFFFEE00u;
    data.CaptionStyle.Outline = 0;
    data.CaptionStyle.OutlineColor = 0x80102030u;
    data.CaptionStyle.Shadow = 0.1;
    data.CaptionStyle.ShadowColor = 0xFF000000u;
    data.CaptionStyle.Box = 0x66000000u;
    data.CaptionStyle.Anchor = TCaptionAnchor::TopRight;
    data.CaptionStyle.Margin = 0.07;
    data.CaptionStyle.Align = TCaptionAlign::Right;
    data.CaptionFadeSeconds = 0.75;
    TCaptionStyle own = data.CaptionStyle;
    own.Anchor = TCaptionAnchor::Left;
    own.Align = TCaptionAlign::Left;
    data.Slides[0].CaptionStyle = own;
    data.Slides[1].CaptionStyle = data.CaptionStyle; // its own, the same as the show's
    TSlide gradient;
    gradient.Caption = "Summer 2026";
    gradient.Title = {true, TTitleBackgroundKind::Gradient, 0xFF203040u, 0xFF000000u};
    TSlide blurred = gradient;
    blurred.Title = {true, TTitleBackgroundKind::Blur};
    blurred.Picture = "/p/a.jpg";
    TSlide plainTitle;
    plainTitle.Caption = "The end";
    plainTitle.Title.On = true;
    data.Slides.insert(data.Slides.begin(), gradient);
    data.Slides.push_back(blurred);
    data.Slides.push_back(plainTitle);
    const std::string text = ProjectText(data, "/p");
    ASSERT_TRUE(ReadProjectText(text, "/p", again, error)) << error << text;
    EXPECT_TRUE(again == data) << text;
    EXPECT_NE(text.find("\"title\": \"Summer 2026\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"background\": \"#203040-#000000\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"position\": \"left\""), std::string::npos) << text;
    EXPECT_TRUE(MissingFiles(again).size() == 3u) << "a.jpg, b.jpg and the blurred title's picture, not the others";
}

TEST(ProjectFileTest, WrongCaptionAndTitleValuesNameTheirKey) {
    const std::string head = R"({ "format": "pixaroll-project", "version": 2, )";
    const std::pair<const char*, const char*> cases[] = {
        {R"("captionStyle": {"size": 2})", "captionStyle.size:"},
        {R"("captionStyle": {"size": "big"})", "captionStyle.size:"},
        {R"("captionStyle": {"color": "white"})", "captionStyle.color:"},
        {R"("captionStyle": {"position": "middle"})", "captionStyle.position:"},
        {R"("captionStyle": {"bold": 1})", "captionStyle.bold:"},
        {R"("captionStyle": 3)", "captionStyle:"},
        {R"("captionFade": -1)", "captionFade:"},
        {R"("slides": [{"picture": "a.jpg", "captionStyle": {"align": "justify"}}])", "slides[0].captionStyle.align:"},
        {R"("slides": [{"title": "T", "background": "#12345"}])", "slides[0].background:"},
        {R"("slides": [{"title": "T", "background": "blur"}])", "slides[0].background:"},
        {R"("slides": [{"title": 7}])", "slides[0].title:"},
        {R"("slides": [{"picture": "a.jpg", "background": "#000000"}])", "slides[0].background:"},
        {R"("slides": [{"caption": "no picture"}])", "slides[0].picture:"},
    };
    for (auto [body, where] : cases) {
        const std::string error = ErrorOf(head + body + "}");
        EXPECT_EQ(error.rfind(where, 0), 0u) << body << " -> " << error;
    }
    // Keys of later versions inside a style are skipped, as elsewhere.
    TSlideshowData data;
    std::string error;
    EXPECT_TRUE(ReadProjectText(head + R"("captionStyle": {"glow": 3, "size": 0.1}})", "/p", data, error)) << error;
    EXPECT_EQ(data.CaptionStyle.Size, 0.1);
}
