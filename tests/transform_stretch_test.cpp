// Scaling: nearest and filtered sampling on 8.8 fixed-point positions.
#include "CCEBitmap.h"
#include "core/Pixel565.h"
#include "support/BitmapMaker.h"
#include "support/TestCanvas.h"
#include "support/TransformReference.h"

#include <gtest/gtest.h>

namespace {

using zt::Channel;
using zt::ChannelOf;
using zt::kChannels;
using zt::ReferenceStretch;
using zt::RefStretch;

class Stretch : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

std::vector<uint16_t> Row(const CCEBitmap& b) {
    return zt::PixelsOf(b);
}

} // namespace

TEST_F(Stretch, WideLerpMatchesTheChannelFormulaForEveryWeight) {
    // Every pair of values of every channel at once (green runs 0..63, red
    // and blue through their 32 values in other orders), every weight.
    for (uint32_t f = 0; f <= 256; ++f)
        for (uint32_t u = 0; u < 64; ++u)
            for (uint32_t v = 0; v < 64; ++v) {
                const uint16_t a = uint16_t(((u % 32) << 11) | (u << 5) | ((u * 7) % 32));
                const uint16_t b = uint16_t((((v * 3) % 32) << 11) | (v << 5) | (31 - v % 32));
                const uint16_t got = zorva::PackWideRGB565(
                    zorva::LerpWide(zorva::SpreadWideRGB565(a), zorva::SpreadWideRGB565(b), f));
                for (const Channel& c : kChannels) {
                    const uint32_t want = (ChannelOf(a, c) * (256 - f) + ChannelOf(b, c) * f) >> 8;
                    ASSERT_EQ(ChannelOf(got, c), want) << a << " " << b << " " << f;
                }
            }
    for (uint32_t p = 0; p < 65536; ++p)
        ASSERT_EQ(zorva::PackWideRGB565(zorva::SpreadWideRGB565(p)), p);
}

TEST_F(Stretch, NearestTakesTheColumnAtOrBeforeTheTruncatedPosition) {
    const uint16_t A = 0x1234, B = 0xABCD, C = 0x0F0F, D = 0xF0F0;
    struct Case {
        std::vector<uint16_t> row;
        int width;
        std::vector<uint16_t> want;
    };
    const Case cases[] = {
        {{A, B}, 4, {A, A, B, B}},                    // xStep 128
        {{A, B, C, D}, 2, {A, C}},                    // xStep 512
        {{A, B, C}, 2, {A, B}},                       // xStep 384
        {{A, B, C}, 7, {A, A, A, B, B, C, C}},        // xStep 109: 0,0,0,1,1,2,2
        {{A, B}, 600, std::vector<uint16_t>(600, A)}, // xStep 0
    };
    for (const Case& c : cases) {
        CCEBitmap src, out;
        zt::MakeBitmap(src, int(c.row.size()), 1, c.row);
        ASSERT_EQ(out.Stretch(&src, c.width, 1, 0), 1);
        EXPECT_EQ(out.GetSize().cx, c.width);
        EXPECT_EQ(Row(out), c.want) << c.row.size() << " -> " << c.width;
    }
}

TEST_F(Stretch, FilteredBlendsChannelByChannelRoundingDown) {
    CCEBitmap src, out;
    zt::MakeBitmap(src, 2, 1, {0x0000, 0xFFFF});
    ASSERT_EQ(out.Stretch(&src, 4, 1, 1), 1);
    EXPECT_EQ(Row(out), (std::vector<uint16_t>{0x0000, 0x7BEF, 0xFFFF, 0xFFFF}));
    EXPECT_EQ(out.IsARGB(), 0);

    // Fraction 128 across and down: the rounded-down mean of the channels.
    CCEBitmap square;
    zt::MakeBitmap(square, 2, 2, {0xF800, 0x07E0, 0x001F, 0xFFFF});
    ASSERT_EQ(out.Stretch(&square, 4, 4, 1), 1);
    // (1, 1) mixes all four equally: red (31 + 0 + 0 + 31) / 4 by halves:
    // top = 15, bottom = 15 -> 15; green top 31, bottom 31 -> 31; blue 15.
    EXPECT_EQ(out.m_pPixels[1 * 4 + 1], uint16_t((15 << 11) | (31 << 5) | 15));
    // Fraction 0 returns the source pixel exactly.
    EXPECT_EQ(out.m_pPixels[0], 0xF800);
    EXPECT_EQ(out.m_pPixels[2 * 4 + 2], 0xFFFF);
}

