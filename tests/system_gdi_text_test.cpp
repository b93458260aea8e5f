// Text as the platform draws it for LoadText and DrawTextW: line layout with
// made-up advances, and the blending of glyphs.
#include "backends/fonts/Fonts.h"
#include "system/gdi/Gdi.h"
#include "system/gdi/TextLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace pf = zorva::platform;

namespace {

// A memory context on a 24-bit section, every byte preset.
struct Canvas {
    Canvas(int w, int h, uint8_t fill) {
        pf::BITMAPINFO info{};
        info.bmiHeader = {40, w, h, 1, 24, 0, 0, 0, 0, 0, 0};
        section = pf::CreateDIBSection(dc, &info, pf::DIB_RGB_COLORS, &bits, nullptr, 0);
        std::memset(bits, fill, size_t(section->image.stride) * h);
        pf::SelectObject(dc, section);
    }
    ~Canvas() {
        pf::DeleteDC(dc);
        pf::DeleteObject(section);
    }
    uint32_t At(int x, int y) const {
        uint8_t r, g, b;
        pf::ReadRgb(section->image, x, y, r, g, b);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }
    int Draw(const wchar_t* text, tagRECT r, unsigned format) {
        return pf::DrawTextW(dc, text, -1, &r, format);
    }
    tagSIZE Extent(const std::wstring& s) const {
        tagSIZE size{-1, -1};
        EXPECT_TRUE(pf::GetTextExtentExPointW(dc, s.c_str(), int(s.size()), 0, 0, 0, &size));
        return size;
    }
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ section = nullptr;
    void* bits = nullptr;
};

// Laid out with every printable character 10 pixels and controls 0:
// "line:width|line:width / widest", '^' before an underlined character.
std::string Lay(const std::wstring& text, unsigned format, int64_t box) {
    pf::TextLayout l;
    pf::LayOutText(
        text.c_str(), text.size(), format, box, [](char32_t c) { return c < 0x20 ? 0 : 10; }, l);
    std::string out;
    for (const pf::LaidOutLine& line : l.lines) {
        out += out.empty() ? "" : "|";
        for (size_t i = line.first; i < line.first + line.count; ++i)
            out += std::string(l.chars[i].underline, '^') + char(l.chars[i].ch);
        out += ':' + std::to_string(line.width);
    }
    return out + " / " + std::to_string(l.width);
}

} // namespace

TEST(TextLayout, PrefixesBreaksAndWrapping) {
    const unsigned S = pf::DT_SINGLELINE, W = pf::DT_WORDBREAK, P = pf::DT_NOPREFIX;
    const std::tuple<const wchar_t*, unsigned, int, const char*> cases[] = {
        {L"&File", S, 99, "^File:40 / 40"},
        {L"a&&b&", S, 99, "a&b:30 / 30"}, // "&&" is one '&', a final lone '&' goes
        {L"a&b&&", S | P, 99, "a&b&&:50 / 50"},
        {L"a&\nb", 0, 99, "a:10|b:10 / 10"}, // a prefix before a break marks nothing
        {L"ab\r\ncd\ref\n\ngh\n", 0, 9, "ab:20|cd:20|ef:20|:0|gh:20|:0 / 20"},
        {L"", 0, 99, ":0 / 0"},
        {L"ab\r\ncd", S, 9, "ab\r\ncd:40 / 40"}, // breaks kept, of no width
        // "aaa bbb" is 70 pixels: it fits 70 but not 69.
        {L"aaa bbb ccc", W, 70, "aaa bbb:70|ccc:30 / 70"},
        {L"aaa bbb ccc", W, 69, "aaa:30|bbb:30|ccc:30 / 30"},
        {L"aa \t bb", W, 40, "aa:20|bb:20 / 20"}, // spaces and tabs at a break dropped
        {L"a verylongword b", W, 50, "a:10|verylongword:120|b:10 / 120"},
        {L"aa bb\nc dd", W, 30, "aa:20|bb:20|c:10|dd:20 / 20"},
        {L"aaa bbb", W | S, 30, "aaa bbb:70 / 70"}, // no wrapping on one line
    };
    for (auto [text, format, box, expected] : cases)
        EXPECT_EQ(Lay(text, format, box), expected) << "format " << format;
}

TEST(Text, GlyphsBlendFromEachPixelTowardsTheTextColour) {
    // Reference: grey, the line box in the background colour when opaque,
    // then each glyph's coverage a moving every channel towards the text
    // colour by (under * (255 - a) + text * a + 127) / 255.
    auto font = zorva::backends::DefaultFont();
    const int x0 = 5, y0 = 7, w = 60, h = 40;
    for (bool opaque : {true, false}) {
        Canvas c(w, h, 0x40);
        const tagSIZE line = c.Extent(L"Aj&");
        pf::SetBkMode(c.dc, opaque ? pf::OPAQUE : pf::TRANSPARENT);
        pf::SetTextColor(c.dc, 0x2080C0); // a colour reference: red in the low byte
        pf::SetBkColor(c.dc, 0x00FF00);
        EXPECT_EQ(c.Draw(L"Aj&", {x0, y0, w, h}, pf::DT_NOPREFIX), line.cy);
        std::vector<uint32_t> ref(size_t(w) * h, 0x404040);
        for (int y = y0; opaque && y < y0 + line.cy; ++y)
            std::fill_n(&ref[size_t(y) * w + x0], line.cx, 0x00FF00);
        int pen = x0, inked = 0;
        for (char32_t ch : {U'A', U'j', U'&'}) {
            const zorva::backends::GlyphImage g = font->Glyph(ch);
            for (int j = 0; j < g.height; ++j)
                for (int i = 0; i < g.width; ++i) {
                    const uint32_t a = g.coverage[j * g.width + i];
                    uint32_t& p =
                        ref.at(size_t(y0 + font->Ascent() - g.top + j) * w + pen + g.left + i);
                    for (int s : {16, 8, 0}) {
                        const uint32_t under = p >> s & 0xFF, text = 0xC08020 >> s & 0xFF;
                        p = (p & ~(0xFFu << s)) | ((under * (255 - a) + text * a + 127) / 255) << s;
                    }
                    inked += a > 0;
                }
            pen += g.advance;
        }
        EXPECT_GT(inked, 40);
        for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(c.At(i % w, i / w), ref[i]) << i % w << "," << i / w << " opaque " << opaque;
    }
}
