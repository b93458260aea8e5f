// Animated GIF loading: strips and single frames, frame counts and delays,
// disposal as a viewer shows it, other formats, unreadable files, and files
// as streams. Bad files and failed allocations: imageio_load_test.
#include "CCEBitmap.h"
#include "imageio/ImageIo.h"
#include "platform/Platform.h"
#include "platform/streams/Streams.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <memory>

namespace pf = zorva::platform;

namespace {

using Gif = zt::PlatformTest;

int Load(CCEBitmap& bitmap, const std::string& name, unsigned frame, unsigned& count) {
    unsigned reserved = 0;
    return bitmap.LoadGIF(nullptr, zt::Wide(zt::CorpusPath(name)).c_str(), frame, count, reserved);
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
        ASSERT_EQ(Load(bitmap, "valid/gif_four.gif", frame, count), 1);
        ASSERT_TRUE(count == 4 && bitmap.m_nWidth == 32 * int(colours.size()) &&
                    bitmap.m_nHeight == 32 && !bitmap.m_bARGB);
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
    ASSERT_EQ(Load(bitmap, "valid/gif_four.gif", 0, count), 1);
    EXPECT_EQ(bitmap.m_pFrames->id, 0x5100u);
    auto copy = std::make_unique<CCEBitmap>(bitmap);
    bitmap.Unload(1);
    EXPECT_TRUE(bitmap.GetFrameDelay(1) == 0 && copy->GetFrameDelay(3) == 30);
}

TEST_F(Gif, FramesShowAsAViewerShowsThemOnABlackPage) {
    for (const std::string disposal : {"none", "background", "previous"}) {
        const std::string name = "valid/gif_anim_" + disposal;
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, name + ".gif", 0, count), 1);
        ASSERT_TRUE(count == 4 && bitmap.m_nWidth == 24 * 4 && bitmap.m_nHeight == 20);
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
        ASSERT_EQ(Load(bitmap, "valid/" + name, 3, count), 1) << name;
        ASSERT_TRUE(count == 1 && bitmap.m_nWidth == 37 && bitmap.m_nHeight == 29 &&
                    !bitmap.m_bARGB);
        EXPECT_EQ(bitmap.m_pFrames != nullptr, name[0] == 'g') << name;
        EXPECT_EQ(
            zt::Differ565(zt::Reference("valid/" + name), bitmap.m_pPixels, 37, nullptr, true), 0)
            << name;
    }
}

TEST_F(Gif, NullAndUnreadableFilesGiveZero) {
    CCEBitmap bitmap;
    unsigned count = 0, reserved = 0;
    ASSERT_EQ(Load(bitmap, "valid/gif_four.gif", 0, count), 1);
    // A null name frees the delays and leaves the size.
    EXPECT_EQ(bitmap.LoadGIF(nullptr, nullptr, 0, count, reserved), 0);
    EXPECT_TRUE(bitmap.m_pFrames == nullptr && bitmap.m_nWidth == 128);
    // A file the decoder cannot read: the count is not written, 0 x 0.
    count = 77;
    EXPECT_EQ(Load(bitmap, "bad/text.png", 0, count), 0);
    EXPECT_TRUE(count == 77 && bitmap.m_nWidth == 0 && bitmap.m_nHeight == 0);
    EXPECT_EQ(bitmap.LoadGIF(nullptr, L"/no/such/file.gif", 0, count, reserved), 0);
    // A header that reads over a picture that does not: no frame to show.
    EXPECT_EQ(Load(bitmap, "bad/truncated_gif_anim_none.gif", 0, count), 0);
}

TEST_F(Gif, FilesBecomeStreamsReadOnce) {
    IStream* stream = nullptr;
    const std::string name = zt::CorpusPath("valid/gif_four.gif");
    std::vector<uint8_t> bytes = zt::ReadBytes(name), read(bytes.size() + 10);
    ULONG n = 0;
    ASSERT_EQ(pf::CreateStreamOnFile(zt::Wide(name).c_str(), &stream), pf::S_OK);
    EXPECT_EQ(stream->Read(read.data(), ULONG(read.size()), &n), pf::S_OK);
    EXPECT_EQ(n, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), read.begin()));
    stream->Release();
    // Failures: 0x80000000 plus the platform's error, or no memory.
    EXPECT_EQ(pf::CreateStreamOnFile(L"/no/such/file.gif", &stream),
              HRESULT(0x80000000u | pf::ERROR_FILE_NOT_FOUND));
    zorva::FailAllocation(1);
    EXPECT_EQ(pf::CreateStreamOnFile(zt::Wide(name).c_str(), &stream), pf::E_OUTOFMEMORY);
    EXPECT_EQ(stream, nullptr);
}
