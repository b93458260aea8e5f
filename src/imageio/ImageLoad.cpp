// Loading image files and streams into bitmaps through the imaging service,
// and copying the canvas.
#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "core/Pixel565.h"
#include "core/SharedBlock.h"
#include "draw/CanvasView.h"
#include "imageio/ImageIo.h"
#include "imageio/LoadScope.h"
#include "kernels/Kernels.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"

#include <cstring>

namespace pf = zorva::platform;
using zorva::LoadError;
using zorva::NoteLoadError;
using zorva::NoteLoadResult;

namespace {

// The size a box asks for that no picture may have.
int NoteTargetRefused(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return NoteLoadError(LoadError::BadBox);
    return NoteLoadError(LoadError::TooLarge, "The size the box asks for is past the loaders' "
                                              "limits (65,535 pixels a side, 2^26 pixels).");
}

// The picture at its own size, pushed by the image a band of rows at a
// time straight into the bitmap's RGB565 pixels and, for an image with
// alpha, its alpha plane: no rendering of the whole picture in between.
class BitmapSink final : public IImageSink {
public:
    BitmapSink(uint32_t width, uint32_t height, WORD* pixels, BYTE* alpha)
        : m_width(width), m_height(height), m_pixels(pixels), m_alpha(alpha) {}

    // It lives on its caller's stack: references are not counted.
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return pf::AnswerInterface(iid, object, {{pf::IID_IImageSink, this}});
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT BeginSink(ImageInfo* info, tagRECT*) override {
        if (!info || info->Width != m_width || info->Height != m_height) return pf::E_FAIL;
        info->PixelFormat = m_alpha ? pf::PixelFormat32bppARGB : pf::PixelFormat24bppRGB;
        return pf::S_OK;
    }
    HRESULT EndSink(HRESULT) override { return pf::S_OK; }
    HRESULT PushPixelData(const tagRECT* rect, BitmapData* data, BOOL) override {
        const DWORD format = m_alpha ? pf::PixelFormat32bppARGB : pf::PixelFormat24bppRGB;
        if (!rect || !data || !data->Scan0 || data->PixelFormat != format || rect->left < 0 ||
            rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            uint32_t(rect->right) > m_width || uint32_t(rect->bottom) > m_height ||
            data->Width != uint32_t(rect->right - rect->left) ||
            data->Height != uint32_t(rect->bottom - rect->top))
            return pf::E_FAIL;
        const zorva::KernelTable& k = zorva::Kernels();
        const int32_t columns = rect->right - rect->left;
        for (int32_t y = rect->top; y < rect->bottom; ++y) {
            const size_t at = size_t(y) * m_width + size_t(rect->left);
            const uint8_t* in =
                static_cast<const uint8_t*>(data->Scan0) + ptrdiff_t(y - rect->top) * data->Stride;
            if (m_alpha)
                k.bgra32Row(m_pixels + at, m_alpha + at, in, columns);
            else
                k.bgr24Row(m_pixels + at, in, columns);
        }
        return pf::S_OK;
    }

private:
    uint32_t m_width, m_height;
    WORD* m_pixels;
    BYTE* m_alpha;
};

// The steps of LoadFile and ImageLoadFile after the image is open. The
// converters are the bitmap's own (protected) members, handed in by the
// caller.
template <class Argb, class Resize>
int LoadOpenImage(CCEBitmap& bitmap, IImage* image, unsigned char bMode, unsigned int uBoxWidth,
                  unsigned int uBoxHeight, CCEDraw* pDraw, Argb loadArgb, Resize loadResize) {
    ImageInfo info;
    if (NoteLoadResult(image->GetImageInfo(&info)) != pf::S_OK) return 0;
    uint32_t boxWidth = 0, boxHeight = 0;
    if (bMode != 0 && !zorva::LoaderBox(pDraw, uBoxWidth, uBoxHeight, &boxWidth, &boxHeight))
        return NoteLoadError(LoadError::BadBox, "A box of 0 x 0 asks for the display's size, "
                                                "and no canvas was given.");
    zorva::TargetSize target;
    // A size beyond the imaging limits could never be rendered: it fails
    // before the size fields change or anything is allocated.
    if (!zorva::ComputeTargetSize(bMode, info.Width, info.Height, boxWidth, boxHeight, &target))
        return NoteLoadError(LoadError::BadBox);
    if (!pf::ImageSizeAllowed(target.width, target.height))
        return NoteTargetRefused(target.width, target.height);
    IImage* thumbnail = nullptr;
    if (target.thumbnail) {
        if (NoteLoadResult(image->GetThumbnail(target.width, target.height, &thumbnail)) !=
                pf::S_OK ||
            !thumbnail)
            return 0;
        if (NoteLoadResult(thumbnail->GetImageInfo(&info)) != pf::S_OK) {
            thumbnail->Release();
            return 0;
        }
    }
    IImage* source = thumbnail ? thumbnail : image;
    const uint32_t w = target.width, h = target.height;
    bitmap.m_nWidth = int32_t(w);
    bitmap.m_nHeight = int32_t(h);
    int result = 0;
    const uint64_t count = uint64_t(w) * h;
    const bool alpha = (info.PixelFormat & pf::PixelFormatAlpha) != 0;
    if (zorva::GrowBuffer(bitmap.m_pPixels, bitmap.m_cbPixels, count * 2) &&
        (!alpha || zorva::GrowBuffer(bitmap.m_pAlpha, bitmap.m_cbAlpha, count))) {
        const tagRECT all{0, 0, int32_t(w), int32_t(h)};
        if (!target.scaled) {
            // Its own size, or mode 2's thumbnail: pushed into the buffers.
            BitmapSink sink(w, h, bitmap.m_pPixels, alpha ? bitmap.m_pAlpha : nullptr);
            bitmap.m_bARGB = alpha ? 1 : 0;
            result = NoteLoadResult(source->PushIntoSink(&sink)) == pf::S_OK ? 1 : 0;
        } else if (alpha) {
            result = loadArgb(pDraw, source, w, h, all);
        } else {
            result = loadResize(pDraw, image, w, h, all);
        }
    } else {
        NoteLoadError(LoadError::OutOfMemory);
    }
    if (thumbnail) thumbnail->Release();
    return result;
}

} // namespace

