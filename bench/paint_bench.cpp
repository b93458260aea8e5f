// Painting beside memcpy of the same bytes: a blended FillRectBmp over a
// whole bitmap, FillPolygon of a 100-vertex star covering most of the
// canvas, and one FadeOut frame (a step of 22 or more is exactly one frame:
// the scale and its Flip). Arguments: width, height.
#include <CCEBitmap.h>
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include "BenchCanvas.h"
#include "TargetBench.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

size_t FrameBytes(const benchmark::State& state) {
    return size_t(state.range(0)) * size_t(state.range(1)) * 2;
}

void SetBytes(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_PaintMemcpy(benchmark::State& state) {
    const size_t bytes = FrameBytes(state);
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes);
}

void BM_FillRectBmpBlend(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    CCEDraw canvas;
    CCEBitmap bitmap;
    bitmap.Surface(&canvas, w, h, 0x5A, 0);
    for (auto _ : state) {
        bitmap.FillRectBmp(0, 0, w - 1, h - 1, 13, 0x1234);
        benchmark::ClobberMemory();
    }
    SetBytes(state, FrameBytes(state));
}

void BM_FillPolygonStar100(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    BenchCanvas b(w, h);
    CCEBrush brush(0, 0x07E0, 0);
    b.canvas.SetGDIObject(&brush);
    std::vector<tagPOINT> star = zorva_bench::Star(w, h);
    for (auto _ : state) {
        b.canvas.FillPolygon(star.data(), 100, 0, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(state, FrameBytes(state));
}

void BM_FadeOutFrame(benchmark::State& state) {
    BenchCanvas b(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        b.canvas.FadeOut(22);
        benchmark::ClobberMemory();
    }
    SetBytes(state, FrameBytes(state));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({240, 320})->Args({640, 480});
}

BENCHMARK(BM_PaintMemcpy)->Apply(Sizes);
BENCHMARK(BM_FillRectBmpBlend)->Apply(Sizes);
BENCHMARK(BM_FillPolygonStar100)->Apply(Sizes);
BENCHMARK(BM_FadeOutFrame)->Apply(Sizes);

} // namespace
