// Loading files and streams into bitmaps: the sizing table and its worked
// values, the box from the display, the GDI path and both converters, the
// canvas copy, the kept image, streams, and bad input.
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "platform/Platform.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pf = zorva::platform;

namespace {

class Loading : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// A picture of width x height whose every pixel differs from its
// neighbours: R = 7x + 3y, G = 5x + 11y, B = x ^ y, all modulo 256.
zt::Rgba Pattern(int width, int height, bool alpha = false) {
    zt::Rgba p;
    p.width = width;
    p.height = height;
    p.pixels.resize(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* q = &p.pixels[(size_t(y) * width + x) * 4];
            q[0] = uint8_t(7 * x + 3 * y);
            q[1] = uint8_t(5 * x + 11 * y);
            q[2] = uint8_t(x ^ y);
            q[3] = alpha ? uint8_t(9 * x + 17 * y) : 255;
        }
    return p;
}

// Writes a BMP of the pattern into the test's temporary folder.
std::string PatternFile(int width, int height, bool alpha = false) {
    const std::string path = zt::ScratchPath("pattern_" + std::to_string(width) + "x" +
                                             std::to_string(height) + (alpha ? "a" : "") + ".bmp");
    EXPECT_TRUE(zt::WriteBytes(path, zt::MakeBmp(Pattern(width, height, alpha), alpha)));
    return path;
}

std::wstring W(const std::string& s) {
    return zt::Wide(s);
}

} // namespace

TEST(LoaderArithmetic, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(pf::MulDiv(100, 320, 300), 107); // 106.67
    EXPECT_EQ(pf::MulDiv(3, 3, 2), 5);         // 4.5
    EXPECT_EQ(pf::MulDiv(-3, 3, 2), -5);
    EXPECT_EQ(pf::MulDiv(3, -3, 2), -5);
    EXPECT_EQ(pf::MulDiv(3, 3, -2), -5);
    EXPECT_EQ(pf::MulDiv(-3, -3, 2), 5);
    EXPECT_EQ(pf::MulDiv(7, 1, 3), 2); // 2.33
    EXPECT_EQ(pf::MulDiv(7, 1, 0), -1);
    EXPECT_EQ(pf::MulDiv(INT32_MAX, 2, 1), -1);
    EXPECT_EQ(pf::MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX); // 64-bit product
}

TEST(LoaderArithmetic, FitToBoxKeepsTheAspectAndTouchesTheBox) {
    struct Case {
        unsigned w, h, fw, fh;
    } cases[] = {{100, 300, 107, 320}, {640, 480, 240, 180}, {250, 100, 240, 96},
                 {96, 128, 240, 320},  {1, 1, 240, 240},     {240, 320, 240, 320}};
    for (const Case& c : cases) {
        unsigned w = c.w, h = c.h;
        zorva::FitToBox(240, 320, &w, &h);
        EXPECT_EQ(w, c.fw) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.fh) << c.w << "x" << c.h;
    }
    unsigned w = 96, h = 128;
    zorva::FitToBox(60, 60, &w, &h);
    EXPECT_EQ(w, 45u);
    EXPECT_EQ(h, 60u);
    zorva::FitToBox(60, 60, &w, nullptr);
    zorva::FitToBox(60, 60, nullptr, &h);
    EXPECT_EQ(w, 45u);
}

TEST(LoaderArithmetic, SizingModesFollowTheTable) {
    struct Case {
        BYTE mode;
        uint32_t boxW, boxH, w, h, tw, th;
        bool scaled, thumbnail;
    } cases[] = {
        {1, 240, 320, 1024, 768, 426, 320, true, false},   // portrait box: height becomes L
        {1, 240, 320, 300, 1000, 300, 1000, false, false}, // 300 <= L: own size
        {1, 320, 240, 1024, 768, 320, 240, true, false},   // landscape box: width becomes L
        {5, 240, 320, 1024, 768, 426, 320, true, false},   // 5..255 as 1
        {255, 240, 320, 1024, 768, 426, 320, true, false},
        {2, 300, 300, 600, 400, 450, 300, false, true},  // square, H <= W
        {2, 300, 300, 400, 600, 300, 450, false, true},  // square, H > W
        {2, 320, 240, 1024, 768, 426, 320, false, true}, // landscape: across is height
        {2, 240, 320, 1024, 768, 320, 240, false, true}, // portrait: across is width
        {2, 240, 320, 200, 1000, 200, 1000, false, false},
        {3, 240, 320, 200, 200, 200, 200, false, false}, // fits the shorter side
        {3, 240, 320, 250, 100, 240, 96, true, false},
        {4, 240, 320, 100, 50, 240, 120, true, false}, // enlarged
        {4, 240, 320, 640, 480, 240, 180, true, false},
        {0, 10, 10, 640, 480, 640, 480, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << int(c.mode) << " box " << c.boxW << "x"
                                          << c.boxH << " image " << c.w << "x" << c.h);
        zorva::TargetSize t;
        ASSERT_TRUE(zorva::ComputeTargetSize(c.mode, c.w, c.h, c.boxW, c.boxH, &t));
        EXPECT_EQ(t.width, c.tw);
        EXPECT_EQ(t.height, c.th);
        EXPECT_EQ(t.scaled, c.scaled);
        EXPECT_EQ(t.thumbnail, c.thumbnail);
    }
    // Sizes beyond 32-bit signed numbers are worked out exactly and refused.
    zorva::TargetSize t;
    EXPECT_FALSE(zorva::ComputeTargetSize(1, 4000000000u, 11, 5, 10, &t)); // 10 * W / 11
}

