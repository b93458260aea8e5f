// The bitmap object: sizing by the growth rule, unloading, queries and the
// ownership of copies.
#include "CCEBitmap.h"
#include "core/SharedBlock.h"
#include "platform/Platform.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

namespace {

class Bitmap : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override {
        zt::ResetPlatform();
        EXPECT_EQ(zorva::platform::ComInitializations(), 0);
    }
};

// A COM object that counts what is done to it.
template <class Interface>
struct Counted : Interface {
    HRESULT QueryInterface(const GUID&, void**) override { return zorva::platform::E_NOINTERFACE; }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    ULONG references = 1;
};

struct FakeContacts : Counted<IPOutlookApp> {
    HRESULT Logon(HWND) override { return 0; }
    HRESULT Logoff() override {
        ++logoffs;
        return 0;
    }
    int logoffs = 0;
};

} // namespace

TEST_F(Bitmap, NewBitmapIsEmpty) {
    CCEBitmap b;
    EXPECT_EQ(b.GetSize().cx, 0);
    EXPECT_EQ(b.GetSize().cy, 0);
    EXPECT_EQ(b.IsARGB(), 0);
    EXPECT_EQ(b.IsPointOutsideBmp(0, 0), 0);
    EXPECT_EQ(b.IsPointOutsideBmp(1, 0), 1);
    EXPECT_EQ(b.Unload(1), 1);
    EXPECT_EQ(b.m_pPixels, nullptr);
}

TEST_F(Bitmap, SurfaceSizesAndFillsWithAByte) {
    zt::TestCanvas t(zt::Dense(24, 18));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 0, 0, 0, 0), 1);
    EXPECT_EQ(b.m_nWidth, 24);
    EXPECT_EQ(b.m_nHeight, 18);
    EXPECT_EQ(b.IsARGB(), 0);
    for (int i = 0; i < 24 * 18; ++i)
        ASSERT_EQ(b.m_pPixels[i], 0);

    ASSERT_EQ(b.Surface(&t.canvas, 4, 3, 0x1234, 1), 1);
    EXPECT_EQ(b.IsARGB(), 1);
    EXPECT_EQ(b.m_cbPixels, 24u);
    EXPECT_EQ(b.m_cbAlpha, 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(b.m_pPixels[i], 0x3434);
        EXPECT_EQ(b.m_pAlpha[i], 32);
    }
    ASSERT_EQ(b.Surface(&t.canvas, 2, 2, 0xF800, 0), 1);
    EXPECT_EQ(b.m_pPixels[0], 0x0000);
    ASSERT_EQ(b.Surface(&t.canvas, 2, 2, 255, 0), 1);
    EXPECT_EQ(b.m_pPixels[3], 0xFFFF);
    // The plane of the earlier call stays, unused.
    EXPECT_NE(b.m_pAlpha, nullptr);
    EXPECT_EQ(b.IsARGB(), 0);
}

TEST_F(Bitmap, GrowthRuleRecordsTheLastSizeAndReallocatesWhenAskedForMore) {
    CCEDraw canvas;
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 100, 100, 0, 0), 1);
    long before = zorva::AllocationCount();
    ASSERT_EQ(b.Surface(&canvas, 10, 10, 0, 0), 1);
    EXPECT_EQ(zorva::AllocationCount(), before);
    EXPECT_EQ(b.m_cbPixels, 200u);
    ASSERT_EQ(b.Surface(&canvas, 100, 100, 0, 0), 1);
    EXPECT_EQ(zorva::AllocationCount(), before + 1);
    EXPECT_EQ(b.m_cbPixels, 20000u);
}

TEST_F(Bitmap, UnloadKeepsOrFreesTheBlocks) {
    CCEDraw canvas;
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 8, 8, 1, 1), 1);
    b.m_pFrames = static_cast<PropertyItem*>(zorva::BlockAlloc(sizeof(PropertyItem) + 8));
    WORD* pixels = b.m_pPixels;
    EXPECT_EQ(b.Unload(0), 1);
    EXPECT_EQ(b.GetSize().cx, 0);
    EXPECT_EQ(b.m_cbPixels, 0u);
    EXPECT_EQ(b.m_cbAlpha, 0u);
    EXPECT_EQ(b.IsARGB(), 0);
    EXPECT_EQ(b.m_pPixels, pixels);
    EXPECT_NE(b.m_pAlpha, nullptr);
    EXPECT_EQ(b.m_pFrames, nullptr);
    // The recorded size is 0, so the next sizing reallocates the same block.
    const long before = zorva::AllocationCount();
    ASSERT_EQ(b.Surface(&canvas, 8, 8, 1, 0), 1);
    EXPECT_EQ(zorva::AllocationCount(), before + 1);
    EXPECT_EQ(b.Unload(1), 1);
    EXPECT_EQ(b.m_pPixels, nullptr);
    EXPECT_EQ(b.m_pAlpha, nullptr);
}

