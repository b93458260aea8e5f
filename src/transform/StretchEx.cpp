// The trapezoid stretch: a whole source mapped onto a four-cornered shape
// with horizontal top and bottom sides or vertical left and right sides,
// nearest sampling on 8.8 fixed point, with an optional fading reflection.
#include "CCEBitmap.h"
#include "transform/TransformCommon.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// The result buffers: `width` x `rows` pixels, and as many weights when the
// picture carries alpha (null otherwise). Pictures occupy rows 0..height-1;
// the rest belongs to the reflection.
struct TrapezoidTarget {
    uint16_t* pixels;
    uint8_t* alpha;
    int64_t width;  // W
    int64_t height; // H
    int64_t rows;   // T = H + R
};

constexpr uint8_t kOpaque = 32;

// Reflection weights: 22 falling by 18 / R per reflected row, each the
// truncation of the stepped double value (so the rounding of the repeated
// subtraction shows: 13.0 may become 12).
class ReflectionWeights {
public:
    explicit ReflectionWeights(int64_t R) : m_step(18.0 / double(R)) {}
    uint8_t Next() {
        const auto weight = uint8_t(unsigned(m_value));
        m_value -= m_step;
        return weight;
    }

private:
    double m_value = 22.0;
    double m_step;
};

// A span of n = last - first + 1 positions, clipped to [0, limit): the
// elements k0..k1-1 of the span are visible; empty when k0 >= k1 (also when
// the sides have crossed, n <= 0).
struct ClippedSpan {
    int64_t first;
    int64_t n;
    int64_t k0;
    int64_t k1;
    bool Empty() const { return k0 >= k1; }
};

ClippedSpan ClipSpan(int64_t first, int64_t last, int64_t limit) {
    ClippedSpan s;
    s.first = first;
    s.n = last - first + 1;
    s.k0 = std::max<int64_t>(0, -first);
    s.k1 = std::min<int64_t>(s.n, limit - first);
    return s;
}

// Horizontal sides: row j (0..H-1) spans x1 + (j * left >> 8) to x2 +
// (j * right >> 8) and shows source row j * rowStep >> 8, sampled at
// k * columnStep >> 8 for span pixel k, columnStep = source width * 256 / n
// (one division per row). Spans are clipped to columns 0..W-1.
// Contract: the target is W x T with T >= H; the source is srcW x srcH, both
// at least 1; left, right and rowStep come from the corners and H.
struct HorizontalSides {
    int64_t x1, x2, left, right, rowStep;

    ClippedSpan Row(int64_t j, int64_t W) const {
        return ClipSpan(x1 + ((j * left) >> 8), x2 + ((j * right) >> 8), W);
    }
};

void DrawHorizontalSides(const TrapezoidTarget& t, const zorva::SourcePicture& src,
                         const HorizontalSides& h, int64_t R) {
    const size_t W = size_t(t.width);
    const int64_t srcW256 = int64_t(src.width) * 256;
    int64_t Y = 0;
    for (int64_t j = 0; j < t.height; ++j, Y += h.rowStep) {
        const ClippedSpan span = h.Row(j, t.width);
        if (span.Empty()) continue;
        const int64_t columnStep = srcW256 / span.n;
        const size_t at = size_t(j) * W + size_t(span.first + span.k0);
        const uint16_t* srcRow = src.pixels + size_t(Y >> 8) * size_t(src.width);
        zorva::SampleSpan(t.pixels + at, span.k1 - span.k0, srcRow, span.k0 * columnStep,
                          columnStep);
        if (t.alpha) std::memset(t.alpha + at, kOpaque, size_t(span.k1 - span.k0));
    }
    // Reflected row k (0..R-2) repeats, in the columns it covers, picture
    // row H - 1 - k one row below the last: H + k.
    if (R <= 1) return;
    ReflectionWeights weights(R);
    for (int64_t k = 0; k + 1 < R; ++k) {
        const uint8_t weight = weights.Next();
        const int64_t from = t.height - 1 - k;
        const ClippedSpan span = h.Row(from, t.width);
        if (span.Empty()) continue;
        const size_t count = size_t(span.k1 - span.k0);
        const size_t column = size_t(span.first + span.k0);
        const size_t to = size_t(t.height + k) * W + column;
        std::memcpy(t.pixels + to, t.pixels + size_t(from) * W + column, count * 2);
        std::memset(t.alpha + to, weight, count);
    }
}

// Vertical sides: column j (0..W-1) spans y1 + (j * top >> 8) to y3 +
// (j * bottom >> 8) and shows source column j * columnStep >> 8, sampled at
// k * rowStep >> 8 for span pixel k, rowStep = source height * 256 / n (one
// division per column). Spans are clipped to rows 0..H-1.
// Contract: as DrawHorizontalSides.
struct VerticalSides {
    int64_t y1, y3, top, bottom, columnStep;

