// Filled rectangles: the corner rules and blends at the floor. Random fills
// against the per-channel reference are in draw_lines_test.cpp.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

size_t Count(const zt::TestCanvas& t, uint16_t value) {
    const auto px = t.Snapshot();
    return size_t(std::count(px.begin(), px.end(), value));
}

} // namespace

TEST(FillRect, RectangleRules) {
    zt::ResetPlatform();
    zt::TestCanvas t(zt::Dense(20, 15));
    CCEDraw& c = t.canvas;
    c.Clear(0ul);
    EXPECT_EQ(c.FillRect(0, 0, 20, 15, 32), 1); // no brush: nothing
    CCEBrush brush(0, 0x0F0F, 0);
    c.SetGDIObject(&brush);
    EXPECT_EQ(c.FillRect(2, 2, 2, 9, 32), 1);     // empty column range
    EXPECT_EQ(c.FillRect(-1, -1, 21, 16, 32), 1); // both corners fail the corner test
    EXPECT_EQ(Count(t, 0), 300u);
    c.FillRect(9, 9, 2, 2, 32); // corners in either order, far ones excluded
    zt::Pixels box;
    for (int y = 2; y < 9; ++y)
        for (int x = 2; x < 9; ++x)
            box.insert({x, y});
    EXPECT_EQ(t.Painted(), box);
    tagRECT rc{-5, -5, 20, 15}; // the far corner passes
    c.FillRect(rc, 32);
    EXPECT_EQ(Count(t, 0x0F0F), 300u);
}

TEST(FillRect, BlendsFloorTowardsMinusInfinity) {
    zt::ResetPlatform();
    zt::TestCanvas t(zt::NegativeXPitch(12, 10));
    CCEDraw& c = t.canvas;
    CCEBrush brush(0, 0xFFFF, 0);
    c.SetGDIObject(&brush);
    c.Clear(0ul);
    c.FillRect(0, 0, 12, 12, 16);
    EXPECT_EQ(Count(t, 0x7BEF), 120u);
    brush.CreateBrush(0, 0x0000, 0);
    c.Clear(0xFFul);
    c.FillRect(0, 0, 12, 12, 16);
    EXPECT_EQ(Count(t, 0x7BEF), 120u);
    c.Clear(0x5Aul);
    c.FillRect(0, 0, 12, 12, 0);
    EXPECT_EQ(Count(t, 0x5A5A), 120u);
}
