// The display driver's raw frame buffer escape, over the window's device.
#include "system/display/DisplayApi.h"
#include "system/display/Emulation.h"
#include "system/gdi/Gdi.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace zorva::platform {
namespace {

// The raw frame buffers canvases hold, each with the device it belongs to:
// the device lives while a canvas holds its memory, whatever happens to the
// window, and it is let go when the last copy of the canvas lets go.
struct Held {
    std::shared_ptr<DisplayDevice> device;
    int holders = 0;
};
std::mutex g_heldLock;
std::vector<Held> g_held;

// Caller holds g_heldLock.
Held* HeldFor(const void* frame) {
    for (Held& h : g_held)
        if (h.device->Holds(frame)) return &h;
    return nullptr;
}

std::shared_ptr<DisplayDevice> HoldingDevice(const void* frame) {
    std::lock_guard<std::mutex> hold(g_heldLock);
    Held* h = HeldFor(frame);
    return h ? h->device : nullptr;
}

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
    if (info.wFormat != FORMAT_OTHER) {
        std::lock_guard<std::mutex> hold(g_heldLock);
        Held* h = HeldFor(info.pFramePointer);
        if (!h) {
            g_held.push_back(Held{dc->window->device, 0});
            h = &g_held.back();
        }
        if (h->holders++ == 0) device.Acquire();
    }
    return 1;
}

void RetainRawFrameBuffer(void* frame) {
    std::lock_guard<std::mutex> hold(g_heldLock);
    if (Held* h = HeldFor(frame)) ++h->holders;
}

void WaitForRawFrameBuffer(void* frame) {
    if (std::shared_ptr<DisplayDevice> device = HoldingDevice(frame)) device->BeginPresent();
}

void PresentRawFrameBuffer(void* frame, const tagRECT& area) {
    if (std::shared_ptr<DisplayDevice> device = HoldingDevice(frame))
        device->Present({area.left, area.top, area.right, area.bottom});
}

void ReleaseRawFrameBuffer(void* frame) {
    std::shared_ptr<DisplayDevice> last;
    {
        std::lock_guard<std::mutex> hold(g_heldLock);
        Held* h = HeldFor(frame);
        if (!h || --h->holders > 0) return;
        last = std::move(h->device);
        g_held.erase(g_held.begin() + (h - g_held.data()));
    }
    last->Release();
}

} // namespace zorva::platform
