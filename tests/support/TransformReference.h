// Slow references of the transforms, every result pixel worked out on its
// own from the written formulas; bitmaps and snapshots for their tests.
#ifndef ZORVA_TESTS_TRANSFORMREFERENCE_H
#define ZORVA_TESTS_TRANSFORMREFERENCE_H

#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "core/SharedBlock.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace zt {

// Pixel (x, y) is 100 * y + x + 1 (never black) and weight (x + y) % 33, or
// both random when `rng` is given.
inline void MakeNumbered(CCEBitmap& b, int w, int h, bool withAlpha, std::mt19937* rng = nullptr) {
    std::vector<uint16_t> p;
    std::vector<uint8_t> a;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            p.push_back(uint16_t(rng ? (*rng)() : 100 * y + x + 1));
            if (withAlpha) a.push_back(uint8_t(rng ? (*rng)() % 33 : (x + y) % 33));
        }
    MakeBitmap(b, w, h, p, a);
}

// The bitmap against its real blocks: pixels and (with the flag) weights for
// its size, recorded sizes within the blocks.
inline void ExpectSound(const CCEBitmap& b) {
    ASSERT_GE(std::min(b.m_nWidth, b.m_nHeight), 0);
    const uint64_t count = uint64_t(b.m_nWidth) * uint64_t(b.m_nHeight);
    const uint64_t pixelBytes = zorva::BlockBytes(b.m_pPixels),
                   alphaBytes = zorva::BlockBytes(b.m_pAlpha);
    EXPECT_GE(pixelBytes, b.m_pPixels ? count * 2 : 0);
    EXPECT_LE(b.m_cbPixels, b.m_pPixels ? pixelBytes : UINT32_MAX);
    EXPECT_LE(b.m_cbAlpha, b.m_pAlpha ? alphaBytes : UINT32_MAX);
    EXPECT_GE(alphaBytes, b.m_bARGB ? count : 0); // 0 without a plane
}

// A bitmap as seen from outside (did a call change it?), and the picture the
// references read.
struct Snapshot {
    explicit Snapshot(const CCEBitmap& b)
        : width(b.m_nWidth), height(b.m_nHeight), argb(b.m_bARGB), pixelBlock(b.m_pPixels),
          alphaBlock(b.m_pAlpha), cbPixels(b.m_cbPixels), cbAlpha(b.m_cbAlpha) {
        const size_t count = size_t(width) * size_t(height);
        if (b.m_pPixels) pixels.assign(b.m_pPixels, b.m_pPixels + count);
        if (b.m_bARGB && b.m_pAlpha) weights.assign(b.m_pAlpha, b.m_pAlpha + count);
    }
    bool operator==(const Snapshot& o) const {
        return width == o.width && height == o.height && argb == o.argb &&
               pixelBlock == o.pixelBlock && alphaBlock == o.alphaBlock && cbPixels == o.cbPixels &&
               cbAlpha == o.cbAlpha && pixels == o.pixels && weights == o.weights;
    }
    bool Usable() const { return pixelBlock && width > 0 && height > 0; }
    uint16_t Pixel(int64_t x, int64_t y) const { return pixels[size_t(y * width + x)]; }
    uint8_t Weight(int64_t x, int64_t y) const { return argb ? weights[size_t(y * width + x)] : 0; }

    int width, height, argb;
    const void *pixelBlock, *alphaBlock;
    uint32_t cbPixels, cbAlpha;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> weights;
};

// An expected outcome. result 1: a w x h picture whose buffers hold `rows`
// rows of `background` before it is drawn. result 0: refused with nothing
// changed, or with `sized` set, failed after the size was set to w x rows.
struct Picture {
    explicit Picture(int result = 0, int64_t w = 0, int64_t rows = 0, bool argb = false,
                     uint16_t background = 0, bool sized = false)
        : result(result), sized(sized), w(w), h(rows), rows(rows), argb(argb),
          pixels(result ? size_t(w * rows) : 0, background),
          weights(result && argb ? size_t(w * rows) : 0, 0) {}
    void Put(int64_t x, int64_t y, uint16_t pixel, uint8_t weight) {
        pixels[size_t(y * w + x)] = pixel;
        if (argb) weights[size_t(y * w + x)] = weight;
    }
    int result;
    bool sized;
    int64_t w, h, rows;
    bool argb;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> weights;
};

