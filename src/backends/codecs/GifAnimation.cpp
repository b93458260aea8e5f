#include "backends/codecs/GifAnimation.h"

#include <cstring>
#include <gif_lib.h>
#include <new>
#include <utility>

namespace zorva::backends {
namespace {

// Walks an extension's remaining sub-blocks.
bool SkipExtension(GifFileType* gif, GifByteType* block) {
    while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    return true;
}

// Reads a frame's descriptor into gif->Image. giflib also keeps a record of
// every descriptor read (with a copy of its colour table), growing one array
// a frame; nothing here uses those records, so they are let go at once: a
// file of many frames then costs neither memory nor a reallocation a frame.
bool ReadDescriptor(GifFileType* gif) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
    GifFreeSavedImages(gif);
    gif->ImageCount = 0;
    return true;
}

bool SkipImageData(GifFileType* gif) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
    while (block)
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
    return true;
}

} // namespace

GifAnimation::~GifAnimation() {
    CloseDecoder();
    backends::free(m_frames);
    backends::free(m_line);
}

void GifAnimation::CloseDecoder() {
    if (m_gif) {
        int error = 0;
        DGifCloseFile(m_gif, &error);
        m_gif = nullptr;
    }
    m_reader.Reset();
}

int GifAnimation::ReadInput(GifFileType* gif, unsigned char* out, int bytes) {
    auto* self = static_cast<GifAnimation*>(gif->UserData);
    size_t read = 0;
    if (bytes > 0) self->m_reader.Read(out, size_t(bytes), &read);
    return int(read);
}

Status GifAnimation::Restart() {
    CloseDecoder();
    m_next = 0;
    m_failure = Status::Ok;
    int error = 0;
    m_gif = DGifOpen(this, ReadInput, &error);
    if (!m_gif) {
        if (m_reader.Failure() != Status::Ok) return m_reader.Failure();
        return error == D_GIF_ERR_NOT_GIF_FILE ? Status::UnknownFormat : Status::Corrupt;
    }
    return Status::Ok;
}

Status GifAnimation::Open() {
    uint8_t head[6];
    size_t read = 0;
    m_reader.Reset();
    Status hr = m_reader.Read(head, sizeof head, &read);
    if (hr != Status::Ok) return hr;
    if (SniffFormat(head, read) != FileFormat::Gif) return Status::UnknownFormat;
    hr = Restart();
    if (hr != Status::Ok) return hr;
    m_width = uint32_t(m_gif->SWidth > 0 ? m_gif->SWidth : 0);
    m_height = uint32_t(m_gif->SHeight > 0 ? m_gif->SHeight : 0);
    if (m_width == 0 || m_height == 0) return Status::Corrupt;
    if (!ImageSizeAllowed(m_width, m_height)) return Status::TooLarge;

    GifFrame pending;
    uint32_t capacity = 0;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(m_gif, &record) == GIF_ERROR) return Broken();
        if (record == TERMINATE_RECORD_TYPE) break;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR) return Broken();
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                pending.disposal = control.DisposalMode <= 3 ? control.DisposalMode : 0;
                pending.transparent = control.TransparentColor;
                pending.delay = control.DelayTime;
            }
            if (!SkipExtension(m_gif, block)) return Broken();
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) return Status::Corrupt;
        if (!ReadDescriptor(m_gif)) return Broken();
        const GifImageDesc& d = m_gif->Image;
        if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0 ||
            uint64_t(d.Left) + uint64_t(d.Width) > m_width ||
            uint64_t(d.Top) + uint64_t(d.Height) > m_height)
            return Status::Corrupt;
        if (!d.ColorMap && !m_gif->SColorMap) return Status::Corrupt;
        if (m_frameCount == kMaxGifFrames) return Status::TooLarge;
        if (m_frameCount == capacity) {
            capacity = capacity ? capacity * 2 : 8;
            auto* grown =
                static_cast<GifFrame*>(backends::realloc(m_frames, sizeof(GifFrame) * capacity));
            if (!grown) return Status::OutOfMemory;
            m_frames = grown;
        }
        pending.left = uint32_t(d.Left);
        pending.top = uint32_t(d.Top);
        pending.width = uint32_t(d.Width);
        pending.height = uint32_t(d.Height);
        m_frames[m_frameCount++] = pending;
        pending = GifFrame();
        if (!SkipImageData(m_gif)) return Broken();
    }
    if (m_frameCount == 0) return Status::Corrupt;

    const GifFrame& first = m_frames[0];
    m_alpha =
        first.left != 0 || first.top != 0 || first.width != m_width || first.height != m_height;
    for (uint32_t i = 0; i < m_frameCount; ++i)
        m_alpha = m_alpha || m_frames[i].transparent >= 0 || m_frames[i].disposal == 2;

    m_line = static_cast<uint8_t*>(backends::malloc(m_width));
    if (!m_line) return Status::OutOfMemory;
    // The scan consumed the decoder; decoding starts over on first use.
    CloseDecoder();
    return Status::Ok;
}

