// Images over encoded bytes, and bitmaps in memory with their three views.
#include "system/imaging/ImageObjects.h"

#include "backends/codecs/GifAnimation.h"
#include "system/gdi/Gdi.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

using namespace backends; // the codecs and the scaler

// A bitmap's own raw format: pixels in memory rather than a file.
const GUID ImageFormatMemoryBMP = {
    0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

bool IsKnownFormat(DWORD format) {
    return format == PixelFormat24bppRGB || format == PixelFormat32bppARGB;
}

uint32_t BytesPerPixel(DWORD format) {
    return format == PixelFormat32bppARGB ? 4 : 3;
}

size_t StrideOf(uint32_t width, DWORD format) {
    return (size_t(width) * BytesPerPixel(format) + 3) & ~size_t(3);
}

// Rows of B, G, R, A into memory in a bitmap's format: 32 bits as they
// are, 24 bits shown over black. Any order.
class BitmapWriter final : public RowConsumer {
public:
    BitmapWriter(uint8_t* bits, size_t stride, uint32_t width, uint32_t height, DWORD format)
        : m_bits(bits), m_stride(stride), m_width(width), m_height(height), m_format(format) {}
    Status Begin(uint32_t width, uint32_t height, bool) override {
        return width == m_width && height == m_height ? Status::Ok : Status::Refused;
    }
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override {
        if (y >= m_height) return false;
        uint8_t* row = m_bits + size_t(y) * m_stride;
        const uint32_t bytes = BytesPerPixel(m_format);
        const uint32_t n = RowPixels(m_width, first, step);
        if (!pixels) {
            std::memset(row, 0, size_t(m_width) * bytes);
        } else if (step == 1) {
            if (bytes == 4)
                std::memcpy(row + 4 * size_t(first), pixels, 4 * size_t(n));
            else
                FlattenBgra(pixels, row + 3 * size_t(first), n);
        } else {
            for (uint32_t i = 0; i < n; ++i) {
                uint8_t* at = row + bytes * (size_t(first) + size_t(i) * step);
                if (bytes == 4)
                    std::memcpy(at, pixels + 4 * size_t(i), 4);
                else
                    FlattenBgra(pixels + 4 * size_t(i), at, 1);
            }
        }
        return true;
    }
    Status End() override { return Status::Ok; }
    uint8_t* Whole(int32_t* stride) override {
        if (m_format != PixelFormat32bppARGB) return nullptr;
        *stride = int32_t(m_stride);
        return m_bits;
    }

private:
    uint8_t* m_bits;
    size_t m_stride;
    uint32_t m_width, m_height;
    DWORD m_format;
};

// Rows shown over black, passed on: what a 24-bit bitmap holds of a
// picture with alpha.
class Flattener final : public RowConsumer {
public:
    explicit Flattener(RowConsumer& out) : m_out(out) {}
    ~Flattener() { platform::free(m_row); }
    Status Begin(uint32_t width, uint32_t height, bool inOrder) override {
        m_width = width;
        m_row = static_cast<uint8_t*>(platform::malloc(size_t(width) * 4));
        return m_row ? m_out.Begin(width, height, inOrder) : Status::OutOfMemory;
    }
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override {
        if (!pixels) return m_out.Row(y, nullptr, first, step);
        for (uint32_t i = 0, n = RowPixels(m_width, first, step); i < n; ++i) {
            FlattenBgra(pixels + 4 * size_t(i), m_row + 4 * size_t(i), 1);
            m_row[4 * i + 3] = 255;
        }
        return m_out.Row(y, m_row, first, step);
    }
    Status End() override { return m_out.End(); }

private:
    RowConsumer& m_out;
    uint8_t* m_row = nullptr;
    uint32_t m_width = 0;
};

HRESULT ThumbnailOf(IRenderable* picture, bool alpha, uint32_t width, uint32_t height,
                    IImage** thumbnail) {
    if (!thumbnail) return E_FAIL;
    *thumbnail = nullptr;
    IBitmapImage* bitmap = nullptr;
    HRESULT hr = CreateBitmapObject(
        width, height, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB, picture, &bitmap);
    if (hr != S_OK) return hr;
    hr = bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(thumbnail));
    bitmap->Release();
    return hr;
}