long CCEBitmap::EnsureImgFactory() {
    if (m_pImgFactory) return 0;
    pf::CoInitializeEx(nullptr, 0);
    void* factory = nullptr;
    const HRESULT hr =
        pf::CoCreateInstance(pf::CLSID_ImagingFactory, nullptr, pf::CLSCTX_INPROC_SERVER,
                             pf::IID_IImagingFactory, &factory);
    if (hr < 0) {
        // Only a bitmap holding a factory balances the initialisation later.
        pf::CoUninitialize();
        return NoteLoadResult(hr);
    }
    m_pImgFactory = static_cast<IImagingFactory*>(factory);
    return 0;
}

int CCEBitmap::LoadBitmapW(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                           unsigned int uBoxWidth, unsigned int uBoxHeight, int bKeep) {
    zorva::LoadScope loading(*this);
    if (!pszFile) {
        // A copy of the canvas, pixel by pixel through its pitches.
        if (!pDraw || !pDraw->m_pBackBuffer)
            return NoteLoadError(LoadError::BadArgument, "There is no canvas to copy.");
        const zorva::PixelView view = zorva::CanvasView(*pDraw);
        if (view.width < 0 || view.height < 0)
            return NoteLoadError(LoadError::BadArgument, "The canvas has a negative size.");
        m_bARGB = 0;
        m_nWidth = view.width;
        m_nHeight = view.height;
        if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, uint64_t(view.width) * view.height * 2))
            return NoteLoadError(LoadError::OutOfMemory);
        for (int32_t y = 0; y < view.height; ++y)
            for (int32_t x = 0; x < view.width; ++x)
                m_pPixels[size_t(y) * view.width + x] = *view.At(x, y);
        return loading.Finish(1, true);
    }
    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (bKeep) {
        if (m_pImage) m_pImage->Release();
        m_pImage = nullptr;
    }
    const int result = bKeep ? ImageLoadFile(pDraw, pszFile, bMode, uBoxWidth, uBoxHeight)
                             : LoadFile(pDraw, pszFile, bMode, uBoxWidth, uBoxHeight);
    return loading.Finish(result, result != 0);
}

