// Shared blocks and the buffer growth rule.
#include "core/SharedBlock.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zorva;

TEST(SharedBlock, LastHolderFrees) {
    void* b = BlockAlloc(100);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 16, 0u);
    BlockRetain(b);
    EXPECT_EQ(BlockHolders(b), 2);
    BlockRelease(b);
    EXPECT_EQ(BlockHolders(b), 1);
    BlockRelease(b); // freed here; the leak checker sees the rest
    BlockRelease(nullptr);
    EXPECT_EQ(BlockHolders(nullptr), 0);
}

TEST(SharedBlock, GrowingASharedBlockDetachesWithItsContents) {
    auto* a = static_cast<char*>(BlockAlloc(8));
    std::memcpy(a, "sprites", 8);
    BlockRetain(a);
    char* other = a;
    auto* grown = static_cast<char*>(BlockGrow(a, 64));
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(grown, other);
    EXPECT_STREQ(grown, "sprites");
    EXPECT_STREQ(other, "sprites"); // the other holder keeps its block
    EXPECT_EQ(BlockHolders(other), 1);
    EXPECT_EQ(BlockBytes(grown), 64u);
    BlockRelease(grown);
    BlockRelease(other);
}

TEST(SharedBlock, FailedGrowthLeavesNoBlockAndNoLeak) {
    void* a = BlockAlloc(16);
    FailAllocation(1);
    EXPECT_EQ(BlockGrow(a, 1 << 20), nullptr); // a has been given back

    void* shared = BlockAlloc(16);
    BlockRetain(shared);
    FailAllocation(1);
    EXPECT_EQ(BlockGrow(shared, 64), nullptr);
    EXPECT_EQ(BlockHolders(shared), 1); // the other holder still has it
    BlockRelease(shared);
}

TEST(GrowBuffer, RecordsTheSizeLastAskedForAndNeverShrinks) {
    void* buffer = nullptr;
    uint32_t recorded = 0;
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 20000));
    void* first = buffer;
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 200));
    EXPECT_EQ(buffer, first);
    EXPECT_EQ(recorded, 200u);
    EXPECT_EQ(BlockBytes(buffer), 20000u);
    // Asking for more than recorded reallocates, even though the block is
    // large enough.
    long before = AllocationCount();
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 20000));
    EXPECT_EQ(AllocationCount(), before + 1);
    EXPECT_EQ(recorded, 20000u);
    BlockRelease(buffer);
}

TEST(GrowBuffer, ZeroBytesNeverAllocatesAnAbsentBuffer) {
    void* buffer = nullptr;
    uint32_t recorded = 0;
    EXPECT_FALSE(GrowBuffer(buffer, recorded, 0));
    EXPECT_EQ(buffer, nullptr);
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 4));
    EXPECT_TRUE(GrowBuffer(buffer, recorded, 0));
    EXPECT_EQ(recorded, 0u);
    BlockRelease(buffer);
}

TEST(GrowBuffer, OverflowChangesNothingAndFailureLeavesItAbsent) {
    void* buffer = nullptr;
    uint32_t recorded = 0;
    ASSERT_TRUE(GrowBuffer(buffer, recorded, 64));
    void* kept = buffer;
    EXPECT_FALSE(GrowBuffer(buffer, recorded, uint64_t(70000) * 70000 * 2));
    EXPECT_EQ(buffer, kept);
    EXPECT_EQ(recorded, 64u);

    FailAllocation(1);
    EXPECT_FALSE(GrowBuffer(buffer, recorded, 128));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(recorded, 0u);
}
