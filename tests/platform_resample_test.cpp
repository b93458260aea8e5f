// The resampler (pixman) against plain reference filters written from their
// definitions: area averaging when shrinking, bilinear when enlarging, on
// premultiplied colour.
#include "platform/imaging/Codecs.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace pf = zorva::platform;

namespace {

pf::Pixmap RandomPicture(uint32_t w, uint32_t h, bool alpha, std::mt19937& rng) {
    pf::Pixmap p;
    EXPECT_EQ(p.Allocate(w, h), pf::S_OK);
    // Smooth-ish content with noise, so that filters have work to do.
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* q = p.Row(y) + 4 * x;
            for (int c = 0; c < 3; ++c)
                q[c] = uint8_t((x * (c + 3) * 7 + y * (5 - c) * 3 + rng() % 64) & 0xFF);
            q[3] = alpha ? uint8_t(rng() % 256) : 255;
        }
    return p;
}

// Straight colour and alpha of the reference, as doubles per channel.
struct Sample {
    double c[4];
};

// The weight of each source pixel along one axis, for destination pixel i:
// shrinking, the overlap of the source pixel [k, k + 1) with the
// footprint [i * s, (i + 1) * s); enlarging, the linear interpolation
// between the two pixels around u = (i + 0.5) * s - 0.5, edges extended.
std::vector<std::pair<int, double>> Weights(uint32_t i, uint32_t from, uint32_t to) {
    const double s = double(from) / to;
    std::vector<std::pair<int, double>> w;
    if (s > 1) {
        const double a = i * s, b = (i + 1) * s;
        for (int k = int(std::floor(a)); k < int(std::ceil(b)); ++k) {
            const double overlap = std::min(b, k + 1.0) - std::max(a, double(k));
            if (overlap > 0) w.push_back({std::clamp(k, 0, int(from) - 1), overlap / s});
        }
    } else {
        const double u = (i + 0.5) * s - 0.5;
        const int k = int(std::floor(u));
        const double f = u - k;
        w.push_back({std::clamp(k, 0, int(from) - 1), 1 - f});
        w.push_back({std::clamp(k + 1, 0, int(from) - 1), f});
    }
    return w;
}

Sample Reference(const pf::Pixmap& src, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    double premultiplied[4] = {0, 0, 0, 0};
    for (auto [sx, wx] : Weights(x, src.Width(), w))
        for (auto [sy, wy] : Weights(y, src.Height(), h)) {
            const uint8_t* p = src.Row(uint32_t(sy)) + 4 * sx;
            const double a = p[3] / 255.0;
            for (int c = 0; c < 3; ++c)
                premultiplied[c] += wx * wy * p[c] * a;
            premultiplied[3] += wx * wy * p[3];
        }
    Sample s;
    s.c[3] = premultiplied[3];
    for (int c = 0; c < 3; ++c)
        s.c[c] = premultiplied[3] > 0 ? premultiplied[c] * 255.0 / premultiplied[3] : 0;
    return s;
}

} // namespace

TEST(Resample, MatchesTheReferenceFiltersOnRandomPictures) {
    std::mt19937 rng(2024);
    const struct {
        uint32_t sw, sh, dw, dh;
    } sizes[] = {{64, 48, 20, 15}, {97, 61, 13, 29}, {40, 40, 7, 7},    {30, 20, 61, 43},
                 {11, 9, 40, 50},  {50, 20, 20, 45}, {123, 77, 240, 9}, {16, 16, 16, 33}};
    for (bool alpha : {false, true}) {
        for (const auto& s : sizes) {
            SCOPED_TRACE(::testing::Message() << s.sw << "x" << s.sh << " -> " << s.dw << "x"
                                              << s.dh << (alpha ? " alpha" : ""));
            const pf::Pixmap src = RandomPicture(s.sw, s.sh, alpha, rng);
            pf::Pixmap out;
            ASSERT_EQ(pf::Resample(src, alpha, s.dw, s.dh, &out), pf::S_OK);
            ASSERT_EQ(out.Width(), s.dw);
            ASSERT_EQ(out.Height(), s.dh);
            double worstColour = 0, worstAlpha = 0;
            for (uint32_t y = 0; y < s.dh; ++y)
                for (uint32_t x = 0; x < s.dw; ++x) {
                    const Sample r = Reference(src, x, y, s.dw, s.dh);
                    const uint8_t* p = out.Row(y) + 4 * x;
                    worstAlpha = std::max(worstAlpha, std::fabs(p[3] - r.c[3]));
                    // Colour goes through 8-bit premultiplication: half a
                    // level there is 127.5 / alpha levels of straight colour.
                    if (r.c[3] >= 32)
                        for (int c = 0; c < 3; ++c)
                            worstColour = std::max(worstColour, std::fabs(p[c] - r.c[c]) -
                                                                    (alpha ? 255.0 / r.c[3] : 0));
                }
            EXPECT_LE(worstAlpha, alpha ? 2.0 : 0.5);
            EXPECT_LE(worstColour, 2.0);
        }
    }
}

