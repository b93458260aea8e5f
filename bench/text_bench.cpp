// Text and files: LoadText of a 40-character line (fitted and full width),
// DrawTextW of a short word on the canvas, SaveFile of 640 x 480 (written,
// flushed and closed under /tmp) and a screen capture.
#include <CCEBitmap.h>
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include "BenchCanvas.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>

namespace {

const wchar_t kLine[] = L"The quick brown fox jumps over a lazy do"; // 40 characters

void BM_LoadText40(benchmark::State& state) {
    BenchCanvas b(240, 320, 0x20);
    CCEBitmap bitmap;
    const int fullWidth = int(state.range(0));
    for (auto _ : state) {
        const int ok = bitmap.LoadText(&b.canvas, -14, 400, 0xFFFFFF, kLine, 0, fullWidth, 0, 0);
        benchmark::DoNotOptimize(ok);
    }
    state.counters["width"] = bitmap.m_nWidth;
    state.counters["height"] = bitmap.m_nHeight;
}

void BM_DrawTextWord(benchmark::State& state) {
    BenchCanvas b(240, 320, 0x20);
    tagPOINT at{10, 20};
    for (auto _ : state) {
        b.canvas.DrawTextW(&at, L"Score", 5, 0);
        benchmark::ClobberMemory();
    }
}

void BM_SaveFile(benchmark::State& state) {
    BenchCanvas b(240, 320, 0x20);
    CCEBitmap bitmap;
    const int w = int(state.range(0)), h = int(state.range(1));
    bitmap.Surface(&b.canvas, w, h, 0, 0);
    std::mt19937 rng(7);
    for (int i = 0; i < w * h; ++i)
        bitmap.m_pPixels[i] = uint16_t(rng());
    const std::string path = "/tmp/zorva_bench_" + std::to_string(getpid()) + ".bmp";
    const std::wstring wide(path.begin(), path.end());
    for (auto _ : state) {
        if (!bitmap.SaveFile(wide.c_str())) state.SkipWithError("SaveFile failed");
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * (54 + int64_t(h) * ((3 * w + 3) & ~3)));
}

void BM_CaptureScreen(benchmark::State& state) {
    BenchCanvas b(240, 320, 0x20);
    b.canvas.Flip();
    CCEBitmap bitmap;
    for (auto _ : state) {
        const int ok = bitmap.CaptureScreen(&b.canvas);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 240 * 320 * 2);
}

} // namespace

BENCHMARK(BM_LoadText40)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawTextWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveFile)->Args({640, 480})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaptureScreen)->Unit(benchmark::kMicrosecond);
