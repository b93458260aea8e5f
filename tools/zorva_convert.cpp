// zorva_convert: loads an image the library reads (PNG, JPEG, GIF, BMP,
// WebP) and saves it as the 24-bit BMP the library writes, optionally fitted
// into a box first. Useful to see what a device will show of a picture.
//
//   zorva_convert input output.bmp [width height]
//
// Without a box the picture keeps its size; with one it is fitted into it,
// keeping its aspect (the loaders' mode 4). Prints the result's size; exits
// non-zero when the picture cannot be read or the file cannot be written.
#include <CCEBitmap.h>
#include <CCEDraw.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The arguments are file names in the locale's multibyte encoding.
std::wstring Wide(const char* s) {
    std::wstring out(std::mbstowcs(nullptr, s, 0) + 1, L'\0');
    const size_t n = std::mbstowcs(&out[0], s, out.size());
    if (n == size_t(-1)) return std::wstring(s, s + std::char_traits<char>::length(s));
    out.resize(n);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s input output.bmp [width height]\n", argv[0]);
        return 2;
    }
    std::setlocale(LC_CTYPE, "");
    const unsigned width = argc == 5 ? unsigned(std::strtoul(argv[3], nullptr, 10)) : 0;
    const unsigned height = argc == 5 ? unsigned(std::strtoul(argv[4], nullptr, 10)) : 0;
    if (argc == 5 && (width == 0 || height == 0)) {
        std::fprintf(stderr, "%s: the box must be at least 1 x 1\n", argv[0]);
        return 2;
    }

    CCEBitmap picture;
    const BYTE mode = argc == 5 ? 4 : 0;
    if (!picture.LoadBitmapW(nullptr, Wide(argv[1]).c_str(), mode, width, height, 0)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    if (!picture.SaveFile(Wide(argv[2]).c_str())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    std::printf("%s: %d x %d%s\n", argv[2], picture.m_nWidth, picture.m_nHeight,
                picture.IsARGB() ? " (its transparency is not kept in a BMP)" : "");
    return 0;
}
