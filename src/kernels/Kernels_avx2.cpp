// AVX2 kernels: sixteen 16-bit lanes. Built with -mavx2 on x86 only; the
// entries AVX2 does not replace are SSE2's.
#include "kernels/ScreenVector.h"
#include "kernels/TableBuilders.h"
#include "kernels/VectorKernels.h"

#include <immintrin.h>

namespace zorva {
namespace {

// Eight lanes with the same instructions, for rows too short for sixteen.
struct Avx2Half {
    using T = __m128i;
    static constexpr int kLanes = 8;
    static T Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static void Store(uint16_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static T LoadWeights(const uint8_t* p) {
        return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const T*>(p)));
    }
    static T Splat(uint16_t v) { return _mm_set1_epi16(short(v)); }
    static T Add(T a, T b) { return _mm_add_epi16(a, b); }
    // The raw bytes of a vector, their lane-wise larger, their difference
    // floored at 0.
    static T LoadBytes(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static T MaxBytes(T a, T b) { return _mm_max_epu8(a, b); }
    static T SubSatBytes(T a, T b) { return _mm_subs_epu8(a, b); }
    static T Max(T a, T b) { return _mm_max_epi16(a, b); } // weights: 0..255
    static T Sub(T a, T b) { return _mm_sub_epi16(a, b); }
    static T Mul(T a, T b) { return _mm_mullo_epi16(a, b); }
    static T MulHigh(T a, T b) { return _mm_mulhi_epi16(a, b); }
    template <int n>
    static T Sra(T a) {
        return _mm_srai_epi16(a, n);
    }
    template <int n>
    static T Srl(T a) {
        return _mm_srli_epi16(a, n);
    }
    template <int n>
    static T Sll(T a) {
        return _mm_slli_epi16(a, n);
    }
    static T And(T a, T b) { return _mm_and_si128(a, b); }
    static T Or(T a, T b) { return _mm_or_si128(a, b); }
    static T Xor(T a, T b) { return _mm_xor_si128(a, b); }
    static T Eq(T a, T b) { return _mm_cmpeq_epi16(a, b); }
    static T Select(T mask, T a, T b) { return _mm_blendv_epi8(b, a, mask); }
    static bool AllTrue(T mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }
    static bool AnyTrue(T mask) { return _mm_movemask_epi8(mask) != 0; }
    static bool AllZero(T v) { return _mm_testz_si128(v, v) != 0; }
    static bool NoneInCommon(T a, T b) { return _mm_testz_si128(a, b) != 0; }
};

struct Avx2 {
    using T = __m256i;
    using Half = Avx2Half;
    static constexpr int kLanes = 16;
    static T Load(const uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const T*>(p)); }
    static void Store(uint16_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static T LoadWeights(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static T Splat(uint16_t v) { return _mm256_set1_epi16(short(v)); }
    static T Add(T a, T b) { return _mm256_add_epi16(a, b); }
    // The raw bytes of a vector, their lane-wise larger, their difference
    // floored at 0.
    static T LoadBytes(const uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const T*>(p));
    }
    static T MaxBytes(T a, T b) { return _mm256_max_epu8(a, b); }
    static T SubSatBytes(T a, T b) { return _mm256_subs_epu8(a, b); }
    static T Max(T a, T b) { return _mm256_max_epi16(a, b); } // weights: 0..255
    static T Sub(T a, T b) { return _mm256_sub_epi16(a, b); }
    static T Mul(T a, T b) { return _mm256_mullo_epi16(a, b); }
    static T MulHigh(T a, T b) { return _mm256_mulhi_epi16(a, b); }
    template <int n>
    static T Sra(T a) {
        return _mm256_srai_epi16(a, n);
    }
    template <int n>
    static T Srl(T a) {
        return _mm256_srli_epi16(a, n);
    }
    template <int n>
    static T Sll(T a) {
        return _mm256_slli_epi16(a, n);
    }
    static T And(T a, T b) { return _mm256_and_si256(a, b); }
    static T Or(T a, T b) { return _mm256_or_si256(a, b); }
    static T Xor(T a, T b) { return _mm256_xor_si256(a, b); }
    static T Eq(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
    static T Select(T mask, T a, T b) { return _mm256_blendv_epi8(b, a, mask); }
    static bool AllTrue(T mask) { return _mm256_movemask_epi8(mask) == -1; }
    static bool AnyTrue(T mask) { return _mm256_movemask_epi8(mask) != 0; }
    static bool AllZero(T v) { return _mm256_testz_si256(v, v) != 0; }
    // No bit set in both a and b.
    static bool NoneInCommon(T a, T b) { return _mm256_testz_si256(a, b) != 0; }
    // The pack works within 128-bit halves; the permute puts the four
    // quarters back in order.
    static T EvenLanes(T lo, T hi) {
        const T packed = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(lo, 16), 16),
                                            _mm256_srai_epi32(_mm256_slli_epi32(hi, 16), 16));
        return _mm256_permute4x64_epi64(packed, 0xD8);
    }
    static T ZipLo(T v) {
        return _mm256_permute2x128_si256(_mm256_unpacklo_epi16(v, v), _mm256_unpackhi_epi16(v, v),
                                         0x20);
    }
    static T ZipHi(T v) {
        return _mm256_permute2x128_si256(_mm256_unpacklo_epi16(v, v), _mm256_unpackhi_epi16(v, v),
                                         0x31);
    }
    // Two 8 x 8 tiles side by side, one in each 128-bit half: the unpacks
    // work within halves, so both tiles are transposed at once.
    static void Transpose8x8(T (&r)[8]) {
        const T a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
        const T a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
        const T a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
        const T a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
        const T b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
        const T b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
        const T b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
        const T b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
        r[0] = _mm256_unpacklo_epi64(b0, b4);
        r[1] = _mm256_unpackhi_epi64(b0, b4);
        r[2] = _mm256_unpacklo_epi64(b1, b5);
        r[3] = _mm256_unpackhi_epi64(b1, b5);
        r[4] = _mm256_unpacklo_epi64(b2, b6);
        r[5] = _mm256_unpackhi_epi64(b2, b6);
        r[6] = _mm256_unpacklo_epi64(b3, b7);
        r[7] = _mm256_unpackhi_epi64(b3, b7);
    }
    // The left tile's row at `at`, the right tile's `groupStep` bytes on.
    static void StoreGroups(uint8_t* at, ptrdiff_t groupStep, T v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at + groupStep),
                         _mm256_extracti128_si256(v, 1));
    }
};

