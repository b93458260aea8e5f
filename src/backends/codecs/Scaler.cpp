// The scaler: a picture's rows in, the rows of a window of the picture at
// another size out, holding a band of rows rather than the picture.
//
// Fixed point. Along each axis every destination pixel takes a few source
// pixels with integer weights that add up to the axis's `total`:
// - shrinking (area averaging): with everything measured in units of
//   1 / (from x to) of the picture, source pixel k spans [k to, (k + 1) to)
//   and destination pixel i spans [i from, (i + 1) from); the weight is their
//   overlap, an exact integer, and the weights add up to `from`;
// - growing (bilinear): destination pixel i's centre lies at
//   u = ((2 i + 1) from - to) / (2 to) in source pixels; the two pixels
//   around it get 1 - frac(u) and frac(u) in 16-bit fixed point (total
//   65536), indices clamped to the picture (edges extended).
// A row is filtered across first, into 8.8 fixed point (H <= 255 x 256);
// then the rows are summed down with the vertical weights into 32 bits
// (H x total <= 65280 x 65536 < 2^32) and divided by 256 x total with a
// 40-bit reciprocal. Each division rounds to nearest.
#include "backends/codecs/Codecs.h"

#include "backends/Testing.h"

#include <atomic>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorva::backends {
namespace {

// Whether the vector path across a row may run (ScalerVectorPath, for the
// test that holds it to the scalar path).
std::atomic<bool> g_vectorPath{true};

// A block of `count` elements from the platform allocator, or null.
template <class T>
T* NewArray(uint64_t count) {
    if (count == 0 || count > (uint64_t(1) << 40) / sizeof(T)) return nullptr;
    return static_cast<T*>(backends::malloc(size_t(count) * sizeof(T)));
}

template <class T>
T* NewZeroed(uint64_t count) {
    T* p = NewArray<T>(count);
    if (p) std::memset(p, 0, size_t(count) * sizeof(T));
    return p;
}

// Straight colour to premultiplied, c x a / 255 rounded.
void Premultiply(const uint8_t* in, uint8_t* out, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, in += 4, out += 4) {
        const uint32_t a = in[3];
        out[0] = uint8_t((in[0] * a + 127) / 255);
        out[1] = uint8_t((in[1] * a + 127) / 255);
        out[2] = uint8_t((in[2] * a + 127) / 255);
        out[3] = uint8_t(a);
    }
}

// Premultiplied back to straight colour: c x 255 / a rounded, at most 255.
void Unpremultiply(uint8_t* p, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, p += 4) {
        const uint32_t a = p[3];
        if (a == 255) continue;
        if (a == 0) {
            p[0] = p[1] = p[2] = 0;
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = (p[c] * 255u + a / 2) / a;
            p[c] = uint8_t(v > 255 ? 255 : v);
        }
    }
}

constexpr uint64_t Reciprocal(uint32_t total) {
    return ((uint64_t(1) << 40) + total / 2) / total;
}

} // namespace

// The weights of one axis for destination pixels lo to hi - 1 (indices
// below are relative to lo).
struct Scaler::Axis {
    uint32_t from = 0, to = 0, lo = 0, hi = 0;
    uint32_t total = 0;
    uint64_t reciprocal = 0; // round(2^40 / total)
    uint32_t* first = nullptr;
    uint32_t* count = nullptr;
    uint32_t* offset = nullptr;
    uint32_t* weights = nullptr;
    // The same taps padded to `taps` a pixel (zero weights, the run moved
    // left at the picture's right edge), for loops of a fixed length; 0 when
    // the padding would not pay. Each weight is multiplied by `reciprocal`
    // ahead: sum(p w) r = sum(p (w r)), exactly, with no product per pixel.
    uint32_t taps = 0;
    uint32_t* padFirst = nullptr;
    uint64_t* padWeights = nullptr;
    // For the SSE2 path: four taps a pixel from quadFirst, their weights as
    // 16-bit pairs (w0 w1 four times, then w2 w3 four times), when a
    // shrinking axis's weights fit 15 bits and its reciprocal 32 (from >
    // 256): pmaddwd then sums p w exactly in 32 bits (<= 255 from), and
    // pmuludq multiplies by the reciprocal exactly.
    uint32_t* quadFirst = nullptr;
    int16_t* pairWeights = nullptr;