// The call's result and, when it made one, the picture.
inline ::testing::AssertionResult Gives(const CCEBitmap& b, int result, const Picture& want) {
    if (result != want.result) return ::testing::AssertionFailure() << "result " << result;
    if (result && (b.m_nWidth != want.w || b.m_nHeight != want.h || (b.m_bARGB != 0) != want.argb))
        return ::testing::AssertionFailure() << b.m_nWidth << "x" << b.m_nHeight << " argb "
                                             << b.m_bARGB << ", want " << want.w << "x" << want.h;
    for (size_t i = 0; i < want.pixels.size(); ++i)
        if (b.m_pPixels[i] != want.pixels[i] || (want.argb && b.m_pAlpha[i] != want.weights[i]))
            return ::testing::AssertionFailure()
                   << "at (" << i % size_t(want.w) << ", " << i / size_t(want.w)
                   << "): " << b.m_pPixels[i] << "/" << int(want.argb ? b.m_pAlpha[i] : 0)
                   << ", want " << want.pixels[i] << "/" << int(want.argb ? want.weights[i] : 0);
    return ::testing::AssertionSuccess();
}

inline int64_t FloorDiv256(int64_t a) {
    return a >= 0 ? a / 256 : -((-a + 255) / 256);
}

inline bool FitsBytes(int64_t w, int64_t h) {
    return uint64_t(w) * uint64_t(h) * 2 <= UINT32_MAX;
}

// Code 1: (x, y) lands at (H - 1 - y, x); 2 at (W - 1 - x, H - 1 - y); 4 at
// (y, W - 1 - x); other codes leave the picture.
inline Picture ReferenceRotate(const Snapshot& s, unsigned code) {
    if (!s.pixelBlock) return Picture();
    const bool quarter = code == 1 || code == 4;
    Picture p(1, quarter ? s.height : s.width, quarter ? s.width : s.height, s.argb);
    for (int64_t y = 0, W = s.width, H = s.height; y < H; ++y)
        for (int64_t x = 0; x < W; ++x) {
            const int64_t to[5][2] = {
                {x, y}, {H - 1 - y, x}, {W - 1 - x, H - 1 - y}, {}, {y, W - 1 - x}};
            const auto& t = to[code == 1 || code == 2 || code == 4 ? code : 0];
            p.Put(t[0], t[1], s.Pixel(x, y), s.Weight(x, y));
        }
    return p;
}

// An empty copy needs buffers to keep (pixels, and a plane for a source
// with alpha): the size is set, the growth of an absent buffer fails.
inline Picture ReferenceClone(const Snapshot& s, const Snapshot& dst, int w, int h, int x, int y) {
    if (!w && !h && !x && !y) w = s.width, h = s.height;
    if (!s.pixelBlock || w < 0 || h < 0 || x < 0 || y < 0 || int64_t(x) + w > s.width ||
        int64_t(y) + h > s.height)
        return Picture();
    if (int64_t(w) * h == 0 && (!dst.pixelBlock || (s.argb && !dst.alphaBlock)))
        return Picture(0, w, h, false, 0, true);
    Picture p = Picture(1, w, h, s.argb, 0);
    for (int64_t r = 0; r < h; ++r)
        for (int64_t c = 0; c < w; ++c)
            p.Put(c, r, s.Pixel(x + c, y + r), s.Weight(x + c, y + r));
    return p;
}

// Output (i, j) samples the source at i * xStep, j * yStep (steps truncated
// once); filtered: each channel (top, bottom, then vertical) rounding down.
inline Picture ReferenceStretch(const Snapshot& s, int W, int H, bool smooth) {
    const int64_t w = W ? W : s.width, h = H ? H : s.height;
    if (!s.Usable() || w < 1 || h < 1 || !FitsBytes(w, h)) return Picture();
    Picture p = Picture(1, w, h, s.argb, 0);
    const int64_t xStep = s.width * 256 / w, yStep = s.height * 256 / h;
    for (int64_t j = 0; j < h; ++j)
        for (int64_t i = 0; i < w; ++i) {
            const int64_t X = i * xStep, Y = j * yStep, x0 = X / 256, y0 = Y / 256;
            const int64_t fx = X % 256, fy = Y % 256;
            const int64_t x1 = std::min<int64_t>(x0 + 1, s.width - 1);
            const int64_t y1 = std::min<int64_t>(y0 + 1, s.height - 1);
            uint32_t value = s.Pixel(x0, y0);
            if (smooth) {
                value = 0;
                for (const auto& c : {std::pair<int, int>{0, 31}, {5, 63}, {11, 31}}) {
                    auto at = [&](int64_t x, int64_t y) {
                        return (s.Pixel(x, y) >> c.first) & c.second;
                    };
                    const uint32_t top = uint32_t(at(x0, y0) * (256 - fx) + at(x1, y0) * fx) >> 8;
                    const uint32_t bottom =
                        uint32_t(at(x0, y1) * (256 - fx) + at(x1, y1) * fx) >> 8;
                    value |= ((top * (256 - fy) + bottom * fy) >> 8) << c.first;
                }
            }
            p.Put(i, j, uint16_t(value), s.Weight(x0, y0));
        }
    return p;
}

