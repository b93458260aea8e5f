// LoadGIF on any file: every frame as a strip, or one frame, with the
// delays read back at every index around the frame count.
//
// Input: 5 parameter bytes, then the file.
//   [0..3] uFrame (any 32-bit value; 0 is the strip)
//   [4] top bit: make an allocation fail, the low bits which one
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
    using namespace fuzz;
    Input in;
    if (!in.Split(bytes, length, 5) || !SmallEnough(in.data, in.size)) return 0;
    const wchar_t* file = AsFile(in.data, in.size);
    CCEDraw& canvas = Canvas(); // made before any allocation may fail
    MaybeFailAllocation(in.params[4]);
    CCEBitmap strip;
    unsigned count = 0xDEAD, reserved = 0;
    const uint32_t frame = in.U32(0);
    const int result = strip.LoadGIF(&canvas, file, frame, count, reserved);
    CheckBitmap(strip, result);
    if (result && strip.m_bARGB) Broken("LoadGIF left an alpha flag");
    if (result && count != 0xDEAD && frame == 0 && count != 0 &&
        uint64_t(strip.m_nWidth) * strip.m_nHeight > pf::kMaxImagePixels)
        Broken("a strip beyond the pixel limit");
    volatile long delays = 0;
    for (unsigned i : {0u, 1u, count, count + 1, 0xFFFFFFFFu})
        delays = delays + strip.GetFrameDelay(i);
    zorva::FailAllocation(0);
    return 0;
}
