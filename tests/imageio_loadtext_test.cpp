// Text rendered into bitmaps: sizes in both width modes and every display
// turn, colour references, the 5-5-5 read-back, the ampersand, the alpha
// flag, buffer reuse and every failure path.
#include "CCEBitmap.h"
#include "platform/gdi/Gdi.h"
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pf = zorva::platform;

namespace {

class LoadText : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// The extent of a text in "Tahoma" at a height and weight, measured by the
// platform directly.
tagSIZE TahomaExtent(const std::wstring& text, int32_t height, int32_t weight = 400) {
    pf::LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    std::wcsncpy(lf.lfFaceName, L"Tahoma", 32);
    HDC dc = pf::CreateCompatibleDC(nullptr);
    HGDIOBJ font = pf::CreateFontIndirectW(&lf);
    HGDIOBJ old = pf::SelectObject(dc, font);
    tagSIZE size{};
    EXPECT_TRUE(
        pf::GetTextExtentExPointW(dc, text.c_str(), int(text.size()), 0, nullptr, nullptr, &size));
    pf::SelectObject(dc, old);
    pf::DeleteObject(font);
    pf::DeleteDC(dc);
    return size;
}

uint16_t Pixel(const CCEBitmap& b, int x, int y) {
    return b.m_pPixels[size_t(y) * b.m_nWidth + x];
}

// The bitmap's invariant: the buffer holds the pixels its size needs.
void ExpectConsistent(const CCEBitmap& b) {
    if (b.m_pPixels) {
        EXPECT_GE(uint64_t(b.m_cbPixels), uint64_t(b.m_nWidth) * b.m_nHeight * 2);
    }
}

} // namespace

TEST_F(LoadText, WidthOfTheTextOrOfTheScreen) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    const std::wstring text = L"Forty characters of text for the bitmap!";
    ASSERT_EQ(text.size(), 40u);
    const tagSIZE size = TahomaExtent(text, -14);
    EXPECT_EQ(b.LoadText(&t.canvas, -14, 400, 0xFFFFFF, text.c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(b.m_nWidth, size.cx);
    EXPECT_EQ(b.m_nHeight, size.cy);
    // Bold is wider; a positive height is the line's height.
    EXPECT_EQ(b.LoadText(&t.canvas, 20, 700, 0xFFFFFF, text.c_str(), 0, 0, 0, 0), 1);
    EXPECT_EQ(b.m_nWidth, TahomaExtent(text, 20, 700).cx);
    EXPECT_GT(b.m_nWidth, TahomaExtent(text, 20, 400).cx);
    EXPECT_EQ(b.m_nHeight, 20);

    // Full width on an upright display: the canvas width plus the extra.
    EXPECT_EQ(b.LoadText(&t.canvas, -14, 400, 0xFFFFFF, text.c_str(), 0, 1, 16, 0), 1);
    EXPECT_EQ(b.m_nWidth, 240 + 16);
    EXPECT_EQ(b.m_nHeight, size.cy);
    // Vertically centred on one line: the height reaches the text's bottom
    // in a canvas-tall box.
    EXPECT_EQ(b.LoadText(&t.canvas, -14, 400, 0xFFFFFF, text.c_str(),
                         pf::DT_CENTER | pf::DT_VCENTER | pf::DT_SINGLELINE, 1, 0, 0),
              1);
    EXPECT_EQ(b.m_nWidth, 240);
    EXPECT_EQ(b.m_nHeight, (320 - size.cy) / 2 + size.cy);
    // Word breaks inside the canvas width make several lines.
    const std::wstring many = text + L" " + text + L" " + text;
    EXPECT_EQ(b.LoadText(&t.canvas, -14, 400, 0xFFFFFF, many.c_str(), pf::DT_WORDBREAK, 1, 0, 0),
              1);
    EXPECT_GE(b.m_nHeight, 3 * size.cy);
    EXPECT_EQ(b.m_nHeight % size.cy, 0);
    ExpectConsistent(b);
}

TEST_F(LoadText, FullWidthFollowsTheDisplayTurn) {
    for (int turn : {0, 1, 2, 4}) {
        zorva::VirtualDisplayConfig config = zt::Dense(240, 320);
        config.orientation = turn;
        zt::TestCanvas t(config);
        CCEBitmap b;
        ASSERT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"Turn", 0, 1, 5, 0xFFFFFF), 1);
        const bool upright = turn == 0 || turn == 2;
        EXPECT_EQ(b.m_nWidth, (upright ? 240 : 320) + 5) << "turn " << turn;
        // The whole width holds the background: white, through 5-5-5.
        EXPECT_EQ(Pixel(b, b.m_nWidth - 1, 0), 0xFFDF);
    }
}

