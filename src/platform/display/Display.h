// The display devices behind windows. Internal to the platform layer.
//
// A window lives on one device. The device answers everything the library
// asks about "the display": its frame memory and geometry, the raw frame
// buffer escape, whether the windowed back-end ("ddraw.dll") and game input
// ("GX.dll") exist and how their steps go, presenting a frame, events,
// screen capture, orientation and the OEM string. Calls that name no window
// (module loading, game input, the screen context, system queries) go to
// the screen device: the most recently opened window's that is still open.
#ifndef ZORVA_PLATFORM_DISPLAY_H
#define ZORVA_PLATFORM_DISPLAY_H

#include "ZorvaPlatform.h"
#include "platform/Platform.h"
#include "platform/PlatformTesting.h"
#include "platform/memory/Memory.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zorva::platform {

// Steps of the windowed back-end that a device may refuse.
enum class WindowedStep { Create, CooperativeLevel, PrimaryCaps, CreateSurface, Lock };

// The platform modules the surface loads at run time.
enum class ModuleId { DirectDraw, GameInput };

class DisplayDevice : public Allocated {
public:
    virtual ~DisplayDevice() = default;
    virtual DisplayKind Kind() const = 0;

    // Frame memory as the device reports it: pixel (x, y) is the 16-bit
    // value at Origin() + x * XPitch() + y * YPitch().
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int32_t XPitch() const { return m_xPitch; }
    int32_t YPitch() const { return m_yPitch; }
    uint8_t* Origin() const { return m_origin; }

    // The raw frame buffer escape: fills the record, false when the device
    // has no raw frame buffer. ReleaseRawFrameBuffer: a canvas gave it back.
    virtual bool RawFrameBuffer(RawFrameBufferInfo* info) {
        (void)info;
        return false;
    }
    virtual void ReleaseRawFrameBuffer() {}

    // Whether a module exists and, for entry > 0, exports its entry-th
    // function (1: DirectDrawCreate or GXOpenInput, 2: GXCloseInput).
    virtual bool Exports(ModuleId module, int entry) const = 0;
    // S_OK when the windowed back-end's step works on this device.
    virtual HRESULT Step(WindowedStep step) const {
        (void)step;
        return S_OK;
    }
    virtual DWORD SurfaceBitsPerPixel() const { return 16; }
    // The primary surface was unlocked: show the frame memory.
    virtual void Present() {}

    virtual void OpenGameInput() {}
    virtual void CloseGameInput() {}
    // Appends the events that arrived since the last call.
    virtual void PumpEvents(std::deque<Event>& queue) { (void)queue; }

    // What the screen shows at (x, y) of the reported geometry.
    virtual uint16_t ScreenPixel(int x, int y) const;
    virtual int Orientation() const { return 0; }
    // The OEM information string; false when the query fails.
    virtual bool OemInfo(std::string* oem) const;

    // True when `address` lies in the frame memory's span.
    bool Holds(const void* address) const;

protected:
    // Sets the geometry; the memory spans every pixel the pitches reach.
    void SetFrame(int width, int height, int32_t xPitch, int32_t yPitch, uint8_t* origin);

private:
    int m_width = 0;
    int m_height = 0;
    int32_t m_xPitch = 0;
    int32_t m_yPitch = 0;
    uint8_t* m_origin = nullptr;
};

// The host's OEM string: device tree model, else DMI product name, else
// "Linux".
std::string HostOemInfo();

// Opening each kind of device. Null with *why set when it cannot start.
std::shared_ptr<DisplayDevice> OpenVirtualDevice(std::string* why);
std::shared_ptr<DisplayDevice> OpenFbdevDevice(const std::string& path, std::string* why);
std::shared_ptr<DisplayDevice> OpenWindowDevice(const char* title, int width, int height, int scale,
                                                std::string* why);
// Whether SDL2's video starts with a real driver (X11, Wayland, KMS/DRM).
bool WindowSystemAvailable();

// Adds delta to one of the test counters (PlatformTesting.h).
void Count(int VirtualDisplayStats::*counter, int delta = 1);

// Open windows, oldest first, under their lock.
struct WindowList {
    std::mutex lock;
    std::vector<HWND> windows;
};
WindowList& Windows();

// The screen device (see above), or null when no window is open.
std::shared_ptr<DisplayDevice> ScreenDevice();

} // namespace zorva::platform

struct HWND__ : zorva::platform::Allocated {
    std::shared_ptr<zorva::platform::DisplayDevice> device;
    std::deque<zorva::Event> events;
    std::string title;
};

#endif // ZORVA_PLATFORM_DISPLAY_H
