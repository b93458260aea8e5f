// Screen capture: the presented picture, top row first, at the display
// size, the alpha flag cleared, and the failure paths.
#include "CCEBitmap.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(Capture, ThePresentedPictureTopRowFirst) {
    CCEBitmap b;
    for (auto config : {zt::Dense(240, 320), zt::Dense(240, 320), zt::Padded(33, 17, 10)}) {
        zt::TestCanvas t(config);
        const WORD* previous = b.m_pPixels;
        ASSERT_TRUE(previous || b.Surface(&t.canvas, 10, 10, 0, 1)); // first with an alpha plane
        std::mt19937 rng(config.height);
        t.FillRandom(rng);
        t.canvas.Flip();
        const size_t n = size_t(config.width) * config.height;
        std::vector<uint16_t> shown(n);
        ASSERT_TRUE(zorva::ReadScreen(t.window, shown.data()));
        t.canvas.Clear(0ul); // not on the screen until the next Flip
        ASSERT_EQ(b.CaptureScreen(&t.canvas), 1);
        ASSERT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_bARGB),
                  zt::Values(config.width, config.height, 0));
        // Every pixel exactly, top row first (565 survives 24 bits).
        EXPECT_EQ(std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + n), shown);
        EXPECT_EQ(b.m_pPixels, previous ? previous : b.m_pPixels); // the buffer reused
    }
}

TEST(Capture, Failures) {
    CCEBitmap b;
    EXPECT_EQ(b.CaptureScreen(nullptr), 0);
    // A canvas whose window is gone: no screen to copy.
    zorva::SetVirtualDisplay(zt::Dense(16, 8));
    HWND window = zorva::OpenWindow("gone");
    CCEDraw gone;
    ASSERT_EQ(gone.Create(window, 1), 1);
    gone.Release();
    zorva::CloseWindow(window);
    EXPECT_EQ(b.CaptureScreen(&gone), 0);
    EXPECT_EQ(b.m_nWidth, 16);
    // Each allocation failing in turn: 0 and a consistent bitmap; then the
    // capture.
    zt::TestCanvas t(zt::Dense(24, 16));
    t.canvas.Flip();
    int result = 0, failures = 0;
    for (long n = 1; result == 0 && n < 20; ++n, failures += !result) {
        CCEBitmap c;
        ASSERT_EQ(c.Surface(&t.canvas, 2, 2, 0, 1), 1);
        zorva::FailAllocation(n);
        result = c.CaptureScreen(&t.canvas);
        zorva::FailAllocation(0);
        zt::ExpectConsistent(c);
    }
    EXPECT_EQ(result, 1);
    EXPECT_GE(failures, 2); // at least the pixels and the drawing section
}
