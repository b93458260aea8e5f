// Zorva: the platform records and handle types that the class headers use.
// The classes keep the records and handles of the handheld platform their
// interface comes from (points, rectangles, the game API's display record,
// window and module handles, COM-style interfaces); this header defines them
// for Linux. Every 32-bit field stays 32 bits on LP64, where `long` is 64.
#ifndef ZORVA_TYPES_H
#define ZORVA_TYPES_H

#include <cstddef>
#include <cstdint>

#if defined(ZORVA_BUILDING_LIBRARY)
#define ZORVA_API __attribute__((visibility("default")))
#else
#define ZORVA_API
#endif

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef int32_t HRESULT;
typedef int BOOL;

// Opaque handles. Each points at an object that only the platform layer
// knows; a null handle is "none".
typedef struct HWND__* HWND;       // a window on a display device
typedef struct HMODULE__* HMODULE; // a loaded platform module ("GX.dll", ...)
typedef struct HDC__* HDC;         // a drawing context
typedef struct HGDIOBJ__* HGDIOBJ; // an image, font or brush of a drawing context
typedef void* HANDLE;

// Signed 32-bit point, x then y.
struct tagPOINT {
    int32_t x;
    int32_t y;
};

// Signed 32-bit rectangle: left, top, right, bottom.
struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Signed 32-bit size, cx then cy.
struct tagSIZE {
    int32_t cx;
    int32_t cy;
};

// Single-precision point, x then y.
struct tagFLOATPOINT {
    float x;
    float y;
};

// The game API's display record. Width and height are the canvas's; the two
// pitches keep what the display reported. See docs/display.md.
struct GXDisplayProperties {
    DWORD cxWidth;    // width in pixels
    DWORD cyHeight;   // height in pixels
    int32_t cbxPitch; // bytes from a pixel to its right-hand neighbour
    int32_t cbyPitch; // bytes from a pixel to the one below it
    int32_t cBPP;     // bits per pixel
    DWORD ffFormat;   // kfDirect565 (128) or kfDirect555 (64)
};

#define kfDirect555 0x40
#define kfDirect565 0x80

// Blit modes shared by every blit and by CCEBitmap::Merge.
#ifndef SRCCOPY
#define SRCCOPY 0x00CC0020UL
#endif
#ifndef BLT_ALPHA
#define BLT_ALPHA 1001UL
#endif
#ifndef BLT_TRANSPARENT
#define BLT_TRANSPARENT 1002UL
#endif

// COM-style identifiers and the base interface. Objects handed out by the
// platform layer are reference counted: every holder of a pointer owns one
// reference, AddRef takes another, and Release gives one back (the last frees
// the object); both return the new count.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

struct IUnknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// A byte stream (memory or file) with a position. Read copies up to cb bytes
// from it (fewer at the end, still success); Write writes at it (a file
// stream refuses); Seek moves it to offset from origin 0 (start), 1 (current)
// or 2 (end), refusing a position before the start. Results: 0, or a negative
// failure code.
struct IStream : IUnknown {
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
    virtual HRESULT Seek(int64_t offset, DWORD origin, uint64_t* pNewPosition) = 0;

protected:
    ~IStream() = default;
};

// Interfaces held in class fields; their operations are the platform
// layer's business.
struct IDirectDraw;
struct IDirectDrawSurface;
struct IImagingFactory;
struct IImage;
struct IPOutlookApp;

// An image property as the imaging service returns it: the values follow the
// record in the same block. A bitmap keeps its frame delays in one.
struct PropertyItem {
    uint32_t id;     // 0x5100: frame delays
    uint32_t length; // bytes of the values
    uint16_t type;   // 4: 32-bit integers
    void* value;     // the values, in the same block after the record
};

// DirectDraw records as the windowed back-end fills them.
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS {
    DWORD dwCaps;
};

#define DDSD_CAPS 0x00000001UL
#define DDSCAPS_PRIMARYSURFACE 0x00000040UL
#define DDLOCK_WAITNOTBUSY 0x00000008UL
#define DDSCL_NORMAL 0x00000000UL

// The surface description. dwSize is sizeof(DDSURFACEDESC) on this platform
// (the surface address makes it larger than on 32-bit devices).
struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    int32_t lPitch;  // bytes from a pixel to the one below it
    int32_t lXPitch; // bytes from a pixel to its right-hand neighbour
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
    DWORD dwSurfaceSize;
};

typedef HRESULT (*LPDIRECTDRAWCREATE)(GUID* lpGUID, IDirectDraw** lplpDD, IUnknown* pUnkOuter);
typedef int (*LPGXINPUTFUNC)();

#endif // ZORVA_TYPES_H
