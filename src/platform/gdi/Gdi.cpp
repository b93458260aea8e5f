// Window contexts and the display driver's escape.
#include "platform/gdi/Gdi.h"
#include "platform/display/Display.h"

#include <cstring>
#include <new>

namespace zorva::platform {

HDC GetDC(HWND window) {
    if (!window) return nullptr;
    HDC dc = new (std::nothrow) HDC__;
    if (dc) dc->window = window;
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc) return 0;
    delete dc;
    return 1;
}

int ExtEscape(HDC dc, int escape, int, const char*, int cbOutput, char* output) {
    if (escape != GETRAWFRAMEBUFFER) return 0;
    {
        std::lock_guard<std::mutex> hold(System().lock);
        System().stats.rawFrameBufferQueries++;
    }
    if (!dc || !dc->window || !output || cbOutput < int(sizeof(RawFrameBufferInfo))) return 0;
    const DisplayDevice& d = *dc->window->device;
    if (!d.Config().rawFrameBuffer) return 0;
    RawFrameBufferInfo info{};
    info.wFormat = WORD(d.Config().rawFormat);
    info.wBPP = WORD(d.Config().bitsPerPixel);
    info.pFramePointer = d.Origin();
    info.cxStride = d.XPitch();
    info.cyStride = d.YPitch();
    info.cxPixels = d.Width();
    info.cyPixels = d.Height();
    std::memcpy(output, &info, sizeof info);
    return 1;
}

} // namespace zorva::platform
