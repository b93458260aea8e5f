// A slow model of the blits and Merge, pixel by pixel, sharing no code with
// the library's clipping or kernels; random bitmaps and arguments.
#ifndef ZORVA_TESTS_BLITREFERENCE_H
#define ZORVA_TESTS_BLITREFERENCE_H

#include "CCEBitmap.h"
#include "support/TestCanvas.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <random>

namespace zt {

// What the model reads: width x height pixels row after row, and the weights
// when the alpha plane is in use. For a bitmap merged into itself `pixels`
// is the model's own target image, so reads see earlier writes. A bitmap
// without pixels, or flagged for a plane it lacks, cannot be drawn.
struct RefSource {
    const uint16_t* pixels;
    const uint8_t* alpha;
    int64_t width, height;
    bool drawable;
};

inline RefSource SourceOf(const CCEBitmap& b) {
    const bool sized = b.m_pPixels && b.m_nWidth > 0 && b.m_nHeight > 0;
    return {b.m_pPixels, b.m_bARGB ? b.m_pAlpha : nullptr, sized ? b.m_nWidth : 0,
            sized ? b.m_nHeight : 0, b.m_pPixels && !(b.m_bARGB && !b.m_pAlpha)};
}

struct RefArgs {
    int64_t x, y, nWidth, nHeight, xSrc, ySrc;
    unsigned long rop;
    uint32_t opacity;
    int scale; // 1, or 2 for the double-size blits
};

inline std::ostream& operator<<(std::ostream& o, const RefArgs& a) {
    return o << "x " << a.x << " y " << a.y << " w " << a.nWidth << " h " << a.nHeight << " xSrc "
             << a.xSrc << " ySrc " << a.ySrc << " rop " << a.rop << " opacity " << a.opacity;
}

// The expected effect of one blit on `img` seen turned by `rotation` (view
// pixel (u, v) is image (v, H - 1 - u) for code 1, (W - 1 - v, u) for code 4,
// (u, v) for any other code), and its result: 0 for a source that cannot be
// drawn or a negative xSrc or ySrc (no pixel and no key there), else 1.
inline int RefBlit(RefImage& img, int rotation, const RefSource& src, const RefArgs& a) {
    if (!src.drawable || a.xSrc < 0 || a.ySrc < 0) return 0;
    auto at = [&](int u, int v) -> uint16_t& {
        if (rotation == 1) return img.At(v, img.height - 1 - u);
        return rotation == 4 ? img.At(img.width - 1 - v, u) : img.At(u, v);
    };
    const int64_t w = a.nWidth ? a.nWidth : src.width, h = a.nHeight ? a.nHeight : src.height;
    // The key: the pixel at (xSrc, ySrc) as passed, read before any pixel
    // changes. (Outside the source nothing is drawn.)
    const bool hasKey = a.xSrc < src.width && a.ySrc < src.height;
    const uint16_t key = hasKey ? src.pixels[a.ySrc * src.width + a.xSrc] : 0;
    const bool turned = rotation == 1 || rotation == 4;
    const int gridW = (turned ? img.height : img.width) / a.scale;
    const int gridH = (turned ? img.width : img.height) / a.scale;
    for (int v = 0; v < gridH; ++v) {
        for (int u = 0; u < gridW; ++u) {
            const int64_t sx = a.xSrc + u - a.x, sy = a.ySrc + v - a.y; // >= 0 inside the rectangle
            if (u < a.x || v < a.y || u - a.x >= w || v - a.y >= h) continue;
            if (sx >= src.width || sy >= src.height) continue;
            const uint16_t s = src.pixels[sy * src.width + sx], d = at(u * a.scale, v * a.scale);
            uint16_t out;
            if (src.alpha) {
                const uint32_t weight = (src.alpha[sy * src.width + sx] * a.opacity) >> 5;
                if (weight == 0) continue;
                out = RefBlend(d, s, weight);
            } else if (a.rop == SRCCOPY) {
                out = s;
            } else if (a.rop == BLT_ALPHA || (a.rop == BLT_TRANSPARENT && s != key)) {
                out = RefBlend(d, s, a.opacity);
            } else {
                continue;
            }
            for (int k = 0; k < a.scale * a.scale; ++k)
                at(u * a.scale + k % a.scale, v * a.scale + k / a.scale) = out;
        }
    }
    return 1;
}

struct BlitArgGen {
    std::mt19937 rng;
    explicit BlitArgGen(uint32_t seed) : rng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    // A value in one of the ranges lo0, hi0, lo1, hi1, ..., picked evenly.
    int Pick(std::initializer_list<int> bounds) {
        const int* r = bounds.begin() + 2 * Int(0, int(bounds.size()) / 2 - 1);
        return Int(r[0], r[1]);
    }