TEST_F(Loading, AnEmptyBoxIsTheDisplayAsItIsTurned) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const struct {
        int orientation;
        uint32_t w, h;
    } cases[] = {{0, 240, 320}, {1, 320, 240}, {2, 240, 320}, {4, 320, 240}};
    for (const auto& c : cases) {
        zorva::VirtualDisplayConfig config = zorva::GetVirtualDisplay();
        config.orientation = c.orientation;
        zorva::SetVirtualDisplay(config);
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(zorva::LoaderBox(&canvas.canvas, 0, 0, &w, &h));
        EXPECT_EQ(w, c.w) << c.orientation;
        EXPECT_EQ(h, c.h) << c.orientation;
        // A 1024 x 768 picture in mode 1 fills the box's longer side.
        CCEBitmap bitmap;
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, W(PatternFile(1024, 768)).c_str(), 1, 0, 0, 0),
                  1);
        EXPECT_EQ(bitmap.m_nWidth, c.w == 240 ? 426 : 320);
        EXPECT_EQ(bitmap.m_nHeight, c.w == 240 ? 320 : 240);
    }
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(zorva::LoaderBox(nullptr, 10, 0, &w, &h)); // a given box needs no canvas
    EXPECT_FALSE(zorva::LoaderBox(nullptr, 0, 0, &w, &h));
}

TEST_F(Loading, FilesLoadAtTheTableSizes) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const struct {
        BYTE mode;
        unsigned boxW, boxH;
        int w, h, rw, rh;
    } cases[] = {
        {1, 240, 320, 1024, 768, 426, 320}, {1, 240, 320, 300, 1000, 300, 1000},
        {2, 300, 300, 600, 400, 450, 300},  {3, 240, 320, 200, 200, 200, 200},
        {3, 240, 320, 250, 100, 240, 96},   {4, 240, 320, 100, 50, 240, 120},
        {0, 0, 0, 96, 128, 96, 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << int(c.mode) << " " << c.w << "x" << c.h);
        for (int keep : {0, 1}) {
            CCEBitmap bitmap;
            ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, W(PatternFile(c.w, c.h)).c_str(), c.mode,
                                         c.boxW, c.boxH, keep),
                      1);
            EXPECT_EQ(bitmap.m_nWidth, c.rw);
            EXPECT_EQ(bitmap.m_nHeight, c.rh);
            EXPECT_EQ(bitmap.m_bARGB, 0);
            EXPECT_GE(bitmap.m_cbPixels, uint32_t(c.rw * c.rh * 2));
            EXPECT_EQ(bitmap.m_pImage != nullptr, keep == 1);
        }
    }
}

