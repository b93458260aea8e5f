// Drawing contexts and their objects, in the shape of the handheld
// platform's graphics device interface: memory contexts holding an image,
// device-independent sections with addressable bottom-up rows, solid brushes,
// fonts and text, block copies with format conversion, and the screen.
#ifndef ZORVA_SYSTEM_GDIAPI_H
#define ZORVA_SYSTEM_GDIAPI_H

#include "ZorvaTypes.h"

namespace zorva::platform {

typedef DWORD COLORREF; // 0x00BBGGRR: red in the low byte
typedef HGDIOBJ HBITMAP;
typedef HGDIOBJ HFONT;
typedef HGDIOBJ HBRUSH;

constexpr COLORREF MakeColorRef(BYTE r, BYTE g, BYTE b) {
    return COLORREF(r) | COLORREF(g) << 8 | COLORREF(b) << 16;
}

struct BITMAPINFOHEADER {
    DWORD biSize; // 40
    int32_t biWidth;
    int32_t biHeight; // positive: bottom row first in memory
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the platform's header is 40 bytes");

struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr unsigned DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY_ROP = 0x00CC0020;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

struct LOGFONTW {
    int32_t lfHeight; // negative: character height in pixels; positive: cell height
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight; // 400 normal, 700 bold
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    wchar_t lfFaceName[32];
};
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE OUT_RASTER_PRECIS = 6;

// The largest image text is laid out on, a side: the text paths of the
// library refuse boxes beyond it.
constexpr int kMaxTextSide = 16384;
// Texts longer than this many characters are not laid out or measured: the
// layout keeps a record per character.
constexpr size_t kMaxTextLength = size_t(1) << 20;

// DrawTextW format flags.
constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;
constexpr unsigned DT_NOPREFIX = 0x0800;

// The display-mode record, as far as the orientation query needs it.
struct DEVMODEW {
    wchar_t dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    DWORD dmDisplayOrientation;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmBitsPerPel;
    DWORD dmReserved[20];
};
constexpr DWORD DM_DISPLAYORIENTATION = 0x00800000;
constexpr DWORD CDS_TEST = 2;
constexpr long DISP_CHANGE_SUCCESSFUL = 0;
constexpr long DISP_CHANGE_BADMODE = -2;

// ---- Contexts. GetDC(null) is the screen: the display of the most recently
// opened window that is still open. Memory contexts start with a 1 x 1
// stock image selected, the default font, opaque white background and black
// text.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
// Selects the context's original objects back and frees it.
BOOL DeleteDC(HDC dc);

// ---- Images. Sections of 16 (5-5-5, blue lowest, top bit unused), 24 (B,
// G, R) or 32 (B, G, R, unused) bits per pixel, rows padded to 4 bytes,
// bottom row first for a positive height. Null for anything else, sizes
// beyond the imaging service's limits (ImageSizeAllowed: 65535 a side,
// 2^26 pixels), or when memory cannot be had. *bits receives the pixels.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, unsigned usage, void** bits,
                         HANDLE section, DWORD offset);
// A device image in the display's own format (16 bits: RGB565), top row
// first; with bits given, they are copied in (rows padded to 2 bytes).
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitCount, const void* bits);

// Selects an image, font or brush into a memory context and returns the one
// it replaces (null on failure). An image can be selected into one context
// at a time.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// FALSE for a stock object or one still selected into a context.
BOOL DeleteObject(HGDIOBJ object);

int SetBkMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF SetTextColor(HDC dc, COLORREF color);

HBRUSH CreateSolidBrush(COLORREF color);
// Fills the rectangle (right and bottom excluded) of the context's image.
int FillRect(HDC dc, const tagRECT* rect, HBRUSH brush);

// SRCCOPY from one context's image (or the screen) to another's, each pixel
// converted through 8-bit channels: narrowing drops low bits, widening
// shifts left without replication. Clipped to both images.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int xSource, int ySource,
            DWORD rop);

// ---- Fonts and text (FreeType, faces found through fontconfig).
//
// The default font of every context is fontconfig's "sans-serif" (DejaVu
// Sans on Debian) at a character height of 12 pixels, normal weight.
// Characters are UTF-32 code points; those below 0x20 (line breaks, tabs,
// other controls) advance 0 and draw nothing. A character the face lacks
// draws the face's missing-glyph shape. Texts of more than 2^20 characters
// are refused.

// A font for the record's face name (the best installed match: "Tahoma"
// gives DejaVu Sans on Debian; an empty name the default face), weight (0
// reads as 400, values above 1000 as 1000; 600 and more ask for bold, and
// a face without a bold variant is thickened instead), italic flag and
// height: negative for the character (em) height in pixels, positive for
// the cell height (the line is then exactly that tall), 0 for the default
// 12 pixels. Other fields are ignored. Null for a null record or a height
// beyond 1024 pixels either way (last error ERROR_INVALID_PARAMETER), when
// no installed face matches (ERROR_FILE_NOT_FOUND), or when the matched
// face cannot be had (ERROR_NOT_ENOUGH_MEMORY: the usual cause).
HFONT CreateFontIndirectW(const LOGFONTW* font);

// Measures `count` characters (count >= 0) in the context's selected font:
// size->cx is the sum of their advances, size->cy the font's line height
// (also for count 0). With `fit`, *fit receives how many leading characters
// fit within maxExtent; with `dx`, dx[i] the width of the first i + 1
// characters, for every character measured (only the fitting ones when
// `fit` is given). FALSE for a null context, text or size, or a bad count.
BOOL GetTextExtentExPointW(HDC dc, const wchar_t* text, int count, int maxExtent, int* fit, int* dx,
                           tagSIZE* size);

// Lays out `count` characters (-1: up to the terminating null) in the
// selected font by the format flags and draws them into the context's
// image: glyph coverage blends each pixel from its own colour towards the
// text colour; in opaque mode each line's box (its width x the line
// height) is first filled with the background colour. Lines are stacked
// from the rectangle's top and aligned left, centred (the spare room
// halved, rounding down, so an odd pixel ends up on the right) or right;
// DT_VCENTER (the same halving) and DT_BOTTOM place a DT_SINGLELINE line
// only. Drawing is clipped to the rectangle (unless
// DT_NOCLIP) and always to the image. Line breaks, word breaks and
// mnemonic prefixes: see system/gdi/TextLayout.h; a marked character is
// underlined across its advance. DT_CALCRECT draws nothing and sets the
// rectangle's right to left + the widest line and bottom to top + the
// text's height. Result: the text's height (lines x line height), or for
// a DT_VCENTER / DT_BOTTOM single line the distance from the rectangle's
// top to the text's bottom. A memory context without an image of its own
// draws nothing but still answers; a screen or window context answers
// only DT_CALCRECT (else 0). 0 for a null context, text or rectangle, or a
// bad count.
int DrawTextW(HDC dc, const wchar_t* text, int count, tagRECT* rect, unsigned format);

// ---- Display settings. With CDS_TEST and DM_DISPLAYORIENTATION in dmFields
// the current orientation (0, 1, 2 or 4) is written to dmDisplayOrientation.
long ChangeDisplaySettingsEx(const wchar_t* device, DEVMODEW* mode, HWND window, DWORD flags,
                             void* param);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_GDIAPI_H
