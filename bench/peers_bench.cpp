// The peers of the target rows, on the same pixels as ours (TargetBench.h):
// pixman, SDL2 and, when installed, SDL2_gfx and SDL2_image, each doing the
// operation of the same name in targets_bench.cpp the way a caller of that
// library would. A peer that works in 32 bits still counts 2 bytes per
// pixel, so that bytes per second compare pixels per second.
#define SDL_MAIN_HANDLED
#include <CCEBitmap.h>
#include <CCEDraw.h>

#include "BenchCanvas.h"
#include "TargetBench.h"

#include <SDL.h>
#ifdef ZORVA_BENCH_SDL_GFX
#include <SDL2_gfxPrimitives.h>
#include <SDL2_rotozoom.h>
#endif
#ifdef ZORVA_BENCH_SDL_IMAGE
#include <SDL_image.h>
#endif
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace zorva_bench;

namespace {

// The peers' versions, for the table's header.
const bool kPeersNamed = [] {
    SDL_version sdl;
    SDL_GetVersion(&sdl);
    benchmark::AddCustomContext("pixman", pixman_version_string());
    benchmark::AddCustomContext("SDL2", std::to_string(sdl.major) + "." +
                                            std::to_string(sdl.minor) + "." +
                                            std::to_string(sdl.patch));
#ifdef ZORVA_BENCH_SDL_GFX
    benchmark::AddCustomContext("SDL2_gfx", std::to_string(SDL2_GFXPRIMITIVES_MAJOR) + "." +
                                                std::to_string(SDL2_GFXPRIMITIVES_MINOR) + "." +
                                                std::to_string(SDL2_GFXPRIMITIVES_MICRO));
#endif
#ifdef ZORVA_BENCH_SDL_IMAGE
    const SDL_version* image = IMG_Linked_Version();
    benchmark::AddCustomContext("SDL2_image", std::to_string(image->major) + "." +
                                                  std::to_string(image->minor) + "." +
                                                  std::to_string(image->patch));
#endif
    return true;
}();

struct FreeSurface {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, FreeSurface>;
struct Unref {
    void operator()(pixman_image_t* i) const { pixman_image_unref(i); }
};
using Image = std::unique_ptr<pixman_image_t, Unref>;

int Width(const BenchCanvas& screen) {
    return int(screen.canvas.m_DisplayProperties.cxWidth);
}
int Height(const BenchCanvas& screen) {
    return int(screen.canvas.m_DisplayProperties.cyHeight);
}

Surface Surface565(void* pixels, int w, int h, int pitch) {
    return Surface(
        SDL_CreateRGBSurfaceWithFormatFrom(pixels, w, h, 16, pitch, SDL_PIXELFORMAT_RGB565));
}
Surface CanvasSurface(BenchCanvas& screen) {
    return Surface565(screen.canvas.m_pBackBuffer, Width(screen), Height(screen),
                      screen.canvas.m_yPitch);
}
Surface SpriteSurface(Sprite& s) {
    return Surface565(s.bitmap.m_pPixels, s.width, s.height, s.width * 2);
}

// pixman rows must be whole 32-bit words: every width here is even.
Image Image565(void* pixels, int w, int h, int pitch) {
    return Image(
        pixman_image_create_bits(PIXMAN_r5g6b5, w, h, static_cast<uint32_t*>(pixels), pitch));
}
Image CanvasImage(BenchCanvas& screen) {
    return Image565(screen.canvas.m_pBackBuffer, Width(screen), Height(screen),
                    screen.canvas.m_yPitch);
}
Image SpriteImage(Sprite& s) {
    return Image565(s.bitmap.m_pPixels, s.width, s.height, s.width * 2);
}

// A constant opacity of 20 / 32 (alpha 160 of 255) as pixman takes one: a
// 1 x 1 a8 mask, repeated.
Image ConstantMask() {
    static uint32_t bits = 0xA0A0A0A0u; // 160 in every byte, whatever the byte order
    Image mask(pixman_image_create_bits(PIXMAN_a8, 1, 1, &bits, 4));
    pixman_image_set_repeat(mask.get(), PIXMAN_REPEAT_NORMAL);
    return mask;
}

// A solid colour of 8-bit components at alpha a / 32, premultiplied as
// pixman takes it.
Image Solid(uint32_t r8, uint32_t g8, uint32_t b8, uint32_t a32) {
    const auto channel = [a32](uint32_t v) { return uint16_t(v * 257 * a32 / 32); };
    const pixman_color_t colour = {channel(r8), channel(g8), channel(b8),
                                   uint16_t(std::min<uint32_t>(a32 * 2048, 0xFFFF))};
    return Image(pixman_image_create_solid_fill(&colour));
}

void SetTransform(pixman_image_t* image, double a, double b, double c, double d, double e, double f,
                  pixman_filter_t filter) {
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(a);
    t.matrix[0][1] = pixman_double_to_fixed(b);
    t.matrix[0][2] = pixman_double_to_fixed(c);
    t.matrix[1][0] = pixman_double_to_fixed(d);
    t.matrix[1][1] = pixman_double_to_fixed(e);
    t.matrix[1][2] = pixman_double_to_fixed(f);
    pixman_image_set_transform(image, &t);
    pixman_image_set_filter(image, filter, nullptr, 0);
}

// ---- SDL2: SDL_BlitSurface of the sprite to the middle of the canvas.

enum class SdlCase { Plain, ColorKey, KeyAlphaMod, AlphaMod, Argb, ArgbRandom, ArgbAlphaMod };

void SdlBlit(benchmark::State& state, SdlCase kind) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const bool argb = kind >= SdlCase::Argb;
    Sprite s(SpriteW(state), SpriteH(state), kind == SdlCase::ArgbRandom);
    Surface dst = CanvasSurface(screen);
    // ARGB8888 is SDL2's straight (not premultiplied) alpha.
    Surface src =
        argb ? Surface(SDL_CreateRGBSurfaceWithFormatFrom(s.straight.data(), s.width, s.height, 32,
                                                          s.width * 4, SDL_PIXELFORMAT_ARGB8888))
             : SpriteSurface(s);
    if (!dst || !src) return state.SkipWithError(SDL_GetError());
    const bool keyed = kind == SdlCase::ColorKey || kind == SdlCase::KeyAlphaMod;
    const bool modulated =
        kind == SdlCase::KeyAlphaMod || kind == SdlCase::AlphaMod || kind == SdlCase::ArgbAlphaMod;
    SDL_SetSurfaceBlendMode(src.get(),
                            argb || modulated ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    if (keyed) SDL_SetColorKey(src.get(), SDL_TRUE, kKey);
    if (modulated) SDL_SetSurfaceAlphaMod(src.get(), 160); // 20 / 32
    const SDL_Rect at = {(kCanvasW - s.width) / 2, (kCanvasH - s.height) / 2, s.width, s.height};
    for (auto _ : state) {
        SDL_Rect r = at;
        SDL_BlitSurface(src.get(), nullptr, dst.get(), &r);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void BM_T_Copy_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::Plain);
}
void BM_T_Key32_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::ColorKey);
}
void BM_T_KeyBlend_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::KeyAlphaMod);
}
void BM_T_Alpha_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::AlphaMod);
}
void BM_T_Plane32Sprite_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::Argb);
}
void BM_T_Plane32Random_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::ArgbRandom);
}
void BM_T_Plane20_SDL(benchmark::State& state) {
    SdlBlit(state, SdlCase::ArgbAlphaMod);
}