// Angle in double then single, cosine and sine in double from it then
// single, 8.8 values and corners truncated; result (q, r) is the source
// pixel at (u >> 8, v >> 8) worked out from X and Y directly.
inline Picture ReferenceFreeRotate(const Snapshot& s, int angle, uint8_t fill) {
    if (!s.Usable()) return Picture();
    const float a = static_cast<float>(double(angle) * 6.28318530717958 * 0.002777777777777778);
    const float cs = static_cast<float>(std::cos(double(a)));
    const float sn = static_cast<float>(std::sin(double(a)));
    const int64_t c = int64_t(cs * 256.0f), sin256 = int64_t(sn * 256.0f);
    const float wc = float(s.width) * cs, ws = float(s.width) * sn;
    const float hc = float(s.height) * cs, hs = float(s.height) * sn;
    const int64_t xs[] = {0, int64_t(wc), int64_t(-hs), int64_t(wc - hs)};
    const int64_t ys[] = {0, int64_t(ws), int64_t(hc), int64_t(ws + hc)};
    const int64_t minX = *std::min_element(xs, xs + 4), minY = *std::min_element(ys, ys + 4);
    const int64_t w = *std::max_element(xs, xs + 4) - minX,
                  h = *std::max_element(ys, ys + 4) - minY;
    if (w < 1 || h < 1 || !FitsBytes(w, h)) return Picture();
    Picture p = Picture(1, w, h, s.argb, uint16_t(fill | fill << 8));
    for (int64_t r = 0; r < h; ++r)
        for (int64_t q = 0; q < w; ++q) {
            const int64_t X = minX + q, Y = minY + r;
            const int64_t sx = FloorDiv256(X * c + Y * sin256),
                          sy = FloorDiv256(Y * c - X * sin256);
            if (sx >= 0 && sx < s.width && sy >= 0 && sy < s.height)
                p.Put(q, r, s.Pixel(sx, sy), s.Weight(sx, sy));
        }
    return p;
}

struct Corners {
    int x1, y1, x2, y2, x3, y3, x4, y4;
};

