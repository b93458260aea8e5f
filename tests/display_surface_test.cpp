// The display surface: back-end choice, layouts, presenting, suspension,
// errors and ownership, on virtual displays modelling different devices.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using zorva::GetVirtualDisplayStats;
using zorva::VirtualDisplayConfig;
using zorva::VirtualDisplayFaults;

namespace {

struct Probe : CCEDraw {
    using CCEGraphics::loadDirectDraw;
    using CCEGraphics::loadGAPI;
    using CCEGraphics::loadRawBuffer;
};

std::vector<uint16_t> Screen(HWND w) {
    int width = 0, height = 0;
    zorva::GetScreenSize(w, &width, &height);
    std::vector<uint16_t> s(size_t(width) * height);
    zorva::ReadScreen(w, s.data());
    return s;
}

class Surface : public ::testing::Test {
protected:
    void SetUp() override {
        zt::ResetPlatform();
        zorva::ResetVirtualDisplayStats();
    }
    void TearDown() override {
        // Whatever a test did, every object it created gave everything back.
        const auto s = GetVirtualDisplayStats();
        EXPECT_EQ(s.directDrawObjects + s.surfaces + s.modulesLoaded, 0);
        EXPECT_EQ(s.surfaceLocks, s.surfaceUnlocks);
        for (HWND w : windows)
            zorva::CloseWindow(w);
        zt::ResetPlatform();
    }
    HWND Open(const VirtualDisplayConfig& config, const VirtualDisplayFaults& faults = {}) {
        zorva::SetVirtualDisplay(config);
        zorva::SetVirtualDisplayFaults(faults);
        windows.push_back(zorva::OpenWindow("surface"));
        return windows.back();
    }
    std::vector<HWND> windows;
};

} // namespace

TEST_F(Surface, DeviceTableAndModePickTheBackEnd) {
    using C = VirtualDisplayConfig;
    using F = VirtualDisplayFaults;
    const struct {
        const char* oem;
        bool F::*on1, F::*on2; // faults set
        int rawFormat, mode, result, modeAfter, rawQueries, opens;
    } cases[] = {
        {"DEKO100", nullptr, nullptr, 1, 2, 1, 1, 1, 1}, // table devices: raw first
        {"rima100", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"Sola100", nullptr, nullptr, 1, 0, 1, 1, 1, 1}, // whatever mode is asked
        {"BROVIK", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"meridan", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"q7184", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"Brovik2", nullptr, nullptr, 1, 2, 1, 2, 0, 1}, // whole strings only
        {"Brovik", &F::oemQueryFails, nullptr, 1, 2, 1, 2, 0, 1},
        {"phone", nullptr, nullptr, 1, 0, 0, 0, 0, 0}, // neither 1 nor 2: nothing tried
        {"phone", nullptr, nullptr, 1, 3, 0, 3, 0, 0},
        {"phone", &F::noDDraw, nullptr, 1, 2, 1, 1, 1, 1},          // windowed fails: raw
        {"phone", &F::noRawFrameBuffer, nullptr, 1, 1, 1, 2, 1, 1}, // raw fails: windowed
        {"phone", nullptr, nullptr, 3, 1, 1, 2, 1, 1},              // a format not drawn in
        {"phone", &F::noRawFrameBuffer, &F::noDDraw, 1, 1, 0, 1, 1, 0},
        {"phone", &F::noDDrawCreateEntry, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &F::ddrawCreateFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &F::ddrawCooperativeLevelFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &F::ddrawNoPrimaryCaps, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &F::ddrawCreateSurfaceFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &F::ddrawLockFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &F::noGX, nullptr, 1, 2, 0, 2, 0, 0},
        {"phone", &F::noGXOpenEntry, &F::noGXCloseEntry, 1, 2, 1, 2, 0, 0}, // entries skipped
    };
    for (const auto& k : cases) {
        C config = zt::Dense(32, 16);
        config.oemInfo = k.oem;
        config.rawFormat = k.rawFormat;
        F faults;
        for (bool F::*f : {k.on1, k.on2})
            if (f) faults.*f = true;
        HWND w = Open(config, faults);
        zorva::ResetVirtualDisplayStats();
        CCEDraw c;
        const long result = c.Create(w, BYTE(k.mode));
        const auto s = GetVirtualDisplayStats();
        // A failed windowed back-end holds no object; a later failure keeps
        // them until Release. No success writes the error record.
        EXPECT_EQ(zt::Values(result, c.m_bMode, s.rawFrameBufferQueries, s.gameInputOpens,
                             s.directDrawObjects, c.GetLastError()),
                  zt::Values(k.result, k.modeAfter, k.rawQueries, k.opens, k.modeAfter == 2,
                             k.result ? 0 : 100))
            << "case " << &k - cases;
        EXPECT_TRUE(!result || c.GetDisplayProperties().ffFormat == kfDirect565);
        // Suspended, drawing works but nothing is presented: 105, which no
        // success clears.
        c.Suspend();
        c.Clear(0xFFul);
        EXPECT_EQ(zt::Values(c.Flip(), c.BeginDraw(), c.EndDraw()), zt::Values(0, 0, 0));
        EXPECT_EQ(zt::Values(c.IsSuspend(), c.GetLastError(), Screen(w)[0]), zt::Values(1, 105, 0));
        c.Resume();
        EXPECT_EQ(zt::Values(c.Flip(), c.EndDraw()), zt::Values(result, 1));
        EXPECT_EQ(zt::Values(c.IsSuspend(), c.GetLastError(), Screen(w)[0]),
                  zt::Values(0, 105, result ? 0xFFFF : 0));
        EXPECT_EQ(c.Release(), 1);
        // Release keeps the mode; Flip then has nothing to present to.
        EXPECT_EQ(zt::Values(GetVirtualDisplayStats().gameInputCloses, c.m_bMode),
                  zt::Values(2 * k.opens, k.modeAfter));
        EXPECT_EQ(c.Flip(), 0);
    }
    // The raw back-end reports RGB555 as such; an unknown format fails.
    Probe a;
    C config = zt::Dense(32, 16);
    config.rawFormat = 2;
    EXPECT_TRUE(a.loadRawBuffer(Open(config)));
    EXPECT_EQ(a.m_DisplayProperties.ffFormat, DWORD(kfDirect555));
    config.rawFormat = 3;
    EXPECT_FALSE(a.loadRawBuffer(Open(config)));
    zorva::ResetVirtualDisplayStats();
    EXPECT_TRUE(a.loadGAPI() && a.loadGAPI()); // loaded once
    EXPECT_EQ(GetVirtualDisplayStats().moduleLoads, 1);
    a.Release();
}

