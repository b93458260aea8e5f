// The canvas's back buffer as a PixelView.
#ifndef ZORVA_CORE_CANVASVIEW_H
#define ZORVA_CORE_CANVASVIEW_H

#include "CCEGraphics.h"
#include "core/Raster.h"

namespace zorva {

// A surface without a back buffer (never created, or released) is an empty
// view, so drawing on it writes nothing.
inline PixelView CanvasView(const CCEGraphics& g) {
    PixelView v;
    if (!g.m_pBackBuffer) return v;
    v.origin = g.m_pBackBuffer;
    v.xPitch = g.m_xPitch;
    v.yPitch = g.m_yPitch;
    v.width = static_cast<int32_t>(g.m_DisplayProperties.cxWidth);
    v.height = static_cast<int32_t>(g.m_DisplayProperties.cyHeight);
    return v;
}

// Bytes from pixel (0, 0) to the lowest address the view reaches (0 unless
// a pitch is negative): where a block holding the view's pixels starts.
inline ptrdiff_t LowestOffset(const PixelView& v) {
    ptrdiff_t lowest = 0;
    if (v.xPitch < 0) lowest += ptrdiff_t(v.width - 1) * v.xPitch;
    if (v.yPitch < 0) lowest += ptrdiff_t(v.height - 1) * v.yPitch;
    return lowest;
}

} // namespace zorva

#endif // ZORVA_CORE_CANVASVIEW_H
