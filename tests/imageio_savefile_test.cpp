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
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class SaveFile : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override {
        for (const std::string& p : m_paths)
            std::remove(p.c_str());
        zt::ResetPlatform();
    }
    // A fresh path in the test's scratch folder, removed afterwards.
    std::string Path(const std::string& name) {
        m_paths.push_back(zt::ScratchPath(name));
        return m_paths.back();
    }
    std::vector<std::string> m_paths;
};

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

std::vector<uint8_t> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 |
           uint32_t(f[at + 3]) << 24;
}

// A bitmap of the given pixels (row after row) made through Surface.
void Make(CCEBitmap& b, CCEDraw& canvas, int w, int h, const std::vector<uint16_t>& pixels) {
    ASSERT_EQ(b.Surface(&canvas, w, h, 0, 0), 1);
    for (size_t i = 0; i < pixels.size(); ++i)
        b.m_pPixels[i] = pixels[i];
}

// The 54 header bytes every file starts with, for a width and height.
std::vector<uint8_t> Headers(uint32_t w, uint32_t h) {
    std::vector<uint8_t> b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    for (uint32_t v : {w, h})
        for (int k = 0; k < 4; ++k)
            b.push_back(uint8_t(v >> (8 * k)));
    const uint8_t rest[] = {1, 0, 24, 0};
    b.insert(b.end(), rest, rest + 4);
    b.resize(54, 0);
    return b;
}

// Pillow decodes the file: "FORMAT WIDTH HEIGHT" and the RGB bytes in hex,
// rows top first.
std::string Decode(const std::string& path) {
    const std::string script = zt::ScratchPath("read_bmp.py");
    {
        std::ofstream s(script);
        s << "import sys\n"
             "from PIL import Image\n"
             "im = Image.open(sys.argv[1])\n"
             "im.load()\n"
             "sys.stdout.write('%s %d %d\\n' % (im.format, im.size[0], im.size[1]))\n"
             "sys.stdout.write(im.convert('RGB').tobytes().hex())\n";
    }
    std::string out;
    const std::string command = "/usr/bin/python3 " + script + " " + path + " 2>&1";
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// What a reader should see for RGB565 pixels: R, G, B bytes with zero low
// bits, in hex, after the first line.
std::string ExpectedDecode(int w, int h, const std::vector<uint16_t>& pixels) {
    std::string out = "BMP " + std::to_string(w) + " " + std::to_string(h) + "\n";
    char hex[8];
    for (uint16_t p : pixels) {
        std::snprintf(hex, sizeof hex, "%02x%02x%02x", (p >> 11) << 3, ((p >> 5) & 0x3F) << 2,
                      (p & 0x1F) << 3);
        out += hex;
    }
    return out;
}

} // namespace

TEST_F(SaveFile, WorkedFiles) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;

    // 1 x 1 white: 58 bytes ending F8 FC F8 00.
    Make(b, t.canvas, 1, 1, {0xFFFF});
    std::string path = Path("white.bmp");
    ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
    std::vector<uint8_t> f = Contents(path);
    ASSERT_EQ(f.size(), 58u);
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 54), Headers(1, 1));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()),
              (std::vector<uint8_t>{0xF8, 0xFC, 0xF8, 0x00}));

    // 2 x 1: a row of 6 pixel bytes and 2 zero bytes.
    Make(b, t.canvas, 2, 1, {0xF800, 0x07E0});
    path = Path("two.bmp");
    ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
    f = Contents(path);
    ASSERT_EQ(f.size(), 62u);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()),
              (std::vector<uint8_t>{0, 0, 0xF8, 0, 0xFC, 0, 0, 0}));

    // 4 x 2: rows of 12 bytes without padding, the lower row first.
    const std::vector<uint16_t> pixels = {0x0001, 0x0020, 0x0800, 0x8410,  // top
                                          0x001F, 0x07E0, 0xF800, 0xFFFF}; // bottom
    Make(b, t.canvas, 4, 2, pixels);
    path = Path("four.bmp");
    ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
    f = Contents(path);
    ASSERT_EQ(f.size(), 78u);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()),
              (std::vector<uint8_t>{0xF8, 0, 0, 0, 0xFC, 0, 0, 0, 0xF8, 0xF8, 0xFC, 0xF8, // bottom
                                    8,    0, 0, 0, 4,    0, 0, 0, 8,    0x80, 0x80, 0x80})); // top
    EXPECT_EQ(Le32(f, 18), 4u);
    EXPECT_EQ(Le32(f, 22), 2u);
    EXPECT_EQ(Decode(path), ExpectedDecode(4, 2, pixels));
}

