#include "effects/RegionBuilder.h"

#include "effects/RegionBandWriter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr std::uint32_t kRegionTypeRects = 1;

static_assert(sizeof(TRect) == TComplexRegion::kRectSize, "rectangles are stored as four 32-bit integers");

void PutU32(std::uint8_t* at, std::uint32_t v) { std::memcpy(at, &v, 4); }

std::uint32_t GetU32(const std::uint8_t* at) {
    std::uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

} // namespace

namespace {
// The storage of the last block released on this thread: the next collector starts in it
// instead of asking the system for a fresh block (effects collect a region every frame).
thread_local std::vector<std::uint8_t> SpareBlock;
} // namespace

void TComplexRegion::Clear() {
    if (buffer_.capacity() > SpareBlock.capacity())
        SpareBlock = std::move(buffer_);
    buffer_ = {};
    capacity_ = 0;
    count_ = 0;
    next_ = 0;
    bounds_ = {INT_MAX, INT_MAX, -INT_MAX, -INT_MAX};
}

void TComplexRegion::AddRect(int Left, int Top, int Right, int Bottom) {
    if (count_ == capacity_) {
        if (buffer_.capacity() == 0 && SpareBlock.capacity() > 0)
            buffer_ = std::move(SpareBlock);
        capacity_ += kGrowBy;
        buffer_.resize(std::size_t(capacity_) * kRectSize + kHeaderSize + 4);
        next_ = kHeaderSize + std::size_t(count_) * kRectSize;
    }
    const TRect r{Left, Top, Right, Bottom};
    std::memcpy(buffer_.data() + next_, &r, kRectSize);
    next_ += kRectSize;
    ++count_;
    bounds_.Left = std::min(bounds_.Left, Left);
    bounds_.Top = std::min(bounds_.Top, Top);
    bounds_.Right = std::max(bounds_.Right, Right);
    bounds_.Bottom = std::max(bounds_.Bottom, Bottom);
}

std::optional<TRegion> TComplexRegion::CreateRegion() {
    if (buffer_.empty())
        return std::nullopt;
    std::uint8_t* h = buffer_.data();
    PutU32(h, kHeaderSize);
    PutU32(h + 4, kRegionTypeRects);
    PutU32(h + 8, std::uint32_t(count_));
    PutU32(h + 12, kRectSize);
    std::memcpy(h + 16, &bounds_, sizeof bounds_);
    return ExtCreateRegion(std::size_t(count_) * kRectSize + kHeaderSize + 4, buffer_.data());
}

std::optional<TRegion> ExtCreateRegion(std::size_t size, const void* data) {
    if (!data || size < TComplexRegion::kHeaderSize)
        return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (GetU32(bytes) != TComplexRegion::kHeaderSize || GetU32(bytes + 4) != kRegionTypeRects)
        return std::nullopt;
    const std::size_t count = GetU32(bytes + 8);
    if (count > (size - TComplexRegion::kHeaderSize) / TComplexRegion::kRectSize)
        return std::nullopt;
    // Kept from call to call like the region's own working lists (see FromRects).
    thread_local std::vector<TRect> rects;
    rects.resize(count);
    if (count)
        std::memcpy(rects.data(), bytes + TComplexRegion::kHeaderSize, count * TComplexRegion::kRectSize);
    return TRegion::FromRects(rects);
}

TRegion PolygonRgn(std::span<const int> Coords) {
    std::vector<TPoint> points(Coords.size() / 2);
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = {Coords[2 * i], Coords[2 * i + 1]};
    return TRegion::Polygon(points, TFillRule::Winding);
}

TRegion PolygonRgn(std::initializer_list<int> Coords) {
    return PolygonRgn(std::span<const int>(Coords.begin(), Coords.size()));
}

TRegion CreateSectorRgn(int CX, int CY, int Radius, long double StartAngle, long double EndAngle, int Count) {
    if (Count < 1)
        return {};
    std::vector<TPoint> points(std::size_t(Count) + 1);
    points[0] = {CX, CY};
    for (int k = 1; k <= Count; ++k) {
        const long double a = StartAngle + (k - 1) * (EndAngle - StartAngle) / Count;
        points[k] = {ClampToInt(CX + static_cast<long long>(RoundHalfEven(Radius * std::cos(a)))),
                     ClampToInt(CY + static_cast<long long>(RoundHalfEven(Radius * std::sin(a))))};
    }
    return TRegion::Polygon(points, TFillRule::Winding);
}

