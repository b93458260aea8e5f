// Spans, lines, rectangle outlines, polylines and polygon outlines on the
// canvas.
#include "CCEDraw.h"

#include "draw/CanvasView.h"

#include <utility>

using zorva::CanvasView;
using zorva::ToCoord;

namespace {

// Colour -1 stands for the current pen's colour when one is selected; an
// explicit white can therefore not be drawn by a span while a pen is.
uint16_t SpanColour(short wColor, const CCEPen* pen) {
    if (wColor == -1 && pen) return pen->m_wColor;
    return static_cast<uint16_t>(wColor);
}

} // namespace

int CCEDraw::DrawHLine(long x1, long y1, long x2, long y2, short wColor) {
    if (ToCoord(y1) != ToCoord(y2)) return 1;
    zorva::DrawRowSpan(CanvasView(*this), ToCoord(x1), ToCoord(x2), ToCoord(y1),
                       SpanColour(wColor, m_pPen));
    return 1;
}

int CCEDraw::DrawVLine(long x1, long y1, long x2, long y2, short wColor) {
    if (ToCoord(x1) != ToCoord(x2)) return 1;
    zorva::DrawColumnSpan(CanvasView(*this), ToCoord(x1), ToCoord(y1), ToCoord(y2),
                          SpanColour(wColor, m_pPen));
    return 1;
}

int CCEDraw::DrawLine(long x1, long y1, long x2, long y2) {
    if (!m_pPen) return 1;
    if (IsPointOutside(x1, y1) && IsPointOutside(x2, y2)) return 1;
    zorva::DrawLineClipped(CanvasView(*this), ToCoord(x1), ToCoord(y1), ToCoord(x2), ToCoord(y2),
                           m_pPen->m_wColor);
    return 1;
}

int CCEDraw::DrawLine(tagPOINT& ptStart, tagPOINT& ptEnd) {
    return DrawLine(ptStart.x, ptStart.y, ptEnd.x, ptEnd.y);
}

int CCEDraw::DrawRect(long left, long top, long right, long bottom) {
    if (IsPointOutside(left, top) && IsPointOutside(right, bottom)) return 1;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    DrawHLine(left, top, right, top, -1);
    DrawHLine(left, bottom, right, bottom, -1);
    DrawVLine(left, top, left, bottom, -1);
    DrawVLine(right, top, right, bottom, -1);
    return 1;
}

int CCEDraw::DrawRect(tagRECT& rc) {
    return DrawRect(rc.left, rc.top, rc.right, rc.bottom);
}

int CCEDraw::DrawPolyline(tagPOINT* pPoints, int nCount) {
    if (!pPoints) return 0;
    if (IsAllPointOutside(pPoints, nCount) || nCount < 2) return 1;
    for (int i = 0; i + 1 < nCount; ++i)
        DrawLine(pPoints[i], pPoints[i + 1]);
    return 1;
}

int CCEDraw::DrawPolygon(tagPOINT* pPoints, int nCount) {
    if (!pPoints) return 0;
    if (IsAllPointOutside(pPoints, nCount)) return 1;
    for (int i = 0; i + 1 < nCount; ++i)
        DrawLine(pPoints[i], pPoints[i + 1]);
    // The closing line runs from the first point to the last.
    DrawLine(pPoints[0], pPoints[nCount - 1]);
    return 1;
}
