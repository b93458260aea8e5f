// The malformed-image corpus (tests/malformed/make_malformed.py, and the
// fuzzers' findings in tests/malformed/found) replayed through every loader:
// each file gives the result its table documents, leaves no oversized
// buffer behind, and no load does more work than the picture asks for: it
// decodes about each row of each frame once (see the bounds below), and
// holds at most what a codec may keep whole and eight bytes a pixel of what
// it makes: never the file.
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"
#include "system/Testing.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"
#include "system/memory/Memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
               uint64_t* fitted, uint64_t* height) {
    IImage* image = nullptr;
    HRESULT hr = factory->CreateImageFromFile(zt::Wide(file).c_str(), &image);
    if (hr != pf::S_OK) return hr;
    ImageInfo info{};
    image->GetImageInfo(&info);
    *pixels = uint64_t(info.Width) * info.Height;
    *height = info.Height;
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

// The frames of a GIF (its decoder's count), 1 for anything else.
uint64_t FrameCount(IImagingFactory* factory, const std::string& file) {
    const std::vector<uint8_t> bytes = zt::ReadBytes(file);
    IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
    IImageDecoder* decoder = nullptr;
    uint32_t frames = 1;
    if (stream && factory->CreateImageDecoder(stream, 0, &decoder) == pf::S_OK) {
        decoder->GetFrameCount(&pf::FrameDimensionTime, &frames);
        decoder->Release();
    }
    if (stream) stream->Release();
    return std::max<uint32_t>(frames, 1);
}

uint64_t PicturePixels(IImagingFactory* factory, const std::string& file) {
    IImage* image = nullptr;
    ImageInfo info{};
    if (factory->CreateImageFromFile(zt::Wide(file).c_str(), &image) != pf::S_OK) return 0;
    image->GetImageInfo(&info);
    image->Release();
    return uint64_t(info.Width) * info.Height;
}

// The rows a load decoded and the most it held at once.
struct Work {
    long rows = 0;
    size_t peakBytes = 0;
};

template <class Load>
auto Measure(Load load, Work* work) {
    const long rows = zorva::DecodedRows();
    const size_t live = pf::LiveBytes();
    pf::ResetPeakBytes();
    const auto result = load();
    work->rows = zorva::DecodedRows() - rows;
    work->peakBytes = pf::PeakBytes() - live;
    return result;
}

} // namespace

TEST(Malformed, EveryFileGivesItsDocumentedResultWithBoundedWork) {
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
    std::printf("%-44s %-9s %-9s %4s %4s %8s %8s\n", "file", "expected", "seen", "gif", "seen",
                "rows/h", "peak MiB");
    for (const Row& r : rows) {
        if (light && (r.seconds > 1 || zt::ReadBytes(r.file).size() > 65536 ||
                      PicturePixels(factory, r.file) > (1u << 20)))
            continue;
        SCOPED_TRACE(r.file);
        uint64_t pixels = 0, fitted = 0, height = 0;
        const std::string seen = Name(Decode(factory, r.file, &pixels, &fitted, &height));
        double mostRows = 0, mostMiB = 0;
        // Each load on its own: a still's rows twice, a strip's once a frame
        // plus two frames (the first is sent once on its own, and a failed
        // frame starts the composition again), and what a codec may keep
        // whole and 8 bytes a pixel of what it makes (`made` pixels), and
        // for rows that come out of order (interlaced) sums for what it
        // makes (16 bytes a pixel) or the picture (4), whichever is less.
        auto timed = [&](auto load, uint64_t made = 0, uint64_t frames = 1) {
            Work work;
            const auto result = Measure(load, &work);
            const uint64_t rows = frames > 1 ? frames + 2 : 2;
            EXPECT_LE(uint64_t(work.rows), std::max<uint64_t>(height, 1) * rows);
            EXPECT_LE(work.peakBytes, pf::kMaxWholePictureBytes + 8 * made +
                                          std::min(16 * made, 4 * pixels) + (1u << 20));
            mostRows =
                std::max(mostRows, double(work.rows) / double(std::max<uint64_t>(height, 1)));
            mostMiB = std::max(mostMiB, double(work.peakBytes) / double(1 << 20));
            return result;
        };
        EXPECT_EQ(seen, r.decode);
        // A picture too narrow for the box fits to nothing: the fitted
        // loads fail (documented), the others do not mind.
        const int loads = r.decode == "ok", fits = loads && fitted > 0;
        const std::wstring path = zt::Wide(r.file);
        CCEBitmap fitted4, full, cropped, strip, streamed, boxed;
        EXPECT_EQ(timed([&] { return fitted4.LoadBitmapW(nullptr, path.c_str(), 4, 240, 320, 0); },
                        240 * 320),
                  fits);
        if (pixels <= (1u << 22)) {
            EXPECT_EQ(
                timed([&] { return full.LoadBitmapW(nullptr, path.c_str(), 0, 0, 0, 1); }, pixels),
                loads);
        }
        EXPECT_EQ(
            timed([&] { return cropped.Crop(&canvas.canvas, path.c_str(), 1, 1, 0, 0, 1, 1, 0); },
                  240 * 320),
            loads);
        unsigned count = 0, reserved = 0;
        const uint64_t frames = FrameCount(factory, r.file);
        const int gif =
            timed([&] { return strip.LoadGIF(nullptr, path.c_str(), 0, count, reserved); },
                  pixels * frames, frames);
        EXPECT_EQ(gif, r.gif);
        // Boxes that fit most pictures far beyond the limits: refused before
        // any buffer grows, never a block of gigabytes kept.
        const std::vector<uint8_t> bytes = zt::ReadBytes(r.file);
        for (const auto& box : {std::pair{2147483647u, 1024u}, {46340u, 46340u}, {240u, 320u}}) {
            unsigned bw = box.first, bh = box.second;
            unsigned fw = unsigned(height ? pixels / height : 0), fh = unsigned(height);
            zorva::FitToBox(int(bw), int(bh), &fw, &fh);
            const uint64_t made = pf::ImageSizeAllowed(fw, fh) ? uint64_t(fw) * fh : 0;
            timed([&] { return boxed.LoadBitmapW(nullptr, path.c_str(), 4, bw, bh, 0); }, made);
            EXPECT_LE(boxed.m_cbPixels, 2 * pf::kMaxImagePixels);
            IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
            ASSERT_NE(stream, nullptr);
            const long hr = timed(
                [&] { return streamed.GetBitmapFromStream(nullptr, stream, &bw, &bh); }, made);
            stream->Release();
            EXPECT_TRUE(hr == 0 ? loads : hr < 0);
            if (bw == 240) {
                EXPECT_EQ(hr == 0, fits == 1);
            }
            EXPECT_LE(streamed.m_cbPixels, 2 * pf::kMaxImagePixels);
        }
        for (const CCEBitmap* b : {&fitted4, &full, &cropped, &strip, &streamed, &boxed})
            zt::ExpectConsistent(*b);
        std::printf("%-44s %-9s %-9s %4d %4d %8.2f %8.1f\n",
                    r.file.substr(r.file.rfind('/') + 1).c_str(), r.decode.c_str(), seen.c_str(),
                    r.gif, gif, mostRows, mostMiB);
        std::fflush(stdout);
    }
    factory->Release();
    pf::CoUninitialize();
}
