// What the bitmap transforms share: reading a source picture safely, and
// sizing the buffers they write so that the source is never written.
//
// A transform reads one bitmap and writes another, but the two may hold the
// same blocks: the source may be the bitmap called, or an operator= copy of
// it. So a transform first takes its own reference to the source's blocks
// (SourcePicture), then gives up any block of its own that is one of them
// before writing (SizeForWriting): the result goes to a fresh block, the
// source keeps its picture, and the reference keeps that picture alive until
// the transform is done, whichever bitmap held it before.
#ifndef ZORVA_TRANSFORM_TRANSFORMCOMMON_H
#define ZORVA_TRANSFORM_TRANSFORMCOMMON_H

#include "CCEBitmap.h"
#include "bitmap/BitmapState.h"
#include "core/SharedBlock.h"

#include <cstdint>

namespace zorva {

// Positions are 8.8 fixed point and p >> 8 is taken to round toward minus
// infinity, so that sides leaning left or upward step at the rounded-down
// pixel. C++17 leaves >> of a negative value to the compiler; every one we
// build with shifts arithmetically (and C++20 requires it).
static_assert((-1 >> 1) == -1 && (int64_t(-257) >> 8) == -2, "arithmetic right shift");

// The picture of a source bitmap, checked once and held for the duration of
// a transform. `alpha` is null unless the source's alpha plane is in use.
class SourcePicture {
public:
    SourcePicture() = default;
    ~SourcePicture() { Drop(); }
    SourcePicture(const SourcePicture&) = delete;
    SourcePicture& operator=(const SourcePicture&) = delete;

    // False for a null source and a source whose buffers do not hold its
    // picture (HoldsItsPicture); the transform then refuses. Otherwise the
    // blocks are held until destruction.
    bool Take(const CCEBitmap* src) {
        Drop();
        if (!src || !HoldsItsPicture(*src)) return false;
        const bool hasAlpha = src->m_bARGB != 0;
        m_pixels = src->m_pPixels;
        m_alpha = hasAlpha ? src->m_pAlpha : nullptr;
        BlockRetain(m_pixels);
        BlockRetain(m_alpha);
        width = src->m_nWidth;
        height = src->m_nHeight;
        pixels = m_pixels;
        alpha = m_alpha;
        return true;
    }

    // Whether `block` is one of the blocks this picture is read from.
    bool Shares(const void* block) const {
        return block && (block == m_pixels || block == m_alpha);
    }

    const uint16_t* pixels = nullptr;
    const uint8_t* alpha = nullptr;
    int32_t width = 0;
    int32_t height = 0;

private:
    void Drop() {
        BlockRelease(m_pixels);
        BlockRelease(m_alpha);
        m_pixels = nullptr;
        m_alpha = nullptr;
        pixels = nullptr;
        alpha = nullptr;
    }

    uint16_t* m_pixels = nullptr;
    uint8_t* m_alpha = nullptr;
};

// Sizes a buffer that is about to be written by the growth rule. When
// `giveUp` is set and the buffer is a block with other holders, the block is
// left to them first, so the growth rule allocates a fresh one. Nothing is
// given up for 0 bytes, where nothing will be written. Same result as
// GrowBuffer: false on overflow or a failed allocation (buffer then absent).
template <class T>
bool SizeForWriting(T*& buffer, uint32_t& recorded, uint64_t needed, bool giveUp) {
    if (giveUp && needed > 0 && BlockHolders(buffer) > 1) {
        BlockRelease(buffer);
        buffer = nullptr;
        recorded = 0;
    }
    return GrowBuffer(buffer, recorded, needed);
}

// Pixel and weight counts of a w x h image, or false when the pixel bytes
// would not fit the 32-bit recorded size (or a size is negative).
inline bool ImageBytes(int64_t w, int64_t h, uint64_t& pixelBytes, uint64_t& alphaBytes) {
    if (w < 0 || h < 0 || w > UINT32_MAX || h > UINT32_MAX) return false;
    const uint64_t count = uint64_t(w) * uint64_t(h); // both below 2^32: no wrap
    if (count * 2 > UINT32_MAX) return false;
    pixelBytes = count * 2;
    alphaBytes = count;
    return true;
}

// Nearest sampling along a row, in 8.8 fixed point: dst[k] = srcRow[(pos +
// k * step) >> 8] for k in 0..count-1, the position advanced by addition.
// Callers guarantee every position falls inside the source row.
template <class T>
inline void SampleSpan(T* dst, int64_t count, const T* srcRow, int64_t pos, int64_t step) {
    for (int64_t k = 0; k < count; ++k) {
        dst[k] = srcRow[pos >> 8];
        pos += step;
    }
}

} // namespace zorva

#endif // ZORVA_TRANSFORM_TRANSFORMCOMMON_H
