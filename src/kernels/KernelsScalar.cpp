// The scalar row kernels: fills, fade frames, scaling rows and the loaders'
// conversions. The definition every faster kernel is held to.
#include "kernels/KernelsScalar.h"

#include "core/Pixel565.h"

#include <algorithm>

namespace zorva {
namespace {

void FillRow(uint16_t* row, int32_t count, uint16_t colour) {
    std::fill_n(row, count, colour);
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

// One channel at a time, so that each sum is the exact one of the rule.
void FilterAcross(uint16_t* outB, uint16_t* outG, uint16_t* outR, const uint16_t* row,
                  const int32_t* column, const uint8_t* next, const uint16_t* frac, int32_t count) {
    for (int32_t k = 0; k < count; ++k) {
        const uint32_t a = row[column[k]], b = row[column[k] + next[k]];
        const uint32_t f = frac[k], g = 256 - f;
        outB[k] = uint16_t(((a & 0x1F) * g + (b & 0x1F) * f) >> 8);
        outG[k] = uint16_t((((a >> 5) & 0x3F) * g + ((b >> 5) & 0x3F) * f) >> 8);
        outR[k] = uint16_t(((a >> 11) * g + (b >> 11) * f) >> 8);
    }
}

void LerpRows(uint16_t* out, const uint16_t* topB, const uint16_t* topG, const uint16_t* topR,
              const uint16_t* bottomB, const uint16_t* bottomG, const uint16_t* bottomR,
              uint32_t fy, int32_t count) {
    const uint32_t gy = 256 - fy;
    for (int32_t k = 0; k < count; ++k) {
        const uint32_t b = (topB[k] * gy + bottomB[k] * fy) >> 8;
        const uint32_t g = (topG[k] * gy + bottomG[k] * fy) >> 8;
        const uint32_t r = (topR[k] * gy + bottomR[k] * fy) >> 8;
        out[k] = uint16_t(b | g << 5 | r << 11);
    }
}

void Bgr24Row(uint16_t* dst, const uint8_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, src += 3)
        dst[i] = Bgr24ToRGB565(src);
}

void Bgra32Row(uint16_t* dst, uint8_t* alpha, const uint8_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, src += 4) {
        dst[i] = Bgr24ToRGB565(src);
        alpha[i] = uint8_t(src[3] >> 3);
    }
}

void ExpandRow(uint8_t* out, const uint16_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i, out += 3)
        RGB565ToBgr24(src[i], out);
}

} // namespace

void SetScalarRowKernels(KernelTable& k) {
    k.fillRow = FillRow;
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
    k.expandRow = ExpandRow;
}

} // namespace zorva
