// The speed targets of the kernel layer in one place: for every operation,
// ours, the peer library's nearest operation and memcpy (or memset) of the
// same bytes, at two sizes: a 640 x 480 frame and a 64 x 64 sprite, both on
// a 640 x 480 canvas. Bytes processed are the bytes written, so the ratios
// of bytes per second are the targets' ratios; bench/target_table.py
// prints them from the JSON output. Run once per level with ZORVA_SIMD.
//
// Names: BM_T_<operation>_<who>/<sprite width>/<sprite height>.
#define SDL_MAIN_HANDLED
#include <CCEBitmap.h>
#include <CCEDraw.h>

#include "BenchCanvas.h"
#include "kernels/Kernels.h"

#include <SDL.h>
#ifdef ZORVA_BENCH_SDL_GFX
#include <SDL2_rotozoom.h>
#endif
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kCanvasW = 640, kCanvasH = 480;
constexpr uint16_t kKey = 0xF81F;

void SetBytes(benchmark::State& state, int64_t bytesPerIteration) {
    state.SetBytesProcessed(int64_t(state.iterations()) * bytesPerIteration);
}

int SpriteW(const benchmark::State& s) {
    return int(s.range(0));
}
int SpriteH(const benchmark::State& s) {
    return int(s.range(1));
}

// A sprite: an opaque disc with a soft edge on a keyed, transparent
// background (the alpha plane 0 outside, 32 inside, 1..31 over three
// pixels), or random weights 0..32 everywhere.
struct Sprite {
    Sprite(int w, int h, bool randomWeights = false) : width(w), height(h) {
        CCEDraw unused;
        bitmap.Surface(&unused, w, h, 0, 1);
        straight.resize(size_t(w) * h);
        premultiplied.resize(size_t(w) * h);
        std::mt19937 rng(5);
        const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, radius = std::min(w, h) / 2.0 - 1;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double cover =
                    std::clamp((radius - std::hypot(x - cx, y - cy)) / 3, 0.0, 1.0);
                const int a = randomWeights ? int(rng() % 33) : int(cover * 32);
                const int r = 31 * x / std::max(w - 1, 1), g = 63 * y / std::max(h - 1, 1);
                const size_t i = size_t(y) * w + x;
                bitmap.m_pPixels[i] = a ? uint16_t(r << 11 | g << 5 | (31 - r)) : kKey;
                bitmap.m_pAlpha[i] = uint8_t(a);
                const uint32_t a8 = uint32_t(std::min(a * 8, 255)), r8 = uint32_t(r << 3),
                               g8 = uint32_t(g << 2), b8 = uint32_t((31 - r) << 3);
                straight[i] = a8 << 24 | r8 << 16 | g8 << 8 | b8;
                premultiplied[i] =
                    a8 << 24 | (r8 * a8 / 255) << 16 | (g8 * a8 / 255) << 8 | (b8 * a8 / 255);
            }
        }
    }
    CCEBitmap bitmap;
    std::vector<uint32_t> straight, premultiplied;
    int width, height;
};

// ---- memcpy and memset of the bytes an operation writes: rows of the
// sprite's width into the canvas, as a blit writes them.

