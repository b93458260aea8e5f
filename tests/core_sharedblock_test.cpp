// Shared blocks; the sanitizer build sees any block left behind.
#include "core/SharedBlock.h"
#include "system/Testing.h"

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
