// The row kernels of every vector level against the scalar ones: the blend
// and the fade scale on all 65,536 pixels at every weight, the rest on
// random rows of odd lengths at unaligned starts. Guard elements around each
// row catch a kernel that writes past its row.
#include "kernels/Kernels.h"

#include "support/VectorTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using zorva::KernelTable;

const KernelTable& Scalar() {
    return zorva::ScalarKernels();
}

constexpr int kGuard = 24;

template <class T>
std::vector<T> RandomRow(std::mt19937& rng, size_t n) {
    std::vector<T> v(n + 2 * kGuard);
    for (T& x : v)
        x = T(rng());
    return v;
}

// Every pixel value, at offset 1 so that no row starts aligned.
std::vector<uint16_t> AllPixels() {
    std::vector<uint16_t> v(65536 + 2 * kGuard);
    for (size_t i = 0; i < 65536; ++i)
        v[kGuard + 1 + i - 1] = uint16_t(i);
    return v;
}

TEST(KernelsRows, BlendFillEveryPixelEveryWeight) {
    std::mt19937 rng(21);
    for (const KernelTable* k : zt::VectorTables()) {
        for (uint32_t weight = 0; weight <= 34; ++weight) {
            const uint32_t w = weight == 34 ? 200 : weight;
            for (uint16_t colour : {uint16_t(0), uint16_t(0xFFFF), uint16_t(rng())}) {
                std::vector<uint16_t> a = AllPixels(), b = a;
                Scalar().blendFillRow(a.data() + kGuard, 65536, colour, w);
                k->blendFillRow(b.data() + kGuard, 65536, colour, w);
                ASSERT_EQ(a, b) << zorva::LevelName(k->level) << " weight " << w;
            }
        }
    }
}

TEST(KernelsRows, FadeScaleEveryPixelEveryLevelInPlaceAndApart) {
    for (const KernelTable* k : zt::VectorTables()) {
        for (uint32_t level = 0; level <= 33; ++level) {
            const std::vector<uint16_t> from = AllPixels();
            std::vector<uint16_t> a = from, b = from;
            Scalar().scaleRow(a.data() + kGuard, a.data() + kGuard, 65536, level);
            k->scaleRow(b.data() + kGuard, b.data() + kGuard, 65536, level);
            ASSERT_EQ(a, b) << zorva::LevelName(k->level) << " level " << level;
            std::vector<uint16_t> c(from.size(), 7), d = c;
            Scalar().scaleRow(c.data() + kGuard + 3, from.data() + kGuard, 65533, level);
            k->scaleRow(d.data() + kGuard + 3, from.data() + kGuard, 65533, level);
            ASSERT_EQ(c, d) << zorva::LevelName(k->level) << " level " << level;
        }
    }
}

// Every alpha byte becomes the nearest 32nd on every level, worked out as
// floor((64a + 255) / 510): 0 stays 0, 255 becomes 32 (no byte lies halfway).
TEST(KernelsRows, LoadedAlphaIsTheNearest32ndOnEveryLevel) {
    std::vector<uint8_t> bgra(4 * 256 + 1), alpha(256); // at offset 1: unaligned
    std::vector<uint16_t> pixels(256);
    for (int a = 0; a < 256; ++a)
        bgra[4 * a + 4] = uint8_t(a);
    std::vector<const KernelTable*> tables = zt::VectorTables();
    tables.push_back(&Scalar());
    for (const KernelTable* k : tables) {
        alpha.assign(256, 99);
        k->bgra32Row(pixels.data(), alpha.data(), bgra.data() + 1, 256);
        for (int a = 0; a < 256; ++a)
            ASSERT_EQ(alpha[a], (64 * a + 255) / 510) << zorva::LevelName(k->level) << " " << a;
    }
}