TEST_F(LoadText, ColourReferencesAndTheReadBack) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    // 0xFF as a colour reference is red; as a canvas colour word it would
    // be blue.
    ASSERT_EQ(b.LoadText(&t.canvas, -16, 700, 0xFF, L"Red text", 0, 0, 0, 0), 1);
    int red = 0;
    for (int i = 0; i < b.m_nWidth * b.m_nHeight; ++i) {
        const uint16_t p = b.m_pPixels[i];
        EXPECT_EQ(p & 0x07FF, 0) << "green or blue in pixel " << i;
        red += p == 0xF800;
    }
    EXPECT_GT(red, 20);

    // White text on a blue background (0xFF0000 as a reference): every
    // pixel lies between them, and 5-5-5 leaves the lowest green bit 0.
    ASSERT_EQ(b.LoadText(&t.canvas, -16, 400, 0xFFFFFF, L"White", 0, 1, 0, 0xFF0000), 1);
    int white = 0;
    for (int i = 0; i < b.m_nWidth * b.m_nHeight; ++i) {
        const uint16_t p = b.m_pPixels[i];
        EXPECT_EQ(p & 0x0020, 0);
        EXPECT_EQ(p & 0x1F, 0x1F); // blue stays full
        EXPECT_EQ(p >> 11, (p >> 6) & 0x1F) << "grey between blue and white";
        white += p == 0xFFDF;
    }
    EXPECT_GT(white, 10);
    EXPECT_EQ(Pixel(b, 0, 0), 0x001F);
    EXPECT_EQ(Pixel(b, b.m_nWidth - 1, b.m_nHeight - 1), 0x001F);
}

TEST_F(LoadText, AmpersandIsDrawn) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    ASSERT_EQ(b.LoadText(&t.canvas, -20, 400, 0xFFFFFF, L"A&B", 0, 0, 0, 0), 1);
    const int a = TahomaExtent(L"A", -20).cx, amp = TahomaExtent(L"&", -20).cx;
    EXPECT_EQ(b.m_nWidth, TahomaExtent(L"A&B", -20).cx);
    // Ink in the ampersand's own columns (those 'A' and 'B' leave alone).
    int ink = 0;
    for (int y = 0; y < b.m_nHeight; ++y)
        for (int x = a + 2; x < a + amp - 2; ++x)
            ink += Pixel(b, x, y) != 0;
    EXPECT_GT(ink, 10);
    // The flag is added even when the caller's format asks for prefixes:
    // 'B' is not underlined (an underline would ink a whole row across its
    // advance, side bearings included).
    const int bAdvance = TahomaExtent(L"B", -20).cx;
    ASSERT_EQ(b.m_nWidth, a + amp + bAdvance);
    for (int y = 0; y < b.m_nHeight; ++y) {
        int inked = 0;
        for (int x = a + amp; x < b.m_nWidth; ++x)
            inked += Pixel(b, x, y) != 0;
        EXPECT_LT(inked, bAdvance) << "row " << y;
    }
}

