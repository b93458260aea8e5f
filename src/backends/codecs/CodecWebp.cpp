// WebP through libwebp's incremental decoder, fed the file a buffer at a
// time, decoded straight to B, G, R, A (or B, G, R). (Its RGB565 output
// would be big-endian, and it rounds differently from this library's own
// conversion, so the library converts.) Animated files are not read.
//
// A picture asked for at a smaller size is scaled by libwebp as it decodes,
// so only the smaller picture is ever held; libwebp writes its output whole
// (3 bytes a pixel, 4 with alpha). A lossy picture without alpha whose
// coefficients are in one partition (what encoders write) is fed to libwebp
// a buffer at a time and libwebp keeps only its first partition and what it
// has not decoded yet. Any other file libwebp needs whole until the picture
// is done (its partitions, or the alpha data, are read side by side with the
// rest), so it is read into one block and given to libwebp in place
// (WebPIUpdate): kept once, where libwebp's own copy would be grown and
// copied at every step. libwebp also holds a lossless picture whole (4 bytes
// a pixel) and an alpha plane with its work (2); its allocations are not the
// platform allocator's (it takes them with malloc). Such a file is refused
// from its header when the file and these come to more than
// kMaxWholePictureBytes.
//
// Damage: whatever libwebp refuses (a truncated or inconsistent bitstream,
// a RIFF size beyond the file, chunks that do not fit together) fails the
// picture.
#include "backends/codecs/Codecs.h"

#include <cstring>
#include <webp/decode.h>

namespace zorva::backends {

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// What the header says, and whether the file can be fed in pieces.
struct WebpFeatures {
    WebPBitstreamFeatures bits;
    uint64_t imageStart = 0, imageBytes = 0; // the image chunk's payload
    bool streamed = false;
};

// The start of a lossy bitstream's first partition, read with the VP8
// boolean decoder at probability 1/2, far enough to learn how many
// partitions the coefficients are in.
class VP8Header {
public:
    VP8Header(const uint8_t* data, size_t size) : m_data(data), m_size(size) {
        m_value = uint32_t(Next()) << 8 | Next();
    }
    uint32_t Bits(int count) {
        uint32_t v = 0;
        while (count-- > 0)
            v = v << 1 | Bit();
        return v;
    }
    // Log2 of the number of coefficient partitions (the frame header fields
    // before it are stepped over as libwebp's parser reads them).
    uint32_t PartitionsLog2() {
        Bits(2); // colour space, clamping
        if (Bits(1)) {
            const uint32_t updateMap = Bits(1);
            if (Bits(1)) {
                Bits(1);
                for (int i = 0; i < 4; ++i)
                    if (Bits(1)) Bits(7 + 1);
                for (int i = 0; i < 4; ++i)
                    if (Bits(1)) Bits(6 + 1);
            }
            if (updateMap)
                for (int i = 0; i < 3; ++i)
                    if (Bits(1)) Bits(8);
        }
        Bits(1 + 6 + 3); // filter type, level, sharpness
        if (Bits(1) && Bits(1))
            for (int i = 0; i < 8; ++i)
                if (Bits(1)) Bits(6 + 1);
        return Bits(2);
    }

private:
    uint8_t Next() { return m_position < m_size ? m_data[m_position++] : 0; }
    uint32_t Bit() {
        const uint32_t split = 1 + (((m_range - 1) * 128) >> 8), big = split << 8;
        uint32_t bit = 0;
        if (m_value >= big) {
            bit = 1;
            m_range -= split;
            m_value -= big;
        } else {
            m_range = split;
        }
        while (m_range < 128) {
            m_value <<= 1;
            m_range <<= 1;
            if (++m_bits == 8) {
                m_bits = 0;
                m_value |= Next();
            }
        }
        return bit;
    }