TEST_F(Loading, TheGdiPathGivesEveryPixelDroppingLowBits) {
    // Widths 1 to 9 cover every row padding of the 24-bit section (5 pixels:
    // 15 bytes in rows 16 apart).
    for (int width = 1; width <= 9; ++width) {
        SCOPED_TRACE(width);
        const zt::Rgba pattern = Pattern(width, 4);
        CCEBitmap bitmap;
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(PatternFile(width, 4)).c_str(), 0, 0, 0, 0), 1);
        ASSERT_EQ(bitmap.m_nWidth, width);
        ASSERT_EQ(bitmap.m_nHeight, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(bitmap.m_pPixels[y * width + x], zt::To565(pattern.At(x, y)))
                    << x << "," << y;
    }
    // Real files at their own size: every pixel as the independent reader
    // sees it.
    for (const char* name :
         {"png_rgb", "jpeg_progressive", "gif_interlaced", "bmp_4", "webp_lossy"}) {
        SCOPED_TRACE(name);
        const std::string base = zt::CorpusPath(std::string("valid/") + name);
        const zt::Rgba ref = zt::ReadPnm(base + ".pam");
        const char* ext = name[0] == 'p'   ? ".png"
                          : name[0] == 'j' ? ".jpg"
                          : name[0] == 'g' ? ".gif"
                          : name[0] == 'b' ? ".bmp"
                                           : ".webp";
        CCEBitmap bitmap;
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(base + ext).c_str(), 0, 0, 0, 0), 1);
        ASSERT_EQ(bitmap.m_nWidth, ref.width);
        ASSERT_EQ(bitmap.m_nHeight, ref.height);
        EXPECT_EQ(bitmap.m_bARGB, 0);
        int differ = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x)
                differ += bitmap.m_pPixels[y * ref.width + x] != zt::To565(ref.At(x, y));
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(Loading, AlphaImagesTakeTheArgbConverter) {
    // The worked pixel: B = 0xFF, G = 0x80, R = 0x08, A = 0x7F.
    zt::Rgba one;
    one.width = one.height = 1;
    one.pixels = {0x08, 0x80, 0xFF, 0x7F};
    const std::string path = zt::ScratchPath("one_pixel.bmp");
    ASSERT_TRUE(zt::WriteBytes(path, zt::MakeBmp(one, true)));
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(path).c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(bitmap.m_bARGB, 1);
    EXPECT_EQ(bitmap.m_pPixels[0], 0x0C1F);
    EXPECT_EQ(bitmap.m_pAlpha[0], 15);

    // Files with alpha, at their own size: colour and alpha >> 3 of every
    // pixel as the independent reader sees them.
    for (const char* name : {"png_rgba.png", "png_palette_trns.png", "gif_transparent.gif",
                             "bmp_32_alpha.bmp", "webp_lossless_alpha.webp"}) {
        SCOPED_TRACE(name);
        const std::string file = zt::CorpusPath(std::string("valid/") + name);
        const zt::Rgba ref = zt::ReadPnm(file.substr(0, file.rfind('.')) + ".pam");
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(file).c_str(), 0, 0, 0, 1), 1);
        ASSERT_EQ(bitmap.m_nWidth, ref.width);
        EXPECT_EQ(bitmap.m_bARGB, 1);
        ASSERT_GE(bitmap.m_cbAlpha, uint32_t(ref.width * ref.height));
        int differ = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) {
                const uint8_t* e = ref.At(x, y);
                const size_t i = size_t(y) * ref.width + x;
                differ += bitmap.m_pAlpha[i] != e[3] >> 3;
                differ += e[3] != 0 && bitmap.m_pPixels[i] != zt::To565(e);
            }
        EXPECT_EQ(differ, 0);
        // Loaded again without alpha wanted (a stream): no alpha plane.
        std::vector<uint8_t> bytes = zt::ReadBytes(file);
        IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
        unsigned bw = 100, bh = 100;
        EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), 0);
        stream->Release();
        EXPECT_EQ(bitmap.m_bARGB, 0);
    }
}

TEST_F(Loading, StreamsFitTheirBox) {
    const std::vector<uint8_t> bmp = zt::MakeBmp(Pattern(96, 128), false);
    IStream* stream = zorva::OpenMemoryStream(bmp.data(), bmp.size());
    ASSERT_NE(stream, nullptr);
    CCEBitmap bitmap;
    unsigned bw = 60, bh = 60;
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), 0);
    stream->Release();
    EXPECT_EQ(bitmap.m_nWidth, 45);
    EXPECT_EQ(bitmap.m_nHeight, 60);
    EXPECT_EQ(bw, 60u); // read, not written
    EXPECT_EQ(bitmap.m_bARGB, 0);
    // From a file stream, with a display-sized box: 96 x 128 becomes 180 x 240.
    const std::string path = PatternFile(96, 128);
    stream = zorva::OpenFileStream(path.c_str());
    ASSERT_NE(stream, nullptr);
    bw = 320;
    bh = 240;
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), 0);
    stream->Release();
    EXPECT_EQ(bitmap.m_nWidth, 180);
    EXPECT_EQ(bitmap.m_nHeight, 240);

    // Null arguments; a stream of no image; a stream of a damaged image.
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, nullptr, &bw, &bh), pf::E_FAIL);
    stream = zorva::OpenMemoryStream("GIF89a", 6);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, nullptr, &bh), pf::E_FAIL);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, nullptr), pf::E_FAIL);
    EXPECT_LT(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), 0);
    stream->Release();
    stream = zorva::OpenMemoryStream("hello", 5);
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), pf::IMGERR_UNKNOWNFORMAT);
    stream->Release();
    const std::vector<uint8_t> cut =
        zt::ReadBytes(zt::CorpusPath("bad/truncated_jpeg_progressive.jpg"));
    stream = zorva::OpenMemoryStream(cut.data(), cut.size());
    EXPECT_EQ(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), pf::E_FAIL);
    stream->Release();
}

