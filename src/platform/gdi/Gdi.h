// Drawing contexts. Internal to the platform layer.
#ifndef ZORVA_PLATFORM_GDI_H
#define ZORVA_PLATFORM_GDI_H

#include "platform/Platform.h"

struct HDC__ {
    HWND window = nullptr; // the window a window context belongs to
};

#endif // ZORVA_PLATFORM_GDI_H
