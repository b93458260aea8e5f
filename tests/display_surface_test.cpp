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
        zt::ResetPlatform();
    }

    HWND Open(const VirtualDisplayConfig& config) {
        zorva::SetVirtualDisplay(config);
        HWND w = zorva::OpenWindow("surface");
        windows.push_back(w);
        return w;
    }
    ~Surface() override {
        for (HWND w : windows)
            zorva::CloseWindow(w);
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
    HWND w = Open(zt::Dense(240, 320));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    EXPECT_EQ(c.m_bMode, 1);
    EXPECT_EQ(c.m_xPitch, 2);
    EXPECT_EQ(c.m_yPitch, 480);
    EXPECT_EQ(c.m_cbBackBuffer, 240u * 320 * 2);
    EXPECT_EQ(c.GetDisplayProperties().ffFormat, DWORD(kfDirect565));
    EXPECT_EQ(c.GetWindowHandle(), w);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputOpens, 1);

    c.Clear(0x12ul);
    c.DrawPixel(239, 319, 0xF800);
    EXPECT_EQ(c.Flip(), 1);
    const auto screen = Screen(w);
    EXPECT_EQ(screen[0], 0x1212);
    EXPECT_EQ(screen.back(), 0xF800);

    EXPECT_EQ(c.Release(), 1);
    EXPECT_EQ(c.m_pBackBuffer, nullptr);
    EXPECT_EQ(c.GetFrameBuffer(), nullptr);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputCloses, 1);
    EXPECT_EQ(c.m_bMode, 1); // kept by Release
    EXPECT_TRUE(zorva::DisplayMemoryIntact(w));
}

TEST_F(Surface, DeviceTableForcesRawFrameBufferFirst) {
    const char* names[] = {"DEKO100", "rima100", "Sola100", "BROVIK", "meridan", "q7184"};
    for (const char* name : names) {
        VirtualDisplayConfig config = zt::Dense(32, 16);
        config.oemInfo = name;
        HWND w = Open(config);
        zorva::ResetVirtualDisplayStats();
        CCEDraw c;
        ASSERT_EQ(c.Create(w, 2), 1) << name;
        EXPECT_EQ(c.m_bMode, 1) << name;
        EXPECT_EQ(GetVirtualDisplayStats().rawFrameBufferQueries, 1);
        EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 0);
    }
    // Only whole strings match; a failed query matches nothing.
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.oemInfo = "Brovik2";
    CCEDraw c;
    ASSERT_EQ(c.Create(Open(config), 2), 1);
    EXPECT_EQ(c.m_bMode, 2);
    c.Release();
    config.oemInfo = "Brovik";
    config.oemQueryFails = true;
    ASSERT_EQ(c.Create(Open(config), 2), 1);
    EXPECT_EQ(c.m_bMode, 2);
}

TEST_F(Surface, ModeOutsideOneAndTwoFailsWithoutTryingABackEnd) {
    HWND w = Open(zt::Dense(32, 16));
    for (BYTE mode : {0, 3, 255}) {
        CCEDraw c;
        zorva::ResetVirtualDisplayStats();
        EXPECT_EQ(c.Create(w, mode), 0);
        EXPECT_EQ(c.GetLastError(), 100u);
        EXPECT_EQ(c.m_bMode, mode);
        EXPECT_EQ(GetVirtualDisplayStats().rawFrameBufferQueries, 0);
        EXPECT_EQ(GetVirtualDisplayStats().moduleLoads, 0);
    }
    // On a table device the mode is overridden before the test.
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.oemInfo = "Q7184";
    CCEDraw c;
    EXPECT_EQ(c.Create(Open(config), 0), 1);
    EXPECT_EQ(c.m_bMode, 1);
}

