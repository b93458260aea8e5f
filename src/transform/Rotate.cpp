// Quarter and half turns of a bitmap's own picture. The turn is written to
// a temporary copy and copied back, so the bitmap keeps its blocks and their
// recorded sizes; only the picture and the two size fields change.
#include "CCEBitmap.h"
#include "bitmap/BitmapState.h"
#include "core/SharedBlock.h"
#include "kernels/Kernels.h"
#include "system/memory/Memory.h"

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

// Writes the W x H plane `src`, read row by row, to `dst` along the walk.
// Contract: the walk is WalkForTurn's for the same W and H (W, H >= 1), so
// every element lands inside dst's W x H elements, each exactly once.
// Quarter turns (per-row step +-1: the source rows land side by side) go to
// the turn kernel, which walks them in tiles; the half turn reverses rows.
template <class T>
void TurnPlane(T* dst, const T* src, int32_t W, int32_t H, const TurnWalk& walk) {
    if (walk.perRow == 1 || walk.perRow == -1) {
        zorva::TurnDesc t;
        t.dst = reinterpret_cast<uint8_t*>(dst + walk.start);
        t.dstColumnStep = walk.perColumn * ptrdiff_t(sizeof(T));
        t.dstRowStep = walk.perRow * ptrdiff_t(sizeof(T));
        t.src = src;
        t.srcStride = W;
        t.width = W;
        t.height = H;
        const zorva::KernelTable& k = zorva::Kernels();
        return sizeof(T) == 2 ? k.turn16(t) : k.turn8(t);
    }
    ptrdiff_t rowStart = walk.start;
    for (int32_t y = 0; y < H; ++y, rowStart += walk.perRow) {
        const T* row = src + ptrdiff_t(y) * W;
        ptrdiff_t at = rowStart;
        for (int32_t x = 0; x < W; ++x, at += walk.perColumn)
            dst[at] = row[x];
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

    if (count > 0) {
        Scratch pixels(count * 2);
        if (!pixels.data) return 0;
        Scratch alpha(withAlpha ? count : 0);
        if (withAlpha && !alpha.data) return 0;

        TurnPlane(static_cast<uint16_t*>(pixels.data), m_pPixels, m_nWidth, m_nHeight, walk);
        if (withAlpha) {
            TurnPlane(static_cast<uint8_t*>(alpha.data), m_pAlpha, m_nWidth, m_nHeight, walk);
            std::memcpy(m_pAlpha, alpha.data, count);
        }
        std::memcpy(m_pPixels, pixels.data, count * 2);
    }
    m_nWidth = walk.width;
    m_nHeight = walk.height;
    return 1;
}
