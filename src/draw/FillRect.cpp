// Filled rectangles with the current brush, opaque or blended.
#include "CCEDraw.h"

#include "draw/CanvasView.h"

#include <algorithm>

int CCEDraw::FillRect(long left, long top, long right, long bottom, unsigned char bOpacity) {
    if (!m_pBrush) return 1;
    if (IsPointOutside(left, top) && IsPointOutside(right, bottom)) return 1;
    const zorva::PixelView v = zorva::CanvasView(*this);
    int64_t l = zorva::ToCoord(left), t = zorva::ToCoord(top);
    int64_t r = zorva::ToCoord(right), b = zorva::ToCoord(bottom);
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    // The right column and the bottom row are not filled.
    t = std::max<int64_t>(t, 0);
    b = std::min<int64_t>(b, v.height);
    l = std::max<int64_t>(l, 0);
    r = std::min<int64_t>(r, v.width);
    if (l >= r || t >= b) return 1;
    const int32_t x = int32_t(l), y = int32_t(t), w = int32_t(r - l), h = int32_t(b - t);
    if (bOpacity == 32)
        zorva::FillRectOpaque(v, x, y, w, h, m_pBrush->m_wColor);
    else
        zorva::FillRectBlend(v, x, y, w, h, m_pBrush->m_wColor, bOpacity);
    return 1;
}

int CCEDraw::FillRect(tagRECT& rc, unsigned char bOpacity) {
    return FillRect(rc.left, rc.top, rc.right, rc.bottom, bOpacity);
}
