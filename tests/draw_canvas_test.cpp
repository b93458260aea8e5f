// Canvas basics: conversions through the members, clears, pixels, point
// tests, pens, brushes and their selection.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

namespace {

// Reaches the protected members through member pointers taken in a derived
// class, without pretending a CCEDraw is one.
struct ProbeDraw : CCEDraw {
    using CCEDraw::IsAllPointInside;
    using CCEDraw::IsAllPointOutside;
    using CCEDraw::TestPoint;
};
int AllInside(CCEDraw& c, tagPOINT* p, int n) {
    return (c.*(&ProbeDraw::IsAllPointInside))(p, n);
}
int AllOutside(CCEDraw& c, tagPOINT* p, int n) {
    return (c.*(&ProbeDraw::IsAllPointOutside))(p, n);
}

class Canvas : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

} // namespace

TEST_F(Canvas, ColourMembers) {
    CCEDraw c;
    EXPECT_EQ(c.ConvertColor(0x00FF8040ul), 0xFC08);
    EXPECT_EQ(c.ConvertColor(255, 128, 64), 0xFC08);
    EXPECT_EQ(c.ConvertColor(0xFFFFFFFFul), 0xFFFF);
    // Bits above the colour word (possible in a 64-bit unsigned long) are
    // outside it, like the top byte.
    EXPECT_EQ(c.ConvertColor(static_cast<unsigned long>(0x1234567800FF8040ull)), 0xFC08);
    unsigned char bgr[3] = {0x40, 0x80, 0xFF};
    EXPECT_EQ(c.GetBitmapPointColor(bgr), 0xFC08);
}

TEST_F(Canvas, ByteClearIgnoresTheColourWord) {
    zt::TestCanvas t(zt::Dense(33, 17));
    EXPECT_EQ(t.canvas.Clear(0x00FF0000ul), 1);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0);
    t.canvas.Clear(0x12ul);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0x1212);
    t.canvas.Clear(0x7FFFFFFFul);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0xFFFF);
}

TEST_F(Canvas, PenClear) {
    zt::TestCanvas t(zt::NegativeXPitch(20, 30));
    t.canvas.Clear(0ul);
    EXPECT_EQ(t.canvas.Clear(static_cast<CCEPen*>(nullptr)), 0);
    EXPECT_EQ(t.canvas.GetLastError(), 114u);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0); // unchanged

    CCEPen selected(0, 1, 0x1234), given(0, 1, 0xBEEF);
    t.canvas.SetGDIObject(&selected);
    EXPECT_EQ(t.canvas.Clear(static_cast<CCEPen*>(nullptr)), 1);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0x1234);
    EXPECT_EQ(t.canvas.Clear(&given), 1);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0xBEEF);
    EXPECT_EQ(t.canvas.GetLastError(), 114u);
}

TEST_F(Canvas, PixelsPassThePixelTest) {
    zt::TestCanvas t(zt::Dense(40, 30));
    const int w = t.Width(), h = t.Height();
    t.canvas.Clear(0ul);
    t.canvas.DrawPixel(w, 0, 0xFFFF);
    t.canvas.DrawPixel(0, h, 0xFFFF);
    t.canvas.DrawPixel(static_cast<unsigned long>(-1), 5, 0xFFFF);
    // 2^32 - 1 and 2^31 read as negative 32-bit values.
    t.canvas.DrawPixel(0xFFFFFFFFul, 0, 0xFFFF);
    t.canvas.DrawPixel(0x80000000ul, 0, 0xFFFF);
    for (uint16_t p : t.Snapshot())
        ASSERT_EQ(p, 0);
    t.canvas.DrawPixel(w - 1, h - 1, 0xF00D);
    EXPECT_EQ(t.Pixel(w - 1, h - 1), 0xF00D);
    // 2^32 + 3 is 3 as a 32-bit value.
    t.canvas.DrawPixel(static_cast<unsigned long>(0x100000003ull), 2, 0x0F0F);
    EXPECT_EQ(t.Pixel(3, 2), 0x0F0F);
}

