// Scaling of another bitmap to a new size: nearest sampling of pixels and
// weights, or bilinear filtering of the pixels, on 8.8 fixed-point positions.
#include "CCEBitmap.h"
#include "kernels/Kernels.h"
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
template <class T, class SampleRow>
void StretchNearest(T* dst, const T* src, const StretchGeometry& g, SampleRow sample) {
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
        sample(out, int32_t(g.width), src + size_t(y0) * size_t(g.srcWidth), 0, g.xStep);
    }
}

// Bilinear filtering, channel by channel: with x1 = x0 + 1 (x0 on the last
// column: x0) and y1 likewise,
//   top    = (p(x0, y0) * (256 - fx) + p(x1, y0) * fx) >> 8
//   bottom = (p(x0, y1) * (256 - fx) + p(x1, y1) * fx) >> 8
//   value  = (top * (256 - fy) + bottom * fy) >> 8
//
// x0, whether x1 is a step further, and fx depend only on the output column,
// so they are worked out once per call. `top` and `bottom` depend only on
// the source row and the output column, so they are filtered across once
// per source row (three planes of channel values) and kept while the output
// rows that need them are written; output rows are made in tiles of kTile
// columns so that the planes stay in a few kilobytes. When y0 is the last
// row, or fy is 0, the bottom row is the top one (the lerp then gives top).
// Contract: as StretchNearest, for the pixel plane.
constexpr int32_t kTile = 512;

struct FilteredRow {
    uint16_t b[kTile], g[kTile], r[kTile];
};

void StretchFiltered(uint16_t* dst, const uint16_t* src, const StretchGeometry& g) {
    const zorva::KernelTable& k = zorva::Kernels();
    const size_t sw = size_t(g.srcWidth), W = size_t(g.width);
    const int64_t lastRow = g.srcHeight - 1, lastColumn = g.srcWidth - 1;
    int32_t column[kTile];
    uint8_t next[kTile];
    uint16_t frac[kTile];
    FilteredRow rows[2];
    for (int64_t c0 = 0; c0 < g.width; c0 += kTile) {
        const int32_t n = int32_t(std::min<int64_t>(kTile, g.width - c0));
        int64_t X = c0 * g.xStep;
        for (int32_t i = 0; i < n; ++i, X += g.xStep) {
            column[i] = int32_t(X >> 8);
            next[i] = column[i] < lastColumn ? 1 : 0;
            frac[i] = uint16_t(X & 255);
        }
        FilteredRow* top = &rows[0];
        FilteredRow* bottom = &rows[1];
        int64_t topRow = -1, bottomRow = -1; // the source rows they hold
        auto filter = [&](FilteredRow* f, int64_t y) {
            k.filterAcross(f->b, f->g, f->r, src + size_t(y) * sw, column, next, frac, n);
        };
        int64_t Y = 0;
        for (int64_t j = 0; j < g.height; ++j, Y += g.yStep) {
            const int64_t y0 = Y >> 8, y1 = y0 < lastRow ? y0 + 1 : y0;
            if (topRow != y0) {
                if (bottomRow == y0) { // moved down one source row
                    std::swap(top, bottom);
                    std::swap(topRow, bottomRow);
                } else {
                    filter(top, y0);
                    topRow = y0;
                }
            }
            const FilteredRow* low = top;
            if (y1 != y0 && (Y & 255) != 0) {
                if (bottomRow != y1) {
                    filter(bottom, y1);
                    bottomRow = y1;
                }
                low = bottom;
            }
            k.lerpRows(dst + size_t(j) * W + size_t(c0), top->b, top->g, top->r, low->b, low->g,
                       low->r, uint32_t(Y & 255), n);
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
    const zorva::KernelTable& k = zorva::Kernels();
    if (bSmooth)
        StretchFiltered(m_pPixels, src.pixels, g);
    else
        StretchNearest(m_pPixels, src.pixels, g, k.sampleRow16);
    // The weights are sampled nearest in both modes, so a filtered sprite
    // keeps its transparency.
    if (src.alpha) {
        if (!zorva::SizeForWriting(m_pAlpha, m_cbAlpha, alphaBytes, src.Shares(m_pAlpha))) return 0;
        StretchNearest(m_pAlpha, src.alpha, g, k.sampleRow8);
        m_bARGB = 1;
    }
    m_nWidth = int32_t(g.width);
    m_nHeight = int32_t(g.height);
    return 1;
}
