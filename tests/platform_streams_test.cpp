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

TEST_F(Streams, MemoryFileAndCopiedStreams) {
    // Over the caller's block: short reads at the end, no seek before the
    // start, writes inside it but never a growth.
    HANDLE block = LocalAlloc(LMEM_MOVEABLE, 20), under = nullptr;
    std::memcpy(block, "0123456789abcdefghij", 20);
    IStream* s = nullptr;
    uint64_t at = 0;
    ULONG written = 1;
    ASSERT_EQ(CreateStreamOnHGlobal(block, 0, &s), S_OK);
    EXPECT_EQ(ReadAll(s), "0123456789abcdefghij");
    EXPECT_TRUE(s->Seek(-3, STREAM_SEEK_END, &at) == S_OK && at == 17 && ReadAll(s) == "hij");
    EXPECT_EQ(s->Seek(-1, STREAM_SEEK_SET, &at), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(INT64_MAX, STREAM_SEEK_END, &at), STG_E_INVALIDFUNCTION);
    EXPECT_TRUE(s->Write("xyz", 3, &written) == STG_E_MEDIUMFULL && written == 0);
    s->Seek(1, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(s->Write("XY", 2, &written), S_OK);
    EXPECT_TRUE(GetHGlobalFromStream(s, &under) == S_OK && under == block);
    EXPECT_TRUE(s->Release() == 0 && std::memcmp(block, "0XY3", 4) == 0);
    EXPECT_EQ(LocalFree(block), nullptr); // still the caller's
    // A stream's own block grows, zero-filling a gap; a failed growth is a
    // result.
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, 1, &s), S_OK);
    EXPECT_EQ(s->Write("hello", 5, &written), S_OK);
    s->Seek(8, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(s->Write("!", 1, &written), S_OK);
    ASSERT_EQ(GetHGlobalFromStream(s, &under), S_OK);
    EXPECT_TRUE(LocalSize(under) == 9 && std::memcmp(under, "hello\0\0\0!", 9) == 0);
    zorva::FailAllocation(1);
    EXPECT_EQ(s->Write("more", 4, &written), E_OUTOFMEMORY);
    s->Release();
    // A file stream is read-only; a memory stream holds a copy of the bytes.
    const std::string path = zt::ScratchPath("stream.txt");
    ASSERT_TRUE(zt::WriteBytes(path, {'z', 'o', 'r', 'v', 'a'}));
    s = zorva::OpenFileStream(path.c_str());
    EXPECT_TRUE(s->Seek(-2, STREAM_SEEK_END, nullptr) == S_OK && ReadAll(s) == "va");
    EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(GetHGlobalFromStream(s, &under), E_FAIL); // not the memory kind
    s->Release();
    EXPECT_EQ(zorva::OpenFileStream(::testing::TempDir().c_str()), nullptr); // a folder
    char bytes[] = "picture";
    s = zorva::OpenMemoryStream(bytes, 7);
    bytes[0] = 'P';
    EXPECT_EQ(ReadAll(s), "picture");
    s->Release();
    EXPECT_EQ(zorva::OpenMemoryStream(nullptr, 3), nullptr);
    zorva::FailAllocation(1);
    EXPECT_EQ(zorva::OpenMemoryStream(bytes, 7), nullptr);
}
