// The platform's memory services for the library and the system layer: the
// back-ends' allocator (every block through one door, so that a test can
// make any single allocation fail), under the names the library calls.
#ifndef ZORVA_SYSTEM_MEMORY_MEMORY_H
#define ZORVA_SYSTEM_MEMORY_MEMORY_H

#include "backends/memory/Memory.h"

namespace zorva::platform {

using backends::Allocated;
using backends::free;
using backends::LiveBytes;
using backends::malloc;
using backends::PeakBytes;
using backends::realloc;
using backends::ResetPeakBytes;

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_MEMORY_MEMORY_H
