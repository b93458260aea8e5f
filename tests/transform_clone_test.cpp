// Copies of a whole bitmap or of a rectangle of it, owning their buffers.
#include "CCEBitmap.h"
#include "support/BitmapMaker.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

namespace {

class Clone : public ::testing::Test {
protected:
    void SetUp() override {
        zt::ResetPlatform();
        // A 10 x 8 source whose pixel (x, y) is 100 * y + x and whose weight
        // is (x + y) % 33.
        std::vector<uint16_t> pixels;
        std::vector<uint8_t> weights;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) {
                pixels.push_back(uint16_t(100 * y + x));
                weights.push_back(uint8_t((x + y) % 33));
            }
        zt::MakeBitmap(source, 10, 8, pixels, weights);
    }
    void TearDown() override { zt::ResetPlatform(); }

    CCEBitmap source;
};

} // namespace

TEST_F(Clone, WholeCopyOwnsItsBuffers) {
    CCEBitmap copy;
    ASSERT_EQ(copy.Clone(&source, 0, 0, 0, 0), 1);
    EXPECT_EQ(copy.m_nWidth, 10);
    EXPECT_EQ(copy.m_nHeight, 8);
    EXPECT_EQ(copy.IsARGB(), 1);
    EXPECT_EQ(zt::PixelsOf(copy), zt::PixelsOf(source));
    EXPECT_EQ(zt::WeightsOf(copy), zt::WeightsOf(source));
    EXPECT_NE(copy.m_pPixels, source.m_pPixels);
    EXPECT_NE(copy.m_pAlpha, source.m_pAlpha);
    copy.m_pPixels[0] = 0xFFFF; // drawing into the copy leaves the source alone
    copy.m_pAlpha[0] = 3;
    EXPECT_EQ(source.m_pPixels[0], 0);
    EXPECT_EQ(source.m_pAlpha[0], 0);
}

TEST_F(Clone, RectangleTakesItsRowsFromTheSource) {
    CCEBitmap copy;
    ASSERT_EQ(copy.Clone(&source, 4, 3, 2, 5), 1);
    EXPECT_EQ(copy.m_nWidth, 4);
    EXPECT_EQ(copy.m_nHeight, 3);
    EXPECT_EQ(copy.m_pPixels[0], 502);         // source (2, 5)
    EXPECT_EQ(copy.m_pPixels[2 * 4 + 3], 705); // source (5, 7)
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(copy.m_pPixels[y * 4 + x], 100 * (y + 5) + (x + 2));
            EXPECT_EQ(copy.m_pAlpha[y * 4 + x], (x + 2 + y + 5) % 33);
        }
    EXPECT_EQ(copy.m_cbPixels, 24u);
    EXPECT_EQ(copy.m_cbAlpha, 12u);
}