Status GifAnimation::Compose(uint32_t index, const Pixmap** picture) {
    *picture = nullptr;
    if (index >= m_frameCount) return Status::Refused;
    // A failed frame leaves the decoder mid-stream and the canvas half
    // painted: frames before it are composed again from the start.
    if (!m_gif || index + 1 < m_next || (m_failure != Status::Ok && index < m_next)) {
        Status hr = Restart();
        if (hr != Status::Ok) return hr;
    }
    if (m_failure != Status::Ok) return m_failure;
    if (m_canvas.Empty()) {
        Status hr = m_canvas.Allocate(m_width, m_height);
        if (hr != Status::Ok) return hr;
    } else if (m_next == 0) {
        std::memset(m_canvas.Bits(), 0, m_canvas.Stride() * m_height);
    }
    if (m_next == 0) m_saved.Reset();
    while (m_next <= index) {
        Status hr = DecodeNextFrame();
        if (hr != Status::Ok) {
            m_failure = hr;
            return hr;
        }
    }
    *picture = &m_canvas;
    return Status::Ok;
}

Status GifAnimation::NextDescriptor(const ColorMapObject** colors) {
    const GifFrame& frame = m_frames[m_next];
    // Extensions were read by the scan; skip to the frame's descriptor.
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(m_gif, &record) == GIF_ERROR) return Broken();
        if (record == IMAGE_DESC_RECORD_TYPE) break;
        if (record != EXTENSION_RECORD_TYPE) return Status::Corrupt;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR || !SkipExtension(m_gif, block))
            return Broken();
    }
    if (!ReadDescriptor(m_gif)) return Broken();
    *colors = m_gif->Image.ColorMap ? m_gif->Image.ColorMap : m_gif->SColorMap;
    if (!*colors || uint32_t(m_gif->Image.Width) != frame.width ||
        uint32_t(m_gif->Image.Height) != frame.height)
        return Status::Corrupt;
    return Status::Ok;
}

template <class Paint>
Status GifAnimation::ReadFrameRows(const GifFrame& frame, Paint paint) {
    // Interlaced rows arrive in four passes: every 8th from 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const bool interlaced = m_gif->Image.Interlace;
    const int passes = interlaced ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const uint32_t start = interlaced ? kStart[pass] : 0, step = interlaced ? kStep[pass] : 1;
        for (uint32_t y = start; y < frame.height; y += step) {
            if (DGifGetLine(m_gif, m_line, int(frame.width)) == GIF_ERROR) return Broken();
            CountDecodedRows(1);
            const Status hr = paint(y, m_line);
            if (hr != Status::Ok) return hr;
        }
    }
    return Status::Ok;
}

namespace {

// Paints a row of colour indices as B, G, R, A pixels, leaving the
// transparent index's pixels as they are. Status::Corrupt for an index
// beyond the colour table.
Status PaintIndices(const uint8_t* indices, uint32_t count, int transparent,
                    const ColorMapObject& colors, uint8_t* out) {
    for (uint32_t x = 0; x < count; ++x, out += 4) {
        const int index = indices[x];
        if (index == transparent) continue;
        if (index >= colors.ColorCount) return Status::Corrupt;
        const GifColorType& c = colors.Colors[index];
        out[0] = c.Blue;
        out[1] = c.Green;
        out[2] = c.Red;
        out[3] = 255;
    }
    return Status::Ok;
}

} // namespace

