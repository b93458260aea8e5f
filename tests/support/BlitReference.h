// A slow model of the blits and Merge: every target pixel is visited, tested
// against the rectangle and the source one at a time, and blended with the
// per-channel formula. It shares no code with the library's clipping or
// kernels.
#ifndef ZORVA_TESTS_BLITREFERENCE_H
#define ZORVA_TESTS_BLITREFERENCE_H

#include "CCEBitmap.h"
#include "support/TestCanvas.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

namespace zt {

// A target as a blit sees it: view pixel (u, v) of a canvas image turned by
// a rotation code. Code 1: view Hc x Wc, (u, v) is canvas (v, Hc - 1 - u);
// code 4: view Hc x Wc, (u, v) is canvas (Wc - 1 - v, u); any other code:
// the canvas itself.
struct RefView {
    RefImage* image;
    int rotation;

    int Width() const { return Turned() ? image->height : image->width; }
    int Height() const { return Turned() ? image->width : image->height; }
    bool Turned() const { return rotation == 1 || rotation == 4; }
    uint16_t& At(int u, int v) const {
        if (rotation == 1) return image->At(v, image->height - 1 - u);
        if (rotation == 4) return image->At(image->width - 1 - v, u);
        return image->At(u, v);
    }
};

// The source: `pixels` (and `alpha` when the alpha plane is in use) are
// width x height, row after row. For a bitmap merged into itself `pixels`
// is the target image's own vector, so reads see earlier writes.
struct RefSource {
    int64_t width = 0, height = 0;
    const std::vector<uint16_t>* pixels = nullptr;
    const std::vector<uint8_t>* alpha = nullptr;

    bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint16_t Pixel(int64_t x, int64_t y) const { return (*pixels)[size_t(y * width + x)]; }
    uint32_t Alpha(int64_t x, int64_t y) const { return (*alpha)[size_t(y * width + x)]; }
};

// The bitmap's pixels and (when flagged) alpha plane as plain vectors.
struct RefBitmapCopy {
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;
    RefSource source;

    explicit RefBitmapCopy(const CCEBitmap& b) {
        const size_t n = b.m_nWidth > 0 && b.m_nHeight > 0 ? size_t(b.m_nWidth) * b.m_nHeight : 0;
        if (b.m_pPixels) pixels.assign(b.m_pPixels, b.m_pPixels + n);
        if (b.m_bARGB && b.m_pAlpha) alpha.assign(b.m_pAlpha, b.m_pAlpha + n);
        source.width = n ? b.m_nWidth : 0;
        source.height = n ? b.m_nHeight : 0;
        source.pixels = &pixels;
        source.alpha = b.m_bARGB && b.m_pAlpha ? &alpha : nullptr;
    }
};

// Per-channel blend for weights on the 0..32 scale; beyond it the packed
// arithmetic is what is defined.
inline uint16_t RefBlend(uint16_t d, uint16_t s, uint32_t a) {
    return a <= 32 ? BlendPerChannel(d, s, int(a)) : PackedBlend(d, s, a);
}

struct RefArgs {
    int64_t x, y, nWidth, nHeight, xSrc, ySrc;
    unsigned long rop;
    uint32_t opacity;
    int scale; // 1, or 2 for the double-size blits
};

// The expected effect of one blit on `view`, and its result (1, or 0 for a
// negative xSrc or ySrc, which draws nothing).
inline int RefBlit(const RefView& view, const RefSource& src, const RefArgs& a) {
    if (a.xSrc < 0 || a.ySrc < 0) return 0;
    const int64_t w = a.nWidth ? a.nWidth : src.width;
    const int64_t h = a.nHeight ? a.nHeight : src.height;
    // The key: column xSrc of the first source row drawn, read before any
    // pixel changes.
    const int64_t keyRow = a.y < 0 ? a.ySrc - a.y : a.ySrc;
    const uint16_t key = src.Inside(a.xSrc, keyRow) ? src.Pixel(a.xSrc, keyRow) : 0;
    const int gridW = view.Width() / a.scale, gridH = view.Height() / a.scale;
    for (int v = 0; v < gridH; ++v) {
        for (int u = 0; u < gridW; ++u) {
            const int64_t i = u - a.x, j = v - a.y;
            if (i < 0 || j < 0 || i >= w || j >= h) continue;
            const int64_t sx = a.xSrc + i, sy = a.ySrc + j;
            if (!src.Inside(sx, sy)) continue;
            const uint16_t s = src.Pixel(sx, sy);
            const uint16_t d = view.At(u * a.scale, v * a.scale);
            uint16_t out;
            if (src.alpha) {
                const uint32_t weight = (src.Alpha(sx, sy) * a.opacity) >> 5;
                if (weight == 0) continue;
                out = weight == 32 ? s : RefBlend(d, s, weight);
            } else if (a.rop == SRCCOPY) {
                out = s;
            } else if (a.rop == BLT_ALPHA) {
                out = RefBlend(d, s, a.opacity);
            } else if (a.rop == BLT_TRANSPARENT) {
                if (s == key) continue;
                out = a.opacity == 32 ? s : RefBlend(d, s, a.opacity);
            } else {
                continue;
            }
            for (int dy = 0; dy < a.scale; ++dy)
                for (int dx = 0; dx < a.scale; ++dx)
                    view.At(u * a.scale + dx, v * a.scale + dy) = out;
        }
    }
    return 1;
}

// Random blit arguments. A tame call places the rectangle where part of it
// shows, with sizes and source origins inside the bitmap; a wild one draws
// each argument from everything a caller can pass: far outside, oversized,
// negative, extreme, unknown modes, opacities above 32.
struct BlitArgGen {
    std::mt19937 rng;
    bool wild = false;
    explicit BlitArgGen(uint32_t seed) : rng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Int(0, 99) < percent; }

