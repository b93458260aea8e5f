// Canvas basics: construction, colours, clears, pixels, point tests and the
// selection of pens and brushes.
#include "CCEDraw.h"

#include "core/Pixel565.h"
#include "draw/CanvasView.h"
#include "draw/Fill.h"

#include <cstring>

using zorva::CanvasView;
using zorva::PixelView;

CCEDraw::CCEDraw() : m_pPen(nullptr), m_pBrush(nullptr) {}

CCEDraw::~CCEDraw() = default;

CCEDraw::CCEDraw(const CCEDraw& other)
    : CCEGraphics(other), m_pPen(other.m_pPen), m_pBrush(other.m_pBrush) {}

CCEDraw& CCEDraw::operator=(const CCEDraw& other) {
    CCEGraphics::operator=(other);
    m_pPen = other.m_pPen;
    m_pBrush = other.m_pBrush;
    return *this;
}

unsigned short CCEDraw::ConvertColor(unsigned long dwColor) {
    return zorva::ColorWordToRGB565(static_cast<uint32_t>(dwColor));
}

unsigned short CCEDraw::ConvertColor(int r, int g, int b) {
    return zorva::ComponentsToRGB565(r, g, b);
}

unsigned short CCEDraw::GetBitmapPointColor(unsigned char* pColor) {
    return pColor ? zorva::Bgr24ToRGB565(pColor) : 0;
}

int CCEDraw::Clear(unsigned long dwValue) {
    if (!m_pBackBuffer) return 1;
    // One byte fill of the whole block, padding included, from its lowest
    // address (pixel (0, 0) unless a pitch is negative).
    std::memset(m_pBackBuffer + zorva::LowestOffset(CanvasView(*this)), int(dwValue & 0xFF),
                m_cbBackBuffer);
    return 1;
}

int CCEDraw::Clear(CCEPen* pPen) {
    if (!pPen) pPen = m_pPen;
    if (!pPen) {
        m_dwLastError = kErrorNoPen;
        return 0;
    }
    const PixelView v = CanvasView(*this);
    if (v.width > 0 && v.height > 0)
        zorva::FillRectOpaque(v, 0, 0, v.width, v.height, pPen->m_wColor);
    return 1;
}

void CCEDraw::DrawPixel(unsigned long x, unsigned long y, unsigned short wColor) {
    const PixelView v = CanvasView(*this);
    const int32_t sx = static_cast<int32_t>(static_cast<uint32_t>(x));
    const int32_t sy = static_cast<int32_t>(static_cast<uint32_t>(y));
    if (v.Contains(sx, sy)) *v.At(sx, sy) = wColor;
}

int CCEDraw::IsPointOutside(long x, long y) {
    const int64_t w = int32_t(m_DisplayProperties.cxWidth);
    const int64_t h = int32_t(m_DisplayProperties.cyHeight);
    const int64_t px = zorva::ToCoord(x), py = zorva::ToCoord(y);
    return (px < 0 || py < 0 || px > w || py > h) ? 1 : 0;
}

int CCEDraw::IsAllPointInside(tagPOINT* pPoints, int nCount) {
    if (!pPoints) return 0;
    const int32_t w = int32_t(m_DisplayProperties.cxWidth);
    const int32_t h = int32_t(m_DisplayProperties.cyHeight);
    for (int i = 0; i < nCount; ++i) {
        const tagPOINT& p = pPoints[i];
        if (p.x < 0 && p.y < 0) return 0;
        if (p.x >= w && p.y >= h) return 0;
    }
    return 1;
}

int CCEDraw::IsAllPointOutside(tagPOINT* pPoints, int nCount) {
    if (!pPoints) return 0;
    const int32_t w = int32_t(m_DisplayProperties.cxWidth);
    const int32_t h = int32_t(m_DisplayProperties.cyHeight);
    for (int i = 0; i < nCount; ++i) {
        const tagPOINT& p = pPoints[i];
        if (p.x >= 0 && p.y >= 0 && p.x < w && p.y < h) return 0;
    }
    return 1;
}

CCEGDIObject* CCEDraw::SetGDIObject(CCEGDIObject* pObject) {
    if (!pObject) {
        m_dwLastError = kErrorNullObject;
        return nullptr;
    }
    CCEGDIObject* previous = nullptr;
    if (pObject->m_dwType == CCEGDIObject::kTypePen) {
        previous = m_pPen;
        m_pPen = static_cast<CCEPen*>(pObject);
    } else if (pObject->m_dwType == CCEGDIObject::kTypeBrush) {
        previous = m_pBrush;
        m_pBrush = static_cast<CCEBrush*>(pObject);
    }
    return previous;
}

CCEGDIObject* CCEDraw::GetGDIObject(unsigned long dwType) {
    if (dwType == CCEGDIObject::kTypePen) return m_pPen;
    if (dwType == CCEGDIObject::kTypeBrush) return m_pBrush;
    return nullptr;
}

int CCEDraw::TestPoint(unsigned int uPattern, int nPosition) {
    const unsigned s = (static_cast<unsigned>(nPosition) - 1u) & 0xFFu;
    return s < 8 ? int((uPattern >> (7 - s)) & 1u) : 0;
}
