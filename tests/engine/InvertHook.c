/* A frame hook module for the tests: inverts the pictures it is given.
 *
 * It knows packed 24- and 32-bit RGB layouts and 8-bit planar YUV; pictures of other pixel
 * formats pass unchanged.
 *
 * Arguments: "left" inverts only the left half of each picture; "fail" makes Configure refuse;
 * "count FILE" writes, when the hook is released, how many pictures it saw and the first and
 * last presentation time; "keep" leaves the pictures alone; "format FILE" writes, when the hook
 * is released, the pixel format number and size of the pictures it saw (one line per change). Built also without Process (HOOK_WITHOUT_PROCESS) and without
 * Configure (HOOK_WITHOUT_CONFIGURE) to try the loader's checks. */

#include <libavutil/pixfmt.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    uint8_t *data[4];
    int linesize[4];
} Picture;

typedef struct {
    int left_only, keep;
    const char *count_file, *format_file;
    long frames;
    int64_t first_pts, last_pts;
    char formats[1024];
    int last_format, last_width, last_height;
} Context;

#ifndef HOOK_WITHOUT_PROCESS
/* Planar 8-bit YUV: the chroma planes' size shifts and whether the range is full. */
static int planar_yuv(enum AVPixelFormat f, int *w_shift, int *h_shift, int *full) {
    *full = f == AV_PIX_FMT_YUVJ420P || f == AV_PIX_FMT_YUVJ422P || f == AV_PIX_FMT_YUVJ444P;
    switch (f) {
    case AV_PIX_FMT_YUV420P: case AV_PIX_FMT_YUVJ420P: *w_shift = 1; *h_shift = 1; return 1;
    case AV_PIX_FMT_YUV422P: case AV_PIX_FMT_YUVJ422P: *w_shift = 1; *h_shift = 0; return 1;
    case AV_PIX_FMT_YUV444P: case AV_PIX_FMT_YUVJ444P: *w_shift = 0; *h_shift = 0; return 1;
    default: return 0;
    }
}

static uint8_t clamp(int v, int low, int high) { return (uint8_t)(v < low ? low : v > high ? high : v); }

/* Inverts columns of a plane; limited-range samples mirror inside their own range. */
static void invert_plane(uint8_t *data, int linesize, int columns, int rows, int low, int high) {
    for (int y = 0; y < rows; ++y) {
        uint8_t *row = data + (ptrdiff_t)y * linesize;
        for (int x = 0; x < columns; ++x)
            row[x] = clamp(low + high - row[x], low, high);
    }
}
#endif

#ifndef HOOK_WITHOUT_CONFIGURE
int Configure(void **ctx, int argc, char *argv[]) {
    Context *c = calloc(1, sizeof(Context));
    if (!c)
        return 1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "left") == 0) {
            c->left_only = 1;
        } else if (strcmp(argv[i], "keep") == 0) {
            c->keep = 1;
        } else if (strcmp(argv[i], "count") == 0 && i + 1 < argc) {
            c->count_file = argv[++i];
        } else if (strcmp(argv[i], "format") == 0 && i + 1 < argc) {
            c->format_file = argv[++i];
        } else {
            free(c);
            return 1;
        }
    }
    *ctx = c;
    return 0;
}
#endif

#ifndef HOOK_WITHOUT_PROCESS
static void record(Context *c, enum AVPixelFormat pix_fmt, int width, int height, int64_t pts) {
    if (c->frames == 0)
        c->first_pts = pts;
    c->last_pts = pts;
    if (c->frames == 0 || pix_fmt != c->last_format || width != c->last_width || height != c->last_height) {
        size_t used = strlen(c->formats);
        snprintf(c->formats + used, sizeof c->formats - used, "fmt=%d size=%dx%d\n", (int)pix_fmt, width, height);
        c->last_format = pix_fmt;
        c->last_width = width;
        c->last_height = height;
    }
    ++c->frames;
}

void Process(void *ctx, Picture *picture, enum AVPixelFormat pix_fmt, int width, int height, int64_t pts) {
    Context *c = ctx;
    if (c)
        record(c, pix_fmt, width, height, pts);
    if (c && c->keep)
        return;
    int columns = c && c->left_only ? width / 2 : width;
    int w_shift, h_shift, full;
    if (planar_yuv(pix_fmt, &w_shift, &h_shift, &full)) {
        int rows = (height + (1 << h_shift) - 1) >> h_shift;
        int chroma_columns = (columns + (1 << w_shift) - 1) >> w_shift;
        invert_plane(picture->data[0], picture->linesize[0], columns, height, full ? 0 : 16, full ? 255 : 235);
        for (int p = 1; p < 3; ++p)
            invert_plane(picture->data[p], picture->linesize[p], chroma_columns, rows, full ? 0 : 16, full ? 255 : 240);
        return;
    }
    int bytes = pix_fmt == AV_PIX_FMT_BGR24 || pix_fmt == AV_PIX_FMT_RGB24 ? 3
              : pix_fmt == AV_PIX_FMT_BGRA || pix_fmt == AV_PIX_FMT_RGBA || pix_fmt == AV_PIX_FMT_BGR0 ||
                        pix_fmt == AV_PIX_FMT_RGB0 ? 4 : 0;
    if (bytes == 0)
        return;
    invert_plane(picture->data[0], picture->linesize[0], columns * bytes, height, 0, 255);
}
#endif

void Release(void *ctx) {
    Context *c = ctx;
    if (!c)
        return;
    if (c->count_file) {
        FILE *f = fopen(c->count_file, "w");
        if (f) {
            fprintf(f, "frames=%ld first=%lld last=%lld\n", c->frames, (long long)c->first_pts, (long long)c->last_pts);
            fclose(f);
        }
    }
    if (c->format_file) {
        FILE *f = fopen(c->format_file, "w");
        if (f) {
            fputs(c->formats, f);
            fclose(f);
        }
    }
    free(c);
}
