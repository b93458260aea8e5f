// Line layout for DrawTextW.
#include "system/gdi/TextLayout.h"

#include "system/gdi/GdiApi.h"

namespace zorva::platform {
namespace {

bool IsBreak(char32_t c) {
    return c == U'\n' || c == U'\r';
}

bool IsSpace(char32_t c) {
    return c == U' ' || c == U'\t';
}

int64_t Width(const std::vector<LaidOutChar>& chars, size_t first, size_t end) {
    int64_t w = 0;
    for (size_t i = first; i < end; ++i)
        w += chars[i].advance;
    return w;
}

void AddLine(TextLayout& out, size_t first, size_t end, int64_t width) {
    out.lines.push_back(LaidOutLine{first, end - first, width});
    if (width > out.width) out.width = width;
}

// Greedy wrapping of the characters [first, end), which hold no breaks.
void WrapParagraph(TextLayout& out, size_t first, size_t end, int64_t boxWidth) {
    const std::vector<LaidOutChar>& c = out.chars;
    size_t lineStart = first, contentEnd = first;
    int64_t x = 0, contentWidth = 0;
    size_t i = first;
    while (i < end) {
        const size_t wordStart = i;
        while (i < end && !IsSpace(c[i].ch))
            ++i;
        const size_t wordEnd = i;
        while (i < end && IsSpace(c[i].ch))
            ++i;
        const int64_t wordWidth = Width(c, wordStart, wordEnd);
        if (wordEnd > wordStart && lineStart < wordStart && x + wordWidth > boxWidth) {
            AddLine(out, lineStart, contentEnd, contentWidth);
            lineStart = wordStart;
            x = 0;
        }
        x += wordWidth;
        contentEnd = wordEnd;
        contentWidth = x;
        x += Width(c, wordEnd, i);
    }
    AddLine(out, lineStart, end, x);
}

} // namespace

void LayOutText(const wchar_t* text, size_t count, unsigned format, int64_t boxWidth,
                const std::function<int(char32_t)>& advance, TextLayout& out) {
    out.chars.clear();
    out.lines.clear();
    out.width = 0;
    out.chars.reserve(count);

    const bool prefixes = !(format & DT_NOPREFIX);
    for (size_t i = 0; i < count; ++i) {
        char32_t ch = char32_t(text[i]);
        bool underline = false;
        if (prefixes && ch == U'&') {
            if (i + 1 == count) break;
            ch = char32_t(text[++i]);
            underline = ch != U'&' && !IsBreak(ch);
        }
        out.chars.push_back(LaidOutChar{ch, advance(ch), underline});
    }

    const size_t n = out.chars.size();
    if (format & DT_SINGLELINE) {
        AddLine(out, 0, n, Width(out.chars, 0, n));
        return;
    }
    const bool wrap = format & DT_WORDBREAK;
    size_t start = 0;
    for (size_t i = 0;; ++i) {
        if (i < n && !IsBreak(out.chars[i].ch)) continue;
        if (wrap)
            WrapParagraph(out, start, i, boxWidth);
        else
            AddLine(out, start, i, Width(out.chars, start, i));
        if (i >= n) break;
        if (out.chars[i].ch == U'\r' && i + 1 < n && out.chars[i + 1].ch == U'\n') ++i;
        start = i + 1;
    }
}

} // namespace zorva::platform
