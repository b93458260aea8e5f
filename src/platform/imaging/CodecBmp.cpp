// BMP through SDL2's reader (SDL_LoadBMP_RW): 1, 4, 8, 16, 24 and 32 bits,
// RLE, bottom-up and top-down rows, core (OS/2) and version 4 and 5
// headers. Only the size and the alpha mask are read here, ahead of SDL, so
// that a refused size never reaches an allocation.
#include "platform/imaging/Codecs.h"

#include <SDL.h>
#include <cstring>

namespace zorva::platform {
namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

} // namespace

HRESULT BmpReadHeader(const uint8_t* data, size_t size, ImageHeader* header) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M') return IMGERR_UNKNOWNFORMAT;
    if (size < 18) return IMGERR_CORRUPT;
    const uint32_t infoSize = Le32(data + 14);
    int64_t width, height;
    uint32_t bits, compression = 0;
    if (infoSize == 12) {
        if (size < 26) return IMGERR_CORRUPT;
        width = Le16(data + 18);
        height = Le16(data + 20);
        bits = Le16(data + 24);
    } else if (infoSize >= 40) {
        if (size < 54) return IMGERR_CORRUPT;
        width = int32_t(Le32(data + 18));
        height = int32_t(Le32(data + 22)); // negative: rows top-down
        bits = Le16(data + 28);
        compression = Le32(data + 30);
    } else {
        return IMGERR_CORRUPT;
    }
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return IMGERR_CORRUPT;
    if (!ImageSizeAllowed(uint64_t(width), uint64_t(height))) return IMGERR_TOOLARGE;
    // The alpha mask follows the colour masks: inside a version 4 or 5
    // header, or after a 40-byte header with BI_ALPHABITFIELDS.
    bool alpha = false;
    if (bits == 32 && (compression == kBitFields || compression == kAlphaBitFields) &&
        (infoSize >= 56 || compression == kAlphaBitFields) && size >= 70)
        alpha = Le32(data + 66) != 0;
    header->format = FileFormat::Bmp;
    header->width = uint32_t(width);
    header->height = uint32_t(height);
    header->alpha = alpha;
    return S_OK;
}

HRESULT BmpDecode(const uint8_t* data, size_t size, Pixmap* out) {
    ImageHeader header;
    HRESULT hr = BmpReadHeader(data, size, &header);
    if (hr != S_OK) return hr;
    if (size > size_t(INT32_MAX)) return IMGERR_TOOLARGE;
    SDL_RWops* input = SDL_RWFromConstMem(data, int(size));
    if (!input) return E_OUTOFMEMORY;
    SDL_Surface* surface = SDL_LoadBMP_RW(input, 1);
    if (!surface) return IMGERR_CORRUPT;
    // ARGB8888 is B, G, R, A in memory on little-endian machines; formats
    // without an alpha mask convert with alpha 255.
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(surface);
    if (!argb) return E_OUTOFMEMORY;
    hr = IMGERR_CORRUPT;
    if (uint32_t(argb->w) == header.width && uint32_t(argb->h) == header.height) {
        hr = out->Allocate(header.width, header.height);
        if (hr == S_OK && SDL_LockSurface(argb) == 0) {
            for (uint32_t y = 0; y < header.height; ++y) {
                uint8_t* row = out->Row(y);
                std::memcpy(row,
                            static_cast<const uint8_t*>(argb->pixels) + size_t(y) * argb->pitch,
                            out->Stride());
                if (!header.alpha)
                    for (uint32_t x = 0; x < header.width; ++x)
                        row[4 * x + 3] = 255;
            }
            SDL_UnlockSurface(argb);
        } else if (hr == S_OK) {
            out->Reset();
            hr = E_OUTOFMEMORY;
        }
    }
    SDL_FreeSurface(argb);
    return hr;
}

} // namespace zorva::platform
