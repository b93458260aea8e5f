// The screen's picture copied into a bitmap through a 24-bit section.
#include "CCEBitmap.h"

#include "CCEDraw.h"
#include "core/Pixel565.h"
#include "core/Sections.h"
#include "core/SharedBlock.h"
#include "imageio/LoadScope.h"
#include "system/gdi/GdiApi.h"

namespace pf = zorva::platform;
using zorva::LoadError;
using zorva::NoteLoadError;

int CCEBitmap::CaptureScreen(CCEDraw* pDraw) {
    zorva::LoadScope capture(*this);
    if (!pDraw) return NoteLoadError(LoadError::BadArgument, "No canvas was given.");
    const int32_t width = int32_t(pDraw->m_DisplayProperties.cxWidth);
    const int32_t height = int32_t(pDraw->m_DisplayProperties.cyHeight);
    if (width < 0 || height < 0)
        return NoteLoadError(LoadError::BadArgument, "The canvas has a negative size.");
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 2;
    if (bytes > UINT32_MAX)
        return NoteLoadError(LoadError::TooLarge, "The canvas is too large to capture.");

    HDC dc = pf::CreateCompatibleDC(nullptr);
    if (!dc) return NoteLoadError(LoadError::OutOfMemory);
    // The new size comes with the pixel buffer; the alpha plane (sized for
    // the old one) stops being in use at once.
    m_nWidth = width;
    m_nHeight = height;
    m_bARGB = 0;
    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, bytes)) {
        pf::DeleteDC(dc);
        return NoteLoadError(LoadError::OutOfMemory);
    }
    const pf::BITMAPINFO info = zorva::BottomUpSection(width, height, 24);
    void* bits = nullptr;
    HGDIOBJ section = pf::CreateDIBSection(dc, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section) {
        pf::DeleteDC(dc);
        return NoteLoadError(LoadError::OutOfMemory);
    }
    HGDIOBJ previous = pf::SelectObject(dc, section);

    HDC screen = pf::GetDC(nullptr);
    const bool copied =
        screen && pf::BitBlt(dc, 0, 0, width, height, screen, 0, 0, pf::SRCCOPY_ROP);
    if (screen) pf::ReleaseDC(nullptr, screen);
    if (!copied) NoteLoadError(LoadError::Unreadable, "The screen could not be read.");
    if (copied) {
        zorva::SectionToRGB565(bits, 24, uint32_t(width), uint32_t(height), uint32_t(width),
                               uint32_t(height), m_pPixels, size_t(width));
    }

    pf::SelectObject(dc, previous);
    pf::DeleteDC(dc);
    pf::DeleteObject(section);
    return capture.Finish(copied ? 1 : 0, copied);
}
