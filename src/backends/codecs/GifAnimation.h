// GIF files through giflib, frame by frame, composed as a viewer shows
// them.
#ifndef ZORVA_BACKENDS_CODECS_GIFANIMATION_H
#define ZORVA_BACKENDS_CODECS_GIFANIMATION_H

#include "backends/codecs/Codecs.h"

struct GifFileType;
struct ColorMapObject;

namespace zorva::backends {

// One frame as the file places it on the logical screen.
struct GifFrame {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    int disposal = 0;     // 0, 1 keep; 2 clear to transparent; 3 restore the previous picture
    int transparent = -1; // colour index drawn as transparent, or -1
    int32_t delay = 0;    // hundredths of a second; 0 without a graphic control extension
};

// The frames of a GIF file and the picture after each.
//
// Open scans the whole file without decoding pixels: the logical screen, and
// for every frame its rectangle, disposal, transparent index and delay.
// Refused (the scan fails) are: a logical screen of zero width or height or
// beyond the limits (Status::TooLarge), a frame of zero size or one
// that reaches outside the logical screen, a frame without any colour
// table, a file without frames, and a file that ends before its trailer or
// fails to parse (Status::Corrupt).
//
// Compose(i) gives frame i as a viewer shows it: the screen starts
// transparent (the background colour is not painted, as browsers do); before
// each frame the previous one's disposal is applied (a frame restoring the
// previous picture keeps a copy of its own rectangle only); the frame's
// pixels are painted except its transparent index. Damage: a pixel index
// beyond the colour table, LZW data that breaks off or refers past its
// table, or image data that ends early makes that frame and the ones after
// it fail with Status::Corrupt. Frames are decoded in order; asking for an
// earlier frame than the last starts again from the first.
//
// SendFirstFrame gives the first frame as Compose(0) would, row by row to a
// consumer, without a picture of the screen: rows outside the frame are
// transparent, and an interlaced frame's rows come in the order of its
// passes.
//
// The file is read through `source`, which must outlive the animation,
// from its first byte at each start.
class GifAnimation : public Allocated {
public:
    explicit GifAnimation(ByteSource& source) : m_reader(source) {}
    ~GifAnimation();
    GifAnimation(const GifAnimation&) = delete;
    GifAnimation& operator=(const GifAnimation&) = delete;

    Status Open();

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t FrameCount() const { return m_frameCount; }
    const GifFrame& Frame(uint32_t index) const { return m_frames[index]; }
    // Whether a shown picture can have transparent pixels: a transparent
    // index in some frame, a first frame that leaves part of the screen
    // uncovered, or a frame disposed to the background.
    bool HasAlpha() const { return m_alpha; }

    // The picture after frame `index`; valid until the next call.
    Status Compose(uint32_t index, const Pixmap** picture);
    Status SendFirstFrame(RowConsumer& out);

private:
    // giflib's input callback: the next `bytes` bytes of the file (UserData
    // is the animation).
    static int ReadInput(GifFileType* gif, unsigned char* out, int bytes);
    // What a failed giflib call means: the source's failure, else damage.
    Status Broken() const {
        return m_reader.Failure() != Status::Ok ? m_reader.Failure() : Status::Corrupt;
    }
    Status Restart();
    // Reads up to the next frame's descriptor and checks it against the
    // scan's record of frame m_next.
    Status NextDescriptor(const ColorMapObject** colors);
    // The frame's rows in file order: `paint(y, indices)` for each.
    template <class Paint>
    Status ReadFrameRows(const GifFrame& frame, Paint paint);
    Status DecodeNextFrame();
    void CloseDecoder();

    SourceReader m_reader; // its buffer held while the decoder is open
    GifFileType* m_gif = nullptr;

    uint32_t m_width = 0, m_height = 0;
    uint32_t m_frameCount = 0;
    GifFrame* m_frames = nullptr; // m_frameCount entries (platform allocator)
    bool m_alpha = false;

    Pixmap m_canvas;               // the picture after frame m_next - 1
    Pixmap m_saved;                // frame m_next - 1's rectangle before it, for disposal 3
    uint32_t m_next = 0;           // the frame the decoder reads next
    Status m_failure = Status::Ok; // set once a frame failed: later frames fail too
    uint8_t* m_line = nullptr;     // one row of colour indices
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CODECS_GIFANIMATION_H
