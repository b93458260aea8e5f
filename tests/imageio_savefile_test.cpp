// BMP files byte for byte and read back by Pillow; replacing files and
// failures. Screen capture: the presented picture, failures.
#include "CCEBitmap.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

// The 54 header bytes for a width and height, then `body`; the size field
// holds `length`, by default the file's.
Bytes File(uint32_t w, uint32_t h, const Bytes& body = {}, size_t length = 0) {
    length = length ? length : 54 + body.size();
    Bytes b = {'B', 'M'};
    for (int k = 0; k < 32; k += 8)
        b.push_back(uint8_t(length >> k));
    b.insert(b.end(), {0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0});
    for (uint32_t v : {w, h})
        for (int k = 0; k < 32; k += 8)
            b.push_back(uint8_t(v >> k));
    b.insert(b.end(), {1, 0, 24, 0});
    b.resize(54, 0);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// What a command prints, with " exit N" added when it does not exit 0.
std::string Output(const std::string& command) {
    std::string read;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            read.append(buffer, n);
        if (const int status = pclose(p)) read += " exit " + std::to_string(status);
    }
    return read;
}

// What Pillow reads from a file: "format width height", then R, G, B bytes.
std::string Pillow(const std::string& path) {
    return Output(
        "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
        "print(im.format, *im.size, flush=True); "
        "sys.stdout.buffer.write(im.convert('RGB').tobytes())\" " +
        path + " 2>&1");
}

// What ImageMagick reads, its warnings counted as errors: R, G, B bytes.
std::string ImageMagick(const std::string& path) {
    return Output("/usr/bin/convert -regard-warnings " + path + " -depth 8 RGB:- 2>&1");
}

struct SaveFile : ::testing::Test {
    void TearDown() override {
        for (const std::string& p : paths)
            std::remove(p.c_str());
    }
    // A scratch path, removed afterwards.
    std::string Path(const std::string& name) {
        paths.push_back(zt::ScratchPath(name));
        return paths.back();
    }
    // Saves w x h pixels (rows top first), checks the readings of two
    // independent decoders, Pillow and ImageMagick (which refuses a file
    // whose length field is wrong), and gives the file's bytes.
    Bytes SaveAndRead(int w, int h, const std::vector<uint16_t>& pixels) {
        CCEBitmap b;
        EXPECT_EQ(b.Surface(&t.canvas, w, h, 0, 0), 1);
        std::copy(pixels.begin(), pixels.end(), b.m_pPixels);
        const std::string path = Path(std::to_string(w) + "x" + std::to_string(h) + ".bmp");
        EXPECT_EQ(b.SaveFile(zt::Wide(path).c_str()), 1);
        std::string expected = "BMP " + std::to_string(w) + " " + std::to_string(h) + "\n";
        for (uint16_t p : pixels) // R, G, B with the low bits zero
            expected += {char(p >> 11 << 3), char((p >> 5 & 0x3F) << 2), char((p & 0x1F) << 3)};
        EXPECT_EQ(Pillow(path), expected) << w << " x " << h;
        EXPECT_EQ(ImageMagick(path), expected.substr(expected.find('\n') + 1)) << w << " x " << h;
        return zt::ReadBytes(path);
    }
    zt::TestCanvas t{zt::Dense(240, 320)};
    std::vector<std::string> paths;
};

} // namespace

TEST_F(SaveFile, WorkedFilesAndRandomOnesReadBackIndependently) {
    // 1 x 1 white: 248, 252, 248 and one byte of padding, 58 bytes in all.
    EXPECT_EQ(SaveAndRead(1, 1, {0xFFFF}), File(1, 1, {0xF8, 0xFC, 0xF8, 0}));
    EXPECT_EQ(SaveAndRead(2, 1, {0xF800, 0x07E0}), File(2, 1, {0, 0, 0xF8, 0, 0xFC, 0, 0, 0}));
    // 4 x 2: rows of 12 bytes without padding, the lower row first; 78 bytes.
    EXPECT_EQ(SaveAndRead(4, 2, {0x0001, 0x0020, 0x0800, 0x8410, 0x001F, 0x07E0, 0xF800, 0xFFFF}),
              File(4, 2, {0xF8, 0, 0, 0, 0xFC, 0, 0, 0, 0xF8, 0xF8, 0xFC, 0xF8, //
                          8,    0, 0, 0, 4,    0, 0, 0, 8,    0x80, 0x80, 0x80}));
    // Every padding length, and a full screen.
    std::mt19937 rng(54);
    for (auto [w, h] : {std::pair{5, 2}, {6, 3}, {7, 4}, {640, 480}}) {
        std::vector<uint16_t> pixels(size_t(w) * h);
        for (uint16_t& p : pixels)
            p = uint16_t(rng());
        EXPECT_EQ(SaveAndRead(w, h, pixels).size(), 54 + size_t(h) * ((3 * w + 3) & ~3));
    }
}

