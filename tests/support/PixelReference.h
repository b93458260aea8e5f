// Slow references for the pixel maths: blends worked out channel by channel.
#ifndef ZORVA_TESTS_PIXELREFERENCE_H
#define ZORVA_TESTS_PIXELREFERENCE_H

#include <cstdint>

namespace zt {

// d + floor((s - d) * a / 32) for each channel, without the packed word.
uint16_t BlendPerChannel(uint16_t d, uint16_t s, int a);

// The packed-word blend from its definition, for weights above 32 where
// the per-channel formula no longer applies.
uint16_t PackedBlend(uint16_t d, uint16_t s, uint32_t a);

// A blend at weight a: per channel on the 0..32 scale (32 gives s), by the
// packed arithmetic beyond it.
inline uint16_t RefBlend(uint16_t d, uint16_t s, uint32_t a) {
    return a <= 32 ? BlendPerChannel(d, s, int(a)) : PackedBlend(d, s, a);
}

} // namespace zt

#endif // ZORVA_TESTS_PIXELREFERENCE_H
