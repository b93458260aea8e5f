// Shadow: the bottom rows of a bitmap, upside down, with an alpha plane that
// fades from 22/32 towards 4/32.
#include "CCEBitmap.h"

#include "bitmap/BitmapState.h"
#include "core/SharedBlock.h"

#include <algorithm>
#include <cstring>

namespace {

// Row i of `to` becomes row sourceHeight - 1 - i of `from`, for i below
// `rows`. Both have `width` pixels a row. They are either separate buffers
// or one and the same (the source is this bitmap, or both hold one shared
// block); then a row that is both read and written meets its partner, which
// is also both, and the two are swapped, so no row is overwritten before it
// is read.
void MirrorRows(uint16_t* to, const uint16_t* from, int32_t width, int32_t sourceHeight,
                int32_t rows) {
    const size_t rowBytes = size_t(width) * 2;
    auto row = [width](const uint16_t* base, int32_t y) { return base + ptrdiff_t(y) * width; };
    if (to != from) {
        for (int32_t i = 0; i < rows; ++i)
            std::memcpy(to + ptrdiff_t(i) * width, row(from, sourceHeight - 1 - i), rowBytes);
        return;
    }
    for (int32_t i = 0; i < rows; ++i) {
        const int32_t j = sourceHeight - 1 - i;
        uint16_t* a = to + ptrdiff_t(i) * width;
        uint16_t* b = to + ptrdiff_t(j) * width;
        if (j >= rows) {
            std::memcpy(a, b, rowBytes); // row j is never written: a plain copy
        } else if (i < j) {
            std::swap_ranges(a, a + width, b); // both rows are targets
        }
    }
}

} // namespace

int CCEBitmap::Shadow(CCEBitmap* pSrc, int nRows) {
    if (!pSrc || !zorva::HoldsItsPixels(*pSrc)) return 0;
    const int32_t ws = pSrc->m_nWidth, hs = pSrc->m_nHeight;
    if (ws <= 0 || hs <= 0 || nRows < 0 || nRows > hs) return 0;
    const int32_t rows = nRows ? nRows : hs / 3;
    if (rows == 0) return 0;
    const uint64_t alphaBytes = uint64_t(ws) * uint64_t(rows);
    if (alphaBytes * 2 > UINT32_MAX) return 0;

    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    // Growing this bitmap's buffer cannot disturb the source's: a block that
    // both hold is copied for the grower, never moved under the other.
    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, alphaBytes * 2)) return 0;
    if (!zorva::GrowBuffer(m_pAlpha, m_cbAlpha, alphaBytes)) return 0;
    m_bARGB = 1;

    MirrorRows(m_pPixels, pSrc->m_pPixels, ws, hs, rows);
    // The weight is carried by repeated subtraction, not recomputed from the
    // row number: where a subtraction lands just below a whole number the
    // row gets the smaller weight (10 rows: 22 20 18 16 14 12 11 9 7 5).
    const double step = 18.0 / rows;
    double level = 22.0;
    for (int32_t i = 0; i < rows; ++i) {
        std::memset(m_pAlpha + ptrdiff_t(i) * ws, int(level), size_t(ws));
        level -= step;
    }
    m_nWidth = ws;
    m_nHeight = rows;
    return 1;
}
