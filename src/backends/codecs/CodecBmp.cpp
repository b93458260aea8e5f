// BMP through SDL2's reader (SDL_LoadBMP_RW): 1, 4, 8, 16, 24 and 32 bits,
// RLE, bottom-up and top-down rows, core (OS/2) and version 4 and 5
// headers. Only the size, the alpha mask and where the rows lie are read
// here, ahead of SDL, so that a refused size never reaches an allocation and
// an uncompressed file can be given to SDL a band of rows at a time: SDL
// reads, through an SDL_RWops over the file, a file of its own for each band
// (the headers with the band's height, then the band's rows), top band
// first. A run-length file is read by SDL in one go, whole (its rows cannot
// be found without decoding those before them): SDL then holds its picture
// at a byte a pixel.
//
// Damage: whatever SDL refuses (a bit count it does not read, a palette
// index beyond the palette, run-length data that leaves the picture or ends
// early), and rows that the file ends before, fail the picture.
#include "backends/codecs/Codecs.h"

#include <SDL.h>
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zorva::backends {
namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, uint16_t(v));
    Put16(p + 2, uint16_t(v >> 16));
}

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

} // namespace

Status BmpReadHeader(ByteSource& in, ImageHeader* header) {
    uint8_t data[70];
    size_t size = 0;
    const Status read = in.ReadAt(0, data, sizeof data, &size);
    if (read != Status::Ok) return read;
    if (size < 2 || data[0] != 'B' || data[1] != 'M') return Status::UnknownFormat;
    if (size < 18) return Status::Corrupt;
    const uint32_t infoSize = Le32(data + 14);
    int64_t width, height;
    uint32_t bits, compression = 0;
    if (infoSize == 12) {
        if (size < 26) return Status::Corrupt;
        width = Le16(data + 18);
        height = Le16(data + 20);
        bits = Le16(data + 24);
    } else if (infoSize >= 40) {
        if (size < 54) return Status::Corrupt;
        width = int32_t(Le32(data + 18));
        height = int32_t(Le32(data + 22)); // negative: rows top-down
        bits = Le16(data + 28);
        compression = Le32(data + 30);
    } else {
        return Status::Corrupt;
    }
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return Status::Corrupt;
    if (!ImageSizeAllowed(uint64_t(width), uint64_t(height))) return Status::TooLarge;
    // SDL decodes a run-length file whole, at a byte a pixel.
    if ((compression == kRle8 || compression == kRle4) &&
        uint64_t(width) * uint64_t(height) > kMaxWholePictureBytes)
        return Status::TooLarge;
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
    return Status::Ok;
}

namespace {

// Each band SDL decodes holds about this many pixels.
constexpr uint32_t kBandPixels = uint32_t(1) << 17;

// Where the rows of an uncompressed file lie, from its headers.
struct Layout {
    uint32_t width = 0, height = 0;
    bool topDown = false;
    uint32_t bits = 0, compression = 0;
    size_t heightField = 0; // offset of the height in the information header
    bool coreHeader = false;
    uint32_t infoSize = 0;
    uint64_t offset = 0, stride = 0;
};

Layout LayoutOf(const uint8_t* data, const ImageHeader& header) {
    Layout l;
    l.width = header.width;
    l.height = header.height;
    l.offset = Le32(data + 10);
    l.infoSize = Le32(data + 14);
    l.coreHeader = l.infoSize == 12;
    if (l.coreHeader) {
        l.bits = Le16(data + 24);
        l.heightField = 20;
    } else {
        l.bits = Le16(data + 28);
        l.compression = Le32(data + 30);
        l.topDown = int32_t(Le32(data + 22)) < 0;
        l.heightField = 22;
    }
    l.stride = (uint64_t(l.width) * l.bits + 31) / 32 * 4;
    return l;
}

// A file for SDL to read: `prefixBytes` bytes in memory, then `dataBytes`
// bytes of the source from `dataStart` on, read through a buffer.
struct SdlFile {
    SDL_RWops ops;
    const uint8_t* prefix = nullptr;
    uint64_t prefixBytes = 0;
    SourceReader* reader = nullptr;
    uint64_t dataStart = 0, dataBytes = 0;
    uint64_t position = 0;