    ~Axis() {
        backends::free(first);
        backends::free(count);
        backends::free(offset);
        backends::free(weights);
        backends::free(padFirst);
        backends::free(padWeights);
        backends::free(quadFirst);
        backends::free(pairWeights);
    }

    Status Pad() {
        const uint32_t n = Size();
        uint32_t most = 0;
        for (uint32_t i = 0; i < n; ++i)
            most = count[i] > most ? count[i] : most;
        if (most > 4 || most > from) return Status::Ok;
        padFirst = NewArray<uint32_t>(n);
        padWeights = NewZeroed<uint64_t>(uint64_t(n) * most);
        if (!padFirst || !padWeights) return Status::OutOfMemory;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t start = first[i] + most <= from ? first[i] : from - most;
            padFirst[i] = start;
            for (uint32_t t = 0; t < count[i]; ++t)
                padWeights[size_t(i) * most + (first[i] - start) + t] =
                    weights[offset[i] + t] * reciprocal;
        }
        taps = most;
#if defined(__SSE2__)
        if (from >= to && from > 256 && to < 32768) {
            quadFirst = NewArray<uint32_t>(n);
            pairWeights = NewZeroed<int16_t>(uint64_t(n) * 16);
            if (!quadFirst || !pairWeights) return Status::OutOfMemory;
            for (uint32_t i = 0; i < n; ++i) {
                const uint32_t start = first[i] + 4 <= from ? first[i] : from - 4;
                quadFirst[i] = start;
                int16_t* w = pairWeights + size_t(i) * 16;
                for (uint32_t t = 0; t < count[i]; ++t) {
                    const uint32_t k = first[i] - start + t; // 0..3
                    for (uint32_t c = 0; c < 4; ++c)
                        w[(k / 2) * 8 + 2 * c + k % 2] = int16_t(weights[offset[i] + t]);
                }
            }
        }
#endif
        return Status::Ok;
    }
    uint32_t Size() const {
        return hi - lo;
    }
    uint32_t Last(uint32_t i) const {
        return first[i] + count[i] - 1;
    }

    Status Build(uint32_t from_, uint32_t to_, uint32_t lo_, uint32_t hi_) {
        from = from_, to = to_, lo = lo_, hi = hi_;
        const uint32_t n = Size();
        first = NewArray<uint32_t>(n);
        count = NewArray<uint32_t>(n);
        offset = NewArray<uint32_t>(n);
        if (!first || !count || !offset) return Status::OutOfMemory;
        const bool shrink = from >= to;
        uint64_t taps = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const uint64_t d = uint64_t(lo) + i;
            if (shrink) {
                const uint64_t a = d * from, b = a + from;
                first[i] = uint32_t(a / to);
                count[i] = uint32_t((b - 1) / to) - first[i] + 1;
            } else {
                const int64_t u = int64_t(2 * d + 1) * from - to, twice = 2 * int64_t(to);
                const int64_t k = u >= 0 ? u / twice : -1; // u > -twice always
                first[i] = uint32_t(k < 0 ? 0 : k);
                count[i] = k >= 0 && k + 1 < int64_t(from) ? 2 : 1;
            }
            offset[i] = uint32_t(taps);
            taps += count[i];
        }
        weights = NewArray<uint32_t>(taps);
        if (!weights) return Status::OutOfMemory;
        total = shrink ? from : 65536;
        reciprocal = Reciprocal(total);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t* w = weights + offset[i];
            const uint64_t d = uint64_t(lo) + i;
            if (shrink) {
                const uint64_t a = d * from, b = a + from;
                for (uint32_t t = 0; t < count[i]; ++t) {
                    const uint64_t k = uint64_t(first[i]) + t;
                    const uint64_t s = k * to > a ? k * to : a,
                                   e = (k + 1) * to < b ? (k + 1) * to : b;
                    w[t] = uint32_t(e - s);
                }
            } else if (count[i] == 1) {
                w[0] = 65536;
            } else {
                const int64_t u = int64_t(2 * d + 1) * from - to, twice = 2 * int64_t(to);
                const uint64_t frac = uint64_t(u - int64_t(first[i]) * twice);
                w[1] = uint32_t((frac * 65536 + uint64_t(to)) / uint64_t(twice));
                w[0] = 65536 - w[1];
            }
        }
        return Status::Ok;
    }
};

