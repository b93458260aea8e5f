// Loading files and streams into bitmaps: sizes, every format against an
// independent reader, the canvas copy, the kept image, streams, bad input
// and failed allocations through every loader.
#include "CCEBitmap.h"
#include "support/HeapPeak.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"
#include "system/memory/Memory.h"
#include "system/streams/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <tuple>

namespace pf = zorva::platform;

namespace {

using Loading = zt::PlatformTest;

// Every pixel differs from its neighbours: R = 7x + 3y, G = 5x + 11y,
// B = x ^ y, A = 9x + 17y (or opaque), all modulo 256.
zt::Rgba Pattern(int width, int height, bool alpha = false) {
    zt::Rgba p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.pixels.insert(p.pixels.end(),
                            {uint8_t(7 * x + 3 * y), uint8_t(5 * x + 11 * y), uint8_t(x ^ y),
                             uint8_t(alpha ? 9 * x + 17 * y : 255)});
    return p;
}

// The pattern as a BMP file in the test's scratch folder.
std::wstring PatternFile(int width, int height, bool alpha = false) {
    const std::string path = zt::ScratchPath("pattern_" + std::to_string(width) + "x" +
                                             std::to_string(height) + (alpha ? "a.bmp" : ".bmp"));
    EXPECT_TRUE(zt::WriteBytes(path, zt::MakeBmp(Pattern(width, height, alpha), alpha)));
    return zt::Wide(path);
}

// GetBitmapFromStream over a memory stream of `bytes` with a box; S_FALSE
// when there is no memory for the stream, so no load.
long FromStream(CCEBitmap& b, const std::vector<uint8_t>& bytes, unsigned bw = 50,
                unsigned bh = 50) {
    IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
    if (!stream) return pf::S_FALSE;
    const long result = b.GetBitmapFromStream(nullptr, stream, &bw, &bh);
    stream->Release();
    return result;
}

// Every way of loading a file into a bitmap; 1 when it loaded, 0 when not.
std::vector<std::function<int(CCEBitmap&)>> Loaders(CCEDraw* canvas, const std::string& file) {
    const std::wstring path = zt::Wide(file);
    return {[=](CCEBitmap& b) { return b.LoadBitmapW(canvas, path.c_str(), 0, 50, 50, 0); },
            [=](CCEBitmap& b) { return b.LoadBitmapW(canvas, path.c_str(), 2, 20, 20, 1); },
            [=](CCEBitmap& b) { return b.LoadBitmapW(canvas, path.c_str(), 4, 13, 11, 1); },
            [=](CCEBitmap& b) { return b.Crop(canvas, path.c_str(), 30, 40, -3, -4, 10, 12, 1); },
            [=](CCEBitmap& b) {
                unsigned count = 0, reserved = 0;
                return b.LoadGIF(canvas, path.c_str(), 0, count, reserved);
            },
            [=](CCEBitmap& b) {
                const long result = FromStream(b, zt::ReadBytes(file));
                return result == 0 ? 1 : result < 0 ? 0 : 2;
            }};
}

} // namespace

TEST_F(Loading, FilesLoadAtTheSizesOfTheirMode) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    // clang-format off
    const uint32_t modes[][7] = { // mode, box, image, loaded size (mode 0: the pixel test)
        {1, 240, 320, 1024, 768, 426, 320},   // portrait box: the height becomes L
        {1, 240, 320, 300, 1000, 300, 1000},  // 300 <= L: own size
        {1, 320, 240, 1024, 768, 320, 240},   // landscape box: the width becomes L
        {255, 240, 320, 1024, 768, 426, 320}, // 5..255 as 1
        {2, 300, 300, 600, 400, 450, 300},    // square box, H <= W
        {2, 300, 300, 400, 600, 300, 450},    // square box, H > W
        {2, 320, 240, 1024, 768, 426, 320},   // landscape: across is the height
        {2, 240, 320, 1024, 768, 320, 240},   // portrait: across is the width
        {3, 240, 320, 250, 100, 240, 96},
        {4, 240, 320, 100, 50, 240, 120},     // enlarged
        {4, 240, 320, 100, 300, 107, 320},    // 106.7 rounds to 107
        {4, 60, 60, 96, 128, 45, 60}};
    // clang-format on
    for (const auto& c : modes) {
        CCEBitmap bitmap; // every other one through the kept image
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, PatternFile(c[3], c[4]).c_str(), BYTE(c[0]),
                                     c[1], c[2], int(&c - modes) % 2),
                  1);
        EXPECT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight, bitmap.m_bARGB),
                  zt::Values(c[5], c[6], 0))
            << "mode " << c[0] << " box " << c[1] << "x" << c[2] << " image " << c[3] << "x"
            << c[4];
    }
    // An empty box is the display as it is turned; it needs a canvas.
    const std::wstring big = PatternFile(1024, 768);
    for (int orientation : {0, 1, 2, 4}) {
        zorva::VirtualDisplayConfig config = zorva::GetVirtualDisplay();
        config.orientation = orientation;
        zorva::SetVirtualDisplay(config);
        CCEBitmap bitmap;
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, big.c_str(), 1, 0, 0, 0), 1);
        EXPECT_EQ(bitmap.m_nWidth, orientation & 5 ? 320 : 426) << orientation;
    }
    CCEBitmap bitmap;
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, big.c_str(), 1, 0, 0, 0), 0);
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, big.c_str(), 1, 0, 512, 0), 1);
    EXPECT_EQ(bitmap.m_nWidth, 682);
}

