#include "app/captions/TitleSlide.h"

#include "app/pictures/PictureLoader.h"
#include "effects/BmpFile.h"
#include "app/show/CaptionStyle.h"

#include <QImage>

#include <cstring>
#include <map>

namespace {
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double v = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        out |= std::uint32_t(v + 0.5) << shift;
    }
    return out;
}

// The picture covering the frame, reduced to a thirty-second and enlarged again smoothly in two
// steps (a wide blur at little cost, once per slide), then darkened so that the text stands out.
void DrawBlurredPicture(const std::string& picture, TFrameBitmap& frame) {
    TPictureLoader loader;
    loader.Framing = TFraming::Fill;
    loader.Load(picture, frame);
    const int w = frame.Width(), h = frame.Height();
    const QImage view(reinterpret_cast<const uchar*>(frame.Pixels()), w, h, frame.Stride(), QImage::Format_RGB32);
    const QImage small = view.scaled(std::max(1, w / 32), std::max(1, h / 32), Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
    const QImage middle = small.scaled(std::max(1, w / 8), std::max(1, h / 8), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation);
    const QImage blurred =
        middle.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(blurred.constScanLine(y));
        std::uint32_t* dst = frame.Row(y);
        for (int x = 0; x < w; ++x)
            dst[x] = Mix(src[x] & 0xFFFFFFu, 0, 0.35);
    }
}
} // namespace

TSlide TitleSlide(const std::string& text, const TSlideTitle& background, const std::string& picture) {
    TSlide slide;
    slide.Picture = picture;
    slide.Caption = text;
    slide.Title = background;
    slide.Title.On = true;
    return slide;
}

bool IsTitleSlide(const TSlide& slide) { return slide.Title.On; }



void DrawTitleBackground(const TSlide& slide, TFrameBitmap& frame) {
    TCanvasLock lock(frame);
    const TSlideTitle& t = slide.Title;
    if (t.Background == TTitleBackgroundKind::Blur) {
        if (slide.Picture.empty())
            throw TPictureError("A title slide with a blurred background names no picture");
        DrawBlurredPicture(slide.Picture, frame);
        return;
    }
    const int h = frame.Height();
    for (int y = 0; y < h; ++y) {
        const double share = t.Background == TTitleBackgroundKind::Gradient && h > 1 ? double(y) / (h - 1) : 0;
        const std::uint32_t colour = Mix(t.From & 0xFFFFFFu, t.To & 0xFFFFFFu, share);
        std::uint32_t* row = frame.Row(y);
        std::fill(row, row + frame.Width(), colour);
    }
}

void InstallTitleSlides(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data) {
    std::vector<bool> titles;
    bool any = false;
    for (const TSlide& slide : data->Slides) {
        titles.push_back(IsTitleSlide(slide));
        any = any || titles.back();
    }
    if (!any)
        return;
    // The background of each title slide, made when it comes on screen and kept while it is there.
    struct TMade {
        std::map<int, TFrameBitmap> Backgrounds;
    };
    auto made = std::make_shared<TMade>();
    auto moves = sequencer.SlideMoves;
    auto draw = sequencer.DrawSlide;
    auto isTitle = [titles](int k) { return k >= 0 && k < int(titles.size()) && titles[std::size_t(k)]; };
    sequencer.SlideMoves = [isTitle, moves](int k) { return isTitle(k) || (moves && moves(k)); };
    sequencer.DrawSlide = [isTitle, draw, data, made](int k, int frame, TFrameBitmap& bitmap) {
        if (!isTitle(k)) {
            if (draw)
                draw(k, frame, bitmap);
            return;
        }
        auto found = made->Backgrounds.find(k);
        if (found == made->Backgrounds.end() || found->second.Width() != bitmap.Width() ||
            found->second.Height() != bitmap.Height()) {
            made->Backgrounds.erase(made->Backgrounds.begin(), made->Backgrounds.lower_bound(k - 1));
            TFrameBitmap background;
            background.SetSize(bitmap.Width(), bitmap.Height());
            DrawTitleBackground(data->Slides[std::size_t(k)], background);
            found = made->Backgrounds.insert_or_assign(k, std::move(background)).first;
        }
        std::memcpy(bitmap.Pixels(), found->second.Pixels(), std::size_t(bitmap.Stride()) * bitmap.Height());
    };
}
