#include "system/imaging/Sources.h"

#include "system/files/FilesApi.h"
#include "system/imaging/Imaging.h"
#include "system/memory/Memory.h"
#include "system/streams/Streams.h"

#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

using backends::EncodedBytes;
using backends::EncodedPtr;
using backends::Status;

HRESULT LastFileError() {
    return HRESULT(0x80000000u | GetLastError());
}

class FileSource final : public Source {
public:
    FileSource(HANDLE file, uint64_t size) : m_file(file), m_size(size) {}
    ~FileSource() override { CloseHandle(m_file); }

    Status ReadAt(uint64_t position, uint8_t* out, size_t bytes, size_t* read) override {
        *read = 0;
        int32_t high = int32_t(position >> 32);
        DWORD done = 0;
        if (SetFilePointer(m_file, int32_t(uint32_t(position)), &high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER &&
            GetLastError() != 0) {
            m_failure = LastFileError();
            return Status::ReadFailed;
        }
        while (*read < bytes) {
            const size_t step = bytes - *read < (1u << 30) ? bytes - *read : (1u << 30);
            if (!ReadFile(m_file, out + *read, DWORD(step), &done, nullptr)) {
                m_failure = LastFileError();
                return Status::ReadFailed;
            }
            *read += done;
            if (done < step) break;
        }
        return Status::Ok;
    }
    uint64_t Size() const override { return m_size; }

private:
    HANDLE m_file;
    uint64_t m_size;
};

class StreamSource final : public Source {
public:
    StreamSource(IStream* stream, uint64_t start, uint64_t size)
        : m_stream(stream), m_start(start), m_size(size) {
        m_stream->AddRef();
    }
    ~StreamSource() override { m_stream->Release(); }

    Status ReadAt(uint64_t position, uint8_t* out, size_t bytes, size_t* read) override {
        *read = 0;
        if (position > INT64_MAX - m_start) return Status::Ok;
        HRESULT hr = m_stream->Seek(int64_t(m_start + position), STREAM_SEEK_SET, nullptr);
        // A stream reads short only at its end.
        while (hr >= 0 && *read < bytes) {
            const ULONG step = ULONG(bytes - *read < (1u << 30) ? bytes - *read : (1u << 30));
            ULONG done = 0;
            hr = m_stream->Read(out + *read, step, &done);
            if (hr < 0) break;
            *read += done < step ? done : step;
            if (done < step || hr == S_FALSE) return Status::Ok;
        }
        if (hr >= 0) return Status::Ok;
        m_failure = hr;
        return Status::ReadFailed;
    }
    uint64_t Size() const override { return m_size; }

private:
    IStream* m_stream;
    uint64_t m_start, m_size;
};

// A stream that cannot seek, read whole.
class BytesSource final : public Source {
public:
    explicit BytesSource(EncodedPtr bytes) : m_memory(static_cast<EncodedPtr&&>(bytes)) {}
    Status ReadAt(uint64_t position, uint8_t* out, size_t bytes, size_t* read) override {
        return m_memory.ReadAt(position, out, bytes, read);
    }
    uint64_t Size() const override { return m_memory.Size(); }

private:
    backends::MemorySource m_memory;
};

// Takes a block of the platform allocator into shared encoded bytes.
HRESULT Adopt(uint8_t* data, size_t size, EncodedPtr* out) {
    auto* bytes = new (std::nothrow) EncodedBytes;
    if (!bytes) {
        platform::free(data);
        return E_OUTOFMEMORY;
    }
    bytes->data = data;
    bytes->size = size;
    // The control block's allocation may throw; shared_ptr then deletes
    // the bytes itself.
    try {
        *out = EncodedPtr(bytes);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Reads a stream from its position to its end, in steps, never more than
// the service's limit.
HRESULT ReadStream(IStream* stream, EncodedPtr* out) {
    constexpr ULONG kStep = 64 * 1024;
    uint8_t* data = nullptr;
    size_t size = 0, capacity = 0;
    for (;;) {
        if (capacity - size < kStep) {
            if (capacity >= kMaxEncodedBytes) {
                // Full to the limit: the stream may end right here, or one
                // byte more makes it too large.
                uint8_t probe = 0;
                ULONG more = 0;
                const HRESULT hr = stream->Read(&probe, 1, &more);
                if (hr >= 0 && more == 0) break;
                platform::free(data);
                return hr < 0 ? hr : IMGERR_TOOLARGE;
            }
            const size_t grown = capacity ? capacity * 2 : 4 * kStep;
            auto* bigger = static_cast<uint8_t*>(platform::realloc(data, grown));
            if (!bigger) {
                platform::free(data);
                return E_OUTOFMEMORY;
            }
            data = bigger;
            capacity = grown;
        }
        ULONG read = 0;
        const HRESULT hr = stream->Read(data + size, kStep, &read);
        if (hr < 0) {
            platform::free(data);
            return hr;
        }
        size += read > kStep ? kStep : read;
        if (read < kStep || hr == S_FALSE) break;
        if (size > kMaxEncodedBytes) {
            platform::free(data);
            return IMGERR_TOOLARGE;
        }
    }
    return Adopt(data, size, out);
}

} // namespace

HRESULT OpenFileSource(const wchar_t* path, Source** source) {
    *source = nullptr;
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == ZORVA_INVALID_HANDLE_VALUE) return LastFileError();
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    const uint64_t size = uint64_t(high) << 32 | low;
    HRESULT hr = S_OK;
    if (low == 0xFFFFFFFF && high == 0)
        hr = LastFileError();
    else if (size > kMaxEncodedBytes)
        hr = IMGERR_TOOLARGE;
    else if (!(*source = new (std::nothrow) FileSource(file, size)))
        hr = E_OUTOFMEMORY;
    if (hr != S_OK) CloseHandle(file);
    return hr;
}

HRESULT OpenStreamSource(IStream* stream, Source** source) {
    *source = nullptr;
    uint64_t start = 0, end = 0;
    if (stream->Seek(0, STREAM_SEEK_CUR, &start) == S_OK &&
        stream->Seek(0, STREAM_SEEK_END, &end) == S_OK) {
        // Read where it lies; the stream is left at its end, as if read.
        const uint64_t size = end > start ? end - start : 0;
        if (size > kMaxEncodedBytes) return IMGERR_TOOLARGE;
        *source = new (std::nothrow) StreamSource(stream, start, size);
        return *source ? S_OK : E_OUTOFMEMORY;
    }
    EncodedPtr bytes;
    const HRESULT hr = ReadStream(stream, &bytes);
    if (hr != S_OK) return hr;
    *source = new (std::nothrow) BytesSource(static_cast<EncodedPtr&&>(bytes));
    return *source ? S_OK : E_OUTOFMEMORY;
}

} // namespace zorva::platform
