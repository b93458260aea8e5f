// The factory and the frame decoder.
#include "backends/codecs/GifAnimation.h"
#include "system/imaging/ImageObjects.h"
#include "system/imaging/Sources.h"
#include "system/streams/Streams.h"

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

using backends::FileFormat;
using backends::FlattenBgra;
using backends::GifAnimation;
using backends::SniffFormat;
using backends::Status;

class Decoder final : public RefCounted<IImageDecoder> {
public:
    // Takes the source.
    HRESULT Open(Source* source) {
        FileFormat format = FileFormat::Unknown;
        const Status sniffed = SniffFormat(*source, &format);
        if (sniffed != Status::Ok || format == FileFormat::Gif) {
            m_source = source;
            if (sniffed != Status::Ok) return Result(sniffed);
            m_gif = new (std::nothrow) GifAnimation(*m_source);
            if (!m_gif) return E_OUTOFMEMORY;
            const Status status = m_gif->Open();
            m_header = {FileFormat::Gif, m_gif->Width(), m_gif->Height(), m_gif->HasAlpha()};
            return Result(status);
        }
        // The other formats are stills: the image object decodes them.
        IImage* image = nullptr;
        HRESULT hr = CreateEncodedImage(source, &image);
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
                m_status = Result(status);
            } else {
                m_status = m_still->RenderRows(m_header.width, m_header.height, all, sender);
            }
            // A sink that refused a band says why.
            if (m_status != S_OK && sender.Failure() != S_OK) m_status = sender.Failure();
            if (m_status == S_OK) m_nextRow = m_header.height;
            return m_status;
        }
        if (!m_frame) {
            const HRESULT hr = Result(m_gif->Compose(m_active, &m_frame));
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
        delete m_source;
        platform::free(m_band);
    }

    HRESULT Result(Status status) const {
        return status == Status::ReadFailed ? m_source->Failure() : FromStatus(status);
    }

    Source* m_source = nullptr; // a GIF's (a still's is its image's)
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
        Source* source = nullptr;
        HRESULT hr = OpenStreamSource(stream, &source);
        if (hr != S_OK) return hr;
        hr = CreateEncodedImage(source, image);
        // As if read to its end (the header's reads moved it).
        stream->Seek(0, STREAM_SEEK_END, nullptr);
        return hr;
    }
    HRESULT CreateImageFromFile(const wchar_t* path, IImage** image) override {
        if (!image) return E_FAIL;
        *image = nullptr;
        if (!path) return E_FAIL;
        Source* source = nullptr;
        const HRESULT hr = OpenFileSource(path, &source);
        if (hr != S_OK) return hr;
        return CreateEncodedImage(source, image);
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
        Source* source = nullptr;
        HRESULT hr = OpenStreamSource(stream, &source);
        if (hr != S_OK) return hr;
        auto* object = new (std::nothrow) Decoder;
        if (!object) {
            delete source;
            return E_OUTOFMEMORY;
        }
        hr = object->Open(source);
        stream->Seek(0, STREAM_SEEK_END, nullptr);
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