TEST_F(Loading, TheCanvasIsCopiedAsItShows) {
    for (const zorva::VirtualDisplayConfig& config :
         {zt::Dense(24, 16), zt::Padded(24, 16, 6), zt::NegativeXPitch(24, 16)}) {
        zt::TestCanvas canvas(config);
        std::mt19937 rng(5);
        canvas.FillRandom(rng);
        CCEBitmap bitmap;
        bitmap.m_bARGB = 1; // cleared by the copy
        ASSERT_EQ(bitmap.LoadBitmapW(&canvas.canvas, nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(bitmap.m_nWidth, canvas.Width());
        ASSERT_EQ(bitmap.m_nHeight, canvas.Height());
        EXPECT_EQ(bitmap.m_bARGB, 0);
        const std::vector<uint16_t> expected = canvas.Snapshot();
        EXPECT_EQ(std::memcmp(bitmap.m_pPixels, expected.data(), expected.size() * 2), 0);
    }
    CCEBitmap bitmap;
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, nullptr, 0, 0, 0, 0), 0);
    CCEDraw released;
    EXPECT_EQ(bitmap.LoadBitmapW(&released, nullptr, 0, 0, 0, 0), 0);
}

TEST_F(Loading, TheKeptImageReloadsAndIsShared) {
    const std::string path = PatternFile(64, 48);
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(path).c_str(), 0, 0, 0, 1), 1);
    ASSERT_NE(bitmap.m_pImage, nullptr);
    IImage* kept = bitmap.m_pImage;
    // Decoded again at another size without the file.
    ASSERT_EQ(bitmap.ImageLoadFile(nullptr, nullptr, 4, 32, 32), 1);
    EXPECT_EQ(bitmap.m_nWidth, 32);
    EXPECT_EQ(bitmap.m_nHeight, 24);
    EXPECT_EQ(bitmap.m_pImage, kept);
    // A load without keeping leaves the kept image alone; one with keeping
    // replaces it.
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(PatternFile(8, 8)).c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(bitmap.m_pImage, kept);
    {
        CCEBitmap copy(bitmap); // shares the kept image
        EXPECT_EQ(copy.m_pImage, kept);
        ASSERT_EQ(copy.ImageLoadFile(nullptr, nullptr, 0, 0, 0), 1);
        EXPECT_EQ(copy.m_nWidth, 64);
    }
    ASSERT_EQ(bitmap.ImageLoadFile(nullptr, nullptr, 4, 16, 16), 1);
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(PatternFile(8, 8)).c_str(), 0, 0, 0, 1), 1);
    EXPECT_NE(bitmap.m_pImage, nullptr);
    // A failed open lets the old image go.
    EXPECT_EQ(bitmap.ImageLoadFile(nullptr, L"/no/such/file.png", 0, 0, 0), 0);
    EXPECT_EQ(bitmap.m_pImage, nullptr);
    EXPECT_EQ(bitmap.ImageLoadFile(nullptr, nullptr, 0, 0, 0), 0);
}

TEST_F(Loading, EachBitmapOwnsOneFactoryAndOneInitialisation) {
    const int before = pf::ComInitializations();
    {
        CCEBitmap bitmap;
        const std::string path = PatternFile(8, 8);
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(path).c_str(), 0, 0, 0, 0), 1);
        IImagingFactory* factory = bitmap.m_pImgFactory;
        ASSERT_NE(factory, nullptr);
        ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(path).c_str(), 0, 0, 0, 0), 1);
        EXPECT_EQ(bitmap.m_pImgFactory, factory);
        EXPECT_EQ(pf::ComInitializations(), before + 1);
        CCEBitmap copy = bitmap;
        EXPECT_EQ(pf::ComInitializations(), before + 2);
    }
    EXPECT_EQ(pf::ComInitializations(), before);
}

