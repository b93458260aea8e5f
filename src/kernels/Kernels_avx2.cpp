// AVX2 kernels: sixteen 16-bit lanes. Built with -mavx2 on x86 only; the
// entries AVX2 does not replace (the turns) are SSE2's.
#include "kernels/KernelsScalar.h"
#include "kernels/VectorKernels.h"

#include <immintrin.h>

namespace zorva {
namespace {

struct Avx2 {
    using T = __m256i;
    static constexpr int kLanes = 16;
    static T Load(const uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const T*>(p)); }
    static void Store(uint16_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static T LoadWeights(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static T Splat(uint16_t v) { return _mm256_set1_epi16(short(v)); }
    static T Add(T a, T b) { return _mm256_add_epi16(a, b); }
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
    static T Eq(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
    static T GtSigned(T a, T b) { return _mm256_cmpgt_epi16(a, b); }
    static T Select(T mask, T a, T b) { return _mm256_blendv_epi8(b, a, mask); }
    static bool AllTrue(T mask) { return _mm256_movemask_epi8(mask) == -1; }
    static bool AnyTrue(T mask) { return _mm256_movemask_epi8(mask) != 0; }
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
};

template <BlitCase C>
void Single(const BlitDesc& d) {
    vec::Single<Avx2, C>(d, ScalarKernels().blit[size_t(C)]);
}

template <BlitCase C>
void Twice(const BlitDesc& d) {
    vec::Twice<Avx2, C>(d, ScalarKernels().blit2x[size_t(C)]);
}

void BlendFillRow(uint16_t* row, int32_t count, uint16_t colour, uint32_t weight) {
    if (weight > 32) return ScalarKernels().blendFillRow(row, count, colour, weight);
    vec::BlendFillRow<Avx2>(row, count, colour, weight);
}

void ScaleRow(uint16_t* to, const uint16_t* from, int32_t count, uint32_t level) {
    if (level > 32) return ScalarKernels().scaleRow(to, from, count, level);
    vec::ScaleRow<Avx2>(to, from, count, level);
}

} // namespace

void SetAvx2Kernels(KernelTable& k) {
    k.blit[size_t(BlitCase::AlphaPlane)] = Single<BlitCase::AlphaPlane>;
    k.blit[size_t(BlitCase::ConstantAlpha)] = Single<BlitCase::ConstantAlpha>;
    k.blit[size_t(BlitCase::KeyOpaque)] = Single<BlitCase::KeyOpaque>;
    k.blit[size_t(BlitCase::KeyBlend)] = Single<BlitCase::KeyBlend>;
    k.blit2x[size_t(BlitCase::AlphaPlane)] = Twice<BlitCase::AlphaPlane>;
    k.blit2x[size_t(BlitCase::ConstantAlpha)] = Twice<BlitCase::ConstantAlpha>;
    k.blit2x[size_t(BlitCase::KeyOpaque)] = Twice<BlitCase::KeyOpaque>;
    k.blit2x[size_t(BlitCase::KeyBlend)] = Twice<BlitCase::KeyBlend>;
    k.blit2x[size_t(BlitCase::Copy)] = Twice<BlitCase::Copy>;
    k.blendFillRow = BlendFillRow;
    k.scaleRow = ScaleRow;
    k.lerpRows = vec::LerpRows<Avx2>;
}

} // namespace zorva
