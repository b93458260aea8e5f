// Spans, Bresenham lines, outlines, polylines and polygons on the canvas,
// with worked values and a seeded comparison against pixel-at-a-time
// references on canvases of random size and layout.
#include "core/Raster.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

class Lines : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// Coordinates of every pixel that is not 0.
Pixels Painted(const zt::TestCanvas& t) {
    Pixels out;
    for (int y = 0; y < t.Height(); ++y)
        for (int x = 0; x < t.Width(); ++x)
            if (t.Pixel(x, y) != 0) out.insert({x, y});
    return out;
}

// One of the layouts a device may report, picked by n.
zorva::VirtualDisplayConfig Layout(int n, int w, int h) {
    switch (n % 4) {
    case 0:
        return zt::Dense(w, h);
    case 1:
        return zt::Padded(w, h, 2 * (n % 7));
    case 2:
        return zt::NegativeXPitch(w, h);
    default: {
        zorva::VirtualDisplayConfig c = zt::Dense(w, h);
        c.yPitch = -2 * w;
        return c;
    }
    }
}

// A coordinate near the canvas, now and then far outside it.
int64_t Coord(std::mt19937& rng, int size) {
    switch (rng() % 8) {
    case 0:
        return int64_t(rng()) - (int64_t(1) << 31);
    case 1:
        return -int64_t(rng() % 3000);
    case 2:
        return size + int64_t(rng() % 3000);
    default:
        return int64_t(rng() % uint32_t(size + 20)) - 10;
    }
}

} // namespace

TEST_F(Lines, SpansWorkedValues) {
    zt::TestCanvas t(zt::Dense(30, 20));
    CCEDraw& c = t.canvas;
    c.Clear(0ul);
    EXPECT_EQ(c.DrawHLine(5, 7, 5, 7, 0x0101), 1);
    EXPECT_EQ(Painted(t), (Pixels{{5, 7}}));

    c.Clear(0ul);
    c.DrawHLine(10, 3, 2, 3, 0x0101);
    Pixels row;
    for (int x = 2; x <= 10; ++x)
        row.insert({x, 3});
    EXPECT_EQ(Painted(t), row);

    c.Clear(0ul);
    c.DrawHLine(-20, 0, 30 + 20, 0, 0x0101);
    EXPECT_EQ(Painted(t).size(), 30u);
    EXPECT_EQ(t.Pixel(29, 0), 0x0101);

    c.Clear(0ul);
    EXPECT_EQ(c.DrawHLine(0, 4, 9, 5, 0x0101), 1);
    EXPECT_EQ(c.DrawVLine(3, 0, 4, 9, 0x0101), 1);
    c.DrawHLine(-5, 2, -1, 2, 0x0101);
    c.DrawHLine(30, 2, 99, 2, 0x0101);
    c.DrawVLine(3, 20, 3, 40, 0x0101);
    EXPECT_TRUE(Painted(t).empty());

    c.DrawVLine(3, 25, 3, -5, 0x0101);
    EXPECT_EQ(Painted(t).size(), 20u);
}

TEST_F(Lines, SpanColourMinusOneIsThePen) {
    zt::TestCanvas t(zt::Dense(8, 8));
    CCEDraw& c = t.canvas;
    c.Clear(0ul);
    c.DrawVLine(3, 0, 3, 0, -1);
    EXPECT_EQ(t.Pixel(3, 0), 0xFFFF);
    CCEPen red(0, 1, 0xF800);
    c.SetGDIObject(&red);
    c.DrawVLine(3, 0, 3, 0, -1);
    EXPECT_EQ(t.Pixel(3, 0), 0xF800);
    c.DrawHLine(0, 1, 0, 1, short(0x07E0));
    EXPECT_EQ(t.Pixel(0, 1), 0x07E0);
}

