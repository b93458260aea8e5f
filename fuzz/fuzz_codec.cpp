// One decoder through the imaging service, built once per format
// (ZORVA_FUZZ_FORMAT: 1 PNG, 2 JPEG, 3 GIF, 4 BMP, 5 WebP); other payloads
// are passed over, so each target stays on its codec.
//
// Input: 4 parameter bytes, then the file.
//   [0] how big a picture to ask for: 0 its own size (when small), 1 half,
//       2 an eighth (JPEG's reduced scales), 3 a size from [1] and [2]
//   [1] [2] a width and height (1..256)
//   [3] top bit: make an allocation fail, the low bits which one
// The picture is rendered through a bitmap (a rectangle of it locked, then
// the whole), drawn into a small drawing context at an offset, and taken as
// a thumbnail; then the decoder delivers its frames (every frame of a GIF,
// composed, in order and once backwards) into bitmap sinks.
#include "FuzzSupport.h"

#include "backends/codecs/Codecs.h"
#include "system/gdi/GdiApi.h"

namespace {

using namespace fuzz;

constexpr zorva::backends::FileFormat kFormat = zorva::backends::FileFormat(ZORVA_FUZZ_FORMAT);
// Renderings and frames are kept small, so that the fuzzer spends its time
// on the codecs' logic, not on copying pixels.
constexpr uint64_t kSmall = uint64_t(1) << 20;

void Render(IImage* image, const Input& in) {
    ImageInfo info{};
    if (image->GetImageInfo(&info) != pf::S_OK) Broken("GetImageInfo of an open image");
    uint32_t w = info.Width, h = info.Height;
    switch (in.params[0] & 3) {
    case 0:
        if (uint64_t(w) * h > kSmall) w = h = 1 + in.params[1] % 64;
        break;
    case 1:
        w = (w + 1) / 2, h = (h + 1) / 2;
        break;
    case 2:
        w = (w + 7) / 8, h = (h + 7) / 8;
        break;
    default:
        w = 1 + in.params[1], h = 1 + in.params[2];
    }
    if (uint64_t(w) * h > kSmall) w = h = 64;
    const DWORD format = in.params[0] & 4 ? pf::PixelFormat32bppARGB : pf::PixelFormat24bppRGB;
    IBitmapImage* bitmap = nullptr;
    if (Factory()->CreateBitmapFromImage(image, w, h, format, 0, &bitmap) == pf::S_OK) {
        BitmapData data{};
        const tagRECT part{int32_t(w / 3), int32_t(h / 4), int32_t(w), int32_t(h)};
        volatile uint32_t sum = 0;
        for (const tagRECT* r : {&part, static_cast<const tagRECT*>(nullptr)})
            if (bitmap->LockBits(r, pf::ImageLockModeRead, 0, &data) == pf::S_OK) {
                const auto* row = static_cast<const uint8_t*>(data.Scan0);
                for (uint32_t y = 0; y < data.Height; ++y, row += data.Stride)
                    sum = sum + row[0] +
                          row[(data.Width - 1) * (format == pf::PixelFormat24bppRGB ? 3 : 4)];
                bitmap->UnlockBits(&data);
            }
        bitmap->Release();
    }
    // Drawn at an offset into a small image: only what lands is rendered.
    HDC dc = pf::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    pf::BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = 24;
    bmi.bmiHeader.biHeight = -16;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = in.params[0] & 8 ? 16 : 24;
    pf::HBITMAP section = pf::CreateDIBSection(dc, &bmi, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc && section) {
        HGDIOBJ previous = pf::SelectObject(dc, section);
        const tagRECT target{-int32_t(in.params[1] % 8), -3, int32_t(w % 40) + 1,
                             int32_t(h % 30) + 1};
        image->Draw(dc, &target, nullptr);
        pf::SelectObject(dc, previous);
    }
    if (section) pf::DeleteObject(section);
    if (dc) pf::DeleteDC(dc);
    IImage* thumbnail = nullptr;
    if (image->GetThumbnail(1 + in.params[2] % 32, 1 + in.params[1] % 32, &thumbnail) == pf::S_OK)
        thumbnail->Release();
}

void DecodeFrames(const Input& in) {
    IStream* stream = zorva::OpenMemoryStream(in.data, in.size);
    IImageDecoder* decoder = nullptr;
    if (!stream) return;
    if (Factory()->CreateImageDecoder(stream, pf::DecoderInitFlagBuiltIn1st, &decoder) ==
        pf::S_OK) {
        ImageInfo info{};
        uint32_t count = 0;
        decoder->GetImageInfo(&info);
        decoder->GetFrameCount(&pf::FrameDimensionTime, &count);
        IBitmapImage* bitmap = nullptr;
        IImageSink* sink = nullptr;
        if (uint64_t(info.Width) * info.Height <= kSmall &&
            Factory()->CreateNewBitmap(info.Width, info.Height, info.PixelFormat, &bitmap) ==
                pf::S_OK &&
            bitmap->QueryInterface(pf::IID_IImageSink, reinterpret_cast<void**>(&sink)) ==
                pf::S_OK) {
            // Every frame in order (a few hundred at most), then the first
            // again: backwards, the frames are composed from the start.
            const uint32_t frames = count < 300 ? count : 300;
            for (uint32_t i = 0; i <= frames; ++i) {
                decoder->SelectActiveFrame(&pf::FrameDimensionTime, i < frames ? i : 0);
                const HRESULT begun = decoder->BeginDecode(sink, nullptr);
                HRESULT hr = begun;
                while (begun == pf::S_OK && (hr = decoder->Decode()) == pf::E_PENDING) {}
                decoder->EndDecode(begun == pf::S_OK ? hr : begun);
            }
        }
        if (sink) sink->Release();
        if (bitmap) bitmap->Release();
        uint32_t size = 0;
        if (decoder->GetPropertyItemSize(pf::PropertyTagFrameDelay, &size) == pf::S_OK &&
            size < (1u << 22)) {
            void* block = std::malloc(size ? size : 1);
            decoder->GetPropertyItem(pf::PropertyTagFrameDelay, size,
                                     static_cast<PropertyItem*>(block));
            std::free(block);
        }
        decoder->Release();
    }
    stream->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
    Input in;
    if (!in.Split(bytes, length, 4) || zorva::backends::SniffFormat(in.data, in.size) != kFormat ||
        !SmallEnough(in.data, in.size))
        return 0;
    MaybeFailAllocation(in.params[3]);
    IStream* stream = zorva::OpenMemoryStream(in.data, in.size);
    IImage* image = nullptr;
    if (stream && Factory()->CreateImageFromStream(stream, &image) == pf::S_OK) {
        Render(image, in);
        image->Release();
    }
    if (stream) stream->Release();
    DecodeFrames(in);
    zorva::FailAllocation(0);
    return 0;
}
