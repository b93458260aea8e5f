// CCEBitmap: an image in memory. Dense RGB565 pixels (row after row, top row
// first, m_nWidth pixels each, so pixel (x, y) is element y * m_nWidth + x),
// an optional alpha plane of one weight per pixel in 32nds (0 transparent,
// 32 opaque; loaded images carry 0..31), and what the loaders keep for an
// image that came through the imaging service.
//
// Invariants: a present m_pPixels holds at least m_nWidth x m_nHeight x 2
// bytes; a nonzero m_bARGB means m_pAlpha is present with at least
// m_nWidth x m_nHeight bytes. A bitmap without a pixel buffer is empty:
// blits of it draw nothing and report failure.
//
// Buffer growth rule, used by every member that gives the bitmap a new size:
// when the recorded size (m_cbPixels, m_cbAlpha) is below the bytes needed
// the buffer is reallocated to exactly that; the recorded size then becomes
// the bytes needed, also when that is less than before. Blocks never shrink.
// When a buffer cannot be grown the member fails and that buffer is absent
// (and m_bARGB is never left set without an alpha plane). Byte counts that do
// not fit 32 bits fail before anything changes.
//
// Ownership: the bitmap owns its buffers, its frame-delay record and its
// interfaces. Copies (copy constructor, operator=) share all of them: every
// holder owns one reference, and the last one to let go frees. Drawing into
// one copy shows in the other for as long as neither is given a larger size;
// a copy that grows a shared buffer gets a buffer of its own with the old
// contents and leaves the other its block. So destroying, unloading or
// re-sizing either copy never frees twice or leaves the other pointing at
// freed memory.
//
// Members that take a canvas read its geometry and back buffer directly
// (CCEGraphics fields); none of them sets the canvas's error record.
#ifndef ZORVA_CCEBITMAP_H
#define ZORVA_CCEBITMAP_H

#include "ZorvaTypes.h"

class CCEDraw;

class ZORVA_API CCEBitmap {
public:
    int32_t m_nWidth;
    int32_t m_nHeight;
    WORD* m_pPixels;                // RGB565 pixels; owned
    DWORD m_cbPixels;               // the size the pixel buffer was last sized to
    IPOutlookApp* m_pPOOM;          // contact store application; owned
    IImagingFactory* m_pImgFactory; // imaging factory; owned
    int m_bARGB;                    // nonzero: the alpha plane is in use
    BYTE* m_pAlpha;                 // one weight per pixel; owned
    DWORD m_cbAlpha;                // the size the alpha plane was last sized to
    PropertyItem* m_pFrames;        // frame delays of an animated image; owned
    IImage* m_pImage;               // decoded image kept for reloading; owned

    // ---- Lifecycle

    // An empty bitmap: no buffers or interfaces, size 0 x 0, no alpha.
    CCEBitmap();
    // Gives back everything the bitmap holds (see Ownership).
    ~CCEBitmap();
    CCEBitmap(const CCEBitmap& other);
    // Copies every field; the two bitmaps then share what they hold.
    CCEBitmap& operator=(const CCEBitmap& other);

    // Size 0 x 0, no alpha, recorded sizes 0, frame delays freed. The buffers
    // are freed only when bFree is nonzero; otherwise they stay allocated and
    // the next sizing reallocates them. The interfaces stay. Always 1.
    int Unload(int bFree);

    // Sizes the bitmap to nWidth x nHeight (0 takes the canvas's width or
    // height) and sets every byte of its pixels to the low byte of uFill
    // (a byte value, not a colour: 0 black, 255 white). With bAlpha nonzero
    // the alpha plane is sized too and filled with 32, and m_bARGB becomes 1;
    // otherwise m_bARGB becomes 0 and an older plane stays allocated. 0 for a
    // null canvas, negative sizes or byte counts beyond 32 bits (nothing
    // changes), or when a buffer cannot be grown (width and height keep their
    // old values; the failed buffer is absent); else 1.
    int Surface(CCEDraw* pDraw, int nWidth, int nHeight, unsigned int uFill, int bAlpha);

    tagSIZE GetSize();
    int IsARGB();
    // The corner test: 1 when x < 0, y < 0, x > m_nWidth or y > m_nHeight.
    int IsPointOutsideBmp(long x, long y);

    // ---- Blits onto the canvas and into other bitmaps

