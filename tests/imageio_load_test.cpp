// Loading files and streams into bitmaps: the sizing arithmetic and its
// worked values, the box from the display, both converters, the canvas copy,
// the kept image, streams; bad input and failed allocations through every
// loader (files, streams, GIF strips, crops).
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "platform/Platform.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

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

// Every way of loading a file into a bitmap; 1 when it loaded, 0 when not.
std::vector<std::function<int(CCEBitmap&)>> Loaders(CCEDraw* canvas, const std::string& file) {
    const std::wstring path = zt::Wide(file);
    return {[=](CCEBitmap& b) { return b.LoadBitmapW(canvas, path.c_str(), 0, 50, 50, 0); },
            [=](CCEBitmap& b) { return b.LoadBitmapW(canvas, path.c_str(), 2, 20, 20, 1); },
            [=](CCEBitmap& b) { return b.LoadBitmapW(canvas, path.c_str(), 4, 50, 50, 1); },
            [=](CCEBitmap& b) { return b.Crop(canvas, path.c_str(), 30, 40, -3, -4, 10, 12, 1); },
            [=](CCEBitmap& b) {
                unsigned count = 0, reserved = 0;
                return b.LoadGIF(canvas, path.c_str(), 0, count, reserved);
            },
            [=](CCEBitmap& b) {
                const std::vector<uint8_t> bytes = zt::ReadBytes(file);
                IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
                unsigned bw = 50, bh = 50;
                const long result = stream ? b.GetBitmapFromStream(canvas, stream, &bw, &bh) : -1;
                if (stream) stream->Release();
                return result == 0 ? 1 : result < 0 ? 0 : 2;
            }};
}

} // namespace

TEST(LoaderArithmetic, MulDivRoundsAndFitToBoxTouchesTheBox) {
    // MulDiv: halves away from zero, a 64-bit product, -1 on overflow or /0.
    const int32_t muldiv[][4] = {
        {100, 320, 300, 107},  {3, 3, 2, 5},
        {-3, 3, 2, -5},        {3, -3, 2, -5},
        {3, 3, -2, -5},        {-3, -3, 2, 5},
        {7, 1, 3, 2},          {7, 1, 0, -1},
        {INT32_MAX, 2, 1, -1}, {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}};
    for (const auto& c : muldiv)
        EXPECT_EQ(pf::MulDiv(c[0], c[1], c[2]), c[3]) << c[0] << " * " << c[1] << " / " << c[2];
    // FitToBox: box, picture, fitted picture; null pointers change nothing.
    const unsigned fits[][6] = {{240, 320, 100, 300, 107, 320}, {240, 320, 640, 480, 240, 180},
                                {240, 320, 250, 100, 240, 96},  {240, 320, 96, 128, 240, 320},
                                {240, 320, 1, 1, 240, 240},     {240, 320, 240, 320, 240, 320},
                                {60, 60, 96, 128, 45, 60}};
    for (const auto& c : fits) {
        unsigned w = c[2], h = c[3];
        zorva::FitToBox(int(c[0]), int(c[1]), &w, &h);
        zorva::FitToBox(1, 1, &w, nullptr);
        zorva::FitToBox(1, 1, nullptr, &h);
        EXPECT_TRUE(w == c[4] && h == c[5]) << c[2] << "x" << c[3] << " gave " << w << "x" << h;
    }
    zorva::TargetSize t; // 10 * W / 11 is worked out in 64 bits, and too large
    EXPECT_FALSE(zorva::ComputeTargetSize(1, 4000000000u, 11, 5, 10, &t));
}

