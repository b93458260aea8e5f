// Slow references for the transform tests: every output pixel worked out on
// its own from the written formulas (positions multiplied out, never
// stepped; u and v from X and Y directly), independent of the library's
// kernels.
#ifndef ZORVA_TESTS_TRANSFORMREFERENCE_H
#define ZORVA_TESTS_TRANSFORMREFERENCE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zt {

inline int64_t FloorDiv256(int64_t a) {
    return a >= 0 ? a / 256 : -((-a + 255) / 256);
}

// ---- Scaling

struct Channel {
    int shift;
    uint32_t mask;
};
constexpr Channel kChannels[] = {{0, 0x1F}, {5, 0x3F}, {11, 0x1F}};

inline uint32_t ChannelOf(uint16_t p, const Channel& c) {
    return (p >> c.shift) & c.mask;
}

// The scaled picture, each output pixel worked out on its own: position
// i * xStep and j * yStep multiplied out, channels filtered one at a time.
struct RefStretch {
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> weights;
};

inline RefStretch ReferenceStretch(const std::vector<uint16_t>& src,
                                   const std::vector<uint8_t>& alpha, int sw, int sh, int W, int H,
                                   bool smooth) {
    RefStretch out;
    const int xStep = sw * 256 / W, yStep = sh * 256 / H;
    for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
            const int X = i * xStep, Y = j * yStep;
            const int x0 = X / 256, y0 = Y / 256, fx = X % 256, fy = Y % 256;
            const int x1 = x0 == sw - 1 ? x0 : x0 + 1;
            const int y1 = y0 == sh - 1 ? y0 : y0 + 1;
            auto at = [&](int x, int y) { return src[size_t(y) * sw + x]; };
            if (!smooth) {
                out.pixels.push_back(at(x0, y0));
            } else {
                uint32_t value = 0;
                for (const Channel& c : kChannels) {
                    const uint32_t top =
                        (ChannelOf(at(x0, y0), c) * (256 - fx) + ChannelOf(at(x1, y0), c) * fx) >>
                        8;
                    const uint32_t bottom =
                        (ChannelOf(at(x0, y1), c) * (256 - fx) + ChannelOf(at(x1, y1), c) * fx) >>
                        8;
                    value |= ((top * (256 - fy) + bottom * fy) >> 8) << c.shift;
                }
                out.pixels.push_back(uint16_t(value));
            }
            if (!alpha.empty()) out.weights.push_back(alpha[size_t(y0) * sw + x0]);
        }
    return out;
}

// ---- Free rotation

// The turn as written: angle in double then single, cosine and sine in
// double from it then single, 8.8 values and corners truncated.
struct RefTurn {
    int c, s;
    int64_t minX, minY, w, h;
};

inline RefTurn ReferenceTurn(int angle, int W, int H) {
    const double exact = double(angle) * 6.28318530717958 * 0.002777777777777778;
    const float a = static_cast<float>(exact);
    const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
    const float sn = static_cast<float>(std::sin(static_cast<double>(a)));
    RefTurn t;
    t.c = static_cast<int>(cs * 256.0f);
    t.s = static_cast<int>(sn * 256.0f);
    const float wcs = float(W) * cs, wsn = float(W) * sn, hcs = float(H) * cs, hsn = float(H) * sn;
    const int64_t xs[] = {0, int64_t(wcs), int64_t(-hsn), int64_t(wcs - hsn)};
    const int64_t ys[] = {0, int64_t(wsn), int64_t(hcs), int64_t(wsn + hcs)};
    t.minX = *std::min_element(xs, xs + 4);
    t.minY = *std::min_element(ys, ys + 4);
    t.w = *std::max_element(xs, xs + 4) - t.minX;
    t.h = *std::max_element(ys, ys + 4) - t.minY;
    return t;
}

// Every result pixel on its own: u and v from X and Y directly.
inline void ReferenceTurnPixels(const RefTurn& t, const std::vector<uint16_t>& src,
                                const std::vector<uint8_t>& alpha, int W, int H, uint8_t fill,
                                std::vector<uint16_t>& pixels, std::vector<uint8_t>& weights) {
    pixels.assign(size_t(t.w * t.h), uint16_t(fill | (fill << 8)));
    weights.assign(alpha.empty() ? 0 : size_t(t.w * t.h), 0);
    for (int64_t r = 0; r < t.h; ++r)
        for (int64_t q = 0; q < t.w; ++q) {
            const int64_t X = t.minX + q, Y = t.minY + r;
            const int64_t sx = FloorDiv256(X * t.c + Y * t.s);
            const int64_t sy = FloorDiv256(Y * t.c - X * t.s);
            if (sx < 0 || sx >= W || sy < 0 || sy >= H) continue;
            pixels[size_t(r * t.w + q)] = src[size_t(sy * W + sx)];
            if (!alpha.empty()) weights[size_t(r * t.w + q)] = alpha[size_t(sy * W + sx)];
        }
}

