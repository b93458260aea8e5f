#include "draw/Fill.h"

#include "core/Pixel565.h"
#include "kernels/Kernels.h"

#include <algorithm>

namespace zorva {
namespace {

// A run of pixels `step` bytes apart: dense runs go to the row kernel, the
// others (a turned or mirrored view) are blended one by one.
void BlendRun(uint8_t* p, ptrdiff_t step, int32_t count, uint16_t colour, uint32_t weight,
              const KernelTable& k) {
    if (step == 2) return k.blendFillRow(reinterpret_cast<uint16_t*>(p), count, colour, weight);
    const uint32_t S = SpreadRGB565(colour);
    for (int32_t i = 0; i < count; ++i, p += step) {
        auto* q = reinterpret_cast<uint16_t*>(p);
        *q = BlendSpread(SpreadRGB565(*q), S, weight);
    }
}

void FillRun(uint16_t* first, ptrdiff_t step, int32_t count, uint16_t colour,
             const KernelTable& k) {
    if (step == 2) return k.fillRow(first, count, colour);
    FillSpan(first, step, count, colour);
}

} // namespace

// Both walk whichever axis is contiguous in memory; the pixels are
// independent.
void FillRectOpaque(const PixelView& view, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint16_t colour) {
    const KernelTable& k = Kernels();
    if (view.yPitch == 2 && view.xPitch != 2) {
        for (int32_t i = 0; i < w; ++i)
            FillRun(view.At(x + i, y), 2, h, colour, k);
        return;
    }
    if (view.xPitch == 2) {
        // Whole rows of a dense view follow one another: one run.
        if (view.yPitch == 2 * view.width && w == view.width && int64_t(w) * h <= INT32_MAX)
            return k.fillRow(view.At(x, y), w * h, colour);
        return k.fillRect(reinterpret_cast<uint8_t*>(view.At(x, y)), view.yPitch, w, h, colour);
    }
    for (int32_t j = 0; j < h; ++j)
        FillRun(view.At(x, y + j), view.xPitch, w, colour, k);
}

void FillRectBlend(const PixelView& view, int32_t x, int32_t y, int32_t w, int32_t h,
                   uint16_t colour, uint32_t weight) {
    const KernelTable& k = Kernels();
    auto bytes = [&](int32_t px, int32_t py) {
        return reinterpret_cast<uint8_t*>(view.At(px, py));
    };
    if (view.yPitch == 2 && view.xPitch != 2) {
        for (int32_t i = 0; i < w; ++i)
            BlendRun(bytes(x + i, y), 2, h, colour, weight, k);
        return;
    }
    for (int32_t j = 0; j < h; ++j)
        BlendRun(bytes(x, y + j), view.xPitch, w, colour, weight, k);
}

void FillBetweenCorners(const PixelView& view, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                        bool farEdgeIncluded, uint16_t colour, uint32_t weight) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (farEdgeIncluded) {
        ++x2;
        ++y2;
    }
    const int64_t l = std::max<int64_t>(x1, 0), r = std::min<int64_t>(x2, view.width);
    const int64_t t = std::max<int64_t>(y1, 0), b = std::min<int64_t>(y2, view.height);
    if (l >= r || t >= b) return;
    const int32_t x = int32_t(l), y = int32_t(t), w = int32_t(r - l), h = int32_t(b - t);
    if (weight == 32)
        FillRectOpaque(view, x, y, w, h, colour);
    else
        FillRectBlend(view, x, y, w, h, colour, weight);
}

} // namespace zorva
