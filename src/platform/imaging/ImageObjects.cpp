// Images over encoded bytes, and bitmaps in memory with their three views.
#include "platform/imaging/ImageObjects.h"

#include "platform/gdi/Gdi.h"
#include "platform/imaging/GifAnimation.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

// A bitmap's own raw format: pixels in memory rather than a file.
const GUID ImageFormatMemoryBMP = {
    0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

bool IsKnownFormat(DWORD format) {
    return format == PixelFormat24bppRGB || format == PixelFormat32bppARGB;
}

uint32_t BytesPerPixel(DWORD format) {
    return format == PixelFormat32bppARGB ? 4 : 3;
}

HRESULT ThumbnailOf(IRenderable* picture, bool alpha, uint32_t width, uint32_t height,
                    IImage** thumbnail) {
    if (!thumbnail) return E_FAIL;
    *thumbnail = nullptr;
    Pixmap scaled;
    HRESULT hr = picture->Render(width, height, &scaled);
    if (hr != S_OK) return hr;
    IBitmapImage* bitmap = nullptr;
    hr = CreateBitmapObject(width, height, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB,
                            &scaled, &bitmap);
    if (hr != S_OK) return hr;
    hr = bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(thumbnail));
    bitmap->Release();
    return hr;
}

class EncodedImage final : public RefCounted<IImage, IRenderable> {
public:
    HRESULT Open(EncodedPtr bytes) {
        m_bytes = std::move(bytes);
        const FileFormat format = SniffFormat(m_bytes->data, m_bytes->size);
        HRESULT hr = IMGERR_UNKNOWNFORMAT;
        switch (format) {
        case FileFormat::Png:
            hr = PngReadHeader(m_bytes->data, m_bytes->size, &m_header);
            break;
        case FileFormat::Jpeg:
            hr = JpegReadHeader(m_bytes->data, m_bytes->size, &m_header);
            break;
        case FileFormat::Bmp:
            hr = BmpReadHeader(m_bytes->data, m_bytes->size, &m_header);
            break;
        case FileFormat::Webp:
            hr = WebpReadHeader(m_bytes->data, m_bytes->size, &m_header);
            break;
        case FileFormat::Gif:
            m_gif = new (std::nothrow) GifAnimation;
            if (!m_gif) return E_OUTOFMEMORY;
            hr = m_gif->Open(m_bytes);
            m_header = {FileFormat::Gif, m_gif->Width(), m_gif->Height(), m_gif->HasAlpha()};
            break;
        case FileFormat::Unknown:
            break;
        }
        return hr;
    }

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (!object) return E_FAIL;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IImage))
            *object = static_cast<IImage*>(this);
        else if (IsEqualGUID(iid, IID_IRenderable))
            *object = static_cast<IRenderable*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    HRESULT GetImageInfo(ImageInfo* info) override {
        if (!info) return E_FAIL;
        Info(info);
        return S_OK;
    }
    HRESULT Draw(HDC dc, const tagRECT* dstRect, const tagRECT* srcRect) override {
        return DrawPicture(this, dc, dstRect, srcRect);
    }
    HRESULT GetThumbnail(uint32_t width, uint32_t height, IImage** thumbnail) override {
        return ThumbnailOf(this, m_header.alpha, width, height, thumbnail);
    }

    void Info(ImageInfo* info) override { InfoFromHeader(m_header, info); }

    // The picture is decoded on the first request and kept for the next
    // ones; a JPEG is decoded again when another reduced scale fits the
    // request better.
    HRESULT Render(uint32_t width, uint32_t height, Pixmap* out) override {
        if (!out) return E_FAIL;
        out->Reset();
        if (!ImageSizeAllowed(width, height)) return E_FAIL;
        if (m_gif) {
            const Pixmap* first = nullptr;
            HRESULT hr = m_gif->Compose(0, &first);
            if (hr != S_OK) return hr;
            return Resample(*first, m_header.alpha, width, height, out);
        }
        uint32_t decodeWidth = m_header.width, decodeHeight = m_header.height;
        if (m_header.format == FileFormat::Jpeg)
            JpegScaledSize(m_header.width, m_header.height, width, height, &decodeWidth,
                           &decodeHeight);
        if (m_picture.Empty() || m_picture.Width() != decodeWidth ||
            m_picture.Height() != decodeHeight) {
            m_picture.Reset();
            HRESULT hr = E_FAIL;
            const uint8_t* data = m_bytes->data;
            const size_t size = m_bytes->size;
            switch (m_header.format) {
            case FileFormat::Png:
                hr = PngDecode(data, size, &m_picture);
                break;
            case FileFormat::Jpeg:
                hr = JpegDecode(data, size, width, height, &m_picture);
                break;
            case FileFormat::Bmp:
                hr = BmpDecode(data, size, &m_picture);
                break;
            case FileFormat::Webp:
                hr = WebpDecode(data, size, &m_picture);
                break;
            default:
                break;
            }
            if (hr != S_OK) return hr;
        }
        return Resample(m_picture, m_header.alpha, width, height, out);
    }

