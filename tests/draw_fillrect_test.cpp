// Filled rectangles, opaque and blended, against worked values and a
// per-channel reference on random canvases.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class FillRect : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

size_t Count(const std::vector<uint16_t>& px, uint16_t value) {
    return size_t(std::count(px.begin(), px.end(), value));
}

} // namespace

TEST_F(FillRect, RectangleRules) {
    zt::TestCanvas t(zt::Dense(20, 15));
    CCEDraw& c = t.canvas;
    CCEBrush brush(0, 0x0F0F, 0);
    c.SetGDIObject(&brush);

    c.Clear(0ul);
    EXPECT_EQ(c.FillRect(2, 2, 2, 9, 32), 1); // empty column range
    EXPECT_EQ(Count(t.Snapshot(), 0), 300u);

    c.FillRect(9, 9, 2, 2, 32); // corners in either order
    EXPECT_EQ(Count(t.Snapshot(), 0x0F0F), 49u);
    EXPECT_EQ(t.Pixel(2, 2), 0x0F0F);
    EXPECT_EQ(t.Pixel(8, 8), 0x0F0F);
    EXPECT_EQ(t.Pixel(9, 8), 0);
    EXPECT_EQ(t.Pixel(8, 9), 0);

    c.Clear(0ul);
    c.FillRect(-1, -1, 21, 16, 32); // both corners fail the corner test
    EXPECT_EQ(Count(t.Snapshot(), 0), 300u);
    c.FillRect(0, 0, 20, 15, 32);
    EXPECT_EQ(Count(t.Snapshot(), 0x0F0F), 300u);
    c.Clear(0ul);
    tagRECT rc{-5, -5, 20, 15};
    c.FillRect(rc, 32);
    EXPECT_EQ(Count(t.Snapshot(), 0x0F0F), 300u);
}

TEST_F(FillRect, BlendsFloorTowardsMinusInfinity) {
    zt::TestCanvas t(zt::NegativeXPitch(12, 10));
    CCEDraw& c = t.canvas;
    CCEBrush brush(0, 0xFFFF, 0);
    c.SetGDIObject(&brush);
    c.Clear(0ul);
    c.FillRect(0, 0, 12, 12, 16);
    EXPECT_EQ(Count(t.Snapshot(), 0x7BEF), 120u);

    brush.CreateBrush(0, 0x0000, 0);
    c.Clear(0xFFul);
    c.FillRect(0, 0, 12, 12, 16);
    EXPECT_EQ(Count(t.Snapshot(), 0x7BEF), 120u);

    c.Clear(0x5Aul);
    c.FillRect(0, 0, 12, 12, 0);
    EXPECT_EQ(Count(t.Snapshot(), 0x5A5A), 120u);
}

TEST_F(FillRect, WithoutBrushNothingIsFilled) {
    zt::TestCanvas t(zt::Dense(8, 8));
    t.canvas.Clear(0ul);
    EXPECT_EQ(t.canvas.FillRect(0, 0, 8, 8, 32), 1);
    EXPECT_EQ(t.canvas.FillRect(0, 0, 8, 8, 16), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0), 64u);
}

TEST_F(FillRect, RandomFillsMatchThePerChannelReference) {
    std::mt19937 rng(4242);
    for (int round = 0; round < 120; ++round) {
        const int w = 1 + int(rng() % 60), h = 1 + int(rng() % 60);
        zorva::VirtualDisplayConfig config = round % 3 == 0   ? zt::NegativeXPitch(w, h)
                                             : round % 3 == 1 ? zt::Padded(w, h, 6)
                                                              : zt::Dense(w, h);
        zt::TestCanvas t(config);
        const int cw = t.Width(), ch = t.Height();
        t.FillRandom(rng);
        zt::RefImage ref(cw, ch, t.Snapshot());
        CCEBrush brush;
        t.canvas.SetGDIObject(&brush);
        for (int op = 0; op < 30; ++op) {
            const uint16_t colour = uint16_t(rng());
            brush.CreateBrush(0, colour, 0);
            // Weights above 32 lie outside the scale but take the same
            // packed arithmetic.
            const int opacity = rng() % 4 == 0   ? 32
                                : rng() % 9 == 0 ? 33 + int(rng() % 223)
                                                 : int(rng() % 33);
            auto coord = [&](int size) { return int(rng() % uint32_t(size + 12)) - 6; };
            const int l = coord(cw), tp = coord(ch), r = coord(cw), b = coord(ch);
            t.canvas.FillRect(l, tp, r, b, uint8_t(opacity));
            const bool in1 = l >= 0 && tp >= 0 && l <= cw && tp <= ch;
            const bool in2 = r >= 0 && b >= 0 && r <= cw && b <= ch;
            if (!in1 && !in2) continue;
            for (int y = std::max(0, std::min(tp, b)); y < std::min(ch, std::max(tp, b)); ++y)
                for (int x = std::max(0, std::min(l, r)); x < std::min(cw, std::max(l, r)); ++x)
                    ref.At(x, y) = opacity == 32 ? colour
                                   : opacity < 32
                                       ? zt::BlendPerChannel(ref.At(x, y), colour, opacity)
                                       : zt::PackedBlend(ref.At(x, y), colour, opacity);
        }
        const zt::Difference d = zt::Compare(ref, t.Snapshot());
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}