// Nearest sampling of long rows too, so that small steps (large
// enlargements) reach whole vectors, at every step up to 2.5 pixels; the
// whole enlargements (steps 128 and 64) many times, from whole pixels or
// not.
TEST(KernelsRows, SamplingAtEveryStepMatchesScalar) {
    std::mt19937 rng(24);
    for (const KernelTable* k : zt::VectorTables()) {
        for (int64_t step = 0; step <= 640; ++step) {
            const bool whole = step == 64 || step == 128;
            for (int trial = 0; trial < (whole ? 20 : 1); ++trial) {
                const int32_t n = 1 + int32_t(rng() % 700);
                const int64_t pos =
                    whole && trial % 2 ? 256 * int64_t(rng() % 3) : int64_t(rng() % 256);
                const int64_t srcLength = ((pos + (n - 1) * step) >> 8) + 1;
                const std::vector<uint16_t> src = RandomRow<uint16_t>(rng, size_t(srcLength));
                std::vector<uint16_t> a = RandomRow<uint16_t>(rng, size_t(n)), b = a;
                const size_t at = kGuard + rng() % 4;
                Scalar().sampleRow16(a.data() + at, n, src.data() + kGuard, pos, step);
                k->sampleRow16(b.data() + at, n, src.data() + kGuard, pos, step);
                ASSERT_EQ(a, b) << zorva::LevelName(k->level) << " step " << step << " n " << n;
            }
        }
    }
}

