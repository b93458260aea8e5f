// The bitmap object: lifecycle, ownership, sizing and queries.
#include "CCEBitmap.h"

#include "CCEDraw.h"
#include "core/Raster.h"
#include "core/SharedBlock.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"

#include <cstring>

namespace pf = zorva::platform;

CCEBitmap::CCEBitmap()
    : m_nWidth(0), m_nHeight(0), m_pPixels(nullptr), m_cbPixels(0), m_pPOOM(nullptr),
      m_pImgFactory(nullptr), m_bARGB(0), m_pAlpha(nullptr), m_cbAlpha(0), m_pFrames(nullptr),
      m_pImage(nullptr) {}

CCEBitmap::CCEBitmap(const CCEBitmap& other) : CCEBitmap() {
    Adopt(other);
}

CCEBitmap& CCEBitmap::operator=(const CCEBitmap& other) {
    if (this != &other) {
        GiveBack();
        Adopt(other);
    }
    return *this;
}

CCEBitmap::~CCEBitmap() {
    GiveBack();
}

// Copies every field and takes this object's own reference to everything
// shared. The factory and the contact store each stand for one COM
// initialisation of the thread, so the copy makes its own.
void CCEBitmap::Adopt(const CCEBitmap& other) {
    m_nWidth = other.m_nWidth;
    m_nHeight = other.m_nHeight;
    m_pPixels = other.m_pPixels;
    m_cbPixels = other.m_cbPixels;
    m_pPOOM = other.m_pPOOM;
    m_pImgFactory = other.m_pImgFactory;
    m_bARGB = other.m_bARGB;
    m_pAlpha = other.m_pAlpha;
    m_cbAlpha = other.m_cbAlpha;
    m_pFrames = other.m_pFrames;
    m_pImage = other.m_pImage;

    zorva::BlockRetain(m_pPixels);
    zorva::BlockRetain(m_pAlpha);
    zorva::BlockRetain(m_pFrames);
    if (m_pPOOM) {
        pf::CoInitializeEx(nullptr, 0);
        m_pPOOM->AddRef();
    }
    if (m_pImage) m_pImage->AddRef();
    if (m_pImgFactory) {
        pf::CoInitializeEx(nullptr, 0);
        m_pImgFactory->AddRef();
    }
}

// Gives back this object's references, in the destructor's order.
void CCEBitmap::GiveBack() {
    zorva::BlockDrop(m_pPixels);
    zorva::BlockDrop(m_pAlpha);
    zorva::BlockDrop(m_pFrames);
    if (m_pPOOM) {
        // Only the last holder logs the shared connection off.
        const ULONG holders = m_pPOOM->AddRef() - 1;
        m_pPOOM->Release();
        if (holders == 1) m_pPOOM->Logoff();
        m_pPOOM->Release();
        m_pPOOM = nullptr;
        pf::CoUninitialize();
    }
    if (m_pImage) {
        m_pImage->Release();
        m_pImage = nullptr;
    }
    if (m_pImgFactory) {
        m_pImgFactory->Release();
        m_pImgFactory = nullptr;
        pf::CoUninitialize();
    }
}

int CCEBitmap::Unload(int bFree) {
    m_nWidth = 0;
    m_nHeight = 0;
    m_cbPixels = 0;
    m_cbAlpha = 0;
    m_bARGB = 0;
    if (bFree) {
        zorva::BlockDrop(m_pPixels);
        zorva::BlockDrop(m_pAlpha);
    }
    zorva::BlockDrop(m_pFrames);
    return 1;
}

int CCEBitmap::Surface(CCEDraw* pDraw, int nWidth, int nHeight, unsigned int uFill, int bAlpha) {
    if (!pDraw || nWidth < 0 || nHeight < 0) return 0;
    const int64_t w = nWidth ? nWidth : int32_t(pDraw->m_DisplayProperties.cxWidth);
    const int64_t h = nHeight ? nHeight : int32_t(pDraw->m_DisplayProperties.cyHeight);
    if (w < 0 || h < 0) return 0;
    const uint64_t pixelBytes = uint64_t(w) * uint64_t(h) * 2;
    if (pixelBytes > UINT32_MAX) return 0;

    if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, pixelBytes)) return 0;
    std::memset(m_pPixels, int(uFill & 0xFF), size_t(pixelBytes));
    if (bAlpha) {
        if (!zorva::GrowBuffer(m_pAlpha, m_cbAlpha, pixelBytes / 2)) {
            m_bARGB = 0;
            return 0;
        }
        std::memset(m_pAlpha, 32, size_t(pixelBytes / 2));
    }
    m_bARGB = bAlpha ? 1 : 0;
    m_nWidth = int32_t(w);
    m_nHeight = int32_t(h);
    return 1;
}

tagSIZE CCEBitmap::GetSize() {
    return tagSIZE{m_nWidth, m_nHeight};
}

int CCEBitmap::IsARGB() {
    return m_bARGB;
}

int CCEBitmap::IsPointOutsideBmp(long x, long y) {
    const int64_t px = zorva::ToCoord(x), py = zorva::ToCoord(y);
    return (px < 0 || py < 0 || px > m_nWidth || py > m_nHeight) ? 1 : 0;
}
