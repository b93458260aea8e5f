// Merge: a blit into another bitmap's pixels. Worked values, the arguments
// outside the contract, a bitmap merged into itself, and random merges
// against the pixel-at-a-time reference.
#include "support/BlitReference.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class Merge : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

void Fill(CCEBitmap& b, CCEDraw& c, int w, int h, const std::vector<uint16_t>& pixels,
          const std::vector<uint8_t>& alpha = {}) {
    ASSERT_EQ(b.Surface(&c, w, h, 0, alpha.empty() ? 0 : 1), 1);
    std::copy(pixels.begin(), pixels.end(), b.m_pPixels);
    std::copy(alpha.begin(), alpha.end(), b.m_pAlpha);
}

std::vector<uint16_t> Pixels(const CCEBitmap& b) {
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + b.m_nWidth * b.m_nHeight);
}

std::vector<uint8_t> Plane(const CCEBitmap& b) {
    return std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + b.m_nWidth * b.m_nHeight);
}

constexpr uint16_t K = 0xF81F;
constexpr uint16_t A = 0x1111, B = 0x2222, C = 0x3333;

} // namespace

TEST_F(Merge, AlphaSourceBlendsIntoAPlainDestinationThatStaysPlain) {
    zt::TestCanvas t(zt::Dense(8, 8));
    CCEBitmap dst, src;
    Fill(dst, t.canvas, 4, 1, {0, 0, 0, 0});
    Fill(src, t.canvas, 4, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {31, 0, 16, 32});
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, BLT_TRANSPARENT, 32), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{0xF7BE, 0, 0x7BEF, 0xFFFF}));
    EXPECT_EQ(dst.IsARGB(), 0);
    EXPECT_EQ(Plane(src), (std::vector<uint8_t>{31, 0, 16, 32}));
}

TEST_F(Merge, DestinationPlaneIsNeitherReadNorChanged) {
    zt::TestCanvas t(zt::Dense(3, 1));
    CCEBitmap dst, src;
    Fill(dst, t.canvas, 3, 1, {0, 0, 0}, {0, 5, 32});
    Fill(src, t.canvas, 3, 1, {A, B, C});
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{A, B, C}));
    EXPECT_EQ(Plane(dst), (std::vector<uint8_t>{0, 5, 32}));
    EXPECT_EQ(dst.IsARGB(), 1);
    // Its transparent pixel stays transparent when the result is blitted.
    t.canvas.Clear(0ul);
    dst.BitBlt(&t.canvas, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
    EXPECT_EQ(t.Pixel(0, 0), 0);
    EXPECT_EQ(t.Pixel(2, 0), C);
}

TEST_F(Merge, CutAtTheLeftAndAtTheDestinationsFarEdges) {
    zt::TestCanvas t(zt::Dense(4, 4));
    CCEBitmap dst, src;
    Fill(dst, t.canvas, 4, 3, std::vector<uint16_t>(12, 0));
    Fill(src, t.canvas, 7, 4, {1,  2,  3,  4,  5,  6,  7,  //
                               8,  9,  10, 11, 12, 13, 14, //
                               15, 16, 17, 18, 19, 20, 21, //
                               22, 23, 24, 25, 26, 27, 28});
    // x = -2: the two leftmost columns are cut off, column 2 lands at 0;
    // the rest is cut at the destination's right and bottom.
    EXPECT_EQ(dst.Merge(&t.canvas, &src, -2, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{3, 4, 5, 6, 10, 11, 12, 13, 17, 18, 19, 20}));
    // y = -1 with ySrc 1: the first row drawn is source row 2.
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 1, -1, 2, 0, 5, 1, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{3, 20, 21, 6, 10, 27, 28, 13, 17, 18, 19, 20}));
}

