// The screen's picture copied into a bitmap through a 24-bit section.
#include "CCEBitmap.h"

#include "CCEDraw.h"
#include "core/Pixel565.h"
#include "core/SharedBlock.h"
#include "platform/Platform.h"

namespace pf = zorva::platform;

namespace {

// Converts a bottom-up 24-bit image into dense RGB565 rows, top row first,
// each pixel as CCEDraw::GetBitmapPointColor converts it.
// Contract: width and height at least 1; `bits` holds `height` rows of
// `stride` bytes, the picture's bottom row first; `out` holds width x height
// pixels.
void RowsBgr24ToRGB565(const uint8_t* bits, ptrdiff_t stride, int32_t width, int32_t height,
                       uint16_t* out) {
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = bits + ptrdiff_t(height - 1 - y) * stride;
        uint16_t* d = out + ptrdiff_t(y) * width;
        for (int32_t x = 0; x < width; ++x, s += 3)
            d[x] = zorva::Bgr24ToRGB565(s);
    }
}

} // namespace

int CCEBitmap::CaptureScreen(CCEDraw* pDraw) {
    if (!pDraw) return 0;
    const int32_t width = int32_t(pDraw->m_DisplayProperties.cxWidth);
    const int32_t height = int32_t(pDraw->m_DisplayProperties.cyHeight);
    if (width < 0 || height < 0) return 0;
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 2;
    if (bytes > UINT32_MAX) return 0;

    HDC dc = pf::CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    // The new size comes with the pixel buffer; the alpha plane (sized for
    // the old one) stops being in use at once.
    m_nWidth = width;
    m_nHeight = height;
    m_bARGB = 0;
    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, bytes)) {
        pf::DeleteDC(dc);
        return 0;
    }
    pf::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(pf::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = pf::BI_RGB;
    void* bits = nullptr;
    HGDIOBJ section = pf::CreateDIBSection(dc, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section) {
        pf::DeleteDC(dc);
        return 0;
    }
    HGDIOBJ previous = pf::SelectObject(dc, section);

    HDC screen = pf::GetDC(nullptr);
    const bool copied =
        screen && pf::BitBlt(dc, 0, 0, width, height, screen, 0, 0, pf::SRCCOPY_ROP);
    if (screen) pf::ReleaseDC(nullptr, screen);
    if (copied) {
        const ptrdiff_t stride = ((3 * ptrdiff_t(width) + 3) / 4) * 4;
        RowsBgr24ToRGB565(static_cast<const uint8_t*>(bits), stride, width, height, m_pPixels);
    }

    pf::SelectObject(dc, previous);
    pf::DeleteDC(dc);
    pf::DeleteObject(section);
    return copied ? 1 : 0;
}
