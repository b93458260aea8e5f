// Pixels, spans, lines, outlines and filled rectangles drawn into a bitmap's
// own pixel buffer. The members apply the bitmap's quick rejection and
// clipping; the span, line and fill kernels are the canvas's, run on a view
// of the dense buffer.
#include "CCEBitmap.h"

#include "bitmap/BitmapState.h"
#include "core/Raster.h"
#include "draw/Fill.h"

#include <algorithm>

using zorva::ToCoord;

using zorva::PictureView;

void CCEBitmap::DrawPixelBmp(unsigned long x, unsigned long y, unsigned short wColor) {
    const zorva::PixelView v = PictureView(*this);
    const int32_t sx = static_cast<int32_t>(static_cast<uint32_t>(x));
    const int32_t sy = static_cast<int32_t>(static_cast<uint32_t>(y));
    if (v.Contains(sx, sy)) *v.At(sx, sy) = wColor;
}

int CCEBitmap::DrawHLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor) {
    if (ToCoord(y1) != ToCoord(y2)) return 1;
    zorva::DrawRowSpan(PictureView(*this), ToCoord(x1), ToCoord(x2), ToCoord(y1), wColor);
    return 1;
}

int CCEBitmap::DrawVLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor) {
    if (ToCoord(x1) != ToCoord(x2)) return 1;
    zorva::DrawColumnSpan(PictureView(*this), ToCoord(x1), ToCoord(y1), ToCoord(y2), wColor);
    return 1;
}

int CCEBitmap::DrawLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor) {
    if (IsPointOutsideBmp(x1, y1) && IsPointOutsideBmp(x2, y2)) return 1;
    zorva::DrawLineClipped(PictureView(*this), ToCoord(x1), ToCoord(y1), ToCoord(x2), ToCoord(y2),
                           wColor);
    return 1;
}

int CCEBitmap::DrawRectBmp(long x1, long y1, long x2, long y2, unsigned short wColor) {
    if (IsPointOutsideBmp(x1, y1) && IsPointOutsideBmp(x2, y2)) return 1;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    DrawHLineBmp(x1, y1, x2, y1, wColor);
    DrawHLineBmp(x1, y2, x2, y2, wColor);
    DrawVLineBmp(x1, y1, x1, y2, wColor);
    DrawVLineBmp(x2, y1, x2, y2, wColor);
    return 1;
}

int CCEBitmap::FillRectBmp(long x1, long y1, long x2, long y2, unsigned char bOpacity,
                           unsigned short wColor) {
    if (IsPointOutsideBmp(x1, y1) && IsPointOutsideBmp(x2, y2)) return 1;
    // Both bounds are included on each axis.
    zorva::FillBetweenCorners(PictureView(*this), ToCoord(x1), ToCoord(y1), ToCoord(x2),
                              ToCoord(y2), true, wColor, bOpacity);
    return 1;
}
