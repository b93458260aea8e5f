// Animated GIF loading: strips and single frames, frame counts and delays,
// disposal as a viewer shows it, other formats, and bad input.
#include "CCEBitmap.h"
#include "core/SharedBlock.h"
#include "imageio/ImageIo.h"
#include "platform/Platform.h"
#include "platform/streams/Streams.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

namespace pf = zorva::platform;

namespace {

class Gif : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }

    int Load(CCEBitmap& bitmap, const std::string& name, unsigned frame, unsigned& count) {
        unsigned reserved = 0;
        return bitmap.LoadGIF(nullptr, zt::Wide(zt::CorpusPath(name)).c_str(), frame, count,
                              reserved);
    }
};

constexpr uint16_t kRed = 0xF800, kLime = 0x07E0, kBlue = 0x001F, kYellow = 0xFFE0;

// Every pixel of columns x0 .. x0 + w - 1 is `colour`.
bool Columns(const CCEBitmap& b, int x0, int w, uint16_t colour) {
    for (int y = 0; y < b.m_nHeight; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (b.m_pPixels[y * b.m_nWidth + x] != colour) return false;
    return true;
}

} // namespace

TEST_F(Gif, AllFramesMakeAStrip) {
    CCEBitmap bitmap;
    unsigned count = 0;
    ASSERT_EQ(Load(bitmap, "valid/gif_four.gif", 0, count), 1);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(bitmap.m_nWidth, 128);
    EXPECT_EQ(bitmap.m_nHeight, 32);
    EXPECT_EQ(bitmap.m_bARGB, 0);
    EXPECT_TRUE(Columns(bitmap, 0, 32, kRed));
    EXPECT_TRUE(Columns(bitmap, 32, 32, kLime));
    EXPECT_TRUE(Columns(bitmap, 64, 32, kBlue)); // the third frame: columns 64 to 95
    EXPECT_TRUE(Columns(bitmap, 96, 32, kYellow));
    ASSERT_NE(bitmap.m_pFrames, nullptr);
    EXPECT_EQ(bitmap.m_pFrames->id, 0x5100u);
    EXPECT_EQ(bitmap.GetFrameDelay(1), 10);
    EXPECT_EQ(bitmap.GetFrameDelay(2), 20);
    EXPECT_EQ(bitmap.GetFrameDelay(3), 30);
    EXPECT_EQ(bitmap.GetFrameDelay(4), 40);
    // Outside 1 .. the frame count: 0.
    EXPECT_EQ(bitmap.GetFrameDelay(0), 0);
    EXPECT_EQ(bitmap.GetFrameDelay(5), 0);
    EXPECT_EQ(bitmap.GetFrameDelay(0xFFFFFFFF), 0);
    // A copy shares the record; it survives the original.
    CCEBitmap* copy = new CCEBitmap(bitmap);
    bitmap.Unload(1);
    EXPECT_EQ(bitmap.GetFrameDelay(1), 0); // no record
    EXPECT_EQ(copy->GetFrameDelay(3), 30);
    delete copy;
}

TEST_F(Gif, OneFrameIsPickedFromZero) {
    const struct {
        unsigned frame;
        uint16_t colour;
    } cases[] = {{1, kLime}, {2, kBlue}, {3, kYellow}, {4, kRed}, {9, kRed}};
    for (const auto& c : cases) {
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, "valid/gif_four.gif", c.frame, count), 1);
        EXPECT_EQ(count, 4u);
        EXPECT_EQ(bitmap.m_nWidth, 32);
        EXPECT_EQ(bitmap.m_nHeight, 32);
        EXPECT_TRUE(Columns(bitmap, 0, 32, c.colour)) << c.frame;
        EXPECT_EQ(bitmap.GetFrameDelay(4), 40); // the record holds every frame
    }
}

