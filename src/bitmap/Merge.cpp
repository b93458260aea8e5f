// Merge: a blit of another bitmap (or of this one) into this bitmap's pixels.
#include "CCEBitmap.h"

#include "bitmap/Blit.h"
#include "core/Raster.h"

int CCEBitmap::Merge(CCEDraw* pDraw, CCEBitmap* pSrc, int x, int y, int nWidth, int nHeight,
                     int xSrc, int ySrc, unsigned long dwRop, unsigned char bOpacity) {
    if (!pDraw || !m_pPixels) return 0;
    // A missing source, or one flagged for an alpha plane it lacks, has
    // nothing that could be drawn as asked.
    if (!pSrc || !pSrc->m_pPixels || (pSrc->m_bARGB && !pSrc->m_pAlpha)) return 0;

    zorva::BlitSource source;
    source.pixels = pSrc->m_pPixels;
    source.alpha = pSrc->m_bARGB ? pSrc->m_pAlpha : nullptr;
    source.width = pSrc->m_nWidth;
    source.height = pSrc->m_nHeight;

    // A bitmap with no pixel (or a size that no buffer can hold) takes
    // nothing; an empty view clips everything away.
    zorva::PixelView target;
    if (m_nWidth > 0 && m_nHeight > 0 && m_nWidth <= INT32_MAX / 2)
        target = zorva::DenseView(m_pPixels, m_nWidth, m_nHeight);
    return zorva::BlitToView(target, source, zorva::BlitRect{x, y, nWidth, nHeight, xSrc, ySrc},
                             dwRop, bOpacity, 1);
}
