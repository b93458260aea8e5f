// Line layout for DrawTextW: mnemonic prefixes, line breaks and word
// wrapping, independent of any font (advances come from a callback), so the
// rules can be checked with made-up widths.
#ifndef ZORVA_SYSTEM_TEXT_TEXTLAYOUT_H
#define ZORVA_SYSTEM_TEXT_TEXTLAYOUT_H

#include "system/gdi/GdiApi.h" // kMaxTextLength

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zorva::platform {

struct LaidOutChar {
    char32_t ch = 0;
    int advance = 0;
    bool underline = false; // marked as a mnemonic by a preceding '&'
};

// Characters first .. first + count - 1 of TextLayout::chars, `width`
// pixels wide (the sum of their advances).
struct LaidOutLine {
    size_t first = 0;
    size_t count = 0;
    int64_t width = 0;
};

struct TextLayout {
    std::vector<LaidOutChar> chars; // after prefix processing, breaks included
    std::vector<LaidOutLine> lines; // at least one
    int64_t width = 0;              // the widest line
};

// Lays out `count` characters by the DrawTextW format flags:
// - Unless DT_NOPREFIX, '&' marks the next character as a mnemonic (drawn
//   underlined), "&&" stands for one '&', and a final lone '&' is dropped.
// - DT_SINGLELINE: one line; line-break characters are kept but advance 0.
//   Otherwise "\r\n", "\n" and "\r" each end a line (so "a\n" is two lines,
//   the second empty, and an empty text is one empty line).
// - DT_WORDBREAK without DT_SINGLELINE: a line also ends before a word that
//   would take it past boxWidth; the spaces at such a break are dropped. A
//   word wider than boxWidth stays whole on its own line.
// Words are runs of characters other than ' ' and '\t'. Throws
// std::bad_alloc when memory runs out.
void LayOutText(const wchar_t* text, size_t count, unsigned format, int64_t boxWidth,
                const std::function<int(char32_t)>& advance, TextLayout& out);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_TEXT_TEXTLAYOUT_H
