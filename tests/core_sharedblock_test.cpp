// Shared blocks and the buffer growth rule; the leak checker of the
// sanitizer build sees any block left behind.
#include "core/SharedBlock.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zorva;

TEST(SharedBlock, HoldersGrowthAndFailure) {
    auto* a = static_cast<char*>(BlockAlloc(8));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
    std::memcpy(a, "sprites", 8);
    BlockRetain(a);
    EXPECT_EQ(BlockHolders(a), 2);
    // Growing a shared block detaches the grower with the contents.
    auto* grown = static_cast<char*>(BlockGrow(a, 64));
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(grown, a);
    EXPECT_STREQ(grown, "sprites");
    EXPECT_STREQ(a, "sprites");
    EXPECT_EQ(BlockHolders(a), 1);
    EXPECT_EQ(BlockBytes(grown), 64u);
    // A failed growth gives the caller's reference back, shared or not.
    BlockRetain(a);
    FailAllocation(1);
    EXPECT_EQ(BlockGrow(a, 128), nullptr);
    EXPECT_EQ(BlockHolders(a), 1);
    FailAllocation(1);
    EXPECT_EQ(BlockGrow(grown, 1 << 20), nullptr); // grown is freed
    BlockRelease(a);
    BlockRelease(nullptr);
    EXPECT_EQ(BlockHolders(nullptr), 0);
}

TEST(GrowBuffer, RecordsTheSizeLastAskedForAndNeverShrinks) {
    void* buffer = nullptr;
    uint32_t recorded = 0;
    EXPECT_FALSE(GrowBuffer(buffer, recorded, 0)); // nothing to hold an empty size
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 20000));
    void* first = buffer;
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 200));
    EXPECT_EQ(buffer, first);
    EXPECT_EQ(recorded, 200u);
    EXPECT_EQ(BlockBytes(buffer), 20000u);
    // More than recorded reallocates, though the block is large enough.
    const long before = AllocationCount();
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 20000));
    EXPECT_EQ(AllocationCount(), before + 1);
    EXPECT_TRUE(GrowBuffer(buffer, recorded, 0));
    EXPECT_EQ(recorded, 0u);
    // Beyond 32 bits nothing changes; a failed growth leaves it absent.
    EXPECT_FALSE(GrowBuffer(buffer, recorded, uint64_t(70000) * 70000 * 2));
    EXPECT_EQ(BlockBytes(buffer), 20000u);
    FailAllocation(1);
    EXPECT_FALSE(GrowBuffer(buffer, recorded, 128));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(recorded, 0u);
}
