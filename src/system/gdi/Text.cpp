// Fonts and text of the drawing contexts: creating fonts, measuring strings
// and drawing laid-out text into a context's image with anti-aliased
// glyphs.
#include "backends/fonts/Fonts.h"
#include "backends/text/Utf8.h"
#include "system/files/FilesApi.h"
#include "system/gdi/Gdi.h"
#include "system/gdi/TextLayout.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

namespace zorva::platform {
namespace {

using backends::DefaultFont;
using backends::GlyphImage;
using backends::SizedFont;

std::shared_ptr<SizedFont> FontOf(HDC dc) {
    HGDIOBJ font = dc->font;
    if (font && font->kind == HGDIOBJ__::Kind::Font && font->fontData)
        return std::static_pointer_cast<SizedFont>(font->fontData);
    return DefaultFont();
}

struct Rgb {
    uint8_t r, g, b;
};

Rgb FromColorRef(COLORREF c) {
    return Rgb{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)};
}

// The part of the image text may touch: right and bottom excluded.
struct Clip {
    int64_t left, top, right, bottom;
};

// Fills [x0, x1) x [y0, y1) within the clip.
void FillClipped(const ImageBits& image, const Clip& clip, int64_t x0, int64_t y0, int64_t x1,
                 int64_t y1, Rgb c) {
    x0 = std::max(x0, clip.left);
    y0 = std::max(y0, clip.top);
    x1 = std::min(x1, clip.right);
    y1 = std::min(y1, clip.bottom);
    FillBox(image, int(x0), int(y0), int(x1), int(y1), c.r, c.g, c.b);
}

// Each channel moves from the pixel's own value towards the text colour by
// the coverage a (0..255): (under * (255 - a) + text * a + 127) / 255.
uint8_t Mix(uint8_t under, uint8_t text, uint32_t a) {
    return uint8_t((under * (255 - a) + text * a + 127) / 255);
}

// Blends the glyph with its top-left corner at (x, y), within the clip.
void BlendGlyph(const ImageBits& image, const Clip& clip, int64_t x, int64_t y,
                const GlyphImage& glyph, Rgb c) {
    if (!glyph.coverage) return;
    const int64_t i0 = std::max<int64_t>(0, clip.left - x);
    const int64_t j0 = std::max<int64_t>(0, clip.top - y);
    const int64_t i1 = std::min<int64_t>(glyph.width, clip.right - x);
    const int64_t j1 = std::min<int64_t>(glyph.height, clip.bottom - y);
    for (int64_t j = j0; j < j1; ++j) {
        const uint8_t* row = glyph.coverage + j * glyph.width;
        for (int64_t i = i0; i < i1; ++i) {
            const uint32_t a = row[i];
            if (a == 0) continue;
            const int px = int(x + i), py = int(y + j);
            if (a == 255) {
                WriteRgb(image, px, py, c.r, c.g, c.b);
                continue;
            }
            uint8_t r, g, b;
            ReadRgb(image, px, py, r, g, b);
            WriteRgb(image, px, py, Mix(r, c.r, a), Mix(g, c.g, a), Mix(b, c.b, a));
        }
    }
}

// Text lengths: -1 counts up to the terminating null; anything else below
// 0, a null text, or a length above the layout's limit is refused.
bool TextLength(const wchar_t* text, int count, size_t& length) {
    if (!text || count < -1) return false;
    length = count == -1 ? std::wcslen(text) : size_t(count);
    return length <= kMaxTextLength;
}

int64_t Saturate32(int64_t v) {
    return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX);
}

