// Canvas basics: colour members, clears, pixels, point tests, pens, brushes
// and their selection.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The protected members, reached through member pointers taken in a
// derived class, without pretending a CCEDraw is one.
struct ProbeDraw : CCEDraw {
    static constexpr auto Inside = &ProbeDraw::IsAllPointInside;
    static constexpr auto Outside = &ProbeDraw::IsAllPointOutside;
    static constexpr auto Bit = &ProbeDraw::TestPoint;
};

bool AllAre(const zt::TestCanvas& t, uint16_t v) {
    const auto px = t.Snapshot();
    return std::all_of(px.begin(), px.end(), [v](uint16_t p) { return p == v; });
}

} // namespace

TEST(Canvas, ColourMembersAndClears) {
    zt::ResetPlatform();
    zt::TestCanvas t(zt::NegativeXPitch(20, 30));
    CCEDraw& c = t.canvas;
    EXPECT_EQ(c.ConvertColor(0x00FF8040ul), 0xFC08);
    EXPECT_EQ(c.ConvertColor(255, 128, 64), 0xFC08);
    // Bits above the colour word (a 64-bit unsigned long has them) are dropped.
    EXPECT_EQ(c.ConvertColor(static_cast<unsigned long>(0x1234567800FF8040ull)), 0xFC08);
    unsigned char bgr[3] = {0x40, 0x80, 0xFF};
    EXPECT_EQ(c.GetBitmapPointColor(bgr), 0xFC08);

    // The byte clear takes the low byte only.
    const std::pair<unsigned long, uint16_t> clears[] = {
        {0x00FF0000ul, 0}, {0x12ul, 0x1212}, {0x7FFFFFFFul, 0xFFFF}};
    for (const auto& [value, pixel] : clears) {
        EXPECT_EQ(c.Clear(value), 1);
        EXPECT_TRUE(AllAre(t, pixel)) << value;
    }
    EXPECT_EQ(c.Clear(static_cast<CCEPen*>(nullptr)), 0);
    EXPECT_EQ(c.GetLastError(), 114u);
    EXPECT_TRUE(AllAre(t, 0xFFFF)); // unchanged
    CCEPen selected(0, 1, 0x1234), given(0, 1, 0xBEEF);
    c.SetGDIObject(&selected);
    EXPECT_EQ(c.Clear(static_cast<CCEPen*>(nullptr)), 1);
    EXPECT_TRUE(AllAre(t, 0x1234));
    EXPECT_EQ(c.Clear(&given), 1);
    EXPECT_TRUE(AllAre(t, 0xBEEF));
}

TEST(Canvas, PixelAndPointTests) {
    zt::ResetPlatform();
    zt::TestCanvas t(zt::Dense(40, 30));
    CCEDraw& c = t.canvas;
    auto inside = [&](tagPOINT* p, int n) { return (c.*ProbeDraw::Inside)(p, n); };
    auto outside = [&](tagPOINT* p, int n) { return (c.*ProbeDraw::Outside)(p, n); };
    c.Clear(0ul);
    // Coordinates read as signed 32-bit values: 2^32 - 1 and 2^31 are negative.
    for (unsigned long x : {40ul, 0xFFFFFFFFul, 0x80000000ul, static_cast<unsigned long>(-1)})
        c.DrawPixel(x, 0, 0xFFFF);
    c.DrawPixel(0, 30, 0xFFFF);
    EXPECT_TRUE(AllAre(t, 0));
    c.DrawPixel(39, 29, 0xF00D);
    c.DrawPixel(static_cast<unsigned long>(0x100000003ull), 2, 0x0F0F); // 2^32 + 3 is 3
    EXPECT_EQ(t.Painted(), (zt::Pixels{{39, 29}, {3, 2}}));
    EXPECT_EQ(t.Pixel(3, 2), 0x0F0F);

    // The corner test lets the far corner (w, h) in.
    EXPECT_EQ(c.IsPointOutside(40, 30), 0);
    EXPECT_EQ(c.IsPointOutside(41, 0), 1);
    EXPECT_EQ(c.IsPointOutside(0, 31), 1);
    EXPECT_EQ(c.IsPointOutside(-1, 0), 1);
    tagPOINT p[] = {{-5, 10}, {5, 5}, {43, 2}, {-1, 39}, {-5, -1}, {40, 30}};
    EXPECT_EQ(inside(p, 4), 1); // outside on one axis only
    EXPECT_EQ(inside(p + 4, 1), 0);
    EXPECT_EQ(inside(p + 5, 1), 0);
    EXPECT_EQ(inside(nullptr, 3), 0);
    EXPECT_EQ(inside(p + 4, 0), 1);
    tagPOINT q[] = {{40, 0}, {0, 30}, {39, 29}};
    EXPECT_EQ(outside(q, 2), 1);
    EXPECT_EQ(outside(q, 3), 0);
    EXPECT_EQ(outside(nullptr, 2), 0);
    EXPECT_EQ(outside(q, -4), 1);
    // Pattern bits, most significant first, positions taken mod 256.
    const struct {
        unsigned pattern;
        int position, bit;
    } bits[] = {{0x80, 1, 1}, {0x01, 8, 1}, {0xFF, 9, 0},   {0xFF, 0, 0},
                {0x40, 2, 1}, {0x40, 3, 0}, {0x80, 257, 1}, {0xFF, INT32_MIN, 0}};
    for (const auto& k : bits)
        EXPECT_EQ((c.*ProbeDraw::Bit)(k.pattern, k.position), k.bit) << k.position;
}

TEST(Canvas, PensBrushesAndTheirSelection) {
    CCEPen pen;
    pen.m_dwType = 7;
    pen.CreatePen(2, 5, 0x1234);
    EXPECT_EQ(pen.m_dwType, 7u); // CreatePen leaves the tag alone
    pen.m_dwType = 10000;
    CCEBrush brush(3, 0xF800, -9), brush2;
    brush.m_dwType = 7;
    brush.CreateBrush(1, 0x07E0, 4);
    EXPECT_EQ(brush.m_dwType, 10001u); // CreateBrush writes it again
    CCEGDIObject plain;
    EXPECT_EQ(plain.m_dwType, 0u);

    CCEDraw c;
    EXPECT_EQ(c.SetGDIObject(&pen), nullptr);
    EXPECT_EQ(c.SetGDIObject(&brush), nullptr); // the pen stays
    EXPECT_EQ(c.SetGDIObject(&brush2), &brush);
    EXPECT_EQ(c.SetGDIObject(&plain), nullptr); // neither: nothing changes
    EXPECT_EQ(c.GetLastError(), 0u);
    EXPECT_EQ(c.SetGDIObject(nullptr), nullptr);
    EXPECT_EQ(c.GetLastError(), 113u);
    EXPECT_EQ(c.GetGDIObject(10000), &pen);
    EXPECT_EQ(c.GetGDIObject(10001), &brush2);
    EXPECT_EQ(c.GetGDIObject(5), nullptr);
}