TEST_F(SaveFile, HeadersAloneReplacingAndFailures) {
    CCEBitmap b;
    const std::string never = Path("never.bmp");
    EXPECT_EQ(b.SaveFile(zt::Wide(never).c_str()), 0); // no pixel buffer
    ASSERT_EQ(b.Surface(&t.canvas, 3, 2, 0xFF, 0), 1);
    // A height or a width of 0: the headers alone.
    for (auto [w, h] : {std::pair{3, 0}, {0, 2}}) {
        b.m_nWidth = w, b.m_nHeight = h;
        ASSERT_EQ(b.SaveFile(zt::Wide(Path("flat.bmp")).c_str()), 1);
        EXPECT_EQ(zt::ReadBytes(paths.back()), File(w, h));
    }
    // An existing, longer file with a name beyond ASCII is replaced and cut
    // to the new length.
    const std::string old = Path("caf\xc3\xa9.bmp");
    std::ofstream(old, std::ios::binary) << std::string(1000, 'x');
    b.m_nWidth = b.m_nHeight = 1;
    ASSERT_EQ(b.SaveFile((zt::Wide(old.substr(0, old.size() - 6)) + L"\u00e9.bmp").c_str()), 1);
    EXPECT_EQ(zt::ReadBytes(old), File(1, 1, {0xF8, 0xFC, 0xF8, 0}));
    // Bad paths, and sizes the buffer does not hold: no file; a failure
    // after the headers leaves them on disk; the bitmap untouched by all.
    ASSERT_EQ(b.Surface(&t.canvas, 4, 4, 0, 0), 1);
    EXPECT_EQ(b.SaveFile(nullptr), 0);
    EXPECT_EQ(b.SaveFile(L""), 0);
    EXPECT_EQ(b.SaveFile(zt::Wide(::testing::TempDir() + "no/such/folder/x.bmp").c_str()), 0);
    for (auto [w, h] : {std::pair{5, 4}, {-1, 4}, {4, INT32_MIN}}) {
        b.m_nWidth = w, b.m_nHeight = h;
        EXPECT_EQ(b.SaveFile(zt::Wide(never).c_str()), 0);
    }
    b.m_nWidth = b.m_nHeight = 4;
    EXPECT_FALSE(std::ifstream(never).good());
    zorva::FailAllocation(2); // the file is opened, no row buffer
    EXPECT_EQ(b.SaveFile(zt::Wide(never).c_str()), 0);
    zorva::FailAllocation(0);
    EXPECT_EQ(zt::ReadBytes(never), File(4, 4, {}, 54 + 4 * 12)); // the length it was to have
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_pPixels != nullptr), zt::Values(4, 4, 1));
}

TEST(Capture, ThePresentedPictureTopRowFirst) {
    CCEBitmap b;
    for (auto config : {zt::Dense(240, 320), zt::Dense(240, 320), zt::Padded(33, 17, 10)}) {
        zt::TestCanvas t(config);
        const WORD* previous = b.m_pPixels;
        ASSERT_TRUE(previous || b.Surface(&t.canvas, 10, 10, 0, 1)); // first with an alpha plane
        std::mt19937 rng(config.height);
        t.FillRandom(rng);
        t.canvas.Flip();
        const size_t n = size_t(config.width) * config.height;
        std::vector<uint16_t> shown(n);
        ASSERT_TRUE(zorva::ReadScreen(t.window, shown.data()));
        t.canvas.Clear(0ul); // not on the screen until the next Flip
        ASSERT_EQ(b.CaptureScreen(&t.canvas), 1);
        ASSERT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_bARGB),
                  zt::Values(config.width, config.height, 0));
        // Every pixel exactly, top row first (565 survives 24 bits).
        EXPECT_EQ(std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + n), shown);
        EXPECT_EQ(b.m_pPixels, previous ? previous : b.m_pPixels); // the buffer reused
    }
}

TEST(Capture, Failures) {
    CCEBitmap b;
    // A canvas whose window is gone: no screen to copy.
    zorva::SetVirtualDisplay(zt::Dense(16, 8));
    HWND window = zorva::OpenWindow("gone");
    CCEDraw gone;
    ASSERT_EQ(gone.Create(window, 1), 1);
    gone.Release();
    zorva::CloseWindow(window);
    EXPECT_EQ(b.CaptureScreen(&gone), 0);
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_pPixels == nullptr), zt::Values(16, 1)); // no picture
    // Each allocation failing in turn: 0 and a consistent bitmap; then the
    // capture.
    zt::TestCanvas t(zt::Dense(24, 16));
    t.canvas.Flip();
    int result = 0, failures = 0;
    for (long n = 1; result == 0 && n < 20; ++n, failures += !result) {
        CCEBitmap c;
        ASSERT_EQ(c.Surface(&t.canvas, 2, 2, 0, 1), 1);
        zorva::FailAllocation(n);
        result = c.CaptureScreen(&t.canvas);
        zorva::FailAllocation(0);
        zt::ExpectConsistent(c);
    }
    EXPECT_EQ(result, 1);
    EXPECT_GE(failures, 2); // at least the pixels and the drawing section
}
