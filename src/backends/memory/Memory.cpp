// Allocation through one door, so that a test can make any single
// allocation fail and walk every failure path of an operation.
#include "backends/memory/Memory.h"
#include "ZorvaPlatform.h"
#include "backends/Testing.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>

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

namespace backends {

// Fuzzing builds (fuzz/) cap every block: an input that asks for a huge
// picture then runs the paths of a failed allocation, as it would on a
// device with little memory, instead of exhausting the fuzzing machine.
#ifdef ZORVA_ALLOCATION_CAP
constexpr size_t kAllocationCap = ZORVA_ALLOCATION_CAP;
#else
constexpr size_t kAllocationCap = SIZE_MAX;
#endif

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void Held(void* block) {
    if (!block) return;
    const size_t live = g_live.fetch_add(malloc_usable_size(block)) + malloc_usable_size(block);
    for (size_t peak = g_peak.load(); live > peak && !g_peak.compare_exchange_weak(peak, live);) {}
}

void Released(void* block) {
    if (block) g_live.fetch_sub(malloc_usable_size(block));
}

} // namespace

size_t LiveBytes() {
    return g_live.load();
}

size_t PeakBytes() {
    return g_peak.load();
}

void ResetPeakBytes() {
    g_peak.store(g_live.load());
}

void* malloc(size_t size) {
    if (NextAllocationFails() || size > kAllocationCap) return nullptr;
    // A zero-byte request still yields a unique block, as glibc does.
    void* block = std::malloc(size ? size : 1);
    Held(block);
    return block;
}

void* realloc(void* block, size_t size) {
    if (NextAllocationFails() || size > kAllocationCap) return nullptr;
    // Counted as if the block grew in place: when realloc moves it, the
    // moment both blocks exist is not in the peak.
    Released(block);
    void* moved = std::realloc(block, size ? size : 1);
    Held(moved ? moved : block);
    return moved;
}

void free(void* block) {
    Released(block);
    std::free(block);
}

} // namespace backends
} // namespace zorva
