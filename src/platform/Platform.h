// The operations the library needs from an operating system, named and
// shaped as the library's classes call them. Everything the library does
// outside its own pixel code goes through here; nothing here knows what a
// canvas or a bitmap is.
#ifndef ZORVA_PLATFORM_PLATFORM_H
#define ZORVA_PLATFORM_PLATFORM_H

#include "ZorvaTypes.h"
#include "platform/com/Com.h"
#include "platform/contacts/Contacts.h"
#include "platform/files/FilesApi.h"
#include "platform/gdi/GdiApi.h"
#include "platform/imaging/Imaging.h"
#include "platform/memory/Memory.h"
#include "platform/streams/Streams.h"

// DirectDraw, the windowed back-end. The interfaces live in the global
// namespace because the surface holds them in its fields.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DDSCAPS ddsCaps; // surface capabilities the driver supports
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT Lock(tagRECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
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

// ---- System -------------------------------------------------------------
constexpr unsigned SPI_GETOEMINFO = 258;

// Only SPI_GETOEMINFO is answered: the OEM information string, as wide
// characters, into pvParam (uiParam bytes, terminated). FALSE on failure.
BOOL SystemParametersInfoW(unsigned uiAction, unsigned uiParam, void* pvParam, unsigned fWinIni);

// Case-insensitive comparison of two wide strings (<0, 0, >0).
int _wcsicmp(const wchar_t* a, const wchar_t* b);

// number * numerator / denominator with a 64-bit intermediate, rounded to
// the nearest integer (halves away from zero); -1 when the denominator is 0
// or the result does not fit a signed 32-bit integer.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// ---- Modules ------------------------------------------------------------
// Modules are reference counted: loading a loaded module returns the same
// handle and counts one more reference; FreeLibrary gives one back and
// unloads at the last. Null when the module does not exist.
HMODULE LoadLibraryW(const wchar_t* name);
void* GetProcAddressW(HMODULE module, const wchar_t* procName);
BOOL FreeLibrary(HMODULE module);
// Takes one more reference on a loaded module (the equivalent of loading it
// again by name) and returns it; null stays null.
HMODULE AddRefModule(HMODULE module);

// ---- Display driver escapes (drawing contexts: platform/gdi/GdiApi.h) ----
// Display driver escapes. Only GETRAWFRAMEBUFFER is known: it fills a
// RawFrameBufferInfo (cbOutput bytes) and returns nonzero when the display
// driver has a raw frame buffer.
constexpr int GETRAWFRAMEBUFFER = 0x00020001;
int ExtEscape(HDC dc, int escape, int cbInput, const char* input, int cbOutput, char* output);
// The canvas that took a raw frame buffer through the escape lets go of it
// (a frame buffer device hands its console back). `frame` is any address
// in that frame buffer; others are ignored.
void ReleaseRawFrameBuffer(void* frame);

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

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT DDERR_GENERIC = E_FAIL;

} // namespace zorva::platform

#endif // ZORVA_PLATFORM_PLATFORM_H