void BM_T_FillOpaque_SDL(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Surface dst = CanvasSurface(screen);
    const SDL_Rect rect = {0, 0, SpriteW(state), SpriteH(state)};
    for (auto _ : state) {
        SDL_FillRect(dst.get(), &rect, 0x1234);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(rect.w) * rect.h * 2);
}

// SDL_BlitScaled (nearest) of the half-size sprite: onto the canvas at
// twice the size (Twice), or into a picture of its own (StretchNearest).
void SdlScaled(benchmark::State& state, bool ontoCanvas) {
    const int w = SpriteW(state), h = SpriteH(state);
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(w / 2, h / 2);
    Surface src = SpriteSurface(s);
    Surface dst =
        ontoCanvas ? CanvasSurface(screen)
                   : Surface(SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565));
    if (!dst || !src) return state.SkipWithError(SDL_GetError());
    for (auto _ : state) {
        SDL_Rect r = {0, 0, w, h};
        SDL_BlitScaled(src.get(), nullptr, dst.get(), &r);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}
void BM_T_Twice_SDL(benchmark::State& state) {
    SdlScaled(state, true);
}
void BM_T_StretchNearest_SDL(benchmark::State& state) {
    SdlScaled(state, false);
}

// ---- pixman: pixman_image_composite32 onto the canvas.

