// Drawing contexts: sections and their layout, selection rules, fills, block
// copies with conversion, the screen and the orientation query.
#include "imageio/DisplayOrientation.h"
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
    void* bits = nullptr;
    HGDIOBJ up = Section(5, 3, 24, &bits);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->image.stride, 16);                                          // (3 * 5 + 3) & ~3
    EXPECT_EQ(up->image.RowAddress(0), static_cast<uint8_t*>(bits) + 2 * 16); // bottom-up
    HGDIOBJ down = Section(5, -3, 16, &bits);
    EXPECT_EQ(down->image.stride, 12); // (2 * (5 + 1)) & ~3
    EXPECT_EQ(down->image.RowAddress(0), bits);
    EXPECT_TRUE(pf::DeleteObject(up));
    EXPECT_TRUE(pf::DeleteObject(down));

    const int bad[][3] = {{0, 3, 24},  {3, 0, 24},     {3, 3, 8},
                          {-3, 3, 24}, {20000, 3, 24}, {3, INT32_MIN, 24}};
    for (const auto& k : bad) {
        bits = &bits;
        EXPECT_EQ(Section(k[0], k[1], k[2], &bits), nullptr) << k[0] << "x" << k[1] << "x" << k[2];
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(pf::CreateDIBSection(nullptr, nullptr, 0, &bits, nullptr, 0), nullptr);
    zorva::FailAllocation(1);
    EXPECT_EQ(Section(4, 4, 24), nullptr);
    EXPECT_EQ(pf::CreateBitmap(4, 4, 1, 8, nullptr), nullptr);
}

TEST_F(Gdi, SelectionRules) {
    HDC a = pf::CreateCompatibleDC(nullptr), b = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ image = pf::CreateBitmap(4, 4, 1, 16, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pf::SelectObject(a, image), pf::StockImage());
    EXPECT_EQ(pf::SelectObject(b, image), nullptr); // one context at a time
    EXPECT_FALSE(pf::DeleteObject(image));          // still selected
    EXPECT_FALSE(pf::DeleteObject(pf::StockImage()));
    EXPECT_EQ(pf::SelectObject(a, pf::StockImage()), image);
    EXPECT_TRUE(pf::DeleteObject(image));
    HGDIOBJ brush = pf::CreateSolidBrush(0x123456);
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
    EXPECT_EQ(Word(surface, 0, 0), 0xF800);
    EXPECT_EQ(Word(surface, 2, 1), 0xFFFF);
    // 5-6-5 into 5-5-5: green loses its lowest bit; red and blue stay.
    EXPECT_TRUE(pf::BitBlt(dc2, 0, 0, 3, 2, dc, 0, 0, pf::SRCCOPY_ROP));
    EXPECT_EQ(Word(section, 0, 0), 0x7C00);
    EXPECT_EQ(Word(section, 2, 1), 0x7FFF);
    EXPECT_TRUE(pf::BitBlt(dc2, -1, 1, 10, 10, dc, 0, 0, pf::SRCCOPY_ROP)); // clipped
    EXPECT_FALSE(pf::BitBlt(dc2, 0, 0, 1, 1, dc, 0, 0, 0x00EE0086));        // unknown rop
    pf::SelectObject(dc2, old2);
    pf::SelectObject(dc, old);
    for (HGDIOBJ o : {section, surface, red, white})
        EXPECT_TRUE(pf::DeleteObject(o));
    pf::DeleteDC(dc);
    pf::DeleteDC(dc2);
}

TEST_F(Gdi, ScreenCopyShowsTheLatestWindowsDisplay) {
    zt::TestCanvas t(zt::Dense(8, 4));
    t.canvas.Clear(0ul);
    t.canvas.DrawPixel(7, 3, 0xFFFF);
    t.canvas.DrawPixel(0, 0, 0x8410);
    t.canvas.Flip();
    HDC screen = pf::GetDC(nullptr), dc = pf::CreateCompatibleDC(screen);
    HGDIOBJ section = Section(8, 4, 24);
    HGDIOBJ old = pf::SelectObject(dc, section);
    EXPECT_TRUE(pf::BitBlt(dc, 0, 0, 8, 4, screen, 0, 0, pf::SRCCOPY_ROP));
    const uint8_t* top = section->image.RowAddress(0);
    const uint8_t* last = section->image.RowAddress(3) + 7 * 3;
    EXPECT_EQ(std::vector<int>(top, top + 3), (std::vector<int>{0x80, 0x80, 0x80}));
    EXPECT_EQ(std::vector<int>(last, last + 3), (std::vector<int>{248, 252, 248}));
    pf::SelectObject(dc, old);
    pf::DeleteObject(section);
    pf::DeleteDC(dc);
    EXPECT_EQ(pf::ReleaseDC(nullptr, screen), 1);
}

TEST_F(Gdi, OrientationQuery) {
    for (int turn : {0, 1, 2, 4}) {
        zorva::VirtualDisplayConfig config;
        config.orientation = turn;
        zorva::SetVirtualDisplay(config);
        pf::DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        mode.dmFields = pf::DM_DISPLAYORIENTATION;
        EXPECT_EQ(pf::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, pf::CDS_TEST, nullptr),
                  pf::DISP_CHANGE_SUCCESSFUL);
        EXPECT_EQ(mode.dmDisplayOrientation, DWORD(turn));
        EXPECT_EQ(zorva::GetDisplayOrientation(), turn);
    }
    EXPECT_NE(pf::ChangeDisplaySettingsEx(nullptr, nullptr, nullptr, pf::CDS_TEST, nullptr),
              pf::DISP_CHANGE_SUCCESSFUL);
}
