// Screens' pixel formats at AVX2: sixteen pixels a step. Built with -mavx2
// on x86 only.
#include "kernels/ScreenVector.h"
#include "kernels/TableBuilders.h"

#include <immintrin.h>

namespace zorva {
namespace {

struct Avx2Screen {
    using T = __m256i;
    static constexpr int kLanes = 16;
    static T Load(const uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const T*>(p)); }
    static void Store16(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static void Store32(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static T Splat(uint16_t v) { return _mm256_set1_epi16(short(v)); }
    static T Splat32(uint32_t v) { return _mm256_set1_epi32(int(v)); }
    static T And(T a, T b) { return _mm256_and_si256(a, b); }
    static T MulHigh(T a, T b) { return _mm256_mulhi_epu16(a, b); }
    static T Or(T a, T b) { return _mm256_or_si256(a, b); }
    static T Or32(T a, T b) { return _mm256_or_si256(a, b); }
    template <int n>
    static T Sll(T a) {
        return _mm256_slli_epi16(a, n);
    }
    template <int n>
    static T Srl(T a) {
        return _mm256_srli_epi16(a, n);
    }
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

void SetAvx2ScreenKernels(KernelTable& k) {
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