    // A position along an axis of `extent` pixels (or blocks).
    int Coord(int extent) {
        if (!wild) return Int(-extent / 2 - 2, extent - 1);
        switch (Int(0, 5)) {
        case 0:
            return Int(INT_MIN, INT_MAX);
        case 1:
            return Chance(50) ? INT_MIN : INT_MAX;
        case 2:
            return Int(-(1 << 30), 1 << 30);
        default:
            return Int(-2 * extent - 8, 2 * extent + 8);
        }
    }
    int Size(int extent) {
        if (!wild) return Chance(50) ? 0 : Int(1, extent + 4);
        switch (Int(0, 5)) {
        case 0:
            return Int(-6, -1);
        case 1:
            return Chance(50) ? INT_MAX : INT_MIN;
        case 2:
            return Int(1, 1 << 30);
        case 3:
            return 0;
        default:
            return Int(1, 2 * extent + 8);
        }
    }
    // A source origin for a bitmap side of `side` pixels.
    int SourceOrigin(int side) {
        if (!wild) return Int(0, std::max(side / 2, 0));
        switch (Int(0, 5)) {
        case 0:
            return Int(-3, -1);
        case 1:
            return INT_MIN;
        case 2:
            return INT_MAX;
        case 3:
            return Int(side, side + 3);
        default:
            return Int(0, std::max(side - 1, 0));
        }
    }
    unsigned long Rop() {
        static const unsigned long odd[] = {0ul, 1000ul, 1003ul, 0x00CC0021ul, 0xFFFFFFFFul};
        static const unsigned long known[] = {SRCCOPY, BLT_ALPHA, BLT_TRANSPARENT};
        return wild && Chance(30) ? odd[Int(0, 4)] : known[Int(0, 2)];
    }
    uint8_t Opacity() {
        if (wild && Chance(30)) return uint8_t(Int(33, 255));
        return Chance(30) ? 32 : uint8_t(Int(0, 32));
    }
    unsigned char Rotation() {
        static const unsigned char codes[] = {0, 1, 2, 3, 4, 5, 255};
        return Chance(60) ? (Chance(50) ? 1 : 4) : codes[Int(0, 6)];
    }
};

// A random bitmap: a few colours repeated (so that keys hit) among random
// ones, and an alpha plane in use (weights mostly 0 and 32, a few above
// 32), kept but unused, or absent. Now and then an empty bitmap that kept
// its buffer, or one without any. False when it could not be sized.
inline bool RandomBlitBitmap(BlitArgGen& g, CCEBitmap& b, CCEDraw& c, int maxSide) {
    const int w = g.Int(1, maxSide), h = g.Int(1, maxSide);
    const int alphaKind = g.Int(0, 3); // 0, 1 none; 2 in use; 3 kept, flag off
    if (b.Surface(&c, w, h, 0, alphaKind >= 2) != 1) return false;
    const uint16_t palette[3] = {uint16_t(g.rng()), uint16_t(g.rng()), uint16_t(g.rng())};
    for (int i = 0; i < w * h; ++i)
        b.m_pPixels[i] = g.Chance(70) ? palette[g.Int(0, 2)] : uint16_t(g.rng());
    if (alphaKind >= 2) {
        for (int i = 0; i < w * h; ++i) {
            const int r = g.Int(0, 99);
            b.m_pAlpha[i] = r < 35 ? 0 : r < 70 ? 32 : r < 97 ? BYTE(g.Int(1, 31)) : BYTE(g.rng());
        }
    }
    if (alphaKind == 3) b.m_bARGB = 0;
    if (g.Chance(2)) b.Unload(0);
    if (g.Chance(1)) b.Unload(1);
    return true;
}

} // namespace zt

#endif // ZORVA_TESTS_BLITREFERENCE_H