HFONT CreateFont(const LOGFONTW* record) {
    if (!record || record->lfHeight < -backends::kMaxFontHeight ||
        record->lfHeight > backends::kMaxFontHeight) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Face names are UTF-32; fontconfig takes UTF-8. A code point without
    // an encoding ends the name.
    backends::FontRequest request;
    backends::AppendUtf8(record->lfFaceName, 32, request.family);
    request.height = record->lfHeight;
    request.weight = record->lfWeight;
    request.italic = record->lfItalic != 0;
    std::shared_ptr<SizedFont> font = backends::OpenFont(request);
    if (!font) {
        // Asked again only on failure: whether anything matches at all.
        std::string file;
        int index = 0;
        bool bold = false;
        const bool matched = backends::MatchFont(request.family.empty() ? backends::kDefaultFontFace
                                                                        : request.family,
                                                 400, request.italic, &file, &index, &bold);
        SetLastError(matched ? ERROR_NOT_ENOUGH_MEMORY : ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    HGDIOBJ o = new (std::nothrow) HGDIOBJ__;
    if (!o) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    o->kind = HGDIOBJ__::Kind::Font;
    o->font = *record;
    o->fontData = std::move(font);
    return o;
}

BOOL MeasureText(HDC dc, const wchar_t* text, int count, int maxExtent, int* fit, int* dx,
                 tagSIZE* size) {
    size_t length = 0;
    if (!dc || !size || count < 0 || !TextLength(text, count, length)) return 0;
    std::shared_ptr<SizedFont> font = FontOf(dc);
    if (!font) return 0;
    int64_t width = 0;
    size_t fitting = 0;
    for (size_t i = 0; i < length; ++i) {
        width += font->Advance(char32_t(text[i]));
        if (fit && width <= maxExtent) fitting = i + 1;
        if (dx && (!fit || width <= maxExtent)) dx[i] = int(Saturate32(width));
    }
    if (fit) *fit = int(fitting);
    size->cx = int32_t(Saturate32(width));
    size->cy = font->LineHeight();
    return 1;
}

int DrawText(HDC dc, const wchar_t* text, int count, tagRECT* rect, unsigned format) {
    size_t length = 0;
    if (!dc || !rect || !TextLength(text, count, length)) return 0;
    std::shared_ptr<SizedFont> font = FontOf(dc);
    if (!font) return 0;

    TextLayout layout;
    try {
        LayOutText(
            text, length, format, int64_t(rect->right) - rect->left,
            [&font](char32_t c) { return font->Advance(c); }, layout);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const int lineHeight = font->LineHeight();
    const int64_t height = int64_t(layout.lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        rect->right = int32_t(Saturate32(rect->left + layout.width));
        rect->bottom = int32_t(Saturate32(rect->top + height));
        return int(Saturate32(height));
    }

    // Vertical placement applies to single lines only; the result is then
    // the distance from the rectangle's top to the bottom of the text.
    const bool single = format & DT_SINGLELINE;
    int64_t top = rect->top;
    if (single && (format & DT_BOTTOM))
        top = int64_t(rect->bottom) - lineHeight;
    else if (single && (format & DT_VCENTER))
        top += (int64_t(rect->bottom) - rect->top - lineHeight) >> 1;
    const int result = int(Saturate32(
        single && (format & (DT_BOTTOM | DT_VCENTER)) ? top + lineHeight - rect->top : height));

    ImageBits* image = SelectedImage(dc);
    if (!image) return dc->kind == HDC__::Kind::Memory ? result : 0;
    Clip clip{0, 0, image->width, image->height};
    if (!(format & DT_NOCLIP)) {
        clip.left = std::max<int64_t>(clip.left, rect->left);
        clip.top = std::max<int64_t>(clip.top, rect->top);
        clip.right = std::min<int64_t>(clip.right, rect->right);
        clip.bottom = std::min<int64_t>(clip.bottom, rect->bottom);
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom) return result;

    const Rgb ink = FromColorRef(dc->textColor);
    const Rgb paper = FromColorRef(dc->bkColor);
    for (size_t n = 0; n < layout.lines.size(); ++n) {
        const LaidOutLine& line = layout.lines[n];
        const int64_t y = top + int64_t(n) * lineHeight;
        if (y >= clip.bottom) break;
        if (y + lineHeight <= clip.top) continue;
        int64_t x = rect->left;
        if (format & DT_RIGHT)
            x = int64_t(rect->right) - line.width;
        else if (format & DT_CENTER)
            x += (int64_t(rect->right) - rect->left - line.width) >> 1;
        if (dc->bkMode == OPAQUE)
            FillClipped(*image, clip, x, y, x + line.width, y + lineHeight, paper);
        const int64_t baseline = y + font->Ascent();
        for (size_t k = line.first; k < line.first + line.count; ++k) {
            const LaidOutChar& c = layout.chars[k];
            const GlyphImage glyph = font->Glyph(c.ch);
            BlendGlyph(*image, clip, x + glyph.left, baseline - glyph.top, glyph, ink);
            if (c.underline) {
                const int64_t u = baseline + font->UnderlineOffset();
                FillClipped(*image, clip, x, u, x + c.advance, u + font->UnderlineThickness(), ink);
            }
            x += c.advance;
        }
    }
    return result;
}

} // namespace

// The font caches and the layout use the standard containers: running out
// of memory there is a failure like any other.
HFONT CreateFontIndirectW(const LOGFONTW* record) {
    try {
        return CreateFont(record);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL GetTextExtentExPointW(HDC dc, const wchar_t* text, int count, int maxExtent, int* fit, int* dx,
                           tagSIZE* size) {
    try {
        return MeasureText(dc, text, count, maxExtent, fit, dx, size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int DrawTextW(HDC dc, const wchar_t* text, int count, tagRECT* rect, unsigned format) {
    try {
        return DrawText(dc, text, count, rect, format);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

} // namespace zorva::platform
