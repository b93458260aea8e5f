// Filled polygons: worked values, refused input, and a seeded comparison with
// a per-pixel even-odd crossing test (integer and float vertices).
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using zt::Pixels;

namespace {

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

// The crossing rule, one row at a time. A side from (x0, y0) at the top to
// (x1, y1) at the bottom crosses the rows y0 <= y < y1 at x0 + (y - y0) *
// (x1 - x0) / (y1 - y0) rounded up. A column is painted when an odd number
// of crossings lie at or left of it; sorted crossings taken in pairs that
// share one x also paint that x and the column before it.
void RefFill(zt::RefImage& img, const std::vector<P>& v, uint16_t colour) {
    for (int y = 0; y < img.height; ++y) {
        std::vector<int64_t> xs;
        for (size_t i = 0; i < v.size(); ++i) {
            P a = v[(i + v.size() - 1) % v.size()], b = v[i];
            if (a.y > b.y) std::swap(a, b);
            if (y < a.y || y >= b.y) continue;
            const __int128 num = __int128(y - a.y) * (b.x - a.x), den = b.y - a.y;
            xs.push_back(a.x + int64_t(num >= 0 ? (num + den - 1) / den : -((-num) / den)));
        }
        std::sort(xs.begin(), xs.end());
        for (int x = 0; x < img.width; ++x)
            if ((std::upper_bound(xs.begin(), xs.end(), int64_t(x)) - xs.begin()) % 2)
                img.Put(x, y, colour);
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
            if (xs[i] == xs[i + 1]) img.Put(xs[i] - 1, y, colour), img.Put(xs[i], y, colour);
    }
}

class Polygon : public ::testing::Test {
protected:
    void SetUp() override { canvas.canvas.SetGDIObject(&brush); }
    template <class Point>
    Pixels Fill(std::vector<Point> pts, int xOff = 0, int yOff = 0, long result = 1) {
        canvas.canvas.Clear(0ul);
        EXPECT_EQ(canvas.canvas.FillPolygon(pts.data(), int(pts.size()), xOff, yOff), result);
        return canvas.Painted();
    }
    zt::TestCanvas canvas{zt::Dense(100, 100)};
    CCEBrush brush{0, 0x0841, 0};
};

using F = tagFLOATPOINT;
using I = tagPOINT;

} // namespace

TEST_F(Polygon, WorkedValues) {
    // 100 pixels: not column or row 20; moved by the offsets.
    EXPECT_EQ(Fill<I>({{10, 20}, {20, 20}, {20, 10}, {10, 10}}, -7, 5), Box(3, 15, 13, 25));
    EXPECT_EQ(canvas.Pixel(5, 20), 0x0841);

    // On the apex row both sides cross at x = 10: two pixels. The bottom row
    // is not scanned.
    Pixels apex;
    for (const auto& p : Fill<I>({{10, 5}, {16, 17}, {4, 17}}))
        if (p.second == 5 || p.second == 17) apex.insert(p);
    EXPECT_EQ(apex, (Pixels{{9, 5}, {10, 5}}));

    // A brush colour of 0xFFFF is the pen's colour when a pen is selected.
    brush.CreateBrush(0, 0xFFFF, 0);
    CCEPen pen(0, 1, 0xA5A5);
    canvas.canvas.SetGDIObject(&pen);
    EXPECT_EQ(Fill<I>({{2, 2}, {6, 2}, {6, 6}, {2, 6}}), Box(2, 2, 6, 6));
    EXPECT_EQ(canvas.Pixel(3, 3), 0xA5A5);
}

