// The factory, the frame decoder, and the reading of files and streams.
#include "backends/codecs/GifAnimation.h"
#include "system/files/FilesApi.h"
#include "system/imaging/ImageObjects.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorva::platform {

// The service's family of identifiers: {327ABDxx-072B-11D3-9D7B-0000F81EF32E}
// for classes and interfaces, {B96B3Cxx-0728-11D3-9D7B-0000F81EF32E} for
// file formats.
#define ZORVA_IMAGING_GUID(a)                                                                      \
    {                                                                                              \
        a, 0x072B, 0x11D3, {                                                                       \
            0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E                                         \
        }                                                                                          \
    }
#define ZORVA_FORMAT_GUID(a)                                                                       \
    {                                                                                              \
        a, 0x0728, 0x11D3, {                                                                       \
            0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E                                         \
        }                                                                                          \
    }
const GUID CLSID_ImagingFactory = ZORVA_IMAGING_GUID(0x327ABDA8);
const GUID IID_IImagingFactory = ZORVA_IMAGING_GUID(0x327ABDA7);
const GUID IID_IImage = ZORVA_IMAGING_GUID(0x327ABDA9);
const GUID IID_IBitmapImage = ZORVA_IMAGING_GUID(0x327ABDAA);
const GUID IID_IImageDecoder = ZORVA_IMAGING_GUID(0x327ABDAD);
const GUID IID_IImageSink = ZORVA_IMAGING_GUID(0x327ABDAE);
const GUID IID_IRenderable = ZORVA_IMAGING_GUID(0x327ABDF0);
const GUID ImageFormatBMP = ZORVA_FORMAT_GUID(0xB96B3CAB);
const GUID ImageFormatJPEG = ZORVA_FORMAT_GUID(0xB96B3CAE);
const GUID ImageFormatPNG = ZORVA_FORMAT_GUID(0xB96B3CAF);
const GUID ImageFormatGIF = ZORVA_FORMAT_GUID(0xB96B3CB0);
const GUID ImageFormatWEBP = ZORVA_FORMAT_GUID(0xB96B3CB7);
#undef ZORVA_IMAGING_GUID
#undef ZORVA_FORMAT_GUID
const GUID FrameDimensionTime = {
    0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};

namespace {

using backends::EncodedBytes;
using backends::FileFormat;
using backends::FlattenBgra;
using backends::GifAnimation;
using backends::SniffFormat;
using backends::Status;

// Rows, in order, into a sink a band at a time in the sink's format. Rows
// that come in another order are gathered whole and sent at the end.
class BandSender final : public RowConsumer {
public:
    static constexpr uint32_t kBandRows = 64;

    BandSender(IImageSink* sink, DWORD format) : m_sink(sink), m_format(format) {}
    ~BandSender() { platform::free(m_band); }

    Status Begin(uint32_t width, uint32_t height, bool inOrder) override {
        m_width = width;
        m_height = height;
        m_bytes = m_format == PixelFormat32bppARGB ? 4 : 3;
        if (!inOrder) return m_gathered.Allocate(width, height);
        m_band = static_cast<uint8_t*>(platform::malloc(size_t(width) * m_bytes * kBandRows));
        return m_band ? Status::Ok : Status::OutOfMemory;
    }
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override {
        if (!m_gathered.Empty()) {
            backends::PixmapWriter into(&m_gathered);
            return into.Row(y, pixels, first, step);
        }
        if (y != m_first + m_rows) return false;
        uint8_t* row = m_band + size_t(m_rows) * m_width * m_bytes;
        if (!pixels)
            std::memset(row, 0, size_t(m_width) * m_bytes);
        else if (m_bytes == 4)
            std::memcpy(row, pixels, size_t(m_width) * 4);
        else
            FlattenBgra(pixels, row, m_width);
        if (++m_rows == kBandRows || y + 1 == m_height) return Send();
        return true;
    }
    Status End() override {
        for (uint32_t y = 0; !m_gathered.Empty() && y < m_height; y += kBandRows) {
            // The gathered picture goes out in bands through the same path.
            if (!m_band) {
                m_band =
                    static_cast<uint8_t*>(platform::malloc(size_t(m_width) * m_bytes * kBandRows));
                if (!m_band) return Status::OutOfMemory;
            }
            for (uint32_t r = y; r < std::min(y + kBandRows, m_height); ++r) {
                const uint8_t* in = m_gathered.Row(r);
                uint8_t* row = m_band + size_t(r - y) * m_width * m_bytes;
                if (m_bytes == 4)
                    std::memcpy(row, in, size_t(m_width) * 4);
                else
                    FlattenBgra(in, row, m_width);
                ++m_rows;
            }
            if (!Send()) return Status::Refused;
        }
        if (m_first == m_height) return Status::Ok;
        return m_failure != S_OK ? Status::Refused : Status::Corrupt;
    }

