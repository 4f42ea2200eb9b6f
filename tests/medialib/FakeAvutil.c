/* A stand-in for the utility library: it exports only its version function, with the major
   moved by FAKE_MAJOR_OFFSET, so the loader's version check and its report of a missing
   function can be exercised without a second FFmpeg installation. */
#include <libavutil/version.h>

unsigned avutil_version(void) { return AV_VERSION_INT(LIBAVUTIL_VERSION_MAJOR + FAKE_MAJOR_OFFSET, 1, 2); }