TEST_F(Loading, PixelsAreTheReadersWithLowBitsDropped) {
    // Every flavour of every format at its own size (37 x 29: padded rows);
    // those whose format carries alpha ('+') fill the plane too, with the
    // nearest 32nds (every byte: kernels_rows_test), except from a stream.
    CCEBitmap bitmap;
    for (std::string name : zt::Words(
             "png_gray.png png_gray1.png +png_gray_alpha.png png_palette.png +png_palette_trns.png "
             "png_rgb.png +png_rgba.png png_rgb16.png +png_rgba16.png +png_interlaced.png "
             "png_interlaced_big.png +png_interlaced_big_alpha.png "
             "jpeg_baseline.jpg jpeg_progressive.jpg jpeg_gray.jpg jpeg_444.jpg jpeg_big.jpg "
             "gif_static.gif gif_interlaced.gif +gif_transparent.gif bmp_1.bmp bmp_4.bmp bmp_8.bmp "
             "bmp_24.bmp bmp_24_topdown.bmp +bmp_32_alpha.bmp webp_lossy.webp webp_lossless.webp "
             "+webp_alpha.webp +webp_lossless_alpha.webp")) {
        const bool alpha = name[0] == '+';
        name = "valid/" + name.substr(alpha);
        const zt::Rgba ref = zt::Reference(name);
        ASSERT_GT(ref.width, 0) << "no reference for " << name;
        const int keep = name[6] == 'j'; // JPEG through the kept image
        ASSERT_EQ(
            bitmap.LoadBitmapW(nullptr, zt::Wide(zt::CorpusPath(name)).c_str(), 0, 0, 0, keep), 1);
        ASSERT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight, bitmap.m_bARGB),
                  zt::Values(ref.width, ref.height, alpha))
            << name;
        zt::ExpectConsistent(bitmap);
        EXPECT_EQ(
            zt::Differ565(ref, bitmap.m_pPixels, ref.width, alpha ? bitmap.m_pAlpha : nullptr), 0)
            << name;
        EXPECT_EQ(FromStream(bitmap, zt::ReadBytes(zt::CorpusPath(name)), 100, 100), 0) << name;
        EXPECT_EQ(bitmap.m_bARGB, 0) << name;
    }
}

// An opaque pixel of a PNG with alpha weighs 32 and is copied, not blended:
// 0x3D1F over black stays 0x3D1F, at the picture's size, fitted and cropped.
TEST_F(Loading, OpaquePixelsAreCopiedExactly) {
    zt::TestCanvas canvas(zt::Dense(4, 3));
    const std::wstring file = zt::Wide(zt::CorpusPath("valid/png_opaque.png")); // 4 x 3
    for (int how = 0; how < 3; ++how) {
        CCEBitmap b;
        canvas.Load(std::vector<uint16_t>(12, 0));
        ASSERT_EQ(how == 2 ? b.Crop(&canvas.canvas, file.c_str(), 8, 6, -2, -1, 4, 3, 0)
                           : b.LoadBitmapW(&canvas.canvas, file.c_str(), how ? 4 : 0, 8, 6, 0),
                  1);
        EXPECT_EQ(zt::Values(b.m_bARGB, b.BitBlt(&canvas.canvas, 0, 0, 4, 3, 0, 0, SRCCOPY, 32)),
                  zt::Values(1, 1));
        EXPECT_EQ(canvas.Snapshot(), std::vector<uint16_t>(12, 0x3D1F)) << how;
    }
}