enum class PixmanCase { Copy, Alpha, Plane32Sprite, Plane32Random, Plane20 };

// Copy: SRC of r5g6b5; Alpha: r5g6b5 OVER through the constant a8 mask;
// Plane*: premultiplied a8r8g8b8 OVER, Plane20 through the mask.
void PixmanBlit(benchmark::State& state, PixmanCase kind) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(SpriteW(state), SpriteH(state), kind == PixmanCase::Plane32Random);
    const bool plane = kind >= PixmanCase::Plane32Sprite;
    Image dst = CanvasImage(screen);
    Image src = plane ? Image(pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height,
                                                       s.premultiplied.data(), s.width * 4))
                      : SpriteImage(s);
    Image mask =
        kind == PixmanCase::Alpha || kind == PixmanCase::Plane20 ? ConstantMask() : Image();
    const pixman_op_t op = kind == PixmanCase::Copy ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
    const int x = (kCanvasW - s.width) / 2, y = (kCanvasH - s.height) / 2;
    for (auto _ : state) {
        pixman_image_composite32(op, src.get(), mask.get(), dst.get(), 0, 0, 0, 0, x, y, s.width,
                                 s.height);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(s.width) * s.height * 2);
}

void BM_T_Copy_Pixman(benchmark::State& state) {
    PixmanBlit(state, PixmanCase::Copy);
}
void BM_T_Alpha_Pixman(benchmark::State& state) {
    PixmanBlit(state, PixmanCase::Alpha);
}
void BM_T_Plane32Sprite_Pixman(benchmark::State& state) {
    PixmanBlit(state, PixmanCase::Plane32Sprite);
}
void BM_T_Plane32Random_Pixman(benchmark::State& state) {
    PixmanBlit(state, PixmanCase::Plane32Random);
}
void BM_T_Plane20_Pixman(benchmark::State& state) {
    PixmanBlit(state, PixmanCase::Plane20);
}

void BM_T_FillOpaque_Pixman(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const int w = SpriteW(state), h = SpriteH(state);
    auto* bits = reinterpret_cast<uint32_t*>(screen.canvas.m_pBackBuffer);
    for (auto _ : state) {
        pixman_fill(bits, screen.canvas.m_yPitch / 4, 16, 0, 0, w, h, 0x1234);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

// A solid colour OVER the canvas's top-left w x h: the blended fill
// (0x1234 at 13 / 32) and a fade frame's step (black at 1 / 32, leaving
// 31 / 32 of every channel).
void PixmanSolidOver(benchmark::State& state, Image solid) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    Image dst = CanvasImage(screen);
    const int w = SpriteW(state), h = SpriteH(state);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, solid.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0,
                                 w, h);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}
void BM_T_FillBlend_Pixman(benchmark::State& state) {
    PixmanSolidOver(state, Solid(2 << 3, 17 << 2, 20 << 3, 13)); // 0x1234
}
void BM_T_FadeFrame_Pixman(benchmark::State& state) {
    PixmanSolidOver(state, Solid(0, 0, 0, 1));
}

// A quarter turn by a transform (u = w - y, v = x): the sprite of
// BM_T_BitRot_Ours, w x h, drawn as h x w at the canvas's corner.
void BM_T_BitRot_Pixman(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    const int w = std::min(SpriteH(state), kCanvasH), h = std::min(SpriteW(state), kCanvasW);
    Sprite s(w, h);
    Image dst = CanvasImage(screen), src = SpriteImage(s);
    SetTransform(src.get(), 0, -1, w, 1, 0, 0, PIXMAN_FILTER_NEAREST);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, h,
                                 w);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

// The half-size sprite scaled twice by a transform: onto the canvas
// (Twice) or into a picture of its own (Stretch*).
void PixmanScaled(benchmark::State& state, bool ontoCanvas, pixman_filter_t filter) {
    const int w = SpriteW(state), h = SpriteH(state);
    BenchCanvas screen(kCanvasW, kCanvasH);
    Sprite s(w / 2, h / 2);
    std::vector<uint16_t> own(size_t(w) * h);
    Image dst = ontoCanvas ? CanvasImage(screen) : Image565(own.data(), w, h, w * 2);
    Image src = SpriteImage(s);
    SetTransform(src.get(), 0.5, 0, 0, 0, 0.5, 0, filter);
    pixman_image_set_repeat(src.get(), PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, w,
                                 h);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}
