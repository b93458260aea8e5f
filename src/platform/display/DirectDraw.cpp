// The windowed back-end: a DirectDraw object whose primary surface is the
// window's frame memory. Each step asks the window's device whether it
// works; unlocking the surface presents the frame.
#include "platform/Platform.h"
#include "platform/display/Display.h"

#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

// DirectDraw objects answer no other interface.
template <class Interface>
class DirectDrawObject : public RefCounted<Interface> {
public:
    HRESULT QueryInterface(const GUID&, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
};

class PrimarySurface final : public DirectDrawObject<IDirectDrawSurface> {
public:
    explicit PrimarySurface(std::shared_ptr<DisplayDevice> device) : m_device(std::move(device)) {
        Count(&VirtualDisplayStats::surfaces, 1);
    }

    HRESULT Lock(tagRECT*, DDSURFACEDESC* desc, DWORD, HANDLE) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_GENERIC;
        if (m_device->Step(WindowedStep::Lock) != S_OK) return DDERR_GENERIC;
        Count(&VirtualDisplayStats::surfaceLocks, 1);
        const DisplayDevice& d = *m_device;
        desc->dwWidth = DWORD(d.Width());
        desc->dwHeight = DWORD(d.Height());
        desc->lXPitch = d.XPitch();
        desc->lPitch = d.YPitch();
        desc->lpSurface = d.Origin();
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwRGBBitCount = d.SurfaceBitsPerPixel();
        desc->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        return S_OK;
    }

    HRESULT Unlock(tagRECT*) override {
        Count(&VirtualDisplayStats::surfaceUnlocks, 1);
        m_device->Present();
        return S_OK;
    }

private:
    ~PrimarySurface() override { Count(&VirtualDisplayStats::surfaces, -1); }

    std::shared_ptr<DisplayDevice> m_device;
};

class DirectDraw final : public DirectDrawObject<IDirectDraw> {
public:
    DirectDraw() { Count(&VirtualDisplayStats::directDrawObjects, 1); }

    HRESULT SetCooperativeLevel(HWND window, DWORD) override {
        if (!window || window->device->Step(WindowedStep::CooperativeLevel) != S_OK)
            return DDERR_GENERIC;
        m_device = window->device;
        return S_OK;
    }

    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override {
        std::shared_ptr<DisplayDevice> device = m_device ? m_device : ScreenDevice();
        const DWORD caps =
            device && device->Step(WindowedStep::PrimaryCaps) == S_OK ? DDSCAPS_PRIMARYSURFACE : 0;
        for (DDCAPS* c : {driverCaps, emulationCaps}) {
            if (!c) continue;
            std::memset(c, 0, sizeof *c);
            c->dwSize = sizeof *c;
            c->ddsCaps.dwCaps = caps;
        }
        return S_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown*) override {
        if (!surface) return DDERR_GENERIC;
        *surface = nullptr;
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || !(desc->dwFlags & DDSD_CAPS) ||
            !(desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) || !m_device)
            return DDERR_GENERIC;
        if (m_device->Step(WindowedStep::CreateSurface) != S_OK) return DDERR_GENERIC;
        *surface = new (std::nothrow) PrimarySurface(m_device);
        return *surface ? S_OK : DDERR_GENERIC;
    }

private:
    ~DirectDraw() override { Count(&VirtualDisplayStats::directDrawObjects, -1); }

    std::shared_ptr<DisplayDevice> m_device;
};

} // namespace

HRESULT DirectDrawCreate(GUID*, IDirectDraw** directDraw, IUnknown*) {
    if (!directDraw) return DDERR_GENERIC;
    *directDraw = nullptr;
    std::shared_ptr<DisplayDevice> screen = ScreenDevice();
    if (!screen || screen->Step(WindowedStep::Create) != S_OK) return DDERR_GENERIC;
    *directDraw = new (std::nothrow) DirectDraw;
    return *directDraw ? S_OK : DDERR_GENERIC;
}

} // namespace zorva::platform
