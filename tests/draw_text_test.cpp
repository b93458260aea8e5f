// Text on the canvas: white only, inside the text box one row down,
// nothing beyond the canvas, the pen ignored, every display layout.
#include "platform/gdi/Gdi.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace pf = zorva::platform;

namespace {

class DrawText : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

tagSIZE DefaultExtent(const std::wstring& text) {
    HDC screen = pf::GetDC(nullptr);
    tagSIZE size{};
    EXPECT_TRUE(pf::GetTextExtentExPointW(screen, text.c_str(), int(text.size()), 0, nullptr,
                                          nullptr, &size));
    pf::ReleaseDC(nullptr, screen);
    return size;
}

// The text box as the platform renders it in the default font, black on
// white, centred on one line: true where a pixel differs from the box's
// bottom-left pixel. Rows top first.
std::vector<bool> InkMask(const std::wstring& text, int cx, int cy) {
    pf::BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy; // top-down, to read rows plainly
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ section = pf::CreateDIBSection(dc, &info, 0, &bits, nullptr, 0);
    EXPECT_NE(section, nullptr);
    const int stride = section->image.stride;
    std::memset(bits, 0xFF, size_t(stride) * cy);
    HGDIOBJ old = pf::SelectObject(dc, section);
    tagRECT r{0, 0, cx, cy};
    pf::DrawTextW(dc, text.c_str(), int(text.size()), &r,
                  pf::DT_CENTER | pf::DT_VCENTER | pf::DT_SINGLELINE);
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    auto rgb565 = [&](int x, int y) {
        const uint8_t* q = p + size_t(y) * stride + 3 * x;
        return ((q[2] >> 3) << 11) | ((q[1] >> 2) << 5) | (q[0] >> 3);
    };
    const int key = rgb565(0, cy - 1);
    std::vector<bool> mask(size_t(cx) * cy);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            mask[size_t(y) * cx + x] = rgb565(x, y) != key;
    pf::SelectObject(dc, old);
    pf::DeleteObject(section);
    pf::DeleteDC(dc);
    return mask;
}

// What the canvas should hold after DrawTextW at (x, y): text row k of the
// mask lands on row y + k + 1 for k up to cy - 2, in white, where the
// pixel test passes.
zt::RefImage Expected(const zt::TestCanvas& t, const std::wstring& text, int x, int y) {
    zt::RefImage ref(t.Width(), t.Height(), t.Snapshot());
    const tagSIZE size = DefaultExtent(text);
    const std::vector<bool> mask = InkMask(text, size.cx, size.cy);
    for (int k = 0; k + 1 < size.cy; ++k)
        for (int i = 0; i < size.cx; ++i)
            if (mask[size_t(k) * size.cx + i]) ref.Put(int64_t(x) + i, int64_t(y) + k + 1, 0xFFFF);
    return ref;
}

void FillNoWhite(zt::TestCanvas& t, std::mt19937& rng) {
    for (int y = 0; y < t.Height(); ++y)
        for (int x = 0; x < t.Width(); ++x)
            t.SetPixel(x, y, uint16_t(rng() % 0xFFFF)); // never 0xFFFF
}

} // namespace

TEST_F(DrawText, WhiteOnlyInsideTheBoxOneRowDown) {
    zt::TestCanvas t(zt::Dense(240, 320));
    std::mt19937 rng(5);
    FillNoWhite(t, rng);
    const std::vector<uint16_t> before = t.Snapshot();
    const std::wstring word = L"Hello";
    const tagSIZE size = DefaultExtent(word);
    ASSERT_GT(size.cx, 10);
    ASSERT_GT(size.cy, 5);
    const zt::RefImage expected = Expected(t, word, 10, 20);

    tagPOINT at{10, 20};
    EXPECT_EQ(t.canvas.DrawTextW(&at, word.c_str(), int(word.size()), 0x12345678u), 1);
    const std::vector<uint16_t> after = t.Snapshot();
    int white = 0;
    for (int y = 0; y < t.Height(); ++y)
        for (int x = 0; x < t.Width(); ++x) {
            const size_t i = size_t(y) * t.Width() + x;
            const bool inBox = x >= 10 && x <= 10 + size.cx - 1 && y >= 21 && y <= 20 + size.cy - 1;
            if (after[i] == before[i]) continue;
            EXPECT_TRUE(inBox) << x << "," << y;
            EXPECT_EQ(after[i], 0xFFFF) << x << "," << y;
            ++white;
        }
    EXPECT_GT(white, 20);
    const zt::Difference d = zt::Compare(expected, after);
    EXPECT_EQ(d.count, 0u) << "first at " << d.x << "," << d.y;
}

