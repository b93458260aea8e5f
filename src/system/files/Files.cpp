// Files over POSIX descriptors, and movable memory blocks.
#include "backends/text/Utf8.h"
#include "system/files/FilesApi.h"
#include "system/memory/Memory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zorva::platform {
namespace {

thread_local DWORD t_lastError = 0;

// A file handle.
struct Handle : Allocated {
    explicit Handle(int descriptor) : fd(descriptor) {}
    int fd;
};

DWORD FromErrno(int e) {
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    default:
        return ERROR_WRITE_FAULT;
    }
}

bool Fail(DWORD error) {
    t_lastError = error;
    return false;
}

Handle* AsFile(HANDLE h) {
    auto* handle = static_cast<Handle*>(h);
    if (!h || h == ZORVA_INVALID_HANDLE_VALUE) return nullptr;
    return handle;
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD error) {
    t_lastError = error;
}

HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD, void*, DWORD disposition, DWORD,
                   HANDLE) {
    std::string narrow;
    if (!path || !backends::AppendUtf8(path, SIZE_MAX, narrow) || narrow.empty()) {
        Fail(ERROR_INVALID_PARAMETER);
        return ZORVA_INVALID_HANDLE_VALUE;
    }
    const bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (disposition == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    else if (disposition != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return ZORVA_INVALID_HANDLE_VALUE;
    }
    const int fd = ::open(narrow.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        Fail(FromErrno(errno));
        return ZORVA_INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(ERROR_ACCESS_DENIED);
        return ZORVA_INVALID_HANDLE_VALUE;
    }
    auto* h = new (std::nothrow) Handle(fd);
    if (!h) {
        ::close(fd);
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return ZORVA_INVALID_HANDLE_VALUE;
    }
    return h;
}

BOOL WriteFile(HANDLE file, const void* data, DWORD bytes, DWORD* written, void*) {
    if (written) *written = 0;
    Handle* h = AsFile(file);
    if (!h || (!data && bytes)) return Fail(ERROR_INVALID_HANDLE);
    DWORD done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(h->fd, static_cast<const char*>(data) + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = done;
            return Fail(n < 0 ? FromErrno(errno) : ERROR_WRITE_FAULT);
        }
        done += DWORD(n);
    }
    if (written) *written = done;
    return 1;
}

BOOL ReadFile(HANDLE file, void* data, DWORD bytes, DWORD* read, void*) {
    if (read) *read = 0;
    Handle* h = AsFile(file);
    if (!h || (!data && bytes)) return Fail(ERROR_INVALID_HANDLE);
    DWORD done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(h->fd, static_cast<char*>(data) + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read) *read = done;
            return Fail(FromErrno(errno));
        }
        if (n == 0) break; // end of file: a short read succeeds
        done += DWORD(n);
    }
    if (read) *read = done;
    return 1;
}

BOOL FlushFileBuffers(HANDLE file) {
    Handle* h = AsFile(file);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    return ::fsync(h->fd) == 0 || errno == EINVAL ? 1 : Fail(FromErrno(errno));
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
    Handle* h = AsFile(file);
    struct stat st;
    if (!h || ::fstat(h->fd, &st) != 0) {
        Fail(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    if (high) *high = DWORD(uint64_t(st.st_size) >> 32);
    return DWORD(uint64_t(st.st_size));
}

DWORD SetFilePointer(HANDLE file, int32_t distance, int32_t* high, DWORD method) {
    Handle* h = AsFile(file);
    const int whence = method == FILE_BEGIN     ? SEEK_SET
                       : method == FILE_CURRENT ? SEEK_CUR
                       : method == FILE_END     ? SEEK_END
                                                : -1;
    if (!h || whence < 0) {
        Fail(h ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    // With `high`, the two halves make one signed 64-bit distance.
    const int64_t move =
        high ? int64_t(uint64_t(uint32_t(*high)) << 32 | uint32_t(distance)) : int64_t(distance);
    const off_t at = ::lseek(h->fd, off_t(move), whence);
    if (at < 0) {
        Fail(errno == EINVAL ? ERROR_INVALID_PARAMETER : FromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (high) *high = int32_t(uint64_t(at) >> 32);
    return DWORD(uint64_t(at));
}

BOOL CloseHandle(HANDLE handle) {
    if (!handle || handle == ZORVA_INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE);
    auto* h = static_cast<Handle*>(handle);
    const int result = ::close(h->fd);
    delete h;
    return result == 0 ? 1 : Fail(FromErrno(errno));
}

// Blocks carry their size in a header in front of the address handed out.
constexpr size_t kBlockHeader = 16;

HANDLE LocalAlloc(unsigned, size_t bytes) {
    if (bytes > SIZE_MAX - kBlockHeader) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(platform::malloc(kBlockHeader + bytes));
    if (!block) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::memcpy(block, &bytes, sizeof bytes);
    return block + kBlockHeader;
}

HANDLE LocalReAlloc(HANDLE handle, size_t bytes, unsigned flags) {
    if (!handle) return LocalAlloc(flags, bytes);
    if (bytes > SIZE_MAX - kBlockHeader) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(
        platform::realloc(static_cast<uint8_t*>(handle) - kBlockHeader, kBlockHeader + bytes));
    if (!block) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::memcpy(block, &bytes, sizeof bytes);
    return block + kBlockHeader;
}

size_t LocalSize(HANDLE handle) {
    if (!handle) return 0;
    size_t bytes;
    std::memcpy(&bytes, static_cast<uint8_t*>(handle) - kBlockHeader, sizeof bytes);
    return bytes;
}

HANDLE LocalFree(HANDLE handle) {
    if (handle) platform::free(static_cast<uint8_t*>(handle) - kBlockHeader);
    return nullptr;
}

} // namespace zorva::platform
