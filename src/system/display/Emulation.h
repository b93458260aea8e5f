// What the emulated display objects (the escape, DirectDraw, the modules)
// may be told to get wrong on a virtual display, and what they count: the
// system layer's half of the test hooks in system/Testing.h.
#ifndef ZORVA_SYSTEM_DISPLAY_EMULATION_H
#define ZORVA_SYSTEM_DISPLAY_EMULATION_H

#include "backends/display/DisplayDevice.h"
#include "system/Testing.h"

namespace zorva::platform {

// The faults in force for windows on `device`: those set for the virtual
// display when it is one, none for real devices.
VirtualDisplayFaults FaultsFor(const backends::DisplayDevice& device);

// Adds delta to one of the counters of GetVirtualDisplayStats.
void Count(int VirtualDisplayStats::*counter, int delta = 1);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_DISPLAY_EMULATION_H
