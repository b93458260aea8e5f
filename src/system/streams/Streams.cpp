// Memory and file streams, and the application's door to them.
#include "system/streams/Streams.h"

#include "ZorvaPlatform.h"
#include "backends/text/Utf8.h"
#include "system/com/Com.h"
#include "system/files/FilesApi.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zorva::platform {

const GUID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

// Identifies memory streams for GetHGlobalFromStream.
const GUID IID_MemoryStream = {
    0x7A3E61C2, 0x5B0D, 0x4E77, {0x9C, 0x41, 0x2D, 0x6F, 0x80, 0x13, 0xA5, 0x58}};

// Where a seek lands, or false for a position before the start or beyond
// what 63 bits hold.
bool SeekTarget(uint64_t position, uint64_t length, int64_t offset, DWORD origin,
                uint64_t& target) {
    int64_t base;
    switch (origin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = int64_t(position);
        break;
    case STREAM_SEEK_END:
        base = int64_t(length);
        break;
    default:
        return false;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return false;
    target = uint64_t(base + offset);
    return true;
}

// Reads and seeks over bytes in memory; the derived stream says where they
// are and how writes go.
class InMemoryStream : public RefCounted<IStream> {
public:
    HRESULT Read(void* data, ULONG bytes, ULONG* read) override {
        if (read) *read = 0;
        if (!data && bytes) return E_FAIL;
        const uint64_t length = Length();
        const uint64_t available = m_position < length ? length - m_position : 0;
        const ULONG n = ULONG(available < bytes ? available : bytes);
        if (n) std::memcpy(data, Bytes() + m_position, n);
        m_position += n;
        if (read) *read = n;
        return S_OK;
    }

    HRESULT Seek(int64_t offset, DWORD origin, uint64_t* newPosition) override {
        uint64_t target;
        if (!SeekTarget(m_position, Length(), offset, origin, target)) return STG_E_INVALIDFUNCTION;
        m_position = target;
        if (newPosition) *newPosition = target;
        return S_OK;
    }

protected:
    virtual uint8_t* Bytes() const = 0;
    virtual uint64_t Length() const = 0;

    uint64_t m_position = 0;
};

// Over a LocalAlloc block, writable (see CreateStreamOnHGlobal).
class MemoryStream final : public InMemoryStream {
public:
    MemoryStream(HGLOBAL block, bool owns) : m_block(block), m_owns(owns) {}

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IStream, this}, {IID_MemoryStream, this}});
    }

    HRESULT Write(const void* data, ULONG bytes, ULONG* written) override {
        if (written) *written = 0;
        if (!data && bytes) return E_FAIL;
        const uint64_t end = m_position + bytes;
        if (end > LocalSize(m_block)) {
            if (!m_owns) return STG_E_MEDIUMFULL;
            if (end > SIZE_MAX / 2) return E_OUTOFMEMORY;
            const size_t old = LocalSize(m_block);
            HGLOBAL grown = LocalReAlloc(m_block, size_t(end), LMEM_MOVEABLE);
            if (!grown) return E_OUTOFMEMORY;
            m_block = grown;
            // A write after a seek past the end leaves zeros in the gap.
            if (m_position > old)
                std::memset(static_cast<uint8_t*>(m_block) + old, 0, size_t(m_position - old));
        }
        if (bytes) std::memcpy(static_cast<uint8_t*>(m_block) + m_position, data, bytes);
        m_position = end;
        if (written) *written = bytes;
        return S_OK;
    }

    HGLOBAL Block() const { return m_block; }

private:
    ~MemoryStream() override {
        if (m_owns) LocalFree(m_block);
    }
    uint8_t* Bytes() const override { return static_cast<uint8_t*>(m_block); }
    uint64_t Length() const override { return LocalSize(m_block); }

    HGLOBAL m_block;
    bool m_owns;
};

// Over a block of the platform allocator that it owns, read-only.
class BytesStream final : public InMemoryStream {
public:
    BytesStream(void* data, size_t bytes) : m_data(static_cast<uint8_t*>(data)), m_bytes(bytes) {}

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IStream, this}});
    }
    HRESULT Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }

private:
    ~BytesStream() override { platform::free(m_data); }
    uint8_t* Bytes() const override { return m_data; }
    uint64_t Length() const override { return m_bytes; }

    uint8_t* m_data;
    uint64_t m_bytes;
};

