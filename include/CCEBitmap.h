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

    // Turns the bitmap's own picture: code 1 a quarter turn clockwise (source
    // (x, y) lands at (H - 1 - y, x)), 2 a half turn, 4 a quarter turn
    // counter-clockwise ((y, W - 1 - x)); width and height are exchanged for
    // a quarter turn. With m_bARGB set the weights turn with their pixels; a
    // plane left over without the flag is not touched. The turn is made in
    // temporary copies and copied back, so the blocks and their recorded
    // sizes stay; a copy sharing the blocks (operator=) sees the turned
    // picture as it sees any drawing, with its own size fields. Other codes
    // change nothing, allocate nothing and return 1. 0, with nothing changed,
    // without a pixel buffer, when a temporary copy cannot be allocated, or
    // when the fields contradict the blocks (a negative size, a block smaller
    // than width x height, the flag without a plane of that size).
    int Rotate(unsigned char byOrientation);
    // Makes this bitmap a copy of pSrc: the whole picture when the four
    // integers are all 0, otherwise the nWidth x nHeight rectangle at (x, y),
    // which must lie inside the source (0 <= x, 0 <= y, x + nWidth <= width,
    // y + nHeight <= height) and is not clipped: a rectangle that leaves the
    // source, or a negative size, returns 0 and changes nothing. A rectangle
    // of size 0 inside the source is valid: the copy becomes 0 x 0 and the
    // call returns 1 only when the copy already has the buffers to keep (the
    // growth rule does not grow an absent buffer to 0 bytes). The weights are
    // copied when the source's m_bARGB is set; otherwise m_bARGB becomes 0.
    // The copy owns its buffers afterwards: a block it still shares (with the
    // source or an operator= copy) is left to the other holders and the copy
    // writes a fresh one. pSrc may be this bitmap: the result is the whole
    // picture again, or the rectangle of it, read from the old blocks. Null,
    // empty or inconsistent sources (see Rotate) return 0 and change nothing.
    // When a buffer cannot be grown: 0, the new size is set and the failed
    // buffer absent (the bitmap counts as empty), m_bARGB 0.
    int Clone(CCEBitmap* pSrc, int nWidth, int nHeight, int x, int y);
    // Makes this bitmap pSrc scaled to nWidth x nHeight (0 takes the source's
    // width or height). Output column i samples the source at i * xStep, row j
    // at j * yStep, in 8.8 fixed point with xStep = source width * 256 / W and
    // yStep = source height * 256 / H truncated once per call, so the last
    // column never samples beyond the source. bSmooth 0: the pixel at (X >> 8,
    // Y >> 8). bSmooth nonzero: each channel filtered between that pixel and
    // its right, lower and lower-right neighbours (the last column or row
    // standing in for a missing one) with the fractions X & 255 and Y & 255,
    // each of the three shifts rounding down. The weights of a source with
    // m_bARGB set are sampled nearest in both modes, so a filtered sprite
    // keeps its transparency; otherwise m_bARGB becomes 0. A block shared with
    // the source (an operator= copy of it) is left to the source and the
    // result written to a fresh one; pSrc may be this bitmap, scaling its old
    // picture. 0 with nothing changed for a null, empty or inconsistent source
    // (see Rotate), a source of width or height 0, a negative size, or more
    // than 32 bits of bytes. When a buffer cannot be grown: 0, size 0 x 0,
    // m_bARGB 0, the failed buffer absent (the pixels are there when only the
    // plane failed).
    int Stretch(CCEBitmap* pSrc, int nWidth, int nHeight, int bSmooth);
    // Makes this bitmap pSrc turned by nAngle whole degrees (clockwise on the
    // screen when positive) about its top-left corner. The angle is worked in
    // double then rounded to single; cosine and sine in double from it,
    // rounded to single; cos256 and sin256 their products with 256 truncated.
    // The corners (single-precision products, truncated) give the box; result
    // pixel (q, r) is the source pixel (u >> 8, v >> 8), u = X * cos256 +
    // Y * sin256 and v = Y * cos256 - X * sin256 for X = minX + q and
    // Y = minY + r, when that lies inside the source. Every other pixel has
    // both bytes equal to the low byte of fill. With the source's m_bARGB set
    // the copied pixels carry their source weights and the background weight
    // is 0 (transparent); otherwise m_bARGB becomes 0. Blocks shared with the
    // source are left to it, as for Stretch; pSrc may be this bitmap. 0 with
    // nothing changed for a null, empty or inconsistent source, a source of
    // width or height 0, a box without a column or a row (a 1 x 1 source
    // turned by one degree), or more than 32 bits of bytes. When the pixel
    // buffer cannot be grown: 0, it is absent and the size fields keep their
    // values (the bitmap is empty). When the plane cannot be grown: 0, the
    // pixels hold the turned picture but the size is 0 x 0 and m_bARGB 0.
    int FreeRotate(CCEBitmap* pSrc, int nAngle, unsigned long fill);
    // Maps the whole of pSrc onto the shape of the four corners (top left, top
    // right, bottom left, bottom right). W = the largest x, H = the largest
    // y + 1, R = H / 4 with bReflect (else 0); the buffers hold T = H + R rows
    // and the result is W x (T - 1). With y1 == y2 and y3 == y4 row j (0 to
    // H - 1) spans x1 + floor(j * left / 256) to x2 + floor(j * right / 256),
    // left = (x3 - x1) * 256 / H and right = (x4 - x2) * 256 / H truncated,
    // and shows source row j * (source height * 256 / H) >> 8 sampled at
    // k * (source width * 256 / n) >> 8 for span pixel k of n. Otherwise, with
    // x1 == x3 and x2 == x4, the same with rows and columns exchanged (column
    // j spans y1 + floor(j * top / 256) to y3 + floor(j * bottom / 256)).
    // Without bReflect every pixel byte is first the low byte of fill and
    // m_bARGB becomes 0. With bReflect the background is transparent black
    // (weight 0, pixel 0; fill ignored), drawn pixels have weight 32, and
    // below the picture a mirror image fades with weights 22 falling by
    // 18 / R per row (a stepped double, truncated: 22, 20, 19, 17, ... for
    // R = 12): rows H + k (k < R - 1) repeat row H - 1 - k where it was drawn
    // (horizontal sides); each column repeats the k-th pixel above its bottom
    // end just below it (k < R; vertical sides). `last` is not used.
    // Choices: spans are clipped to the result, so negative corners and a
    // span reaching column W (a right-hand corner on the largest x) draw only
    // their pixels inside it; a row or column whose sides have crossed (span
    // of length 0 or less) draws nothing; a vertical-sides column mirrors only
    // pixels it drew, so where it is shorter than R or starts above row 0 the
    // rest stays transparent. Blocks shared with the source are left to it, as
    // for Stretch; pSrc may be this bitmap. 0 with nothing changed for a null,
    // empty or inconsistent source, a source of width or height 0, a largest x
    // below 1 or a largest y below 1 (no column or no row of result), or more
    // than 32 bits of bytes. Corners that fit neither shape: 0 after the
    // buffers were sized and the background written, size 0 x 0 (m_bARGB 1
    // with bReflect, over a plane of weight 0). When a buffer cannot be
    // grown: 0, size 0 x 0, m_bARGB 0, that buffer absent.
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
    // Fills the bitmap with the picture of the contact whose phone number
    // matches pszNumber (matching rules and the database: ZorvaPlatform.h,
    // docs/contacts.md), fitted by GetBitmapFromStream into a box: 60 x 60
    // (120 x 120 with bLarge) for uMode 2; for any other mode the display,
    // cxWidth x cyHeight when it is turned, cyHeight x cxWidth when upright.
    // 1, or 0 for a null pDraw, no store, no matching contact, no or an empty
    // picture (the bitmap is then unchanged) or one that does not decode.
    unsigned long DrawPic(CCEDraw* pDraw, unsigned int uMode, const wchar_t* pszNumber,
                          int bLarge);
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
