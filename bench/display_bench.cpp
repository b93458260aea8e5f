// Flip plus present in an SDL2 window (on whatever X server DISPLAY names;
// ./run bench starts an Xvfb of its own), beside the same Flip on the
// virtual display; BM_MemcpyFrame (canvas_bench.cpp) is the copy alone.
// Arguments: canvas width, height. Skipped without a window system.
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include <benchmark/benchmark.h>

namespace {

void BM_FlipWindow(benchmark::State& state) {
    zorva::DisplayOptions options;
    options.kind = zorva::DisplayKind::Window;
    options.width = int(state.range(0));
    options.height = int(state.range(1));
    HWND window = zorva::OpenWindow("zorva bench", options);
    if (!window) {
        state.SkipWithError(zorva::GetOpenWindowError());
        return;
    }
    {
        CCEDraw canvas;
        canvas.Create(window, 2);
        canvas.Clear(0x5Aul);
        for (auto _ : state) {
            canvas.Flip();
            // An application reads its events once a frame.
            zorva::Event event;
            while (zorva::PollEvent(window, &event)) {}
        }
        state.SetBytesProcessed(int64_t(state.iterations()) * canvas.m_cbBackBuffer);
        canvas.Release();
    }
    zorva::CloseWindow(window);
}

} // namespace

BENCHMARK(BM_FlipWindow)->Args({240, 320})->Args({640, 480})->Unit(benchmark::kMicrosecond);
