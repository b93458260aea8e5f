#include "support/PixelReference.h"

namespace zt {

uint16_t BlendPerChannel(uint16_t d, uint16_t s, int a) {
    auto channel = [&](int shift, int bits) {
        const int mask = (1 << bits) - 1;
        const int dv = (d >> shift) & mask, sv = (s >> shift) & mask;
        const int diff = (sv - dv) * a;
        const int step = diff >= 0 ? diff / 32 : -((-diff + 31) / 32); // floor, also below 0
        return (dv + step) << shift;
    };
    return uint16_t(channel(11, 5) | channel(5, 6) | channel(0, 5));
}

uint16_t PackedBlend(uint16_t d, uint16_t s, uint32_t a) {
    const uint32_t D = (uint32_t(d) | uint32_t(d) << 16) & 0x07E0F81Fu;
    const uint32_t S = (uint32_t(s) | uint32_t(s) << 16) & 0x07E0F81Fu;
    const uint32_t R = (D + (((S - D) * a) >> 5)) & 0x07E0F81Fu;
    return uint16_t(R | R >> 16);
}

} // namespace zt
