// Pixels, spans, lines, outlines and filled rectangles drawn into bitmaps:
// worked values, the inclusive bounds of FillRectBmp, the alpha plane left
// alone, bitmaps without pixels, and a seeded comparison with pixel-at-a-time
// references.
#include "CCEBitmap.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

class BitmapDraw : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
    CCEDraw canvas; // only supplies Surface's default size
};

// Coordinates of every pixel that is not 0.
Pixels Painted(const CCEBitmap& b) {
    Pixels out;
    for (int y = 0; y < b.m_nHeight; ++y)
        for (int x = 0; x < b.m_nWidth; ++x)
            if (b.m_pPixels[y * b.m_nWidth + x] != 0) out.insert({x, y});
    return out;
}

std::vector<uint16_t> Contents(const CCEBitmap& b) {
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + size_t(b.m_nWidth) * b.m_nHeight);
}

bool CornerInside(int64_t x, int64_t y, int w, int h) {
    return x >= 0 && y >= 0 && x <= w && y <= h;
}

} // namespace

TEST_F(BitmapDraw, PixelsAndSpansWorkedValues) {
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 100, 10, 0, 0), 1);
    const int W = 100, H = 10;
    b.DrawPixelBmp(W, 0, 0x0101);
    b.DrawPixelBmp(0, H, 0x0101);
    b.DrawPixelBmp(0xFFFFFFFFul, 0, 0x0101); // reads as -1
    EXPECT_TRUE(Painted(b).empty());
    b.DrawPixelBmp(W - 1, H - 1, 0x0101);
    EXPECT_EQ(b.m_pPixels[W * H - 1], 0x0101);

    ASSERT_EQ(b.Surface(&canvas, 100, 10, 0, 0), 1);
    EXPECT_EQ(b.DrawHLineBmp(-20, 0, W + 20, 0, 0x0202), 1);
    EXPECT_EQ(Painted(b).size(), 100u);
    EXPECT_EQ(b.m_pPixels[99], 0x0202);
    EXPECT_EQ(b.m_pPixels[100], 0);

    ASSERT_EQ(b.Surface(&canvas, 100, 10, 0, 0), 1);
    b.DrawHLineBmp(0, 5, 99, 5, 0x0303);
    Pixels row5;
    for (int x = 0; x < 100; ++x)
        row5.insert({x, 5});
    EXPECT_EQ(Painted(b), row5);

    ASSERT_EQ(b.Surface(&canvas, 100, 10, 0, 0), 1);
    EXPECT_EQ(b.DrawHLineBmp(0, 4, 9, 5, 0x0404), 1); // rows differ
    EXPECT_EQ(b.DrawVLineBmp(3, 0, 4, 9, 0x0404), 1); // columns differ
    b.DrawHLineBmp(-9, 2, -1, 2, 0x0404);
    b.DrawHLineBmp(W, 2, W + 9, 2, 0x0404);
    b.DrawVLineBmp(3, H, 3, H + 9, 0x0404);
    b.DrawVLineBmp(W, 0, W, 5, 0x0404);
    EXPECT_TRUE(Painted(b).empty());
    b.DrawVLineBmp(3, H + 5, 3, -5, 0x0404);
    Pixels column3;
    for (int y = 0; y < H; ++y)
        column3.insert({3, y});
    EXPECT_EQ(Painted(b), column3);

    // Colour 0xFFFF is white here, not the canvas's pen.
    CCEPen pen(0, 1, 0x1234);
    canvas.SetGDIObject(&pen);
    b.DrawHLineBmp(7, 1, 7, 1, 0xFFFF);
    EXPECT_EQ(b.m_pPixels[1 * W + 7], 0xFFFF);
}

TEST_F(BitmapDraw, LinesAndOutlinesWorkedValues) {
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 12, 9, 0, 0), 1);
    EXPECT_EQ(b.DrawLineBmp(0, 0, 4, 2, 0x0505), 1);
    EXPECT_EQ(Painted(b), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));

    ASSERT_EQ(b.Surface(&canvas, 12, 9, 0, 0), 1);
    b.DrawLineBmp(-10, 5, 12 + 10, 5, 0x0505); // crosses, both ends outside
    EXPECT_TRUE(Painted(b).empty());
    b.DrawLineBmp(12, 9, 12 - 4, 9 - 4, 0x0505); // the far corner lets it through
    EXPECT_EQ(Painted(b), (Pixels{{11, 8}, {10, 7}, {9, 6}, {8, 5}}));

    ASSERT_EQ(b.Surface(&canvas, 12, 9, 0, 0), 1);
    EXPECT_EQ(b.DrawRectBmp(6, 5, 2, 2, 0x0606), 1);
    Pixels outline;
    for (int x = 2; x <= 6; ++x)
        outline.insert({x, 2}), outline.insert({x, 5});
    for (int y = 2; y <= 5; ++y)
        outline.insert({2, y}), outline.insert({6, y});
    EXPECT_EQ(Painted(b), outline);

    ASSERT_EQ(b.Surface(&canvas, 12, 9, 0, 0), 1);
    b.DrawRectBmp(-1, -1, 13, 10, 0x0606); // encloses the bitmap: rejected
    EXPECT_TRUE(Painted(b).empty());
    b.DrawRectBmp(-3, 4, 11, 9, 0x0606); // left side and bottom row outside
    Pixels cut;
    for (int x = 0; x <= 11; ++x)
        cut.insert({x, 4});
    for (int y = 4; y < 9; ++y)
        cut.insert({11, y});
    EXPECT_EQ(Painted(b), cut);
}

