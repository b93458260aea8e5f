// The imaging service's objects, as the factory makes them.
#ifndef ZORVA_PLATFORM_IMAGING_IMAGEOBJECTS_H
#define ZORVA_PLATFORM_IMAGING_IMAGEOBJECTS_H

#include "platform/imaging/Codecs.h"

namespace zorva::platform {

// Every image of the service also answers QueryInterface for this internal
// view, through which the factory and Draw get its picture at any size.
struct IRenderable : IUnknown {
    // The whole picture scaled to exactly width x height (B, G, R, A).
    virtual HRESULT Render(uint32_t width, uint32_t height, Pixmap* out) = 0;
    virtual void Info(ImageInfo* info) = 0;

protected:
    ~IRenderable() = default;
};
extern const GUID IID_IRenderable;

// An image over encoded bytes; fails as the bytes' header does.
HRESULT CreateEncodedImage(EncodedPtr bytes, IImage** image);

// A bitmap of width x height in PixelFormat24bppRGB or PixelFormat32bppARGB,
// zeroed; with `picture` (of that size) its pixels are taken from it.
// Returned through its IBitmapImage view.
HRESULT CreateBitmapObject(uint32_t width, uint32_t height, DWORD pixelFormat,
                           const Pixmap* picture, IBitmapImage** bitmap);

// A decoder over encoded bytes.
HRESULT CreateDecoder(EncodedPtr bytes, IImageDecoder** decoder);

// The image information of a header.
void InfoFromHeader(const ImageHeader& header, ImageInfo* info);

// IImage::Draw for any renderable picture.
HRESULT DrawPicture(IRenderable* picture, HDC dc, const tagRECT* dstRect, const tagRECT* srcRect);

} // namespace zorva::platform

#endif // ZORVA_PLATFORM_IMAGING_IMAGEOBJECTS_H
