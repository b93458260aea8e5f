// Exhaustive checks of the RGB565 pixel maths against per-channel formulas.
#include "core/Pixel565.h"
#include "support/PixelReference.h"

#include <gtest/gtest.h>

using namespace zorva;

namespace {

uint16_t Pack(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t(r << 11 | g << 5 | b);
}

} // namespace

TEST(Pixel565, Conversions) {
    // Every colour word, with a varying top byte that must not matter.
    for (uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
        const uint32_t word = rgb | ((rgb * 2654435761u) & 0xFF000000u);
        const uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        const uint16_t expected = Pack(r >> 3, g >> 2, b >> 3);
        ASSERT_EQ(ColorWordToRGB565(word), expected) << std::hex << word;
        const uint8_t bgr[3] = {uint8_t(b), uint8_t(g), uint8_t(r)};
        ASSERT_EQ(Bgr24ToRGB565(bgr), expected);
        ASSERT_EQ(ComponentsToRGB565(int(r), int(g), int(b)), expected);
    }
    // Components out of range spill into the next field.
    EXPECT_EQ(ComponentsToRGB565(0, 256, 0), 64 << 5);
    EXPECT_EQ(ComponentsToRGB565(0, 0, 0x1FF), 63);
    EXPECT_EQ(ComponentsToRGB565(-8, 0, 0), 0xF800);
    // Back to 24 bits with zero low bits, never replicated ones; 5-5-5 widens
    // green and ignores the top bit.
    uint8_t out[3];
    for (uint32_t p = 0; p < 65536; ++p) {
        RGB565ToBgr24(p, out);
        ASSERT_EQ(out[0], (p & 31) << 3);
        ASSERT_EQ(out[1], ((p >> 5) & 63) << 2);
        ASSERT_EQ(out[2], (p >> 11) << 3);
        ASSERT_EQ(RGB555ToRGB565(p), Pack((p >> 10) & 31, ((p >> 5) & 31) << 1, p & 31));
        ASSERT_EQ(PackRGB565(SpreadRGB565(p)), p);
    }
    EXPECT_EQ(SpreadRGB565(0xF800), 0x0000F800u); // 00000GGGGGG00000RRRRR000000BBBBB
    EXPECT_EQ(SpreadRGB565(0x07E0), 0x07E00000u);
    EXPECT_EQ(SpreadRGB565(0x001F), 0x0000001Fu);
}

TEST(Pixel565, BlendAndScaleArePerChannelFloors) {
    // Every pair of channel values at every weight, the three channels moving
    // together but offset so that they differ.
    for (int dv = 0; dv < 64; ++dv) {
        for (int sv = 0; sv < 64; ++sv) {
            const uint16_t d = Pack(dv >> 1, dv, 31 - (dv >> 1));
            const uint16_t s = Pack((63 - sv) >> 1, sv, sv >> 1);
            for (int a = 0; a <= 32; ++a)
                ASSERT_EQ(BlendRGB565(d, s, a), zt::BlendPerChannel(d, s, a))
                    << std::hex << d << " " << s << " " << std::dec << a;
        }
    }
    EXPECT_EQ(BlendRGB565(0x0000, 0xFFFF, 16), 0x7BEF);
    EXPECT_EQ(BlendRGB565(0xFFFF, 0x0000, 16), 0x7BEF);
    EXPECT_EQ(BlendRGB565(0x0000, 0xFFFF, 31), 0xF7BE);
    for (uint32_t p = 0; p < 65536; ++p)
        for (uint32_t level = 0; level <= 32; ++level)
            ASSERT_EQ(
                ScaleRGB565(p, level),
                Pack((p >> 11) * level / 32, ((p >> 5) & 63) * level / 32, (p & 31) * level / 32));
}
