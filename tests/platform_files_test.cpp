// Files, mappings and memory blocks of the platform layer, and the
// orientation query built on the display settings.
#include "imageio/DisplayOrientation.h"
#include "platform/Platform.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace pf = zorva::platform;

namespace {

// A scratch path under the test's working directory, wide and narrow.
struct ScratchFile {
    explicit ScratchFile(const std::wstring& name) : wide(name) {
        for (wchar_t c : name) {
            // Only the test's own ASCII and one known non-ASCII letter.
            if (c == L'\u00e9')
                narrow += "\xc3\xa9";
            else
                narrow += char(c);
        }
        std::remove(narrow.c_str());
    }
    ~ScratchFile() { std::remove(narrow.c_str()); }
    std::wstring wide;
    std::string narrow;
};

} // namespace

TEST(PlatformFiles, WriteReadAndReplace) {
    ScratchFile f(L"zorva-files-caf\u00e9.bin");
    HANDLE h = pf::CreateFileW(f.wide.c_str(), pf::GENERIC_WRITE, 0, nullptr, pf::CREATE_ALWAYS,
                               pf::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, ZORVA_INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(pf::WriteFile(h, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(written, 10u);
    EXPECT_TRUE(pf::FlushFileBuffers(h));
    EXPECT_TRUE(pf::CloseHandle(h));

    // CREATE_ALWAYS truncates what was there.
    h = pf::CreateFileW(f.wide.c_str(), pf::GENERIC_WRITE, 0, nullptr, pf::CREATE_ALWAYS, 0,
                        nullptr);
    EXPECT_TRUE(pf::WriteFile(h, "abc", 3, &written, nullptr));
    pf::CloseHandle(h);

    h = pf::CreateFileW(f.wide.c_str(), pf::GENERIC_READ, pf::FILE_SHARE_READ, nullptr,
                        pf::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(pf::GetFileSize(h, nullptr), 3u);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(pf::ReadFile(h, buffer, 8, &read, nullptr));
    EXPECT_EQ(read, 3u);
    EXPECT_STREQ(buffer, "abc");

    HANDLE mapping = pf::CreateFileMappingW(h, nullptr, pf::PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const void* view = pf::MapViewOfFile(mapping, pf::FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::memcmp(view, "abc", 3), 0);
    EXPECT_TRUE(pf::UnmapViewOfFile(view));
    EXPECT_FALSE(pf::UnmapViewOfFile(view));
    EXPECT_TRUE(pf::CloseHandle(mapping));
    EXPECT_TRUE(pf::CloseHandle(h));
}

TEST(PlatformFiles, FailuresSetTheLastError) {
    HANDLE h = pf::CreateFileW(L"no/such/dir/file.png", pf::GENERIC_READ, 0, nullptr,
                               pf::OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(pf::CreateFileW(nullptr, pf::GENERIC_READ, 0, nullptr, pf::OPEN_EXISTING, 0, nullptr),
              ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(pf::CreateFileW(L".", pf::GENERIC_READ, 0, nullptr, pf::OPEN_EXISTING, 0, nullptr),
              ZORVA_INVALID_HANDLE_VALUE); // a directory is not a file
    EXPECT_FALSE(pf::WriteFile(ZORVA_INVALID_HANDLE_VALUE, "x", 1, nullptr, nullptr));
    EXPECT_FALSE(pf::CloseHandle(nullptr));
    EXPECT_EQ(pf::GetFileSize(nullptr, nullptr), 0xFFFFFFFFu);

    zorva::FailAllocation(1);
    EXPECT_EQ(pf::LocalAlloc(pf::LMEM_MOVEABLE, 64), nullptr);
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_NOT_ENOUGH_MEMORY);
    HANDLE block = pf::LocalAlloc(pf::LMEM_MOVEABLE, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(pf::LocalFree(block), nullptr);
}

TEST(PlatformFiles, EmptyFileMapsToAnEmptyView) {
    ScratchFile f(L"zorva-files-empty.bin");
    HANDLE h = pf::CreateFileW(f.wide.c_str(), pf::GENERIC_WRITE | pf::GENERIC_READ, 0, nullptr,
                               pf::CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(pf::GetFileSize(h, nullptr), 0u);
    HANDLE mapping = pf::CreateFileMappingW(h, nullptr, pf::PAGE_READONLY, 0, 0, nullptr);
    const void* view = pf::MapViewOfFile(mapping, pf::FILE_MAP_READ, 0, 0, 0);
    EXPECT_NE(view, nullptr);
    EXPECT_TRUE(pf::UnmapViewOfFile(view));
    pf::CloseHandle(mapping);
    pf::CloseHandle(h);
}

TEST(DisplayOrientation, ReportsTheDisplaysTurn) {
    for (int turn : {0, 1, 2, 4}) {
        zorva::VirtualDisplayConfig config;
        config.orientation = turn;
        zorva::SetVirtualDisplay(config);
        EXPECT_EQ(zorva::GetDisplayOrientation(), turn);
    }
    zt::ResetPlatform();
}