class EncodedImage final : public RefCounted<IImage, IRenderable> {
public:
    // Takes the source.
    HRESULT Open(Source* source) {
        m_source = source;
        FileFormat format = FileFormat::Unknown;
        Status status = SniffFormat(*m_source, &format);
        if (status != Status::Ok) return Result(status);
        status = Status::UnknownFormat;
        switch (format) {
        case FileFormat::Png:
            status = PngReadHeader(*m_source, &m_header);
            break;
        case FileFormat::Jpeg:
            status = JpegReadHeader(*m_source, &m_header);
            break;
        case FileFormat::Bmp:
            status = BmpReadHeader(*m_source, &m_header);
            break;
        case FileFormat::Webp:
            status = WebpReadHeader(*m_source, &m_header);
            break;
        case FileFormat::Gif:
            m_gif = new (std::nothrow) GifAnimation(*m_source);
            if (!m_gif) return E_OUTOFMEMORY;
            status = m_gif->Open();
            m_header = {FileFormat::Gif, m_gif->Width(), m_gif->Height(), m_gif->HasAlpha()};
            break;
        case FileFormat::Unknown:
            break;
        }
        return Result(status);
    }

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object,
                               {{IID_IImage, static_cast<IImage*>(this)},
                                {IID_IRenderable, static_cast<IRenderable*>(this)}});
    }

    HRESULT GetImageInfo(ImageInfo* info) override {
        if (!info) return E_FAIL;
        Info(info);
        return S_OK;
    }
    HRESULT Draw(HDC dc, const tagRECT* dstRect, const tagRECT* srcRect) override {
        return DrawPicture(this, dc, dstRect, srcRect);
    }
    HRESULT PushIntoSink(IImageSink* sink) override { return PushPicture(this, sink); }
    HRESULT GetThumbnail(uint32_t width, uint32_t height, IImage** thumbnail) override {
        return ThumbnailOf(this, m_header.alpha, width, height, thumbnail);
    }

    void Info(ImageInfo* info) override { InfoFromHeader(m_header, info); }

    // Decoded afresh for every request, from the file's first byte,
    // straight into the scaler: a kept image costs its open file (or
    // stream), never its bytes or its picture. (A JPEG or WebP asked for at
    // a smaller size is shrunk by its codec as it decodes.)
    HRESULT RenderRows(uint32_t width, uint32_t height, const Rect& window,
                       RowConsumer& out) override {
        Scaler scaler(width, height, window, m_header.alpha, out);
        Status status = Status::Refused;
        switch (m_header.format) {
        case FileFormat::Png:
            status = PngDecodeRows(*m_source, scaler);
            break;
        case FileFormat::Jpeg:
            status = JpegDecodeRows(*m_source, width, height, scaler);
            break;
        case FileFormat::Bmp:
            status = BmpDecodeRows(*m_source, scaler);
            break;
        case FileFormat::Webp:
            status = WebpDecodeRows(*m_source, width, height, scaler);
            break;
        case FileFormat::Gif:
            status = m_gif->SendFirstFrame(scaler);
            break;
        case FileFormat::Unknown:
            break;
        }
        return Result(status == Status::Ok ? scaler.End() : status);
    }

private:
    ~EncodedImage() override {
        delete m_gif;
        delete m_source;
    }

    HRESULT Result(Status status) const {
        return status == Status::ReadFailed ? m_source->Failure() : FromStatus(status);
    }

    Source* m_source = nullptr;
    ImageHeader m_header;
    GifAnimation* m_gif = nullptr;
};