TEST_F(Surface, EveryLayoutIsAdaptedToOrRefused) {
    VirtualDisplayConfig columns = zt::Dense(50, 30), paddedNegativeX = zt::NegativeXPitch(30, 50);
    columns.xPitch = 60; // column-major, positive
    columns.yPitch = 2;
    paddedNegativeX.xPitch = -104; // columns of 50 pixels and 4 bytes of padding
    for (auto config : {zt::Layout(0, 50, 30), zt::Padded(50, 30, 14), zt::Layout(2, 30, 50),
                        zt::Layout(3, 50, 30), columns, paddedNegativeX}) {
        for (BYTE mode : {1, 2}) {
            HWND w = Open(config);
            CCEDraw c;
            ASSERT_EQ(c.Create(w, mode), 1);
            const int cw = int(c.GetDisplayProperties().cxWidth);
            const int ch = int(c.GetDisplayProperties().cyHeight);
            EXPECT_EQ(c.GetBuffer(1), c.m_pBackBuffer + (ch - 1) * ptrdiff_t(c.m_yPitch));
            EXPECT_EQ(c.GetBuffer(4), c.m_pBackBuffer + (cw - 1) * ptrdiff_t(c.m_xPitch));
            EXPECT_EQ(c.GetBuffer(7), c.m_pBackBuffer);
            c.Clear(0xFFul);
            CCEPen pen(0, 1, 0x0841);
            c.Clear(&pen);
            c.DrawPixel(0, 0, 0xF800);
            c.DrawPixel(cw - 1, ch - 1, 0x001F);
            const int presents = GetVirtualDisplayStats().presents;
            ASSERT_EQ(c.Flip(), 1);
            // Both back-ends tell the device they presented its whole frame.
            const auto s = GetVirtualDisplayStats();
            EXPECT_EQ(zt::Values(s.presents, s.presented.left, s.presented.top, s.presented.right,
                                 s.presented.bottom),
                      zt::Values(presents + 1, 0, 0, config.width, config.height));
            ASSERT_TRUE(zorva::DisplayMemoryIntact(w));
            const std::vector<uint16_t> screen = Screen(w);
            auto count = [&](uint16_t v) { return std::count(screen.begin(), screen.end(), v); };
            EXPECT_EQ(zt::Values(count(0x0841), count(0xF800), count(0x001F)),
                      zt::Values(50 * 30 - 2, 1, 1));
        }
    }
    // A negative x pitch is re-expressed in memory order, the pitches as
    // reported kept: canvas pixel (u, v) shows at reported (239 - v, u).
    HWND w = Open(zt::NegativeXPitch(240, 320));
    CCEDraw c;
    Probe raw;
    ASSERT_EQ(c.Create(w, 1), 1);
    ASSERT_TRUE(raw.loadRawBuffer(w));
    const GXDisplayProperties& d = c.GetDisplayProperties();
    EXPECT_EQ(zt::Values(d.cxWidth, d.cyHeight, d.cbxPitch, d.cbyPitch, c.m_xPitch, c.m_yPitch),
              zt::Values(320, 240, -640, 2, 2, 640));
    EXPECT_EQ(c.GetFrameBuffer(), raw.m_pFrameBuffer - 239 * 640);
    c.Clear(0ul);
    c.DrawPixel(319, 0, 0x2222);
    c.DrawPixel(5, 239, 0x3333);
    c.Flip();
    EXPECT_EQ(zt::Values(Screen(w)[319 * 240 + 239], Screen(w)[5 * 240]),
              zt::Values(0x2222, 0x3333));

    // Layouts no pixel can be drawn in safely are refused.
    VirtualDisplayConfig overlap = zt::Dense(50, 30), odd = overlap, shortRows = overlap;
    overlap.yPitch = 2;
    odd.xPitch = 3;
    odd.yPitch = 150;
    shortRows.yPitch = 98;
    for (const VirtualDisplayConfig& config : {overlap, odd, shortRows}) {
        CCEDraw refused;
        EXPECT_EQ(refused.Create(Open(config), 1), 0);
        EXPECT_EQ(refused.GetLastError(), 100u);
    }
}