TEST_F(Loading, FilesLoadAtTheSizesOfTheTable) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    // Mode, box, image, target, scaled, thumbnail; each loaded from a file
    // too, kept or not.
    // clang-format off
    const uint32_t modes[][9] = {
        {1, 240, 320, 1024, 768, 426, 320, 1, 0},   // portrait box: the height becomes L
        {1, 240, 320, 300, 1000, 300, 1000, 0, 0},  // 300 <= L: own size
        {1, 320, 240, 1024, 768, 320, 240, 1, 0},   // landscape box: the width becomes L
        {5, 240, 320, 1024, 768, 426, 320, 1, 0},   // 5..255 as 1
        {255, 240, 320, 1024, 768, 426, 320, 1, 0},
        {2, 300, 300, 600, 400, 450, 300, 0, 1},    // square box, H <= W
        {2, 300, 300, 400, 600, 300, 450, 0, 1},    // square box, H > W
        {2, 320, 240, 1024, 768, 426, 320, 0, 1},   // landscape: across is the height
        {2, 240, 320, 1024, 768, 320, 240, 0, 1},   // portrait: across is the width
        {2, 240, 320, 200, 1000, 200, 1000, 0, 0},
        {3, 240, 320, 200, 200, 200, 200, 0, 0},    // fits the shorter side
        {3, 240, 320, 250, 100, 240, 96, 1, 0},
        {4, 240, 320, 100, 50, 240, 120, 1, 0},     // enlarged
        {4, 240, 320, 640, 480, 240, 180, 1, 0},
        {0, 10, 10, 640, 480, 640, 480, 0, 0}};
    // clang-format on
    for (const auto& c : modes) {
        zorva::TargetSize t;
        CCEBitmap bitmap;
        const int keep = int(&c - modes) % 2;
        ASSERT_TRUE(zorva::ComputeTargetSize(BYTE(c[0]), c[3], c[4], c[1], c[2], &t));
        EXPECT_TRUE(t.width == c[5] && t.height == c[6] && t.scaled == c[7] && t.thumbnail == c[8])
            << "mode " << c[0] << " box " << c[1] << "x" << c[2] << " image " << c[3] << "x"
            << c[4];
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, PatternFile(c[3], c[4]).c_str(), BYTE(c[0]),
                                     c[1], c[2], keep),
                  1);
        EXPECT_TRUE(bitmap.m_nWidth == int(c[5]) && bitmap.m_nHeight == int(c[6]) &&
                    !bitmap.m_bARGB && (bitmap.m_pImage != nullptr) == keep)
            << "mode " << c[0];
        zt::ExpectConsistent(bitmap);
    }
    // An empty box is the display as it is turned.
    const std::wstring big = PatternFile(1024, 768);
    for (int orientation : {0, 1, 2, 4}) {
        zorva::VirtualDisplayConfig config = zorva::GetVirtualDisplay();
        config.orientation = orientation;
        zorva::SetVirtualDisplay(config);
        const bool turned = orientation & 5;
        uint32_t w = 0, h = 0;
        CCEBitmap bitmap;
        ASSERT_TRUE(zorva::LoaderBox(&canvas.canvas, 0, 0, &w, &h));
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, big.c_str(), 1, 0, 0, 0), 1);
        EXPECT_TRUE(w == (turned ? 320u : 240u) && h == (turned ? 240u : 320u)) << orientation;
        EXPECT_EQ(bitmap.m_nWidth, turned ? 320 : 426) << orientation;
    }
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(zorva::LoaderBox(nullptr, 10, 0, &w, &h)); // a given box needs no canvas
    EXPECT_FALSE(zorva::LoaderBox(nullptr, 0, 0, &w, &h));
}

