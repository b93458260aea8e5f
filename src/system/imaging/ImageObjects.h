// The imaging service's objects, as the factory makes them.
#ifndef ZORVA_SYSTEM_IMAGING_IMAGEOBJECTS_H
#define ZORVA_SYSTEM_IMAGING_IMAGEOBJECTS_H

#include "backends/codecs/Codecs.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"

namespace zorva::platform {

using backends::EncodedPtr;
using backends::ImageHeader;
using backends::Pixmap;
using backends::RowConsumer;

// The service's result for what a codec or the scaler reported.
HRESULT FromStatus(backends::Status status);

// Every image of the service also answers QueryInterface for this internal
// view, through which the factory and Draw get its picture at any size.
struct IRenderable : IUnknown {
    // The picture scaled to width x height, the rows of `window` (a
    // rectangle inside it) handed to `out` as a picture of the window's
    // size; then out.End(). The picture is decoded as it goes: nothing
    // picture-sized is kept.
    virtual HRESULT RenderRows(uint32_t width, uint32_t height, const backends::Rect& window,
                               RowConsumer& out) = 0;
    virtual void Info(ImageInfo* info) = 0;

protected:
    ~IRenderable() = default;
};
extern const GUID IID_IRenderable;

// An image over encoded bytes; fails as the bytes' header does.
HRESULT CreateEncodedImage(EncodedPtr bytes, IImage** image);

// The whole picture at width x height, into a picture of its own.
HRESULT RenderPixmap(IRenderable* picture, uint32_t width, uint32_t height, Pixmap* out);

// A bitmap of width x height in PixelFormat24bppRGB or PixelFormat32bppARGB.
// Without `source` its bytes are zero. With one it holds `source` rendered
// at its size, rendered when its pixels are first needed: locking a
// rectangle for reading renders only that rectangle (until something writes
// the bitmap, each such lock renders afresh), anything else renders the
// whole once. Returned through its IBitmapImage view.
HRESULT CreateBitmapObject(uint32_t width, uint32_t height, DWORD pixelFormat, IRenderable* source,
                           IBitmapImage** bitmap);

// A decoder over encoded bytes.
HRESULT CreateDecoder(EncodedPtr bytes, IImageDecoder** decoder);

// The image information of a header.
void InfoFromHeader(const ImageHeader& header, ImageInfo* info);

// IImage::Draw for any renderable picture.
HRESULT DrawPicture(IRenderable* picture, HDC dc, const tagRECT* dstRect, const tagRECT* srcRect);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_IMAGING_IMAGEOBJECTS_H
