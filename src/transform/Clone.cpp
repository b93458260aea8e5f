// A copy of another bitmap, whole or a rectangle of it, that owns its
// buffers: unlike operator=, nothing is shared afterwards.
#include "CCEBitmap.h"
#include "transform/TransformCommon.h"

#include <cstddef>
#include <cstring>

namespace {

// Copies h rows of w elements, starting at element `offset` of `src` (rows
// `stride` elements apart), to the dense `dst`: one block per row, or one
// block when the rows are contiguous. Contract: both ranges lie inside their
// buffers when w and h are nonzero; nothing is touched otherwise.
template <class T>
void CopyRows(T* dst, const T* base, size_t offset, size_t w, size_t h, size_t stride) {
    if (w == 0 || h == 0) return;
    const T* src = base + offset;
    if (w == stride) {
        std::memcpy(dst, src, w * h * sizeof(T));
        return;
    }
    for (size_t r = 0; r < h; ++r)
        std::memcpy(dst + r * w, src + r * stride, w * sizeof(T));
}

} // namespace

int CCEBitmap::Clone(CCEBitmap* pSrc, int nWidth, int nHeight, int x, int y) {
    zorva::SourcePicture src;
    if (!src.Take(pSrc)) return 0;

    const bool whole = nWidth == 0 && nHeight == 0 && x == 0 && y == 0;
    if (whole) {
        nWidth = src.width;
        nHeight = src.height;
    } else if (nWidth < 0 || nHeight < 0 || x < 0 || y < 0 || int64_t(x) + nWidth > src.width ||
               int64_t(y) + nHeight > src.height) {
        return 0; // no clipping: a rectangle that leaves the source is refused
    }
    uint64_t pixelBytes, alphaBytes;
    if (!zorva::ImageBytes(nWidth, nHeight, pixelBytes, alphaBytes)) return 0;

    // The size is set before the buffers are sized; the flag only once the
    // plane exists, so a failure never leaves it set over a short plane.
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_bARGB = 0;
    // Any block still shared (with the source or with an operator= copy) is
    // left to its other holders: the copy writes only blocks of its own.
    if (!zorva::SizeForWriting(m_pPixels, m_cbPixels, pixelBytes, true)) return 0;
    const size_t offset = size_t(y) * size_t(src.width) + size_t(x);
    CopyRows(m_pPixels, src.pixels, offset, size_t(nWidth), size_t(nHeight), size_t(src.width));
    if (src.alpha) {
        if (!zorva::SizeForWriting(m_pAlpha, m_cbAlpha, alphaBytes, true)) return 0;
        CopyRows(m_pAlpha, src.alpha, offset, size_t(nWidth), size_t(nHeight), size_t(src.width));
        m_bARGB = 1;
    }
    return 1;
}