private:
    ~EncodedImage() override { delete m_gif; }

    EncodedPtr m_bytes;
    ImageHeader m_header;
    GifAnimation* m_gif = nullptr;
    Pixmap m_picture;
};

class BitmapObject final : public RefCounted<IBitmapImage, IImage, IImageSink, IRenderable> {
public:
    HRESULT Init(uint32_t width, uint32_t height, DWORD format) {
        if (!IsKnownFormat(format) || !ImageSizeAllowed(width, height)) return E_FAIL;
        m_width = width;
        m_height = height;
        m_format = format;
        m_stride = (size_t(width) * BytesPerPixel(format) + 3) & ~size_t(3);
        m_bits = static_cast<uint8_t*>(platform::malloc(m_stride * height));
        if (!m_bits) return E_OUTOFMEMORY;
        std::memset(m_bits, 0, m_stride * height);
        return S_OK;
    }

    // Takes the pixels of a picture of the bitmap's size.
    void Fill(const Pixmap& picture) {
        for (uint32_t y = 0; y < m_height; ++y) {
            uint8_t* row = m_bits + y * m_stride;
            if (m_format == PixelFormat32bppARGB)
                std::memcpy(row, picture.Row(y), picture.Stride());
            else
                FlattenBgra(picture.Row(y), row, m_width);
        }
    }

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (!object) return E_FAIL;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IBitmapImage))
            *object = static_cast<IBitmapImage*>(this);
        else if (IsEqualGUID(iid, IID_IImage))
            *object = static_cast<IImage*>(this);
        else if (IsEqualGUID(iid, IID_IImageSink))
            *object = static_cast<IImageSink*>(this);
        else if (IsEqualGUID(iid, IID_IRenderable))
            *object = static_cast<IRenderable*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // ---- IBitmapImage
    HRESULT GetSize(tagSIZE* size) override {
        if (!size) return E_FAIL;
        *size = tagSIZE{int32_t(m_width), int32_t(m_height)};
        return S_OK;
    }
    HRESULT GetPixelFormatID(DWORD* format) override {
        if (!format) return E_FAIL;
        *format = m_format;
        return S_OK;
    }
    HRESULT LockBits(const tagRECT* rect, uint32_t flags, DWORD format, BitmapData* data) override {
        if (!data || m_locked || (format != 0 && format != m_format) ||
            !(flags & (ImageLockModeRead | ImageLockModeWrite)))
            return E_FAIL;
        tagRECT r = rect ? *rect : tagRECT{0, 0, int32_t(m_width), int32_t(m_height)};
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
            uint32_t(r.right) > m_width || uint32_t(r.bottom) > m_height)
            return E_FAIL;
        data->Width = uint32_t(r.right - r.left);
        data->Height = uint32_t(r.bottom - r.top);
        data->Stride = int32_t(m_stride);
        data->PixelFormat = m_format;
        data->Scan0 = m_bits + size_t(r.top) * m_stride + size_t(r.left) * BytesPerPixel(m_format);
        data->Reserved = 0;
        m_locked = true;
        return S_OK;
    }
    HRESULT UnlockBits(const BitmapData* data) override {
        if (!data || !m_locked) return E_FAIL;
        m_locked = false;
        return S_OK;
    }

    // ---- IImage
    HRESULT GetImageInfo(ImageInfo* info) override {
        if (!info) return E_FAIL;
        Info(info);
        return S_OK;
    }
    HRESULT Draw(HDC dc, const tagRECT* dstRect, const tagRECT* srcRect) override {
        return DrawPicture(this, dc, dstRect, srcRect);
    }
    HRESULT GetThumbnail(uint32_t width, uint32_t height, IImage** thumbnail) override {
        return ThumbnailOf(this, m_format == PixelFormat32bppARGB, width, height, thumbnail);
    }

    // ---- IImageSink
    HRESULT BeginSink(ImageInfo* info, tagRECT*) override {
        if (!info || info->Width != m_width || info->Height != m_height) return E_FAIL;
        info->PixelFormat = m_format;
        return S_OK;
    }
    HRESULT EndSink(HRESULT) override { return S_OK; }
    HRESULT PushPixelData(const tagRECT* rect, BitmapData* data, BOOL) override {
        if (!rect || !data || !data->Scan0 || data->PixelFormat != m_format || rect->left < 0 ||
            rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            uint32_t(rect->right) > m_width || uint32_t(rect->bottom) > m_height ||
            data->Width != uint32_t(rect->right - rect->left) ||
            data->Height != uint32_t(rect->bottom - rect->top))
            return E_FAIL;
        const size_t bytes = size_t(data->Width) * BytesPerPixel(m_format);
        for (uint32_t y = 0; y < data->Height; ++y)
            std::memcpy(m_bits + (size_t(rect->top) + y) * m_stride +
                            size_t(rect->left) * BytesPerPixel(m_format),
                        static_cast<const uint8_t*>(data->Scan0) + ptrdiff_t(y) * data->Stride,
                        bytes);
        return S_OK;
    }

    // ---- IRenderable
    void Info(ImageInfo* info) override {
        *info = ImageInfo{};
        info->RawDataFormat = ImageFormatMemoryBMP;
        info->PixelFormat = m_format;
        info->Width = info->TileWidth = m_width;
        info->Height = info->TileHeight = m_height;
        info->Xdpi = info->Ydpi = 96;
        info->Flags = m_format == PixelFormat32bppARGB ? ImageFlagsHasAlpha : 0;
    }
    HRESULT Render(uint32_t width, uint32_t height, Pixmap* out) override {
        if (!out) return E_FAIL;
        Pixmap own;
        HRESULT hr = own.Allocate(m_width, m_height);
        if (hr != S_OK) return hr;
        for (uint32_t y = 0; y < m_height; ++y) {
            const uint8_t* in = m_bits + y * m_stride;
            uint8_t* row = own.Row(y);
            if (m_format == PixelFormat32bppARGB) {
                std::memcpy(row, in, own.Stride());
            } else {
                for (uint32_t x = 0; x < m_width; ++x, in += 3, row += 4) {
                    row[0] = in[0];
                    row[1] = in[1];
                    row[2] = in[2];
                    row[3] = 255;
                }
            }
        }
        if (width == m_width && height == m_height) {
            *out = static_cast<Pixmap&&>(own);
            return S_OK;
        }
        return Resample(own, m_format == PixelFormat32bppARGB, width, height, out);
    }

