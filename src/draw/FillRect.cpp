// Filled rectangles with the current brush, opaque or blended.
#include "CCEDraw.h"

#include "draw/CanvasView.h"
#include "draw/Fill.h"

int CCEDraw::FillRect(long left, long top, long right, long bottom, unsigned char bOpacity) {
    if (!m_pBrush) return 1;
    if (IsPointOutside(left, top) && IsPointOutside(right, bottom)) return 1;
    // The right column and the bottom row are not filled.
    zorva::FillBetweenCorners(zorva::CanvasView(*this), zorva::ToCoord(left), zorva::ToCoord(top),
                              zorva::ToCoord(right), zorva::ToCoord(bottom), false,
                              m_pBrush->m_wColor, bOpacity);
    return 1;
}

int CCEDraw::FillRect(tagRECT& rc, unsigned char bOpacity) {
    return FillRect(rc.left, rc.top, rc.right, rc.bottom, bOpacity);
}
