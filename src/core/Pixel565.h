// RGB565 pixel maths shared by every folder. One copy, constexpr and inline.
//
// Pixel layout (16 bits):   RRRRRGGGGGGBBBBB   red 15..11, green 10..5, blue 4..0
// Spread layout (32 bits):  00000GGGGGG00000RRRRR000000BBBBB
//                           green 26..21, red 15..11, blue 4..0
// In the spread word each channel has empty bits above it, so one 32-bit
// multiplication by a weight of 0..32 scales all three channels at once and
// the carries and borrows of one channel stay out of the next.
#ifndef ZORVA_CORE_PIXEL565_H
#define ZORVA_CORE_PIXEL565_H

#include <cstddef>
#include <cstdint>

namespace zorva {

constexpr uint32_t kSpreadMask = 0x07E0F81Fu;

// (p | p << 16) & 0x07E0F81F
constexpr uint32_t SpreadRGB565(uint32_t p) {
    return ((p & 0xFFFFu) | ((p & 0xFFFFu) << 16)) & kSpreadMask;
}

// Folds a spread word back into a pixel: the low 16 bits of t | t >> 16.
constexpr uint16_t PackRGB565(uint32_t t) {
    return static_cast<uint16_t>(t | (t >> 16));
}

// Source over destination with weight a in 32nds, both already spread:
// R = (D + (((S - D) * a) >> 5)) & mask, all in wrapping unsigned 32-bit
// arithmetic. For a in 0..32 this is, channel by channel,
// d + floor((s - d) * a / 32), rounding towards minus infinity both ways.
constexpr uint16_t BlendSpread(uint32_t D, uint32_t S, uint32_t a) {
    return PackRGB565((D + (((S - D) * a) >> 5)) & kSpreadMask);
}

// BlendRGB565(destination, source, weight).
constexpr uint16_t BlendRGB565(uint32_t d, uint32_t s, uint32_t a) {
    return BlendSpread(SpreadRGB565(d), SpreadRGB565(s), a);
}

// Each channel v becomes floor(v * level / 32), level 0..32.
constexpr uint16_t ScaleRGB565(uint32_t p, uint32_t level) {
    return PackRGB565(((SpreadRGB565(p) * level) >> 5) & kSpreadMask);
}

// Colour word 0x00RRGGBB to RGB565, keeping the top 5, 6 and 5 bits; the
// top byte falls outside the result.
constexpr uint16_t ColorWordToRGB565(uint32_t word) {
    return static_cast<uint16_t>(
        (((word >> 19) << 11) | (((word >> 10) & 0x3Fu) << 5) | ((word >> 3) & 0x1Fu)) & 0xFFFFu);
}

// Components 0..255 to RGB565: ((((g >> 2) & 0xFF) | ((r >> 3) << 6)) << 5 |
// ((b >> 3) & 0xFF)) & 0xFFFF with arithmetic shifts, so that components out
// of range spill into the neighbouring field. The left shifts run on the
// two's complement bits, which is what a signed shift does on the devices.
constexpr uint16_t ComponentsToRGB565(int r, int g, int b) {
    uint32_t rg = (static_cast<uint32_t>((g >> 2) & 0xFF) | (static_cast<uint32_t>(r >> 3) << 6));
    return static_cast<uint16_t>(((rg << 5) | static_cast<uint32_t>((b >> 3) & 0xFF)) & 0xFFFFu);
}

// Three bytes blue, green, red (a 24-bit device-independent pixel) to RGB565.
constexpr uint16_t Bgr24ToRGB565(const uint8_t* p) {
    return static_cast<uint16_t>(((p[2] & 0xF8u) << 8) | ((p[1] & 0xFCu) << 3) | (p[0] >> 3));
}

// Three bytes blue, green, red to 0RRRRRGGGGGBBBBB (5-5-5, top bit 0).
constexpr uint16_t Bgr24ToRGB555(const uint8_t* p) {
    return static_cast<uint16_t>(((p[2] & 0xF8u) << 7) | ((p[1] & 0xF8u) << 2) | (p[0] >> 3));
}

// An 8-bit alpha (0..255) to a weight in 32nds, the nearest one:
// (a * 32 + 127) / 255. 0 stays 0 (not drawn) and 255 becomes 32 (copied, not
// blended); a * 32 / 255 never lies halfway between two 32nds.
constexpr uint8_t AlphaTo32nds(uint32_t a) {
    return static_cast<uint8_t>((a * 32u + 127u) / 255u);
}

// RGB565 to three bytes blue, green, red; low bits zero, never replicated
// (white becomes 248, 252, 248).
inline void RGB565ToBgr24(uint32_t p, uint8_t* out) {
    out[0] = static_cast<uint8_t>((p & 0x1Fu) << 3);
    out[1] = static_cast<uint8_t>(((p >> 5) & 0x3Fu) << 2);
    out[2] = static_cast<uint8_t>(((p >> 11) & 0x1Fu) << 3);
}

// 0RRRRRGGGGGBBBBB (5-5-5, top bit ignored) to RGB565: blue stays, green and
// red move up one bit, the lowest green bit is 0.
constexpr uint16_t RGB555ToRGB565(uint32_t p) {
    return static_cast<uint16_t>(((p & 0x1Fu) | ((p & 0xFFE0u) << 1)) & 0xFFFFu);
}

// ---- Memory layout of pixel grids whose pitches may be negative

constexpr int64_t Abs64(int64_t v) {
    return v < 0 ? -v : v;
}

// Bytes from pixel (0, 0) of a w x h grid to the lowest address it reaches:
// min(0, (w - 1) * xPitch) + min(0, (h - 1) * yPitch). A block holding the
// grid starts there.
constexpr int64_t LowestOffset(int64_t w, int64_t h, int64_t xPitch, int64_t yPitch) {
    const int64_t x = (w - 1) * xPitch, y = (h - 1) * yPitch;
    return (x < 0 ? x : 0) + (y < 0 ? y : 0);
}

} // namespace zorva

#endif // ZORVA_CORE_PIXEL565_H
