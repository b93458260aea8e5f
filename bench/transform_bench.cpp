// The bitmap transforms against the physical limit: each beside memcpy of
// the bytes of pixels it writes.
#include <CCEBitmap.h>
#include <CCEDraw.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// A w x h bitmap of random pixels, without alpha.
void RandomBitmap(CCEBitmap& b, int w, int h) {
    CCEDraw canvas; // only for default sizes, which are not asked for
    b.Surface(&canvas, w, h, 0, 0);
    std::mt19937 rng(1);
    for (int i = 0; i < w * h; ++i)
        b.m_pPixels[i] = uint16_t(rng());
}

void SetBytes(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// Arguments: output width, output height.
void BM_StretchNearest(benchmark::State& state) {
    CCEBitmap src, out;
    RandomBitmap(src, 320, 240);
    const int w = int(state.range(0)), h = int(state.range(1));
    for (auto _ : state) {
        out.Stretch(&src, w, h, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(state, size_t(w) * size_t(h) * 2);
}

void BM_StretchFiltered(benchmark::State& state) {
    CCEBitmap src, out;
    RandomBitmap(src, 320, 240);
    const int w = int(state.range(0)), h = int(state.range(1));
    for (auto _ : state) {
        out.Stretch(&src, w, h, 1);
        benchmark::ClobberMemory();
    }
    SetBytes(state, size_t(w) * size_t(h) * 2);
}

// 320 x 240 at 30 degrees: a 397 x 367 box.
void BM_FreeRotate30(benchmark::State& state) {
    CCEBitmap src, out;
    RandomBitmap(src, 320, 240);
    for (auto _ : state) {
        out.FreeRotate(&src, 30, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(state, size_t(out.m_nWidth) * size_t(out.m_nHeight) * 2);
    state.counters["width"] = out.m_nWidth;
    state.counters["height"] = out.m_nHeight;
}

void BM_RotateQuarter(benchmark::State& state) {
    CCEBitmap b;
    RandomBitmap(b, 640, 480);
    for (auto _ : state) {
        b.Rotate(1);
        benchmark::ClobberMemory();
    }
    SetBytes(state, 640 * 480 * 2);
}

// 320 x 240 onto a trapezoid 320 wide at the bottom, 240 at the top, with
// reflection: 319 x 300 buffer rows.
void BM_StretchExReflect(benchmark::State& state) {
    CCEBitmap src, out;
    RandomBitmap(src, 320, 240);
    for (auto _ : state) {
        out.StretchEx(&src, 40, 0, 279, 0, 0, 239, 319, 239, 0, 1, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(state, size_t(out.m_nWidth) * size_t(out.m_nHeight + 1) * 2);
}

// Argument: bytes.
void BM_MemcpyBytes(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0));
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes);
}

} // namespace

BENCHMARK(BM_StretchNearest)->Args({640, 480})->Args({160, 120});
BENCHMARK(BM_StretchFiltered)->Args({640, 480})->Args({160, 120});
BENCHMARK(BM_FreeRotate30);
BENCHMARK(BM_RotateQuarter);
BENCHMARK(BM_StretchExReflect);
// The output bytes of the cases above: 640 x 480, 160 x 120, 397 x 367,
// 319 x 300 pixels.
BENCHMARK(BM_MemcpyBytes)
    ->Arg(640 * 480 * 2)
    ->Arg(160 * 120 * 2)
    ->Arg(397 * 367 * 2)
    ->Arg(319 * 300 * 2);