TEST_F(Loading, PixelsAreTheReadersWithLowBitsDropped) {
    // Widths 1 to 9 give every row padding of the 24-bit section (5 pixels:
    // 15 bytes in rows 16 apart).
    CCEBitmap bitmap;
    for (int width = 1; width <= 9; ++width) {
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(width, 4).c_str(), 0, 0, 0, 0), 1);
        ASSERT_TRUE(bitmap.m_nWidth == width && bitmap.m_nHeight == 4);
        EXPECT_EQ(zt::Differ565(Pattern(width, 4), bitmap.m_pPixels, width), 0) << width;
    }
    // The worked pixel B = 0xFF, G = 0x80, R = 0x08, A = 0x7F.
    const std::string one = zt::ScratchPath("one_pixel.bmp");
    ASSERT_TRUE(zt::WriteBytes(one, zt::MakeBmp({1, 1, {0x08, 0x80, 0xFF, 0x7F}}, true)));
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, zt::Wide(one).c_str(), 0, 0, 0, 0), 1);
    EXPECT_TRUE(bitmap.m_bARGB == 1 && bitmap.m_pPixels[0] == 0x0C1F && bitmap.m_pAlpha[0] == 15);
    // Real files at their own size; those with alpha ('+') fill the plane
    // too, except from a stream.
    for (std::string name :
         zt::Words("png_rgb.png jpeg_progressive.jpg gif_interlaced.gif bmp_4.bmp webp_lossy.webp "
                   "+png_rgba.png +png_palette_trns.png +gif_transparent.gif +bmp_32_alpha.bmp "
                   "+webp_lossless_alpha.webp")) {
        const bool alpha = name[0] == '+';
        name = "valid/" + name.substr(alpha);
        const zt::Rgba ref = zt::Reference(name);
        ASSERT_EQ(
            bitmap.LoadBitmapW(nullptr, zt::Wide(zt::CorpusPath(name)).c_str(), 0, 0, 0, alpha), 1);
        ASSERT_TRUE(bitmap.m_nWidth == ref.width && bitmap.m_nHeight == ref.height &&
                    bitmap.m_bARGB == alpha)
            << name;
        zt::ExpectConsistent(bitmap);
        EXPECT_EQ(
            zt::Differ565(ref, bitmap.m_pPixels, ref.width, alpha ? bitmap.m_pAlpha : nullptr), 0)
            << name;
        const std::vector<uint8_t> bytes = zt::ReadBytes(zt::CorpusPath(name));
        IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
        unsigned bw = 100, bh = 100;
        EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), 0);
        EXPECT_EQ(bitmap.m_bARGB, 0) << name;
        stream->Release();
    }
}

TEST_F(Loading, StreamsFitTheirBox) {
    // 96 x 128 into 60 x 60 from memory, into 320 x 240 from a file; the
    // box is read, not written.
    const std::vector<uint8_t> bmp = zt::MakeBmp(Pattern(96, 128), false);
    const std::wstring path = PatternFile(96, 128);
    IStream* streams[] = {zorva::OpenMemoryStream(bmp.data(), bmp.size()),
                          zorva::OpenFileStream(std::string(path.begin(), path.end()).c_str())};
    CCEBitmap bitmap;
    for (unsigned i = 0, bw = 60, bh = 60; i < 2; ++i, bw = 320, bh = 240) {
        EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, streams[i], &bw, &bh), 0);
        streams[i]->Release();
        EXPECT_TRUE(bitmap.m_nWidth == (i ? 180 : 45) && bitmap.m_nHeight == (i ? 240 : 60) &&
                    bw == (i ? 320 : 60));
    }
    // Null arguments; a stream of no image; of a damaged image.
    const std::vector<uint8_t> cut =
        zt::ReadBytes(zt::CorpusPath("bad/truncated_jpeg_progressive.jpg"));
    IStream* text = zorva::OpenMemoryStream("hello", 5);
    IStream* jpeg = zorva::OpenMemoryStream(cut.data(), cut.size());
    unsigned bw = 60, bh = 60;
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, nullptr, &bw, &bh), pf::E_FAIL);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, jpeg, nullptr, &bh), pf::E_FAIL);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, jpeg, &bw, nullptr), pf::E_FAIL);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, text, &bw, &bh), pf::IMGERR_UNKNOWNFORMAT);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, jpeg, &bw, &bh), pf::E_FAIL);
    text->Release(), jpeg->Release();
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
        const std::vector<uint16_t> expected = canvas.Snapshot();
        ASSERT_TRUE(bitmap.m_nWidth == canvas.Width() && bitmap.m_nHeight == canvas.Height() &&
                    !bitmap.m_bARGB);
        EXPECT_EQ(std::memcmp(bitmap.m_pPixels, expected.data(), expected.size() * 2), 0);
    }
    CCEBitmap bitmap;
    CCEDraw released;
    EXPECT_TRUE(bitmap.LoadBitmapW(nullptr, nullptr, 0, 0, 0, 0) == 0 &&
                bitmap.LoadBitmapW(&released, nullptr, 0, 0, 0, 0) == 0);
}