TEST_F(LoadText, AlphaFlagClearedAndBufferReused) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 300, 40, 0, 1), 1);
    ASSERT_EQ(b.m_bARGB, 1);
    BYTE* alpha = b.m_pAlpha;
    WORD* pixels = b.m_pPixels;
    ASSERT_EQ(b.LoadText(&t.canvas, -12, 400, 0xFFFFFF, L"Smaller", 0, 0, 0, 0), 1);
    EXPECT_EQ(b.m_bARGB, 0);
    EXPECT_EQ(b.m_pAlpha, alpha); // left allocated
    EXPECT_EQ(b.m_pPixels, pixels);
    EXPECT_EQ(b.m_cbPixels, uint32_t(b.m_nWidth * b.m_nHeight * 2));
    ExpectConsistent(b);
}

TEST_F(LoadText, FailuresChangeNothing) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    ASSERT_EQ(b.Surface(&t.canvas, 8, 4, 0x5A, 0), 1);
    auto unchanged = [&b] {
        EXPECT_EQ(b.m_nWidth, 8);
        EXPECT_EQ(b.m_nHeight, 4);
        EXPECT_EQ(b.m_pPixels[0], 0x5A5A);
    };
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, nullptr, 0, 0, 0, 0), 0);
    unchanged();
    EXPECT_EQ(b.LoadText(nullptr, -12, 400, 0, L"x", 0, 1, 0, 0), 0);
    unchanged();
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"", 0, 0, 0, 0), 0); // no width
    unchanged();
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"x", 0, 1, -240, 0), 0);
    unchanged();
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"x", 0, 1, 20000, 0), 0); // too wide
    unchanged();
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"x", 0, 1, INT32_MAX, 0), 0);
    unchanged();
    EXPECT_EQ(b.LoadText(&t.canvas, -5000, 400, 0, L"x", 0, 0, 0, 0), 0); // font too big
    unchanged();
    EXPECT_EQ(b.LoadText(&t.canvas, long(INT32_MIN) - 5, 400, 0, L"x", 0, 0, 0, 0), 0);
    unchanged();
    // Text taller than any image: more lines than 16384 pixels hold.
    std::wstring lines;
    for (int i = 0; i < 2000; ++i)
        lines += L"a\n";
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, lines.c_str(), 0, 0, 0, 0), 0);
    unchanged();

    // An empty text in full-width mode is one empty line of background.
    EXPECT_EQ(b.LoadText(&t.canvas, -12, 400, 0, L"", 0, 1, 0, 0x00FF00), 1);
    EXPECT_EQ(b.m_nWidth, 240);
    EXPECT_EQ(Pixel(b, 120, 0), 0x07C0);
    // Without full width no canvas is needed.
    EXPECT_EQ(b.LoadText(nullptr, -12, 400, 0, L"x", 0, 0, 0, 0), 1);
}

TEST_F(LoadText, EveryAllocationFailure) {
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap warm;
    ASSERT_EQ(warm.LoadText(&t.canvas, -12, 400, 0, L"Warm", 0, 1, 0, 0), 1);
    // Walk each allocation of a full-width render in turn.
    bool succeeded = false;
    int failures = 0;
    for (long n = 1; n < 20 && !succeeded; ++n) {
        CCEBitmap b;
        ASSERT_EQ(b.Surface(&t.canvas, 6, 2, 0x33, 0), 1);
        zorva::FailAllocation(n);
        const int result = b.LoadText(&t.canvas, -12, 400, 0, L"Memory", 0, 1, 0, 0);
        zorva::FailAllocation(0);
        succeeded = result == 1;
        ExpectConsistent(b);
        if (!succeeded) {
            ++failures;
            EXPECT_EQ(b.m_nWidth, 6) << "allocation " << n;
            EXPECT_EQ(b.m_nHeight, 2) << "allocation " << n;
        } else {
            EXPECT_EQ(b.m_nWidth, 240);
        }
    }
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(failures, 3); // the drawing surface, the read-back image, the pixels
}
