// CCEDraw: the canvas. A display surface plus a current pen and brush; every
// drawing call writes RGB565 pixels into the back buffer, and nothing reaches
// the screen before Flip.
//
// Pixels are RGB565 (red 15..11, green 10..5, blue 4..0). Colour words are
// 0x00RRGGBB. Weights (opacities) are in 32nds: 0 leaves the destination,
// 32 replaces it. Two point tests, both with signed comparisons against the
// canvas width w and height h: the pixel test (0 <= x < w, 0 <= y < h) that
// every written pixel passes, and the corner test (0 <= x <= w,
// 0 <= y <= h) used to reject shapes quickly.
//
// Coordinates are 32-bit values as in tagPOINT. On LP64 systems a `long`
// argument can hold more; such values are saturated to the 32-bit range.
#ifndef ZORVA_CCEDRAW_H
#define ZORVA_CCEDRAW_H

#include "CCEGDIObject.h"
#include "CCEGraphics.h"

class CCEBitmap;

class ZORVA_API CCEDraw : public CCEGraphics {
public:
    CCEPen* m_pPen;     // current pen, not owned; may be null
    CCEBrush* m_pBrush; // current brush, not owned; may be null

    CCEDraw();
    ~CCEDraw();
    // Copies every field, the surface's by its ownership rule (CCEGraphics)
    // and the pen and brush pointers as they are.
    CCEDraw(const CCEDraw& other);
    CCEDraw& operator=(const CCEDraw& other);

    // ---- Colours
    // 0x00RRGGBB to RGB565, keeping the top 5, 6 and 5 bits, no rounding.
    unsigned short ConvertColor(unsigned long dwColor);
    // Components 0..255 to RGB565; larger ones spill into the next field.
    unsigned short ConvertColor(int r, int g, int b);
    // Three bytes blue, green, red to RGB565.
    unsigned short GetBitmapPointColor(unsigned char* pColor);

    // ---- Whole canvas
    // Every byte of the back buffer becomes the low byte of the value, so
    // each pixel is (b << 8) | b. Always 1 (nothing to do without a back
    // buffer).
    int Clear(unsigned long dwValue);
    // Every pixel becomes the pen's colour; a null pen means the current
    // pen. 0 and error 114 when there is no pen at all, else 1.
    int Clear(CCEPen* pPen);

    // ---- Pixels and points
    // Writes the pixel when (x, y), read as signed 32-bit values, passes the
    // pixel test.
    void DrawPixel(unsigned long x, unsigned long y, unsigned short wColor);
    // 1 when (x, y) fails the corner test, else 0.
    int IsPointOutside(long x, long y);

    // ---- Pens and brushes
    // Selects a pen (tag 10000) or brush (tag 10001) and returns the one it
    // replaces. Null stores error 113 and returns null; any other tag changes
    // nothing and returns null.
    CCEGDIObject* SetGDIObject(CCEGDIObject* pObject);
    // 10000: the current pen; 10001: the current brush; else null.
    CCEGDIObject* GetGDIObject(unsigned long dwType);

    // ---- Lines and outlines. All return 1 whether or not anything was
    // drawn, except the point-array calls for a null array.

    // A span from x1 to x2 (both included) on row y1; nothing unless
    // y1 == y2. Colour -1 (0xFFFF) stands for the current pen's colour when a
    // pen is selected, and is white otherwise.
    int DrawHLine(long x1, long y1, long x2, long y2, short wColor);
    // A span from y1 to y2 (both included) in column x1; nothing unless
    // x1 == x2. Colour as for DrawHLine.
    int DrawVLine(long x1, long y1, long x2, long y2, short wColor);
    // Bresenham's line in the current pen's colour, both end points drawn;
    // nothing when neither end passes the corner test. Without a selected
    // pen nothing is drawn.
    int DrawLine(long x1, long y1, long x2, long y2);
    int DrawLine(tagPOINT& ptStart, tagPOINT& ptEnd);
    // The outline through the four coordinates, corners included, in the
    // current pen's colour (white without a pen); nothing when neither corner
    // passes the corner test.
    int DrawRect(long left, long top, long right, long bottom);
    int DrawRect(tagRECT& rc);
    // Lines from each point to the next. 0 for a null array; nothing drawn
    // for fewer than 2 points or when no point passes the pixel test.
    int DrawPolyline(tagPOINT* pPoints, int nCount);
    // Lines from each point to the next and a closing line from the first
    // point to the last. 0 for a null array; nothing drawn when no point
    // passes the pixel test (count <= 0 included).
    int DrawPolygon(tagPOINT* pPoints, int nCount);

