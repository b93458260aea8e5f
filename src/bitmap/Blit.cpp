// Blits of a bitmap onto the canvas: BitBlt, BitBlt2x, BitRot, BitRot2x, the
// canvas-side CCEDraw::DrawBitmap, and the clipping they share with Merge.
#include "bitmap/Blit.h"

#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "bitmap/BitmapState.h"
#include "draw/CanvasView.h"
#include "kernels/Kernels.h"

#include <algorithm>

namespace zorva {
namespace {

// Lowest and one past the highest byte a view covers: its lowest and
// highest corners, each pitch taken on the side its sign puts it.
void ViewBytes(const PixelView& v, uintptr_t& lo, uintptr_t& hi) {
    const ptrdiff_t x = ptrdiff_t(v.width - 1) * v.xPitch, y = ptrdiff_t(v.height - 1) * v.yPitch;
    const uintptr_t origin = reinterpret_cast<uintptr_t>(v.origin);
    lo = origin + uintptr_t(std::min<ptrdiff_t>(x, 0) + std::min<ptrdiff_t>(y, 0));
    hi = origin + uintptr_t(std::max<ptrdiff_t>(x, 0) + std::max<ptrdiff_t>(y, 0)) + 2;
}

// True when no target pixel can share memory with a source pixel. Only a
// bitmap merged into itself (or into a copy sharing its buffer) fails this.
bool Disjoint(const PixelView& target, const BlitSource& source) {
    uintptr_t tlo, thi;
    ViewBytes(target, tlo, thi);
    const uintptr_t slo = reinterpret_cast<uintptr_t>(source.pixels);
    const uintptr_t shi = slo + uintptr_t(source.width) * uintptr_t(source.height) * 2;
    return thi <= slo || shi <= tlo;
}

} // namespace

int BlitToView(const PixelView& target, const BlitSource& source, const BlitRect& rect,
               unsigned long dwRop, uint32_t opacity, int scale) {
    // 64-bit throughout: sums of 32-bit arguments cannot overflow.
    int64_t xSrc = rect.xSrc, ySrc = rect.ySrc;
    const int64_t x = rect.x;
    int64_t y = rect.y;
    if (xSrc < 0 || ySrc < 0) return 0;

    const int64_t W = source.width, H = source.height;
    int64_t w = rect.width ? rect.width : W;
    int64_t h = rect.height ? rect.height : H;
    // Against the source, then the target's right and bottom with the x and
    // y as passed, then the top. The left edge is not clipped here: columns
    // left of 0 are simply not drawn.
    if (w + xSrc > W) w = W - xSrc;
    if (h + ySrc > H) h = H - ySrc;
    const int64_t targetW = scale == 2 ? target.width >> 1 : target.width;
    const int64_t targetH = scale == 2 ? target.height >> 1 : target.height;
    if (x + w > targetW) w = targetW - x;
    if (y + h > targetH) h = targetH - y;
    if (y < 0) {
        ySrc -= y;
        h += y;
        y = 0;
    }
    const int64_t x0 = std::max<int64_t>(x, 0);
    const int64_t columns = x + w - x0;
    if (h <= 0 || columns <= 0) return 1;

    BlitCase mode;
    if (source.alpha) {
        mode = BlitCase::AlphaPlane;
    } else if (dwRop == SRCCOPY) {
        mode = BlitCase::Copy;
    } else if (dwRop == BLT_ALPHA) {
        mode = BlitCase::ConstantAlpha;
    } else if (dwRop == BLT_TRANSPARENT) {
        mode = opacity == 32 ? BlitCase::KeyOpaque : BlitCase::KeyBlend;
    } else {
        return 1;
    }

    // Rows ySrc.. and columns xSrc.. of the source: the clipping above keeps
    // them inside it (ySrc + h <= H, xSrc + w <= W, both starts >= 0).
    const ptrdiff_t first = ptrdiff_t(ySrc) * W + xSrc;
    BlitDesc d;
    d.src = source.pixels + first + (x0 - x);
    d.alpha = source.alpha ? source.alpha + first + (x0 - x) : nullptr;
    d.srcStride = ptrdiff_t(W);
    d.width = int32_t(columns);
    d.height = int32_t(h);
    d.opacity = opacity;
    // The key is the pixel at (xSrc, ySrc) as passed, before any clipping,
    // so that a sprite keeps its key as it slides off any edge. Something is
    // drawn, so that pixel lies in the source.
    d.key = source.pixels[ptrdiff_t(rect.ySrc) * W + rect.xSrc];
    d.dstStep = target.xPitch;
    d.dstRowStep = target.yPitch;
    d.dst = reinterpret_cast<uint8_t*>(scale == 2 ? target.At(int32_t(2 * x0), int32_t(2 * y))
                                                  : target.At(int32_t(x0), int32_t(y)));
    d.disjoint = Disjoint(target, source);

    const KernelTable& kernels = Kernels();
    (scale == 2 ? kernels.blit2x : kernels.blit)[size_t(mode)](d);
    return 1;
}

PixelView RotatedCanvasView(const CCEGraphics& canvas, unsigned char bRotation) {
    const PixelView upright = CanvasView(canvas);
    if (!upright.origin || (bRotation != 1 && bRotation != 4)) return upright;
    // The view's x runs along the canvas's columns and its y along the rows.
    const int64_t xPitch = bRotation == 1 ? -int64_t(upright.yPitch) : upright.yPitch;
    const int64_t yPitch = bRotation == 1 ? upright.xPitch : -int64_t(upright.xPitch);
    uint8_t* origin = bRotation == 1 ? canvas.m_pLastRowStart : canvas.m_pFirstRowEnd;
    if (!origin || xPitch > INT32_MAX || yPitch > INT32_MAX) return PixelView();
    PixelView v;
    v.origin = origin;
    v.xPitch = int32_t(xPitch);
    v.yPitch = int32_t(yPitch);
    v.width = upright.height;
    v.height = upright.width;
    return v;
}

namespace {

BlitSource SourceOf(const CCEBitmap& b) {
    BlitSource s;
    s.pixels = b.m_pPixels;
    s.alpha = b.m_bARGB ? b.m_pAlpha : nullptr;
    s.width = b.m_nWidth;
    s.height = b.m_nHeight;
    return s;
}

} // namespace
} // namespace zorva