TEST(Resample, ShrinkingAveragesAreasNotPoints) {
    // 3 x 3 blocks whose centre differs from the rest: a point sample would
    // give the centre, the area average gives (8 * 90 + 0) / 9 = 80.
    pf::Pixmap src;
    ASSERT_EQ(src.Allocate(9, 6), pf::S_OK);
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 9; ++x) {
            uint8_t* p = src.Row(y) + 4 * x;
            const uint8_t v = (x % 3 == 1 && y % 3 == 1) ? 0 : 90;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    pf::Pixmap out;
    ASSERT_EQ(pf::Resample(src, false, 3, 2, &out), pf::S_OK);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(out.Row(y)[4 * x + c], 80, 1);
}

TEST(Resample, SolidColoursStaySolidAndTransparencyDoesNotBleed) {
    pf::Pixmap src;
    ASSERT_EQ(src.Allocate(20, 20), pf::S_OK);
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 20; ++x) {
            uint8_t* p = src.Row(y) + 4 * x;
            // Left half: transparent red; right half: opaque green.
            const bool right = x >= 10;
            p[0] = 0;
            p[1] = right ? 200 : 0;
            p[2] = right ? 0 : 255;
            p[3] = right ? 255 : 0;
        }
    for (uint32_t size : {3u, 7u, 33u}) {
        pf::Pixmap out;
        ASSERT_EQ(pf::Resample(src, true, size, size, &out), pf::S_OK);
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x) {
                const uint8_t* p = out.Row(y) + 4 * x;
                if (p[3] == 0) continue;
                EXPECT_LE(p[2], 1) << size << ": red bled in at " << x << "," << y;
                EXPECT_NEAR(p[1], 200, 2) << size;
            }
    }
    // Same size: a copy.
    pf::Pixmap same;
    ASSERT_EQ(pf::Resample(src, true, 20, 20, &same), pf::S_OK);
    EXPECT_EQ(std::memcmp(same.Bits(), src.Bits(), 20 * 20 * 4), 0);
    // Sizes the service refuses.
    EXPECT_EQ(pf::Resample(src, true, 0, 5, &same), pf::E_FAIL);
    EXPECT_TRUE(same.Empty());
    EXPECT_EQ(pf::Resample(src, true, 70000, 1, &same), pf::E_FAIL);
    EXPECT_EQ(pf::Resample(src, true, 9000, 9000, &same), pf::E_FAIL); // beyond the pixel limit
}

TEST(Resample, JpegScalesNeverUndershootTheRequest) {
    uint32_t w = 0, h = 0;
    pf::JpegScaledSize(2048, 1536, 240, 180, &w, &h);
    EXPECT_EQ(w, 256u); // 1/8
    EXPECT_EQ(h, 192u);
    pf::JpegScaledSize(2048, 1536, 300, 180, &w, &h);
    EXPECT_EQ(w, 512u); // 1/4: 1/8 would be too narrow
    pf::JpegScaledSize(203, 157, 102, 79, &w, &h);
    EXPECT_EQ(w, 102u); // ceil(203 / 2)
    EXPECT_EQ(h, 79u);
    pf::JpegScaledSize(203, 157, 103, 10, &w, &h);
    EXPECT_EQ(w, 203u); // more than half: the full size
    pf::JpegScaledSize(203, 157, 0, 0, &w, &h);
    EXPECT_EQ(w, 203u);
    pf::JpegScaledSize(2048, 1536, 4096, 3072, &w, &h); // enlarging: full size
    EXPECT_EQ(w, 2048u);
}
