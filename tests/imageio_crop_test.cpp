// Cropped loading: the window, its mapping into the image's orientation,
// the pixels it takes from the rendering, the kept image, and refusals.
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

class Cropping : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

bool SameRect(const tagRECT& r, int left, int top, int right, int bottom) {
    return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

// The whole image rendered at width x height through the resize (or, with
// alpha, the ARGB) converter, as a bitmap.
void Rendering(const std::string& file, int width, int height, CCEBitmap* out) {
    ASSERT_EQ(
        out->LoadBitmapW(nullptr, zt::Wide(file).c_str(), 4, unsigned(width), unsigned(height), 0),
        1);
    ASSERT_EQ(out->m_nWidth, width);
    ASSERT_EQ(out->m_nHeight, height);
}

} // namespace

TEST(CropPlan, WorkedExamples) {
    zorva::CropPlan p;
    // rot 0, W = H = 100, corner at (-10, -20), 50 x 50: columns 10..59,
    // rows 20..69.
    ASSERT_TRUE(zorva::PlanCrop(100, 100, -10, -20, 50, 50, 0, &p));
    EXPECT_TRUE(SameRect(p.source, 10, 20, 60, 70));
    EXPECT_EQ(p.width, 50u);
    EXPECT_EQ(p.height, 50u);
    EXPECT_EQ(p.renderWidth, 100u);
    // The window stops at the right edge: width 20.
    ASSERT_TRUE(zorva::PlanCrop(100, 100, -80, 0, 50, 50, 0, &p));
    EXPECT_TRUE(SameRect(p.source, 80, 0, 100, 50));
    // x > 0: from column 0, the whole width whatever the window's.
    ASSERT_TRUE(zorva::PlanCrop(100, 100, 5, 0, 30, 50, 0, &p));
    EXPECT_TRUE(SameRect(p.source, 0, 0, 100, 50));
    // rot 1, W = 320, H = 240, 100 x 50 at (0, 0): rendered 240 x 320,
    // {0, 220, 50, 320} copied, 50 x 100.
    ASSERT_TRUE(zorva::PlanCrop(320, 240, 0, 0, 100, 50, 1, &p));
    EXPECT_EQ(p.renderWidth, 240u);
    EXPECT_EQ(p.renderHeight, 320u);
    EXPECT_TRUE(SameRect(p.source, 0, 220, 50, 320));
    EXPECT_EQ(p.width, 50u);
    EXPECT_EQ(p.height, 100u);
    // rot 2 and 4 by the table, window 100 x 50 at (-10, -20).
    ASSERT_TRUE(zorva::PlanCrop(320, 240, -10, -20, 100, 50, 2, &p));
    EXPECT_EQ(p.renderWidth, 320u);
    EXPECT_TRUE(SameRect(p.source, 210, 170, 310, 220));
    ASSERT_TRUE(zorva::PlanCrop(320, 240, -10, -20, 100, 50, 4, &p));
    EXPECT_EQ(p.renderWidth, 240u);
    EXPECT_TRUE(SameRect(p.source, 170, 10, 220, 110));
    EXPECT_EQ(p.width, 50u);
    EXPECT_EQ(p.height, 100u);
}

TEST(CropPlan, RectanglesHoldTheMappedDisplayPoints) {
    // For random windows the rectangle is exactly the set of image points of
    // the window's display points: code 1 maps (dx, dy) to (dy, W - 1 - dx),
    // code 4 to (H - 1 - dy, dx), code 2 to (W - 1 - dx, H - 1 - dy).
    std::mt19937 rng(42);
    for (int i = 0; i < 2000; ++i) {
        const uint32_t W = 1 + rng() % 60, H = 1 + rng() % 60;
        const int x = int(rng() % 80) - 70, y = int(rng() % 80) - 70;
        const uint32_t cw = rng() % 70, ch = rng() % 70;
        for (BYTE rot : {0, 1, 2, 4}) {
            zorva::CropPlan p;
            const bool ok = zorva::PlanCrop(W, H, x, y, cw, ch, rot, &p);
            // Refused exactly when the window is empty or beyond the rendering.
            const int64_t x0 = x > 0 ? 0 : -int64_t(x), y0 = y > 0 ? 0 : -int64_t(y);
            const int64_t w = x > 0 ? W : std::min<int64_t>(cw, int64_t(W) - x0);
            const int64_t h = y > 0 ? H : std::min<int64_t>(ch, int64_t(H) - y0);
            ASSERT_EQ(ok, w > 0 && h > 0) << W << "x" << H << " " << x << "," << y;
            if (!ok) continue;
            int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
            for (int64_t dy = y0; dy < y0 + h; ++dy)
                for (int64_t dx = x0; dx < x0 + w; ++dx) {
                    int64_t ix = dx, iy = dy;
                    if (rot == 1) ix = dy, iy = W - 1 - dx;
                    if (rot == 4) ix = H - 1 - dy, iy = dx;
                    if (rot == 2) ix = W - 1 - dx, iy = H - 1 - dy;
                    minX = std::min(minX, ix), maxX = std::max(maxX, ix);
                    minY = std::min(minY, iy), maxY = std::max(maxY, iy);
                }
            EXPECT_TRUE(SameRect(p.source, int(minX), int(minY), int(maxX + 1), int(maxY + 1)));
            EXPECT_LE(p.source.right, int(p.renderWidth));
            EXPECT_LE(p.source.bottom, int(p.renderHeight));
            EXPECT_EQ(p.width * p.height, uint64_t(w * h));
        }
    }
}

