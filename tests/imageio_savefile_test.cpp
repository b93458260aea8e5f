// BMP files written byte for byte: headers, bottom-up rows, zero padding,
// colour expansion without replication; replacing files, failures, and
// every file read back by an independent decoder (Pillow).
#include "CCEBitmap.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

Bytes Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

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
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        if (const int status = pclose(p)) out += " exit " + std::to_string(status);
    }
    return out;
}

struct SaveFile : ::testing::Test {
    void TearDown() override {
        for (const std::string& p : paths)
            std::remove(p.c_str());
        zt::ResetPlatform();
    }
    // A scratch path, removed afterwards.
    std::string Path(const std::string& name) {
        paths.push_back(zt::ScratchPath(name));
        return paths.back();
    }
    // Saves w x h pixels (rows top first), checks the file's length and the
    // readings of two independent decoders, Pillow and ImageMagick (which
    // must accept it without a warning), and gives the file's bytes.
    Bytes SaveAndRead(int w, int h, const std::vector<uint16_t>& pixels) {
        CCEBitmap b;
        EXPECT_EQ(b.Surface(&t.canvas, w, h, 0, 0), 1);
        std::copy(pixels.begin(), pixels.end(), b.m_pPixels);
        const std::string path = Path(std::to_string(w) + "x" + std::to_string(h) + ".bmp");
        EXPECT_EQ(b.SaveFile(Wide(path).c_str()), 1);
        std::string expected = "BMP " + std::to_string(w) + " " + std::to_string(h) + "\n", read;
        for (uint16_t p : pixels) // R, G, B with the low bits zero
            expected += {char(p >> 11 << 3), char((p >> 5 & 0x3F) << 2), char((p & 0x1F) << 3)};
        const std::string command =
            "/usr/bin/python3 -c \"import sys; from PIL import Image; im = "
            "Image.open(sys.argv[1]); "
            "print(im.format, *im.size, flush=True); sys.stdout.buffer.write(im.convert('RGB')"
            ".tobytes())\" " +
            path + " 2>&1";
        read = Output(command);
        EXPECT_EQ(read, expected) << w << " x " << h;
        expected.erase(0, expected.find('\n') + 1);
        read = Output("/usr/bin/convert -regard-warnings " + path + " -depth 8 RGB:- 2>&1");
        EXPECT_EQ(read, expected) << "ImageMagick, " << w << " x " << h;
        const Bytes f = Contents(path);
        EXPECT_EQ(f.size(), 54 + size_t(h) * ((3 * w + 3) & ~3));
        return f;
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
        SaveAndRead(w, h, pixels);
    }
}

TEST_F(SaveFile, HeadersAloneReplacingAndFailures) {
    CCEBitmap b;
    const std::string never = Path("never.bmp");
    EXPECT_EQ(b.SaveFile(Wide(never).c_str()), 0); // no pixel buffer
    ASSERT_EQ(b.Surface(&t.canvas, 3, 2, 0xFF, 0), 1);
    // A height or a width of 0: the headers alone.
    b.m_nHeight = 0;
    ASSERT_EQ(b.SaveFile(Wide(Path("flat.bmp")).c_str()), 1);
    EXPECT_EQ(Contents(paths.back()), File(3, 0));
    b.m_nWidth = 0;
    b.m_nHeight = 2;
    ASSERT_EQ(b.SaveFile(Wide(Path("thin.bmp")).c_str()), 1);
    EXPECT_EQ(Contents(paths.back()), File(0, 2));
    // An existing, longer file is replaced and cut to the new length.
    std::ofstream(Path("old.bmp"), std::ios::binary) << std::string(1000, 'x');
    b.m_nWidth = b.m_nHeight = 1;
    ASSERT_EQ(b.SaveFile(Wide(paths.back()).c_str()), 1);
    EXPECT_EQ(Contents(paths.back()), File(1, 1, {0xF8, 0xFC, 0xF8, 0}));

    // Bad paths, and sizes the buffer does not hold: no file; a failure
    // after the headers leaves them on disk; the bitmap untouched by all.
    ASSERT_EQ(b.Surface(&t.canvas, 4, 4, 0, 0), 1);
    EXPECT_EQ(b.SaveFile(nullptr), 0);
    EXPECT_EQ(b.SaveFile(L""), 0);
    EXPECT_EQ(b.SaveFile(Wide(::testing::TempDir() + "no/such/folder/x.bmp").c_str()), 0);
    for (auto [w, h] : {std::pair{5, 4}, {-1, 4}, {4, INT32_MIN}}) {
        b.m_nWidth = w;
        b.m_nHeight = h;
        EXPECT_EQ(b.SaveFile(Wide(never).c_str()), 0);
    }
    b.m_nWidth = b.m_nHeight = 4;
    EXPECT_FALSE(std::ifstream(never).good());
    zorva::FailAllocation(2); // the file is opened, no row buffer
    EXPECT_EQ(b.SaveFile(Wide(never).c_str()), 0);
    zorva::FailAllocation(0);
    EXPECT_EQ(Contents(never), File(4, 4, {}, 54 + 4 * 12)); // the length it was to have
    EXPECT_TRUE(b.m_nWidth == 4 && b.m_nHeight == 4 && b.m_pPixels);
}
