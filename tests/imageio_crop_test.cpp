// Cropped loading: the window's mapping, its pixels, the kept image,
// refusals. Bad files and failed allocations: imageio_load_test.
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

using Cropping = zt::PlatformTest;

std::vector<int64_t> Rect(const tagRECT& r) {
    return zt::Values(r.left, r.top, r.right, r.bottom);
}

} // namespace

TEST(CropPlan, RectanglesHoldTheMappedDisplayPoints) {
    // The rectangle is exactly the set of image points of the window's
    // display points: code 1 maps (dx, dy) to (dy, W - 1 - dx), code 4 to
    // (H - 1 - dy, dx), code 2 to (W - 1 - dx, H - 1 - dy). Refused exactly
    // when the window is empty or beyond the rendering.
    std::mt19937 rng(42);
    for (int i = 0; i < 2000; ++i) {
        const int64_t W = 1 + rng() % 60, H = 1 + rng() % 60, x = int(rng() % 80) - 70,
                      y = int(rng() % 80) - 70, cw = rng() % 70, ch = rng() % 70;
        const int64_t x0 = std::max<int64_t>(-x, 0), y0 = std::max<int64_t>(-y, 0);
        const int64_t w = x > 0 ? W : std::min(cw, W - x0), h = y > 0 ? H : std::min(ch, H - y0);
        for (BYTE rot : {0, 1, 2, 4}) {
            zorva::CropPlan p;
            ASSERT_EQ(zorva::PlanCrop(W, H, int(x), int(y), cw, ch, rot, &p), w > 0 && h > 0)
                << W << "x" << H << " " << x << "," << y;
            if (w <= 0 || h <= 0) continue;
            int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
            for (int64_t dy = y0; dy < y0 + h; ++dy)
                for (int64_t dx = x0; dx < x0 + w; ++dx) {
                    const int64_t ix = rot == 1   ? dy
                                       : rot == 4 ? H - 1 - dy
                                       : rot == 2 ? W - 1 - dx
                                                  : dx;
                    const int64_t iy = rot == 1   ? W - 1 - dx
                                       : rot == 4 ? dx
                                       : rot == 2 ? H - 1 - dy
                                                  : dy;
                    minX = std::min(minX, ix), maxX = std::max(maxX, ix);
                    minY = std::min(minY, iy), maxY = std::max(maxY, iy);
                }
            EXPECT_EQ(Rect(p.source), zt::Values(minX, minY, maxX + 1, maxY + 1));
            EXPECT_EQ(zt::Values(p.width * p.height, p.renderWidth, p.renderHeight),
                      zt::Values(w * h, rot & 5 ? H : W, rot & 5 ? W : H));
        }
    }
}

TEST_F(Cropping, TheWindowComesFromTheRenderingWithItsAlpha) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    // The display sees the 37 x 29 pictures at 74 x 58, turned for codes 1
    // and 4.
    for (const std::string name : {"valid/png_rgb.png", "valid/png_rgba.png"}) {
        const std::wstring file = zt::Wide(zt::CorpusPath(name));
        const bool alpha = name == "valid/png_rgba.png";
        CCEBitmap rendering;
        ASSERT_EQ(rendering.LoadBitmapW(nullptr, file.c_str(), 4, 74, 58, 0), 1);
        ASSERT_EQ(zt::Values(rendering.m_nWidth, rendering.m_nHeight), zt::Values(74, 58));
        for (BYTE rot : {0, 1, 2, 4}) {
            const unsigned W = rot & 5 ? 58 : 74, H = rot & 5 ? 74 : 58;
            zorva::CropPlan plan;
            CCEBitmap bitmap;
            ASSERT_TRUE(zorva::PlanCrop(W, H, -7, -11, 30, 20, rot, &plan));
            ASSERT_EQ(bitmap.Crop(&canvas.canvas, file.c_str(), W, H, -7, -11, 30, 20, rot), 1);
            ASSERT_EQ(zt::Values(bitmap.m_nWidth, bitmap.m_nHeight, bitmap.m_bARGB),
                      zt::Values(plan.width, plan.height, alpha));
            int differ = 0;
            for (int y = 0; y < bitmap.m_nHeight; ++y)
                for (int x = 0; x < bitmap.m_nWidth; ++x) {
                    const int i = y * bitmap.m_nWidth + x,
                              j = (plan.source.top + y) * 74 + plan.source.left + x;
                    differ += bitmap.m_pPixels[i] != rendering.m_pPixels[j];
                    differ += alpha && bitmap.m_pAlpha[i] != rendering.m_pAlpha[j];
                }
            EXPECT_EQ(differ, 0) << name << " rot " << int(rot);
        }
    }
}

TEST_F(Cropping, TheKeptImageIsCroppedWithoutTheFileAndRefusalsGiveZero) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const std::wstring file = zt::Wide(zt::CorpusPath("valid/jpeg_big.jpg"));
    CCEBitmap source, fromFile, fromKept;
    ASSERT_EQ(source.LoadBitmapW(&canvas.canvas, file.c_str(), 0, 0, 0, 1), 1);
    IImage* kept = source.m_pImage;
    ASSERT_EQ(fromFile.Crop(&canvas.canvas, file.c_str(), 100, 80, -20, -10, 40, 30, 2), 1);
    ASSERT_EQ(fromKept.ImageCrop(&canvas.canvas, &source, 100, 80, -20, -10, 40, 30, 2), 1);
    ASSERT_EQ(zt::Values(fromKept.m_nWidth, fromKept.m_nHeight), zt::Values(40, 30));
    EXPECT_EQ(std::memcmp(fromFile.m_pPixels, fromKept.m_pPixels, 40 * 30 * 2), 0);
    EXPECT_EQ(zt::Values(source.m_pImage == kept, fromKept.m_pImage == nullptr), zt::Values(1, 1));
    // The bitmap as its own source: its pixels are replaced, its image stays.
    ASSERT_EQ(source.ImageCrop(&canvas.canvas, &source, 100, 80, -20, -10, 40, 30, 2), 1);
    EXPECT_EQ(zt::Values(source.m_nWidth, source.m_pImage == kept), zt::Values(40, 1));
    EXPECT_EQ(std::memcmp(source.m_pPixels, fromFile.m_pPixels, 40 * 30 * 2), 0);
    // Refusals and the size they leave: imageio_load_test, with every loader.
}
