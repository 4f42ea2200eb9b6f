#include "app/pictures/JpegPicture.h"
#include "app/pictures/CFile.h"

#include "app/framing/FitDrawer.h"
#include "app/framing/FitRect.h"
#include "app/pictures/PictureLimits.h"
#include "app/pictures/PictureOrientation.h"
#include "effects/BmpFile.h"
#include "medialib/FFLog.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <algorithm>
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
    char Warning[JMSG_LENGTH_MAX] = {}; // the first warning of a picture that decoded fully
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<TJpegErrors*>(cinfo->err);
    if (cinfo->err->msg_code == JERR_NO_BACKING_STORE) // a buffer beyond max_memory_to_use
        std::snprintf(errors->Message, sizeof errors->Message, "the picture needs more than %s of memory to decode",
                      MemoryText(MaxPictureBytes).c_str());
    else
        cinfo->err->format_message(cinfo, errors->Message);
    std::longjmp(errors->Jump, 1);
}

// Warnings that mean lost picture data are errors: the library would fill what it could not
// decode with grey and show a half picture as if nothing were wrong. The data ends early (also
// with an end marker right after it), entropy codes are broken, the scans do not fit together.
// Others, such as extraneous bytes before a marker that many cameras write, leave the picture
// whole: the first one is kept and logged.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0)
        return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        JpegErrorExit(cinfo);
    default:
        break;
    }
    auto* errors = reinterpret_cast<TJpegErrors*>(cinfo->err);
    if (!errors->Warning[0])
        cinfo->err->format_message(cinfo, errors->Warning);
}

// Runs one library call. Nothing with a destructor lives in the frames the jump skips.
template <class Call> bool JpegCall(TJpegErrors& errors, Call call) {
    if (setjmp(errors.Jump) != 0)
        return false;
    call();
    return true;
}

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

// A progressive (or multi-scan) file keeps the coefficients of the whole picture in memory until
// its last scan: two bytes per coefficient, whole blocks, whole sampling units. A tiny file may
// claim 13300 x 13300 pixels and ask for a gigabyte this way.
std::int64_t CoefficientBytes(const jpeg_decompress_struct& info) {
    if (!jpeg_has_multiple_scans(const_cast<jpeg_decompress_struct*>(&info)))
        return 0;
    // From the header alone: the decoder's own per-component block counts are not set yet.
    int maxH = 1, maxV = 1;
    for (int c = 0; c < info.num_components; ++c) {
        maxH = std::max(maxH, info.comp_info[c].h_samp_factor);
        maxV = std::max(maxV, info.comp_info[c].v_samp_factor);
    }
    std::int64_t total = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        const std::int64_t h = std::max(comp.h_samp_factor, 1), v = std::max(comp.v_samp_factor, 1);
        const std::int64_t blocksAcross = (std::int64_t(info.image_width) * h + maxH * 8 - 1) / (maxH * 8);
        const std::int64_t blocksDown = (std::int64_t(info.image_height) * v + maxV * 8 - 1) / (maxV * 8);
        total += (blocksAcross + h - 1) / h * h * ((blocksDown + v - 1) / v * v) * std::int64_t(sizeof(JBLOCK));
    }
    return total;
}

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

