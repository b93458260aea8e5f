// Quarter and half turns of a bitmap's own picture.
#include "CCEBitmap.h"
#include "support/BitmapMaker.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

namespace {

class Rotate : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// Rows P1 P2 P3 / P4 P5 P6.
const std::vector<uint16_t> kSix = {1, 2, 3, 4, 5, 6};
const std::vector<uint8_t> kSixWeights = {11, 12, 13, 14, 15, 16};

struct TurnCase {
    unsigned code;
    int width, height;
    std::vector<uint16_t> rows;
};

} // namespace

TEST_F(Rotate, ThreeByTwoTurnsAsTheTableSays) {
    const TurnCase cases[] = {
        {1, 2, 3, {4, 1, 5, 2, 6, 3}},
        {2, 3, 2, {6, 5, 4, 3, 2, 1}},
        {4, 2, 3, {3, 6, 2, 5, 1, 4}},
    };
    for (const auto& c : cases) {
        CCEBitmap b;
        zt::MakeBitmap(b, 3, 2, kSix, kSixWeights);
        const void* pixels = b.m_pPixels;
        const void* alpha = b.m_pAlpha;
        ASSERT_EQ(b.Rotate(static_cast<unsigned char>(c.code)), 1) << c.code;
        EXPECT_EQ(b.m_nWidth, c.width) << c.code;
        EXPECT_EQ(b.m_nHeight, c.height) << c.code;
        EXPECT_EQ(zt::PixelsOf(b), c.rows) << c.code;
        // The weights go where their pixels go: weight = pixel + 10.
        std::vector<uint8_t> weights;
        for (uint16_t p : c.rows)
            weights.push_back(uint8_t(p + 10));
        EXPECT_EQ(zt::WeightsOf(b), weights) << c.code;
        // Same blocks, same recorded sizes, same flag.
        EXPECT_EQ(b.m_pPixels, pixels);
        EXPECT_EQ(b.m_pAlpha, alpha);
        EXPECT_EQ(b.m_cbPixels, 12u);
        EXPECT_EQ(b.m_cbAlpha, 6u);
        EXPECT_EQ(b.IsARGB(), 1);
    }
}

TEST_F(Rotate, OtherCodesChangeNothingAndSucceed) {
    for (unsigned code : {0u, 3u, 5u, 8u, 255u}) {
        CCEBitmap b;
        zt::MakeBitmap(b, 3, 2, kSix);
        const zt::Snapshot before(b);
        const long allocations = zorva::AllocationCount();
        EXPECT_EQ(b.Rotate(static_cast<unsigned char>(code)), 1);
        EXPECT_TRUE(zt::Snapshot(b) == before);
        EXPECT_EQ(zorva::AllocationCount(), allocations);
    }
}

TEST_F(Rotate, TurnsComposeBackToTheStart) {
    std::mt19937 rng(41);
    for (int round = 0; round < 20; ++round) {
        const int w = 1 + int(rng() % 37), h = 1 + int(rng() % 29);
        const bool withAlpha = round % 2 == 0;
        CCEBitmap b;
        zt::MakeRandomBitmap(b, rng, w, h, withAlpha);
        const zt::Snapshot start(b);
        const std::vector<std::vector<unsigned char>> sequences = {
            {1, 1, 1, 1}, {2, 2}, {1, 4}, {4, 1}, {1, 2, 1}, {4, 4, 2}};
        for (const auto& sequence : sequences) {
            for (unsigned char code : sequence)
                ASSERT_EQ(b.Rotate(code), 1);
            ASSERT_TRUE(zt::Snapshot(b) == start) << w << "x" << h;
        }
        // One quarter turn against the table's landing rule.
        ASSERT_EQ(b.Rotate(1), 1);
        ASSERT_EQ(b.m_nWidth, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t to = size_t(x) * h + size_t(h - 1 - y);
                ASSERT_EQ(b.m_pPixels[to], start.pixels[size_t(y) * w + x]);
                if (withAlpha) {
                    ASSERT_EQ(b.m_pAlpha[to], start.weights[size_t(y) * w + x]);
                }
            }
    }
}

TEST_F(Rotate, SmallAndEmptyPictures) {
    for (unsigned char code : {1, 2, 4}) {
        CCEBitmap one;
        zt::MakeBitmap(one, 1, 1, {0xBEEF}, {7});
        EXPECT_EQ(one.Rotate(code), 1);
        EXPECT_EQ(one.m_nWidth, 1);
        EXPECT_EQ(one.m_pPixels[0], 0xBEEF);
        EXPECT_EQ(one.m_pAlpha[0], 7);
    }
    CCEBitmap none;
    EXPECT_EQ(none.Rotate(1), 0);
    EXPECT_EQ(none.Rotate(0), 0);

    // A picture without columns turns into one without rows.
    CCEBitmap flat;
    zt::MakeBitmap(flat, 4, 3, std::vector<uint16_t>(12, 9));
    flat.m_nWidth = 0;
    EXPECT_EQ(flat.Rotate(1), 1);
    EXPECT_EQ(flat.m_nWidth, 3);
    EXPECT_EQ(flat.m_nHeight, 0);
}

TEST_F(Rotate, PlaneLeftOverWithoutTheFlagIsNotTurned) {
    CCEBitmap b;
    zt::MakeBitmap(b, 3, 2, kSix, kSixWeights);
    CCEDraw canvas;
    ASSERT_EQ(b.Surface(&canvas, 3, 2, 0, 0), 1); // plane kept, flag off
    for (int i = 0; i < 6; ++i)
        b.m_pPixels[i] = kSix[size_t(i)];
    ASSERT_EQ(b.Rotate(2), 1);
    EXPECT_EQ(zt::PixelsOf(b), (std::vector<uint16_t>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + 6), kSixWeights);
}

TEST_F(Rotate, FailedTemporaryChangesNothing) {
    for (long failing : {1L, 2L}) {
        CCEBitmap b;
        zt::MakeBitmap(b, 3, 2, kSix, kSixWeights);
        const zt::Snapshot before(b);
        zorva::FailAllocation(failing);
        EXPECT_EQ(b.Rotate(1), 0);
        EXPECT_TRUE(zt::Snapshot(b) == before);
    }
}

TEST_F(Rotate, InconsistentFieldsAreRefused) {
    CCEBitmap b;
    zt::MakeBitmap(b, 3, 2, kSix);
    b.m_nWidth = 30; // more than the block holds
    EXPECT_EQ(b.Rotate(1), 0);
    b.m_nWidth = -3;
    EXPECT_EQ(b.Rotate(4), 0);
    b.m_nWidth = 3;
    b.m_bARGB = 1; // flag without a plane
    EXPECT_EQ(b.Rotate(2), 0);
    EXPECT_EQ(zt::PixelsOf(b), kSix);
}

TEST_F(Rotate, ACopySharingTheBlockSeesTheTurnedPicture) {
    CCEBitmap a;
    zt::MakeBitmap(a, 3, 2, kSix);
    CCEBitmap copy;
    copy = a;
    ASSERT_EQ(a.Rotate(2), 1);
    // Drawing into one shows in the other; the copy keeps its own size.
    EXPECT_EQ(copy.m_pPixels, a.m_pPixels);
    EXPECT_EQ(zt::PixelsOf(copy), (std::vector<uint16_t>{6, 5, 4, 3, 2, 1}));
    ASSERT_EQ(a.Rotate(1), 1);
    EXPECT_EQ(copy.m_nWidth, 3);
    zt::ExpectSound(copy);
    zt::ExpectSound(a);
}
