// Image loading: a camera-sized JPEG into a 240 x 320 box (mode 4) beside a
// full-size decode followed by scaling and beside SDL2_image's load plus
// SDL2's scaled blit; PNG loading and GIF strips.
#include <CCEBitmap.h>

#include "backends/codecs/Codecs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef ZORVA_BENCH_SDL_IMAGE
#include <SDL.h>
#include <SDL_image.h>
#endif

namespace pf = zorva::backends;

namespace {

std::string CorpusFile(const char* name) {
#ifdef ZORVA_CORPUS_DIR
    return std::string(ZORVA_CORPUS_DIR) + "/" + name;
#else
    return name;
#endif
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

// The file's bytes as the codecs read them.
struct VectorSource final : pf::ByteSource {
    explicit VectorSource(const std::vector<uint8_t>& b) : bytes(b) {}
    pf::Status ReadAt(uint64_t position, uint8_t* out, size_t n, size_t* read) override {
        const uint64_t left = position < bytes.size() ? bytes.size() - position : 0;
        *read = size_t(left < n ? left : n);
        if (*read) std::memcpy(out, bytes.data() + position, *read);
        return pf::Status::Ok;
    }
    uint64_t Size() const override { return bytes.size(); }
    const std::vector<uint8_t>& bytes;
};

bool Exists(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

const char* kPhoto = "photo_2048x1536.jpg";
const char* kProgressive = "photo_2048x1536_progressive.jpg";

// The library's own path: the codec decodes at 1/8 scale (256 x 192), the
// resampler averages that down to 240 x 180.
// Argument 0: a baseline file; 1: the same picture progressive.
void BM_JpegMode4Box240x320(benchmark::State& state) {
    const std::string path = CorpusFile(state.range(0) ? kProgressive : kPhoto);
    if (!Exists(path)) return state.SkipWithError("corpus not built");
    const std::wstring wide(path.begin(), path.end());
    CCEBitmap bitmap;
    for (auto _ : state) {
        if (bitmap.LoadBitmapW(nullptr, wide.c_str(), 4, 240, 320, 0) != 1)
            return state.SkipWithError("load failed");
        benchmark::DoNotOptimize(bitmap.m_pPixels);
    }
    state.counters["width"] = bitmap.m_nWidth;
    state.counters["height"] = bitmap.m_nHeight;
}
BENCHMARK(BM_JpegMode4Box240x320)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Every pixel decoded at full size, then area-averaged to 240 x 180 and
// converted to RGB565.
void BM_JpegFullDecodeThenScale(benchmark::State& state) {
    const std::string path = CorpusFile(state.range(0) ? kProgressive : kPhoto);
    if (!Exists(path)) return state.SkipWithError("corpus not built");
    std::vector<uint16_t> out(240 * 180);
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = ReadFile(path);
        VectorSource source(bytes);
        pf::Pixmap full, scaled;
        pf::PixmapWriter writer(&full);
        if (pf::JpegDecodeRows(source, 0, 0, writer) != pf::Status::Ok ||
            pf::Resample(full, false, 240, 180, &scaled) != pf::Status::Ok)
            return state.SkipWithError("decode failed");
        for (uint32_t y = 0; y < 180; ++y)
            for (uint32_t x = 0; x < 240; ++x) {
                const uint8_t* p = scaled.Row(y) + 4 * x;
                out[y * 240 + x] = uint16_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3);
            }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_JpegFullDecodeThenScale)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef ZORVA_BENCH_SDL_IMAGE
// SDL2_image decodes the whole file; SDL_BlitScaled stretches it into a
// 240 x 180 RGB565 surface (nearest pixel).
void BM_JpegSdlImageThenBlitScaled(benchmark::State& state) {
    const std::string path = CorpusFile(state.range(0) ? kProgressive : kPhoto);
    if (!Exists(path)) return state.SkipWithError("corpus not built");
    IMG_Init(IMG_INIT_JPG);
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 240, 180, 16, SDL_PIXELFORMAT_RGB565);
    for (auto _ : state) {
        SDL_Surface* image = IMG_Load(path.c_str());
        if (!image) return state.SkipWithError("IMG_Load failed");
        SDL_BlitScaled(image, nullptr, target, nullptr);
        SDL_FreeSurface(image);
        benchmark::DoNotOptimize(target->pixels);
    }
    SDL_FreeSurface(target);
    IMG_Quit();
}
BENCHMARK(BM_JpegSdlImageThenBlitScaled)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#endif

void BM_PngLoad640x480(benchmark::State& state) {
    const std::string path = CorpusFile("photo_640x480.png");
    if (!Exists(path)) return state.SkipWithError("corpus not built");
    const std::wstring wide(path.begin(), path.end());
    CCEBitmap bitmap;
    for (auto _ : state) {
        if (bitmap.LoadBitmapW(nullptr, wide.c_str(), 0, 0, 0, 0) != 1)
            return state.SkipWithError("load failed");
        benchmark::DoNotOptimize(bitmap.m_pPixels);
    }
}
BENCHMARK(BM_PngLoad640x480)->Unit(benchmark::kMillisecond);

// Eight frames of 160 x 120 side by side: a 1280 x 120 strip.
void BM_GifStrip8x160x120(benchmark::State& state) {
    const std::string path = CorpusFile("anim_160x120x8.gif");
    if (!Exists(path)) return state.SkipWithError("corpus not built");
    const std::wstring wide(path.begin(), path.end());
    CCEBitmap bitmap;
    unsigned count = 0, reserved = 0;
    for (auto _ : state) {
        if (bitmap.LoadGIF(nullptr, wide.c_str(), 0, count, reserved) != 1)
            return state.SkipWithError("load failed");
        benchmark::DoNotOptimize(bitmap.m_pPixels);
    }
    state.counters["frames"] = count;
}
BENCHMARK(BM_GifStrip8x160x120)->Unit(benchmark::kMillisecond);

} // namespace
