// Text rendered into a bitmap: the platform draws it in the chosen font and
// colours on a 16-bit surface, copies that into a 5-5-5 read-back image, and
// the rows come back as RGB565.
#include "CCEBitmap.h"

#include "CCEDraw.h"
#include "bitmap/BitmapState.h"
#include "core/Pixel565.h"
#include "core/Sections.h"
#include "core/SharedBlock.h"
#include "imageio/DisplayOrientation.h"
#include "system/gdi/GdiApi.h"
#include "system/imaging/Imaging.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace pf = zorva::platform;

namespace {

int32_t Saturate32(long v) {
    return int32_t(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

// What LoadText creates, given back in one order on every path: the
// read-back image and its context, the brush, the font, the drawing
// surface, the first context. Each is reselected out before deletion.
struct TextObjects {
    HDC dc = nullptr;
    HGDIOBJ font = nullptr, previousFont = nullptr;
    HGDIOBJ surface = nullptr, previousSurface = nullptr;
    HGDIOBJ brush = nullptr;
    HDC readDc = nullptr;
    HGDIOBJ readBack = nullptr, previousReadBack = nullptr;

    ~TextObjects() {
        if (readBack) {
            if (previousReadBack) pf::SelectObject(readDc, previousReadBack);
            pf::DeleteObject(readBack);
        }
        if (readDc) pf::DeleteDC(readDc);
        if (brush) pf::DeleteObject(brush);
        if (font) {
            if (previousFont) pf::SelectObject(dc, previousFont);
            pf::DeleteObject(font);
        }
        if (surface) {
            if (previousSurface) pf::SelectObject(dc, previousSurface);
            pf::DeleteObject(surface);
        }
        if (dc) pf::DeleteDC(dc);
    }
};

} // namespace

int CCEBitmap::LoadText(CCEDraw* pDraw, long lHeight, long lWeight, unsigned long dwTextColor,
                        const wchar_t* pszText, unsigned int uFormat, int bFullWidth,
                        int nExtraWidth, unsigned long dwBackColor) {
    zorva::LoadScope loading(*this);
    if (!pszText || (bFullWidth && !pDraw)) return 0;
    TextObjects o;
    o.dc = pf::CreateCompatibleDC(nullptr);
    if (!o.dc) return 0;
    pf::SetBkMode(o.dc, pf::OPAQUE);
    pf::SetBkColor(o.dc, pf::COLORREF(dwBackColor));
    pf::LOGFONTW record{};
    record.lfHeight = Saturate32(lHeight);
    record.lfWeight = Saturate32(lWeight);
    record.lfCharSet = pf::DEFAULT_CHARSET;
    record.lfOutPrecision = pf::OUT_RASTER_PRECIS;
    std::wcsncpy(record.lfFaceName, L"Tahoma", 32);
    o.font = pf::CreateFontIndirectW(&record);
    if (!o.font) return 0;
    o.previousFont = pf::SelectObject(o.dc, o.font);
    pf::SetTextColor(o.dc, pf::COLORREF(dwTextColor));

    int64_t cx = 0, cy = 0;
    if (bFullWidth) {
        const int64_t w = int32_t(pDraw->m_DisplayProperties.cxWidth);
        const int64_t h = int32_t(pDraw->m_DisplayProperties.cyHeight);
        const BYTE turn = zorva::GetDisplayOrientation();
        const bool upright = turn == 0 || zorva::GetDisplayOrientation() == 2;
        cx = (upright ? w : h) + nExtraWidth;
        cy = upright ? h : w;
    } else {
        const size_t length = std::wcslen(pszText);
        tagSIZE size{};
        if (length > size_t(INT32_MAX) ||
            !pf::GetTextExtentExPointW(o.dc, pszText, int(length), 0, nullptr, nullptr, &size))
            return 0;
        cx = size.cx;
        cy = size.cy;
    }
    if (cx < 1 || cy < 1 || cx > pf::kMaxTextSide || cy > pf::kMaxTextSide) return 0;
    o.surface = pf::CreateBitmap(int(cx), int(cy), 1, 16, nullptr);
    if (!o.surface) return 0;
    o.previousSurface = pf::SelectObject(o.dc, o.surface);

    tagRECT layout{0, 0, int32_t(cx), int32_t(cy)};
    if (bFullWidth) {
        o.brush = pf::CreateSolidBrush(pf::COLORREF(dwBackColor));
        if (!o.brush) return 0;
        pf::FillRect(o.dc, &layout, o.brush);
    }

    // The bitmap takes the laid-out text's height. Until the pixels are in
    // place a failure puts the old size back (and drops the picture).
    const int32_t oldWidth = m_nWidth, oldHeight = m_nHeight;
    m_nWidth = int32_t(cx);
    m_nHeight = pf::DrawTextW(o.dc, pszText, -1, &layout, uFormat | pf::DT_NOPREFIX);
    auto fail = [&] {
        m_nWidth = oldWidth;
        m_nHeight = oldHeight;
        return 0;
    };

    o.readDc = pf::CreateCompatibleDC(nullptr);
    if (!o.readDc) return fail();
    const pf::BITMAPINFO info = zorva::BottomUpSection(m_nWidth, m_nHeight, 16);
    void* bits = nullptr;
    if (m_nHeight > 0 && m_nHeight <= pf::kMaxTextSide)
        o.readBack = pf::CreateDIBSection(o.readDc, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!o.readBack) return fail();
    o.previousReadBack = pf::SelectObject(o.readDc, o.readBack);
    pf::BitBlt(o.readDc, 0, 0, m_nWidth, m_nHeight, o.dc, 0, 0, pf::SRCCOPY_ROP);

    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, uint64_t(m_nWidth) * uint64_t(m_nHeight) * 2))
        return fail();
    m_bARGB = 0;
    zorva::SectionToRGB565(bits, 16, uint32_t(m_nWidth), uint32_t(m_nHeight), uint32_t(m_nWidth),
                           uint32_t(m_nHeight), m_pPixels, size_t(m_nWidth));
    return loading.Finish(1, true);
}
