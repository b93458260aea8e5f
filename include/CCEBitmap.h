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

    // Loads an image file (PNG, JPEG, GIF, BMP, WebP) into the bitmap at a
    // size picked by bMode from the box uBoxWidth x uBoxHeight (both 0: the
    // display of pDraw as it is turned):
    //   0        the image's own size;
    //   1, 5-255 own size unless both sides exceed the box's longer side L;
    //            then the side along the box's longer axis becomes L;
    //   2        the same across the longer axis, through a thumbnail;
    //   3        own size when both sides fit the box's shorter side, else
    //            fitted into the box;
    //   4        always fitted into the box (FitToBox: MulDiv rounding; it
    //            may enlarge).
    // Pixels become RGB565 with the low bits dropped; an image with alpha
    // (see the imaging service: PNG alpha or tRNS, WebP alpha, a GIF that
    // can show transparency, a 32-bit BMP with an alpha mask) also fills the
    // alpha plane with alpha >> 3 and sets m_bARGB. With bKeep the decoded
    // image stays in m_pImage (for ImageLoadFile with a null name and for
    // ImageCrop); otherwise m_pImage is left as it was.
    // With a null pszFile the canvas is copied instead: its picture pixel by
    // pixel through its pitches (so padded and turned layouts copy as they
    // show), m_bARGB 0; 0 without a canvas or back buffer.
    // Result 1, or 0 when the file cannot be opened or decoded (a file that
    // is damaged anywhere, including one whose header reads but whose pixels
    // do not, gives 0 rather than a blank picture), the box is needed but
    // pDraw is null, a target side would not fit a signed 32-bit number
    // (worked out in 64 bits), or a buffer cannot be grown. A failed load
    // leaves m_bARGB 0 unless the alpha plane was grown for the size set;
    // a failure before the size is known leaves the bitmap 0 x 0.
    int LoadBitmapW(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                    unsigned int uBoxWidth, unsigned int uBoxHeight, int bKeep);
    // As LoadBitmapW with bKeep, without first clearing the size: opens
    // pszFile into m_pImage (the image kept before is released first, so a
    // file that fails to open leaves no kept image), or with a null pszFile
    // decodes the kept image again, for instance at another size (0 when
    // there is none). A kept image is decoded once and its picture reused.
    int ImageLoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                      unsigned int uBoxWidth, unsigned int uBoxHeight);
    // Decodes a stream (read from its position to its end; see
    // zorva::OpenMemoryStream and zorva::OpenFileStream) fitted into the box
    // *puBoxWidth x *puBoxHeight (read, not written), without an alpha plane.
    // pDraw may be null. 0; 0x80004005 for a null stream or box pointer, an
    // empty image, a buffer that cannot be grown or a failed conversion
    // (a picture that does not decode); otherwise the codec service's code
    // (0x80040001 not an image it reads, 0x8007000D damaged, 0x800700DF
    // beyond its size limits, or the stream's own failure).
    long GetBitmapFromStream(CCEDraw* pDraw, IStream* pStream, unsigned int* puBoxWidth,
                             unsigned int* puBoxHeight);
    // Loads an animated GIF as a strip of frames side by side (uFrame 0:
    // width W x frame count), or the single frame at position uFrame counted
    // from 0 (uFrame at or beyond the count: the first frame). Each frame is
    // composed as a viewer shows it (disposal, transparency, the frame's
    // place on the logical screen); where it is transparent the strip shows
    // black. Other formats load as one frame. uFrameCount receives the
    // frame count (1 for other formats) once the image information is read.
    // m_pFrames then holds the frames' delays (a GIF only). pDraw and
    // uReserved are not used. No alpha plane; m_bARGB 0.
    // Result 0 for a null pszFile (the delays are still freed), a file that
    // cannot be opened or read, a decoder that cannot report the frame count
    // or the delay record's size (uFrameCount is then not written; the load
    // does not guess a layout), a strip wider than a signed 32-bit number, a
    // buffer that cannot be grown, and when not one chosen frame could be
    // decoded. A frame that fails after another one succeeded keeps the
    // previous frame's pixels in its place, and the load succeeds.
    int LoadGIF(CCEDraw* pDraw, const wchar_t* pszFile, unsigned int uFrame,
                unsigned int& uFrameCount, unsigned int& uReserved);
    // The delay of frame uIndex (1 is the first) in hundredths of a second,
    // as the file gives it (0 for a frame without one). 0 without a delay
    // record (no GIF loaded, or after Unload) or for a uIndex outside 1 to
    // the number of delays recorded.
    long GetFrameDelay(unsigned int uIndex);
    // Render the whole image at uWidth x uHeight (as the display sees it,
    // turned by bOrientation: 0, 1 a quarter turn, 2 a half turn, 4 three
    // quarters) and keep the window of uCropWidth x uCropHeight whose top
    // left is at (-x, -y) in that rendering (x > 0: the window starts at
    // column 0 and spans the whole width; the same for y). The bitmap gets
    // the window in the image's own orientation, with an alpha plane when
    // the image has alpha. Crop opens pszFile for the call; ImageCrop uses
    // the image kept by pSrc (which may be this bitmap), taking no reference.
    // 0 and nothing changed for a null pDraw. Otherwise the bitmap is 0 x 0
    // until the window's pixels arrive, and the result is 0 for a null
    // pszFile or pSrc, a pSrc without a kept image, an orientation code other
    // than 0, 1, 2 or 4, a window that lies beyond the rendering (-x >= W or
    // -y >= H) or is empty (a width or height of 0), an empty rendering, a
    // file that cannot be opened or decoded, or a buffer that cannot be
    // grown. After a failed conversion the bitmap has the window's size
    // with undefined pixels.
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
    // LoadBitmapW without keeping: the image lives for the call; m_pImage is
    // not touched. 0 for a null pszFile.
    int LoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                 unsigned int uBoxWidth, unsigned int uBoxHeight);
    // Render pImage at uWidth x uHeight and copy the rectangle rcSrc (right
    // and bottom excluded) of that rendering into the buffers from their
    // start, packed. LoadARGBImage fills the alpha plane too (alpha >> 3)
    // and sets m_bARGB; LoadResizeImage clears it. pDraw is not used. 1, or
    // 0 when the rendering fails, or without touching the pixels when the
    // rectangle is empty or leaves the rendering, or the buffers (by
    // m_cbPixels, m_cbAlpha) are too small for it: LoadARGBImage then
    // leaves m_bARGB 0.
    int LoadARGBImage(CCEDraw* pDraw, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                      tagRECT rcSrc);
    int LoadResizeImage(CCEDraw* pDraw, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                        tagRECT rcSrc);
    // Creates m_pImgFactory on first need (one COM initialisation of the
    // calling thread, balanced by the destructor). 0, or the creation's
    // failure code, in which case the initialisation is balanced at once.
    long EnsureImgFactory();

private:
    void Adopt(const CCEBitmap& other);
    void GiveBack();
};

#endif // ZORVA_CCEBITMAP_H
