// The screen-row conversion over an instruction set's 16-bit lanes,
// compiled into each instruction set's kernel file. Internal linkage keeps
// each file's copy its own.
#ifndef ZORVA_KERNELS_SCREENVECTOR_H
#define ZORVA_KERNELS_SCREENVECTOR_H

#include "kernels/Kernels.h"

namespace zorva {
namespace {

// The common screens, each a few instructions a vector: RGB555 (green's
// lowest bit dropped), BGR565 (red and blue exchanged), and 32-bit pixels
// whose channels are whole bytes (XRGB, XBGR, ARGB, ...), built as two
// 16-bit halves that are interleaved. `byteOf` gives, for each byte of
// the pixel, the channel there: 0 red, 1 green, 2 blue, 3 the fill's byte.
enum class ScreenCase { Generic, Rgb555, Bgr565, Bytes32 };

inline ScreenCase CaseOf(const ScreenFormat& f, int (&byteOf)[4]) {
    auto is = [&](int bytes, int rs, int rb, int gs, int gb, int bs, int bb) {
        return f.bytes == bytes && f.redShift == rs && f.redBits == rb && f.greenShift == gs &&
               f.greenBits == gb && f.blueShift == bs && f.blueBits == bb && f.fill == 0;
    };
    if (is(2, 10, 5, 5, 5, 0, 5)) return ScreenCase::Rgb555;
    if (is(2, 0, 5, 5, 6, 11, 5)) return ScreenCase::Bgr565;
    if (f.bytes != 4 || f.redBits != 8 || f.greenBits != 8 || f.blueBits != 8 || f.redShift % 8 ||
        f.greenShift % 8 || f.blueShift % 8)
        return ScreenCase::Generic;
    for (int& b : byteOf)
        b = 3;
    byteOf[f.redShift / 8] = 0;
    byteOf[f.greenShift / 8] = 1;
    byteOf[f.blueShift / 8] = 2;
    // The fill may only hold bits where no channel is.
    for (int b = 0; b < 4; ++b)
        if (byteOf[b] != 3 && (f.fill >> (8 * b) & 0xFF)) return ScreenCase::Generic;
    return ScreenCase::Bytes32;
}

// 32-bit pixels of whole-byte channels: byte k of a pixel holds channel Bk
// (0 red, 1 green, 2 blue, 3 the fill's byte). Converts `count` pixels (a
// multiple of the lanes) and returns the count.
template <class V, int B0, int B1, int B2, int B3>
int32_t Bytes32Rows(uint8_t* dst, const uint16_t* src, int32_t count, uint32_t fill) {
    using T = typename V::T;
    // A channel at the top of a 16-bit lane times 2^3 + 2^-2 (red, blue:
    // 0x0108) or 2^2 + 2^-4 (green at bits 5-10: 0x2080), keeping the high
    // half: its 8-bit value with its top bits repeated below.
    const T redMask = V::Splat(0xF800), greenMask = V::Splat(0x07E0);
    const T five = V::Splat(0x0108), six = V::Splat(0x2080);
    const T low = V::Splat(uint16_t(fill)), high = V::Splat(uint16_t(fill >> 16));
    for (int32_t i = 0; i < count; i += V::kLanes) {
        const T p = V::Load(src + i);
        const T c[4] = {V::MulHighUnsigned(V::And(p, redMask), five),
                        V::MulHighUnsigned(V::And(p, greenMask), six),
                        V::MulHighUnsigned(V::template Sll<11>(p), five), V::Splat(0)};
        V::StoreInterleaved(dst + 4 * i, V::Or(V::Or(c[B0], V::template Sll<8>(c[B1])), low),
                            V::Or(V::Or(c[B2], V::template Sll<8>(c[B3])), high));
    }
    return count;
}

// V supplies T (16-bit lanes, kLanes of them), Load, Store16, Store32,
// Splat, And, Or, MulHighUnsigned, constant shifts Sll<n> and Srl<n>, shifts by a count made
// by MakeCount: SllBy and SrlBy on 16-bit lanes, SllBy32 on 32-bit lanes,
// Splat32, Or32, Low and High, which widen the first and second half of the
// lanes to 32 bits, and StoreInterleaved, which stores pixel i's low half
// from a's lane i and its high half from b's, in pixel order.
template <class V>
void ToScreenRowVector(uint8_t* dst, const uint16_t* src, int32_t count, const ScreenFormat& f,
                       void (*scalar)(uint8_t*, const uint16_t*, int32_t, const ScreenFormat&)) {
    using T = typename V::T;
    constexpr int kLanes = V::kLanes;
    if (f.bytes == 3 || count < kLanes) return scalar(dst, src, count, f);
    int byteOf[4] = {};
    const ScreenCase which = CaseOf(f, byteOf);
    int32_t i = 0;
    if (which == ScreenCase::Rgb555) {
        const T high = V::Splat(0x7FE0), five = V::Splat(0x1F);
        for (; i + kLanes <= count; i += kLanes) {
            const T p = V::Load(src + i);
            V::Store16(dst + 2 * i, V::Or(V::And(V::template Srl<1>(p), high), V::And(p, five)));
        }
    } else if (which == ScreenCase::Bgr565) {
        const T green = V::Splat(0x7E0);
        for (; i + kLanes <= count; i += kLanes) {
            const T p = V::Load(src + i);
            V::Store16(dst + 2 * i, V::Or(V::Or(V::template Srl<11>(p), V::And(p, green)),
                                          V::template Sll<11>(p)));
        }
    } else if (which == ScreenCase::Bytes32) {
        // The channel orders screens have, each its own loop; another order
        // takes the generic one.
        const int order = byteOf[0] << 6 | byteOf[1] << 4 | byteOf[2] << 2 | byteOf[3];
        const int32_t whole = count - count % kLanes;
        if (order == (2 << 6 | 1 << 4 | 0 << 2 | 3)) // B G R X: XRGB8888
            i = Bytes32Rows<V, 2, 1, 0, 3>(dst, src, whole, f.fill);
        else if (order == (0 << 6 | 1 << 4 | 2 << 2 | 3)) // R G B X: XBGR8888
            i = Bytes32Rows<V, 0, 1, 2, 3>(dst, src, whole, f.fill);
        else if (order == (3 << 6 | 2 << 4 | 1 << 2 | 0)) // X B G R: RGBX8888
            i = Bytes32Rows<V, 3, 2, 1, 0>(dst, src, whole, f.fill);
        else if (order == (3 << 6 | 0 << 4 | 1 << 2 | 2)) // X R G B: BGRX8888
            i = Bytes32Rows<V, 3, 0, 1, 2>(dst, src, whole, f.fill);
    }
    if (which != ScreenCase::Generic && (i > 0 || count < kLanes)) {
        if (i < count) scalar(dst + size_t(i) * f.bytes, src + i, count - i, f);
        return;
    }
    const auto rNarrow = V::MakeCount(8 - f.redBits), gNarrow = V::MakeCount(8 - f.greenBits);
    const auto bNarrow = V::MakeCount(8 - f.blueBits);
    const auto rShift = V::MakeCount(f.redShift), gShift = V::MakeCount(f.greenShift);
    const auto bShift = V::MakeCount(f.blueShift);
    const T six = V::Splat(0x3F), five = V::Splat(0x1F);
    for (; i + kLanes <= count; i += kLanes) {
        const T p = V::Load(src + i);
        // 5 and 6 bits widened to 8 by repeating the top bits, then cut to
        // the screen's lengths.
        const T r5 = V::template Srl<11>(p);
        const T g6 = V::And(V::template Srl<5>(p), six);
        const T b5 = V::And(p, five);
        const T r = V::SrlBy(V::Or(V::template Sll<3>(r5), V::template Srl<2>(r5)), rNarrow);
        const T g = V::SrlBy(V::Or(V::template Sll<2>(g6), V::template Srl<4>(g6)), gNarrow);
        const T b = V::SrlBy(V::Or(V::template Sll<3>(b5), V::template Srl<2>(b5)), bNarrow);
        if (f.bytes == 2) {
            const T out = V::Or(V::Or(V::SllBy(r, rShift), V::SllBy(g, gShift)),
                                V::Or(V::SllBy(b, bShift), V::Splat(uint16_t(f.fill))));
            V::Store16(dst + 2 * i, out);
            continue;
        }
        const auto fill = V::Splat32(f.fill);
        const auto lo =
            V::Or32(V::Or32(V::SllBy32(V::Low(r), rShift), V::SllBy32(V::Low(g), gShift)),
                    V::Or32(V::SllBy32(V::Low(b), bShift), fill));
        const auto hi =
            V::Or32(V::Or32(V::SllBy32(V::High(r), rShift), V::SllBy32(V::High(g), gShift)),
                    V::Or32(V::SllBy32(V::High(b), bShift), fill));
        V::Store32(dst + 4 * i, lo);
        V::Store32(dst + 4 * i + 2 * kLanes, hi);
    }
    if (i < count) scalar(dst + size_t(i) * f.bytes, src + i, count - i, f);
}

} // namespace
} // namespace zorva

#endif // ZORVA_KERNELS_SCREENVECTOR_H
