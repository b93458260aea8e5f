// The trapezoid stretch: horizontal-sides and vertical-sides shapes,
// fill or transparent background, and the fading reflection.
#include "CCEBitmap.h"
#include "support/BitmapMaker.h"
#include "support/TestCanvas.h"
#include "support/TransformReference.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using zt::Corners;
using zt::FloorDiv256;
using zt::ReferenceStretchEx;
using zt::ReflectionWeights;
using zt::RefTrapezoid;

class StretchEx : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

void MakeNumbered(CCEBitmap& b, int w, int h) {
    std::vector<uint16_t> p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.push_back(uint16_t(100 * y + x + 1));
    zt::MakeBitmap(b, w, h, p);
}

std::vector<uint16_t> Buffer(const CCEBitmap& b, int64_t rows) {
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + b.m_nWidth * rows);
}

std::vector<uint8_t> BufferWeights(const CCEBitmap& b, int64_t rows) {
    return std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + b.m_nWidth * rows);
}

int Trapezoid(CCEBitmap& out, CCEBitmap* src, const Corners& c, unsigned long fill, int reflect) {
    return out.StretchEx(src, c.x1, c.y1, c.x2, c.y2, c.x3, c.y3, c.x4, c.y4, fill, reflect, 0);
}

} // namespace

TEST_F(StretchEx, TrapezoidWithoutReflection) {
    CCEBitmap src, out;
    MakeNumbered(src, 100, 50);
    ASSERT_EQ(Trapezoid(out, &src, {20, 0, 79, 0, 0, 49, 99, 49}, 0, 0), 1);
    EXPECT_EQ(out.GetSize().cx, 99);
    EXPECT_EQ(out.GetSize().cy, 49);
    EXPECT_EQ(out.IsARGB(), 0);
    const uint16_t* row0 = out.m_pPixels;
    EXPECT_EQ(row0[19], 0);
    EXPECT_EQ(row0[20], 1);      // source (0, 0)
    EXPECT_EQ(row0[21], 2);      // column step 426: (1, 0)
    EXPECT_EQ(row0[22], 4);      // 852 >> 8 = 3
    EXPECT_EQ(row0[79], 98 + 1); // 59 * 426 >> 8 = 98
    EXPECT_EQ(row0[80], 0);
    for (int j = 0; j < 50; ++j) // row j shows source row j at its left end
        EXPECT_EQ(out.m_pPixels[j * 99 + std::max(0, 20 + int(FloorDiv256(j * -102)))],
                  100 * j + 1);
    // Row 49, the bottom side, covers columns 0 to 98, outside the height.
    const uint16_t* row49 = out.m_pPixels + 49 * 99;
    EXPECT_EQ(row49[0], 4901);
    EXPECT_EQ(row49[98], 4900 + (98 * (100 * 256 / 99) >> 8) + 1);

    const RefTrapezoid want =
        ReferenceStretchEx(zt::PixelsOf(src), 100, 50, {20, 0, 79, 0, 0, 49, 99, 49}, 0, false);
    EXPECT_EQ(Buffer(out, 50), want.pixels);
}

TEST_F(StretchEx, TrapezoidWithReflection) {
    CCEBitmap src, out;
    MakeNumbered(src, 100, 50);
    zt::MakeBitmap(out, 300, 300, std::vector<uint16_t>(90000, 0x7777)); // old contents
    ASSERT_EQ(Trapezoid(out, &src, {20, 0, 79, 0, 0, 49, 99, 49}, 0xFF, 1), 1);
    EXPECT_EQ(out.GetSize().cx, 99);
    EXPECT_EQ(out.GetSize().cy, 61);
    EXPECT_EQ(out.IsARGB(), 1);
    const uint8_t weights[] = {22, 20, 19, 17, 16, 14, 13, 11, 10, 8, 7};
    for (int k = 0; k < 11; ++k) {
        const int row = 50 + k, from = 49 - k;
        const int first = std::max(0, 20 + int(FloorDiv256(from * -102)));
        EXPECT_EQ(out.m_pAlpha[row * 99 + first], weights[k]) << k;
        EXPECT_EQ(out.m_pPixels[row * 99 + first], out.m_pPixels[from * 99 + first]);
        if (first > 0) {
            EXPECT_EQ(out.m_pAlpha[row * 99 + first - 1], 0);
        }
    }
    EXPECT_EQ(out.m_pAlpha[20], 32);
    EXPECT_EQ(out.m_pAlpha[19], 0);
    // The last buffer row is not written; the background is transparent
    // black (the fill is ignored).
    for (int x = 0; x < 99; ++x)
        EXPECT_EQ(out.m_pAlpha[61 * 99 + x], 0);
    EXPECT_EQ(out.m_pPixels[0], 0);

    const RefTrapezoid want =
        ReferenceStretchEx(zt::PixelsOf(src), 100, 50, {20, 0, 79, 0, 0, 49, 99, 49}, 0xFF, true);
    EXPECT_EQ(Buffer(out, 62), want.pixels);
    EXPECT_EQ(BufferWeights(out, 62), want.weights);
}

