// The malformed-image corpus (tests/malformed/make_malformed.py, and the
// fuzzers' findings in tests/malformed/found) replayed through every loader:
// each file gives the result its table documents, leaves no oversized
// buffer behind, and each load takes at most the row's time (1 second; 2 for
// a legitimate picture at the size limit). The time is checked in the plain
// build only: sanitizers and valgrind multiply it.
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace pf = zorva::platform;

namespace {

struct Row {
    std::string file, decode;
    int gif = 0;
    double seconds = 1;
};

std::vector<Row> Table(const std::string& folder) {
    std::vector<Row> rows;
    std::ifstream in(folder + "/expected.tsv");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Row r;
        std::string gif, seconds;
        std::getline(fields, r.file, '\t');
        std::getline(fields, r.decode, '\t');
        std::getline(fields, gif, '\t');
        std::getline(fields, seconds, '\t');
        r.gif = std::atoi(gif.c_str());
        r.seconds = std::atof(seconds.c_str());
        r.file = folder + "/" + r.file;
        rows.push_back(r);
    }
    return rows;
}

std::string Name(HRESULT hr) {
    switch (hr) {
    case pf::S_OK:
        return "ok";
    case pf::IMGERR_CORRUPT:
        return "corrupt";
    case pf::IMGERR_TOOLARGE:
        return "toolarge";
    case pf::IMGERR_UNKNOWNFORMAT:
        return "unknown";
    default:
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
        return code;
    }
}

// What the service gives for the picture fitted into 240 x 320 (at least
// 1 x 1): the open's code, else the rendering's. *fitted gets the fitted
// size's pixels (0 for a picture too narrow to fit the box), *pixels the
// picture's.
HRESULT Decode(IImagingFactory* factory, const std::string& file, uint64_t* pixels,
               uint64_t* fitted) {
    IImage* image = nullptr;
    HRESULT hr = factory->CreateImageFromFile(zt::Wide(file).c_str(), &image);
    if (hr != pf::S_OK) return hr;
    ImageInfo info{};
    image->GetImageInfo(&info);
    *pixels = uint64_t(info.Width) * info.Height;
    unsigned w = info.Width, h = info.Height;
    zorva::FitToBox(240, 320, &w, &h);
    *fitted = uint64_t(w) * h;
    w = std::max(w, 1u);
    h = std::max(h, 1u);
    IBitmapImage* bitmap = nullptr;
    hr = factory->CreateBitmapFromImage(image, w, h, 0, 0, &bitmap);
    BitmapData data{};
    if (hr == pf::S_OK && (hr = bitmap->LockBits(nullptr, pf::ImageLockModeRead, 0, &data)) == 0)
        bitmap->UnlockBits(&data);
    if (bitmap) bitmap->Release();
    image->Release();
    return hr;
}

uint64_t PicturePixels(IImagingFactory* factory, const std::string& file) {
    IImage* image = nullptr;
    ImageInfo info{};
    if (factory->CreateImageFromFile(zt::Wide(file).c_str(), &image) != pf::S_OK) return 0;
    image->GetImageInfo(&info);
    image->Release();
    return uint64_t(info.Width) * info.Height;
}

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool Timed() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#endif
#endif
    return !std::getenv("ZORVA_NO_TIME_LIMITS");
}

} // namespace

