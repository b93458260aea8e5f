// Animated GIF loading: strips, frames, delays, disposal as a viewer shows
// it, other formats. Bad files and failed allocations: imageio_load_test.
#include "CCEBitmap.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Gif = zt::PlatformTest;

int Load(CCEBitmap& bitmap, const std::string& path, unsigned frame, unsigned& count) {
    unsigned reserved = 0;
    return bitmap.LoadGIF(nullptr, zt::Wide(path).c_str(), frame, count, reserved);
}

} // namespace

TEST_F(Gif, StripsAndSingleFramesWithTheirDelays) {
    constexpr uint16_t R = 0xF800, G = 0x07E0, B = 0x001F, Y = 0xFFE0;
    // Four solid 32 x 32 frames: uFrame 0 gives them side by side, another
    // the frame at that place counted from 0, or the first at or beyond
    // the count. The record holds every frame's delay; 0 outside 1 .. 4.
    const std::pair<unsigned, std::vector<uint16_t>> cases[] = {
        {0, {R, G, B, Y}}, {1, {G}}, {2, {B}}, {3, {Y}}, {4, {R}}, {9, {R}}};
    for (const auto& [frame, colours] : cases) {
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, zt::CorpusPath("valid/gif_four.gif"), frame, count), 1);
        ASSERT_EQ(zt::Values(count, bitmap.m_nWidth, bitmap.m_nHeight, bitmap.m_bARGB),
                  zt::Values(4, 32 * colours.size(), 32, 0));
        int differ = 0;
        for (int i = 0; i < 32 * bitmap.m_nWidth; ++i)
            differ += bitmap.m_pPixels[i] != colours[i % bitmap.m_nWidth / 32];
        EXPECT_EQ(differ, 0) << frame;
        for (unsigned i : {0u, 1u, 2u, 3u, 4u, 5u, 0xFFFFFFFFu})
            EXPECT_EQ(bitmap.GetFrameDelay(i), i >= 1 && i <= 4 ? long(10 * i) : 0)
                << frame << " " << i;
    }
    // A copy shares the record, which outlives the original's.
    CCEBitmap bitmap;
    unsigned count = 0;
    ASSERT_EQ(Load(bitmap, zt::CorpusPath("valid/gif_four.gif"), 0, count), 1);
    auto copy = std::make_unique<CCEBitmap>(bitmap);
    bitmap.Unload(1);
    EXPECT_EQ(bitmap.GetFrameDelay(1), 0);
    EXPECT_EQ(copy->GetFrameDelay(3), 30);
}

TEST_F(Gif, FramesShowAsAViewerShowsThemOnABlackPage) {
    for (const std::string disposal : {"none", "background", "previous"}) {
        const std::string name = "valid/gif_anim_" + disposal;
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, zt::CorpusPath(name + ".gif"), 0, count), 1);
        ASSERT_EQ(zt::Values(count, bitmap.m_nWidth, bitmap.m_nHeight), zt::Values(4, 96, 20));
        const long delays[] = {7, 13, 21, 3};
        for (int frame = 0; frame < 4; ++frame) {
            const zt::Rgba ref = zt::Reference(name + "." + std::to_string(frame) + ".gif");
            ASSERT_EQ(ref.width, 24);
            EXPECT_EQ(zt::Differ565(ref, bitmap.m_pPixels + 24 * frame, 96, nullptr, true), 0)
                << name << " " << frame;
            EXPECT_EQ(bitmap.GetFrameDelay(frame + 1), delays[frame]);
        }
    }
    // Other formats load as one frame, without delays.
    for (const std::string& name :
         zt::Words("png_rgba.png jpeg_baseline.jpg bmp_8.bmp webp_alpha.webp gif_static.gif")) {
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, zt::CorpusPath("valid/" + name), 3, count), 1) << name;
        ASSERT_EQ(zt::Values(count, bitmap.m_nWidth, bitmap.m_nHeight, bitmap.m_bARGB),
                  zt::Values(1, 37, 29, 0));
        EXPECT_EQ(bitmap.GetFrameDelay(1), 0) << name;
        EXPECT_EQ(
            zt::Differ565(zt::Reference("valid/" + name), bitmap.m_pPixels, 37, nullptr, true), 0)
            << name;
    }
}

// (Other bad files, a truncated animation among them, and a null name:
// imageio_load_test.)
TEST_F(Gif, FailuresGiveZeroAndFreeTheDelays) {
    CCEBitmap bitmap;
    unsigned count = 0;
    ASSERT_EQ(Load(bitmap, zt::CorpusPath("valid/gif_four.gif"), 0, count), 1);
    EXPECT_EQ(bitmap.LoadBitmapW(nullptr, L"", 0, 0, 0, 0), 0); // any failed load frees
    EXPECT_EQ(bitmap.GetFrameDelay(1), 0);                      // the delays with the picture
    // A file the decoder cannot read: the count is not written, 0 x 0.
    count = 77;
    EXPECT_EQ(Load(bitmap, zt::CorpusPath("bad/text.png"), 0, count), 0);
    EXPECT_EQ(zt::Values(count, bitmap.m_nWidth, bitmap.m_nHeight), zt::Values(77, 0, 0));
}
