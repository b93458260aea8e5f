// The display surface: back-end choice, layouts, presenting, suspension,
// errors and ownership, on virtual displays modelling different devices.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <vector>

using zorva::GetVirtualDisplayStats;
using zorva::VirtualDisplayConfig;
using Flag = bool VirtualDisplayConfig::*;

namespace {

struct Probe : CCEDraw {
    using CCEGraphics::loadDirectDraw;
    using CCEGraphics::loadGAPI;
    using CCEGraphics::loadRawBuffer;
};

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
    HWND Open(const VirtualDisplayConfig& config) {
        zorva::SetVirtualDisplay(config);
        windows.push_back(zorva::OpenWindow("surface"));
        return windows.back();
    }
    std::vector<uint16_t> Screen(HWND w) {
        int width = 0, height = 0;
        zorva::GetScreenSize(w, &width, &height);
        std::vector<uint16_t> s(size_t(width) * height);
        zorva::ReadScreen(w, s.data());
        return s;
    }
    std::vector<HWND> windows;
};

} // namespace

TEST_F(Surface, DeviceTableAndModePickTheBackEnd) {
    using C = VirtualDisplayConfig;
    const struct {
        const char* oem;
        Flag off1, off2; // defaults turned over
        int rawFormat;
        BYTE mode;
        long result;
        BYTE modeAfter;
        int rawQueries, opens;
    } cases[] = {
        {"DEKO100", nullptr, nullptr, 1, 2, 1, 1, 1, 1}, // table devices: raw first
        {"rima100", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"Sola100", nullptr, nullptr, 1, 0, 1, 1, 1, 1}, // whatever mode is asked
        {"BROVIK", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"meridan", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"q7184", nullptr, nullptr, 1, 2, 1, 1, 1, 1},
        {"Brovik2", nullptr, nullptr, 1, 2, 1, 2, 0, 1}, // whole strings only
        {"Brovik", &C::oemQueryFails, nullptr, 1, 2, 1, 2, 0, 1},
        {"phone", nullptr, nullptr, 1, 0, 0, 0, 0, 0}, // neither 1 nor 2: nothing tried
        {"phone", nullptr, nullptr, 1, 3, 0, 3, 0, 0},
        {"phone", &C::ddrawModule, nullptr, 1, 2, 1, 1, 1, 1},    // windowed fails: raw
        {"phone", &C::rawFrameBuffer, nullptr, 1, 1, 1, 2, 1, 1}, // raw fails: windowed
        {"phone", nullptr, nullptr, 3, 1, 1, 2, 1, 1},            // a format not drawn in fails
        {"phone", &C::rawFrameBuffer, &C::ddrawModule, 1, 1, 0, 1, 1, 0},
        {"phone", &C::ddrawCreateEntry, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &C::ddrawCreateFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &C::ddrawCooperativeLevelFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &C::ddrawNoPrimaryCaps, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &C::ddrawCreateSurfaceFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &C::ddrawLockFails, nullptr, 1, 2, 1, 1, 1, 1},
        {"phone", &C::gxModule, nullptr, 1, 2, 0, 2, 0, 0},
        {"phone", &C::gxOpenEntry, &C::gxCloseEntry, 1, 2, 1, 2, 0, 0}, // entries skipped
    };
    for (const auto& k : cases) {
        VirtualDisplayConfig config = zt::Dense(32, 16);
        config.oemInfo = k.oem;
        for (Flag f : {k.off1, k.off2})
            if (f) config.*f = !(config.*f);
        config.rawFormat = k.rawFormat;
        HWND w = Open(config);
        zorva::ResetVirtualDisplayStats();
        CCEDraw c;
        const long result = c.Create(w, k.mode);
        const auto s = GetVirtualDisplayStats();
        SCOPED_TRACE(::testing::Message() << &k - cases);
        EXPECT_EQ(result, k.result);
        EXPECT_EQ(c.m_bMode, k.modeAfter);
        EXPECT_EQ(s.rawFrameBufferQueries, k.rawQueries);
        EXPECT_EQ(s.gameInputOpens, k.opens);
        // A failed windowed back-end holds no object; a later failure keeps
        // the objects until Release.
        EXPECT_EQ(s.directDrawObjects, c.m_bMode == 2 ? 1 : 0);
        EXPECT_EQ(c.GetLastError(), k.result ? 0u : 100u);
        EXPECT_TRUE(!k.result || c.GetDisplayProperties().ffFormat == kfDirect565);
        c.Suspend();
        c.Resume();
        EXPECT_EQ(c.Release(), 1);
        const auto r = GetVirtualDisplayStats();
        EXPECT_EQ(r.gameInputOpens, r.gameInputCloses);
        EXPECT_EQ(r.directDrawObjects + r.surfaces + r.modulesLoaded, 0);
        EXPECT_EQ(c.m_bMode, k.modeAfter); // kept by Release
        EXPECT_EQ(c.Flip(), 0);            // nothing to present to; no fault
    }
}

