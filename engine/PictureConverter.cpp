#include "engine/PictureConverter.h"

#include <cstdint>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define PIXAROLL_CONVERT_AVX2 1
#endif

namespace {
// Coefficients scaled by 2^15: 219/255 of the luma weights, 224/255 of the colour differences.
constexpr int YR = 8414, YG = 16519, YB = 3208;
constexpr int UR = -4857, UG = -9535, UB = 14392;
constexpr int VR = 14392, VG = -12052, VB = -2340;

void LumaRow(const uint8_t* __restrict src, uint8_t* __restrict dst, int width) {
    for (int x = 0; x < width; ++x) {
        int b = src[4 * x], g = src[4 * x + 1], r = src[4 * x + 2];
        dst[x] = uint8_t((YR * r + YG * g + YB * b + (16 << 15) + (1 << 14)) >> 15);
    }
}

// The two chroma samples of each 2x2 block of two rows.
void ChromaRow(const uint8_t* __restrict row0, const uint8_t* __restrict row1, uint8_t* __restrict u,
               uint8_t* __restrict v, int halfWidth) {
    for (int x = 0; x < halfWidth; ++x) {
        const uint8_t* a = row0 + 8 * x;
        const uint8_t* c = row1 + 8 * x;
        int b = a[0] + a[4] + c[0] + c[4];
        int g = a[1] + a[5] + c[1] + c[5];
        int r = a[2] + a[6] + c[2] + c[6];
        // Sums of four samples: two more bits of scale; the offset keeps the total positive.
        u[x] = uint8_t((UR * r + UG * g + UB * b + (128 << 17) + (1 << 16)) >> 17);
        v[x] = uint8_t((VR * r + VG * g + VB * b + (128 << 17) + (1 << 16)) >> 17);
    }
}
#if PIXAROLL_CONVERT_AVX2
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The same sums as the rows above, sixteen pixels at a time; the results are identical. Each
// pixel's B, G, R, X as 16-bit values, multiplied and added in pairs by the coefficients (X
// weighs nothing), the pairs then added: the integer arithmetic of the plain rows, in another
// order.
#define PIXAROLL_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Y of eight pixels: 0-3 in the low lane, 4-7 in the high.
PIXAROLL_AVX2_INLINE __m256i EightLuma(const uint8_t* p) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i coeff = _mm256_setr_epi16(YB, YG, YR, 0, YB, YG, YR, 0, YB, YG, YR, 0, YB, YG, YR, 0);
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi8(v, zero), coeff);
    const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi8(v, zero), coeff);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_hadd_epi32(lo, hi), _mm256_set1_epi32((16 << 15) + (1 << 14))), 15);
}

__attribute__((target("avx2"))) int LumaRowAvx2(const uint8_t* __restrict src, uint8_t* __restrict dst, int width) {
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(EightLuma(src + 4 * x), EightLuma(src + 4 * x + 32)), 0xD8);
        const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), bytes);
    }
    return x;
}

// The chroma sums of each pixel's column of two, for eight pixels (0-3 in the low lane, 4-7 in
// the high) of rows a and c.
PIXAROLL_AVX2_INLINE void ChromaColumns(const uint8_t* a, const uint8_t* c, __m256i& us, __m256i& vs) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i uc = _mm256_setr_epi16(UB, UG, UR, 0, UB, UG, UR, 0, UB, UG, UR, 0, UB, UG, UR, 0);
    const __m256i vc = _mm256_setr_epi16(VB, VG, VR, 0, VB, VG, VR, 0, VB, VG, VR, 0, VB, VG, VR, 0);
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c));
    const __m256i lo = _mm256_add_epi16(_mm256_unpacklo_epi8(va, zero), _mm256_unpacklo_epi8(vb, zero));
    const __m256i hi = _mm256_add_epi16(_mm256_unpackhi_epi8(va, zero), _mm256_unpackhi_epi8(vb, zero));
    us = _mm256_hadd_epi32(_mm256_madd_epi16(lo, uc), _mm256_madd_epi16(hi, uc));
    vs = _mm256_hadd_epi32(_mm256_madd_epi16(lo, vc), _mm256_madd_epi16(hi, vc));
}

// Neighbouring columns of sixteen pixels added (blocks 0, 1, 4, 5 in the low lane, 2, 3, 6, 7
// in the high), scaled and put in order.
PIXAROLL_AVX2_INLINE __m256i ChromaBlocks(__m256i a, __m256i b) {
    const __m256i sum = _mm256_srai_epi32(_mm256_add_epi32(_mm256_hadd_epi32(a, b), _mm256_set1_epi32((128 << 17) + (1 << 16))), 17);
    return _mm256_permutevar8x32_epi32(sum, _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
}

__attribute__((target("avx2"))) int ChromaRowAvx2(const uint8_t* __restrict row0, const uint8_t* __restrict row1,
                                                  uint8_t* __restrict u, uint8_t* __restrict v, int halfWidth) {
    int x = 0;
    for (; x + 8 <= halfWidth; x += 8) {
        __m256i ua, va, ub, vb;
        ChromaColumns(row0 + 8 * x, row1 + 8 * x, ua, va);
        ChromaColumns(row0 + 8 * x + 32, row1 + 8 * x + 32, ub, vb);
        const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(ChromaBlocks(ua, ub), ChromaBlocks(va, vb)), 0xD8);
        const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x), _mm_srli_si128(bytes, 8));
    }
    return x;
}
#endif
} // namespace

bool FastConversionApplies(const AVFrame* in, int width, int height, AVPixelFormat format) {
    return (in->format == AV_PIX_FMT_BGRA || in->format == AV_PIX_FMT_BGR0) && format == AV_PIX_FMT_YUV420P &&
           in->width == width && in->height == height && width % 2 == 0 && height % 2 == 0 && width > 0 &&
           height > 0 && in->linesize[0] > 0;
}

void ConvertBgraToYuv420p(const AVFrame* in, AVFrame* out, bool allowVector) {
    const int w = in->width, h = in->height;
#if PIXAROLL_CONVERT_AVX2
    const bool vector = allowVector && HasAvx2();
#else
    const bool vector = false;
    (void)allowVector;
#endif
    for (int y = 0; y < h; y += 2) {
        const uint8_t* row0 = in->data[0] + std::ptrdiff_t(y) * in->linesize[0];
        const uint8_t* row1 = row0 + in->linesize[0];
        uint8_t* y0 = out->data[0] + std::ptrdiff_t(y) * out->linesize[0];
        uint8_t* y1 = y0 + out->linesize[0];
        uint8_t* u = out->data[1] + std::ptrdiff_t(y / 2) * out->linesize[1];
        uint8_t* v = out->data[2] + std::ptrdiff_t(y / 2) * out->linesize[2];
        int done = 0, doneHalf = 0;
#if PIXAROLL_CONVERT_AVX2
        if (vector) {
            done = LumaRowAvx2(row0, y0, w);
            LumaRowAvx2(row1, y1, w);
            doneHalf = ChromaRowAvx2(row0, row1, u, v, w / 2);
        }
#endif
        LumaRow(row0 + 4 * done, y0 + done, w - done);
        LumaRow(row1 + 4 * done, y1 + done, w - done);
        ChromaRow(row0 + 8 * doneHalf, row1 + 8 * doneHalf, u + doneHalf, v + doneHalf, w / 2 - doneHalf);
    }
}
