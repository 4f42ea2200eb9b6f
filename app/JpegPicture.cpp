#include "app/JpegPicture.h"

#include "app/FitDrawer.h"
#include "app/FitRect.h"
#include "effects/BmpFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace {
// libjpeg reports fatal errors through error_exit, which must not return. It cannot throw
// through the library's C frames, so it jumps back to JpegCall, which turns it into a
// false result; the C++ side then throws with the library's message.
struct TJpegErrors {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX] = {};
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<TJpegErrors*>(cinfo->err);
    cinfo->err->format_message(cinfo, errors->Message);
    std::longjmp(errors->Jump, 1);
}

// Warnings are tolerated (cameras write many harmless ones), except a file that ends early:
// the library would pad the picture with grey and show a half picture as if nothing were wrong.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        JpegErrorExit(cinfo);
}

// Runs one library call. Nothing with a destructor lives in the frames the jump skips.
template <class Call> bool JpegCall(TJpegErrors& errors, Call call) {
    if (setjmp(errors.Jump) != 0)
        return false;
    call();
    return true;
}

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct TDecompressor {
    jpeg_decompress_struct Info{};
    TJpegErrors Errors;
    TDecompressor() {
        Info.err = jpeg_std_error(&Errors.Pub);
        Errors.Pub.error_exit = JpegErrorExit;
        Errors.Pub.emit_message = JpegEmitMessage;
    }
    ~TDecompressor() { jpeg_destroy_decompress(&Info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;
};

// Bounds the library's own buffers: a header may claim 65500 x 65500 pixels, and a progressive
// file keeps all its coefficients in memory.
constexpr long JpegMemoryLimit = 1024L * 1024 * 1024;

[[noreturn]] void Fail(const std::string& fileName, const std::string& reason) {
    throw TPictureError("Cannot read picture \"" + fileName + "\": " + reason);
}

int ReductionFor(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight) {
    if (frameWidth <= 0 || frameHeight <= 0)
        return 1;
    for (int d : {8, 4, 2})
        if (static_cast<long long>(pictureWidth) >= static_cast<long long>(d) * frameWidth &&
            static_cast<long long>(pictureHeight) >= static_cast<long long>(d) * frameHeight)
            return d;
    return 1;
}

int ShiftOf(int reduction) { return reduction == 8 ? 3 : reduction == 4 ? 2 : reduction == 2 ? 1 : 0; }

// Adobe writes CMYK inverted (0 = full ink); other writers store it plainly.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        bgr[0] = static_cast<std::uint8_t>(y * k / 255);
        bgr[1] = static_cast<std::uint8_t>(m * k / 255);
        bgr[2] = static_cast<std::uint8_t>(c * k / 255);
    }
}
} // namespace

int DrawJpegPicture(const std::string& fileName, TFrameBitmap& frame, bool allowScaling) {
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        Fail(fileName, std::strerror(errno));

    TDecompressor d;
    jpeg_decompress_struct& info = d.Info;
    auto check = [&](bool ok) {
        if (!ok)
            Fail(fileName, d.Errors.Message);
    };
    check(JpegCall(d.Errors, [&] { jpeg_create_decompress(&info); }));
    info.mem->max_memory_to_use = JpegMemoryLimit;
    std::FILE* raw = file.get();
    check(JpegCall(d.Errors, [&] {
        jpeg_stdio_src(&info, raw);
        jpeg_read_header(&info, TRUE);
    }));

    const int pictureWidth = static_cast<int>(info.image_width);
    const int pictureHeight = static_cast<int>(info.image_height);
    const int reduction = allowScaling ? ReductionFor(pictureWidth, pictureHeight, frame.Width(), frame.Height()) : 1;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(reduction);
    check(JpegCall(d.Errors, [&] { jpeg_start_decompress(&info); }));

    // The sampling maps full-size column x to x / reduction, which the reduced picture must hold.
    const int rowWidth = static_cast<int>(info.output_width);
    const long long expectWidth = (pictureWidth + reduction - 1) / reduction;
    const long long expectHeight = (pictureHeight + reduction - 1) / reduction;
    if (rowWidth != expectWidth || static_cast<long long>(info.output_height) != expectHeight)
        Fail(fileName, "the decoder did not reduce the picture as asked");

    const TRect fit = FitRect(TRect{0, 0, pictureWidth, pictureHeight}, TRect{0, 0, frame.Width(), frame.Height()});
    TFitDrawer drawer(frame, pictureWidth, pictureHeight, fit, ShiftOf(reduction));
    if (drawer.NeededRowWidth() > rowWidth)
        Fail(fileName, "the decoded rows are narrower than the picture");
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(rowWidth) * info.output_components);
    std::vector<std::uint8_t> bgr(cmyk ? static_cast<std::size_t>(rowWidth) * 3 : 0);
    JSAMPROW rows[1] = {decoded.data()};
    // Rows below the last one the frame samples are not needed: the file is left unread there.
    while (drawer.NextRow() >= 0) {
        const unsigned wanted = static_cast<unsigned>(drawer.NextRow());
        while (info.output_scanline <= wanted) {
            JDIMENSION got = 0;
            check(JpegCall(d.Errors, [&] { got = jpeg_read_scanlines(&info, rows, 1); }));
            if (got != 1)
                Fail(fileName, "the picture data ends early");
        }
        if (cmyk) {
            CmykToBgr(decoded.data(), bgr.data(), rowWidth, info.saw_Adobe_marker);
            drawer.PutRowBgr(bgr.data());
        } else {
            drawer.PutRowBgr(decoded.data());
        }
    }
    return reduction;
}