TEST_F(Loading, StreamsFitTheirBoxAndGiveTheirFailures) {
    // 96 x 128 into 60 x 60 from memory, into 320 x 240 from a file; the
    // box is read, not written.
    const std::vector<uint8_t> bmp = zt::MakeBmp(Pattern(96, 128), false);
    const std::wstring path = PatternFile(96, 128);
    IStream* file = zorva::OpenFileStream(std::string(path.begin(), path.end()).c_str());
    CCEBitmap bitmap;
    unsigned bw = 320, bh = 240;
    EXPECT_EQ(FromStream(bitmap, bmp, 60, 60), 0);
    EXPECT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight), zt::Values(45, 60));
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, file, &bw, &bh), 0);
    EXPECT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight, bw), zt::Values(180, 240, 320));
    // Null arguments; no image; a damaged image.
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, nullptr, &bw, &bh), pf::E_FAIL);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, file, nullptr, &bh), pf::E_FAIL);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, file, &bw, nullptr), pf::E_FAIL);
    file->Release();
    EXPECT_EQ(FromStream(bitmap, {'h', 'e', 'l', 'l', 'o'}), pf::IMGERR_UNKNOWNFORMAT);
    EXPECT_EQ(
        FromStream(bitmap, zt::ReadBytes(zt::CorpusPath("bad/truncated_jpeg_progressive.jpg"))),
        pf::E_FAIL);
    // Sizes beyond the limits are refused from the header: no more is
    // allocated than for a picture of no size, refused there too.
    auto allocations = [&](const std::string& file, HRESULT result) {
        const std::vector<uint8_t> bytes = zt::ReadBytes(zt::CorpusPath("bad/" + file));
        const long before = zorva::AllocationCount();
        EXPECT_EQ(FromStream(bitmap, bytes), result) << file;
        return zorva::AllocationCount() - before;
    };
    for (auto [huge, empty] : {std::pair{"png_huge.png", "png_zero_width.png"},
                               {"gif_huge.gif", "gif_zero_width.gif"},
                               {"jpeg_huge.jpg", "jpeg_zero_width.jpg"},
                               {"bmp_huge.bmp", "bmp_zero_height.bmp"}})
        EXPECT_LE(allocations(huge, pf::IMGERR_TOOLARGE), allocations(empty, pf::IMGERR_CORRUPT))
            << huge;
    EXPECT_EQ(FromStream(bitmap, zt::ReadBytes(zt::CorpusPath("bad/webp_huge.webp"))),
              pf::IMGERR_TOOLARGE);
}

TEST_F(Loading, LargeBmpsAreReadBandByBandInEitherRowOrder) {
    // 700 x 600 at 24 and 32 bits: more rows than SDL is given at a time;
    // bottom-up, and top-down (rows reversed, height negative).
    for (bool alpha : {false, true}) {
        const zt::Rgba p = Pattern(700, 600, alpha);
        std::vector<uint8_t> up = zt::MakeBmp(p, alpha), down = up;
        const size_t offset = up[10] | up[11] << 8, row = (up.size() - offset) / 600;
        for (size_t y = 0; y < 600; ++y)
            std::memcpy(&down[offset + y * row], &up[offset + (599 - y) * row], row);
        const int32_t negative = -600;
        std::memcpy(&down[22], &negative, 4);
        for (const auto* file : {&up, &down}) {
            const std::string path = zt::ScratchPath("bands.bmp");
            ASSERT_TRUE(zt::WriteBytes(path, *file));
            CCEBitmap bitmap;
            ASSERT_EQ(bitmap.LoadBitmapW(nullptr, zt::Wide(path).c_str(), 0, 0, 0, 0), 1);
            EXPECT_EQ(zt::Differ565(p, bitmap.m_pPixels, 700, alpha ? bitmap.m_pAlpha : nullptr), 0)
                << (alpha ? "32" : "24") << (file == &up ? " bottom-up" : " top-down");
        }
    }
}

