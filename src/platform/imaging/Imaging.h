// The imaging codec service's interfaces.
#ifndef ZORVA_PLATFORM_IMAGING_H
#define ZORVA_PLATFORM_IMAGING_H

#include "ZorvaTypes.h"

// A decoded image.
struct IImage : IUnknown {
protected:
    ~IImage() = default;
};

// Creates images, bitmaps and decoders.
struct IImagingFactory : IUnknown {
protected:
    ~IImagingFactory() = default;
};

#endif // ZORVA_PLATFORM_IMAGING_H