int DrawJpegPicture(const std::string& fileName, TFrameBitmap& frame, bool allowScaling, TFraming framing, TRect* placed) {
    TCFile file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        Fail(fileName, std::strerror(errno));

    TDecompressor d;
    jpeg_decompress_struct& info = d.Info;
    auto check = [&](bool ok) {
        if (!ok)
            Fail(fileName, d.Errors.Message);
    };
    check(JpegCall(d.Errors, [&] { jpeg_create_decompress(&info); }));
    // The library refuses buffers beyond this itself ("Backing store not supported"); the
    // estimate below refuses the known cases first with a message that names the size.
    info.mem->max_memory_to_use = MaxPictureBytes;
    std::FILE* raw = file.get();
    check(JpegCall(d.Errors, [&] {
        jpeg_stdio_src(&info, raw);
        jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF); // EXIF
        jpeg_read_header(&info, TRUE);
    }));

    TOrientedSource oriented;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && (oriented.Orientation = ExifOrientation(m->data, m->data_length)) != 1)
            break;
    const int storedWidth = static_cast<int>(info.image_width);
    const int storedHeight = static_cast<int>(info.image_height);
    oriented.StoredWidth = storedWidth;
    oriented.StoredHeight = storedHeight;
    const int pictureWidth = oriented.UprightWidth();   // as shown
    const int pictureHeight = oriented.UprightHeight();
    const std::int64_t coefficients = CoefficientBytes(info);
    if (coefficients > MaxPictureBytes)
        Fail(fileName, TooLargeText(storedWidth, storedHeight, coefficients));
    const TRect fit = PictureRect(framing, pictureWidth, pictureHeight, frame.Width(), frame.Height());
    if (placed)
        *placed = fit;
    // A covering picture is drawn larger than the frame: the reduction must still cover it.
    const bool cover = framing == TFraming::Fill;
    const int reduction = allowScaling ? ReductionFor(pictureWidth, pictureHeight, cover ? fit.Right - fit.Left : frame.Width(),
                                                      cover ? fit.Bottom - fit.Top : frame.Height())
                                       : 1;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(reduction);
    check(JpegCall(d.Errors, [&] { jpeg_start_decompress(&info); }));

    // The sampling maps full-size column x to x / reduction, which the reduced picture must hold.
    const int rowWidth = static_cast<int>(info.output_width);
    const int rowCount = static_cast<int>(info.output_height);
    const long long expectWidth = (storedWidth + reduction - 1) / reduction;
    const long long expectHeight = (storedHeight + reduction - 1) / reduction;
    if (rowWidth != expectWidth || rowCount != expectHeight)
        Fail(fileName, "the decoder did not reduce the picture as asked");

    TFitDrawer drawer(frame, pictureWidth, pictureHeight, fit, ShiftOf(reduction));
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(rowWidth) * info.output_components);
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(rowWidth) * 3);
    JSAMPROW rows[1] = {decoded.data()};
    // One decoded row as blue, green, red; every row is read, to the last, so that damage
    // anywhere in the file is noticed and not shown as grey.
    auto readRow = [&]() -> const std::uint8_t* {
        JDIMENSION got = 0;
        check(JpegCall(d.Errors, [&] { got = jpeg_read_scanlines(&info, rows, 1); }));
        if (got != 1)
            Fail(fileName, "the picture data ends early");
        if (!cmyk)
            return decoded.data();
        CmykToBgr(decoded.data(), bgr.data(), rowWidth, info.saw_Adobe_marker);
        return bgr.data();
    };

    if (oriented.Orientation == 1) {
        if (drawer.NeededRowWidth() > rowWidth)
            Fail(fileName, "the decoded rows are narrower than the picture");
        const std::uint8_t* row = nullptr;
        while (drawer.NextRow() >= 0) {
            const unsigned wanted = static_cast<unsigned>(drawer.NextRow());
            while (info.output_scanline <= wanted)
                row = readRow();
            if (!row) // the drawer asks for each row once, in order: not reached
                Fail(fileName, "the picture rows were asked for out of order");
            drawer.PutRowBgr(row);
        }
    } else {
        // A turned or mirrored photo: the (reduced) picture is held whole and sampled upright.
        const std::int64_t held = std::int64_t(rowWidth) * rowCount * 4;
        if (held + coefficients > MaxPictureBytes)
            Fail(fileName, TooLargeText(storedWidth, storedHeight, held + coefficients));
        TFrameBitmap stored(rowWidth, rowCount);
        for (int y = 0; y < rowCount; ++y) {
            const std::uint8_t* row = readRow();
            std::uint32_t* out = stored.Row(y);
            for (int x = 0; x < rowWidth; ++x)
                out[x] = TFrameBitmap::MakePixel(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        }
        TOrientedSource reduced = oriented;
        reduced.StoredWidth = rowWidth;
        reduced.StoredHeight = rowCount;
        if (drawer.NeededRowWidth() > reduced.UprightWidth())
            Fail(fileName, "the decoded rows are narrower than the picture");
        std::vector<std::uint32_t> upright(static_cast<std::size_t>(reduced.UprightWidth()));
        for (int v = drawer.NextRow(); v >= 0; v = drawer.NextRow()) {
            for (int u = 0; u < reduced.UprightWidth(); ++u) {
                int x = 0, y = 0;
                reduced.Map(u, v, x, y);
                upright[static_cast<std::size_t>(u)] = stored.Pixel(x, y);
            }
            drawer.PutRow(upright.data());
        }
    }
    while (info.output_scanline < info.output_height)
        readRow();
    check(JpegCall(d.Errors, [&] { jpeg_finish_decompress(&info); }));
    if (d.Errors.Warning[0])
        GetFFLogger().Log(nullptr, llWarning, "Picture \"" + fileName + "\": " + d.Errors.Warning);
    return reduction;
}

void ReadJpegUprightSize(const std::string& fileName, int& width, int& height) {
    TCFile file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        Fail(fileName, std::strerror(errno));
    TDecompressor d;
    jpeg_decompress_struct& info = d.Info;
    std::FILE* raw = file.get();
    const bool ok = JpegCall(d.Errors, [&] {
        jpeg_create_decompress(&info);
        jpeg_stdio_src(&info, raw);
        jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(&info, TRUE);
    });
    if (!ok)
        Fail(fileName, d.Errors.Message);
    TOrientedSource oriented;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && (oriented.Orientation = ExifOrientation(m->data, m->data_length)) != 1)
            break;
    oriented.StoredWidth = static_cast<int>(info.image_width);
    oriented.StoredHeight = static_cast<int>(info.image_height);
    width = oriented.UprightWidth();
    height = oriented.UprightHeight();
}