TEST_F(Loading, BadFilesGiveZeroAndAnEmptyBitmap) {
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(PatternFile(8, 8, true)).c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(bitmap.m_bARGB, 1);
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, L"/no/such/file.png", 0, 0, 0, 0), 0);
    EXPECT_EQ(bitmap.m_nWidth, 0);
    EXPECT_EQ(bitmap.m_nHeight, 0);
    EXPECT_EQ(bitmap.m_bARGB, 0);
    for (const std::string& name : zt::ListFiles(zt::CorpusPath("bad"), "")) {
        SCOPED_TRACE(name);
        const std::wstring path = W(zt::CorpusPath("bad/" + name));
        for (BYTE mode : {0, 1, 4}) {
            for (int keep : {0, 1}) {
                EXPECT_EQ(bitmap.LoadBitmapW(nullptr, path.c_str(), mode, 50, 50, keep), 0);
                // Never the alpha flag without a plane of the bitmap's size.
                if (bitmap.m_bARGB) {
                    ASSERT_NE(bitmap.m_pAlpha, nullptr);
                    EXPECT_GE(bitmap.m_cbAlpha, uint32_t(bitmap.m_nWidth * bitmap.m_nHeight));
                }
            }
        }
        const std::vector<uint8_t> bytes = zt::ReadBytes(zt::CorpusPath("bad/" + name));
        IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
        unsigned bw = 50, bh = 50;
        EXPECT_LT(bitmap.GetBitmapFromStream(nullptr, stream, &bw, &bh), 0);
        stream->Release();
    }
}

TEST_F(Loading, FailedAllocationsLeaveAConsistentBitmap) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const std::string path = zt::CorpusPath("valid/png_rgba.png");
    for (BYTE mode : {0, 2, 4}) {
        bool succeeded = false;
        for (long n = 1; n < 100 && !succeeded; ++n) {
            CCEBitmap bitmap;
            zorva::FailAllocation(n);
            const int result =
                bitmap.LoadBitmapW(&canvas.canvas, W(path).c_str(), mode, 20, 20, n % 2);
            zorva::FailAllocation(0);
            succeeded = result == 1;
            if (bitmap.m_bARGB) {
                ASSERT_NE(bitmap.m_pAlpha, nullptr) << n;
                EXPECT_GE(bitmap.m_cbAlpha, uint32_t(bitmap.m_nWidth * bitmap.m_nHeight));
            }
            if (bitmap.m_pPixels) {
                EXPECT_GE(bitmap.m_cbPixels, uint32_t(bitmap.m_nWidth * bitmap.m_nHeight * 2));
            }
        }
        EXPECT_TRUE(succeeded) << int(mode);
    }
}

TEST_F(Loading, ConvertersStayInsideTheirBuffers) {
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, W(PatternFile(16, 16, true)).c_str(), 0, 0, 0, 1), 1);
    struct Probe : CCEBitmap {
        using CCEBitmap::LoadARGBImage;
        using CCEBitmap::LoadResizeImage;
    };
    Probe& probe = static_cast<Probe&>(bitmap);
    IImage* image = bitmap.m_pImage;
    // A rectangle outside the rendering, an empty one, and one larger than
    // the buffers hold.
    EXPECT_EQ(probe.LoadResizeImage(nullptr, image, 16, 16, tagRECT{0, 0, 17, 16}), 0);
    EXPECT_EQ(probe.LoadResizeImage(nullptr, image, 16, 16, tagRECT{4, 4, 4, 8}), 0);
    EXPECT_EQ(probe.LoadResizeImage(nullptr, image, 64, 64, tagRECT{0, 0, 64, 64}), 0);
    EXPECT_EQ(probe.LoadARGBImage(nullptr, image, 64, 64, tagRECT{0, 0, 64, 64}), 0);
    EXPECT_EQ(bitmap.m_bARGB, 0);
    EXPECT_EQ(probe.LoadARGBImage(nullptr, nullptr, 16, 16, tagRECT{0, 0, 16, 16}), 0);
    // Inside: the window of the rendering, packed from the buffers' start.
    ASSERT_EQ(probe.LoadARGBImage(nullptr, image, 16, 16, tagRECT{3, 5, 9, 7}), 1);
    EXPECT_EQ(bitmap.m_bARGB, 1);
    const zt::Rgba pattern = Pattern(16, 16, true);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(bitmap.m_pPixels[y * 6 + x], zt::To565(pattern.At(3 + x, 5 + y)));
            EXPECT_EQ(bitmap.m_pAlpha[y * 6 + x], pattern.At(3 + x, 5 + y)[3] >> 3);
        }
}
