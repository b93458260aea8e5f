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

    int BitBlt(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
               unsigned long dwRop, unsigned char bOpacity);
    int BitBlt2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                 unsigned long dwRop, unsigned char bOpacity);
    int BitRot(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
               unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation);
    int BitRot2x(CCEDraw* pDraw, int x, int y, int nWidth, int nHeight, int xSrc, int ySrc,
                 unsigned long dwRop, unsigned char bOpacity, unsigned char bRotation);
    int Merge(CCEDraw* pDraw, CCEBitmap* pSrc, int x, int y, int nWidth, int nHeight, int xSrc,
              int ySrc, unsigned long dwRop, unsigned char bOpacity);
    int Shadow(CCEBitmap* pSrc, int nRows);

    // ---- Drawing into the bitmap

    void DrawPixelBmp(unsigned long x, unsigned long y, unsigned short wColor);
    int DrawHLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    int DrawVLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    int DrawLineBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
    int DrawRectBmp(long x1, long y1, long x2, long y2, unsigned short wColor);
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
    // Writes the pixels as an uncompressed 24-bit BMP file, replacing any
    // file of that name: the 14- and 40-byte headers (file size field 0,
    // pixels at offset 54, positive height), then the rows bottom row
    // first, each pixel as bytes B, G, R with the low bits zero (white is
    // 248, 252, 248) and each row padded with zeros to a multiple of 4
    // bytes. A height or a width of 0 writes the headers alone and succeeds.
    // 1 when the whole file was written and reached the disk (flushed and
    // closed); 0 without touching any file for a null path, no pixel
    // buffer, a negative size or a pixel buffer recorded smaller than
    // m_nWidth x m_nHeight x 2 bytes; 0 when the file cannot be created or
    // written (what was written stays on disk). The bitmap never changes.
    int SaveFile(const wchar_t* pszFile);
    // Copies the screen (the display of the most recently opened window, as
    // it was last presented) into the bitmap at the canvas's display size,
    // top row first; m_bARGB becomes 0. 0 for a null canvas, a negative
    // size or more than 32 bits of pixel bytes (nothing changes); 0 when
    // the platform's context or image cannot be had, when there is no
    // screen to copy, or when the pixel buffer cannot be grown (then the
    // size fields already hold the display size, m_bARGB is 0 and the
    // pixels are undefined, or absent after a failed growth).
    int CaptureScreen(CCEDraw* pDraw);
    // Renders null-terminated text into the bitmap in the installed best
    // match for "Tahoma" (DejaVu Sans on Debian) at lHeight (negative:
    // character height in pixels; positive: cell height; 0: 12-pixel
    // characters) and lWeight (700 bold), in the colour references
    // dwTextColor and dwBackColor (0x00BBGGRR, red in the low byte),
    // through the platform's DrawTextW with uFormat | DT_NOPREFIX (so '&'
    // is drawn as it is). Width: the text's measured extent, or with
    // bFullWidth the canvas width plus nExtraWidth (the canvas height plus
    // nExtraWidth when the display is turned a quarter or three quarters),
    // the background then filled first. Height: what DrawTextW reports;
    // rows beyond the drawing surface (the line height, or the canvas
    // height in full-width mode) come back black.
    // Pixels come back through a 5-5-5 image, so the lowest green bit is
    // always 0 (white is 0xFFDF). m_bARGB becomes 0; an alpha plane stays
    // allocated. The pixel buffer is reused when large enough.
    // 0, with the bitmap unchanged, for a null text, a null canvas in
    // full-width mode, an empty text without full width, a width or height
    // below 1 or above 16384 pixels (the largest image the platform makes,
    // checked before anything is allocated), a font height beyond 1024
    // pixels, or when a platform object cannot be had; 0 after a failed
    // growth of the pixel buffer, with the buffer absent and the old size
    // kept. The size never changes without the pixels following.
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
