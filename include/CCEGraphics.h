// CCEGraphics: the display surface. Binds the library to a window's display,
// owns the back buffer every drawing call writes, presents it with one block
// copy (Flip), tracks suspension and keeps the library's one error record.
#ifndef ZORVA_CCEGRAPHICS_H
#define ZORVA_CCEGRAPHICS_H

#include "ZorvaTypes.h"

class ZORVA_API CCEGraphics {
public:
    // Geometry and buffers. Pixel (x, y) of the canvas is the RGB565 value at
    // m_pBackBuffer + x * m_xPitch + y * m_yPitch, with 0 <= x < width and
    // 0 <= y < height (cxWidth and cyHeight of m_DisplayProperties, compared
    // as signed values); the same pixel of the screen is at m_pFrameBuffer
    // plus the same offset.
    int32_t m_xPitch;
    int32_t m_yPitch;
    BYTE* m_pFirstRowEnd;  // back buffer address of (width - 1, 0)
    BYTE* m_pLastRowStart; // back buffer address of (0, height - 1)
    BYTE* m_pBackBuffer;   // pixel (0, 0) of the back buffer; owned
    BYTE* m_pFrameBuffer;  // pixel (0, 0) of the display; not owned
    GXDisplayProperties m_DisplayProperties;
    IDirectDraw* m_pDirectDraw;
    DDSURFACEDESC m_ddsd;
    IDirectDrawSurface* m_pPrimarySurface;
    HMODULE m_hGXModule;
    HMODULE m_hDDrawModule;
    LPDIRECTDRAWCREATE m_pfnDirectDrawCreate;
    BYTE m_bMode; // 1 raw frame buffer, 2 DirectDraw
    // Bytes Flip copies. For the dense layouts displays normally have this
    // is width x height x 2; for padded rows it is the whole span the
    // display's pitches cover (see Create).
    DWORD m_cbBackBuffer;
    int m_bSuspended;
    HWND m_hWnd;
    DWORD m_dwLastError;
    LPGXINPUTFUNC m_pfnGXOpenInput;
    LPGXINPUTFUNC m_pfnGXCloseInput;

    // Error codes kept in m_dwLastError. No success ever clears the record.
    enum : DWORD {
        kErrorDisplay = 100,    // display acquisition failed (Create)
        kErrorBackBuffer = 102, // back buffer allocation failed (Create)
        kErrorSuspended = 105,  // surface suspended (BeginDraw, EndDraw, Flip)
        kErrorNullObject = 113, // null object given to CCEDraw::SetGDIObject
        kErrorNoPen = 114,      // CCEDraw::Clear(CCEPen*) without any pen
    };

    CCEGraphics();

    // Ownership: every copy of a surface (copy constructor, operator=) holds
    // its own reference to each resource the surface holds: the back buffer,
    // the DirectDraw objects, the loaded modules and an opening of game
    // input. Release and the destructor give back the object's own
    // references; the resource goes when its last holder lets go. So copies
    // draw into the same back buffer and present to the same screen, either
    // may be released or destroyed first, and nothing is freed twice.
    CCEGraphics(const CCEGraphics& other);
    CCEGraphics& operator=(const CCEGraphics& other);

    // Destroying a surface that was not released does what Release does:
    // nothing the surface holds is leaked.
    ~CCEGraphics();

    // Acquires the display of `window`. mode 1 tries the raw frame buffer
    // first, mode 2 the windowed (DirectDraw) back-end first; devices of the
    // built-in table ("DEKO100", "RIMA100", "SOLA100", "Brovik", "Meridan",
    // "Q7184", matched case-insensitively against the OEM information) always
    // use mode 1. Opens game input and allocates the back buffer in the frame
    // buffer's layout. A display whose x pitch is negative is re-expressed in
    // its memory order: width and height exchange and the pitches turn, so
    // that m_yPitch is positive.
    //
    // Returns 1 on success, 0 on failure; the cause is in GetLastError():
    // 100 when no back-end works, the mode is neither 1 nor 2, game input
    // cannot be loaded, or the display's layout cannot be drawn in; 102 when
    // the back buffer cannot be allocated. After a failure past acquisition
    // the display objects stay held until Release.
    //
    // Layouts: the back buffer always has the frame buffer's exact layout,
    // so Flip stays one block copy. Padded rows and negative pitches are
    // adapted to: the back buffer covers the same span of bytes as the frame
    // buffer. Layouts no pixel can be drawn in safely are refused with 100:
    // a width or height below 1 or above 32767, an odd or zero pitch, pixels
    // that overlap (neither pitch spans the whole other axis), or a span
    // above 1 GiB.
    //
    // Calling Create on a surface that still holds a display (a second
    // Create without Release) releases it first.
    long Create(HWND window, BYTE mode);

    // Closes game input, gives up the display objects, the modules and the
    // back buffer. Mode, suspension, window and error record keep their
    // values. Always 1; releasing a surface that holds nothing does nothing.
    long Release();

    // 1, or 0 with error 105 while suspended.
    long BeginDraw();
    long EndDraw();

    // Copies the back buffer's pixels to the frame buffer in one copy (under
    // the windowed back-end, between a lock and an unlock of the primary
    // surface); with padded rows only the pixels, never the bytes between
    // rows. 0 with error 105 while suspended, or without a display; else 1.
    long Flip();

    // Closes (Suspend) or reopens (Resume) game input and sets the state.
    // Always 1, also when repeated.
    long Suspend();
    long Resume();

    // 1: m_pLastRowStart, 4: m_pFirstRowEnd, any other: m_pBackBuffer.
    BYTE* GetBuffer(BYTE corner);
    BYTE* GetFrameBuffer();
    GXDisplayProperties& GetDisplayProperties();
    int IsSuspend();
    HWND GetWindowHandle();
    unsigned long GetLastError();

protected:
    bool loadRawBuffer(HWND window);
    bool loadDirectDraw(HWND window);
    bool loadGAPI();

private:
    bool HoldsDisplay() const;
    bool AdoptLayout();
    BYTE* BackBufferBlock() const;
    void CopyPixels(BYTE* target, const BYTE* source) const;
    void Adopt(const CCEGraphics& other);
};

#endif // ZORVA_CCEGRAPHICS_H
