// JPEG through libjpeg-turbo. The library's default error handler ends the
// process; here every error, every warning that the data is damaged, and a
// file of too many scans leave by longjmp to the setjmp in ReadJpeg instead.
#include "backends/codecs/Codecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <jpeglib.h>

#include <jerror.h>

namespace zorva::backends {
namespace {

struct JpegErrors {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    volatile Status forced; // a result that overrides the failing step's
};

// A libjpeg source manager over the file, through a buffer.
struct JpegInput {
    jpeg_source_mgr manager;
    SourceReader* reader;
    JpegErrors* errors;
};

JpegInput* InputOf(j_decompress_ptr info) {
    return reinterpret_cast<JpegInput*>(info->src);
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The next buffer of the file. At its end libjpeg is given an end-of-image
// marker after the warning that the file ended early, which fails the
// picture (DamagedData); a source that fails leaves at once.
boolean FillInput(j_decompress_ptr info) {
    JpegInput* in = InputOf(info);
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (in->reader->Next(&data, &size) != Status::Ok) std::longjmp(in->errors->jump, 1);
    if (size == 0) {
        static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
        WARNMS(info, JWRN_JPEG_EOF);
        data = kEnd;
        size = 2;
    }
    in->manager.next_input_byte = data;
    in->manager.bytes_in_buffer = size;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long bytes) {
    JpegInput* in = InputOf(info);
    if (bytes <= 0) return;
    if (size_t(bytes) <= in->manager.bytes_in_buffer) {
        in->manager.next_input_byte += bytes;
        in->manager.bytes_in_buffer -= size_t(bytes);
        return;
    }
    // Past the buffer: the reader moves on without reading what lies
    // between.
    in->reader->Seek(in->reader->Position() + (uint64_t(bytes) - in->manager.bytes_in_buffer));
    in->manager.bytes_in_buffer = 0;
    FillInput(info);
}

JpegErrors* ErrorsOf(j_common_ptr info) {
    return reinterpret_cast<JpegErrors*>(info->err);
}

[[noreturn]] void OnError(j_common_ptr info) {
    // libjpeg's own allocations fail (it takes them with malloc), or its
    // whole-picture arrays would pass max_memory_to_use.
    const int code = info->err->msg_code;
    if (code == JERR_OUT_OF_MEMORY) ErrorsOf(info)->forced = Status::OutOfMemory;
    if (code == JERR_NO_BACKING_STORE) ErrorsOf(info)->forced = Status::TooLarge;
    std::longjmp(ErrorsOf(info)->jump, 1);
}

// Damage: libjpeg reports damaged data as a warning and carries on, filling
// what it cannot decode with grey or with whatever the damaged codes say. A
// picture is damaged when the file ends early, its entropy-coded data is
// corrupt (bad codes, extraneous bytes before a marker, a marker in the
// middle of a segment, a restart that had to be resynchronised) or its scans
// do not fit together; each fails the picture. Warnings about the metadata
// (an unknown JFIF version or Adobe transform, a damaged ICC profile) leave
// the pixels as they are and stay silent.
bool DamagedData(int code) {
    switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && DamagedData(info->err->msg_code)) std::longjmp(ErrorsOf(info)->jump, 1);
}

void OnOutput(j_common_ptr) {}

// A progressive file can hold thousands of scans in a few hundred bytes,
// each of which costs a pass over the whole coefficient buffer.
void OnProgress(j_common_ptr info) {
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > kMaxJpegScans) {
        ErrorsOf(info)->forced = Status::TooLarge;
        std::longjmp(ErrorsOf(info)->jump, 1);
    }
}

// A file of several scans (progressive, or components in scans of their
// own) keeps every DCT coefficient of the picture until the last scan: 64
// of 2 bytes a block, per component, whatever size the picture is decoded
// at. 0 for a single-scan file, which is decoded a band of rows at a time.
uint64_t WholeCoefficientBytes(j_decompress_ptr info) {
    if (!jpeg_has_multiple_scans(info)) return 0;
    uint64_t bytes = 0;
    for (int c = 0; c < info->num_components; ++c) {
        const jpeg_component_info& comp = info->comp_info[c];
        const uint64_t h = comp.h_samp_factor > 0 ? uint64_t(comp.h_samp_factor) : 1;
        const uint64_t v = comp.v_samp_factor > 0 ? uint64_t(comp.v_samp_factor) : 1;
        const uint64_t across = (uint64_t(comp.width_in_blocks) + h - 1) / h * h;
        const uint64_t down = (uint64_t(comp.height_in_blocks) + v - 1) / v * v;
        bytes += across * down * sizeof(JBLOCK);
    }
    return bytes;
}

// What libjpeg holds besides the whole-picture coefficients, at most: its
// tables and a band of sample rows for the widest picture.
constexpr uint64_t kJpegWorkingBytes = uint64_t(8) << 20;

// A side at M/8 of its size, as libjpeg rounds it.
uint32_t ScaledSide(uint32_t side, uint32_t eighths) {
    return uint32_t((uint64_t(side) * eighths + 7) / 8);
}

// CMYK rows to B, G, R, A. Adobe's files store the inks inverted.
void CmykToBgra(const uint8_t* cmyk, uint8_t* bgra, uint32_t count, bool inverted) {
    for (uint32_t i = 0; i < count; ++i, cmyk += 4, bgra += 4) {
        uint32_t c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgra[0] = uint8_t((y * k + 127) / 255);
        bgra[1] = uint8_t((m * k + 127) / 255);
        bgra[2] = uint8_t((c * k + 127) / 255);
        bgra[3] = 255;
    }
}

Status ReadJpeg(ByteSource& source, uint32_t minWidth, uint32_t minHeight, ImageHeader* header,
                RowConsumer* out) {
    FileFormat format;
    const Status sniffed = SniffFormat(source, &format);
    if (sniffed != Status::Ok) return sniffed;
    if (format != FileFormat::Jpeg) return Status::UnknownFormat;
    SourceReader reader(source);
    JpegInput input;
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.emit_message = OnMessage;
    errors.manager.output_message = OnOutput;
    uint8_t* volatile rowBuffer = nullptr;
    volatile Status failure = Status::Corrupt;
    errors.forced = Status::Ok;
    if (setjmp(errors.jump)) {
        backends::free(rowBuffer);
        jpeg_destroy_decompress(&info);
        if (reader.Failure() != Status::Ok) return reader.Failure();
        return errors.forced != Status::Ok ? errors.forced : failure;
    }
    jpeg_create_decompress(&info);
    // libjpeg allocates with malloc, outside the platform allocator; what
    // it holds for the whole picture is refused above kMaxWholePictureBytes
    // from the header (WholeCoefficientBytes), and capped here too.
    info.mem->max_memory_to_use = long(kMaxWholePictureBytes + kJpegWorkingBytes);
    errors.progress.progress_monitor = OnProgress;
    info.progress = &errors.progress;
    input.manager.init_source = InitSource;
    input.manager.fill_input_buffer = FillInput;
    input.manager.skip_input_data = SkipInput;
    input.manager.resync_to_restart = jpeg_resync_to_restart;
    input.manager.term_source = TermSource;
    input.manager.next_input_byte = nullptr;
    input.manager.bytes_in_buffer = 0;
    input.reader = &reader;
    input.errors = &errors;
    info.src = &input.manager;
    jpeg_read_header(&info, TRUE);
    if (!ImageSizeAllowed(info.image_width, info.image_height) ||
        WholeCoefficientBytes(&info) > kMaxWholePictureBytes) {
        failure = Status::TooLarge;
        std::longjmp(errors.jump, 1);
    }
    if (header) {
        header->format = FileFormat::Jpeg;
        header->width = info.image_width;
        header->height = info.image_height;
        header->alpha = false;
    }
    if (out) {
        info.scale_num = JpegScaleEighths(info.image_width, info.image_height, minWidth, minHeight);
        info.scale_denom = 8;
        const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        failure = Status::OutOfMemory;
        if (info.output_components != 4) std::longjmp(errors.jump, 1);
        rowBuffer = static_cast<uint8_t*>(backends::malloc(size_t(info.output_width) * 4 * 2));
        if (!rowBuffer) std::longjmp(errors.jump, 1);
        failure = out->Begin(info.output_width, info.output_height, true);
        if (failure != Status::Ok) std::longjmp(errors.jump, 1);
        uint8_t* const bgra = rowBuffer;
        uint8_t* const cmykRow = rowBuffer + size_t(info.output_width) * 4;
        while (info.output_scanline < info.output_height) {
            const uint32_t y = info.output_scanline;
            JSAMPROW row = cmyk ? cmykRow : bgra;
            failure = Status::Corrupt;
            if (jpeg_read_scanlines(&info, &row, 1) != 1) std::longjmp(errors.jump, 1);
            CountDecodedRows(1);
            if (cmyk) CmykToBgra(cmykRow, bgra, info.output_width, info.saw_Adobe_marker);
            failure = Status::Refused;
            if (!out->Row(y, bgra, 0, 1)) std::longjmp(errors.jump, 1);
        }
        failure = Status::Corrupt;
        jpeg_finish_decompress(&info);
    }
    backends::free(rowBuffer);
    jpeg_destroy_decompress(&info);
    return Status::Ok;
}

} // namespace

