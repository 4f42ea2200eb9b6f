/* A frame hook module for the tests: Configure reads "hook-settings.txt" by its relative name,
 * which the engine must find in the module's own folder. The file's first word must be the
 * module's argument (argv[1]); Configure refuses when the file is missing, when the word differs,
 * or when the current folder changes while it runs (it waits a little to give another job the
 * chance to change it). Process leaves the pictures alone. */

#include <libavutil/pixfmt.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int Configure(void **ctx, int argc, char *argv[]) {
    char before[4096], after[4096], word[256];
    *ctx = NULL;
    if (argc < 2 || !getcwd(before, sizeof before))
        return 1;
    FILE *f = fopen("hook-settings.txt", "r");
    if (!f)
        return 1;
    int read = fscanf(f, "%255s", word);
    fclose(f);
    struct timespec pause = {0, 2 * 1000 * 1000};
    nanosleep(&pause, NULL);
    if (!getcwd(after, sizeof after) || strcmp(before, after) != 0)
        return 1;
    return read == 1 && strcmp(word, argv[1]) == 0 ? 0 : 1;
}

void Process(void *ctx, void *picture, enum AVPixelFormat pix_fmt, int width, int height, int64_t pts) {
    (void)ctx, (void)picture, (void)pix_fmt, (void)width, (void)height, (void)pts;
}
