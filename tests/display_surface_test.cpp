// The display surface: acquisition, layouts, presenting, suspension, errors
// and ownership, on virtual displays modelling different devices.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <vector>

using zorva::GetVirtualDisplayStats;
using zorva::VirtualDisplayConfig;

namespace {

// Exposes the protected back-ends.
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
        EXPECT_EQ(s.directDrawObjects, 0);
        EXPECT_EQ(s.surfaces, 0);
        EXPECT_EQ(s.modulesLoaded, 0);
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

TEST_F(Surface, RawFrameBufferGivesDenseCanvasAndFlipPresentsIt) {
    HWND w = Open(zt::Dense(320, 240));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    EXPECT_EQ(c.m_bMode, 1);
    EXPECT_EQ(c.m_yPitch, 640);
    EXPECT_EQ(c.m_cbBackBuffer, 320u * 240 * 2);
    EXPECT_EQ(c.GetBuffer(1), c.m_pBackBuffer + 239 * 640);
    EXPECT_EQ(c.GetBuffer(4), c.m_pBackBuffer + 319 * 2);
    EXPECT_EQ(c.GetBuffer(2), c.m_pBackBuffer);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputOpens, 1);

    c.Clear(0x12ul);
    c.DrawPixel(319, 239, 0xF800);
    EXPECT_EQ(c.Flip(), 1);
    EXPECT_EQ(Screen(w)[0], 0x1212);
    EXPECT_EQ(Screen(w).back(), 0xF800);

    EXPECT_EQ(c.Release(), 1);
    EXPECT_EQ(c.m_pBackBuffer, nullptr);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputCloses, 1);
    EXPECT_EQ(c.m_bMode, 1); // kept by Release
    EXPECT_EQ(c.Flip(), 0);  // nothing to present to; no fault
}

TEST_F(Surface, ModeAndDeviceTablePickTheBackEnd) {
    struct Case {
        const char* oem;
        bool oemFails, raw, ddraw;
        int rawFormat;
        BYTE mode;
        long result;
        BYTE modeAfter;
        int rawQueries; // -1: not checked
    } cases[] = {
        {"DEKO100", false, true, true, 1, 2, 1, 1, 1}, // table devices: raw first
        {"rima100", false, true, true, 1, 2, 1, 1, 1},
        {"Sola100", false, true, true, 1, 0, 1, 1, 1}, // whatever mode is asked
        {"BROVIK", false, true, true, 1, 2, 1, 1, 1},
        {"meridan", false, true, true, 1, 2, 1, 1, 1},
        {"q7184", false, true, true, 1, 2, 1, 1, 1},
        {"Brovik2", false, true, true, 1, 2, 1, 2, 0}, // whole strings only
        {"Brovik", true, true, true, 1, 2, 1, 2, 0},   // a failed query matches nothing
        {"phone", false, true, true, 1, 0, 0, 0, 0},   // neither 1 nor 2: no back-end tried
        {"phone", false, true, true, 1, 3, 0, 3, 0},
        {"phone", false, true, false, 1, 2, 1, 1, 1}, // no ddraw.dll: raw instead
        {"phone", false, false, true, 1, 1, 1, 2, 1}, // no escape: DirectDraw instead
        {"phone", false, true, true, 3, 1, 1, 2, 1},  // a format not drawn in counts as failure
        {"phone", false, false, false, 1, 1, 0, 1, 1},
    };
    for (const Case& k : cases) {
        VirtualDisplayConfig config = zt::Dense(32, 16);
        config.oemInfo = k.oem;
        config.oemQueryFails = k.oemFails;
        config.rawFrameBuffer = k.raw;
        config.ddrawModule = k.ddraw;
        config.rawFormat = k.rawFormat;
        HWND w = Open(config);
        zorva::ResetVirtualDisplayStats();
        CCEDraw c;
        EXPECT_EQ(c.Create(w, k.mode), k.result) << k.oem << " mode " << int(k.mode);
        EXPECT_EQ(c.m_bMode, k.modeAfter) << k.oem << " mode " << int(k.mode);
        EXPECT_EQ(GetVirtualDisplayStats().rawFrameBufferQueries, k.rawQueries) << k.oem;
        if (k.result)
            EXPECT_EQ(c.GetDisplayProperties().ffFormat, DWORD(kfDirect565));
        else
            EXPECT_EQ(c.GetLastError(), 100u);
    }
}

