// The scaler against reference filters: area averaging when shrinking,
// bilinear when enlarging, on premultiplied colour; its windows and rows
// that come out of order against the whole picture; the scales JPEG files
// are decoded at, against djpeg's.
#include "backends/codecs/Codecs.h"
#include "support/ImageCorpus.h"
#include "system/Testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace pf = zorva::backends;

namespace {

// The weight of each source pixel along one axis, for destination pixel i:
// shrinking, the overlap of source pixel [k, k + 1) with the footprint
// [i * s, (i + 1) * s); enlarging, linear interpolation between the two
// pixels around u = (i + 0.5) * s - 0.5, edges extended.
std::vector<std::pair<int, double>> Weights(uint32_t i, uint32_t from, uint32_t to) {
    const double s = double(from) / to, a = i * s, b = (i + 1) * s, u = (i + 0.5) * s - 0.5;
    std::vector<std::pair<int, double>> w;
    for (int k = int(std::floor(a)); s > 1 && k < int(std::ceil(b)); ++k)
        w.push_back(
            {std::min(k, int(from) - 1), (std::min(b, k + 1.0) - std::max(a, double(k))) / s});
    const int k = int(std::floor(u));
    if (s <= 1)
        w = {{std::clamp(k, 0, int(from) - 1), 1 - (u - k)},
             {std::clamp(k + 1, 0, int(from) - 1), u - k}};
    return w;
}

} // namespace

TEST(Resample, MatchesTheReferenceFiltersOnRandomPictures) {
    std::mt19937 rng(2024);
    // Down to a pixel from thousands and up to hundreds from two: scales
    // far past what 16.16 fixed point holds.
    const uint32_t sizes[][4] = {
        {64, 48, 20, 15}, {97, 61, 13, 29},  {40, 40, 7, 7},   {30, 20, 61, 43}, {11, 9, 40, 50},
        {50, 20, 20, 45}, {123, 77, 240, 9}, {16, 16, 16, 33}, {3000, 2, 1, 1},  {2, 3, 999, 2}};
    for (bool alpha : {false, true})
        for (const auto& s : sizes) {
            // Smooth-ish content with noise, so that the filters have work.
            pf::Pixmap src, out;
            ASSERT_EQ(src.Allocate(s[0], s[1]), pf::Status::Ok);
            for (uint32_t y = 0; y < s[1]; ++y)
                for (uint32_t x = 0; x < s[0]; ++x) {
                    uint8_t* q = src.Row(y) + 4 * x;
                    for (int c = 0; c < 3; ++c)
                        q[c] = uint8_t(x * (c + 3) * 7 + y * (5 - c) * 3 + rng() % 64);
                    q[3] = alpha ? uint8_t(rng()) : 255;
                }
            ASSERT_EQ(pf::Resample(src, alpha, s[2], s[3], &out), pf::Status::Ok);
            ASSERT_EQ((std::vector<uint32_t>{out.Width(), out.Height()}),
                      (std::vector<uint32_t>{s[2], s[3]}));
            double worstColour = 0, worstAlpha = 0;
            for (uint32_t y = 0; y < s[3]; ++y)
                for (uint32_t x = 0; x < s[2]; ++x) {
                    double sum[4] = {0, 0, 0, 0}; // premultiplied colour, alpha
                    for (auto [sx, wx] : Weights(x, s[0], s[2]))
                        for (auto [sy, wy] : Weights(y, s[1], s[3])) {
                            const uint8_t* p = src.Row(uint32_t(sy)) + 4 * sx;
                            for (int c = 0; c < 4; ++c)
                                sum[c] += wx * wy * p[c] * (c < 3 ? p[3] / 255.0 : 1);
                        }
                    const uint8_t* p = out.Row(y) + 4 * x;
                    worstAlpha = std::max(worstAlpha, std::fabs(p[3] - sum[3]));
                    // Colour goes through 8-bit premultiplication: half a
                    // level there is 127.5 / alpha levels of straight colour.
                    for (int c = 0; c < 3 && sum[3] >= 32; ++c)
                        worstColour =
                            std::max(worstColour, std::fabs(p[c] - sum[c] * 255 / sum[3]) -
                                                      (alpha ? 255.0 / sum[3] : 0));
                }
            EXPECT_LE(worstAlpha, alpha ? 2.0 : 0.5)
                << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3];
            EXPECT_LE(worstColour, 2.0) << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3];
        }
}

TEST(Scaler, TheVectorPathGivesTheScalarPathsBytes) {
    // Random pictures shrunk by ratios the vector paths take (more than 256
    // pixels in along an axis), grown down, opaque and with alpha.
    std::mt19937 rng(9);
    const uint32_t sizes[][4] = {{1024, 300, 640, 299}, {300, 3, 299, 2}, {1000, 2, 257, 1},
                                 {4000, 2, 1333, 2},    {257, 260, 1, 3}, {300, 257, 7, 600}};
    for (bool alpha : {false, true})
        for (const auto& s : sizes) {
            pf::Pixmap src, out[2];
            ASSERT_EQ(src.Allocate(s[0], s[1]), pf::Status::Ok);
            for (uint32_t i = 0; i < s[0] * s[1] * 4; ++i)
                src.Bits()[i] = uint8_t(rng());
            for (bool vector : {false, true}) {
                zorva::ScalerVectorPath(vector);
                ASSERT_EQ(pf::Resample(src, alpha, s[2], s[3], &out[vector]), pf::Status::Ok);
            }
            EXPECT_EQ(std::memcmp(out[0].Bits(), out[1].Bits(), out[0].Stride() * s[3]), 0)
                << s[0] << " to " << s[2] << (alpha ? " with alpha" : "");
        }
}