TEST_F(SaveFile, HeadersAloneAndReplacing) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 3, 2, 0xFF, 0), 1);

    // Height 0 with a pixel buffer: the headers alone.
    b.m_nHeight = 0;
    std::string path = Path("flat.bmp");
    ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
    std::vector<uint8_t> f = Contents(path);
    EXPECT_EQ(f, Headers(3, 0));

    // Width 0: rows of no bytes, so again the headers alone.
    b.m_nWidth = 0;
    b.m_nHeight = 2;
    path = Path("thin.bmp");
    ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
    EXPECT_EQ(Contents(path), Headers(0, 2));

    // An existing, longer file is replaced and cut to the new length; the
    // size field still reads 0.
    path = Path("old.bmp");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(1000, 'x');
    }
    b.m_nWidth = 1;
    b.m_nHeight = 1;
    ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
    f = Contents(path);
    ASSERT_EQ(f.size(), 58u);
    EXPECT_EQ(Le32(f, 2), 0u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');

    // Names beyond ASCII reach the disk as UTF-8.
    path = Path("caf\xC3\xA9.bmp");
    const std::wstring wide = Wide(Path("caf")) + L"\u00E9.bmp";
    ASSERT_EQ(b.SaveFile(wide.c_str()), 1);
    EXPECT_EQ(Contents(path).size(), 58u);
}

TEST_F(SaveFile, Failures) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    std::string path = Path("never.bmp");
    // No pixel buffer: no file is made.
    EXPECT_EQ(b.SaveFile(Wide(path).c_str()), 0);
    EXPECT_FALSE(Exists(path));
    ASSERT_EQ(b.Surface(&t.canvas, 4, 4, 0, 0), 1);
    EXPECT_EQ(b.SaveFile(nullptr), 0);
    EXPECT_EQ(b.SaveFile(L""), 0);
    // Sizes the buffer does not hold, or negative ones: no file either.
    b.m_nWidth = 5;
    EXPECT_EQ(b.SaveFile(Wide(path).c_str()), 0);
    b.m_nWidth = -1;
    EXPECT_EQ(b.SaveFile(Wide(path).c_str()), 0);
    b.m_nWidth = 4;
    b.m_nHeight = INT32_MIN;
    EXPECT_EQ(b.SaveFile(Wide(path).c_str()), 0);
    b.m_nHeight = 4;
    EXPECT_FALSE(Exists(path));
    // A folder that does not exist, and a folder in the file's place.
    EXPECT_EQ(b.SaveFile(Wide(::testing::TempDir() + "no/such/folder/x.bmp").c_str()), 0);
    EXPECT_EQ(b.SaveFile(Wide(::testing::TempDir()).c_str()), 0);

    // The row buffer cannot be had: the headers stay on disk, cut short.
    zorva::FailAllocation(1);
    EXPECT_EQ(b.SaveFile(Wide(path).c_str()), 0);
    zorva::FailAllocation(0);
    EXPECT_EQ(Contents(path), Headers(4, 4));
    // The bitmap is untouched by all of it.
    EXPECT_EQ(b.m_nWidth, 4);
    EXPECT_EQ(b.m_nHeight, 4);
    EXPECT_NE(b.m_pPixels, nullptr);
}

TEST_F(SaveFile, IndependentReaderSeesTheSamePixels) {
    zt::TestCanvas t(zt::Dense(240, 320));
    std::mt19937 rng(54);
    // Every padding length, and a full screen.
    std::vector<std::pair<int, int>> sizes;
    for (int w = 1; w <= 9; ++w)
        sizes.emplace_back(w, 1 + w % 4);
    sizes.emplace_back(640, 480);
    for (auto [w, h] : sizes) {
        CCEBitmap b;
        std::vector<uint16_t> pixels(size_t(w) * h);
        for (uint16_t& p : pixels)
            p = uint16_t(rng());
        Make(b, t.canvas, w, h, pixels);
        const std::string path = Path("random" + std::to_string(w) + "x" + std::to_string(h));
        ASSERT_EQ(b.SaveFile(Wide(path).c_str()), 1);
        EXPECT_EQ(Contents(path).size(), 54 + size_t(h) * ((3 * w + 3) & ~3));
        EXPECT_EQ(Decode(path), ExpectedDecode(w, h, pixels)) << w << " x " << h;
    }
}