TEST_F(BitmapDraw, FilledRectanglesIncludeBothBounds) {
    CCEBitmap b;
    const int W = 9, H = 7;
    ASSERT_EQ(b.Surface(&canvas, W, H, 0, 0), 1);
    EXPECT_EQ(b.FillRectBmp(0, 0, W, H, 32, 0x0707), 1);
    EXPECT_EQ(Painted(b).size(), size_t(W * H));

    ASSERT_EQ(b.Surface(&canvas, W, H, 0, 0), 1);
    b.FillRectBmp(-1, -1, W + 1, H + 1, 32, 0x0707); // both corners fail
    EXPECT_TRUE(Painted(b).empty());
    b.FillRectBmp(1, 1, 0, 0, 32, 0x0707);
    EXPECT_EQ(Painted(b), (Pixels{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));

    ASSERT_EQ(b.Surface(&canvas, W, H, 0, 0), 1);
    b.FillRectBmp(3, 2, 3, 2, 32, 0x0707);          // one pixel
    b.FillRectBmp(W + 1, 0, W + 50, 3, 32, 0x0707); // both corners beyond the right edge
    EXPECT_EQ(Painted(b), (Pixels{{3, 2}}));
    b.FillRectBmp(W - 2, H - 1, W + 50, H + 50, 32, 0x0707); // one corner inside, cut
    EXPECT_EQ(Painted(b), (Pixels{{3, 2}, {W - 2, H - 1}, {W - 1, H - 1}}));
    b.FillRectBmp(W, H, W - 2, H - 1, 32, 0x0808); // the far corner counts as inside
    EXPECT_EQ(b.m_pPixels[(H - 1) * W + W - 2], 0x0808);
    EXPECT_EQ(b.m_pPixels[(H - 1) * W + W - 1], 0x0808);

    ASSERT_EQ(b.Surface(&canvas, W, H, 0, 0), 1);
    b.FillRectBmp(0, 0, W, H, 16, 0xFFFF);
    for (int i = 0; i < W * H; ++i)
        ASSERT_EQ(b.m_pPixels[i], 0x7BEF);
    b.FillRectBmp(0, 0, W, H, 0, 0x0000);
    for (int i = 0; i < W * H; ++i)
        ASSERT_EQ(b.m_pPixels[i], 0x7BEF);
}

TEST_F(BitmapDraw, TheAlphaPlaneIsNeitherReadNorWritten) {
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 10, 10, 0, 1), 1);
    for (int i = 0; i < 100; ++i)
        b.m_pAlpha[i] = uint8_t(i % 33);
    b.DrawPixelBmp(1, 1, 0x1111);
    b.DrawHLineBmp(0, 2, 9, 2, 0x1111);
    b.DrawVLineBmp(4, 0, 4, 9, 0x1111);
    b.DrawLineBmp(0, 0, 9, 9, 0x1111);
    b.DrawRectBmp(1, 1, 8, 8, 0x1111);
    b.FillRectBmp(2, 2, 7, 7, 32, 0x2222);
    b.FillRectBmp(0, 0, 9, 9, 11, 0x3333);
    EXPECT_EQ(b.IsARGB(), 1);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(b.m_pAlpha[i], i % 33);
    // The blended fill used the constant weight, not the plane.
    EXPECT_EQ(b.m_pPixels[9], zt::BlendPerChannel(0, 0x3333, 11));
}

TEST_F(BitmapDraw, BitmapsWithoutPixelsAreLeftAlone) {
    // New and unloaded bitmaps, a buffer lost to a failed growth (the old
    // size stays), and a size that the recorded buffer does not cover.
    CCEBitmap empty;
    CCEBitmap lost;
    ASSERT_EQ(lost.Surface(&canvas, 5, 5, 0, 0), 1);
    zorva::FailAllocation(1);
    ASSERT_EQ(lost.Surface(&canvas, 50, 50, 0, 0), 0);
    ASSERT_EQ(lost.m_pPixels, nullptr);
    ASSERT_EQ(lost.m_nWidth, 5);
    CCEBitmap unloaded;
    ASSERT_EQ(unloaded.Surface(&canvas, 5, 5, 0x11, 0), 1);
    unloaded.Unload(0);
    CCEBitmap inconsistent;
    ASSERT_EQ(inconsistent.Surface(&canvas, 4, 4, 0x22, 0), 1);
    inconsistent.m_nWidth = 40; // an application writing the public fields
    inconsistent.m_nHeight = 40;

    for (CCEBitmap* b : {&empty, &lost, &unloaded, &inconsistent}) {
        b->DrawPixelBmp(0, 0, 0x1234);
        EXPECT_EQ(b->DrawHLineBmp(0, 0, 3, 0, 0x1234), 1);
        EXPECT_EQ(b->DrawVLineBmp(0, 0, 0, 3, 0x1234), 1);
        EXPECT_EQ(b->DrawLineBmp(0, 0, 3, 3, 0x1234), 1);
        EXPECT_EQ(b->DrawRectBmp(0, 0, 3, 3, 0x1234), 1);
        EXPECT_EQ(b->FillRectBmp(0, 0, 3, 3, 32, 0x1234), 1);
        EXPECT_EQ(b->FillRectBmp(0, 0, 3, 3, 7, 0x1234), 1);
    }
    EXPECT_EQ(unloaded.m_pPixels[0], 0x1111);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(inconsistent.m_pPixels[i], 0x2222);
}

