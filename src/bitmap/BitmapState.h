// Whether a bitmap's buffers hold the picture its fields describe.
#ifndef ZORVA_BITMAP_BITMAPSTATE_H
#define ZORVA_BITMAP_BITMAPSTATE_H

#include "CCEBitmap.h"
#include "core/Raster.h"

namespace zorva {

// The one rule for whether a bitmap's buffers hold the picture its fields
// describe. A failed load or growth may leave the size fields ahead of the
// buffers; every member that reads or writes a bitmap's pixels treats such a
// bitmap as one without pixels, so nothing outside a buffer is touched.
//
// Pixels: the buffer is present and recorded at width x height x 2 bytes or
// more, both sizes at least 0. For members that never read the alpha plane.
inline bool HoldsItsPixels(const CCEBitmap& b) {
    if (!b.m_pPixels || b.m_nWidth < 0 || b.m_nHeight < 0) return false;
    return uint64_t(b.m_nWidth) * uint64_t(b.m_nHeight) * 2 <= b.m_cbPixels;
}

// The whole picture: the pixels, and when the alpha flag is set, a plane
// recorded at width x height bytes or more.
inline bool HoldsItsPicture(const CCEBitmap& b) {
    if (!HoldsItsPixels(b)) return false;
    return !b.m_bARGB ||
           (b.m_pAlpha && uint64_t(b.m_nWidth) * uint64_t(b.m_nHeight) <= b.m_cbAlpha);
}

// The bitmap's pixels as a dense view; empty when it has no pixel or does not
// hold its picture.
inline PixelView PictureView(const CCEBitmap& b) {
    if (!HoldsItsPicture(b) || b.m_nWidth == 0 || b.m_nHeight == 0) return PixelView();
    return DenseView(b.m_pPixels, b.m_nWidth, b.m_nHeight);
}

} // namespace zorva

#endif // ZORVA_BITMAP_BITMAPSTATE_H