TEST_F(Merge, KeyedMergeSkipsEveryKeyPixel) {
    zt::TestCanvas t(zt::Dense(4, 4));
    CCEBitmap dst, src;
    Fill(dst, t.canvas, 3, 2, {A, A, A, A, A, A});
    Fill(src, t.canvas, 3, 2, {K, B, K, C, K, B});
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, BLT_TRANSPARENT, 32), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{A, B, A, C, A, B}));
    // Blended where not keyed; the key is still (xSrc, ySrc).
    Fill(dst, t.canvas, 3, 2, {0, 0, 0, 0, 0, 0});
    Fill(src, t.canvas, 3, 2, {K, 0xFFFF, K, 0xFFFF, K, 0xFFFF});
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, BLT_TRANSPARENT, 16), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{0, 0x7BEF, 0, 0x7BEF, 0, 0x7BEF}));
}

TEST_F(Merge, NullsAndSourcesWithoutPixels) {
    zt::TestCanvas t(zt::Dense(4, 4));
    CCEBitmap dst, src, none;
    Fill(dst, t.canvas, 2, 2, {A, A, A, A});
    Fill(src, t.canvas, 2, 2, {B, B, B, B}, {32, 32, 32, 32});
    EXPECT_EQ(dst.Merge(nullptr, &src, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(none.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(dst.Merge(&t.canvas, nullptr, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(dst.Merge(&t.canvas, &none, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    BYTE* plane = src.m_pAlpha;
    src.m_pAlpha = nullptr; // flagged for a plane it does not have
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 0);
    src.m_pAlpha = plane;
    // Negative source origins: no pixel there to merge.
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, -1, 0, SRCCOPY, 32), 0);
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, -1, SRCCOPY, 32), 0);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{A, A, A, A}));

    // Empty rectangles and unknown modes draw nothing and succeed.
    src.m_bARGB = 0;
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, 0, 32), 1);
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 2, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 2, 0, SRCCOPY, 32), 1);
    src.Unload(0); // size 0, buffer kept
    EXPECT_EQ(dst.Merge(&t.canvas, &src, 0, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{A, A, A, A}));
}

