// Animated GIF loading: frames side by side in one bitmap, with their
// delays.
#include "CCEBitmap.h"
#include "bitmap/BitmapState.h"
#include "core/Pixel565.h"
#include "core/Sections.h"
#include "core/SharedBlock.h"
#include "system/com/Com.h"
#include "system/gdi/GdiApi.h"
#include "system/imaging/Imaging.h"
#include "system/streams/Streams.h"

#include <cstring>

namespace pf = zorva::platform;

namespace {

// What LoadGIF holds during the call, given back on every exit.
struct GifLoad {
    IStream* stream = nullptr;
    IImageDecoder* decoder = nullptr;
    IBitmapImage* bitmap = nullptr;
    IImageSink* sink = nullptr;
    IImage* image = nullptr;
    HDC dc = nullptr;
    pf::HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;

    ~GifLoad() {
        if (dc) {
            if (previous) pf::SelectObject(dc, previous);
            pf::DeleteDC(dc);
        }
        if (section) pf::DeleteObject(section);
        if (bitmap) bitmap->Release();
        if (sink) sink->Release();
        if (decoder) decoder->Release();
        if (image) image->Release();
        if (stream) stream->Release();
    }
};

} // namespace

int CCEBitmap::LoadGIF(CCEDraw*, const wchar_t* pszFile, unsigned int uFrame,
                       unsigned int& uFrameCount, unsigned int&) {
    zorva::LoadScope loading(*this);
    zorva::BlockDrop(m_pFrames);
    if (!pszFile) return 0;
    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (EnsureImgFactory() < 0) return 0;

    GifLoad load;
    // The decoder reads the file once, through the stream, into its own copy.
    if (pf::CreateStreamOnFile(pszFile, &load.stream) < 0 || !load.stream) return 0;
    if (m_pImgFactory->CreateImageDecoder(load.stream, pf::DecoderInitFlagBuiltIn1st,
                                          &load.decoder) != pf::S_OK ||
        !load.decoder)
        return 0;
    ImageInfo info;
    if (load.decoder->GetImageInfo(&info) != pf::S_OK) return 0;
    const uint32_t width = info.Width, height = info.Height;
    if (width == 0 || height == 0 || width > uint32_t(INT32_MAX) || height > uint32_t(INT32_MAX))
        return 0;
    m_nWidth = int32_t(width);
    m_nHeight = int32_t(height);

    uint32_t first = 0, count = 1;
    if (pf::IsEqualGUID(info.RawDataFormat, pf::ImageFormatGIF)) {
        uint32_t frames = 0;
        // Without a frame count the strip has no defined layout.
        if (load.decoder->GetFrameCount(&pf::FrameDimensionTime, &frames) != pf::S_OK ||
            frames == 0)
            return 0;
        uFrameCount = frames;
        if (uFrame == 0) {
            // The strip is held to the limit of a picture (its pixels, so
            // its bytes), checked before anything is allocated for it.
            if (uint64_t(width) * frames > uint64_t(INT32_MAX) ||
                uint64_t(width) * frames * height > pf::kMaxImagePixels)
                return 0;
            count = frames;
            m_nWidth = int32_t(width * frames);
        } else if (uFrame < frames) {
            first = uFrame;
        }
        uint32_t size = 0;
        if (load.decoder->GetPropertyItemSize(pf::PropertyTagFrameDelay, &size) != pf::S_OK ||
            size < sizeof(PropertyItem))
            return 0;
        m_pFrames = static_cast<PropertyItem*>(zorva::BlockAlloc(size));
        if (!m_pFrames) return 0;
        if (load.decoder->GetPropertyItem(pf::PropertyTagFrameDelay, size, m_pFrames) != pf::S_OK)
            std::memset(m_pFrames, 0, size); // an empty record: every delay reads 0
    } else {
        uFrameCount = 1;
    }

    if (m_pImgFactory->CreateNewBitmap(width, height, info.PixelFormat, &load.bitmap) != pf::S_OK ||
        !load.bitmap ||
        load.bitmap->QueryInterface(pf::IID_IImageSink, reinterpret_cast<void**>(&load.sink)) !=
            pf::S_OK ||
        load.bitmap->QueryInterface(pf::IID_IImage, reinterpret_cast<void**>(&load.image)) !=
            pf::S_OK)
        return 0;

    load.dc = pf::CreateCompatibleDC(nullptr);
    if (!load.dc) return 0;
    const pf::BITMAPINFO bmi = zorva::BottomUpSection(int32_t(width), int32_t(height), 24);
    void* bits = nullptr;
    load.section = pf::CreateDIBSection(load.dc, &bmi, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!load.section || !bits) return 0;
    load.previous = pf::SelectObject(load.dc, load.section);

    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, uint64_t(uint32_t(m_nWidth)) * height * 2))
        return 0;

    const tagRECT all{0, 0, int32_t(width), int32_t(height)};
    bool decodedAny = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = first + i;
        // A frame that fails to decode leaves the section as the previous
        // frame left it.
        load.decoder->SelectActiveFrame(&pf::FrameDimensionTime, p);
        const HRESULT begun = load.decoder->BeginDecode(load.sink, nullptr);
        HRESULT decoded = begun;
        if (begun == pf::S_OK)
            while ((decoded = load.decoder->Decode()) == pf::E_PENDING) {}
        load.decoder->EndDecode(begun);
        decodedAny = decodedAny || decoded == pf::S_OK;
        load.image->Draw(load.dc, &all, nullptr);
        zorva::SectionToRGB565(bits, 24, width, height, width, height,
                               m_pPixels + size_t(i) * width, uint32_t(m_nWidth));
    }
    // Not one frame could be decoded: nothing of the file is shown.
    return loading.Finish(decodedAny ? 1 : 0, decodedAny);
}

long CCEBitmap::GetFrameDelay(unsigned int uIndex) {
    if (!m_pFrames || uIndex == 0 || uIndex > m_pFrames->length / sizeof(int32_t)) return 0;
    // The values must lie inside the record's block, whatever it says.
    const uintptr_t start = reinterpret_cast<uintptr_t>(m_pFrames);
    const uintptr_t value =
        reinterpret_cast<uintptr_t>(m_pFrames->value) + sizeof(int32_t) * (uintptr_t(uIndex) - 1);
    if (value < start + sizeof(PropertyItem) ||
        value + sizeof(int32_t) > start + zorva::BlockBytes(m_pFrames))
        return 0;
    int32_t delay;
    std::memcpy(&delay, reinterpret_cast<const void*>(value), sizeof delay);
    return delay;
}
