#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"
#include "system/com/Com.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace zt {

std::string CorpusPath(const std::string& name) {
    return std::string(ZORVA_CORPUS_DIR) + "/" + name;
}

std::wstring Wide(const std::string& path) {
    return std::wstring(path.begin(), path.end());
}

std::string GdkPixbufImages() {
    const char* env = std::getenv("ZORVA_GDK_PIXBUF_TESTS");
    const std::string images = std::string(env && *env ? env : ZORVA_GDK_PIXBUF_DIR) +
                               "/usr/libexec/installed-tests/gdk-pixbuf/test-images";
    return fs::is_directory(images) ? images : "";
}

std::vector<std::string> ListFiles(const std::string& directory) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error))
        paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> Words(const std::string& list) {
    std::istringstream in(list);
    return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
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

Rgba Reference(const std::string& corpusFile) {
    std::ifstream in(CorpusPath(corpusFile.substr(0, corpusFile.rfind('.')) + ".pam"),
                     std::ios::binary);
    std::string magic, key, value;
    int w = 0, h = 0, depth = 1, maxval = 1;
    in >> magic;
    if (magic == "P7") {
        while (in >> key && key != "ENDHDR" && in >> value) {
            int* field = key == "WIDTH"    ? &w
                         : key == "HEIGHT" ? &h
                         : key == "DEPTH"  ? &depth
                         : key == "MAXVAL" ? &maxval
                                           : nullptr;
            if (field) *field = std::stoi(value);
        }
    } else if (magic == "P4" || magic == "P5" || magic == "P6") {
        in >> w >> h;
        if (magic != "P4") in >> maxval;
        depth = magic == "P6" ? 3 : 1;
    }
    in.get(); // the white space that ends the header
    if (!in || w <= 0 || h <= 0 || depth > 4 || maxval < 1 || maxval > 65535) return {};
    Rgba out{w, h, {}};
    auto sample = [&] {
        const int high = maxval > 255 ? in.get() : 0;
        return high << 8 | in.get();
    };
    auto eight = [&](int v) { return uint8_t((v * 255 + maxval / 2) / maxval); };
    for (int y = 0; y < h; ++y)
        for (int x = 0, bits = 0, byte = 0; x < w; ++x) { // P4: rows start on a byte
            int s[4] = {0, 0, 0, maxval};
            if (magic == "P4" && bits == 0) byte = in.get(), bits = 8;
            if (magic == "P4") s[0] = (byte >> --bits & 1) ^ 1; // 1 is black
            for (int c = 0; magic != "P4" && c < depth; ++c)
                s[c] = sample();
            const bool gray = depth <= 2;
            out.pixels.insert(out.pixels.end(),
                              {eight(s[0]), eight(s[gray ? 0 : 1]), eight(s[gray ? 0 : 2]),
                               eight(depth == 2 ? s[1] : s[3])});
        }
    return in ? out : Rgba();
}

int Differ565(const Rgba& ref, const uint16_t* pixels, int stride, const uint8_t* alpha,
              bool overBlack) {
    int differ = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* e = ref.At(x, y);
            int c[3] = {e[0], e[1], e[2]};
            for (int i = 0; overBlack && i < 3; ++i)
                c[i] = (c[i] * e[3] + 127) / 255;
            const int i = y * stride + x;
            differ += (overBlack || e[3] != 0) &&
                      pixels[i] != ((c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3);
            differ += alpha && alpha[i] != (64 * e[3] + 255) / 510; // the nearest 32nd
        }
    return differ;
}

std::vector<uint8_t> MakeBmp(const Rgba& image, bool alpha) {
    const uint32_t offset = alpha ? 14 + 108 : 14 + 40;
    const uint32_t row = alpha ? image.width * 4 : (image.width * 3 + 3) & ~3u;
    std::vector<uint8_t> f(offset + size_t(row) * image.height, 0);
    auto put = [&](size_t at, std::initializer_list<uint32_t> fields) {
        for (uint32_t v : fields)
            for (int i = 0; i < 4; ++i)
                f[at++] = uint8_t(v >> (8 * i));
    };
    // Size, 0, offset, header size, width, height, planes and bits; with
    // alpha BI_BITFIELDS, five zeros, the masks of R, G, B, A and 'Win '.
    put(2, {uint32_t(f.size()), 0, offset, offset - 14, uint32_t(image.width),
            uint32_t(image.height), alpha ? 0x200001u : 0x180001u});
    if (alpha) put(30, {3, 0, 0, 0, 0, 0, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x57696E20});
    f[0] = 'B', f[1] = 'M';
    for (int y = 0; y < image.height; ++y) {
        uint8_t* out = &f[offset + size_t(image.height - 1 - y) * row];
        for (int x = 0; x < image.width; ++x, out += alpha ? 4 : 3) {
            const uint8_t* p = image.At(x, y);
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
            if (alpha) out[3] = p[3];
        }
    }
    return f;
}

void ExpectConsistent(const CCEBitmap& b) {
    const uint64_t pixels = uint64_t(b.m_nWidth) * uint64_t(b.m_nHeight);
    EXPECT_GE(b.m_pPixels ? b.m_cbPixels : UINT64_MAX, pixels * 2);
    if (!b.m_bARGB) return;
    EXPECT_NE(b.m_pAlpha, nullptr);
    EXPECT_GE(b.m_cbAlpha, pixels);
}

void PlatformTest::TearDown() {
    EXPECT_EQ(zorva::platform::ComInitializations(), 0);
}

} // namespace zt
