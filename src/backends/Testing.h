// Test hooks of the back-ends: allocation faults, the seams of the frame
// buffer device, what the virtual display device lacks and counts. Not
// installed; tests reach them through system/Testing.h.
#ifndef ZORVA_BACKENDS_TESTING_H
#define ZORVA_BACKENDS_TESTING_H

#include "ZorvaPlatform.h"

#include <string>

namespace zorva {

// Makes the nth allocation from now fail (1 = the next one); 0 cancels.
// Allocations are every malloc and realloc of the library and its platform.
void FailAllocation(long n);
// Allocations made since the process started.
long AllocationCount();
// Rows the codecs decoded since the process started (every pass of an
// interlaced picture and every frame of an animation counts its rows).
long DecodedRows();
// Lets the scaler's vector path across a row run (the default) or holds it
// to the scalar one, which defines the results.
void ScalerVectorPath(bool on);

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
    unsigned lineLength = 0;                     // bytes per memory row
    unsigned memoryLength = 0;                   // bytes of frame memory
    unsigned rotate = 0;                         // 0..3, quarter turns clockwise
    unsigned ypanstep = 0;                       // 0: the driver cannot pan
    unsigned transpOffset = 0, transpLength = 0; // an alpha field
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
    // Puts terminal switching in the program's hands or back to automatic;
    // with a setMode and no setSwitching, switching is not touched.
    bool (*setSwitching)(int consoleFd, bool byProgram) = nullptr;
    std::string inputDirectory = "/dev/input"; // event* files read as evdev devices
    bool (*reportsKeys)(int fd) = nullptr;
    bool (*grab)(int fd, bool on) = nullptr;
    // Shows the page whose first row is `yoffset` (FBIOPAN_DISPLAY).
    bool (*pan)(int fd, unsigned yoffset) = nullptr;
    // Waits for the vertical blank (FBIO_WAITFORVSYNC); false when the
    // driver cannot.
    bool (*waitForVsync)(int fd) = nullptr;
};
// Used by every frame buffer window opened afterwards; the default restores
// the real devices.
void SetFbdevSeam(const FbdevSeam& seam);

// Where the host's OEM string is read: the device tree model under root
// "/proc/device-tree/model", else the DMI product name under
// "/sys/class/dmi/id/product_name", else "Linux".
void SetOemRoot(const std::string& root);

namespace backends {

class DisplayDevice;

// What the virtual display device lacks, or claims; takes effect at once,
// also for open virtual windows.
struct VirtualDeviceFaults {
    bool noRawFrameBuffer = false;
    bool noWindowedSurface = false;
    bool noGameInput = false;
    bool oemQueryFails = false;
    bool pacedFlips = false; // reports presents that wait for the vertical blank
};
void SetVirtualDeviceFaults(const VirtualDeviceFaults& faults);

// What the library did to virtual display devices since the last reset.
struct VirtualDeviceStats {
    int gameInputOpens = 0;
    int gameInputCloses = 0;
    int presents = 0; // frames presented (Present calls)
    int presentedLeft = 0, presentedTop = 0, presentedRight = 0, presentedBottom = 0; // the last
};
VirtualDeviceStats GetVirtualDeviceStats();
void ResetVirtualDeviceStats();

// True when `device` is a virtual display whose guard bytes around its
// memory are intact (nothing was written outside the frame buffer).
bool VirtualDeviceIntact(const DisplayDevice& device);

} // namespace backends
} // namespace zorva

#endif // ZORVA_BACKENDS_TESTING_H