void BM_T_Memcpy(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const int w = SpriteW(state), h = SpriteH(state);
    std::vector<uint16_t> from(size_t(w) * h, 0x1234);
    uint8_t* first = screen.canvas.m_pBackBuffer;
    for (auto _ : state) {
        for (int j = 0; j < h; ++j)
            std::memcpy(first + ptrdiff_t(j) * screen.canvas.m_yPitch, from.data() + j * w,
                        size_t(w) * 2);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

void BM_T_Memset(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const int w = SpriteW(state), h = SpriteH(state);
    uint8_t* first = screen.canvas.m_pBackBuffer;
    for (auto _ : state) {
        for (int j = 0; j < h; ++j)
            std::memset(first + ptrdiff_t(j) * screen.canvas.m_yPitch, 0x5A, size_t(w) * 2);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

// ---- Ours

void Blit(benchmark::State& state, unsigned long rop, int opacity, bool plane, bool random) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(SpriteW(state), SpriteH(state), random);
    s.bitmap.m_bARGB = plane;
    const int x = (kCanvasW - s.width) / 2, y = (kCanvasH - s.height) / 2;
    for (auto _ : state) {
        s.bitmap.BitBlt(&screen.canvas, x, y, 0, 0, 0, 0, rop, uint8_t(opacity));
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void BM_T_Copy_Ours(benchmark::State& state) {
    Blit(state, SRCCOPY, 32, false, false);
}
void BM_T_Key32_Ours(benchmark::State& state) {
    Blit(state, BLT_TRANSPARENT, 32, false, false);
}
void BM_T_KeyBlend_Ours(benchmark::State& state) {
    Blit(state, BLT_TRANSPARENT, 20, false, false);
}
void BM_T_Alpha_Ours(benchmark::State& state) {
    Blit(state, BLT_ALPHA, 20, false, false);
}
void BM_T_Plane32Sprite_Ours(benchmark::State& state) {
    Blit(state, SRCCOPY, 32, true, false);
}
void BM_T_Plane32Random_Ours(benchmark::State& state) {
    Blit(state, SRCCOPY, 32, true, true);
}
void BM_T_Plane20_Ours(benchmark::State& state) {
    Blit(state, SRCCOPY, 20, true, false);
}

void BM_T_MergeCopy_Ours(benchmark::State& state) {
    Sprite s(SpriteW(state), SpriteH(state));
    s.bitmap.m_bARGB = 0;
    CCEDraw unused;
    CCEBitmap target;
    target.Surface(&unused, kCanvasW, kCanvasH, 0x5A, 0);
    for (auto _ : state) {
        target.Merge(&unused, &s.bitmap, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void BM_T_Flip_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    for (auto _ : state) {
        screen.canvas.Flip();
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(screen.canvas.m_cbBackBuffer));
}

// The sprite's size in bytes written: the source is half as wide and high.
void BM_T_Twice_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(SpriteW(state) / 2, SpriteH(state) / 2);
    s.bitmap.m_bARGB = 0;
    for (auto _ : state) {
        s.bitmap.BitBlt2x(&screen.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(SpriteW(state)) * SpriteH(state) * 2);
}

void BM_T_Twice32Plane_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(SpriteW(state) / 2, SpriteH(state) / 2);
    for (auto _ : state) {
        s.bitmap.BitBlt2x(&screen.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(SpriteW(state)) * SpriteH(state) * 2);
}

// Turned a quarter (code 1): the sprite is given in the view's coordinates,
// so a 640 x 480 sprite is drawn as 480 x 640.
void BM_T_BitRot_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const int w = std::min(SpriteH(state), kCanvasH), h = std::min(SpriteW(state), kCanvasW);
    Sprite s(w, h);
    s.bitmap.m_bARGB = 0;
    for (auto _ : state) {
        s.bitmap.BitRot(&screen.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

void BM_T_Rotate_Ours(benchmark::State& state) {
    Sprite s(SpriteW(state), SpriteH(state));
    s.bitmap.m_bARGB = 0;
    for (auto _ : state) {
        s.bitmap.Rotate(1);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void BM_T_FillRect_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    CCEBrush brush(0, 0x1234, 0);
    screen.canvas.SetGDIObject(&brush);
    const int w = SpriteW(state), h = SpriteH(state);
    for (auto _ : state) {
        screen.canvas.FillRect(0, 0, w, h, 13);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

void BM_T_FillRectBmp_Ours(benchmark::State& state) {
    CCEDraw unused;
    CCEBitmap bitmap;
    bitmap.Surface(&unused, kCanvasW, kCanvasH, 0x5A, 0);
    const int w = SpriteW(state), h = SpriteH(state);
    for (auto _ : state) {
        bitmap.FillRectBmp(0, 0, w - 1, h - 1, 13, 0x1234);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

// One fade frame without its Flip: the frame's rows scaled in place, as
// FadeOut does between presents, through the library's kernel table.
void BM_T_FadeFrame_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const int w = SpriteW(state), h = SpriteH(state);
    const zorva::KernelTable& k = zorva::Kernels();
    for (auto _ : state) {
        for (int j = 0; j < h; ++j) {
            auto* row = reinterpret_cast<uint16_t*>(screen.canvas.m_pBackBuffer +
                                                    ptrdiff_t(j) * screen.canvas.m_yPitch);
            k.scaleRow(row, row, w, 31);
        }
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

// Scaled up twice from half the size; bytes written.
void Stretch(benchmark::State& state, int smooth) {
    Sprite s(SpriteW(state) / 2, SpriteH(state) / 2);
    s.bitmap.m_bARGB = 0;
    CCEBitmap out;
    for (auto _ : state) {
        out.Stretch(&s.bitmap, SpriteW(state), SpriteH(state), smooth);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(SpriteW(state)) * SpriteH(state) * 2);
}
void BM_T_StretchNearest_Ours(benchmark::State& state) {
    Stretch(state, 0);
}
void BM_T_StretchFiltered_Ours(benchmark::State& state) {
    Stretch(state, 1);
}

// Per output pixel: bytes are output pixels x 2.
void BM_T_FreeRotate_Ours(benchmark::State& state) {
    Sprite s(SpriteW(state), SpriteH(state));
    s.bitmap.m_bARGB = 0;
    CCEBitmap out;
    for (auto _ : state) {
        out.FreeRotate(&s.bitmap, 30, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(out.m_nWidth) * out.m_nHeight * 2);
}

// ---- SDL2

enum class SdlCase { Plain, ColorKey, KeyAlphaMod, AlphaMod };

void Sdl(benchmark::State& state, SdlCase kind) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(SpriteW(state), SpriteH(state));
    SDL_Surface* dst =
        SDL_CreateRGBSurfaceWithFormatFrom(screen.canvas.m_pBackBuffer, kCanvasW, kCanvasH, 16,
                                           screen.canvas.m_yPitch, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(s.bitmap.m_pPixels, s.width, s.height, 16,
                                                          s.width * 2, SDL_PIXELFORMAT_RGB565);
    if (!dst || !src) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    const bool keyed = kind == SdlCase::ColorKey || kind == SdlCase::KeyAlphaMod;
    const bool blended = kind == SdlCase::KeyAlphaMod || kind == SdlCase::AlphaMod;
    SDL_SetSurfaceBlendMode(src, blended ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    if (keyed) SDL_SetColorKey(src, SDL_TRUE, kKey);
    if (blended) SDL_SetSurfaceAlphaMod(src, 160); // 20 / 32
    const SDL_Rect at = {(kCanvasW - s.width) / 2, (kCanvasH - s.height) / 2, s.width, s.height};
    for (auto _ : state) {
        SDL_Rect r = at;
        SDL_BlitSurface(src, nullptr, dst, &r);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void BM_T_Copy_SDL(benchmark::State& state) {
    Sdl(state, SdlCase::Plain);
}
void BM_T_Key32_SDL(benchmark::State& state) {
    Sdl(state, SdlCase::ColorKey);
}
void BM_T_KeyBlend_SDL(benchmark::State& state) {
    Sdl(state, SdlCase::KeyAlphaMod);
}
void BM_T_Alpha_SDL(benchmark::State& state) {
    Sdl(state, SdlCase::AlphaMod);
}

#ifdef ZORVA_BENCH_SDL_GFX
// rotozoomSurface at 30 degrees, no smoothing, of the same 16-bit sprite
// (SDL2_gfx works in 32 bits and converts it first, as it would for a
// caller); per output pixel.
void BM_T_FreeRotate_SDLgfx(benchmark::State& state) {
    Sprite s(SpriteW(state), SpriteH(state));
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(s.bitmap.m_pPixels, s.width, s.height, 16,
                                                          s.width * 2, SDL_PIXELFORMAT_RGB565);
    int64_t outPixels = 0;
    for (auto _ : state) {
        SDL_Surface* out = rotozoomSurface(src, 30.0, 1.0, SMOOTHING_OFF);
        outPixels = int64_t(out->w) * out->h;
        SDL_FreeSurface(out);
    }
    SDL_FreeSurface(src);
    SetBytes(state, outPixels * 2);
}
#endif

// ---- pixman: a8r8g8b8 OVER r5g6b5, the alpha-plane blit's peer.
void BM_T_Plane32Sprite_Pixman(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(SpriteW(state), SpriteH(state));
    pixman_image_t* dst = pixman_image_create_bits(
        PIXMAN_r5g6b5, kCanvasW, kCanvasH, reinterpret_cast<uint32_t*>(screen.canvas.m_pBackBuffer),
        screen.canvas.m_yPitch);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height,
                                                   s.premultiplied.data(), s.width * 4);
    const int x = (kCanvasW - s.width) / 2, y = (kCanvasH - s.height) / 2;
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, x, y, s.width,
                                 s.height);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({64, 64});
}

BENCHMARK(BM_T_Memcpy)->Apply(Sizes);
BENCHMARK(BM_T_Memset)->Apply(Sizes);
BENCHMARK(BM_T_Flip_Ours)->Args({640, 480});
BENCHMARK(BM_T_Copy_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Copy_SDL)->Apply(Sizes);
BENCHMARK(BM_T_MergeCopy_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Key32_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Key32_SDL)->Apply(Sizes);
BENCHMARK(BM_T_KeyBlend_Ours)->Apply(Sizes);
BENCHMARK(BM_T_KeyBlend_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Alpha_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Alpha_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Plane32Sprite_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Plane32Random_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Plane32Sprite_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_Plane20_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FillRect_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FillRectBmp_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FadeFrame_Ours)->Apply(Sizes);
BENCHMARK(BM_T_BitRot_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Rotate_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Twice_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Twice32Plane_Ours)->Apply(Sizes);
BENCHMARK(BM_T_StretchNearest_Ours)->Apply(Sizes);
BENCHMARK(BM_T_StretchFiltered_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FreeRotate_Ours)->Apply(Sizes);
#ifdef ZORVA_BENCH_SDL_GFX
BENCHMARK(BM_T_FreeRotate_SDLgfx)->Apply(Sizes);
#endif

} // namespace