void BM_T_Twice_Pixman(benchmark::State& state) {
    PixmanScaled(state, true, PIXMAN_FILTER_NEAREST);
}
void BM_T_StretchNearest_Pixman(benchmark::State& state) {
    PixmanScaled(state, false, PIXMAN_FILTER_NEAREST);
}
void BM_T_StretchFiltered_Pixman(benchmark::State& state) {
    PixmanScaled(state, false, PIXMAN_FILTER_BILINEAR);
}

// The sprite turned 30 degrees clockwise about its top-left corner into the
// box FreeRotate makes (nearest; outside the sprite 0), per output pixel.
void BM_T_FreeRotate_Pixman(benchmark::State& state) {
    Sprite s(SpriteW(state), SpriteH(state));
    s.bitmap.m_bARGB = 0;
    CCEBitmap ours;
    ours.FreeRotate(&s.bitmap, 30, 0);
    const int boxW = ours.m_nWidth, boxH = ours.m_nHeight, stride = (boxW * 2 + 3) & ~3;
    std::vector<uint32_t> box(size_t(stride / 4) * boxH);
    Image dst = Image565(box.data(), boxW, boxH, stride), src = SpriteImage(s);
    // Box pixel (X, Y) is the turned point (X - h sin, Y): turned back by
    // the inverse rotation.
    const double c = std::cos(M_PI / 6), sn = std::sin(M_PI / 6), left = -s.height * sn;
    SetTransform(src.get(), c, sn, c * left, -sn, c, -sn * left, PIXMAN_FILTER_NEAREST);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0,
                                 boxW, boxH);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(boxW) * boxH * 2);
}

#ifdef ZORVA_BENCH_SDL_GFX
// ---- SDL2_gfx. Its transforms take the 16-bit sprite, convert it to 32
// bits and return a new 32-bit surface, as they would for a caller.

void SdlGfxZoom(benchmark::State& state, int smooth) {
    const int w = SpriteW(state), h = SpriteH(state);
    Sprite s(w / 2, h / 2);
    Surface src = SpriteSurface(s);
    int64_t outPixels = 0;
    for (auto _ : state) {
        Surface out(zoomSurface(src.get(), 2.0, 2.0, smooth));
        if (!out) return state.SkipWithError("zoomSurface failed");
        outPixels = int64_t(out->w) * out->h;
    }
    SetBytes(state, outPixels * 2);
}
void BM_T_StretchNearest_SDLgfx(benchmark::State& state) {
    SdlGfxZoom(state, SMOOTHING_OFF);
}
void BM_T_StretchFiltered_SDLgfx(benchmark::State& state) {
    SdlGfxZoom(state, SMOOTHING_ON);
}

// rotozoomSurface at 30 degrees, no smoothing; per output pixel.
void BM_T_FreeRotate_SDLgfx(benchmark::State& state) {
    Sprite s(SpriteW(state), SpriteH(state));
    Surface src = SpriteSurface(s);
    int64_t outPixels = 0;
    for (auto _ : state) {
        Surface out(rotozoomSurface(src.get(), 30.0, 1.0, SMOOTHING_OFF));
        if (!out) return state.SkipWithError("rotozoomSurface failed");
        outPixels = int64_t(out->w) * out->h;
    }
    SetBytes(state, outPixels * 2);
}

// SDL2_gfx draws through an SDL_Renderer: SDL2's software renderer on an
// RGB565 surface over the canvas.
struct SoftwareRenderer {
    explicit SoftwareRenderer(BenchCanvas& screen)
        : surface(CanvasSurface(screen)),
          renderer(surface ? SDL_CreateSoftwareRenderer(surface.get()) : nullptr) {}
    ~SoftwareRenderer() {
        if (renderer) SDL_DestroyRenderer(renderer);
    }
    SoftwareRenderer(const SoftwareRenderer&) = delete;
    SoftwareRenderer& operator=(const SoftwareRenderer&) = delete;
    Surface surface;
    SDL_Renderer* renderer;
};

