// Screen capture: the presented picture, top row first, at the display
// size, the alpha flag cleared, and the failure paths.
#include "CCEBitmap.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

class Capture : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

std::vector<uint16_t> Screen(HWND window, int w, int h) {
    std::vector<uint16_t> pixels(size_t(w) * h);
    EXPECT_TRUE(zorva::ReadScreen(window, pixels.data()));
    return pixels;
}

} // namespace

TEST_F(Capture, ThePresentedPictureTopRowFirst) {
    zt::TestCanvas t(zt::Dense(240, 320));
    std::mt19937 rng(320);
    t.FillRandom(rng);
    t.canvas.Flip();
    const std::vector<uint16_t> shown = Screen(t.window, 240, 320);
    // Drawing after the Flip is not on the screen yet.
    t.canvas.Clear(0ul);

    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 10, 10, 0, 1), 1); // with an alpha plane
    ASSERT_EQ(b.CaptureScreen(&t.canvas), 1);
    EXPECT_EQ(b.m_nWidth, 240);
    EXPECT_EQ(b.m_nHeight, 320);
    EXPECT_EQ(b.m_bARGB, 0);
    ASSERT_NE(b.m_pPixels, nullptr);
    const std::vector<uint16_t> captured(b.m_pPixels, b.m_pPixels + 240 * 320);
    EXPECT_EQ(captured, shown); // exact: 565 survives the 24-bit round trip
    // The top row in particular, against the screen's own top row.
    for (int x = 0; x < 240; ++x)
        ASSERT_EQ(b.m_pPixels[x], shown[size_t(x)]) << x;

    // A second capture reuses the buffer.
    WORD* buffer = b.m_pPixels;
    ASSERT_EQ(b.CaptureScreen(&t.canvas), 1);
    EXPECT_EQ(b.m_pPixels, buffer);
}

TEST_F(Capture, PaddedDisplay) {
    zt::TestCanvas t(zt::Padded(33, 17, 10));
    std::mt19937 rng(33);
    t.FillRandom(rng);
    t.canvas.Flip();
    CCEBitmap b;
    ASSERT_EQ(b.CaptureScreen(&t.canvas), 1);
    EXPECT_EQ(std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + 33 * 17), Screen(t.window, 33, 17));
}

TEST_F(Capture, Failures) {
    CCEBitmap b;
    EXPECT_EQ(b.CaptureScreen(nullptr), 0);

    zt::TestCanvas t(zt::Dense(24, 16));
    t.canvas.Flip();
    // The pixel buffer cannot be grown: absent, the size already the
    // display's, the alpha flag down.
    ASSERT_EQ(b.Surface(&t.canvas, 2, 2, 0, 1), 1);
    zorva::FailAllocation(1);
    EXPECT_EQ(b.CaptureScreen(&t.canvas), 0);
    zorva::FailAllocation(0);
    EXPECT_EQ(b.m_pPixels, nullptr);
    EXPECT_EQ(b.m_nWidth, 24);
    EXPECT_EQ(b.m_nHeight, 16);
    EXPECT_EQ(b.m_bARGB, 0);
    // The section cannot be made: the buffer is there, sized for the display.
    zorva::FailAllocation(2);
    EXPECT_EQ(b.CaptureScreen(&t.canvas), 0);
    zorva::FailAllocation(0);
    ASSERT_NE(b.m_pPixels, nullptr);
    EXPECT_GE(b.m_cbPixels, 24u * 16u * 2u);

    // A display of no pixels.
    const DWORD width = t.canvas.m_DisplayProperties.cxWidth;
    t.canvas.m_DisplayProperties.cxWidth = 0;
    EXPECT_EQ(b.CaptureScreen(&t.canvas), 0);
    t.canvas.m_DisplayProperties.cxWidth = width;
}

TEST_F(Capture, NoScreenWithoutAWindow) {
    zorva::SetVirtualDisplay(zt::Dense(16, 8));
    HWND window = zorva::OpenWindow("gone");
    CCEDraw canvas;
    ASSERT_EQ(canvas.Create(window, 1), 1);
    canvas.Release();
    zorva::CloseWindow(window);
    CCEBitmap b;
    EXPECT_EQ(b.CaptureScreen(&canvas), 0);
    EXPECT_EQ(b.m_nWidth, 16);
}
