#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace zt {

zorva::VirtualDisplayConfig Dense(int width, int height) {
    zorva::VirtualDisplayConfig c;
    c.width = width;
    c.height = height;
    c.xPitch = 2;
    c.yPitch = 2 * width;
    return c;
}

zorva::VirtualDisplayConfig Padded(int width, int height, int paddingBytes) {
    zorva::VirtualDisplayConfig c = Dense(width, height);
    c.yPitch = 2 * width + paddingBytes;
    return c;
}

zorva::VirtualDisplayConfig NegativeXPitch(int width, int height) {
    zorva::VirtualDisplayConfig c = Dense(width, height);
    c.xPitch = -2 * height;
    c.yPitch = 2;
    return c;
}

std::string ScratchPath(const std::string& name) {
    return ::testing::TempDir() + "zorva_" + std::to_string(getpid()) + "_" + name;
}

void ResetPlatform() {
    zorva::SetVirtualDisplay(zorva::VirtualDisplayConfig());
    zorva::FailAllocation(0);
}

TestCanvas::TestCanvas(const zorva::VirtualDisplayConfig& config, BYTE mode) {
    zorva::SetVirtualDisplay(config);
    window = zorva::OpenWindow("test");
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(canvas.Create(window, mode), 1) << "error " << canvas.GetLastError();
}

TestCanvas::~TestCanvas() {
    canvas.Release();
    EXPECT_TRUE(zorva::DisplayMemoryIntact(window));
    zorva::CloseWindow(window);
}

uint16_t TestCanvas::Pixel(int x, int y) const {
    uint16_t p;
    std::memcpy(
        &p, canvas.m_pBackBuffer + ptrdiff_t(x) * canvas.m_xPitch + ptrdiff_t(y) * canvas.m_yPitch,
        2);
    return p;
}

void TestCanvas::SetPixel(int x, int y, uint16_t value) {
    std::memcpy(canvas.m_pBackBuffer + ptrdiff_t(x) * canvas.m_xPitch +
                    ptrdiff_t(y) * canvas.m_yPitch,
                &value, 2);
}

std::vector<uint16_t> TestCanvas::Snapshot() const {
    std::vector<uint16_t> out;
    out.reserve(size_t(Width()) * Height());
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            out.push_back(Pixel(x, y));
    return out;
}

void TestCanvas::Load(const std::vector<uint16_t>& image) {
    size_t i = 0;
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            SetPixel(x, y, image[i++]);
}

void TestCanvas::FillRandom(std::mt19937& rng) {
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            SetPixel(x, y, uint16_t(rng()));
}

uint16_t BlendPerChannel(uint16_t d, uint16_t s, int a) {
    auto channel = [&](int shift, int bits) {
        const int mask = (1 << bits) - 1;
        const int dv = (d >> shift) & mask, sv = (s >> shift) & mask;
        const int diff = (sv - dv) * a;
        // floor division by 32, also for negative differences
        const int step = diff >= 0 ? diff / 32 : -((-diff + 31) / 32);
        return (dv + step) << shift;
    };
    return uint16_t(channel(11, 5) | channel(5, 6) | channel(0, 5));
}

uint16_t PackedBlend(uint16_t d, uint16_t s, uint32_t a) {
    const uint32_t D = (uint32_t(d) | uint32_t(d) << 16) & 0x07E0F81Fu;
    const uint32_t S = (uint32_t(s) | uint32_t(s) << 16) & 0x07E0F81Fu;
    const uint32_t R = (D + (((S - D) * a) >> 5)) & 0x07E0F81Fu;
    return uint16_t(R | R >> 16);
}

void RefLine(RefImage& img, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint16_t c) {
    const int64_t sx = x1 > x2 ? -1 : 1, sy = y1 > y2 ? -1 : 1;
    const int64_t dx = x2 > x1 ? x2 - x1 : x1 - x2, dy = y2 > y1 ? y2 - y1 : y1 - y2;
    int64_t x = x1, y = y1;
    if (dx >= dy) {
        int64_t e = 2 * dy - dx;
        for (int64_t i = 0; i <= dx; ++i, x += sx) {
            img.Put(x, y, c);
            if (e > 0) {
                e += 2 * dy - 2 * dx;
                y += sy;
            } else {
                e += 2 * dy;
            }
        }
    } else {
        int64_t e = 2 * dx - dy;
        for (int64_t i = 0; i <= dy; ++i, y += sy) {
            img.Put(x, y, c);
            if (e > 0) {
                e += 2 * dx - 2 * dy;
                x += sx;
            } else {
                e += 2 * dx;
            }
        }
    }
}

Difference Compare(const RefImage& expected, const std::vector<uint16_t>& actual) {
    Difference d;
    for (size_t i = 0; i < expected.pixels.size() && i < actual.size(); ++i) {
        if (expected.pixels[i] == actual[i]) continue;
        if (d.count++ == 0) {
            d.x = int(i % expected.width);
            d.y = int(i / expected.width);
        }
    }
    return d;
}

} // namespace zt
