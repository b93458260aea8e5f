// Quarter and half turns of a bitmap's own picture, made in its own blocks
// (a quarter turn sets part of the picture aside in a temporary copy on the
// way), so the bitmap keeps its blocks and their recorded sizes; only the
// picture and the two size fields change.
#include "CCEBitmap.h"
#include "bitmap/BitmapState.h"
#include "core/SharedBlock.h"
#include "kernels/Kernels.h"
#include "system/memory/Memory.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

namespace pf = zorva::platform;

// Where the source elements of a W x H picture land in the turned one,
// counted in elements: the first source element goes to `start`; the next
// source column is `perColumn` further on, the next source row `perRow`
// further on from its row's start.
struct TurnWalk {
    ptrdiff_t start;
    ptrdiff_t perColumn;
    ptrdiff_t perRow;
    int32_t width; // of the turned picture
    int32_t height;
};

// The walk for a turn code (1 a quarter turn clockwise, 2 a half turn, 4 a
// quarter turn counter-clockwise); false for a code that does not turn.
bool WalkForTurn(unsigned code, int32_t w, int32_t h, TurnWalk& walk) {
    const ptrdiff_t W = w, H = h;
    switch (code) {
    case 1: // (x, y) -> (H - 1 - y, x)
        walk = {H - 1, H, -1, h, w};
        return true;
    case 2: // (x, y) -> (W - 1 - x, H - 1 - y)
        walk = {W * H - 1, -1, -W, w, h};
        return true;
    case 4: // (x, y) -> (y, W - 1 - x)
        walk = {(W - 1) * H, -H, 1, h, w};
        return true;
    default:
        return false;
    }
}

// Destination rows (source columns) turned together; the set-aside copy
// grows a band at a time.
constexpr int32_t kBand = 32;

// Turns the W x H plane `pixels` a quarter in place along the walk (perRow
// +-1: the source rows land side by side), in one pass from the start of
// the buffer, a band of kBand destination rows at a time. Before a band is
// written, every source row its pixels will cover is set aside in `aside`
// (only the columns not yet turned, at their own places), so each band
// reads the rows already covered from `aside` and the others from the
// picture. Every pixel is turned once, straight into the picture; about
// half of them pass through `aside` on the way (the rows covered before all
// their columns are turned).
// Contract: the walk is WalkForTurn's for code 1 or 4 and the same W, H
// (W, H >= 1); `aside` holds W * H elements and meets nothing else.
template <class T>
void TurnQuarterInPlace(T* pixels, T* aside, int32_t W, int32_t H, const TurnWalk& walk) {
    const zorva::KernelTable& k = zorva::Kernels();
    // Code 1 (perRow -1): destination row Y is source column Y, turned left
    // to right; code 4: source column W - 1 - Y, right to left.
    const bool clockwise = walk.perRow == -1;
    int32_t covered = 0; // source rows [0, covered) are in `aside`
    auto turn = [&](const T* from, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
        if (y0 >= y1) return;
        zorva::TurnDesc t;
        t.src = from + ptrdiff_t(y0) * W + x0;
        t.srcStride = W;
        t.width = x1 - x0;
        t.height = y1 - y0;
        t.dst = reinterpret_cast<uint8_t*>(pixels + walk.start + ptrdiff_t(x0) * walk.perColumn +
                                           ptrdiff_t(y0) * walk.perRow);
        t.dstColumnStep = walk.perColumn * ptrdiff_t(sizeof(T));
        t.dstRowStep = walk.perRow * ptrdiff_t(sizeof(T));
        sizeof(T) == 2 ? k.turn16(t) : k.turn8(t);
    };
    for (int32_t y0 = 0; y0 < W; y0 += kBand) {
        const int32_t y1 = y0 + kBand < W ? y0 + kBand : W;
        // The columns not yet turned, and the band's own.
        const int32_t keep0 = clockwise ? y0 : 0, keep1 = clockwise ? W : W - y0;
        const int32_t x0 = clockwise ? y0 : W - y1, x1 = clockwise ? y1 : W - y0;
        // The band writes elements [y0 * H, y1 * H): source rows up to
        // (y1 * H - 1) / W, set aside before any of them is written.
        const auto reach = int32_t((int64_t(y1) * H - 1) / W) + 1;
        for (; covered < reach; ++covered) {
            const ptrdiff_t at = ptrdiff_t(covered) * W + keep0;
            std::memcpy(aside + at, pixels + at, size_t(keep1 - keep0) * sizeof(T));
        }
        turn(aside, x0, x1, 0, covered);
        turn(pixels, x0, x1, covered, H);
    }
}

// A temporary buffer from the platform allocator, freed on every path; no
// allocation (and null) for 0 bytes.
struct Scratch {
    explicit Scratch(size_t bytes) : data(bytes ? pf::malloc(bytes) : nullptr) {}
    ~Scratch() { pf::free(data); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    void* data;
};

} // namespace

int CCEBitmap::Rotate(unsigned char byOrientation) {
    if (!m_pPixels) return 0;
    TurnWalk walk;
    if (!WalkForTurn(byOrientation, m_nWidth, m_nHeight, walk)) return 1;

    // The picture must be what the fields say before it is read.
    if (!zorva::HoldsItsPicture(*this)) return 0;
    const size_t count = size_t(uint32_t(m_nWidth)) * size_t(uint32_t(m_nHeight));
    const bool withAlpha = m_bARGB != 0;

    if (count > 0 && byOrientation == 2) {
        // A half turn reverses the picture's order: swaps in place.
        std::reverse(m_pPixels, m_pPixels + count);
        if (withAlpha) std::reverse(m_pAlpha, m_pAlpha + count);
    } else if (count > 0) {
        // Both temporaries first: a failure leaves the picture as it was.
        Scratch pixels(count * 2);
        if (!pixels.data) return 0;
        Scratch alpha(withAlpha ? count : 0);
        if (withAlpha && !alpha.data) return 0;
        TurnQuarterInPlace(m_pPixels, static_cast<uint16_t*>(pixels.data), m_nWidth, m_nHeight,
                           walk);
        if (withAlpha)
            TurnQuarterInPlace(m_pAlpha, static_cast<uint8_t*>(alpha.data), m_nWidth, m_nHeight,
                               walk);
    }
    m_nWidth = walk.width;
    m_nHeight = walk.height;
    return 1;
}