TEST_F(DrawText, NothingBeyondTheCanvas) {
    zt::TestCanvas t(zt::Dense(64, 48));
    std::mt19937 rng(7);
    FillNoWhite(t, rng);
    const std::vector<uint16_t> before = t.Snapshot();
    const std::wstring word = L"Away";
    const tagSIZE size = DefaultExtent(word);
    // Boxes wholly outside: every corner fails the corner test.
    for (tagPOINT at :
         {tagPOINT{65, 0}, tagPOINT{0, 49}, tagPOINT{-size.cx - 1, 10}, tagPOINT{10, -size.cy - 1},
          tagPOINT{INT32_MAX, INT32_MAX}, tagPOINT{INT32_MIN, INT32_MIN}}) {
        EXPECT_EQ(t.canvas.DrawTextW(&at, word.c_str(), int(word.size()), 0), 1);
        EXPECT_EQ(t.Snapshot(), before) << at.x << "," << at.y;
    }
    // Boxes across each edge: the visible part only.
    for (tagPOINT at : {tagPOINT{-7, -4}, tagPOINT{64 - size.cx / 2, 48 - size.cy / 2},
                        tagPOINT{-size.cx + 2, 20}, tagPOINT{30, -size.cy + 3}}) {
        t.Load(before);
        const zt::RefImage expected = Expected(t, word, at.x, at.y);
        EXPECT_EQ(t.canvas.DrawTextW(&at, word.c_str(), int(word.size()), 0), 1);
        const zt::Difference d = zt::Compare(expected, t.Snapshot());
        EXPECT_EQ(d.count, 0u) << at.x << "," << at.y << ": first at " << d.x << "," << d.y;
    }
}

TEST_F(DrawText, PenIgnoredAndEveryLayout) {
    CCEPen red(0, 1, 0xF800);
    for (const zorva::VirtualDisplayConfig& config :
         {zt::Dense(100, 60), zt::Padded(100, 60, 6), zt::NegativeXPitch(100, 60)}) {
        zt::TestCanvas t(config);
        t.canvas.Clear(0ul);
        t.canvas.SetGDIObject(&red);
        const std::wstring word = L"Pen";
        const zt::RefImage expected = Expected(t, word, 3, 4);
        tagPOINT at{3, 4};
        EXPECT_EQ(t.canvas.DrawTextW(&at, word.c_str(), int(word.size()), 0), 1);
        const std::vector<uint16_t> after = t.Snapshot();
        const zt::Difference d = zt::Compare(expected, after);
        EXPECT_EQ(d.count, 0u) << "first at " << d.x << "," << d.y;
        for (uint16_t p : after)
            ASSERT_TRUE(p == 0 || p == 0xFFFF);
    }
}

TEST_F(DrawText, NothingToDraw) {
    zt::TestCanvas t(zt::Dense(40, 30));
    t.canvas.Clear(0x11ul);
    const std::vector<uint16_t> before = t.Snapshot();
    tagPOINT at{1, 1};
    EXPECT_EQ(t.canvas.DrawTextW(nullptr, L"x", 1, 0), 1);
    EXPECT_EQ(t.canvas.DrawTextW(&at, nullptr, 1, 0), 1);
    EXPECT_EQ(t.canvas.DrawTextW(&at, L"x", 0, 0), 1);
    EXPECT_EQ(t.canvas.DrawTextW(&at, L"x", -1, 0), 1);
    // Controls only: a box of no width.
    EXPECT_EQ(t.canvas.DrawTextW(&at, L"\n\t", 2, 0), 1);
    // A box wider than any image the platform makes is not drawn.
    const std::wstring wide(4000, L'W');
    EXPECT_GT(DefaultExtent(wide).cx, 16384);
    EXPECT_EQ(t.canvas.DrawTextW(&at, wide.c_str(), int(wide.size()), 0), 1);
    EXPECT_EQ(t.Snapshot(), before);

    // A canvas without a back buffer.
    CCEDraw none;
    EXPECT_EQ(none.DrawTextW(&at, L"x", 1, 0), 1);
}