    // ---- Filled rectangles
    // Fills columns left to right - 1 of rows top to bottom - 1 (corners in
    // any order) with the current brush's colour: opaque at opacity 32, else
    // blended with BlendRGB565 at that weight (0 leaves the canvas; weights
    // above 32 take the same arithmetic). Nothing when neither corner passes
    // the corner test, or when no brush is selected. Always 1.
    int FillRect(long left, long top, long right, long bottom, unsigned char bOpacity);
    int FillRect(tagRECT& rc, unsigned char bOpacity);

    // ---- Polygons, bitmaps, text and fades

    // Fills the polygon (closed implicitly, vertices moved by the offsets)
    // with the current brush's colour by the even-odd rule, one DrawHLine per
    // span (so a brush colour of 0xFFFF means the pen's colour when a pen is
    // selected). A side from (x0, y0) at the top to (x1, y1) at the bottom
    // crosses the rows y0 <= y < y1 at x0 + (y - y0)(x1 - x0)/(y1 - y0)
    // rounded up; each pair of sorted crossings xl <= xr paints columns xl
    // to xr - 1, and a pair sharing one x paints x - 1 and x.
    // Nothing is drawn unless at least one moved vertex lies on the canvas
    // (0 <= x < width, 0 <= y < height) and there are at least 3 vertices.
    // 0 for a null array or when the edge records cannot be allocated (one
    // allocation per call; byte counts beyond 32 bits are refused the same
    // way), else 1. Without a selected brush nothing is drawn and nothing
    // allocated (1). Integer vertices are moved exactly (no 32-bit
    // wrap-around). Float vertices are moved and tested in single precision,
    // then truncated toward zero; sums beyond the 32-bit range saturate and
    // NaN counts as 0. Only the rows on the canvas cost time, however far the
    // vertices lie.
    int FillPolygon(tagPOINT* pPoints, int nCount, int xOffset, int yOffset);
    int FillPolygon(tagFLOATPOINT* pPoints, int nCount, int xOffset, int yOffset);

    // pBitmap->BitBlt(this, ...) with the other arguments unchanged, and its
    // result. A null pBitmap has nothing to draw: 0.
    int DrawBitmap(CCEBitmap* pBitmap, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                   unsigned long dwRop, unsigned char bOpacity);

    // One line of nCount characters in white in the default font
    // (sans-serif, 12-pixel characters): the platform renders the text
    // centred in a box of its measured size cx x cy, and every pixel of that
    // rendering that differs from the box's bottom-left pixel turns canvas
    // pixel (x + i, y + k + 1) white for text row k = 0 .. cy - 2, where the
    // pixel test passes; the rest of the canvas is left as it was. Nothing
    // is drawn when no corner of the box passes the corner test. uFormat is
    // not used and the pen is ignored. The text need not end in a null but
    // must hold nCount characters. Nothing is drawn for a null point or
    // text, nCount <= 0 or above 2^20, a box of no width, or a box above
    // 16384 pixels on a side (the largest work image made). Always 1.
    int DrawTextW(tagPOINT* pPoint, const wchar_t* pszText, int nCount, unsigned int uFormat);

    // Whole-screen fades, each frame presented with Flip between one
    // BeginDraw and one EndDraw; the back buffer keeps the last frame. A
    // frame scales every channel v to floor(v * level / 32). The step is how
    // much the level changes per frame; 0 counts as 1, and steps above 32
    // (2^31 and beyond included) behave as 32: a single frame. While the
    // surface is suspended the frames are still computed (Flip refuses
    // them). Without a back buffer (never created, or released) nothing is
    // done.
    //
    // FadeOut scales the back buffer in place at levels 31, 31 - step, ...
    // while above 9, each frame compounding the last: 22 frames for steps 0
    // and 1 ending black, one frame for steps of 22 and more.
    void FadeOut(unsigned long dwStep);
    // FadeIn copies the back buffer (one allocation, freed at the end) and
    // shows the copy at levels 8, 8 + step, ... while below 33; it ends on
    // the picture only when the step divides 24 (step 5 ends at 28/32).
    // Without memory for the copy nothing is drawn or presented.
    void FadeIn(unsigned long dwStep);

protected:
    // 0 for a null array, 1 for a count <= 0; otherwise 0 as soon as a point
    // lies beyond the canvas on both axes (both below 0, or both at or above
    // the size), else 1.
    int IsAllPointInside(tagPOINT* pPoints, int nCount);
    // 0 for a null array, 1 for a count <= 0; otherwise 1 when no point
    // passes the pixel test.
    int IsAllPointOutside(tagPOINT* pPoints, int nCount);
    // Bit (7 - s) of the pattern for s = (position - 1) mod 256 below 8,
    // else 0: positions 1..8 read bits 7..0.
    int TestPoint(unsigned int uPattern, int nPosition);
};

#endif // ZORVA_CCEDRAW_H
