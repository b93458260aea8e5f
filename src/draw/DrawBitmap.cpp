// The canvas-side name of a blit.
#include "CCEBitmap.h"
#include "CCEDraw.h"

int CCEDraw::DrawBitmap(CCEBitmap* pBitmap, int x, int y, int nWidth, int nHeight, int xSrc,
                        int ySrc, unsigned long dwRop, unsigned char bOpacity) {
    if (!pBitmap) return 0;
    return pBitmap->BitBlt(this, x, y, nWidth, nHeight, xSrc, ySrc, dwRop, bOpacity);
}
