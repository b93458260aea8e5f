// Shadow: the fade weights, mirrored rows, refusals, failed growth, and
// sources sharing pixels with the result.
#include "CCEBitmap.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

class Shadow : public ::testing::Test {
protected:
    // A w x h bitmap whose pixel (x, y) is y * 256 + x.
    void Make(CCEBitmap& b, int w, int h, int bAlpha = 0) {
        ASSERT_EQ(b.Surface(&canvas, w, h, 0, bAlpha), 1);
        for (int i = 0; i < w * h; ++i)
            b.m_pPixels[i] = uint16_t(i / w * 256 + i % w);
    }
    CCEDraw canvas;
};

// The weight of every row (-1 for a row holding more than one weight).
std::vector<int> RowWeights(const CCEBitmap& b) {
    std::vector<int> out;
    for (const uint8_t* row = b.m_pAlpha; row < b.m_pAlpha + b.m_nWidth * b.m_nHeight;
         row += b.m_nWidth)
        out.push_back(std::count(row, row + b.m_nWidth, row[0]) == b.m_nWidth ? row[0] : -1);
    return out;
}

// Row y of the shadow is row h - 1 - y of a bitmap made by Make.
bool Mirrors(const CCEBitmap& s, int h) {
    for (int i = 0; i < s.m_nWidth * s.m_nHeight; ++i)
        if (s.m_pPixels[i] != uint16_t((h - 1 - i / s.m_nWidth) * 256 + i % s.m_nWidth))
            return false;
    return true;
}

} // namespace

// The sixth of 10 rows gets 12, not 13: 22 - 5 * 1.8 by repeated subtraction
// lands just below 13. Without a row count, a third of the height; the
// source's own weights are ignored.
TEST_F(Shadow, WeightsAndRows) {
    CCEBitmap src, s;
    Make(src, 3, 40);
    ASSERT_EQ(s.Shadow(&src, 10), 1);
    EXPECT_EQ(RowWeights(s), (std::vector<int>{22, 20, 18, 16, 14, 12, 11, 9, 7, 5}));
    EXPECT_TRUE(Mirrors(s, 40));
    Make(src, 5, 90, 1);
    std::fill(src.m_pAlpha, src.m_pAlpha + 5 * 90, 0);
    ASSERT_EQ(s.Shadow(&src, 0), 1);
    ASSERT_EQ(zt::Values(s.m_nWidth, s.m_nHeight, s.m_bARGB), zt::Values(5, 30, 1));
    EXPECT_TRUE(Mirrors(s, 90));
    EXPECT_EQ(RowWeights(s).back(), 4); // about 4 + 18 / 30
}

// 0 and nothing changed: null or empty sources, nRows negative or beyond
// the height, a third of 0 rows, a source without rows that kept its block,
// fields claiming more than the buffer, byte counts beyond 32 bits. A failed
// growth (of the pixels, then of the plane) leaves an empty bitmap.
TEST_F(Shadow, Refusals) {
    CCEBitmap src, s, empty, flat, unloaded, fake;
    Make(src, 4, 12);
    Make(flat, 4, 2);
    Make(unloaded, 4, 6);
    unloaded.Unload(0);
    Make(fake, 2, 2);
    fake.m_nWidth = fake.m_nHeight = 70000;
    ASSERT_EQ(s.Shadow(&src, 3), 1);
    WORD* pixels = s.m_pPixels;
    const std::pair<CCEBitmap*, int> refused[] = {
        {nullptr, 3}, {&empty, 0},    {&src, 13},  {&src, -1},     {&src, INT_MIN},
        {&flat, 0},   {&unloaded, 0}, {&fake, 10}, {&fake, 70000},
    };
    for (const auto& [source, rows] : refused) {
        EXPECT_EQ(s.Shadow(source, rows), 0) << rows;
        EXPECT_EQ(zt::Values(s.m_nWidth, s.m_nHeight, s.m_bARGB, s.m_pPixels == pixels),
                  zt::Values(4, 3, 1, 1))
            << rows;
        EXPECT_TRUE(Mirrors(s, 12)) << rows;
    }
    for (int failing = 1; failing <= 2; ++failing) {
        zorva::FailAllocation(failing);
        EXPECT_EQ(s.Shadow(&src, 12), 0);
        EXPECT_EQ(zt::Values(s.m_nWidth, s.m_nHeight, s.m_bARGB,
                             failing == 1 ? !s.m_pPixels : !s.m_pAlpha),
                  zt::Values(0, 0, 0, 1));
        zorva::FailAllocation(0);
    }
}

TEST_F(Shadow, OfItselfOrOfACopySharingItsPixels) {
    // In place, for every row count and both parities of the height, the
    // result is what a separate source gives.
    for (int h : {1, 2, 3, 7, 10, 31}) {
        for (int rows = 0; rows <= h; ++rows) {
            CCEBitmap self, other, expected;
            Make(self, 3, h);
            Make(other, 3, h);
            const int want = expected.Shadow(&other, rows);
            ASSERT_EQ(self.Shadow(&self, rows), want) << h << " " << rows;
            if (!want) continue;
            ASSERT_TRUE(Mirrors(self, h)) << h << " " << rows;
            ASSERT_EQ(RowWeights(self), RowWeights(expected)) << h << " " << rows;
        }
    }
    // A copy holding the same block sees the result, which is still right.
    CCEBitmap a, b;
    Make(a, 6, 9);
    b = a;
    ASSERT_EQ(b.Shadow(&a, 6), 1);
    EXPECT_EQ(b.m_pPixels, a.m_pPixels);
    EXPECT_TRUE(Mirrors(b, 9));
}