TEST(Scaler, WindowsAndRowsInAnyOrderGiveTheWholePicturesPixels) {
    // A window of a scaling is exactly that part of the whole; rows that
    // come out of order, a few pixels at a time as interlaced passes bring
    // them, give the same picture to within a level.
    std::mt19937 rng(77);
    pf::Pixmap src;
    ASSERT_EQ(src.Allocate(97, 61), pf::Status::Ok);
    for (uint32_t i = 0; i < 97 * 61 * 4; ++i)
        src.Bits()[i] = uint8_t(rng());
    const uint32_t targets[][2] = {{20, 15}, {130, 90}, {40, 100}, {97, 61}};
    for (const auto& t : targets) {
        pf::Pixmap whole, part, any;
        ASSERT_EQ(pf::Resample(src, true, t[0], t[1], &whole), pf::Status::Ok);
        const pf::Rect window{int32_t(t[0] / 3), int32_t(t[1] / 4), int32_t(t[0] - 1),
                              int32_t(t[1])};
        pf::PixmapWriter partWriter(&part), anyWriter(&any);
        pf::Scaler partScaler(t[0], t[1], window, true, partWriter);
        pf::Scaler anyScaler(t[0], t[1], pf::Rect{0, 0, int32_t(t[0]), int32_t(t[1])}, true,
                             anyWriter);
        ASSERT_EQ(partScaler.Begin(97, 61, true), pf::Status::Ok);
        ASSERT_EQ(anyScaler.Begin(97, 61, false), pf::Status::Ok);
        for (uint32_t y = 0; y < 61; ++y)
            ASSERT_TRUE(partScaler.Row(y, src.Row(y), 0, 1));
        // Adam7's passes: (first column, column step, first row, row step).
        const uint32_t passes[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                       {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
        std::vector<uint8_t> packed;
        for (const auto& p : passes)
            for (uint32_t y = p[2]; y < 61; y += p[3]) {
                packed.clear();
                for (uint32_t x = p[0]; x < 97; x += p[1])
                    packed.insert(packed.end(), src.Row(y) + 4 * x, src.Row(y) + 4 * x + 4);
                ASSERT_TRUE(anyScaler.Row(y, packed.data(), p[0], p[1]));
            }
        ASSERT_EQ(partScaler.End(), pf::Status::Ok);
        ASSERT_EQ(anyScaler.End(), pf::Status::Ok);
        int windowDiffers = 0, worst = 0;
        for (int32_t y = window.top; y < window.bottom; ++y)
            windowDiffers += std::memcmp(part.Row(uint32_t(y - window.top)),
                                         whole.Row(uint32_t(y)) + 4 * window.left,
                                         4 * size_t(window.right - window.left)) != 0;
        for (uint32_t i = 0; i < t[0] * t[1] * 4; ++i)
            worst = std::max(worst, std::abs(int(any.Bits()[i]) - int(whole.Bits()[i])));
        EXPECT_EQ(windowDiffers, 0) << t[0] << "x" << t[1];
        EXPECT_LE(worst, 1) << t[0] << "x" << t[1];
    }
}

TEST(JpegScale, ReducedDecodesAreTheScaleChosenAsDjpegDecodesIt) {
    // jpeg_big.jpg is 203 x 157; at M/8 it is ceil(203 M / 8) x
    // ceil(157 M / 8): 26 x 20, 51 x 40, (77 x 59,) 102 x 79, 127 x 99.
    // 3/8, 6/8 and 7/8 give way to the next of 4/8 and 8/8.
    const struct {
        uint32_t minWidth, minHeight, eighths;
        const char* reference;
    } cases[] = {{26, 20, 1, "1_8"},  {27, 20, 2, "1_4"},  {51, 40, 2, "1_4"},
                 {52, 40, 4, "1_2"},  {102, 79, 4, "1_2"}, {102, 80, 5, "5_8"},
                 {127, 99, 5, "5_8"}, {128, 99, 8, ""},    {0, 99, 8, ""}};
    const std::vector<uint8_t> file = zt::ReadBytes(zt::CorpusPath("valid/jpeg_big.jpg"));
    auto* bytes = new (std::nothrow) pf::EncodedBytes;
    ASSERT_TRUE(bytes && (bytes->data = static_cast<uint8_t*>(pf::malloc(file.size()))));
    std::memcpy(bytes->data, file.data(), bytes->size = file.size());
    pf::MemorySource source{pf::EncodedPtr(bytes)};
    for (const auto& c : cases) {
        EXPECT_EQ(pf::JpegScaleEighths(203, 157, c.minWidth, c.minHeight), c.eighths);
        pf::Pixmap out;
        pf::PixmapWriter writer(&out);
        ASSERT_EQ(pf::JpegDecodeRows(source, c.minWidth, c.minHeight, writer), pf::Status::Ok);
        const zt::Rgba ref = zt::Reference(std::string("valid/jpeg_big") +
                                           (*c.reference ? "_" : "") + c.reference + ".jpg");
        ASSERT_EQ((std::vector<int>{int(out.Width()), int(out.Height())}),
                  (std::vector<int>{ref.width, ref.height}))
            << c.eighths;
        int differ = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    differ += out.Row(uint32_t(y))[4 * x + 2 - ch] != ref.At(x, y)[ch];
        EXPECT_EQ(differ, 0) << c.eighths << "/8";
    }
}
