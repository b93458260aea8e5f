#include "core/SharedBlock.h"

#include "system/memory/Memory.h"

#include <cstring>
#include <limits>

namespace zorva {
namespace {

// Sits in front of every payload; 16 bytes keep the payload aligned.
struct BlockHeader {
    uint64_t bytes;
    uint32_t holders;
    uint32_t reserved;
};
static_assert(sizeof(BlockHeader) == 16, "payload alignment");

BlockHeader* HeaderOf(const void* block) {
    return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) -
                                          sizeof(BlockHeader));
}

void* PayloadOf(BlockHeader* header) {
    return reinterpret_cast<char*>(header) + sizeof(BlockHeader);
}

bool TooLarge(size_t bytes) {
    return bytes > std::numeric_limits<size_t>::max() - sizeof(BlockHeader);
}

} // namespace

void* BlockAlloc(size_t bytes) {
    if (TooLarge(bytes)) return nullptr;
    auto* header = static_cast<BlockHeader*>(platform::malloc(sizeof(BlockHeader) + bytes));
    if (!header) return nullptr;
    header->bytes = bytes;
    header->holders = 1;
    header->reserved = 0;
    return PayloadOf(header);
}

void* BlockGrow(void* block, size_t bytes) {
    if (!block) return BlockAlloc(bytes);
    BlockHeader* old = HeaderOf(block);
    if (TooLarge(bytes)) {
        BlockRelease(block);
        return nullptr;
    }
    if (old->holders == 1) {
        auto* header =
            static_cast<BlockHeader*>(platform::realloc(old, sizeof(BlockHeader) + bytes));
        if (!header) {
            platform::free(old);
            return nullptr;
        }
        header->bytes = bytes;
        return PayloadOf(header);
    }
    // Others still hold the old block: detach with a copy of its contents.
    void* fresh = BlockAlloc(bytes);
    if (fresh) std::memcpy(fresh, block, old->bytes < bytes ? old->bytes : bytes);
    BlockRelease(block);
    return fresh;
}

void BlockRetain(void* block) {
    if (block) HeaderOf(block)->holders++;
}

void BlockRelease(void* block) {
    if (!block) return;
    BlockHeader* header = HeaderOf(block);
    if (--header->holders == 0) platform::free(header);
}

int BlockHolders(const void* block) {
    return block ? int(HeaderOf(block)->holders) : 0;
}

size_t BlockBytes(const void* block) {
    return block ? size_t(HeaderOf(block)->bytes) : 0;
}

bool GrowBuffer(void*& buffer, uint32_t& recorded, uint64_t needed) {
    if (needed > std::numeric_limits<uint32_t>::max()) return false;
    // An absent buffer is only allocated when the recorded size asks for
    // growth: a request for 0 bytes leaves it absent, and that is a failure.
    if (recorded < needed) buffer = BlockGrow(buffer, size_t(needed));
    if (!buffer) {
        recorded = 0;
        return false;
    }
    recorded = uint32_t(needed);
    return true;
}

} // namespace zorva