void RotatePoints(std::span<TPoint> Points, int High, int CX, int CY, long double Angle) {
    const long double c = std::cos(Angle), s = std::sin(Angle);
    const long long last = std::min<long long>(High, static_cast<long long>(Points.size()) - 1);
    for (long long i = 0; i <= last; ++i) {
        const long double dx = static_cast<long double>(Points[i].X) - CX;
        const long double dy = static_cast<long double>(Points[i].Y) - CY;
        Points[i].X = ClampToInt(CX + static_cast<long long>(RoundHalfEven(dx * c - dy * s)));
        Points[i].Y = ClampToInt(CY + static_cast<long long>(RoundHalfEven(dx * s + dy * c)));
    }
}

int RoundHalfEven(long double x) {
    if (std::isnan(x))
        return 0;
    if (x >= INT_MAX)
        return INT_MAX;
    if (x <= INT_MIN)
        return INT_MIN;
    const long double low = std::floor(x);
    const long double fraction = x - low;
    long long r = static_cast<long long>(low);
    if (fraction > 0.5L || (fraction == 0.5L && r % 2 != 0))
        ++r;
    return ClampToInt(r);
}

TRegion CreateRectRgn(int left, int top, int right, int bottom) {
    return TRegion(TRect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
}

TRegion CreatePolygonRgn(const TPoint* points, int count, TFillRule rule) {
    if (!points || count < 1)
        return {};
    return TRegion::Polygon(std::span<const TPoint>(points, std::size_t(count)), rule);
}

TRegion CreateEllipticRgn(int left, int top, int right, int bottom) {
    return TRegion::Ellipse({left, top, right, bottom});
}

TRegion CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    return TRegion::RoundRect({left, top, right, bottom}, ellipseWidth, ellipseHeight);
}

void CombineRgn(TRegion& dest, const TRegion& a, const TRegion& b, TCombineMode mode) {
    switch (mode) {
    case rgnAnd:
        dest = a.Intersect(b);
        break;
    case rgnOr:
        dest = a.Union(b);
        break;
    case rgnXor:
        dest = a.Xor(b);
        break;
    case rgnDiff:
        dest = a.Subtract(b);
        break;
    case rgnCopy:
        dest = a;
        break;
    }
}

namespace {

// Where one part of a union stands: the band being read and the end of the part.
struct TPartCursor {
    const TRect* Band;
    const TRect* BandEnd;
    const TRect* End;

    void FindBandEnd() {
        BandEnd = Band;
        while (BandEnd != End && BandEnd->Top == Band->Top)
            ++BandEnd;
    }
};

} // namespace

TRegion UnionOfRegions(const std::vector<TRegion>& parts) {
    std::vector<TPartCursor> open;
    std::size_t total = 0;
    for (const TRegion& part : parts)
        if (!part.IsEmpty()) {
            const std::vector<TRect>& r = part.Rects();
            open.push_back({r.data(), nullptr, r.data() + r.size()});
            open.back().FindBandEnd();
            total += r.size();
        }
    if (open.size() <= 1)
        return open.empty() ? TRegion() : *std::find_if(parts.begin(), parts.end(), [](const TRegion& r) { return !r.IsEmpty(); });

    // One sweep down through all parts at once: between two successive band edges of any part
    // the set of bands crossing is constant, and their spans, sorted and merged, form one band
    // of the result. The result is written once, in order, with no intermediate regions.
    TBandWriter out;
    out.Reserve(total);
    std::vector<std::pair<int, int>> spans;
    int y = INT_MAX;
    for (const TPartCursor& c : open)
        y = std::min(y, c.Band->Top);
    while (!open.empty()) {
        int next = INT_MAX;
        spans.clear();
        for (const TPartCursor& c : open) {
            if (c.Band->Top > y) {
                next = std::min(next, c.Band->Top);
                continue;
            }
            next = std::min(next, c.Band->Bottom);
            for (const TRect* r = c.Band; r != c.BandEnd; ++r)
                spans.emplace_back(r->Left, r->Right);
        }
        if (!spans.empty()) {
            std::sort(spans.begin(), spans.end());
            out.BeginBand(y, next);
            for (const auto& [left, right] : spans)
                out.AddSpan(left, right);
            out.EndBand();
        }
        for (TPartCursor& c : open)
            if (c.Band->Bottom == next) {
                c.Band = c.BandEnd;
                if (c.Band != c.End)
                    c.FindBandEnd();
            }
        std::erase_if(open, [](const TPartCursor& c) { return c.Band == c.End; });
        y = next;
    }
    return out.Finish();
}

TRegion RepeatRgn(const TRegion& shape, int firstX, int stepX, int endX, int firstY, int stepY, int endY) {
    if (stepX <= 0 || stepY <= 0 || shape.IsEmpty())
        return {};
    std::vector<TRegion> copies;
    for (long long x = firstX; x < endX; x += stepX)
        for (long long y = firstY; y < endY; y += stepY) {
            copies.push_back(shape);
            copies.back().Offset(static_cast<int>(x), static_cast<int>(y));
        }
    return UnionOfRegions(copies);
}