    const uint8_t* m_data;
    size_t m_size, m_position = 0;
    uint32_t m_value = 0, m_range = 255, m_bits = 0;
};

// The chunks are walked here, so that libwebp's header parser sees the
// RIFF header, the extended header and the start of the image chunk
// without the chunks between them (a colour profile, metadata, the alpha
// data), which it would only step over.
Status ReadFeatures(ByteSource& in, WebpFeatures* features) {
    constexpr size_t kImageStart = 32; // more than either bitstream's header
    uint8_t prefix[12 + 18 + 8 + kImageStart];
    size_t used = 0, read = 0;
    SourceReader reader(in);
    Status hr = reader.Read(prefix, 12, &read);
    if (hr != Status::Ok) return hr;
    if (read < 12 || std::memcmp(prefix, "RIFF", 4) != 0 || std::memcmp(prefix + 8, "WEBP", 4) != 0)
        return Status::UnknownFormat;
    // A file shorter than its RIFF header says is cut off: libwebp's
    // incremental decoder may finish a picture without its last bytes.
    if (uint64_t(Le32(prefix + 4)) + 8 > reader.End()) return Status::Corrupt;
    used = 12;
    // A simple file's first chunk is its image; an extended one's follows
    // the extended header, after chunks the parser steps over.
    for (bool extended = false;;) {
        uint8_t chunk[8];
        hr = reader.Read(chunk, 8, &read);
        if (hr != Status::Ok) return hr;
        if (read < 8) break; // no image chunk: libwebp says what is missing
        const uint64_t size = Le32(chunk + 4), next = reader.Position() + size + (size & 1);
        const bool image = std::memcmp(chunk, "VP8 ", 4) == 0 || std::memcmp(chunk, "VP8L", 4) == 0;
        if (used == 12 && std::memcmp(chunk, "VP8X", 4) == 0) {
            if (size != 10) return Status::Corrupt;
            std::memcpy(prefix + used, chunk, 8);
            hr = reader.Read(prefix + used + 8, 10, &read);
            if (hr != Status::Ok) return hr;
            if (read < 10) return Status::Corrupt;
            used += 18;
            extended = true;
        } else if (image || !extended) {
            std::memcpy(prefix + used, chunk, 8);
            hr = reader.Read(prefix + used + 8, size < kImageStart ? size_t(size) : kImageStart,
                             &read);
            if (hr != Status::Ok) return hr;
            used += 8 + read;
            features->imageStart = reader.Position() - read;
            features->imageBytes = size;
            break;
        } else if (std::memcmp(chunk, "ANMF", 4) == 0) {
            break; // frames: an animation, which the extended header says
        }
        reader.Seek(next);
    }
    if (WebPGetFeatures(prefix, used, &features->bits) != VP8_STATUS_OK) return Status::Corrupt;
    const WebPBitstreamFeatures& f = features->bits;
    if (f.has_animation) return Status::UnknownFormat;
    if (f.width <= 0 || f.height <= 0) return Status::Corrupt;
    if (!ImageSizeAllowed(uint32_t(f.width), uint32_t(f.height))) return Status::TooLarge;
    // A key frame's header (10 bytes) and the first partition's start.
    if (f.format == 1 && !f.has_alpha && features->imageBytes > 10) {
        uint8_t head[10 + 64];
        hr = in.ReadAt(features->imageStart, head, sizeof head, &read);
        if (hr != Status::Ok) return hr;
        features->streamed = read > 10 && (head[0] & 1) == 0 &&
                             VP8Header(head + 10, read - 10).PartitionsLog2() == 0;
    }
    if (features->streamed) return Status::Ok;
    // Held whole: the file, a lossless picture (4 bytes a pixel, alpha
    // included), or a lossy picture's alpha plane and its work (2).
    const uint64_t pixels = uint64_t(f.width) * uint64_t(f.height);
    const uint64_t held = reader.End() + (f.format == 2 ? 4 * pixels
                                          : f.has_alpha ? 2 * pixels
                                                        : 0);
    if (held > kMaxWholePictureBytes) return Status::TooLarge;
    return Status::Ok;
}

} // namespace

Status WebpReadHeader(ByteSource& in, ImageHeader* header) {
    WebpFeatures features;
    const Status hr = ReadFeatures(in, &features);
    if (hr != Status::Ok) return hr;
    header->format = FileFormat::Webp;
    header->width = uint32_t(features.bits.width);
    header->height = uint32_t(features.bits.height);
    header->alpha = features.bits.has_alpha != 0;
    return Status::Ok;
}

Status WebpDecodeRows(ByteSource& in, uint32_t width, uint32_t height, RowConsumer& out) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return Status::Refused;
    WebpFeatures features;
    Status hr = ReadFeatures(in, &features);
    if (hr != Status::Ok) return hr;
    ImageHeader header;
    header.width = uint32_t(features.bits.width);
    header.height = uint32_t(features.bits.height);
    header.alpha = features.bits.has_alpha != 0;
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
    WebPIDecoder* decoder = WebPIDecode(nullptr, 0, &config);
    if (!decoder) {
        backends::free(own);
        return Status::OutOfMemory;
    }
    // The file a buffer at a time, until the picture is done; one that ends
    // before is damaged.
    SourceReader reader(in);
    uint8_t* file = nullptr;
    size_t filled = 0;
    if (!features.streamed) {
        file = static_cast<uint8_t*>(backends::malloc(size_t(reader.End())));
        if (!file) hr = Status::OutOfMemory;
    }
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    while (hr == Status::Ok && status == VP8_STATUS_SUSPENDED) {
        const uint8_t* data = nullptr;
        size_t size = 0;
        hr = reader.Next(&data, &size);
        if (hr == Status::Ok && size == 0) hr = Status::Corrupt;
        if (hr != Status::Ok) break;
        if (file) {
            std::memcpy(file + filled, data, size);
            filled += size;
            status = WebPIUpdate(decoder, file, filled);
        } else {
            status = WebPIAppend(decoder, data, size);
        }
    }
    if (hr == Status::Ok && status != VP8_STATUS_OK)
        hr = status == VP8_STATUS_OUT_OF_MEMORY ? Status::OutOfMemory : Status::Corrupt;
    WebPIDelete(decoder);
    backends::free(file);
    if (hr == Status::Ok && own) {
        // Rows of B, G, R get their alpha one at a time.
        uint8_t* row = static_cast<uint8_t*>(backends::malloc(size_t(w) * 4));
        hr = row ? Status::Ok : Status::OutOfMemory;
        for (uint32_t y = 0; hr == Status::Ok && y < h; ++y) {
            const uint8_t* line = own + size_t(y) * size_t(stride);
            const uint8_t* send = line;
            if (bytesPerPixel == 3) {
                for (uint32_t x = 0; x < w; ++x) {
                    std::memcpy(row + 4 * x, line + 3 * x, 3);
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
