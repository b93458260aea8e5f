// The row kernels of every pixel operation, in one table per instruction
// set. The library's members validate, clip and pick the case; a kernel
// receives a clipped descriptor (or a row) and only loops.
//
// The scalar table (KernelsScalar.cpp, BlitScalar.cpp) is the definition.
// Each instruction set (Kernels_sse2.cpp, Kernels_avx2.cpp,
// Kernels_neon.cpp) replaces the entries it does faster; an entry it lacks
// stays scalar. A faster entry gives the scalar entry's result bit for bit
// on every input its contract allows (tests/kernels_*_test.cpp compare
// them); inputs it does not handle (weights above 32, a destination that is
// not dense, a self-merge running backwards) it passes to the scalar entry.
//
// The table is chosen once, at the first use: the best level the processor
// supports, or the level the ZORVA_SIMD environment variable names (see
// ChooseLevel).
#ifndef ZORVA_KERNELS_KERNELS_H
#define ZORVA_KERNELS_KERNELS_H

#include <cstddef>
#include <cstdint>

namespace zorva {

// ---- Blits

// A clipped rectangle: `width` x `height` source pixels, all of them drawn.
//
// Contract (the caller has clipped):
// - width >= 1, height >= 1.
// - Source pixel (i, j) is src[j * srcStride + i]; its alpha byte is
//   alpha[j * srcStride + i] (alpha is read only by the alpha-plane case).
//   Every one of them lies inside the source buffers.
// - Single size: destination pixel (i, j) is the RGB565 value at
//   dst + i * dstStep + j * dstRowStep bytes. Double size: source pixel
//   (i, j) covers the block whose top-left pixel is at dst + 2i * dstStep +
//   2j * dstRowStep, and its three other pixels are one dstStep and/or one
//   dstRowStep further. Every one of these pixels lies inside the target.
//   Steps are even and may be negative (rotated views).
// - disjoint: no destination pixel shares memory with a source pixel. When
//   it is false (a bitmap merged into itself) the kernel must behave exactly
//   like the plain loop: rows from the top, each from the left, every source
//   pixel read just before its destination pixel is written.
struct BlitDesc {
    uint8_t* dst = nullptr;
    ptrdiff_t dstStep = 2;
    ptrdiff_t dstRowStep = 0;
    const uint16_t* src = nullptr;
    const uint8_t* alpha = nullptr;
    ptrdiff_t srcStride = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t opacity = 32; // bOpacity as passed: 0..32, larger values allowed
    uint16_t key = 0;      // colour key of the keyed cases
    bool disjoint = true;
};

// The cases, decided once per call. With B = BlendRGB565(d, s, weight):
//   AlphaPlane     a = (alpha * opacity) >> 5; a == 0: untouched; a == 32: s;
//                  else B with a
//   ConstantAlpha  B with opacity, for every pixel (also at 32)
//   KeyOpaque      s != key: s (the case for opacity 32)
//   KeyBlend       s != key: B with opacity
//   Copy           s
// At double size the value of each block is worked out once, from the
// source pixel and the block's top-left pixel, and written to all four.
enum class BlitCase : uint8_t { AlphaPlane, ConstantAlpha, KeyOpaque, KeyBlend, Copy, Count };

using BlitKernel = void (*)(const BlitDesc&);

// ---- Quarter turns

// A plane turned by copying: source element (i, j) of a w x h grid (row j at
// src + j * srcStride elements) goes to dst + i * dstColumnStep +
// j * dstRowStep bytes. Contract: w, h >= 1; every destination element lies
// inside the target; |dstRowStep| is the element size (the source's rows
// land side by side, as in a quarter turn); source and target do not meet.
struct TurnDesc {
    uint8_t* dst = nullptr;
    ptrdiff_t dstColumnStep = 0;
    ptrdiff_t dstRowStep = 0;
    const void* src = nullptr;
    ptrdiff_t srcStride = 0; // in elements
    int32_t width = 0;
    int32_t height = 0;
};

// The two helpers below are compiled into every instruction set's file;
// internal linkage keeps each file's copy its own (an out-of-line copy built
// for AVX2 must never serve the scalar path).
namespace {

// True when the rows may be worked several pixels at a time, reading a run
// of source pixels before writing the run: the source and destination do
// not meet, or (a self-merge) every pixel's source lies at or after its own
// address with the same row pitch, so the plain loop never reads a pixel it
// has already written.
inline bool ReadsAhead(const BlitDesc& d) {
    if (d.disjoint) return true;
    return d.dstStep == 2 && d.dstRowStep == d.srcStride * 2 &&
           d.dst <= reinterpret_cast<const uint8_t*>(d.src);
}

// A single-size copy onto a quarter-turned view (the source rows land side
// by side) as a turn; false for any other blit.
inline bool TurnOfCopy(const BlitDesc& d, TurnDesc& t) {
    if (!d.disjoint || (d.dstRowStep != 2 && d.dstRowStep != -2)) return false;
    t.dst = d.dst;
    t.dstColumnStep = d.dstStep;
    t.dstRowStep = d.dstRowStep;
    t.src = d.src;
    t.srcStride = d.srcStride;
    t.width = d.width;
    t.height = d.height;
    return true;
}

} // namespace

// ---- Screens

// A screen pixel of `bytes` bytes (2, 3 or 4, least significant byte first)
// with each channel at a bit offset and a length of 1 to 8 bits; `fill` is
// ORed into every pixel (the ones of an alpha or padding field).
struct ScreenFormat {
    uint8_t bytes = 4;
    uint8_t redShift = 16, redBits = 8;
    uint8_t greenShift = 8, greenBits = 8;
    uint8_t blueShift = 0, blueBits = 8;
    uint32_t fill = 0;
};

// The screen's value of an RGB565 pixel: each channel widened to 8 bits by
// repeating its top bits (so white stays white), then narrowed to its
// length by dropping low bits.
constexpr uint32_t ToScreenPixel(uint16_t p, const ScreenFormat& f) {
    const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
    const uint32_t r8 = (r5 << 3) | (r5 >> 2), g8 = (g6 << 2) | (g6 >> 4),
                   b8 = (b5 << 3) | (b5 >> 2);
    return (r8 >> (8 - f.redBits)) << f.redShift | (g8 >> (8 - f.greenBits)) << f.greenShift |
           (b8 >> (8 - f.blueBits)) << f.blueShift | f.fill;
}

// ---- The table

enum class SimdLevel : uint8_t { Scalar, Sse2, Avx2, Neon };

// Row kernels: `count` >= 1 and every element named lies inside its buffer,
// unless a contract says otherwise.
struct KernelTable {
    SimdLevel level;

