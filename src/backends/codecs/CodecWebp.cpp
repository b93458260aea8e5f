// WebP through libwebp, decoded straight to B, G, R, A (or B, G, R). (Its
// RGB565 output would be big-endian, and it rounds differently from this
// library's own conversion, so the library converts.) Animated files are not
// read.
//
// A picture asked for at a smaller size is scaled by libwebp as it decodes,
// so only the smaller picture is ever held. Lossy data is decoded a band of
// macroblocks at a time; lossless data and an alpha plane are held whole by
// libwebp, which is why such files have a size limit of their own.
//
// Damage: whatever libwebp refuses (a truncated or inconsistent bitstream,
// a RIFF size beyond the file, chunks that do not fit together) fails the
// picture.
#include "backends/codecs/Codecs.h"

#include <cstring>
#include <webp/decode.h>

namespace zorva::backends {

namespace {

Status ReadFeatures(const uint8_t* data, size_t size, WebPBitstreamFeatures* features) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0)
        return Status::UnknownFormat;
    if (WebPGetFeatures(data, size, features) != VP8_STATUS_OK) return Status::Corrupt;
    if (features->has_animation) return Status::UnknownFormat;
    if (features->width <= 0 || features->height <= 0) return Status::Corrupt;
    const uint64_t pixels = uint64_t(features->width) * uint64_t(features->height);
    if (!ImageSizeAllowed(uint32_t(features->width), uint32_t(features->height)))
        return Status::TooLarge;
    // Lossless data, and the alpha plane, are held whole: 4 bytes a pixel
    // at the most.
    const bool whole = features->format != 1 || features->has_alpha;
    if (whole && pixels * 4 > kMaxWholePictureBytes) return Status::TooLarge;
    return Status::Ok;
}

} // namespace

Status WebpReadHeader(const uint8_t* data, size_t size, ImageHeader* header) {
    WebPBitstreamFeatures features;
    const Status hr = ReadFeatures(data, size, &features);
    if (hr != Status::Ok) return hr;
    header->format = FileFormat::Webp;
    header->width = uint32_t(features.width);
    header->height = uint32_t(features.height);
    header->alpha = features.has_alpha != 0;
    return Status::Ok;
}

Status WebpDecodeRows(const uint8_t* data, size_t size, uint32_t width, uint32_t height,
                      RowConsumer& out) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return Status::Refused;
    ImageHeader header;
    Status hr = WebpReadHeader(data, size, &header);
    if (hr != Status::Ok) return hr;
    const bool scale = width && height && width < header.width && height < header.height;
    const uint32_t w = scale ? width : header.width, h = scale ? height : header.height;
    if (scale) {
        config.options.use_scaling = 1;
        config.options.scaled_width = int(w);
        config.options.scaled_height = int(h);
    }
    hr = out.Begin(w, h, true);
    if (hr != Status::Ok) return hr;
    // Straight into the consumer's picture when it has one; otherwise into a
    // picture of our own, of three bytes a pixel when there is no alpha.
    int32_t stride = 0;
    uint8_t* whole = out.Whole(&stride);
    const int bytesPerPixel = whole || header.alpha ? 4 : 3;
    uint8_t* own = nullptr;
    if (!whole) {
        stride = int32_t(w * uint32_t(bytesPerPixel));
        own = static_cast<uint8_t*>(backends::malloc(size_t(stride) * h));
        if (!own) return Status::OutOfMemory;
    }
    config.output.colorspace = bytesPerPixel == 4 ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = whole ? whole : own;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size = size_t(stride) * h;
    const VP8StatusCode status = WebPDecode(data, size, &config);
    hr = status == VP8_STATUS_OK              ? Status::Ok
         : status == VP8_STATUS_OUT_OF_MEMORY ? Status::OutOfMemory
                                              : Status::Corrupt;
    if (hr == Status::Ok && own) {
        // Rows of B, G, R get their alpha one at a time.
        uint8_t* row = static_cast<uint8_t*>(backends::malloc(size_t(w) * 4));
        hr = row ? Status::Ok : Status::OutOfMemory;
        for (uint32_t y = 0; hr == Status::Ok && y < h; ++y) {
            const uint8_t* in = own + size_t(y) * size_t(stride);
            const uint8_t* send = in;
            if (bytesPerPixel == 3) {
                for (uint32_t x = 0; x < w; ++x) {
                    std::memcpy(row + 4 * x, in + 3 * x, 3);
                    row[4 * x + 3] = 255;
                }
                send = row;
            }
            CountDecodedRows(1);
            if (!out.Row(y, send, 0, 1)) hr = Status::Refused;
        }
        backends::free(row);
    }
    WebPFreeDecBuffer(&config.output);
    backends::free(own);
    return hr;
}

} // namespace zorva::backends
