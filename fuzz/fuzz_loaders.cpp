// The bitmap loaders on any file: LoadBitmapW in every sizing mode (kept
// and not), ImageLoadFile of the kept image at another size,
// GetBitmapFromStream into several boxes, Crop and ImageCrop with raw
// windows and orientation codes.
//
// Input: 16 parameter bytes, then the file.
//   [0] sizing mode (any byte: 5..255 behave as 1)
//   [1..4] box width and height, 16 bits each (taken modulo 1024); [5]
//       bit 0: both from the
//       display instead, bit 1: the box's width becomes 2147483647,
//       bit 2: keep the image
//   [6..9] rendering width and height for the crops (16 bits each)
//   [10..13] window position x and y (signed 16 bits each)
//   [14] orientation code; [15] top bit: make an allocation fail
#include "FuzzSupport.h"

namespace {

using namespace fuzz;

uint32_t U16(const Input& in, size_t at) {
    return uint32_t(in.params[at]) | uint32_t(in.params[at + 1]) << 8;
}

int32_t S16(const Input& in, size_t at) {
    return int16_t(U16(in, at));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
    Input in;
    if (!in.Split(bytes, length, 16) || !SmallEnough(in.data, in.size)) return 0;
    const wchar_t* file = AsFile(in.data, in.size);
    CCEDraw& canvas = Canvas();
    const BYTE mode = in.params[0];
    const uint8_t flags = in.params[5];
    // Boxes up to 1023 a side, or a width far beyond the limits: pictures
    // fitted into larger legitimate boxes only cost the fuzzer time.
    unsigned boxWidth = flags & 1 ? 0 : U16(in, 1) % 1024;
    unsigned boxHeight = flags & 1 ? 0 : U16(in, 3) % 1024;
    if (flags & 2) boxWidth = 2147483647u;
    const bool keep = flags & 4;
    MaybeFailAllocation(in.params[15]);

    CCEBitmap loaded;
    int result = loaded.LoadBitmapW(&canvas, file, mode, boxWidth, boxHeight, keep);
    CheckBitmap(loaded, result);
    if (keep) {
        // The kept image again at another size, then cropped.
        result = loaded.ImageLoadFile(&canvas, nullptr, BYTE(mode + 1), boxHeight, boxWidth);
        CheckBitmap(loaded, result);
        CCEBitmap cropped;
        result = cropped.ImageCrop(&canvas, &loaded, U16(in, 6), U16(in, 8), S16(in, 10),
                                   S16(in, 12), boxWidth % 512, boxHeight % 512, in.params[14]);
        CheckBitmap(cropped, result);
    }
    CCEBitmap cropped;
    result = cropped.Crop(&canvas, file, U16(in, 6), U16(in, 8), S16(in, 10), S16(in, 12),
                          U16(in, 1) % 512, U16(in, 3) % 512, in.params[14]);
    CheckBitmap(cropped, result);

    // The stream into the box given, and into boxes that fit most pictures
    // far beyond the limits.
    const unsigned boxes[][2] = {{boxWidth, boxHeight}, {2147483647u, 64u}, {46340u, 46340u}};
    for (const auto& box : boxes) {
        IStream* stream = zorva::OpenMemoryStream(in.data, in.size);
        if (!stream) continue;
        unsigned w = box[0], h = box[1];
        CCEBitmap streamed;
        const long hr = streamed.GetBitmapFromStream(&canvas, stream, &w, &h);
        stream->Release();
        CheckBitmap(streamed, hr == 0 ? 1 : 0);
        if (hr == 0 &&
            uint64_t(streamed.m_nWidth) * uint64_t(streamed.m_nHeight) > pf::kMaxImagePixels)
            Broken("a stream loaded beyond the pixel limit");
    }
    zorva::FailAllocation(0);
    return 0;
}
