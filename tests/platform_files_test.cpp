// Files, mappings and memory blocks of the platform layer.
#include "platform/Platform.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace pf = zorva::platform;

TEST(PlatformFiles, WriteReplaceReadAndMap) {
    // A wide name with one non-ASCII letter, stored as UTF-8.
    const std::string narrow = zt::ScratchPath("caf\xc3\xa9.bin");
    const std::wstring wide(narrow.begin(), narrow.end() - 6);
    const std::wstring name = wide + L"\u00e9.bin";
    auto open = [&](DWORD access, DWORD how) {
        return pf::CreateFileW(name.c_str(), access, 0, nullptr, how, 0, nullptr);
    };
    for (const char* text : {"0123456789", "abc"}) { // CREATE_ALWAYS truncates
        HANDLE h = open(pf::GENERIC_WRITE, pf::CREATE_ALWAYS);
        ASSERT_NE(h, ZORVA_INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_TRUE(pf::WriteFile(h, text, DWORD(std::strlen(text)), &written, nullptr));
        EXPECT_EQ(written, std::strlen(text));
        EXPECT_TRUE(pf::FlushFileBuffers(h));
        EXPECT_TRUE(pf::CloseHandle(h));
    }
    HANDLE h = open(pf::GENERIC_READ, pf::OPEN_EXISTING);
    ASSERT_NE(h, ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(pf::GetFileSize(h, nullptr), 3u);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(pf::ReadFile(h, buffer, 8, &read, nullptr));
    EXPECT_EQ(read, 3u);
    EXPECT_STREQ(buffer, "abc");
    HANDLE mapping = pf::CreateFileMappingW(h, nullptr, pf::PAGE_READONLY, 0, 0, nullptr);
    const void* view = pf::MapViewOfFile(mapping, pf::FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::memcmp(view, "abc", 3), 0);
    EXPECT_TRUE(pf::UnmapViewOfFile(view));
    EXPECT_FALSE(pf::UnmapViewOfFile(view));
    EXPECT_TRUE(pf::CloseHandle(mapping));
    EXPECT_TRUE(pf::CloseHandle(h));
    std::remove(narrow.c_str());

    // An empty file maps to an empty view that can be unmapped.
    h = open(pf::GENERIC_WRITE | pf::GENERIC_READ, pf::CREATE_ALWAYS);
    mapping = pf::CreateFileMappingW(h, nullptr, pf::PAGE_READONLY, 0, 0, nullptr);
    view = pf::MapViewOfFile(mapping, pf::FILE_MAP_READ, 0, 0, 0);
    EXPECT_NE(view, nullptr);
    EXPECT_TRUE(pf::UnmapViewOfFile(view));
    pf::CloseHandle(mapping);
    pf::CloseHandle(h);
    std::remove(narrow.c_str());
}

TEST(PlatformFiles, FailuresSetTheLastError) {
    auto open = [](const wchar_t* name) {
        return pf::CreateFileW(name, pf::GENERIC_READ, 0, nullptr, pf::OPEN_EXISTING, 0, nullptr);
    };
    EXPECT_EQ(open(L"no/such/dir/file.png"), ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(pf::GetLastError(), pf::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(open(nullptr), ZORVA_INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(L"."), ZORVA_INVALID_HANDLE_VALUE); // a directory is not a file
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
