// Screens' pixel formats at NEON: eight pixels a step. Built for AArch64,
// and for 32-bit ARM with -mfpu=neon.
#include "kernels/ScreenVector.h"
#include "kernels/TableBuilders.h"

#include <arm_neon.h>

namespace zorva {
namespace {

struct NeonScreen {
    using T = uint16x8_t;
    static constexpr int kLanes = 8;
    static T Load(const uint16_t* p) { return vld1q_u16(p); }
    static void Store16(uint8_t* p, T v) { vst1q_u8(p, vreinterpretq_u8_u16(v)); }
    static void Store32(uint8_t* p, uint32x4_t v) { vst1q_u8(p, vreinterpretq_u8_u32(v)); }
    static T Splat(uint16_t v) { return vdupq_n_u16(v); }
    static uint32x4_t Splat32(uint32_t v) { return vdupq_n_u32(v); }
    static T And(T a, T b) { return vandq_u16(a, b); }
    static T MulHigh(T a, T b) {
        return vcombine_u16(vshrn_n_u32(vmull_u16(vget_low_u16(a), vget_low_u16(b)), 16),
                            vshrn_n_u32(vmull_u16(vget_high_u16(a), vget_high_u16(b)), 16));
    }
    static T Or(T a, T b) { return vorrq_u16(a, b); }
    static uint32x4_t Or32(uint32x4_t a, uint32x4_t b) { return vorrq_u32(a, b); }
    template <int n>
    static T Sll(T a) {
        return vshlq_n_u16(a, n);
    }
    template <int n>
    static T Srl(T a) {
        return vshrq_n_u16(a, n);
    }
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

void SetNeonScreenKernels(KernelTable& k) {
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
