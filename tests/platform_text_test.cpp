// Fonts and text of the drawing contexts: face matching, the height and
// weight conventions, measuring, and DrawTextW's placement, colours,
// clipping and flags checked against measured extents.
#include "platform/gdi/Gdi.h"
#include "platform/text/Fonts.h"
#include "platform/text/TextLayout.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace pf = zorva::platform;

namespace {

class Text : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

pf::LOGFONTW Record(const wchar_t* face, int32_t height, int32_t weight = 400) {
    pf::LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    std::wcsncpy(lf.lfFaceName, face, 32);
    return lf;
}

std::shared_ptr<pf::SizedFont> FontData(HGDIOBJ font) {
    return std::static_pointer_cast<pf::SizedFont>(font->fontData);
}

// A memory context holding a section of the given depth, every byte preset.
struct Canvas {
    Canvas(int width, int height, int bits = 24, uint8_t fill = 0x40) {
        pf::BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = WORD(bits);
        dc = pf::CreateCompatibleDC(nullptr);
        section = pf::CreateDIBSection(dc, &info, pf::DIB_RGB_COLORS, &bits_, nullptr, 0);
        EXPECT_NE(section, nullptr);
        std::memset(bits_, fill, size_t(section->image.stride) * size_t(height));
        previous = pf::SelectObject(dc, section);
    }
    ~Canvas() {
        pf::SelectObject(dc, previous);
        EXPECT_TRUE(pf::DeleteObject(section));
        EXPECT_TRUE(pf::DeleteDC(dc));
    }
    uint32_t At(int x, int y) const {
        uint8_t r, g, b;
        pf::ReadRgb(section->image, x, y, r, g, b);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }
    std::vector<uint8_t> Bytes() const {
        const uint8_t* p = static_cast<const uint8_t*>(bits_);
        return std::vector<uint8_t>(p, p + size_t(section->image.stride) * section->image.height);
    }
    int Width() const { return section->image.width; }
    int Height() const { return section->image.height; }
    // The smallest box holding every pixel that differs from `background`;
    // left > right when there is none.
    struct Box {
        int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
        bool Empty() const { return right < left; }
    };
    Box Ink(uint32_t background) const {
        Box b;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x)
                if (At(x, y) != background) {
                    b.left = std::min(b.left, x);
                    b.right = std::max(b.right, x);
                    b.top = std::min(b.top, y);
                    b.bottom = std::max(b.bottom, y);
                }
        return b;
    }
    HDC dc = nullptr;
    HGDIOBJ section = nullptr, previous = nullptr;
    void* bits_ = nullptr;
};

tagSIZE Extent(HDC dc, const std::wstring& text) {
    tagSIZE size{-1, -1};
    EXPECT_TRUE(
        pf::GetTextExtentExPointW(dc, text.c_str(), int(text.size()), 0, nullptr, nullptr, &size));
    return size;
}

// Rows of 'H' that carry ink at a font height.
int CapHeight(const wchar_t* face, int32_t height) {
    Canvas c(80, 80, 24, 0xFF);
    pf::LOGFONTW lf = Record(face, height);
    HGDIOBJ font = pf::CreateFontIndirectW(&lf);
    HGDIOBJ old = pf::SelectObject(c.dc, font);
    tagRECT r{0, 0, 80, 80};
    pf::DrawTextW(c.dc, L"H", 1, &r, 0);
    pf::SelectObject(c.dc, old);
    pf::DeleteObject(font);
    const Canvas::Box ink = c.Ink(0xFFFFFF);
    return ink.Empty() ? 0 : ink.bottom - ink.top + 1;
}