TEST(CropPlan, Refusals) {
    zorva::CropPlan p;
    for (BYTE rot : {3, 5, 8, 90, 255})
        EXPECT_FALSE(zorva::PlanCrop(100, 100, 0, 0, 10, 10, rot, &p)) << int(rot);
    EXPECT_FALSE(zorva::PlanCrop(100, 100, -100, 0, 10, 10, 0, &p)); // beyond the right edge
    EXPECT_FALSE(zorva::PlanCrop(100, 100, 0, -150, 10, 10, 0, &p)); // below the bottom
    EXPECT_FALSE(zorva::PlanCrop(100, 100, 0, 0, 0, 10, 0, &p));     // empty window
    EXPECT_FALSE(zorva::PlanCrop(0, 100, 0, 0, 10, 10, 0, &p));      // empty rendering
    EXPECT_FALSE(zorva::PlanCrop(100, 100, INT32_MIN, 0, 10, 10, 1, &p));
    EXPECT_TRUE(zorva::PlanCrop(100, 100, -99, -99, 10, 10, 1, &p)); // one pixel left
    EXPECT_EQ(p.width * p.height, 1u);
}

TEST_F(Cropping, TheWindowComesFromTheRendering) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const std::string file = zt::CorpusPath("valid/png_rgb.png"); // 37 x 29
    // The display sees the picture at 74 x 58, turned for codes 1 and 4.
    CCEBitmap rendering;
    Rendering(file, 74, 58, &rendering);
    for (BYTE rot : {0, 1, 2, 4}) {
        SCOPED_TRACE(int(rot));
        const bool turned = rot == 1 || rot == 4;
        const unsigned W = turned ? 58 : 74, H = turned ? 74 : 58;
        zorva::CropPlan plan;
        ASSERT_TRUE(zorva::PlanCrop(W, H, -7, -11, 30, 20, rot, &plan));
        CCEBitmap bitmap;
        ASSERT_EQ(bitmap.Crop(&canvas.canvas, zt::Wide(file).c_str(), W, H, -7, -11, 30, 20, rot),
                  1);
        ASSERT_EQ(bitmap.m_nWidth, int(plan.width));
        ASSERT_EQ(bitmap.m_nHeight, int(plan.height));
        EXPECT_EQ(bitmap.m_bARGB, 0);
        int differ = 0;
        for (int y = 0; y < bitmap.m_nHeight; ++y)
            for (int x = 0; x < bitmap.m_nWidth; ++x)
                differ += bitmap.m_pPixels[y * bitmap.m_nWidth + x] !=
                          rendering.m_pPixels[(plan.source.top + y) * 74 + plan.source.left + x];
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(Cropping, AlphaImagesKeepTheirAlphaPlane) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const std::string file = zt::CorpusPath("valid/png_rgba.png");
    CCEBitmap rendering;
    Rendering(file, 37, 29, &rendering);
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.Crop(&canvas.canvas, zt::Wide(file).c_str(), 37, 29, -5, -6, 10, 8, 0), 1);
    ASSERT_EQ(bitmap.m_nWidth, 10);
    ASSERT_EQ(bitmap.m_nHeight, 8);
    EXPECT_EQ(bitmap.m_bARGB, 1);
    ASSERT_GE(bitmap.m_cbAlpha, 80u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(bitmap.m_pAlpha[y * 10 + x], rendering.m_pAlpha[(6 + y) * 37 + 5 + x]);
            EXPECT_EQ(bitmap.m_pPixels[y * 10 + x], rendering.m_pPixels[(6 + y) * 37 + 5 + x]);
        }
}