struct Scaler::State {
    Axis x, y;
    uint32_t sourceWidth = 0, sourceHeight = 0;
    bool passThrough = false;
    bool inOrder = true;  // rows arrive whole, top to bottom
    bool collect = false; // rows in any order are gathered into `source` first
    Pixmap source;
    uint8_t* work = nullptr;   // one source row, premultiplied or expanded
    uint16_t* across[2] = {};  // filtered rows (8.8), by source row parity
    uint32_t* sums = nullptr;  // 2 rows (in order) or every window row
    uint8_t* outRow = nullptr; // one finished row
    uint32_t next = 0;         // the window row to finish next
    bool stopped = false;      // the consumer refused a row

    ~State() {
        backends::free(work);
        backends::free(across[0]);
        backends::free(across[1]);
        backends::free(sums);
        backends::free(outRow);
    }
};

Scaler::Scaler(uint32_t width, uint32_t height, const Rect& window, bool alpha, RowConsumer& out)
    : m_width(width), m_height(height), m_window(window), m_alpha(alpha), m_out(out) {}

Scaler::~Scaler() {
    delete m_state;
}

Status Scaler::Begin(uint32_t width, uint32_t height, bool inOrder) {
    delete m_state;
    m_state = nullptr;
    const Rect& w = m_window;
    if (!ImageSizeAllowed(width, height) || !ImageSizeAllowed(m_width, m_height) || w.left < 0 ||
        w.top < 0 || w.left >= w.right || w.top >= w.bottom || uint32_t(w.right) > m_width ||
        uint32_t(w.bottom) > m_height)
        return Status::Refused;
    m_state = new (std::nothrow) State;
    if (!m_state) return Status::OutOfMemory;
    State& s = *m_state;
    s.sourceWidth = width;
    s.sourceHeight = height;
    s.inOrder = inOrder;
    const uint32_t ww = uint32_t(w.right - w.left), wh = uint32_t(w.bottom - w.top);
    if (width == m_width && height == m_height) {
        s.passThrough = true;
        return m_out.Begin(ww, wh, inOrder);
    }
    Status hr = s.x.Build(width, m_width, uint32_t(w.left), uint32_t(w.right));
    if (hr == Status::Ok) hr = s.x.Pad();
    if (hr == Status::Ok) hr = s.y.Build(height, m_height, uint32_t(w.top), uint32_t(w.bottom));
    if (hr != Status::Ok) return hr;
    // Rows in any order: sums for every window row, or the source gathered
    // whole, whichever is smaller.
    s.collect = !inOrder && uint64_t(ww) * wh * 4 > uint64_t(width) * height;
    if (s.collect) {
        hr = s.source.Allocate(width, height);
        if (hr != Status::Ok) return hr;
    }
    const bool sumsAll = !inOrder && !s.collect;
    s.work = NewArray<uint8_t>(uint64_t(width) * 4);
    s.across[0] = NewArray<uint16_t>(uint64_t(ww) * 4);
    s.across[1] = NewArray<uint16_t>(uint64_t(ww) * 4);
    s.sums = NewZeroed<uint32_t>(uint64_t(ww) * 4 * (sumsAll ? wh : 2));
    s.outRow = NewArray<uint8_t>(uint64_t(ww) * 4);
    if (!s.work || !s.across[0] || !s.across[1] || !s.sums || !s.outRow) return Status::OutOfMemory;
    return m_out.Begin(ww, wh, true);
}