// Nearest sampling at steps of at most 256 (enlarging, or the same size).
// Eight outputs from position p draw on source pixels p >> 8 up to seven
// further on, since (p & 255) + 7 * step >> 8 <= 7: each 128-bit half is one
// load of eight pixels and one byte shuffle whose control comes from the
// offsets ((p & 255) + k * step) >> 8. A load never passes the last pixel
// the row is read at; the rest of the row is sampled one by one.
void SampleRow16(uint16_t* dst, int32_t count, const uint16_t* srcRow, int64_t pos, int64_t step) {
    // Whole enlargements by 2 and 4 need no shuffle control at all.
    int32_t k = vec::WholeZoom<Avx2>(dst, count, srcRow, pos, step);
    if (step >= 0 && step <= 256 && count - k >= 16) {
        const int64_t last = (pos + int64_t(count - 1) * step) >> 8;
        const auto s = short(step);
        const __m256i kStep =
            _mm256_setr_epi16(0, s, short(2 * s), short(3 * s), short(4 * s), short(5 * s),
                              short(6 * s), short(7 * s), 0, s, short(2 * s), short(3 * s),
                              short(4 * s), short(5 * s), short(6 * s), short(7 * s));
        const __m256i byteOne = _mm256_set1_epi16(0x0100);
        for (; k + 16 <= count; k += 16) {
            const int64_t p0 = pos + int64_t(k) * step, p8 = p0 + 8 * step;
            const int64_t b0 = p0 >> 8, b8 = p8 >> 8;
            if (b8 + 7 > last) break;
            const __m256i pixels = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcRow + b0))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcRow + b8)), 1);
            const __m256i frac =
                _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi16(short(p0 & 255))),
                                        _mm_set1_epi16(short(p8 & 255)), 1);
            const __m256i offset = _mm256_srli_epi16(_mm256_add_epi16(frac, kStep), 8);
            // Bytes 2 * offset and 2 * offset + 1 of each half.
            const __m256i twice = _mm256_add_epi16(offset, offset);
            const __m256i control =
                _mm256_add_epi16(_mm256_or_si256(twice, _mm256_slli_epi16(twice, 8)), byteOne);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k),
                                _mm256_shuffle_epi8(pixels, control));
        }
    }
    for (int64_t p = pos + int64_t(k) * step; k < count; ++k, p += step)
        dst[k] = srcRow[p >> 8];
}

// Filtering across a row when enlarging: eight outputs whose source pixels
// (column and column + next) lie within eight of the first one's column take
// both pixels from one load by byte shuffles, then each channel is
// (a * (256 - f) + b * f) >> 8 in 16-bit lanes (at most 63 * 256). Other
// outputs, and loads that would pass the last pixel read, are done one by
// one by the same rule.
inline __m128i PairControl(__m128i offset) {
    const __m128i twice = _mm_add_epi16(offset, offset);
    return _mm_add_epi16(_mm_or_si128(twice, _mm_slli_epi16(twice, 8)), _mm_set1_epi16(0x0100));
}

