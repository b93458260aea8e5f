// What the fuzz targets share: the input's shape, the imaging factory, a
// file holding the input, a canvas, and the checks that turn a broken
// promise into a crash the fuzzer reports.
//
// Every target takes a few leading bytes of parameters, then the payload.
// Inputs longer than kMaxInput are ignored (the fuzzers run with
// -max_len=16388), so a finding is always a small file.
#ifndef ZORVA_FUZZ_SUPPORT_H
#define ZORVA_FUZZ_SUPPORT_H

#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "ZorvaPlatform.h"
#include "system/Testing.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

namespace pf = zorva::platform;

constexpr size_t kMaxInput = 16 * 1024;

// The first bytes of an input as parameters, the rest as the payload.
struct Input {
    const uint8_t* params;
    const uint8_t* data;
    size_t size;
    // False when the input is too short for `count` parameter bytes or too
    // long.
    bool Split(const uint8_t* bytes, size_t length, size_t count) {
        if (length < count || length - count > kMaxInput) return false;
        params = bytes;
        data = bytes + count;
        size = length - count;
        return true;
    }
    uint32_t U32(size_t at) const {
        return uint32_t(params[at]) | uint32_t(params[at + 1]) << 8 |
               uint32_t(params[at + 2]) << 16 | uint32_t(params[at + 3]) << 24;
    }
};

// A broken promise: the fuzzer reports it as a crash with this message.
[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "zorva fuzz: %s\n", what);
    std::abort();
}

inline IImagingFactory* Factory() {
    static IImagingFactory* factory = [] {
        pf::CoInitializeEx(nullptr, 0);
        void* object = nullptr;
        if (pf::CoCreateInstance(pf::CLSID_ImagingFactory, nullptr, 1, pf::IID_IImagingFactory,
                                 &object) != pf::S_OK)
            Broken("no imaging factory");
        return static_cast<IImagingFactory*>(object);
    }();
    return factory;
}

// The payload as a file the loaders can open by name: a memory file,
// rewritten for each input.
inline const wchar_t* AsFile(const uint8_t* data, size_t size) {
    static int fd = memfd_create("zorva-fuzz", 0);
    static std::wstring path = [] {
        const std::string p = "/proc/self/fd/" + std::to_string(fd);
        return std::wstring(p.begin(), p.end());
    }();
    if (fd < 0 || ftruncate(fd, 0) != 0 || (size && pwrite(fd, data, size, 0) != ssize_t(size)))
        Broken("memory file");
    return path.c_str();
}

// A window on the virtual display, whatever display the machine has.
inline HWND VirtualWindow() {
    zorva::DisplayOptions options;
    options.kind = zorva::DisplayKind::Virtual;
    return zorva::OpenWindow("fuzz", options);
}

// A canvas on a small virtual display, made once per process.
inline CCEDraw& Canvas() {
    static CCEDraw* canvas = [] {
        zorva::VirtualDisplayConfig config;
        config.width = 64;
        config.height = 48;
        zorva::SetVirtualDisplay(config);
        HWND window = VirtualWindow();
        auto* c = new CCEDraw;
        if (!window || !c->Create(window, 1)) Broken("no canvas");
        return c;
    }();
    return *canvas;
}

// Whatever a call did, the bitmap's buffers hold its picture or it counts
// as empty: its size never runs beyond its recorded buffers.
inline void CheckBitmap(const CCEBitmap& b, int result) {
    const uint64_t pixels =
        uint64_t(b.m_nWidth < 0 ? 0 : b.m_nWidth) * uint64_t(b.m_nHeight < 0 ? 0 : b.m_nHeight);
    if (result == 1 &&
        (b.m_nWidth < 0 || b.m_nHeight < 0 || !b.m_pPixels || pixels * 2 > b.m_cbPixels))
        Broken("a load that succeeded left a picture its buffer does not hold");
    if (result == 1 && b.m_bARGB && (!b.m_pAlpha || pixels > b.m_cbAlpha))
        Broken("a load that succeeded left an alpha plane too small");
    if (b.m_cbPixels > 2 * pf::kMaxImagePixels)
        Broken("a pixel buffer beyond the limit of a picture");
}

// Pictures of more pixels than this are passed over (their header read, no
// more): decoding tens of millions of pixels under the sanitizers takes
// seconds, and the fuzzer's time is better spent on many small inputs. The
// large pictures are loaded by the malformed-corpus test instead.
constexpr uint64_t kMaxFuzzPixels = uint64_t(1) << 22;

// True when the payload is no picture, or one of at most kMaxFuzzPixels
// (judged from its header by the imaging service).
inline bool SmallEnough(const uint8_t* data, size_t size) {
    IStream* stream = zorva::OpenMemoryStream(data, size);
    if (!stream) return false;
    IImage* image = nullptr;
    ImageInfo info{};
    const bool small = Factory()->CreateImageFromStream(stream, &image) != pf::S_OK ||
                       (image->GetImageInfo(&info) == pf::S_OK &&
                        uint64_t(info.Width) * info.Height <= kMaxFuzzPixels);
    if (image) image->Release();
    stream->Release();
    return small;
}

// Makes one of the next allocations fail when the parameter byte asks for
// it (its top bit set): the low bits say which.
inline void MaybeFailAllocation(uint8_t byte) {
    zorva::FailAllocation(byte & 0x80 ? 1 + (byte & 0x7F) : 0);
}

} // namespace fuzz

#endif // ZORVA_FUZZ_SUPPORT_H
