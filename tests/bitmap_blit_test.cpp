// Blits onto the canvas and Merge into bitmaps: worked values, nulls, and
// every family against the pixel-at-a-time reference on random bitmaps.
#include "support/BlitReference.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

// Family f: 0 BitBlt, 1 DrawBitmap, 2 BitBlt2x, 3 BitRot, 4 BitRot2x.
int Call(int f, CCEBitmap* b, CCEDraw* c, const zt::RefArgs& a, int code) {
    const int x = int(a.x), y = int(a.y), w = int(a.nWidth), h = int(a.nHeight);
    const int xs = int(a.xSrc), ys = int(a.ySrc);
    const uint8_t op = uint8_t(a.opacity), turn = uint8_t(code);
    if (f == 0) return b->BitBlt(c, x, y, w, h, xs, ys, a.rop, op);
    if (f == 1) return c->DrawBitmap(b, x, y, w, h, xs, ys, a.rop, op);
    if (f == 2) return b->BitBlt2x(c, x, y, w, h, xs, ys, a.rop, op);
    if (f == 3) return b->BitRot(c, x, y, w, h, xs, ys, a.rop, op, turn);
    return b->BitRot2x(c, x, y, w, h, xs, ys, a.rop, op, turn);
}

std::vector<uint16_t> Pixels(const CCEBitmap& b) {
    if (!b.m_pPixels) return {};
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + size_t(b.m_nWidth) * b.m_nHeight);
}

std::vector<uint8_t> Plane(const CCEBitmap& b) {
    if (!b.m_pAlpha) return {};
    return std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + size_t(b.m_nWidth) * b.m_nHeight);
}

using V = std::vector<uint16_t>;
constexpr uint16_t K = 0xF81F, K2 = 0x0202, A = 0x1111, B = 0x2222, C = 0x3333, W = 0xFFFF;

} // namespace

// Worked by hand, on small dense canvases: the key is the pixel at (xSrc,
// ySrc) as passed, also where x = -5 cuts that column off (column 2's K, not
// column 7's C) or y = -5 cuts that row off (row 0's K: the first row drawn
// shows its K2 in column xSrc, and row 6's K is skipped); the
// plane's weight (alpha * opacity) >> 5 whatever the mode (alpha 31 at 32 is
// a blend, not a copy); blue 20 towards 1 at weight 1 moves by
// floor(-19 / 32); a double-size block takes one value, from its top-left
// pixel (white at 16 over black there and white elsewhere: 0x7BEF in all four).
TEST(Blit, WorkedValues) {
    // clang-format off
    const std::tuple<int, int, V, int, V, std::vector<uint8_t>, zt::RefArgs, V> cases[] = {
        // family, canvas width and pixels, bitmap width, pixels and plane, arguments, result
        {0, 3, V(9), 10, {A, A, K, A, B, K, B, C, K, B, K, K, K, K, K, K, K, K, K, C}, {},
         {-5, 0, 0, 0, 2, 0, BLT_TRANSPARENT, 32, 1}, {C, 0, B, 0, 0, C, 0, 0, 0}},
        {0, 3, V(9), 3, {A, K, A, A, A, A, A, A, A, A, A, A, A, A, A, K, K2, A, B, K, K2, C, C, B},
         {}, {0, -5, 0, 0, 1, 0, BLT_TRANSPARENT, 32, 1}, {K2, A, 0, 0, K2, 0, C, B, 0}},
        {0, 5, V(5), 5, V(5, W), {31, 32, 0, 16, 1}, {0, 0, 0, 0, 0, 0, 0, 32, 1},
         {0xF7BE, W, 0, 0x7BEF, 0x20}},
        {0, 5, V(5), 5, V(5, W), {31, 32, 0, 16, 1}, {0, 0, 0, 0, 0, 0, SRCCOPY, 31, 1},
         {0xEF7D, 0xF7BE, 0, 0x73AE, 0}},
        {0, 2, {0, W}, 2, {W, 0}, {}, {0, 0, 0, 0, 0, 0, BLT_ALPHA, 16, 1}, {0x7BEF, 0x7BEF}},
        {0, 1, {0x1234}, 1, {0x4321}, {}, {0, 0, 0, 0, 0, 0, BLT_ALPHA, 1, 1}, {0x1233}},
        {0, 4, V(4), 4, {K, W, K, W}, {}, {0, 0, 0, 0, 0, 0, BLT_TRANSPARENT, 16, 1},
         {0, 0x7BEF, 0, 0x7BEF}},
        {2, 2, {0, W, W, W}, 1, {W}, {}, {0, 0, 0, 0, 0, 0, BLT_ALPHA, 16, 1}, V(4, 0x7BEF)},
        {2, 2, {0, W, W, W}, 1, {W}, {16}, {0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1}, V(4, 0x7BEF)},
    };
    // clang-format on
    int n = 0;
    for (const auto& [family, width, canvas, bmpWidth, pixels, alpha, args, want] : cases) {
        zt::TestCanvas t(zt::Dense(width, int(canvas.size()) / width));
        t.Load(canvas);
        CCEBitmap b;
        zt::MakeBitmap(b, bmpWidth, int(pixels.size()) / bmpWidth, pixels, alpha);
        EXPECT_EQ(Call(family, &b, &t.canvas, args, 0), 1) << n;
        EXPECT_EQ(t.Snapshot(), want) << n++;
    }
}

