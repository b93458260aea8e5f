// Canvas basics: colours, clears, pen selection, pixels, the corner test.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

TEST(Canvas, ColourMembersAndClears) {
    zt::TestCanvas t(zt::NegativeXPitch(20, 30));
    CCEDraw& c = t.canvas;
    // Bits above the colour word (a 64-bit unsigned long has them) are dropped.
    unsigned char bgr[3] = {0x40, 0x80, 0xFF};
    EXPECT_EQ(zt::Values(c.ConvertColor(0x00FF8040ul), c.ConvertColor(255, 128, 64),
                         c.ConvertColor(static_cast<unsigned long>(0x1234567800FF8040ull)),
                         c.GetBitmapPointColor(bgr)),
              zt::Values(0xFC08, 0xFC08, 0xFC08, 0xFC08));
    // The byte clear takes the low byte only; a pen clear needs a pen, given
    // or selected (error 114 and nothing changed without one).
    for (auto [value, pixel] :
         {std::pair{0x00FF0000ul, 0}, {0x12ul, 0x1212}, {0x7FFFFFFFul, 0xFFFF}}) {
        EXPECT_EQ(c.Clear(value), 1);
        EXPECT_EQ(t.Snapshot(), std::vector<uint16_t>(600, uint16_t(pixel)));
    }
    EXPECT_EQ(c.Clear(static_cast<CCEPen*>(nullptr)), 0);
    EXPECT_EQ(t.Snapshot(), std::vector<uint16_t>(600, 0xFFFF));
    CCEPen selected(0, 1, 0x1234), given(0, 1, 0xBEEF);
    c.SetGDIObject(&selected);
    EXPECT_EQ(c.Clear(static_cast<CCEPen*>(nullptr)), 1);
    EXPECT_EQ(t.Snapshot(), std::vector<uint16_t>(600, 0x1234));
    EXPECT_EQ(c.Clear(&given), 1);
    EXPECT_EQ(t.Snapshot(), std::vector<uint16_t>(600, 0xBEEF));
    EXPECT_EQ(c.GetLastError(), 114u);
    // A pen or brush replaces one of its kind (the lines and fills show
    // which is used); a null object sets error 113.
    EXPECT_EQ(c.SetGDIObject(&given), &selected);
    EXPECT_EQ(c.SetGDIObject(nullptr), nullptr);
    EXPECT_EQ(c.GetLastError(), 113u);
}

TEST(Canvas, PixelAndPointTests) {
    zt::TestCanvas t(zt::Dense(40, 30));
    CCEDraw& c = t.canvas;
    c.Clear(0ul);
    // Coordinates read as signed 32-bit values: 2^32 - 1 and 2^31 are
    // negative, 2^32 + 3 is 3.
    for (unsigned long x : {40ul, 0xFFFFFFFFul, 0x80000000ul, static_cast<unsigned long>(-1)})
        c.DrawPixel(x, 0, 0xFFFF);
    c.DrawPixel(0, 30, 0xFFFF);
    c.DrawPixel(39, 29, 0xF00D);
    c.DrawPixel(static_cast<unsigned long>(0x100000003ull), 2, 0x0F0F);
    EXPECT_EQ(t.Painted(), (zt::Pixels{{39, 29}, {3, 2}}));
    EXPECT_EQ(t.Pixel(3, 2), 0x0F0F);
    // The corner test lets the far corner (w, h) in.
    EXPECT_EQ(zt::Values(c.IsPointOutside(40, 30), c.IsPointOutside(41, 0), c.IsPointOutside(0, 31),
                         c.IsPointOutside(-1, 0)),
              zt::Values(0, 1, 1, 1));
}

// The protected point helpers, through a derived canvas as an application
// reaches them.
TEST(Canvas, ProtectedPointHelpers) {
    struct Probe : CCEDraw {
        using CCEDraw::IsAllPointInside;
        using CCEDraw::IsAllPointOutside;
        using CCEDraw::TestPoint;
    };
    zt::TestCanvas t(zt::Dense(40, 30));
    Probe p;
    ASSERT_EQ(p.Create(t.window, 1), 1);
    // Inside unless a point lies beyond the canvas on both axes at once.
    tagPOINT points[] = {{-5, 10}, {50, 5}, {39, 29}, {-5, -1}, {40, 30}};
    EXPECT_EQ(zt::Values(p.IsAllPointInside(points, 3), p.IsAllPointInside(points, 4),
                         p.IsAllPointInside(points + 4, 1), p.IsAllPointInside(points, 0),
                         p.IsAllPointInside(nullptr, 1)),
              zt::Values(1, 0, 0, 1, 0));
    tagPOINT far[] = {{40, 0}, {0, 30}, {39, 29}};
    EXPECT_EQ(zt::Values(p.IsAllPointOutside(far, 2), p.IsAllPointOutside(far, 3)),
              zt::Values(1, 0));
    // Positions 1 to 8 read bits 7 down to 0; every other position, taken
    // modulo 256, reads nothing.
    for (unsigned pattern : {0x80u, 0x01u, 0xA5u, 0x1FFu})
        for (int position = -600; position <= 600; ++position) {
            const int s = ((position - 1) % 256 + 256) % 256;
            const int expected = s < 8 ? int(pattern >> (7 - s) & 1) : 0;
            ASSERT_EQ(p.TestPoint(pattern, position), expected) << pattern << " " << position;
        }
    p.Release();
}