TEST_F(BitmapDraw, RandomDrawingMatchesThePixelRules) {
    std::mt19937 rng(3107);
    for (int round = 0; round < 200; ++round) {
        const int w = 1 + int(rng() % 50), h = 1 + int(rng() % 50);
        CCEBitmap b;
        ASSERT_EQ(b.Surface(&canvas, w, h, 0, rng() % 2), 1);
        for (int i = 0; i < w * h; ++i)
            b.m_pPixels[i] = uint16_t(rng());
        zt::RefImage ref(w, h, Contents(b));
        auto coord = [&](int size) -> int64_t {
            switch (rng() % 10) {
            case 0:
                return int64_t(rng()) - (int64_t(1) << 31);
            case 1:
                return size + int64_t(rng() % 2000);
            default:
                return int64_t(rng() % uint32_t(size + 8)) - 4;
            }
        };
        for (int op = 0; op < 40; ++op) {
            const uint16_t colour = uint16_t(rng());
            const int64_t x1 = coord(w), y1 = coord(h);
            int64_t x2 = coord(w), y2 = coord(h);
            switch (rng() % 6) {
            case 0:
                b.DrawPixelBmp((unsigned long)(uint32_t(x1)), (unsigned long)(uint32_t(y1)),
                               colour);
                ref.Put(x1, y1, colour);
                break;
            case 1:
                b.DrawHLineBmp(long(x1), long(y1), long(x2), long(y1), colour);
                for (int64_t x = std::max<int64_t>(std::min(x1, x2), 0);
                     x <= std::max(x1, x2) && x < w; ++x)
                    ref.Put(x, y1, colour);
                break;
            case 2:
                b.DrawVLineBmp(long(x1), long(y1), long(x1), long(y2), colour);
                for (int64_t y = std::max<int64_t>(std::min(y1, y2), -1);
                     y <= std::max(y1, y2) && y < h; ++y)
                    ref.Put(x1, y, colour);
                break;
            case 3:
                x2 = x1 + int64_t(rng() % 200) - 100;
                y2 = y1 + int64_t(rng() % 200) - 100;
                b.DrawLineBmp(long(x1), long(y1), long(x2), long(y2), colour);
                if (CornerInside(x1, y1, w, h) || CornerInside(x2, y2, w, h))
                    zt::RefLine(ref, x1, y1, x2, y2, colour);
                break;
            case 4: {
                b.DrawRectBmp(long(x1), long(y1), long(x2), long(y2), colour);
                if (!CornerInside(x1, y1, w, h) && !CornerInside(x2, y2, w, h)) break;
                const int64_t l = std::min(x1, x2), r = std::max(x1, x2);
                const int64_t t = std::min(y1, y2), btm = std::max(y1, y2);
                for (int64_t x = std::max<int64_t>(l, -1); x <= std::min<int64_t>(r, w); ++x)
                    ref.Put(x, t, colour), ref.Put(x, btm, colour);
                for (int64_t y = std::max<int64_t>(t, -1); y <= std::min<int64_t>(btm, h); ++y)
                    ref.Put(l, y, colour), ref.Put(r, y, colour);
                break;
            }
            default: {
                const int opacity = rng() % 3 == 0   ? 32
                                    : rng() % 8 == 0 ? 33 + int(rng() % 223)
                                                     : int(rng() % 33);
                b.FillRectBmp(long(x1), long(y1), long(x2), long(y2), uint8_t(opacity), colour);
                if (!CornerInside(x1, y1, w, h) && !CornerInside(x2, y2, w, h)) break;
                for (int64_t y = std::max<int64_t>(std::min(y1, y2), 0);
                     y <= std::min<int64_t>(std::max(y1, y2), h - 1); ++y)
                    for (int64_t x = std::max<int64_t>(std::min(x1, x2), 0);
                         x <= std::min<int64_t>(std::max(x1, x2), w - 1); ++x) {
                        uint16_t& p = ref.At(int(x), int(y));
                        p = opacity == 32  ? colour
                            : opacity < 32 ? zt::BlendPerChannel(p, colour, opacity)
                                           : zt::PackedBlend(p, colour, uint32_t(opacity));
                    }
            }
            }
        }
        const zt::Difference d = zt::Compare(ref, Contents(b));
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}
