// Whole-screen fades: the back buffer scaled towards black (FadeOut) or up
// from dark (FadeIn), every step presented with Flip.
#include "CCEDraw.h"

#include "core/Pixel565.h"
#include "draw/CanvasView.h"
#include "kernels/Kernels.h"
#include "system/memory/Memory.h"

#include <algorithm>
#include <cstring>

namespace {

using zorva::PixelView;

// `count` pixels `step` bytes apart: to[i] = ScaleRGB565(from[i], level).
// `to` and `from` are the same run or separate ones.
void ScaleRun(uint8_t* to, const uint8_t* from, ptrdiff_t step, int32_t count, uint32_t level) {
    if (step == 2)
        return zorva::Kernels().scaleRow(reinterpret_cast<uint16_t*>(to),
                                         reinterpret_cast<const uint16_t*>(from), count, level);
    for (int32_t i = 0; i < count; ++i, to += step, from += step)
        *reinterpret_cast<uint16_t*>(to) =
            zorva::ScaleRGB565(*reinterpret_cast<const uint16_t*>(from), level);
}

// Every pixel of `to` becomes its counterpart in `from` scaled by level
// (0..32). Both views have the same size and pitches and at least one pixel;
// `from` may be `to`. The pixels are independent, so the loops walk
// whichever axis is contiguous in memory.
void ScaleView(const PixelView& to, const PixelView& from, uint32_t level) {
    auto bytes = [](const PixelView& v, int32_t x, int32_t y) {
        return reinterpret_cast<uint8_t*>(v.At(x, y));
    };
    if (to.yPitch == 2 && to.xPitch != 2) {
        for (int32_t x = 0; x < to.width; ++x)
            ScaleRun(bytes(to, x, 0), bytes(from, x, 0), 2, to.height, level);
        return;
    }
    for (int32_t y = 0; y < to.height; ++y)
        ScaleRun(bytes(to, 0, y), bytes(from, 0, y), to.xPitch, to.width, level);
}

// Steps beyond 32 give the same frames as 32 (one frame either way) and
// keep the level arithmetic far from wrapping.
uint32_t FadeStep(unsigned long dwStep) {
    return dwStep == 0 ? 1u : uint32_t(std::min<unsigned long>(dwStep, 32));
}

} // namespace

void CCEDraw::FadeOut(unsigned long dwStep) {
    const PixelView v = zorva::CanvasView(*this);
    if (!v.origin) return;
    const uint32_t step = FadeStep(dwStep);
    BeginDraw();
    // Levels 31, 31 - step, ... while above 9; each frame scales the one
    // before, so the brightness compounds.
    for (int32_t level = 31; level > 9; level -= int32_t(step)) {
        ScaleView(v, v, uint32_t(level));
        Flip();
    }
    EndDraw();
}

void CCEDraw::FadeIn(unsigned long dwStep) {
    const PixelView v = zorva::CanvasView(*this);
    if (!v.origin) return;
    // The picture to fade in: the whole back buffer block, padding included,
    // seen through the same pitches.
    const ptrdiff_t lowest = zorva::LowestOffset(v);
    auto* copy = static_cast<uint8_t*>(zorva::platform::malloc(m_cbBackBuffer));
    if (!copy) return;
    BeginDraw();
    std::memcpy(copy, m_pBackBuffer + lowest, m_cbBackBuffer);
    PixelView picture = v;
    picture.origin = copy - lowest;

    const uint32_t step = FadeStep(dwStep);
    // Levels 8, 8 + step, ... while below 33: full brightness is reached
    // only when the step divides 24.
    for (uint32_t level = 8; level < 33; level += step) {
        ScaleView(v, picture, level);
        Flip();
    }
    EndDraw();
    zorva::platform::free(copy);
}
