// The bitmap object: the growth rule, unloading, refused sizes, failed growth.
#include "CCEBitmap.h"
#include "core/SharedBlock.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

TEST(Bitmap, SurfaceFillsBytesAndFollowsTheGrowthRule) {
    zt::TestCanvas t(zt::Dense(24, 18));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 0, 0, 0x1234, 1), 1); // 0 takes the canvas size
    // The fill is a byte; the plane is opaque; the corner test lets (w, h) in.
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_bARGB, b.m_pPixels[24 * 18 - 1],
                         b.m_pAlpha[24 * 18 - 1], b.IsPointOutsideBmp(24, 18),
                         b.IsPointOutsideBmp(25, 0), b.IsPointOutsideBmp(0, -1)),
              zt::Values(24, 18, 1, 0x3434, 32, 0, 1, 1));
    // Smaller: same blocks, the size asked for recorded, the plane kept unused.
    const long before = zorva::AllocationCount();
    ASSERT_EQ(b.Surface(&t.canvas, 4, 3, 255, 0), 1);
    EXPECT_EQ(zt::Values(zorva::AllocationCount() - before, b.m_cbPixels, b.m_pPixels[11],
                         b.m_bARGB, b.m_pAlpha != nullptr),
              zt::Values(0, 24, 0xFFFF, 0, 1));
    // More than recorded reallocates, though the block is large enough.
    ASSERT_EQ(b.Surface(&t.canvas, 5, 5, 0, 0), 1);
    EXPECT_EQ(zt::Values(zorva::AllocationCount() - before, b.m_cbPixels), zt::Values(1, 50));
    // Refused sizes change nothing.
    WORD* pixels = b.m_pPixels;
    EXPECT_EQ(b.Surface(nullptr, 3, 3, 0x11, 1), 0);
    EXPECT_EQ(b.Surface(&t.canvas, 70000, 70000, 0x11, 1), 0);
    EXPECT_EQ(b.Surface(&t.canvas, -1, 5, 0x11, 1), 0);
    EXPECT_EQ(zt::Values(b.m_pPixels == pixels, b.m_nWidth, b.m_cbPixels, b.m_pPixels[24]),
              zt::Values(1, 5, 50, 0));
}

TEST(Bitmap, UnloadAndFailedGrowth) {
    CCEDraw canvas;
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 8, 8, 1, 1), 1);
    WORD* pixels = b.m_pPixels;
    // Unload(0) keeps the buffers; the next sizing reallocates them.
    EXPECT_EQ(b.Unload(0), 1);
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_cbPixels, b.m_cbAlpha, b.m_bARGB, b.m_pPixels == pixels,
                         b.m_pAlpha != nullptr),
              zt::Values(0, 0, 0, 0, 1, 1));
    const long before = zorva::AllocationCount();
    ASSERT_EQ(b.Surface(&canvas, 8, 8, 1, 0), 1);
    EXPECT_EQ(zorva::AllocationCount(), before + 1);
    // A failed growth leaves the bitmap empty, its old size kept.
    ASSERT_EQ(b.Surface(&canvas, 3, 3, 0, 1), 1);
    zorva::FailAllocation(1);
    EXPECT_EQ(b.Surface(&canvas, 30, 30, 0, 1), 0);
    EXPECT_EQ(zt::Values(b.m_pPixels == nullptr, b.m_nWidth), zt::Values(1, 3));
    // Pixels grow, the plane does not: the fill is there, the flag is off.
    EXPECT_EQ(b.Unload(1), 1);
    ASSERT_EQ(b.Surface(&canvas, 3, 3, 0, 1), 1);
    zorva::FailAllocation(2);
    EXPECT_EQ(b.Surface(&canvas, 40, 40, 0x22, 1), 0);
    ASSERT_NE(b.m_pPixels, nullptr);
    EXPECT_EQ(zt::Values(b.m_bARGB, b.m_pAlpha == nullptr, b.m_pPixels[40 * 40 - 1]),
              zt::Values(0, 1, 0x2222));
}