TEST_F(Bitmap, CornerTest) {
    CCEDraw canvas;
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 7, 5, 0, 0), 1);
    EXPECT_EQ(b.IsPointOutsideBmp(7, 5), 0);
    EXPECT_EQ(b.IsPointOutsideBmp(8, 0), 1);
    EXPECT_EQ(b.IsPointOutsideBmp(0, 6), 1);
    EXPECT_EQ(b.IsPointOutsideBmp(-1, 0), 1);
    EXPECT_EQ(b.IsPointOutsideBmp(0, -1), 1);
}

TEST_F(Bitmap, RefusedSizesChangeNothing) {
    CCEDraw canvas;
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 3, 3, 0x11, 1), 1);
    WORD* pixels = b.m_pPixels;
    EXPECT_EQ(b.Surface(nullptr, 3, 3, 0, 0), 0);
    EXPECT_EQ(b.Surface(&canvas, 70000, 70000, 0, 0), 0);
    EXPECT_EQ(b.Surface(&canvas, -1, 5, 0, 0), 0);
    EXPECT_EQ(b.m_pPixels, pixels);
    EXPECT_EQ(b.m_nWidth, 3);
    EXPECT_EQ(b.m_cbPixels, 18u);
    EXPECT_EQ(b.IsARGB(), 1);
    EXPECT_EQ(b.m_pPixels[8], 0x1111);
}

TEST_F(Bitmap, FailedGrowthLeavesTheBufferAbsent) {
    CCEDraw canvas;
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&canvas, 3, 3, 0, 1), 1);
    zorva::FailAllocation(1);
    EXPECT_EQ(b.Surface(&canvas, 30, 30, 0, 1), 0);
    EXPECT_EQ(b.m_pPixels, nullptr);
    EXPECT_EQ(b.m_nWidth, 3); // old size kept, but the bitmap is empty now

    // Pixels grow, the plane does not: the fill is there, the flag is off.
    ASSERT_EQ(b.Surface(&canvas, 3, 3, 0, 1), 1);
    zorva::FailAllocation(2);
    EXPECT_EQ(b.Surface(&canvas, 40, 40, 0x22, 1), 0);
    EXPECT_EQ(b.IsARGB(), 0);
    EXPECT_EQ(b.m_pAlpha, nullptr);
    ASSERT_NE(b.m_pPixels, nullptr);
    EXPECT_EQ(b.m_pPixels[40 * 40 - 1], 0x2222);
}

TEST_F(Bitmap, CopiesShareUntilOneGrows) {
    CCEDraw canvas;
    auto* a = new CCEBitmap;
    ASSERT_EQ(a->Surface(&canvas, 4, 4, 0, 1), 1);
    CCEBitmap b;
    b = *a;
    CCEBitmap c(*a);
    EXPECT_EQ(b.m_pPixels, a->m_pPixels);
    EXPECT_EQ(b.GetSize().cx, 4);
    b.m_pPixels[5] = 0xCAFE; // drawing into one shows in the others
    EXPECT_EQ(a->m_pPixels[5], 0xCAFE);
    EXPECT_EQ(c.m_pPixels[5], 0xCAFE);

    // c grows: it gets its own block with the old contents.
    ASSERT_EQ(c.Surface(&canvas, 40, 40, 0, 0), 1);
    EXPECT_NE(c.m_pPixels, a->m_pPixels);
    EXPECT_EQ(a->m_pPixels[5], 0xCAFE);

    // The original goes first; b still owns valid buffers.
    delete a;
    EXPECT_EQ(b.m_pPixels[5], 0xCAFE);
    EXPECT_EQ(b.m_pAlpha[15], 32);
    b = b;
    EXPECT_EQ(b.Unload(1), 1);
    EXPECT_EQ(b.Unload(1), 1);
}

TEST_F(Bitmap, CopiesHoldTheirOwnInterfaceReferences) {
    FakeContacts contacts;
    {
        CCEBitmap a;
        zorva::platform::CoInitializeEx(nullptr, 0);
        a.m_pPOOM = &contacts; // as the contact store set-up leaves it
        {
            CCEBitmap b(a);
            EXPECT_EQ(contacts.references, 2u);
            EXPECT_EQ(zorva::platform::ComInitializations(), 2);
        }
        EXPECT_EQ(contacts.references, 1u);
        EXPECT_EQ(contacts.logoffs, 0); // a still uses the connection
    }
    EXPECT_EQ(contacts.references, 0u);
    EXPECT_EQ(contacts.logoffs, 1);
}