namespace {

// `size` zero bytes, made as they are read; or a read that fails.
struct Zeros final : IStream {
    explicit Zeros(size_t size, HRESULT failure = pf::S_OK) : left(size), failure(failure) {}
    HRESULT QueryInterface(const GUID&, void**) override { return pf::E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Read(void* data, ULONG cb, ULONG* read) override {
        if (failure != pf::S_OK) return failure;
        *read = ULONG(std::min<size_t>(cb, left));
        std::memset(data, 0, *read);
        left -= *read;
        return pf::S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return pf::E_FAIL; }
    HRESULT Seek(int64_t, DWORD, uint64_t*) override { return pf::E_FAIL; }
    size_t left;
    HRESULT failure;
};

// A stream over `bytes` whose reads fail (STG_E_READFAULT) once they reach
// byte `failAt`, and that refuses to seek unless `seeks`.
struct Flaky final : IStream {
    Flaky(std::vector<uint8_t> b, size_t f, bool s) : bytes(std::move(b)), failAt(f), seeks(s) {}
    HRESULT QueryInterface(const GUID&, void**) override { return pf::E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Read(void* data, ULONG cb, ULONG* read) override {
        *read = 0;
        if (position + cb > failAt) return pf::STG_E_READFAULT;
        *read = ULONG(std::min<size_t>(cb, bytes.size() - std::min(position, bytes.size())));
        if (*read) std::memcpy(data, bytes.data() + position, *read);
        position += *read;
        return pf::S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return pf::E_FAIL; }
    HRESULT Seek(int64_t offset, DWORD origin, uint64_t* to) override {
        if (!seeks) return pf::E_FAIL;
        position = size_t(offset + (origin == pf::STREAM_SEEK_SET   ? 0
                                    : origin == pf::STREAM_SEEK_CUR ? int64_t(position)
                                                                    : int64_t(bytes.size())));
        if (to) *to = position;
        return pf::S_OK;
    }
    std::vector<uint8_t> bytes;
    size_t failAt, position = 0;
    bool seeks;
};

} // namespace

TEST_F(Loading, StreamsThatFailGiveTheirCodeAndOnesThatCannotSeekAreReadWhole) {
    // Each format from a stream that seeks (read where it lies, again for
    // each picture) and from one that cannot (read whole at once): the same
    // picture. A read failing anywhere before the end gives the stream's
    // own code, whether the image is being opened or rendered.
    pf::CoInitializeEx(nullptr, 0);
    void* object = nullptr;
    ASSERT_EQ(pf::CoCreateInstance(pf::CLSID_ImagingFactory, nullptr, 1, pf::IID_IImagingFactory,
                                   &object),
              pf::S_OK);
    auto* factory = static_cast<IImagingFactory*>(object);
    // (The large files fail past the first buffers, in the midst of decoding.)
    const std::string large = std::string(ZORVA_MALFORMED_DIR) + "/large/";
    for (const std::string& name :
         {zt::CorpusPath("valid/png_rgb.png"), zt::CorpusPath("valid/jpeg_baseline.jpg"),
          zt::CorpusPath("valid/gif_interlaced.gif"), zt::CorpusPath("valid/bmp_24.bmp"),
          zt::CorpusPath("valid/webp_alpha.webp"), large + "noise.gif", large + "noise.webp"}) {
        const std::vector<uint8_t> bytes = zt::ReadBytes(name);
        std::vector<uint16_t> pictures[2];
        for (bool seeks : {false, true}) {
            Flaky stream(bytes, SIZE_MAX, seeks);
            CCEBitmap b;
            unsigned bw = 30, bh = 30;
            ASSERT_EQ(b.GetBitmapFromStream(nullptr, &stream, &bw, &bh), 0) << name;
            pictures[seeks].assign(b.m_pPixels, b.m_pPixels + b.m_nWidth * b.m_nHeight);
        }
        EXPECT_EQ(pictures[0], pictures[1]) << name;
        for (size_t failAt : {size_t(0), size_t(7), bytes.size() / 2, bytes.size() - 1}) {
            Flaky stream(bytes, failAt, true);
            IImage* image = nullptr;
            IBitmapImage* bitmap = nullptr;
            BitmapData data{};
            HRESULT hr = factory->CreateImageFromStream(&stream, &image);
            if (hr == pf::S_OK) hr = factory->CreateBitmapFromImage(image, 30, 30, 0, 0, &bitmap);
            if (hr == pf::S_OK) hr = bitmap->LockBits(nullptr, pf::ImageLockModeRead, 0, &data);
            EXPECT_EQ(hr, pf::STG_E_READFAULT) << name << " failing at " << failAt;
            if (bitmap) bitmap->Release();
            if (image) image->Release();
        }
    }
    factory->Release();
    pf::CoUninitialize();
}

TEST_F(Loading, StreamsAreReadUpToTheByteLimit) {
    // The limit's bytes are read (zeros: no picture); one more is refused.
    for (size_t bytes : {pf::kMaxEncodedBytes, pf::kMaxEncodedBytes + 1}) {
        Zeros zeros(bytes);
        CCEBitmap bitmap;
        unsigned bw = 60, bh = 60;
        EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, &zeros, &bw, &bh),
                  bytes > pf::kMaxEncodedBytes ? pf::IMGERR_TOOLARGE : pf::IMGERR_UNKNOWNFORMAT);
    }
}

