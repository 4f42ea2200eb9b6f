/* A frame hook module for the tests: inverts the pictures it is given.
 *
 * Arguments: "left" inverts only the left half of each picture; "fail" makes Configure refuse;
 * "count FILE" writes, when the hook is released, how many pictures it saw and the first and
 * last presentation time. Built also without Process (HOOK_WITHOUT_PROCESS) and without
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
    int left_only;
    const char *count_file;
    long frames;
    int64_t first_pts, last_pts;
} Context;

#ifndef HOOK_WITHOUT_CONFIGURE
int Configure(void **ctx, int argc, char *argv[]) {
    Context *c = calloc(1, sizeof(Context));
    if (!c)
        return 1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "left") == 0) {
            c->left_only = 1;
        } else if (strcmp(argv[i], "count") == 0 && i + 1 < argc) {
            c->count_file = argv[++i];
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
void Process(void *ctx, Picture *picture, enum AVPixelFormat pix_fmt, int width, int height, int64_t pts) {
    Context *c = ctx;
    int bytes = pix_fmt == AV_PIX_FMT_BGR24 || pix_fmt == AV_PIX_FMT_RGB24 ? 3
              : pix_fmt == AV_PIX_FMT_BGRA || pix_fmt == AV_PIX_FMT_RGBA ? 4 : 0;
    if (bytes == 0)
        return;
    int columns = c && c->left_only ? width / 2 : width;
    for (int y = 0; y < height; ++y) {
        uint8_t *row = picture->data[0] + (ptrdiff_t)y * picture->linesize[0];
        for (int x = 0; x < columns * bytes; ++x)
            row[x] = (uint8_t)(255 - row[x]);
    }
    if (c) {
        if (c->frames == 0)
            c->first_pts = pts;
        c->last_pts = pts;
        ++c->frames;
    }
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
    free(c);
}
