// The generated image corpus (tests/corpus/make_corpus.sh) and the
// independent readers' output it holds, plus small helpers for image tests.
#ifndef ZORVA_TESTS_IMAGECORPUS_H
#define ZORVA_TESTS_IMAGECORPUS_H

#include <cstdint>
#include <string>
#include <vector>

namespace zt {

// OUTDIR/NAME of the corpus built for this test binary.
std::string CorpusPath(const std::string& name);
// The Debian gdk-pixbuf-tests images (unpacked by
// tests/corpus/fetch_gdk_pixbuf_tests.sh), or "" when they are absent.
std::string GdkPixbufImages();

// Every file of a directory whose name ends with `suffix`, sorted.
std::vector<std::string> ListFiles(const std::string& directory, const std::string& suffix);

std::wstring Wide(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A picture as 8-bit R, G, B, A, row after row.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    const uint8_t* At(int x, int y) const { return &pixels[(size_t(y) * width + x) * 4]; }
    bool Empty() const { return pixels.empty(); }
};

// Reads a netpbm file (P4, P5, P6 or P7 with the usual tuple types, maxval
// up to 65535; 16-bit samples rounded to 8 bits). Empty on failure.
Rgba ReadPnm(const std::string& path);

// The RGB565 value of 8-bit components, low bits dropped.
inline uint16_t To565(const uint8_t* rgb) {
    return uint16_t((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | (rgb[2] >> 3));
}

// Straight colour shown over black, rounded: c * a / 255.
inline uint8_t OverBlack(uint8_t c, uint8_t a) {
    return uint8_t((c * a + 127) / 255);
}

// An uncompressed BMP file of 24 bits (bottom-up) or 32 bits with an alpha
// mask (a version 4 header), from R, G, B, A pixels.
std::vector<uint8_t> MakeBmp(const Rgba& image, bool alpha);

} // namespace zt

#endif // ZORVA_TESTS_IMAGECORPUS_H
