// Blits onto the canvas (BitBlt, DrawBitmap, BitBlt2x, BitRot, BitRot2x):
// worked values at the clip edges, the colour key, the weights, the block
// grid and the rotated corners, then every family against the pixel-at-a-
// time reference on random bitmaps and canvases of every layout.
#include "support/BlitReference.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <sstream>

namespace {

class Blit : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// Sizes `b` to w x h and gives it these pixels (and this alpha plane).
void Fill(CCEBitmap& b, CCEDraw& c, int w, int h, const std::vector<uint16_t>& pixels,
          const std::vector<uint8_t>& alpha = {}) {
    ASSERT_EQ(b.Surface(&c, w, h, 0, alpha.empty() ? 0 : 1), 1);
    std::copy(pixels.begin(), pixels.end(), b.m_pPixels);
    std::copy(alpha.begin(), alpha.end(), b.m_pAlpha);
}

size_t Count(const std::vector<uint16_t>& px, uint16_t value) {
    return size_t(std::count(px.begin(), px.end(), value));
}

constexpr uint16_t K = 0xF81F; // magenta, the usual key
constexpr uint16_t A = 0x1111, B = 0x2222, C = 0x3333;

} // namespace

// ---- Single size: rectangle, key, weights

TEST_F(Blit, ZeroSizeDrawsTheWholeBitmapAtThePosition) {
    zt::TestCanvas t(zt::Dense(20, 15));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    Fill(b, t.canvas, 4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    EXPECT_EQ(b.BitBlt(&t.canvas, 5, 6, 0, 0, 0, 0, SRCCOPY, 32), 1);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(t.Pixel(5 + i, 6 + j), 1 + j * 4 + i);
    EXPECT_EQ(Count(t.Snapshot(), 0), 300u - 12u);
}

TEST_F(Blit, KeyStaysInColumnXSrcWhenXIsNegative) {
    zt::TestCanvas t(zt::Dense(20, 15));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    // Column 2 (xSrc) holds the key; x = -5 cuts columns 2..6, so source
    // columns 7, 8, 9 land on canvas columns 0, 1, 2. Column 7 is no key.
    Fill(b, t.canvas, 10, 2, {A, A, K, A, B, K, B, C, K, B, //
                              K, K, K, K, K, K, K, K, K, C});
    EXPECT_EQ(b.BitBlt(&t.canvas, -5, 0, 0, 0, 2, 0, BLT_TRANSPARENT, 32), 1);
    EXPECT_EQ(t.Pixel(0, 0), C);
    EXPECT_EQ(t.Pixel(1, 0), 0);
    EXPECT_EQ(t.Pixel(2, 0), B);
    EXPECT_EQ(t.Pixel(0, 1), 0);
    EXPECT_EQ(t.Pixel(1, 1), 0);
    EXPECT_EQ(t.Pixel(2, 1), C);
    EXPECT_EQ(Count(t.Snapshot(), 0), 300u - 3u);
}

TEST_F(Blit, KeyComesFromTheFirstDrawnRowWhenYIsNegative) {
    zt::TestCanvas t(zt::Dense(20, 15));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    const uint16_t K1 = 0x0101, K2 = 0x0202;
    // y = -5 cuts rows 0..4: the key is (xSrc, ySrc + 5) = (1, 5), K2, not
    // (1, 0), K1.
    Fill(b, t.canvas, 3, 8, {A,  K1, A, A, A,  A,  A, A, A, A, A, A, A, A, A, //
                             K1, K2, A, B, K1, K2, C, C, B});
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, -5, 0, 0, 1, 0, BLT_TRANSPARENT, 32), 1);
    EXPECT_EQ(t.Pixel(0, 0), 0); // K2
    EXPECT_EQ(t.Pixel(1, 0), A);
    EXPECT_EQ(t.Pixel(0, 1), K1);
    EXPECT_EQ(t.Pixel(1, 1), 0); // K2
    EXPECT_EQ(t.Pixel(0, 2), C);
    EXPECT_EQ(t.Pixel(1, 2), B);
    EXPECT_EQ(Count(t.Snapshot(), 0), 300u - 4u);
}

