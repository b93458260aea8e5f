// The image corpus (tests/corpus/make_corpus.sh), its independent readers'
// pixels, and helpers for image tests.
#ifndef ZORVA_TESTS_IMAGECORPUS_H
#define ZORVA_TESTS_IMAGECORPUS_H

#include "CCEBitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zt {

// OUTDIR/NAME of the corpus built for this test binary.
std::string CorpusPath(const std::string& name);
std::wstring Wide(const std::string& path);
// Debian's gdk-pixbuf-tests images, or "" when they are not unpacked.
std::string GdkPixbufImages();
// The paths of the files of a directory, sorted; none when it is absent.
std::vector<std::string> ListFiles(const std::string& directory);
// The words of a list separated by spaces.
std::vector<std::string> Words(const std::string& list);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A picture as 8-bit R, G, B, A, row after row.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* At(int x, int y) const { return &pixels[(size_t(y) * width + x) * 4]; }
};

// The independent reader's pixels of corpus file NAME.EXT, from NAME.pam
// (P4 to P7; 16-bit samples rounded to 8 bits); empty when unreadable.
Rgba Reference(const std::string& corpusFile);

// Pixels of an RGB565 picture (rows `stride` pixels apart) that differ from
// `ref` with the low bits dropped: with `overBlack` every pixel against the
// reference shown over black; otherwise colour where the reference is not
// fully transparent, and alpha in the nearest 32nds everywhere when a plane
// is given.
int Differ565(const Rgba& ref, const uint16_t* pixels, int stride, const uint8_t* alpha = nullptr,
              bool overBlack = false);

// An uncompressed BMP: 24 bits, or 32 with an alpha mask (version 4 header).
std::vector<uint8_t> MakeBmp(const Rgba& image, bool alpha);

// What any load leaves, even a failed one: no size beyond the pixel buffer,
// no alpha flag without a plane of the bitmap's size.
void ExpectConsistent(const CCEBitmap& bitmap);

// Loader tests: every bitmap gives back its factory's COM initialisation.
struct PlatformTest : ::testing::Test {
    void TearDown() override;
};

} // namespace zt

#endif // ZORVA_TESTS_IMAGECORPUS_H
