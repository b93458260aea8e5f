// The canvas core against the physical limit: Flip and the byte Clear beside
// memcpy and memset of the same bytes, full-canvas fills and random lines.
// Arguments: canvas width, height.
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include "BenchCanvas.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

void SetBytes(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_Flip(benchmark::State& state) {
    BenchCanvas b(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        b.canvas.Flip();
        benchmark::ClobberMemory();
    }
    SetBytes(state, b.canvas.m_cbBackBuffer);
}

void BM_MemcpyFrame(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 2;
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes);
}

void BM_ClearBytes(benchmark::State& state) {
    BenchCanvas b(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        b.canvas.Clear(0ul);
        benchmark::ClobberMemory();
    }
    SetBytes(state, b.canvas.m_cbBackBuffer);
}

void BM_MemsetFrame(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 2;
    std::vector<uint8_t> to(bytes);
    for (auto _ : state) {
        std::memset(to.data(), 0, bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes);
}

void BM_FillRectOpaque(benchmark::State& state) {
    BenchCanvas b(int(state.range(0)), int(state.range(1)));
    CCEBrush brush(0, 0x1234, 0);
    b.canvas.SetGDIObject(&brush);
    for (auto _ : state) {
        b.canvas.FillRect(0, 0, state.range(0), state.range(1), 32);
        benchmark::ClobberMemory();
    }
    SetBytes(state, size_t(state.range(0)) * size_t(state.range(1)) * 2);
}

void BM_FillRectBlend(benchmark::State& state) {
    BenchCanvas b(int(state.range(0)), int(state.range(1)));
    CCEBrush brush(0, 0x1234, 0);
    b.canvas.SetGDIObject(&brush);
    for (auto _ : state) {
        b.canvas.FillRect(0, 0, state.range(0), state.range(1), 13);
        benchmark::ClobberMemory();
    }
    SetBytes(state, size_t(state.range(0)) * size_t(state.range(1)) * 2);
}

void BM_DrawLine1000(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    BenchCanvas b(w, h);
    CCEPen pen(0, 1, 0xFFFF);
    b.canvas.SetGDIObject(&pen);
    std::mt19937 rng(1);
    std::vector<tagPOINT> ends(2000);
    for (tagPOINT& p : ends)
        p = {int32_t(rng() % uint32_t(w)), int32_t(rng() % uint32_t(h))};
    for (auto _ : state) {
        for (size_t i = 0; i < ends.size(); i += 2)
            b.canvas.DrawLine(ends[i], ends[i + 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 1000);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({240, 320})->Args({640, 480});
}

BENCHMARK(BM_Flip)->Apply(Sizes);
BENCHMARK(BM_MemcpyFrame)->Apply(Sizes);
BENCHMARK(BM_ClearBytes)->Apply(Sizes);
BENCHMARK(BM_MemsetFrame)->Apply(Sizes);
BENCHMARK(BM_FillRectOpaque)->Apply(Sizes);
BENCHMARK(BM_FillRectBlend)->Apply(Sizes);
BENCHMARK(BM_DrawLine1000)->Apply(Sizes);

} // namespace