    // What the sink answered when it refused a band, else S_OK.
    HRESULT Failure() const { return m_failure; }

private:
    bool Send() {
        BitmapData data{};
        data.Width = m_width;
        data.Height = m_rows;
        data.PixelFormat = m_format;
        data.Stride = int32_t(m_width * m_bytes);
        data.Scan0 = m_band;
        const tagRECT rect{0, int32_t(m_first), int32_t(m_width), int32_t(m_first + m_rows)};
        m_first += m_rows;
        m_rows = 0;
        m_failure = m_sink->PushPixelData(&rect, &data, m_first == m_height);
        return m_failure == S_OK;
    }

    IImageSink* m_sink;
    DWORD m_format;
    uint32_t m_width = 0, m_height = 0, m_bytes = 4;
    uint8_t* m_band = nullptr;
    uint32_t m_first = 0, m_rows = 0; // the band starts at row m_first and holds m_rows
    Pixmap m_gathered;
    HRESULT m_failure = S_OK;
};

// Takes a block of the platform allocator into shared encoded bytes.
HRESULT Adopt(uint8_t* data, size_t size, EncodedPtr* out) {
    auto* bytes = new (std::nothrow) EncodedBytes;
    if (!bytes) {
        platform::free(data);
        return E_OUTOFMEMORY;
    }
    bytes->data = data;
    bytes->size = size;
    // The control block's allocation may throw; shared_ptr then deletes
    // the bytes itself.
    try {
        *out = EncodedPtr(bytes);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Reads a stream from its position to its end, in steps, never more than
// the service's limit.
HRESULT ReadStream(IStream* stream, EncodedPtr* out) {
    constexpr ULONG kStep = 64 * 1024;
    uint8_t* data = nullptr;
    size_t size = 0, capacity = 0;
    for (;;) {
        if (capacity - size < kStep) {
            if (capacity >= kMaxEncodedBytes) {
                // Full to the limit: the stream may end right here, or one
                // byte more makes it too large.
                uint8_t probe = 0;
                ULONG more = 0;
                const HRESULT hr = stream->Read(&probe, 1, &more);
                if (hr >= 0 && more == 0) break;
                platform::free(data);
                return hr < 0 ? hr : IMGERR_TOOLARGE;
            }
            const size_t grown = capacity ? capacity * 2 : 4 * kStep;
            auto* bigger = static_cast<uint8_t*>(platform::realloc(data, grown));
            if (!bigger) {
                platform::free(data);
                return E_OUTOFMEMORY;
            }
            data = bigger;
            capacity = grown;
        }
        ULONG read = 0;
        const HRESULT hr = stream->Read(data + size, kStep, &read);
        if (hr < 0) {
            platform::free(data);
            return hr;
        }
        size += read > kStep ? kStep : read;
        if (read < kStep || hr == S_FALSE) break;
        if (size > kMaxEncodedBytes) {
            platform::free(data);
            return IMGERR_TOOLARGE;
        }
    }
    return Adopt(data, size, out);
}

HRESULT ReadWholeFile(const wchar_t* path, EncodedPtr* out) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == ZORVA_INVALID_HANDLE_VALUE) return HRESULT(0x80000000u | GetLastError());
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    HRESULT hr = S_OK;
    uint8_t* data = nullptr;
    const uint64_t size = uint64_t(high) << 32 | low;
    if (low == 0xFFFFFFFF && high == 0) {
        hr = HRESULT(0x80000000u | GetLastError());
    } else if (size > kMaxEncodedBytes) {
        hr = IMGERR_TOOLARGE;
    } else {
        data = static_cast<uint8_t*>(platform::malloc(size_t(size)));
        DWORD read = 0;
        if (!data)
            hr = E_OUTOFMEMORY;
        else if (!ReadFile(file, data, DWORD(size), &read, nullptr))
            hr = HRESULT(0x80000000u | GetLastError());
        else if (read != size)
            hr = IMGERR_CORRUPT; // the file shrank under us
    }
    CloseHandle(file);
    if (hr != S_OK) {
        platform::free(data);
        return hr;
    }
    return Adopt(data, size_t(size), out);
}

class Decoder final : public RefCounted<IImageDecoder> {
public:
    HRESULT Open(EncodedPtr bytes) {
        m_bytes = std::move(bytes);
        const FileFormat format = SniffFormat(m_bytes->data, m_bytes->size);
        if (format == FileFormat::Gif) {
            m_gif = new (std::nothrow) GifAnimation;
            if (!m_gif) return E_OUTOFMEMORY;
            const Status status = m_gif->Open(m_bytes);
            m_header = {FileFormat::Gif, m_gif->Width(), m_gif->Height(), m_gif->HasAlpha()};
            return FromStatus(status);
        }
        // The other formats are stills: the image object decodes them.
        IImage* image = nullptr;
        HRESULT hr = CreateEncodedImage(m_bytes, &image);
        if (hr != S_OK) return hr;
        hr = image->QueryInterface(IID_IRenderable, reinterpret_cast<void**>(&m_still));
        image->Release();
        if (hr != S_OK) return hr;
        ImageInfo info;
        m_still->Info(&info);
        m_header = {format, info.Width, info.Height, (info.PixelFormat & PixelFormatAlpha) != 0};
        return S_OK;
    }

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IImageDecoder, this}});
    }

    HRESULT GetImageInfo(ImageInfo* info) override {
        if (!info) return E_FAIL;
        InfoFromHeader(m_header, info);
        return S_OK;
    }
    HRESULT GetFrameCount(const GUID* dimension, uint32_t* count) override {
        if (!dimension || !count || !IsEqualGUID(*dimension, FrameDimensionTime)) return E_FAIL;
        *count = m_gif ? m_gif->FrameCount() : 1;
        return S_OK;
    }
    HRESULT SelectActiveFrame(const GUID* dimension, uint32_t index) override {
        uint32_t count = 0;
        HRESULT hr = GetFrameCount(dimension, &count);
        if (hr != S_OK) return hr;
        if (index >= count) return E_FAIL;
        m_active = index;
        return S_OK;
    }

    HRESULT BeginDecode(IImageSink* sink, void* properties) override {
        if (!sink || properties || m_sink) return E_FAIL;
        ImageInfo info;
        InfoFromHeader(m_header, &info);
        HRESULT hr = sink->BeginSink(&info, nullptr);
        if (hr != S_OK) return hr;
        if (info.PixelFormat != PixelFormat24bppRGB && info.PixelFormat != PixelFormat32bppARGB) {
            sink->EndSink(E_FAIL);
            return E_FAIL;
        }
        sink->AddRef();
        m_sink = sink;
        m_sinkFormat = info.PixelFormat;
        m_nextRow = 0;
        m_frame = nullptr;
        m_status = S_OK;
        return S_OK;
    }

    // A still, or a GIF's first frame (which needs nothing composed under
    // it): the first call decodes it, handing the sink each band of rows as
    // it is decoded, and is the only call. A later GIF frame: the first call
    // composes it, each call then hands the sink one band of its rows.
    HRESULT Decode() override {
        if (!m_sink) return E_FAIL;
        if (m_status != S_OK) return m_status;
        if (!m_gif || m_active == 0) {
            if (m_nextRow == m_header.height) return S_OK;
            BandSender sender(m_sink, m_sinkFormat);
            const backends::Rect all{0, 0, int32_t(m_header.width), int32_t(m_header.height)};
            if (m_gif) {
                Status status = m_gif->SendFirstFrame(sender);
                if (status == Status::Ok) status = sender.End();
                m_status = FromStatus(status);
            } else {
                m_status = m_still->RenderRows(m_header.width, m_header.height, all, sender);
            }
            // A sink that refused a band says why.
            if (m_status != S_OK && sender.Failure() != S_OK) m_status = sender.Failure();
            if (m_status == S_OK) m_nextRow = m_header.height;
            return m_status;
        }
        if (!m_frame) {
            const HRESULT hr = FromStatus(m_gif->Compose(m_active, &m_frame));
            if (hr != S_OK) return m_status = hr;
            if (m_sinkFormat == PixelFormat24bppRGB && !m_band) {
                m_band =
                    static_cast<uint8_t*>(platform::malloc(size_t(m_header.width) * 3 * kBandRows));
                if (!m_band) return m_status = E_OUTOFMEMORY;
            }
        }
        const uint32_t rows = std::min(kBandRows, m_header.height - m_nextRow);
        BitmapData data{};
        data.Width = m_header.width;
        data.Height = rows;
        data.PixelFormat = m_sinkFormat;
        if (m_sinkFormat == PixelFormat32bppARGB) {
            data.Stride = int32_t(m_frame->Stride());
            data.Scan0 = const_cast<uint8_t*>(m_frame->Row(m_nextRow));
        } else {
            data.Stride = int32_t(m_header.width * 3);
            for (uint32_t y = 0; y < rows; ++y)
                FlattenBgra(m_frame->Row(m_nextRow + y), m_band + size_t(y) * data.Stride,
                            m_header.width);
            data.Scan0 = m_band;
        }
        const tagRECT rect{0, int32_t(m_nextRow), int32_t(m_header.width),
                           int32_t(m_nextRow + rows)};
        m_nextRow += rows;
        HRESULT hr = m_sink->PushPixelData(&rect, &data, m_nextRow == m_header.height);
        if (hr != S_OK) return m_status = hr;
        return m_nextRow < m_header.height ? E_PENDING : S_OK;
    }

    HRESULT EndDecode(HRESULT status) override {
        if (!m_sink) return E_FAIL;
        HRESULT hr = m_sink->EndSink(status);
        m_sink->Release();
        m_sink = nullptr;
        m_frame = nullptr;
        return hr;
    }

    HRESULT GetPropertyItemSize(DWORD propId, uint32_t* size) override {
        if (!size) return E_FAIL;
        *size = 0;
        if (propId != PropertyTagFrameDelay || !m_gif) return IMGERR_PROPERTYNOTFOUND;
        *size = uint32_t(sizeof(PropertyItem) + sizeof(int32_t) * m_gif->FrameCount());
        return S_OK;
    }
    HRESULT GetPropertyItem(DWORD propId, uint32_t size, PropertyItem* buffer) override {
        uint32_t needed = 0;
        HRESULT hr = GetPropertyItemSize(propId, &needed);
        if (hr != S_OK) return hr;
        if (!buffer || size < needed) return E_FAIL;
        auto* values = reinterpret_cast<uint8_t*>(buffer) + sizeof(PropertyItem);
        buffer->id = PropertyTagFrameDelay;
        buffer->length = uint32_t(sizeof(int32_t) * m_gif->FrameCount());
        buffer->type = PropertyTagTypeLong;
        buffer->value = values;
        for (uint32_t i = 0; i < m_gif->FrameCount(); ++i) {
            const int32_t delay = m_gif->Frame(i).delay;
            std::memcpy(values + sizeof(int32_t) * i, &delay, sizeof delay);
        }
        return S_OK;
    }

