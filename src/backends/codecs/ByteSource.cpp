#include "backends/codecs/ByteSource.h"

#include <cstring>

namespace zorva::backends {

Status MemorySource::ReadAt(uint64_t position, uint8_t* out, size_t bytes, size_t* read) {
    const uint64_t size = Size();
    const uint64_t left = position < size ? size - position : 0;
    *read = size_t(left < bytes ? left : bytes);
    if (*read) std::memcpy(out, m_bytes->data + position, *read);
    return Status::Ok;
}

Status SourceReader::Fill() {
    if (m_failure != Status::Ok) return m_failure;
    if (!m_buffer) {
        m_buffer = static_cast<uint8_t*>(backends::malloc(kBufferBytes));
        if (!m_buffer) return m_failure = Status::OutOfMemory;
    }
    m_bufferStart = m_position;
    m_bufferBytes = 0;
    const uint64_t end = End();
    if (m_position >= end) return Status::Ok;
    const uint64_t left = end - m_position;
    const size_t want = size_t(left < kBufferBytes ? left : kBufferBytes);
    const Status status = m_source.ReadAt(m_position, m_buffer, want, &m_bufferBytes);
    if (status != Status::Ok) {
        m_bufferBytes = 0;
        return m_failure = status;
    }
    return Status::Ok;
}

Status SourceReader::Read(void* out, size_t bytes, size_t* read) {
    *read = 0;
    auto* to = static_cast<uint8_t*>(out);
    while (*read < bytes) {
        const uint8_t* data = nullptr;
        size_t size = 0;
        // Whatever the buffer holds first; large reads past it go straight
        // to the source.
        if (m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferBytes) {
            data = m_buffer + (m_position - m_bufferStart);
            size = size_t(m_bufferStart + m_bufferBytes - m_position);
        } else if (bytes - *read >= kBufferBytes && m_failure == Status::Ok) {
            const uint64_t end = End();
            const uint64_t left = m_position < end ? end - m_position : 0;
            const size_t want = size_t(left < bytes - *read ? left : bytes - *read);
            size_t got = 0;
            if (want) {
                const Status status = m_source.ReadAt(m_position, to + *read, want, &got);
                if (status != Status::Ok) return m_failure = status;
            }
            m_position += got;
            *read += got;
            if (got < want || want == 0) return Status::Ok;
            continue;
        } else {
            const Status status = Fill();
            if (status != Status::Ok) return status;
            if (m_bufferBytes == 0) return Status::Ok; // the end of the file
            continue;
        }
        const size_t n = size < bytes - *read ? size : bytes - *read;
        std::memcpy(to + *read, data, n);
        *read += n;
        m_position += n;
    }
    return Status::Ok;
}

Status SourceReader::Next(const uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    if (!(m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferBytes)) {
        const Status status = Fill();
        if (status != Status::Ok) return status;
        if (m_bufferBytes == 0) return Status::Ok;
    }
    *data = m_buffer + (m_position - m_bufferStart);
    *size = size_t(m_bufferStart + m_bufferBytes - m_position);
    m_position += *size;
    return Status::Ok;
}

void SourceReader::Seek(uint64_t position) {
    m_position = position;
}

} // namespace zorva::backends
