// Text on the canvas: the platform lays the line out in black on a white
// work image; every pixel that differs from the image's background becomes
// white on the canvas, one row lower.
#include "CCEDraw.h"

#include "core/Pixel565.h"
#include "core/Sections.h"
#include "draw/CanvasView.h"
#include "kernels/Kernels.h"
#include "system/gdi/GdiApi.h"
#include "system/imaging/Imaging.h"

#include <algorithm>
#include <cstring>

namespace pf = zorva::platform;
using zorva::PixelView;

namespace {

// Writes white where a rendered text box differs from its background.
// Contract: `rows` x `cols` pixels, both at least 1, all inside `dest`
// starting at (x0, y0). Source row j (3 bytes per pixel, B, G, R) starts at
// source + j * sourceStride; the stride may be negative (bottom-up images).
// A source pixel whose RGB565 value (Bgr24ToRGB565, as
// CCEDraw::GetBitmapPointColor) differs from `key` turns its destination
// pixel to 0xFFFF; the others leave it.
void WhiteWhereNotKey(const uint8_t* source, ptrdiff_t sourceStride, const PixelView& dest,
                      int32_t x0, int32_t y0, int32_t cols, int32_t rows, uint16_t key) {
    const zorva::KernelTable& k = zorva::Kernels();
    for (int32_t j = 0; j < rows; ++j)
        k.whiteWhereNotKey(reinterpret_cast<uint8_t*>(dest.At(x0, y0 + j)), dest.xPitch,
                           source + j * sourceStride, cols, key);
}

} // namespace

int CCEDraw::DrawTextW(tagPOINT* pPoint, const wchar_t* pszText, int nCount, unsigned int) {
    if (!pPoint || !pszText || nCount <= 0) return 1;

    // Measure in the default font and make a white work image of that size.
    HDC screen = pf::GetDC(nullptr);
    if (!screen) return 1;
    tagSIZE size{};
    void* bits = nullptr;
    HGDIOBJ image = nullptr;
    if (pf::GetTextExtentExPointW(screen, pszText, nCount, 0, nullptr, nullptr, &size) &&
        size.cx <= pf::kMaxTextSide && size.cy <= pf::kMaxTextSide) {
        const pf::BITMAPINFO info = zorva::BottomUpSection(size.cx, size.cy, 24);
        image = pf::CreateDIBSection(screen, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    pf::ReleaseDC(nullptr, screen);
    if (!image) return 1;
    const int32_t cx = size.cx, cy = size.cy;
    const ptrdiff_t stride = ptrdiff_t(zorva::SectionStride(uint32_t(cx), 24));
    std::memset(bits, 0xFF, size_t(stride) * size_t(cy));

    HDC dc = pf::CreateCompatibleDC(nullptr);
    if (!dc) {
        pf::DeleteObject(image);
        return 1;
    }
    const int64_t x = pPoint->x, y = pPoint->y;
    if (IsPointOutside(long(x), long(y)) && IsPointOutside(long(x + cx), long(y + cy)) &&
        IsPointOutside(long(x), long(y + cy)) && IsPointOutside(long(x + cx), long(y))) {
        pf::DeleteObject(image);
        pf::DeleteDC(dc);
        return 1;
    }

    HGDIOBJ previous = pf::SelectObject(dc, image);
    tagRECT box{0, 0, cx, cy};
    pf::DrawTextW(dc, pszText, nCount, &box, pf::DT_CENTER | pf::DT_VCENTER | pf::DT_SINGLELINE);
    const uint8_t* first = static_cast<const uint8_t*>(bits);
    const uint16_t key = GetBitmapPointColor(const_cast<uint8_t*>(first));

    // Text row k (0 at the top, memory row cy - 1 - k) goes to canvas row
    // y + k + 1 for k = 0 .. cy - 2: columns i and rows r = k + 1 are clipped
    // to the canvas once here.
    const PixelView v = zorva::CanvasView(*this);
    const int64_t i0 = std::max<int64_t>(0, -x), i1 = std::min<int64_t>(cx, v.width - x);
    const int64_t r0 = std::max<int64_t>(1, -y), r1 = std::min<int64_t>(cy, v.height - y);
    if (i0 < i1 && r0 < r1) {
        const uint8_t* source = first + (cy - r0) * stride + 3 * i0;
        WhiteWhereNotKey(source, -stride, v, int32_t(x + i0), int32_t(y + r0), int32_t(i1 - i0),
                         int32_t(r1 - r0), key);
    }

    pf::SelectObject(dc, previous);
    pf::DeleteObject(image);
    pf::DeleteDC(dc);
    return 1;
}
