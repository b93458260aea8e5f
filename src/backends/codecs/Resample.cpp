// Pictures in memory: allocation, format sniffing, and whole-picture
// scaling over the Scaler.
#include "backends/codecs/Codecs.h"

#include "backends/Testing.h"

#include <atomic>
#include <cstring>

namespace zorva::backends {
namespace {

std::atomic<long> g_decodedRows{0};

} // namespace

void CountDecodedRows(uint32_t rows) {
    g_decodedRows.fetch_add(long(rows), std::memory_order_relaxed);
}

Status Pixmap::Allocate(uint32_t width, uint32_t height) {
    Reset();
    if (!ImageSizeAllowed(width, height)) return Status::Refused;
    const size_t bytes = size_t(width) * height * 4;
    m_bits = static_cast<uint8_t*>(backends::malloc(bytes));
    if (!m_bits) return Status::OutOfMemory;
    std::memset(m_bits, 0, bytes);
    m_width = width;
    m_height = height;
    return Status::Ok;
}

void Pixmap::Reset() {
    backends::free(m_bits);
    m_bits = nullptr;
    m_width = m_height = 0;
}

FileFormat SniffFormat(const uint8_t* data, size_t size) {
    if (!data) return FileFormat::Unknown;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return FileFormat::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return FileFormat::Jpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return FileFormat::Gif;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return FileFormat::Bmp;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return FileFormat::Webp;
    return FileFormat::Unknown;
}

Status SniffFormat(ByteSource& in, FileFormat* format) {
    uint8_t head[12];
    size_t read = 0;
    *format = FileFormat::Unknown;
    const Status status = in.ReadAt(0, head, sizeof head, &read);
    if (status == Status::Ok) *format = SniffFormat(head, read);
    return status;
}

Status PixmapWriter::Begin(uint32_t width, uint32_t height, bool) {
    return m_out->Allocate(width, height);
}

bool PixmapWriter::Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) {
    if (y >= m_out->Height()) return false;
    uint8_t* row = m_out->Row(y);
    const uint32_t n = RowPixels(m_out->Width(), first, step);
    if (!pixels)
        std::memset(row, 0, m_out->Stride());
    else if (step == 1)
        std::memcpy(row + 4 * size_t(first), pixels, 4 * size_t(n));
    else
        for (uint32_t i = 0; i < n; ++i)
            std::memcpy(row + 4 * (size_t(first) + size_t(i) * step), pixels + 4 * size_t(i), 4);
    return true;
}

namespace {

// A whole decode into a picture; the picture is empty after a failure.
template <class Decode>
Status DecodeWhole(Pixmap* out, Decode decode) {
    if (!out) return Status::Refused;
    out->Reset();
    PixmapWriter writer(out);
    Status hr = decode(writer);
    if (hr == Status::Ok) hr = writer.End();
    if (hr != Status::Ok) out->Reset();
    return hr;
}

} // namespace

Status Resample(const Pixmap& source, bool alpha, uint32_t width, uint32_t height, Pixmap* out) {
    if (source.Empty() || !out) return Status::Refused;
    out->Reset();
    if (!ImageSizeAllowed(width, height)) return Status::Refused;
    PixmapWriter writer(out);
    Scaler scaler(width, height, Rect{0, 0, int32_t(width), int32_t(height)}, alpha, writer);
    Status hr = scaler.Begin(source.Width(), source.Height(), true);
    for (uint32_t y = 0; hr == Status::Ok && y < source.Height(); ++y)
        if (!scaler.Row(y, source.Row(y), 0, 1)) hr = Status::Refused;
    if (hr == Status::Ok) hr = scaler.End();
    if (hr != Status::Ok) out->Reset();
    return hr;
}

} // namespace zorva::backends

namespace zorva {

long DecodedRows() {
    return backends::g_decodedRows.load();
}

} // namespace zorva
