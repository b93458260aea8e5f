// The sprite scene: N sprites of 32 x 32 moving over a 320 x 240 background,
// a frame being the background copied in, every sprite drawn and the frame
// presented (ours: Flip onto the virtual display; a peer: a copy of its back
// surface into a second surface standing for the display). A third of the
// sprites are keyed, a third have an alpha plane (soft edges), a third are
// keyed at half opacity. Every library draws the same scene, sprites at the
// same places, in its own formats as its callers would: SDL2 blits onto an
// RGB565 surface (colour key, straight ARGB8888, alpha modulation), pixman
// and cairo composite premultiplied ARGB OVER r5g6b5 images.
//
// Rows: BM_T_Sprites_<who>/<N>, one frame per iteration. With the frame
// without sprites (N = 0) and a frame with many, bench/benchmark_table.py
// works out the cost of a sprite and so the most sprites a frame can draw
// at 60 frames per second on one core.
#define SDL_MAIN_HANDLED
#include <CCEBitmap.h>
#include <CCEDraw.h>

#include "BenchCanvas.h"
#include "TargetBench.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>
#ifdef ZORVA_BENCH_CAIRO
#include <cairo.h>
#endif

#include <cstring>
#include <memory>
#include <random>
#include <vector>

using namespace zorva_bench;