TEST_F(Surface, WindowedBackEndLocksAroundEveryFlip) {
    HWND w = Open(zt::Dense(64, 48));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 2), 1);
    EXPECT_EQ(c.m_bMode, 2);
    EXPECT_NE(c.m_pDirectDraw, nullptr);
    EXPECT_NE(c.m_pPrimarySurface, nullptr);
    EXPECT_EQ(c.m_ddsd.dwSize, sizeof(DDSURFACEDESC));
    const int locks = GetVirtualDisplayStats().surfaceLocks;
    c.Clear(0xFFul);
    EXPECT_EQ(c.Flip(), 1);
    EXPECT_EQ(c.Flip(), 1);
    EXPECT_EQ(GetVirtualDisplayStats().surfaceLocks, locks + 2);
    EXPECT_EQ(GetVirtualDisplayStats().surfaceUnlocks, locks + 2);
    EXPECT_EQ(Screen(w)[64 * 48 - 1], 0xFFFF);
    c.Release();
    EXPECT_EQ(c.m_pDirectDraw, nullptr);
    EXPECT_EQ(c.m_pPrimarySurface, nullptr);
    EXPECT_EQ(c.m_hDDrawModule, nullptr);
}

TEST_F(Surface, EachBackEndFallsBackToTheOther) {
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.ddrawModule = false;
    CCEDraw c;
    ASSERT_EQ(c.Create(Open(config), 2), 1);
    EXPECT_EQ(c.m_bMode, 1);
    c.Release();

    config = zt::Dense(32, 16);
    config.rawFrameBuffer = false;
    ASSERT_EQ(c.Create(Open(config), 1), 1);
    EXPECT_EQ(c.m_bMode, 2);
    c.Release();

    // A raw frame buffer of a format the library cannot draw in counts as
    // failure, and the windowed back-end takes over.
    config = zt::Dense(32, 16);
    config.rawFormat = 3;
    ASSERT_EQ(c.Create(Open(config), 1), 1);
    EXPECT_EQ(c.m_bMode, 2);
    EXPECT_EQ(c.GetDisplayProperties().ffFormat, DWORD(kfDirect565));
    c.Release();

    config.rawFrameBuffer = false;
    config.ddrawModule = false;
    EXPECT_EQ(c.Create(Open(config), 1), 0);
    EXPECT_EQ(c.GetLastError(), 100u);
}

TEST_F(Surface, RawFrameBufferFormats) {
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.rawFormat = 2;
    config.bitsPerPixel = 15;
    HWND w = Open(config);
    {
        Probe p;
        EXPECT_TRUE(p.loadRawBuffer(w));
        EXPECT_EQ(p.m_DisplayProperties.ffFormat, DWORD(kfDirect555));
        EXPECT_EQ(p.m_DisplayProperties.cBPP, 15);
    }
    config.rawFormat = 3;
    w = Open(config);
    Probe p;
    EXPECT_FALSE(p.loadRawBuffer(w));
    // The geometry and address were stored before the format was judged.
    EXPECT_EQ(p.m_DisplayProperties.cxWidth, 32u);
    EXPECT_EQ(p.m_DisplayProperties.cyHeight, 16u);
    EXPECT_EQ(p.m_DisplayProperties.cbyPitch, 64);
    EXPECT_NE(p.m_pFrameBuffer, nullptr);
    EXPECT_EQ(p.m_DisplayProperties.ffFormat, 0u);
}

TEST_F(Surface, WindowedBackEndTakesAnyPixelFormatAsRgb565) {
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.ddrawBitsPerPixel = 32;
    HWND w = Open(config);
    Probe p;
    EXPECT_TRUE(p.loadDirectDraw(w));
    EXPECT_EQ(p.m_DisplayProperties.cBPP, 32);
    EXPECT_EQ(p.m_DisplayProperties.ffFormat, DWORD(kfDirect565));
    EXPECT_EQ(p.m_DisplayProperties.cxWidth, 32u);
    EXPECT_EQ(p.m_DisplayProperties.cbxPitch, 2);
    EXPECT_EQ(p.m_DisplayProperties.cbyPitch, 64);
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
        HWND w = Open(config);
        Probe p;
        EXPECT_FALSE(p.loadDirectDraw(w));
        EXPECT_EQ(p.m_pDirectDraw, nullptr);
        EXPECT_EQ(p.m_pPrimarySurface, nullptr);
        EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 0);
        EXPECT_EQ(GetVirtualDisplayStats().surfaces, 0);
        // The module stays loaded until the surface lets go of it.
        EXPECT_NE(p.m_hDDrawModule, nullptr);
    }
}

