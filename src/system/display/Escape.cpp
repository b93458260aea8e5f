// The display driver's raw frame buffer escape, over the window's device.
#include "system/display/DisplayApi.h"
#include "system/display/Emulation.h"
#include "system/gdi/Gdi.h"

#include <cstring>

namespace zorva::platform {
namespace {

WORD FormatCode(backends::FrameFormat format) {
    switch (format) {
    case backends::FrameFormat::Rgb565:
        return FORMAT_565;
    case backends::FrameFormat::Rgb555:
        return FORMAT_555;
    default:
        return FORMAT_OTHER;
    }
}

} // namespace

int ExtEscape(HDC dc, int escape, int, const char*, int cbOutput, char* output) {
    if (escape != GETRAWFRAMEBUFFER) return 0;
    Count(&VirtualDisplayStats::rawFrameBufferQueries);
    if (!dc || dc->kind != HDC__::Kind::Window || !dc->window || !output ||
        cbOutput < int(sizeof(RawFrameBufferInfo)))
        return 0;
    DisplayDevice& device = *dc->window->device;
    const backends::DisplayCapabilities caps = device.Capabilities();
    if (!caps.rawFrameBuffer) return 0;
    RawFrameBufferInfo info{};
    info.wFormat = FormatCode(caps.format);
    info.wBPP = WORD(caps.bitsPerPixel);
    info.pFramePointer = device.Origin();
    info.cxStride = device.XPitch();
    info.cyStride = device.YPitch();
    info.cxPixels = device.Width();
    info.cyPixels = device.Height();
    std::memcpy(output, &info, sizeof info);
    // A canvas draws only in the formats it knows; then it holds the screen.
    if (info.wFormat != FORMAT_OTHER) device.Acquire();
    return 1;
}

void WaitForRawFrameBuffer(void* frame) {
    if (std::shared_ptr<DisplayDevice> device = DeviceHolding(frame)) device->BeginPresent();
}

void PresentRawFrameBuffer(void* frame, const tagRECT& area) {
    if (std::shared_ptr<DisplayDevice> device = DeviceHolding(frame))
        device->Present({area.left, area.top, area.right, area.bottom});
}

void ReleaseRawFrameBuffer(void* frame) {
    if (std::shared_ptr<DisplayDevice> device = DeviceHolding(frame)) device->Release();
}

} // namespace zorva::platform
