// Blits beside memcpy, pixman and SDL2 on the same pixels: every case reads
// the same sprite and writes the same canvas back buffer, which the peers
// wrap as their own images and surfaces.
//
// Sprite: an opaque disc with a soft edge (alpha 1..31 over three pixels)
// on a keyed (magenta) and transparent background. The peers' 32-bit
// sprites hold the same disc: premultiplied for pixman, straight for SDL.
//
// Arguments: canvas width, height, sprite width, height. The sprite is
// centred (for the 2x blits, in block units).
#define SDL_MAIN_HANDLED
#include <CCEBitmap.h>
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include "BenchCanvas.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kKey = 0xF81F;

struct BlitScene {
    BlitScene(int cw, int ch, int sw, int sh) : screen(cw, ch), width(sw), height(sh) {
        sprite.Surface(&canvas, sw, sh, 0, 1);
        premultiplied.resize(size_t(sw) * sh);
        straight.resize(size_t(sw) * sh);
        const double cx = (sw - 1) / 2.0, cy = (sh - 1) / 2.0;
        const double radius = std::min(sw, sh) / 2.0 - 1.0;
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) {
                const double d = std::hypot(x - cx, y - cy);
                const double cover = std::clamp((radius - d) / 3.0, 0.0, 1.0);
                const int a = int(cover * 32.0);
                const int r = 31 * x / std::max(sw - 1, 1), g = 63 * y / std::max(sh - 1, 1);
                const int b = 31 - r;
                const size_t i = size_t(y) * sw + x;
                sprite.m_pPixels[i] = a ? uint16_t(r << 11 | g << 5 | b) : kKey;
                sprite.m_pAlpha[i] = uint8_t(a);
                const uint32_t a8 = uint32_t(std::min(a * 8, 255));
                const uint32_t r8 = uint32_t(r << 3), g8 = uint32_t(g << 2), b8 = uint32_t(b << 3);
                straight[i] = a8 << 24 | r8 << 16 | g8 << 8 | b8;
                premultiplied[i] =
                    a8 << 24 | (r8 * a8 / 255) << 16 | (g8 * a8 / 255) << 8 | (b8 * a8 / 255);
            }
        }
    }
    int CanvasWidth() const { return int(canvas.m_DisplayProperties.cxWidth); }
    int CanvasHeight() const { return int(canvas.m_DisplayProperties.cyHeight); }
    int X() const { return (CanvasWidth() - width) / 2; }
    int Y() const { return (CanvasHeight() - height) / 2; }

    BenchCanvas screen;
    CCEDraw& canvas = screen.canvas;
    CCEBitmap sprite;
    std::vector<uint32_t> premultiplied, straight;
    int width, height;
};

BlitScene Scene(const benchmark::State& state) {
    return BlitScene(int(state.range(0)), int(state.range(1)), int(state.range(2)),
                     int(state.range(3)));
}

void Count(benchmark::State& state, const BlitScene& s) {
    const int64_t pixels = int64_t(state.iterations()) * s.width * s.height;
    state.SetItemsProcessed(pixels);
    state.SetBytesProcessed(pixels * 2);
}

// ---- Ours

void Ours(benchmark::State& state, unsigned long rop, int opacity, bool alphaPlane) {
    BlitScene s = Scene(state);
    s.sprite.m_bARGB = alphaPlane;
    const int x = s.X(), y = s.Y();
    for (auto _ : state) {
        s.sprite.BitBlt(&s.canvas, x, y, 0, 0, 0, 0, rop, uint8_t(opacity));
        benchmark::ClobberMemory();
    }
    Count(state, s);
}

void BM_BitBlt_SrcCopy(benchmark::State& state) {
    Ours(state, SRCCOPY, 32, false);
}
void BM_BitBlt_Key32(benchmark::State& state) {
    Ours(state, BLT_TRANSPARENT, 32, false);
}
void BM_BitBlt_KeyBlend20(benchmark::State& state) {
    Ours(state, BLT_TRANSPARENT, 20, false);
}
void BM_BitBlt_Alpha20(benchmark::State& state) {
    Ours(state, BLT_ALPHA, 20, false);
}
void BM_BitBlt_AlphaPlane32(benchmark::State& state) {
    Ours(state, SRCCOPY, 32, true);
}
void BM_BitBlt_AlphaPlane20(benchmark::State& state) {
    Ours(state, SRCCOPY, 20, true);
}

// Sprite sizes are in source pixels; the blocks cover twice as much.
void BM_BitBlt2x_SrcCopy(benchmark::State& state) {
    BlitScene s = Scene(state);
    s.sprite.m_bARGB = 0;
    const int x = (s.CanvasWidth() / 2 - s.width) / 2, y = (s.CanvasHeight() / 2 - s.height) / 2;
    for (auto _ : state) {
        s.sprite.BitBlt2x(&s.canvas, x, y, 0, 0, 0, 0, SRCCOPY, 32);
        benchmark::ClobberMemory();
    }
    Count(state, s);
}