using zorva::BlitRect;

int CCEBitmap::BitBlt(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                      unsigned long dwRop, unsigned char bOpacity) {
    if (!pDraw || !zorva::HoldsItsPicture(*this)) return 0;
    return zorva::BlitToView(zorva::CanvasView(*pDraw), zorva::SourceOf(*this),
                             BlitRect{x, y, nWidth, nHeight, xSrc, ySrc}, dwRop, bOpacity, 1);
}

int CCEBitmap::BitBlt2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                        unsigned long dwRop, unsigned char bOpacity) {
    if (!pDraw || !zorva::HoldsItsPicture(*this)) return 0;
    return zorva::BlitToView(zorva::CanvasView(*pDraw), zorva::SourceOf(*this),
                             BlitRect{x, y, nWidth, nHeight, xSrc, ySrc}, dwRop, bOpacity, 2);
}

int CCEBitmap::BitRot(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                      unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation) {
    if (!pDraw || !zorva::HoldsItsPicture(*this)) return 0;
    return zorva::BlitToView(zorva::RotatedCanvasView(*pDraw, bRotation), zorva::SourceOf(*this),
                             BlitRect{x, y, nWidth, nHeight, xSrc, ySrc}, dwRop, bOpacity, 1);
}

int CCEBitmap::BitRot2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                        unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation) {
    if (!pDraw || !zorva::HoldsItsPicture(*this)) return 0;
    return zorva::BlitToView(zorva::RotatedCanvasView(*pDraw, bRotation), zorva::SourceOf(*this),
                             BlitRect{x, y, nWidth, nHeight, xSrc, ySrc}, dwRop, bOpacity, 2);
}

// The canvas-side name of a blit.
int CCEDraw::DrawBitmap(CCEBitmap* pBitmap, int x, int y, int nWidth, int nHeight, int xSrc,
                        int ySrc, unsigned long dwRop, unsigned char bOpacity) {
    if (!pBitmap) return 0;
    return pBitmap->BitBlt(this, x, y, nWidth, nHeight, xSrc, ySrc, dwRop, bOpacity);
}