TEST_F(Surface, GameInputModuleLoadsOnce) {
    Probe p;
    EXPECT_TRUE(p.loadGAPI());
    EXPECT_TRUE(p.loadGAPI());
    EXPECT_EQ(GetVirtualDisplayStats().moduleLoads, 1);
    EXPECT_NE(p.m_pfnGXOpenInput, nullptr);
    EXPECT_NE(p.m_pfnGXCloseInput, nullptr);
}

TEST_F(Surface, GameInputMissingOrIncomplete) {
    VirtualDisplayConfig config = zt::Dense(32, 16);
    config.gxModule = false;
    HWND w = Open(config);
    CCEDraw c;
    EXPECT_EQ(c.Create(w, 2), 0);
    EXPECT_EQ(c.GetLastError(), 100u);
    // The display objects stay held until Release.
    EXPECT_EQ(GetVirtualDisplayStats().directDrawObjects, 1);
    c.Release();

    // Missing entries are skipped, not failures.
    config = zt::Dense(32, 16);
    config.gxOpenEntry = false;
    config.gxCloseEntry = false;
    ASSERT_EQ(c.Create(Open(config), 1), 1);
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

    // The frame buffer moved back to the pixel that was reported at (239, 0).
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
    c.Release();
    EXPECT_TRUE(zorva::DisplayMemoryIntact(w));
}

TEST_F(Surface, CornerPointers) {
    CCEDraw c;
    ASSERT_EQ(c.Create(Open(zt::Dense(320, 240)), 1), 1);
    EXPECT_EQ(c.GetBuffer(1), c.m_pBackBuffer + 239 * 640);
    EXPECT_EQ(c.GetBuffer(4), c.m_pBackBuffer + 319 * 2);
    EXPECT_EQ(c.GetBuffer(0), c.m_pBackBuffer);
    EXPECT_EQ(c.GetBuffer(2), c.m_pBackBuffer);
    EXPECT_EQ(c.m_pLastRowStart, c.GetBuffer(1));
    EXPECT_EQ(c.m_pFirstRowEnd, c.GetBuffer(4));
}

TEST_F(Surface, SuspendRefusesToPresentUntilResumed) {
    HWND w = Open(zt::Dense(16, 8));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    c.Clear(0ul);
    c.Flip();
    EXPECT_EQ(c.Suspend(), 1);
    EXPECT_EQ(c.Suspend(), 1);
    EXPECT_EQ(c.IsSuspend(), 1);
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
    EXPECT_EQ(c.BeginDraw(), 1);
    EXPECT_EQ(c.EndDraw(), 1);
}

TEST_F(Surface, BackBufferAllocationFailure) {
    HWND w = Open(zt::Dense(64, 64));
    CCEDraw c;
    zorva::FailAllocation(1);
    EXPECT_EQ(c.Create(w, 2), 0);
    EXPECT_EQ(c.GetLastError(), 102u);
    EXPECT_EQ(c.m_pBackBuffer, nullptr);
    EXPECT_EQ(c.Flip(), 0); // nothing to present; no fault
    EXPECT_EQ(c.Create(w, 2), 1);
    EXPECT_EQ(c.GetLastError(), 102u);
}

TEST_F(Surface, UnusableSurfacesDoNothing) {
    CCEDraw never;
    EXPECT_EQ(never.Release(), 1);
    EXPECT_EQ(never.Flip(), 0);
    EXPECT_EQ(never.GetLastError(), 0u);
    never.Clear(0ul);
    never.DrawPixel(0, 0, 1);
    EXPECT_EQ(GetVirtualDisplayStats().gameInputCloses, 0);
}