void BM_BitBlt2x_AlphaPlane32(benchmark::State& state) {
    BlitScene s = Scene(state);
    const int x = (s.CanvasWidth() / 2 - s.width) / 2, y = (s.CanvasHeight() / 2 - s.height) / 2;
    for (auto _ : state) {
        s.sprite.BitBlt2x(&s.canvas, x, y, 0, 0, 0, 0, SRCCOPY, 32);
        benchmark::ClobberMemory();
    }
    Count(state, s);
}

// Quarter turn: the sprite is given in view coordinates (canvas turned).
void BitRot(benchmark::State& state, unsigned long rop, bool alphaPlane) {
    BlitScene s = Scene(state);
    s.sprite.m_bARGB = alphaPlane;
    const int x = (s.CanvasHeight() - s.width) / 2, y = (s.CanvasWidth() - s.height) / 2;
    for (auto _ : state) {
        s.sprite.BitRot(&s.canvas, x, y, 0, 0, 0, 0, rop, 32, 1);
        benchmark::ClobberMemory();
    }
    Count(state, s);
}
void BM_BitRot1_SrcCopy(benchmark::State& state) {
    BitRot(state, SRCCOPY, false);
}
void BM_BitRot1_Key32(benchmark::State& state) {
    BitRot(state, BLT_TRANSPARENT, false);
}
void BM_BitRot1_AlphaPlane32(benchmark::State& state) {
    BitRot(state, SRCCOPY, true);
}

// Into a bitmap of the canvas's size.
void Merge(benchmark::State& state, unsigned long rop, bool alphaPlane) {
    BlitScene s = Scene(state);
    s.sprite.m_bARGB = alphaPlane;
    CCEBitmap target;
    target.Surface(&s.canvas, s.CanvasWidth(), s.CanvasHeight(), 0x5A, 0);
    for (auto _ : state) {
        target.Merge(&s.canvas, &s.sprite, s.X(), s.Y(), 0, 0, 0, 0, rop, 32);
        benchmark::ClobberMemory();
    }
    Count(state, s);
}
void BM_Merge_SrcCopy(benchmark::State& state) {
    Merge(state, SRCCOPY, false);
}
void BM_Merge_Key32(benchmark::State& state) {
    Merge(state, BLT_TRANSPARENT, false);
}
void BM_Merge_AlphaPlane32(benchmark::State& state) {
    Merge(state, SRCCOPY, true);
}

// ---- The physical limit: the same rows with memcpy.

void BM_Memcpy_Rows(benchmark::State& state) {
    BlitScene s = Scene(state);
    const int x = s.X(), y = s.Y();
    uint8_t* first = s.canvas.m_pBackBuffer + ptrdiff_t(x) * 2 + ptrdiff_t(y) * s.canvas.m_yPitch;
    const size_t bytes = size_t(s.width) * 2;
    for (auto _ : state) {
        for (int j = 0; j < s.height; ++j)
            std::memcpy(first + ptrdiff_t(j) * s.canvas.m_yPitch, s.sprite.m_pPixels + j * s.width,
                        bytes);
        benchmark::ClobberMemory();
    }
    Count(state, s);
}

// ---- pixman

pixman_image_t* CanvasImage(BlitScene& s) {
    return pixman_image_create_bits(PIXMAN_r5g6b5, s.CanvasWidth(), s.CanvasHeight(),
                                    reinterpret_cast<uint32_t*>(s.canvas.m_pBackBuffer),
                                    s.canvas.m_yPitch);
}

void Pixman(benchmark::State& state, pixman_op_t op, pixman_image_t* (*source)(BlitScene&)) {
    BlitScene s = Scene(state);
    pixman_image_t* dst = CanvasImage(s);
    pixman_image_t* src = source(s);
    const int x = s.X(), y = s.Y();
    for (auto _ : state) {
        pixman_image_composite32(op, src, nullptr, dst, 0, 0, 0, 0, x, y, s.width, s.height);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    Count(state, s);
}

pixman_image_t* Sprite565(BlitScene& s) {
    return pixman_image_create_bits(PIXMAN_r5g6b5, s.width, s.height,
                                    reinterpret_cast<uint32_t*>(s.sprite.m_pPixels), s.width * 2);
}
pixman_image_t* Sprite8888(BlitScene& s) {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height, s.premultiplied.data(),
                                    s.width * 4);
}
pixman_image_t* Solid(BlitScene&) {
    const pixman_color_t colour = {0x4000, 0x6000, 0x2000, 0x9FFF}; // premultiplied, ~5/8 alpha
    return pixman_image_create_solid_fill(&colour);
}

void BM_Pixman_Src565(benchmark::State& state) {
    Pixman(state, PIXMAN_OP_SRC, Sprite565);
}
void BM_Pixman_Over8888On565(benchmark::State& state) {
    Pixman(state, PIXMAN_OP_OVER, Sprite8888);
}
void BM_Pixman_SolidOver565(benchmark::State& state) {
    Pixman(state, PIXMAN_OP_OVER, Solid);
}