namespace {

// Filters one source row (B, G, R, A; premultiplied when it matters) across
// into 8.8 fixed point for every window column.
void FilterAcross(const uint8_t* row, const uint32_t* first, const uint32_t* count,
                  const uint32_t* offset, const uint32_t* weights, uint64_t reciprocal,
                  uint32_t columns, uint16_t* out) {
    constexpr uint64_t kHalf = uint64_t(1) << 31;
    for (uint32_t i = 0; i < columns; ++i, out += 4) {
        const uint8_t* s = row + size_t(first[i]) * 4;
        const uint32_t* w = weights + offset[i];
        uint32_t b = 0, g = 0, r = 0, a = 0;
        for (uint32_t t = 0, n = count[i]; t < n; ++t, s += 4) {
            b += s[0] * w[t];
            g += s[1] * w[t];
            r += s[2] * w[t];
            a += s[3] * w[t];
        }
        out[0] = uint16_t((b * reciprocal + kHalf) >> 32);
        out[1] = uint16_t((g * reciprocal + kHalf) >> 32);
        out[2] = uint16_t((r * reciprocal + kHalf) >> 32);
        out[3] = uint16_t((a * reciprocal + kHalf) >> 32);
    }
}

// The same with `Taps` taps for every column (Axis::Pad), and the alpha
// channel only when it is used: the loops unroll, and no branch depends on
// a column's count.
template <uint32_t Taps, bool Alpha>
void FilterAcrossPadded(const uint8_t* __restrict row, const uint32_t* __restrict first,
                        const uint64_t* __restrict weights, uint32_t columns,
                        uint16_t* __restrict out) {
    constexpr uint64_t kHalf = uint64_t(1) << 31;
    for (uint32_t i = 0; i < columns; ++i, out += 4, weights += Taps) {
        const uint8_t* s = row + size_t(first[i]) * 4;
        uint64_t b = kHalf, g = kHalf, r = kHalf, a = kHalf;
        for (uint32_t t = 0; t < Taps; ++t) {
            b += s[4 * t] * weights[t];
            g += s[4 * t + 1] * weights[t];
            r += s[4 * t + 2] * weights[t];
            if (Alpha) a += s[4 * t + 3] * weights[t];
        }
        out[0] = uint16_t(b >> 32);
        out[1] = uint16_t(g >> 32);
        out[2] = uint16_t(r >> 32);
        out[3] = Alpha ? uint16_t(a >> 32) : 0;
    }
}

template <bool Alpha>
bool FilterAcrossPadded(const uint8_t* row, const uint32_t* first, const uint64_t* weights,
                        uint32_t taps, uint32_t columns, uint16_t* out) {
    switch (taps) {
    case 1:
        FilterAcrossPadded<1, Alpha>(row, first, weights, columns, out);
        return true;
    case 2:
        FilterAcrossPadded<2, Alpha>(row, first, weights, columns, out);
        return true;
    case 3:
        FilterAcrossPadded<3, Alpha>(row, first, weights, columns, out);
        return true;
    case 4:
        FilterAcrossPadded<4, Alpha>(row, first, weights, columns, out);
        return true;
    }
    return false;
}

#if defined(__SSE2__)
// FilterAcross over four taps a pixel with SSE2 (Axis::quadFirst and
// pairWeights): the same sums, the same rounding, the same results.
template <bool Alpha>
void FilterAcrossSse2(const uint8_t* row, const uint32_t* first, const int16_t* weights,
                      uint64_t reciprocal, uint32_t columns, uint16_t* out) {
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi64x(int64_t(1) << 31);
    const __m128i r = _mm_set1_epi32(int(uint32_t(reciprocal)));
    const __m128i keep = Alpha ? _mm_set1_epi32(-1) : _mm_set_epi32(0, -1, -1, -1);
    for (uint32_t i = 0; i < columns; ++i, out += 4, weights += 16) {
        // Four pixels, their channels paired: b0 b1 g0 g1 r0 r1 a0 a1, and
        // the same for pixels 2 and 3.
        const __m128i px =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + size_t(first[i]) * 4));
        __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
        lo = _mm_unpacklo_epi16(lo, _mm_srli_si128(lo, 8));
        hi = _mm_unpacklo_epi16(hi, _mm_srli_si128(hi, 8));
        const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights));
        const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8));
        const __m128i sums =
            _mm_and_si128(_mm_add_epi32(_mm_madd_epi16(lo, w0), _mm_madd_epi16(hi, w1)), keep);
        // (sum r + 2^31) >> 32, lanes 0 and 2, then 1 and 3.
        const __m128i even = _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(sums, r), half), 32);
        const __m128i odd =
            _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(sums, 32), r), half), 32);
        __m128i v = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0x88), 0x88);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi32(v, 0x08));
    }
}
#endif

