// Sizing and window arithmetic of the loaders, kept apart from the codec
// calls so that every rule can be checked on its own.
#ifndef ZORVA_IMAGEIO_IMAGEIO_H
#define ZORVA_IMAGEIO_IMAGEIO_H

#include "ZorvaTypes.h"

class CCEDraw;

namespace zorva {

// Fits (*puWidth, *puHeight) into the box, keeping the aspect ratio and
// touching the box on at least one side (it may grow): w' = MulDiv(w,
// nMaxHeight, h); if 0 <= w' <= nMaxWidth the pair becomes (w', nMaxHeight),
// otherwise (nMaxWidth, MulDiv(h, nMaxWidth, w)). Nothing happens when
// either pointer is null.
void FitToBox(int nMaxWidth, int nMaxHeight, unsigned int* puWidth, unsigned int* puHeight);

// The loaders' box: (uBoxWidth, uBoxHeight), or when both are 0 the
// display's size in the orientation it is turned to: (cxWidth, cyHeight) at
// orientation 0 or 2, (cyHeight, cxWidth) otherwise. False when the display
// is needed and pDraw is null.
bool LoaderBox(CCEDraw* pDraw, unsigned int uBoxWidth, unsigned int uBoxHeight, uint32_t* boxWidth,
               uint32_t* boxHeight);

// The size an image of width x height is loaded at in a sizing mode.
struct TargetSize {
    uint32_t width = 0;
    uint32_t height = 0;
    bool scaled = false;    // through the resize converter
    bool thumbnail = false; // mode 2: a thumbnail of that size through the GDI path
};

// The sizing table of the loaders (mode 0 own size; 1 and 5..255 shrink to
// the box's longer side L along its longer axis when both sides exceed L;
// 2 the same across the longer axis, as a thumbnail; 3 fit into the box
// unless both sides fit its shorter side; 4 always fit). Products are worked
// out in 64 bits and divisions truncate; false when a side of the result
// does not fit a signed 32-bit number.
bool ComputeTargetSize(BYTE bMode, uint32_t width, uint32_t height, uint32_t boxWidth,
                       uint32_t boxHeight, TargetSize* target);

// A window of a rendering, mapped into the image's own orientation.
struct CropPlan {
    uint32_t renderWidth = 0; // the size the whole image is rendered at
    uint32_t renderHeight = 0;
    tagRECT source{};   // the window in that rendering
    uint32_t width = 0; // the result's size
    uint32_t height = 0;
};

// Works out the window (uWidth x uHeight rendering in display orientation,
// its corner at (x, y) relative to the window, window cw x ch) and maps it
// for orientation 0, 1, 2 or 4. False for any other orientation, a window
// that lies beyond the rendering (-x >= W or -y >= H), an empty window or
// an empty rendering.
bool PlanCrop(uint32_t uWidth, uint32_t uHeight, int x, int y, uint32_t cw, uint32_t ch, BYTE rot,
              CropPlan* plan);

} // namespace zorva

#endif // ZORVA_IMAGEIO_IMAGEIO_H
