// The codecs' limits, checked from a file's header before any pixel memory
// is allocated (docs/image-io.md, "Limits and memory", lists what each path
// holds).
#ifndef ZORVA_BACKENDS_CODECS_LIMITS_H
#define ZORVA_BACKENDS_CODECS_LIMITS_H

#include <cstddef>
#include <cstdint>

namespace zorva::backends {

constexpr uint32_t kMaxImageSide = 65535;
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26; // 8192 x 8192
constexpr size_t kMaxEncodedBytes = size_t(256) << 20;
constexpr int kMaxJpegScans = 100;
constexpr uint32_t kMaxGifFrames = 100000;
// What a codec that must keep the whole picture may hold: the coefficients
// of a JPEG of several scans; a WebP file that cannot be fed in pieces, with
// its lossless picture or alpha plane; a run-length BMP. Small enough that a
// load fitted to a display-sized box stays within 16 MB, whatever the file.
constexpr uint64_t kMaxWholePictureBytes = uint64_t(12) << 20;

// True when width x height is a size the codecs accept.
constexpr bool ImageSizeAllowed(uint64_t width, uint64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CODECS_LIMITS_H