TEST_F(Lines, BresenhamWorkedValues) {
    zt::TestCanvas t(zt::Dense(30, 20));
    CCEDraw& c = t.canvas;
    CCEPen pen(0, 5, 0x1111); // the width is stored, never used
    c.SetGDIObject(&pen);
    c.Clear(0ul);
    c.DrawLine(0, 0, 4, 2);
    EXPECT_EQ(Painted(t), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    c.Clear(0ul);
    c.DrawLine(4, 2, 0, 0);
    EXPECT_EQ(Painted(t), (Pixels{{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}));

    c.Clear(0ul);
    c.DrawLine(-10, 5, 30 + 10, 5); // both ends outside: rejected
    EXPECT_TRUE(Painted(t).empty());

    c.Clear(0ul);
    c.DrawLine(30, 20, 30 - 5, 20 - 5); // far corner counts as inside
    EXPECT_EQ(Painted(t), (Pixels{{29, 19}, {28, 18}, {27, 17}, {26, 16}, {25, 15}}));

    tagPOINT a{1, 2}, b{1, 6};
    c.Clear(0ul);
    EXPECT_EQ(c.DrawLine(a, b), 1);
    EXPECT_EQ(Painted(t).size(), 5u);
}

TEST_F(Lines, WithoutPenLinesDrawNothing) {
    zt::TestCanvas t(zt::Dense(10, 10));
    CCEDraw& c = t.canvas;
    c.Clear(0ul);
    tagPOINT pts[] = {{1, 1}, {8, 1}, {1, 8}};
    EXPECT_EQ(c.DrawLine(0, 0, 9, 9), 1);
    EXPECT_EQ(c.DrawPolyline(pts, 3), 1);
    EXPECT_EQ(c.DrawPolygon(pts, 3), 1);
    EXPECT_TRUE(Painted(t).empty());
    // Outlines use the span rule instead: white without a pen.
    c.DrawRect(2, 2, 6, 5);
    EXPECT_EQ(t.Pixel(2, 2), 0xFFFF);
}

TEST_F(Lines, Outlines) {
    zt::TestCanvas t(zt::Dense(20, 20));
    CCEDraw& c = t.canvas;
    CCEPen pen(0, 1, 0x00F0);
    c.SetGDIObject(&pen);
    c.Clear(0ul);
    c.DrawRect(6, 5, 2, 2);
    Pixels outline;
    for (int x = 2; x <= 6; ++x)
        outline.insert({x, 2}), outline.insert({x, 5});
    for (int y = 2; y <= 5; ++y)
        outline.insert({2, y}), outline.insert({6, y});
    EXPECT_EQ(Painted(t), outline);

    c.Clear(0ul);
    c.DrawRect(-1, -1, 21, 21); // encloses the canvas, both corners outside
    EXPECT_TRUE(Painted(t).empty());
    tagRECT rc{-3, 4, 19, 20};
    c.DrawRect(rc); // left and bottom edges off the canvas
    Pixels cut;
    for (int x = 0; x <= 19; ++x)
        cut.insert({x, 4});
    for (int y = 4; y < 20; ++y)
        cut.insert({19, y});
    EXPECT_EQ(Painted(t), cut);

    c.Clear(0ul);
    tagPOINT tri[] = {{1, 1}, {8, 1}, {1, 8}};
    EXPECT_EQ(c.DrawPolygon(tri, 3), 1);
    Pixels edges;
    for (int i = 1; i <= 8; ++i)
        edges.insert({i, 1}), edges.insert({1, i});
    for (int i = 0; i <= 7; ++i)
        edges.insert({8 - i, 1 + i});
    EXPECT_EQ(Painted(t), edges);

    c.Clear(0ul);
    tagPOINT one[] = {{4, 4}};
    EXPECT_EQ(c.DrawPolygon(one, 1), 1);
    EXPECT_EQ(Painted(t), (Pixels{{4, 4}}));
    EXPECT_EQ(c.DrawPolygon(nullptr, 3), 0);
    EXPECT_EQ(c.DrawPolygon(one, 0), 1);

    c.Clear(0ul);
    EXPECT_EQ(c.DrawPolyline(tri, 1), 1);
    EXPECT_EQ(c.DrawPolyline(tri, 0), 1);
    EXPECT_EQ(c.DrawPolyline(nullptr, 3), 0);
    EXPECT_TRUE(Painted(t).empty());
    EXPECT_EQ(c.DrawPolyline(tri, 3), 1);
    EXPECT_EQ(Painted(t).count({1, 8}), 1u);
    EXPECT_EQ(Painted(t).count({1, 5}), 0u); // not closed

    // Vertices all outside: not drawn, even where edges cross the canvas.
    c.Clear(0ul);
    tagPOINT around[] = {{-5, -5}, {30, -5}, {30, 30}, {-5, 30}};
    c.DrawPolygon(around, 4);
    tagPOINT across[] = {{-5, 10}, {30, 10}};
    c.DrawPolyline(across, 2);
    EXPECT_TRUE(Painted(t).empty());
}

TEST_F(Lines, RandomSpansAndLinesMatchThePixelRules) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 160; ++round) {
        const int w = 1 + int(rng() % 70), h = 1 + int(rng() % 70);
        zt::TestCanvas t(Layout(round, w, h));
        const int cw = t.Width(), ch = t.Height();
        t.FillRandom(rng);
        zt::RefImage ref(cw, ch, t.Snapshot());
        CCEPen pen;
        t.canvas.SetGDIObject(&pen);
        for (int op = 0; op < 40; ++op) {
            // Colour 0xFFFF in a span stands for the pen's colour.
            const uint16_t colour = rng() % 8 ? uint16_t(rng()) : 0xFFFF;
            pen.CreatePen(0, 1, uint16_t(rng()));
            const uint16_t spanColour = colour == 0xFFFF ? pen.m_wColor : colour;
            const int64_t x1 = Coord(rng, cw), y1 = Coord(rng, ch);
            int64_t x2 = Coord(rng, cw), y2 = Coord(rng, ch);
            switch (rng() % 3) {
            case 0: { // row span
                t.canvas.DrawHLine(long(x1), long(y1), long(x2), long(y1), short(colour));
                for (int64_t x = std::max<int64_t>(0, std::min(x1, x2));
                     x <= std::max(x1, x2) && x < cw; ++x)
                    ref.Put(x, y1, spanColour);
                break;
            }
            case 1: { // column span
                t.canvas.DrawVLine(long(x1), long(y1), long(x1), long(y2), short(colour));
                for (int64_t y = std::max<int64_t>(0, std::min(y1, y2));
                     y <= std::max(y1, y2) && y < ch; ++y)
                    ref.Put(x1, y, spanColour);
                break;
            }
            default: { // line, kept short enough for the reference to walk
                if (rng() % 2) {
                    x2 = x1 + int64_t(rng() % 400) - 200;
                    y2 = y1 + int64_t(rng() % 400) - 200;
                }
                if (std::abs(x2 - x1) > 100000 || std::abs(y2 - y1) > 100000) break;
                t.canvas.DrawLine(long(x1), long(y1), long(x2), long(y2));
                const bool in1 = x1 >= 0 && y1 >= 0 && x1 <= cw && y1 <= ch;
                const bool in2 = x2 >= 0 && y2 >= 0 && x2 <= cw && y2 <= ch;
                if (in1 || in2) zt::RefLine(ref, x1, y1, x2, y2, pen.m_wColor);
            }
            }
        }
        const zt::Difference d = zt::Compare(ref, t.Snapshot());
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}

TEST_F(Lines, ClippedKernelMatchesTheSteppedOneAnywhere) {
    // The kernel that jumps to the visible run against the one that steps
    // through every pixel, on views of every pitch sign, with end points up
    // to a few million pixels away.
    std::mt19937 rng(77);
    for (int round = 0; round < 3000; ++round) {
        const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 40);
        std::vector<uint16_t> a(size_t(w) * h), b(size_t(w) * h);
        auto view = [&](std::vector<uint16_t>& px) {
            zorva::PixelView v = zorva::DenseView(px.data(), w, h);
            if (round % 2) { // rows from the bottom
                v.origin += size_t(h - 1) * w * 2;
                v.yPitch = -v.yPitch;
            }
            if (round % 3 == 0) { // columns from the right
                v.origin += size_t(w - 1) * 2;
                v.xPitch = -2;
            }
            return v;
        };
        const int64_t span = round % 5 == 0 ? 4000000 : 200;
        auto c = [&](int size) {
            return int32_t(int64_t(rng() % uint32_t(2 * span)) - span + size / 2);
        };
        const int32_t x1 = c(w), y1 = c(h), x2 = c(w), y2 = c(h);
        zorva::DrawLineClipped(view(a), x1, y1, x2, y2, 0xFFFF);
        zorva::DrawLineReference(view(b), x1, y1, x2, y2, 0xFFFF);
        ASSERT_EQ(a, b) << x1 << "," << y1 << " -> " << x2 << "," << y2 << " on " << w << "x" << h;
    }
}

TEST_F(Lines, HugeLinesCostOnlyTheirVisiblePixels) {
    zt::TestCanvas t(zt::Dense(64, 48));
    CCEPen pen(0, 1, 0x0001);
    t.canvas.SetGDIObject(&pen);
    t.canvas.Clear(0ul);
    // Two billion steps, 64 of them on the canvas.
    t.canvas.DrawLine(0, 10, 0x7FFFFFFF, 10);
    t.canvas.DrawLine(10, 0, 10 + 1, 0x7FFFFFFF);
    const Pixels p = Painted(t);
    EXPECT_EQ(p.size(), 64u + 48u - 1u);
    EXPECT_EQ(p.count({63, 10}), 1u);
    EXPECT_EQ(p.count({10, 47}), 1u);
}
