// Worked values that pin the transform references, the choices where the
// fields leave a call open, and the states failed growth leaves.
#include "CCEBitmap.h"
#include "support/TransformReference.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Rows P1 P2 P3 / P4 P5 P6; the weight of Pn is n + 10.
const std::vector<uint16_t> kSix = {1, 2, 3, 4, 5, 6};
const std::vector<uint8_t> kSixWeights = {11, 12, 13, 14, 15, 16};

} // namespace

// Rows P1 P2 P3 / P4 P5 P6 turned in place, then by whole degrees from
// itself; weights follow their pixels, background pixels are 0 with weight 0.
TEST(Transform, ThreeByTwoTurns) {
    const struct {
        zt::Call call;
        int w, h;
        std::vector<uint16_t> rows;
    } cases[] = {
        {zt::Rotate(1), 2, 3, {4, 1, 5, 2, 6, 3}},
        {zt::Rotate(2), 3, 2, {6, 5, 4, 3, 2, 1}},
        {zt::Rotate(4), 2, 3, {3, 6, 2, 5, 1, 4}},
        {zt::Rotate(3), 3, 2, kSix},
        {zt::FreeRotate(90, 0), 2, 3, {0, 4, 0, 5, 0, 6}},
        {zt::FreeRotate(-90, 0), 2, 3, {0, 0, 3, 6, 2, 5}},
        {zt::FreeRotate(45, 0), 3, 3, {0, 1, 0, 4, 1, 2, 0, 5, 3}},
        {zt::FreeRotate(1, 0), 2, 2, {1, 0, 1, 2}},
    };
    for (const auto& c : cases) {
        CCEBitmap b;
        zt::MakeBitmap(b, 3, 2, kSix, kSixWeights);
        ASSERT_EQ(c.call.Run(b, &b), 1) << "case " << &c - cases;
        const zt::Snapshot after(b);
        std::vector<uint8_t> weights;
        for (uint16_t p : c.rows)
            weights.push_back(uint8_t(p ? p + 10 : 0));
        EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight), zt::Values(c.w, c.h)) << &c - cases;
        EXPECT_EQ(after.pixels, c.rows) << "case " << &c - cases;
        EXPECT_EQ(after.weights, weights) << "case " << &c - cases;
    }
}

TEST(Transform, RotateFields) {
    // Fields that contradict the blocks are refused: more than the block
    // holds, a negative width, the flag without a plane.
    CCEBitmap odd;
    zt::MakeBitmap(odd, 3, 2, kSix);
    for (auto [width, argb] : {std::pair{30, 0}, {-3, 0}, {3, 1}}) {
        odd.m_nWidth = width, odd.m_bARGB = argb;
        EXPECT_EQ(odd.Rotate(1), 0) << width;
    }
}

// Quarter turns run in bands of destination rows with part of the picture
// set aside; pictures wider and taller than a band, and square, both ways.
TEST(Transform, RotateInBandsMatchesTheRule) {
    std::mt19937 rng(31);
    for (auto [w, h] : {std::pair{70, 45}, {45, 70}, {64, 64}, {97, 1}, {1, 97}})
        for (unsigned code : {1u, 2u, 4u}) {
            CCEBitmap b;
            zt::MakeNumbered(b, w, h, true, &rng);
            const zt::Snapshot before(b);
            ASSERT_EQ(b.Rotate(static_cast<unsigned char>(code)), 1);
            EXPECT_TRUE(zt::Gives(b, 1, zt::ReferenceRotate(before, code))) << w << " x " << h;
        }
}

