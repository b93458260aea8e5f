// The canvas's back buffer as a PixelView, for the canvas primitives and
// for the blits and loaders that draw on the canvas.
#ifndef ZORVA_DRAW_CANVASVIEW_H
#define ZORVA_DRAW_CANVASVIEW_H

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

} // namespace zorva

#endif // ZORVA_DRAW_CANVASVIEW_H