TEST_F(Surface, EveryAllocationOfCreateCanFail) {
    // A failed allocation either makes a back-end give way to the other one
    // (success), or fails Create with 100 (no back-end) or 102 (no back
    // buffer), never leaving a half-made surface.
    HWND w = Open(zt::Padded(40, 20, 8));
    for (long n = 1;; ++n) {
        CCEDraw c;
        const long before = zorva::AllocationCount();
        zorva::FailAllocation(n);
        const long result = c.Create(w, 1);
        const long made = zorva::AllocationCount() - before;
        zorva::FailAllocation(0);
        if (n > made) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(c.m_pBackBuffer == nullptr, result == 0) << "allocation " << n;
        if (result == 0) {
            EXPECT_TRUE(c.GetLastError() == 100 || c.GetLastError() == 102) << "allocation " << n;
        }
    }
}

TEST_F(Surface, CopiesAndSecondCreatesGiveEverythingBackOnce) {
    HWND w = Open(zt::Dense(32, 16));
    auto* original = new CCEDraw;
    ASSERT_EQ(original->Create(Open(zt::Dense(20, 10)), 2), 1);
    ASSERT_EQ(original->Create(w, 2), 1); // no Release in between
    EXPECT_EQ(original->GetWindowHandle(), w);
    EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 1);
    CCEDraw copy(*original), assigned;
    assigned = *original;
    // Drawing into one shows through the others.
    original->Clear(0ul);
    copy.DrawPixel(3, 4, 0xABCD);
    EXPECT_EQ(*reinterpret_cast<uint16_t*>(original->m_pBackBuffer + 3 * 2 + 4 * 64), 0xABCD);
    // The original goes first, unreleased; the copies still present.
    delete original;
    EXPECT_EQ(GetVirtualDisplayStats().surfaces, 1);
    EXPECT_EQ(assigned.Flip(), 1);
    EXPECT_EQ(Screen(w)[4 * 32 + 3], 0xABCD);
    copy.Release();
    // Assigning over a surface that holds a display lets go of it first.
    CCEDraw second;
    ASSERT_EQ(second.Create(Open(zt::Dense(8, 8)), 1), 1);
    second = assigned;
    CCEDraw& same = second; // self-assignment keeps the display
    second = same;
    EXPECT_EQ(second.GetDisplayProperties().cxWidth, 32u);
    EXPECT_EQ(second.Flip(), 1);
    assigned.Release();
    second.Release();
    const auto s = GetVirtualDisplayStats();
    EXPECT_EQ(s.gameInputOpens, s.gameInputCloses);
}

// A window closed before its canvas is released: the device lives on while
// the canvas holds its memory, so presenting writes nowhere freed.
TEST_F(Surface, ACanvasOutlivesItsWindow) {
    for (BYTE mode : {1, 2}) {
        HWND w = Open(zt::Dense(16, 8));
        windows.pop_back(); // closed here, not at the end
        CCEDraw c;
        ASSERT_EQ(c.Create(w, mode), 1);
        zorva::CloseWindow(w);
        c.Clear(0x5Aul);
        EXPECT_EQ(c.Flip(), 1);
        c.FadeOut(16);
        EXPECT_EQ(c.Release(), 1);
    }
}
