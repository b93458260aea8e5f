// The windowed back-end over the virtual display: a DirectDraw object whose
// primary surface is the window's display memory. Its create / lock /
// unlock steps are the ones every windowed device goes through.
#include "platform/Platform.h"
#include "platform/display/Display.h"

#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

const VirtualDisplayConfig Settings() {
    std::lock_guard<std::mutex> hold(System().lock);
    return System().config;
}

void Count(int VirtualDisplayStats::*counter, int delta) {
    std::lock_guard<std::mutex> hold(System().lock);
    System().stats.*counter += delta;
}

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
        if (Settings().ddrawLockFails) return DDERR_GENERIC;
        Count(&VirtualDisplayStats::surfaceLocks, 1);
        const DisplayDevice& d = *m_device;
        desc->dwWidth = DWORD(d.Width());
        desc->dwHeight = DWORD(d.Height());
        desc->lXPitch = d.XPitch();
        desc->lPitch = d.YPitch();
        desc->lpSurface = d.Origin();
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwRGBBitCount = DWORD(Settings().ddrawBitsPerPixel);
        desc->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        return S_OK;
    }

    HRESULT Unlock(tagRECT*) override {
        Count(&VirtualDisplayStats::surfaceUnlocks, 1);
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
        if (!window || Settings().ddrawCooperativeLevelFails) return DDERR_GENERIC;
        m_device = window->device;
        return S_OK;
    }

    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override {
        DWORD caps = Settings().ddrawNoPrimaryCaps ? 0 : DDSCAPS_PRIMARYSURFACE;
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
        if (Settings().ddrawCreateSurfaceFails) return DDERR_GENERIC;
        *surface = new (std::nothrow) PrimarySurface(m_device);
        return *surface ? S_OK : DDERR_GENERIC;
    }

private:
    ~DirectDraw() override { Count(&VirtualDisplayStats::directDrawObjects, -1); }

    std::shared_ptr<DisplayDevice> m_device;
};

} // namespace

HRESULT VirtualDirectDrawCreate(GUID*, IDirectDraw** directDraw, IUnknown*) {
    if (!directDraw) return DDERR_GENERIC;
    *directDraw = nullptr;
    if (Settings().ddrawCreateFails) return DDERR_GENERIC;
    *directDraw = new (std::nothrow) DirectDraw;
    return *directDraw ? S_OK : DDERR_GENERIC;
}

} // namespace zorva::platform
