// Line layout with made-up advances: every printable character 10 pixels,
// controls 0, so line contents and widths can be worked out by hand.
#include "platform/gdi/GdiApi.h"
#include "platform/text/TextLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pf = zorva::platform;

namespace {

int TenEach(char32_t c) {
    return c < 0x20 ? 0 : 10;
}

pf::TextLayout Lay(const std::wstring& text, unsigned format, int64_t boxWidth = 1000) {
    pf::TextLayout layout;
    pf::LayOutText(text.c_str(), text.size(), format, boxWidth, TenEach, layout);
    return layout;
}

// The lines as strings, for comparing with the expected breaks.
std::vector<std::u32string> Lines(const pf::TextLayout& layout) {
    std::vector<std::u32string> out;
    for (const pf::LaidOutLine& line : layout.lines) {
        std::u32string s;
        for (size_t i = line.first; i < line.first + line.count; ++i)
            s += layout.chars[i].ch;
        out.push_back(s);
    }
    return out;
}

std::vector<int64_t> Widths(const pf::TextLayout& layout) {
    std::vector<int64_t> out;
    for (const pf::LaidOutLine& line : layout.lines)
        out.push_back(line.width);
    return out;
}

using Strings = std::vector<std::u32string>;
using Ints = std::vector<int64_t>;

} // namespace

TEST(TextLayout, PrefixesMarkTheNextCharacter) {
    pf::TextLayout l = Lay(L"&File", pf::DT_SINGLELINE);
    ASSERT_EQ(l.chars.size(), 4u);
    EXPECT_EQ(l.chars[0].ch, U'F');
    EXPECT_TRUE(l.chars[0].underline);
    EXPECT_FALSE(l.chars[1].underline);
    EXPECT_EQ(l.width, 40);

    // "&&" is one ampersand, a final lone '&' is dropped.
    l = Lay(L"a&&b&", pf::DT_SINGLELINE);
    EXPECT_EQ(Lines(l), Strings{U"a&b"});
    for (const pf::LaidOutChar& c : l.chars)
        EXPECT_FALSE(c.underline);

    // Without prefixes every ampersand is a character.
    l = Lay(L"a&b&&", pf::DT_SINGLELINE | pf::DT_NOPREFIX);
    EXPECT_EQ(Lines(l), Strings{U"a&b&&"});
    EXPECT_EQ(l.width, 50);

    // A prefix before a line break marks nothing; the break still breaks.
    l = Lay(L"a&\nb", 0);
    EXPECT_EQ(Lines(l), (Strings{U"a", U"b"}));
    for (const pf::LaidOutChar& c : l.chars)
        EXPECT_FALSE(c.underline);
}

TEST(TextLayout, LineBreaks) {
    EXPECT_EQ(Lines(Lay(L"ab\r\ncd\ref\ngh", 0)), (Strings{U"ab", U"cd", U"ef", U"gh"}));
    EXPECT_EQ(Lines(Lay(L"ab\n", 0)), (Strings{U"ab", U""}));
    EXPECT_EQ(Lines(Lay(L"\n\n", 0)), (Strings{U"", U"", U""}));
    EXPECT_EQ(Lines(Lay(L"", 0)), Strings{U""});
    EXPECT_EQ(Lay(L"", 0).width, 0);
    // One line: breaks are kept as characters of no width.
    const pf::TextLayout l = Lay(L"ab\r\ncd", pf::DT_SINGLELINE);
    EXPECT_EQ(l.lines.size(), 1u);
    EXPECT_EQ(l.width, 40);
    EXPECT_EQ(Widths(Lay(L"abc\nd\nef", 0)), (Ints{30, 10, 20}));
    EXPECT_EQ(Lay(L"abc\nd\nef", 0).width, 30);
}

TEST(TextLayout, WordBreaks) {
    // "aaa bbb" is 70 pixels: it fits 70 and 75 but not 69.
    EXPECT_EQ(Lines(Lay(L"aaa bbb ccc", pf::DT_WORDBREAK, 75)), (Strings{U"aaa bbb", U"ccc"}));
    EXPECT_EQ(Lines(Lay(L"aaa bbb ccc", pf::DT_WORDBREAK, 70)), (Strings{U"aaa bbb", U"ccc"}));
    EXPECT_EQ(Lines(Lay(L"aaa bbb ccc", pf::DT_WORDBREAK, 69)), (Strings{U"aaa", U"bbb", U"ccc"}));
    // The spaces at a break are dropped and not counted.
    const pf::TextLayout l = Lay(L"aa   bb", pf::DT_WORDBREAK, 40);
    EXPECT_EQ(Lines(l), (Strings{U"aa", U"bb"}));
    EXPECT_EQ(Widths(l), (Ints{20, 20}));
    // A word wider than the box keeps a line of its own, whole.
    EXPECT_EQ(Lines(Lay(L"a verylongword b", pf::DT_WORDBREAK, 50)),
              (Strings{U"a", U"verylongword", U"b"}));
    EXPECT_EQ(Lay(L"a verylongword b", pf::DT_WORDBREAK, 50).width, 120);
    // Hard breaks still break, and each paragraph wraps on its own.
    EXPECT_EQ(Lines(Lay(L"aa bb\ncc dd", pf::DT_WORDBREAK, 30)),
              (Strings{U"aa", U"bb", U"cc", U"dd"}));
    // Tabs separate words like spaces.
    EXPECT_EQ(Lines(Lay(L"aa\tbb", pf::DT_WORDBREAK, 30)), (Strings{U"aa", U"bb"}));
    // A single line is never wrapped.
    EXPECT_EQ(Lines(Lay(L"aaa bbb ccc", pf::DT_WORDBREAK | pf::DT_SINGLELINE, 30)),
              Strings{U"aaa bbb ccc"});
    // Without the flag, nothing wraps.
    EXPECT_EQ(Lines(Lay(L"aaa bbb ccc", 0, 30)), Strings{U"aaa bbb ccc"});
}