private:
    ~BitmapObject() override { platform::free(m_bits); }

    uint32_t m_width = 0, m_height = 0;
    DWORD m_format = 0;
    size_t m_stride = 0;
    uint8_t* m_bits = nullptr;
    bool m_locked = false;
};

} // namespace

void InfoFromHeader(const ImageHeader& header, ImageInfo* info) {
    *info = ImageInfo{};
    info->RawDataFormat = FormatGuid(header.format);
    info->PixelFormat = header.alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    info->Width = info->TileWidth = header.width;
    info->Height = info->TileHeight = header.height;
    info->Xdpi = info->Ydpi = 96;
    info->Flags = header.alpha ? ImageFlagsHasAlpha : 0;
}

HRESULT CreateEncodedImage(EncodedPtr bytes, IImage** image) {
    if (!image) return E_FAIL;
    *image = nullptr;
    if (!bytes) return E_FAIL;
    auto* object = new (std::nothrow) EncodedImage;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->Open(std::move(bytes));
    if (hr != S_OK) {
        object->Release();
        return hr;
    }
    *image = object;
    return S_OK;
}

HRESULT CreateBitmapObject(uint32_t width, uint32_t height, DWORD pixelFormat,
                           const Pixmap* picture, IBitmapImage** bitmap) {
    if (!bitmap) return E_FAIL;
    *bitmap = nullptr;
    auto* object = new (std::nothrow) BitmapObject;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->Init(width, height, pixelFormat);
    if (hr != S_OK) {
        object->Release();
        return hr;
    }
    if (picture) object->Fill(*picture);
    *bitmap = object;
    return S_OK;
}

HRESULT DrawPicture(IRenderable* picture, HDC dc, const tagRECT* dstRect, const tagRECT* srcRect) {
    ImageBits* target = SelectedImage(dc);
    if (!target || !dstRect || srcRect) return E_FAIL;
    const int64_t width = int64_t(dstRect->right) - dstRect->left;
    const int64_t height = int64_t(dstRect->bottom) - dstRect->top;
    if (width <= 0 || height <= 0 || !ImageSizeAllowed(uint64_t(width), uint64_t(height)))
        return E_FAIL;
    Pixmap scaled;
    HRESULT hr = picture->Render(uint32_t(width), uint32_t(height), &scaled);
    if (hr != S_OK) return hr;
    // Clip the rectangle to the target once; the rows then copy whole spans.
    const int64_t x0 = dstRect->left < 0 ? -int64_t(dstRect->left) : 0;
    const int64_t y0 = dstRect->top < 0 ? -int64_t(dstRect->top) : 0;
    const int64_t x1 = std::min<int64_t>(width, int64_t(target->width) - dstRect->left);
    const int64_t y1 = std::min<int64_t>(height, int64_t(target->height) - dstRect->top);
    if (x0 >= x1 || y0 >= y1) return S_OK;
    const uint32_t span = uint32_t(x1 - x0);
    uint8_t flat[3 * 256];
    for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* in = scaled.Row(uint32_t(y)) + 4 * x0;
        const int ty = int(dstRect->top + y);
        const int tx = int(dstRect->left + x0);
        if (target->layout == PixelLayout::Bgr24) {
            FlattenBgra(in, target->RowAddress(ty) + 3 * tx, span);
            continue;
        }
        for (uint32_t done = 0; done < span;) {
            const uint32_t n = std::min<uint32_t>(256, span - done);
            FlattenBgra(in + 4 * done, flat, n);
            WriteRowBgr(*target, tx + int(done), ty, int(n), flat);
            done += n;
        }
    }
    return S_OK;
}

} // namespace zorva::platform
