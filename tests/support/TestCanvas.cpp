#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace zt {
namespace {

// Windows opened without a named device go to the virtual display, also on
// a machine with a screen; the device tests name their devices.
const bool g_virtualByDefault = setenv("ZORVA_DISPLAY", "virtual", 1) == 0;

} // namespace

zorva::VirtualDisplayConfig Dense(int width, int height) {
    return {width, height, 2, 2 * width};
}

zorva::VirtualDisplayConfig Padded(int width, int height, int paddingBytes) {
    return {width, height, 2, 2 * width + paddingBytes};
}

zorva::VirtualDisplayConfig NegativeXPitch(int width, int height) {
    return {width, height, -2 * height, 2};
}

zorva::VirtualDisplayConfig Layout(int n, int width, int height) {
    switch (n % 4) {
    case 1:
        return Padded(width, height, 2 + 2 * (n % 5));
    case 2:
        return NegativeXPitch(width, height);
    case 3:
        return {width, height, 2, -2 * width};
    default:
        return Dense(width, height);
    }
}

std::string ScratchPath(const std::string& name) {
    return ::testing::TempDir() + "zorva_" + std::to_string(getpid()) + "_" + name;
}

void ResetPlatform() {
    zorva::SetVirtualDisplay(zorva::VirtualDisplayConfig());
    zorva::SetVirtualDisplayFaults(zorva::VirtualDisplayFaults());
    zorva::FailAllocation(0);
}

namespace {

// Every test starts and ends with the default virtual display and no
// failure planned, whatever the one before it did.
struct PlatformReset : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ResetPlatform(); }
    void OnTestEnd(const ::testing::TestInfo&) override { ResetPlatform(); }
};

const bool kResetRegistered =
    (::testing::UnitTest::GetInstance()->listeners().Append(new PlatformReset), true);

} // namespace

void MakeBitmap(CCEBitmap& b, int w, int h, const std::vector<uint16_t>& pixels,
                const std::vector<uint8_t>& alpha) {
    CCEDraw canvas;
    ASSERT_EQ(b.Surface(&canvas, w, h, 0, alpha.empty() ? 0 : 1), 1);
    ASSERT_EQ(pixels.size(), size_t(w) * size_t(h));
    std::copy(pixels.begin(), pixels.end(), b.m_pPixels);
    std::copy(alpha.begin(), alpha.end(), b.m_pAlpha);
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

uint16_t* TestCanvas::Address(int x, int y) const {
    return reinterpret_cast<uint16_t*>(canvas.m_pBackBuffer + ptrdiff_t(x) * canvas.m_xPitch +
                                       ptrdiff_t(y) * canvas.m_yPitch);
}

std::vector<uint16_t> TestCanvas::Snapshot() const {
    std::vector<uint16_t> out;
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            out.push_back(Pixel(x, y));
    return out;
}

void TestCanvas::Load(const std::vector<uint16_t>& image) {
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            *Address(x, y) = image[size_t(y) * Width() + x];
}

void TestCanvas::FillRandom(std::mt19937& rng) {
    std::vector<uint16_t> image(size_t(Width()) * Height());
    for (uint16_t& p : image)
        p = uint16_t(rng());
    Load(image);
}

Pixels TestCanvas::Painted() const {
    Pixels out;
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            if (Pixel(x, y) != 0) out.insert({x, y});
    return out;
}

void RefLine(RefImage& img, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint16_t c) {
    const bool xMajor = std::abs(x2 - x1) >= std::abs(y2 - y1);
    // Walk along the major axis as if it were x.
    int64_t a = xMajor ? x1 : y1, b = xMajor ? y1 : x1;
    const int64_t a2 = xMajor ? x2 : y2, b2 = xMajor ? y2 : x2;
    const int64_t sa = a > a2 ? -1 : 1, sb = b > b2 ? -1 : 1;
    const int64_t da = std::abs(a2 - a), db = std::abs(b2 - b);
    int64_t e = 2 * db - da;
    for (int64_t i = 0; i <= da; ++i, a += sa) {
        xMajor ? img.Put(a, b, c) : img.Put(b, a, c);
        if (e > 0) {
            e += 2 * db - 2 * da;
            b += sb;
        } else {
            e += 2 * db;
        }
    }
}

Difference Compare(const RefImage& expected, const std::vector<uint16_t>& actual) {
    Difference d;
    for (size_t i = 0; i < expected.pixels.size() && i < actual.size(); ++i) {
        if (expected.pixels[i] == actual[i]) continue;
        if (d.count++ == 0) d.x = int(i % expected.width), d.y = int(i / expected.width);
    }
    return d;
}

} // namespace zt