TEST_F(Blit, KeyedBlendAtOtherOpacities) {
    zt::TestCanvas t(zt::Dense(4, 1));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    Fill(b, t.canvas, 4, 1, {K, 0xFFFF, K, 0xFFFF});
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_TRANSPARENT, 16);
    EXPECT_EQ(t.Snapshot(), (std::vector<uint16_t>{0, 0x7BEF, 0, 0x7BEF}));
}

TEST_F(Blit, AlphaPlaneWeightIsAlphaTimesOpacityShiftedByFive) {
    zt::TestCanvas t(zt::Dense(5, 1));
    CCEBitmap b;
    Fill(b, t.canvas, 5, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {31, 32, 0, 16, 1});
    // The mode is ignored with the plane in use, also an unknown one.
    t.canvas.Clear(0ul);
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, 0, 32), 1);
    // A loaded image's opaque pixel (31) is a 31/32 blend, not a copy.
    EXPECT_EQ(t.Snapshot(), (std::vector<uint16_t>{0xF7BE, 0xFFFF, 0x0000, 0x7BEF, 0x0020}));
    t.canvas.Clear(0ul);
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 16); // weights 15, 16, 0, 8, 0
    EXPECT_EQ(t.Snapshot(), (std::vector<uint16_t>{0x73AE, 0x7BEF, 0x0000, 0x39E7, 0x0000}));
    t.canvas.Clear(0ul);
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 31); // alpha 31 at 31: weight 30
    EXPECT_EQ(t.Pixel(0, 0), 0xEF7D);
    t.canvas.Clear(0ul);
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 0);
    EXPECT_EQ(Count(t.Snapshot(), 0), 5u);

    // With the flag cleared the plane is ignored and the mode decides.
    b.m_bARGB = 0;
    t.canvas.Clear(0ul);
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, 0, 32);
    EXPECT_EQ(Count(t.Snapshot(), 0), 5u);
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
    EXPECT_EQ(Count(t.Snapshot(), 0xFFFF), 5u);
}

TEST_F(Blit, ConstantOpacityBlendsEveryPixel) {
    zt::TestCanvas t(zt::Padded(3, 2, 6));
    CCEBitmap b;
    Fill(b, t.canvas, 3, 2, {0xFFFF, 0x0000, 0x4321, 0xFFFF, 0x0000, 0x4321});
    t.Load({0x0000, 0xFFFF, 0x1234, 0x0000, 0xFFFF, 0x1234});
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_ALPHA, 16);
    EXPECT_EQ(t.Pixel(0, 0), 0x7BEF); // white over black
    EXPECT_EQ(t.Pixel(1, 0), 0x7BEF); // black over white
    t.Load({0x0000, 0xFFFF, 0x1234, 0x0000, 0xFFFF, 0x1234});
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_ALPHA, 1);
    // Blue 20 moves towards 1 by floor(-19 / 32) = -1; red and green stay.
    EXPECT_EQ(t.Pixel(2, 0), 0x1233);
    EXPECT_EQ(t.Pixel(2, 1), 0x1233);
    const std::vector<uint16_t> before = t.Snapshot();
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_ALPHA, 0);
    EXPECT_EQ(t.Snapshot(), before);
    b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_ALPHA, 32);
    EXPECT_EQ(t.Snapshot(), (std::vector<uint16_t>{0xFFFF, 0, 0x4321, 0xFFFF, 0, 0x4321}));
}

