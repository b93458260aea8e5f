// CCEBitmap: an image in memory. Dense RGB565 pixels (pixel (x, y) is element
// y * m_nWidth + x), an optional alpha plane of one weight per pixel in 32nds,
// used while m_bARGB is set, and what the loaders keep. Buffers grow by one
// rule and copies share them by reference count; a bitmap whose buffers do not
// hold its picture counts as empty, and a failed load leaves none. Members
// that take a canvas never set its error record. See docs/bitmaps-and-blits.md.
#ifndef ZORVA_CCEBITMAP_H
#define ZORVA_CCEBITMAP_H

#include "ZorvaTypes.h"

class CCEDraw;

class ZORVA_API CCEBitmap {
public:
    int32_t m_nWidth;               // pixels a row
    int32_t m_nHeight;              // rows
    WORD* m_pPixels;                // RGB565 pixels; owned
    DWORD m_cbPixels;               // the size the pixel buffer was last sized to
    IPOutlookApp* m_pPOOM;          // contact store application; owned
    IImagingFactory* m_pImgFactory; // imaging factory; owned
    int m_bARGB;                    // nonzero: the alpha plane is in use
    BYTE* m_pAlpha;                 // one weight per pixel in 32nds; owned
    DWORD m_cbAlpha;                // the size the alpha plane was last sized to
    PropertyItem* m_pFrames;        // frame delays of an animated image; owned
    IImage* m_pImage;               // decoded image kept for reloading; owned

    // ---- Lifecycle

    // An empty bitmap: no buffers or interfaces, size 0 x 0, no alpha.
    CCEBitmap();
    // Gives back this bitmap's reference to everything it holds.
    ~CCEBitmap();
    // Copies every field; the two bitmaps then share buffers, delay record
    // and interfaces, each holding its own reference (a copy that grows a
    // shared buffer gets its own). Self-assignment changes nothing.
    CCEBitmap(const CCEBitmap& other);
    CCEBitmap& operator=(const CCEBitmap& other);

    // Size 0 x 0, no alpha, recorded sizes 0, frame delays freed. The buffers
    // are freed only when bFree is nonzero; otherwise they stay allocated and
    // the next sizing reallocates them. The interfaces stay. Always 1.
    int Unload(int bFree);

    // Sizes the bitmap to nWidth x nHeight (0: the canvas's width or height)
    // with every pixel byte the low byte of uFill; with bAlpha the plane too,
    // all 32, and m_bARGB 1, else m_bARGB 0. 0 with nothing changed for a
    // null canvas, a negative size or bytes beyond 32 bits; 0 when a buffer
    // cannot be grown (the old size stays, that buffer absent); else 1.
    int Surface(CCEDraw* pDraw, int nWidth, int nHeight, unsigned int uFill, int bAlpha);

    // GetSize and IsARGB return the fields. IsPointOutsideBmp is the corner
    // test: 1 when x < 0, y < 0, x > m_nWidth or y > m_nHeight (coordinates
    // saturated to 32 bits), else 0.
    tagSIZE GetSize();
    int IsARGB();
    int IsPointOutsideBmp(long x, long y);

    // ---- Blits onto the canvas and into other bitmaps

