// zorva_convert: loads an image the library reads (PNG, JPEG, GIF, BMP,
// WebP) and saves it as the 24-bit BMP the library writes, optionally fitted
// into a box first. Useful to see what a device will show of a picture.
//
//   zorva_convert input output.bmp [width height]
//   zorva_convert --help
//
// Without a box the picture keeps its size; with one it is fitted into it,
// keeping its aspect (the loaders' mode 4). Prints the result's size; exits
// non-zero, saying why, when the picture cannot be read or the file cannot
// be written. The output is a BMP file whatever its name says.
#include <CCEBitmap.h>
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A side of the box: a whole number from 1 up, else 0.
unsigned Side(const char* s) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    return end != s && !*end && errno == 0 && v >= 1 && v <= 2147483647 ? unsigned(v) : 0;
}

// The extension of a file name, lower case, without the dot; "" for none.
std::string Extension(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(slash ? slash : path, '.');
    std::string ext = dot ? dot + 1 : "";
    for (char& c : ext)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext;
}

} // namespace

int main(int argc, char** argv) {
    const char* usage =
        "input output.bmp [width height]\n"
        "Loads a PNG, JPEG, GIF, BMP or WebP picture and saves it as a 24-bit BMP,\n"
        "fitted into width x height (keeping its aspect) when a box is given.\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: %s %s", argv[0], usage);
        return 0;
    }
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s %s", argv[0], usage);
        return 2;
    }
    std::setlocale(LC_CTYPE, "");
    const unsigned width = argc == 5 ? Side(argv[3]) : 0;
    const unsigned height = argc == 5 ? Side(argv[4]) : 0;
    if (argc == 5 && (width == 0 || height == 0)) {
        std::fprintf(stderr,
                     "%s: the box %s x %s is not usable: give its width and height as whole "
                     "numbers from 1 up\n",
                     argv[0], argv[3], argv[4]);
        return 2;
    }

    CCEBitmap picture;
    const BYTE mode = argc == 5 ? 4 : 0;
    if (!picture.LoadBitmapW(nullptr, Wide(argv[1]).c_str(), mode, width, height, 0)) {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", argv[0], argv[1],
                     zorva::GetLoadErrorText());
        return 1;
    }
    const std::string ext = Extension(argv[2]);
    if (ext != "bmp" && ext != "dib")
        std::fprintf(stderr, "%s: note: %s is written as a BMP file, %s\n", argv[0], argv[2],
                     ext.empty() ? "the only format the library writes"
                                 : ("not as its extension ." + ext + " says").c_str());
    if (!picture.SaveFile(Wide(argv[2]).c_str())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    std::printf("%s: %d x %d%s\n", argv[2], picture.m_nWidth, picture.m_nHeight,
                picture.IsARGB() ? " (its transparency is not kept in a BMP)" : "");
    return 0;
}
