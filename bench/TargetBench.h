// What the target rows (targets_bench.cpp: ours, memcpy and memset) and
// their peers (peers_bench.cpp) share, so that both sides draw the same
// pixels: the canvas size, the sprite, the lines, the star and the photo.
//
// Names: BM_T_<operation>_<who>/<width>/<height>, who being Ours, SDL,
// Pixman, SDLgfx or SDLimage; the limits are BM_T_Memcpy and BM_T_Memset.
// Every row counts 2 bytes per pixel it writes (or, for lines and
// polygons, per pixel it draws), whatever the peer's own format, so bytes
// per second / 2 is pixels per second; bench/benchmark_table.py pairs the
// rows of one operation and size.
#ifndef ZORVA_BENCH_TARGETBENCH_H
#define ZORVA_BENCH_TARGETBENCH_H

#include <CCEBitmap.h>
#include <CCEDraw.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace zorva_bench {

constexpr int kCanvasW = 640, kCanvasH = 480;
constexpr uint16_t kKey = 0xF81F;

inline void SetBytes(benchmark::State& state, int64_t bytesPerIteration) {
    state.SetBytesProcessed(int64_t(state.iterations()) * bytesPerIteration);
}

inline int SpriteW(const benchmark::State& s) {
    return int(s.range(0));
}
inline int SpriteH(const benchmark::State& s) {
    return int(s.range(1));
}

// The two sizes of most rows: a 640 x 480 frame and a 64 x 64 sprite.
inline void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({64, 64});
}

// The sizes most game sprites have, where the cost of a call weighs as much
// as the pixels.
inline void SmallSprites(benchmark::internal::Benchmark* b) {
    b->Args({32, 32})->Args({16, 16});
}

// A sprite: an opaque disc with a soft edge on a keyed, transparent
// background (the alpha plane 0 outside, 32 inside, 1..31 over three
// pixels), or random weights 0..32 everywhere; also as 32-bit ARGB,
// straight (SDL2) and premultiplied (pixman).
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

// 1000 lines between random points of a w x h canvas: 2000 ends.
inline std::vector<tagPOINT> LineEnds(int w, int h) {
    std::mt19937 rng(1);
    std::vector<tagPOINT> ends(2000);
    for (tagPOINT& p : ends)
        p = {int32_t(rng() % uint32_t(w)), int32_t(rng() % uint32_t(h))};
    return ends;
}

// The pixels Bresenham's lines through those ends draw, both ends included.
inline int64_t LinePixels(const std::vector<tagPOINT>& ends) {
    int64_t pixels = 0;
    for (size_t i = 0; i < ends.size(); i += 2)
        pixels +=
            std::max(std::abs(ends[i].x - ends[i + 1].x), std::abs(ends[i].y - ends[i + 1].y)) + 1;
    return pixels;
}

// A 100-vertex star covering most of a w x h canvas: 50 points alternating
// between an outer and an inner radius.
inline std::vector<tagPOINT> Star(int w, int h) {
    std::vector<tagPOINT> star(100);
    const double outer = 0.5 * std::min(w, h), inner = 0.35 * std::min(w, h);
    for (int i = 0; i < 100; ++i) {
        const double a = i * M_PI / 50.0, r = i % 2 ? inner : outer;
        star[size_t(i)] = {int32_t(std::lround(w / 2.0 + r * std::cos(a))),
                           int32_t(std::lround(h / 2.0 + r * std::sin(a)))};
    }
    return star;
}

// Pixels of a w x h RGB565 picture (rows `pitch` bytes apart) equal to
// `colour`: what a fill drew over a background of another colour.
inline int64_t CountPixels(const uint8_t* first, int pitch, int w, int h, uint16_t colour) {
    int64_t n = 0;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(first + ptrdiff_t(y) * pitch);
        n += std::count(row, row + w, colour);
    }
    return n;
}

// The photo of the loading rows: a 2048 x 1536 camera-sized JPEG of the
// test corpus (made by the build; empty when the corpus is not built).
inline std::string PhotoPath() {
#ifdef ZORVA_CORPUS_DIR
    return std::string(ZORVA_CORPUS_DIR) + "/photo_2048x1536.jpg";
#else
    return std::string();
#endif
}

// The loading rows' boxes, which the 4:3 photo fills: a 640 x 480 screen
// and a 320 x 240 one.
inline void PhotoSizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({320, 240})->Unit(benchmark::kMillisecond);
}

} // namespace zorva_bench

#endif // ZORVA_BENCH_TARGETBENCH_H