// ---- Trapezoid stretch

struct Corners {
    int x1, y1, x2, y2, x3, y3, x4, y4;
};

// The whole result buffer (T rows, one more than the result's height) as
// the corners define it, each pixel worked out on its own from its span.
struct RefTrapezoid {
    bool drawn = false;
    int64_t W = 0, H = 0, R = 0, T = 0;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> weights; // empty without reflection
};

inline std::vector<uint8_t> ReflectionWeights(int64_t R, int64_t count) {
    std::vector<uint8_t> w;
    double value = 22.0;
    for (int64_t k = 0; k < count; ++k) {
        w.push_back(uint8_t(unsigned(value)));
        value -= 18.0 / double(R);
    }
    return w;
}

inline RefTrapezoid ReferenceStretchEx(const std::vector<uint16_t>& src, int sw, int sh,
                                       const Corners& c, uint8_t fill, bool reflect) {
    RefTrapezoid t;
    t.W = std::max({c.x1, c.x2, c.x3, c.x4});
    t.H = int64_t(std::max({c.y1, c.y2, c.y3, c.y4})) + 1;
    t.R = reflect ? t.H / 4 : 0;
    t.T = t.H + t.R;
    const int64_t W = t.W, H = t.H, R = t.R, T = t.T;
    if (W < 1 || T < 2) return t; // no image
    t.pixels.assign(size_t(W * T), reflect ? 0 : uint16_t(fill | fill << 8));
    if (reflect) t.weights.assign(size_t(W * T), 0);
    auto put = [&](int64_t x, int64_t y, uint16_t p, uint8_t w) {
        t.pixels[size_t(y * W + x)] = p;
        if (reflect) t.weights[size_t(y * W + x)] = w;
    };
    auto pixel = [&](int64_t x, int64_t y) { return t.pixels[size_t(y * W + x)]; };
    auto source = [&](int64_t x, int64_t y) { return src[size_t(y * sw + x)]; };

    if (c.y1 == c.y2 && c.y3 == c.y4) {
        const int64_t left = (int64_t(c.x3) - c.x1) * 256 / H;
        const int64_t right = (int64_t(c.x4) - c.x2) * 256 / H;
        const int64_t rowStep = int64_t(sh) * 256 / H;
        auto first = [&](int64_t j) { return c.x1 + FloorDiv256(j * left); };
        auto last = [&](int64_t j) { return c.x2 + FloorDiv256(j * right); };
        for (int64_t j = 0; j < H; ++j) {
            const int64_t n = last(j) - first(j) + 1;
            if (n <= 0) continue;
            const int64_t columnStep = int64_t(sw) * 256 / n;
            for (int64_t x = 0; x < W; ++x)
                if (x >= first(j) && x <= last(j))
                    put(x, j, source((x - first(j)) * columnStep / 256, j * rowStep / 256), 32);
        }
        if (R > 1) {
            const auto weights = ReflectionWeights(R, R - 1);
            for (int64_t k = 0; k + 1 < R; ++k) {
                const int64_t from = H - 1 - k;
                for (int64_t x = 0; x < W; ++x)
                    if (x >= first(from) && x <= last(from))
                        put(x, H + k, pixel(x, from), weights[size_t(k)]);
            }
        }
    } else if (c.x1 == c.x3 && c.x2 == c.x4) {
        const int64_t top = (int64_t(c.y2) - c.y1) * 256 / W;
        const int64_t bottom = (int64_t(c.y4) - c.y3) * 256 / W;
        const int64_t columnStep = int64_t(sw) * 256 / W;
        auto first = [&](int64_t j) { return c.y1 + FloorDiv256(j * top); };
        auto last = [&](int64_t j) { return c.y3 + FloorDiv256(j * bottom); };
        for (int64_t j = 0; j < W; ++j) {
            const int64_t n = last(j) - first(j) + 1;
            if (n <= 0) continue;
            const int64_t rowStep = int64_t(sh) * 256 / n;
            for (int64_t y = 0; y < H; ++y)
                if (y >= first(j) && y <= last(j))
                    put(j, y, source(j * columnStep / 256, (y - first(j)) * rowStep / 256), 32);
        }
        if (R >= 1) {
            const auto weights = ReflectionWeights(R, R);
            for (int64_t k = 0; k < R; ++k)
                for (int64_t j = 0; j < W; ++j) {
                    // Only pixels the column drew are mirrored.
                    const int64_t from = last(j) - k, to = last(j) + 1 + k;
                    if (from < std::max<int64_t>(first(j), 0) || from > H - 1 || to >= T) continue;
                    put(j, to, pixel(j, from), weights[size_t(k)]);
                }
        }
    } else {
        return t;
    }
    t.drawn = true;
    return t;
}

// Source pixel (x, y) is 100 * y + x + 1, never the black background.
} // namespace zt

#endif // ZORVA_TESTS_TRANSFORMREFERENCE_H