class BitmapObject final : public RefCounted<IBitmapImage, IImage, IImageSink, IRenderable> {
public:
    HRESULT Init(uint32_t width, uint32_t height, DWORD format, IRenderable* source) {
        if (!IsKnownFormat(format) || !ImageSizeAllowed(width, height)) return E_FAIL;
        m_width = width;
        m_height = height;
        m_format = format;
        m_stride = StrideOf(width, format);
        if (source) {
            m_source = source;
            m_source->AddRef();
            return S_OK;
        }
        m_bits = static_cast<uint8_t*>(platform::malloc(m_stride * height));
        if (!m_bits) return E_OUTOFMEMORY;
        std::memset(m_bits, 0, m_stride * height);
        return S_OK;
    }

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object,
                               {{IID_IBitmapImage, static_cast<IBitmapImage*>(this)},
                                {IID_IImage, static_cast<IImage*>(this)},
                                {IID_IImageSink, static_cast<IImageSink*>(this)},
                                {IID_IRenderable, static_cast<IRenderable*>(this)}});
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
        data->PixelFormat = m_format;
        data->Reserved = 0;
        if (m_source && !(flags & ImageLockModeWrite)) {
            // Only the rectangle is rendered, into memory of its own.
            const size_t stride = StrideOf(data->Width, m_format);
            m_window = static_cast<uint8_t*>(platform::malloc(stride * data->Height));
            if (!m_window) return E_OUTOFMEMORY;
            BitmapWriter writer(m_window, stride, data->Width, data->Height, m_format);
            const HRESULT hr = RenderSource(Rect{r.left, r.top, r.right, r.bottom}, writer);
            if (hr != S_OK) {
                platform::free(m_window);
                m_window = nullptr;
                return hr;
            }
            data->Stride = int32_t(stride);
            data->Scan0 = m_window;
        } else {
            const HRESULT hr = Materialize();
            if (hr != S_OK) return hr;
            data->Stride = int32_t(m_stride);
            data->Scan0 =
                m_bits + size_t(r.top) * m_stride + size_t(r.left) * BytesPerPixel(m_format);
        }
        m_locked = true;
        return S_OK;
    }
    HRESULT UnlockBits(const BitmapData* data) override {
        if (!data || !m_locked) return E_FAIL;
        platform::free(m_window);
        m_window = nullptr;
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
    HRESULT PushIntoSink(IImageSink* sink) override { return PushPicture(this, sink); }
    HRESULT GetThumbnail(uint32_t width, uint32_t height, IImage** thumbnail) override {
        return ThumbnailOf(this, m_format == PixelFormat32bppARGB, width, height, thumbnail);
    }

    // ---- IImageSink
    HRESULT BeginSink(ImageInfo* info, tagRECT*) override {
        if (!info || info->Width != m_width || info->Height != m_height) return E_FAIL;
        const HRESULT hr = Materialize();
        if (hr != S_OK) return hr;
        info->PixelFormat = m_format;
        return S_OK;
    }
    HRESULT EndSink(HRESULT) override { return S_OK; }
    HRESULT PushPixelData(const tagRECT* rect, BitmapData* data, BOOL) override {
        if (!m_bits || !rect || !data || !data->Scan0 || data->PixelFormat != m_format ||
            rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || uint32_t(rect->right) > m_width ||
            uint32_t(rect->bottom) > m_height ||
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
    // The bitmap's picture scaled: straight from the source when it has not
    // been rendered yet (rendered at the bitmap's size on the way), else
    // from its pixels.
    HRESULT RenderRows(uint32_t width, uint32_t height, const Rect& window,
                       RowConsumer& out) override {
        const bool alpha = m_format == PixelFormat32bppARGB;
        Scaler scaler(width, height, window, alpha, out);
        if (m_source) return RenderSource(Rect{0, 0, int32_t(m_width), int32_t(m_height)}, scaler);
        Status status = scaler.Begin(m_width, m_height, true);
        uint8_t* row = nullptr;
        if (status == Status::Ok && !alpha) {
            row = static_cast<uint8_t*>(platform::malloc(size_t(m_width) * 4));
            if (!row) status = Status::OutOfMemory;
        }
        for (uint32_t y = 0; status == Status::Ok && y < m_height; ++y) {
            const uint8_t* in = m_bits + y * m_stride;
            if (!alpha) {
                for (uint32_t x = 0; x < m_width; ++x) {
                    std::memcpy(row + 4 * size_t(x), in + 3 * size_t(x), 3);
                    row[4 * x + 3] = 255;
                }
                in = row;
            }
            if (!scaler.Row(y, in, 0, 1)) status = Status::Refused;
        }
        platform::free(row);
        return FromStatus(status == Status::Ok ? scaler.End() : status);
    }

private:
    ~BitmapObject() override {
        if (m_source) m_source->Release();
        platform::free(m_bits);
        platform::free(m_window);
    }

    // The source at the bitmap's size, the rows of `window` to `out`; a
    // 24-bit bitmap holds the source shown over black (an opaque source
    // shows as it is).
    HRESULT RenderSource(const Rect& window, RowConsumer& out) {
        ImageInfo source;
        m_source->Info(&source);
        if (m_format == PixelFormat32bppARGB || !(source.PixelFormat & PixelFormatAlpha))
            return m_source->RenderRows(m_width, m_height, window, out);
        Flattener flat(out);
        return m_source->RenderRows(m_width, m_height, window, flat);
    }

    // Renders the source whole into the bitmap's own pixels, once.
    HRESULT Materialize() {
        if (!m_source) return S_OK;
        m_bits = static_cast<uint8_t*>(platform::malloc(m_stride * m_height));
        if (!m_bits) return E_OUTOFMEMORY;
        std::memset(m_bits, 0, m_stride * m_height);
        BitmapWriter writer(m_bits, m_stride, m_width, m_height, m_format);
        const HRESULT hr = RenderSource(Rect{0, 0, int32_t(m_width), int32_t(m_height)}, writer);
        if (hr != S_OK) {
            platform::free(m_bits);
            m_bits = nullptr;
            return hr;
        }
        m_source->Release();
        m_source = nullptr;
        return S_OK;
    }

    uint32_t m_width = 0, m_height = 0;
    DWORD m_format = 0;
    size_t m_stride = 0;
    uint8_t* m_bits = nullptr;       // the pixels, once there are any
    IRenderable* m_source = nullptr; // the picture not yet rendered
    uint8_t* m_window = nullptr;     // a locked rectangle rendered on its own
    bool m_locked = false;
};

// Rows into a drawing context's image at an offset, shown over black.
class SectionWriter final : public RowConsumer {
public:
    SectionWriter(const ImageBits& target, int x, int y) : m_target(target), m_x(x), m_y(y) {}
    Status Begin(uint32_t width, uint32_t, bool) override {
        m_width = width;
        return Status::Ok;
    }
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override {
        const int ty = m_y + int(y);
        uint8_t flat[3 * 256];
        if (!pixels) {
            std::memset(flat, 0, sizeof flat);
            for (uint32_t done = 0; done < m_width;) {
                const uint32_t n = std::min<uint32_t>(256, m_width - done);
                WriteRowBgr(m_target, m_x + int(done), ty, int(n), flat);
                done += n;
            }
            return true;
        }
        const uint32_t count = RowPixels(m_width, first, step);
        if (step != 1) {
            for (uint32_t i = 0; i < count; ++i) {
                FlattenBgra(pixels + 4 * size_t(i), flat, 1);
                WriteRowBgr(m_target, m_x + int(first + i * step), ty, 1, flat);
            }
            return true;
        }
        const int tx = m_x + int(first);
        if (m_target.layout == PixelLayout::Bgr24) {
            FlattenBgra(pixels, m_target.RowAddress(ty) + 3 * tx, count);
            return true;
        }
        for (uint32_t done = 0; done < count;) {
            const uint32_t n = std::min<uint32_t>(256, count - done);
            FlattenBgra(pixels + 4 * size_t(done), flat, n);
            WriteRowBgr(m_target, tx + int(done), ty, int(n), flat);
            done += n;
        }
        return true;
    }
    Status End() override { return Status::Ok; }

private:
    const ImageBits& m_target;
    int m_x, m_y;
    uint32_t m_width = 0;
};

const GUID& FormatGuid(FileFormat format) {
    static const GUID unknown{};
    switch (format) {
    case FileFormat::Png:
        return ImageFormatPNG;
    case FileFormat::Jpeg:
        return ImageFormatJPEG;
    case FileFormat::Gif:
        return ImageFormatGIF;
    case FileFormat::Bmp:
        return ImageFormatBMP;
    case FileFormat::Webp:
        return ImageFormatWEBP;
    case FileFormat::Unknown:
        break;
    }
    return unknown;
}

} // namespace

HRESULT FromStatus(backends::Status status) {
    switch (status) {
    case backends::Status::Ok:
        return S_OK;
    case backends::Status::Refused:
        return E_FAIL;
    case backends::Status::OutOfMemory:
        return E_OUTOFMEMORY;
    case backends::Status::UnknownFormat:
        return IMGERR_UNKNOWNFORMAT;
    case backends::Status::Corrupt:
        return IMGERR_CORRUPT;
    case backends::Status::TooLarge:
        return IMGERR_TOOLARGE;
    case backends::Status::ReadFailed: // the source says why
        break;
    }
    return E_FAIL;
}

void InfoFromHeader(const ImageHeader& header, ImageInfo* info) {
    *info = ImageInfo{};
    info->RawDataFormat = FormatGuid(header.format);
    info->PixelFormat = header.alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    info->Width = info->TileWidth = header.width;
    info->Height = info->TileHeight = header.height;
    info->Xdpi = info->Ydpi = 96;
    info->Flags = header.alpha ? ImageFlagsHasAlpha : 0;
}

HRESULT CreateEncodedImage(Source* source, IImage** image) {
    *image = nullptr;
    auto* object = new (std::nothrow) EncodedImage;
    if (!object) {
        delete source;
        return E_OUTOFMEMORY;
    }
    HRESULT hr = object->Open(source);
    if (hr != S_OK) {
        object->Release();
        return hr;
    }
    *image = object;
    return S_OK;
}

HRESULT RenderPixmap(IRenderable* picture, uint32_t width, uint32_t height, Pixmap* out) {
    if (!picture || !out) return E_FAIL;
    out->Reset();
    if (!ImageSizeAllowed(width, height)) return E_FAIL;
    backends::PixmapWriter writer(out);
    const HRESULT hr = picture->RenderRows(
        width, height, backends::Rect{0, 0, int32_t(width), int32_t(height)}, writer);
    if (hr != S_OK) out->Reset();
    return hr;
}

HRESULT CreateBitmapObject(uint32_t width, uint32_t height, DWORD pixelFormat, IRenderable* source,
                           IBitmapImage** bitmap) {
    if (!bitmap) return E_FAIL;
    *bitmap = nullptr;
    auto* object = new (std::nothrow) BitmapObject;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->Init(width, height, pixelFormat, source);
    if (hr != S_OK) {
        object->Release();
        return hr;
    }
    *bitmap = object;
    return S_OK;
}

using backends::Status;

Status BandSender::Begin(uint32_t width, uint32_t height, bool inOrder) {
    m_width = width;
    m_height = height;
    m_bytes = m_format == PixelFormat32bppARGB ? 4 : 3;
    m_stride = size_t(width) * m_bytes;
    m_bandRows = uint32_t(std::min<size_t>(64, std::max<size_t>(1, kBandBytes / m_stride)));
    m_gathered = !inOrder;
    m_band = static_cast<uint8_t*>(platform::malloc(m_stride * (m_gathered ? height : m_bandRows)));
    if (!m_band) return Status::OutOfMemory;
    if (m_gathered) std::memset(m_band, 0, m_stride * height);
    return Status::Ok;
}

bool BandSender::Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) {
    if (m_gathered) {
        if (y >= m_height) return false;
        uint8_t* row = m_band + size_t(y) * m_stride;
        if (!pixels) {
            std::memset(row, 0, m_stride);
            return true;
        }
        for (uint32_t i = 0, n = RowPixels(m_width, first, step); i < n; ++i) {
            uint8_t* at = row + m_bytes * (size_t(first) + size_t(i) * step);
            if (m_bytes == 4)
                std::memcpy(at, pixels + 4 * size_t(i), 4);
            else
                FlattenBgra(pixels + 4 * size_t(i), at, 1);
        }
        return true;
    }
    if (y != m_first + m_rows) return false;
    uint8_t* row = m_band + size_t(m_rows) * m_stride;
    if (!pixels)
        std::memset(row, 0, m_stride);
    else if (m_bytes == 4)
        std::memcpy(row, pixels, m_stride);
    else
        FlattenBgra(pixels, row, m_width);
    if (++m_rows == m_bandRows || y + 1 == m_height) return Send(m_band);
    return true;
}

