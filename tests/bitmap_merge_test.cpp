// Merge: a blit into another bitmap's pixels. Null arguments, then random
// merges (into another bitmap, into itself, into a copy sharing its buffer)
// against the pixel-at-a-time reference.
#include "support/BlitReference.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint16_t> Pixels(const CCEBitmap& b) {
    if (!b.m_pPixels) return {};
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + size_t(b.m_nWidth) * b.m_nHeight);
}

std::vector<uint8_t> Plane(const CCEBitmap& b) {
    if (!b.m_pAlpha) return {};
    return std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + size_t(b.m_nWidth) * b.m_nHeight);
}

} // namespace

// A null canvas or source gives 0 and changes nothing. Sources without
// pixels or flagged for a plane they lack, destinations without pixels and
// negative source origins (0 too) are among the random cases below.
TEST(Merge, Nulls) {
    CCEDraw canvas; // only tested for null
    CCEBitmap dst, src;
    ASSERT_EQ(dst.Surface(&canvas, 2, 2, 0x11, 0), 1);
    ASSERT_EQ(src.Surface(&canvas, 2, 2, 0x22, 0), 1);
    EXPECT_EQ(dst.Merge(nullptr, &src, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(dst.Merge(&canvas, nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(Pixels(dst), std::vector<uint16_t>(4, 0x1111));
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