TEST_F(Surface, NonDenseLayoutsAreAdaptedAndStayInsideTheirMemory) {
    struct Layout {
        const char* name;
        VirtualDisplayConfig config;
    };
    VirtualDisplayConfig negativeY = zt::Dense(50, 30);
    negativeY.yPitch = -100;
    VirtualDisplayConfig columns = zt::Dense(50, 30);
    columns.xPitch = 60; // column-major, positive
    columns.yPitch = 2;
    VirtualDisplayConfig paddedNegativeX = zt::NegativeXPitch(30, 50);
    paddedNegativeX.xPitch = -104; // columns of 50 pixels, 4 bytes of padding
    const Layout layouts[] = {{"padded rows", zt::Padded(50, 30, 14)},
                              {"negative y pitch", negativeY},
                              {"columns", columns},
                              {"padded, negative x pitch", paddedNegativeX}};
    for (const Layout& layout : layouts) {
        HWND w = Open(layout.config);
        CCEDraw c;
        ASSERT_EQ(c.Create(w, 1), 1) << layout.name;
        const int cw = int(c.GetDisplayProperties().cxWidth);
        const int ch = int(c.GetDisplayProperties().cyHeight);
        c.Clear(0xFFul);
        CCEPen pen(0, 1, 0x0841);
        c.Clear(&pen);
        c.DrawPixel(0, 0, 0xF800);
        c.DrawPixel(cw - 1, ch - 1, 0x001F);
        ASSERT_EQ(c.Flip(), 1);
        ASSERT_TRUE(zorva::DisplayMemoryIntact(w)) << layout.name;
        // Every screen pixel shows what the canvas drew.
        const auto screen = Screen(w);
        int marked = 0;
        for (uint16_t p : screen) {
            if (p == 0xF800 || p == 0x001F)
                ++marked;
            else
                EXPECT_EQ(p, 0x0841) << layout.name;
        }
        EXPECT_EQ(marked, 2) << layout.name;
        c.Release();
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
        EXPECT_EQ(c.Flip(), 0);
        c.Release();
    }
}

TEST_F(Surface, SecondCreateReleasesTheFirst) {
    HWND a = Open(zt::Dense(32, 16));
    HWND b = Open(zt::Dense(20, 10));
    CCEDraw c;
    ASSERT_EQ(c.Create(a, 2), 1);
    ASSERT_EQ(c.Create(b, 2), 1);
    EXPECT_EQ(c.GetWindowHandle(), b);
    EXPECT_EQ(c.GetDisplayProperties().cxWidth, 20u);
    const auto s = GetVirtualDisplayStats();
    EXPECT_EQ(s.directDrawObjects, 1);
    EXPECT_EQ(s.surfaces, 1);
    EXPECT_EQ(s.gameInputOpens, 2);
    EXPECT_EQ(s.gameInputCloses, 1);
    c.Release();
}

TEST_F(Surface, DestroyingWithoutReleaseGivesEverythingBack) {
    {
        CCEDraw c;
        ASSERT_EQ(c.Create(Open(zt::Dense(32, 16)), 2), 1);
    }
    const auto s = GetVirtualDisplayStats();
    EXPECT_EQ(s.gameInputOpens, s.gameInputCloses);
    // TearDown checks objects and modules; the sanitizer checks memory.
}

TEST_F(Surface, CopiesShareTheDisplayAndEachLetsGoOfItsOwn) {
    HWND w = Open(zt::Dense(32, 16));
    auto* original = new CCEDraw;
    ASSERT_EQ(original->Create(w, 2), 1);
    CCEDraw copy(*original);
    CCEDraw assigned;
    assigned = *original;
    EXPECT_EQ(copy.m_pBackBuffer, original->m_pBackBuffer);
    EXPECT_EQ(assigned.m_pPrimarySurface, original->m_pPrimarySurface);

    // Drawing into one shows through the others.
    original->Clear(0ul);
    copy.DrawPixel(3, 4, 0xABCD);
    EXPECT_EQ(*reinterpret_cast<uint16_t*>(original->m_pBackBuffer + 3 * 2 + 4 * 64), 0xABCD);

    // The original goes first; the copies still present.
    original->Release();
    delete original;
    EXPECT_EQ(GetVirtualDisplayStats().surfaces, 1);
    EXPECT_EQ(assigned.Flip(), 1);
    EXPECT_EQ(Screen(w)[4 * 32 + 3], 0xABCD);
    copy.Release();
    EXPECT_EQ(assigned.Flip(), 1);

    // Assigning over a surface that holds a display lets go of it first.
    HWND other = Open(zt::Dense(8, 8));
    CCEDraw second;
    ASSERT_EQ(second.Create(other, 1), 1);
    second = assigned;
    EXPECT_EQ(second.GetDisplayProperties().cxWidth, 32u);
    second = second;
    EXPECT_EQ(second.Flip(), 1);
    assigned.Release();
    second.Release();
    const auto s = GetVirtualDisplayStats();
    EXPECT_EQ(s.gameInputOpens, s.gameInputCloses);
}

TEST_F(Surface, EveryAllocationOfCreateCanFail) {
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
    }
}
