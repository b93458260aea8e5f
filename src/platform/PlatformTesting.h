// Test hooks of the platform layer: faults on demand, counters, guard checks
// and the seams of the real display devices. Not installed; the tests and
// benchmarks include it, applications never need it.
#ifndef ZORVA_PLATFORM_PLATFORMTESTING_H
#define ZORVA_PLATFORM_PLATFORMTESTING_H

#include "ZorvaPlatform.h"

#include <string>
#include <vector>

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
};
// Takes effect at once, also for open virtual windows.
void SetVirtualDisplayFaults(const VirtualDisplayFaults& faults);

// What the library did to the devices since the last reset.
struct VirtualDisplayStats {
    int gameInputOpens = 0;    // GXOpenInput calls (virtual display)
    int gameInputCloses = 0;   // GXCloseInput calls (virtual display)
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

// True when the guard bytes around a virtual window's display memory are
// intact (nothing was written outside the frame buffer); false for a null
// window or one on another device.
bool DisplayMemoryIntact(HWND window);

// Makes the nth allocation from now fail (1 = the next one); 0 cancels.
// Allocations are every malloc and realloc of the library and its platform.
void FailAllocation(long n);
// Allocations made since the process started.
long AllocationCount();

// ---- Seams of the frame buffer device ------------------------------------
// The screen information the device reads from an open frame buffer (the
// fixed and variable information of the Linux fbdev interface, the fields
// the library uses).
struct FbScreenInfo {
    unsigned xres = 0, yres = 0;               // visible size
    unsigned xresVirtual = 0, yresVirtual = 0; // memory's size in pixels
    unsigned xoffset = 0, yoffset = 0;         // the visible part's corner
    unsigned bitsPerPixel = 0;                 // per pixel in memory
    unsigned redOffset = 0, redLength = 0;     // bitfields of a pixel
    unsigned greenOffset = 0, greenLength = 0;
    unsigned blueOffset = 0, blueLength = 0;
    unsigned lineLength = 0;   // bytes per memory row
    unsigned memoryLength = 0; // bytes of frame memory
    unsigned rotate = 0;       // 0..3, quarter turns clockwise
};
// Console modes the device sets on its virtual terminal.
enum class ConsoleMode { Text, Graphics };

// Where the frame buffer device gets what it needs. Null functions use the
// real ones (ioctl); the paths default to the real devices. Functions must
// be safe to call from a signal handler (setMode is called from one).
struct FbdevSeam {
    bool (*screenInfo)(int fd, FbScreenInfo* info) = nullptr;
    std::string consolePath = "/dev/tty";
    bool (*setMode)(int consoleFd, ConsoleMode mode) = nullptr; // also says "is a console"
    std::string inputDirectory = "/dev/input"; // event* files read as evdev devices
    bool (*reportsKeys)(int fd) = nullptr;
    bool (*grab)(int fd, bool on) = nullptr;
};
// Used by every frame buffer window opened afterwards; the default restores
// the real devices.
void SetFbdevSeam(const FbdevSeam& seam);

// Where the host's OEM string is read: the device tree model under root
// "/proc/device-tree/model", else the DMI product name under
// "/sys/class/dmi/id/product_name", else "Linux".
void SetOemRoot(const std::string& root);

} // namespace zorva

#endif // ZORVA_PLATFORM_PLATFORMTESTING_H
