// The codecs, one per file format, each over the library that the
// format's world trusts. Every codec reads its file through a ByteSource,
// through its library's streaming interface (libpng's read callback, a
// libjpeg source manager, giflib's input function, libwebp's incremental
// decoder, SDL's RWops), from the file's first byte each time; refuses
// sizes beyond the limits (Limits.h) before allocating pixels; and turns
// every error of its library into a result code: nothing here can end the
// process or read outside the bytes given.
//
// A codec hands its picture over row by row as it decodes (RowConsumer), so
// that a picture asked for at a smaller size passes through the scaler a
// band of rows at a time and is never held whole. What each codec itself
// must hold is listed in docs/image-io.md ("Limits and memory").
#ifndef ZORVA_BACKENDS_CODECS_CODECS_H
#define ZORVA_BACKENDS_CODECS_CODECS_H

#include "backends/Rect.h"
#include "backends/codecs/ByteSource.h"
#include "backends/codecs/Pixmap.h"

namespace zorva::backends {

enum class FileFormat { Unknown, Png, Jpeg, Gif, Bmp, Webp };

// The format by the file's signature (its first bytes).
FileFormat SniffFormat(const uint8_t* data, size_t size);
Status SniffFormat(ByteSource& in, FileFormat* format);

// What a header says. For GIF: the logical screen, after a scan of every
// frame (see GifAnimation).
struct ImageHeader {
    FileFormat format = FileFormat::Unknown;
    uint32_t width = 0;
    uint32_t height = 0;
    bool alpha = false;
};

// Receives a picture row by row. Pixels are bytes B, G, R, A (straight
// alpha; opaque pictures give A = 255).
class RowConsumer {
public:
    // Before the first row: the picture's size, and whether its rows come
    // whole and top to bottom (false: in any order, and an interlaced pass
    // may give a row's pixels a few at a time).
    virtual Status Begin(uint32_t width, uint32_t height, bool inOrder) = 0;
    // The pixels of row y at columns first, first + step, ... below the
    // width, packed in `pixels`; a null `pixels` is a whole row of
    // transparent black. Returns false when the consumer cannot take the
    // row: the codec then stops and fails with Status::Refused.
    virtual bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) = 0;
    // After the last row; fails when rows the consumer needs never came.
    virtual Status End() = 0;
    // After Begin: memory where the whole picture may be written at once
    // instead (rows of B, G, R, A, *stride bytes apart), or null. A codec
    // that must hold the picture whole anyway writes there, and sends no
    // rows.
    virtual uint8_t* Whole(int32_t* stride) {
        (void)stride;
        return nullptr;
    }

protected:
    ~RowConsumer() = default;
};

// Counts rows a codec decoded (zorva::DecodedRows, for tests that bound the
// work a file can cause).
void CountDecodedRows(uint32_t rows);

// How many pixels a row of `width` has at columns first, first + step, ...
constexpr uint32_t RowPixels(uint32_t width, uint32_t first, uint32_t step) {
    return first < width ? (width - first + step - 1) / step : 0;
}

// Header of a still-image format (not GIF).
Status PngReadHeader(ByteSource& in, ImageHeader* header);
Status JpegReadHeader(ByteSource& in, ImageHeader* header);
Status BmpReadHeader(ByteSource& in, ImageHeader* header);
Status WebpReadHeader(ByteSource& in, ImageHeader* header);

// Decodes the whole picture into `out` (Begin and Row; the caller calls
// End): every row is decoded, so damage anywhere in the pixels fails.
// PNG, BMP: at the picture's own size. JPEG: at JpegScaleEighths for a
// picture of at least minWidth x minHeight (the DCT does the shrinking).
// WebP: when width x height is smaller on both sides, the codec scales to
// exactly that size as it decodes; otherwise its own size.
Status PngDecodeRows(ByteSource& in, RowConsumer& out);
Status JpegDecodeRows(ByteSource& in, uint32_t minWidth, uint32_t minHeight, RowConsumer& out);
Status BmpDecodeRows(ByteSource& in, RowConsumer& out);
Status WebpDecodeRows(ByteSource& in, uint32_t width, uint32_t height, RowConsumer& out);

// The scale, in eighths, a JPEG of width x height decodes at for a picture
// of at least minWidth x minHeight: the smallest of 1/8, 2/8, 4/8 and 5/8
// that is still no smaller than asked in either direction, else the full
// size (also when either minimum is 0). (Why not 3/8, 6/8 and 7/8:
// CodecJpeg.cpp.) The decoded sides are ceil(side x M / 8).
uint32_t JpegScaleEighths(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight);

// Collects rows, in any order, into a picture of the size Begin gives.
class PixmapWriter final : public RowConsumer {
public:
    explicit PixmapWriter(Pixmap* out) : m_out(out) {}
    Status Begin(uint32_t width, uint32_t height, bool inOrder) override;
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override;
    Status End() override { return Status::Ok; }
    uint8_t* Whole(int32_t* stride) override {
        *stride = int32_t(m_out->Stride());
        return m_out->Bits();
    }

private:
    Pixmap* m_out;
};

// Scales the rows it receives to a picture of width x height and passes the
// rows of `window` (a rectangle inside it) on to `out`, top to bottom, as a
// picture of the window's size: area averaging along an axis that shrinks,
// bilinear interpolation between pixel centres along one that grows, edges
// extended. With `alpha` the colours are premultiplied for the filter and
// straightened again; without, alpha is taken as opaque. Rows that come in
// order are scaled as they come, holding only two rows of sums; other
// orders keep sums for the whole window until End. Integer arithmetic
// throughout. When the sizes agree the rows pass straight through.
class Scaler final : public RowConsumer {
public:
    Scaler(uint32_t width, uint32_t height, const Rect& window, bool alpha, RowConsumer& out);
    ~Scaler();
    Scaler(const Scaler&) = delete;
    Scaler& operator=(const Scaler&) = delete;

    Status Begin(uint32_t width, uint32_t height, bool inOrder) override;
    bool Row(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step) override;
    Status End() override;
    // The consumer's whole picture, when the rows pass straight through to
    // it and the window is the whole picture.
    uint8_t* Whole(int32_t* stride) override;

private:
    struct Axis;
    struct State;
    bool PassRow(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step);
    const uint16_t* FilterRow(uint32_t y, const uint8_t* pixels, uint32_t first, uint32_t step);
    void AddAnyOrder(uint32_t y, const uint16_t* across);
    void Shrink(uint32_t y, const uint16_t* across);
    void Grow(uint32_t y, bool needed, const uint16_t* across);
    void Emit(const uint32_t* sums);

    State* m_state = nullptr;
    uint32_t m_width, m_height;
    Rect m_window;
    bool m_alpha;
    RowConsumer& m_out;
};

// `source` scaled to exactly width x height by the Scaler. A same-size
// request is a copy.
Status Resample(const Pixmap& source, bool alpha, uint32_t width, uint32_t height, Pixmap* out);

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CODECS_CODECS_H
