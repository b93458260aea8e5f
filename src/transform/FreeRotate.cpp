// Rotation of another bitmap by whole degrees about its top-left corner,
// into a box just large enough for the turned corners. Floating point works
// out the sine, the cosine and the box once; every pixel is found by integer
// inverse mapping in 8.8 fixed point.
#include "CCEBitmap.h"
#include "kernels/Kernels.h"
#include "transform/TransformCommon.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

// A turn, worked out once per call. Result pixel (q, r) stands for the
// turned point (minX + q, minY + r); its source pixel is (u >> 8, v >> 8)
// with u = X * cos256 + Y * sin256 and v = Y * cos256 - X * sin256.
struct TurnGeometry {
    int32_t cos256;
    int32_t sin256;
    int64_t minX;
    int64_t minY;
    int64_t width;
    int64_t height;
};

// The angle in double precision, then single; cosine and sine in double from
// the single-precision angle, rounded to single; their 8.8 values truncated.
// The corners are single-precision products truncated toward zero. Each
// product goes through volatile storage so that no fused multiply-add can
// skip the rounding of a product before the far corner's sum.
TurnGeometry GeometryForTurn(int nAngle, int32_t W, int32_t H) {
    const float a = float(double(nAngle) * 6.28318530717958 * 0.002777777777777778);
    const float cs = float(std::cos(double(a)));
    const float sn = float(std::sin(double(a)));
    TurnGeometry g;
    g.cos256 = int32_t(cs * 256.0f);
    g.sin256 = int32_t(sn * 256.0f);

    const float fw = float(W), fh = float(H);
    volatile float wc = fw * cs, ws = fw * sn, hc = fh * cs, hs = fh * sn;
    const int64_t x1 = int64_t(float(wc)), y1 = int64_t(float(ws));
    const int64_t x2 = int64_t(-float(hs)), y2 = int64_t(float(hc));
    const int64_t x3 = int64_t(float(wc) - float(hs)), y3 = int64_t(float(ws) + float(hc));
    g.minX = std::min({x1, x2, x3, int64_t(0)});
    g.minY = std::min({y1, y2, y3, int64_t(0)});
    g.width = std::max({x1, x2, x3, int64_t(0)}) - g.minX;
    g.height = std::max({y1, y2, y3, int64_t(0)}) - g.minY;
    return g;
}

int64_t FloorDiv(int64_t a, int64_t b) { // b != 0
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

// Narrows [lo, hi] to the steps q at which start + q * step lies in
// [0, limit).
void KeepInside(int64_t start, int64_t step, int64_t limit, int64_t& lo, int64_t& hi) {
    if (step == 0) {
        if (start < 0 || start >= limit) hi = lo - 1;
        return;
    }
    const int64_t a = step > 0 ? CeilDiv(-start, step) : CeilDiv(limit - 1 - start, step);
    const int64_t b = step > 0 ? FloorDiv(limit - 1 - start, step) : FloorDiv(-start, step);
    lo = std::max(lo, a);
    hi = std::min(hi, b);
}

// Copies into the result every element whose source position lies inside
// the W x H source; the others keep what `dst` held. Along a row u grows
// by cos256 and v falls by sin256; down a row u grows by sin256 and v by
// cos256. Both are linear along the row, so the pixels whose position lies
// inside (0 <= u < W * 256, 0 <= v < H * 256) are one run, found once per
// row; the row kernel then samples it without a test.
// Contract: `dst` holds width x height elements, `src` W x H; worked in 64
// bits, so no position can wrap for any size that fits the buffers.
template <class T, class SampleLine>
void TurnSample(T* dst, const T* src, int32_t W, int32_t H, const TurnGeometry& g,
                SampleLine sample) {
    const int64_t c = g.cos256, s = g.sin256;
    const int64_t uLimit = int64_t(W) << 8, vLimit = int64_t(H) << 8;
    int64_t uRow = g.minX * c + g.minY * s;
    int64_t vRow = g.minY * c - g.minX * s;
    for (int64_t r = 0; r < g.height; ++r, uRow += s, vRow += c) {
        int64_t lo = 0, hi = g.width - 1;
        KeepInside(uRow, c, uLimit, lo, hi);
        KeepInside(vRow, -s, vLimit, lo, hi);
        if (lo > hi) continue;
        T* out = dst + size_t(r) * size_t(g.width);
        sample(out + lo, int32_t(hi - lo + 1), src, ptrdiff_t(W), uRow + lo * c, vRow - lo * s, c,
               -s);
    }
}

} // namespace

int CCEBitmap::FreeRotate(CCEBitmap* pSrc, int nAngle, unsigned long fill) {
    zorva::SourcePicture src;
    if (!src.Take(pSrc)) return 0;
    // A source without a column or a row has no picture to turn (its box
    // could still have an area, of background only).
    if (src.width == 0 || src.height == 0) return 0;
    const TurnGeometry g = GeometryForTurn(nAngle, src.width, src.height);
    // Nor does a box without a column or a row: a small source turned so
    // little that its corners truncate onto a line (1 x 1 by one degree).
    if (g.width < 1 || g.height < 1) return 0;
    uint64_t pixelBytes, alphaBytes;
    if (!zorva::ImageBytes(g.width, g.height, pixelBytes, alphaBytes)) return 0;

    if (!zorva::SizeForWriting(m_pPixels, m_cbPixels, pixelBytes, src.Shares(m_pPixels))) return 0;
    std::memset(m_pPixels, int(fill & 0xFF), size_t(pixelBytes));
    TurnSample(m_pPixels, src.pixels, src.width, src.height, g, zorva::Kernels().sampleLine16);
    if (src.alpha) {
        if (!zorva::SizeForWriting(m_pAlpha, m_cbAlpha, alphaBytes, src.Shares(m_pAlpha))) {
            // The pixels now hold the turned picture and may sit in a fresh
            // block smaller than the old size, so no size may claim them.
            m_bARGB = 0;
            m_nWidth = 0;
            m_nHeight = 0;
            return 0;
        }
        // The background is transparent: only copied pixels carry weight.
        std::memset(m_pAlpha, 0, size_t(alphaBytes));
        TurnSample(m_pAlpha, src.alpha, src.width, src.height, g, zorva::Kernels().sampleLine8);
        m_bARGB = 1;
    } else {
        m_bARGB = 0;
    }
    m_nWidth = int32_t(g.width);
    m_nHeight = int32_t(g.height);
    return 1;
}
