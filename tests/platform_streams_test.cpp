// Streams over memory blocks and files, and the application's door to both.
#include "ZorvaPlatform.h"
#include "platform/Platform.h"
#include "platform/streams/Streams.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zorva::platform;

namespace {

using Streams = zt::PlatformTest;

// Reads to the end in steps of 7 bytes: the last read is short and succeeds.
std::string ReadAll(IStream* s) {
    std::string out;
    char buffer[7];
    for (ULONG n = sizeof buffer; n == sizeof buffer;) {
        EXPECT_EQ(s->Read(buffer, sizeof buffer, &n), S_OK);
        out.append(buffer, n);
    }
    return out;
}

} // namespace

TEST_F(Streams, MemoryStreamsOverTheCallersBlockOrTheirOwn) {
    // The caller's block: read, seek, written inside it but never grown.
    HANDLE block = LocalAlloc(LMEM_MOVEABLE, 20), under = nullptr;
    std::memcpy(block, "0123456789abcdefghij", 20);
    IStream* s = nullptr;
    uint64_t at = 0;
    ULONG written = 1;
    ASSERT_EQ(CreateStreamOnHGlobal(block, 0, &s), S_OK);
    EXPECT_EQ(ReadAll(s), "0123456789abcdefghij");
    EXPECT_TRUE(s->Seek(-5, STREAM_SEEK_END, &at) == S_OK && at == 15);
    EXPECT_TRUE(s->Seek(2, STREAM_SEEK_CUR, &at) == S_OK && ReadAll(s) == "hij");
    EXPECT_EQ(s->Seek(-1, STREAM_SEEK_SET, &at), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(0, 7, &at), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(INT64_MAX, STREAM_SEEK_END, &at), STG_E_INVALIDFUNCTION);
    EXPECT_TRUE(s->Seek(100, STREAM_SEEK_SET, &at) == S_OK && ReadAll(s).empty()); // past the end
    EXPECT_TRUE(s->Write("xyz", 3, &written) == STG_E_MEDIUMFULL && written == 0);
    s->Seek(1, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(s->Write("XY", 2, &written), S_OK);
    EXPECT_TRUE(GetHGlobalFromStream(s, &under) == S_OK && under == block);
    EXPECT_EQ(std::memcmp(block, "0XY3", 4), 0);
    EXPECT_EQ(s->Release(), 0u);
    EXPECT_TRUE(LocalSize(block) == 20 && LocalFree(block) == nullptr); // still the caller's
    // A stream's own block grows, zero-filling a gap, and goes with it; a
    // failed growth is a result.
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, 1, &s), S_OK);
    EXPECT_EQ(s->Write("hello", 5, &written), S_OK);
    s->Seek(8, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(s->Write("!", 1, &written), S_OK);
    ASSERT_EQ(GetHGlobalFromStream(s, &under), S_OK);
    EXPECT_TRUE(LocalSize(under) == 9 && std::memcmp(under, "hello\0\0\0!", 9) == 0);
    zorva::FailAllocation(1);
    EXPECT_EQ(s->Write("more", 4, &written), E_OUTOFMEMORY);
    EXPECT_EQ(LocalSize(under), 9u);
    s->Release();
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, 1, nullptr), E_FAIL);
    EXPECT_TRUE(GetHGlobalFromStream(nullptr, &under) == E_FAIL && under == nullptr);
}

TEST_F(Streams, FileAndCopiedMemoryStreamsForApplications) {
    const std::string path = zt::ScratchPath("stream.txt");
    ASSERT_TRUE(zt::WriteBytes(path, {'z', 'o', 'r', 'v', 'a'}));
    IStream* s = zorva::OpenFileStream(path.c_str());
    ULONG written = 0;
    HANDLE block = nullptr;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ReadAll(s), "zorva");
    EXPECT_TRUE(s->Seek(-2, STREAM_SEEK_END, nullptr) == S_OK && ReadAll(s) == "va");
    EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(GetHGlobalFromStream(s, &block), E_FAIL); // not the memory kind
    s->Release();
    EXPECT_EQ(zorva::OpenFileStream("/no/such/file"), nullptr);
    EXPECT_EQ(zorva::OpenFileStream(::testing::TempDir().c_str()), nullptr); // a folder
    // A memory stream holds a copy of the caller's bytes.
    char bytes[] = "picture";
    s = zorva::OpenMemoryStream(bytes, 7);
    bytes[0] = 'P';
    EXPECT_EQ(ReadAll(s), "picture");
    s->Release();
    EXPECT_EQ(zorva::OpenMemoryStream(nullptr, 3), nullptr);
    zorva::FailAllocation(1);
    EXPECT_EQ(zorva::OpenMemoryStream(bytes, 7), nullptr);
}