TEST_F(StretchEx, SteppedWeightsShowTheirRounding) {
    EXPECT_EQ(ReflectionWeights(10, 10),
              (std::vector<uint8_t>{22, 20, 18, 16, 14, 12, 11, 9, 7, 5}));
    // R = 10 with vertical sides: every column mirrors 10 rows.
    CCEBitmap src, out;
    MakeNumbered(src, 4, 30);
    ASSERT_EQ(Trapezoid(out, &src, {0, 0, 3, 1, 0, 39, 3, 39}, 0, 1), 1); // H = 40, R = 10
    const uint8_t want[] = {22, 20, 18, 16, 14, 12, 11, 9, 7, 5};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(out.m_pAlpha[(40 + k) * 3 + 1], want[k]) << k;
        EXPECT_EQ(out.m_pPixels[(40 + k) * 3 + 1], out.m_pPixels[(39 - k) * 3 + 1]);
    }
}

TEST_F(StretchEx, VerticalSides) {
    CCEBitmap src, out;
    MakeNumbered(src, 10, 21);
    const Corners c{0, 0, 10, 5, 0, 20, 10, 15};
    ASSERT_EQ(Trapezoid(out, &src, c, 0x1234, 0), 1);
    EXPECT_EQ(out.GetSize().cx, 10);
    EXPECT_EQ(out.GetSize().cy, 20);
    // Column 0 spans rows 0..20, column 9 rows 4..15.
    EXPECT_EQ(out.m_pPixels[0], 1);
    EXPECT_EQ(out.m_pPixels[20 * 10], 2001);
    EXPECT_EQ(out.m_pPixels[3 * 10 + 9], 0x3434);
    EXPECT_NE(out.m_pPixels[4 * 10 + 9], 0x3434);
    EXPECT_NE(out.m_pPixels[15 * 10 + 9], 0x3434);
    EXPECT_EQ(out.m_pPixels[16 * 10 + 9], 0x3434);
    const RefTrapezoid want = ReferenceStretchEx(zt::PixelsOf(src), 10, 21, c, 0x34, false);
    EXPECT_EQ(Buffer(out, 21), want.pixels);
}

TEST_F(StretchEx, ShortReflections) {
    CCEBitmap src, out;
    MakeNumbered(src, 8, 8);
    // H = 6, R = 1: horizontal sides draw no reflected row...
    ASSERT_EQ(Trapezoid(out, &src, {0, 0, 7, 0, 0, 5, 7, 5}, 0, 1), 1);
    EXPECT_EQ(out.GetSize().cy, 6);
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(out.m_pAlpha[6 * 7 + x], 0);
    // ...vertical sides one per column, in the last buffer row here.
    ASSERT_EQ(Trapezoid(out, &src, {0, 0, 7, 1, 0, 5, 7, 5}, 0, 1), 1);
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(out.m_pAlpha[6 * 7 + x], 22);
        EXPECT_EQ(out.m_pPixels[6 * 7 + x], out.m_pPixels[5 * 7 + x]);
    }
}

