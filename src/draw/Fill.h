// Filled rectangles on a pixel view, opaque or blended, with their clipping:
// the canvas's FillRect and pen clear, and the bitmaps' FillRectBmp. The
// rows go to the kernel table's fill kernels.
#ifndef ZORVA_DRAW_FILL_H
#define ZORVA_DRAW_FILL_H

#include "core/Raster.h"

#include <cstdint>

namespace zorva {

// Kernels: callers must clip. The w x h rectangle at (x, y), w, h >= 1,
// lies inside the view.

// Every pixel becomes `colour`.
void FillRectOpaque(const PixelView& view, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint16_t colour);

// Every pixel p becomes BlendRGB565(p, colour, weight).
void FillRectBlend(const PixelView& view, int32_t x, int32_t y, int32_t w, int32_t h,
                   uint16_t colour, uint32_t weight);

// The rectangle between corners (x1, y1) and (x2, y2), given in either order,
// clipped to the view; the far column and row (the larger x and y) are
// filled only when farEdgeIncluded. Opaque at weight 32, else blended with
// the weight (above 32 the packed arithmetic runs as it is).
void FillBetweenCorners(const PixelView& view, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                        bool farEdgeIncluded, uint16_t colour, uint32_t weight);

} // namespace zorva

#endif // ZORVA_DRAW_FILL_H