Status BandSender::End() {
    // The gathered picture goes out in bands, straight from where it lies.
    while (m_gathered && m_first < m_height) {
        m_rows = std::min(m_bandRows, m_height - m_first);
        if (!Send(m_band + size_t(m_first) * m_stride)) return Status::Refused;
    }
    if (m_first == m_height) return Status::Ok;
    return m_failure != S_OK ? Status::Refused : Status::Corrupt;
}

bool BandSender::Send(const uint8_t* rows) {
    BitmapData data{};
    data.Width = m_width;
    data.Height = m_rows;
    data.PixelFormat = m_format;
    data.Stride = int32_t(m_stride);
    data.Scan0 = const_cast<uint8_t*>(rows);
    const tagRECT rect{0, int32_t(m_first), int32_t(m_width), int32_t(m_first + m_rows)};
    m_first += m_rows;
    m_rows = 0;
    m_failure = m_sink->PushPixelData(&rect, &data, m_first == m_height);
    return m_failure == S_OK;
}

HRESULT PushPicture(IRenderable* picture, IImageSink* sink) {
    if (!sink) return E_FAIL;
    ImageInfo info;
    picture->Info(&info);
    HRESULT hr = sink->BeginSink(&info, nullptr);
    if (hr != S_OK) return hr;
    if (info.PixelFormat != PixelFormat24bppRGB && info.PixelFormat != PixelFormat32bppARGB) {
        sink->EndSink(E_FAIL);
        return E_FAIL;
    }
    BandSender sender(sink, info.PixelFormat);
    hr = picture->RenderRows(info.Width, info.Height,
                             Rect{0, 0, int32_t(info.Width), int32_t(info.Height)}, sender);
    // A sink that refused a band says why.
    if (hr != S_OK && sender.Failure() != S_OK) hr = sender.Failure();
    const HRESULT ended = sink->EndSink(hr);
    return hr != S_OK ? hr : ended;
}

