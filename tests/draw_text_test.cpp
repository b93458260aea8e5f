// Text on the canvas: white only, in the text box one row down, clipped,
// the pen ignored, on every display layout.
#include "support/TestCanvas.h"
#include "system/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace pf = zorva::platform;

namespace {

tagSIZE Extent(const wchar_t* text) {
    tagSIZE size{};
    HDC screen = pf::GetDC(nullptr);
    EXPECT_TRUE(pf::GetTextExtentExPointW(screen, text, int(wcslen(text)), 0, 0, 0, &size));
    pf::ReleaseDC(nullptr, screen);
    return size;
}

// DrawTextW at `at`, checked against the canvas worked out pixel by pixel:
// the platform renders the text centred in a top-down box of its extent,
// black on white, and text row k (up to cy - 2) of every pixel whose RGB565
// value differs from the box's bottom-left one lands white on row y + k + 1.
void ExpectDrawn(zt::TestCanvas& t, const wchar_t* text, tagPOINT at) {
    zt::RefImage ref(t.Width(), t.Height(), t.Snapshot());
    const tagSIZE size = Extent(text);
    pf::BITMAPINFO info{};
    info.bmiHeader = {40, size.cx, -size.cy, 1, 24, 0, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ section = pf::CreateDIBSection(dc, &info, 0, &bits, nullptr, 0);
    const int stride = section->image.stride;
    std::memset(bits, 0xFF, size_t(stride) * size.cy);
    pf::SelectObject(dc, section);
    tagRECT r{0, 0, size.cx, size.cy};
    pf::DrawTextW(dc, text, -1, &r, pf::DT_CENTER | pf::DT_VCENTER | pf::DT_SINGLELINE);
    auto rgb565 = [&](int i, int k) {
        const uint8_t* q = static_cast<const uint8_t*>(bits) + size_t(k) * stride + 3 * i;
        return ((q[2] >> 3) << 11) | ((q[1] >> 2) << 5) | (q[0] >> 3);
    };
    for (int k = 0; k + 1 < size.cy; ++k)
        for (int i = 0; i < size.cx; ++i)
            if (rgb565(i, k) != rgb565(0, size.cy - 1))
                ref.Put(int64_t(at.x) + i, int64_t(at.y) + k + 1, 0xFFFF);
    pf::DeleteDC(dc);
    pf::DeleteObject(section);
    EXPECT_EQ(t.canvas.DrawTextW(&at, text, int(wcslen(text)), 0x12345678u), 1);
    const zt::Difference d = zt::Compare(ref, t.Snapshot());
    EXPECT_EQ(d.count, 0u) << at.x << "," << at.y << ": first at " << d.x << "," << d.y;
}

} // namespace

TEST(DrawText, OverAPictureAndNothingOutsideTheCanvasOrWithoutText) {
    zt::TestCanvas t(zt::Dense(240, 320));
    std::mt19937 rng(5);
    t.FillRandom(rng);
    const std::vector<uint16_t> before = t.Snapshot();
    // Boxes wholly outside (no corner passes the corner test), no point or
    // text, no characters, controls only (no width), wider than any image.
    const tagSIZE s = Extent(L"Hello");
    const int outside[][2] = {
        {241, 0},      {0, 321}, {-s.cx - 1, 10}, {10, -s.cy - 1}, {INT32_MAX, INT32_MAX},
        {INT32_MIN, 0}};
    for (auto [x, y] : outside) {
        tagPOINT at{x, y};
        EXPECT_EQ(t.canvas.DrawTextW(&at, L"Hello", 5, 0), 1);
    }
    tagPOINT at{1, 1};
    const std::wstring wide(4000, L'W');
    EXPECT_GT(Extent(wide.c_str()).cx, 16384);
    EXPECT_EQ(t.canvas.DrawTextW(&at, wide.c_str(), 4000, 0), 1);
    EXPECT_EQ(zt::Values(t.canvas.DrawTextW(nullptr, L"x", 1, 0),
                         t.canvas.DrawTextW(&at, nullptr, 1, 0),
                         t.canvas.DrawTextW(&at, L"x", 0, 0), t.canvas.DrawTextW(&at, L"x", -1, 0),
                         t.canvas.DrawTextW(&at, L"\n\t", 2, 0)),
              zt::Values(1, 1, 1, 1, 1));
    EXPECT_EQ(t.Snapshot(), before);
    CCEDraw none; // no back buffer
    EXPECT_EQ(none.DrawTextW(&at, L"x", 1, 0), 1);
    ExpectDrawn(t, L"Hello", {10, 20}); // over a random picture
}

TEST(DrawText, SeededPositionsAcrossEveryEdgeOnEveryLayoutRedPenIgnored) {
    CCEPen red(0, 1, 0xF800);
    const tagSIZE s = Extent(L"Pen");
    std::mt19937 rng(60);
    for (const zorva::VirtualDisplayConfig& config :
         {zt::Dense(100, 60), zt::Padded(100, 60, 6), zt::NegativeXPitch(100, 60)}) {
        zt::TestCanvas t(config);
        t.canvas.SetGDIObject(&red);
        for (int k = 0; k < 40; ++k) {
            t.canvas.Clear(0ul);
            ExpectDrawn(t, L"Pen",
                        {int(rng() % (t.Width() + 2 * s.cx)) - s.cx,
                         int(rng() % (t.Height() + 2 * s.cy)) - s.cy});
        }
    }
}