    BlitKernel blit[size_t(BlitCase::Count)];
    BlitKernel blit2x[size_t(BlitCase::Count)];

    // row[i] = colour (opaque fills and the pen clear).
    void (*fillRow)(uint16_t* row, int32_t count, uint16_t colour);
    // fillRow over `height` rows of `width` adjacent pixels, each row
    // `rowStep` bytes after the one before (a filled rectangle).
    void (*fillRect)(uint8_t* first, ptrdiff_t rowStep, int32_t width, int32_t height,
                     uint16_t colour);
    // row[i] = BlendRGB565(row[i], colour, weight); any weight.
    void (*blendFillRow)(uint16_t* row, int32_t count, uint16_t colour, uint32_t weight);

    // to[i] = ScaleRGB565(from[i], level), level 0..32 (a fade frame); `to`
    // and `from` are the same row or rows that do not meet.
    void (*scaleRow)(uint16_t* to, const uint16_t* from, int32_t count, uint32_t level);

    // Nearest sampling: dst[k] = srcRow[(pos + k * step) >> 8], 8.8 fixed
    // point, every position inside the row; 16-bit pixels and 8-bit weights.
    void (*sampleRow16)(uint16_t* dst, int32_t count, const uint16_t* srcRow, int64_t pos,
                        int64_t step);
    void (*sampleRow8)(uint8_t* dst, int32_t count, const uint8_t* srcRow, int64_t pos,
                       int64_t step);

