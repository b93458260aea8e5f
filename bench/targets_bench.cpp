// The speed targets in one place, ours and the limits: every operation of
// the library that has a peer or a target, and memcpy (or memset) of the
// same bytes, mostly at two sizes: a 640 x 480 frame and a 64 x 64 sprite,
// both on a 640 x 480 canvas. The peers' rows, on the same pixels, are in
// peers_bench.cpp; names and byte counts follow TargetBench.h, and
// bench/benchmark_table.py prints the table. Run once per level with
// ZORVA_SIMD.
#include <CCEBitmap.h>
#include <CCEDraw.h>

#include "BenchCanvas.h"
#include "TargetBench.h"
#include "kernels/Kernels.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

using namespace zorva_bench;

namespace {

// The table names the level the library's kernels ran at and the build.
const bool kLevelNamed = [] {
    benchmark::AddCustomContext("zorva_simd", zorva::LevelName(zorva::Kernels().level));
    benchmark::AddCustomContext("zorva_build", ZORVA_BENCH_BUILD_TYPE);
    return true;
}();

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

// The whole w x h buffer in one memcpy: the limit of a copy whose rows are
// contiguous in both buffers (a full-width blit onto a dense canvas).
void BM_T_MemcpyWhole(benchmark::State& state) {
    const size_t bytes = size_t(SpriteW(state)) * size_t(SpriteH(state)) * 2;
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(bytes));
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

void BM_T_FillOpaque_Ours(benchmark::State& state) {
    BenchCanvas screen(kCanvasW, kCanvasH);
    CCEBrush brush(0, 0x1234, 0);
    screen.canvas.SetGDIObject(&brush);
    const int w = SpriteW(state), h = SpriteH(state);
    for (auto _ : state) {
        screen.canvas.FillRect(0, 0, w, h, 32);
        benchmark::ClobberMemory();
    }
    SetBytes(state, int64_t(w) * h * 2);
}

void BM_T_FillBlend_Ours(benchmark::State& state) {
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

void BM_T_FillBlendBmp_Ours(benchmark::State& state) {
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

// 1000 random lines across a w x h canvas, per pixel drawn.
void BM_T_Line_Ours(benchmark::State& state) {
    const int w = SpriteW(state), h = SpriteH(state);
    BenchCanvas screen(w, h);
    CCEPen pen(0, 1, 0xFFFF);
    screen.canvas.SetGDIObject(&pen);
    std::vector<tagPOINT> ends = LineEnds(w, h);
    for (auto _ : state) {
        for (size_t i = 0; i < ends.size(); i += 2)
            screen.canvas.DrawLine(ends[i], ends[i + 1]);
        benchmark::ClobberMemory();
    }
    SetBytes(state, LinePixels(ends) * 2);
}

// The star filled on a w x h canvas, per pixel it covers (counted once on a
// cleared canvas).
void BM_T_Polygon_Ours(benchmark::State& state) {
    const int w = SpriteW(state), h = SpriteH(state);
    BenchCanvas screen(w, h, 0);
    CCEBrush brush(0, 0x07E0, 0);
    screen.canvas.SetGDIObject(&brush);
    std::vector<tagPOINT> star = Star(w, h);
    screen.canvas.FillPolygon(star.data(), int(star.size()), 0, 0);
    const int64_t pixels =
        CountPixels(screen.canvas.m_pBackBuffer, screen.canvas.m_yPitch, w, h, 0x07E0);
    for (auto _ : state) {
        screen.canvas.FillPolygon(star.data(), int(star.size()), 0, 0);
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = double(pixels);
    SetBytes(state, pixels * 2);
}

// The photo from its file, fitted into the box (mode 4: the codec's scaled
// decode, then area averaging), per pixel of the result.
void BM_T_LoadJpeg_Ours(benchmark::State& state) {
    const std::string path = PhotoPath();
    const std::wstring wide(path.begin(), path.end());
    CCEBitmap bitmap;
    const unsigned boxW = unsigned(SpriteW(state)), boxH = unsigned(SpriteH(state));
    for (auto _ : state) {
        if (bitmap.LoadBitmapW(nullptr, wide.c_str(), 4, boxW, boxH, 0) != 1)
            return state.SkipWithError("the corpus photo does not load");
        benchmark::DoNotOptimize(bitmap.m_pPixels);
    }
    SetBytes(state, int64_t(bitmap.m_nWidth) * bitmap.m_nHeight * 2);
}

BENCHMARK(BM_T_Memcpy)->Apply(Sizes)->Args({320, 240})->Apply(SmallSprites);
BENCHMARK(BM_T_MemcpyWhole)->Args({640, 480});
BENCHMARK(BM_T_Memset)->Apply(Sizes);
BENCHMARK(BM_T_Flip_Ours)->Args({640, 480});
BENCHMARK(BM_T_Copy_Ours)->Apply(Sizes);
BENCHMARK(BM_T_MergeCopy_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Key32_Ours)->Apply(Sizes)->Apply(SmallSprites);
BENCHMARK(BM_T_KeyBlend_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Alpha_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Plane32Sprite_Ours)->Apply(Sizes)->Args({32, 32});
BENCHMARK(BM_T_Plane32Random_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Plane20_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FillOpaque_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FillBlend_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FillBlendBmp_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FadeFrame_Ours)->Apply(Sizes);
BENCHMARK(BM_T_BitRot_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Rotate_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Twice_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Twice32Plane_Ours)->Apply(Sizes);
BENCHMARK(BM_T_StretchNearest_Ours)->Apply(Sizes);
BENCHMARK(BM_T_StretchFiltered_Ours)->Apply(Sizes);
BENCHMARK(BM_T_FreeRotate_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Line_Ours)->Apply(Sizes);
BENCHMARK(BM_T_Polygon_Ours)->Apply(Sizes);
BENCHMARK(BM_T_LoadJpeg_Ours)->Apply(PhotoSizes);

} // namespace
