#include "core/Raster.h"

#include "core/Pixel565.h"

#include <algorithm>

namespace zorva {

void FillSpan(uint16_t* first, ptrdiff_t stepBytes, int32_t count, uint16_t colour) {
    if (stepBytes == 2) {
        std::fill_n(first, count, colour);
        return;
    }
    auto* p = reinterpret_cast<uint8_t*>(first);
    for (int32_t i = 0; i < count; ++i, p += stepBytes)
        *reinterpret_cast<uint16_t*>(p) = colour;
}

void DrawRowSpan(const PixelView& view, int64_t x1, int64_t x2, int64_t y, uint16_t colour) {
    if (y < 0 || y >= view.height) return;
    if ((x1 < 0 && x2 < 0) || (x1 >= view.width && x2 >= view.width)) return;
    if (x1 > x2) std::swap(x1, x2);
    x1 = std::max<int64_t>(x1, 0);
    x2 = std::min<int64_t>(x2, view.width - 1);
    FillSpan(view.At(int32_t(x1), int32_t(y)), view.xPitch, int32_t(x2 - x1 + 1), colour);
}

void DrawColumnSpan(const PixelView& view, int64_t x, int64_t y1, int64_t y2, uint16_t colour) {
    if (x < 0 || x >= view.width) return;
    if ((y1 < 0 && y2 < 0) || (y1 >= view.height && y2 >= view.height)) return;
    if (y1 > y2) std::swap(y1, y2);
    y1 = std::max<int64_t>(y1, 0);
    y2 = std::min<int64_t>(y2, view.height - 1);
    FillSpan(view.At(int32_t(x), int32_t(y1)), view.yPitch, int32_t(y2 - y1 + 1), colour);
}

// ---- Lines
//
// Along the major axis step k (0 <= k <= dmaj) sits at major0 + smaj * k. The
// minor axis has stepped c(k) times, where c(k) = ceil((2 dmin k - dmaj) /
// (2 dmaj)): the error before decision k is e(k) = 2 dmin - dmaj + 2 dmin k -
// 2 dmaj c(k), and a step is taken exactly when e(k) > 0, which keeps c(k)
// equal to that ceiling. c is non-decreasing, so the steps whose pixel lies
// inside the view form one run, found by bounds on the major axis and two
// binary searches on the minor one.

namespace {

struct LineAxes {
    int64_t major0, minor0;     // start point
    int64_t smaj, smin;         // +1 or -1
    int64_t dmaj, dmin;         // lengths, dmaj >= dmin, dmaj > 0
    int64_t majLimit, minLimit; // view size along each axis
};

int64_t CeilDiv(int64_t a, int64_t b) { // b > 0
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

#if defined(__SIZEOF_INT128__)
using Wide = __int128;
// Below this length 2 * dmin * k fits 64 bits and the wide type is skipped.
constexpr int64_t kNarrowLimit = int64_t(1) << 30;
#else
using Wide = int64_t;
#endif

int64_t MinorSteps(const LineAxes& L, int64_t k) {
    if (k == 0) return 0;
#if defined(__SIZEOF_INT128__)
    if (L.dmaj >= kNarrowLimit) {
        const Wide a = 2 * Wide(L.dmin) * k - L.dmaj, b = 2 * Wide(L.dmaj);
        return int64_t(a >= 0 ? (a + b - 1) / b : -((-a) / b));
    }
#endif
    return CeilDiv(2 * L.dmin * k - L.dmaj, 2 * L.dmaj);
}

// Steps k in [lo, hi] whose coordinate start + s * k lies in [0, limit).
bool ClipAxis(int64_t start, int64_t s, int64_t limit, int64_t& lo, int64_t& hi) {
    int64_t first = s > 0 ? -start : start - (limit - 1);
    int64_t last = s > 0 ? limit - 1 - start : start;
    lo = std::max(lo, first);
    hi = std::min(hi, last);
    return lo <= hi;
}

// The run [lo, hi] of steps whose minor coordinate lies inside the view.
bool ClipMinor(const LineAxes& L, int64_t& lo, int64_t& hi) {
    // c(k) must lie in [cLo, cHi].
    int64_t cLo = L.smin > 0 ? -L.minor0 : L.minor0 - (L.minLimit - 1);
    int64_t cHi = L.smin > 0 ? L.minLimit - 1 - L.minor0 : L.minor0;
    if (MinorSteps(L, lo) < cLo) { // first k with c(k) >= cLo
        int64_t a = lo, b = hi + 1;
        while (a < b) {
            int64_t m = a + (b - a) / 2;
            if (MinorSteps(L, m) >= cLo)
                b = m;
            else
                a = m + 1;
        }
        lo = a;
    }
    if (lo > hi) return false;
    if (MinorSteps(L, hi) > cHi) { // last k with c(k) <= cHi
        int64_t a = lo - 1, b = hi;
        while (a < b) {
            int64_t m = b - (b - a) / 2;
            if (MinorSteps(L, m) <= cHi)
                a = m;
            else
                b = m - 1;
        }
        hi = a;
    }
    return lo <= hi;
}

void RunLine(const PixelView& view, const LineAxes& L, bool xMajor, uint16_t colour) {
    int64_t lo = 0, hi = L.dmaj;
    if (!ClipAxis(L.major0, L.smaj, L.majLimit, lo, hi)) return;
    if (!ClipMinor(L, lo, hi)) return;

    const int64_t c = MinorSteps(L, lo);
    // The error stays within [-2 dmaj, 2 dmin]; only its start needs width.
    int64_t e = int64_t(2 * Wide(L.dmin) - L.dmaj + 2 * Wide(L.dmin) * lo - 2 * Wide(L.dmaj) * c);
    int64_t major = L.major0 + L.smaj * lo;
    int64_t minor = L.minor0 + L.smin * c;
    const ptrdiff_t majStep = (xMajor ? view.xPitch : view.yPitch) * L.smaj;
    const ptrdiff_t minStep = (xMajor ? view.yPitch : view.xPitch) * L.smin;
    const int64_t incStraight = 2 * L.dmin;
    const int64_t incDiagonal = 2 * L.dmin - 2 * L.dmaj;

    auto* p = reinterpret_cast<uint8_t*>(xMajor ? view.At(int32_t(major), int32_t(minor))
                                                : view.At(int32_t(minor), int32_t(major)));
    for (int64_t n = hi - lo + 1; n > 0; --n) {
        *reinterpret_cast<uint16_t*>(p) = colour;
        if (e > 0) {
            e += incDiagonal;
            p += minStep;
        } else {
            e += incStraight;
        }
        p += majStep;
    }
}

// Without a 128-bit type, lines beyond this length step through every
// pixel, since 2 * dmin * k could leave 64 bits.
#if defined(__SIZEOF_INT128__)
constexpr int64_t kFastLineLimit = INT64_MAX;
#else
constexpr int64_t kFastLineLimit = int64_t(1) << 30;
#endif

} // namespace

void DrawLineClipped(const PixelView& view, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     uint16_t colour) {
    const int64_t dx = x2 > x1 ? int64_t(x2) - x1 : int64_t(x1) - x2;
    const int64_t dy = y2 > y1 ? int64_t(y2) - y1 : int64_t(y1) - y2;
    if (dx >= kFastLineLimit || dy >= kFastLineLimit) {
        DrawLineReference(view, x1, y1, x2, y2, colour);
        return;
    }
    if (dx == 0 && dy == 0) {
        if (view.Contains(x1, y1)) *view.At(x1, y1) = colour;
        return;
    }
    const int64_t sx = x1 > x2 ? -1 : 1;
    const int64_t sy = y1 > y2 ? -1 : 1;
    if (dx >= dy)
        RunLine(view, LineAxes{x1, y1, sx, sy, dx, dy, view.width, view.height}, true, colour);
    else
        RunLine(view, LineAxes{y1, x1, sy, sx, dy, dx, view.height, view.width}, false, colour);
}

void DrawLineReference(const PixelView& view, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       uint16_t colour) {
    const int64_t sx = x1 > x2 ? -1 : 1;
    const int64_t sy = y1 > y2 ? -1 : 1;
    const int64_t dx = x2 > x1 ? int64_t(x2) - x1 : int64_t(x1) - x2;
    const int64_t dy = y2 > y1 ? int64_t(y2) - y1 : int64_t(y1) - y2;
    int64_t x = x1, y = y1;
    if (dx >= dy) {
        int64_t e = 2 * dy - dx;
        for (int64_t i = 0; i <= dx; ++i) {
            if (view.Contains(x, y)) *view.At(int32_t(x), int32_t(y)) = colour;
            if (e > 0) {
                e += 2 * dy - 2 * dx;
                y += sy;
            } else {
                e += 2 * dy;
            }
            x += sx;
        }
    } else {
        int64_t e = 2 * dx - dy;
        for (int64_t i = 0; i <= dy; ++i) {
            if (view.Contains(x, y)) *view.At(int32_t(x), int32_t(y)) = colour;
            if (e > 0) {
                e += 2 * dx - 2 * dy;
                x += sx;
            } else {
                e += 2 * dx;
            }
            y += sy;
        }
    }
}

} // namespace zorva