TEST(KernelsRows, RandomRowsOfEveryLengthMatchScalar) {
    std::mt19937 rng(22);
    for (const KernelTable* k : zt::VectorTables()) {
        for (int32_t n = 1; n <= 70; ++n) {
            const size_t at = kGuard + rng() % 4;
            // The stretch rows: channel planes in range, every fy.
            std::vector<uint16_t> planes[6];
            for (int c = 0; c < 6; ++c) {
                planes[c] = RandomRow<uint16_t>(rng, size_t(n));
                for (uint16_t& x : planes[c])
                    x &= c % 3 == 1 ? 0x3F : 0x1F;
            }
            for (uint32_t fy = 0; fy < 256; fy += 1 + n % 7) {
                std::vector<uint16_t> a = RandomRow<uint16_t>(rng, size_t(n)), b = a;
                Scalar().lerpRows(a.data() + at, planes[0].data() + at, planes[1].data() + at,
                                  planes[2].data() + at, planes[3].data() + at,
                                  planes[4].data() + at, planes[5].data() + at, fy, n);
                k->lerpRows(b.data() + at, planes[0].data() + at, planes[1].data() + at,
                            planes[2].data() + at, planes[3].data() + at, planes[4].data() + at,
                            planes[5].data() + at, fy, n);
                ASSERT_EQ(a, b) << zorva::LevelName(k->level) << " n " << n << " fy " << fy;
            }
            // Filtering across: columns inside the row, a step further or not.
            const std::vector<uint16_t> row = RandomRow<uint16_t>(rng, size_t(n));
            std::vector<int32_t> column(static_cast<size_t>(n));
            std::vector<uint8_t> next(static_cast<size_t>(n));
            std::vector<uint16_t> frac(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i) {
                column[size_t(i)] = int32_t(rng() % uint32_t(n));
                next[size_t(i)] = column[size_t(i)] + 1 < n ? uint8_t(rng() % 2) : 0;
                frac[size_t(i)] = uint16_t(rng() % 256);
            }
            std::vector<uint16_t> fa[3], fb[3];
            for (int c = 0; c < 3; ++c)
                fa[c] = fb[c] = std::vector<uint16_t>(size_t(n) + 2 * kGuard, 5);
            Scalar().filterAcross(fa[0].data() + at, fa[1].data() + at, fa[2].data() + at,
                                  row.data() + kGuard, column.data(), next.data(), frac.data(), n);
            k->filterAcross(fb[0].data() + at, fb[1].data() + at, fb[2].data() + at,
                            row.data() + kGuard, column.data(), next.data(), frac.data(), n);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(fa[c], fb[c]) << zorva::LevelName(k->level) << " n " << n;
            // Nearest sampling at steps that shrink and grow.
            const int64_t step = int64_t(rng() % 512), pos = int64_t(rng() % 256);
            const int64_t srcLength = ((pos + (n - 1) * step) >> 8) + 1;
            const std::vector<uint16_t> src16 = RandomRow<uint16_t>(rng, size_t(srcLength));
            const std::vector<uint8_t> src8 = RandomRow<uint8_t>(rng, size_t(srcLength));
            std::vector<uint16_t> s16a = RandomRow<uint16_t>(rng, size_t(n)), s16b = s16a;
            std::vector<uint8_t> s8a = RandomRow<uint8_t>(rng, size_t(n)), s8b = s8a;
            Scalar().sampleRow16(s16a.data() + at, n, src16.data() + kGuard, pos, step);
            k->sampleRow16(s16b.data() + at, n, src16.data() + kGuard, pos, step);
            Scalar().sampleRow8(s8a.data() + at, n, src8.data() + kGuard, pos, step);
            k->sampleRow8(s8b.data() + at, n, src8.data() + kGuard, pos, step);
            ASSERT_EQ(s16a, s16b) << zorva::LevelName(k->level) << " n " << n;
            ASSERT_EQ(s8a, s8b) << zorva::LevelName(k->level) << " n " << n;
            // Filled rectangles, three rows of n a pixel apart, against the
            // rule itself: a colour of two equal bytes (memset) or not.
            const uint16_t colour = n % 3 ? uint16_t(rng()) : 0x5A5A;
            std::vector<uint16_t> want = RandomRow<uint16_t>(rng, size_t(3 * n + 2)), fill = want;
            for (int32_t j = 0; j < 3; ++j)
                std::fill_n(want.begin() + ptrdiff_t(at) + j * (n + 1), n, colour);
            for (const KernelTable* f : {&Scalar(), k}) {
                std::vector<uint16_t> got = fill;
                f->fillRect(reinterpret_cast<uint8_t*>(got.data() + at), 2 * (n + 1), n, 3, colour);
                ASSERT_EQ(got, want) << zorva::LevelName(f->level) << " n " << n;
            }
            // The loaders' conversions and the BMP rows.
            const std::vector<uint8_t> bytes = RandomRow<uint8_t>(rng, size_t(4 * n));
            std::vector<uint16_t> pa = RandomRow<uint16_t>(rng, size_t(n)), pb = pa;
            std::vector<uint8_t> aa = RandomRow<uint8_t>(rng, size_t(n)), ab = aa;
            Scalar().bgr24Row(pa.data() + at, bytes.data() + kGuard, n);
            k->bgr24Row(pb.data() + at, bytes.data() + kGuard, n);
            ASSERT_EQ(pa, pb) << zorva::LevelName(k->level) << " n " << n;
            Scalar().bgra32Row(pa.data() + at, aa.data() + at, bytes.data() + kGuard, n);
            k->bgra32Row(pb.data() + at, ab.data() + at, bytes.data() + kGuard, n);
            ASSERT_EQ(pa, pb) << zorva::LevelName(k->level) << " n " << n;
            ASSERT_EQ(aa, ab) << zorva::LevelName(k->level) << " n " << n;
            std::vector<uint8_t> ea = RandomRow<uint8_t>(rng, size_t(3 * n)), eb = ea;
            Scalar().expandRow(ea.data() + at, pa.data() + kGuard, n);
            k->expandRow(eb.data() + at, pa.data() + kGuard, n);
            ASSERT_EQ(ea, eb) << zorva::LevelName(k->level) << " n " << n;
        }
    }
}