TEST_F(Surface, BackEndsReportWhatTheDisplayGives) {
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.rawFormat = 2;
    config.bitsPerPixel = 15;
    config.ddrawBitsPerPixel = 32;
    HWND w = Open(config);
    Probe a;
    EXPECT_TRUE(a.loadRawBuffer(w));
    EXPECT_EQ(a.m_DisplayProperties.ffFormat, DWORD(kfDirect555));
    EXPECT_EQ(a.m_DisplayProperties.cBPP, 15);
    EXPECT_TRUE(a.loadDirectDraw(w)); // any windowed pixel format is RGB565
    EXPECT_EQ(a.m_DisplayProperties.ffFormat, DWORD(kfDirect565));
    EXPECT_EQ(a.m_DisplayProperties.cBPP, 32);
    a.Release();
    config.rawFormat = 3;
    EXPECT_FALSE(a.loadRawBuffer(Open(config)));
    // The geometry and address were stored before the format was judged.
    EXPECT_EQ(a.m_DisplayProperties.cbyPitch, 64);
    EXPECT_NE(a.m_pFrameBuffer, nullptr);
    zorva::ResetVirtualDisplayStats();
    EXPECT_TRUE(a.loadGAPI());
    EXPECT_TRUE(a.loadGAPI());
    EXPECT_EQ(GetVirtualDisplayStats().moduleLoads, 1);
    a.Release();
}

TEST_F(Surface, FramesReachTheScreenInEveryLayout) {
    VirtualDisplayConfig negativeY = zt::Dense(50, 30);
    negativeY.yPitch = -100;
    VirtualDisplayConfig columns = zt::Dense(50, 30);
    columns.xPitch = 60; // column-major, positive
    columns.yPitch = 2;
    VirtualDisplayConfig paddedNegativeX = zt::NegativeXPitch(30, 50);
    paddedNegativeX.xPitch = -104; // columns of 50 pixels and 4 bytes of padding
    for (auto config :
         {zt::Dense(50, 30), zt::Padded(50, 30, 14), negativeY, columns, paddedNegativeX}) {
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
            ASSERT_EQ(c.Flip(), 1);
            ASSERT_TRUE(zorva::DisplayMemoryIntact(w));
            int marked = 0;
            for (uint16_t p : Screen(w)) {
                if (p == 0xF800 || p == 0x001F)
                    ++marked;
                else
                    ASSERT_EQ(p, 0x0841);
            }
            EXPECT_EQ(marked, 2);
        }
    }
    // Layouts no pixel can be drawn in safely are refused.
    VirtualDisplayConfig overlap = zt::Dense(50, 30), odd = overlap, shortRows = overlap;
    overlap.yPitch = 2;
    odd.xPitch = 3;
    odd.yPitch = 150;
    shortRows.yPitch = 98;
    for (const VirtualDisplayConfig& config : {overlap, odd, shortRows}) {
        CCEDraw c;
        EXPECT_EQ(c.Create(Open(config), 1), 0);
        EXPECT_EQ(c.GetLastError(), 100u);
        EXPECT_EQ(c.m_pBackBuffer, nullptr);
    }
}

TEST_F(Surface, NegativeXPitchIsReexpressedInMemoryOrder) {
    HWND w = Open(zt::NegativeXPitch(240, 320));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    const GXDisplayProperties& d = c.GetDisplayProperties();
    EXPECT_EQ(d.cxWidth, 320u);
    EXPECT_EQ(d.cyHeight, 240u);
    EXPECT_EQ(d.cbxPitch, -640); // the pitches as reported
    EXPECT_EQ(d.cbyPitch, 2);
    EXPECT_EQ(c.m_xPitch, 2);
    EXPECT_EQ(c.m_yPitch, 640);
    Probe raw;
    ASSERT_TRUE(raw.loadRawBuffer(w));
    EXPECT_EQ(c.GetFrameBuffer(), raw.m_pFrameBuffer - 239 * 640);
    // Canvas pixel (u, v) shows at reported (239 - v, u).
    c.Clear(0ul);
    c.DrawPixel(0, 0, 0x1111);
    c.DrawPixel(319, 0, 0x2222);
    c.DrawPixel(5, 239, 0x3333);
    c.Flip();
    const auto screen = Screen(w); // 240 x 320 as reported
    EXPECT_EQ(screen[0 * 240 + 239], 0x1111);
    EXPECT_EQ(screen[319 * 240 + 239], 0x2222);
    EXPECT_EQ(screen[5 * 240 + 0], 0x3333);
}

TEST_F(Surface, SuspendRefusesToPresentUntilResumed) {
    HWND w = Open(zt::Dense(16, 8));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 2), 1);
    c.Clear(0ul);
    c.Flip();
    EXPECT_EQ(c.Suspend(), 1);
    EXPECT_EQ(c.Suspend(), 1);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputCloses, 2);
    c.Clear(0xFFul); // drawing still works
    EXPECT_EQ(c.Flip(), 0);
    EXPECT_EQ(c.GetLastError(), 105u);
    EXPECT_EQ(Screen(w)[0], 0);
    EXPECT_EQ(c.BeginDraw(), 0);
    EXPECT_EQ(c.EndDraw(), 0);
    EXPECT_EQ(c.Resume(), 1);
    EXPECT_EQ(c.IsSuspend(), 0);
    EXPECT_EQ(c.Flip(), 1);
    EXPECT_EQ(Screen(w)[0], 0xFFFF);
    EXPECT_EQ(c.GetLastError(), 105u); // success never clears the record
    EXPECT_EQ(c.EndDraw(), 1);
}

TEST_F(Surface, EveryAllocationOfCreateCanFailWith102) {
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
        EXPECT_EQ(result, 0);
        EXPECT_EQ(c.GetLastError(), 102u);
        EXPECT_EQ(c.m_pBackBuffer, nullptr);
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
    second = second;
    EXPECT_EQ(second.GetDisplayProperties().cxWidth, 32u);
    EXPECT_EQ(second.Flip(), 1);
    assigned.Release();
} // `second` destroyed without Release
