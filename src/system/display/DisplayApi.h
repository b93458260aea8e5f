// The display surface's two ways to the frame buffer: the display driver's
// raw frame buffer escape and DirectDraw's primary surface (the windowed
// back-end), over the window's display device.
#ifndef ZORVA_SYSTEM_DISPLAY_DISPLAYAPI_H
#define ZORVA_SYSTEM_DISPLAY_DISPLAYAPI_H

#include "ZorvaTypes.h"
#include "system/com/Com.h"

// DirectDraw. The interfaces live in the global namespace because the
// surface holds them in its fields.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DDSCAPS ddsCaps; // surface capabilities the driver supports
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT Lock(tagRECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
    // Unlocking presents the frame on the window's device.
    virtual HRESULT Unlock(tagRECT* rect) = 0;

protected:
    ~IDirectDrawSurface() = default;
};

struct IDirectDraw : IUnknown {
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                                  IUnknown* outer) = 0;

protected:
    ~IDirectDraw() = default;
};

namespace zorva::platform {

constexpr HRESULT DDERR_GENERIC = E_FAIL;

// Makes `window` the thread's active window, whose display the calls that
// name no window reach (the modules, the screen context, system queries);
// returns the one before. A canvas's Create calls it first.
HWND SetActiveWindow(HWND window);

// "DirectDrawCreate" of "ddraw.dll" (system/os/System.h).
HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer);

// Display driver escapes. Only GETRAWFRAMEBUFFER is known: it fills a
// RawFrameBufferInfo (cbOutput bytes) and returns nonzero when the window's
// device has a raw frame buffer. A format the canvas draws in (RGB565 or
// RGB555) also takes the screen for the canvas until ReleaseRawFrameBuffer.
constexpr int GETRAWFRAMEBUFFER = 0x00020001;
int ExtEscape(HDC dc, int escape, int cbInput, const char* input, int cbOutput, char* output);

struct RawFrameBufferInfo {
    WORD wFormat; // 1 RGB565, 2 RGB555, other values other formats
    WORD wBPP;
    void* pFramePointer; // pixel (0, 0)
    int32_t cxStride;
    int32_t cyStride;
    int32_t cxPixels;
    int32_t cyPixels;
};
constexpr WORD FORMAT_565 = 1;
constexpr WORD FORMAT_555 = 2;
constexpr WORD FORMAT_OTHER = 3;

// Before a canvas writes a frame into a raw frame buffer: a device that keeps
// frames from tearing by waiting for the vertical blank waits. After it
// wrote: `area` changed (devices that must flush their frames show it).
// `frame` is any address in that frame buffer; others are ignored.
void WaitForRawFrameBuffer(void* frame);
void PresentRawFrameBuffer(void* frame, const tagRECT& area);
// A copy of a canvas holds the raw frame buffer too; the canvas that took a
// raw frame buffer through the escape, or a copy, lets go of it (the last
// one: a frame buffer device hands its console back). The device lives
// while a canvas holds its frame buffer, also when its window closes.
// `frame` as above.
void RetainRawFrameBuffer(void* frame);
void ReleaseRawFrameBuffer(void* frame);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_DISPLAY_DISPLAYAPI_H
