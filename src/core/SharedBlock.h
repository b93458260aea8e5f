// Reference-counted heap blocks.
//
// The library's objects copy member by member (operator=), so a copy holds
// the same buffer pointers as its source. Every buffer they own is therefore
// a block with a small header in front of it that counts its holders: a copy
// takes a reference, Release/Unload/the destructor give one back, and the
// last holder frees the block. Growing a block that others still hold gives
// the grower a fresh block with the old contents and leaves the others
// theirs, so no holder is ever left pointing at freed memory.
//
// Blocks come from the platform allocator (zorva::platform), so any growth
// can be made to fail in tests. Payloads are 16-byte aligned. Not thread
// safe: a block belongs to the drawing thread like the objects holding it.
#ifndef ZORVA_CORE_SHAREDBLOCK_H
#define ZORVA_CORE_SHAREDBLOCK_H

#include <cstddef>
#include <cstdint>

namespace zorva {

// A new block of `bytes` bytes with one holder, or null.
void* BlockAlloc(size_t bytes);

// realloc for blocks: null allocates afresh. A block with one holder is
// reallocated (it may move); a shared block is left to its other holders and
// the caller gets a copy. On failure the result is null and the caller's
// reference to the old block has been given back, so the caller simply
// holds no block any more (nothing leaks).
void* BlockGrow(void* block, size_t bytes);

// One more holder. Null is ignored.
void BlockRetain(void* block);

// One holder less; the last frees the block. Null is ignored.
void BlockRelease(void* block);

// Gives back the holder's reference and leaves its pointer null.
template <class T>
void BlockDrop(T*& block) {
    BlockRelease(block);
    block = nullptr;
}

// Holders of a block (0 for null).
int BlockHolders(const void* block);

// Bytes the block was allocated with (0 for null).
size_t BlockBytes(const void* block);

// Gives a buffer at least `needed` bytes by the growth rule: if the recorded
// size is below `needed` the block grows to exactly `needed`; the recorded
// size then becomes `needed`, also when that is less than before (blocks
// never shrink). Returns false when `needed` does not fit the 32-bit
// recorded size (nothing changes) or when growing fails (the buffer is then
// absent and the recorded size 0).
bool GrowBuffer(void*& buffer, uint32_t& recorded, uint64_t needed);

template <class T>
bool GrowBuffer(T*& buffer, uint32_t& recorded, uint64_t needed) {
    void* p = buffer;
    bool ok = GrowBuffer(p, recorded, needed);
    buffer = static_cast<T*>(p);
    return ok;
}

} // namespace zorva

#endif // ZORVA_CORE_SHAREDBLOCK_H