    ClippedSpan Column(int64_t j, int64_t H) const {
        return ClipSpan(y1 + ((j * top) >> 8), y3 + ((j * bottom) >> 8), H);
    }
};

void DrawVerticalSides(const TrapezoidTarget& t, const zorva::SourcePicture& src,
                       const VerticalSides& v, int64_t R) {
    const size_t W = size_t(t.width);
    const size_t srcW = size_t(src.width);
    const int64_t srcH256 = int64_t(src.height) * 256;
    int64_t X = 0;
    for (int64_t j = 0; j < t.width; ++j, X += v.columnStep) {
        const ClippedSpan span = v.Column(j, t.height);
        if (span.Empty()) continue;
        const int64_t rowStep = srcH256 / span.n;
        const uint16_t* srcColumn = src.pixels + size_t(X >> 8);
        const size_t at = size_t(span.first + span.k0) * W + size_t(j);
        uint16_t* out = t.pixels + at;
        int64_t pos = span.k0 * rowStep;
        for (int64_t k = span.k0; k < span.k1; ++k, pos += rowStep, out += W)
            *out = srcColumn[size_t(pos >> 8) * srcW];
        if (t.alpha) {
            uint8_t* weight = t.alpha + at;
            for (int64_t k = span.k0; k < span.k1; ++k, weight += W)
                *weight = kOpaque;
        }
    }
    // Reflected row k (0..R-1) of column j repeats, just below the column's
    // bottom end, the pixel k rows above that end. Only pixels the column
    // drew are repeated: where the column is shorter than R (or starts above
    // row 0) the rest stays transparent.
    if (R < 1) return;
    ReflectionWeights weights(R);
    for (int64_t k = 0; k < R; ++k) {
        const uint8_t weight = weights.Next();
        int64_t topPos = 0, bottomPos = 0;
        for (int64_t j = 0; j < t.width; ++j, topPos += v.top, bottomPos += v.bottom) {
            const int64_t first = v.y1 + (topPos >> 8), bottom = v.y3 + (bottomPos >> 8);
            const int64_t from = bottom - k, to = bottom + 1 + k;
            // Drawn rows are max(first, 0) .. min(bottom, H - 1).
            if (from < first || from < 0 || from >= t.height || to >= t.rows) continue;
            t.pixels[size_t(to) * W + size_t(j)] = t.pixels[size_t(from) * W + size_t(j)];
            t.alpha[size_t(to) * W + size_t(j)] = weight;
        }
    }
}

} // namespace

int CCEBitmap::StretchEx(CCEBitmap* pSrc, int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                         int y4, unsigned long fill, int bReflect, int last) {
    (void)last;
    zorva::SourcePicture src;
    if (!src.Take(pSrc)) return 0;
    if (src.width == 0 || src.height == 0) return 0;

    const int64_t W = std::max({x1, x2, x3, x4});
    const int64_t H = int64_t(std::max({y1, y2, y3, y4})) + 1;
    const int64_t R = (bReflect && H > 0) ? H >> 2 : 0;
    const int64_t T = H + R;
    // The result is W x (T - 1): without a column or a row there is no image.
    if (W < 1 || T < 2) return 0;
    uint64_t pixelBytes, alphaBytes;
    if (!zorva::ImageBytes(W, T, pixelBytes, alphaBytes)) return 0;

    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (!zorva::SizeForWriting(m_pPixels, m_cbPixels, pixelBytes, src.Shares(m_pPixels))) return 0;
    if (bReflect) {
        if (!zorva::SizeForWriting(m_pAlpha, m_cbAlpha, alphaBytes, src.Shares(m_pAlpha))) return 0;
        // Transparent everywhere; the hidden pixels are made black rather
        // than left as whatever the block held.
        std::memset(m_pAlpha, 0, size_t(alphaBytes));
        std::memset(m_pPixels, 0, size_t(pixelBytes));
        m_bARGB = 1;
    } else {
        std::memset(m_pPixels, int(fill & 0xFF), size_t(pixelBytes));
    }

    const TrapezoidTarget target{m_pPixels, bReflect ? m_pAlpha : nullptr, W, H, T};
    if (y1 == y2 && y3 == y4) {
        const HorizontalSides h{x1, x2, (int64_t(x3) - x1) * 256 / H, (int64_t(x4) - x2) * 256 / H,
                                int64_t(src.height) * 256 / H};
        DrawHorizontalSides(target, src, h, R);
    } else if (x1 == x3 && x2 == x4) {
        const VerticalSides v{y1, y3, (int64_t(y2) - y1) * 256 / W, (int64_t(y4) - y3) * 256 / W,
                              int64_t(src.width) * 256 / W};
        DrawVerticalSides(target, src, v, R);
    } else {
        return 0; // neither shape: the buffers stay sized and filled
    }
    m_nWidth = int32_t(W);
    m_nHeight = int32_t(T - 1);
    return 1;
}