// The whole result buffer (T = H + R rows, one more than the result's
// height), each pixel worked out on its own from its span; spans clipped to
// the result, reflection weights 22 stepped down by 18 / R in double.
inline Picture ReferenceStretchEx(const Snapshot& s, const Corners& c, uint8_t fill, bool reflect) {
    const int64_t W = std::max({c.x1, c.x2, c.x3, c.x4});
    const int64_t H = int64_t(std::max({c.y1, c.y2, c.y3, c.y4})) + 1;
    const int64_t R = reflect && H > 0 ? H / 4 : 0, T = H + R;
    if (!s.Usable() || W < 1 || T < 2 || !FitsBytes(W, T)) return Picture();
    Picture p = Picture(1, W, T, reflect, reflect ? 0 : uint16_t(fill | fill << 8));
    p.h = T - 1;
    std::vector<uint8_t> weights;
    for (double value = 22.0; int64_t(weights.size()) < R; value -= 18.0 / double(R))
        weights.push_back(uint8_t(unsigned(value)));
    auto pixel = [&](int64_t x, int64_t y) { return p.pixels[size_t(y * W + x)]; };
    if (c.y1 == c.y2 && c.y3 == c.y4) {
        const int64_t left = (int64_t(c.x3) - c.x1) * 256 / H,
                      right = (int64_t(c.x4) - c.x2) * 256 / H;
        auto first = [&](int64_t j) { return c.x1 + FloorDiv256(j * left); };
        auto last = [&](int64_t j) { return c.x2 + FloorDiv256(j * right); };
        for (int64_t j = 0; j < H; ++j)
            for (int64_t x = std::max<int64_t>(first(j), 0); x <= std::min(last(j), W - 1); ++x) {
                const int64_t columnStep = s.width * 256 / (last(j) - first(j) + 1);
                p.Put(x, j,
                      s.Pixel((x - first(j)) * columnStep / 256, j * (s.height * 256 / H) / 256),
                      32);
            }
        for (int64_t k = 0; k + 1 < R; ++k)
            for (int64_t x = std::max<int64_t>(first(H - 1 - k), 0);
                 x <= std::min(last(H - 1 - k), W - 1); ++x)
                p.Put(x, H + k, pixel(x, H - 1 - k), weights[size_t(k)]);
    } else if (c.x1 == c.x3 && c.x2 == c.x4) {
        const int64_t top = (int64_t(c.y2) - c.y1) * 256 / W,
                      bottom = (int64_t(c.y4) - c.y3) * 256 / W;
        auto first = [&](int64_t j) { return c.y1 + FloorDiv256(j * top); };
        auto last = [&](int64_t j) { return c.y3 + FloorDiv256(j * bottom); };
        for (int64_t j = 0; j < W; ++j)
            for (int64_t y = std::max<int64_t>(first(j), 0); y <= std::min(last(j), H - 1); ++y) {
                const int64_t rowStep = s.height * 256 / (last(j) - first(j) + 1);
                p.Put(j, y, s.Pixel(j * (s.width * 256 / W) / 256, (y - first(j)) * rowStep / 256),
                      32);
            }
        // Each column mirrors only the pixels it drew.
        for (int64_t k = 0; k < R; ++k)
            for (int64_t j = 0; j < W; ++j) {
                const int64_t from = last(j) - k, to = last(j) + 1 + k;
                if (from >= std::max<int64_t>(first(j), 0) && from < H && to < T)
                    p.Put(j, to, pixel(j, from), weights[size_t(k)]);
            }
    } else {
        return Picture(0, 0, 0, false, 0, true);
    }
    return p;
}

enum Member { kRotate, kClone, kStretch, kFreeRotate, kStretchEx };

// One call of a transform with its arguments, and its outcome worked out by
// the reference for a target `dst` and a source `src` (Rotate reads `dst`).
struct Call {
    Member member;
    std::function<int(CCEBitmap& dst, CCEBitmap* src)> Run;
    std::function<Picture(const Snapshot& src, const Snapshot& dst)> Want;
};

inline Call Rotate(unsigned char code) {
    return {kRotate, [=](CCEBitmap& d, CCEBitmap*) { return d.Rotate(code); },
            [=](const Snapshot&, const Snapshot& d) { return ReferenceRotate(d, code); }};
}
inline Call Clone(int w, int h, int x, int y) {
    return {kClone, [=](CCEBitmap& d, CCEBitmap* s) { return d.Clone(s, w, h, x, y); },
            [=](const Snapshot& s, const Snapshot& d) { return ReferenceClone(s, d, w, h, x, y); }};
}
inline Call Stretch(int w, int h, int smooth) {
    return {kStretch, [=](CCEBitmap& d, CCEBitmap* s) { return d.Stretch(s, w, h, smooth); },
            [=](const Snapshot& s, const Snapshot&) { return ReferenceStretch(s, w, h, smooth); }};
}
inline Call FreeRotate(int angle, unsigned long fill) {
    return {kFreeRotate, [=](CCEBitmap& d, CCEBitmap* s) { return d.FreeRotate(s, angle, fill); },
            [=](const Snapshot& s, const Snapshot&) {
                return ReferenceFreeRotate(s, angle, uint8_t(fill));
            }};
}
inline Call StretchEx(const Corners& c, unsigned long fill, int reflect) {
    return {kStretchEx,
            [=](CCEBitmap& d, CCEBitmap* s) {
                return d.StretchEx(s, c.x1, c.y1, c.x2, c.y2, c.x3, c.y3, c.x4, c.y4, fill, reflect,
                                   0);
            },
            [=](const Snapshot& s, const Snapshot&) {
                return ReferenceStretchEx(s, c, uint8_t(fill), reflect != 0);
            }};
}

// Runs the call on `dst` and checks it against the reference.
inline ::testing::AssertionResult RunAndCompare(const Call& call, CCEBitmap& dst, CCEBitmap* src) {
    const Picture want = call.Want(Snapshot(src ? *src : dst), Snapshot(dst));
    return Gives(dst, call.Run(dst, src), want);
}

} // namespace zt

#endif // ZORVA_TESTS_TRANSFORMREFERENCE_H
