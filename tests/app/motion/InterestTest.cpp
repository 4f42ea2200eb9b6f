// What matters in a picture: faces at places marked by hand on real photos, none on landscapes
// and textures, the detail on the detailed part of a composed picture, and the detector shared
// by several threads.

#include "app/motion/Interest.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string DataDir = PIXAROLL_TEST_DATA "/interest/";

QImage Picture(const std::string& name) {
    QImage image(QString::fromStdString(DataDir + name));
    EXPECT_FALSE(image.isNull()) << name;
    return image.convertToFormat(QImage::Format_RGB32);
}

TFrameBitmap Bitmap(const QImage& image) {
    TFrameBitmap bitmap(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), image.width(), bitmap.Row(y));
    return bitmap;
}

// Copies part of one picture into another, scaled by factor, its top left corner at (x, y).
void Paste(QImage& into, const QImage& from, const QRect& part, double factor, int x, int y) {
    const QImage piece = from.copy(part).scaled(int(part.width() * factor), int(part.height() * factor),
                                                Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int row = 0; row < piece.height(); ++row)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(piece.constScanLine(row)), piece.width(),
                    reinterpret_cast<std::uint32_t*>(into.scanLine(y + row)) + x);
}

// A box in pixels as fractions of a picture of the given size.
TMotionRect Box(double x, double y, double w, double h, double width, double height) {
    return {x / width, y / height, w / width, h / height};
}

double IoU(const TMotionRect& a, const TMotionRect& b) {
    const double w = std::min(a.X + a.W, b.X + b.W) - std::max(a.X, b.X);
    const double h = std::min(a.Y + a.H, b.Y + b.H) - std::max(a.Y, b.Y);
    const double common = w > 0 && h > 0 ? w * h : 0;
    return common / (a.W * a.H + b.W * b.H - common);
}

// Every known face is matched by one found face, and nothing else is found.
void ExpectFaces(const TInterest& found, const std::vector<TMotionRect>& known, const std::string& what) {
    std::string boxes;
    for (const TMotionRect& f : found.Faces)
        boxes += " (" + std::to_string(f.X) + ", " + std::to_string(f.Y) + " " + std::to_string(f.W) + "x" +
                 std::to_string(f.H) + ")";
    EXPECT_EQ(found.Faces.size(), known.size()) << what << ", found:" << boxes;
    for (const TMotionRect& face : known) {
        double best = 0;
        for (const TMotionRect& f : found.Faces)
            best = std::max(best, IoU(face, f));
        EXPECT_GE(best, 0.5) << what << ": the face at " << face.X << ", " << face.Y;
    }
    for (const TMotionRect& f : found.Faces) {
        EXPECT_GE(f.X, 0.0);
        EXPECT_GE(f.Y, 0.0);
        EXPECT_LE(f.X + f.W, 1.0 + 1e-9);
        EXPECT_LE(f.Y + f.H, 1.0 + 1e-9);
    }
}

const TMotionRect AstronautFace = Box(178, 68, 94, 104, 512, 512);
const TMotionRect CameraFace = Box(183, 105, 80, 88, 512, 512);

// The astronaut's head three times, at three sizes, on the rocket's launch pad (1200x800).
struct TGroup {
    QImage Image;
    std::vector<TMotionRect> Faces;
};
TGroup GroupPicture() {
    TGroup group;
    group.Image = Picture("rocket.jpg").scaled(1200, 800, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage astronaut = Picture("astronaut.jpg");
    const QRect head(128, 18, 194, 204);
    struct { double Factor; int X, Y; } places[] = {{1.0, 60, 80}, {0.8, 520, 420}, {0.6, 950, 120}};
    for (const auto& p : places) {
        Paste(group.Image, astronaut, head, p.Factor, p.X, p.Y);
        group.Faces.push_back(Box(p.X + (178 - head.x()) * p.Factor, p.Y + (68 - head.y()) * p.Factor, 94 * p.Factor,
                                  104 * p.Factor, 1200, 800));
    }
    return group;
}

} // namespace

TEST(InterestFaces, KnownFacesAreFoundWhereTheyAre) {
    ExpectFaces(FindInterest(Bitmap(Picture("astronaut.jpg"))), {AstronautFace}, "astronaut, facing the camera");
    ExpectFaces(FindInterest(Bitmap(Picture("camera.jpg"))), {CameraFace}, "camera man, face to the side");
    // The same face turned the other way is found by the mirrored side view.
    ExpectFaces(FindInterest(Bitmap(Picture("camera.jpg").mirrored(true, false))),
                {Box(512 - 183 - 80, 105, 80, 88, 512, 512)}, "camera man, mirrored");
    const TGroup group = GroupPicture();
    ExpectFaces(FindInterest(Bitmap(group.Image)), group.Faces, "three heads on a larger picture");
    // A picture larger than the detector looks at: the boxes are still fractions of the whole.
    ExpectFaces(FindInterest(Bitmap(Picture("astronaut.jpg").scaled(1800, 1800))), {AstronautFace}, "astronaut, enlarged");
    // The same for the side view (a smaller copy for the slow profile cascade cut this box short).
    ExpectFaces(FindInterest(Bitmap(Picture("camera.jpg").scaled(1600, 1600))), {CameraFace}, "camera man, enlarged");
}

