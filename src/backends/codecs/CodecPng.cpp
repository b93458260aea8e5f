// PNG through libpng. Errors leave libpng by longjmp to the setjmp in
// ReadPng; nothing between the two owns memory that only a destructor
// would free.
#include "backends/codecs/Codecs.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace zorva::backends {
namespace {

// libpng's read callback: the file through a buffer. A file that ends
// early is damage; a source that fails says so (SourceReader::Failure).
void ReadBytes(png_structp png, png_bytep out, size_t bytes) {
    auto* in = static_cast<SourceReader*>(png_get_io_ptr(png));
    size_t read = 0;
    if (in->Read(out, bytes, &read) != Status::Ok || read < bytes) png_error(png, "truncated");
}

[[noreturn]] void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng's memory comes from the platform allocator, and no block is larger
// than a few rows of the widest picture: libpng reads an ancillary chunk
// (text, a profile) whole, so a chunk that claims gigabytes would otherwise
// be allocated before the file is found to end. Refused, the chunk is
// skipped, and the file then ends early.
// A block the allocator could not give is remembered, so that the error
// libpng raises for it reads as no memory, not damage.
constexpr png_alloc_size_t kMaxPngBlock = png_alloc_size_t(4) << 20;

png_voidp Allocate(png_structp png, png_alloc_size_t bytes) {
    if (bytes > kMaxPngBlock) return nullptr;
    png_voidp block = backends::malloc(bytes);
    if (!block) *static_cast<volatile bool*>(png_get_mem_ptr(png)) = true;
    return block;
}

void Free(png_structp, png_voidp block) {
    backends::free(block);
}

// Reads the header, and the pixels when `out` is given. The result code the
// longjmp path returns is set before each step that can fail.
//
// Damage: any error libpng raises (a critical chunk's checksum, image data
// that does not inflate, ends early or has a bad filter) fails the picture.
// Ancillary chunks are libpng's to judge: a bad checksum there only drops
// the chunk, and the chunks after the image data are not read at all, so a
// file that ends after its last image data shows whole.
Status ReadPng(ByteSource& source, ImageHeader* header, RowConsumer* out) {
    uint8_t data[24];
    size_t size = 0;
    const Status read = source.ReadAt(0, data, sizeof data, &size);
    if (read != Status::Ok) return read;
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return Status::UnknownFormat;
    // The size is read ahead of libpng so that a refused size says so.
    if (size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        auto be32 = [&](size_t at) {
            return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 |
                   uint32_t(data[at + 2]) << 8 | data[at + 3];
        };
        const uint32_t w = be32(16), h = be32(20);
        if (w && h && !ImageSizeAllowed(w, h)) return Status::TooLarge;
    }
    volatile bool outOfMemory = false;
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning,
                                               const_cast<bool*>(&outOfMemory), Allocate, Free);
    if (!png) return Status::OutOfMemory;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return Status::OutOfMemory;
    }
    SourceReader input(source);
    png_bytep volatile row = nullptr;
    volatile Status failure = Status::Corrupt;
    if (setjmp(png_jmpbuf(png))) {
        backends::free(row);
        png_destroy_read_struct(&png, &info, nullptr);
        if (outOfMemory) return Status::OutOfMemory;
        return input.Failure() != Status::Ok ? input.Failure() : failure;
    }
    png_set_read_fn(png, &input, ReadBytes);
    // libpng refuses larger headers itself; the pixel count is checked below.
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_read_info(png, info);

    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    const bool alpha =
        (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (!ImageSizeAllowed(width, height)) {
        failure = Status::TooLarge;
        png_longjmp(png, 1);
    }
    if (header) {
        header->format = FileFormat::Png;
        header->width = width;
        header->height = height;
        header->alpha = alpha;
    }
    if (out) {
        // Every layout becomes 8-bit B, G, R, A: palettes and low bit depths
        // expand, tRNS becomes alpha, 16-bit samples are scaled with
        // rounding, gray is copied to the three colours. No gamma is
        // applied: the samples are taken as the file stores them.
        png_set_expand(png);
        png_set_scale_16(png);
        png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        // Interlaced files are read pass by pass, each pass's rows handed on
        // as they come (a few columns of a row at a time), so that no
        // picture-sized buffer is needed to put the passes together.
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != size_t(width) * 4) png_longjmp(png, 1);

        failure = Status::OutOfMemory;
        row = static_cast<png_bytep>(backends::malloc(size_t(width) * 4));
        if (!row) png_longjmp(png, 1);
        failure = out->Begin(width, height, !interlaced);
        if (failure != Status::Ok) png_longjmp(png, 1);
        for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
            const uint32_t firstRow = interlaced ? PNG_PASS_START_ROW(pass) : 0;
            const uint32_t firstColumn = interlaced ? PNG_PASS_START_COL(pass) : 0;
            const uint32_t rowStep = interlaced ? 1u << PNG_PASS_ROW_SHIFT(pass) : 1;
            const uint32_t columnStep = interlaced ? 1u << PNG_PASS_COL_SHIFT(pass) : 1;
            // An empty pass has no rows in the file.
            if (RowPixels(width, firstColumn, columnStep) == 0) continue;
            for (uint32_t y = firstRow; y < height; y += rowStep) {
                failure = Status::Corrupt;
                png_read_row(png, row, nullptr);
                CountDecodedRows(1);
                failure = Status::Refused;
                if (!out->Row(y, row, firstColumn, columnStep)) png_longjmp(png, 1);
            }
        }
    }
    backends::free(row);
    png_destroy_read_struct(&png, &info, nullptr);
    return Status::Ok;
}

} // namespace

Status PngReadHeader(ByteSource& in, ImageHeader* header) {
    return ReadPng(in, header, nullptr);
}

Status PngDecodeRows(ByteSource& in, RowConsumer& out) {
    return ReadPng(in, nullptr, &out);
}

} // namespace zorva::backends