// Quarter turns of w x h planes, both directions, 16- and 8-bit elements.
TEST(KernelsRows, TurnsMatchScalar) {
    std::mt19937 rng(23);
    for (const KernelTable* k : zt::VectorTables()) {
        for (int trial = 0; trial < 60; ++trial) {
            const int32_t w = 1 + int32_t(rng() % 40), h = 1 + int32_t(rng() % 40);
            const std::vector<uint16_t> src = RandomRow<uint16_t>(rng, size_t(w) * h);
            const std::vector<uint8_t> src8 = RandomRow<uint8_t>(rng, size_t(w) * h);
            for (int direction : {1, -1}) {
                // Turned picture h wide and w high; code 1 starts at the
                // first row's end, code 4 at the last row's start.
                zorva::TurnDesc t;
                t.srcStride = w;
                t.width = w;
                t.height = h;
                const ptrdiff_t start = direction == 1 ? ptrdiff_t(w - 1) * h : h - 1;
                const ptrdiff_t columnStep = direction == 1 ? -h : h;
                std::vector<uint16_t> a = RandomRow<uint16_t>(rng, size_t(w) * h), b = a;
                t.src = src.data() + kGuard;
                t.dstColumnStep = columnStep * 2;
                t.dstRowStep = direction * 2;
                t.dst = reinterpret_cast<uint8_t*>(a.data() + kGuard + start);
                Scalar().turn16(t);
                t.dst = reinterpret_cast<uint8_t*>(b.data() + kGuard + start);
                k->turn16(t);
                ASSERT_EQ(a, b) << zorva::LevelName(k->level) << " " << w << " x " << h;
                std::vector<uint8_t> a8 = RandomRow<uint8_t>(rng, size_t(w) * h), b8 = a8;
                t.src = src8.data() + kGuard;
                t.dstColumnStep = columnStep;
                t.dstRowStep = direction;
                t.dst = a8.data() + kGuard + start;
                Scalar().turn8(t);
                t.dst = b8.data() + kGuard + start;
                k->turn8(t);
                ASSERT_EQ(a8, b8) << zorva::LevelName(k->level) << " " << w << " x " << h;
            }
        }
    }
}

} // namespace

// Screen rows: the scalar kernel against the widening worked apart (r * 33
// >> 2 repeats a 5-bit value's top bits below it, g * 65 >> 4 a 6-bit
// one's), then every level against it, on all 65,536 pixels at an odd
// start, for 16-, 24- and 32-bit layouts in several channel orders.
TEST(KernelsRows, ScreenRowsEveryPixelEveryLayout) {
    using F = zorva::ScreenFormat;
    const F formats[] = {{2, 11, 5, 5, 6, 0, 5, 0},          {2, 10, 5, 5, 5, 0, 5, 0},
                         {2, 0, 5, 5, 6, 11, 5, 0},          {4, 16, 8, 8, 8, 0, 8, 0},
                         {4, 0, 8, 8, 8, 16, 8, 0xFF000000}, {4, 24, 8, 16, 8, 8, 8, 0xFF},
                         {3, 16, 8, 8, 8, 0, 8, 0},          {4, 20, 6, 10, 6, 0, 6, 0}};
    const std::vector<uint16_t> all = AllPixels();
    const uint16_t* in = all.data() + kGuard;
    for (const F& f : formats) {
        const size_t bytes = f.bytes;
        std::vector<uint8_t> want(65536 * bytes + 2 * kGuard, 0xA5);
        Scalar().toScreenRow(want.data() + kGuard, in, 65536, f);
        for (uint32_t p = 0; p < 65536; ++p) {
            const uint32_t r = (p >> 11) * 33 >> 2, g = (p >> 5 & 63) * 65 >> 4;
            const uint32_t b = (p & 31) * 33 >> 2;
            const uint32_t v = (r >> (8 - f.redBits)) << f.redShift |
                               (g >> (8 - f.greenBits)) << f.greenShift |
                               (b >> (8 - f.blueBits)) << f.blueShift | f.fill;
            for (size_t k = 0; k < bytes; ++k)
                ASSERT_EQ(want[kGuard + p * bytes + k], uint8_t(v >> (8 * k)))
                    << "pixel " << p << " byte " << k << " of a " << bytes << "-byte format";
        }
        for (const KernelTable* k : zt::VectorTables())
            for (int32_t count : {65536, 1, 7, 8, 15, 16, 17, 31, 33, 1001}) {
                std::vector<uint8_t> got(65536 * bytes + 2 * kGuard, 0xA5);
                k->toScreenRow(got.data() + kGuard + 1, in, count, f);
                std::vector<uint8_t> ref(got.size(), 0xA5);
                Scalar().toScreenRow(ref.data() + kGuard + 1, in, count, f);
                ASSERT_EQ(got, ref) << zorva::LevelName(k->level) << " count " << count << ", "
                                    << bytes << " bytes, red at " << int(f.redShift);
            }
    }
}
