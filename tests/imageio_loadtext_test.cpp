// Text rendered into bitmaps: sizes, placement, colours, the ampersand,
// failures.
#include "CCEBitmap.h"
#include "backends/fonts/Fonts.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"
#include "system/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace pf = zorva::platform;

namespace {

// The extent of a text in "Tahoma": its advances and the line height.
tagSIZE Tahoma(const std::wstring& text, int32_t height, int32_t weight = 400) {
    zorva::backends::FontRequest request;
    request.family = "Tahoma";
    request.height = height;
    request.weight = weight;
    auto font = zorva::backends::OpenFont(request);
    tagSIZE size{0, font->LineHeight()};
    for (wchar_t c : text)
        size.cx += font->Advance(c);
    return size;
}

std::vector<uint16_t> Pixels(const CCEBitmap& b) {
    return std::vector<uint16_t>(b.m_pPixels,
                                 b.m_pPixels + size_t(b.m_nWidth) * size_t(b.m_nHeight));
}

} // namespace

TEST(LoadText, WidthOfTheTextOrOfTheScreenByTurn) {
    CCEBitmap b;
    const std::wstring text = L"Forty characters of text for the bitmap!";
    const int lh = Tahoma(text, -14).cy;
    // Full width: the canvas width, or its height on a display turned a
    // quarter, plus the extra, all of it background (white through 5-5-5);
    // the height is the laid-out text's.
    for (int turn : {0, 1, 2, 4}) {
        zorva::VirtualDisplayConfig config = zt::Dense(240, 320);
        config.orientation = turn;
        zt::TestCanvas t(config);
        ASSERT_EQ(b.LoadText(&t.canvas, -14, 400, 0, L"Turn", 0, 1, 5, 0xFFFFFF), 1);
        EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_pPixels[b.m_nWidth - 1]),
                  zt::Values(turn & 5 ? 325 : 245, lh, 0xFFDF))
            << "turn " << turn;
    }
    // Otherwise the text's extent; bold is as wide as measured, wider than
    // regular; a positive height is the line's height, a negative one the
    // em's, so the line is taller.
    zt::TestCanvas t(zt::Dense(240, 320));
    EXPECT_EQ(b.LoadText(&t.canvas, -14, 400, 0xFFFFFF, text.c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight), zt::Values(Tahoma(text, -14).cx, lh));
    EXPECT_GT(lh, 14);
    EXPECT_EQ(b.LoadText(&t.canvas, 20, 700, 0xFFFFFF, text.c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight), zt::Values(Tahoma(text, 20, 700).cx, 20));
    EXPECT_GT(b.m_nWidth, Tahoma(text, 20).cx);
}

TEST(LoadText, PlacementFlagsAndWordBreaks) {
    // A full-width line on the 240 x 320 display: its ink starts where the
    // horizontal flag puts it; a vertically placed single line ends lower,
    // and the bitmap is as tall as the laid-out text (odd room halves down).
    zt::TestCanvas t(zt::Dense(240, 320));
    const tagSIZE s = Tahoma(L"Wide", -14);
    const unsigned S = pf::DT_SINGLELINE;
    const std::tuple<unsigned, int, int> cases[] = {
        {S, 0, s.cy},
        {pf::DT_RIGHT | S, 240 - s.cx, s.cy},
        {pf::DT_CENTER | S, (240 - s.cx) / 2, s.cy},
        {pf::DT_VCENTER | S, 0, (320 - s.cy) / 2 + s.cy},
        {pf::DT_BOTTOM | S, 0, 320},
        {pf::DT_BOTTOM, 0, s.cy}}; // vertical flags place single lines only
    int left0 = -1;
    for (auto [format, dx, height] : cases) {
        CCEBitmap b;
        ASSERT_EQ(b.LoadText(&t.canvas, -14, 400, 0xFFFFFF, L"Wide", format, 1, 0, 0), 1);
        int left = b.m_nWidth;
        for (int i = 0; i < b.m_nWidth * b.m_nHeight; ++i)
            left = b.m_pPixels[i] ? std::min(left, i % b.m_nWidth) : left;
        left0 = left0 < 0 ? left : left0;
        EXPECT_EQ(zt::Values(left - left0, b.m_nHeight), zt::Values(dx, height)) << format;
    }
    // Word breaks in a line exactly as wide as the first two words.
    CCEBitmap b;
    const int two = Tahoma(L"alpha beta", -14).cx;
    ASSERT_EQ(
        b.LoadText(&t.canvas, -14, 400, 0, L"alpha beta gamma", pf::DT_WORDBREAK, 1, two - 240, 0),
        1);
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight), zt::Values(two, 2 * s.cy));
}