TEST_F(Blit, RectanglesAreCutAtTheCanvasAndBitmapEdges) {
    zt::TestCanvas t(zt::Dense(10, 8));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 6, 5, 0xFF, 0), 1);

    t.canvas.Clear(0ul);
    EXPECT_EQ(b.BitBlt(&t.canvas, 7, 6, 0, 0, 0, 0, SRCCOPY, 32), 1); // 3 x 2 visible
    EXPECT_EQ(Count(t.Snapshot(), 0xFFFF), 6u);
    EXPECT_EQ(t.Pixel(9, 7), 0xFFFF);

    t.canvas.Clear(0ul);
    EXPECT_EQ(b.BitBlt(&t.canvas, 10, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 8, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(b.BitBlt(&t.canvas, -6, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, -5, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0), 80u);

    // A width beyond the bitmap is reduced to W - xSrc.
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 100, 1, 4, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0xFFFF), 2u);

    // Sums far beyond 32 bits are clipped like any other.
    t.canvas.Clear(0ul);
    EXPECT_EQ(b.BitBlt(&t.canvas, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(b.BitBlt(&t.canvas, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 5, 4, SRCCOPY, 32), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0), 80u);
    EXPECT_EQ(b.BitBlt(&t.canvas, -2, -3, INT_MAX, INT_MAX, 1, 1, SRCCOPY, 32), 1);
    // Source rows 1..4 at canvas rows -3..0, columns 1..5 at -2..2.
    EXPECT_EQ(Count(t.Snapshot(), 0xFFFF), 3u);
    EXPECT_EQ(t.Pixel(2, 0), 0xFFFF);
    EXPECT_EQ(b.BitBlt(&t.canvas, -2, -1, INT_MAX, INT_MAX, 1, 1, SRCCOPY, 32), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0xFFFF), 9u);
    EXPECT_EQ(t.Pixel(2, 2), 0xFFFF);
}