    // Draws the nWidth x nHeight rectangle at (xSrc, ySrc) (0: the whole width
    // or height) at canvas pixel (x, y), clipped without overflow; the alpha
    // plane decides when m_bARGB is set, else dwRop (SRCCOPY, BLT_ALPHA or
    // BLT_TRANSPARENT, which skips pixels equal to the key; others draw
    // nothing); weights above 32 wrap. The key is the pixel at (xSrc, ySrc) as
    // passed, before any clipping, so a sprite keeps it at every edge. 0 for a
    // null pDraw, a bitmap that does not hold its picture, or a negative xSrc
    // or ySrc (no pixel, no key); else 1. An (xSrc, ySrc) at or beyond the
    // right or bottom edge draws nothing and reads no key (1). See
    // docs/bitmaps-and-blits.md.
    int BitBlt(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
               unsigned long dwRop, unsigned char bOpacity);
    // BitBlt at twice the size: bitmap pixel (xSrc + i, ySrc + j) fills the
    // 2 x 2 block (x + i, y + j) of the canvas's (width >> 1) x (height >> 1)
    // grid (an odd last column or row is never drawn); a blended block takes
    // one value, from its top-left pixel. Clipping, key and results as for
    // BitBlt.
    int BitBlt2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                 unsigned long dwRop, unsigned char bOpacity);
    // BitBlt (BitRot2x: BitBlt2x) onto the canvas seen turned by bRotation: 1
    // a quarter turn anticlockwise from m_pLastRowStart, 4 clockwise from
    // m_pFirstRowEnd, any other code unturned. x, y and the clipping work on
    // the turned view. Key and results as for BitBlt. See
    // docs/bitmaps-and-blits.md.
    int BitRot(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
               unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation);
    int BitRot2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                 unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation);
    // BitBlt of pSrc's rectangle (its key too) into this bitmap's pixels at
    // (x, y); its alpha plane and m_bARGB are untouched, pDraw only tested for
    // null. Rows from the top, pixels from the left, so overlapping
    // self-merges are defined. 0, nothing changed, for a null pDraw or pSrc, a
    // destination without a large enough pixel buffer, a source that does not
    // hold its picture, or a negative xSrc or ySrc; else 1. See
    // docs/bitmaps-and-blits.md.
    int Merge(CCEDraw* pDraw, CCEBitmap* pSrc, int x, int y, int nWidth, int nHeight, int xSrc,
              int ySrc, unsigned long dwRop, unsigned char bOpacity);
    // Makes this bitmap the last nRows rows of pSrc (0: a third of its height)
    // upside down, with weights falling from 22 by 18 / rows per row; m_bARGB
    // 1. 0 with nothing changed for a null or empty pSrc, one whose buffer is
    // recorded short, nRows negative or above its height, 0 rows, or bytes
    // beyond 32 bits; 0 and 0 x 0 when a buffer cannot be grown. pSrc may be
    // this bitmap or share its block. See docs/bitmaps-and-blits.md.
    int Shadow(CCEBitmap* pSrc, int nRows);

    // ---- Drawing into the bitmap: the canvas primitives on the bitmap's own
    // pixels in the RGB565 colour given (0xFFFF is white), the alpha plane
    // neither read nor written. A pixel is written only when it passes the
    // pixel test 0 <= x < m_nWidth, 0 <= y < m_nHeight, and a bitmap that
    // does not hold its picture has none. All but DrawPixelBmp return 1.

    // Writes the pixel when (x, y), their low 32 bits read as signed values,
    // passes the pixel test.
    void DrawPixelBmp(unsigned long x, unsigned long y, unsigned short wColor);
    // Row y1 from x1 to x2 (nothing unless y1 == y2), or column x1 from y1 to
    // y2 (nothing unless x1 == x2), both ends included, cut to the bitmap.
    int DrawHLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    int DrawVLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    // Bresenham's line, both ends included (DrawLineBmp), or the outline,
    // corners included, as four spans (DrawRectBmp); nothing when neither
    // end passes the corner test (IsPointOutsideBmp).
    int DrawLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    int DrawRectBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    // Columns x1 to x2 and rows y1 to y2, all four bounds included (corners
    // in any order), cut to the bitmap: opaque at opacity 32, else blended at
    // that weight (0 changes nothing; above 32 the same arithmetic, wrapped).
    // Nothing when neither corner passes the corner test.
    int FillRectBmp(long x1, long y1, long x2, long y2, unsigned char bOpacity,
                    unsigned short wColor);

    // ---- Transforms (see docs/transforms.md). A source is refused when null
    // or when it does not hold its picture; pSrc may be this bitmap, and a
    // block shared with the source is left to it.

    // Turns the picture in place: 1 a quarter turn clockwise, 2 a half turn,
    // 4 a quarter turn counter-clockwise, with the weights when m_bARGB is set;
    // blocks and recorded sizes stay. Other codes: 1, nothing changed. 0 with
    // nothing changed without a pixel buffer (any code), when the bitmap does
    // not hold its picture, or (quarter turns) a temporary copy cannot be
    // allocated.
    int Rotate(unsigned char byOrientation);
    // Makes this bitmap an unshared copy of pSrc: the whole picture when the
    // four integers are 0, else the rectangle at (x, y), which must lie inside
    // the source (no clipping: else 0, nothing changed; size 0 succeeds only
    // over buffers already held). Weights copied with the source's m_bARGB.
    // 0 for a refused source; on a growth failure 0, the new size, the failed
    // buffer absent, m_bARGB 0. See docs/transforms.md.
    int Clone(CCEBitmap* pSrc, int nWidth, int nHeight, int x, int y);
    // Makes this bitmap pSrc scaled to nWidth x nHeight (0: the source's) in
    // 8.8 fixed point: nearest, or with bSmooth bilinear (weights nearest). 0
    // with nothing changed for a refused or 0-sized source, a negative size or
    // bytes beyond 32 bits; growth failure: 0, 0 x 0, m_bARGB 0, the failed
    // buffer absent. See docs/transforms.md.
    int Stretch(CCEBitmap* pSrc, int nWidth, int nHeight, int bSmooth);
    // Makes this bitmap pSrc turned by nAngle degrees (clockwise on the screen
    // when positive) about its top-left corner, in the box of its corners; the
    // background has both bytes the low byte of fill, and weight 0. 0 with
    // nothing changed for a refused or 0-sized source, an empty box or bytes
    // beyond 32 bits; 0 with the failed buffer absent when one cannot be grown
    // (size 0 x 0 when it is the plane). See docs/transforms.md.
    int FreeRotate(CCEBitmap* pSrc, int nAngle, unsigned long fill);
    // Maps the whole of pSrc onto four corners (top left, top right, bottom
    // left, bottom right) with horizontal top and bottom or vertical sides,
    // with a fading reflection when bReflect is set; `last` is not used. 0 for
    // a refused or 0-sized source, no column or row of result or bytes beyond
    // 32 bits (nothing changed), or, leaving 0 x 0, corners of neither shape
    // or a failed growth. See docs/transforms.md.
    int StretchEx(CCEBitmap* pSrc, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                  unsigned long fill, int bReflect, int last);

    // ---- Images, text, files and the screen (see docs/image-io.md). A load
    // or capture that fails (0, or a failure code) leaves no picture, whatever
    // the bitmap held: buffers and frame delays given back, m_bARGB 0, so every
    // blit, transform and SaveFile of it gives 0; the size fields are as each
    // member says, the kept image and the interfaces stay. An image's 8-bit
    // alpha A becomes the nearest 32nd, (A * 32 + 127) / 255: 255 is opaque.

    // Loads an image file at a size bMode picks from the box (both 0: the
    // display of pDraw as turned), with an alpha plane when the image has
    // alpha; bKeep keeps the decoded image in m_pImage. A null pszFile copies
    // the canvas (0 without one, size unchanged). 0 when the file cannot be
    // opened or decoded, the box needs a missing canvas, the size is beyond
    // the imaging limits (nothing grown) or a buffer cannot be grown; the size
    // is 0 x 0 until the target size is known, then that. See docs/image-io.md.
    int LoadBitmapW(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                    unsigned int uBoxWidth, unsigned int uBoxHeight, int bKeep);
    // LoadBitmapW with bKeep, without first clearing the size: opens pszFile
    // into m_pImage (the kept image is released first, so a failed open
    // leaves none), or with a null pszFile decodes the kept image again, for
    // instance at another size (0 when there is none).
    int ImageLoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                      unsigned int uBoxWidth, unsigned int uBoxHeight);
    // Decodes a stream from its position to its end, fitted into the box
    // *puBoxWidth x *puBoxHeight (read, not written), without an alpha plane;
    // pDraw may be null. 0; 0x80004005 for a null stream or box pointer, an
    // empty image, a fitted size beyond the imaging limits, a failed growth or
    // conversion; otherwise the imaging service's failure code. The size
    // changes once the fit is known and allowed. See docs/image-io.md.
    long GetBitmapFromStream(CCEDraw* pDraw, IStream* pStream, unsigned int* puBoxWidth,
                             unsigned int* puBoxHeight);
    // Fills the bitmap with the picture of the contact whose phone number
    // matches pszNumber (rules, database: docs/contacts.md), fitted by
    // GetBitmapFromStream into 60 x 60 (120 x 120 with bLarge) for uMode 2,
    // else the display: cxWidth x cyHeight when turned, cyHeight x cxWidth
    // upright. 1, or 0 for a null pDraw, no store, no match, no or an empty
    // picture (size unchanged) or one that does not decode.
    unsigned long DrawPic(CCEDraw* pDraw, unsigned int uMode, const wchar_t* pszNumber, int bLarge);
    // Loads a GIF's frames side by side (uFrame 0) or the frame at uFrame
    // counted from 0 (at or beyond the count: the first), as a viewer shows
    // them, and their delays; other formats as one frame. uFrameCount gets
    // the count as soon as it is known, before the delay record's size is
    // read. 0 for a null pszFile (delays freed), a strip beyond 2^26 pixels
    // or any failure; a failed frame repeats the last. See docs/image-io.md.
    int LoadGIF(CCEDraw* pDraw, const wchar_t* pszFile, unsigned int uFrame,
                unsigned int& uFrameCount, unsigned int& uReserved);
    // The delay of frame uIndex (1 is the first) in hundredths of a second,
    // as the file gives it. 0 for a frame without one, without a delay record
    // (no GIF loaded, or after Unload), or for a uIndex outside 1 to the
    // number of delays recorded.
    long GetFrameDelay(unsigned int uIndex);
    // Keeps the window uCropWidth x uCropHeight at (-x, -y) (x > 0: the whole
    // width; y alike) of the image rendered at uWidth x uHeight as the display
    // sees it turned by bOrientation, in the image's own orientation. Crop
    // opens pszFile, ImageCrop uses pSrc's kept image. 0, size unchanged, for
    // a null pDraw; else 0 x 0 until the pixels arrive, and 0 for no file or
    // image, a code not 0/1/2/4, an empty or outside window, or any failure.
    int Crop(CCEDraw* pDraw, const wchar_t* pszFile, unsigned int uWidth, unsigned int uHeight,
             int x, int y, unsigned int uCropWidth, unsigned int uCropHeight,
             unsigned char bOrientation);
    int ImageCrop(CCEDraw* pDraw, CCEBitmap* pSrc, unsigned int uWidth, unsigned int uHeight, int x,
                  int y, unsigned int uCropWidth, unsigned int uCropHeight,
                  unsigned char bOrientation);
    // Writes the pixels as an uncompressed 24-bit BMP file, bottom row first,
    // replacing any file of that name. 1 when the whole file reached the disk;
    // 0 without touching any file for a null path, no pixel buffer, a negative
    // size or a buffer recorded short; 0 when the file cannot be created or
    // written (what was written stays). The bitmap never changes. See
    // docs/image-io.md.
    int SaveFile(const wchar_t* pszFile);
    // Copies the screen (the most recently opened window's display, as last
    // presented) into the bitmap at the canvas's size; m_bARGB 0. 0 with
    // the size unchanged for a null canvas, a negative size, bytes beyond 32
    // bits or no drawing context; 0 with the new size when the copy or the
    // growth fails. See docs/image-io.md.
    int CaptureScreen(CCEDraw* pDraw);
    // Renders null-terminated text in the match for "Tahoma" at lHeight and
    // lWeight, colours 0x00BBGGRR, via the platform's DrawTextW with uFormat |
    // DT_NOPREFIX; bFullWidth: canvas width + nExtraWidth, background filled.
    // Pixels come back 5-5-5 (white 0xFFDF); m_bARGB 0. 0, size unchanged, for
    // a null text (or canvas, in full width), an empty line without full width,
    // a side outside 1..16384 or a font above 1024 pixels. See docs/text.md.
    int LoadText(CCEDraw* pDraw, long lHeight, long lWeight, unsigned long dwTextColor,
                 const wchar_t* pszText, unsigned int uFormat, int bFullWidth, int nExtraWidth,
                 unsigned long dwBackColor);