TEST_F(Surface, WindowedBackEndLocksAroundEveryFlip) {
    HWND w = Open(zt::Dense(64, 48));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 2), 1);
    EXPECT_EQ(c.m_ddsd.dwSize, sizeof(DDSURFACEDESC));
    const int locks = GetVirtualDisplayStats().surfaceLocks;
    c.Clear(0xFFul);
    EXPECT_EQ(c.Flip(), 1);
    EXPECT_EQ(c.Flip(), 1);
    EXPECT_EQ(GetVirtualDisplayStats().surfaceLocks, locks + 2);
    EXPECT_EQ(Screen(w)[64 * 48 - 1], 0xFFFF);
    c.Release();
    EXPECT_EQ(c.m_pDirectDraw, nullptr);
    EXPECT_EQ(c.m_hDDrawModule, nullptr);
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
    // Any DirectDraw pixel format is taken as RGB565.
    EXPECT_TRUE(a.loadDirectDraw(w));
    EXPECT_EQ(a.m_DisplayProperties.ffFormat, DWORD(kfDirect565));
    EXPECT_EQ(a.m_DisplayProperties.cBPP, 32);
    EXPECT_EQ(a.m_DisplayProperties.cbyPitch, 64);
    a.Release();

    config.rawFormat = 3;
    Probe b;
    EXPECT_FALSE(b.loadRawBuffer(Open(config)));
    // The geometry and address were stored before the format was judged.
    EXPECT_EQ(b.m_DisplayProperties.cxWidth, 32u);
    EXPECT_EQ(b.m_DisplayProperties.cbyPitch, 64);
    EXPECT_NE(b.m_pFrameBuffer, nullptr);

    zorva::ResetVirtualDisplayStats();
    EXPECT_TRUE(b.loadGAPI());
    EXPECT_TRUE(b.loadGAPI());
    EXPECT_EQ(GetVirtualDisplayStats().moduleLoads, 1);
}

TEST_F(Surface, FailingWindowedBackEndHoldsNoObject) {
    bool VirtualDisplayConfig::*failures[] = {&VirtualDisplayConfig::ddrawCreateEntry,
                                              &VirtualDisplayConfig::ddrawCreateFails,
                                              &VirtualDisplayConfig::ddrawCooperativeLevelFails,
                                              &VirtualDisplayConfig::ddrawNoPrimaryCaps,
                                              &VirtualDisplayConfig::ddrawCreateSurfaceFails,
                                              &VirtualDisplayConfig::ddrawLockFails};
    for (auto failure : failures) {
        VirtualDisplayConfig config = zt::Dense(32, 16);
        config.*failure = !(config.*failure);
        Probe p;
        EXPECT_FALSE(p.loadDirectDraw(Open(config)));
        EXPECT_EQ(p.m_pDirectDraw, nullptr);
        EXPECT_EQ(p.m_pPrimarySurface, nullptr);
        EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 0);
        EXPECT_NE(p.m_hDDrawModule, nullptr); // loaded until the surface lets go
    }
}

TEST_F(Surface, GameInputMissingOrIncomplete) {
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.gxModule = false;
    CCEDraw c;
    EXPECT_EQ(c.Create(Open(config), 2), 0);
    EXPECT_EQ(c.GetLastError(), 100u);
    EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 1); // held until Release
    c.Release();

    config = zt::Dense(32, 16);
    config.gxOpenEntry = false;
    config.gxCloseEntry = false;
    ASSERT_EQ(c.Create(Open(config), 1), 1); // missing entries are skipped
    c.Suspend();
    c.Resume();
    c.Release();
    EXPECT_EQ(GetVirtualDisplayStats().gameInputOpens, 0);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputCloses, 0);
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
    ASSERT_EQ(c.Create(w, 1), 1);
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