    SdlFile() {
        std::memset(&ops, 0, sizeof ops);
        ops.size = Size;
        ops.seek = Seek;
        ops.read = Read;
        ops.write = Write;
        ops.close = Close;
        ops.type = SDL_RWOPS_UNKNOWN;
        ops.hidden.unknown.data1 = this;
    }
    static SdlFile* Of(SDL_RWops* ops) { return static_cast<SdlFile*>(ops->hidden.unknown.data1); }
    static Sint64 Size(SDL_RWops* ops) {
        const SdlFile* f = Of(ops);
        return Sint64(f->prefixBytes + f->dataBytes);
    }
    static Sint64 Seek(SDL_RWops* ops, Sint64 offset, int whence) {
        SdlFile* f = Of(ops);
        const Sint64 base = whence == RW_SEEK_SET   ? 0
                            : whence == RW_SEEK_CUR ? Sint64(f->position)
                                                    : Size(ops);
        if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset))
            return -1;
        f->position = uint64_t(base + offset);
        return Sint64(f->position);
    }
    static size_t Read(SDL_RWops* ops, void* out, size_t size, size_t count) {
        SdlFile* f = Of(ops);
        if (size == 0 || count > SIZE_MAX / size) return 0;
        auto* to = static_cast<uint8_t*>(out);
        size_t done = 0;
        const size_t want = size * count;
        if (f->position < f->prefixBytes) {
            const uint64_t left = f->prefixBytes - f->position;
            done = size_t(left < want ? left : want);
            std::memcpy(to, f->prefix + f->position, done);
            f->position += done;
        }
        if (done < want && f->position < f->prefixBytes + f->dataBytes) {
            const uint64_t at = f->position - f->prefixBytes;
            const uint64_t left = f->dataBytes - at;
            const size_t n = size_t(left < want - done ? left : want - done);
            if (f->reader->Position() != f->dataStart + at) f->reader->Seek(f->dataStart + at);
            size_t read = 0;
            f->reader->Read(to + done, n, &read);
            done += read;
            f->position += read;
        }
        return done / size;
    }
    static size_t Write(SDL_RWops*, const void*, size_t, size_t) { return 0; }
    static int Close(SDL_RWops*) { return 0; }
};

SDL_Surface* LoadWithSdl(SdlFile& file) {
    return SDL_LoadBMP_RW(&file.ops, 0);
}

// SDL's surface as B, G, R, A rows: converted a band at a time.
Status SendSurface(SDL_Surface* surface, uint32_t firstRow, bool alpha, RowConsumer& out) {
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) return Status::OutOfMemory;
    Status hr = SDL_LockSurface(argb) == 0 ? Status::Ok : Status::OutOfMemory;
    for (int y = 0; hr == Status::Ok && y < argb->h; ++y) {
        auto* row = static_cast<uint8_t*>(argb->pixels) + size_t(y) * argb->pitch;
        // ARGB8888 is B, G, R, A in memory on little-endian machines;
        // formats without an alpha mask convert with alpha 255.
        if (!alpha)
            for (int x = 0; x < argb->w; ++x)
                row[4 * x + 3] = 255;
        CountDecodedRows(1);
        if (!out.Row(firstRow + uint32_t(y), row, 0, 1)) hr = Status::Refused;
    }
    if (hr != Status::OutOfMemory) SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return hr;
}