// Each kind of failure gives its reason and a sentence of its own, not the
// one for failures no check tells apart (no memory: FailedAllocations;
// arguments: AFailedLoad); a load that works clears it.
TEST_F(Loading, FailuresSayWhy) {
    using E = zorva::LoadError;
    const std::string bad = zt::CorpusPath("bad/"), good = zt::CorpusPath("valid/png_rgb.png");
    ASSERT_TRUE(zt::WriteBytes(zt::ScratchPath("text.png"), {'h', 'e', 'l', 'l', 'o'}));
    const std::tuple<E, std::string, BYTE, unsigned, unsigned> files[] = {
        {E::NotFound, bad + "none.png", 0, 0, 0},
        {E::Unreadable, ::testing::TempDir(), 0, 0, 0}, // a folder
        {E::UnsupportedFormat, zt::ScratchPath("text.png"), 0, 0, 0},
        {E::Damaged, bad + "truncated_header.bmp", 0, 0, 0},
        {E::TooLarge, bad + "png_huge.png", 0, 0, 0},
        {E::TooLarge, good, 4, 70000, 70000},
        {E::BadBox, good, 4, unsigned(-5), 240},
        {E::BadBox, good, 4, 0, 0}}; // the display's size, without a canvas
    CCEBitmap b;
    for (const auto& [reason, path, mode, w, h] : files) {
        EXPECT_EQ(b.LoadBitmapW(nullptr, zt::Wide(path).c_str(), mode, w, h, 0), 0) << path;
        EXPECT_EQ(zorva::GetLoadError(), reason) << path;
        EXPECT_STRNE(zorva::GetLoadErrorText(), "The picture could not be read."); // noted
    }
    Zeros failing(10, pf::STG_E_READFAULT); // a stream that cannot be read
    unsigned box = 60;
    EXPECT_EQ(b.GetBitmapFromStream(nullptr, &failing, &box, &box), pf::STG_E_READFAULT);
    EXPECT_EQ(zorva::GetLoadError(), E::Unreadable);
    EXPECT_EQ(b.LoadBitmapW(nullptr, zt::Wide(good).c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(zt::Values(zorva::GetLoadError() == E::None, *zorva::GetLoadErrorText()),
              zt::Values(1, 0));
}

TEST_F(Loading, TheCanvasIsCopiedAsItShows) {
    for (const auto& config :
         {zt::Dense(24, 16), zt::Padded(24, 16, 6), zt::NegativeXPitch(24, 16)}) {
        zt::TestCanvas canvas(config);
        std::mt19937 rng(5);
        canvas.FillRandom(rng);
        CCEBitmap bitmap;
        bitmap.m_bARGB = 1; // cleared by the copy
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight, bitmap.m_bARGB),
                  zt::Values(canvas.Width(), canvas.Height(), 0));
        EXPECT_EQ(std::vector<uint16_t>(bitmap.m_pPixels, bitmap.m_pPixels + 24 * 16),
                  canvas.Snapshot());
    }
    CCEBitmap bitmap;
    CCEDraw released;
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(bitmap.LoadBitmapW(&released, nullptr, 0, 0, 0, 0), 0);
}

TEST_F(Loading, TheKeptImageReloadsAndIsShared) {
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(64, 48).c_str(), 0, 0, 0, 1), 1);
    IImage* kept = bitmap.m_pImage;
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(bitmap.ImageLoadFile(nullptr, nullptr, 4, 32, 32), 1); // again, without the file
    EXPECT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight), zt::Values(32, 24));
    // A load without keeping leaves the kept image alone; a copy shares it.
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(8, 8).c_str(), 0, 0, 0, 0), 1);
    CCEBitmap copy(bitmap);
    ASSERT_EQ(copy.ImageLoadFile(nullptr, nullptr, 0, 0, 0), 1);
    EXPECT_EQ(zt::Values(bitmap.m_pImage == kept, copy.m_pImage == kept, copy.m_nWidth),
              zt::Values(1, 1, 64));
    // A failed open lets the old image go.
    EXPECT_EQ(bitmap.ImageLoadFile(nullptr, L"/no/such/file.png", 0, 0, 0), 0);
    EXPECT_EQ(bitmap.m_pImage, nullptr);
    EXPECT_EQ(bitmap.ImageLoadFile(nullptr, nullptr, 0, 0, 0), 0);
    ASSERT_EQ(copy.ImageLoadFile(nullptr, nullptr, 4, 16, 16), 1);
}

