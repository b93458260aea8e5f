// NEON kernels: eight 16-bit lanes. Built on AArch64, where NEON is always
// there, and on 32-bit ARM with -mfpu=neon (the table is then used only when
// the kernel reports NEON).
#include "kernels/ScreenVector.h"
#include "kernels/TableBuilders.h"
#include "kernels/VectorKernels.h"

#include <arm_neon.h>

namespace zorva {
namespace {

struct Neon {
    using T = uint16x8_t;
    static constexpr int kLanes = 8;
    static T Load(const uint16_t* p) { return vld1q_u16(p); }
    static void Store(uint16_t* p, T v) { vst1q_u16(p, v); }
    static T LoadWeights(const uint8_t* p) { return vmovl_u8(vld1_u8(p)); }
    static T Splat(uint16_t v) { return vdupq_n_u16(v); }
    static T Add(T a, T b) { return vaddq_u16(a, b); }
    // The raw bytes of a vector, their lane-wise larger, their difference
    // floored at 0.
    static T LoadBytes(const uint8_t* p) { return vreinterpretq_u16_u8(vld1q_u8(p)); }
    static T MaxBytes(T a, T b) {
        return vreinterpretq_u16_u8(vmaxq_u8(vreinterpretq_u8_u16(a), vreinterpretq_u8_u16(b)));
    }
    static T SubSatBytes(T a, T b) {
        return vreinterpretq_u16_u8(vqsubq_u8(vreinterpretq_u8_u16(a), vreinterpretq_u8_u16(b)));
    }
    static T Max(T a, T b) { return vmaxq_u16(a, b); } // weights: 0..255
    static T Sub(T a, T b) { return vsubq_u16(a, b); }
    static T Mul(T a, T b) { return vmulq_u16(a, b); }
    // The high half of the signed 32-bit product: vqdmulh doubles it, so
    // the (even) multiplier is halved first.
    static T MulHigh(T a, T b) {
        return vreinterpretq_u16_s16(
            vqdmulhq_s16(vreinterpretq_s16_u16(a), vshrq_n_s16(vreinterpretq_s16_u16(b), 1)));
    }
    template <int n>
    static T Sra(T a) {
        return vreinterpretq_u16_s16(vshrq_n_s16(vreinterpretq_s16_u16(a), n));
    }
    template <int n>
    static T Srl(T a) {
        return vshrq_n_u16(a, n);
    }
    template <int n>
    static T Sll(T a) {
        return vshlq_n_u16(a, n);
    }
    static T And(T a, T b) { return vandq_u16(a, b); }
    static T Or(T a, T b) { return vorrq_u16(a, b); }
    static T Xor(T a, T b) { return veorq_u16(a, b); }
    static T Eq(T a, T b) { return vceqq_u16(a, b); }
    static T Select(T mask, T a, T b) { return vbslq_u16(mask, a, b); }
    // A mask's lanes are all ones or all zeros: its narrowed bytes say.
    static uint64_t NarrowMask(T mask) {
        return vget_lane_u64(vreinterpret_u64_u8(vmovn_u16(mask)), 0);
    }
    static bool AllTrue(T mask) { return NarrowMask(mask) == ~uint64_t(0); }
    static bool AnyTrue(T mask) { return NarrowMask(mask) != 0; }
    // No bit set in both a and b.
    static bool NoneInCommon(T a, T b) { return AllZero(And(a, b)); }
    static bool AllZero(T v) {
        const uint64x2_t halves = vreinterpretq_u64_u16(v);
        return (vgetq_lane_u64(halves, 0) | vgetq_lane_u64(halves, 1)) == 0;
    }
    static T EvenLanes(T lo, T hi) { return vuzpq_u16(lo, hi).val[0]; }
    static T ZipLo(T v) { return vzipq_u16(v, v).val[0]; }
    static T ZipHi(T v) { return vzipq_u16(v, v).val[1]; }
    // The quarter turns' tile operations (defined below).
    static void Transpose8x8(T (&r)[8]);
    static void StoreGroups(uint8_t* at, ptrdiff_t, T v) {
        Store(reinterpret_cast<uint16_t*>(at), v);
    }
};

// ---- Quarter turns: 8 x 8 tiles transposed in registers (vtrn at 16,
// 32 and 64 bits).
void Neon::Transpose8x8(uint16x8_t (&r)[8]) {
    const uint16x8x2_t a0 = vtrnq_u16(r[0], r[1]), a1 = vtrnq_u16(r[2], r[3]);
    const uint16x8x2_t a2 = vtrnq_u16(r[4], r[5]), a3 = vtrnq_u16(r[6], r[7]);
    const uint32x4x2_t b0 =
        vtrnq_u32(vreinterpretq_u32_u16(a0.val[0]), vreinterpretq_u32_u16(a1.val[0]));
    const uint32x4x2_t b1 =
        vtrnq_u32(vreinterpretq_u32_u16(a0.val[1]), vreinterpretq_u32_u16(a1.val[1]));
    const uint32x4x2_t b2 =
        vtrnq_u32(vreinterpretq_u32_u16(a2.val[0]), vreinterpretq_u32_u16(a3.val[0]));
    const uint32x4x2_t b3 =
        vtrnq_u32(vreinterpretq_u32_u16(a2.val[1]), vreinterpretq_u32_u16(a3.val[1]));
    auto low = [](uint32x4_t x, uint32x4_t y) {
        return vreinterpretq_u16_u32(vcombine_u32(vget_low_u32(x), vget_low_u32(y)));
    };
    auto high = [](uint32x4_t x, uint32x4_t y) {
        return vreinterpretq_u16_u32(vcombine_u32(vget_high_u32(x), vget_high_u32(y)));
    };
    r[0] = low(b0.val[0], b2.val[0]);
    r[1] = low(b1.val[0], b3.val[0]);
    r[2] = low(b0.val[1], b2.val[1]);
    r[3] = low(b1.val[1], b3.val[1]);
    r[4] = high(b0.val[0], b2.val[0]);
    r[5] = high(b1.val[0], b3.val[0]);
    r[6] = high(b0.val[1], b2.val[1]);
    r[7] = high(b1.val[1], b3.val[1]);
}

// The screen rows' wrapper: Neon's, with 32-bit lanes, shifts by a count
// and the unsigned high product.
struct NeonScreen : Neon {
    static void Store16(uint8_t* p, T v) { vst1q_u8(p, vreinterpretq_u8_u16(v)); }
    static void Store32(uint8_t* p, uint32x4_t v) { vst1q_u8(p, vreinterpretq_u8_u32(v)); }
    static uint32x4_t Splat32(uint32_t v) { return vdupq_n_u32(v); }
    static T MulHighUnsigned(T a, T b) {
        return vcombine_u16(vshrn_n_u32(vmull_u16(vget_low_u16(a), vget_low_u16(b)), 16),
                            vshrn_n_u32(vmull_u16(vget_high_u16(a), vget_high_u16(b)), 16));
    }
    static uint32x4_t Or32(uint32x4_t a, uint32x4_t b) { return vorrq_u32(a, b); }
    // A count for vshl: positive shifts left, negative right.
    static int MakeCount(int n) { return n; }
    static T SllBy(T a, int n) { return vshlq_u16(a, vdupq_n_s16(int16_t(n))); }
    static T SrlBy(T a, int n) { return vshlq_u16(a, vdupq_n_s16(int16_t(-n))); }
    static uint32x4_t SllBy32(uint32x4_t a, int n) { return vshlq_u32(a, vdupq_n_s32(n)); }
    static uint32x4_t Low(T a) { return vmovl_u16(vget_low_u16(a)); }
    static uint32x4_t High(T a) { return vmovl_u16(vget_high_u16(a)); }
    static void StoreInterleaved(uint8_t* p, T a, T b) {
        const uint16x8x2_t pixels = vzipq_u16(a, b);
        vst1q_u8(p, vreinterpretq_u8_u16(pixels.val[0]));
        vst1q_u8(p + 16, vreinterpretq_u8_u16(pixels.val[1]));
    }
};

void ToScreenRow(uint8_t* dst, const uint16_t* src, int32_t count, const ScreenFormat& format) {
    ToScreenRowVector<NeonScreen>(dst, src, count, format, ScalarKernels().toScreenRow);
}

} // namespace

void SetNeonKernels(KernelTable& k) {
    vec::InstallShared<Neon>(k);
    k.blit[size_t(BlitCase::Copy)] = vec::CopyEntry<Neon>;
    k.turn16 = vec::TurnTiles<Neon>;
    k.sampleRow16 = vec::SampleRowZoomed<Neon>;
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
