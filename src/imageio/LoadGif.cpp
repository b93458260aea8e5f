// Animated GIF loading: frames side by side in one bitmap, with their
// delays.
#include "CCEBitmap.h"
#include "core/Pixel565.h"
#include "core/Sections.h"
#include "core/SharedBlock.h"
#include "imageio/LoadScope.h"
#include "system/com/Com.h"
#include "system/gdi/GdiApi.h"
#include "system/imaging/Imaging.h"
#include "system/streams/Streams.h"

#include <cstring>

namespace pf = zorva::platform;
using zorva::LoadError;
using zorva::NoteLoadError;
using zorva::NoteLoadResult;

namespace {

// What LoadGIF holds during the call, given back on every exit, and its
// steps.
struct GifLoad {
    IStream* stream = nullptr;
    IImageDecoder* decoder = nullptr;
    IBitmapImage* bitmap = nullptr;
    IImageSink* sink = nullptr;
    IImage* image = nullptr;
    HDC dc = nullptr;
    pf::HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr; // the section's pixels
    ImageInfo info{};
    uint32_t first = 0, count = 1; // the frames the bitmap holds

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

    // The decoder reads the file once, through the stream, into its own
    // copy; then its size is known.
    bool Open(IImagingFactory* factory, const wchar_t* path) {
        if (NoteLoadResult(pf::CreateStreamOnFile(path, &stream)) < 0 || !stream) return false;
        if (NoteLoadResult(factory->CreateImageDecoder(stream, pf::DecoderInitFlagBuiltIn1st,
                                                       &decoder)) != pf::S_OK ||
            !decoder || NoteLoadResult(decoder->GetImageInfo(&info)) != pf::S_OK)
            return false;
        if (info.Width > 0 && info.Height > 0 && info.Width <= uint32_t(INT32_MAX) &&
            info.Height <= uint32_t(INT32_MAX))
            return true;
        return NoteLoadError(LoadError::Damaged, "The picture has no pixels.");
    }

    // Which frames the bitmap holds (all side by side for uFrame 0, else the
    // one asked for, or the first) and their delays; the bitmap's width
    // follows. Another format is one frame without delays.
    bool Plan(CCEBitmap& b, unsigned uFrame, unsigned& uFrameCount) {
        if (!pf::IsEqualGUID(info.RawDataFormat, pf::ImageFormatGIF)) {
            uFrameCount = 1;
            return true;
        }
        uint32_t frames = 0;
        // Without a frame count the strip has no defined layout.
        if (decoder->GetFrameCount(&pf::FrameDimensionTime, &frames) != pf::S_OK || frames == 0)
            return NoteLoadError(LoadError::Damaged, "The animation has no frames.");
        uFrameCount = frames;
        if (uFrame == 0) {
            // The strip is held to the limit of a picture (its pixels, so
            // its bytes), checked before anything is allocated for it.
            if (uint64_t(info.Width) * frames > uint64_t(INT32_MAX) ||
                uint64_t(info.Width) * frames * info.Height > pf::kMaxImagePixels)
                return NoteLoadError(LoadError::TooLarge,
                                     "The frames side by side are past the loaders' limit of "
                                     "2^26 pixels; load them one at a time.");
            count = frames;
            b.m_nWidth = int32_t(info.Width * frames);
        } else if (uFrame < frames) {
            first = uFrame;
        }
        uint32_t size = 0;
        if (decoder->GetPropertyItemSize(pf::PropertyTagFrameDelay, &size) != pf::S_OK ||
            size < sizeof(PropertyItem))
            return NoteLoadError(LoadError::Damaged, "The animation's frame delays are missing.");
        b.m_pFrames = static_cast<PropertyItem*>(zorva::BlockAlloc(size));
        if (!b.m_pFrames) return NoteLoadError(LoadError::OutOfMemory);
        if (decoder->GetPropertyItem(pf::PropertyTagFrameDelay, size, b.m_pFrames) != pf::S_OK)
            std::memset(b.m_pFrames, 0, size); // an empty record: every delay reads 0
        return true;
    }

    // A bitmap for the decoder to write a frame into, and a 24-bit section
    // it is drawn onto (shown over black) to be converted.
    bool PrepareTarget(IImagingFactory* factory) {
        if (NoteLoadResult(factory->CreateNewBitmap(info.Width, info.Height, info.PixelFormat,
                                                    &bitmap)) != pf::S_OK ||
            !bitmap ||
            NoteLoadResult(bitmap->QueryInterface(pf::IID_IImageSink,
                                                  reinterpret_cast<void**>(&sink))) != pf::S_OK ||
            NoteLoadResult(bitmap->QueryInterface(pf::IID_IImage,
                                                  reinterpret_cast<void**>(&image))) != pf::S_OK)
            return false;
        dc = pf::CreateCompatibleDC(nullptr);
        if (!dc) return NoteLoadError(LoadError::OutOfMemory);
        const pf::BITMAPINFO bmi =
            zorva::BottomUpSection(int32_t(info.Width), int32_t(info.Height), 24);
        section = pf::CreateDIBSection(dc, &bmi, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!section || !bits) return NoteLoadError(LoadError::OutOfMemory);
        previous = pf::SelectObject(dc, section);
        return true;
    }

    // Decodes the planned frames into their places of `pixels` (rows of
    // `stride` pixels). A frame that fails to decode leaves the section as
    // the previous frame left it. True when one frame at least decoded; else
    // the last frame's failure is noted.
    bool DecodeFrames(uint16_t* pixels, uint32_t stride) {
        const uint32_t w = info.Width, h = info.Height;
        const tagRECT all{0, 0, int32_t(w), int32_t(h)};
        bool decodedAny = false;
        HRESULT failure = pf::S_OK;
        for (uint32_t i = 0; i < count; ++i) {
            decoder->SelectActiveFrame(&pf::FrameDimensionTime, first + i);
            const HRESULT begun = decoder->BeginDecode(sink, nullptr);
            HRESULT decoded = begun;
            if (begun == pf::S_OK)
                while ((decoded = decoder->Decode()) == pf::E_PENDING) {}
            decoder->EndDecode(begun);
            decodedAny = decodedAny || decoded == pf::S_OK;
            if (decoded != pf::S_OK) failure = decoded;
            image->Draw(dc, &all, nullptr);
            zorva::SectionToRGB565(bits, 24, w, h, w, h, pixels + size_t(i) * w, stride);
        }
        if (!decodedAny) NoteLoadResult(failure);
        return decodedAny;
    }
};

} // namespace

int CCEBitmap::LoadGIF(CCEDraw*, const wchar_t* pszFile, unsigned int uFrame,
                       unsigned int& uFrameCount, unsigned int&) {
    zorva::LoadScope loading(*this);
    zorva::BlockDrop(m_pFrames);
    if (!pszFile) return NoteLoadError(LoadError::BadArgument, "No file name was given.");
    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (EnsureImgFactory() < 0) return 0;

    GifLoad load;
    if (!load.Open(m_pImgFactory, pszFile)) return 0;
    m_nWidth = int32_t(load.info.Width);
    m_nHeight = int32_t(load.info.Height);
    if (!load.Plan(*this, uFrame, uFrameCount) || !load.PrepareTarget(m_pImgFactory)) return 0;
    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels,
                           uint64_t(uint32_t(m_nWidth)) * load.info.Height * 2))
        return NoteLoadError(LoadError::OutOfMemory);
    // Not one frame could be decoded: nothing of the file is shown.
    const bool decoded = load.DecodeFrames(m_pPixels, uint32_t(m_nWidth));
    return loading.Finish(decoded ? 1 : 0, decoded);
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
