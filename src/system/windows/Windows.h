// Windows: each lives on one display device (src/backends). Calls that name
// no window (module loading, the screen context, system queries) go to the
// screen device: the thread's active window's (SetActiveWindow, which a
// canvas's Create calls), else the most recently opened window's that is
// still open.
#ifndef ZORVA_SYSTEM_WINDOWS_WINDOWS_H
#define ZORVA_SYSTEM_WINDOWS_WINDOWS_H

#include "ZorvaPlatform.h"
#include "backends/display/DisplayDevice.h"
#include "system/memory/Memory.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zorva::platform {

using backends::DisplayDevice;

// Open windows, oldest first, under their lock.
struct WindowList {
    std::mutex lock;
    std::vector<HWND> windows;
};
WindowList& Windows();

// The screen device (see above), or null when no window is open.
std::shared_ptr<DisplayDevice> ScreenDevice();

} // namespace zorva::platform

struct HWND__ : zorva::platform::Allocated {
    std::shared_ptr<zorva::backends::DisplayDevice> device;
    std::deque<zorva::Event> events;
    std::string title;
};

#endif // ZORVA_SYSTEM_WINDOWS_WINDOWS_H
