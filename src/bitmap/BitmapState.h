// Whether a bitmap's buffers hold the picture its fields describe, and how
// a bitmap is left without one (imageio/LoadScope.h: after a failed load).
#ifndef ZORVA_BITMAP_BITMAPSTATE_H
#define ZORVA_BITMAP_BITMAPSTATE_H

#include "CCEBitmap.h"
#include "core/Raster.h"
#include "core/SharedBlock.h"

namespace zorva {

// The one rule for whether a bitmap's buffers hold the picture its fields
// describe. A failed growth or load leaves the size fields ahead of the
// buffers, and the fields are public; every member that reads or writes a
// bitmap's pixels treats such a bitmap as one without pixels, so nothing
// outside a buffer is touched.
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

// Gives back the bitmap's buffers and frame delays (a copy sharing them
// keeps its own) and clears m_bARGB; the size fields, the kept image and the
// interfaces stay. With no pixel buffer the bitmap holds no picture.
inline void DropPicture(CCEBitmap& b) {
    BlockDrop(b.m_pPixels);
    BlockDrop(b.m_pAlpha);
    BlockDrop(b.m_pFrames);
    b.m_cbPixels = 0;
    b.m_cbAlpha = 0;
    b.m_bARGB = 0;
}

} // namespace zorva

#endif // ZORVA_BITMAP_BITMAPSTATE_H