TEST_F(Stretch, SameSizeCopiesExactlyInBothModes) {
    std::mt19937 rng(7);
    CCEBitmap src;
    zt::MakeRandomBitmap(src, rng, 13, 9, true);
    for (int smooth : {0, 1}) {
        CCEBitmap out;
        ASSERT_EQ(out.Stretch(&src, 0, 0, smooth), 1);
        EXPECT_EQ(out.GetSize().cx, 13);
        EXPECT_EQ(out.GetSize().cy, 9);
        EXPECT_EQ(zt::PixelsOf(out), zt::PixelsOf(src));
        EXPECT_EQ(out.IsARGB(), 1);
        EXPECT_EQ(zt::WeightsOf(out), zt::WeightsOf(src));
    }
}

TEST_F(Stretch, MatchesThePerPixelReferenceOnRandomPictures) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 300; ++round) {
        const int sw = 1 + int(rng() % 40), sh = 1 + int(rng() % 30);
        int W = 1 + int(rng() % 90), H = 1 + int(rng() % 70);
        if (round % 20 == 0) { // wider than one tile of filtered columns
            W = 250 + int(rng() % 600);
            H = 1 + int(rng() % 8);
        }
        const bool smooth = rng() % 2 != 0, withAlpha = rng() % 2 != 0;
        const auto pixels = zt::RandomPixels(rng, size_t(sw) * sh);
        const auto weights =
            withAlpha ? zt::RandomWeights(rng, pixels.size()) : std::vector<uint8_t>{};
        CCEBitmap src, out;
        zt::MakeBitmap(src, sw, sh, pixels, weights);
        if (round % 3 == 0) zt::MakeRandomBitmap(out, rng, 5, 5, round % 2 == 0); // reused
        ASSERT_EQ(out.Stretch(&src, W, H, smooth ? 1 : 0), 1);
        const RefStretch want = ReferenceStretch(pixels, weights, sw, sh, W, H, smooth);
        ASSERT_EQ(zt::PixelsOf(out), want.pixels)
            << sw << "x" << sh << " -> " << W << "x" << H << " smooth " << smooth;
        ASSERT_EQ(out.IsARGB(), withAlpha ? 1 : 0);
        if (withAlpha) {
            ASSERT_EQ(zt::WeightsOf(out), want.weights);
        }
        zt::ExpectSound(out);
    }
}

TEST_F(Stretch, OneByOneSourceFiltersToItself) {
    CCEBitmap src, out;
    zt::MakeBitmap(src, 1, 1, {0x5AA5});
    ASSERT_EQ(out.Stretch(&src, 17, 5, 1), 1);
    EXPECT_EQ(zt::PixelsOf(out), std::vector<uint16_t>(85, 0x5AA5));
}

