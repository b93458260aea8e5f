// Filled polygons: worked values (the square, the pentagram's hole, the
// apex pair, the float truncation and visibility test), refused input, and
// a seeded comparison with a per-pixel even-odd crossing test on random,
// self-intersecting polygons over canvases of every layout.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

class Polygon : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

Pixels Painted(const zt::TestCanvas& t) {
    Pixels out;
    for (int y = 0; y < t.Height(); ++y)
        for (int x = 0; x < t.Width(); ++x)
            if (t.Pixel(x, y) != 0) out.insert({x, y});
    return out;
}

Pixels Box(int x0, int y0, int x1, int y1) { // columns x0..x1 - 1, rows y0..y1 - 1
    Pixels out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            out.insert({x, y});
    return out;
}

struct P {
    int64_t x, y;
};

int64_t CeilDiv(int64_t num, int64_t den) { // den > 0
    return num >= 0 ? (num + den - 1) / den : -((-num) / den);
}

// The crossing rule, one row at a time. A side from (x0, y0) at the top to
// (x1, y1) at the bottom crosses the rows y0 <= y < y1 at x0 + (y - y0) *
// (x1 - x0) / (y1 - y0) rounded up. A column is painted when an odd number
// of crossings lie at or left of it; the sorted crossings taken in pairs
// that share one x also paint that x and the column before it.
void RefFill(zt::RefImage& img, const std::vector<P>& v, uint16_t colour) {
    for (int y = 0; y < img.height; ++y) {
        std::vector<int64_t> xs;
        for (size_t i = 0; i < v.size(); ++i) {
            P a = v[(i + v.size() - 1) % v.size()], b = v[i];
            if (a.y == b.y) continue;
            if (a.y > b.y) std::swap(a, b);
            if (y < a.y || y >= b.y) continue;
            xs.push_back(a.x + CeilDiv((y - a.y) * (b.x - a.x), b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (int x = 0; x < img.width; ++x) {
            const auto atOrLeft = std::upper_bound(xs.begin(), xs.end(), int64_t(x)) - xs.begin();
            if (atOrLeft % 2) img.Put(x, y, colour);
        }
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
            if (xs[i] == xs[i + 1]) img.Put(xs[i] - 1, y, colour), img.Put(xs[i], y, colour);
    }
}

bool AnyOnCanvas(const std::vector<P>& v, int w, int h) {
    for (const P& p : v)
        if (p.x >= 0 && p.y >= 0 && p.x < w && p.y < h) return true;
    return false;
}

// Layouts a device may report, picked by n.
zorva::VirtualDisplayConfig Layout(int n, int w, int h) {
    switch (n % 4) {
    case 0:
        return zt::Dense(w, h);
    case 1:
        return zt::Padded(w, h, 2 + 2 * (n % 5));
    case 2:
        return zt::NegativeXPitch(w, h);
    default: {
        zorva::VirtualDisplayConfig c = zt::Dense(w, h);
        c.yPitch = -2 * w;
        return c;
    }
    }
}

} // namespace

TEST_F(Polygon, SquareFillsItsInteriorInEitherOrientation) {
    zt::TestCanvas t(zt::Dense(40, 30));
    CCEBrush brush(0, 0x0841, 0);
    t.canvas.SetGDIObject(&brush);
    tagPOINT square[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
    tagPOINT reversed[] = {{10, 20}, {20, 20}, {20, 10}, {10, 10}};
    for (tagPOINT* pts : {square, reversed}) {
        t.canvas.Clear(0ul);
        EXPECT_EQ(t.canvas.FillPolygon(pts, 4, 0, 0), 1);
        EXPECT_EQ(Painted(t), Box(10, 10, 20, 20)); // 100 pixels, not row or column 20
        EXPECT_EQ(t.Pixel(15, 15), 0x0841);
    }
    // Moved by the offsets.
    t.canvas.Clear(0ul);
    EXPECT_EQ(t.canvas.FillPolygon(square, 4, -7, 5), 1);
    EXPECT_EQ(Painted(t), Box(3, 15, 13, 25));
}

TEST_F(Polygon, EvenOddLeavesThePentagramsCentre) {
    zt::TestCanvas t(zt::Dense(100, 100));
    CCEBrush brush(0, 0x07E0, 0);
    t.canvas.SetGDIObject(&brush);
    t.canvas.Clear(0ul);
    tagPOINT star[5];
    for (int k = 0; k < 5; ++k) { // every second corner of a regular pentagon
        const double a = (-90.0 + 144.0 * k) * M_PI / 180.0;
        star[k] = {int32_t(std::lround(50 + 45 * std::cos(a))),
                   int32_t(std::lround(50 + 45 * std::sin(a)))};
    }
    EXPECT_EQ(t.canvas.FillPolygon(star, 5, 0, 0), 1);
    EXPECT_EQ(t.Pixel(50, 50), 0);      // the central pentagon
    EXPECT_EQ(t.Pixel(50, 45), 0);      //
    EXPECT_EQ(t.Pixel(50, 15), 0x07E0); // the top point
    EXPECT_EQ(t.Pixel(16, 39), 0x07E0); // the left point
    EXPECT_EQ(t.Pixel(30, 80), 0x07E0); // a bottom point
    EXPECT_EQ(t.Pixel(50, 85), 0);      // between the bottom points
    zt::RefImage ref(100, 100, std::vector<uint16_t>(100 * 100, 0));
    std::vector<P> v;
    for (const tagPOINT& p : star)
        v.push_back({p.x, p.y});
    RefFill(ref, v, 0x07E0);
    EXPECT_EQ(zt::Compare(ref, t.Snapshot()).count, 0u);
}

TEST_F(Polygon, SharedCrossingsPaintTwoPixels) {
    zt::TestCanvas t(zt::Dense(30, 30));
    CCEBrush brush(0, 0x001F, 0);
    t.canvas.SetGDIObject(&brush);
    t.canvas.Clear(0ul);
    // Pointing up: on the apex row both sides are at x = 10.
    tagPOINT tri[] = {{10, 5}, {16, 17}, {4, 17}};
    EXPECT_EQ(t.canvas.FillPolygon(tri, 3, 0, 0), 1);
    Pixels row5;
    for (const auto& p : Painted(t))
        if (p.second == 5) row5.insert(p);
    EXPECT_EQ(row5, (Pixels{{9, 5}, {10, 5}}));
    EXPECT_EQ(t.Pixel(10, 16), 0x001F);
    EXPECT_EQ(t.Pixel(10, 17), 0); // the bottom row is not scanned

    // Where two sides cross: an hourglass whose sides meet at (10, 10).
    t.canvas.Clear(0ul);
    tagPOINT hourglass[] = {{0, 0}, {20, 0}, {0, 20}, {20, 20}};
    t.canvas.FillPolygon(hourglass, 4, 0, 0);
    for (int y : {9, 10, 11}) {
        Pixels row;
        for (const auto& p : Painted(t))
            if (p.second == y) row.insert(p);
        EXPECT_EQ(row, (Pixels{{9, y}, {10, y}})) << "row " << y;
    }
}

TEST_F(Polygon, BrushColourMinusOneIsThePen) {
    zt::TestCanvas t(zt::Dense(20, 20));
    CCEBrush brush(0, 0xFFFF, 0);
    t.canvas.SetGDIObject(&brush);
    tagPOINT square[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    t.canvas.Clear(0ul);
    t.canvas.FillPolygon(square, 4, 0, 0);
    EXPECT_EQ(t.Pixel(3, 3), 0xFFFF);
    CCEPen pen(0, 1, 0xA5A5);
    t.canvas.SetGDIObject(&pen);
    t.canvas.FillPolygon(square, 4, 0, 0);
    EXPECT_EQ(t.Pixel(3, 3), 0xA5A5);
    EXPECT_EQ(Painted(t), Box(2, 2, 6, 6));
}

TEST_F(Polygon, NothingIsDrawnForRefusedOrInvisiblePolygons) {
    zt::TestCanvas t(zt::Dense(20, 20));
    t.canvas.Clear(0ul);
    tagPOINT square[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    tagFLOATPOINT fsquare[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    // No brush: nothing drawn, nothing allocated; a null array is still 0.
    const long before = zorva::AllocationCount();
    EXPECT_EQ(t.canvas.FillPolygon(square, 4, 0, 0), 1);
    EXPECT_EQ(t.canvas.FillPolygon(fsquare, 4, 0, 0), 1);
    EXPECT_EQ(zorva::AllocationCount(), before);
    EXPECT_EQ(t.canvas.FillPolygon(static_cast<tagPOINT*>(nullptr), 4, 0, 0), 0);

    CCEBrush brush(0, 0x1234, 0);
    t.canvas.SetGDIObject(&brush);
    EXPECT_EQ(t.canvas.FillPolygon(static_cast<tagPOINT*>(nullptr), 4, 0, 0), 0);
    EXPECT_EQ(t.canvas.FillPolygon(static_cast<tagFLOATPOINT*>(nullptr), 4, 0, 0), 0);
    EXPECT_EQ(t.canvas.FillPolygon(square, 0, 0, 0), 1);
    EXPECT_EQ(t.canvas.FillPolygon(square, -3, 0, 0), 1);
    EXPECT_EQ(t.canvas.FillPolygon(square, 2, 0, 0), 1);
    EXPECT_EQ(t.canvas.FillPolygon(fsquare, 2, 0, 0), 1);
    tagPOINT flat[] = {{1, 4}, {9, 4}, {15, 4}, {3, 4}};
    EXPECT_EQ(t.canvas.FillPolygon(flat, 4, 0, 0), 1);
    // Every vertex off the canvas, the interior covering it.
    tagPOINT around[] = {{-50, -50}, {80, -40}, {10, 90}};
    EXPECT_EQ(t.canvas.FillPolygon(around, 3, 0, 0), 1);
    // A vertex on the far edge is off the canvas.
    tagPOINT edge[] = {{20, 5}, {40, -5}, {40, 15}};
    EXPECT_EQ(t.canvas.FillPolygon(edge, 3, -10, 0), 1); // moved: on the canvas
    EXPECT_FALSE(Painted(t).empty());
    t.canvas.Clear(0ul);
    EXPECT_EQ(t.canvas.FillPolygon(edge, 3, 0, 0), 1);
    EXPECT_TRUE(Painted(t).empty());

    // One allocation per call; when it fails, 0 and nothing drawn.
    const long start = zorva::AllocationCount();
    EXPECT_EQ(t.canvas.FillPolygon(square, 4, 0, 0), 1);
    EXPECT_EQ(zorva::AllocationCount(), start + 1);
    t.canvas.Clear(0ul);
    zorva::FailAllocation(1);
    EXPECT_EQ(t.canvas.FillPolygon(square, 4, 0, 0), 0);
    zorva::FailAllocation(1);
    EXPECT_EQ(t.canvas.FillPolygon(fsquare, 4, 0, 0), 0);
    EXPECT_TRUE(Painted(t).empty());
    EXPECT_EQ(t.canvas.GetLastError(), 0u);

    // Records for a count whose byte size leaves 32 bits are refused before
    // any vertex past the first visible one is read.
    EXPECT_EQ(t.canvas.FillPolygon(square, 100000000, 0, 0), 0);
    EXPECT_EQ(t.canvas.FillPolygon(fsquare, 100000000, 0, 0), 0);
    EXPECT_TRUE(Painted(t).empty());
}

TEST_F(Polygon, OffsetsCountInTheVisibilityTest) {
    zt::TestCanvas t(zt::Dense(30, 30));
    CCEBrush brush(0, 0x0F0F, 0);
    t.canvas.SetGDIObject(&brush);
    tagPOINT tri[] = {{-20, -20}, {-5, -20}, {-20, -5}};
    tagFLOATPOINT ftri[] = {{-20, -20}, {-5, -20}, {-20, -5}};
    t.canvas.Clear(0ul);
    EXPECT_EQ(t.canvas.FillPolygon(tri, 3, 0, 0), 1);
    EXPECT_EQ(t.canvas.FillPolygon(ftri, 3, 0, 0), 1);
    EXPECT_TRUE(Painted(t).empty());
    EXPECT_EQ(t.canvas.FillPolygon(tri, 3, 21, 21), 1);
    const Pixels drawn = Painted(t);
    EXPECT_EQ(drawn.count({1, 1}), 1u);
    t.canvas.Clear(0ul);
    EXPECT_EQ(t.canvas.FillPolygon(ftri, 3, 21, 21), 1);
    EXPECT_EQ(Painted(t), drawn);
}

TEST_F(Polygon, FloatVerticesAreTruncatedAfterTheTest) {
    zt::TestCanvas t(zt::Dense(20, 12));
    CCEBrush brush(0, 0x3333, 0);
    t.canvas.SetGDIObject(&brush);
    t.canvas.Clear(0ul);
    tagFLOATPOINT rect[] = {{2.5f, 2.0f}, {9.9f, 2.0f}, {9.9f, 8.7f}, {2.5f, 8.7f}};
    EXPECT_EQ(t.canvas.FillPolygon(rect, 4, 0, 0), 1);
    EXPECT_EQ(Painted(t), Box(2, 2, 9, 8)); // 9.9 becomes column 9, excluded

    t.canvas.Clear(0ul);
    tagFLOATPOINT left[] = {{-0.9f, 1.0f}, {5.0f, 1.0f}, {5.0f, 4.0f}, {-0.9f, 4.0f}};
    EXPECT_EQ(t.canvas.FillPolygon(left, 4, 0, 0), 1);
    EXPECT_EQ(Painted(t), Box(0, 1, 5, 4)); // -0.9 becomes 0

    // -0.5 is off the canvas in the test, though it truncates to 0.
    t.canvas.Clear(0ul);
    tagFLOATPOINT half[] = {{-0.5f, 3.0f}, {30.0f, -10.0f}, {30.0f, 20.0f}};
    EXPECT_EQ(t.canvas.FillPolygon(half, 3, 0, 0), 1);
    EXPECT_TRUE(Painted(t).empty());
    tagPOINT same[] = {{0, 3}, {30, -10}, {30, 20}};
    t.canvas.FillPolygon(same, 3, 0, 0);
    const Pixels expected = Painted(t);
    EXPECT_FALSE(expected.empty());
    t.canvas.Clear(0ul);
    half[0].x = 0.0f;
    EXPECT_EQ(t.canvas.FillPolygon(half, 3, 0, 0), 1);
    EXPECT_EQ(Painted(t), expected);

    // The sum is tested in single precision: 19.9 + 0 is on a 20-wide canvas,
    // 0.5 - 1 is not.
    t.canvas.Clear(0ul);
    tagFLOATPOINT right[] = {{19.9f, 5.0f}, {40.0f, 0.0f}, {40.0f, 10.0f}};
    EXPECT_EQ(t.canvas.FillPolygon(right, 3, 0, 0), 1);
    EXPECT_FALSE(Painted(t).empty());
    t.canvas.Clear(0ul);
    tagFLOATPOINT shifted[] = {{0.5f, 5.0f}, {-30.0f, 0.0f}, {-30.0f, 10.0f}};
    EXPECT_EQ(t.canvas.FillPolygon(shifted, 3, -1, 0), 1);
    EXPECT_TRUE(Painted(t).empty());

    // Values no integer holds saturate; NaN becomes 0. Nothing is read or
    // written outside the canvas.
    t.canvas.Clear(0ul);
    tagFLOATPOINT wild[] = {{5.0f, 5.0f}, {1e30f, 5.0f}, {NAN, 1e30f}, {-INFINITY, 8.0f}};
    EXPECT_EQ(t.canvas.FillPolygon(wild, 4, 0, 0), 1);
    EXPECT_EQ(t.Pixel(10, 6), 0x3333);
}

TEST_F(Polygon, VerticesFarOutsideCostOnlyTheVisibleRows) {
    zt::TestCanvas t(zt::Dense(40, 30));
    CCEBrush brush(0, 0x7777, 0);
    t.canvas.SetGDIObject(&brush);
    // Sides two billion rows long each way, and a vertex moved past the
    // 32-bit range by its offset: the fill stays exact and quick.
    t.canvas.Clear(0ul);
    tagPOINT tall[] = {{2, INT32_MIN}, {8, INT32_MIN}, {8, 1006}, {2, 1006}};
    EXPECT_EQ(t.canvas.FillPolygon(tall, 4, 0, -1000), 1);
    EXPECT_EQ(Painted(t), Box(2, 0, 8, 6));

    t.canvas.Clear(0ul);
    tagPOINT corner[] = {{5, 5}, {INT32_MAX, 5}, {5, INT32_MAX}};
    EXPECT_EQ(t.canvas.FillPolygon(corner, 3, 0, 0), 1);
    EXPECT_EQ(Painted(t), Box(5, 5, 40, 30));

    // A slanted side that starts far above: x on row 0 is its exact
    // crossing, found without stepping the rows above.
    t.canvas.Clear(0ul);
    tagPOINT lean[] = {{0, -2000000000}, {10, 20}, {0, 20}};
    EXPECT_EQ(t.canvas.FillPolygon(lean, 3, 3, 0), 1);
    zt::RefImage ref(40, 30, std::vector<uint16_t>(40 * 30, 0));
    RefFill(ref, {{3, -2000000000}, {13, 20}, {3, 20}}, 0x7777);
    EXPECT_EQ(zt::Compare(ref, t.Snapshot()).count, 0u);
    EXPECT_EQ(t.Pixel(12, 19), 0x7777);
}

TEST_F(Polygon, RandomPolygonsMatchTheCrossingRule) {
    std::mt19937 rng(9001);
    for (int round = 0; round < 160; ++round) {
        const int w = 1 + int(rng() % 60), h = 1 + int(rng() % 60);
        zt::TestCanvas t(Layout(round, w, h));
        const int cw = t.Width(), ch = t.Height();
        t.FillRandom(rng);
        zt::RefImage ref(cw, ch, t.Snapshot());
        CCEBrush brush;
        t.canvas.SetGDIObject(&brush);
        CCEPen pen(0, 1, 0x5555);
        if (round % 5 == 0) t.canvas.SetGDIObject(&pen);
        for (int op = 0; op < 12; ++op) {
            const uint16_t colour = rng() % 10 ? uint16_t(rng()) : 0xFFFF;
            brush.CreateBrush(0, colour, 0);
            const uint16_t painted = colour == 0xFFFF && round % 5 == 0 ? pen.m_wColor : colour;
            const int n = 3 + int(rng() % 10);
            const bool far = rng() % 6 == 0;
            auto coord = [&](int size) -> int64_t {
                if (far && rng() % 3 == 0) return int64_t(rng() % (1u << 30)) - (int64_t(1) << 29);
                return int64_t(rng() % uint32_t(2 * size + 20)) - size / 2 - 10;
            };
            std::vector<tagPOINT> pts(static_cast<size_t>(n));
            for (tagPOINT& p : pts)
                p = {int32_t(coord(cw)), int32_t(coord(ch))};
            const int xOff = rng() % 4 ? 0 : int(rng() % 21) - 10;
            const int yOff = rng() % 4 ? 0 : int(rng() % 21) - 10;
            ASSERT_EQ(t.canvas.FillPolygon(pts.data(), n, xOff, yOff), 1);
            std::vector<P> moved;
            for (const tagPOINT& p : pts)
                moved.push_back({int64_t(p.x) + xOff, int64_t(p.y) + yOff});
            if (AnyOnCanvas(moved, cw, ch)) RefFill(ref, moved, painted);
        }
        const zt::Difference d = zt::Compare(ref, t.Snapshot());
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}

TEST_F(Polygon, RandomFloatPolygonsMatchTheirTruncatedVertices) {
    std::mt19937 rng(404);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int round = 0; round < 80; ++round) {
        const int w = 1 + int(rng() % 50), h = 1 + int(rng() % 50);
        zt::TestCanvas t(Layout(round + 1, w, h));
        const int cw = t.Width(), ch = t.Height();
        t.FillRandom(rng);
        zt::RefImage ref(cw, ch, t.Snapshot());
        CCEBrush brush;
        t.canvas.SetGDIObject(&brush);
        for (int op = 0; op < 12; ++op) {
            const uint16_t colour = uint16_t(rng() % 0xFFFF);
            brush.CreateBrush(0, colour, 0);
            const int n = 3 + int(rng() % 8);
            std::vector<tagFLOATPOINT> pts(static_cast<size_t>(n));
            for (tagFLOATPOINT& p : pts)
                p = {unit(rng) * float(2 * cw + 4) - float(cw / 2 + 2),
                     unit(rng) * float(2 * ch + 4) - float(ch / 2 + 2)};
            const int xOff = int(rng() % 7) - 3, yOff = int(rng() % 7) - 3;
            ASSERT_EQ(t.canvas.FillPolygon(pts.data(), n, xOff, yOff), 1);
            bool visible = false;
            std::vector<P> moved;
            for (const tagFLOATPOINT& p : pts) {
                const float x = p.x + float(xOff), y = p.y + float(yOff);
                visible |= x >= 0.0f && y >= 0.0f && x < float(cw) && y < float(ch);
                moved.push_back({int64_t(std::trunc(x)), int64_t(std::trunc(y))});
            }
            if (visible) RefFill(ref, moved, colour);
        }
        const zt::Difference d = zt::Compare(ref, t.Snapshot());
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}
