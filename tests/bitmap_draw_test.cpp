// Drawing into bitmaps: a seeded comparison with pixel-at-a-time rules, and
// bitmaps without pixels for their size.
#include "support/BlitReference.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class BitmapDraw : public ::testing::Test {
protected:
    CCEDraw canvas; // only supplies Surface's default size
};

// One primitive: 'P' pixel at (x1, y1), 'H' row y1 from x1 to x2, 'V'
// column x1 from y1 to y2, 'L' line, 'R' outline, 'F' fill.
int Apply(CCEBitmap& b, char kind, long x1, long y1, long x2, long y2, uint16_t c, int op = 32) {
    if (kind == 'P') return b.DrawPixelBmp((unsigned long)x1, (unsigned long)y1, c), 1;
    if (kind == 'H') return b.DrawHLineBmp(x1, y1, x2, y1, c);
    if (kind == 'V') return b.DrawVLineBmp(x1, y1, x1, y2, c);
    if (kind == 'L') return b.DrawLineBmp(x1, y1, x2, y2, c);
    if (kind == 'R') return b.DrawRectBmp(x1, y1, x2, y2, c);
    return b.FillRectBmp(x1, y1, x2, y2, uint8_t(op), c);
}

// Every pixel of the box between two corners (both included) that lies in
// the image gets `paint`.
template <class F>
void Box(zt::RefImage& r, long x1, long y1, long x2, long y2, F paint) {
    for (long y = std::max<long>(std::min(y1, y2), 0);
         y <= std::min<long>(std::max(y1, y2), r.height - 1); ++y)
        for (long x = std::max<long>(std::min(x1, x2), 0);
             x <= std::min<long>(std::max(x1, x2), r.width - 1); ++x)
            paint(r.At(int(x), int(y)));
}

} // namespace

// A buffer lost to a failed growth (the old size stays), and fields claiming
// more than the buffer (as a failed load can leave them): drawing writes
// nothing and gives 1; blits and merges refuse (0) and write nothing.
TEST_F(BitmapDraw, BitmapsWithoutPixelsForTheirSize) {
    zt::TestCanvas t(zt::Dense(64, 64));
    t.canvas.Clear(0ul);
    CCEBitmap lost, inconsistent, other;
    ASSERT_EQ(lost.Surface(&canvas, 5, 5, 0, 0), 1);
    zorva::FailAllocation(1);
    ASSERT_EQ(lost.Surface(&canvas, 50, 50, 0, 0), 0);
    ASSERT_EQ(inconsistent.Surface(&canvas, 4, 4, 0x22, 1), 1);
    ASSERT_EQ(other.Surface(&canvas, 64, 64, 0x33, 0), 1);
    inconsistent.m_nWidth = inconsistent.m_nHeight = 40;
    for (CCEBitmap* b : {&lost, &inconsistent}) {
        for (char kind : {'P', 'H', 'V', 'L', 'R', 'F'})
            EXPECT_EQ(Apply(*b, kind, 0, 0, 3, 3, 0x1234, kind == 'F' ? 7 : 32), 1);
        EXPECT_EQ(b->BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
        EXPECT_EQ(b->BitRot2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 0);
        EXPECT_EQ(other.Merge(&t.canvas, b, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
        EXPECT_EQ(b->Merge(&t.canvas, &other, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    }
    EXPECT_EQ(std::count(inconsistent.m_pPixels, inconsistent.m_pPixels + 16, 0x2222), 16);
    // Spans whose ends are not on one row or column (never among the random
    // ones) draw nothing.
    EXPECT_EQ(other.DrawHLineBmp(0, 4, 9, 5, 1), 1);
    EXPECT_EQ(other.DrawVLineBmp(3, 0, 4, 8, 1), 1);
    EXPECT_EQ(std::count(other.m_pPixels, other.m_pPixels + 64 * 64, 0x3333), 64 * 64);
    EXPECT_EQ(t.Painted(), zt::Pixels());
}

// Random primitives against the rules: the pixel test, spans cut to the
// bitmap, Bresenham and the outline and fill only when a corner passes the
// corner test, fills blended per channel (weights above 32 by the packed
// arithmetic); the alpha plane is neither read nor written.
TEST_F(BitmapDraw, RandomDrawingMatchesThePixelRules) {
    std::mt19937 rng(3107);
    for (int round = 0; round < 200; ++round) {
        const int w = 1 + int(rng() % 50), h = 1 + int(rng() % 50);
        CCEBitmap b;
        ASSERT_EQ(b.Surface(&canvas, w, h, 0, 1), 1);
        for (int i = 0; i < w * h; ++i)
            b.m_pPixels[i] = uint16_t(rng()), b.m_pAlpha[i] = uint8_t(rng());
        zt::RefImage ref(w, h, std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + w * h));
        const std::vector<uint8_t> plane(b.m_pAlpha, b.m_pAlpha + w * h);
        auto coord = [&](int size) -> long {
            const uint32_t k = rng() % 10;
            if (k == 0) return long(rng()) - (long(1) << 31);
            return k == 1 ? size + long(rng() % 2000) : long(rng() % uint32_t(size + 8)) - 4;
        };
        auto inside = [&](long x, long y) { return x >= 0 && y >= 0 && x <= w && y <= h; };
        for (int op = 0; op < 40; ++op) {
            const uint16_t c = uint16_t(rng());
            const char kind = "PHVLRF"[rng() % 6];
            const int opacity = rng() % 4 ? int(rng() % 48) : 32; // some above 32
            const long x1 = coord(w), y1 = coord(h);
            // Lines short enough for the reference to walk.
            const long x2 = kind == 'L' ? x1 + long(rng() % 200) - 100 : coord(w);
            const long y2 = kind == 'L' ? y1 + long(rng() % 200) - 100 : coord(h);
            Apply(b, kind, x1, y1, x2, y2, c, opacity);
            auto put = [c](uint16_t& p) { p = c; };
            const bool corner = inside(x1, y1) || inside(x2, y2);
            if (kind == 'P') ref.Put(x1, y1, c);
            if (kind == 'H') Box(ref, x1, y1, x2, y1, put);
            if (kind == 'V') Box(ref, x1, y1, x1, y2, put);
            if (kind == 'L' && corner) zt::RefLine(ref, x1, y1, x2, y2, c);
            if (kind == 'R' && corner) {
                Box(ref, x1, y1, x2, y1, put), Box(ref, x1, y2, x2, y2, put);
                Box(ref, x1, y1, x1, y2, put), Box(ref, x2, y1, x2, y2, put);
            }
            if (kind == 'F' && corner)
                Box(ref, x1, y1, x2, y2, [&](uint16_t& p) { p = zt::RefBlend(p, c, opacity); });
        }
        const zt::Difference d =
            zt::Compare(ref, std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + w * h));
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
        ASSERT_TRUE(std::equal(plane.begin(), plane.end(), b.m_pAlpha)) << "round " << round;
    }
}