void AddWeighted(const uint16_t* across, uint32_t weight, uint32_t values, uint32_t* sums) {
    uint32_t i = 0;
#if defined(__SSE2__)
    // 16 x 16-bit products, whole: the low and high halves paired.
    if (weight < 65536 && g_vectorPath.load(std::memory_order_relaxed)) {
        const __m128i w = _mm_set1_epi16(int16_t(uint16_t(weight)));
        for (; i + 8 <= values; i += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(across + i));
            const __m128i lo = _mm_mullo_epi16(a, w), hi = _mm_mulhi_epu16(a, w);
            auto* to = reinterpret_cast<__m128i*>(sums + i);
            _mm_storeu_si128(to, _mm_add_epi32(_mm_loadu_si128(to), _mm_unpacklo_epi16(lo, hi)));
            _mm_storeu_si128(to + 1,
                             _mm_add_epi32(_mm_loadu_si128(to + 1), _mm_unpackhi_epi16(lo, hi)));
        }
    }
#endif
    for (; i < values; ++i)
        sums[i] += across[i] * weight;
}

#if defined(__SSE2__)
// Eight sums back to bytes as Finish does, when the reciprocal fits 32
// bits: (s r + 2^47) >> 48, at most 2^16, saturated to 255 by the packs.
inline __m128i FinishEight(const uint32_t* sums, __m128i r) {
    const __m128i half = _mm_set1_epi64x(int64_t(1) << 47);
    auto divide = [&](__m128i v) {
        const __m128i even = _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(v, r), half), 48);
        const __m128i odd =
            _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(v, 32), r), half), 48);
        return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    };
    const __m128i a = divide(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums)));
    const __m128i b = divide(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4)));
    const __m128i words = _mm_packs_epi32(a, b);
    return _mm_packus_epi16(words, words);
}

bool VectorFinish(uint64_t reciprocal) {
    return reciprocal < (uint64_t(1) << 32) && g_vectorPath.load(std::memory_order_relaxed);
}
#endif

// Sums of 8.8 values weighted to `total` back to bytes.
void Finish(const uint32_t* sums, uint64_t reciprocal, uint32_t values, uint8_t* out) {
    constexpr uint64_t kHalf = uint64_t(1) << 47;
    uint32_t i = 0;
#if defined(__SSE2__)
    if (VectorFinish(reciprocal)) {
        const __m128i r = _mm_set1_epi32(int(uint32_t(reciprocal)));
        for (; i + 8 <= values; i += 8)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), FinishEight(sums + i, r));
    }
#endif
    for (; i < values; ++i) {
        const uint64_t v = (sums[i] * reciprocal + kHalf) >> 48;
        out[i] = uint8_t(v > 255 ? 255 : v);
    }
}

// The same for opaque pixels: colours only, alpha 255.
void FinishOpaque(const uint32_t* __restrict sums, uint64_t reciprocal, uint32_t pixels,
                  uint8_t* __restrict out) {
    constexpr uint64_t kHalf = uint64_t(1) << 47;
    uint32_t i = 0;
#if defined(__SSE2__)
    if (VectorFinish(reciprocal)) {
        const __m128i r = _mm_set1_epi32(int(uint32_t(reciprocal)));
        const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
        for (; i + 2 <= pixels; i += 2, sums += 8, out += 8)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                             _mm_or_si128(FinishEight(sums, r), opaque));
    }
#endif
    for (; i < pixels; ++i, sums += 4, out += 4) {
        for (int c = 0; c < 3; ++c) {
            const uint64_t v = (sums[c] * reciprocal + kHalf) >> 48;
            out[c] = uint8_t(v > 255 ? 255 : v);
        }
        out[3] = 255;
    }
}

} // namespace

