#include "core/Sections.h"

#include "core/Pixel565.h"

#include <cstring>

namespace zorva {

platform::BITMAPINFO BottomUpSection(int32_t width, int32_t height, int bitCount) {
    platform::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(platform::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bitCount);
    info.bmiHeader.biCompression = platform::BI_RGB;
    return info;
}

void SectionToRGB565(const void* bits, int bitCount, uint32_t sectionWidth, uint32_t sectionHeight,
                     uint32_t columns, uint32_t rows, uint16_t* out, size_t outStride) {
    const size_t stride = SectionStride(sectionWidth, bitCount);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* in = static_cast<const uint8_t*>(bits) + (sectionHeight - 1 - y) * stride;
        uint16_t* row = out + y * outStride;
        if (bitCount == 24) {
            for (uint32_t x = 0; x < columns; ++x, in += 3)
                row[x] = Bgr24ToRGB565(in);
        } else {
            for (uint32_t x = 0; x < columns; ++x, in += 2) {
                uint16_t p;
                std::memcpy(&p, in, 2);
                row[x] = RGB555ToRGB565(p);
            }
        }
    }
}

} // namespace zorva
