// Fades: frames counted by the windowed back-end's surface locks (one per
// Flip), random pictures against a per-channel reference, canvases that
// cannot show.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

template <class F>
int Frames(F fade) {
    zorva::ResetVirtualDisplayStats();
    fade();
    const zorva::VirtualDisplayStats s = zorva::GetVirtualDisplayStats();
    EXPECT_EQ(s.surfaceLocks, s.surfaceUnlocks);
    return s.surfaceLocks;
}

// floor(v * level / 32) for each channel.
std::vector<uint16_t> Scaled(std::vector<uint16_t> px, int level) {
    for (uint16_t& p : px) {
        const int r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
        p = uint16_t(((r * level / 32) << 11) | ((g * level / 32) << 5) | (b * level / 32));
    }
    return px;
}

} // namespace

TEST(Fade, RandomPicturesMatchThePerChannelLevels) {
    std::mt19937 rng(1234);
    for (int layout = 0; layout < 4; ++layout) {
        zt::TestCanvas t(zt::Layout(layout, 23 - layout, 17 + layout), 2);
        // Steps that the level arithmetic of 32-bit words would wrap end
        // after the first frame.
        for (unsigned long step : {0ul, 1ul, 2ul, 3ul, 5ul, 7ul, 8ul, 11ul, 21ul, 22ul, 24ul, 32ul,
                                   33ul, 0x80000000ul, 0xFFFFFFFFul, ULONG_MAX}) {
            const int s = step == 0 ? 1 : step > 32 ? 32 : int(step);
            t.FillRandom(rng);
            std::vector<uint16_t> want = t.Snapshot();
            int frames = 0;
            for (int level = 31; level > 9; level -= s, ++frames) // each frame scales the last
                want = Scaled(want, level);
            EXPECT_EQ(Frames([&] { t.canvas.FadeOut(step); }), frames) << step;
            ASSERT_EQ(t.Snapshot(), want) << "FadeOut(" << step << ")";

            t.FillRandom(rng);
            const std::vector<uint16_t> picture = t.Snapshot();
            int last = 8;
            for (frames = 1; last + s < 33; ++frames)
                last += s;
            EXPECT_EQ(Frames([&] { t.canvas.FadeIn(step); }), frames) << step;
            ASSERT_EQ(t.Snapshot(), Scaled(picture, last)) << "FadeIn(" << step << ")";
            if (layout == 0) { // dense: the screen in the canvas's order
                std::vector<uint16_t> screen(picture.size()); // the last frame shows
                ASSERT_TRUE(zorva::ReadScreen(t.window, screen.data()));
                EXPECT_EQ(screen, t.Snapshot()) << step;
            }
        }
    }
}

TEST(Fade, SuspendedMemorylessAndReleasedCanvases) {
    zt::TestCanvas t(zt::Dense(10, 10), 2);
    CCEDraw& c = t.canvas;
    std::mt19937 rng(55);
    t.FillRandom(rng);
    const std::vector<uint16_t> picture = t.Snapshot();
    // Suspended: the frames are computed, every Flip refused.
    c.Suspend();
    EXPECT_EQ(Frames([&] { c.FadeIn(5); }), 0);
    EXPECT_EQ(c.GetLastError(), 105u);
    EXPECT_EQ(t.Snapshot(), Scaled(picture, 28));
    // Without memory for its copy FadeIn does nothing, not even BeginDraw.
    t.Load(picture);
    c.m_dwLastError = 0;
    zorva::FailAllocation(1);
    EXPECT_EQ(Frames([&] { c.FadeIn(8); }), 0);
    EXPECT_EQ(c.GetLastError(), 0u);
    EXPECT_EQ(t.Snapshot(), picture);
    c.Resume();
    // Without a back buffer nothing is done.
    c.Release();
    CCEDraw never;
    const long before = zorva::AllocationCount();
    EXPECT_EQ(Frames([&] {
                  for (CCEDraw* d : {&c, &never})
                      d->FadeOut(1), d->FadeIn(1);
              }),
              0);
    EXPECT_EQ(zt::Values(zorva::AllocationCount() - before, c.GetLastError()), zt::Values(0, 0));
}