// libjpeg-turbo reduces the picture inside the inverse DCT, at any M/8.
// Its transforms for 1/8, 2/8, 4/8 and 8/8 are vectorised; those for 3/8,
// 6/8 and 7/8 run in plain C, and for 4:2:0 pictures (most photographs)
// it reconstructs the colour planes with a transform twice that size
// (6/8, 12/8, 14/8) rather than upsample them. Measured on a 2048 x 1536
// photograph: 3/8 costs as much as 4/8 and 6/8 and 7/8 more than 8/8, and
// the larger picture averages down better (PSNR against the area average
// of the full decode: 53.6 dB from 4/8, 52.2 dB from 3/8), so those
// scales give way to the next vectorised one; 5/8 does not (its saving
// outweighs its transform).
uint32_t JpegScaleEighths(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight) {
    if (minWidth == 0 || minHeight == 0) return 8;
    for (uint32_t m : {1u, 2u, 4u, 5u}) {
        if (ScaledSide(width, m) >= minWidth && ScaledSide(height, m) >= minHeight) return m;
    }
    return 8;
}

Status JpegReadHeader(ByteSource& in, ImageHeader* header) {
    return ReadJpeg(in, 0, 0, header, nullptr);
}

Status JpegDecodeRows(ByteSource& in, uint32_t minWidth, uint32_t minHeight, RowConsumer& out) {
    return ReadJpeg(in, minWidth, minHeight, nullptr, &out);
}

} // namespace zorva::backends