std::string Shell(const char* command) {
    std::string out;
    if (FILE* p = popen(command, "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

} // namespace

TEST_F(Text, FacesAreTheInstalledBestMatch) {
    // fontconfig's own command-line tool names the same family.
    const std::string expected = Shell("fc-match -f '%{family[0]}' Tahoma:weight=80");
    ASSERT_FALSE(expected.empty()) << "fc-match is missing";
    pf::LOGFONTW lf = Record(L"Tahoma", -14);
    HGDIOBJ font = pf::CreateFontIndirectW(&lf);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(FontData(font)->FamilyName(), expected);
    EXPECT_EQ(font->kind, HGDIOBJ__::Kind::Font);
    EXPECT_TRUE(pf::DeleteObject(font));

    // An installed family resolves to itself: a monospaced face measures
    // every character alike.
    lf = Record(L"DejaVu Sans Mono", -14);
    font = pf::CreateFontIndirectW(&lf);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(FontData(font)->FamilyName(), "DejaVu Sans Mono");
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ old = pf::SelectObject(dc, font);
    EXPECT_EQ(Extent(dc, L"iiii").cx, Extent(dc, L"MMMM").cx);
    EXPECT_FALSE(pf::DeleteObject(font)); // still selected
    pf::SelectObject(dc, old);
    EXPECT_TRUE(pf::DeleteObject(font));
    pf::DeleteDC(dc);

    // The default face and size of a new context.
    dc = pf::CreateCompatibleDC(nullptr);
    const tagSIZE byDefault = Extent(dc, L"Default text");
    lf = Record(L"sans-serif", -12);
    font = pf::CreateFontIndirectW(&lf);
    old = pf::SelectObject(dc, font);
    const tagSIZE explicitly = Extent(dc, L"Default text");
    EXPECT_EQ(byDefault.cx, explicitly.cx);
    EXPECT_EQ(byDefault.cy, explicitly.cy);
    pf::SelectObject(dc, old);
    pf::DeleteObject(font);
    pf::DeleteDC(dc);
}

TEST_F(Text, HeightConventions) {
    HDC dc = pf::CreateCompatibleDC(nullptr);
    for (int32_t h : {9, 12, 20, 33}) {
        // Positive: the cell (the line) is exactly that tall.
        pf::LOGFONTW lf = Record(L"Tahoma", h);
        HGDIOBJ cell = pf::CreateFontIndirectW(&lf);
        HGDIOBJ old = pf::SelectObject(dc, cell);
        EXPECT_EQ(Extent(dc, L"x").cy, h);
        // Negative: the character's em is that tall, so the line (ascent
        // plus descent) is taller.
        lf = Record(L"Tahoma", -h);
        HGDIOBJ em = pf::CreateFontIndirectW(&lf);
        pf::SelectObject(dc, em);
        EXPECT_GT(Extent(dc, L"x").cy, h);
        pf::SelectObject(dc, old);
        pf::DeleteObject(cell);
        pf::DeleteObject(em);
    }
    pf::DeleteDC(dc);
    // A capital stands about 0.7 em tall in the sans faces.
    const int cap = CapHeight(L"Tahoma", -20);
    EXPECT_GE(cap, 12);
    EXPECT_LE(cap, 16);
    EXPECT_LT(CapHeight(L"Tahoma", 20), cap);
    EXPECT_GT(CapHeight(L"Tahoma", -40), 2 * cap - 3);

    // Heights beyond the limit, and a null record, give no font.
    pf::LOGFONTW lf = Record(L"Tahoma", -(pf::kMaxFontHeight + 1));
    EXPECT_EQ(pf::CreateFontIndirectW(&lf), nullptr);
    lf.lfHeight = INT32_MIN;
    EXPECT_EQ(pf::CreateFontIndirectW(&lf), nullptr);
    lf.lfHeight = pf::kMaxFontHeight + 1;
    EXPECT_EQ(pf::CreateFontIndirectW(&lf), nullptr);
    EXPECT_EQ(pf::CreateFontIndirectW(nullptr), nullptr);
    lf.lfHeight = 0; // the default size
    HGDIOBJ font = pf::CreateFontIndirectW(&lf);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(FontData(font)->LineHeight(), pf::DefaultFont()->LineHeight());
    pf::DeleteObject(font);
}

TEST_F(Text, WeightPicksTheBoldFaceOrThickens) {
    pf::LOGFONTW lf = Record(L"Tahoma", -20, 400);
    HGDIOBJ regular = pf::CreateFontIndirectW(&lf);
    lf.lfWeight = 700;
    HGDIOBJ bold = pf::CreateFontIndirectW(&lf);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    EXPECT_NE(FontData(bold)->StyleName().find("Bold"), std::string::npos);
    EXPECT_FALSE(FontData(bold)->Synthetic());
    EXPECT_EQ(FontData(regular)->StyleName().find("Bold"), std::string::npos);
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ old = pf::SelectObject(dc, regular);
    const int regularWidth = Extent(dc, L"Bold text").cx;
    pf::SelectObject(dc, bold);
    EXPECT_GT(Extent(dc, L"Bold text").cx, regularWidth);
    pf::SelectObject(dc, old);
    pf::DeleteDC(dc);
    pf::DeleteObject(regular);
    pf::DeleteObject(bold);

    // Thickening: the regular face's strokes get wider and darker.
    std::string file;
    int index = 0;
    bool boldFace = true;
    ASSERT_TRUE(pf::MatchFont("DejaVu Sans", 400, false, &file, &index, &boldFace));
    EXPECT_FALSE(boldFace);
    auto plain = pf::OpenFontFile(file, index, -20, false);
    auto thick = pf::OpenFontFile(file, index, -20, true);
    ASSERT_TRUE(plain && thick);
    EXPECT_TRUE(thick->Synthetic());
    auto ink = [](const pf::GlyphImage& g) {
        long sum = 0;
        for (int i = 0; i < g.width * g.height; ++i)
            sum += g.coverage[i];
        return sum;
    };
    const long plainInk = ink(plain->Glyph(U'H'));
    EXPECT_GT(ink(thick->Glyph(U'H')), plainInk + plainInk / 8);
    EXPECT_GE(thick->Advance(U'H'), plain->Advance(U'H'));
}

TEST_F(Text, ExtentsAddUpAdvances) {
    HDC dc = pf::CreateCompatibleDC(nullptr);
    const std::wstring text = L"Measure me";
    int dx[16] = {};
    int fit = -1;
    tagSIZE whole{};
    ASSERT_TRUE(
        pf::GetTextExtentExPointW(dc, text.c_str(), int(text.size()), 0, nullptr, dx, &whole));
    int sum = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        sum += Extent(dc, text.substr(i, 1)).cx;
        EXPECT_EQ(dx[i], sum);
    }
    EXPECT_EQ(whole.cx, sum);
    EXPECT_EQ(whole.cy, pf::DefaultFont()->LineHeight());
    // How many fit: exactly up to dx[3], one short of dx[4].
    tagSIZE size{};
    ASSERT_TRUE(
        pf::GetTextExtentExPointW(dc, text.c_str(), int(text.size()), dx[3], &fit, nullptr, &size));
    EXPECT_EQ(fit, 4);
    EXPECT_EQ(size.cx, whole.cx);
    ASSERT_TRUE(pf::GetTextExtentExPointW(dc, text.c_str(), int(text.size()), dx[4] - 1, &fit,
                                          nullptr, &size));
    EXPECT_EQ(fit, 4);
    // No characters: no width, still a line's height.
    ASSERT_TRUE(pf::GetTextExtentExPointW(dc, text.c_str(), 0, 0, nullptr, nullptr, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, whole.cy);
    // Controls take no room.
    EXPECT_EQ(Extent(dc, L"a\tb\n").cx, Extent(dc, L"ab").cx);
    // Bad arguments.
    EXPECT_FALSE(pf::GetTextExtentExPointW(nullptr, L"a", 1, 0, nullptr, nullptr, &size));
    EXPECT_FALSE(pf::GetTextExtentExPointW(dc, nullptr, 1, 0, nullptr, nullptr, &size));
    EXPECT_FALSE(pf::GetTextExtentExPointW(dc, L"a", -1, 0, nullptr, nullptr, &size));
    EXPECT_FALSE(pf::GetTextExtentExPointW(dc, L"a", 1, 0, nullptr, nullptr, nullptr));
    // The screen measures in the default font too.
    HDC screen = pf::GetDC(nullptr);
    EXPECT_EQ(Extent(screen, text).cx, whole.cx);
    pf::ReleaseDC(nullptr, screen);
    pf::DeleteDC(dc);
}

TEST_F(Text, GlyphsBlendBetweenTextAndBackground) {
    Canvas c(120, 40);
    const tagSIZE size = Extent(c.dc, L"Colour");
    pf::SetTextColor(c.dc, 0x0000FF); // red, as a colour reference
    pf::SetBkColor(c.dc, 0x00FF00);   // green
    tagRECT r{5, 7, 120, 40};
    EXPECT_EQ(pf::DrawTextW(c.dc, L"Colour", -1, &r, 0), size.cy);
    int red = 0, mixed = 0;
    for (int y = 0; y < c.Height(); ++y) {
        for (int x = 0; x < c.Width(); ++x) {
            const uint32_t p = c.At(x, y);
            const bool inLine = x >= 5 && x < 5 + size.cx && y >= 7 && y < 7 + size.cy;
            if (!inLine) {
                EXPECT_EQ(p, 0x404040u) << x << "," << y;
                continue;
            }
            // Every pixel of the line box lies between red and green.
            const uint32_t rr = p >> 16, gg = (p >> 8) & 0xFF, bb = p & 0xFF;
            EXPECT_EQ(bb, 0u);
            EXPECT_NEAR(int(rr + gg), 255, 1) << x << "," << y;
            red += p == 0xFF0000;
            mixed += rr > 0 && gg > 0;
        }
    }
    EXPECT_GT(red, 10);
    EXPECT_GT(mixed, 10); // anti-aliased edges

    // Transparent: the background stays, ink still blends over it.
    Canvas t(120, 40);
    pf::SetBkMode(t.dc, pf::TRANSPARENT);
    pf::SetTextColor(t.dc, 0xFFFFFF);
    pf::DrawTextW(t.dc, L"Colour", -1, &r, 0);
    int kept = 0, white = 0;
    for (int y = 7; y < 7 + size.cy; ++y)
        for (int x = 5; x < 5 + size.cx; ++x) {
            const uint32_t p = t.At(x, y);
            kept += p == 0x404040;
            white += p == 0xFFFFFF;
            EXPECT_EQ(p >> 16, p & 0xFF); // grey between 0x40 and 0xFF
            EXPECT_GE(p & 0xFF, 0x40u);
        }
    EXPECT_GT(kept, size.cx * size.cy / 2);
    EXPECT_GT(white, 10);
}

TEST_F(Text, AlignmentFollowsTheMeasuredExtent) {
    const std::wstring word = L"Wide";
    const int width = 200, height = 60;
    auto inkOf = [&](unsigned format, int* result) {
        Canvas c(width, height, 24, 0xFF);
        tagRECT r{0, 0, width, height};
        *result = pf::DrawTextW(c.dc, word.c_str(), int(word.size()), &r, format);
        return c.Ink(0xFFFFFF);
    };
    Canvas probe(1, 1);
    const tagSIZE size = Extent(probe.dc, word);
    const int lineHeight = size.cy;
    int top = 0, result = 0;
    const Canvas::Box left = inkOf(pf::DT_LEFT | pf::DT_SINGLELINE, &top);
    ASSERT_FALSE(left.Empty());
    EXPECT_EQ(top, lineHeight);
    const Canvas::Box right = inkOf(pf::DT_RIGHT | pf::DT_SINGLELINE, &result);
    EXPECT_EQ(right.left - left.left, width - size.cx);
    EXPECT_EQ(right.top, left.top);
    const Canvas::Box centre = inkOf(pf::DT_CENTER | pf::DT_SINGLELINE, &result);
    EXPECT_EQ(centre.left - left.left, (width - size.cx) / 2);

    // Vertical placement of a single line, and the height reported: the
    // distance from the top to the text's bottom.
    const Canvas::Box middle = inkOf(pf::DT_VCENTER | pf::DT_SINGLELINE, &result);
    EXPECT_EQ(middle.top - left.top, (height - lineHeight) / 2);
    EXPECT_EQ(result, (height - lineHeight) / 2 + lineHeight);
    const Canvas::Box bottom = inkOf(pf::DT_BOTTOM | pf::DT_SINGLELINE, &result);
    EXPECT_EQ(bottom.top - left.top, height - lineHeight);
    EXPECT_EQ(result, height);
    // Vertical flags do not move several lines.
    const Canvas::Box multi = inkOf(pf::DT_BOTTOM, &result);
    EXPECT_EQ(multi.top, left.top);
    EXPECT_EQ(result, lineHeight);
}

TEST_F(Text, WordBreakAndCalculatedRectangle) {
    Canvas c(300, 100, 24, 0xFF);
    const tagSIZE twoWords = Extent(c.dc, L"alpha beta");
    const tagSIZE last = Extent(c.dc, L"gamma");
    const int lineHeight = twoWords.cy;
    const std::wstring text = L"alpha beta gamma";

    // The box is exactly as wide as the first two words.
    tagRECT calc{10, 20, 10 + twoWords.cx, 21};
    const std::vector<uint8_t> before = c.Bytes();
    EXPECT_EQ(pf::DrawTextW(c.dc, text.c_str(), -1, &calc, pf::DT_WORDBREAK | pf::DT_CALCRECT),
              2 * lineHeight);
    EXPECT_EQ(c.Bytes(), before); // nothing drawn
    EXPECT_EQ(calc.left, 10);
    EXPECT_EQ(calc.top, 20);
    EXPECT_EQ(calc.right, 10 + twoWords.cx);
    EXPECT_EQ(calc.bottom, 20 + 2 * lineHeight);

    tagRECT r{10, 20, 10 + twoWords.cx, 100};
    EXPECT_EQ(pf::DrawTextW(c.dc, text.c_str(), -1, &r, pf::DT_WORDBREAK), 2 * lineHeight);
    // Ink of the second line starts below the first, at the left edge, and
    // is no wider than "gamma".
    Canvas::Box second;
    for (int y = 20 + lineHeight; y < 100; ++y)
        for (int x = 0; x < 300; ++x)
            if (c.At(x, y) != 0xFFFFFF) {
                second.left = std::min(second.left, x);
                second.right = std::max(second.right, x);
                second.bottom = std::max(second.bottom, y);
            }
    ASSERT_FALSE(second.Empty());
    EXPECT_LT(second.left, 10 + 3);
    EXPECT_LE(second.right - second.left, last.cx);
    EXPECT_LT(second.bottom, 20 + 2 * lineHeight);

    // Explicit breaks stack lines; the calculated width is the widest.
    tagRECT lines{0, 0, 1, 1};
    EXPECT_EQ(pf::DrawTextW(c.dc, L"a\nalpha beta\nb", -1, &lines, pf::DT_CALCRECT),
              3 * lineHeight);
    EXPECT_EQ(lines.right, twoWords.cx);
    // A single line's calculated rectangle bounds its text.
    tagRECT single{4, 4, 5, 5};
    EXPECT_EQ(pf::DrawTextW(c.dc, L"alpha beta", -1, &single, pf::DT_CALCRECT | pf::DT_SINGLELINE),
              lineHeight);
    EXPECT_EQ(single.right, 4 + twoWords.cx);
    EXPECT_EQ(single.bottom, 4 + lineHeight);
}

TEST_F(Text, MnemonicUnderlinesOneCharacter) {
    auto render = [](const wchar_t* text, unsigned format) {
        Canvas c(60, 30, 24, 0xFF);
        tagRECT r{0, 0, 60, 30};
        pf::DrawTextW(c.dc, text, -1, &r, format);
        return c.Bytes();
    };
    Canvas probe(1, 1);
    const int advance = Extent(probe.dc, L"x").cx;
    auto font = pf::DefaultFont();
    const int row = font->Ascent() + font->UnderlineOffset();

    Canvas marked(60, 30, 24, 0xFF);
    tagRECT r{0, 0, 60, 30};
    pf::DrawTextW(marked.dc, L"&xy", -1, &r, 0);
    Canvas plain(60, 30, 24, 0xFF);
    pf::DrawTextW(plain.dc, L"xy", -1, &r, 0);
    // The underline: the whole advance of 'x' in the text colour, on rows
    // where "xy" alone has no ink; every other pixel as without the mark.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool line = y >= row && y < row + font->UnderlineThickness() && x < advance;
            if (line) {
                EXPECT_EQ(marked.At(x, y), 0u) << x << "," << y;
                EXPECT_EQ(plain.At(x, y), 0xFFFFFFu) << x << "," << y;
            } else {
                EXPECT_EQ(marked.At(x, y), plain.At(x, y)) << x << "," << y;
            }
        }
    // "&&" draws one ampersand; without prefixes '&' is drawn as it is.
    EXPECT_EQ(render(L"a&&b", 0), render(L"a&b", pf::DT_NOPREFIX));
    EXPECT_NE(render(L"a&b", 0), render(L"a&b", pf::DT_NOPREFIX));
}

TEST_F(Text, ClippedToTheRectangleAndTheImage) {
    // A rectangle smaller than the text: nothing outside it changes.
    Canvas c(100, 40);
    tagRECT r{10, 5, 30, 15};
    pf::DrawTextW(c.dc, L"Clipped text", -1, &r, 0);
    Canvas::Box ink = c.Ink(0x404040);
    ASSERT_FALSE(ink.Empty());
    EXPECT_GE(ink.left, 10);
    EXPECT_LT(ink.right, 30);
    EXPECT_GE(ink.top, 5);
    EXPECT_LT(ink.bottom, 15);
    // Without clipping the text runs on past the rectangle.
    Canvas n(100, 40);
    pf::DrawTextW(n.dc, L"Clipped text", -1, &r, pf::DT_NOCLIP);
    ink = n.Ink(0x404040);
    EXPECT_GT(ink.right, 30);
    // Rectangles reaching far beyond the image on every side.
    Canvas e(16, 8);
    tagRECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_GT(pf::DrawTextW(e.dc, L"Far", -1, &huge,
                            pf::DT_CENTER | pf::DT_VCENTER | pf::DT_SINGLELINE | pf::DT_NOCLIP),
              0);
    tagRECT negative{-5, -9, 11, 3};
    pf::DrawTextW(e.dc, L"Edge", -1, &negative, pf::DT_RIGHT);
}

TEST_F(Text, OtherImageLayoutsAndContexts) {
    // 5-5-5 sections and 16-bit device images take the text colour as
    // their own format holds it.
    Canvas s(60, 20, 16, 0);
    pf::SetTextColor(s.dc, 0x0000FF);
    pf::SetBkColor(s.dc, 0);
    tagRECT r{0, 0, 60, 20};
    pf::DrawTextW(s.dc, L"Red", -1, &r, 0);
    bool full = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            uint16_t p;
            std::memcpy(&p, s.section->image.RowAddress(y) + 2 * x, 2);
            EXPECT_EQ(p & 0x83FF, 0) << "only red bits";
            full |= p == 0x7C00;
        }
    EXPECT_TRUE(full);

    HGDIOBJ device = pf::CreateBitmap(60, 20, 1, 16, nullptr);
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ old = pf::SelectObject(dc, device);
    pf::SetTextColor(dc, 0x0000FF);
    pf::DrawTextW(dc, L"Red", -1, &r, 0);
    full = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            uint16_t p;
            std::memcpy(&p, device->image.RowAddress(y) + 2 * x, 2);
            full |= p == 0xF800;
        }
    EXPECT_TRUE(full);
    pf::SelectObject(dc, old);
    pf::DeleteObject(device);

    // Without an image of its own a memory context still answers.
    const int lineHeight = pf::DefaultFont()->LineHeight();
    EXPECT_EQ(pf::DrawTextW(dc, L"Nothing", -1, &r, 0), lineHeight);
    pf::DeleteDC(dc);
    // The screen only calculates.
    HDC screen = pf::GetDC(nullptr);
    tagRECT calc{0, 0, 10, 10};
    EXPECT_EQ(pf::DrawTextW(screen, L"Screen", -1, &calc, 0), 0);
    EXPECT_EQ(pf::DrawTextW(screen, L"Screen", -1, &calc, pf::DT_CALCRECT), lineHeight);
    pf::ReleaseDC(nullptr, screen);

    // Bad arguments.
    Canvas c(4, 4);
    EXPECT_EQ(pf::DrawTextW(nullptr, L"a", -1, &r, 0), 0);
    EXPECT_EQ(pf::DrawTextW(c.dc, nullptr, -1, &r, 0), 0);
    EXPECT_EQ(pf::DrawTextW(c.dc, L"a", -1, nullptr, 0), 0);
    EXPECT_EQ(pf::DrawTextW(c.dc, L"a", -2, &r, 0), 0);
    // Texts beyond the length limit are refused before anything is made.
    const std::wstring longText(pf::kMaxTextLength + 1, L'a');
    EXPECT_EQ(pf::DrawTextW(c.dc, longText.c_str(), -1, &r, 0), 0);
    tagSIZE size{};
    EXPECT_FALSE(pf::GetTextExtentExPointW(c.dc, longText.c_str(), int(longText.size()), 0, nullptr,
                                           nullptr, &size));
    // An empty text is one empty line.
    EXPECT_EQ(pf::DrawTextW(c.dc, L"", -1, &r, 0), lineHeight);
}

TEST_F(Text, ManyFontsComeAndGo) {
    // More sizes than the library keeps open, created and dropped in turn;
    // text keeps working and nothing leaks (the sanitizer build checks).
    HDC dc = pf::CreateCompatibleDC(nullptr);
    for (int round = 0; round < 2; ++round)
        for (int32_t h = 8; h < 40; h += 3) {
            pf::LOGFONTW lf = Record(round ? L"DejaVu Serif" : L"Tahoma", -h, 400 + 300 * (h & 1));
            HGDIOBJ font = pf::CreateFontIndirectW(&lf);
            ASSERT_NE(font, nullptr);
            HGDIOBJ old = pf::SelectObject(dc, font);
            EXPECT_GT(Extent(dc, L"Size").cy, h);
            pf::SelectObject(dc, old);
            EXPECT_TRUE(pf::DeleteObject(font));
        }
    pf::DeleteDC(dc);
}