// The same 1000 lines as BM_T_Line_Ours, opaque white, per pixel drawn.
void BM_T_Line_SDLgfx(benchmark::State& state) {
    const int w = SpriteW(state), h = SpriteH(state);
    BenchCanvas screen(w, h);
    SoftwareRenderer r(screen);
    if (!r.renderer) return state.SkipWithError(SDL_GetError());
    const std::vector<tagPOINT> ends = LineEnds(w, h);
    for (auto _ : state) {
        for (size_t i = 0; i < ends.size(); i += 2)
            lineColor(r.renderer, Sint16(ends[i].x), Sint16(ends[i].y), Sint16(ends[i + 1].x),
                      Sint16(ends[i + 1].y), 0xFFFFFFFF);
        SDL_RenderFlush(r.renderer);
        benchmark::ClobberMemory();
    }
    SetBytes(state, LinePixels(ends) * 2);
}

// The same star as BM_T_Polygon_Ours, opaque green, per pixel it covers.
void BM_T_Polygon_SDLgfx(benchmark::State& state) {
    const int w = SpriteW(state), h = SpriteH(state);
    BenchCanvas screen(w, h, 0);
    SoftwareRenderer r(screen);
    if (!r.renderer) return state.SkipWithError(SDL_GetError());
    std::vector<Sint16> vx, vy;
    for (const tagPOINT& p : Star(w, h)) {
        vx.push_back(Sint16(p.x));
        vy.push_back(Sint16(p.y));
    }
    const auto draw = [&] {
        filledPolygonColor(r.renderer, vx.data(), vy.data(), int(vx.size()), 0xFF00FF00);
        SDL_RenderFlush(r.renderer);
    };
    draw();
    const int64_t pixels =
        CountPixels(screen.canvas.m_pBackBuffer, screen.canvas.m_yPitch, w, h, 0x07E0);
    for (auto _ : state) {
        draw();
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = double(pixels);
    SetBytes(state, pixels * 2);
}
#endif

#ifdef ZORVA_BENCH_SDL_IMAGE
// IMG_Load decodes the whole photo; SDL_BlitScaled (nearest) fits it into
// an RGB565 surface of the box's size. Per pixel of the result.
void BM_T_LoadJpeg_SDLimage(benchmark::State& state) {
    const std::string path = PhotoPath();
    const int w = SpriteW(state), h = SpriteH(state);
    IMG_Init(IMG_INIT_JPG);
    Surface target(SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565));
    for (auto _ : state) {
        Surface image(IMG_Load(path.c_str()));
        if (!image) return state.SkipWithError("the corpus photo does not load");
        SDL_BlitScaled(image.get(), nullptr, target.get(), nullptr);
        benchmark::DoNotOptimize(target->pixels);
    }
    IMG_Quit();
    SetBytes(state, int64_t(w) * h * 2);
}
#endif

BENCHMARK(BM_T_Copy_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Copy_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_Key32_SDL)->Apply(Sizes)->Apply(SmallSprites);
BENCHMARK(BM_T_KeyBlend_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Alpha_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Alpha_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_Plane32Sprite_SDL)->Apply(Sizes)->Args({32, 32});
BENCHMARK(BM_T_Plane32Sprite_Pixman)->Apply(Sizes)->Args({32, 32});
BENCHMARK(BM_T_Plane32Random_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Plane32Random_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_Plane20_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Plane20_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_FillOpaque_SDL)->Apply(Sizes);
BENCHMARK(BM_T_FillOpaque_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_FillBlend_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_FadeFrame_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_BitRot_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_Twice_SDL)->Apply(Sizes);
BENCHMARK(BM_T_Twice_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_StretchNearest_SDL)->Apply(Sizes);
BENCHMARK(BM_T_StretchNearest_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_StretchFiltered_Pixman)->Apply(Sizes);
BENCHMARK(BM_T_FreeRotate_Pixman)->Apply(Sizes);
#ifdef ZORVA_BENCH_SDL_GFX
BENCHMARK(BM_T_StretchNearest_SDLgfx)->Apply(Sizes);
BENCHMARK(BM_T_StretchFiltered_SDLgfx)->Apply(Sizes);
BENCHMARK(BM_T_FreeRotate_SDLgfx)->Apply(Sizes);
BENCHMARK(BM_T_Line_SDLgfx)->Apply(Sizes);
BENCHMARK(BM_T_Polygon_SDLgfx)->Apply(Sizes);
#endif
#ifdef ZORVA_BENCH_SDL_IMAGE
BENCHMARK(BM_T_LoadJpeg_SDLimage)->Apply(PhotoSizes);
#endif

} // namespace
