#include "app/pictures/PngPicture.h"
#include "app/pictures/CFile.h"

#include "app/framing/FitDrawer.h"
#include "app/framing/FitRect.h"
#include "app/pictures/PictureLimits.h"
#include "effects/BmpFile.h"
#include "medialib/FFLog.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <png.h>

namespace {
// libpng reports errors through a function that must not return; like the JPEG reader, it
// jumps back to PngCall, and the C++ side throws with the kept message.
struct TPngErrors {
    std::jmp_buf Jump;
    std::string Message;
    std::string Warning; // the first one, logged when the picture decodes fully
};

void PngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<TPngErrors*>(png_get_error_ptr(png));
    // The reader's own word for a short read.
    errors->Message = std::strcmp(message, "Read Error") == 0 ? "the picture data ends early" : message;
    std::longjmp(errors->Jump, 1);
}

void PngWarning(png_structp png, png_const_charp message) {
    auto* errors = static_cast<TPngErrors*>(png_get_error_ptr(png));
    if (errors->Warning.empty())
        errors->Warning = message;
}

// Runs one library call. Nothing with a destructor lives in the frames the jump skips.
template <class Call> bool PngCall(TPngErrors& errors, Call call) {
    if (setjmp(errors.Jump) != 0)
        return false;
    call();
    return true;
}

struct TPngReader {
    TPngErrors Errors;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    TPngReader() {
        Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Errors, PngError, PngWarning);
        if (Png)
            Info = png_create_info_struct(Png);
    }
    ~TPngReader() { png_destroy_read_struct(Png ? &Png : nullptr, Info ? &Info : nullptr, nullptr); }
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;
};

[[noreturn]] void Fail(const std::string& fileName, const std::string& reason) {
    throw TPictureError("Cannot read picture \"" + fileName + "\": " + reason);
}

// Blue, green, red, alpha to a frame pixel over black.
std::uint32_t OverBlack(const std::uint8_t* p) {
    const unsigned a = p[3];
    auto mix = [a](unsigned c) { return static_cast<std::uint8_t>((c * a + 127) / 255); };
    return TFrameBitmap::MakePixel(mix(p[2]), mix(p[1]), mix(p[0]));
}
} // namespace

void DrawPngPicture(const std::string& fileName, TFrameBitmap& frame, TFraming framing, TRect* placed) {
    TCFile file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        Fail(fileName, std::strerror(errno));
    TPngReader r;
    if (!r.Png || !r.Info)
        Fail(fileName, "not enough memory for the PNG reader");
    auto check = [&](bool ok) {
        if (!ok)
            Fail(fileName, r.Errors.Message);
    };
    png_structp png = r.Png;
    png_infop info = r.Info;
    std::FILE* raw = file.get();
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    check(PngCall(r.Errors, [&] {
        png_init_io(png, raw);
        // Text and other side chunks of a hostile file must not take memory either.
        png_set_chunk_malloc_max(png, 8 << 20);
        png_read_info(png, info);
        png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    }));
    // Every kind of PNG as blue, green, red, alpha with 8 bits each.
    int passes = 1;
    check(PngCall(r.Errors, [&] {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
    }));
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != std::size_t(width) * 4)
        Fail(fileName, "unexpected PNG row layout");

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const TRect fit = PictureRect(framing, w, h, frame.Width(), frame.Height());
    if (placed)
        *placed = fit;
    TFitDrawer drawer(frame, w, h, fit);
    std::vector<std::uint32_t> pixels(width);
    auto put = [&](const std::uint8_t* bgra) {
        for (png_uint_32 x = 0; x < width; ++x)
            pixels[x] = OverBlack(bgra + 4 * x);
        drawer.PutRow(pixels.data());
    };
    if (passes == 1) {
        // Every row is read, to the last, so that damage anywhere in the file is noticed.
        std::vector<std::uint8_t> row(rowBytes);
        for (int y = 0; y < h; ++y) {
            check(PngCall(r.Errors, [&] { png_read_row(png, row.data(), nullptr); }));
            if (y == drawer.NextRow())
                put(row.data());
        }
    } else {
        // Interlaced rows arrive in passes over the whole picture: it is held whole.
        const std::int64_t held = std::int64_t(rowBytes) * h;
        if (held > MaxPictureBytes)
            Fail(fileName, TooLargeText(w, h, held));
        std::vector<std::uint8_t> image(static_cast<std::size_t>(held));
        std::vector<png_bytep> rows(static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y)
            rows[static_cast<std::size_t>(y)] = image.data() + std::size_t(y) * rowBytes;
        check(PngCall(r.Errors, [&] { png_read_image(png, rows.data()); }));
        for (int y = drawer.NextRow(); y >= 0; y = drawer.NextRow())
            put(rows[static_cast<std::size_t>(y)]);
    }
    check(PngCall(r.Errors, [&] { png_read_end(png, nullptr); }));
    if (!r.Errors.Warning.empty())
        GetFFLogger().Log(nullptr, llWarning, "Picture \"" + fileName + "\": " + r.Errors.Warning);
}