bool Scaler::Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) {
    if (!m_state || m_state->stopped || y >= m_state->sourceHeight || step == 0) return false;
    // Every row is taken, also past the window's last: damage anywhere in
    // the file fails the picture, whatever part of it is shown.
    State& s = *m_state;
    if (s.passThrough) return PassRow(y, pixels, first, step);
    if (s.collect) {
        if (pixels) {
            uint8_t* row = s.source.Row(y);
            for (uint32_t i = 0, n = RowPixels(s.sourceWidth, first, step); i < n; ++i)
                std::memcpy(row + 4 * (size_t(first) + size_t(i) * step), pixels + 4 * size_t(i),
                            4);
        }
        return true;
    }
    const Axis& ay = s.y;
    const uint32_t wh = uint32_t(m_window.bottom - m_window.top);
    // Is the row any window row's? Rows above and below the window's need
    // not be filtered.
    const bool needed = y >= ay.first[0] && y <= ay.Last(wh - 1);
    const uint16_t* across = pixels && needed ? FilterRow(y, pixels, first, step) : nullptr;
    if (!s.inOrder)
        AddAnyOrder(y, across);
    else if (ay.from >= ay.to)
        Shrink(y, across);
    else
        Grow(y, needed, across);
    return !s.stopped;
}

// The sizes agree: the window's part of the row goes straight on.
bool Scaler::PassRow(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) {
    State& s = *m_state;
    const Rect& w = m_window;
    if (y < uint32_t(w.top) || y >= uint32_t(w.bottom)) return true;
    const uint32_t row = y - uint32_t(w.top);
    if (!pixels) return !(s.stopped = !m_out.Row(row, nullptr, 0, 1));
    // The first pixel at or right of the window's left edge.
    uint32_t skip = 0;
    if (first < uint32_t(w.left)) skip = (uint32_t(w.left) - first + step - 1) / step;
    const uint32_t at = first + skip * step;
    if (at >= uint32_t(w.right)) return true;
    s.stopped = !m_out.Row(row, pixels + size_t(skip) * 4, at - uint32_t(w.left), step);
    return !s.stopped;
}

// The row filtered across (premultiplied when there is alpha), into the
// buffer of row y's parity.
const uint16_t* Scaler::FilterRow(uint32_t y, const uint8_t* pixels, uint32_t first,
                                  uint32_t step) {
    State& s = *m_state;
    const uint8_t* row = pixels;
    if (first != 0 || step != 1) {
        std::memset(s.work, 0, size_t(s.sourceWidth) * 4);
        for (uint32_t i = 0, n = RowPixels(s.sourceWidth, first, step); i < n; ++i)
            std::memcpy(s.work + 4 * (size_t(first) + size_t(i) * step), pixels + 4 * size_t(i), 4);
        if (m_alpha) Premultiply(s.work, s.work, s.sourceWidth);
        row = s.work;
    } else if (m_alpha) {
        Premultiply(pixels, s.work, s.sourceWidth);
        row = s.work;
    }
    uint16_t* out = s.across[y & 1];
    const uint32_t ww = uint32_t(m_window.right - m_window.left);
    const Axis& x = s.x;
#if defined(__SSE2__)
    if (x.pairWeights && g_vectorPath.load(std::memory_order_relaxed)) {
        if (m_alpha)
            FilterAcrossSse2<true>(row, x.quadFirst, x.pairWeights, x.reciprocal, ww, out);
        else
            FilterAcrossSse2<false>(row, x.quadFirst, x.pairWeights, x.reciprocal, ww, out);
        return out;
    }
#endif
    // Without alpha the fourth channel is never read (Emit makes it opaque).
    const bool padded =
        m_alpha ? FilterAcrossPadded<true>(row, x.padFirst, x.padWeights, x.taps, ww, out)
                : FilterAcrossPadded<false>(row, x.padFirst, x.padWeights, x.taps, ww, out);
    if (!padded) FilterAcross(row, x.first, x.count, x.offset, x.weights, x.reciprocal, ww, out);
    return out;
}

// Rows in any order: row y's filtered values go into the sums of every
// window row whose taps include y, a run, since first and last taps only
// grow down the window.
void Scaler::AddAnyOrder(uint32_t y, const uint16_t* across) {
    if (!across) return;
    State& s = *m_state;
    const Axis& ay = s.y;
    const uint32_t wh = uint32_t(m_window.bottom - m_window.top);
    const uint32_t values = uint32_t(m_window.right - m_window.left) * 4;
    uint32_t lo = 0, hi = wh;
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        if (ay.Last(mid) < y)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (uint32_t j = lo; j < wh && ay.first[j] <= y; ++j)
        AddWeighted(across, ay.weights[ay.offset[j] + (y - ay.first[j])], values,
                    s.sums + size_t(j) * values);
}

