// Shadow: the fade weights of repeated subtraction, the mirrored rows, the
// sizes it refuses, allocation failures, and sources that share pixels with
// the result (the bitmap itself, or a copy holding the same block).
#include "CCEBitmap.h"
#include "core/SharedBlock.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Shadow : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }

    // A w x h bitmap whose pixel (x, y) is Tag(x, y).
    void MakeSource(CCEBitmap& b, int w, int h, int bAlpha = 0) {
        ASSERT_EQ(b.Surface(&canvas, w, h, 0, bAlpha), 1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.m_pPixels[y * w + x] = Tag(x, y);
    }
    static uint16_t Tag(int x, int y) { return uint16_t(y * 256 + x); }

    CCEDraw canvas;
};

// The weight of every row, after checking that each row holds one weight.
std::vector<int> RowWeights(const CCEBitmap& b) {
    std::vector<int> out;
    for (int y = 0; y < b.m_nHeight; ++y) {
        const uint8_t* row = b.m_pAlpha + y * b.m_nWidth;
        for (int x = 1; x < b.m_nWidth; ++x)
            EXPECT_EQ(row[x], row[0]) << "row " << y;
        out.push_back(row[0]);
    }
    return out;
}

// Row i of the shadow is row sourceHeight - 1 - i of a source made by
// MakeSource.
::testing::AssertionResult Mirrors(const CCEBitmap& s, int sourceHeight) {
    for (int y = 0; y < s.m_nHeight; ++y)
        for (int x = 0; x < s.m_nWidth; ++x) {
            const uint16_t want = uint16_t((sourceHeight - 1 - y) * 256 + x);
            if (s.m_pPixels[y * s.m_nWidth + x] != want)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y;
        }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(Shadow, WeightsFallByRepeatedSubtraction) {
    CCEBitmap src, s;
    MakeSource(src, 3, 40);
    ASSERT_EQ(s.Shadow(&src, 10), 1);
    // The sixth row gets 12, not 13: 22 - 5 * 1.8 by repeated subtraction
    // lands just below 13.
    EXPECT_EQ(RowWeights(s), (std::vector<int>{22, 20, 18, 16, 14, 12, 11, 9, 7, 5}));

    ASSERT_EQ(s.Shadow(&src, 18), 1);
    std::vector<int> down;
    for (int w = 22; w >= 5; --w)
        down.push_back(w);
    EXPECT_EQ(RowWeights(s), down);

    ASSERT_EQ(s.Shadow(&src, 1), 1);
    EXPECT_EQ(RowWeights(s), (std::vector<int>{22}));
    EXPECT_EQ(s.m_pPixels[0], Tag(0, 39));
}

TEST_F(Shadow, TakesTheSourcesBottomRowsUpsideDown) {
    CCEBitmap src, s;
    MakeSource(src, 5, 90, 1);
    for (int i = 0; i < 5 * 90; ++i)
        src.m_pAlpha[i] = 0; // the source's transparency is ignored
    src.m_pPixels[0] = 0;    // nor does a key colour mean anything
    s.m_pFrames = static_cast<PropertyItem*>(zorva::BlockAlloc(sizeof(PropertyItem)));
    PropertyItem* frames = s.m_pFrames;

    ASSERT_EQ(s.Shadow(&src, 0), 1); // a third of the height
    EXPECT_EQ(s.m_nWidth, 5);
    EXPECT_EQ(s.m_nHeight, 30);
    EXPECT_EQ(s.IsARGB(), 1);
    EXPECT_EQ(s.m_cbPixels, 5u * 30 * 2);
    EXPECT_EQ(s.m_cbAlpha, 5u * 30);
    EXPECT_EQ(s.m_pFrames, frames); // left alone
    EXPECT_TRUE(Mirrors(s, 90));
    EXPECT_EQ(s.m_pPixels[0], Tag(0, 89));
    EXPECT_EQ(s.m_pPixels[29 * 5 + 4], Tag(4, 60));
    const std::vector<int> w = RowWeights(s);
    EXPECT_EQ(w.front(), 22);
    EXPECT_EQ(w.back(), 4); // about 4 + 18 / 30
    // The source is only read.
    EXPECT_EQ(src.m_nHeight, 90);
    EXPECT_EQ(src.m_pAlpha[17], 0);

    ASSERT_EQ(s.Shadow(&src, 90), 1); // the whole source
    EXPECT_TRUE(Mirrors(s, 90));
}

TEST_F(Shadow, RefusedRequestsChangeNothing) {
    CCEBitmap src, s, empty;
    MakeSource(src, 4, 12);
    ASSERT_EQ(s.Shadow(&src, 3), 1);
    WORD* pixels = s.m_pPixels;
    auto unchanged = [&] {
        return s.m_nWidth == 4 && s.m_nHeight == 3 && s.m_bARGB == 1 && s.m_pPixels == pixels &&
               Mirrors(s, 12);
    };
    EXPECT_EQ(s.Shadow(nullptr, 3), 0);
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(s.Shadow(&empty, 0), 0);
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(s.Shadow(&src, 13), 0); // more rows than the source has
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(s.Shadow(&src, -1), 0);
    EXPECT_EQ(s.Shadow(&src, -2147483647 - 1), 0);
    EXPECT_TRUE(unchanged());

    // Too short for a third to make a row.
    CCEBitmap flat;
    MakeSource(flat, 4, 2);
    EXPECT_EQ(s.Shadow(&flat, 0), 0);
    EXPECT_TRUE(unchanged());
    ASSERT_EQ(s.Shadow(&flat, 2), 1);
    EXPECT_TRUE(Mirrors(s, 2));

    // A source without rows keeps its old block after Unload(0).
    MakeSource(flat, 4, 6);
    flat.Unload(0);
    ASSERT_NE(flat.m_pPixels, nullptr);
    EXPECT_EQ(s.Shadow(&flat, 0), 0);

    // Sizes whose byte count leaves 32 bits, and fields that claim more
    // than the buffer holds, are refused before anything is read.
    CCEBitmap fake;
    MakeSource(fake, 2, 2);
    fake.m_nWidth = 70000;
    fake.m_nHeight = 70000;
    ASSERT_EQ(s.Shadow(&src, 3), 1);
    pixels = s.m_pPixels;
    EXPECT_EQ(s.Shadow(&fake, 70000), 0);
    EXPECT_EQ(s.Shadow(&fake, 10), 0);
    EXPECT_TRUE(unchanged());
}

TEST_F(Shadow, FailedGrowthLeavesAnEmptyBitmap) {
    CCEBitmap src;
    MakeSource(src, 8, 30);
    for (int failing = 1; failing <= 2; ++failing) {
        CCEBitmap s;
        ASSERT_EQ(s.Shadow(&src, 2), 1);
        zorva::FailAllocation(failing); // the pixels, then the plane
        EXPECT_EQ(s.Shadow(&src, 20), 0);
        EXPECT_EQ(s.m_nWidth, 0);
        EXPECT_EQ(s.m_nHeight, 0);
        EXPECT_EQ(s.IsARGB(), 0);
        EXPECT_EQ(failing == 1 ? (void*)s.m_pPixels : (void*)s.m_pAlpha, nullptr);
        zorva::FailAllocation(0);
        ASSERT_EQ(s.Shadow(&src, 20), 1); // and it can be sized again
        EXPECT_TRUE(Mirrors(s, 30));
    }
}

TEST_F(Shadow, OfItselfOrOfACopySharingItsPixels) {
    // The shadow of the bitmap itself is made in place: rows that are both
    // read and written are swapped, so the result is what a separate source
    // gives, for every row count and both parities of the height.
    for (int h : {1, 2, 3, 7, 10, 31}) {
        for (int rows = 0; rows <= h; ++rows) {
            CCEBitmap self, other, expected;
            MakeSource(self, 3, h);
            MakeSource(other, 3, h);
            const int want = expected.Shadow(&other, rows);
            ASSERT_EQ(self.Shadow(&self, rows), want) << h << " " << rows;
            if (!want) continue;
            ASSERT_EQ(self.m_nHeight, expected.m_nHeight);
            ASSERT_TRUE(Mirrors(self, h)) << h << " " << rows;
            ASSERT_EQ(RowWeights(self), RowWeights(expected));
        }
    }

    // A copy holds the same block: by the sharing rule the source sees the
    // result, and the result is still right.
    CCEBitmap a;
    MakeSource(a, 6, 9);
    CCEBitmap b;
    b = a;
    ASSERT_EQ(b.Shadow(&a, 6), 1);
    EXPECT_EQ(b.m_pPixels, a.m_pPixels);
    EXPECT_TRUE(Mirrors(b, 9));

    // A copy that must grow gets its own block; the source is untouched.
    CCEBitmap c;
    MakeSource(c, 6, 9);
    CCEBitmap d;
    d = c;
    d.Unload(0); // recorded size 0: the next sizing grows
    ASSERT_EQ(d.Shadow(&c, 5), 1);
    EXPECT_NE(d.m_pPixels, c.m_pPixels);
    EXPECT_TRUE(Mirrors(d, 9));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(c.m_pPixels[y * 6 + x], Tag(x, y));
}