TEST_F(Stretch, RefusedArgumentsChangeNothing) {
    CCEBitmap src, out;
    zt::MakeBitmap(src, 4, 3, std::vector<uint16_t>(12, 1));
    zt::MakeBitmap(out, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
    const zt::Snapshot before(out);
    EXPECT_EQ(out.Stretch(nullptr, 4, 4, 0), 0);
    EXPECT_EQ(out.Stretch(&src, -1, 4, 0), 0);
    EXPECT_EQ(out.Stretch(&src, 4, -1, 1), 0);
    EXPECT_EQ(out.Stretch(&src, 70000, 70000, 0), 0); // more than 32 bits of bytes
    CCEBitmap empty;
    EXPECT_EQ(out.Stretch(&empty, 4, 4, 0), 0);
    // A source of width or height 0 still holding a buffer: nothing to
    // sample, whatever the size asked for.
    src.m_nWidth = 0;
    EXPECT_EQ(out.Stretch(&src, 4, 4, 1), 0);
    EXPECT_EQ(out.Stretch(&src, 0, 0, 0), 0);
    src.m_nWidth = 4;
    src.m_nHeight = 0;
    EXPECT_EQ(out.Stretch(&src, 4, 4, 0), 0);
    EXPECT_TRUE(zt::Snapshot(out) == before);
}

TEST_F(Stretch, FromItselfScalesTheOldPicture) {
    std::mt19937 rng(5);
    for (int smooth : {0, 1}) {
        CCEBitmap b;
        const auto pixels = zt::RandomPixels(rng, 6 * 5);
        const auto weights = zt::RandomWeights(rng, 6 * 5);
        zt::MakeBitmap(b, 6, 5, pixels, weights);
        // Smaller first (the blocks would not grow), then larger.
        for (auto size : {std::pair<int, int>{3, 2}, std::pair<int, int>{11, 13}}) {
            const auto old = zt::PixelsOf(b);
            const auto oldWeights = zt::WeightsOf(b);
            const int sw = b.m_nWidth, sh = b.m_nHeight;
            ASSERT_EQ(b.Stretch(&b, size.first, size.second, smooth), 1);
            const RefStretch want =
                ReferenceStretch(old, oldWeights, sw, sh, size.first, size.second, smooth != 0);
            EXPECT_EQ(zt::PixelsOf(b), want.pixels);
            EXPECT_EQ(zt::WeightsOf(b), want.weights);
            EXPECT_EQ(zorva::BlockHolders(b.m_pPixels), 1);
            zt::ExpectSound(b);
        }
    }
}

TEST_F(Stretch, ASourceSharingTheBlocksIsNotWritten) {
    std::mt19937 rng(9);
    CCEBitmap src;
    zt::MakeRandomBitmap(src, rng, 8, 8, true);
    const zt::Snapshot before(src);
    CCEBitmap out;
    out = src; // shares both blocks; 4 x 4 needs no growth
    ASSERT_EQ(out.Stretch(&src, 4, 4, 0), 1);
    EXPECT_TRUE(zt::Snapshot(src) == before);
    EXPECT_NE(out.m_pPixels, src.m_pPixels);
    EXPECT_NE(out.m_pAlpha, src.m_pAlpha);
    EXPECT_EQ(out.m_pPixels[1], before.pixels[2]);
}

TEST_F(Stretch, FailedGrowthLeavesAnEmptyBitmap) {
    std::mt19937 rng(3);
    CCEBitmap src;
    zt::MakeRandomBitmap(src, rng, 4, 4, true);
    {
        CCEBitmap out;
        zt::MakeBitmap(out, 2, 2, {1, 2, 3, 4}, {5, 6, 7, 8});
        zorva::FailAllocation(1);
        EXPECT_EQ(out.Stretch(&src, 8, 8, 0), 0);
        EXPECT_EQ(out.GetSize().cx, 0);
        EXPECT_EQ(out.GetSize().cy, 0);
        EXPECT_EQ(out.m_pPixels, nullptr);
        EXPECT_EQ(out.IsARGB(), 0);
        zt::ExpectSound(out);
    }
    for (int smooth : {0, 1}) {
        CCEBitmap out;
        zorva::FailAllocation(2); // the plane
        EXPECT_EQ(out.Stretch(&src, 8, 8, smooth), 0);
        EXPECT_EQ(out.GetSize().cx, 0);
        EXPECT_EQ(out.IsARGB(), 0);
        EXPECT_EQ(out.m_pAlpha, nullptr);
        ASSERT_NE(out.m_pPixels, nullptr);
        EXPECT_EQ(out.m_pPixels[0], src.m_pPixels[0]); // the scaled pixels are there
        zt::ExpectSound(out);
    }
}