// ---- SDL2 (software surfaces only: no video subsystem)

enum class SdlCase { Plain, ColorKey, AlphaMod, PixelAlpha };

void Sdl(benchmark::State& state, SdlCase kind) {
    BlitScene s = Scene(state);
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(s.canvas.m_pBackBuffer, s.CanvasWidth(),
                                                          s.CanvasHeight(), 16, s.canvas.m_yPitch,
                                                          SDL_PIXELFORMAT_RGB565);
    SDL_Surface* src =
        kind == SdlCase::PixelAlpha
            ? SDL_CreateRGBSurfaceWithFormatFrom(s.straight.data(), s.width, s.height, 32,
                                                 s.width * 4, SDL_PIXELFORMAT_ARGB8888)
            : SDL_CreateRGBSurfaceWithFormatFrom(s.sprite.m_pPixels, s.width, s.height, 16,
                                                 s.width * 2, SDL_PIXELFORMAT_RGB565);
    if (!dst || !src) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    switch (kind) {
    case SdlCase::Plain:
        SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
        break;
    case SdlCase::ColorKey:
        SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
        SDL_SetColorKey(src, SDL_TRUE, kKey);
        break;
    case SdlCase::AlphaMod: // 160 / 256, as opacity 20 / 32
        SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
        SDL_SetSurfaceAlphaMod(src, 160);
        break;
    case SdlCase::PixelAlpha:
        SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
        break;
    }
    const SDL_Rect at = {s.X(), s.Y(), s.width, s.height};
    for (auto _ : state) {
        SDL_Rect r = at;
        SDL_BlitSurface(src, nullptr, dst, &r);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    Count(state, s);
}

void BM_SDL_Blit565(benchmark::State& state) {
    Sdl(state, SdlCase::Plain);
}
void BM_SDL_ColorKey565(benchmark::State& state) {
    Sdl(state, SdlCase::ColorKey);
}
void BM_SDL_AlphaMod565(benchmark::State& state) {
    Sdl(state, SdlCase::AlphaMod);
}
void BM_SDL_ARGB8888On565(benchmark::State& state) {
    Sdl(state, SdlCase::PixelAlpha);
}

// A 64 x 64 sprite and full-canvas bitmaps at both canvas sizes.
void Sprites(benchmark::internal::Benchmark* b) {
    b->Args({240, 320, 64, 64})->Args({240, 320, 240, 320})->Args({640, 480, 640, 480});
}
// Half-size bitmaps that the 2x blits spread over the canvas.
void HalfSize(benchmark::internal::Benchmark* b) {
    b->Args({240, 320, 32, 32})->Args({240, 320, 120, 160})->Args({640, 480, 320, 240});
}
// Bitmaps in the turned view's coordinates.
void Turned(benchmark::internal::Benchmark* b) {
    b->Args({240, 320, 64, 64})->Args({240, 320, 320, 240})->Args({640, 480, 480, 640});
}

BENCHMARK(BM_Memcpy_Rows)->Apply(Sprites);
BENCHMARK(BM_BitBlt_SrcCopy)->Apply(Sprites);
BENCHMARK(BM_Pixman_Src565)->Apply(Sprites);
BENCHMARK(BM_SDL_Blit565)->Apply(Sprites);
BENCHMARK(BM_BitBlt_Key32)->Apply(Sprites);
BENCHMARK(BM_SDL_ColorKey565)->Apply(Sprites);
BENCHMARK(BM_BitBlt_KeyBlend20)->Apply(Sprites);
BENCHMARK(BM_BitBlt_Alpha20)->Apply(Sprites);
BENCHMARK(BM_SDL_AlphaMod565)->Apply(Sprites);
BENCHMARK(BM_Pixman_SolidOver565)->Apply(Sprites);
BENCHMARK(BM_BitBlt_AlphaPlane32)->Apply(Sprites);
BENCHMARK(BM_BitBlt_AlphaPlane20)->Apply(Sprites);
BENCHMARK(BM_Pixman_Over8888On565)->Apply(Sprites);
BENCHMARK(BM_SDL_ARGB8888On565)->Apply(Sprites);
BENCHMARK(BM_BitBlt2x_SrcCopy)->Apply(HalfSize);
BENCHMARK(BM_BitBlt2x_AlphaPlane32)->Apply(HalfSize);
BENCHMARK(BM_BitRot1_SrcCopy)->Apply(Turned);
BENCHMARK(BM_BitRot1_Key32)->Apply(Turned);
BENCHMARK(BM_BitRot1_AlphaPlane32)->Apply(Turned);
BENCHMARK(BM_Merge_SrcCopy)->Apply(Sprites);
BENCHMARK(BM_Merge_Key32)->Apply(Sprites);
BENCHMARK(BM_Merge_AlphaPlane32)->Apply(Sprites);

} // namespace