TEST_F(Surface, NonDenseLayoutsAreAdaptedAndStayInsideTheirMemory) {
    VirtualDisplayConfig negativeY = zt::Dense(50, 30);
    negativeY.yPitch = -100;
    VirtualDisplayConfig columns = zt::Dense(50, 30);
    columns.xPitch = 60; // column-major, positive
    columns.yPitch = 2;
    VirtualDisplayConfig paddedNegativeX = zt::NegativeXPitch(30, 50);
    paddedNegativeX.xPitch = -104; // columns of 50 pixels and 4 bytes of padding
    for (const VirtualDisplayConfig& config :
         {zt::Padded(50, 30, 14), negativeY, columns, paddedNegativeX}) {
        HWND w = Open(config);
        CCEDraw c;
        ASSERT_EQ(c.Create(w, 1), 1);
        const int cw = int(c.GetDisplayProperties().cxWidth);
        const int ch = int(c.GetDisplayProperties().cyHeight);
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
                EXPECT_EQ(p, 0x0841);
        }
        EXPECT_EQ(marked, 2);
    }
}

TEST_F(Surface, LayoutsThatCannotBeDrawnAreRefused) {
    VirtualDisplayConfig overlap = zt::Dense(50, 30);
    overlap.yPitch = 2; // every row on top of the next
    VirtualDisplayConfig odd = zt::Dense(50, 30);
    odd.xPitch = 3;
    odd.yPitch = 150;
    VirtualDisplayConfig shortRows = zt::Dense(50, 30);
    shortRows.yPitch = 98;
    for (const VirtualDisplayConfig& config : {overlap, odd, shortRows}) {
        CCEDraw c;
        EXPECT_EQ(c.Create(Open(config), 1), 0);
        EXPECT_EQ(c.GetLastError(), 100u);
        EXPECT_EQ(c.m_pBackBuffer, nullptr);
    }
}

TEST_F(Surface, SecondCreateAndDestructionGiveEverythingBack) {
    HWND a = Open(zt::Dense(32, 16));
    HWND b = Open(zt::Dense(20, 10));
    {
        CCEDraw c;
        ASSERT_EQ(c.Create(a, 2), 1);
        ASSERT_EQ(c.Create(b, 2), 1);
        EXPECT_EQ(c.GetWindowHandle(), b);
        EXPECT_EQ(c.GetDisplayProperties().cxWidth, 20u);
        EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 1);
        EXPECT_EQ(GetVirtualDisplayStats().gameInputCloses, 1);
    } // destroyed without Release
    const auto s = GetVirtualDisplayStats();
    EXPECT_EQ(s.gameInputOpens, s.gameInputCloses);
}

TEST_F(Surface, CopiesShareTheDisplayAndEachLetsGoOfItsOwn) {
    HWND w = Open(zt::Dense(32, 16));
    auto* original = new CCEDraw;
    ASSERT_EQ(original->Create(w, 2), 1);
    CCEDraw copy(*original);
    CCEDraw assigned;
    assigned = *original;
    EXPECT_EQ(copy.m_pBackBuffer, original->m_pBackBuffer);

    // Drawing into one shows through the others.
    original->Clear(0ul);
    copy.DrawPixel(3, 4, 0xABCD);
    EXPECT_EQ(*reinterpret_cast<uint16_t*>(original->m_pBackBuffer + 3 * 2 + 4 * 64), 0xABCD);

    // The original goes first; the copies still present.
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
    second.Release();
    const auto s = GetVirtualDisplayStats();
    EXPECT_EQ(s.gameInputOpens, s.gameInputCloses);
}
