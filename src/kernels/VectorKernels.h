// The vector kernels, written once over a vector of 16-bit lanes. Each
// instruction-set file defines its vector (a struct V of static operations
// on V::T, V::kLanes lanes) and instantiates these templates with it; only
// those files include this header, and only templates over V live here, so
// no function compiled for one instruction set can stand in for another's.
//
// The blend works channel by channel in 16-bit lanes: for a weight a in
// 0..32 and channels s, d (5 or 6 bits), (s - d) * a lies in
// [-2016, 2016], and an arithmetic shift right by 5 is the floor of the
// packed formula, so d + ((s - d) * a >> 5) is BlendRGB565's channel bit
// for bit. Weights above 32 (which the packed formula lets spill across
// channels) go to the scalar kernel.
//
// Tails: the last kLanes or fewer pixels of a row are copied into lane-sized
// buffers, worked by the same vector code and copied back, so every pixel
// goes through one formula and nothing outside the row is read or written.
#ifndef ZORVA_KERNELS_VECTORKERNELS_H
#define ZORVA_KERNELS_VECTORKERNELS_H

#include "kernels/Kernels.h"
#include "kernels/TableBuilders.h"

#include <cstring>
#include <type_traits>

namespace zorva {
namespace vec {

// Channel by channel d + ((s - d) * a >> 5); a per lane, 0..32. Each
// channel's change is worked where it is cheapest and added to d in place:
// the new channel lies between d's and s's, so no sum borrows from or
// carries into a neighbour.
//   blue  (bits 0..4):  (sb - db) * a >> 5, arithmetic
//   green (bits 5..10): x = (sg - dg) << 5 in [-2016, 2016] stays in place;
//                       the high half of x * (a << 6) is (sg - dg) * a >> 5
//   red   (bits 11..15): v = (sr - dr) * a from the shifted channels;
//                       (v >> 5) << 11 is (v << 6) & 0xF800 in 16 bits,
//                       and v << 6 is (sr - dr) * (a << 6), green's factor
template <class V>
inline typename V::T Blend(typename V::T d, typename V::T s, typename V::T a) {
    using T = typename V::T;
    const T m5 = V::Splat(0x1F), m6 = V::Splat(0x7E0), a6 = V::template Sll<6>(a);
    const T b = V::template Sra<5>(V::Mul(V::Sub(V::And(s, m5), V::And(d, m5)), a));
    const T g = V::MulHigh(V::Sub(V::And(s, m6), V::And(d, m6)), a6);
    const T r = V::Mul(V::Sub(V::template Srl<11>(s), V::template Srl<11>(d)), a6);
    return V::Add(V::Add(d, b), V::Add(V::template Sll<5>(g), V::And(r, V::Splat(0xF800))));
}

// Each channel v becomes v * level >> 5, level 0..32.
template <class V>
inline typename V::T Scale(typename V::T p, typename V::T level) {
    using T = typename V::T;
    const T b = V::Mul(V::And(p, V::Splat(0x1F)), level);
    const T g = V::Mul(V::And(V::template Srl<5>(p), V::Splat(0x3F)), level);
    const T r = V::Mul(V::template Srl<11>(p), level);
    // (g >> 5) << 5 and (r >> 5) << 11 as masks: g < 2048, r << 6 < 65536.
    return V::Or(V::Or(V::template Srl<5>(b), V::And(g, V::Splat(0x7E0))),
                 V::And(V::template Sll<6>(r), V::Splat(0xF800)));
}

// Runs body(offset, n) over a row of `count` pixels: n == kLanes for the
// whole vectors, then once with the remaining 1..kLanes-1 pixels.
template <class V, class Body>
inline void OverRow(int32_t count, Body body) {
    int32_t i = 0;
    for (; i + V::kLanes <= count; i += V::kLanes)
        body(i, V::kLanes);
    if (i < count) body(i, count - i);
}

// A kLanes-pixel window on a row: the row itself for a whole vector, a
// zero-padded copy for a tail (filled only then, so that whole vectors cost
// nothing here).
template <class V>
struct Window16 {
    uint16_t buffer[V::kLanes * 2];
    uint16_t* at;
    Window16(uint16_t* row, int32_t n, int32_t width = V::kLanes) {
        if (n == width) {
            at = row;
        } else {
            std::memset(buffer, 0, sizeof buffer);
            std::memcpy(buffer, row, size_t(n) * 2);
            at = buffer;
        }
    }
    void WriteBack(uint16_t* row, int32_t n) const {
        if (at == buffer) std::memcpy(row, buffer, size_t(n) * 2);
    }
};

template <class V>
struct Window8 {
    uint8_t buffer[V::kLanes];
    const uint8_t* at = nullptr;
    void Set(const uint8_t* row, int32_t n) {
        if (n == V::kLanes) {
            at = row;
        } else {
            std::memset(buffer, 0, sizeof buffer);
            std::memcpy(buffer, row, size_t(n));
            at = buffer;
        }
    }
};

// Whether every alpha byte of a row is at most 32, so that every weight
// (alpha * opacity) >> 5 with opacity <= 32 is too. Rows of a vector or more
// keep the most of each lane (the last vector overlapping the one before)
// and test it once: w + 31 reaches 64 exactly when w passes 32. Shorter
// rows are a plain loop.
template <class V>
inline bool WeightsInRange(const uint8_t* alpha, int32_t count) {
    constexpr int32_t kBytes = 2 * V::kLanes; // a vector's bytes
    if (count >= kBytes) {
        // Whole vectors of bytes, no widening: the most of each byte lane,
        // then whether any passes 32.
        typename V::T most = V::LoadBytes(alpha + count - kBytes);
        for (int32_t i = 0; i + kBytes <= count; i += kBytes)
            most = V::MaxBytes(most, V::LoadBytes(alpha + i));
        return V::AllZero(V::SubSatBytes(most, V::Splat(0x2020)));
    }
    if (count >= V::kLanes) {
        typename V::T most = V::LoadWeights(alpha + count - V::kLanes);
        for (int32_t i = 0; i + V::kLanes <= count; i += V::kLanes)
            most = V::Max(most, V::LoadWeights(alpha + i));
        return V::NoneInCommon(V::Add(most, V::Splat(31)), V::Splat(0xFFC0));
    }
    uint8_t most = 0;
    for (int32_t i = 0; i < count; ++i)
        most = alpha[i] > most ? alpha[i] : most;
    return most <= 32;
}

// ---- Single-size blits, dense rows

// What a vector of pixels gets: nothing, or the values worked out.
enum class Outcome : uint8_t { Keep, Write };

// The new values of the kLanes pixels at q, read from the row as it is
// (alpha-plane weights at most 32). The destination is loaded only where a
// blend or a key needs it. A Write may hold unchanged pixels (keyed lanes,
// weights of 0): writing them back is the plain loop's result, since
// nothing reads them in between.
template <class V, BlitCase C, bool kFull>
inline Outcome CaseVector(const uint16_t* q, const uint16_t* s, const uint8_t* alpha,
                          typename V::T opacity, typename V::T key, typename V::T& out) {
    using T = typename V::T;
    if constexpr (C == BlitCase::AlphaPlane) {
        T a = V::LoadWeights(alpha);
        if constexpr (!kFull) a = V::template Srl<5>(V::Mul(a, opacity));
        const T full = V::Splat(32);
        // Weights of 0 and 32 only (runs of an opaque sprite): skipped,
        // copied, or each pixel chosen; the blend is for the others.
        if (V::NoneInCommon(a, V::Splat(31))) {
            if (V::AllZero(a)) return Outcome::Keep;
            out = V::Load(s);
            if (!V::AllZero(V::Xor(a, full))) out = V::Select(V::Eq(a, full), out, V::Load(q));
            return Outcome::Write;
        }
        out = Blend<V>(V::Load(q), V::Load(s), a);
        return Outcome::Write;
    } else if constexpr (C == BlitCase::ConstantAlpha) {
        out = Blend<V>(V::Load(q), V::Load(s), opacity);
        return Outcome::Write;
    } else if constexpr (C == BlitCase::KeyOpaque) {
        const T sv = V::Load(s);
        out = V::Select(V::Eq(sv, key), V::Load(q), sv);
        return Outcome::Write;
    } else {
        static_assert(C == BlitCase::KeyBlend, "copies are block copies");
        const T sv = V::Load(s), keyed = V::Eq(sv, key);
        if (V::AllTrue(keyed)) return Outcome::Keep;
        const T dv = V::Load(q);
        out = V::Select(keyed, dv, Blend<V>(dv, sv, opacity));
        return Outcome::Write;
    }
}

// The plane's bytes from pixel i on (null for the cases without a plane).
template <BlitCase C>
inline const uint8_t* PlaneAt(const uint8_t* alpha, int32_t i) {
    if constexpr (C == BlitCase::AlphaPlane)
        return alpha + i;
    else
        return nullptr;
}

// One row of `d` (the row at `row`, `src`, `alpha`) by the scalar kernel of
// the case: an alpha-plane row with a weight above 32, which spills across
// channels. (A call rather than the rule in line: pixel maths compiled here
// would be built for this file's instruction set, and an out-of-line copy
// of it could end up serving the scalar path.)
template <BlitCase C>
inline void ScalarRow(const BlitDesc& d, uint8_t* row, const uint16_t* src, const uint8_t* alpha) {
    BlitDesc one = d;
    one.dst = row;
    one.src = src;
    one.alpha = alpha;
    one.height = 1;
    ScalarKernels().blit[size_t(C)](one);
}

// One row of at least kLanes pixels. A row that does not end on a whole
// vector ends with one that overlaps the one before it: that vector is
// worked out first, from the row as it was, and written last, so the pixels
// both cover get the same value twice and nothing outside the row is
// touched. Every value is worked out from pixels not yet written, as in the
// plain loop when the reads run ahead (ReadsAhead).
// kVectors: the row is known to be that many whole vectors (0: any width of
// a vector or more), so the common sprite widths run without loop or tail
// tests.
template <class V, BlitCase C, bool kFull, int32_t kVectors = 0>
inline void DenseRow(uint16_t* q, const uint16_t* src, const uint8_t* alpha, int32_t width,
                     typename V::T opacity, typename V::T key) {
    using T = typename V::T;
    constexpr int32_t L = V::kLanes;
    if constexpr (kVectors > 0) width = kVectors * L;
    const int32_t last = width - L;
    const bool overlap = kVectors == 0 && width % L != 0;
    T lastValue = key;
    Outcome lastOutcome = Outcome::Keep;
    if (overlap)
        lastOutcome = CaseVector<V, C, kFull>(q + last, src + last, PlaneAt<C>(alpha, last),
                                              opacity, key, lastValue);
    int32_t i = 0;
    for (; i <= last; i += L) {
        T value = key;
        if (CaseVector<V, C, kFull>(q + i, src + i, PlaneAt<C>(alpha, i), opacity, key, value) ==
            Outcome::Write)
            V::Store(q + i, value);
    }
    if (lastOutcome == Outcome::Write) V::Store(q + last, lastValue);
}

// One row shorter than a vector, through zero-padded copies (weights 0 past
// the row); only the row's own pixels are written back.
template <class V, BlitCase C, bool kFull>
inline void ShortRow(uint8_t* row, const uint16_t* src, const uint8_t* alpha, int32_t width,
                     typename V::T opacity, typename V::T key) {
    uint16_t q[V::kLanes] = {}, s[V::kLanes] = {};
    uint8_t a[V::kLanes] = {};
    std::memcpy(q, row, size_t(width) * 2);
    std::memcpy(s, src, size_t(width) * 2);
    if constexpr (C == BlitCase::AlphaPlane) std::memcpy(a, alpha, size_t(width));
    typename V::T value = key;
    if (CaseVector<V, C, kFull>(q, s, a, opacity, key, value) == Outcome::Write) {
        V::Store(q, value);
        std::memcpy(row, q, size_t(width) * 2);
    }
}

// V::Half, a vector of half the lanes for the rows too short for V, or
// void when V has none.
template <class V, class = void>
struct HalfOf {
    using type = void;
};
template <class V>
struct HalfOf<V, std::void_t<typename V::Half>> {
    using type = typename V::Half;
};

// The rows of `d`. kRowCheck: some alpha row may hold a weight above 32, so
// each is looked at first and such a row takes the scalar kernel. kVectors
// as for DenseRow.
template <class V, BlitCase C, bool kFull, bool kRowCheck, int32_t kVectors = 0>
void DenseRowsOf(const BlitDesc& d) {
    // Fields in locals: the stores below could otherwise be taken to change
    // them.
    const typename V::T opacity = V::Splat(uint16_t(d.opacity)), key = V::Splat(d.key);
    const ptrdiff_t rowStep = d.dstRowStep, stride = d.srcStride;
    const int32_t width = d.width, height = d.height;
    uint8_t* row = d.dst;
    const uint16_t* src = d.src;
    const uint8_t* alpha = d.alpha;
    const ptrdiff_t alphaStride = C == BlitCase::AlphaPlane ? stride : 0;
    for (int32_t j = 0; j < height; ++j, row += rowStep, src += stride, alpha += alphaStride) {
        if (kRowCheck && !WeightsInRange<V>(alpha, width))
            ScalarRow<C>(d, row, src, alpha);
        else if (width >= V::kLanes)
            DenseRow<V, C, kFull, kVectors>(reinterpret_cast<uint16_t*>(row), src, alpha, width,
                                            opacity, key);
        else
            ShortRow<V, C, kFull>(row, src, alpha, width, opacity, key);
    }
}

// Whether every alpha byte of the rectangle is at most 32: the rows' lane
// maxima gathered, one test at the end.
template <class V>
inline bool PlaneInRange(const BlitDesc& d) {
    if (d.width < V::kLanes) {
        for (int32_t j = 0; j < d.height; ++j)
            if (!WeightsInRange<V>(d.alpha + ptrdiff_t(j) * d.srcStride, d.width)) return false;
        return true;
    }
    typename V::T most = V::Splat(0);
    const uint8_t* alpha = d.alpha;
    for (int32_t j = 0; j < d.height; ++j, alpha += d.srcStride) {
        most = V::Max(most, V::LoadWeights(alpha + d.width - V::kLanes));
        for (int32_t i = 0; i + V::kLanes <= d.width; i += V::kLanes)
            most = V::Max(most, V::LoadWeights(alpha + i));
    }
    return V::NoneInCommon(V::Add(most, V::Splat(31)), V::Splat(0xFFC0));
}

template <class V, BlitCase C, bool kFull>
void DenseRows(const BlitDesc& d) {
    using Half = typename HalfOf<V>::type;
    if constexpr (!std::is_void_v<Half>) {
        if (d.width < V::kLanes) return DenseRows<Half, C, kFull>(d);
    }
    // A sprite's plane is looked at as a whole first (a byte a pixel, in the
    // cache afterwards), so that the rows' loop needs no test and makes no
    // call when, as nearly always, every weight is in range. A large plane
    // is looked at a row at a time, while the row is in the cache anyway.
    constexpr int64_t kSmallPlane = 8192;
    if (C == BlitCase::AlphaPlane &&
        (int64_t(d.width) * d.height > kSmallPlane || !PlaneInRange<V>(d)))
        return DenseRowsOf<V, C, kFull, true>(d);
    if (d.width == V::kLanes) return DenseRowsOf<V, C, kFull, false, 1>(d);
    if (d.width == 2 * V::kLanes) return DenseRowsOf<V, C, kFull, false, 2>(d);
    DenseRowsOf<V, C, kFull, false>(d);
}

// Contract: BlitDesc's. Dense rows whose reads run ahead of the writes
// (ReadsAhead) with an opacity of at most 32 are worked here, a row of an
// alpha plane with a weight above 32 by the scalar rule; everything else
// goes to the same case's scalar kernel.
template <class V, BlitCase C>
void SingleEntry(const BlitDesc& d) {
    const bool weighted = C != BlitCase::KeyOpaque;
    if (d.dstStep != 2 || !ReadsAhead(d) || (weighted && d.opacity > 32))
        return ScalarKernels().blit[size_t(C)](d);
    if (C == BlitCase::AlphaPlane && d.opacity == 32) return DenseRows<V, C, true>(d);
    DenseRows<V, C, false>(d);
}

// ---- Double-size blits, dense rows

// One vector of source pixels: their blocks' values from the top-left
// pixels (the even pixels of the top row), then both rows written, the
// blocks left alone keeping their four pixels.
template <class V, BlitCase C, bool kFull>
inline void TwiceVector(uint16_t* top, uint16_t* bottom, const uint16_t* s, const uint8_t* alpha,
                        typename V::T opacity, typename V::T key) {
    using T = typename V::T;
    const T sv = V::Load(s);
    if constexpr (C == BlitCase::Copy) {
        const T lo = V::ZipLo(sv), hi = V::ZipHi(sv);
        V::Store(top, lo);
        V::Store(top + V::kLanes, hi);
        V::Store(bottom, lo);
        V::Store(bottom + V::kLanes, hi);
        return;
    } else {
        const T d = V::EvenLanes(V::Load(top), V::Load(top + V::kLanes));
        T value, keep;
        if constexpr (C == BlitCase::AlphaPlane) {
            T a = V::LoadWeights(alpha);
            if constexpr (!kFull) a = V::template Srl<5>(V::Mul(a, opacity));
            keep = V::Eq(a, V::Splat(0));
            value = Blend<V>(d, sv, a);
        } else if constexpr (C == BlitCase::ConstantAlpha) {
            keep = V::Splat(0);
            value = Blend<V>(d, sv, opacity);
        } else {
            keep = V::Eq(sv, key);
            value = C == BlitCase::KeyOpaque ? sv : Blend<V>(d, sv, opacity);
        }
        if (V::AllTrue(keep)) return;
        const T lo = V::ZipLo(value), hi = V::ZipHi(value);
        if (!V::AnyTrue(keep)) {
            V::Store(top, lo);
            V::Store(top + V::kLanes, hi);
            V::Store(bottom, lo);
            V::Store(bottom + V::kLanes, hi);
            return;
        }
        const T keepLo = V::ZipLo(keep), keepHi = V::ZipHi(keep);
        V::Store(top, V::Select(keepLo, V::Load(top), lo));
        V::Store(top + V::kLanes, V::Select(keepHi, V::Load(top + V::kLanes), hi));
        V::Store(bottom, V::Select(keepLo, V::Load(bottom), lo));
        V::Store(bottom + V::kLanes, V::Select(keepHi, V::Load(bottom + V::kLanes), hi));
    }
}

template <class V, BlitCase C, bool kFull>
void TwiceRow(uint16_t* top, uint16_t* bottom, const uint16_t* s, const uint8_t* alpha,
              int32_t width, typename V::T opacity, typename V::T key) {
    OverRow<V>(width, [&](int32_t i, int32_t n) {
        Window16<V> tw(top + 2 * i, 2 * n, 2 * V::kLanes);
        Window16<V> bw(bottom + 2 * i, 2 * n, 2 * V::kLanes);
        Window16<V> sw(const_cast<uint16_t*>(s + i), n);
        Window8<V> aw;
        if constexpr (C == BlitCase::AlphaPlane) aw.Set(alpha + i, n);
        TwiceVector<V, C, kFull>(tw.at, bw.at, sw.at, aw.at, opacity, key);
        tw.WriteBack(top + 2 * i, 2 * n);
        bw.WriteBack(bottom + 2 * i, 2 * n);
    });
}

template <class V, BlitCase C>
void Twice(const BlitDesc& d, BlitKernel scalar) {
    const bool weighted = C != BlitCase::KeyOpaque && C != BlitCase::Copy;
    if (d.dstStep != 2 || !d.disjoint || (weighted && d.opacity > 32)) return scalar(d);
    const bool full = C == BlitCase::AlphaPlane && d.opacity == 32;
    const typename V::T opacity = V::Splat(uint16_t(d.opacity)), key = V::Splat(d.key);
    uint8_t* row = d.dst;
    const uint16_t* src = d.src;
    const uint8_t* alpha = d.alpha;
    for (int32_t j = 0; j < d.height; ++j, row += 2 * d.dstRowStep, src += d.srcStride) {
        auto* top = reinterpret_cast<uint16_t*>(row);
        auto* bottom = reinterpret_cast<uint16_t*>(row + d.dstRowStep);
        if (C == BlitCase::AlphaPlane && !WeightsInRange<V>(alpha, d.width)) {
            // A weight above 32 spills across channels: the scalar rule.
            BlitDesc one = d;
            one.dst = row;
            one.src = src;
            one.alpha = alpha;
            one.height = 1;
            scalar(one);
        } else if (full)
            TwiceRow<V, C, true>(top, bottom, src, alpha, d.width, opacity, key);
        else
            TwiceRow<V, C, false>(top, bottom, src, alpha, d.width, opacity, key);
        if (C == BlitCase::AlphaPlane) alpha += d.srcStride;
    }
}

// ---- Rows

// Opaque rectangles: rows of a few vectors stored straight from a register,
// the last vector of a row overlapping the one before; longer rows go to
// the scalar entry's row fill (the C library's, tuned to the processor),
// and so do rows shorter than a vector.
template <class V>
void FillRect(uint8_t* first, ptrdiff_t rowStep, int32_t width, int32_t height, uint16_t colour) {
    constexpr int32_t kLongRow = 256;
    if (width < V::kLanes || width >= kLongRow)
        return ScalarKernels().fillRect(first, rowStep, width, height, colour);
    const typename V::T c = V::Splat(colour);
    const int32_t last = width - V::kLanes;
    for (int32_t j = 0; j < height; ++j, first += rowStep) {
        auto* row = reinterpret_cast<uint16_t*>(first);
        for (int32_t i = 0; i < last; i += V::kLanes)
            V::Store(row + i, c);
        V::Store(row + last, c);
    }
}

template <class V>
void BlendFillRow(uint16_t* row, int32_t count, uint16_t colour, uint32_t weight) {
    const typename V::T c = V::Splat(colour), a = V::Splat(uint16_t(weight));
    OverRow<V>(count, [&](int32_t i, int32_t n) {
        Window16<V> w(row + i, n);
        V::Store(w.at, Blend<V>(V::Load(w.at), c, a));
        w.WriteBack(row + i, n);
    });
}

template <class V>
void ScaleRow(uint16_t* to, const uint16_t* from, int32_t count, uint32_t level) {
    const typename V::T l = V::Splat(uint16_t(level));
    OverRow<V>(count, [&](int32_t i, int32_t n) {
        Window16<V> f(const_cast<uint16_t*>(from + i), n);
        Window16<V> t(to + i, n);
        V::Store(t.at, Scale<V>(V::Load(f.at), l));
        t.WriteBack(to + i, n);
    });
}

// channel = (top * (256 - fy) + bottom * fy) >> 8: at most 63 * 256, so the
// sums fit 16-bit lanes.
template <class V>
void LerpRows(uint16_t* out, const uint16_t* topB, const uint16_t* topG, const uint16_t* topR,
              const uint16_t* bottomB, const uint16_t* bottomG, const uint16_t* bottomR,
              uint32_t fy, int32_t count) {
    using T = typename V::T;
    const T f = V::Splat(uint16_t(fy)), g = V::Splat(uint16_t(256 - fy));
    auto lerp = [&](const uint16_t* t, const uint16_t* b) {
        return V::template Srl<8>(V::Add(V::Mul(V::Load(t), g), V::Mul(V::Load(b), f)));
    };
    OverRow<V>(count, [&](int32_t i, int32_t n) {
        if (n == V::kLanes) {
            const T b = lerp(topB + i, bottomB + i), gr = lerp(topG + i, bottomG + i),
                    r = lerp(topR + i, bottomR + i);
            V::Store(out + i, V::Or(V::Or(b, V::template Sll<5>(gr)), V::template Sll<11>(r)));
            return;
        }
        uint16_t in[6][V::kLanes] = {}, o[V::kLanes];
        const uint16_t* from[6] = {topB, topG, topR, bottomB, bottomG, bottomR};
        for (int c = 0; c < 6; ++c)
            std::memcpy(in[c], from[c] + i, size_t(n) * 2);
        const T b = lerp(in[0], in[3]), gr = lerp(in[1], in[4]), r = lerp(in[2], in[5]);
        V::Store(o, V::Or(V::Or(b, V::template Sll<5>(gr)), V::template Sll<11>(r)));
        std::memcpy(out + i, o, size_t(n) * 2);
    });
}

// Nearest sampling (the sampleRow16 contract) of whole enlargements by 2
// and 4 from a whole pixel, pixel art doubled or quadrupled: each source
// pixel repeated by zipping a vector with itself (twice for 4), a load of
// kLanes pixels never reaching past the last one the row is read at.
// Returns how many outputs it wrote from the first: whole groups of
// 2 * kLanes or 4 * kLanes, none for any other step.
template <class V>
inline int32_t WholeZoom(uint16_t* dst, int32_t count, const uint16_t* srcRow, int64_t pos,
                         int64_t step) {
    if ((pos & 255) != 0 || (step != 128 && step != 64)) return 0;
    constexpr int32_t L = V::kLanes;
    const uint16_t* from = srcRow + (pos >> 8);
    int32_t k = 0;
    if (step == 128) {
        for (; k + 2 * L <= count; k += 2 * L) {
            const typename V::T v = V::Load(from + k / 2);
            V::Store(dst + k, V::ZipLo(v));
            V::Store(dst + k + L, V::ZipHi(v));
        }
    } else {
        for (; k + 4 * L <= count; k += 4 * L) {
            const typename V::T v = V::Load(from + k / 4), lo = V::ZipLo(v), hi = V::ZipHi(v);
            V::Store(dst + k, V::ZipLo(lo));
            V::Store(dst + k + L, V::ZipHi(lo));
            V::Store(dst + k + 2 * L, V::ZipLo(hi));
            V::Store(dst + k + 3 * L, V::ZipHi(hi));
        }
    }
    return k;
}

// Nearest sampling with whole enlargements in vectors and the rest pixel by
// pixel.
template <class V>
void SampleRowZoomed(uint16_t* dst, int32_t count, const uint16_t* srcRow, int64_t pos,
                     int64_t step) {
    const int32_t k = WholeZoom<V>(dst, count, srcRow, pos, step);
    if (k < count)
        ScalarKernels().sampleRow16(dst + k, count - k, srcRow, pos + int64_t(k) * step, step);
}

// ---- The entries every vector level fills the same way. Inputs the
// vectors do not take (weights or levels above 32) go to the scalar entry.

template <class V, BlitCase C>
void TwiceEntry(const BlitDesc& d) {
    Twice<V, C>(d, ScalarKernels().blit2x[size_t(C)]);
}

template <class V>
void BlendFillEntry(uint16_t* row, int32_t count, uint16_t colour, uint32_t weight) {
    if (weight > 32) return ScalarKernels().blendFillRow(row, count, colour, weight);
    BlendFillRow<V>(row, count, colour, weight);
}

template <class V>
void ScaleEntry(uint16_t* to, const uint16_t* from, int32_t count, uint32_t level) {
    if (level > 32) return ScalarKernels().scaleRow(to, from, count, level);
    ScaleRow<V>(to, from, count, level);
}

template <class V>
void InstallShared(KernelTable& k) {
    k.blit[size_t(BlitCase::AlphaPlane)] = SingleEntry<V, BlitCase::AlphaPlane>;
    k.blit[size_t(BlitCase::ConstantAlpha)] = SingleEntry<V, BlitCase::ConstantAlpha>;
    k.blit[size_t(BlitCase::KeyOpaque)] = SingleEntry<V, BlitCase::KeyOpaque>;
    k.blit[size_t(BlitCase::KeyBlend)] = SingleEntry<V, BlitCase::KeyBlend>;
    k.blit2x[size_t(BlitCase::AlphaPlane)] = TwiceEntry<V, BlitCase::AlphaPlane>;
    k.blit2x[size_t(BlitCase::ConstantAlpha)] = TwiceEntry<V, BlitCase::ConstantAlpha>;
    k.blit2x[size_t(BlitCase::KeyOpaque)] = TwiceEntry<V, BlitCase::KeyOpaque>;
    k.blit2x[size_t(BlitCase::KeyBlend)] = TwiceEntry<V, BlitCase::KeyBlend>;
    k.blit2x[size_t(BlitCase::Copy)] = TwiceEntry<V, BlitCase::Copy>;
    k.fillRect = FillRect<V>;
    k.blendFillRow = BlendFillEntry<V>;
    k.scaleRow = ScaleEntry<V>;
    k.lerpRows = LerpRows<V>;
}

// ---- Quarter turns: blocks of 8 source rows by kLanes columns (one 8 x 8
// tile a 128-bit group of lanes) transposed in registers by
// V::Transpose8x8, which works each group on its own. Rows turned downwards
// are loaded bottom first, so that the transposed rows come out reversed
// as the turn wants them. V::StoreGroups writes group g of a vector
// `groupStep` * g bytes further on. Whole blocks here; the right and bottom
// edges by the scalar kernel.
template <class V>
void TurnTiles(const TurnDesc& t) {
    constexpr int32_t kW = V::kLanes;
    const bool up = t.dstRowStep == 2;
    if (!up && t.dstRowStep != -2) return ScalarKernels().turn16(t);
    const auto* src = static_cast<const uint16_t*>(t.src);
    const int32_t wB = t.width / kW * kW, h8 = t.height & ~7;
    const ptrdiff_t column = t.dstColumnStep, groupStep = 8 * column;
    // Blocks of four tiles down (32 source rows), walked across: the tiles
    // of one column fill whole 64-byte lines of the destination together.
    for (int32_t y0 = 0; y0 < h8; y0 += 32) {
        const int32_t y1 = y0 + 32 < h8 ? y0 + 32 : h8;
        for (int32_t x = 0; x < wB; x += kW) {
            for (int32_t y = y0; y < y1; y += 8) {
                typename V::T r[8];
                for (int k = 0; k < 8; ++k)
                    r[k] = V::Load(src + (y + (up ? k : 7 - k)) * t.srcStride + x);
                V::Transpose8x8(r);
                // Downwards the tile's 8 elements of a row end at `at`.
                uint8_t* at =
                    t.dst + ptrdiff_t(x) * column + ptrdiff_t(y) * t.dstRowStep - (up ? 0 : 14);
                for (int k = 0; k < 8; ++k, at += column)
                    V::StoreGroups(at, groupStep, r[k]);
            }
        }
    }
    TurnDesc edge = t;
    if (wB < t.width) { // right columns, all rows
        edge.dst = t.dst + ptrdiff_t(wB) * column;
        edge.src = src + wB;
        edge.width = t.width - wB;
        ScalarKernels().turn16(edge);
    }
    if (h8 < t.height && wB > 0) { // bottom rows, whole-block columns
        edge.dst = t.dst + ptrdiff_t(h8) * t.dstRowStep;
        edge.src = src + ptrdiff_t(h8) * t.srcStride;
        edge.width = wB;
        edge.height = t.height - h8;
        ScalarKernels().turn16(edge);
    }
}

// A copy blit onto a turned view is a turn; any other copy is the scalar one.
template <class V>
void CopyEntry(const BlitDesc& d) {
    TurnDesc t;
    if (d.dstStep != 2 && TurnOfCopy(d, t)) return TurnTiles<V>(t);
    ScalarKernels().blit[size_t(BlitCase::Copy)](d);
}

} // namespace vec
} // namespace zorva

#endif // ZORVA_KERNELS_VECTORKERNELS_H
