// The codecs behind the imaging service, one per file format, each over the
// library that the format's world trusts. Every codec reads a whole encoded
// file from memory, refuses sizes the service does not accept before
// allocating pixels, and turns every error of its library into a result
// code: nothing here can end the process or read outside the bytes given.
#ifndef ZORVA_PLATFORM_IMAGING_CODECS_H
#define ZORVA_PLATFORM_IMAGING_CODECS_H

#include "platform/imaging/Imaging.h"
#include "platform/imaging/Pixmap.h"

namespace zorva::platform {

enum class FileFormat { Unknown, Png, Jpeg, Gif, Bmp, Webp };

// The format by the file's signature.
FileFormat SniffFormat(const uint8_t* data, size_t size);
const GUID& FormatGuid(FileFormat format);

// What a header says. For GIF: the logical screen, after a scan of every
// frame (see GifAnimation).
struct ImageHeader {
    FileFormat format = FileFormat::Unknown;
    uint32_t width = 0;
    uint32_t height = 0;
    bool alpha = false;
};

// Header of a still-image format (not GIF).
HRESULT PngReadHeader(const uint8_t* data, size_t size, ImageHeader* header);
HRESULT JpegReadHeader(const uint8_t* data, size_t size, ImageHeader* header);
HRESULT BmpReadHeader(const uint8_t* data, size_t size, ImageHeader* header);
HRESULT WebpReadHeader(const uint8_t* data, size_t size, ImageHeader* header);

// Decodes the whole picture at its own size into `out` (opaque pixels get
// alpha 255).
HRESULT PngDecode(const uint8_t* data, size_t size, Pixmap* out);
HRESULT BmpDecode(const uint8_t* data, size_t size, Pixmap* out);
HRESULT WebpDecode(const uint8_t* data, size_t size, Pixmap* out);

// The size a JPEG of width x height decodes at for a picture of at least
// minWidth x minHeight: the smallest of the codec's reduced scales 1/8,
// 1/4 and 1/2 that is still no smaller than asked in either direction, or
// the full size (also when either minimum is 0).
void JpegScaledSize(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight,
                    uint32_t* scaledWidth, uint32_t* scaledHeight);
// Decodes at JpegScaledSize (the DCT does the shrinking: no full-size pixel
// is made).
HRESULT JpegDecode(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight,
                   Pixmap* out);

// Scales `source` to exactly width x height: area averaging along an axis
// that shrinks, bilinear interpolation along one that grows, edges extended
// (pixman). With `alpha` the colours are premultiplied for the filter and
// straightened again; without, alpha is taken as opaque. A same-size request
// is a copy.
HRESULT Resample(const Pixmap& source, bool alpha, uint32_t width, uint32_t height, Pixmap* out);

} // namespace zorva::platform

#endif // ZORVA_PLATFORM_IMAGING_CODECS_H