int CCEBitmap::ImageLoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                             unsigned int uBoxWidth, unsigned int uBoxHeight) {
    zorva::LoadScope loading(*this);
    if (EnsureImgFactory() < 0) return 0;
    if (pszFile) {
        if (m_pImage) m_pImage->Release();
        m_pImage = nullptr;
        IImage* image = nullptr;
        if (NoteLoadResult(m_pImgFactory->CreateImageFromFile(pszFile, &image)) != pf::S_OK ||
            !image)
            return 0;
        m_pImage = image;
    }
    if (!m_pImage)
        return NoteLoadError(LoadError::BadArgument,
                             "No file name was given, and the bitmap keeps no image.");
    m_bARGB = 0;
    const int result = LoadOpenImage(
        *this, m_pImage, bMode, uBoxWidth, uBoxHeight, pDraw,
        [this](CCEDraw* d, IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadARGBImage(d, i, w, h, r);
        },
        [this](CCEDraw* d, IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadResizeImage(d, i, w, h, r);
        });
    return loading.Finish(result, result != 0);
}

int CCEBitmap::LoadFile(CCEDraw* pDraw, const wchar_t* pszFile, unsigned char bMode,
                        unsigned int uBoxWidth, unsigned int uBoxHeight) {
    zorva::LoadScope loading(*this);
    if (!pszFile) return NoteLoadError(LoadError::BadArgument, "No file name was given.");
    if (EnsureImgFactory() < 0) return 0;
    IImage* image = nullptr;
    if (NoteLoadResult(m_pImgFactory->CreateImageFromFile(pszFile, &image)) != pf::S_OK || !image)
        return 0;
    m_bARGB = 0;
    const int result = LoadOpenImage(
        *this, image, bMode, uBoxWidth, uBoxHeight, pDraw,
        [this](CCEDraw* d, IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadARGBImage(d, i, w, h, r);
        },
        [this](CCEDraw* d, IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadResizeImage(d, i, w, h, r);
        });
    image->Release();
    return loading.Finish(result, result != 0);
}

long CCEBitmap::GetBitmapFromStream(CCEDraw* pDraw, IStream* pStream, unsigned int* puBoxWidth,
                                    unsigned int* puBoxHeight) {
    zorva::LoadScope loading(*this);
    if (!pStream || !puBoxWidth || !puBoxHeight) {
        NoteLoadError(LoadError::BadArgument, "A stream and both sides of the box are needed.");
        return pf::E_FAIL;
    }
    long hr = EnsureImgFactory();
    if (hr < 0) return hr;
    IImage* image = nullptr;
    hr = NoteLoadResult(m_pImgFactory->CreateImageFromStream(pStream, &image));
    if (hr < 0 || !image) return hr < 0 ? hr : pf::E_FAIL;
    ImageInfo info;
    hr = NoteLoadResult(image->GetImageInfo(&info));
    if (hr >= 0 && (info.Width == 0 || info.Height == 0)) {
        NoteLoadError(LoadError::Damaged, "The picture has no pixels.");
        hr = pf::E_FAIL;
    }
    if (hr >= 0) {
        unsigned width = info.Width, height = info.Height;
        zorva::FitToBox(int(*puBoxWidth), int(*puBoxHeight), &width, &height);
        hr = pf::E_FAIL;
        // A fitted size beyond the imaging limits fails before the size
        // fields change or anything is allocated.
        if (!pf::ImageSizeAllowed(width, height)) {
            NoteTargetRefused(width, height);
        } else {
            m_bARGB = 0;
            m_nWidth = int32_t(width);
            m_nHeight = int32_t(height);
            if (!zorva::GrowBuffer(m_pPixels, m_cbPixels, uint64_t(width) * height * 2))
                NoteLoadError(LoadError::OutOfMemory);
            else if (LoadResizeImage(pDraw, image, width, height,
                                     tagRECT{0, 0, int32_t(width), int32_t(height)}))
                hr = 0;
        }
    }
    image->Release();
    return loading.Finish(hr, hr >= 0);
}

