// Screens' pixel formats at SSE2: eight pixels a step. Built with -msse2 on
// x86 only.
#include "kernels/ScreenVector.h"
#include "kernels/TableBuilders.h"

#include <emmintrin.h>

namespace zorva {
namespace {

struct Sse2Screen {
    using T = __m128i;
    static constexpr int kLanes = 8;
    static T Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static void Store16(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static void Store32(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static T Splat(uint16_t v) { return _mm_set1_epi16(short(v)); }
    static T Splat32(uint32_t v) { return _mm_set1_epi32(int(v)); }
    static T And(T a, T b) { return _mm_and_si128(a, b); }
    static T MulHigh(T a, T b) { return _mm_mulhi_epu16(a, b); }
    static T Or(T a, T b) { return _mm_or_si128(a, b); }
    static T Or32(T a, T b) { return _mm_or_si128(a, b); }
    template <int n>
    static T Sll(T a) {
        return _mm_slli_epi16(a, n);
    }
    template <int n>
    static T Srl(T a) {
        return _mm_srli_epi16(a, n);
    }
    static T MakeCount(int n) { return _mm_cvtsi32_si128(n); }
    static T SllBy(T a, T n) { return _mm_sll_epi16(a, n); }
    static T SrlBy(T a, T n) { return _mm_srl_epi16(a, n); }
    static T SllBy32(T a, T n) { return _mm_sll_epi32(a, n); }
    static T Low(T a) { return _mm_unpacklo_epi16(a, _mm_setzero_si128()); }
    static T High(T a) { return _mm_unpackhi_epi16(a, _mm_setzero_si128()); }
    static void StoreInterleaved(uint8_t* p, T a, T b) {
        Store32(p, _mm_unpacklo_epi16(a, b));
        Store32(p + 16, _mm_unpackhi_epi16(a, b));
    }
};

void ToScreenRow(uint8_t* dst, const uint16_t* src, int32_t count, const ScreenFormat& format) {
    ToScreenRowVector<Sse2Screen>(dst, src, count, format, ScalarKernels().toScreenRow);
}

} // namespace

void SetSse2ScreenKernels(KernelTable& k) {
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