TEST_F(Loading, ConvertersStayInsideTheirBuffers) {
    struct Probe : CCEBitmap {
        using CCEBitmap::LoadARGBImage;
        using CCEBitmap::LoadResizeImage;
    } bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(16, 16, true).c_str(), 0, 0, 0, 1), 1);
    IImage* image = bitmap.m_pImage;
    // A rectangle outside the rendering, an empty one, one larger than the
    // buffers hold, no image: nothing happens. (Windows inside: the crops.)
    EXPECT_EQ(bitmap.LoadResizeImage(nullptr, image, 16, 16, tagRECT{0, 0, 17, 16}), 0);
    EXPECT_EQ(bitmap.LoadResizeImage(nullptr, image, 16, 16, tagRECT{4, 4, 4, 8}), 0);
    EXPECT_EQ(bitmap.LoadResizeImage(nullptr, image, 64, 64, tagRECT{0, 0, 64, 64}), 0);
    EXPECT_EQ(bitmap.LoadARGBImage(nullptr, image, 64, 64, tagRECT{0, 0, 64, 64}), 0);
    EXPECT_EQ(bitmap.LoadARGBImage(nullptr, nullptr, 16, 16, tagRECT{0, 0, 16, 16}), 0);
    EXPECT_EQ(bitmap.m_bARGB, 0);
}

TEST_F(Loading, BadFilesGiveZeroThroughEveryLoader) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    // Every loader refuses each bad file of the corpus, and the files of our
    // formats that gdk-pixbuf refuses; its damaged files and GIF suite, when
    // present, may give anything but an inconsistent bitmap.
    std::vector<std::string> files = zt::ListFiles(zt::CorpusPath("bad"));
    ASSERT_GE(files.size(), 25u);
    const size_t ours = files.size();
    const std::string gdk = zt::GdkPixbufImages();
    for (const char* folder : {"/fail", "/randomly-modified", "/gif-test-suite"})
        for (const std::string& file : zt::ListFiles(gdk.empty() ? "" : gdk + folder))
            files.push_back(file);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string ext = files[i].substr(files[i].rfind('.') + 1);
        const bool ourFormat = ext == "png" || ext == "jpg" || ext == "gif" || ext == "bmp";
        const bool refused =
            i < ours || (ourFormat && files[i].find("/fail/") != std::string::npos);
        for (const auto& load : Loaders(&canvas.canvas, files[i])) {
            CCEBitmap fresh;
            const int result = load(fresh);
            EXPECT_TRUE(result == 0 || !refused) << files[i];
            zt::ExpectConsistent(fresh);
        }
    }
}

