// Fades: frames counted through the windowed back-end's surface locks (one
// per Flip), end colours worked out by hand, random pictures against a
// per-channel reference of the level sequence, steps that would wrap, a
// suspended canvas, and FadeIn without memory for its copy.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

class Fade : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// Frames presented by `fade`: each Flip of a canvas created in mode 2 locks
// the primary surface once.
template <class F>
int Frames(F fade) {
    zorva::ResetVirtualDisplayStats();
    fade();
    const zorva::VirtualDisplayStats s = zorva::GetVirtualDisplayStats();
    EXPECT_EQ(s.surfaceLocks, s.surfaceUnlocks);
    return s.surfaceLocks;
}

// floor(v * level / 32) for each channel, written per channel.
uint16_t ScaleChannels(uint16_t p, int level) {
    const int r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return uint16_t(((r * level / 32) << 11) | ((g * level / 32) << 5) | (b * level / 32));
}

std::vector<uint16_t> Scaled(std::vector<uint16_t> px, int level) {
    for (uint16_t& p : px)
        p = ScaleChannels(p, level);
    return px;
}

bool AllEqual(const std::vector<uint16_t>& px, uint16_t v) {
    return std::all_of(px.begin(), px.end(), [v](uint16_t p) { return p == v; });
}

} // namespace

TEST_F(Fade, FadeOutFramesAndEndColours) {
    zt::TestCanvas t(zt::Dense(16, 12), 2);
    ASSERT_EQ(t.canvas.m_bMode, 2);
    CCEDraw& c = t.canvas;

    c.Clear(0xFFul);
    EXPECT_EQ(Frames([&] { c.FadeOut(0); }), 22);
    EXPECT_TRUE(AllEqual(t.Snapshot(), 0x0000));
    c.Clear(0xFFul);
    EXPECT_EQ(Frames([&] { c.FadeOut(1); }), 22);
    EXPECT_TRUE(AllEqual(t.Snapshot(), 0x0000));

    c.Clear(0xFFul);
    EXPECT_EQ(Frames([&] { c.FadeOut(30); }), 1); // level 31
    EXPECT_TRUE(AllEqual(t.Snapshot(), 0xF7BE));

    c.Clear(0xFFul);
    EXPECT_EQ(Frames([&] { c.FadeOut(5); }), 5); // 31, 26, 21, 16, 11
    EXPECT_TRUE(AllEqual(t.Snapshot(), 0x10A2));

    c.Clear(0xFFul);
    EXPECT_EQ(Frames([&] { c.FadeOut(21); }), 2); // 31, 10
    EXPECT_EQ(Frames([&] { c.FadeOut(22); }), 1);

    // Steps the level arithmetic of 32-bit words would wrap end after the
    // first frame.
    for (unsigned long step : {0x80000000ul, 0xFFFFFFFFul, ULONG_MAX}) {
        c.Clear(0xFFul);
        EXPECT_EQ(Frames([&] { c.FadeOut(step); }), 1) << step;
        EXPECT_TRUE(AllEqual(t.Snapshot(), 0xF7BE));
    }

    // The screen shows the last frame.
    c.Clear(0xFFul);
    c.FadeOut(5);
    std::vector<uint16_t> screen(16 * 12);
    ASSERT_TRUE(zorva::ReadScreen(t.window, screen.data()));
    EXPECT_TRUE(AllEqual(screen, 0x10A2));
}

TEST_F(Fade, FadeInFramesAndEndPictures) {
    zt::TestCanvas t(zt::Dense(16, 12), 2);
    CCEDraw& c = t.canvas;
    std::mt19937 rng(8);
    t.FillRandom(rng);
    const std::vector<uint16_t> picture = t.Snapshot();

    EXPECT_EQ(Frames([&] { c.FadeIn(8); }), 4); // 8, 16, 24, 32
    EXPECT_EQ(t.Snapshot(), picture);

    EXPECT_EQ(Frames([&] { c.FadeIn(5); }), 5); // 8, 13, 18, 23, 28
    EXPECT_EQ(t.Snapshot(), Scaled(picture, 28));

    t.Load(picture);
    EXPECT_EQ(Frames([&] { c.FadeIn(100); }), 1); // 8
    EXPECT_EQ(t.Snapshot(), Scaled(picture, 8));

    t.Load(picture);
    EXPECT_EQ(Frames([&] { c.FadeIn(0); }), 25);
    EXPECT_EQ(t.Snapshot(), picture);

    t.Load(picture);
    EXPECT_EQ(Frames([&] { c.FadeIn(7); }), 4); // 8, 15, 22, 29
    EXPECT_EQ(t.Snapshot(), Scaled(picture, 29));

    for (unsigned long step : {0x80000000ul, ULONG_MAX}) {
        t.Load(picture);
        EXPECT_EQ(Frames([&] { c.FadeIn(step); }), 1) << step;
        EXPECT_EQ(t.Snapshot(), Scaled(picture, 8));
    }

    // One allocation, given back.
    t.Load(picture);
    const long before = zorva::AllocationCount();
    c.FadeIn(24);
    EXPECT_EQ(zorva::AllocationCount(), before + 1);
    std::vector<uint16_t> screen(16 * 12);
    ASSERT_TRUE(zorva::ReadScreen(t.window, screen.data()));
    EXPECT_EQ(screen, Scaled(picture, 32));
}

