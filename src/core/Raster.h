// Pixel targets and the kernels that draw spans, filled rectangles and lines
// into them. The canvas's back buffer, a bitmap's pixels and the rotated
// views of the quarter-turn blits are all PixelViews; the members of the
// public classes clip and pick the case, the kernels only loop.
#ifndef ZORVA_CORE_RASTER_H
#define ZORVA_CORE_RASTER_H

#include "core/Pixel565.h"

#include <cstddef>
#include <cstdint>

namespace zorva {

// width x height RGB565 pixels; pixel (x, y) is at origin + x * xPitch +
// y * yPitch bytes. Pitches are even and may be negative.
struct PixelView {
    uint8_t* origin = nullptr;
    int32_t xPitch = 2;
    int32_t yPitch = 0;
    int32_t width = 0;
    int32_t height = 0;

    uint16_t* At(int32_t x, int32_t y) const {
        return reinterpret_cast<uint16_t*>(origin + ptrdiff_t(x) * xPitch + ptrdiff_t(y) * yPitch);
    }
    bool Contains(int64_t x, int64_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
};

// Bytes from pixel (0, 0) to the lowest address the view reaches: where a
// block holding its pixels starts.
inline ptrdiff_t LowestOffset(const PixelView& v) {
    return ptrdiff_t(LowestOffset(v.width, v.height, v.xPitch, v.yPitch));
}

// A dense bitmap buffer as a view: rows of `width` pixels, top row first.
inline PixelView DenseView(uint16_t* pixels, int32_t width, int32_t height) {
    PixelView v;
    v.origin = reinterpret_cast<uint8_t*>(pixels);
    v.xPitch = 2;
    // A single row never steps to the next; this keeps the pitch in range for
    // the widest one-row bitmap a 32-bit byte count allows.
    v.yPitch = height > 1 ? 2 * width : 0;
    v.width = width;
    v.height = height;
    return v;
}

// ---- Kernels: callers must clip. Every pixel they touch lies inside the
// view; counts and sizes are at least 1.

// `count` pixels from `first`, `stepBytes` apart, become `colour`.
void FillSpan(uint16_t* first, ptrdiff_t stepBytes, int32_t count, uint16_t colour);

// ---- Spans with their clipping

// Row y from x1 to x2, both included, given in either order: nothing when
// the row is outside the view or both ends lie on the same side beyond it;
// otherwise the ends are cut to the view's columns.
void DrawRowSpan(const PixelView& view, int64_t x1, int64_t x2, int64_t y, uint16_t colour);

// Column x from y1 to y2, both included; the same rules with the axes
// exchanged.
void DrawColumnSpan(const PixelView& view, int64_t x, int64_t y1, int64_t y2, uint16_t colour);

// ---- Lines

// Bresenham's line from (x1, y1) to (x2, y2), both end points included: the
// major axis is x when |dx| >= |dy|; the minor axis steps only when the
// error is strictly positive (start 2*dminor - dmajor). Pixels outside the
// view are skipped; this kernel works out the run of steps that lies inside
// the view once, so the loop writes without testing and a line of two
// billion steps with a few visible pixels costs only those pixels. No quick
// rejection here: that is the caller's rule.
void DrawLineClipped(const PixelView& view, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     uint16_t colour);

// The same line stepped one pixel at a time with a test per pixel: the
// definition the fast kernel is checked against, and the path for lines so
// long that the fast kernel's arithmetic could overflow.
void DrawLineReference(const PixelView& view, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       uint16_t colour);

// ---- Coordinates

// Coordinates are 32-bit values (as in tagPOINT); wider arguments, which a
// `long` parameter allows on LP64 systems, are saturated to that range.
constexpr int32_t ToCoord(long v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

} // namespace zorva

#endif // ZORVA_CORE_RASTER_H
