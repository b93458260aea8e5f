// Allocation through one door, so that a test can make any single
// allocation fail and walk every failure path of an operation.
#include "ZorvaPlatform.h"
#include "platform/Platform.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace zorva {
namespace {

std::atomic<long> g_allocations{0};
// Allocation number (as counted by g_allocations) that must fail; 0 = none.
std::atomic<long> g_failAt{0};

// Counts one allocation and says whether it is the one to fail.
bool NextAllocationFails() {
    long n = g_allocations.fetch_add(1) + 1;
    long target = g_failAt.load();
    if (target != 0 && n == target) {
        g_failAt.store(0);
        return true;
    }
    return false;
}

} // namespace

void FailAllocation(long n) {
    g_failAt.store(n > 0 ? g_allocations.load() + n : 0);
}

long AllocationCount() {
    return g_allocations.load();
}

namespace platform {

// Fuzzing builds (fuzz/) cap every block: an input that asks for a huge
// picture then runs the paths of a failed allocation, as it would on a
// device with little memory, instead of exhausting the fuzzing machine.
#ifdef ZORVA_ALLOCATION_CAP
constexpr size_t kAllocationCap = ZORVA_ALLOCATION_CAP;
#else
constexpr size_t kAllocationCap = SIZE_MAX;
#endif

void* malloc(size_t size) {
    if (NextAllocationFails() || size > kAllocationCap) return nullptr;
    // A zero-byte request still yields a unique block, as glibc does.
    return std::malloc(size ? size : 1);
}

void* realloc(void* block, size_t size) {
    if (NextAllocationFails() || size > kAllocationCap) return nullptr;
    return std::realloc(block, size ? size : 1);
}

void free(void* block) {
    std::free(block);
}

} // namespace platform
} // namespace zorva