TEST_F(Fade, RandomPicturesMatchThePerChannelLevels) {
    std::mt19937 rng(1234);
    const zorva::VirtualDisplayConfig layouts[] = {zt::Dense(23, 17), zt::Padded(19, 11, 6),
                                                   zt::NegativeXPitch(13, 21)};
    for (const auto& layout : layouts) {
        zt::TestCanvas t(layout);
        for (unsigned long step = 0; step <= 33; ++step) {
            t.FillRandom(rng);
            std::vector<uint16_t> want = t.Snapshot();
            const int s = step ? int(step) : 1;
            for (int level = 31; level > 9; level -= s) // each frame scales the last
                want = Scaled(want, level);
            t.canvas.FadeOut(step);
            ASSERT_EQ(t.Snapshot(), want) << "FadeOut(" << step << ")";

            t.FillRandom(rng);
            const std::vector<uint16_t> picture = t.Snapshot();
            int last = 8;
            for (int level = 8; level < 33; level += s)
                last = level;
            t.canvas.FadeIn(step);
            ASSERT_EQ(t.Snapshot(), Scaled(picture, last)) << "FadeIn(" << step << ")";
        }
    }
}

TEST_F(Fade, SuspendedCanvasStillComputesTheFrames) {
    zt::TestCanvas t(zt::Dense(10, 10), 2);
    CCEDraw& c = t.canvas;
    std::mt19937 rng(55);
    t.FillRandom(rng);
    const std::vector<uint16_t> picture = t.Snapshot();
    c.Suspend();
    EXPECT_EQ(Frames([&] { c.FadeIn(5); }), 0); // every Flip refused
    EXPECT_EQ(c.GetLastError(), 105u);
    EXPECT_EQ(t.Snapshot(), Scaled(picture, 28));

    c.Clear(0xFFul);
    EXPECT_EQ(Frames([&] { c.FadeOut(5); }), 0);
    EXPECT_TRUE(AllEqual(t.Snapshot(), 0x10A2));
    c.Resume();
    EXPECT_EQ(Frames([&] { c.FadeOut(30); }), 1);
}

TEST_F(Fade, FadeInWithoutMemoryDoesNothing) {
    zt::TestCanvas t(zt::Dense(10, 10), 2);
    CCEDraw& c = t.canvas;
    std::mt19937 rng(66);
    t.FillRandom(rng);
    const std::vector<uint16_t> picture = t.Snapshot();
    c.Suspend(); // BeginDraw would record 105: it is not reached
    c.m_dwLastError = 0;
    zorva::FailAllocation(1);
    EXPECT_EQ(Frames([&] { c.FadeIn(8); }), 0);
    EXPECT_EQ(c.GetLastError(), 0u);
    EXPECT_EQ(t.Snapshot(), picture);
    c.Resume();
}

TEST_F(Fade, ACanvasWithoutBackBufferIsLeftAlone) {
    CCEDraw never; // never created
    never.FadeOut(1);
    never.FadeIn(1);
    zt::TestCanvas t(zt::Dense(10, 10), 2);
    t.canvas.Release();
    const long before = zorva::AllocationCount();
    EXPECT_EQ(Frames([&] {
                  t.canvas.FadeOut(1);
                  t.canvas.FadeIn(1);
              }),
              0);
    EXPECT_EQ(zorva::AllocationCount(), before);
    EXPECT_EQ(t.canvas.GetLastError(), 0u);
}
