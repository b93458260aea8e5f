// The scalar blit and turn kernels: the definition every faster kernel is
// held to.
#include "kernels/TableBuilders.h"

#include "core/Pixel565.h"

#include <cstring>

namespace zorva {
namespace {

template <class T>
void TurnStrips(const TurnDesc& t);

// The one rule of every case: what is written over the pixel at `q` for
// source pixel `s` (with alpha byte `alphaByte`). False leaves the pixel
// untouched. The destination is read only where a blend needs it, so the
// copying cases never load it. kFull: opacity is 32, so the alpha path's
// weight (alpha * 32) >> 5 is the alpha byte itself.
template <BlitCase C, bool kFull>
inline bool NewValue(const uint16_t* q, uint16_t s, uint32_t alphaByte, const BlitDesc& d,
                     uint16_t& out) {
    if constexpr (C == BlitCase::Copy) {
        out = s;
        return true;
    } else if constexpr (C == BlitCase::KeyOpaque) {
        out = s;
        return s != d.key;
    } else if constexpr (C == BlitCase::KeyBlend) {
        if (s == d.key) return false;
        out = BlendRGB565(*q, s, d.opacity);
        return true;
    } else if constexpr (C == BlitCase::ConstantAlpha) {
        out = BlendRGB565(*q, s, d.opacity);
        return true;
    } else {
        static_assert(C == BlitCase::AlphaPlane, "every case has a rule");
        const uint32_t a = kFull ? alphaByte : (alphaByte * d.opacity) >> 5;
        if (a == 0) return false;
        out = a == 32 ? s : BlendRGB565(*q, s, a);
        return true;
    }
}

template <BlitCase C>
inline uint32_t AlphaAt(const uint8_t* alpha, int32_t i) {
    if constexpr (C == BlitCase::AlphaPlane)
        return alpha[i];
    else
        return 0;
}

// Single size. kDense: destination pixels are adjacent (step 2 bytes), the
// common case of an upright canvas and of every bitmap.
template <BlitCase C, bool kFull, bool kDense>
void SingleRows(const BlitDesc& d) {
    uint8_t* row = d.dst;
    const uint16_t* src = d.src;
    const uint8_t* alpha = d.alpha;
    for (int32_t j = 0; j < d.height; ++j) {
        if constexpr (kDense) {
            auto* q = reinterpret_cast<uint16_t*>(row);
            for (int32_t i = 0; i < d.width; ++i) {
                uint16_t v;
                if (NewValue<C, kFull>(q + i, src[i], AlphaAt<C>(alpha, i), d, v)) q[i] = v;
            }
        } else {
            uint8_t* p = row;
            for (int32_t i = 0; i < d.width; ++i, p += d.dstStep) {
                auto* q = reinterpret_cast<uint16_t*>(p);
                uint16_t v;
                if (NewValue<C, kFull>(q, src[i], AlphaAt<C>(alpha, i), d, v)) *q = v;
            }
        }
        row += d.dstRowStep;
        src += d.srcStride;
        if constexpr (C == BlitCase::AlphaPlane) alpha += d.srcStride;
    }
}

// Copies of adjacent, disjoint rows are block copies; rows that follow one
// another in both buffers (a full-width bitmap onto a dense canvas) are one
// block, which the C library copies faster than the same bytes row by row.
void CopyDenseDisjointRows(const BlitDesc& d) {
    uint8_t* row = d.dst;
    const uint16_t* src = d.src;
    const size_t bytes = size_t(d.width) * 2;
    if (d.dstRowStep == ptrdiff_t(bytes) && d.srcStride == d.width)
        return std::memcpy(row, src, bytes * size_t(d.height)), void();
    for (int32_t j = 0; j < d.height; ++j, row += d.dstRowStep, src += d.srcStride)
        std::memcpy(row, src, bytes);
}

// Keyed copies of adjacent, disjoint rows. Every destination pixel is read
// and written back, keyed ones unchanged: with no source pixel in the
// destination's memory this is the same result as skipping them, and the
// select without a branch lets the compiler work on several pixels at once.
void KeyDenseDisjointRows(const BlitDesc& d) {
    uint8_t* row = d.dst;
    const uint16_t* src = d.src;
    const uint16_t key = d.key;
    for (int32_t j = 0; j < d.height; ++j, row += d.dstRowStep, src += d.srcStride) {
        uint16_t* __restrict q = reinterpret_cast<uint16_t*>(row);
        const uint16_t* __restrict s = src;
        for (int32_t i = 0; i < d.width; ++i)
            q[i] = s[i] == key ? q[i] : s[i];
    }
}

template <BlitCase C>
void Single(const BlitDesc& d) {
    const bool dense = d.dstStep == 2;
    if constexpr (C == BlitCase::Copy) {
        if (dense && d.disjoint) return CopyDenseDisjointRows(d);
        // A quarter-turned view: the source rows land side by side, so the
        // copy is a turn, walked in tiles rather than a column at a time.
        TurnDesc t;
        if (!dense && TurnOfCopy(d, t)) return TurnStrips<uint16_t>(t);
    }
    if constexpr (C == BlitCase::KeyOpaque) {
        if (dense && d.disjoint) return KeyDenseDisjointRows(d);
    }
    if constexpr (C == BlitCase::AlphaPlane) {
        if (d.opacity == 32)
            return dense ? SingleRows<C, true, true>(d) : SingleRows<C, true, false>(d);
    }
    return dense ? SingleRows<C, false, true>(d) : SingleRows<C, false, false>(d);
}

// Double size: one value per source pixel, from the block's top-left pixel,
// written to the block's four pixels, two in each of its rows.
template <BlitCase C, bool kFull, bool kDense>
void TwiceRows(const BlitDesc& d) {
    const ptrdiff_t xs = kDense ? 2 : d.dstStep;
    const ptrdiff_t ys = d.dstRowStep;
    uint8_t* row = d.dst;
    const uint16_t* src = d.src;
    const uint8_t* alpha = d.alpha;
    for (int32_t j = 0; j < d.height; ++j) {
        uint8_t* p = row;
        for (int32_t i = 0; i < d.width; ++i, p += 2 * xs) {
            uint16_t v;
            if (!NewValue<C, kFull>(reinterpret_cast<uint16_t*>(p), src[i], AlphaAt<C>(alpha, i), d,
                                    v))
                continue;
            *reinterpret_cast<uint16_t*>(p) = v;
            *reinterpret_cast<uint16_t*>(p + xs) = v;
            *reinterpret_cast<uint16_t*>(p + ys) = v;
            *reinterpret_cast<uint16_t*>(p + ys + xs) = v;
        }
        row += 2 * ys;
        src += d.srcStride;
        if constexpr (C == BlitCase::AlphaPlane) alpha += d.srcStride;
    }
}

template <BlitCase C>
void Twice(const BlitDesc& d) {
    const bool dense = d.dstStep == 2;
    if constexpr (C == BlitCase::AlphaPlane) {
        if (d.opacity == 32)
            return dense ? TwiceRows<C, true, true>(d) : TwiceRows<C, true, false>(d);
    }
    return dense ? TwiceRows<C, false, true>(d) : TwiceRows<C, false, false>(d);
}

// Turns in strips of kStrip source rows, walked column by column: the
// strip's elements of one column land side by side, so each column writes
// kStrip neighbouring elements instead of one element per destination row.
template <class T>
void TurnStrips(const TurnDesc& t) {
    constexpr int32_t kStrip = 8;
    const T* src = static_cast<const T*>(t.src);
    uint8_t* rowStart = t.dst;
    int32_t y = 0;
    for (; y + kStrip <= t.height; y += kStrip) {
        const T* strip = src + ptrdiff_t(y) * t.srcStride;
        uint8_t* at = rowStart;
        for (int32_t x = 0; x < t.width; ++x, at += t.dstColumnStep) {
            uint8_t* to = at;
            const T* from = strip + x;
            for (int32_t s = 0; s < kStrip; ++s, to += t.dstRowStep, from += t.srcStride)
                *reinterpret_cast<T*>(to) = *from;
        }
        rowStart += kStrip * t.dstRowStep;
    }
    for (; y < t.height; ++y, rowStart += t.dstRowStep) {
        const T* row = src + ptrdiff_t(y) * t.srcStride;
        uint8_t* at = rowStart;
        for (int32_t x = 0; x < t.width; ++x, at += t.dstColumnStep)
            *reinterpret_cast<T*>(at) = row[x];
    }
}

} // namespace

void SetScalarBlitKernels(KernelTable& k) {
    const BlitKernel single[] = {Single<BlitCase::AlphaPlane>, Single<BlitCase::ConstantAlpha>,
                                 Single<BlitCase::KeyOpaque>, Single<BlitCase::KeyBlend>,
                                 Single<BlitCase::Copy>};
    const BlitKernel twice[] = {Twice<BlitCase::AlphaPlane>, Twice<BlitCase::ConstantAlpha>,
                                Twice<BlitCase::KeyOpaque>, Twice<BlitCase::KeyBlend>,
                                Twice<BlitCase::Copy>};
    for (size_t i = 0; i < size_t(BlitCase::Count); ++i) {
        k.blit[i] = single[i];
        k.blit2x[i] = twice[i];
    }
    k.turn16 = TurnStrips<uint16_t>;
    k.turn8 = TurnStrips<uint8_t>;
}

} // namespace zorva