TEST_F(Gif, DisposalShowsAsAViewerShowsIt) {
    // Transparent parts of a frame show black in the strip: the same
    // picture a viewer shows on a black page.
    for (const char* disposal : {"none", "background", "previous"}) {
        SCOPED_TRACE(disposal);
        const std::string name = std::string("valid/gif_anim_") + disposal;
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, name + ".gif", 0, count), 1);
        ASSERT_EQ(count, 4u);
        ASSERT_EQ(bitmap.m_nWidth, 24 * 4);
        ASSERT_EQ(bitmap.m_nHeight, 20);
        EXPECT_EQ(bitmap.GetFrameDelay(1), 7);
        EXPECT_EQ(bitmap.GetFrameDelay(2), 13);
        EXPECT_EQ(bitmap.GetFrameDelay(3), 21);
        EXPECT_EQ(bitmap.GetFrameDelay(4), 3);
        for (int frame = 0; frame < 4; ++frame) {
            const zt::Rgba ref =
                zt::ReadPnm(zt::CorpusPath(name + "." + std::to_string(frame) + ".pam"));
            ASSERT_EQ(ref.width, 24);
            int differ = 0;
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 24; ++x) {
                    const uint8_t* p = ref.At(x, y);
                    const uint8_t shown[3] = {zt::OverBlack(p[0], p[3]), zt::OverBlack(p[1], p[3]),
                                              zt::OverBlack(p[2], p[3])};
                    differ += bitmap.m_pPixels[y * 96 + frame * 24 + x] != zt::To565(shown);
                }
            EXPECT_EQ(differ, 0) << "frame " << frame;
        }
    }
}

TEST_F(Gif, OtherFormatsLoadAsOneFrame) {
    for (const char* name : {"valid/png_rgba.png", "valid/jpeg_baseline.jpg", "valid/bmp_8.bmp",
                             "valid/webp_alpha.webp", "valid/gif_static.gif"}) {
        SCOPED_TRACE(name);
        CCEBitmap bitmap;
        unsigned count = 0;
        ASSERT_EQ(Load(bitmap, name, 3, count), 1);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(bitmap.m_nWidth, 37);
        EXPECT_EQ(bitmap.m_nHeight, 29);
        EXPECT_EQ(bitmap.m_bARGB, 0);
        EXPECT_EQ(bitmap.m_pFrames != nullptr, name[6] == 'g'); // only a GIF has delays
        const std::string file = zt::CorpusPath(name);
        const zt::Rgba ref = zt::ReadPnm(file.substr(0, file.rfind('.')) + ".pam");
        int differ = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) {
                const uint8_t* p = ref.At(x, y);
                const uint8_t shown[3] = {zt::OverBlack(p[0], p[3]), zt::OverBlack(p[1], p[3]),
                                          zt::OverBlack(p[2], p[3])};
                differ += bitmap.m_pPixels[y * ref.width + x] != zt::To565(shown);
            }
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(Gif, NullAndUnreadableFiles) {
    CCEBitmap bitmap;
    unsigned count = 0, reserved = 0;
    ASSERT_EQ(Load(bitmap, "valid/gif_four.gif", 0, count), 1);
    ASSERT_NE(bitmap.m_pFrames, nullptr);
    // A null name frees the delays and leaves the size.
    EXPECT_EQ(bitmap.LoadGIF(nullptr, nullptr, 0, count, reserved), 0);
    EXPECT_EQ(bitmap.m_pFrames, nullptr);
    EXPECT_EQ(bitmap.m_nWidth, 128);
    // A file the decoder cannot read: the count is not written, 0 x 0.
    count = 77;
    EXPECT_EQ(Load(bitmap, "bad/text.png", 0, count), 0);
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(bitmap.m_nWidth, 0);
    EXPECT_EQ(bitmap.m_nHeight, 0);
    EXPECT_EQ(bitmap.GetFrameDelay(1), 0);
    // Every bad file: 0. Files whose header reads but whose picture does not
    // decode count as unreadable too: not one frame could be shown.
    for (const std::string& name : zt::ListFiles(zt::CorpusPath("bad"), "")) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Load(bitmap, "bad/" + name, 0, count), 0);
        EXPECT_EQ(bitmap.m_bARGB, 0);
    }
    EXPECT_EQ(bitmap.LoadGIF(nullptr, L"/no/such/file.gif", 0, count, reserved), 0);
}

