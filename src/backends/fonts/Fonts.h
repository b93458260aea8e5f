// Fonts of the drawing contexts: faces found through fontconfig, sized and
// rasterised by FreeType into 8-bit coverage. The system layer's drawing
// contexts lay text out and draw it with these.
//
// Faces, sizes and glyphs are cached: a face file is opened once while any
// font uses it, the most recently used sized fonts stay open for the next
// request of the same font, and each sized font keeps the
// glyphs it has rendered (up to a byte budget, then it starts afresh).
// Everything is given back when its last user lets go, and at exit.
//
// Like the library, the text service belongs to the drawing thread: a sized
// font must not be used from two threads at once.
#ifndef ZORVA_BACKENDS_FONTS_FONTS_H
#define ZORVA_BACKENDS_FONTS_FONTS_H

#include "backends/memory/Memory.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zorva::backends {

// The default font of every new context: fontconfig's "sans-serif" (DejaVu
// Sans on Debian), normal weight, 12 pixels of character height (the
// height -12).
constexpr int32_t kDefaultFontHeight = -12;
constexpr const char* kDefaultFontFace = "sans-serif";

// Font heights beyond this many pixels, either convention, are refused: a
// glyph of that size alone would take megabytes.
constexpr int32_t kMaxFontHeight = 1024;

// One rendered glyph: coverage 0..255 per pixel, `height` dense rows of
// `width` bytes, placed with its top-left corner at (pen + left,
// baseline - top).
struct GlyphImage {
    int advance = 0; // pixels from this pen position to the next
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    const uint8_t* coverage = nullptr;
};

class FontFace;

// A face at one pixel size, with its line metrics in whole pixels.
class SizedFont : public Allocated {
public:
    ~SizedFont();
    SizedFont(const SizedFont&) = delete;
    SizedFont& operator=(const SizedFont&) = delete;

    int Ascent() const { return m_ascent; }   // rows above the baseline
    int Descent() const { return m_descent; } // rows below it
    int LineHeight() const { return m_ascent + m_descent; }
    // The underline's first row below the baseline, and its thickness; it
    // always lies inside the line.
    int UnderlineOffset() const { return m_underlineOffset; }
    int UnderlineThickness() const { return m_underlineThickness; }

    // Pixels the pen advances over the character. Characters below 0x20
    // (line breaks and other controls) advance 0 and draw nothing.
    int Advance(char32_t c);
    // The character's glyph; a character the face lacks draws the face's
    // missing-glyph shape. The coverage stays valid until the next call on
    // this font.
    GlyphImage Glyph(char32_t c);

    std::string FamilyName() const;
    std::string StyleName() const;
    // True when bold was asked for and the face has none, so strokes are
    // thickened instead.
    bool Synthetic() const { return m_embolden; }

private:
    friend class FontLibrary;
    struct CachedGlyph;
    struct Cache;
    SizedFont(std::shared_ptr<FontFace> face, void* size, bool embolden, int32_t height);
    const CachedGlyph& Lookup(char32_t c);

    std::shared_ptr<FontFace> m_face; // destroyed after the size below
    void* m_size;                     // FT_Size on m_face
    bool m_embolden;
    int m_ascent = 0, m_descent = 0;
    int m_underlineOffset = 1, m_underlineThickness = 1;
    std::unique_ptr<Cache> m_cache;
};

// What a font is asked for by.
struct FontRequest {
    std::string family; // UTF-8; empty: the default face
    int32_t height = 0; // negative: character height in pixels, positive: cell
                        // height (ascent + descent), 0: the default size
    int32_t weight = 0; // 0 reads as 400; 600 and above ask for bold
    bool italic = false;
};

// The best installed match for the request; bold is synthesised when the
// matched face is not bold. Null for a height beyond kMaxFontHeight, no
// usable face, or no memory.
std::shared_ptr<SizedFont> OpenFont(const FontRequest& request);

// The default font (see kDefaultFontFace), kept open once used.
std::shared_ptr<SizedFont> DefaultFont();

// A face file at a height (as in FontRequest), bold synthesised on request:
// the direct route used by OpenFont after matching. Null on failure.
std::shared_ptr<SizedFont> OpenFontFile(const std::string& file, int index, int32_t height,
                                        bool embolden);

// What fontconfig resolves a family name and weight to: the file and face
// index, and whether that face is bold. False when nothing matches.
bool MatchFont(const std::string& family, int weight, bool italic, std::string* file, int* index,
               bool* boldFace);

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_FONTS_FONTS_H
