// A created canvas on its own virtual display of the benchmark's size.
#ifndef ZORVA_BENCH_BENCHCANVAS_H
#define ZORVA_BENCH_BENCHCANVAS_H

#include <CCEDraw.h>
#include <ZorvaPlatform.h>

struct BenchCanvas {
    BenchCanvas(int w, int h, unsigned long clearByte = 0x5A) {
        zorva::VirtualDisplayConfig config;
        config.width = w;
        config.height = h;
        zorva::SetVirtualDisplay(config);
        zorva::DisplayOptions memory;
        memory.kind = zorva::DisplayKind::Virtual;
        window = zorva::OpenWindow("bench", memory);
        canvas.Create(window, 1);
        canvas.Clear(clearByte);
    }
    ~BenchCanvas() {
        canvas.Release();
        zorva::CloseWindow(window);
    }
    BenchCanvas(const BenchCanvas&) = delete;
    BenchCanvas& operator=(const BenchCanvas&) = delete;

    HWND window;
    CCEDraw canvas;
};

#endif // ZORVA_BENCH_BENCHCANVAS_H