TEST(Malformed, EveryFileGivesItsDocumentedResultInTime) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    std::vector<Row> rows = Table(ZORVA_MALFORMED_DIR);
    const std::vector<Row> found = Table(ZORVA_MALFORMED_FOUND_DIR);
    rows.insert(rows.end(), found.begin(), found.end());
    ASSERT_GE(rows.size(), 100u);
    pf::CoInitializeEx(nullptr, 0);
    void* object = nullptr;
    ASSERT_EQ(pf::CoCreateInstance(pf::CLSID_ImagingFactory, nullptr, 1, pf::IID_IImagingFactory,
                                   &object),
              pf::S_OK);
    auto* factory = static_cast<IImagingFactory*>(object);
    // Only the light files under valgrind (ZORVA_MALFORMED_LIGHT): files of
    // up to 64 KiB and pictures of up to 2^20 pixels; the others take
    // minutes there.
    const bool light = std::getenv("ZORVA_MALFORMED_LIGHT") != nullptr;
    std::printf("%-44s %-9s %-9s %4s %4s %8s\n", "file", "expected", "seen", "gif", "seen",
                "slowest cpu ms");
    for (const Row& r : rows) {
        if (light && (r.seconds > 1 || zt::ReadBytes(r.file).size() > 65536 ||
                      PicturePixels(factory, r.file) > (1u << 20)))
            continue;
        SCOPED_TRACE(r.file);
        double slowest = 0;
        // Each load on its own within the row's time; a full-size load of a
        // legitimate picture at the limit has none.
        auto timed = [&](auto load, bool fullSize = false) {
            const double start = CpuMilliseconds();
            const auto result = load();
            const double ms = CpuMilliseconds() - start;
            slowest = std::max(slowest, ms);
            if (Timed() && !(fullSize && r.seconds > 1)) {
                EXPECT_LE(ms, 1000 * r.seconds);
            }
            return result;
        };
        uint64_t pixels = 0, fitted = 0;
        const std::string seen =
            Name(timed([&] { return Decode(factory, r.file, &pixels, &fitted); }));
        EXPECT_EQ(seen, r.decode);
        // A picture too narrow for the box fits to nothing: the fitted
        // loads fail (documented), the others do not mind.
        const int loads = r.decode == "ok", fits = loads && fitted > 0;
        const std::wstring path = zt::Wide(r.file);
        CCEBitmap fitted4, full, cropped, strip, streamed, boxed;
        EXPECT_EQ(timed([&] { return fitted4.LoadBitmapW(nullptr, path.c_str(), 4, 240, 320, 0); }),
                  fits);
        if (pixels <= (1u << 22)) {
            EXPECT_EQ(
                timed([&] { return full.LoadBitmapW(nullptr, path.c_str(), 0, 0, 0, 1); }, true),
                loads);
        }
        EXPECT_EQ(
            timed([&] { return cropped.Crop(&canvas.canvas, path.c_str(), 1, 1, 0, 0, 1, 1, 0); }),
            loads);
        unsigned count = 0, reserved = 0;
        const int gif =
            timed([&] { return strip.LoadGIF(nullptr, path.c_str(), 0, count, reserved); }, true);
        EXPECT_EQ(gif, r.gif);
        // Boxes that fit most pictures far beyond the limits: refused before
        // any buffer grows, never a block of gigabytes kept.
        const std::vector<uint8_t> bytes = zt::ReadBytes(r.file);
        for (const auto& box : {std::pair{2147483647u, 1024u}, {46340u, 46340u}, {240u, 320u}}) {
            unsigned bw = box.first, bh = box.second;
            timed([&] { return boxed.LoadBitmapW(nullptr, path.c_str(), 4, bw, bh, 0); });
            EXPECT_LE(boxed.m_cbPixels, 2 * pf::kMaxImagePixels);
            IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
            ASSERT_NE(stream, nullptr);
            const long hr =
                timed([&] { return streamed.GetBitmapFromStream(nullptr, stream, &bw, &bh); });
            stream->Release();
            EXPECT_TRUE(hr == 0 ? loads : hr < 0);
            if (bw == 240) {
                EXPECT_EQ(hr == 0, fits == 1);
            }
            EXPECT_LE(streamed.m_cbPixels, 2 * pf::kMaxImagePixels);
        }
        for (const CCEBitmap* b : {&fitted4, &full, &cropped, &strip, &streamed, &boxed})
            zt::ExpectConsistent(*b);
        std::printf("%-44s %-9s %-9s %4d %4d %8.1f\n", r.file.substr(r.file.rfind('/') + 1).c_str(),
                    r.decode.c_str(), seen.c_str(), r.gif, gif, slowest);
        std::fflush(stdout);
    }
    factory->Release();
    pf::CoUninitialize();
}