void FilterAcross(uint16_t* outB, uint16_t* outG, uint16_t* outR, const uint16_t* row,
                  const int32_t* column, const uint8_t* next, const uint16_t* frac, int32_t count) {
    const int32_t lastRead = column[count - 1] + next[count - 1];
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const int32_t base = column[k];
        if (base + 7 > lastRead) break;
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + base));
        const __m256i columns =
            _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + k)),
                             _mm256_set1_epi32(base));
        // Eight 32-bit offsets (0..7) to eight 16-bit lanes.
        const __m128i offset =
            _mm_packs_epi32(_mm256_castsi256_si128(columns), _mm256_extracti128_si256(columns, 1));
        const __m128i step =
            _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(next + k)));
        // Every pixel within the load (the columns need not rise).
        const __m128i outside =
            _mm_or_si128(_mm_cmpgt_epi16(_mm_setzero_si128(), offset),
                         _mm_cmpgt_epi16(_mm_add_epi16(offset, step), _mm_set1_epi16(7)));
        if (_mm_movemask_epi8(outside) != 0) break;
        const __m128i a = _mm_shuffle_epi8(pixels, PairControl(offset));
        const __m128i b = _mm_shuffle_epi8(pixels, PairControl(_mm_add_epi16(offset, step)));
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frac + k));
        const __m128i g = _mm_sub_epi16(_mm_set1_epi16(256), f);
        auto lerp = [&](__m128i x, __m128i y) {
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(x, g), _mm_mullo_epi16(y, f)), 8);
        };
        const __m128i m5 = _mm_set1_epi16(0x1F), m6 = _mm_set1_epi16(0x3F);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(outB + k),
                         lerp(_mm_and_si128(a, m5), _mm_and_si128(b, m5)));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(outG + k),
            lerp(_mm_and_si128(_mm_srli_epi16(a, 5), m6), _mm_and_si128(_mm_srli_epi16(b, 5), m6)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(outR + k),
                         lerp(_mm_srli_epi16(a, 11), _mm_srli_epi16(b, 11)));
    }
    if (k < count)
        ScalarKernels().filterAcross(outB + k, outG + k, outR + k, row, column + k, next + k,
                                     frac + k, count - k);
}

// The screen rows' wrapper: Avx2's, with 32-bit lanes, shifts by a count
// and the unsigned high product.
struct Avx2Screen : Avx2 {
    static void Store16(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static void Store32(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static T Splat32(uint32_t v) { return _mm256_set1_epi32(int(v)); }
    static T MulHighUnsigned(T a, T b) { return _mm256_mulhi_epu16(a, b); }
    static T Or32(T a, T b) { return _mm256_or_si256(a, b); }
    static __m128i MakeCount(int n) { return _mm_cvtsi32_si128(n); }
    static T SllBy(T a, __m128i n) { return _mm256_sll_epi16(a, n); }
    static T SrlBy(T a, __m128i n) { return _mm256_srl_epi16(a, n); }
    static T SllBy32(T a, __m128i n) { return _mm256_sll_epi32(a, n); }
    // Within each 128-bit half unpacking takes its low (high) words: the
    // quarters are put in order first, so the first eight pixels widen
    // into Low and the last eight into High.
    static T Low(T a) {
        return _mm256_unpacklo_epi16(_mm256_permute4x64_epi64(a, 0xD8), _mm256_setzero_si256());
    }
    static T High(T a) {
        return _mm256_unpackhi_epi16(_mm256_permute4x64_epi64(a, 0xD8), _mm256_setzero_si256());
    }
    // Unpacking works within each half: pixels 0-3 and 8-11 come out of
    // the low unpack, 4-7 and 12-15 of the high one.
    static void StoreInterleaved(uint8_t* p, T a, T b) {
        const T lo = _mm256_unpacklo_epi16(a, b), hi = _mm256_unpackhi_epi16(a, b);
        Store32(p, _mm256_permute2x128_si256(lo, hi, 0x20));
        Store32(p + 32, _mm256_permute2x128_si256(lo, hi, 0x31));
    }
};

void ToScreenRow(uint8_t* dst, const uint16_t* src, int32_t count, const ScreenFormat& format) {
    ToScreenRowVector<Avx2Screen>(dst, src, count, format, ScalarKernels().toScreenRow);
}

} // namespace

void SetAvx2Kernels(KernelTable& k) {
    vec::InstallShared<Avx2>(k);
    k.blit[size_t(BlitCase::Copy)] = vec::CopyEntry<Avx2>;
    k.turn16 = vec::TurnTiles<Avx2>;
    k.sampleRow16 = SampleRow16;
    k.filterAcross = FilterAcross;
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