TEST_F(Merge, IntoItselfRowsFromTheTopEachFromTheLeft) {
    zt::TestCanvas t(zt::Dense(4, 4));
    CCEBitmap b;
    // Right by one: every source pixel is read just after the step before
    // wrote it, so the first pixel runs along the row.
    Fill(b, t.canvas, 6, 1, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(b.Merge(&t.canvas, &b, 1, 0, 5, 1, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(b), (std::vector<uint16_t>{1, 1, 1, 1, 1, 1}));
    // Left by one reads every pixel before it is overwritten.
    Fill(b, t.canvas, 6, 1, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(b.Merge(&t.canvas, &b, 0, 0, 5, 1, 1, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(b), (std::vector<uint16_t>{2, 3, 4, 5, 6, 6}));
    // Down by one: the top row runs down the bitmap.
    Fill(b, t.canvas, 2, 4, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(b.Merge(&t.canvas, &b, 0, 1, 0, 3, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(b), (std::vector<uint16_t>{1, 2, 1, 2, 1, 2, 1, 2}));
    // A blend reads the destination as already merged.
    Fill(b, t.canvas, 3, 1, {0xFFFF, 0, 0});
    EXPECT_EQ(b.Merge(&t.canvas, &b, 1, 0, 2, 1, 0, 0, BLT_ALPHA, 16), 1);
    EXPECT_EQ(Pixels(b), (std::vector<uint16_t>{0xFFFF, 0x7BEF, 0x39E7}));

    // A copy sharing the buffer is the same memory.
    Fill(b, t.canvas, 6, 1, {1, 2, 3, 4, 5, 6});
    CCEBitmap copy;
    copy = b;
    ASSERT_EQ(copy.m_pPixels, b.m_pPixels);
    EXPECT_EQ(b.Merge(&t.canvas, &copy, 2, 0, 0, 0, 0, 0, SRCCOPY, 32), 1);
    EXPECT_EQ(Pixels(b), (std::vector<uint16_t>{1, 2, 1, 2, 1, 2}));
}

TEST_F(Merge, MatchesThePixelAtATimeReference) {
    zt::TestCanvas t(zt::Dense(4, 4));
    zt::BlitArgGen g(777);
    int changed = 0;
    const int total = 6000;
    for (int n = 0; n < total; ++n) {
        CCEBitmap dst, other, shared;
        ASSERT_TRUE(zt::RandomBlitBitmap(g, dst, t.canvas, 30));
        const int kind = g.Int(0, 9); // 0..6 another bitmap, 7..8 itself, 9 a copy of it
        CCEBitmap* src = &other;
        if (kind <= 6) {
            ASSERT_TRUE(zt::RandomBlitBitmap(g, other, t.canvas, 40));
        } else if (kind <= 8) {
            src = &dst;
        } else {
            shared = dst;
            src = &shared;
        }
        g.wild = g.Chance(30);
        const int dstW = std::max(dst.m_nWidth, 1), dstH = std::max(dst.m_nHeight, 1);
        const zt::RefArgs a{g.Coord(dstW),
                            g.Coord(dstH),
                            g.Size(dstW),
                            g.Size(dstH),
                            g.SourceOrigin(src->m_nWidth),
                            g.SourceOrigin(src->m_nHeight),
                            g.Rop(),
                            g.Opacity(),
                            1};

        // The model: the destination's pixels as an image; a source that
        // is the same memory reads that image.
        const bool hasPixels = dst.m_pPixels != nullptr;
        zt::RefImage expected(dst.m_nWidth, dst.m_nHeight,
                              hasPixels ? Pixels(dst) : std::vector<uint16_t>());
        const zt::RefBitmapCopy srcCopy(*src);
        zt::RefSource source = srcCopy.source;
        if (src->m_pPixels && src->m_pPixels == dst.m_pPixels) source.pixels = &expected.pixels;
        const std::vector<uint8_t> planeBefore = dst.m_bARGB ? Plane(dst) : std::vector<uint8_t>();
        const int flagBefore = dst.m_bARGB;
        const std::vector<uint16_t> otherBefore =
            kind <= 6 && other.m_pPixels ? Pixels(other) : std::vector<uint16_t>();

        int want = 0;
        if (hasPixels && src->m_pPixels) want = zt::RefBlit(zt::RefView{&expected, 0}, source, a);
        const std::vector<uint16_t> before = hasPixels ? Pixels(dst) : std::vector<uint16_t>();
        const int got = dst.Merge(&t.canvas, src, int(a.x), int(a.y), int(a.nWidth), int(a.nHeight),
                                  int(a.xSrc), int(a.ySrc), a.rop, uint8_t(a.opacity));
        const std::vector<uint16_t> after = hasPixels ? Pixels(dst) : std::vector<uint16_t>();
        changed += after != before;

        std::ostringstream what;
        what << "merge " << n << " kind " << kind << ": x " << a.x << " y " << a.y << " w "
             << a.nWidth << " h " << a.nHeight << " xSrc " << a.xSrc << " ySrc " << a.ySrc
             << " rop " << a.rop << " op " << a.opacity << " dst " << dst.m_nWidth << "x"
             << dst.m_nHeight << " src " << src->m_nWidth << "x" << src->m_nHeight << " argb "
             << src->m_bARGB;
        ASSERT_EQ(got, want) << what.str();
        ASSERT_EQ(after, expected.pixels) << what.str();
        ASSERT_EQ(dst.m_bARGB, flagBefore) << what.str();
        if (flagBefore) {
            ASSERT_EQ(Plane(dst), planeBefore) << what.str();
        }
        if (kind <= 6 && other.m_pPixels) {
            ASSERT_EQ(Pixels(other), otherBefore) << what.str();
        }
    }
    EXPECT_GT(changed, total / 3);
}
