// Scaling of another bitmap to a new size: nearest sampling of pixels and
// weights, or bilinear filtering of the pixels, on 8.8 fixed-point positions.
#include "CCEBitmap.h"
#include "core/Pixel565.h"
#include "transform/TransformCommon.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace {

// A scaling, worked out once per call. Output column i samples the source
// at i * xStep and output row j at j * yStep (8 fractional bits). Because
// the steps are truncated, (W - 1) * xStep < source width * 256, so every
// integer part names a source column (row) that exists.
struct StretchGeometry {
    int64_t width;  // W, output columns, >= 1
    int64_t height; // H, output rows, >= 1
    int32_t srcWidth;
    int32_t srcHeight;
    int64_t xStep;
    int64_t yStep;
};

// Nearest sampling of one plane (pixels or weights): output (i, j) is the
// source element at (i * xStep >> 8, j * yStep >> 8). Positions advance by
// addition. An output row whose source row is the previous output row's is
// that row again, so it is copied instead of sampled.
// Contract: `dst` holds W x H elements, `src` the source's; geometry as above.
template <class T>
void StretchNearest(T* dst, const T* src, const StretchGeometry& g) {
    const size_t W = size_t(g.width);
    int64_t Y = 0;
    int64_t previousRow = -1;
    for (int64_t j = 0; j < g.height; ++j, Y += g.yStep) {
        T* out = dst + size_t(j) * W;
        const int64_t y0 = Y >> 8;
        if (y0 == previousRow) {
            std::memcpy(out, out - W, W * sizeof(T));
            continue;
        }
        previousRow = y0;
        zorva::SampleSpan(out, g.width, src + size_t(y0) * size_t(g.srcWidth), 0, g.xStep);
    }
}

// Bilinear filtering, channel by channel: with x1 = x0 + 1 (x0 on the last
// column: x0) and y1 likewise,
//   top    = (p(x0, y0) * (256 - fx) + p(x1, y0) * fx) >> 8
//   bottom = (p(x0, y1) * (256 - fx) + p(x1, y1) * fx) >> 8
//   value  = (top * (256 - fy) + bottom * fy) >> 8
// The three channels are worked at once in the wide spread layout, which
// gives each of them these exact sums.
//
// `top` and `bottom` depend only on the source row and the output column, so
// they are built once per source row ("filtered across") and kept while the
// output rows that need them are written; output rows are made in tiles of
// kTile columns so that two filtered rows fit in a few kilobytes of stack.
// When fy is 0, or y0 is the last row, the value is `top` itself.
// Contract: as StretchNearest, for the pixel plane.
constexpr int64_t kTile = 256;

// out[i] = top (or bottom) for output columns c0 .. c0 + n - 1 from `row`.
void FilterAcross(uint64_t* out, const uint16_t* row, int64_t c0, int64_t n,
                  const StretchGeometry& g) {
    const int64_t lastColumn = g.srcWidth - 1;
    int64_t X = c0 * g.xStep;
    for (int64_t i = 0; i < n; ++i, X += g.xStep) {
        const int64_t x0 = X >> 8;
        const int64_t x1 = x0 + (x0 < lastColumn ? 1 : 0);
        out[i] = zorva::LerpWide(zorva::SpreadWideRGB565(row[x0]), zorva::SpreadWideRGB565(row[x1]),
                                 uint32_t(X & 255));
    }
}

void StretchFiltered(uint16_t* dst, const uint16_t* src, const StretchGeometry& g) {
    const size_t sw = size_t(g.srcWidth), W = size_t(g.width);
    const int64_t lastRow = g.srcHeight - 1;
    uint64_t first[kTile], second[kTile];
    for (int64_t c0 = 0; c0 < g.width; c0 += kTile) {
        const int64_t n = std::min(kTile, g.width - c0);
        uint64_t* top = first;
        uint64_t* bottom = second;
        int64_t topRow = -1, bottomRow = -1; // the source rows they hold
        int64_t Y = 0;
        for (int64_t j = 0; j < g.height; ++j, Y += g.yStep) {
            const int64_t y0 = Y >> 8;
            const uint32_t fy = uint32_t(Y & 255);
            if (topRow != y0) {
                if (bottomRow == y0) { // moved down one source row
                    std::swap(top, bottom);
                    std::swap(topRow, bottomRow);
                } else {
                    FilterAcross(top, src + size_t(y0) * sw, c0, n, g);
                    topRow = y0;
                }
            }
            uint16_t* out = dst + size_t(j) * W + size_t(c0);
            if (fy == 0 || y0 == lastRow) {
                for (int64_t i = 0; i < n; ++i)
                    out[i] = zorva::PackWideRGB565(top[i]);
                continue;
            }
            if (bottomRow != y0 + 1) {
                FilterAcross(bottom, src + size_t(y0 + 1) * sw, c0, n, g);
                bottomRow = y0 + 1;
            }
            for (int64_t i = 0; i < n; ++i)
                out[i] = zorva::PackWideRGB565(zorva::LerpWide(top[i], bottom[i], fy));
        }
    }
}

} // namespace

int CCEBitmap::Stretch(CCEBitmap* pSrc, int nWidth, int nHeight, int bSmooth) {
    zorva::SourcePicture src;
    if (!src.Take(pSrc)) return 0;
    // A source without a column or a row has nothing to sample.
    if (src.width == 0 || src.height == 0) return 0;
    StretchGeometry g;
    g.width = nWidth ? nWidth : src.width;
    g.height = nHeight ? nHeight : src.height;
    if (g.width < 1 || g.height < 1) return 0;
    uint64_t pixelBytes, alphaBytes;
    if (!zorva::ImageBytes(g.width, g.height, pixelBytes, alphaBytes)) return 0;
    g.srcWidth = src.width;
    g.srcHeight = src.height;
    // Worked in 64 bits, so that sources of 2^23 columns or more cannot wrap.
    g.xStep = int64_t(src.width) * 256 / g.width;
    g.yStep = int64_t(src.height) * 256 / g.height;

    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (!zorva::SizeForWriting(m_pPixels, m_cbPixels, pixelBytes, src.Shares(m_pPixels))) return 0;
    if (bSmooth)
        StretchFiltered(m_pPixels, src.pixels, g);
    else
        StretchNearest(m_pPixels, src.pixels, g);
    // The weights are sampled nearest in both modes, so a filtered sprite
    // keeps its transparency.
    if (src.alpha) {
        if (!zorva::SizeForWriting(m_pAlpha, m_cbAlpha, alphaBytes, src.Shares(m_pAlpha))) return 0;
        StretchNearest(m_pAlpha, src.alpha, g);
        m_bARGB = 1;
    }
    m_nWidth = int32_t(g.width);
    m_nHeight = int32_t(g.height);
    return 1;
}
