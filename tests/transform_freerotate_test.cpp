// Free rotation by whole degrees, by inverse mapping on 8.8 fixed point.
#include "CCEBitmap.h"
#include "support/BitmapMaker.h"
#include "support/TestCanvas.h"
#include "support/TransformReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using zt::ReferenceTurn;
using zt::RefTurn;

class FreeRotate : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// Rows P1 P2 P3 / P4 P5 P6; the background (fill 0) shows as 0.
const std::vector<uint16_t> kSix = {1, 2, 3, 4, 5, 6};

struct TurnCase {
    int angle;
    int width, height;
    std::vector<uint16_t> rows;
};

} // namespace

TEST_F(FreeRotate, ThreeByTwoExamples) {
    const TurnCase cases[] = {
        {0, 3, 2, {1, 2, 3, 4, 5, 6}},
        {360, 3, 2, {1, 2, 3, 4, 5, 6}},
        {90, 2, 3, {0, 4, 0, 5, 0, 6}},
        {-90, 2, 3, {0, 0, 3, 6, 2, 5}},
        {270, 2, 3, {0, 0, 3, 6, 2, 5}},
        {180, 3, 2, {0, 0, 0, 0, 6, 5}},
        {45, 3, 3, {0, 1, 0, 4, 1, 2, 0, 5, 3}},
        {135, 3, 3, {0, 0, 4, 0, 5, 1, 6, 3, 2}},
        {1, 2, 2, {1, 0, 1, 2}},
    };
    for (const TurnCase& c : cases) {
        CCEBitmap src, out;
        zt::MakeBitmap(src, 3, 2, kSix);
        ASSERT_EQ(out.FreeRotate(&src, c.angle, 0), 1) << c.angle;
        EXPECT_EQ(out.m_nWidth, c.width) << c.angle;
        EXPECT_EQ(out.m_nHeight, c.height) << c.angle;
        EXPECT_EQ(zt::PixelsOf(out), c.rows) << c.angle;
        EXPECT_EQ(out.IsARGB(), 0);
    }
}

TEST_F(FreeRotate, FixedPointSineAndCosineAreTruncated) {
    const int expected[][3] = {{0, 256, 0},    {90, 0, 256},   {-90, 0, -256},
                               {180, -256, 0}, {45, 181, 181}, {135, -181, 181}};
    for (const auto& e : expected) {
        const RefTurn t = ReferenceTurn(e[0], 3, 2);
        EXPECT_EQ(t.c, e[1]) << e[0];
        EXPECT_EQ(t.s, e[2]) << e[0];
    }
    // 135 degrees: corners (-2, 2), (-1, -1), (-3, 0); box -3..0 by -1..2.
    const RefTurn t = ReferenceTurn(135, 3, 2);
    EXPECT_EQ(t.minX, -3);
    EXPECT_EQ(t.minY, -1);
}

TEST_F(FreeRotate, BoxSizesOfALargerPicture) {
    CCEBitmap src, out;
    zt::MakeBitmap(src, 100, 50, std::vector<uint16_t>(5000, 0x1111));
    ASSERT_EQ(out.FreeRotate(&src, 90, 0), 1);
    EXPECT_EQ(out.GetSize().cx, 50);
    EXPECT_EQ(out.GetSize().cy, 100);
    ASSERT_EQ(out.FreeRotate(&src, 45, 0), 1);
    EXPECT_EQ(out.GetSize().cx, 105);
    EXPECT_EQ(out.GetSize().cy, 106);
}

TEST_F(FreeRotate, WeightsFollowCopiedPixelsAndTheBackgroundIsTransparent) {
    CCEBitmap src, out;
    zt::MakeBitmap(src, 3, 2, kSix, {21, 22, 23, 24, 25, 26});
    zt::MakeBitmap(out, 4, 4, std::vector<uint16_t>(16, 9), std::vector<uint8_t>(16, 32));
    ASSERT_EQ(out.FreeRotate(&src, 135, 255), 1);
    EXPECT_EQ(out.IsARGB(), 1);
    // (. . P4) / (. P5 P1) / (P6 P3 P2) on white.
    EXPECT_EQ(zt::PixelsOf(out), (std::vector<uint16_t>{0xFFFF, 0xFFFF, 4, 0xFFFF, 5, 1, 6, 3, 2}));
    EXPECT_EQ(zt::WeightsOf(out), (std::vector<uint8_t>{0, 0, 24, 0, 25, 21, 26, 23, 22}));

    CCEBitmap plain;
    zt::MakeBitmap(plain, 3, 2, kSix);
    ASSERT_EQ(out.FreeRotate(&plain, 0, 0x12), 1);
    EXPECT_EQ(out.IsARGB(), 0);
    ASSERT_EQ(out.FreeRotate(&plain, 180, 0x12), 1);
    EXPECT_EQ(out.m_pPixels[0], 0x1212);
}

