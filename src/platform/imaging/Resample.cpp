// Pictures in memory: allocation, format sniffing and scaling (pixman).
#include "platform/imaging/Codecs.h"

#include <cstdlib>
#include <cstring>
#include <pixman.h>

namespace zorva::platform {

HRESULT Pixmap::Allocate(uint32_t width, uint32_t height) {
    Reset();
    if (!ImageSizeAllowed(width, height)) return E_FAIL;
    const size_t bytes = size_t(width) * height * 4;
    m_bits = static_cast<uint8_t*>(platform::malloc(bytes));
    if (!m_bits) return E_OUTOFMEMORY;
    std::memset(m_bits, 0, bytes);
    m_width = width;
    m_height = height;
    return S_OK;
}

void Pixmap::Reset() {
    platform::free(m_bits);
    m_bits = nullptr;
    m_width = m_height = 0;
}

FileFormat SniffFormat(const uint8_t* data, size_t size) {
    if (!data) return FileFormat::Unknown;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return FileFormat::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return FileFormat::Jpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return FileFormat::Gif;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return FileFormat::Bmp;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return FileFormat::Webp;
    return FileFormat::Unknown;
}

const GUID& FormatGuid(FileFormat format) {
    static const GUID unknown{};
    switch (format) {
    case FileFormat::Png:
        return ImageFormatPNG;
    case FileFormat::Jpeg:
        return ImageFormatJPEG;
    case FileFormat::Gif:
        return ImageFormatGIF;
    case FileFormat::Bmp:
        return ImageFormatBMP;
    case FileFormat::Webp:
        return ImageFormatWEBP;
    case FileFormat::Unknown:
        break;
    }
    return unknown;
}

namespace {

// The filter is tabulated at 2^kPhaseBits positions between two source
// pixels: 1/256 of a pixel keeps the position error below what 8-bit
// samples show.
constexpr int kPhaseBits = 8;

// Straight to premultiplied colour, rounding: c * a / 255.
void Premultiply(const Pixmap& source, Pixmap& out) {
    const uint8_t* s = source.Bits();
    uint8_t* d = out.Bits();
    const size_t count = size_t(source.Width()) * source.Height();
    for (size_t i = 0; i < count; ++i, s += 4, d += 4) {
        const uint32_t a = s[3];
        d[0] = uint8_t((s[0] * a + 127) / 255);
        d[1] = uint8_t((s[1] * a + 127) / 255);
        d[2] = uint8_t((s[2] * a + 127) / 255);
        d[3] = uint8_t(a);
    }
}

// Premultiplied back to straight colour: c * 255 / a, rounded, at most 255.
void Unpremultiply(Pixmap& image) {
    uint8_t* p = image.Bits();
    const size_t count = size_t(image.Width()) * image.Height();
    for (size_t i = 0; i < count; ++i, p += 4) {
        const uint32_t a = p[3];
        if (a == 255) continue;
        if (a == 0) {
            p[0] = p[1] = p[2] = 0;
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = (p[c] * 255u + a / 2) / a;
            p[c] = uint8_t(v > 255 ? 255 : v);
        }
    }
}

} // namespace

HRESULT Resample(const Pixmap& source, bool alpha, uint32_t width, uint32_t height, Pixmap* out) {
    if (source.Empty() || !out) return E_FAIL;
    HRESULT hr = out->Allocate(width, height);
    if (hr != S_OK) return hr;
    const uint32_t sw = source.Width(), sh = source.Height();
    if (sw == width && sh == height) {
        std::memcpy(out->Bits(), source.Bits(), source.Stride() * sh);
        return S_OK;
    }
    Pixmap premultiplied;
    const uint8_t* sourceBits = source.Bits();
    if (alpha) {
        hr = premultiplied.Allocate(sw, sh);
        if (hr != S_OK) {
            out->Reset();
            return hr;
        }
        Premultiply(source, premultiplied);
        sourceBits = premultiplied.Bits();
    }
    pixman_image_t* from = pixman_image_create_bits(
        alpha ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, int(sw), int(sh),
        reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(sourceBits)), int(source.Stride()));
    pixman_image_t* to =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, int(width), int(height),
                                 reinterpret_cast<uint32_t*>(out->Bits()), int(out->Stride()));
    pixman_fixed_t* params = nullptr;
    bool ok = from && to;
    if (ok) {
        // Destination pixel centres map onto the source through the ratio
        // of the sizes; the filter works around each mapped centre.
        const double scaleX = double(sw) / width, scaleY = double(sh) / height;
        pixman_transform_t transform;
        pixman_transform_init_scale(&transform, pixman_double_to_fixed(scaleX),
                                    pixman_double_to_fixed(scaleY));
        ok = pixman_image_set_transform(from, &transform);
        pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
        // Per axis: a shrinking one integrates the source's pixel squares
        // over the destination pixel's footprint (box reconstruction
        // sampled by a box of the footprint's width: area averaging); a
        // growing one interpolates linearly between the two nearest pixels.
        // (pixman's own bilinear filter keeps only 7 bits of position.)
        auto reconstruct = [](double s) {
            return s > 1 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LINEAR;
        };
        auto sample = [](double s) { return s > 1 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_IMPULSE; };
        int count = 0;
        params = pixman_filter_create_separable_convolution(
            &count, pixman_double_to_fixed(scaleX), pixman_double_to_fixed(scaleY),
            reconstruct(scaleX), reconstruct(scaleY), sample(scaleX), sample(scaleY), kPhaseBits,
            kPhaseBits);
        ok = ok && params &&
             pixman_image_set_filter(from, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
    }
    if (ok) {
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, int(width),
                                 int(height));
        if (alpha) {
            Unpremultiply(*out);
        } else {
            uint8_t* p = out->Bits();
            for (size_t i = 0, n = size_t(width) * height; i < n; ++i)
                p[4 * i + 3] = 255;
        }
    }
    std::free(params);
    if (from) pixman_image_unref(from);
    if (to) pixman_image_unref(to);
    if (!ok) {
        out->Reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace zorva::platform