// After any failed load the bitmap holds no picture, whatever it held before
// (a red one with a plane, or nothing): its buffers and delays are given back,
// and every blit, transform and save of it gives 0 and draws nothing. Each
// entry point fails on a PNG whose header reads and whose data is cut off
// (after the size is known), or on a refused argument; the size fields are
// the failure's (-1: as before), and so is the reason: damage for the cut
// file, the box for an empty window, else the argument. Each case gives 1
// when it loaded.
TEST_F(Loading, AFailedLoadLeavesNoPicture) {
    struct Probe : CCEBitmap {
        using CCEBitmap::LoadFile;
    };
    zt::TestCanvas canvas(zt::Dense(8, 8));
    CCEDraw* c = &canvas.canvas;
    const std::string cut = zt::CorpusPath("bad/truncated_png_rgba.png"); // 37 x 29
    const std::wstring name = zt::Wide(cut), out = zt::Wide(zt::ScratchPath("none.bmp"));
    const wchar_t* f = name.c_str();
    CCEBitmap kept, target; // kept holds the cut image, which opens and fails to decode
    ASSERT_EQ(kept.LoadBitmapW(c, f, 0, 0, 0, 1), 0);
    ASSERT_NE(kept.m_pImage, nullptr);
    unsigned n = 0;
    const std::tuple<const char*, int, int, std::function<int(Probe&)>> loads[] = {
        {"LoadBitmapW", 37, 29, [&](auto& b) { return b.LoadBitmapW(c, f, 0, 0, 0, 0); }},
        {"LoadBitmapW fitted", 13, 10, [&](auto& b) { return b.LoadBitmapW(c, f, 4, 13, 11, 1); }},
        {"LoadBitmapW copy", -1, -1, [&](auto& b) { return b.LoadBitmapW(0, 0, 0, 0, 0, 0); }},
        {"LoadBitmapW missing", 0, 0, [&](auto& b) { return b.LoadBitmapW(c, L"", 0, 0, 0, 0); }},
        {"LoadFile", 37, 29, [&](auto& b) { return b.LoadFile(c, f, 0, 0, 0); }},
        {"ImageLoadFile", 37, 29, [&](auto& b) { return b.ImageLoadFile(c, f, 0, 0, 0); }},
        {"LoadGIF", 37, 29, [&](auto& b) { return b.LoadGIF(c, f, 0, n, n); }},
        {"LoadGIF of no name", -1, -1, [&](auto& b) { return b.LoadGIF(c, 0, 0, n, n); }},
        {"GetBitmapFromStream", 50, 39,
         [&](auto& b) { return !FromStream(b, zt::ReadBytes(cut)); }},
        {"Crop", 5, 6, [&](auto& b) { return b.Crop(c, f, 9, 9, -1, -1, 5, 6, 0); }},
        {"ImageCrop", 5, 6, [&](auto& b) { return b.ImageCrop(c, &kept, 9, 9, -1, -1, 5, 6, 0); }},
        // Crop's refusals: no canvas; no name, file, source or kept image; a
        // turn code other than 0, 1, 2, 4; an empty window.
        {"Crop of no canvas", -1, -1, [&](auto& b) { return b.Crop(0, f, 9, 9, 0, 0, 9, 9, 0); }},
        {"Crop of no name", 0, 0, [&](auto& b) { return b.Crop(c, 0, 9, 9, 0, 0, 9, 9, 0); }},
        {"Crop missing", 0, 0, [&](auto& b) { return b.Crop(c, L"", 9, 9, 0, 0, 9, 9, 0); }},
        {"ImageCrop null", 0, 0, [&](auto& b) { return b.ImageCrop(c, 0, 9, 9, 0, 0, 9, 9, 0); }},
        {"ImageCrop bare", 0, 0, [&](auto& b) { return b.ImageCrop(c, &b, 9, 9, 0, 0, 9, 9, 0); }},
        {"Crop code 3", 0, 0, [&](auto& b) { return b.Crop(c, f, 9, 9, 0, 0, 9, 9, 3); }},
        {"Crop empty", 0, 0, [&](auto& b) { return b.Crop(c, f, 9, 9, 0, 0, 0, 9, 0); }},
        {"LoadText", -1, -1, [&](auto& b) { return b.LoadText(c, -12, 400, 0, 0, 0, 0, 0, 0); }},
        {"DrawPic", -1, -1, [&](auto& b) { return int(b.DrawPic(nullptr, 2, L"1", 0)); }},
        {"CaptureScreen", -1, -1, [&](auto& b) { return b.CaptureScreen(nullptr); }}};
    for (const auto& [what, width, height, load] : loads)
        for (int held : {4, 0}) {
            SCOPED_TRACE(what);
            Probe b;
            if (held)
                zt::MakeBitmap(b, 4, 4, std::vector<uint16_t>(16, 0xF800),
                               std::vector<uint8_t>(16, 32));
            ASSERT_EQ(target.Surface(c, 4, 4, 0, 0), 1);
            canvas.Load(std::vector<uint16_t>(64, 0));
            CCEBitmap().LoadBitmapW(c, L"/none", 0, 0, 0, 0); // NotFound, which each replaces
            EXPECT_EQ(load(b), 0);
            using E = zorva::LoadError;
            EXPECT_EQ(zorva::GetLoadError(), width > 0                    ? E::Damaged
                                             : strcmp(what, "Crop empty") ? E::BadArgument
                                                                          : E::BadBox);
            EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight),
                      zt::Values(width < 0 ? held : width, height < 0 ? held : height));
            EXPECT_EQ(zt::Values(b.BitBlt(c, 0, 0, 0, 0, 0, 0, SRCCOPY, 32),
                                 b.BitBlt2x(c, 0, 0, 0, 0, 0, 0, SRCCOPY, 32),
                                 b.BitRot(c, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 1),
                                 b.BitRot2x(c, 0, 0, 0, 0, 0, 0, SRCCOPY, 32, 4),
                                 target.Merge(c, &b, 0, 0, 0, 0, 0, 0, SRCCOPY, 32),
                                 target.Clone(&b, 0, 0, 0, 0), target.Stretch(&b, 2, 2, 0),
                                 target.FreeRotate(&b, 30, 0),
                                 target.StretchEx(&b, 0, 0, 3, 0, 0, 3, 3, 3, 0, 0, 0),
                                 target.Shadow(&b, 0), b.Rotate(2), b.SaveFile(out.c_str()),
                                 b.m_pPixels || b.m_pAlpha || b.m_pFrames || b.m_bARGB),
                      std::vector<int64_t>(13, 0));
            EXPECT_EQ(canvas.Snapshot(), std::vector<uint16_t>(64, 0));
        }
}