TEST(Transform, StretchStepsAreTruncatedOnce) {
    const uint16_t A = 0x1234, B = 0xABCD, C = 0x0F0F, D = 0xF0F0;
    const struct {
        std::vector<uint16_t> row;
        int width;
        std::vector<uint16_t> want;
    } cases[] = {
        {{A, B}, 4, {A, A, B, B}},                    // step 128
        {{A, B, C, D}, 2, {A, C}},                    // 512
        {{A, B, C}, 2, {A, B}},                       // 384
        {{A, B, C}, 7, {A, A, A, B, B, C, C}},        // 109: 0, 0, 0, 1, 1, 2, 2
        {{A, B}, 600, std::vector<uint16_t>(600, A)}, // 0
    };
    for (const auto& c : cases) {
        CCEBitmap src, out;
        zt::MakeBitmap(src, int(c.row.size()), 1, c.row);
        ASSERT_EQ(out.Stretch(&src, c.width, 1, 0), 1);
        EXPECT_EQ(zt::Snapshot(out).pixels, c.want) << c.row.size() << " -> " << c.width;
    }
    // Filtered, each channel rounding down.
    CCEBitmap src, out;
    zt::MakeBitmap(src, 2, 1, {0x0000, 0xFFFF});
    ASSERT_EQ(out.Stretch(&src, 4, 1, 1), 1);
    EXPECT_EQ(zt::Snapshot(out).pixels, (std::vector<uint16_t>{0x0000, 0x7BEF, 0xFFFF, 0xFFFF}));
}

TEST(Transform, FreeRotateBoxesAndFill) {
    // The box of the turned corners; the background has both bytes equal
    // to the low byte of fill.
    CCEBitmap big, out;
    zt::MakeBitmap(big, 100, 50, std::vector<uint16_t>(5000, 0x1111));
    for (auto [angle, w, h] : {std::tuple{90, 50, 100}, {45, 105, 106}, {180, 100, 50}}) {
        ASSERT_EQ(out.FreeRotate(&big, angle, 0xAB12), 1);
        EXPECT_EQ(zt::Values(out.m_nWidth, out.m_nHeight, out.m_bARGB), zt::Values(w, h, 0));
    }
    EXPECT_EQ(out.m_pPixels[0], 0x1212);
}

TEST(Transform, StretchExReflectionWeightsStepDown) {
    CCEBitmap src, out;
    // H = 40, R = 10 rows mirrored below: the weight, 22 stepped down by
    // 18 / R in double, shows its rounding (13.0 -> 12).
    zt::MakeNumbered(src, 4, 30, false);
    ASSERT_EQ(zt::StretchEx({0, 0, 3, 1, 0, 39, 3, 39}, 0, 1).Run(out, &src), 1);
    const uint8_t want[] = {22, 20, 18, 16, 14, 12, 11, 9, 7, 5};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(out.m_pAlpha[(40 + k) * 3 + 1], want[k]) << k;
        EXPECT_EQ(out.m_pPixels[(40 + k) * 3 + 1], out.m_pPixels[(39 - k) * 3 + 1]);
    }
}

TEST(Transform, FailedGrowth) {
    CCEBitmap src;
    zt::MakeBitmap(src, 3, 2, kSix, kSixWeights);
    // Allocation 1 is the pixel buffer, 2 the plane. argb1 -1: the flag is
    // left as it was.
    const struct {
        zt::Call call;
        int w1, h1, argb1, w2, h2;
    } cases[] = {{zt::Clone(0, 0, 0, 0), 3, 2, 0, 3, 2},
                 {zt::Stretch(8, 8, 1), 0, 0, 0, 0, 0},
                 {zt::FreeRotate(45, 0), 1, 1, -1, 0, 0},
                 {zt::StretchEx({0, 0, 9, 0, 0, 9, 9, 9}, 0, 1), 0, 0, 0, 0, 0}};
    for (const auto& c : cases)
        for (long failing : {1L, 2L}) {
            CCEBitmap out;
            zt::MakeBitmap(out, 1, 1, {9}, {32});
            zorva::FailAllocation(failing);
            EXPECT_EQ(c.call.Run(out, &src), 0) << c.call.member;
            const bool first = failing == 1;
            // Size, pixels absent, plane absent (the second failure), flag.
            EXPECT_EQ(zt::Values(out.m_nWidth, out.m_nHeight, !out.m_pPixels,
                                 first || !out.m_pAlpha, first && c.argb1 < 0 ? 0 : out.m_bARGB),
                      zt::Values(first ? c.w1 : c.w2, first ? c.h1 : c.h2, first, 1, 0))
                << c.call.member << " " << failing;
            zt::ExpectSound(out);
        }
}