namespace {

#ifdef ZORVA_BENCH_CAIRO
const bool kCairoNamed = [] {
    benchmark::AddCustomContext("cairo", cairo_version_string());
    return true;
}();
#endif

constexpr int kSceneW = 320, kSceneH = 240, kSize = 32;

// Where every sprite is in each frame: positions from a seed, moving a few
// pixels a frame and turning back at the edges, where up to half of a
// sprite leaves the screen (so the clipping runs too).
struct Motion {
    struct Body {
        int x, y, dx, dy;
    };
    explicit Motion(int count) {
        std::mt19937 rng(7);
        bodies.resize(size_t(count));
        for (Body& b : bodies) {
            b.x = int(rng() % (kSceneW - kSize / 2)) - kSize / 4;
            b.y = int(rng() % (kSceneH - kSize / 2)) - kSize / 4;
            b.dx = int(rng() % 7) - 3;
            b.dy = int(rng() % 5) - 2;
        }
    }
    void Step() {
        for (Body& b : bodies) {
            b.x += b.dx;
            b.y += b.dy;
            if (b.x < -kSize / 2 || b.x > kSceneW - kSize / 2) b.dx = -b.dx;
            if (b.y < -kSize / 2 || b.y > kSceneH - kSize / 2) b.dy = -b.dy;
        }
    }
    std::vector<Body> bodies;
};

// The kinds, sprite i being of kind i % 3.
enum Kind { kKeyed, kPlane, kHalf };

// The background: a pattern of every colour, as RGB565.
std::vector<uint16_t> Background() {
    std::vector<uint16_t> p(size_t(kSceneW) * kSceneH);
    for (int y = 0; y < kSceneH; ++y)
        for (int x = 0; x < kSceneW; ++x)
            p[size_t(y) * kSceneW + x] =
                uint16_t((x * 31 / kSceneW) << 11 | ((x ^ y) & 63) << 5 | (y * 31 / kSceneH));
    return p;
}

// The keyed sprite as premultiplied ARGB (pixman, cairo): transparent where
// the key is, opaque elsewhere.
std::vector<uint32_t> KeyedArgb(const Sprite& s) {
    std::vector<uint32_t> out(size_t(s.width) * s.height);
    for (size_t i = 0; i < out.size(); ++i) {
        const uint32_t p = s.bitmap.m_pPixels[i];
        out[i] =
            p == kKey ? 0u : 0xFF000000u | (p >> 11) << 19 | ((p >> 5) & 63) << 10 | (p & 31) << 3;
    }
    return out;
}

void Finish(benchmark::State& state, int count) {
    state.counters["sprites"] = count;
    // Pixels written: the background and the present, and every sprite.
    SetBytes(state, (2 * int64_t(kSceneW) * kSceneH + int64_t(count) * kSize * kSize) * 2);
}

int Count(const benchmark::State& state) {
    return int(state.range(0));
}

void BM_T_Sprites_Ours(benchmark::State& state) {
    BenchCanvas screen(kSceneW, kSceneH);
    CCEDraw& canvas = screen.canvas;
    CCEBitmap background;
    background.Surface(&canvas, kSceneW, kSceneH, 0, 0);
    const std::vector<uint16_t> pattern = Background();
    std::memcpy(background.m_pPixels, pattern.data(), pattern.size() * 2);
    Sprite keyed(kSize, kSize), plane(kSize, kSize);
    keyed.bitmap.m_bARGB = 0;
    Motion motion(Count(state));
    for (auto _ : state) {
        motion.Step();
        background.BitBlt(&canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
        for (size_t i = 0; i < motion.bodies.size(); ++i) {
            const Motion::Body& b = motion.bodies[i];
            switch (i % 3) {
            case kKeyed:
                keyed.bitmap.BitBlt(&canvas, b.x, b.y, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
                break;
            case kPlane:
                plane.bitmap.BitBlt(&canvas, b.x, b.y, 0, 0, 0, 0, SRCCOPY, 32);
                break;
            default:
                keyed.bitmap.BitBlt(&canvas, b.x, b.y, 0, 0, 0, 0, BLT_TRANSPARENT, 16);
            }
        }
        canvas.Flip();
        benchmark::ClobberMemory();
    }
    Finish(state, Count(state));
}

struct FreeSurface {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, FreeSurface>;

Surface Rgb565Surface(void* pixels, int w, int h) {
    return Surface(
        SDL_CreateRGBSurfaceWithFormatFrom(pixels, w, h, 16, w * 2, SDL_PIXELFORMAT_RGB565));
}

void BM_T_Sprites_SDL(benchmark::State& state) {
    std::vector<uint16_t> pattern = Background(), back(pattern.size()), display(pattern.size());
    Sprite sprite(kSize, kSize);
    Surface background = Rgb565Surface(pattern.data(), kSceneW, kSceneH);
    Surface backSurface = Rgb565Surface(back.data(), kSceneW, kSceneH);
    Surface displaySurface = Rgb565Surface(display.data(), kSceneW, kSceneH);
    Surface keyed = Rgb565Surface(sprite.bitmap.m_pPixels, kSize, kSize);
    Surface half = Rgb565Surface(sprite.bitmap.m_pPixels, kSize, kSize);
    Surface plane(SDL_CreateRGBSurfaceWithFormatFrom(sprite.straight.data(), kSize, kSize, 32,
                                                     kSize * 4, SDL_PIXELFORMAT_ARGB8888));
    if (!background || !backSurface || !displaySurface || !keyed || !half || !plane)
        return state.SkipWithError(SDL_GetError());
    SDL_SetColorKey(keyed.get(), SDL_TRUE, kKey);
    SDL_SetColorKey(half.get(), SDL_TRUE, kKey);
    SDL_SetSurfaceBlendMode(half.get(), SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(half.get(), 128);
    SDL_SetSurfaceBlendMode(plane.get(), SDL_BLENDMODE_BLEND);
    SDL_Surface* kinds[3] = {keyed.get(), plane.get(), half.get()};
    Motion motion(Count(state));
    for (auto _ : state) {
        motion.Step();
        SDL_BlitSurface(background.get(), nullptr, backSurface.get(), nullptr);
        for (size_t i = 0; i < motion.bodies.size(); ++i) {
            SDL_Rect at = {motion.bodies[i].x, motion.bodies[i].y, kSize, kSize};
            SDL_BlitSurface(kinds[i % 3], nullptr, backSurface.get(), &at);
        }
        SDL_BlitSurface(backSurface.get(), nullptr, displaySurface.get(), nullptr);
        benchmark::ClobberMemory();
    }
    Finish(state, Count(state));
}

struct Unref {
    void operator()(pixman_image_t* i) const { pixman_image_unref(i); }
};
using Image = std::unique_ptr<pixman_image_t, Unref>;

Image PixmanImage(pixman_format_code_t format, void* bits, int w, int h, int pitch) {
    return Image(pixman_image_create_bits(format, w, h, static_cast<uint32_t*>(bits), pitch));
}

void BM_T_Sprites_Pixman(benchmark::State& state) {
    std::vector<uint16_t> pattern = Background(), back(pattern.size()), display(pattern.size());
    Sprite sprite(kSize, kSize);
    std::vector<uint32_t> keyedArgb = KeyedArgb(sprite);
    Image background = PixmanImage(PIXMAN_r5g6b5, pattern.data(), kSceneW, kSceneH, kSceneW * 2);
    Image backImage = PixmanImage(PIXMAN_r5g6b5, back.data(), kSceneW, kSceneH, kSceneW * 2);
    Image displayImage = PixmanImage(PIXMAN_r5g6b5, display.data(), kSceneW, kSceneH, kSceneW * 2);
    Image keyed = PixmanImage(PIXMAN_a8r8g8b8, keyedArgb.data(), kSize, kSize, kSize * 4);
    Image plane =
        PixmanImage(PIXMAN_a8r8g8b8, sprite.premultiplied.data(), kSize, kSize, kSize * 4);
    static uint32_t halfBits = 0x80808080u; // 128 in every byte
    Image half = PixmanImage(PIXMAN_a8, &halfBits, 1, 1, 4);
    pixman_image_set_repeat(half.get(), PIXMAN_REPEAT_NORMAL);
    pixman_image_t* kinds[3] = {keyed.get(), plane.get(), keyed.get()};
    Motion motion(Count(state));
    for (auto _ : state) {
        motion.Step();
        pixman_image_composite32(PIXMAN_OP_SRC, background.get(), nullptr, backImage.get(), 0, 0, 0,
                                 0, 0, 0, kSceneW, kSceneH);
        for (size_t i = 0; i < motion.bodies.size(); ++i) {
            const Motion::Body& b = motion.bodies[i];
            pixman_image_composite32(PIXMAN_OP_OVER, kinds[i % 3],
                                     i % 3 == kHalf ? half.get() : nullptr, backImage.get(), 0, 0,
                                     0, 0, b.x, b.y, kSize, kSize);
        }
        pixman_image_composite32(PIXMAN_OP_SRC, backImage.get(), nullptr, displayImage.get(), 0, 0,
                                 0, 0, 0, 0, kSceneW, kSceneH);
        benchmark::ClobberMemory();
    }
    Finish(state, Count(state));
}

#ifdef ZORVA_BENCH_CAIRO
struct Destroy {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, Destroy>;
using Cairo = std::unique_ptr<cairo_t, Destroy>;

// An image surface of cairo's own holding `pixels` (rows of `bytesPerRow`).
CairoSurface CairoImage(cairo_format_t format, const void* pixels, int w, int h, int bytesPerRow) {
    CairoSurface s(cairo_image_surface_create(format, w, h));
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < h && data; ++y)
        std::memcpy(data + ptrdiff_t(y) * stride,
                    static_cast<const unsigned char*>(pixels) + ptrdiff_t(y) * bytesPerRow,
                    size_t(bytesPerRow));
    cairo_surface_mark_dirty(s.get());
    return s;
}

void BM_T_Sprites_Cairo(benchmark::State& state) {
    const std::vector<uint16_t> pattern = Background();
    Sprite sprite(kSize, kSize);
    const std::vector<uint32_t> keyedArgb = KeyedArgb(sprite);
    CairoSurface background =
        CairoImage(CAIRO_FORMAT_RGB16_565, pattern.data(), kSceneW, kSceneH, kSceneW * 2);
    CairoSurface back(cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kSceneW, kSceneH));
    CairoSurface display(cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kSceneW, kSceneH));
    CairoSurface keyed = CairoImage(CAIRO_FORMAT_ARGB32, keyedArgb.data(), kSize, kSize, kSize * 4);
    CairoSurface plane =
        CairoImage(CAIRO_FORMAT_ARGB32, sprite.premultiplied.data(), kSize, kSize, kSize * 4);
    Cairo onBack(cairo_create(back.get())), onDisplay(cairo_create(display.get()));
    if (cairo_status(onBack.get()) != CAIRO_STATUS_SUCCESS ||
        cairo_status(onDisplay.get()) != CAIRO_STATUS_SUCCESS)
        return state.SkipWithError("cairo could not make its surfaces");
    cairo_set_operator(onDisplay.get(), CAIRO_OPERATOR_SOURCE);
    cairo_surface_t* kinds[3] = {keyed.get(), plane.get(), keyed.get()};
    Motion motion(Count(state));
    for (auto _ : state) {
        motion.Step();
        cairo_t* cr = onBack.get();
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, background.get(), 0, 0);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        for (size_t i = 0; i < motion.bodies.size(); ++i) {
            const Motion::Body& b = motion.bodies[i];
            cairo_set_source_surface(cr, kinds[i % 3], b.x, b.y);
            if (i % 3 == kHalf)
                cairo_paint_with_alpha(cr, 0.5);
            else
                cairo_paint(cr);
        }
        cairo_set_source_surface(onDisplay.get(), back.get(), 0, 0);
        cairo_paint(onDisplay.get());
        cairo_surface_flush(display.get());
        benchmark::ClobberMemory();
    }
    Finish(state, Count(state));
}
#endif

// The frame without sprites, and with enough that their cost dominates.
void Counts(benchmark::internal::Benchmark* b) {
    b->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_T_Sprites_Ours)->Apply(Counts);
BENCHMARK(BM_T_Sprites_SDL)->Apply(Counts);
BENCHMARK(BM_T_Sprites_Pixman)->Apply(Counts);
#ifdef ZORVA_BENCH_CAIRO
BENCHMARK(BM_T_Sprites_Cairo)->Apply(Counts);
#endif

} // namespace