TEST_F(Loading, TheKeptImageReloadsAndIsSharedAndEachBitmapHasOneFactory) {
    const int initialisations = pf::ComInitializations();
    {
        CCEBitmap bitmap;
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(64, 48).c_str(), 0, 0, 0, 1), 1);
        IImage* kept = bitmap.m_pImage;
        ASSERT_EQ(bitmap.ImageLoadFile(nullptr, nullptr, 4, 32, 32), 1); // again, without the file
        EXPECT_TRUE(kept && bitmap.m_nWidth == 32 && bitmap.m_nHeight == 24 &&
                    bitmap.m_pImage == kept);
        // A load without keeping leaves the kept image alone; a copy shares
        // it and has a factory of its own.
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(8, 8).c_str(), 0, 0, 0, 0), 1);
        CCEBitmap copy(bitmap);
        ASSERT_EQ(copy.ImageLoadFile(nullptr, nullptr, 0, 0, 0), 1);
        EXPECT_TRUE(bitmap.m_pImage == kept && copy.m_pImage == kept && copy.m_nWidth == 64);
        EXPECT_EQ(pf::ComInitializations(), initialisations + 2);
        // A failed open lets the old image go.
        EXPECT_EQ(bitmap.ImageLoadFile(nullptr, L"/no/such/file.png", 0, 0, 0), 0);
        EXPECT_TRUE(bitmap.m_pImage == nullptr &&
                    bitmap.ImageLoadFile(nullptr, nullptr, 0, 0, 0) == 0);
        ASSERT_EQ(copy.ImageLoadFile(nullptr, nullptr, 4, 16, 16), 1);
    }
    EXPECT_EQ(pf::ComInitializations(), initialisations);
}

TEST_F(Loading, ConvertersStayInsideTheirBuffers) {
    struct Probe : CCEBitmap {
        using CCEBitmap::LoadARGBImage;
        using CCEBitmap::LoadResizeImage;
    } bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(16, 16, true).c_str(), 0, 0, 0, 1), 1);
    IImage* image = bitmap.m_pImage;
    // A rectangle outside the rendering, an empty one, one larger than the
    // buffers hold, no image: nothing happens.
    EXPECT_EQ(bitmap.LoadResizeImage(nullptr, image, 16, 16, tagRECT{0, 0, 17, 16}), 0);
    EXPECT_EQ(bitmap.LoadResizeImage(nullptr, image, 16, 16, tagRECT{4, 4, 4, 8}), 0);
    EXPECT_EQ(bitmap.LoadResizeImage(nullptr, image, 64, 64, tagRECT{0, 0, 64, 64}), 0);
    EXPECT_EQ(bitmap.LoadARGBImage(nullptr, image, 64, 64, tagRECT{0, 0, 64, 64}), 0);
    EXPECT_EQ(bitmap.LoadARGBImage(nullptr, nullptr, 16, 16, tagRECT{0, 0, 16, 16}), 0);
    EXPECT_EQ(bitmap.m_bARGB, 0);
    // Inside: the window of the rendering, packed from the buffers' start.
    ASSERT_EQ(bitmap.LoadARGBImage(nullptr, image, 16, 16, tagRECT{3, 5, 9, 7}), 1);
    const zt::Rgba pattern = Pattern(16, 16, true);
    zt::Rgba window{6, 2, {}};
    for (int y = 5; y < 7; ++y)
        window.pixels.insert(window.pixels.end(), pattern.At(3, y), pattern.At(9, y));
    EXPECT_TRUE(bitmap.m_bARGB == 1 &&
                zt::Differ565(window, bitmap.m_pPixels, 6, bitmap.m_pAlpha) == 0);
}