TEST_F(Clone, EmptyRectangleNeedsAnExistingBuffer) {
    CCEBitmap fresh;
    EXPECT_EQ(fresh.Clone(&source, 0, 0, 3, 3), 0); // nothing to keep at 0 bytes
    EXPECT_EQ(fresh.GetSize().cx, 0);
    EXPECT_EQ(fresh.m_pPixels, nullptr);

    CCEBitmap used;
    zt::MakeBitmap(used, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
    EXPECT_EQ(used.Clone(&source, 0, 0, 3, 3), 1);
    EXPECT_EQ(used.GetSize().cx, 0);
    EXPECT_EQ(used.GetSize().cy, 0);
    EXPECT_EQ(used.m_cbPixels, 0u);
    EXPECT_NE(used.m_pPixels, nullptr);
    EXPECT_EQ(used.IsARGB(), 1);

    // The same goes for the plane when the source has alpha: a copy with
    // pixels but no plane fails on it, and keeps the flag off.
    CCEBitmap noPlane;
    zt::MakeBitmap(noPlane, 2, 2, {1, 2, 3, 4});
    EXPECT_EQ(noPlane.Clone(&source, 0, 0, 3, 3), 0);
    EXPECT_EQ(noPlane.IsARGB(), 0);
    zt::ExpectSound(noPlane);
}

TEST_F(Clone, SourceWithoutAlphaClearsTheFlag) {
    CCEBitmap plain;
    zt::MakeBitmap(plain, 2, 1, {7, 8});
    CCEBitmap copy;
    ASSERT_EQ(copy.Clone(&source, 0, 0, 0, 0), 1);
    ASSERT_EQ(copy.IsARGB(), 1);
    ASSERT_EQ(copy.Clone(&plain, 0, 0, 0, 0), 1);
    EXPECT_EQ(copy.IsARGB(), 0);
    EXPECT_EQ(zt::PixelsOf(copy), (std::vector<uint16_t>{7, 8}));
    EXPECT_NE(copy.m_pAlpha, nullptr); // kept for reuse, ignored
}

TEST_F(Clone, RefusedArgumentsChangeNothing) {
    CCEBitmap copy;
    zt::MakeBitmap(copy, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
    const zt::Snapshot before(copy);
    const int refused[][4] = {
        {4, 3, -1, 0}, {4, 3, 0, -1}, {4, 3, 7, 0},  {4, 3, 0, 6},  {11, 1, 0, 0},
        {1, 9, 0, 0},  {-1, 3, 0, 0}, {4, -3, 0, 0}, {0, 0, 11, 0}, {1, 1, 2147483647, 0},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(copy.Clone(&source, r[0], r[1], r[2], r[3]), 0)
            << r[0] << " " << r[1] << " " << r[2] << " " << r[3];
        EXPECT_TRUE(zt::Snapshot(copy) == before);
    }
    EXPECT_EQ(copy.Clone(nullptr, 0, 0, 0, 0), 0);
    CCEBitmap empty;
    EXPECT_EQ(copy.Clone(&empty, 0, 0, 0, 0), 0);
    EXPECT_TRUE(zt::Snapshot(copy) == before);
    // The far edges themselves are inside.
    EXPECT_EQ(copy.Clone(&source, 3, 2, 7, 6), 1);
    EXPECT_EQ(copy.m_pPixels[5], 709);
}

TEST_F(Clone, FromItselfGivesTheRectangleOfItsOwnPicture) {
    CCEBitmap b;
    ASSERT_EQ(b.Clone(&source, 0, 0, 0, 0), 1);
    ASSERT_EQ(b.Clone(&b, 0, 0, 0, 0), 1);
    EXPECT_EQ(zt::PixelsOf(b), zt::PixelsOf(source));
    EXPECT_EQ(zt::WeightsOf(b), zt::WeightsOf(source));
    ASSERT_EQ(b.Clone(&b, 4, 3, 2, 5), 1);
    EXPECT_EQ(b.m_pPixels[0], 502);
    EXPECT_EQ(b.m_pPixels[11], 705);
    EXPECT_EQ(b.m_pAlpha[11], 12);
    EXPECT_EQ(zorva::BlockHolders(b.m_pPixels), 1);
    zt::ExpectSound(b);
}

TEST_F(Clone, SharedBlocksAreLeftToTheirOtherHolders) {
    // The clone target shares its blocks with the source (an operator=
    // copy): the clone writes fresh blocks, the source keeps its picture.
    CCEBitmap copy;
    copy = source;
    const std::vector<uint16_t> sourcePixels = zt::PixelsOf(source);
    ASSERT_EQ(copy.Clone(&source, 4, 3, 2, 5), 1);
    EXPECT_EQ(zt::PixelsOf(source), sourcePixels);
    EXPECT_NE(copy.m_pPixels, source.m_pPixels);
    EXPECT_NE(copy.m_pAlpha, source.m_pAlpha);
    EXPECT_EQ(zorva::BlockHolders(source.m_pPixels), 1);
    EXPECT_EQ(copy.m_pPixels[0], 502);

    // Sharing with a third bitmap: the clone still ends up owning its own.
    CCEBitmap third;
    third = copy;
    ASSERT_EQ(copy.Clone(&source, 1, 1, 0, 0), 1);
    EXPECT_NE(copy.m_pPixels, third.m_pPixels);
    EXPECT_EQ(third.m_pPixels[0], 502);
    EXPECT_EQ(zorva::BlockHolders(copy.m_pPixels), 1);
    EXPECT_EQ(zorva::BlockHolders(copy.m_pAlpha), 1);
}

TEST_F(Clone, FailedGrowthLeavesAnEmptyBitmap) {
    {
        CCEBitmap copy;
        zorva::FailAllocation(1);
        EXPECT_EQ(copy.Clone(&source, 0, 0, 0, 0), 0);
        EXPECT_EQ(copy.m_pPixels, nullptr);
        EXPECT_EQ(copy.IsARGB(), 0);
        zt::ExpectSound(copy);
    }
    {
        // The pixels are copied, the plane fails: the flag stays off.
        CCEBitmap copy;
        zt::MakeBitmap(copy, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
        zorva::FailAllocation(2);
        EXPECT_EQ(copy.Clone(&source, 0, 0, 0, 0), 0);
        EXPECT_EQ(copy.m_nWidth, 10);
        EXPECT_EQ(copy.IsARGB(), 0);
        EXPECT_EQ(copy.m_pAlpha, nullptr);
        EXPECT_EQ(zt::PixelsOf(copy), zt::PixelsOf(source));
        zt::ExpectSound(copy);
    }
}
