// SSE2 kernels: eight 16-bit lanes. Built with -msse2 on x86 only.
#include "kernels/ScreenVector.h"
#include "kernels/TableBuilders.h"
#include "kernels/VectorKernels.h"

#include <emmintrin.h>

namespace zorva {
namespace {

struct Sse2 {
    using T = __m128i;
    static constexpr int kLanes = 8;
    static T Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static void Store(uint16_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static T LoadWeights(const uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const T*>(p)),
                                 _mm_setzero_si128());
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
    // mask ? a : b
    static T Select(T mask, T a, T b) {
        return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
    }
    static bool AllTrue(T mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }
    static bool AnyTrue(T mask) { return _mm_movemask_epi8(mask) != 0; }
    // No bit set in both a and b.
    static bool NoneInCommon(T a, T b) { return AllZero(And(a, b)); }
    static bool AllZero(T v) { return AllTrue(Eq(v, _mm_setzero_si128())); }
    // Lanes 0, 2, 4, ... of the sixteen in lo, hi: the low halves of the
    // 32-bit lanes, sign-extended so that the saturating pack keeps them.
    static T EvenLanes(T lo, T hi) {
        return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16),
                               _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
    }
    static T ZipLo(T v) { return _mm_unpacklo_epi16(v, v); }
    static T ZipHi(T v) { return _mm_unpackhi_epi16(v, v); }
    // The quarter turns' tile operations (defined below).
    static void Transpose8x8(T (&r)[8]);
    static void StoreGroups(uint8_t* at, ptrdiff_t, T v) {
        Store(reinterpret_cast<uint16_t*>(at), v);
    }
};

// ---- Quarter turns: 8 x 8 tiles transposed in registers.

// Rows r[0..7] of a tile become its columns.
void Sse2::Transpose8x8(__m128i (&r)[8]) {
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

// The screen rows' wrapper: Sse2's, with 32-bit lanes, shifts by a count
// and the unsigned high product.
struct Sse2Screen : Sse2 {
    static void Store16(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static void Store32(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static T Splat32(uint32_t v) { return _mm_set1_epi32(int(v)); }
    static T MulHighUnsigned(T a, T b) { return _mm_mulhi_epu16(a, b); }
    static T Or32(T a, T b) { return _mm_or_si128(a, b); }
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

void SetSse2Kernels(KernelTable& k) {
    vec::InstallShared<Sse2>(k);
    k.blit[size_t(BlitCase::Copy)] = vec::CopyEntry<Sse2>;
    k.turn16 = vec::TurnTiles<Sse2>;
    // No byte shuffle with a control in a register: whole enlargements only.
    k.sampleRow16 = vec::SampleRowZoomed<Sse2>;
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