TEST_F(Loading, BadFilesGiveZeroThroughEveryLoader) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, PatternFile(8, 8, true).c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, L"/no/such/file.png", 0, 0, 0, 0), 0);
    EXPECT_TRUE(bitmap.m_nWidth == 0 && bitmap.m_nHeight == 0 && !bitmap.m_bARGB);
    // Every loader refuses each bad file of the corpus; the files gdk-pixbuf
    // refuses and its GIF suite, when present, may give anything but an
    // inconsistent bitmap.
    std::vector<std::string> files = zt::ListFiles(zt::CorpusPath("bad"));
    const size_t ours = files.size();
    const std::string gdk = zt::GdkPixbufImages();
    for (const std::string& file : zt::ListFiles(gdk.empty() ? "" : gdk + "/fail"))
        files.push_back(file);
    for (const std::string& file :
         zt::ListFiles(gdk.empty() ? "" : gdk + "/gif-test-suite", ".gif"))
        files.push_back(file);
    for (size_t i = 0; i < files.size(); ++i)
        for (const auto& load : Loaders(&canvas.canvas, files[i])) {
            CCEBitmap fresh;
            EXPECT_TRUE(load(fresh) == 0 || i >= ours) << files[i];
            zt::ExpectConsistent(fresh);
        }
}

TEST_F(Loading, FailedAllocationsLeaveAConsistentBitmap) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    for (const std::string name : {"valid/png_rgba.png", "valid/gif_anim_previous.gif"})
        for (const auto& load : Loaders(&canvas.canvas, zt::CorpusPath(name))) {
            int result = 0;
            long n = 0;
            while (result != 1 && ++n < 200) {
                CCEBitmap bitmap;
                zorva::FailAllocation(n);
                result = load(bitmap);
                zorva::FailAllocation(0);
                zt::ExpectConsistent(bitmap);
            }
            EXPECT_TRUE(result == 1 && n > 2) << name; // loaded after failures
        }
}

TEST_F(Loading, PeakMemoryFollowsTheBoxNotThePicture) {
    // The most the platform allocator held during each load, beyond what
    // was held before (the file's own bytes included): a fitted load holds
    // the box and a band of rows, however large the picture; a load at the
    // picture's own size at most 8 bytes a pixel, plus rows and the file.
    const std::string malformed = ZORVA_MALFORMED_DIR;
    struct Case {
        std::string file;
        BYTE mode;
        unsigned box;
        double bytesPerPixel; // of the result, what may be held
        size_t fixed;         // and a fixed part: rows, tables, the file
    };
    const Case cases[] = {
        {malformed + "/png_8000x8000_1bit.png", 4, 240, 8, 256 << 10},
        {malformed + "/png_interlaced_2048.png", 4, 240, 24, 256 << 10},
        {malformed + "/fault3_gif_33_frames_8000.gif", 4, 240, 16, 256 << 10},
        {malformed + "/fault2_png_40000x1.png", 0, 0, 8, 1 << 20},
        {zt::CorpusPath("photo_640x480.png"), 4, 60, 16, 1 << 20},
        {zt::CorpusPath("photo_640x480.png"), 0, 0, 8, 640 << 10},
        {zt::CorpusPath("photo_2048x1536_progressive.jpg"), 4, 240, 16, 1 << 20},
    };
    for (const Case& c : cases) {
        CCEBitmap bitmap;
        const size_t before = pf::LiveBytes();
        pf::ResetPeakBytes();
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, zt::Wide(c.file).c_str(), c.mode, c.box, c.box, 0), 1)
            << c.file;
        const double pixels = double(bitmap.m_nWidth) * bitmap.m_nHeight;
        EXPECT_LE(double(pf::PeakBytes() - before), c.bytesPerPixel * pixels + double(c.fixed))
            << c.file << " mode " << int(c.mode) << ": " << pf::PeakBytes() - before
            << " bytes for " << pixels << " pixels";
    }
}