TEST_F(Canvas, PointTests) {
    zt::TestCanvas t(zt::Dense(40, 30));
    CCEDraw& c = t.canvas;
    const int w = 40, h = 30;
    EXPECT_EQ(c.IsPointOutside(w, h), 0);
    EXPECT_EQ(c.IsPointOutside(w + 1, 0), 1);
    EXPECT_EQ(c.IsPointOutside(0, h + 1), 1);
    EXPECT_EQ(c.IsPointOutside(-1, 0), 1);
    EXPECT_EQ(c.IsPointOutside(0, 0), 0);

    tagPOINT p1[] = {{-5, 10}};
    tagPOINT p2[] = {{-5, -1}};
    tagPOINT p3[] = {{w, h}};
    tagPOINT p4[] = {{5, 5}, {w + 3, 2}, {-1, h + 9}};
    EXPECT_EQ(AllInside(c, p1, 1), 1);
    EXPECT_EQ(AllInside(c, p2, 1), 0);
    EXPECT_EQ(AllInside(c, p3, 1), 0);
    EXPECT_EQ(AllInside(c, p4, 3), 1);
    EXPECT_EQ(AllInside(c, nullptr, 3), 0);
    EXPECT_EQ(AllInside(c, p2, 0), 1);

    tagPOINT q[] = {{w, 0}, {0, h}, {w - 1, h - 1}};
    EXPECT_EQ(AllOutside(c, q, 2), 1);
    EXPECT_EQ(AllOutside(c, q, 3), 0);
    EXPECT_EQ(AllOutside(c, nullptr, 2), 0);
    EXPECT_EQ(AllOutside(c, q, -4), 1);
}

TEST_F(Canvas, PensAndBrushesKeepTheirTags) {
    CCEPen pen;
    EXPECT_EQ(pen.m_dwType, 10000u);
    EXPECT_EQ(pen.m_uWidth, 1u);
    pen.m_dwType = 7;
    pen.CreatePen(2, 5, 0x1234);
    EXPECT_EQ(pen.m_dwType, 7u); // CreatePen leaves the tag alone
    CCEBrush brush(3, 0xF800, -9);
    brush.m_dwType = 7;
    brush.CreateBrush(1, 0x07E0, 4);
    EXPECT_EQ(brush.m_dwType, 10001u); // CreateBrush writes it again
    CCEPen copy(9, 9, 9);
    copy = CCEPen(1, 2, 3);
    EXPECT_EQ(copy.m_wColor, 3);
    EXPECT_EQ(CCEGDIObject().m_dwType, 0u);
}

TEST_F(Canvas, SelectingObjects) {
    CCEDraw c;
    CCEPen pen;
    CCEBrush brush, brush2;
    CCEGDIObject plain;
    EXPECT_EQ(c.SetGDIObject(&pen), nullptr);
    EXPECT_EQ(c.SetGDIObject(&brush), nullptr); // the pen stays
    EXPECT_EQ(c.GetGDIObject(10000), &pen);
    EXPECT_EQ(c.SetGDIObject(&brush2), &brush);
    EXPECT_EQ(c.GetGDIObject(10001), &brush2);
    EXPECT_EQ(c.GetGDIObject(5), nullptr);
    // A plain object is neither: nothing changes.
    EXPECT_EQ(c.SetGDIObject(&plain), nullptr);
    EXPECT_EQ(c.m_pPen, &pen);
    EXPECT_EQ(c.m_pBrush, &brush2);
    EXPECT_EQ(c.GetLastError(), 0u);
    EXPECT_EQ(c.SetGDIObject(nullptr), nullptr);
    EXPECT_EQ(c.GetLastError(), 113u);
    EXPECT_EQ(c.m_pPen, &pen);
}

TEST_F(Canvas, TestPointReadsPatternBitsMostSignificantFirst) {
    ProbeDraw c;
    const struct {
        unsigned pattern;
        int position, bit;
    } cases[] = {{0x80, 1, 1}, {0x01, 8, 1}, {0xFF, 9, 0},   {0xFF, 0, 0},
                 {0x40, 2, 1}, {0x40, 3, 0}, {0x80, 257, 1}, {0xFF, INT32_MIN, 0}};
    for (const auto& k : cases)
        EXPECT_EQ(c.TestPoint(k.pattern, k.position), k.bit);
}