TEST_F(Blit, NullsEmptiesAndUnknownModes) {
    zt::TestCanvas t(zt::Dense(6, 4));
    t.canvas.Clear(0ul);
    CCEBitmap empty;
    EXPECT_EQ(empty.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(empty.BitBlt2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(empty.BitRot(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 0);
    EXPECT_EQ(empty.BitRot2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 4), 0);
    EXPECT_EQ(t.canvas.DrawBitmap(&empty, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(t.canvas.DrawBitmap(nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);

    CCEBitmap b;
    Fill(b, t.canvas, 2, 2, {A, B, C, K});
    EXPECT_EQ(b.BitBlt(nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitBlt2x(nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitRot(nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 0);
    EXPECT_EQ(b.BitRot2x(nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 0);
    for (unsigned long rop : {0ul, 1000ul, 1003ul, 0x00CC0021ul, 0xFFFFFFFFul})
        EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, rop, 32), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0), 24u);

    // DrawBitmap is BitBlt with the canvas first.
    EXPECT_EQ(t.canvas.DrawBitmap(&b, 3, 1, 0, 2, 1, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(t.Pixel(3, 1), B);
    EXPECT_EQ(t.Pixel(3, 2), K);
    EXPECT_EQ(Count(t.Snapshot(), 0), 22u);

    // A canvas without a back buffer is drawn into as an empty one.
    CCEDraw released;
    EXPECT_EQ(b.BitBlt(&released, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(b.BitRot2x(&released, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 1);
}

TEST_F(Blit, ArgumentsOutsideTheContractDrawNothingOrStayInBounds) {
    zt::TestCanvas t(zt::Dense(6, 4));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    Fill(b, t.canvas, 3, 2, {A, B, C, A, B, C}, {32, 32, 32, 32, 32, 32});
    // Negative source origins have no pixel and no key to read: 0.
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, -1, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, -1, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitBlt2x(&t.canvas, 0, 0, 0, 0, INT_MIN, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitRot(&t.canvas, -4, -4, 0, 0, 0, -2, SRCCOPY, 32, 1), 0);
    EXPECT_EQ(t.canvas.DrawBitmap(&b, 0, 0, 0, 0, -3, -3, SRCCOPY, 32), 0);
    // Source origins beyond the bitmap clip everything away: 1.
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, 3, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, INT_MAX, SRCCOPY, 32), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0), 24u);

    // Flagged for an alpha plane that is not there: nothing can be drawn.
    BYTE* plane = b.m_pAlpha;
    b.m_pAlpha = nullptr;
    EXPECT_EQ(b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitBlt2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(b.BitRot(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 4), 0);
    EXPECT_EQ(Count(t.Snapshot(), 0), 24u);
    b.m_pAlpha = plane;

    // Opacities and alpha bytes beyond 32 keep the packed arithmetic.
    for (int op : {33, 64, 200, 255}) {
        t.Load(std::vector<uint16_t>(24, 0x8410));
        b.m_pAlpha[0] = 255;
        b.m_pAlpha[1] = 1;
        b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, uint8_t(op));
        EXPECT_EQ(t.Pixel(0, 0), zt::PackedBlend(0x8410, A, (255u * op) >> 5)) << op;
        const uint32_t w1 = uint32_t(op) >> 5;
        EXPECT_EQ(t.Pixel(1, 0), w1 == 0 ? 0x8410 : w1 == 32 ? B : zt::PackedBlend(0x8410, B, w1));
        EXPECT_EQ(t.Pixel(2, 0), zt::PackedBlend(0x8410, C, (32u * op) >> 5)) << op;
        b.m_bARGB = 0;
        t.Load(std::vector<uint16_t>(24, 0x8410));
        b.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_ALPHA, uint8_t(op));
        EXPECT_EQ(t.Pixel(1, 1), zt::PackedBlend(0x8410, B, uint32_t(op)));
        b.m_bARGB = 1;
    }
}

// ---- Double size

TEST_F(Blit, DoubleSizeFillsTheGridWithBlocks) {
    zt::TestCanvas t(zt::Dense(480, 640));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    std::mt19937 rng(7);
    ASSERT_EQ(b.Surface(&t.canvas, 240, 320, 0, 0), 1);
    for (int i = 0; i < 240 * 320; ++i)
        b.m_pPixels[i] = uint16_t(rng() | 1);
    EXPECT_EQ(b.BitBlt2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    int wrong = 0;
    for (int y = 0; y < 640; ++y)
        for (int x = 0; x < 480; ++x)
            wrong += t.Pixel(x, y) != b.m_pPixels[(y / 2) * 240 + x / 2];
    EXPECT_EQ(wrong, 0);
}

TEST_F(Blit, DoubleSizeNeverWritesTheOddColumnOrRow) {
    zt::TestCanvas t(zt::Dense(481, 9));
    t.canvas.Clear(0x5Aul);
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 300, 10, 0xFF, 0), 1);
    EXPECT_EQ(b.BitBlt2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    for (int y = 0; y < 9; ++y) {
        EXPECT_EQ(t.Pixel(480, y), 0x5A5A) << y;
        EXPECT_EQ(t.Pixel(479, y), y < 8 ? 0xFFFF : 0x5A5A) << y;
    }
    EXPECT_EQ(Count(t.Snapshot(), 0xFFFF), 480u * 8u);
}

TEST_F(Blit, DoubleSizeCutAtTheLeftStartsAtColumnZero) {
    zt::TestCanvas t(zt::Dense(12, 4));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    Fill(b, t.canvas, 5, 1, {1, 2, 3, 4, 5});
    b.BitBlt2x(&t.canvas, -3, 1, 0, 0, 0, 0, SRCCOPY, 32);
    EXPECT_EQ(t.Pixel(0, 2), 4);
    EXPECT_EQ(t.Pixel(1, 3), 4);
    EXPECT_EQ(t.Pixel(2, 2), 5);
    EXPECT_EQ(t.Pixel(3, 3), 5);
    EXPECT_EQ(Count(t.Snapshot(), 0), 48u - 8u);
}

TEST_F(Blit, DoubleSizeBlendsOnceFromTheTopLeftPixel) {
    zt::TestCanvas t(zt::NegativeXPitch(4, 6)); // canvas 6 x 4
    CCEBitmap b;
    Fill(b, t.canvas, 3, 1, {0xFFFF, 0xFFFF, 0xFFFF}, {32, 0, 16});
    auto background = [&] {
        for (int bx = 0; bx < 3; ++bx) {
            t.SetPixel(2 * bx, 0, 0x0000);
            t.SetPixel(2 * bx + 1, 0, 0xFFFF);
            t.SetPixel(2 * bx, 1, 0xFFFF);
            t.SetPixel(2 * bx + 1, 1, 0xFFFF);
        }
    };
    background();
    b.m_bARGB = 0;
    b.BitBlt2x(&t.canvas, 0, 0, 0, 0, 0, 0, BLT_ALPHA, 16);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(t.Pixel(x, 0), 0x7BEF) << x;
        EXPECT_EQ(t.Pixel(x, 1), 0x7BEF) << x;
    }
    // Through the plane: 32 copies, 0 leaves the block, 16 blends from the
    // top-left pixel and overwrites the other three.
    background();
    b.m_bARGB = 1;
    b.BitBlt2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
    EXPECT_EQ(t.Pixel(0, 0), 0xFFFF);
    EXPECT_EQ(t.Pixel(1, 1), 0xFFFF);
    EXPECT_EQ(t.Pixel(2, 0), 0x0000);
    EXPECT_EQ(t.Pixel(3, 0), 0xFFFF);
    EXPECT_EQ(t.Pixel(2, 1), 0xFFFF);
    for (int x = 4; x < 6; ++x) {
        EXPECT_EQ(t.Pixel(x, 0), 0x7BEF);
        EXPECT_EQ(t.Pixel(x, 1), 0x7BEF);
    }
}

TEST_F(Blit, DoubleSizeWithAFullPlaneIsAPlainCopy) {
    zt::TestCanvas t(zt::Padded(9, 7, 10));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    Fill(b, t.canvas, 2, 2, {A, B, C, K}, {32, 32, 32, 32});
    b.BitBlt2x(&t.canvas, 1, 1, 0, 0, 0, 0, BLT_ALPHA, 32);
    const uint16_t want[4][4] = {{A, A, B, B}, {A, A, B, B}, {C, C, K, K}, {C, C, K, K}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.Pixel(2 + x, 2 + y), want[y][x]);
    EXPECT_EQ(Count(t.Snapshot(), 0), 63u - 16u);
}

// ---- Rotated views

TEST_F(Blit, QuarterTurnAnticlockwisePutsTheCornersWhereTheTableSays) {
    zt::TestCanvas t(zt::Dense(240, 320));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    std::mt19937 rng(11);
    ASSERT_EQ(b.Surface(&t.canvas, 320, 240, 0, 0), 1);
    for (int i = 0; i < 320 * 240; ++i)
        b.m_pPixels[i] = uint16_t(rng());
    auto bmp = [&](int u, int v) { return b.m_pPixels[v * 320 + u]; };
    EXPECT_EQ(b.BitRot(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 1);
    EXPECT_EQ(t.Pixel(0, 319), bmp(0, 0));
    EXPECT_EQ(t.Pixel(0, 0), bmp(319, 0));
    EXPECT_EQ(t.Pixel(239, 319), bmp(0, 239));
    int wrong = 0;
    for (int v = 0; v < 240; ++v)
        for (int u = 0; u < 320; ++u)
            wrong += t.Pixel(v, 319 - u) != bmp(u, v);
    EXPECT_EQ(wrong, 0);

    // Code 4: top-left at (239, 0), top-right at (239, 319), bottom-left
    // at (0, 0).
    t.canvas.Clear(0ul);
    EXPECT_EQ(b.BitRot(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 4), 1);
    EXPECT_EQ(t.Pixel(239, 0), bmp(0, 0));
    EXPECT_EQ(t.Pixel(239, 319), bmp(319, 0));
    EXPECT_EQ(t.Pixel(0, 0), bmp(0, 239));
    wrong = 0;
    for (int v = 0; v < 240; ++v)
        for (int u = 0; u < 320; ++u)
            wrong += t.Pixel(239 - v, u) != bmp(u, v);
    EXPECT_EQ(wrong, 0);
}

TEST_F(Blit, QuarterTurnClipsAtTheViewEdges) {
    zt::TestCanvas t(zt::Dense(240, 320));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    std::vector<uint16_t> row(40);
    for (int i = 0; i < 40; ++i)
        row[i] = uint16_t(100 + i);
    Fill(b, t.canvas, 40, 1, row);
    // View x 300 + 40 passes the view's right edge, the canvas's top row,
    // after 20 columns.
    EXPECT_EQ(b.BitRot(&t.canvas, 300, 0, 0, 0, 0, 0, SRCCOPY, 32, 1), 1);
    for (int u = 300; u < 320; ++u)
        EXPECT_EQ(t.Pixel(0, 319 - u), 100 + (u - 300));
    EXPECT_EQ(Count(t.Snapshot(), 0), 240u * 320u - 20u);
}

TEST_F(Blit, OtherRotationCodesDrawUnturned) {
    zt::TestCanvas t(zt::Dense(17, 11));
    CCEBitmap b;
    Fill(b, t.canvas, 3, 2, {A, B, K, C, K, A});
    for (unsigned char code : {0, 2, 3, 5, 8, 255}) {
        for (int twice = 0; twice < 2; ++twice) {
            t.canvas.Clear(0ul);
            if (twice)
                b.BitBlt2x(&t.canvas, 2, -1, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
            else
                b.BitBlt(&t.canvas, 2, -1, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
            const std::vector<uint16_t> want = t.Snapshot();
            t.canvas.Clear(0ul);
            if (twice)
                b.BitRot2x(&t.canvas, 2, -1, 0, 0, 0, 0, BLT_TRANSPARENT, 32, code);
            else
                b.BitRot(&t.canvas, 2, -1, 0, 0, 0, 0, BLT_TRANSPARENT, 32, code);
            EXPECT_EQ(t.Snapshot(), want) << int(code) << " " << twice;
        }
    }
}

TEST_F(Blit, DoubleSizeQuarterTurnBlockZero) {
    zt::TestCanvas t(zt::Dense(480, 640));
    t.canvas.Clear(0ul);
    CCEBitmap b;
    Fill(b, t.canvas, 1, 1, {0xABCD});
    EXPECT_EQ(b.BitRot2x(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 4), 1);
    EXPECT_EQ(t.Pixel(478, 0), 0xABCD);
    EXPECT_EQ(t.Pixel(479, 0), 0xABCD);
    EXPECT_EQ(t.Pixel(478, 1), 0xABCD);
    EXPECT_EQ(t.Pixel(479, 1), 0xABCD);
    EXPECT_EQ(Count(t.Snapshot(), 0), 480u * 640u - 4u);
    // The grid is 320 x 240 blocks: block (319, 239) is canvas (0..1, 638..639).
    t.canvas.Clear(0ul);
    EXPECT_EQ(b.BitRot2x(&t.canvas, 319, 239, 0, 0, 0, 0, SRCCOPY, 32, 4), 1);
    EXPECT_EQ(t.Pixel(0, 638), 0xABCD);
    EXPECT_EQ(t.Pixel(1, 639), 0xABCD);
    EXPECT_EQ(b.BitRot2x(&t.canvas, 320, 0, 0, 0, 0, 0, SRCCOPY, 32, 4), 1);
    EXPECT_EQ(b.BitRot2x(&t.canvas, 0, 240, 0, 0, 0, 0, SRCCOPY, 32, 4), 1);
    EXPECT_EQ(Count(t.Snapshot(), 0), 480u * 640u - 4u);
}

// ---- Every family against the reference

namespace {

std::string Describe(const char* family, const zt::RefArgs& a, int rotation, const CCEBitmap& b,
                     const zt::TestCanvas& t) {
    std::ostringstream s;
    s << family << " on " << t.Width() << "x" << t.Height() << " rot " << rotation << ": x " << a.x
      << " y " << a.y << " w " << a.nWidth << " h " << a.nHeight << " xSrc " << a.xSrc << " ySrc "
      << a.ySrc << " rop " << a.rop << " op " << a.opacity << " bitmap " << b.m_nWidth << "x"
      << b.m_nHeight << " argb " << b.m_bARGB << " pixels " << (b.m_pPixels != nullptr);
    return s.str();
}

} // namespace

TEST_F(Blit, EveryFamilyMatchesThePixelAtATimeReference) {
    const zorva::VirtualDisplayConfig layouts[] = {
        zt::Dense(37, 23),         zt::Padded(19, 11, 6), zt::NegativeXPitch(13, 29),
        zt::NegativeXPitch(8, 15), zt::Dense(1, 1),       zt::Dense(2, 7),
    };
    zt::BlitArgGen g(20240601);
    int changed = 0, total = 0;
    for (const auto& layout : layouts) {
        zt::TestCanvas t(layout);
        const int extent = std::max(t.Width(), t.Height());
        t.FillRandom(g.rng);
        zt::RefImage expected(t.Width(), t.Height(), t.Snapshot());
        for (int n = 0; n < 2500; ++n, ++total) {
            CCEBitmap b;
            ASSERT_TRUE(zt::RandomBlitBitmap(g, b, t.canvas, extent + 4));
            g.wild = g.Chance(30);
            const int family = g.Int(0, 4); // BitBlt, DrawBitmap, BitBlt2x, BitRot, BitRot2x
            const int rotation = family >= 3 ? g.Rotation() : 0;
            const int scale = family == 2 || family == 4 ? 2 : 1;
            const bool turned = rotation == 1 || rotation == 4;
            const int viewW = (turned ? t.Height() : t.Width()) / scale;
            const int viewH = (turned ? t.Width() : t.Height()) / scale;
            const zt::RefArgs a{g.Coord(viewW),
                                g.Coord(viewH),
                                g.Size(viewW),
                                g.Size(viewH),
                                g.SourceOrigin(b.m_nWidth),
                                g.SourceOrigin(b.m_nHeight),
                                g.Rop(),
                                g.Opacity(),
                                scale};
            const int x = int(a.x), y = int(a.y), w = int(a.nWidth), h = int(a.nHeight);
            const int xs = int(a.xSrc), ys = int(a.ySrc);
            const uint8_t op = uint8_t(a.opacity);
            const uint8_t code = uint8_t(rotation);

            const zt::RefBitmapCopy source(b);
            const std::vector<uint16_t> before = expected.pixels;
            int want = 0;
            if (b.m_pPixels) want = zt::RefBlit(zt::RefView{&expected, rotation}, source.source, a);
            changed += expected.pixels != before;
            int got = 0;
            switch (family) {
            case 0:
                got = b.BitBlt(&t.canvas, x, y, w, h, xs, ys, a.rop, op);
                break;
            case 1:
                got = t.canvas.DrawBitmap(&b, x, y, w, h, xs, ys, a.rop, op);
                break;
            case 2:
                got = b.BitBlt2x(&t.canvas, x, y, w, h, xs, ys, a.rop, op);
                break;
            case 3:
                got = b.BitRot(&t.canvas, x, y, w, h, xs, ys, a.rop, op, code);
                break;
            default:
                got = b.BitRot2x(&t.canvas, x, y, w, h, xs, ys, a.rop, op, code);
            }
            const zt::Difference diff = zt::Compare(expected, t.Snapshot());
            static const char* const names[] = {"BitBlt", "DrawBitmap", "BitBlt2x", "BitRot",
                                                "BitRot2x"};
            ASSERT_TRUE(got == want && diff.count == 0)
                << Describe(names[family], a, rotation, b, t) << ": result " << got << " (expected "
                << want << "), " << diff.count << " pixels differ, first at (" << diff.x << ", "
                << diff.y << ")";
            if (n % 97 == 0) {
                t.FillRandom(g.rng);
                expected = zt::RefImage(t.Width(), t.Height(), t.Snapshot());
            }
        }
    }
    // The cases must mostly reach the canvas for the comparison to mean much.
    EXPECT_GT(changed, total / 3);
}