TEST_F(FreeRotate, MatchesThePerPixelReferenceOnRandomPictures) {
    std::mt19937 rng(77);
    for (int round = 0; round < 400; ++round) {
        const int W = 1 + int(rng() % 40), H = 1 + int(rng() % 40);
        int angle = int(rng() % 1441) - 720;
        if (round % 10 == 0) angle = int(rng()); // any int
        const bool withAlpha = rng() % 2 != 0;
        const uint8_t fill = uint8_t(rng());
        const auto pixels = zt::RandomPixels(rng, size_t(W) * H);
        const auto weights =
            withAlpha ? zt::RandomWeights(rng, pixels.size()) : std::vector<uint8_t>{};
        CCEBitmap src, out;
        zt::MakeBitmap(src, W, H, pixels, weights);
        const RefTurn t = ReferenceTurn(angle, W, H);
        const int result = out.FreeRotate(&src, angle, 0xABCD00u | fill);
        if (t.w < 1 || t.h < 1) {
            EXPECT_EQ(result, 0);
            continue;
        }
        ASSERT_EQ(result, 1) << W << "x" << H << " at " << angle;
        ASSERT_EQ(out.m_nWidth, t.w);
        ASSERT_EQ(out.m_nHeight, t.h);
        std::vector<uint16_t> wantPixels;
        std::vector<uint8_t> wantWeights;
        zt::ReferenceTurnPixels(t, pixels, weights, W, H, fill, wantPixels, wantWeights);
        ASSERT_EQ(zt::PixelsOf(out), wantPixels) << W << "x" << H << " at " << angle;
        ASSERT_EQ(out.IsARGB(), withAlpha ? 1 : 0);
        if (withAlpha) {
            ASSERT_EQ(zt::WeightsOf(out), wantWeights);
        }
    }
}

TEST_F(FreeRotate, PicturesWithoutAreaAreRefused) {
    CCEBitmap out;
    zt::MakeBitmap(out, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
    const zt::Snapshot before(out);
    // A 1 x 1 source turned by one degree: its corners truncate onto a
    // line, a box 0 wide.
    CCEBitmap dot;
    zt::MakeBitmap(dot, 1, 1, {7});
    EXPECT_EQ(out.FreeRotate(&dot, 1, 0), 0);
    CCEBitmap flat;
    zt::MakeBitmap(flat, 3, 3, std::vector<uint16_t>(9, 1));
    flat.m_nHeight = 0;
    EXPECT_EQ(out.FreeRotate(&flat, 30, 0), 0);
    EXPECT_EQ(out.FreeRotate(nullptr, 30, 0), 0);
    CCEBitmap empty;
    EXPECT_EQ(out.FreeRotate(&empty, 30, 0), 0);
    EXPECT_TRUE(zt::Snapshot(out) == before);
}

TEST_F(FreeRotate, FromItselfAndFromASharingCopy) {
    std::mt19937 rng(12);
    CCEBitmap b;
    const auto pixels = zt::RandomPixels(rng, 7 * 4);
    const auto weights = zt::RandomWeights(rng, 7 * 4);
    zt::MakeBitmap(b, 7, 4, pixels, weights);
    ASSERT_EQ(b.FreeRotate(&b, 30, 0), 1);
    const RefTurn t = ReferenceTurn(30, 7, 4);
    std::vector<uint16_t> wantPixels;
    std::vector<uint8_t> wantWeights;
    zt::ReferenceTurnPixels(t, pixels, weights, 7, 4, 0, wantPixels, wantWeights);
    EXPECT_EQ(zt::PixelsOf(b), wantPixels);
    EXPECT_EQ(zt::WeightsOf(b), wantWeights);
    zt::ExpectSound(b);

    // A copy sharing the blocks turned by 180 degrees (no growth needed)
    // leaves the picture it shared alone.
    CCEBitmap copy;
    copy = b;
    const zt::Snapshot before(b);
    ASSERT_EQ(copy.FreeRotate(&b, 180, 0), 1);
    EXPECT_TRUE(zt::Snapshot(b) == before);
    EXPECT_NE(copy.m_pPixels, b.m_pPixels);
}

TEST_F(FreeRotate, FailedGrowth) {
    CCEBitmap src;
    zt::MakeBitmap(src, 3, 2, kSix, {1, 2, 3, 4, 5, 6});
    {
        CCEBitmap out;
        zt::MakeBitmap(out, 1, 1, {1});
        zorva::FailAllocation(1);
        EXPECT_EQ(out.FreeRotate(&src, 45, 0), 0);
        EXPECT_EQ(out.m_pPixels, nullptr); // empty; the size fields keep 1 x 1
        EXPECT_EQ(out.GetSize().cx, 1);
        zt::ExpectSound(out);
    }
    {
        // The plane fails after the pixels were turned: no size claims them.
        CCEBitmap out;
        zt::MakeBitmap(out, 1, 1, {1}, {32});
        zorva::FailAllocation(2);
        EXPECT_EQ(out.FreeRotate(&src, 45, 0), 0);
        EXPECT_EQ(out.IsARGB(), 0);
        EXPECT_EQ(out.m_pAlpha, nullptr);
        EXPECT_EQ(out.GetSize().cx, 0);
        EXPECT_EQ(out.GetSize().cy, 0);
        ASSERT_NE(out.m_pPixels, nullptr);
        EXPECT_EQ(out.m_pPixels[4], 1); // P1 in the middle of the 45-degree result
        zt::ExpectSound(out);
    }
}
