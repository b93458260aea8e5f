// Drawing contexts: sections and their layout, selection rules, fills, block
// copies with conversion, the screen and the orientation query.
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

pf::BITMAPINFO Header(int width, int height, int bits) {
    pf::BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bits);
    info.bmiHeader.biCompression = pf::BI_RGB;
    return info;
}

} // namespace

TEST_F(Gdi, SectionsHavePaddedBottomUpRows) {
    void* bits = nullptr;
    pf::BITMAPINFO info = Header(5, 3, 24);
    HGDIOBJ section = pf::CreateDIBSection(nullptr, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(section->image.stride, 16); // (3 * 5 + 3) & ~3
    // Picture row 0 is the last row in memory.
    EXPECT_EQ(section->image.RowAddress(0), static_cast<uint8_t*>(bits) + 2 * 16);
    EXPECT_TRUE(pf::DeleteObject(section));

    info = Header(5, -3, 16); // top-down, 5-5-5
    section = pf::CreateDIBSection(nullptr, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->image.stride, 12); // (2 * (5 + 1)) & ~3
    EXPECT_EQ(section->image.RowAddress(0), bits);
    EXPECT_TRUE(pf::DeleteObject(section));
}

TEST_F(Gdi, BadSectionsAreRefused) {
    void* bits = reinterpret_cast<void*>(1);
    const pf::BITMAPINFO bad[] = {Header(0, 3, 24),     Header(3, 0, 24),
                                  Header(3, 3, 8),      Header(-3, 3, 24),
                                  Header(20000, 3, 24), Header(3, INT32_MIN, 24)};
    for (const pf::BITMAPINFO& info : bad) {
        EXPECT_EQ(pf::CreateDIBSection(nullptr, &info, 0, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(pf::CreateDIBSection(nullptr, nullptr, 0, &bits, nullptr, 0), nullptr);
    pf::BITMAPINFO info = Header(4, 4, 24);
    zorva::FailAllocation(1);
    EXPECT_EQ(pf::CreateDIBSection(nullptr, &info, 0, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(pf::CreateBitmap(4, 4, 1, 8, nullptr), nullptr);
}

TEST_F(Gdi, SelectionRules) {
    HDC a = pf::CreateCompatibleDC(nullptr);
    HDC b = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ image = pf::CreateBitmap(4, 4, 1, 16, nullptr);
    ASSERT_NE(image, nullptr);
    HGDIOBJ previous = pf::SelectObject(a, image);
    EXPECT_EQ(previous, pf::StockImage());
    EXPECT_EQ(pf::SelectObject(b, image), nullptr); // one context at a time
    EXPECT_FALSE(pf::DeleteObject(image));          // still selected
    EXPECT_FALSE(pf::DeleteObject(pf::StockImage()));
    EXPECT_EQ(pf::SelectObject(a, previous), image);
    EXPECT_TRUE(pf::DeleteObject(image));

    HGDIOBJ brush = pf::CreateSolidBrush(0x123456);
    EXPECT_EQ(pf::SelectObject(a, brush), pf::StockBrush());
    EXPECT_TRUE(pf::DeleteDC(a)); // deleting the context lets go of its objects
    EXPECT_TRUE(pf::DeleteObject(brush));
    EXPECT_TRUE(pf::DeleteDC(b));
    EXPECT_FALSE(pf::DeleteDC(nullptr));
}

TEST_F(Gdi, FillAndCopyConvertThroughEightBitChannels) {
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ surface = pf::CreateBitmap(3, 2, 1, 16, nullptr);
    HGDIOBJ old = pf::SelectObject(dc, surface);
    HGDIOBJ red = pf::CreateSolidBrush(pf::MakeColorRef(255, 0, 0));
    tagRECT all{0, 0, 3, 2};
    EXPECT_EQ(pf::FillRect(dc, &all, red), 1);
    tagRECT one{2, 1, 9, 9};
    HGDIOBJ white = pf::CreateSolidBrush(0xFFFFFF);
    pf::FillRect(dc, &one, white);
    uint16_t p;
    std::memcpy(&p, surface->image.RowAddress(0), 2);
    EXPECT_EQ(p, 0xF800);
    std::memcpy(&p, surface->image.RowAddress(1) + 4, 2);
    EXPECT_EQ(p, 0xFFFF);

    // 5-6-5 into 5-5-5: green loses its lowest bit; red and blue stay.
    HDC dc2 = pf::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    pf::BITMAPINFO info = Header(3, 2, 16);
    HGDIOBJ section = pf::CreateDIBSection(nullptr, &info, 0, &bits, nullptr, 0);
    HGDIOBJ old2 = pf::SelectObject(dc2, section);
    EXPECT_TRUE(pf::BitBlt(dc2, 0, 0, 3, 2, dc, 0, 0, pf::SRCCOPY_ROP));
    std::memcpy(&p, section->image.RowAddress(0), 2);
    EXPECT_EQ(p, 0x7C00);
    std::memcpy(&p, section->image.RowAddress(1) + 4, 2);
    EXPECT_EQ(p, 0x7FFF);
    // Copies are clipped to both images.
    EXPECT_TRUE(pf::BitBlt(dc2, -1, 1, 10, 10, dc, 0, 0, pf::SRCCOPY_ROP));
    EXPECT_FALSE(pf::BitBlt(dc2, 0, 0, 1, 1, dc, 0, 0, 0x00EE0086));

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

    HDC screen = pf::GetDC(nullptr);
    HDC dc = pf::CreateCompatibleDC(screen);
    void* bits = nullptr;
    pf::BITMAPINFO info = Header(8, 4, 24);
    HGDIOBJ section = pf::CreateDIBSection(screen, &info, 0, &bits, nullptr, 0);
    HGDIOBJ old = pf::SelectObject(dc, section);
    EXPECT_TRUE(pf::BitBlt(dc, 0, 0, 8, 4, screen, 0, 0, pf::SRCCOPY_ROP));
    const uint8_t* top = section->image.RowAddress(0);
    EXPECT_EQ(top[0], 0x80); // blue 16 << 3
    EXPECT_EQ(top[1], 0x80); // green 32 << 2
    EXPECT_EQ(top[2], 0x80); // red 16 << 3
    const uint8_t* last = section->image.RowAddress(3) + 7 * 3;
    EXPECT_EQ(last[0], 248);
    EXPECT_EQ(last[1], 252);
    EXPECT_EQ(last[2], 248);
    pf::SelectObject(dc, old);
    pf::DeleteObject(section);
    pf::DeleteDC(dc);
    EXPECT_EQ(pf::ReleaseDC(nullptr, screen), 1);
}

TEST_F(Gdi, OrientationQuery) {
    zorva::VirtualDisplayConfig config;
    config.orientation = 4;
    zorva::SetVirtualDisplay(config);
    pf::DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = pf::DM_DISPLAYORIENTATION;
    EXPECT_EQ(pf::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, pf::CDS_TEST, nullptr),
              pf::DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(mode.dmDisplayOrientation, 4u);
    EXPECT_NE(pf::ChangeDisplaySettingsEx(nullptr, nullptr, nullptr, pf::CDS_TEST, nullptr),
              pf::DISP_CHANGE_SUCCESSFUL);
}