HRESULT DrawPicture(IRenderable* picture, HDC dc, const tagRECT* dstRect, const tagRECT* srcRect) {
    ImageBits* target = SelectedImage(dc);
    if (!target || !dstRect || srcRect) return E_FAIL;
    const int64_t width = int64_t(dstRect->right) - dstRect->left;
    const int64_t height = int64_t(dstRect->bottom) - dstRect->top;
    if (width <= 0 || height <= 0 || !ImageSizeAllowed(uint64_t(width), uint64_t(height)))
        return E_FAIL;
    // Only the part that lands on the target is rendered.
    const int64_t x0 = dstRect->left < 0 ? -int64_t(dstRect->left) : 0;
    const int64_t y0 = dstRect->top < 0 ? -int64_t(dstRect->top) : 0;
    const int64_t x1 = std::min<int64_t>(width, int64_t(target->width) - dstRect->left);
    const int64_t y1 = std::min<int64_t>(height, int64_t(target->height) - dstRect->top);
    if (x0 >= x1 || y0 >= y1) return S_OK;
    SectionWriter writer(*target, int(dstRect->left + x0), int(dstRect->top + y0));
    return picture->RenderRows(uint32_t(width), uint32_t(height),
                               backends::Rect{int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1)},
                               writer);
}

} // namespace zorva::platform
