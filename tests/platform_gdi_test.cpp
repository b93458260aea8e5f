// Drawing contexts: sections and their layout, selection rules, fills and
// block copies with conversion. Copies from the screen are checked through
// CCEBitmap::CaptureScreen (imageio_capture_test.cpp).
#include "platform/gdi/Gdi.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pf = zorva::platform;

namespace {

class Gdi : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

HGDIOBJ Section(int width, int height, int bits, void** pixels = nullptr) {
    pf::BITMAPINFO info{};
    info.bmiHeader = {40, width, height, 1, WORD(bits), pf::BI_RGB, 0, 0, 0, 0, 0};
    void* ignored = nullptr;
    return pf::CreateDIBSection(nullptr, &info, pf::DIB_RGB_COLORS, pixels ? pixels : &ignored,
                                nullptr, 0);
}

uint16_t Word(HGDIOBJ image, int x, int y) {
    uint16_t p;
    std::memcpy(&p, image->image.RowAddress(y) + 2 * x, 2);
    return p;
}

} // namespace

TEST_F(Gdi, SectionsHavePaddedRowsInEitherOrder) {
    void *upBits = nullptr, *downBits = nullptr;
    HGDIOBJ up = Section(5, 3, 24, &upBits), down = Section(5, -3, 16, &downBits);
    ASSERT_TRUE(up && down);
    // Rows of (bytes + 3) & ~3; a positive height stores the bottom row first.
    EXPECT_EQ(zt::Values(up->image.stride, down->image.stride), zt::Values(16, 12));
    EXPECT_EQ(up->image.RowAddress(0), static_cast<uint8_t*>(upBits) + 2 * 16);
    EXPECT_EQ(down->image.RowAddress(0), downBits);
    EXPECT_TRUE(pf::DeleteObject(up) && pf::DeleteObject(down));
    // The imaging limits: 65535 a side, 2^26 pixels; one past each fails.
    HGDIOBJ wide = Section(65535, 2, 24), big = Section(32768, -2048, 16);
    EXPECT_TRUE(wide && big && pf::DeleteObject(wide) && pf::DeleteObject(big));
    const int bad[][3] = {{0, 3, 24},     {3, 0, 24},         {3, 3, 8},        {-3, 3, 24},
                          {65536, 1, 24}, {3, INT32_MIN, 24}, {32768, 2049, 24}};
    for (const auto& k : bad) {
        upBits = &upBits;
        EXPECT_EQ(Section(k[0], k[1], k[2], &upBits), nullptr) << k[0] << "x" << k[1];
        EXPECT_EQ(upBits, nullptr);
    }
    EXPECT_EQ(pf::CreateDIBSection(nullptr, nullptr, 0, &upBits, nullptr, 0), nullptr);
    zorva::FailAllocation(1);
    EXPECT_EQ(Section(4, 4, 24), nullptr);
    EXPECT_EQ(pf::CreateBitmap(4, 4, 1, 8, nullptr), nullptr);
}

TEST_F(Gdi, SelectionRules) {
    HDC a = pf::CreateCompatibleDC(nullptr), b = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ image = pf::CreateBitmap(4, 4, 1, 16, nullptr);
    HGDIOBJ brush = pf::CreateSolidBrush(0x123456);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pf::SelectObject(a, image), pf::StockImage());
    EXPECT_EQ(pf::SelectObject(b, image), nullptr); // one context at a time
    EXPECT_FALSE(pf::DeleteObject(image));          // still selected
    EXPECT_FALSE(pf::DeleteObject(pf::StockImage()));
    EXPECT_EQ(pf::SelectObject(a, pf::StockImage()), image);
    EXPECT_TRUE(pf::DeleteObject(image));
    EXPECT_EQ(pf::SelectObject(a, brush), pf::StockBrush());
    EXPECT_TRUE(pf::DeleteDC(a)); // deleting the context lets go of its objects
    EXPECT_TRUE(pf::DeleteObject(brush));
    EXPECT_TRUE(pf::DeleteDC(b));
    EXPECT_FALSE(pf::DeleteDC(nullptr));
}

TEST_F(Gdi, FillsAndCopiesConvertThroughEightBitChannels) {
    HDC dc = pf::CreateCompatibleDC(nullptr), dc2 = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ surface = pf::CreateBitmap(3, 2, 1, 16, nullptr), section = Section(3, 2, 16);
    HGDIOBJ old = pf::SelectObject(dc, surface), old2 = pf::SelectObject(dc2, section);
    HGDIOBJ red = pf::CreateSolidBrush(pf::MakeColorRef(255, 0, 0));
    HGDIOBJ white = pf::CreateSolidBrush(0xFFFFFF);
    tagRECT all{0, 0, 3, 2}, one{2, 1, 9, 9};
    EXPECT_EQ(pf::FillRect(dc, &all, red), 1);
    pf::FillRect(dc, &one, white); // clipped to the image
    EXPECT_EQ(zt::Values(Word(surface, 0, 0), Word(surface, 2, 1)), zt::Values(0xF800, 0xFFFF));
    // 5-6-5 into 5-5-5: green loses its lowest bit; red and blue stay.
    EXPECT_TRUE(pf::BitBlt(dc2, 0, 0, 3, 2, dc, 0, 0, pf::SRCCOPY_ROP));
    EXPECT_EQ(zt::Values(Word(section, 0, 0), Word(section, 2, 1)), zt::Values(0x7C00, 0x7FFF));
    EXPECT_TRUE(pf::BitBlt(dc2, -1, 1, 10, 10, dc, 0, 0, pf::SRCCOPY_ROP)); // clipped
    EXPECT_FALSE(pf::BitBlt(dc2, 0, 0, 1, 1, dc, 0, 0, 0x00EE0086));        // unknown rop
    pf::SelectObject(dc2, old2);
    pf::SelectObject(dc, old);
    for (HGDIOBJ o : {section, surface, red, white})
        EXPECT_TRUE(pf::DeleteObject(o));
    EXPECT_TRUE(pf::DeleteDC(dc) && pf::DeleteDC(dc2));
}
