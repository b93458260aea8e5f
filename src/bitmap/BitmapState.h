// Whether a bitmap's buffers hold the picture its fields describe.
#ifndef ZORVA_BITMAP_BITMAPSTATE_H
#define ZORVA_BITMAP_BITMAPSTATE_H

#include "CCEBitmap.h"
#include "core/Raster.h"

namespace zorva {

// True when the pixel buffer is present and recorded at width x height x 2
// bytes or more (both sizes at least 0), and, when the alpha flag is set, the
// plane is present and recorded at width x height bytes or more. A failed
// load or growth may leave the size fields ahead of the buffers; every member
// that reads or writes a bitmap's pixels treats such a bitmap as one without
// pixels, so nothing outside a buffer is touched.
inline bool HoldsItsPicture(const CCEBitmap& b) {
    if (!b.m_pPixels || b.m_nWidth < 0 || b.m_nHeight < 0) return false;
    const uint64_t count = uint64_t(b.m_nWidth) * uint64_t(b.m_nHeight);
    if (count * 2 > b.m_cbPixels) return false;
    return !b.m_bARGB || (b.m_pAlpha && count <= b.m_cbAlpha);
}

// The bitmap's pixels as a dense view; empty when it has no pixel or does not
// hold its picture.
inline PixelView PictureView(const CCEBitmap& b) {
    if (!HoldsItsPicture(b) || b.m_nWidth == 0 || b.m_nHeight == 0) return PixelView();
    return DenseView(b.m_pPixels, b.m_nWidth, b.m_nHeight);
}

} // namespace zorva

#endif // ZORVA_BITMAP_BITMAPSTATE_H