TEST(LoadText, ColourReferencesAndAmpersand) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 300, 40, 0, 1), 1);
    // 0xFF as a colour reference is red (as a canvas colour word, blue); the
    // plane goes out of use.
    ASSERT_EQ(b.LoadText(&t.canvas, -16, 700, 0xFF, L"Red text", 0, 0, 0, 0), 1);
    EXPECT_EQ(b.m_bARGB, 0);
    const std::vector<uint16_t> px = Pixels(b);
    EXPECT_GT(std::count(px.begin(), px.end(), 0xF800), 20);
    EXPECT_EQ(std::count_if(px.begin(), px.end(), [](uint16_t p) { return p & 0x07FF; }), 0);
    // DT_NOPREFIX is added whatever the caller asks: the same pixels as
    // with the flag given, and 'B' drawn after the ampersand's advance.
    CCEBitmap given;
    ASSERT_EQ(given.LoadText(&t.canvas, -20, 400, 0xFFFFFF, L"A&B", pf::DT_NOPREFIX, 0, 0, 0), 1);
    ASSERT_EQ(b.LoadText(&t.canvas, -20, 400, 0xFFFFFF, L"A&B", 0, 0, 0, 0), 1);
    EXPECT_EQ(Pixels(b), Pixels(given));
    int ink = 0;
    for (int i = 0, start = Tahoma(L"A&", -20).cx; i < b.m_nWidth * b.m_nHeight; ++i)
        ink += i % b.m_nWidth >= start && b.m_pPixels[i] != 0;
    EXPECT_GT(ink, 10);
}

TEST(LoadText, FailuresLeaveTheBitmapConsistent) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    std::wstring lines; // more lines than 16384 pixels hold
    for (int i = 0; i < 2000; ++i)
        lines += L"a\n";
    // clang-format off
    const std::tuple<CCEDraw*, long, const wchar_t*, int, int> bad[] = {
        {&t.canvas, -12, nullptr, 0, 0}, {nullptr, -12, L"x", 1, 0}, {&t.canvas, -12, L"", 0, 0},
        {&t.canvas, -12, L"x", 1, -240}, {&t.canvas, -12, L"x", 1, 20000},
        {&t.canvas, -12, L"x", 1, INT32_MAX}, {&t.canvas, -5000, L"x", 0, 0},
        {&t.canvas, -12, lines.c_str(), 0, 0}, {&t.canvas, long(INT32_MIN) - 5, L"x", 0, 0}};
    using E = zorva::LoadError;
    const E reasons[] = {E::BadArgument, E::BadArgument, E::BadArgument, E::BadBox, E::TooLarge,
                         E::TooLarge, E::BadArgument, E::TooLarge, E::BadArgument};
    // clang-format on
    // Each refusal keeps the size, drops the picture and says why.
    for (const auto& row : bad) {
        auto [canvas, height, text, fullWidth, extra] = row;
        ASSERT_EQ(b.Surface(&t.canvas, 8, 4, 0x5A, 0), 1);
        EXPECT_EQ(b.LoadText(canvas, height, 400, 0, text, 0, fullWidth, extra, 0), 0);
        EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_pPixels == nullptr), zt::Values(8, 4, 1));
        EXPECT_EQ(zorva::GetLoadError(), reasons[&row - bad]);
    }
    // An empty text in full-width mode is one line of background; without
    // full width no canvas is needed.
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"", 0, 1, 0, 0xFF0000), 1); // blue
    EXPECT_EQ(zt::Values(b.m_nWidth, b.m_pPixels[120]), zt::Values(240, 0x001F));
    EXPECT_EQ(b.LoadText(nullptr, -12, 400, 0, L"x", 0, 0, 0, 0), 1);
    // Each allocation of a full-width render failing in turn (the drawing
    // context and its objects, the drawing surface, the read-back image, the
    // pixels) leaves the old size, without a picture.
    int failures = 0;
    for (long n = 1; n < 20; ++n) {
        CCEBitmap c;
        ASSERT_EQ(c.Surface(&t.canvas, 6, 2, 0x33, 0), 1);
        zorva::FailAllocation(n);
        const int result = c.LoadText(&t.canvas, -12, 400, 0, L"Memory", 0, 1, 0, 0);
        zorva::FailAllocation(0);
        zt::ExpectConsistent(c);
        EXPECT_EQ(c.m_nWidth, result ? 240 : 6) << "allocation " << n;
        if (result) break;
        EXPECT_EQ(zt::Values(c.m_nHeight, c.m_pPixels == nullptr), zt::Values(2, 1)) << n;
        EXPECT_EQ(zorva::GetLoadError(), zorva::LoadError::OutOfMemory);
        ++failures;
    }
    EXPECT_GE(failures, 3);
}