    // Draws the nWidth x nHeight rectangle at (xSrc, ySrc) of this bitmap
    // (0 takes the whole width or height) with its top-left corner at canvas
    // pixel (x, y). Clipping, in this order: against the bitmap (w + xSrc >
    // W cuts w to W - xSrc, the same for h), against the canvas's right and
    // bottom with x and y as passed, then against the top (y < 0 moves ySrc
    // down by -y); canvas pixel (x + i, y + j) takes bitmap pixel (xSrc + i,
    // ySrc + j), and columns left of 0 are not drawn.
    //
    // With m_bARGB set the alpha plane decides and dwRop is ignored: weight
    // a = (alpha * bOpacity) >> 5; 0 leaves the pixel, 32 copies, any other
    // weight writes BlendRGB565(canvas, source, a). Otherwise by dwRop:
    // SRCCOPY copies; BLT_ALPHA blends every pixel with bOpacity;
    // BLT_TRANSPARENT skips pixels equal to the key (the bitmap's pixel at
    // column xSrc of the first row drawn, also when x < 0 leaves that column
    // undrawn) and copies the others at bOpacity 32, blends them otherwise;
    // any other mode draws nothing.
    //
    // 0 when pDraw is null, the bitmap has no pixel buffer, m_bARGB is set
    // without an alpha plane (it cannot be drawn as flagged), or xSrc or
    // ySrc is negative (no pixel and no key there: nothing is drawn).
    // Otherwise 1, whether or not anything was drawn. Sizes and positions of
    // any magnitude are clipped without overflow; source origins at or
    // beyond the bitmap clip to nothing. Opacities (and alpha bytes) above
    // 32 keep the same packed arithmetic, with its wrapped results, and
    // never reach outside a buffer.
    int BitBlt(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
               unsigned long dwRop, unsigned char bOpacity);
    // BitBlt at twice the size: bitmap pixel (xSrc + i, ySrc + j) fills the
    // 2 x 2 block (x + i, y + j) of the canvas's grid of (width >> 1) x
    // (height >> 1) blocks; an odd last column or row is never drawn. A
    // blended block takes one value, worked out from its top-left pixel.
    // Clipping, results and the choices above as for BitBlt.
    int BitBlt2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                 unsigned long dwRop, unsigned char bOpacity);
    // BitBlt onto the canvas turned by bRotation: 1 a quarter turn
    // anticlockwise (view Hc x Wc from m_pLastRowStart, view pixel (u, v)
    // is canvas (v, Hc - 1 - u)), 4 clockwise (from m_pFirstRowEnd, view
    // (u, v) is canvas (Wc - 1 - v, u)), any other code unturned. x and y
    // are view coordinates; clipping works on the view. Results and choices
    // as for BitBlt.
    int BitRot(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
               unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation);
    // BitBlt2x onto the view of BitRot.
    int BitRot2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                 unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation);
    // BitBlt of pSrc's rectangle into this bitmap's pixels (x, y in this
    // bitmap), by the same clipping, modes, key and weights. Only this
    // bitmap's pixels change: its alpha plane and m_bARGB are neither read
    // nor changed, nothing of pSrc changes, pDraw is only tested for null.
    // Rows go from the top, each from the left, every source pixel read just
    // before its destination pixel is written; that order also fixes the
    // result when pSrc is this bitmap (or a copy sharing its buffer) and the
    // rectangles overlap.
    //
    // 0 when pDraw is null or this bitmap has no pixel buffer, and, since
    // nothing could be merged, when pSrc is null, has no pixel buffer, has
    // m_bARGB set without an alpha plane, or xSrc or ySrc is negative;
    // nothing changes then. Otherwise 1, whether or not anything was drawn.
    int Merge(CCEDraw* pDraw, CCEBitmap* pSrc, int x, int y, int nWidth, int nHeight, int xSrc,
              int ySrc, unsigned long dwRop, unsigned char bOpacity);
    // Makes this bitmap the last nRows rows of pSrc upside down (0: a third
    // of its height), pixels copied unchanged, with an alpha plane whose rows
    // fall from 22 by 18 / rows each (repeated double subtraction, fraction
    // dropped: 22 20 18 16 14 12 11 9 7 5 for 10 rows); m_bARGB becomes 1.
    // The source's alpha is ignored. 0 and nothing changed for a null pSrc, a
    // source without pixels or rows (or whose recorded buffer size does not
    // cover its width and height), nRows negative or above the source's
    // height, a third that is 0 rows, or byte counts beyond 32 bits. 0 and an
    // empty bitmap when a buffer cannot be grown. pSrc may be this bitmap, or
    // a copy sharing its pixel block: the rows are then mirrored in place
    // (rows both read and written are swapped), giving what a separate source
    // would; a source that shares the block sees the result.
    int Shadow(CCEBitmap* pSrc, int nRows);

    // ---- Drawing into the bitmap
    // The canvas primitives on the bitmap's own pixels: the colour is always
    // the RGB565 value given (0xFFFF is white), the alpha plane is neither
    // read nor written, and a pixel is written only when it passes the pixel
    // test 0 <= x < m_nWidth, 0 <= y < m_nHeight. A bitmap whose pixel
    // buffer is absent or recorded smaller than its size (a failed growth
    // keeps the old size) has no pixel to write. All but DrawPixelBmp
    // return 1 whether or not they drew.

    // x and y are read as signed 32-bit values.
    void DrawPixelBmp(unsigned long x, unsigned long y, unsigned short wColor);
    // Row y1 from x1 to x2, both included, cut to the bitmap; nothing unless
    // y1 == y2.
    int DrawHLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    // Column x1 from y1 to y2, both included; nothing unless x1 == x2.
    int DrawVLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    // Bresenham's line, both ends included; nothing when neither end passes
    // the corner test (IsPointOutsideBmp).
    int DrawLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    // The outline, corners included, as four spans; nothing when neither
    // corner passes the corner test.
    int DrawRectBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    // Columns x1 to x2 and rows y1 to y2, all four bounds included (corners
    // in any order), cut to the bitmap: opaque at opacity 32, else blended
    // with BlendRGB565 at that weight (0 changes nothing; weights above 32
    // take the same arithmetic). Nothing when neither corner passes the
    // corner test.
    int FillRectBmp(long x1, long y1, long x2, long y2, unsigned char bOpacity,
                    unsigned short wColor);

    // ---- Transforms

    int Rotate(unsigned char byOrientation);
    int Clone(CCEBitmap* pSrc, int nWidth, int nHeight, int x, int y);
    int Stretch(CCEBitmap* pSrc, int nWidth, int nHeight, int bSmooth);
    int FreeRotate(CCEBitmap* pSrc, int nAngle, unsigned long fill);
    int StretchEx(CCEBitmap* pSrc, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                  unsigned long fill, int bReflect, int last);

    // ---- Images, text, files and the screen

    int LoadBitmapW(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                    unsigned int uBoxWidth, unsigned int uBoxHeight, int bKeep);
    int ImageLoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                      unsigned int uBoxWidth, unsigned int uBoxHeight);
    long GetBitmapFromStream(CCEDraw* pDraw, IStream* pStream, unsigned int* puBoxWidth,
                             unsigned int* puBoxHeight);
    int LoadGIF(CCEDraw* pDraw, const wchar_t* pszFile, unsigned int uFrame,
                unsigned int& uFrameCount, unsigned int& uReserved);
    long GetFrameDelay(unsigned int uIndex);
    int Crop(CCEDraw* pDraw, const wchar_t* pszFile, unsigned int uWidth, unsigned int uHeight,
             int x, int y, unsigned int uCropWidth, unsigned int uCropHeight,
             unsigned char bOrientation);
    int ImageCrop(CCEDraw* pDraw, CCEBitmap* pSrc, unsigned int uWidth, unsigned int uHeight, int x,
                  int y, unsigned int uCropWidth, unsigned int uCropHeight,
                  unsigned char bOrientation);
    int SaveFile(const wchar_t* pszFile);
    int CaptureScreen(CCEDraw* pDraw);
    int LoadText(CCEDraw* pDraw, long lHeight, long lWeight, unsigned long dwTextColor,
                 const wchar_t* pszText, unsigned int uFormat, int bFullWidth, int nExtraWidth,
                 unsigned long dwBackColor);

protected:
    int LoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                 unsigned int uBoxWidth, unsigned int uBoxHeight);
    int LoadARGBImage(CCEDraw* pDraw, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                      tagRECT rcSrc);
    int LoadResizeImage(CCEDraw* pDraw, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                        tagRECT rcSrc);
    long EnsureImgFactory();

private:
    void Adopt(const CCEBitmap& other);
    void GiveBack();
};

#endif // ZORVA_CCEBITMAP_H
