// Spans, lines, outlines, polylines, polygons and filled rectangles: worked
// values, and a seeded comparison with pixel-at-a-time references.
#include "core/Raster.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using zt::Pixels;

namespace {

Pixels Span(int x0, int y0, int dx, int dy, int n) {
    Pixels out;
    for (int i = 0; i < n; ++i)
        out.insert({x0 + i * dx, y0 + i * dy});
    return out;
}

Pixels operator+(Pixels a, const Pixels& b) {
    a.insert(b.begin(), b.end());
    return a;
}

} // namespace

TEST(Lines, SpansAndLinesWorkedValues) {
    zt::TestCanvas t(zt::Dense(30, 20));
    CCEDraw& c = t.canvas;
    tagPOINT pts[] = {{1, 1}, {8, 1}, {1, 8}};
    auto drawn = [&](auto draw) {
        c.Clear(0ul);
        draw();
        return t.Painted();
    };
    // Spans and lines: the random comparison; here colour -1 without a pen
    // (white), ends off one row or column, no pen, far ends.
    EXPECT_EQ(drawn([&] { c.DrawHLine(10, 3, 2, 3, -1); }), Span(2, 3, 1, 0, 9));
    EXPECT_EQ(t.Pixel(2, 3), 0xFFFF);
    EXPECT_EQ(drawn([&] {
                  c.DrawHLine(0, 4, 9, 5, 7); // not one row
                  c.DrawVLine(3, 0, 4, 9, 7); // not one column
                  // Without a pen lines draw nothing.
                  EXPECT_EQ(c.DrawLine(0, 0, 9, 9), 1);
                  EXPECT_EQ(c.DrawPolyline(pts, 3), 1);
                  EXPECT_EQ(c.DrawPolygon(pts, 3), 1);
              }),
              Pixels());
    CCEPen pen(0, 5, 0x1111); // the width is stored, never used
    c.SetGDIObject(&pen);
    // Bresenham (the reference's rule): the minor axis steps only when the
    // error is above 0, so the line depends on its direction.
    EXPECT_EQ(drawn([&] { c.DrawLine(0, 0, 4, 2); }),
              (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(drawn([&] { c.DrawLine(4, 2, 0, 0); }),
              (Pixels{{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}));
    // Two billion steps, only the visible ones cost time.
    EXPECT_EQ(drawn([&] {
                  c.DrawLine(0, 10, 0x7FFFFFFF, 10);
                  c.DrawLine(10, 0, 11, 0x7FFFFFFF);
              }),
              Span(0, 10, 1, 0, 30) + Span(10, 0, 0, 1, 20));

    // Outlines, polylines and polygons.
    EXPECT_EQ(drawn([&] { c.DrawRect(6, 5, 2, 2); }), Span(2, 2, 1, 0, 5) + Span(2, 5, 1, 0, 5) +
                                                          Span(2, 2, 0, 1, 4) +
                                                          Span(6, 2, 0, 1, 4));
    EXPECT_EQ(drawn([&] { c.DrawRect(-1, -1, 31, 21); }), Pixels()); // both corners outside
    tagRECT rc{-3, 4, 19, 20}; // left and bottom edges off the canvas
    EXPECT_EQ(drawn([&] { c.DrawRect(rc); }), Span(0, 4, 1, 0, 20) + Span(19, 4, 0, 1, 16));
    const Pixels triangle = Span(1, 1, 1, 0, 8) + Span(1, 1, 0, 1, 8) + Span(8, 1, -1, 1, 8);
    EXPECT_EQ(drawn([&] { EXPECT_EQ(c.DrawPolygon(pts, 3), 1); }), triangle);
    EXPECT_EQ(drawn([&] { c.DrawPolyline(pts, 3); }), Span(1, 1, 1, 0, 8) + Span(8, 1, -1, 1, 8));
    EXPECT_EQ(drawn([&] { c.DrawPolygon(pts, 1); }), Span(1, 1, 0, 0, 1));
    EXPECT_EQ(drawn([&] {
                  EXPECT_EQ(c.DrawPolygon(nullptr, 3), 0);
                  EXPECT_EQ(c.DrawPolyline(nullptr, 3), 0);
                  EXPECT_EQ(c.DrawPolygon(pts, 0), 1);
                  EXPECT_EQ(c.DrawPolyline(pts, 1), 1);
                  // Vertices all outside: nothing, even where edges cross.
                  tagPOINT around[] = {{-5, -5}, {40, -5}, {40, 30}, {-5, 30}};
                  c.DrawPolygon(around, 4);
                  c.DrawPolyline(around, 2);
              }),
              Pixels());
}

TEST(Lines, RandomSpansLinesAndFillsMatchThePixelRules) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 200; ++round) {
        const int w = 1 + int(rng() % 70), h = 1 + int(rng() % 70);
        zt::TestCanvas t(zt::Layout(round, w, h));
        const int cw = t.Width(), ch = t.Height();
        t.FillRandom(rng);
        zt::RefImage ref(cw, ch, t.Snapshot());
        CCEPen pen;
        CCEBrush brush;
        t.canvas.SetGDIObject(&pen);
        t.canvas.SetGDIObject(&brush);
        auto coord = [&](int size) -> int64_t { // near the canvas, now and then far outside
            const int64_t far = rng() % 4 ? 10 : rng() % 2 ? 3000 : 100000;
            return int64_t(rng() % uint32_t(size + 2 * far)) - far;
        };
        auto inCorner = [&](int64_t x, int64_t y) {
            return x >= 0 && y >= 0 && x <= cw && y <= ch;
        };
        for (int op = 0; op < 40; ++op) {
            const uint16_t colour = rng() % 8 ? uint16_t(rng()) : 0xFFFF; // -1: the pen's
            pen.CreatePen(0, 1, uint16_t(rng()));
            const uint16_t spanColour = colour == 0xFFFF ? pen.m_wColor : colour;
            const int64_t x1 = coord(cw), y1 = coord(ch), x2 = coord(cw), y2 = coord(ch);
            switch (rng() % 4) {
            case 0: // a span is every pixel of its row or column between the ends
                t.canvas.DrawHLine(long(x1), long(y1), long(x2), long(y1), short(colour));
                zt::RefLine(ref, x1, y1, x2, y1, spanColour);
                break;
            case 1:
                t.canvas.DrawVLine(long(x1), long(y1), long(x1), long(y2), short(colour));
                zt::RefLine(ref, x1, y1, x1, y2, spanColour);
                break;
            case 2:
                t.canvas.DrawLine(long(x1), long(y1), long(x2), long(y2));
                if (inCorner(x1, y1) || inCorner(x2, y2))
                    zt::RefLine(ref, x1, y1, x2, y2, pen.m_wColor);
                break;
            default: {
                // The box without its far edges, blended per channel (floors
                // towards -inf); weights above 32 by the packed arithmetic.
                const int a = rng() % 4 == 0 ? 32
                              : rng() % 9    ? int(rng() % 33)
                                             : 33 + int(rng() % 223);
                brush.CreateBrush(0, colour, 0);
                t.canvas.FillRect(long(x1), long(y1), long(x2), long(y2), uint8_t(a));
                if (!inCorner(x1, y1) && !inCorner(x2, y2)) break;
                for (int64_t y = std::max<int64_t>(0, std::min(y1, y2));
                     y < std::min<int64_t>(ch, std::max(y1, y2)); ++y)
                    for (int64_t x = std::max<int64_t>(0, std::min(x1, x2));
                         x < std::min<int64_t>(cw, std::max(x1, x2)); ++x) {
                        uint16_t& p = ref.At(int(x), int(y));
                        p = a == 32 ? colour : zt::RefBlend(p, colour, uint32_t(a));
                    }
            }
            }
        }
        const zt::Difference d = zt::Compare(ref, t.Snapshot());
        ASSERT_EQ(d.count, 0u) << "round " << round << " first at " << d.x << "," << d.y;
    }
}

// The stepping kernel that lines fall back to where no 128-bit type exists,
// held to what a line is: both ends drawn, one pixel for each step along the
// major axis, each within half a pixel of the true line, mirror images for
// mirrored ends, and clipping that only hides pixels. At a tie the minor
// axis has not stepped yet, so the line depends on its direction.
TEST(Lines, SteppingFallbackDrawsTheLine) {
    auto drawn = [](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        std::vector<uint16_t> p(5 * 3);
        zorva::DrawLineReference(zorva::DenseView(p.data(), 5, 3), x1, y1, x2, y2, 1);
        Pixels out;
        for (int i = 0; i < 15; ++i)
            if (p[size_t(i)]) out.insert({i % 5, i / 5});
        return out;
    };
    EXPECT_EQ(drawn(0, 0, 4, 2), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(drawn(4, 2, 0, 0), (Pixels{{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}));
    std::mt19937 rng(7);
    constexpr int kMargin = 100, kBig = 2 * kMargin + 40;
    for (int round = 0; round < 300; ++round) {
        const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 40);
        auto c = [&](int size) { return int32_t(rng() % uint32_t(size + 2 * kMargin)) - kMargin; };
        const int32_t x1 = c(w), y1 = c(h), x2 = c(w), y2 = c(h);
        // The whole line on a canvas that holds it, (0, 0) at (kMargin, kMargin).
        auto whole = [&](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
            std::vector<uint16_t> big(size_t(kBig) * kBig);
            zorva::DrawLineReference(zorva::DenseView(big.data(), kBig, kBig), ax + kMargin,
                                     ay + kMargin, bx + kMargin, by + kMargin, 1);
            Pixels drawn;
            for (int i = 0; i < kBig * kBig; ++i)
                if (big[size_t(i)]) drawn.insert({i % kBig - kMargin, i / kBig - kMargin});
            return drawn;
        };
        const Pixels line = whole(x1, y1, x2, y2);
        SCOPED_TRACE(testing::Message() << x1 << "," << y1 << " " << x2 << "," << y2);
        EXPECT_TRUE(line.count({x1, y1}) && line.count({x2, y2}));
        const bool xMajor = std::abs(x2 - x1) >= std::abs(y2 - y1);
        const int64_t da = xMajor ? std::abs(x2 - x1) : std::abs(y2 - y1);
        ASSERT_EQ(line.size(), size_t(da + 1));
        std::set<int> majors;
        for (auto [x, y] : line) {
            majors.insert(xMajor ? x : y);
            // |minor - true minor| <= 1/2, in units of 1 / (2 * da).
            const int64_t off = xMajor ? int64_t(y - y1) * (x2 - x1) - int64_t(x - x1) * (y2 - y1)
                                       : int64_t(x - x1) * (y2 - y1) - int64_t(y - y1) * (x2 - x1);
            EXPECT_LE(2 * std::abs(off), std::max<int64_t>(da, 1)) << x << "," << y;
        }
        EXPECT_EQ(majors.size(), line.size());
        Pixels mirrored;
        for (auto [x, y] : whole(39 - x1, y1, 39 - x2, y2))
            mirrored.insert({39 - x, y});
        EXPECT_EQ(mirrored, line);
        // Clipped to a w x h canvas: exactly the line's pixels inside it.
        std::vector<uint16_t> small(size_t(w) * h);
        zorva::DrawLineReference(zorva::DenseView(small.data(), w, h), x1, y1, x2, y2, 1);
        Pixels inside, shown;
        for (auto [x, y] : line)
            if (x >= 0 && y >= 0 && x < w && y < h) inside.insert({x, y});
        for (int i = 0; i < w * h; ++i)
            if (small[size_t(i)]) shown.insert({i % w, i / w});
        EXPECT_EQ(shown, inside);
    }
}