    // Nearest sampling along a line through a picture (free rotation):
    // dst[k] = src[(v >> 8) * stride + (u >> 8)] with u, v advancing by du,
    // dv per pixel; every position lies inside the picture.
    void (*sampleLine16)(uint16_t* dst, int32_t count, const uint16_t* src, ptrdiff_t stride,
                         int64_t u, int64_t v, int64_t du, int64_t dv);
    void (*sampleLine8)(uint8_t* dst, int32_t count, const uint8_t* src, ptrdiff_t stride,
                        int64_t u, int64_t v, int64_t du, int64_t dv);

    // Filtered sampling across a source row, channel by channel (blue,
    // green, red planes of 16-bit values): with x0 = column[k], x1 =
    // column[k] + next[k] and f = frac[k] (0..255),
    // out[k] = (p(x0) * (256 - f) + p(x1) * f) >> 8.
    void (*filterAcross)(uint16_t* outB, uint16_t* outG, uint16_t* outR, const uint16_t* row,
                         const int32_t* column, const uint8_t* next, const uint16_t* frac,
                         int32_t count);
    // The vertical step: channel = (top * (256 - fy) + bottom * fy) >> 8,
    // fy 0..255, packed into RGB565 pixels.
    void (*lerpRows)(uint16_t* out, const uint16_t* topB, const uint16_t* topG,
                     const uint16_t* topR, const uint16_t* bottomB, const uint16_t* bottomG,
                     const uint16_t* bottomR, uint32_t fy, int32_t count);

    // Loader conversions: B, G, R (, A) bytes to RGB565, dropping low bits;
    // the 32-bit one also writes AlphaTo32nds(A), the nearest 32nd, to
    // `alpha`.
    void (*bgr24Row)(uint16_t* dst, const uint8_t* src, int32_t count);
    void (*bgra32Row)(uint16_t* dst, uint8_t* alpha, const uint8_t* src, int32_t count);

    // Text on the canvas: each pixel `step` bytes apart becomes 0xFFFF where
    // its B, G, R source (3 bytes a pixel) converted to RGB565 differs from
    // `key`, and is left alone elsewhere.
    void (*whiteWhereNotKey)(uint8_t* dst, ptrdiff_t step, const uint8_t* bgr, int32_t count,
                             uint16_t key);

    // BMP writer: RGB565 to B, G, R bytes with zero low bits.
    void (*expandRow)(uint8_t* out, const uint16_t* src, int32_t count);

    // Quarter turns of 16-bit and 8-bit planes.
    void (*turn16)(const TurnDesc& t);
    void (*turn8)(const TurnDesc& t);

    // A screen's row: dst (count pixels of format.bytes each) =
    // ToScreenPixel(src[i], format).
    void (*toScreenRow)(uint8_t* dst, const uint16_t* src, int32_t count,
                        const ScreenFormat& format);
};

// The scalar table: the definition.
const KernelTable& ScalarKernels();

// The table the library uses, chosen once.
const KernelTable& Kernels();

// The table of one level, or null when this processor or build lacks it.
const KernelTable* KernelsFor(SimdLevel level);

// "scalar", "sse2", "avx2", "neon".
const char* LevelName(SimdLevel level);

// The level the library runs: the one named by ZORVA_SIMD when the
// processor has it, else the best one below it in its family (avx2, then
// sse2, then scalar; neon, then scalar); without the variable, or with a
// name it does not know, the best level the processor has.
SimdLevel ChooseLevel(const char* requested);

// Levels this processor and build can run, best first; returns the count.
int AvailableLevels(SimdLevel (&out)[4]);

} // namespace zorva

#endif // ZORVA_KERNELS_KERNELS_H