TEST(InterestFaces, NoFacesInLandscapesTexturesOrFlatPictures) {
    for (const char* name : {"rocket.jpg", "coffee.jpg", "gravel.jpg"}) {
        EXPECT_TRUE(FindInterest(Bitmap(Picture(name))).Faces.empty()) << name;
        // Enlarged to the size a reduced decode hands over: the wood grain of the coffee table
        // then looks like a face to one cascade.
        const QImage large = Picture(name).scaled(1200, 1200, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        EXPECT_TRUE(FindInterest(Bitmap(large)).Faces.empty()) << name << " enlarged";
    }
    TFrameBitmap flat(800, 600);
    flat.Fill(TFrameBitmap::MakePixel(90, 120, 150));
    EXPECT_TRUE(FindInterest(flat).Faces.empty());
    EXPECT_EQ(FindInterest(TFrameBitmap()), TInterest{});
    // Too small for any face, but no failure either.
    TFrameBitmap tiny(3, 2);
    EXPECT_TRUE(FindInterest(tiny).Faces.empty());
}

TEST(InterestDetail, LandsOnTheDetailedPartOfAFlatPicture) {
    const QImage gravel = Picture("gravel.jpg");
    // The texture in each corner in turn (and once in the middle), on an even grey, 1000x700.
    struct { double X, Y; } corners[] = {{0, 0}, {0.5, 0}, {0, 0.5}, {0.5, 0.5}, {0.25, 0.25}};
    for (const auto& c : corners) {
        QImage composed(1000, 700, QImage::Format_RGB32);
        composed.fill(QColor(128, 128, 128));
        Paste(composed, gravel, QRect(0, 0, 500, 350), 1.0, int(c.X * 1000), int(c.Y * 700));
        const TMotionRect d = FindInterest(Bitmap(composed)).Detail;
        const std::string where = std::to_string(c.X) + ", " + std::to_string(c.Y);
        // Inside the textured quarter (a cell's width of slack) and of a size a zoom can aim at.
        EXPECT_GE(d.X, c.X - 0.09) << where;
        EXPECT_GE(d.Y, c.Y - 0.09) << where;
        EXPECT_LE(d.X + d.W, c.X + 0.5 + 0.09) << where;
        EXPECT_LE(d.Y + d.H, c.Y + 0.5 + 0.09) << where;
        EXPECT_GE(d.W, 0.2) << where;
        EXPECT_GE(d.H, 0.2) << where;
    }
}

TEST(InterestDetail, WholePictureWhenNothingStandsOut) {
    TFrameBitmap flat(640, 480);
    flat.Fill(TFrameBitmap::MakePixel(20, 200, 40));
    EXPECT_EQ(FindInterest(flat).Detail, TMotionRect{});
    // An even texture all over: no part has more detail than another.
    EXPECT_EQ(FindInterest(Bitmap(Picture("gravel.jpg"))).Detail, TMotionRect{});
    // The X byte is nobody's business: garbage there changes nothing.
    const QImage gravel = Picture("gravel.jpg");
    QImage composed(600, 600, QImage::Format_RGB32);
    composed.fill(QColor(10, 10, 10));
    Paste(composed, gravel, QRect(0, 0, 300, 300), 1.0, 300, 300);
    TFrameBitmap clean = Bitmap(composed), noisy = Bitmap(composed);
    for (int y = 0; y < noisy.Height(); ++y)
        for (int x = 0; x < noisy.Width(); ++x)
            noisy.SetPixel(x, y, (noisy.Pixel(x, y) & 0xFFFFFFu) | (std::uint32_t((x * 7 + y * 13) & 0xFF) << 24));
    EXPECT_EQ(FindInterest(clean), FindInterest(noisy));
    EXPECT_NE(FindInterest(clean).Detail, TMotionRect{});
}

TEST(InterestCascades, MissingCascadeFilesFindNoFacesAndSaySoOnce) {
    const std::string usual = InterestCascadeFolder();
    std::vector<std::string> lines;
    SetInterestLog([&](const std::string& line) { lines.push_back(line); });
    const std::string nowhere = (std::filesystem::temp_directory_path() / "no-cascades-here").string();
    SetInterestCascadeFolder(nowhere);
    const TFrameBitmap astronaut = Bitmap(Picture("astronaut.jpg"));
    const TInterest first = FindInterest(astronaut);
    const TInterest second = FindInterest(astronaut);
    SetInterestCascadeFolder(usual);
    const TInterest again = FindInterest(astronaut);
    SetInterestLog(nullptr);

    EXPECT_TRUE(first.Faces.empty());
    EXPECT_TRUE(second.Faces.empty());
    // One line per missing file, naming it, however often the detector is asked.
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(nowhere + "/haarcascades/"), std::string::npos) << lines[0];
    EXPECT_EQ(again.Faces.size(), 1u);
}

// Several threads at once, each with pictures of its own and a shared one; every answer is the
// one a single thread gets. Run under ThreadSanitizer too.
TEST(InterestThreads, ManyCallersAtOnceGetTheSameAnswers) {
    const std::vector<TFrameBitmap> pictures = {Bitmap(Picture("astronaut.jpg")), Bitmap(Picture("camera.jpg")),
                                                Bitmap(Picture("rocket.jpg"))};
    std::vector<TInterest> expected;
    for (const TFrameBitmap& p : pictures)
        expected.push_back(FindInterest(p));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round) {
                const std::size_t i = std::size_t(t + round) % pictures.size();
                if (!(FindInterest(pictures[i]) == expected[i]))
                    ++wrong;
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(expected[0].Faces.size(), 1u);
}