TEST_F(Polygon, RefusedInputDrawsNothing) {
    const std::vector<I> square = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    const std::vector<F> fsquare = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    EXPECT_EQ(canvas.canvas.FillPolygon(static_cast<I*>(nullptr), 4, 0, 0), 0);
    EXPECT_EQ(canvas.canvas.FillPolygon(static_cast<F*>(nullptr), 4, 0, 0), 0);
    EXPECT_EQ(Fill<I>({{2, 2}, {6, 2}}), Pixels());          // two vertices
    EXPECT_EQ(Fill<I>({{1, 4}, {9, 4}, {15, 4}}), Pixels()); // flat
    EXPECT_EQ(canvas.canvas.FillPolygon(const_cast<I*>(square.data()), -3, 0, 0), 1);
    // One allocation per call; without it, 0 and nothing drawn. A count
    // whose records leave 32 bits is refused the same way.
    const long before = zorva::AllocationCount();
    EXPECT_EQ(Fill(square), Box(2, 2, 6, 6));
    EXPECT_EQ(zorva::AllocationCount(), before + 1);
    zorva::FailAllocation(1);
    EXPECT_EQ(Fill(square, 0, 0, 0), Pixels());
    zorva::FailAllocation(1);
    EXPECT_EQ(Fill(fsquare, 0, 0, 0), Pixels());
    EXPECT_EQ(canvas.canvas.FillPolygon(const_cast<I*>(square.data()), 100000000, 0, 0), 0);
    EXPECT_EQ(canvas.canvas.FillPolygon(const_cast<F*>(fsquare.data()), 100000000, 0, 0), 0);
    EXPECT_EQ(canvas.canvas.GetLastError(), 0u);
    // Without a brush: nothing drawn, nothing allocated.
    canvas.canvas.m_pBrush = nullptr;
    const long start = zorva::AllocationCount();
    EXPECT_EQ(Fill(square), Pixels());
    EXPECT_EQ(Fill(fsquare), Pixels());
    EXPECT_EQ(zorva::AllocationCount(), start);
}

TEST_F(Polygon, RandomPolygonsMatchTheCrossingRule) {
    std::mt19937 rng(9001);
    std::uniform_real_distribution<float> fraction(-1.0f, 1.0f);
    for (int round = 0; round < 200; ++round) {
        const int w = 1 + int(rng() % 60), h = 1 + int(rng() % 60);
        zt::TestCanvas t(zt::Layout(round, w, h));
        const int cw = t.Width(), ch = t.Height();
        t.FillRandom(rng);
        zt::RefImage ref(cw, ch, t.Snapshot());
        CCEBrush brush;
        t.canvas.SetGDIObject(&brush);
        const bool floats = round % 3 == 0;
        // Integers now and then at the ends of their range, moved past it.
        auto coord = [&](int size) -> int32_t {
            if (!floats && rng() % 12 == 0) return rng() % 2 ? INT32_MIN : INT32_MAX;
            return int32_t(rng() % uint32_t(2 * size + 20)) - size / 2 - 10;
        };
        for (int op = 0; op < 12; ++op) {
            const uint16_t colour = uint16_t(rng());
            brush.CreateBrush(0, colour, 0);
            // Now and then hundreds of vertices: many edges cross on a row.
            const int n = op == 5 ? 100 + int(rng() % 400) : 3 + int(rng() % 10);
            const int xOff = rng() % 4 ? 0 : int(rng() % 21) - 10;
            const int yOff = rng() % 4 ? 0 : int(rng() % 21) - 10;
            std::vector<I> ints;
            std::vector<F> fs;
            std::vector<P> moved;
            bool visible = false;
            for (int i = 0; i < n; ++i) {
                ints.push_back({coord(cw), coord(ch)});
                if (floats) { // tested in single precision, then truncated
                    fs.push_back(
                        {float(ints[i].x) + fraction(rng), float(ints[i].y) + fraction(rng)});
                    const float x = fs[i].x + float(xOff), y = fs[i].y + float(yOff);
                    visible |= x >= 0.0f && y >= 0.0f && x < float(cw) && y < float(ch);
                    moved.push_back({int64_t(std::trunc(x)), int64_t(std::trunc(y))});
                } else {
                    moved.push_back({int64_t(ints[i].x) + xOff, int64_t(ints[i].y) + yOff});
                    visible |= ref.Inside(moved[i].x, moved[i].y);
                }
            }
            ASSERT_EQ(floats ? t.canvas.FillPolygon(fs.data(), n, xOff, yOff)
                             : t.canvas.FillPolygon(ints.data(), n, xOff, yOff),
                      1);
            if (visible) RefFill(ref, moved, colour);
        }
        const zt::Difference d = zt::Compare(ref, t.Snapshot());
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}
