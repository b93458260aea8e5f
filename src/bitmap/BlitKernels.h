// The inner loops of the bitmap blits: one kernel per case, at single and
// double size. The members (Blit.cpp, Merge.cpp) validate, clip once and pick
// the case; a kernel receives a clipped descriptor and only loops.
//
// Kernels are reached through a table of function pointers, one entry per
// case, so that a wider implementation of one case (SSE2, NEON, ...) can sit
// beside the scalar one in its own file and replace that single entry once
// it is proven bit-identical. The scalar kernels are the definition.
#ifndef ZORVA_BITMAP_BLITKERNELS_H
#define ZORVA_BITMAP_BLITKERNELS_H

#include <cstddef>
#include <cstdint>

namespace zorva {

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

struct BlitKernelTable {
    BlitKernel single[size_t(BlitCase::Count)];
    BlitKernel twice[size_t(BlitCase::Count)];
};

// The plain scalar kernels.
const BlitKernelTable& ScalarBlitKernels();

// The kernels the blits use: today the scalar table.
const BlitKernelTable& ActiveBlitKernels();

} // namespace zorva

#endif // ZORVA_BITMAP_BLITKERNELS_H
