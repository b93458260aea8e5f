// Decoded pictures in memory.
#ifndef ZORVA_BACKENDS_CODECS_PIXMAP_H
#define ZORVA_BACKENDS_CODECS_PIXMAP_H

#include "backends/codecs/Limits.h"
#include "backends/codecs/Status.h"
#include "backends/memory/Memory.h"

#include <cstddef>
#include <cstdint>

namespace zorva::backends {

// A picture: rows of bytes B, G, R, A (straight alpha), top row first,
// 4 x width bytes per row. Owns its memory (platform allocator).
class Pixmap {
public:
    Pixmap() = default;
    ~Pixmap() { Reset(); }
    Pixmap(Pixmap&& other) noexcept { *this = static_cast<Pixmap&&>(other); }
    Pixmap& operator=(Pixmap&& other) noexcept {
        if (this != &other) {
            Reset();
            m_bits = other.m_bits;
            m_width = other.m_width;
            m_height = other.m_height;
            other.m_bits = nullptr;
            other.m_width = other.m_height = 0;
        }
        return *this;
    }
    Pixmap(const Pixmap&) = delete;
    Pixmap& operator=(const Pixmap&) = delete;

    // Zeroed pixels (transparent black) of width x height. Status::Refused for a size
    // beyond the limits (ImageSizeAllowed), Status::OutOfMemory.
    Status Allocate(uint32_t width, uint32_t height);
    void Reset();

    bool Empty() const { return m_bits == nullptr; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    size_t Stride() const { return size_t(m_width) * 4; }
    uint8_t* Bits() { return m_bits; }
    const uint8_t* Bits() const { return m_bits; }
    uint8_t* Row(uint32_t y) { return m_bits + y * Stride(); }
    const uint8_t* Row(uint32_t y) const { return m_bits + y * Stride(); }

private:
    uint8_t* m_bits = nullptr;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
};

// A straight-alpha pixel shown over black: each colour byte becomes
// round(c * a / 255), the 24-bit picture a viewer shows on a black page.
inline void FlattenBgra(const uint8_t* bgra, uint8_t* bgr, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, bgra += 4, bgr += 3) {
        const uint32_t a = bgra[3];
        if (a == 255) {
            bgr[0] = bgra[0];
            bgr[1] = bgra[1];
            bgr[2] = bgra[2];
        } else {
            bgr[0] = uint8_t((bgra[0] * a + 127) / 255);
            bgr[1] = uint8_t((bgra[1] * a + 127) / 255);
            bgr[2] = uint8_t((bgra[2] * a + 127) / 255);
        }
    }
}

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CODECS_PIXMAP_H
