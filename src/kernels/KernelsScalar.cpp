// The scalar row kernels: fills, fade frames, scaling rows and the loaders'
// conversions. The definition every faster kernel is held to.
#include "kernels/TableBuilders.h"

#include "core/Pixel565.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace zorva {
namespace {

// Through the C library's fills, which are tuned to the processor: memset
// when both bytes of the colour are the same, else wmemset of pixel pairs
// (a wchar_t is 32 bits here) between a pixel at each end that a pair would
// leave unaligned.
void FillRow(uint16_t* row, int32_t count, uint16_t colour) {
    if ((colour & 0xFF) == colour >> 8) {
        std::memset(row, colour & 0xFF, size_t(count) * 2);
        return;
    }
    if constexpr (sizeof(wchar_t) == 4) {
        if (reinterpret_cast<uintptr_t>(row) & 2) {
            *row++ = colour;
            --count;
        }
        const uint32_t pair = uint32_t(colour) * 0x10001u;
        wchar_t pattern;
        std::memcpy(&pattern, &pair, 4);
        std::wmemset(reinterpret_cast<wchar_t*>(row), pattern, size_t(count) / 2);
        if (count & 1) row[count - 1] = colour;
    } else {
        std::fill_n(row, count, colour);
    }
}

void FillRect(uint8_t* first, ptrdiff_t rowStep, int32_t width, int32_t height, uint16_t colour) {
    for (int32_t j = 0; j < height; ++j, first += rowStep)
        FillRow(reinterpret_cast<uint16_t*>(first), width, colour);
}

void BlendFillRow(uint16_t* row, int32_t count, uint16_t colour, uint32_t weight) {
    const uint32_t S = SpreadRGB565(colour);
    for (int32_t i = 0; i < count; ++i)
        row[i] = BlendSpread(SpreadRGB565(row[i]), S, weight);
}

void ScaleRow(uint16_t* to, const uint16_t* from, int32_t count, uint32_t level) {
    for (int32_t i = 0; i < count; ++i)
        to[i] = ScaleRGB565(from[i], level);
}

template <class T>
void SampleRow(T* dst, int32_t count, const T* srcRow, int64_t pos, int64_t step) {
    for (int32_t k = 0; k < count; ++k, pos += step)
        dst[k] = srcRow[pos >> 8];
}

template <class T>
void SampleLine(T* dst, int32_t count, const T* src, ptrdiff_t stride, int64_t u, int64_t v,
                int64_t du, int64_t dv) {
    for (int32_t k = 0; k < count; ++k, u += du, v += dv)
        dst[k] = src[ptrdiff_t(v >> 8) * stride + ptrdiff_t(u >> 8)];
}

// The two source pixels of each output are gathered first, a chunk at a
// time; the channel sums (each at most 63 * 256) then run in 16-bit
// arithmetic, which the compiler can widen.
void FilterAcross(uint16_t* outB, uint16_t* outG, uint16_t* outR, const uint16_t* row,
                  const int32_t* column, const uint8_t* next, const uint16_t* frac, int32_t count) {
    constexpr int32_t kChunk = 256;
    uint16_t left[kChunk], right[kChunk];
    for (int32_t c0 = 0; c0 < count; c0 += kChunk) {
        const int32_t n = count - c0 < kChunk ? count - c0 : kChunk;
        for (int32_t k = 0; k < n; ++k) {
            left[k] = row[column[c0 + k]];
            right[k] = row[column[c0 + k] + next[c0 + k]];
        }
        const uint16_t* f = frac + c0;
        auto lerp = [](uint32_t a, uint32_t b, uint16_t fk) {
            return uint16_t(uint16_t(uint16_t(a * uint16_t(256 - fk)) + uint16_t(b * fk)) >> 8);
        };
        for (int32_t k = 0; k < n; ++k) {
            const uint16_t a = left[k], b = right[k];
            outB[c0 + k] = lerp(a & 0x1Fu, b & 0x1Fu, f[k]);
            outG[c0 + k] = lerp((a >> 5) & 0x3Fu, (b >> 5) & 0x3Fu, f[k]);
            outR[c0 + k] = lerp(a >> 11, b >> 11, f[k]);
        }
    }
}

// Each product is at most 63 * 256 and so is their sum: 16-bit arithmetic
// holds the exact values, and the compiler can widen the loop.
void LerpRows(uint16_t* out, const uint16_t* topB, const uint16_t* topG, const uint16_t* topR,
              const uint16_t* bottomB, const uint16_t* bottomG, const uint16_t* bottomR,
              uint32_t fy, int32_t count) {
    const uint16_t f = uint16_t(fy), g = uint16_t(256 - fy);
    auto lerp = [f, g](uint16_t t, uint16_t b) {
        return uint16_t(uint16_t(uint16_t(t * g) + uint16_t(b * f)) >> 8);
    };
    for (int32_t k = 0; k < count; ++k)
        out[k] = uint16_t(lerp(topB[k], bottomB[k]) | lerp(topG[k], bottomG[k]) << 5 |
                          lerp(topR[k], bottomR[k]) << 11);
}

void Bgr24Row(uint16_t* dst, const uint8_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, src += 3)
        dst[i] = Bgr24ToRGB565(src);
}

void Bgra32Row(uint16_t* dst, uint8_t* alpha, const uint8_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, src += 4) {
        dst[i] = Bgr24ToRGB565(src);
        alpha[i] = AlphaTo32nds(src[3]);
    }
}

void WhiteWhereNotKey(uint8_t* dst, ptrdiff_t step, const uint8_t* bgr, int32_t count,
                      uint16_t key) {
    for (int32_t i = 0; i < count; ++i, bgr += 3, dst += step) {
        if (Bgr24ToRGB565(bgr) != key) {
            const uint16_t white = 0xFFFF;
            std::memcpy(dst, &white, 2);
        }
    }
}

void ExpandRow(uint8_t* out, const uint16_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, out += 3)
        RGB565ToBgr24(src[i], out);
}

} // namespace

void SetScalarRowKernels(KernelTable& k) {
    k.fillRow = FillRow;
    k.fillRect = FillRect;
    k.blendFillRow = BlendFillRow;
    k.scaleRow = ScaleRow;
    k.sampleRow16 = SampleRow<uint16_t>;
    k.sampleRow8 = SampleRow<uint8_t>;
    k.sampleLine16 = SampleLine<uint16_t>;
    k.sampleLine8 = SampleLine<uint8_t>;
    k.filterAcross = FilterAcross;
    k.lerpRows = LerpRows;
    k.bgr24Row = Bgr24Row;
    k.bgra32Row = Bgra32Row;
    k.whiteWhereNotKey = WhiteWhereNotKey;
    k.expandRow = ExpandRow;
}

} // namespace zorva