TEST_F(Loading, FailedAllocationsLeaveAConsistentBitmap) {
    // Each allocation of every loader fails in turn, for a file of each
    // format; the sanitizer build checks that no path leaks.
    zt::TestCanvas canvas(zt::Dense(240, 320));
    for (const std::string& name : zt::Words("png_rgba.png jpeg_progressive.jpg "
                                             "gif_anim_previous.gif bmp_8.bmp webp_alpha.webp"))
        for (const auto& load : Loaders(&canvas.canvas, zt::CorpusPath("valid/" + name))) {
            int result = 0;
            long n = 0;
            while (result != 1 && ++n < 200) {
                CCEBitmap bitmap;
                zorva::FailAllocation(n);
                result = load(bitmap);
                zorva::FailAllocation(0);
                zt::ExpectConsistent(bitmap);
                EXPECT_TRUE(result || zorva::GetLoadError() == zorva::LoadError::OutOfMemory)
                    << name << " allocation " << n << ": " << zorva::GetLoadErrorText();
            }
            EXPECT_EQ(result, 1) << name;
            EXPECT_GT(n, 2) << name; // loaded after failures
        }
}

TEST_F(Loading, AnyFileFitsABoxIn16MBAndLoadsWholeInFiveBytesAPixel) {
    // The most held during each load beyond what was held before: every
    // block of the process, the codec libraries' own included, when this
    // build counts them (HeapPeak), else the platform allocator's. Fitted to
    // 320 x 240, any file takes at most 16 MB (the PNG alone is 25.8 MB; the
    // limit files hold kMaxWholePictureBytes in their codec), and a file
    // whose codec streams 2 MB. At its own size a picture takes at most 5
    // bytes a pixel and a megabyte of rows and tables, except a WebP file
    // that libwebp holds whole with its lossless picture or alpha plane.
    if (std::getenv("ZORVA_MALFORMED_LIGHT")) GTEST_SKIP() << "large files";
    const bool all = zt::heap::Counting();
    auto peak = [&](const std::function<bool()>& load) {
        const long before = all ? zt::heap::Live() : long(pf::LiveBytes());
        all ? zt::heap::ResetPeak() : pf::ResetPeakBytes();
        EXPECT_TRUE(load());
        return double((all ? zt::heap::Peak() : long(pf::PeakBytes())) - before);
    };
    // Whether the codec holds the file or picture whole, and whether the
    // picture then still loads in 5 bytes a pixel.
    const std::tuple<std::string, bool, bool> files[] = {
        {"large/noise.png", false, true},
        {"large/noise.jpg", false, true},
        {"large/noise.gif", false, true},
        {"large/noise.bmp", false, true},
        {"large/noise.webp", false, true},
        {"png_interlaced_2048.png", false, true},
        {"jpeg_progressive_at_whole_limit.jpg", true, true},
        {"bmp_rle8_at_whole_limit.bmp", true, true},
        {"large/noise_lossless.webp", true, false},
        {"large/noise_alpha.webp", true, false}};
    for (const auto& [name, whole, inFive] : files) {
        const std::string path = std::string(ZORVA_MALFORMED_DIR) + "/" + name;
        CCEBitmap bitmap;
        const double fitted = peak(
            [&] { return bitmap.LoadBitmapW(nullptr, zt::Wide(path).c_str(), 4, 320, 240, 0); });
        IStream* stream = zorva::OpenFileStream(path.c_str());
        unsigned bw = 320, bh = 240;
        const double streamed =
            peak([&] { return bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh) == 0; });
        if (stream) stream->Release();
        const double full =
            peak([&] { return bitmap.LoadBitmapW(nullptr, zt::Wide(path).c_str(), 0, 0, 0, 0); });
        const double pixels = double(bitmap.m_nWidth) * bitmap.m_nHeight;
        std::printf("%-40s fitted %6.2f MB  stream %6.2f MB  full %5.2f bytes a pixel\n",
                    name.c_str(), fitted / 1e6, streamed / 1e6, full / pixels);
        EXPECT_LE(std::max(fitted, streamed), whole ? 16e6 : 2e6) << name;
        if (inFive) {
            EXPECT_LE(full, 5 * pixels + (1 << 20)) << name;
        }
    }
}
