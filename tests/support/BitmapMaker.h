// Bitmaps with chosen pixels and weights for the transform tests, and the
// checks every bitmap must pass after any call.
#ifndef ZORVA_TESTS_BITMAPMAKER_H
#define ZORVA_TESTS_BITMAPMAKER_H

#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "core/SharedBlock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace zt {

// A w x h bitmap (w, h >= 1) with the given pixels, and an alpha plane when
// `alpha` is not empty. Asserts success.
inline void MakeBitmap(CCEBitmap& b, int w, int h, const std::vector<uint16_t>& pixels,
                       const std::vector<uint8_t>& alpha = {}) {
    CCEDraw canvas; // only needed for default sizes, which are not asked for
    ASSERT_EQ(b.Surface(&canvas, w, h, 0, alpha.empty() ? 0 : 1), 1);
    ASSERT_EQ(pixels.size(), size_t(w) * size_t(h));
    for (size_t i = 0; i < pixels.size(); ++i)
        b.m_pPixels[i] = pixels[i];
    if (!alpha.empty()) {
        ASSERT_EQ(alpha.size(), pixels.size());
        for (size_t i = 0; i < alpha.size(); ++i)
            b.m_pAlpha[i] = alpha[i];
    }
}

inline std::vector<uint16_t> RandomPixels(std::mt19937& rng, size_t n) {
    std::vector<uint16_t> p(n);
    for (auto& v : p)
        v = uint16_t(rng());
    return p;
}

inline std::vector<uint8_t> RandomWeights(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> a(n);
    for (auto& v : a)
        v = uint8_t(rng() % 33);
    return a;
}

// A w x h bitmap of random pixels, with random weights when `withAlpha`.
inline void MakeRandomBitmap(CCEBitmap& b, std::mt19937& rng, int w, int h, bool withAlpha) {
    const size_t n = size_t(w) * size_t(h);
    MakeBitmap(b, w, h, RandomPixels(rng, n),
               withAlpha ? RandomWeights(rng, n) : std::vector<uint8_t>{});
}

inline std::vector<uint16_t> PixelsOf(const CCEBitmap& b) {
    const size_t n = size_t(b.m_nWidth) * size_t(b.m_nHeight);
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + n);
}

inline std::vector<uint8_t> WeightsOf(const CCEBitmap& b) {
    const size_t n = size_t(b.m_nWidth) * size_t(b.m_nHeight);
    return std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + n);
}

// The bitmap invariants, checked against the real blocks: a present pixel
// buffer holds width x height pixels, a set flag has a plane of as many
// weights, the recorded sizes never exceed the blocks.
inline void ExpectSound(const CCEBitmap& b) {
    EXPECT_GE(b.m_nWidth, 0);
    EXPECT_GE(b.m_nHeight, 0);
    const uint64_t count = uint64_t(uint32_t(b.m_nWidth)) * uint64_t(uint32_t(b.m_nHeight));
    if (b.m_pPixels) {
        EXPECT_GE(zorva::BlockBytes(b.m_pPixels), count * 2);
        EXPECT_LE(b.m_cbPixels, zorva::BlockBytes(b.m_pPixels));
    }
    if (b.m_bARGB) {
        ASSERT_NE(b.m_pAlpha, nullptr);
        EXPECT_GE(zorva::BlockBytes(b.m_pAlpha), count);
    }
    if (b.m_pAlpha) {
        EXPECT_LE(b.m_cbAlpha, zorva::BlockBytes(b.m_pAlpha));
    }
}

// What a bitmap looks like from outside, to check that a call changed
// nothing.
struct Snapshot {
    explicit Snapshot(const CCEBitmap& b)
        : width(b.m_nWidth), height(b.m_nHeight), argb(b.m_bARGB), pixelBlock(b.m_pPixels),
          alphaBlock(b.m_pAlpha), cbPixels(b.m_cbPixels), cbAlpha(b.m_cbAlpha) {
        if (b.m_pPixels && width >= 0 && height >= 0) pixels = PixelsOf(b);
        if (b.m_bARGB && b.m_pAlpha) weights = WeightsOf(b);
    }
    bool operator==(const Snapshot& o) const {
        return width == o.width && height == o.height && argb == o.argb &&
               pixelBlock == o.pixelBlock && alphaBlock == o.alphaBlock && cbPixels == o.cbPixels &&
               cbAlpha == o.cbAlpha && pixels == o.pixels && weights == o.weights;
    }
    int width, height, argb;
    const void* pixelBlock;
    const void* alphaBlock;
    uint32_t cbPixels, cbAlpha;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> weights;
};

} // namespace zt

#endif // ZORVA_TESTS_BITMAPMAKER_H