    // Arguments for a gw x gh target (blocks at scale 2) and source b: tame
    // ones show part of the rectangle; wild ones (30%) are far outside,
    // oversized, negative, extreme, unknown modes, opacities above 32.
    RefArgs Args(int gw, int gh, const CCEBitmap& b, int scale) {
        const bool wild = Chance(30);
        auto coord = [&](int e) {
            return wild ? Pick({INT_MIN, INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MAX, -(1 << 30),
                                1 << 30, -2 * e - 8, 2 * e + 8, -2 * e - 8, 2 * e + 8})
                        : Int(-e / 2 - 2, e - 1);
        };
        auto size = [&](int e) {
            if (!wild) return Chance(50) ? 0 : Int(1, e + 4);
            return Pick(
                {-6, -1, INT_MAX, INT_MAX, INT_MIN, INT_MIN, 1, 1 << 30, 0, 0, 1, 2 * e + 8});
        };
        auto origin = [&](int side) {
            return wild ? Pick({-3, -1, INT_MIN, INT_MIN, INT_MAX, INT_MAX, side, side + 3, 0,
                                std::max(side - 1, 0), 0, std::max(side - 1, 0)})
                        : Int(0, std::max(side / 2, 0));
        };
        static const unsigned long modes[] = {SRCCOPY, BLT_ALPHA,    BLT_TRANSPARENT, 0ul,
                                              1000ul,  0x00CC0021ul, 0xFFFFFFFFul};
        const int x = coord(gw), y = coord(gh), w = size(gw), h = size(gh);
        const int xSrc = origin(b.m_nWidth), ySrc = origin(b.m_nHeight);
        const unsigned long rop = modes[wild && Chance(30) ? Int(3, 6) : Int(0, 2)];
        const int opacity = wild && Chance(30) ? Int(33, 255) : Chance(30) ? 32 : Int(0, 32);
        return RefArgs{x, y, w, h, xSrc, ySrc, rop, uint32_t(opacity), scale};
    }
};

// A random bitmap: a few colours repeated (so that keys hit) among random
// ones, and an alpha plane in use (weights mostly 0 to 32, some above), kept
// but unused, or absent. Now and then an empty bitmap that kept its buffer,
// one without any, or one flagged for a plane it lacks. False when it could
// not be sized.
inline bool RandomBlitBitmap(BlitArgGen& g, CCEBitmap& b, CCEDraw& c, int maxSide) {
    const int w = g.Int(1, maxSide), h = g.Int(1, maxSide);
    const int alphaKind = g.Int(0, 3); // 0, 1 none; 2 in use; 3 kept, flag off
    if (b.Surface(&c, w, h, 0, alphaKind >= 2) != 1) return false;
    const uint16_t palette[3] = {uint16_t(g.rng()), uint16_t(g.rng()), uint16_t(g.rng())};
    for (int i = 0; i < w * h; ++i) {
        b.m_pPixels[i] = g.Chance(70) ? palette[g.Int(0, 2)] : uint16_t(g.rng());
        if (alphaKind >= 2) b.m_pAlpha[i] = BYTE(g.Pick({0, 0, 32, 32, 0, 32, 1, 31, 0, 255}));
    }
    if (alphaKind == 3) b.m_bARGB = 0;
    if (g.Chance(2)) b.Unload(0);
    if (g.Chance(1)) b.Unload(1);
    if (g.Chance(2) && !b.m_pAlpha) b.m_bARGB = 1; // flagged for a plane it lacks
    return true;
}

} // namespace zt

#endif // ZORVA_TESTS_BLITREFERENCE_H
