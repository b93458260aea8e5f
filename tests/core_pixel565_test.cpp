// Exhaustive checks of the RGB565 pixel maths against per-channel formulas.
#include "core/Pixel565.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

using namespace zorva;

namespace {

// The three channels of a pixel as separate values.
struct Channels {
    int r, g, b;
};
Channels Split(uint16_t p) {
    return {p >> 11, (p >> 5) & 0x3F, p & 0x1F};
}

} // namespace

TEST(Pixel565, ColourWordKeepsTopBitsOfEveryWord) {
    // Every colour word with a varying top byte: 2^24 values.
    for (uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
        const uint32_t word = rgb | ((rgb * 2654435761u) & 0xFF000000u);
        const uint16_t expected =
            uint16_t(((rgb >> 19) & 0x1F) << 11 | ((rgb >> 10) & 0x3F) << 5 | ((rgb >> 3) & 0x1F));
        ASSERT_EQ(ColorWordToRGB565(word), expected) << std::hex << word;
    }
    EXPECT_EQ(ColorWordToRGB565(0x00FF8040), 0xFC08);
    EXPECT_EQ(ColorWordToRGB565(0xFFFFFFFF), 0xFFFF);
}

TEST(Pixel565, ComponentsMatchTheColourWordInRangeAndSpillOutside) {
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; b += 5)
                ASSERT_EQ(ComponentsToRGB565(r, g, b),
                          ColorWordToRGB565(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b)));
    EXPECT_EQ(ComponentsToRGB565(255, 128, 64), 0xFC08);
    // Green 256 spills one bit into red's field: (64 & 0xFF) | 0 << 6 = 64.
    EXPECT_EQ(ComponentsToRGB565(0, 256, 0), 64 << 5);
    // Blue 0x1FF >> 3 = 63 carries into green's lowest bit.
    EXPECT_EQ(ComponentsToRGB565(0, 0, 0x1FF), 63);
    // Negative red: (-8 >> 3) << 6 sets every bit above green.
    EXPECT_EQ(ComponentsToRGB565(-8, 0, 0), 0xF800);
}

TEST(Pixel565, TwentyFourBitPixelsDropLowBits) {
    for (int v = 0; v < (1 << 24); v += 7) {
        const uint8_t bgr[3] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
        const uint16_t p = Bgr24ToRGB565(bgr);
        ASSERT_EQ(Split(p).r, bgr[2] >> 3);
        ASSERT_EQ(Split(p).g, bgr[1] >> 2);
        ASSERT_EQ(Split(p).b, bgr[0] >> 3);
    }
    // The expansion back writes zero low bits, never replicated ones.
    uint8_t out[3];
    RGB565ToBgr24(0xFFFF, out);
    EXPECT_EQ(out[0], 248);
    EXPECT_EQ(out[1], 252);
    EXPECT_EQ(out[2], 248);
    for (uint32_t p = 0; p < 65536; ++p) {
        RGB565ToBgr24(p, out);
        ASSERT_EQ(Bgr24ToRGB565(out), p);
    }
}

TEST(Pixel565, SpreadLayout) {
    EXPECT_EQ(SpreadRGB565(0xF800), 0x0000F800u);
    EXPECT_EQ(SpreadRGB565(0x07E0), 0x07E00000u);
    EXPECT_EQ(SpreadRGB565(0x001F), 0x0000001Fu);
    for (uint32_t p = 0; p < 65536; ++p)
        ASSERT_EQ(PackRGB565(SpreadRGB565(p)), p);
}

TEST(Pixel565, BlendEqualsFlooredChannelFormulaForEveryWeight) {
    // Every pair of channel values with all three channels moving together:
    // destination and source take each 6-bit value in green and the matching
    // 5-bit values in red and blue, offset so that the channels differ.
    for (int dv = 0; dv < 64; ++dv) {
        for (int sv = 0; sv < 64; ++sv) {
            const uint16_t d = uint16_t(((dv >> 1) << 11) | (dv << 5) | ((31 - (dv >> 1))));
            const uint16_t s = uint16_t((((63 - sv) >> 1) << 11) | (sv << 5) | (sv >> 1));
            for (int a = 0; a <= 32; ++a)
                ASSERT_EQ(BlendRGB565(d, s, a), zt::BlendPerChannel(d, s, a))
                    << std::hex << d << " " << s << " " << std::dec << a;
        }
    }
    EXPECT_EQ(BlendRGB565(0x0000, 0xFFFF, 16), 0x7BEF);
    EXPECT_EQ(BlendRGB565(0xFFFF, 0x0000, 16), 0x7BEF);
    EXPECT_EQ(BlendRGB565(0x1234, 0x4321, 1), 0x1233);
    EXPECT_EQ(BlendRGB565(0x0000, 0xFFFF, 31), 0xF7BE);
}

TEST(Pixel565, BlendEndWeightsForAllPixels) {
    for (uint32_t p = 0; p < 65536; p += 3) {
        const uint16_t q = uint16_t(p * 40503u);
        ASSERT_EQ(BlendRGB565(p, q, 0), p);
        ASSERT_EQ(BlendRGB565(p, q, 32), q);
    }
}

TEST(Pixel565, ScaleIsFlooredPerChannel) {
    for (uint32_t p = 0; p < 65536; ++p) {
        for (uint32_t level : {0u, 8u, 10u, 13u, 31u, 32u}) {
            const Channels c = Split(uint16_t(p));
            const uint16_t expected =
                uint16_t((c.r * level / 32) << 11 | (c.g * level / 32) << 5 | (c.b * level / 32));
            ASSERT_EQ(ScaleRGB565(p, level), expected);
        }
    }
    EXPECT_EQ(ScaleRGB565(0xFFFF, 31), 0xF7BE);
}

TEST(Pixel565, Rgb555Widening) {
    EXPECT_EQ(RGB555ToRGB565(0x7FFF), 0xFFDF);
    EXPECT_EQ(RGB555ToRGB565(0x8000), 0x0000); // the top bit is ignored
    EXPECT_EQ(RGB555ToRGB565(0x001F), 0x001F);
    EXPECT_EQ(RGB555ToRGB565(0x03E0), 0x07C0);
}