// Shrinking, rows in order: a source row falls into at most two
// destination rows, the next to finish and the one after it.
void Scaler::Shrink(uint32_t y, const uint16_t* across) {
    State& s = *m_state;
    const Axis& ay = s.y;
    const uint32_t wh = uint32_t(m_window.bottom - m_window.top);
    const uint32_t values = uint32_t(m_window.right - m_window.left) * 4;
    for (uint32_t j = s.next; across && j < wh && j <= s.next + 1; ++j)
        if (y >= ay.first[j] && y <= ay.Last(j))
            AddWeighted(across, ay.weights[ay.offset[j] + (y - ay.first[j])], values,
                        s.sums + size_t(j & 1) * values);
    while (!s.stopped && s.next < wh && y >= ay.Last(s.next)) {
        uint32_t* sums = s.sums + size_t(s.next & 1) * values;
        Emit(sums);
        std::memset(sums, 0, size_t(values) * 4);
    }
}

// Growing, rows in order: each destination row mixes two neighbouring
// source rows, the last two filtered.
void Scaler::Grow(uint32_t y, bool needed, const uint16_t* across) {
    State& s = *m_state;
    const Axis& ay = s.y;
    const uint32_t wh = uint32_t(m_window.bottom - m_window.top);
    const uint32_t values = uint32_t(m_window.right - m_window.left) * 4;
    if (needed && !across) std::memset(s.across[y & 1], 0, size_t(values) * 2);
    while (!s.stopped && s.next < wh && ay.Last(s.next) <= y) {
        const uint32_t j = s.next, k = ay.first[j];
        std::memset(s.sums, 0, size_t(values) * 4);
        for (uint32_t t = 0; t < ay.count[j]; ++t)
            AddWeighted(s.across[(k + t) & 1], ay.weights[ay.offset[j] + t], values, s.sums);
        Emit(s.sums);
    }
}

// The next window row from its finished sums.
void Scaler::Emit(const uint32_t* sums) {
    State& s = *m_state;
    const uint32_t ww = uint32_t(m_window.right - m_window.left);
    if (m_alpha) {
        Finish(sums, s.y.reciprocal, ww * 4, s.outRow);
        Unpremultiply(s.outRow, ww);
    } else {
        FinishOpaque(sums, s.y.reciprocal, ww, s.outRow);
    }
    if (!m_out.Row(s.next, s.outRow, 0, 1)) s.stopped = true;
    ++s.next;
}

uint8_t* Scaler::Whole(int32_t* stride) {
    if (!m_state || !m_state->passThrough || m_window.left != 0 || m_window.top != 0 ||
        uint32_t(m_window.right) != m_width || uint32_t(m_window.bottom) != m_height)
        return nullptr;
    return m_out.Whole(stride);
}

Status Scaler::End() {
    if (!m_state) return Status::Refused;
    State& s = *m_state;
    const uint32_t ww = uint32_t(m_window.right - m_window.left);
    const uint32_t wh = uint32_t(m_window.bottom - m_window.top);
    if (s.stopped) return Status::Refused;
    if (s.passThrough) return m_out.End();
    if (s.collect) {
        // The gathered picture, row by row, as if it had come in order.
        s.collect = false;
        s.inOrder = true;
        for (uint32_t y = 0; y < s.sourceHeight && Row(y, s.source.Row(y), 0, 1); ++y) {}
        s.source.Reset();
        if (s.stopped) return Status::Refused;
    } else if (!s.inOrder) {
        const uint32_t values = ww * 4;
        for (uint32_t j = 0; j < wh; ++j) {
            Finish(s.sums + size_t(j) * values, s.y.reciprocal, values, s.outRow);
            if (m_alpha)
                Unpremultiply(s.outRow, ww);
            else
                for (uint32_t i = 0; i < ww; ++i)
                    s.outRow[4 * i + 3] = 255;
            if (!m_out.Row(j, s.outRow, 0, 1)) return Status::Refused;
        }
        s.next = wh;
    }
    // In order, rows that never came leave the picture short.
    if (s.next < wh) return Status::Corrupt;
    return m_out.End();
}

} // namespace zorva::backends

namespace zorva {

void ScalerVectorPath(bool on) {
    backends::g_vectorPath.store(on);
}

} // namespace zorva
