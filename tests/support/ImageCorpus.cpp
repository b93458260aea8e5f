#include "support/ImageCorpus.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>

namespace zt {

std::string CorpusPath(const std::string& name) {
    return std::string(ZORVA_CORPUS_DIR) + "/" + name;
}

std::string GdkPixbufImages() {
    const char* env = std::getenv("ZORVA_GDK_PIXBUF_TESTS");
    std::string root = env && *env ? env : ZORVA_GDK_PIXBUF_DIR;
    const std::string images = root + "/usr/libexec/installed-tests/gdk-pixbuf/test-images";
    struct stat st;
    return ::stat(images.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? images : "";
}

std::vector<std::string> ListFiles(const std::string& directory, const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(directory.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                name[0] != '.')
                names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Wide(const std::string& path) {
    return std::wstring(path.begin(), path.end());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

namespace {

// The next header token, skipping white space and comments.
std::string Token(std::istream& in) {
    std::string t;
    for (int c = in.get(); c != EOF; c = in.get()) {
        if (c == '#') {
            while (c != EOF && c != '\n')
                c = in.get();
            continue;
        }
        if (std::isspace(c)) {
            if (!t.empty()) break;
            continue;
        }
        t += char(c);
    }
    return t;
}

} // namespace

Rgba ReadPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Rgba out;
    const std::string magic = Token(in);
    int width = 0, height = 0, depth = 0, maxval = 1;
    std::string tuple;
    if (magic == "P7") {
        for (std::string key = Token(in); !key.empty() && key != "ENDHDR"; key = Token(in)) {
            if (key == "WIDTH")
                width = std::stoi(Token(in));
            else if (key == "HEIGHT")
                height = std::stoi(Token(in));
            else if (key == "DEPTH")
                depth = std::stoi(Token(in));
            else if (key == "MAXVAL")
                maxval = std::stoi(Token(in));
            else if (key == "TUPLTYPE")
                tuple = Token(in);
        }
    } else if (magic == "P4" || magic == "P5" || magic == "P6") {
        width = std::stoi(Token(in));
        height = std::stoi(Token(in));
        if (magic != "P4") maxval = std::stoi(Token(in));
        depth = magic == "P6" ? 3 : 1;
    } else {
        return out;
    }
    if (width <= 0 || height <= 0 || depth < 1 || depth > 4 || maxval < 1 || maxval > 65535)
        return out;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * height * 4);
    auto sample = [&]() -> int {
        if (maxval > 255) {
            const int hi = in.get(), lo = in.get();
            return (hi << 8 | lo);
        }
        return in.get();
    };
    // Samples to 8 bits with rounding: v * 255 / maxval.
    auto eight = [&](int v) { return uint8_t((v * 255 + maxval / 2) / maxval); };
    for (int y = 0; y < height; ++y) {
        int bits = 0, byte = 0;
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &out.pixels[(size_t(y) * width + x) * 4];
            if (magic == "P4") {
                if (bits == 0) {
                    byte = in.get();
                    bits = 8;
                }
                const bool black = (byte >> --bits) & 1;
                p[0] = p[1] = p[2] = black ? 0 : 255;
                p[3] = 255;
                continue;
            }
            int s[4] = {0, 0, 0, maxval};
            for (int c = 0; c < depth; ++c)
                s[c] = sample();
            if (depth <= 2) {
                p[0] = p[1] = p[2] = eight(s[0]);
                p[3] = depth == 2 ? eight(s[1]) : 255;
            } else {
                p[0] = eight(s[0]);
                p[1] = eight(s[1]);
                p[2] = eight(s[2]);
                p[3] = depth == 4 ? eight(s[3]) : 255;
            }
        }
    }
    if (!in) out = Rgba();
    return out;
}

std::vector<uint8_t> MakeBmp(const Rgba& image, bool alpha) {
    const uint32_t header = alpha ? 108 : 40;
    const uint32_t row = alpha ? image.width * 4 : (image.width * 3 + 3) & ~3u;
    const uint32_t offset = 14 + header;
    std::vector<uint8_t> f(offset + size_t(row) * image.height, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + i] = uint8_t(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, uint32_t(f.size()));
    put32(10, offset);
    put32(14, header);
    put32(18, uint32_t(image.width));
    put32(22, uint32_t(image.height));
    f[26] = 1;
    f[28] = alpha ? 32 : 24;
    if (alpha) {
        put32(30, 3); // BI_BITFIELDS
        put32(54, 0x00FF0000);
        put32(58, 0x0000FF00);
        put32(62, 0x000000FF);
        put32(66, 0xFF000000);
        put32(70, 0x57696E20); // 'Win ': sRGB
    }
    for (int y = 0; y < image.height; ++y) {
        uint8_t* out = &f[offset + size_t(image.height - 1 - y) * row];
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            *out++ = p[2];
            *out++ = p[1];
            *out++ = p[0];
            if (alpha) *out++ = p[3];
        }
    }
    return f;
}

} // namespace zt
