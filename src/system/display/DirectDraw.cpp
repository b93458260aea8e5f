// The windowed back-end: a DirectDraw object whose primary surface is the
// window's frame memory. A step fails only when the device lacks the
// windowed surface or a test asked for the failure; unlocking the surface
// presents the frame.
#include "system/display/DisplayApi.h"
#include "system/display/Emulation.h"
#include "system/windows/Windows.h"

#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

// Steps of the windowed back-end that a device may refuse.
enum class WindowedStep { Create, CooperativeLevel, PrimaryCaps, CreateSurface, Lock };

HRESULT Step(const DisplayDevice& device, WindowedStep step) {
    if (!device.Capabilities().windowedSurface) return DDERR_GENERIC;
    const VirtualDisplayFaults f = FaultsFor(device);
    const bool fails[] = {f.ddrawCreateFails, f.ddrawCooperativeLevelFails, f.ddrawNoPrimaryCaps,
                          f.ddrawCreateSurfaceFails, f.ddrawLockFails};
    return fails[int(step)] ? DDERR_GENERIC : S_OK;
}

// DirectDraw objects answer no interface but IUnknown.
template <class Interface>
class DirectDrawObject : public RefCounted<Interface> {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IUnknown, this}});
    }
};

class PrimarySurface final : public DirectDrawObject<IDirectDrawSurface> {
public:
    // The surface holds the screen for its canvas while it lives.
    explicit PrimarySurface(std::shared_ptr<DisplayDevice> device) : m_device(std::move(device)) {
        Count(&VirtualDisplayStats::surfaces, 1);
        m_device->Acquire();
    }

    HRESULT Lock(tagRECT*, DDSURFACEDESC* desc, DWORD, HANDLE) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_GENERIC;
        if (Step(*m_device, WindowedStep::Lock) != S_OK) return DDERR_GENERIC;
        Count(&VirtualDisplayStats::surfaceLocks, 1);
        m_device->BeginPresent();
        const DisplayDevice& d = *m_device;
        desc->dwWidth = DWORD(d.Width());
        desc->dwHeight = DWORD(d.Height());
        desc->lXPitch = d.XPitch();
        desc->lPitch = d.YPitch();
        desc->lpSurface = d.Origin();
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwRGBBitCount = DWORD(FaultsFor(d).ddrawBitsPerPixel);
        desc->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        return S_OK;
    }

    HRESULT Unlock(tagRECT*) override {
        Count(&VirtualDisplayStats::surfaceUnlocks, 1);
        m_device->Present({0, 0, m_device->Width(), m_device->Height()});
        return S_OK;
    }

private:
    ~PrimarySurface() override {
        m_device->Release();
        Count(&VirtualDisplayStats::surfaces, -1);
    }

    std::shared_ptr<DisplayDevice> m_device;
};

class DirectDraw final : public DirectDrawObject<IDirectDraw> {
public:
    DirectDraw() { Count(&VirtualDisplayStats::directDrawObjects, 1); }

    HRESULT SetCooperativeLevel(HWND window, DWORD) override {
        if (!window || Step(*window->device, WindowedStep::CooperativeLevel) != S_OK)
            return DDERR_GENERIC;
        m_device = window->device;
        return S_OK;
    }

    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override {
        std::shared_ptr<DisplayDevice> device = m_device ? m_device : ScreenDevice();
        const DWORD caps =
            device && Step(*device, WindowedStep::PrimaryCaps) == S_OK ? DDSCAPS_PRIMARYSURFACE : 0;
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
        if (Step(*m_device, WindowedStep::CreateSurface) != S_OK) return DDERR_GENERIC;
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
    if (!screen || Step(*screen, WindowedStep::Create) != S_OK) return DDERR_GENERIC;
    *directDraw = new (std::nothrow) DirectDraw;
    return *directDraw ? S_OK : DDERR_GENERIC;
}

} // namespace zorva::platform