// Null canvases and bitmaps give 0; a canvas without a back buffer is an
// empty target (1). Empty bitmaps, negative source origins and the alpha flag
// without a plane (0, nothing drawn) are among the random cases below.
TEST(Blit, NullsAndAReleasedCanvas) {
    zt::TestCanvas t(zt::Dense(2, 2));
    CCEBitmap b;
    CCEDraw released;
    zt::MakeBitmap(b, 1, 1, {A});
    const zt::RefArgs whole{0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1};
    for (int f = 0; f < 5; ++f) {
        EXPECT_EQ(Call(f, &b, &released, whole, 1), 1) << f;
        EXPECT_EQ(f == 1 ? 0 : Call(f, &b, nullptr, whole, 1), 0) << f;
    }
    EXPECT_EQ(t.canvas.DrawBitmap(nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    CCEBitmap dst; // Merge: a null canvas or source changes nothing
    ASSERT_EQ(dst.Surface(&t.canvas, 2, 2, 0x11, 0), 1);
    EXPECT_EQ(dst.Merge(nullptr, &b, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(dst.Merge(&t.canvas, nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(Pixels(dst), V(4, 0x1111));
}

// Every family against the reference, each 500 times per layout: random
// bitmaps, tame and wild arguments, every mode and unknown ones, every
// rotation code; odd sizes leave the last column and row of a double-size
// blit unwritten.
TEST(Blit, EveryFamilyMatchesTheReference) {
    const zorva::VirtualDisplayConfig layouts[] = {
        zt::Dense(37, 23),         zt::Padded(19, 11, 6), zt::NegativeXPitch(13, 29),
        zt::NegativeXPitch(8, 15), zt::Dense(1, 1),       zt::Dense(2, 7),
    };
    zt::BlitArgGen g(20240601);
    int changed = 0, total = 0;
    for (const auto& layout : layouts) {
        zt::TestCanvas t(layout);
        for (int n = 0; n < 2500; ++n, ++total) {
            if (n % 97 == 0) t.FillRandom(g.rng);
            CCEBitmap b;
            ASSERT_TRUE(zt::RandomBlitBitmap(g, b, t.canvas, std::max(t.Width(), t.Height()) + 4));
            const int f = n % 5, scale = f == 2 || f == 4 ? 2 : 1;
            const int rotation = f < 3 ? 0 : g.Pick({1, 1, 4, 4, 1, 1, 4, 4, 0, 5, 255, 255});
            const bool turned = rotation == 1 || rotation == 4;
            const int gridW = (turned ? t.Height() : t.Width()) / scale;
            const int gridH = (turned ? t.Width() : t.Height()) / scale;
            const zt::RefArgs a = g.Args(gridW, gridH, b, scale);
            zt::RefImage expected(t.Width(), t.Height(), t.Snapshot());
            const int want = zt::RefBlit(expected, rotation, zt::SourceOf(b), a);
            changed += expected.pixels != t.Snapshot();
            const int got = Call(f, &b, &t.canvas, a, rotation);
            const zt::Difference diff = zt::Compare(expected, t.Snapshot());
            ASSERT_EQ(zt::Values(got, diff.count), zt::Values(want, 0))
                << "case " << n << " family " << f << " rotation " << rotation << ", " << a
                << ": first difference at " << diff.x << "," << diff.y;
        }
    }
    // The cases must mostly reach the canvas for the comparison to mean much.
    EXPECT_GT(changed, total / 3);
}

// A seeded replay of every family (Merge as the sixth) on a larger canvas:
// one checksum of the canvas (the bitmap for Merge) after every call, per
// family, fixed here. A change of any result, at any level and on any
// architecture, changes the checksum; the reference comparisons above say
// which call is wrong.
TEST(Blit, SeededReplayKeepsItsChecksums) {
    const uint64_t expected[6] = {0x9de3ccbf6bb9ab27, 0x19b954cac993bf0c, 0xf96bed2a0805610b,
                                  0xb0269700864d871d, 0xbf3a2055f1562e21, 0x5ff67438c94a0162};
    uint64_t got[6];
    zt::TestCanvas t(zt::Dense(64, 48));
    zt::BlitArgGen g(4242);
    for (int f = 0; f < 6; ++f) {
        t.FillRandom(g.rng);
        CCEBitmap target;
        ASSERT_TRUE(zt::RandomBlitBitmap(g, target, t.canvas, 60));
        uint64_t hash = 14695981039346656037ull; // FNV-1a over every result and pixel
        auto fold = [&](uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
        for (int n = 0; n < 600; ++n) {
            CCEBitmap b;
            ASSERT_TRUE(zt::RandomBlitBitmap(g, b, t.canvas, 70));
            const int scale = f == 2 || f == 4 ? 2 : 1;
            const int rotation = f == 3 || f == 4 ? g.Pick({1, 1, 4, 4, 0, 5}) : 0;
            const zt::RefArgs a = g.Args(64 / scale, 48 / scale, b, scale);
            if (f < 5) {
                fold(uint64_t(Call(f, &b, &t.canvas, a, rotation)));
                for (uint16_t p : t.Snapshot())
                    fold(p);
            } else {
                fold(uint64_t(target.Merge(&t.canvas, &b, int(a.x), int(a.y), int(a.nWidth),
                                           int(a.nHeight), int(a.xSrc), int(a.ySrc), a.rop,
                                           uint8_t(a.opacity))));
                for (uint16_t p : Pixels(target))
                    fold(p);
            }
        }
        got[f] = hash;
    }
    for (int f = 0; f < 6; ++f)
        EXPECT_EQ(got[f], expected[f]) << "family " << f << std::hex << " 0x" << got[f];
}

// Only the destination's pixels change: not its plane or flag, nor another
// source.
TEST(Merge, MatchesThePixelAtATimeReference) {
    CCEDraw canvas;
    zt::BlitArgGen g(777);
    int changed = 0;
    const int total = 6000;
    for (int n = 0; n < total; ++n) {
        CCEBitmap dst, other, shared;
        ASSERT_TRUE(zt::RandomBlitBitmap(g, dst, canvas, 30));
        const int kind = g.Int(0, 9); // 0..6 another bitmap, 7..8 itself, 9 a copy of it
        if (kind <= 6) {
            ASSERT_TRUE(zt::RandomBlitBitmap(g, other, canvas, 40));
        }
        if (kind == 9) shared = dst;
        CCEBitmap* src = kind <= 6 ? &other : kind <= 8 ? &dst : &shared;
        const zt::RefArgs a =
            g.Args(std::max(dst.m_nWidth, 1), std::max(dst.m_nHeight, 1), *src, 1);

        // A source that is the same memory reads the model's own pixels.
        zt::RefImage expected(dst.m_nWidth, dst.m_nHeight, Pixels(dst));
        zt::RefSource source = zt::SourceOf(*src);
        if (src->m_pPixels && src->m_pPixels == dst.m_pPixels)
            source.pixels = expected.pixels.data();
        const std::vector<uint16_t> before = Pixels(dst), otherBefore = Pixels(other);
        const std::vector<uint8_t> plane = Plane(dst);
        const int flag = dst.m_bARGB;
        const int want = dst.m_pPixels ? zt::RefBlit(expected, 0, source, a) : 0;
        const int got = dst.Merge(&canvas, src, int(a.x), int(a.y), int(a.nWidth), int(a.nHeight),
                                  int(a.xSrc), int(a.ySrc), a.rop, uint8_t(a.opacity));
        changed += Pixels(dst) != before;
        const zt::Difference diff = zt::Compare(expected, Pixels(dst));
        // Result, pixels, and what must not change: the flag, the plane, the
        // other source.
        ASSERT_EQ(zt::Values(got, diff.count, dst.m_bARGB, Plane(dst) == plane,
                             Pixels(other) == otherBefore),
                  zt::Values(want, 0, flag, 1, 1))
            << "merge " << n << " kind " << kind << ": " << a << " dst " << dst.m_nWidth << "x"
            << dst.m_nHeight << ", first difference at " << diff.x << "," << diff.y;
    }
    EXPECT_GT(changed, total / 3);
}
