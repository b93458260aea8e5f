// CCEDraw: the canvas. A display surface plus a current pen and brush; every
// drawing call writes RGB565 pixels into the back buffer, and nothing reaches
// the screen before Flip. Weights are in 32nds (0 keeps, 32 replaces). The
// pixel test is 0 <= x < w, 0 <= y < h, the corner test 0 <= x <= w,
// 0 <= y <= h (signed); `long` coordinates saturate to 32 bits. A canvas
// without a back buffer draws nothing. See docs/canvas.md.
#ifndef ZORVA_CCEDRAW_H
#define ZORVA_CCEDRAW_H

#include "CCEGDIObject.h"
#include "CCEGraphics.h"

class CCEBitmap;

class ZORVA_API CCEDraw : public CCEGraphics {
public:
    CCEPen* m_pPen;     // current pen, not owned; may be null
    CCEBrush* m_pBrush; // current brush, not owned; may be null

    // No display, no pen, no brush.
    CCEDraw();
    ~CCEDraw();
    // Copies the surface by its ownership rule (see CCEGraphics) and the pen
    // and brush pointers as they are.
    CCEDraw(const CCEDraw& other);
    CCEDraw& operator=(const CCEDraw& other);

    // ---- Colours
    // ConvertColor(dwColor): 0x00RRGGBB to RGB565, keeping the top 5, 6 and 5
    // bits of each byte (no rounding; the top byte is ignored).
    // ConvertColor(r, g, b): components 0..255 the same way; components out
    // of range spill into the neighbouring field. GetBitmapPointColor: three
    // bytes blue, green, red; 0 for a null pointer. See docs/canvas.md.
    unsigned short ConvertColor(unsigned long dwColor);
    unsigned short ConvertColor(int r, int g, int b);
    unsigned short GetBitmapPointColor(unsigned char* pColor);

    // ---- Whole canvas
    // Clear(dwValue): every byte of the back buffer, padding included, becomes
    // the value's low byte b, so each pixel is (b << 8) | b; always 1.
    // Clear(pPen): every pixel becomes the pen's colour (null: the current
    // pen); 0 with error 114 when there is no pen at all, else 1.
    int Clear(unsigned long dwValue);
    int Clear(CCEPen* pPen);

    // ---- Pixels and points
    // DrawPixel writes the pixel when (x, y), their low 32 bits read as
    // signed values, passes the pixel test. IsPointOutside: 1 when (x, y)
    // fails the corner test, else 0.
    void DrawPixel(unsigned long x, unsigned long y, unsigned short wColor);
    int IsPointOutside(long x, long y);

    // ---- Pens and brushes
    // SetGDIObject selects a pen (tag 10000) or brush (tag 10001), which the
    // canvas does not own, and returns the one it replaces. Null stores error
    // 113 and returns null; any other tag changes nothing and returns null.
    // GetGDIObject: 10000 the current pen, 10001 the current brush, else null.
    CCEGDIObject* SetGDIObject(CCEGDIObject* pObject);
    CCEGDIObject* GetGDIObject(unsigned long dwType);

    // ---- Lines and outlines. All return 1 whether or not anything was
    // drawn, except the point-array calls for a null array.

    // DrawHLine: row y1 from x1 to x2, nothing unless y1 == y2; DrawVLine:
    // column x1 from y1 to y2, nothing unless x1 == x2. Both ends included,
    // cut to the canvas. Colour -1 (0xFFFF) stands for the current pen's
    // colour when a pen is selected, and is white otherwise.
    int DrawHLine(long x1, long y1, long x2, long y2, short wColor);
    int DrawVLine(long x1, long y1, long x2, long y2, short wColor);
    // Bresenham's line in the current pen's colour, both end points drawn,
    // pixels off the canvas skipped. Nothing without a selected pen or when
    // neither end passes the corner test. See docs/canvas.md.
    int DrawLine(long x1, long y1, long x2, long y2);
    int DrawLine(tagPOINT& ptStart, tagPOINT& ptEnd);
    // The outline through the four coordinates, corners included, in the
    // current pen's colour (white without a pen); nothing when neither corner
    // passes the corner test.
    int DrawRect(long left, long top, long right, long bottom);
    int DrawRect(tagRECT& rc);
    // DrawLine from each point to the next. 0 for a null array; nothing
    // drawn for fewer than 2 points or when no point passes the pixel test.
    // The array must hold nCount points.
    int DrawPolyline(tagPOINT* pPoints, int nCount);
    // DrawPolyline's lines and a closing line from the first point to the
    // last. 0 for a null array; nothing drawn when no point passes the pixel
    // test (so nothing for a count of 0 or less).
    int DrawPolygon(tagPOINT* pPoints, int nCount);

    // ---- Filled rectangles
    // Fills columns left to right - 1 of rows top to bottom - 1 (corners in
    // any order), cut to the canvas, with the current brush's colour: opaque
    // at opacity 32, else blended at that weight (0 leaves the canvas; above
    // 32 the same arithmetic, wrapped). Nothing without a brush or when
    // neither corner passes the corner test. Always 1.
    int FillRect(long left, long top, long right, long bottom, unsigned char bOpacity);
    int FillRect(tagRECT& rc, unsigned char bOpacity);

    // ---- Polygons, bitmaps, text and fades

    // Fills the polygon (vertices moved by the offsets, exactly for integers;
    // floats in single precision, truncated, saturated, NaN as 0) with the
    // brush's colour by the even-odd rule, one DrawHLine per span. Nothing
    // without a brush, with fewer than 3 vertices or none on the canvas. 0 for
    // a null array or when the edge records cannot be allocated, else 1. See
    // docs/canvas.md.
    int FillPolygon(tagPOINT* pPoints, int nCount, int xOffset, int yOffset);
    int FillPolygon(tagFLOATPOINT* pPoints, int nCount, int xOffset, int yOffset);

    // pBitmap->BitBlt(this, ...) with the other arguments unchanged, and its
    // result; a null pBitmap has nothing to draw: 0. See
    // docs/bitmaps-and-blits.md.
    int DrawBitmap(CCEBitmap* pBitmap, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                   unsigned long dwRop, unsigned char bOpacity);

    // One line of nCount characters in white, default font, its measured box
    // at *pPoint; text row k lands on canvas row y + k + 1 (the last row left
    // out) where the pixel test passes. uFormat and the pen are not used.
    // Nothing drawn for a null point or text, nCount <= 0 or above 2^20, or a
    // box off the canvas, empty or above 16384 pixels a side. Always 1. See
    // docs/text.md.
    int DrawTextW(tagPOINT* pPoint, const wchar_t* pszText, int nCount, unsigned int uFormat);

    // Whole-screen fades, each frame presented with Flip; a frame scales every
    // channel v to floor(v * level / 32). FadeOut scales the back buffer at
    // levels 31, 31 - step, ... while above 9; FadeIn shows a copy of it at 8,
    // 8 + step, ... while below 33. Step 0 counts as 1, steps above 32 as 32.
    // While suspended the frames are computed, not shown; without a back
    // buffer (or, FadeIn, memory for the copy) nothing is done. See docs/canvas.md.
    void FadeOut(unsigned long dwStep);
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
