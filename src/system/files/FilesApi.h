// Files and movable memory blocks, in the shape the loaders and
// the BMP writer call them. Paths are wide strings, taken as UTF-32 and
// opened as UTF-8.
#ifndef ZORVA_SYSTEM_FILESAPI_H
#define ZORVA_SYSTEM_FILESAPI_H

#include "ZorvaTypes.h"

namespace zorva::platform {

#define ZORVA_INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(intptr_t(-1)))

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr unsigned LMEM_MOVEABLE = 2;

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;

// The calling thread's last error, set by the failing calls below and by
// CreateFontIndirectW.
DWORD GetLastError();
void SetLastError(DWORD error);

// Opens (OPEN_EXISTING) or creates and truncates (CREATE_ALWAYS) a file for
// GENERIC_READ and/or GENERIC_WRITE. ZORVA_INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD share, void* security,
                   DWORD disposition, DWORD attributes, HANDLE templateFile);
BOOL WriteFile(HANDLE file, const void* data, DWORD bytes, DWORD* written, void* overlapped);
BOOL ReadFile(HANDLE file, void* data, DWORD bytes, DWORD* read, void* overlapped);
BOOL FlushFileBuffers(HANDLE file);
// The low 32 bits of the size; the high ones into *high when given.
// 0xFFFFFFFF on failure.
DWORD GetFileSize(HANDLE file, DWORD* high);
// Moves the position the next ReadFile or WriteFile starts at: `distance`
// bytes (with *high as its upper 32 bits when given) from FILE_BEGIN,
// FILE_CURRENT or FILE_END. Returns the new position's low 32 bits (its
// high ones into *high when given), or INVALID_SET_FILE_POINTER with the
// last error set (a position before the start is ERROR_INVALID_PARAMETER).
DWORD SetFilePointer(HANDLE file, int32_t distance, int32_t* high, DWORD method);
// Closes a file.
BOOL CloseHandle(HANDLE handle);

// Memory blocks that streams can be built over; through the platform
// allocator, so they can be made to fail. The handle is the block's address.
// A block remembers its size. LocalReAlloc gives a block of the new size
// with the old contents (it may move; the old handle is then gone), or null
// leaving the old block as it was.
HANDLE LocalAlloc(unsigned flags, size_t bytes);
HANDLE LocalReAlloc(HANDLE block, size_t bytes, unsigned flags);
size_t LocalSize(HANDLE block);
HANDLE LocalFree(HANDLE block);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_FILESAPI_H