TEST_F(StretchEx, NeitherShapeFailsAfterSizing) {
    CCEBitmap src, out;
    MakeNumbered(src, 4, 4);
    zt::MakeBitmap(out, 2, 2, {1, 2, 3, 4});
    EXPECT_EQ(Trapezoid(out, &src, {0, 0, 5, 1, 1, 6, 5, 6}, 0x12, 0), 0);
    EXPECT_EQ(out.GetSize().cx, 0);
    EXPECT_EQ(out.GetSize().cy, 0);
    EXPECT_EQ(out.m_cbPixels, 5u * 7u * 2u);
    EXPECT_EQ(out.m_pPixels[0], 0x1212);
    zt::ExpectSound(out);
}

TEST_F(StretchEx, SpansAreClippedToTheResult) {
    CCEBitmap src, out;
    MakeNumbered(src, 16, 10);
    // The right-hand corners hold the largest x: spans reach column W = 10,
    // which is dropped. The left corners lie at -5: columns -5..-1 dropped.
    const Corners c{-5, 0, 10, 0, -5, 9, 10, 9};
    ASSERT_EQ(Trapezoid(out, &src, c, 0, 0), 1);
    EXPECT_EQ(out.GetSize().cx, 10);
    // n = 16, column step 256: column x shows source column x + 5.
    for (int j = 0; j < 9; ++j) {
        EXPECT_EQ(out.m_pPixels[j * 10 + 0], 100 * j + 5 + 1);
        EXPECT_EQ(out.m_pPixels[j * 10 + 9], 100 * j + 14 + 1);
    }
    const RefTrapezoid want = ReferenceStretchEx(zt::PixelsOf(src), 16, 10, c, 0, false);
    EXPECT_EQ(Buffer(out, 10), want.pixels);
}

TEST_F(StretchEx, CrossedSidesDrawNothingWhereCrossed) {
    CCEBitmap src, out;
    MakeNumbered(src, 5, 5);
    const Corners c{10, 0, 2, 0, 0, 9, 12, 9}; // crossed at the top, open at the bottom
    ASSERT_EQ(Trapezoid(out, &src, c, 0, 1), 1);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(out.m_pAlpha[x], 0);
    EXPECT_EQ(out.m_pAlpha[9 * 12 + 0], 0); // row 9 spans columns 1..11
    EXPECT_EQ(out.m_pAlpha[9 * 12 + 1], 32);
    EXPECT_EQ(out.m_pAlpha[10 * 12 + 1], 22);
    const RefTrapezoid want = ReferenceStretchEx(zt::PixelsOf(src), 5, 5, c, 0, true);
    EXPECT_EQ(Buffer(out, want.T), want.pixels);
    EXPECT_EQ(BufferWeights(out, want.T), want.weights);
}

TEST_F(StretchEx, VerticalReflectionStopsWhereTheColumnStops) {
    CCEBitmap src, out;
    MakeNumbered(src, 6, 6);
    // H = 40, R = 10; column 0 spans rows -3..2, of which rows 0..2 are
    // drawn: only those three are mirrored.
    const Corners c{0, -3, 6, 22, 0, 2, 6, 39};
    ASSERT_EQ(Trapezoid(out, &src, c, 0, 1), 1);
    EXPECT_EQ(out.m_pAlpha[3 * 6 + 0], 22); // row 3 mirrors row 2
    EXPECT_EQ(out.m_pAlpha[5 * 6 + 0], 18); // row 5 mirrors row 0
    EXPECT_EQ(out.m_pAlpha[6 * 6 + 0], 0);  // row -1 was never drawn
    const RefTrapezoid want = ReferenceStretchEx(zt::PixelsOf(src), 6, 6, c, 0, true);
    EXPECT_EQ(Buffer(out, want.T), want.pixels);
    EXPECT_EQ(BufferWeights(out, want.T), want.weights);
}

