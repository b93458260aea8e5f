// The platform allocator: every allocation of the library and of its platform
// layer goes through here, so that a test can make any single one fail
// (zorva::FailAllocation) and walk every failure path of an operation.
#ifndef ZORVA_BACKENDS_MEMORY_H
#define ZORVA_BACKENDS_MEMORY_H

#include <cstddef>
#include <new>

namespace zorva::backends {

// The C allocator's contract. realloc that fails returns null and leaves the
// block.
void* malloc(size_t size);
void* realloc(void* block, size_t size);
void free(void* block);

// Bytes of the blocks now held, and the most held at once since the last
// ResetPeakBytes: what an operation costs, for the tests that bound it.
// (Allocations the codec libraries make on their own are not counted.)
size_t LiveBytes();
size_t PeakBytes();
void ResetPeakBytes();

// A base for the platform's heap objects: `new (std::nothrow) T(...)` takes
// the object's memory from the platform allocator and gives null when that
// fails; `delete` gives it back. A plain `new T` does not compile, so no
// object can bypass the allocator.
struct Allocated {
    static void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
        return malloc(bytes);
    }
    static void operator delete(void* object) noexcept { free(object); }
    static void operator delete(void* object, const std::nothrow_t&) noexcept { free(object); }
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_MEMORY_H
