// The imaging service's objects, as the factory makes them.
#ifndef ZORVA_SYSTEM_IMAGING_IMAGEOBJECTS_H
#define ZORVA_SYSTEM_IMAGING_IMAGEOBJECTS_H

#include "backends/codecs/Codecs.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"
#include "system/imaging/Sources.h"

namespace zorva::platform {

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

// An image over an encoded file, which it takes (and deletes when it fails);
// fails as the file's header does.
HRESULT CreateEncodedImage(Source* source, IImage** image);

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

// The image information of a header.
void InfoFromHeader(const ImageHeader& header, ImageInfo* info);

// Rows, in order, into a sink a band of rows at a time in the sink's format
// (24 or 32 bits; at most 64 rows and about kBandBytes a band). Rows that
// come in another order are gathered whole in the sink's format and sent at
// the end.
class BandSender final : public RowConsumer {
public:
    static constexpr size_t kBandBytes = size_t(256) << 10;

    BandSender(IImageSink* sink, DWORD format) : m_sink(sink), m_format(format) {}
    ~BandSender() { platform::free(m_band); }
    BandSender(const BandSender&) = delete;
    BandSender& operator=(const BandSender&) = delete;

    backends::Status Begin(uint32_t width, uint32_t height, bool inOrder) override;
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override;
    backends::Status End() override;
    // What the sink answered when it refused a band, else S_OK.
    HRESULT Failure() const { return m_failure; }

private:
    bool Send(const uint8_t* rows);

    IImageSink* m_sink;
    DWORD m_format;
    uint32_t m_width = 0, m_height = 0, m_bytes = 4, m_bandRows = 1;
    size_t m_stride = 0;
    uint8_t* m_band = nullptr; // a band, or with m_gathered the whole picture
    bool m_gathered = false;
    uint32_t m_first = 0, m_rows = 0; // the band starts at row m_first and holds m_rows
    HRESULT m_failure = S_OK;
};

// IImage::PushIntoSink for any renderable picture.
HRESULT PushPicture(IRenderable* picture, IImageSink* sink);

// IImage::Draw for any renderable picture.
HRESULT DrawPicture(IRenderable* picture, HDC dc, const tagRECT* dstRect, const tagRECT* srcRect);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_IMAGING_IMAGEOBJECTS_H
