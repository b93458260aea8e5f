// A canvas on a virtual display of a chosen layout, plain pixel access, and
// slow pixel-at-a-time references.
#ifndef ZORVA_TESTS_TESTCANVAS_H
#define ZORVA_TESTS_TESTCANVAS_H

#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "ZorvaPlatform.h"
#include "support/PixelReference.h"
#include "system/Testing.h"

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zt {

zorva::VirtualDisplayConfig Dense(int width, int height);
zorva::VirtualDisplayConfig Padded(int width, int height, int paddingBytes);
// A portrait panel scanned along its columns: x pitch -2 * height, y pitch
// 2. The canvas sees it in memory order, height x width.
zorva::VirtualDisplayConfig NegativeXPitch(int width, int height);
// Every layout above and a negative y pitch, picked by n.
zorva::VirtualDisplayConfig Layout(int n, int width, int height);

// A temporary file name no other test process uses at the same time.
std::string ScratchPath(const std::string& name);

// Restores the default virtual display and forgets injected failures and
// faults; done before and after every test. (The tests' windows are virtual:
// the support code sets ZORVA_DISPLAY=virtual for the whole test program.)
void ResetPlatform();

// Sizes `b` to w x h with these pixels (and plane, when `alpha` has any).
void MakeBitmap(CCEBitmap& b, int w, int h, const std::vector<uint16_t>& pixels,
                const std::vector<uint8_t>& alpha = {});

using Pixels = std::set<std::pair<int, int>>;

// A created canvas on its own window. Construction asserts success.
class TestCanvas {
public:
    explicit TestCanvas(const zorva::VirtualDisplayConfig& config, BYTE mode = 1);
    ~TestCanvas();
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    CCEDraw canvas;
    HWND window = nullptr;

    int Width() const { return int(canvas.m_DisplayProperties.cxWidth); }
    int Height() const { return int(canvas.m_DisplayProperties.cyHeight); }
    uint16_t* Address(int x, int y) const;
    uint16_t Pixel(int x, int y) const { return *Address(x, y); }
    // Canvas pixels row by row, Width() x Height().
    std::vector<uint16_t> Snapshot() const;
    void Load(const std::vector<uint16_t>& image);
    void FillRandom(std::mt19937& rng);
    // Coordinates of every pixel that is not 0.
    Pixels Painted() const;
};

// A dense image in canvas coordinates, written one pixel at a time.
struct RefImage {
    int width = 0, height = 0;
    std::vector<uint16_t> pixels;

    RefImage(int w, int h, std::vector<uint16_t> p) : width(w), height(h), pixels(std::move(p)) {}
    bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    void Put(int64_t x, int64_t y, uint16_t c) {
        if (Inside(x, y)) pixels[size_t(y) * width + size_t(x)] = c;
    }
    uint16_t& At(int x, int y) { return pixels[size_t(y) * width + x]; }
};

// Bresenham as written out: both ends; the minor axis steps at error > 0.
void RefLine(RefImage& img, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint16_t c);

// Several integers as one value, so that one check compares them all (in
// no set order: pass values, not calls that change what the others read).
template <class... T>
std::vector<int64_t> Values(T... v) {
    return {int64_t(v)...};
}

// Number of differing pixels, and the first one found.
struct Difference {
    size_t count = 0;
    int x = -1, y = -1;
};
Difference Compare(const RefImage& expected, const std::vector<uint16_t>& actual);

} // namespace zt

#endif // ZORVA_TESTS_TESTCANVAS_H
