// Where the codecs read encoded files from. A codec never holds a file: it
// reads it front to back through a small buffer (SourceReader) as it
// decodes, and reads it again from its first byte for the next decode, so a
// file of any size costs a buffer, not its bytes.
#ifndef ZORVA_BACKENDS_CODECS_BYTESOURCE_H
#define ZORVA_BACKENDS_CODECS_BYTESOURCE_H

#include "backends/codecs/Limits.h"
#include "backends/codecs/Status.h"
#include "backends/memory/Memory.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zorva::backends {

// An encoded file that can be read at any position: a file on disk, a
// stream that seeks, bytes in memory. Its owner says where the bytes come
// from and why a read failed.
class ByteSource : public Allocated {
public:
    virtual ~ByteSource() = default;
    // Up to `bytes` bytes from `position` (0 is the file's first byte) into
    // `out`; fewer only where the file ends. Status::ReadFailed when the
    // source could not be read.
    virtual Status ReadAt(uint64_t position, uint8_t* out, size_t bytes, size_t* read) = 0;
    // The file's length when it was opened.
    virtual uint64_t Size() const = 0;
};

// Encoded bytes in memory, shared by the sources over them.
struct EncodedBytes : Allocated {
    uint8_t* data = nullptr;
    size_t size = 0;
    ~EncodedBytes() { backends::free(data); }
};
using EncodedPtr = std::shared_ptr<const EncodedBytes>;

// A source over bytes in memory, which it keeps while it lives.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(EncodedPtr bytes) : m_bytes(static_cast<EncodedPtr&&>(bytes)) {}
    Status ReadAt(uint64_t position, uint8_t* out, size_t bytes, size_t* read) override;
    uint64_t Size() const override { return m_bytes ? m_bytes->size : 0; }

private:
    EncodedPtr m_bytes;
};

// Reads a source in order through a buffer of its own (kBufferBytes, from
// the platform allocator, taken on the first read), never past
// kMaxEncodedBytes or the source's length. A failure stays: every later
// read gives it again.
class SourceReader {
public:
    static constexpr size_t kBufferBytes = size_t(64) << 10;

    explicit SourceReader(ByteSource& source) : m_source(source) {}
    ~SourceReader() { backends::free(m_buffer); }
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    // Exactly `bytes` bytes into `out`, or fewer where the file ends.
    Status Read(void* out, size_t bytes, size_t* read);
    // The buffered bytes from the reading position (refilled when none are
    // left), all taken: *size is 0 at the end of the file.
    Status Next(const uint8_t** data, size_t* size);
    // Moves the reading position (forward or back).
    void Seek(uint64_t position);
    uint64_t Position() const { return m_position; }
    // The end of what may be read: the source's length, at most the limit.
    uint64_t End() const {
        const uint64_t size = m_source.Size();
        return size < kMaxEncodedBytes ? size : kMaxEncodedBytes;
    }
    Status Failure() const { return m_failure; }
    // Gives the buffer back (the next read takes it again) and starts over
    // at the first byte, without the failure.
    void Reset() {
        backends::free(m_buffer);
        m_buffer = nullptr;
        m_bufferStart = m_position = 0;
        m_bufferBytes = 0;
        m_failure = Status::Ok;
    }

private:
    Status Fill();

    ByteSource& m_source;
    uint8_t* m_buffer = nullptr;
    uint64_t m_bufferStart = 0; // the file position of m_buffer[0]
    size_t m_bufferBytes = 0;
    uint64_t m_position = 0;
    Status m_failure = Status::Ok;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CODECS_BYTESOURCE_H