TEST_F(StretchEx, ShapesWithoutAnImageAreRefused) {
    CCEBitmap src, out;
    MakeNumbered(src, 4, 4);
    zt::MakeBitmap(out, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
    const zt::Snapshot before(out);
    const Corners refused[] = {
        {0, 0, 0, 0, 0, 9, 0, 9},                   // W = 0
        {-4, 0, -1, 0, -4, 9, -1, 9},               // all columns negative
        {0, -9, 5, -9, 0, -2, 5, -2},               // H < 1
        {0, 0, 5, 0, 0, 0, 5, 0},                   // H = 1: the result has no row
        {0, 0, 2147483647, 0, 0, 9, 2147483647, 9}, // more than 32 bits of bytes
        {0, 0, 5, 0, 0, 2147483647, 5, 2147483647},
    };
    for (const Corners& c : refused) {
        EXPECT_EQ(Trapezoid(out, &src, c, 0, 0), 0);
        EXPECT_EQ(Trapezoid(out, &src, c, 0, 1), 0);
    }
    EXPECT_EQ(Trapezoid(out, nullptr, {0, 0, 5, 0, 0, 5, 5, 5}, 0, 0), 0);
    CCEBitmap flat;
    MakeNumbered(flat, 4, 4);
    flat.m_nWidth = 0;
    EXPECT_EQ(Trapezoid(out, &flat, {0, 0, 5, 0, 0, 5, 5, 5}, 0, 0), 0);
    EXPECT_TRUE(zt::Snapshot(out) == before);
}

TEST_F(StretchEx, MatchesThePerPixelReferenceOnRandomShapes) {
    std::mt19937 rng(4242);
    auto coordinate = [&](int range) { return int(rng() % unsigned(range + 8)) - 8; };
    for (int round = 0; round < 600; ++round) {
        const int sw = 1 + int(rng() % 30), sh = 1 + int(rng() % 30);
        Corners c{coordinate(60), coordinate(60), coordinate(60), coordinate(60),
                  coordinate(60), coordinate(60), coordinate(60), coordinate(60)};
        if (round % 2 == 0) { // horizontal sides
            c.y2 = c.y1;
            c.y4 = c.y3;
        } else if (round % 4 == 1) { // vertical sides
            c.x3 = c.x1;
            c.x4 = c.x2;
        }
        const bool reflect = rng() % 2 != 0;
        const uint8_t fill = uint8_t(rng());
        CCEBitmap src, out;
        const auto pixels = zt::RandomPixels(rng, size_t(sw) * sh);
        zt::MakeBitmap(src, sw, sh, pixels);
        const RefTrapezoid want = ReferenceStretchEx(pixels, sw, sh, c, fill, reflect);
        const int result = Trapezoid(out, &src, c, 0xFF00u | fill, reflect ? 1 : 0);
        if (want.W < 1 || want.T < 2 || !want.drawn) {
            ASSERT_EQ(result, 0);
            continue;
        }
        ASSERT_EQ(result, 1);
        ASSERT_EQ(out.m_nWidth, want.W);
        ASSERT_EQ(out.m_nHeight, want.T - 1);
        ASSERT_EQ(Buffer(out, want.T), want.pixels)
            << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2 << " " << c.x3 << "," << c.y3
            << " " << c.x4 << "," << c.y4 << " reflect " << reflect;
        ASSERT_EQ(out.IsARGB(), reflect ? 1 : 0);
        if (reflect) {
            ASSERT_EQ(BufferWeights(out, want.T), want.weights);
        }
    }
}

TEST_F(StretchEx, FromItselfAndFailedGrowth) {
    CCEBitmap b;
    MakeNumbered(b, 12, 9);
    const auto old = zt::PixelsOf(b);
    const Corners c{3, 0, 8, 0, 0, 11, 11, 11};
    ASSERT_EQ(Trapezoid(b, &b, c, 0, 1), 1);
    const RefTrapezoid want = ReferenceStretchEx(old, 12, 9, c, 0, true);
    EXPECT_EQ(Buffer(b, want.T), want.pixels);
    EXPECT_EQ(BufferWeights(b, want.T), want.weights);
    zt::ExpectSound(b);

    CCEBitmap src;
    MakeNumbered(src, 4, 4);
    for (long failing : {1L, 2L}) {
        CCEBitmap out;
        zorva::FailAllocation(failing);
        EXPECT_EQ(Trapezoid(out, &src, c, 0, 1), 0);
        EXPECT_EQ(out.GetSize().cx, 0);
        EXPECT_EQ(out.IsARGB(), 0);
        zt::ExpectSound(out);
    }
}
