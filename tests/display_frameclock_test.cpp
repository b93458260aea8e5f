// The frame clock on time driven by hand: sleeps, steps, late frames, the
// measured rate, and windows whose flips wait for the vertical blank.
#include "display/FrameClock.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int64_t kMs = 1000000;
int64_t g_now = 0;
std::vector<int64_t> g_sleeps; // the times slept until

struct FrameClocks : zt::PlatformTest {
    void SetUp() override {
        g_now = 0;
        g_sleeps.clear();
        static const zorva::ClockSource fake{[] { return g_now; },
                                             [](int64_t until) {
                                                 g_sleeps.push_back(until);
                                                 g_now = std::max(g_now, until);
                                             }};
        zorva::SetClockSource(&fake);
    }
    void TearDown() override {
        zorva::SetClockSource(nullptr);
        PlatformTest::TearDown();
    }
    // Frames whose work takes the given times (in `unit` ns) before each Wait
    // after the first; the steps the clock reports, in the same units.
    std::vector<int64_t> Run(zorva::FrameClock& clock, const std::vector<int64_t>& work,
                             int64_t unit = kMs) {
        std::vector<int64_t> steps;
        clock.Wait();
        for (int64_t w : work) {
            g_now += w * unit;
            clock.Wait();
            steps.push_back(std::llround(clock.FrameSeconds() * 1e9 / double(unit)));
        }
        return steps;
    }
};

TEST_F(FrameClocks, SleepsToAGridAndCountsLateFrames) {
    zorva::FrameClock clock(50); // a frame every 20 ms
    EXPECT_EQ(clock.FrameSeconds(), 0.02);
    // Work of 5 ms waits to 20; 25 ms is late, and the grid holds (the next
    // is due at 60); 50 ms is late by more than a frame, so the grid starts
    // again from 110.
    EXPECT_EQ(Run(clock, {5, 25, 10, 50, 0}), (std::vector<int64_t>{20, 25, 15, 50, 20}));
    EXPECT_EQ(g_sleeps, (std::vector<int64_t>{20 * kMs, 60 * kMs, 130 * kMs}));
    EXPECT_EQ(zt::Values(clock.Frames(), clock.LateFrames()), zt::Values(6, 2));
    EXPECT_NEAR(clock.MeasuredRate(), 5 / 0.130, 1e-9); // before a whole second
    // Idle frames on the grid: the first whole second (to 1010 ms) held 49
    // frames after the first; the rate holds until the next whole second.
    for (int i = 0; i < 44; ++i)
        clock.Wait();
    EXPECT_NEAR(clock.MeasuredRate(), 49 / 1.010, 1e-9);
    for (int i = 0; i < 49; ++i)
        clock.Wait();
    EXPECT_NEAR(clock.MeasuredRate(), 49 / 1.010, 1e-9);
    clock.Wait();
    EXPECT_EQ(g_now, 2010 * kMs);
    EXPECT_EQ(clock.MeasuredRate(), 50);
    // After a pause, Restart: no late frame, no long step.
    g_now += 10000 * kMs;
    clock.Restart();
    EXPECT_EQ(Run(clock, {20}), std::vector<int64_t>{20});
    EXPECT_EQ(clock.LateFrames(), 2);
}

TEST_F(FrameClocks, PacedFlipsAndNoRateNeverSleep) {
    // Flips that wait for a 60 Hz refresh, at 60 frames a second: frames a
    // period apart and one that missed a refresh (late), never a sleep. At
    // 30 on that display the clock sleeps to a quarter period before each
    // frame is due (the first a quarter short), leaving the rest to Flip.
    zorva::VirtualDisplayFaults faults;
    faults.pacedFlips = true;
    zorva::SetVirtualDisplayFaults(faults);
    zorva::DisplayOptions options;
    options.kind = zorva::DisplayKind::Virtual;
    HWND window = zorva::OpenWindow("paced", options);
    ASSERT_TRUE(zorva::FlipsArePaced(window));
    zorva::FrameClock paced(60, window);
    const int64_t p = 16666667; // the period, rounded to the nanosecond
    const std::vector<int64_t> work{p, p, 3 * p, p};
    EXPECT_EQ(Run(paced, work, 1), work);
    EXPECT_EQ(zt::Values(g_sleeps.size(), paced.LateFrames()), zt::Values(0, 1));
    zorva::FrameClock half(30, window);
    const int64_t q = 33333333; // its period
    EXPECT_EQ(Run(half, {p, p}, 1), (std::vector<int64_t>{q - q / 4, q}));
    EXPECT_EQ(g_sleeps.size(), 2u);
    g_sleeps.clear();
    zorva::CloseWindow(window);
    // No rate (or none that is a number): no sleep, nothing late, a measure.
    for (double rate : {0.0, -5.0, double(NAN), double(INFINITY)}) {
        zorva::FrameClock free(rate);
        EXPECT_EQ(free.Rate() + free.FrameSeconds(), 0);
        EXPECT_EQ(Run(free, {3, 1}), (std::vector<int64_t>{3, 1}));
        EXPECT_EQ(zt::Values(g_sleeps.size(), free.LateFrames()), zt::Values(0, 0));
        EXPECT_EQ(free.MeasuredRate(), 500);
    }
}

} // namespace