protected:
    // LoadBitmapW without keeping: the image lives for the call; m_pImage is
    // not touched. 0 for a null pszFile.
    int LoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                 unsigned int uBoxWidth, unsigned int uBoxHeight);
    // Render pImage at uWidth x uHeight and copy the rectangle rcSrc (right
    // and bottom excluded) into the buffers from their start. LoadARGBImage
    // also fills the plane and sets m_bARGB (left 0 when it refuses),
    // LoadResizeImage clears it. 1; 0 when the rendering fails; 0, pixels
    // untouched, for no image or factory, an empty rectangle or one leaving
    // the rendering, or buffers recorded too small for it. pDraw is not used.
    int LoadARGBImage(CCEDraw* pDraw, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                      tagRECT rcSrc);
    int LoadResizeImage(CCEDraw* pDraw, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                        tagRECT rcSrc);
    // Creates m_pImgFactory on first need (one COM initialisation of the
    // calling thread, balanced by the destructor). 0, or the creation's
    // failure code, in which case the initialisation is balanced at once.
    long EnsureImgFactory();
    // Creates and logs on m_pPOOM on first need (one COM initialisation of
    // the calling thread, balanced by the destructor, which logs off). 0, or
    // the failing step's code: the object is then released, m_pPOOM stays
    // null and the initialisation is balanced at once, so a later call
    // tries again.
    long EnsurePOOM();
    // The stream's length (its low 32 bits) into *pdwSize, then the stream
    // rewound: the rewind's result. 0x80004005 for a null argument; a failed
    // seek to the end is returned as it is, *pdwSize untouched.
    static long GetStreamSize(IStream* pStream, unsigned long* pdwSize);

private:
    void Adopt(const CCEBitmap& other);
    void GiveBack();
};

#endif // ZORVA_CCEBITMAP_H
