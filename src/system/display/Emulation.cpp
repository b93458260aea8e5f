// The test hooks of the emulated display objects, and the virtual display's
// own faults and counters gathered with them.
#include "system/display/Emulation.h"

#include "system/windows/Windows.h"

#include <mutex>

namespace zorva::platform {
namespace {

struct EmulationState {
    std::mutex lock;
    VirtualDisplayFaults faults;
    VirtualDisplayStats stats;
};

EmulationState& State() {
    static EmulationState state;
    return state;
}

} // namespace

VirtualDisplayFaults FaultsFor(const backends::DisplayDevice& device) {
    if (device.Kind() != DisplayKind::Virtual) return VirtualDisplayFaults();
    std::lock_guard<std::mutex> hold(State().lock);
    return State().faults;
}

void Count(int VirtualDisplayStats::*counter, int delta) {
    std::lock_guard<std::mutex> hold(State().lock);
    State().stats.*counter += delta;
}

} // namespace zorva::platform

namespace zorva {

using platform::State;

void SetVirtualDisplayFaults(const VirtualDisplayFaults& faults) {
    backends::VirtualDeviceFaults device;
    device.noRawFrameBuffer = faults.noRawFrameBuffer;
    device.noWindowedSurface = faults.noDDraw;
    device.noGameInput = faults.noGX;
    device.oemQueryFails = faults.oemQueryFails;
    device.pacedFlips = faults.pacedFlips;
    backends::SetVirtualDeviceFaults(device);
    std::lock_guard<std::mutex> hold(State().lock);
    State().faults = faults;
}

VirtualDisplayStats GetVirtualDisplayStats() {
    const backends::VirtualDeviceStats device = backends::GetVirtualDeviceStats();
    std::lock_guard<std::mutex> hold(State().lock);
    VirtualDisplayStats stats = State().stats;
    stats.gameInputOpens = device.gameInputOpens;
    stats.gameInputCloses = device.gameInputCloses;
    stats.presents = device.presents;
    stats.presented = tagRECT{device.presentedLeft, device.presentedTop, device.presentedRight,
                              device.presentedBottom};
    return stats;
}

void ResetVirtualDisplayStats() {
    backends::ResetVirtualDeviceStats();
    std::lock_guard<std::mutex> hold(State().lock);
    VirtualDisplayStats& s = State().stats;
    VirtualDisplayStats fresh;
    fresh.modulesLoaded = s.modulesLoaded;
    fresh.directDrawObjects = s.directDrawObjects;
    fresh.surfaces = s.surfaces;
    s = fresh;
}

bool DisplayMemoryIntact(HWND window) {
    return window && backends::VirtualDeviceIntact(*window->device);
}

} // namespace zorva