TEST_F(Gif, FilesBecomeStreamsOverACopy) {
    IStream* stream = nullptr;
    EXPECT_EQ(zorva::CreateStreamOnFile(L"/no/such/file.gif", &stream),
              HRESULT(0x80000000u | pf::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(stream, nullptr);
    ASSERT_EQ(zorva::CreateStreamOnFile(zt::Wide(zt::CorpusPath("bad/empty.gif")).c_str(), &stream),
              pf::S_OK);
    uint64_t end = 1;
    EXPECT_EQ(stream->Seek(0, pf::STREAM_SEEK_END, &end), pf::S_OK);
    EXPECT_EQ(end, 0u);
    pf::HGLOBAL block = nullptr;
    ASSERT_EQ(pf::GetHGlobalFromStream(stream, &block), pf::S_OK);
    stream->Release(); // the stream does not own the block
    pf::LocalFree(block);

    const std::vector<uint8_t> bytes = zt::ReadBytes(zt::CorpusPath("valid/gif_four.gif"));
    ASSERT_EQ(
        zorva::CreateStreamOnFile(zt::Wide(zt::CorpusPath("valid/gif_four.gif")).c_str(), &stream),
        pf::S_OK);
    std::vector<uint8_t> read(bytes.size() + 10);
    ULONG n = 0;
    EXPECT_EQ(stream->Read(read.data(), ULONG(read.size()), &n), pf::S_OK);
    EXPECT_EQ(n, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), read.begin()));
    ASSERT_EQ(pf::GetHGlobalFromStream(stream, &block), pf::S_OK);
    stream->Release();
    pf::LocalFree(block);

    // No memory for the copy: 0x80000000 plus the platform's error.
    zorva::FailAllocation(1);
    EXPECT_EQ(
        zorva::CreateStreamOnFile(zt::Wide(zt::CorpusPath("valid/gif_four.gif")).c_str(), &stream),
        HRESULT(0x80000000u | pf::ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(stream, nullptr);
}

TEST_F(Gif, FailedAllocationsNeverLeak) {
    bool succeeded = false;
    for (long n = 1; n < 200 && !succeeded; ++n) {
        CCEBitmap bitmap;
        unsigned count = 0;
        zorva::FailAllocation(n);
        succeeded = Load(bitmap, "valid/gif_anim_previous.gif", 0, count) == 1;
        zorva::FailAllocation(0);
        if (bitmap.m_pPixels) {
            EXPECT_GE(bitmap.m_cbPixels, uint32_t(bitmap.m_nWidth * bitmap.m_nHeight * 2));
        }
    }
    EXPECT_TRUE(succeeded);
}

TEST_F(Gif, GdkPixbufSuiteLoadsOrFailsCleanly) {
    const std::string root = zt::GdkPixbufImages();
    if (root.empty()) GTEST_SKIP() << "gdk-pixbuf-tests not unpacked";
    int loaded = 0;
    for (const std::string& name : zt::ListFiles(root + "/gif-test-suite", ".gif")) {
        SCOPED_TRACE(name);
        CCEBitmap bitmap;
        unsigned count = 0, reserved = 0;
        const std::wstring path = zt::Wide(root + "/gif-test-suite/" + name);
        if (bitmap.LoadGIF(nullptr, path.c_str(), 0, count, reserved) == 1) {
            ++loaded;
            EXPECT_GE(count, 1u);
            EXPECT_EQ(int64_t(bitmap.m_nWidth) * bitmap.m_nHeight * 2 <= bitmap.m_cbPixels, true);
        }
    }
    EXPECT_GT(loaded, 40);
}
