// Text rendered into a bitmap: the platform draws it in the chosen font and
// colours on a 16-bit surface, copies that into a 5-5-5 read-back image, and
// the rows come back as RGB565.
#include "CCEBitmap.h"

#include "CCEDraw.h"
#include "core/Pixel565.h"
#include "core/Sections.h"
#include "core/SharedBlock.h"
#include "imageio/DisplayOrientation.h"
#include "imageio/LoadScope.h"
#include "system/files/FilesApi.h"
#include "system/gdi/GdiApi.h"
#include "system/imaging/Imaging.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace pf = zorva::platform;
using zorva::LoadError;
using zorva::NoteLoadError;

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
    if (!pszText) return NoteLoadError(LoadError::BadArgument, "No text was given.");
    // An empty text is one line of background across the display; without
    // the display's width it has no size.
    if (!*pszText && !bFullWidth)
        return NoteLoadError(LoadError::BadArgument, "The text is empty.");
    const size_t length = std::wcslen(pszText);
    if (length > pf::kMaxTextLength)
        return NoteLoadError(LoadError::TooLarge, "The text is longer than 1,048,576 characters.");
    if (bFullWidth && !pDraw)
        return NoteLoadError(LoadError::BadArgument, "Text the display's width needs a canvas.");
    TextObjects o;
    o.dc = pf::CreateCompatibleDC(nullptr);
    if (!o.dc) return NoteLoadError(LoadError::OutOfMemory);
    pf::SetBkMode(o.dc, pf::OPAQUE);
    pf::SetBkColor(o.dc, pf::COLORREF(dwBackColor));
    pf::LOGFONTW record{};
    record.lfHeight = Saturate32(lHeight);
    record.lfWeight = Saturate32(lWeight);
    record.lfCharSet = pf::DEFAULT_CHARSET;
    record.lfOutPrecision = pf::OUT_RASTER_PRECIS;
    std::wcsncpy(record.lfFaceName, L"Tahoma", 32);
    o.font = pf::CreateFontIndirectW(&record);
    if (!o.font) {
        if (pf::GetLastError() == pf::ERROR_INVALID_PARAMETER)
            return NoteLoadError(LoadError::BadArgument,
                                 "The text's height is beyond 1,024 pixels either way.");
        if (pf::GetLastError() == pf::ERROR_FILE_NOT_FOUND)
            return NoteLoadError(LoadError::NotFound, "No installed font can draw the text.");
        return NoteLoadError(LoadError::OutOfMemory);
    }
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
        tagSIZE size{};
        if (!pf::GetTextExtentExPointW(o.dc, pszText, int(length), 0, nullptr, nullptr, &size))
            return NoteLoadError(LoadError::OutOfMemory);
        cx = size.cx;
        cy = size.cy;
    }
    if (cx < 1 || cy < 1) return NoteLoadError(LoadError::BadBox, "The text's box has no size.");
    if (cx > pf::kMaxTextSide || cy > pf::kMaxTextSide)
        return NoteLoadError(LoadError::TooLarge,
                             "The text is wider or taller than 16,384 pixels.");
    o.surface = pf::CreateBitmap(int(cx), int(cy), 1, 16, nullptr);
    if (!o.surface) return NoteLoadError(LoadError::OutOfMemory);
    o.previousSurface = pf::SelectObject(o.dc, o.surface);

    tagRECT layout{0, 0, int32_t(cx), int32_t(cy)};
    if (bFullWidth) {
        o.brush = pf::CreateSolidBrush(pf::COLORREF(dwBackColor));
        if (!o.brush) return NoteLoadError(LoadError::OutOfMemory);
        pf::FillRect(o.dc, &layout, o.brush);
    }

    // The bitmap takes the laid-out text's height. Until the pixels are in
    // place a failure puts the old size back (and drops the picture).
    const int32_t oldWidth = m_nWidth, oldHeight = m_nHeight;
    m_nWidth = int32_t(cx);
    m_nHeight = pf::DrawTextW(o.dc, pszText, -1, &layout, uFormat | pf::DT_NOPREFIX);
    auto fail = [&](LoadError reason, const char* text = nullptr) {
        m_nWidth = oldWidth;
        m_nHeight = oldHeight;
        return NoteLoadError(reason, text);
    };

    o.readDc = pf::CreateCompatibleDC(nullptr);
    if (!o.readDc) return fail(LoadError::OutOfMemory);
    const pf::BITMAPINFO info = zorva::BottomUpSection(m_nWidth, m_nHeight, 16);
    void* bits = nullptr;
    // The text is not empty and not too long: laying it out fails only for
    // want of memory.
    if (m_nHeight <= 0) return fail(LoadError::OutOfMemory);
    if (m_nHeight > pf::kMaxTextSide)
        return fail(LoadError::TooLarge, "The text is wider or taller than 16,384 pixels.");
    o.readBack = pf::CreateDIBSection(o.readDc, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!o.readBack) return fail(LoadError::OutOfMemory);
    o.previousReadBack = pf::SelectObject(o.readDc, o.readBack);
    pf::BitBlt(o.readDc, 0, 0, m_nWidth, m_nHeight, o.dc, 0, 0, pf::SRCCOPY_ROP);

    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, uint64_t(m_nWidth) * uint64_t(m_nHeight) * 2))
        return fail(LoadError::OutOfMemory);
    m_bARGB = 0;
    zorva::SectionToRGB565(bits, 16, uint32_t(m_nWidth), uint32_t(m_nHeight), uint32_t(m_nWidth),
                           uint32_t(m_nHeight), m_pPixels, size_t(m_nWidth));
    return loading.Finish(1, true);
}
