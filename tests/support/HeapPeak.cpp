#include "support/HeapPeak.h"

#include <atomic>
#include <cerrno>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define ZT_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define ZT_SANITIZED 1
#endif
#endif

namespace zt::heap {
namespace {

std::atomic<long> g_live{0}, g_peak{0}, g_blocks{0};

[[maybe_unused]] void Held(void* block) {
    if (!block) return;
    g_blocks.fetch_add(1, std::memory_order_relaxed);
    const long size = long(malloc_usable_size(block));
    const long live = g_live.fetch_add(size) + size;
    for (long peak = g_peak.load(); live > peak && !g_peak.compare_exchange_weak(peak, live);) {}
}

[[maybe_unused]] void Released(void* block) {
    if (block) g_live.fetch_sub(long(malloc_usable_size(block)));
}

} // namespace

bool Counting() {
    // The runtime's own allocations at start-up came through the wrappers.
    return g_blocks.load() > 0;
}
long Live() {
    return g_live.load();
}
long Peak() {
    return g_peak.load();
}
void ResetPeak() {
    g_peak.store(g_live.load());
}

} // namespace zt::heap

#ifndef ZT_SANITIZED
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    zt::heap::Held(block);
    return block;
}
void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    zt::heap::Held(block);
    return block;
}
void* realloc(void* block, size_t size) {
    zt::heap::Released(block);
    void* moved = __libc_realloc(block, size);
    zt::heap::Held(moved ? moved : (size ? block : nullptr));
    return moved;
}
void free(void* block) {
    zt::heap::Released(block);
    __libc_free(block);
}
void* memalign(size_t alignment, size_t size) {
    void* block = __libc_memalign(alignment, size);
    zt::heap::Held(block);
    return block;
}
void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    *out = memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
}
#endif
