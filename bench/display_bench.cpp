// Presenting: Flip plus present in an SDL2 window (on whatever X server
// DISPLAY names; ./run bench starts an Xvfb of its own, without vsync);
// the screen-row conversion of a whole frame for 16- and 32-bit screens
// against a memcpy of the bytes it writes; and Flip on a frame buffer of
// each format (a file in /dev/shm standing for the device's memory, through
// the test seam), whose present converts. BM_MemcpyFrame (canvas_bench.cpp)
// is the canvas's copy alone.
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include "kernels/Kernels.h"
#include "system/Testing.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

void BM_FlipWindow(benchmark::State& state) {
    zorva::DisplayOptions options;
    options.kind = zorva::DisplayKind::Window;
    options.width = int(state.range(0));
    options.height = int(state.range(1));
    options.vsync = false;
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

// Arguments: width, height, bytes per screen pixel (2: RGB555, 4: XRGB8888).
zorva::ScreenFormat FormatOf(int64_t bytes) {
    return bytes == 2 ? zorva::ScreenFormat{2, 10, 5, 5, 5, 0, 5, 0}
                      : zorva::ScreenFormat{4, 16, 8, 8, 8, 0, 8, 0};
}

void BM_ScreenFrame(benchmark::State& state) {
    const size_t w = size_t(state.range(0)), h = size_t(state.range(1));
    const zorva::ScreenFormat f = FormatOf(state.range(2));
    std::vector<uint16_t> frame(w * h);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint16_t(i * 2654435761u >> 7);
    std::vector<uint8_t> screen(w * h * f.bytes);
    const zorva::KernelTable& k = zorva::Kernels();
    for (auto _ : state) {
        for (size_t y = 0; y < h; ++y)
            k.toScreenRow(screen.data() + y * w * f.bytes, frame.data() + y * w, int32_t(w), f);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(screen.size()));
}

void BM_MemcpyScreen(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0) * state.range(1) * state.range(2));
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

zorva::FbScreenInfo g_screen;
bool ScreenInfo(int, zorva::FbScreenInfo* info) {
    *info = g_screen;
    return true;
}
bool NoConsole(int, zorva::ConsoleMode) {
    return true;
}

// Flip on a frame buffer of the format: the canvas's copy and, but for
// RGB565, the conversion into the screen's memory.
void BM_FlipFbdev(benchmark::State& state) {
    const unsigned w = unsigned(state.range(0)), h = unsigned(state.range(1));
    const unsigned bytes = unsigned(state.range(2));
    const bool rgb565 = bytes == 1; // 1 stands for RGB565, drawn in directly
    const zorva::ScreenFormat f = FormatOf(bytes);
    zorva::FbScreenInfo& s = g_screen;
    s = zorva::FbScreenInfo();
    s.xres = s.xresVirtual = w;
    s.yres = s.yresVirtual = h;
    s.bitsPerPixel = rgb565 ? 16 : 8 * f.bytes;
    s.redOffset = rgb565 ? 11 : f.redShift, s.redLength = rgb565 ? 5 : f.redBits;
    s.greenOffset = rgb565 ? 5 : f.greenShift, s.greenLength = rgb565 ? 6 : f.greenBits;
    s.blueOffset = 0, s.blueLength = rgb565 ? 5 : f.blueBits;
    s.lineLength = w * s.bitsPerPixel / 8;
    s.memoryLength = s.lineLength * h;
    const std::string path = "/dev/shm/zorva-bench-fb-" + std::to_string(getpid());
    std::ofstream(path, std::ios::binary) << std::string(s.memoryLength, '\0');
    zorva::FbdevSeam seam;
    seam.screenInfo = ScreenInfo;
    seam.consolePath = path;
    seam.setMode = NoConsole;
    seam.inputDirectory = "/nonexistent";
    seam.waitForVsync = [](int) { return false; };
    zorva::SetFbdevSeam(seam);
    zorva::DisplayOptions options;
    options.kind = zorva::DisplayKind::Fbdev;
    options.framebuffer = path;
    HWND window = zorva::OpenWindow("bench", options);
    if (window) {
        CCEDraw canvas;
        canvas.Create(window, 1);
        canvas.Clear(0x5Aul);
        for (auto _ : state)
            canvas.Flip();
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.memoryLength));
        canvas.Release();
        zorva::CloseWindow(window);
    } else {
        state.SkipWithError(zorva::GetOpenWindowError());
    }
    zorva::SetFbdevSeam(zorva::FbdevSeam());
    unlink(path.c_str());
}

void ScreenSizes(benchmark::internal::Benchmark* b) {
    for (int64_t bytes : {2, 4})
        for (auto [w, h] : {std::pair{320, 240}, {640, 480}})
            b->Args({w, h, bytes});
}

} // namespace

BENCHMARK(BM_FlipWindow)->Args({240, 320})->Args({640, 480})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScreenFrame)->Apply(ScreenSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyScreen)->Apply(ScreenSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlipFbdev)
    ->Apply(ScreenSizes)
    ->Args({320, 240, 1})
    ->Args({640, 480, 1})
    ->Unit(benchmark::kMicrosecond);
