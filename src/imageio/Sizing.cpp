#include "imageio/ImageIo.h"

#include "CCEDraw.h"
#include "imageio/DisplayOrientation.h"
#include "system/os/System.h"

namespace zorva {

void FitToBox(int nMaxWidth, int nMaxHeight, unsigned int* puWidth, unsigned int* puHeight) {
    if (!puWidth || !puHeight) return;
    const int32_t w = int32_t(*puWidth), h = int32_t(*puHeight);
    const int32_t fitted = platform::MulDiv(w, nMaxHeight, h);
    if (fitted >= 0 && fitted <= nMaxWidth) {
        *puWidth = unsigned(fitted);
        *puHeight = unsigned(nMaxHeight);
    } else {
        *puWidth = unsigned(nMaxWidth);
        *puHeight = unsigned(platform::MulDiv(h, nMaxWidth, w));
    }
}

bool LoaderBox(CCEDraw* pDraw, unsigned int uBoxWidth, unsigned int uBoxHeight, uint32_t* boxWidth,
               uint32_t* boxHeight) {
    if (uBoxWidth || uBoxHeight) {
        *boxWidth = uBoxWidth;
        *boxHeight = uBoxHeight;
        return true;
    }
    if (!pDraw) return false;
    const DWORD cx = pDraw->m_DisplayProperties.cxWidth, cy = pDraw->m_DisplayProperties.cyHeight;
    const BYTE orientation = GetDisplayOrientation();
    const bool upright = orientation == 0 || orientation == 2;
    *boxWidth = upright ? cx : cy;
    *boxHeight = upright ? cy : cx;
    return true;
}

bool ComputeTargetSize(BYTE bMode, uint32_t width, uint32_t height, uint32_t boxWidth,
                       uint32_t boxHeight, TargetSize* target) {
    const uint64_t longer = boxWidth > boxHeight ? boxWidth : boxHeight;
    const uint64_t shorter = boxWidth > boxHeight ? boxHeight : boxWidth;
    uint64_t w = width, h = height;
    bool scaled = false, thumbnail = false;
    auto fit = [&] {
        unsigned fw = width, fh = height;
        FitToBox(int(boxWidth), int(boxHeight), &fw, &fh);
        w = fw;
        h = fh;
        scaled = true;
    };
    switch (bMode) {
    case 0:
        break;
    case 3:
        if (width > shorter || height > shorter) fit();
        break;
    case 4:
        fit();
        break;
    default:
        if (width <= longer || height <= longer || width == 0 || height == 0) break;
        // Along the box's longer axis (landscape: width) for the shrinking
        // modes; across it for mode 2's thumbnail.
        const bool widthIsL =
            bMode == 2 ? boxWidth < boxHeight || (boxWidth == boxHeight && height > width)
                       : boxWidth > boxHeight;
        if (widthIsL) {
            w = longer;
            h = longer * height / width;
        } else {
            w = longer * width / height;
            h = longer;
        }
        if (bMode == 2)
            thumbnail = true;
        else
            scaled = true;
        break;
    }
    if (w > uint64_t(INT32_MAX) || h > uint64_t(INT32_MAX)) return false;
    target->width = uint32_t(w);
    target->height = uint32_t(h);
    target->scaled = scaled;
    target->thumbnail = thumbnail;
    return true;
}

bool PlanCrop(uint32_t uWidth, uint32_t uHeight, int x, int y, uint32_t cw, uint32_t ch, BYTE rot,
              CropPlan* plan) {
    if (rot != 0 && rot != 1 && rot != 2 && rot != 4) return false;
    if (uWidth == 0 || uHeight == 0 || uWidth > uint32_t(INT32_MAX) ||
        uHeight > uint32_t(INT32_MAX))
        return false;
    // One axis of the window: the offset x' (0 or below) and the extent w'.
    auto axis = [](int64_t position, uint64_t extent, uint64_t size, int64_t* offset,
                   int64_t* length) {
        if (position > 0) {
            *offset = 0;
            *length = int64_t(size);
        } else {
            *offset = position;
            *length = int64_t(extent);
            if (extent + uint64_t(-position) > size) *length = int64_t(size) + position;
        }
        return *length > 0 && -*offset < int64_t(size);
    };
    const int64_t W = uWidth, H = uHeight;
    int64_t xo, wo, yo, ho;
    if (!axis(x, cw, uint64_t(W), &xo, &wo) || !axis(y, ch, uint64_t(H), &yo, &ho)) return false;
    int64_t left = 0, top = 0, rw = wo, rh = ho;
    switch (rot) {
    case 0:
        left = -xo;
        top = -yo;
        break;
    case 1:
        left = -yo;
        top = W - wo + xo;
        rw = ho;
        rh = wo;
        break;
    case 2:
        left = W - wo + xo;
        top = H - ho + yo;
        break;
    case 4:
        left = H - ho + yo;
        top = -xo;
        rw = ho;
        rh = wo;
        break;
    }
    const bool turned = rot == 1 || rot == 4;
    plan->renderWidth = turned ? uHeight : uWidth;
    plan->renderHeight = turned ? uWidth : uHeight;
    plan->source = tagRECT{int32_t(left), int32_t(top), int32_t(left + rw), int32_t(top + rh)};
    plan->width = uint32_t(rw);
    plan->height = uint32_t(rh);
    return true;
}

} // namespace zorva
