// Screens' pixel formats: the scalar definition.
#include "kernels/TableBuilders.h"

namespace zorva {
namespace {

void ToScreenRow(uint8_t* dst, const uint16_t* src, int32_t count, const ScreenFormat& format) {
    const unsigned bytes = format.bytes;
    for (int32_t i = 0; i < count; ++i, dst += bytes) {
        const uint32_t v = ToScreenPixel(src[i], format);
        for (unsigned b = 0; b < bytes; ++b)
            dst[b] = uint8_t(v >> (8 * b)); // least significant byte first
    }
}

} // namespace

void SetScalarScreenKernels(KernelTable& k) {
    k.toScreenRow = ToScreenRow;
}

} // namespace zorva