TEST_F(Cropping, TheKeptImageIsCroppedWithoutTheFile) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const std::string file = zt::CorpusPath("valid/jpeg_big.jpg"); // 203 x 157
    CCEBitmap source;
    ASSERT_EQ(source.LoadBitmapW(&canvas.canvas, zt::Wide(file).c_str(), 0, 0, 0, 1), 1);
    IImage* kept = source.m_pImage;
    ASSERT_NE(kept, nullptr);
    CCEBitmap fromFile, fromKept;
    ASSERT_EQ(fromFile.Crop(&canvas.canvas, zt::Wide(file).c_str(), 100, 80, -20, -10, 40, 30, 2),
              1);
    ASSERT_EQ(fromKept.ImageCrop(&canvas.canvas, &source, 100, 80, -20, -10, 40, 30, 2), 1);
    ASSERT_EQ(fromKept.m_nWidth, 40);
    ASSERT_EQ(fromKept.m_nHeight, 30);
    EXPECT_EQ(std::memcmp(fromFile.m_pPixels, fromKept.m_pPixels, 40 * 30 * 2), 0);
    EXPECT_EQ(source.m_pImage, kept); // still the source's
    EXPECT_EQ(fromKept.m_pImage, nullptr);
    // The bitmap as its own source: its pixels are replaced, its image stays.
    ASSERT_EQ(source.ImageCrop(&canvas.canvas, &source, 100, 80, -20, -10, 40, 30, 2), 1);
    EXPECT_EQ(source.m_nWidth, 40);
    EXPECT_EQ(std::memcmp(source.m_pPixels, fromFile.m_pPixels, 40 * 30 * 2), 0);
    EXPECT_EQ(source.m_pImage, kept);
}

TEST_F(Cropping, RefusalsGiveZero) {
    zt::TestCanvas canvas(zt::Dense(240, 320));
    const std::wstring file = zt::Wide(zt::CorpusPath("valid/png_rgb.png"));
    CCEBitmap bitmap;
    ASSERT_EQ(bitmap.LoadBitmapW(nullptr, file.c_str(), 0, 0, 0, 0), 1);
    // A null canvas changes nothing.
    EXPECT_EQ(bitmap.Crop(nullptr, file.c_str(), 37, 29, 0, 0, 10, 10, 0), 0);
    EXPECT_EQ(bitmap.m_nWidth, 37);
    EXPECT_EQ(bitmap.ImageCrop(nullptr, &bitmap, 37, 29, 0, 0, 10, 10, 0), 0);
    EXPECT_EQ(bitmap.m_nWidth, 37);
    // Everything else leaves 0 x 0.
    CCEBitmap empty;
    const struct {
        const wchar_t* file;
        int x, y;
        unsigned cw, ch;
        BYTE rot;
    } cases[] = {
        {nullptr, 0, 0, 10, 10, 0},        {L"/no/such/file.png", 0, 0, 10, 10, 0},
        {file.c_str(), 0, 0, 10, 10, 3},   {file.c_str(), -37, 0, 10, 10, 0},
        {file.c_str(), 0, -29, 10, 10, 0}, {file.c_str(), 0, 0, 0, 10, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bitmap.Crop(&canvas.canvas, c.file, 37, 29, c.x, c.y, c.cw, c.ch, c.rot), 0);
        EXPECT_EQ(bitmap.m_nWidth, 0);
        EXPECT_EQ(bitmap.m_nHeight, 0);
    }
    EXPECT_EQ(bitmap.ImageCrop(&canvas.canvas, nullptr, 37, 29, 0, 0, 10, 10, 0), 0);
    EXPECT_EQ(bitmap.ImageCrop(&canvas.canvas, &empty, 37, 29, 0, 0, 10, 10, 0), 0);
    for (const std::string& name : zt::ListFiles(zt::CorpusPath("bad"), "")) {
        EXPECT_EQ(bitmap.Crop(&canvas.canvas, zt::Wide(zt::CorpusPath("bad/" + name)).c_str(), 40,
                              40, 0, 0, 10, 10, 0),
                  0)
            << name;
    }
}