class FileStream final : public RefCounted<IStream> {
public:
    explicit FileStream(int fd) : m_fd(fd) {}

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IStream, this}});
    }

    HRESULT Read(void* data, ULONG bytes, ULONG* read) override {
        if (read) *read = 0;
        if (!data && bytes) return E_FAIL;
        ULONG done = 0;
        while (done < bytes) {
            const ssize_t n = ::pread(m_fd, static_cast<char*>(data) + done, bytes - done,
                                      off_t(m_position + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return STG_E_READFAULT;
            if (n == 0) break;
            done += ULONG(n);
        }
        m_position += done;
        if (read) *read = done;
        return S_OK;
    }

    HRESULT Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }

    HRESULT Seek(int64_t offset, DWORD origin, uint64_t* newPosition) override {
        struct stat st;
        if (::fstat(m_fd, &st) != 0) return STG_E_READFAULT;
        uint64_t target;
        if (!SeekTarget(m_position, uint64_t(st.st_size), offset, origin, target))
            return STG_E_INVALIDFUNCTION;
        m_position = target;
        if (newPosition) *newPosition = target;
        return S_OK;
    }

private:
    ~FileStream() override { ::close(m_fd); }

    int m_fd;
    uint64_t m_position = 0;
};

} // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
    if (!stream) return E_FAIL;
    *stream = nullptr;
    const bool ownBlock = !block;
    if (ownBlock) {
        block = LocalAlloc(LMEM_MOVEABLE, 0);
        if (!block) return E_OUTOFMEMORY;
    }
    auto* s = new (std::nothrow) MemoryStream(block, deleteOnRelease != 0);
    if (!s) {
        if (ownBlock) LocalFree(block);
        return E_OUTOFMEMORY;
    }
    *stream = s;
    return S_OK;
}

HRESULT CreateStreamOnBytes(void* data, size_t bytes, IStream** stream) {
    if (!stream) {
        platform::free(data);
        return E_FAIL;
    }
    *stream = new (std::nothrow) BytesStream(data, bytes);
    if (*stream) return S_OK;
    platform::free(data);
    return E_OUTOFMEMORY;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block) {
    if (!block) return E_FAIL;
    *block = nullptr;
    if (!stream) return E_FAIL;
    void* memory = nullptr;
    if (stream->QueryInterface(IID_MemoryStream, &memory) != S_OK) return E_FAIL;
    auto* s = static_cast<MemoryStream*>(static_cast<IStream*>(memory));
    *block = s->Block();
    s->Release();
    return S_OK;
}

namespace {

HRESULT OpenStreamOnFile(const char* path, IStream** stream) {
    if (!stream) return E_FAIL;
    *stream = nullptr;
    if (!path || !*path) return HRESULT(0x80000000u | ERROR_INVALID_PARAMETER);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return HRESULT(0x80000000u |
                       (errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return HRESULT(0x80000000u | ERROR_ACCESS_DENIED);
    }
    auto* s = new (std::nothrow) FileStream(fd);
    if (!s) {
        ::close(fd);
        return E_OUTOFMEMORY;
    }
    *stream = s;
    return S_OK;
}

} // namespace

HRESULT CreateStreamOnFile(const wchar_t* path, IStream** stream) {
    std::string narrow;
    if (path && !backends::AppendUtf8(path, SIZE_MAX, narrow)) narrow.clear();
    return OpenStreamOnFile(path ? narrow.c_str() : nullptr, stream);
}

} // namespace zorva::platform

namespace zorva {

IStream* OpenMemoryStream(const void* data, size_t bytes) {
    if (!data && bytes) return nullptr;
    platform::HGLOBAL block = platform::LocalAlloc(platform::LMEM_MOVEABLE, bytes);
    if (!block) return nullptr;
    if (bytes) std::memcpy(block, data, bytes);
    IStream* stream = nullptr;
    if (platform::CreateStreamOnHGlobal(block, 1, &stream) != platform::S_OK) {
        platform::LocalFree(block);
        return nullptr;
    }
    return stream;
}

IStream* OpenFileStream(const char* path) {
    IStream* stream = nullptr;
    platform::OpenStreamOnFile(path, &stream);
    return stream;
}

} // namespace zorva
