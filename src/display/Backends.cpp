// The two ways to reach a display's frame buffer, and the game input module.
#include "CCEGraphics.h"

#include "system/display/DisplayApi.h"
#include "system/gdi/GdiApi.h"
#include "system/os/System.h"

#include <cstring>

namespace pf = zorva::platform;

bool CCEGraphics::loadRawBuffer(HWND window) {
    HDC dc = pf::GetDC(window);
    if (!dc) return false;
    pf::RawFrameBufferInfo info{};
    if (pf::ExtEscape(dc, pf::GETRAWFRAMEBUFFER, 0, nullptr, sizeof info,
                      reinterpret_cast<char*>(&info)) == 0) {
        pf::ReleaseDC(window, dc);
        return false;
    }
    m_DisplayProperties.cxWidth = DWORD(info.cxPixels);
    m_DisplayProperties.cBPP = info.wBPP;
    m_DisplayProperties.cyHeight = DWORD(info.cyPixels);
    m_DisplayProperties.cbxPitch = info.cxStride;
    m_DisplayProperties.cbyPitch = info.cyStride;
    m_pFrameBuffer = static_cast<BYTE*>(info.pFramePointer);

    // An unsupported format counts as failure so that Create can fall back
    // to the windowed back-end; the geometry stays as written.
    bool supported = true;
    if (info.wFormat == pf::FORMAT_565)
        m_DisplayProperties.ffFormat = kfDirect565;
    else if (info.wFormat == pf::FORMAT_555)
        m_DisplayProperties.ffFormat = kfDirect555;
    else
        supported = false;
    pf::ReleaseDC(window, dc);
    return supported;
}

bool CCEGraphics::loadDirectDraw(HWND window) {
    // The module stays loaded on every failure path; Release unloads it.
    if (!m_hDDrawModule) m_hDDrawModule = pf::LoadLibraryW(L"ddraw.dll");
    if (!m_hDDrawModule) return false;
    m_pfnDirectDrawCreate = reinterpret_cast<LPDIRECTDRAWCREATE>(
        pf::GetProcAddressW(m_hDDrawModule, L"DirectDrawCreate"));
    if (!m_pfnDirectDrawCreate) return false;

    if (m_pfnDirectDrawCreate(nullptr, &m_pDirectDraw, nullptr) != 0 || !m_pDirectDraw) {
        m_pDirectDraw = nullptr;
        return false;
    }
    auto dropObject = [this] {
        m_pDirectDraw->Release();
        m_pDirectDraw = nullptr;
    };
    if (m_pDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL) != 0) {
        dropObject();
        return false;
    }

    DDCAPS driverCaps{}, emulationCaps{};
    driverCaps.dwSize = sizeof driverCaps;
    emulationCaps.dwSize = sizeof emulationCaps;
    m_pDirectDraw->GetCaps(&driverCaps, &emulationCaps);
    if (!(driverCaps.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE)) {
        dropObject();
        return false;
    }

    std::memset(&m_ddsd, 0, sizeof m_ddsd);
    m_ddsd.dwSize = sizeof m_ddsd;
    m_ddsd.dwFlags = DDSD_CAPS;
    m_ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (m_pDirectDraw->CreateSurface(&m_ddsd, &m_pPrimarySurface, nullptr) != 0 ||
        !m_pPrimarySurface) {
        m_pPrimarySurface = nullptr;
        dropObject();
        return false;
    }

    std::memset(&m_ddsd, 0, sizeof m_ddsd);
    m_ddsd.dwSize = sizeof m_ddsd;
    if (m_pPrimarySurface->Lock(nullptr, &m_ddsd, DDLOCK_WAITNOTBUSY, nullptr) != 0) {
        m_pPrimarySurface->Release();
        m_pPrimarySurface = nullptr;
        dropObject();
        return false;
    }
    // Any pixel format is taken as RGB565: the library only writes RGB565.
    m_DisplayProperties.cxWidth = m_ddsd.dwWidth & 0xFFFF;
    m_DisplayProperties.cyHeight = m_ddsd.dwHeight & 0xFFFF;
    m_DisplayProperties.cBPP = int32_t(m_ddsd.ddpfPixelFormat.dwRGBBitCount);
    m_DisplayProperties.cbxPitch = m_ddsd.lXPitch;
    m_DisplayProperties.cbyPitch = m_ddsd.lPitch;
    m_DisplayProperties.ffFormat = kfDirect565;
    m_pFrameBuffer = static_cast<BYTE*>(m_ddsd.lpSurface);
    // The address stays valid after the unlock and is where Flip copies to.
    m_pPrimarySurface->Unlock(nullptr);
    return true;
}

bool CCEGraphics::loadGAPI() {
    if (m_hGXModule) return true;
    m_hGXModule = pf::LoadLibraryW(L"GX.dll");
    if (!m_hGXModule) return false;
    // A missing entry is not a failure: the surface skips calls to it.
    m_pfnGXOpenInput =
        reinterpret_cast<LPGXINPUTFUNC>(pf::GetProcAddressW(m_hGXModule, L"?GXOpenInput@@YAHXZ"));
    m_pfnGXCloseInput =
        reinterpret_cast<LPGXINPUTFUNC>(pf::GetProcAddressW(m_hGXModule, L"?GXCloseInput@@YAHXZ"));
    return true;
}
