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
    volatile bool tooManyScans;
};

JpegErrors* ErrorsOf(j_common_ptr info) {
    return reinterpret_cast<JpegErrors*>(info->err);
}

[[noreturn]] void OnError(j_common_ptr info) {
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
        ErrorsOf(info)->tooManyScans = true;
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

uint32_t ScaledSide(uint32_t side, uint32_t denominator) {
    return uint32_t((uint64_t(side) + denominator - 1) / denominator);
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

Status ReadJpeg(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight,
                ImageHeader* header, RowConsumer* out) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF)
        return Status::UnknownFormat;
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.emit_message = OnMessage;
    errors.manager.output_message = OnOutput;
    uint8_t* volatile rowBuffer = nullptr;
    volatile Status failure = Status::Corrupt;
    errors.tooManyScans = false;
    if (setjmp(errors.jump)) {
        backends::free(rowBuffer);
        jpeg_destroy_decompress(&info);
        return errors.tooManyScans ? Status::TooLarge : failure;
    }
    jpeg_create_decompress(&info);
    errors.progress.progress_monitor = OnProgress;
    info.progress = &errors.progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
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
        uint32_t scaledWidth, scaledHeight;
        JpegScaledSize(info.image_width, info.image_height, minWidth, minHeight, &scaledWidth,
                       &scaledHeight);
        info.scale_num = 1;
        info.scale_denom = 1;
        for (unsigned d : {8u, 4u, 2u, 1u}) {
            if (ScaledSide(info.image_width, d) == scaledWidth &&
                ScaledSide(info.image_height, d) == scaledHeight) {
                info.scale_denom = d;
                break;
            }
        }
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

void JpegScaledSize(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight,
                    uint32_t* scaledWidth, uint32_t* scaledHeight) {
    *scaledWidth = width;
    *scaledHeight = height;
    if (minWidth == 0 || minHeight == 0) return;
    for (uint32_t d : {8u, 4u, 2u}) {
        const uint32_t w = ScaledSide(width, d), h = ScaledSide(height, d);
        if (w >= minWidth && h >= minHeight) {
            *scaledWidth = w;
            *scaledHeight = h;
            return;
        }
    }
}

Status JpegReadHeader(const uint8_t* data, size_t size, ImageHeader* header) {
    return ReadJpeg(data, size, 0, 0, header, nullptr);
}

Status JpegDecodeRows(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight,
                      RowConsumer& out) {
    return ReadJpeg(data, size, minWidth, minHeight, nullptr, &out);
}

} // namespace zorva::backends