// An uncompressed file, band by band: each band is handed to SDL as a file
// of its own (the headers, palette and masks with the band's height, then
// the band's rows), so that SDL never decodes more than a band.
Status SendBands(SourceReader& reader, const Layout& l, bool alpha, RowConsumer& out) {
    // Rows inside the headers, or past the end of the file.
    const uint64_t size = reader.End();
    if (l.stride == 0 || l.offset < 14 + uint64_t(l.infoSize) || l.offset > size ||
        (size - l.offset) / l.stride < l.height)
        return Status::Corrupt;
    // Everything before the rows, up to the largest headers, masks and
    // palette there can be; a gap beyond that is not read.
    uint8_t prefix[14 + 124 + 16 + 1024];
    const size_t prefixBytes = size_t(std::min<uint64_t>(l.offset, sizeof prefix));
    size_t read = 0;
    const Status hr = reader.Read(prefix, prefixBytes, &read);
    if (hr != Status::Ok) return hr;
    if (read < prefixBytes) return Status::Corrupt;
    Put32(prefix + 2, 0);
    Put32(prefix + 10, uint32_t(prefixBytes));
    const uint32_t bandRows = std::max<uint32_t>(1, kBandPixels / l.width);
    SdlFile file;
    file.prefix = prefix;
    file.prefixBytes = prefixBytes;
    file.reader = &reader;
    for (uint32_t y0 = 0; y0 < l.height; y0 += bandRows) {
        const uint32_t rows = std::min(bandRows, l.height - y0);
        // File rows run bottom to top unless the height is negative.
        const uint64_t fileRow = l.topDown ? y0 : l.height - y0 - rows;
        if (l.coreHeader)
            Put16(prefix + l.heightField, uint16_t(rows));
        else
            Put32(prefix + l.heightField, uint32_t(l.topDown ? -int32_t(rows) : int32_t(rows)));
        file.dataStart = l.offset + fileRow * l.stride;
        file.dataBytes = l.stride * rows;
        file.position = 0;
        SDL_Surface* surface = LoadWithSdl(file);
        Status band = Status::Corrupt;
        if (reader.Failure() != Status::Ok)
            band = reader.Failure();
        else if (surface && uint32_t(surface->w) == l.width && uint32_t(surface->h) == rows)
            band = SendSurface(surface, y0, alpha, out);
        if (surface) SDL_FreeSurface(surface);
        if (band != Status::Ok) return band;
    }
    return Status::Ok;
}

} // namespace

Status BmpDecodeRows(ByteSource& in, RowConsumer& out) {
    ImageHeader header;
    Status hr = BmpReadHeader(in, &header);
    if (hr != Status::Ok) return hr;
    uint8_t head[70] = {};
    size_t read = 0;
    hr = in.ReadAt(0, head, sizeof head, &read);
    if (hr != Status::Ok) return hr;
    const Layout layout = LayoutOf(head, header);
    const bool rle = layout.compression == kRle8 || layout.compression == kRle4;
    hr = out.Begin(header.width, header.height, true);
    if (hr != Status::Ok) return hr;
    SourceReader reader(in);
    if (!rle) return SendBands(reader, layout, header.alpha, out);
    SdlFile file;
    file.reader = &reader;
    file.dataBytes = reader.End();
    SDL_Surface* surface = LoadWithSdl(file);
    if (!surface) return reader.Failure() != Status::Ok ? reader.Failure() : Status::Corrupt;
    hr = Status::Corrupt;
    if (uint32_t(surface->w) == header.width && uint32_t(surface->h) == header.height &&
        SDL_LockSurface(surface) == 0) {
        // Views of bands of the decoded surface, each converted on its own.
        const uint32_t bandRows = std::max<uint32_t>(1, kBandPixels / header.width);
        hr = Status::Ok;
        for (uint32_t y0 = 0; hr == Status::Ok && y0 < header.height; y0 += bandRows) {
            const uint32_t rows = std::min(bandRows, header.height - y0);
            SDL_Surface* view = SDL_CreateRGBSurfaceWithFormatFrom(
                static_cast<uint8_t*>(surface->pixels) + size_t(y0) * surface->pitch, surface->w,
                int(rows), surface->format->BitsPerPixel, surface->pitch, surface->format->format);
            if (!view || (surface->format->palette &&
                          SDL_SetSurfacePalette(view, surface->format->palette) != 0))
                hr = Status::OutOfMemory;
            else
                hr = SendSurface(view, y0, header.alpha, out);
            if (view) SDL_FreeSurface(view);
        }
        SDL_UnlockSurface(surface);
    }
    SDL_FreeSurface(surface);
    return hr;
}

} // namespace zorva::backends