private:
    static constexpr uint32_t kBandRows = 64;

    ~Decoder() override {
        if (m_sink) m_sink->Release();
        if (m_still) m_still->Release();
        delete m_gif;
        platform::free(m_band);
    }

    EncodedPtr m_bytes;
    ImageHeader m_header;
    GifAnimation* m_gif = nullptr;
    IRenderable* m_still = nullptr;
    uint32_t m_active = 0;

    IImageSink* m_sink = nullptr;
    DWORD m_sinkFormat = 0;
    const Pixmap* m_frame = nullptr;
    uint32_t m_nextRow = 0;
    HRESULT m_status = S_OK;
    uint8_t* m_band = nullptr;
};

class Factory final : public RefCounted<IImagingFactory> {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IImagingFactory, this}});
    }

    HRESULT CreateImageFromStream(IStream* stream, IImage** image) override {
        if (!image) return E_FAIL;
        *image = nullptr;
        if (!stream) return E_FAIL;
        EncodedPtr bytes;
        HRESULT hr = ReadStream(stream, &bytes);
        if (hr != S_OK) return hr;
        return CreateEncodedImage(std::move(bytes), image);
    }
    HRESULT CreateImageFromFile(const wchar_t* path, IImage** image) override {
        if (!image) return E_FAIL;
        *image = nullptr;
        if (!path) return E_FAIL;
        EncodedPtr bytes;
        HRESULT hr = ReadWholeFile(path, &bytes);
        if (hr != S_OK) return hr;
        return CreateEncodedImage(std::move(bytes), image);
    }
    HRESULT CreateNewBitmap(uint32_t width, uint32_t height, DWORD pixelFormat,
                            IBitmapImage** bitmap) override {
        return CreateBitmapObject(width, height, pixelFormat, nullptr, bitmap);
    }
    HRESULT CreateBitmapFromImage(IImage* image, uint32_t width, uint32_t height, DWORD pixelFormat,
                                  int, IBitmapImage** bitmap) override {
        if (!bitmap) return E_FAIL;
        *bitmap = nullptr;
        if (!image) return E_FAIL;
        IRenderable* picture = nullptr;
        if (image->QueryInterface(IID_IRenderable, reinterpret_cast<void**>(&picture)) != S_OK)
            return E_FAIL;
        if (pixelFormat == 0) {
            ImageInfo info;
            picture->Info(&info);
            pixelFormat = info.PixelFormat;
        }
        // The bitmap renders the picture when its pixels are first needed,
        // and then only the rectangle locked.
        HRESULT hr = E_FAIL;
        if (ImageSizeAllowed(width, height) &&
            (pixelFormat == PixelFormat24bppRGB || pixelFormat == PixelFormat32bppARGB))
            hr = CreateBitmapObject(width, height, pixelFormat, picture, bitmap);
        picture->Release();
        return hr;
    }
    HRESULT CreateImageDecoder(IStream* stream, DWORD, IImageDecoder** decoder) override {
        if (!decoder) return E_FAIL;
        *decoder = nullptr;
        if (!stream) return E_FAIL;
        EncodedPtr bytes;
        HRESULT hr = ReadStream(stream, &bytes);
        if (hr != S_OK) return hr;
        auto* object = new (std::nothrow) Decoder;
        if (!object) return E_OUTOFMEMORY;
        hr = object->Open(std::move(bytes));
        if (hr != S_OK) {
            object->Release();
            return hr;
        }
        *decoder = object;
        return S_OK;
    }

private:
    ~Factory() override = default;
};

} // namespace

HRESULT CreateImagingFactory(const GUID& iid, void** object) {
    if (!object) return E_FAIL;
    *object = nullptr;
    auto* factory = new (std::nothrow) Factory;
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

} // namespace zorva::platform
