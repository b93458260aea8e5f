// Streams over memory blocks and files, the blocks themselves, and the
// application's door to both.
#include "ZorvaPlatform.h"
#include "platform/Platform.h"
#include "platform/streams/Streams.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pf = zorva::platform;

namespace {

class Streams : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

std::string ReadAll(IStream* s) {
    std::string out;
    char buffer[7];
    ULONG n = 0;
    do {
        EXPECT_EQ(s->Read(buffer, sizeof buffer, &n), pf::S_OK);
        out.append(buffer, n);
    } while (n == sizeof buffer);
    return out;
}

} // namespace

TEST_F(Streams, BlocksRememberTheirSize) {
    HANDLE block = pf::LocalAlloc(pf::LMEM_MOVEABLE, 10);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(pf::LocalSize(block), 10u);
    std::memcpy(block, "0123456789", 10);
    HANDLE grown = pf::LocalReAlloc(block, 1000, pf::LMEM_MOVEABLE);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(pf::LocalSize(grown), 1000u);
    EXPECT_EQ(std::memcmp(grown, "0123456789", 10), 0);
    zorva::FailAllocation(1);
    EXPECT_EQ(pf::LocalReAlloc(grown, 2000, pf::LMEM_MOVEABLE), nullptr);
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(pf::LocalSize(grown), 1000u); // the old block stays
    EXPECT_EQ(pf::LocalFree(grown), nullptr);
    EXPECT_EQ(pf::LocalFree(nullptr), nullptr);
    EXPECT_EQ(pf::LocalSize(nullptr), 0u);
}

TEST_F(Streams, MemoryStreamsReadSeekAndWrite) {
    HANDLE block = pf::LocalAlloc(pf::LMEM_MOVEABLE, 20);
    std::memcpy(block, "abcdefghijklmnopqrst", 20);
    IStream* s = nullptr;
    ASSERT_EQ(pf::CreateStreamOnHGlobal(block, 0, &s), pf::S_OK);
    EXPECT_EQ(ReadAll(s), "abcdefghijklmnopqrst"); // short reads at the end succeed
    uint64_t at = 0;
    EXPECT_EQ(s->Seek(-5, pf::STREAM_SEEK_END, &at), pf::S_OK);
    EXPECT_EQ(at, 15u);
    EXPECT_EQ(s->Seek(2, pf::STREAM_SEEK_CUR, &at), pf::S_OK);
    EXPECT_EQ(at, 17u);
    EXPECT_EQ(ReadAll(s), "rst");
    EXPECT_EQ(s->Seek(-1, pf::STREAM_SEEK_SET, &at), pf::STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(0, 7, &at), pf::STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(INT64_MAX, pf::STREAM_SEEK_END, &at), pf::STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(100, pf::STREAM_SEEK_SET, &at), pf::S_OK); // past the end: reads nothing
    EXPECT_EQ(ReadAll(s), "");
    // The caller's block does not grow.
    ULONG written = 1;
    EXPECT_EQ(s->Write("xyz", 3, &written), pf::STG_E_MEDIUMFULL);
    EXPECT_EQ(written, 0u);
    s->Seek(1, pf::STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(s->Write("XY", 2, &written), pf::S_OK);
    HANDLE under = nullptr;
    ASSERT_EQ(pf::GetHGlobalFromStream(s, &under), pf::S_OK);
    EXPECT_EQ(under, block);
    EXPECT_EQ(std::memcmp(block, "aXYd", 4), 0);
    EXPECT_EQ(s->Release(), 0u);
    pf::LocalFree(block); // still the caller's

    // A stream of its own grows, zero-filling a gap.
    ASSERT_EQ(pf::CreateStreamOnHGlobal(nullptr, 1, &s), pf::S_OK);
    EXPECT_EQ(s->Write("hello", 5, &written), pf::S_OK);
    s->Seek(8, pf::STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(s->Write("!", 1, &written), pf::S_OK);
    ASSERT_EQ(pf::GetHGlobalFromStream(s, &under), pf::S_OK);
    EXPECT_EQ(pf::LocalSize(under), 9u);
    EXPECT_EQ(std::memcmp(under, "hello\0\0\0!", 9), 0);
    zorva::FailAllocation(1);
    EXPECT_EQ(s->Write("more", 4, &written), pf::E_OUTOFMEMORY);
    s->Release(); // frees its block

    EXPECT_EQ(pf::CreateStreamOnHGlobal(nullptr, 1, nullptr), pf::E_FAIL);
    EXPECT_EQ(pf::GetHGlobalFromStream(nullptr, &under), pf::E_FAIL);
    EXPECT_EQ(under, nullptr);
}

TEST_F(Streams, FileStreamsReadOnly) {
    const std::string path = zt::ScratchPath("stream.txt");
    ASSERT_TRUE(zt::WriteBytes(path, {'z', 'o', 'r', 'v', 'a'}));
    IStream* s = zorva::OpenFileStream(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ReadAll(s), "zorva");
    uint64_t at = 0;
    EXPECT_EQ(s->Seek(-2, pf::STREAM_SEEK_END, &at), pf::S_OK);
    EXPECT_EQ(ReadAll(s), "va");
    ULONG written = 0;
    EXPECT_EQ(s->Write("x", 1, &written), pf::STG_E_ACCESSDENIED);
    // Not the memory kind: no block under it.
    HANDLE block = nullptr;
    EXPECT_EQ(pf::GetHGlobalFromStream(s, &block), pf::E_FAIL);
    s->Release();
    EXPECT_EQ(zorva::OpenFileStream("/no/such/file"), nullptr);
    EXPECT_EQ(zorva::OpenFileStream(::testing::TempDir().c_str()), nullptr); // a folder
    EXPECT_EQ(zorva::OpenFileStream(nullptr), nullptr);
}

TEST_F(Streams, MemoryStreamsCopyTheCallersBytes) {
    char bytes[] = "picture";
    IStream* s = zorva::OpenMemoryStream(bytes, 7);
    ASSERT_NE(s, nullptr);
    bytes[0] = 'P';
    EXPECT_EQ(ReadAll(s), "picture");
    s->Release();
    s = zorva::OpenMemoryStream(nullptr, 0); // empty
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ReadAll(s), "");
    s->Release();
    EXPECT_EQ(zorva::OpenMemoryStream(nullptr, 3), nullptr);
    zorva::FailAllocation(1);
    EXPECT_EQ(zorva::OpenMemoryStream(bytes, 7), nullptr);
}
