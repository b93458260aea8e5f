// The one routine behind every blit: BitBlt and DrawBitmap, BitBlt2x, the
// rotated blits (on a turned view of the canvas) and Merge (on the
// destination bitmap's pixels). It validates and clips once, in the order
// the blits define, picks the case and hands a clipped descriptor to the
// kernel of that case (kernels/Kernels.h).
#ifndef ZORVA_BITMAP_BLIT_H
#define ZORVA_BITMAP_BLIT_H

#include "core/Raster.h"

#include <cstdint>

class CCEGraphics;

namespace zorva {

// Dense source pixels, `width` per row, with the alpha plane when the alpha
// path is to be used (null: act by the mode).
struct BlitSource {
    const uint16_t* pixels = nullptr;
    const uint8_t* alpha = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// The rectangle as the caller passed it.
struct BlitRect {
    int32_t x, y;          // target position (block units at double size)
    int32_t width, height; // 0: the source's whole width or height
    int32_t xSrc, ySrc;    // top-left of the rectangle in the source
};

// scale 1 or 2. Returns 0 for a negative xSrc or ySrc (nothing drawn: no
// source pixel there, and no colour key to read); otherwise 1, whether or
// not anything was drawn. Every pixel read lies in the source and every
// pixel written in the target, whatever the arguments.
int BlitToView(const PixelView& target, const BlitSource& source, const BlitRect& rect,
               unsigned long dwRop, uint32_t opacity, int scale);

// The canvas seen through a rotation code: 1 a quarter turn anticlockwise
// from m_pLastRowStart, 4 clockwise from m_pFirstRowEnd, any other value
// the canvas itself. Empty without a back buffer.
PixelView RotatedCanvasView(const CCEGraphics& canvas, unsigned char bRotation);

} // namespace zorva

#endif // ZORVA_BITMAP_BLIT_H