namespace {

// The converters' shared body: the image rendered at width x height in
// `format`, the rectangle copied into the bitmap's buffers from their start.
// Callers have checked the rectangle against the rendering and the buffers.
int ConvertRendering(IImagingFactory* factory, IImage* image, uint32_t width, uint32_t height,
                     const tagRECT& rect, DWORD format, WORD* pixels, BYTE* alpha) {
    IBitmapImage* bitmap = nullptr;
    if (NoteLoadResult(factory->CreateBitmapFromImage(image, width, height, format, 0, &bitmap)) !=
            pf::S_OK ||
        !bitmap)
        return 0;
    // Only the rectangle is locked, so only it is rendered (and decoded:
    // damage in the pixels shows here).
    BitmapData data{};
    if (NoteLoadResult(bitmap->LockBits(&rect, pf::ImageLockModeRead, 0, &data)) != pf::S_OK) {
        bitmap->Release();
        return 0;
    }
    const zorva::KernelTable& k = zorva::Kernels();
    const int32_t columns = rect.right - rect.left;
    for (int32_t y = rect.top; y < rect.bottom; ++y, pixels += columns) {
        const uint8_t* in =
            static_cast<const uint8_t*>(data.Scan0) + ptrdiff_t(y - rect.top) * data.Stride;
        if (alpha) {
            k.bgra32Row(pixels, alpha, in, columns);
            alpha += columns;
        } else {
            k.bgr24Row(pixels, in, columns);
        }
    }
    bitmap->UnlockBits(&data);
    bitmap->Release();
    return 1;
}

// The rectangle lies inside the rendering, is not empty, and the buffer of
// `bytesPerPixel` bytes per pixel holds its pixels.
bool ConversionFits(uint32_t width, uint32_t height, const tagRECT& r, const void* buffer,
                    DWORD recorded, uint32_t bytesPerPixel) {
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
        uint32_t(r.right) > width || uint32_t(r.bottom) > height || !buffer)
        return false;
    const uint64_t count = uint64_t(r.right - r.left) * uint64_t(r.bottom - r.top);
    return count * bytesPerPixel <= recorded;
}

} // namespace

int CCEBitmap::LoadARGBImage(CCEDraw*, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                             tagRECT rcSrc) {
    if (!pImage || !m_pImgFactory ||
        !ConversionFits(uWidth, uHeight, rcSrc, m_pPixels, m_cbPixels, 2) ||
        !ConversionFits(uWidth, uHeight, rcSrc, m_pAlpha, m_cbAlpha, 1)) {
        m_bARGB = 0;
        return 0;
    }
    m_bARGB = 1;
    return ConvertRendering(m_pImgFactory, pImage, uWidth, uHeight, rcSrc, pf::PixelFormat32bppARGB,
                            m_pPixels, m_pAlpha);
}

int CCEBitmap::LoadResizeImage(CCEDraw*, IImage* pImage, unsigned int uWidth, unsigned int uHeight,
                               tagRECT rcSrc) {
    m_bARGB = 0;
    if (!pImage || !m_pImgFactory ||
        !ConversionFits(uWidth, uHeight, rcSrc, m_pPixels, m_cbPixels, 2))
        return 0;
    return ConvertRendering(m_pImgFactory, pImage, uWidth, uHeight, rcSrc, pf::PixelFormat24bppRGB,
                            m_pPixels, nullptr);
}
