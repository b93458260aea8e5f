// Test hooks of the platform: faults on demand, counters, guard checks and
// the seams of the real display devices. Not installed; the tests and
// benchmarks include it, applications never need it.
#ifndef ZORVA_SYSTEM_TESTING_H
#define ZORVA_SYSTEM_TESTING_H

#include "ZorvaPlatform.h"
#include "backends/Testing.h"

namespace zorva {

// What the virtual display lacks or gets wrong, for modelling devices: a
// missing back-end, module or entry, a failing DirectDraw step, a failing
// OEM query. Everything is present and working by default.
struct VirtualDisplayFaults {
    bool noRawFrameBuffer = false; // the escape is not answered
    bool noDDraw = false;          // "ddraw.dll" does not exist
    bool noDDrawCreateEntry = false;
    bool ddrawCreateFails = false;
    bool ddrawCooperativeLevelFails = false;
    bool ddrawNoPrimaryCaps = false;
    bool ddrawCreateSurfaceFails = false;
    bool ddrawLockFails = false;
    int ddrawBitsPerPixel = 16; // what the primary surface's format reports
    bool noGX = false;          // "GX.dll" does not exist
    bool noGXOpenEntry = false;
    bool noGXCloseEntry = false;
    bool oemQueryFails = false;
    bool pacedFlips = false; // models a display whose Flip waits for the vertical blank
};
// Takes effect at once, also for open virtual windows.
void SetVirtualDisplayFaults(const VirtualDisplayFaults& faults);

// What the library did to the devices since the last reset.
struct VirtualDisplayStats {
    int gameInputOpens = 0;    // GXOpenInput calls (virtual display)
    int gameInputCloses = 0;   // GXCloseInput calls (virtual display)
    int presents = 0;          // frames presented to a virtual display
    tagRECT presented{};       // the last frame's presented area
    int moduleLoads = 0;       // modules actually loaded (not already loaded)
    int moduleUnloads = 0;     // modules actually unloaded
    int modulesLoaded = 0;     // modules loaded now
    int directDrawObjects = 0; // DirectDraw objects alive now
    int surfaces = 0;          // DirectDraw surfaces alive now
    int surfaceLocks = 0;
    int surfaceUnlocks = 0;
    int rawFrameBufferQueries = 0; // answered or not
};
VirtualDisplayStats GetVirtualDisplayStats();
// Restarts the event counters; what is alive now stays counted.
void ResetVirtualDisplayStats();

// Lets the next window that falls back to the virtual display say so again
// (OpenWindow says it once per process).
void ForgetVirtualFallbackNote();

// True when the guard bytes around a virtual window's display memory are
// intact (nothing was written outside the frame buffer); false for a null
// window or one on another device.
bool DisplayMemoryIntact(HWND window);

} // namespace zorva

#endif // ZORVA_SYSTEM_TESTING_H
