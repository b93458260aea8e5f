// Cropped loading: a window of a rendering, in the image's own orientation.
#include "CCEBitmap.h"
#include "core/SharedBlock.h"
#include "imageio/ImageIo.h"
#include "imageio/LoadScope.h"
#include "system/com/Com.h"
#include "system/imaging/Imaging.h"

namespace pf = zorva::platform;
using zorva::LoadError;
using zorva::NoteLoadError;
using zorva::NoteLoadResult;

namespace {

// The steps shared by Crop and ImageCrop once the bitmap is 0 x 0 and the
// source is known: the plan, the buffers, the image, the converter.
template <class OpenImage, class Argb, class Resize>
int CropImage(CCEBitmap& bitmap, unsigned int uWidth, unsigned int uHeight, int x, int y,
              unsigned int uCropWidth, unsigned int uCropHeight, unsigned char bOrientation,
              OpenImage open, Argb loadArgb, Resize loadResize) {
    if (bOrientation != 0 && bOrientation != 1 && bOrientation != 2 && bOrientation != 4)
        return NoteLoadError(LoadError::BadArgument, "The orientation must be 0, 1, 2 or 4.");
    zorva::CropPlan plan;
    if (!zorva::PlanCrop(uWidth, uHeight, x, y, uCropWidth, uCropHeight, bOrientation, &plan))
        return NoteLoadError(LoadError::BadBox,
                             "The crop window is empty or lies outside the rendered picture.");
    // The whole rendering must be a size the imaging service renders.
    if (!pf::ImageSizeAllowed(plan.renderWidth, plan.renderHeight))
        return NoteLoadError(LoadError::TooLarge, "The size to render the picture at is past the "
                                                  "loaders' limits (65,535 pixels a side, 2^26 "
                                                  "pixels).");
    const uint64_t count = uint64_t(plan.width) * plan.height;
    if (!zorva::GrowBuffer(bitmap.m_pPixels, bitmap.m_cbPixels, count * 2))
        return NoteLoadError(LoadError::OutOfMemory);
    IImage* image = nullptr;
    bool owned = false;
    if (!open(&image, &owned) || !image) return 0;
    ImageInfo info;
    int result = 0;
    if (NoteLoadResult(image->GetImageInfo(&info)) == pf::S_OK) {
        if (info.PixelFormat & pf::PixelFormatAlpha) {
            if (zorva::GrowBuffer(bitmap.m_pAlpha, bitmap.m_cbAlpha, count)) {
                result = loadArgb(image, plan.renderWidth, plan.renderHeight, plan.source);
                bitmap.m_nWidth = int32_t(plan.width);
                bitmap.m_nHeight = int32_t(plan.height);
            } else {
                NoteLoadError(LoadError::OutOfMemory);
            }
        } else {
            result = loadResize(image, plan.renderWidth, plan.renderHeight, plan.source);
            bitmap.m_nWidth = int32_t(plan.width);
            bitmap.m_nHeight = int32_t(plan.height);
        }
    }
    if (owned) image->Release();
    return result;
}

} // namespace

int CCEBitmap::Crop(CCEDraw* pDraw, const wchar_t* pszFile, unsigned int uWidth,
                    unsigned int uHeight, int x, int y, unsigned int uCropWidth,
                    unsigned int uCropHeight, unsigned char bOrientation) {
    zorva::LoadScope loading(*this);
    if (!pDraw) return NoteLoadError(LoadError::BadArgument, "No canvas was given.");
    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (!pszFile) return NoteLoadError(LoadError::BadArgument, "No file name was given.");
    const int result = CropImage(
        *this, uWidth, uHeight, x, y, uCropWidth, uCropHeight, bOrientation,
        [&](IImage** image, bool* owned) {
            if (EnsureImgFactory() < 0) return false;
            *owned = true;
            return NoteLoadResult(m_pImgFactory->CreateImageFromFile(pszFile, image)) == pf::S_OK;
        },
        [&](IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadARGBImage(pDraw, i, w, h, r);
        },
        [&](IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadResizeImage(pDraw, i, w, h, r);
        });
    return loading.Finish(result, result != 0);
}

int CCEBitmap::ImageCrop(CCEDraw* pDraw, CCEBitmap* pSrc, unsigned int uWidth, unsigned int uHeight,
                         int x, int y, unsigned int uCropWidth, unsigned int uCropHeight,
                         unsigned char bOrientation) {
    zorva::LoadScope loading(*this);
    if (!pDraw) return NoteLoadError(LoadError::BadArgument, "No canvas was given.");
    m_nWidth = 0;
    m_nHeight = 0;
    m_bARGB = 0;
    if (!pSrc || !pSrc->m_pImage)
        return NoteLoadError(LoadError::BadArgument, "The source bitmap keeps no image.");
    const int result = CropImage(
        *this, uWidth, uHeight, x, y, uCropWidth, uCropHeight, bOrientation,
        [&](IImage** image, bool* owned) {
            if (EnsureImgFactory() < 0) return false;
            // The source keeps its reference; none is taken here.
            *image = pSrc->m_pImage;
            *owned = false;
            return true;
        },
        [&](IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadARGBImage(pDraw, i, w, h, r);
        },
        [&](IImage* i, unsigned w, unsigned h, tagRECT r) {
            return LoadResizeImage(pDraw, i, w, h, r);
        });
    return loading.Finish(result, result != 0);
}