Status GifAnimation::DecodeNextFrame() {
    const GifFrame& frame = m_frames[m_next];
    if (m_next > 0) {
        const GifFrame& previous = m_frames[m_next - 1];
        if (previous.disposal == 2) {
            for (uint32_t y = 0; y < previous.height; ++y)
                std::memset(m_canvas.Row(previous.top + y) + 4 * size_t(previous.left), 0,
                            4 * size_t(previous.width));
        } else if (previous.disposal == 3 && !m_saved.Empty()) {
            for (uint32_t y = 0; y < previous.height; ++y)
                std::memcpy(m_canvas.Row(previous.top + y) + 4 * size_t(previous.left),
                            m_saved.Row(y), m_saved.Stride());
        }
    }
    // "Restore previous" puts back what lay under the frame's rectangle: a
    // copy of that rectangle is all it needs.
    m_saved.Reset();
    if (frame.disposal == 3) {
        Status hr = m_saved.Allocate(frame.width, frame.height);
        if (hr != Status::Ok) return hr;
        for (uint32_t y = 0; y < frame.height; ++y)
            std::memcpy(m_saved.Row(y), m_canvas.Row(frame.top + y) + 4 * size_t(frame.left),
                        m_saved.Stride());
    }
    const ColorMapObject* colors = nullptr;
    Status hr = NextDescriptor(&colors);
    if (hr != Status::Ok) return hr;
    hr = ReadFrameRows(frame, [&](uint32_t y, const uint8_t* indices) {
        return PaintIndices(indices, frame.width, frame.transparent, *colors,
                            m_canvas.Row(frame.top + y) + 4 * size_t(frame.left));
    });
    if (hr != Status::Ok) return hr;
    ++m_next;
    return Status::Ok;
}

Status GifAnimation::SendFirstFrame(RowConsumer& out) {
    Status hr = Restart();
    const GifFrame& frame = m_frames[0];
    const ColorMapObject* colors = nullptr;
    if (hr == Status::Ok) hr = NextDescriptor(&colors);
    if (hr != Status::Ok) {
        CloseDecoder();
        return hr;
    }
    const bool inOrder = !m_gif->Image.Interlace;
    hr = out.Begin(m_width, m_height, inOrder);
    // One row of the screen: transparent outside the frame's columns.
    uint8_t* row =
        hr == Status::Ok ? static_cast<uint8_t*>(backends::malloc(4 * size_t(m_width))) : nullptr;
    if (hr == Status::Ok && !row) hr = Status::OutOfMemory;
    auto blank = [&](uint32_t from, uint32_t to) {
        for (uint32_t y = from; y < to; ++y)
            if (!out.Row(y, nullptr, 0, 1)) return Status::Refused;
        return Status::Ok;
    };
    if (hr == Status::Ok) {
        std::memset(row, 0, 4 * size_t(m_width));
        // In order: the rows above the frame, its own, those below. Out of
        // order: the blank rows first, then the passes.
        hr = blank(0, frame.top);
        if (hr == Status::Ok && !inOrder) hr = blank(frame.top + frame.height, m_height);
    }
    if (hr == Status::Ok) {
        uint8_t* pixels = row + 4 * size_t(frame.left);
        hr = ReadFrameRows(frame, [&](uint32_t y, const uint8_t* indices) {
            std::memset(pixels, 0, 4 * size_t(frame.width));
            Status painted = PaintIndices(indices, frame.width, frame.transparent, *colors, pixels);
            if (painted == Status::Ok && !out.Row(frame.top + y, row, 0, 1))
                painted = Status::Refused;
            return painted;
        });
    }
    if (hr == Status::Ok && inOrder) hr = blank(frame.top + frame.height, m_height);
    backends::free(row);
    // The decoder was taken for this; Compose starts over on its next use.
    CloseDecoder();
    m_next = 0;
    return hr;
}

} // namespace zorva::backends
