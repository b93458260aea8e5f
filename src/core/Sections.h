// Bottom-up device-independent sections, as the GDI paths of the loaders,
// the screen capture and text use them, and their rows read back as
// RGB565.
#ifndef ZORVA_CORE_SECTIONS_H
#define ZORVA_CORE_SECTIONS_H

#include "system/gdi/GdiApi.h"

#include <cstddef>

namespace zorva {

// Header size 40, the width, a positive height (bottom row first), 1 plane,
// `bitCount` bits per pixel, no compression, every other field 0.
platform::BITMAPINFO BottomUpSection(int32_t width, int32_t height, int bitCount);

// Bytes from one row of such a section to the next: 4-byte aligned.
constexpr size_t SectionStride(uint32_t width, int bitCount) {
    return ((size_t(width) * size_t(bitCount) + 31) / 32) * 4;
}

// Reads `rows` x `columns` pixels from the top of a bottom-up section of
// `sectionWidth` x `sectionHeight` pixels into RGB565 rows `outStride`
// pixels apart, top row first. 24-bit pixels (B, G, R) convert as
// CCEDraw::GetBitmapPointColor does; 16-bit 5-5-5 ones widen green by one
// bit. Contract: rows <= sectionHeight, columns <= sectionWidth, `out` holds
// the rows.
void SectionToRGB565(const void* bits, int bitCount, uint32_t sectionWidth, uint32_t sectionHeight,
                     uint32_t columns, uint32_t rows, uint16_t* out, size_t outStride);

} // namespace zorva

#endif // ZORVA_CORE_SECTIONS_H
