// WebP through libwebp, decoded straight to B, G, R, A. (Its RGB565 output
// would be big-endian, and it rounds differently from this library's own
// conversion, so the library converts.) Animated files are not read.
#include "platform/imaging/Codecs.h"

#include <cstring>
#include <webp/decode.h>

namespace zorva::platform {

HRESULT WebpReadHeader(const uint8_t* data, size_t size, ImageHeader* header) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0)
        return IMGERR_UNKNOWNFORMAT;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return IMGERR_CORRUPT;
    if (features.has_animation) return IMGERR_UNKNOWNFORMAT;
    if (features.width <= 0 || features.height <= 0) return IMGERR_CORRUPT;
    if (!ImageSizeAllowed(uint32_t(features.width), uint32_t(features.height)))
        return IMGERR_TOOLARGE;
    header->format = FileFormat::Webp;
    header->width = uint32_t(features.width);
    header->height = uint32_t(features.height);
    header->alpha = features.has_alpha != 0;
    return S_OK;
}

HRESULT WebpDecode(const uint8_t* data, size_t size, Pixmap* out) {
    ImageHeader header;
    HRESULT hr = WebpReadHeader(data, size, &header);
    if (hr != S_OK) return hr;
    hr = out->Allocate(header.width, header.height);
    if (hr != S_OK) return hr;
    if (!WebPDecodeBGRAInto(data, size, out->Bits(), out->Stride() * out->Height(),
                            int(out->Stride()))) {
        out->Reset();
        return IMGERR_CORRUPT;
    }
    return S_OK;
}

} // namespace zorva::platform
