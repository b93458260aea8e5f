// CCEGraphics: the display surface. Binds the library to a window's display,
// owns the back buffer every drawing call writes, presents it with one block
// copy (Flip), tracks suspension and keeps the library's one error record.
// See docs/display.md.
#ifndef ZORVA_CCEGRAPHICS_H
#define ZORVA_CCEGRAPHICS_H

#include "ZorvaTypes.h"

class ZORVA_API CCEGraphics {
public:
    // Pixel (x, y) is at m_pBackBuffer + x * m_xPitch + y * m_yPitch.
    int32_t m_xPitch;                         // bytes from a pixel to its right-hand neighbour
    int32_t m_yPitch;                         // bytes from a pixel to the one below it
    BYTE* m_pFirstRowEnd;                     // back buffer address of (width - 1, 0)
    BYTE* m_pLastRowStart;                    // back buffer address of (0, height - 1)
    BYTE* m_pBackBuffer;                      // pixel (0, 0) of the back buffer; owned
    BYTE* m_pFrameBuffer;                     // pixel (0, 0) of the display; not owned
    GXDisplayProperties m_DisplayProperties;  // canvas size; pitches as reported
    IDirectDraw* m_pDirectDraw;               // windowed back-end; owned
    DDSURFACEDESC m_ddsd;                     // the primary surface as last locked
    IDirectDrawSurface* m_pPrimarySurface;    // windowed back-end; owned
    HMODULE m_hGXModule;                      // game input module; owned
    HMODULE m_hDDrawModule;                   // windowed back-end module; owned
    LPDIRECTDRAWCREATE m_pfnDirectDrawCreate; // the windowed back-end's entry point
    BYTE m_bMode;                             // 1 raw frame buffer, 2 DirectDraw
    DWORD m_cbBackBuffer;                     // back buffer bytes: the span the pitches cover
    int m_bSuspended;                         // nonzero between Suspend and Resume
    HWND m_hWnd;                              // the window of the last successful Create
    DWORD m_dwLastError;                      // the last failure; no success clears it
    LPGXINPUTFUNC m_pfnGXOpenInput;           // null when the module lacks the entry
    LPGXINPUTFUNC m_pfnGXCloseInput;          // null when the module lacks the entry

    // Error codes kept in m_dwLastError.
    enum : DWORD {
        kErrorDisplay = 100,    // display acquisition failed (Create)
        kErrorBackBuffer = 102, // back buffer allocation failed (Create)
        kErrorSuspended = 105,  // surface suspended (BeginDraw, EndDraw, Flip)
        kErrorNullObject = 113, // null object given to CCEDraw::SetGDIObject
        kErrorNoPen = 114,      // CCEDraw::Clear(CCEPen*) without any pen
    };

    // A surface holding nothing: no display, no buffers, every field 0.
    CCEGraphics();

    // Copies share the resources: each holds its own reference to the back
    // buffer, the DirectDraw objects, the modules and an opening of game
    // input, and gives it back on Release or destruction; the last holder
    // frees. So either copy may go first and nothing is freed twice.
    // See docs/display.md.
    CCEGraphics(const CCEGraphics& other);
    CCEGraphics& operator=(const CCEGraphics& other);

    // Does what Release does: nothing the surface holds is leaked.
    ~CCEGraphics();

    // Acquires the display of `window` and a back buffer in its layout: mode
    // 1 tries the raw frame buffer first, mode 2 the windowed back-end (the
    // built-in devices always 1). A surface still holding a display is
    // released first. 1, or 0 with error 100 (no back-end, mode not 1 or 2, no
    // game input, a layout that cannot be drawn in) or 102 (no memory); what
    // was acquired stays held until Release. See docs/display.md.
    long Create(HWND window, BYTE mode);

    // Closes game input and gives up the display objects, the modules and
    // the back buffer. Mode, suspension, window, error record and geometry
    // keep their values. Always 1; a surface holding nothing is left as is.
    long Release();

    // 1, or 0 with error 105 while suspended. Nothing else is checked.
    long BeginDraw();
    long EndDraw();

    // Copies the back buffer's pixels to the frame buffer in one copy
    // (between a lock and an unlock of the primary surface under the
    // windowed back-end); with padded rows, never the bytes between rows.
    // 1; 0 with error 105 while suspended; 0 without an error when there is
    // no back buffer or display to present to.
    long Flip();

    // Suspend closes game input and sets the suspended state; Resume opens
    // game input and clears it. Always 1; a repeated call closes (opens)
    // game input again.
    long Suspend();
    long Resume();

    // GetBuffer: 1 gives m_pLastRowStart, 4 m_pFirstRowEnd, any other code
    // m_pBackBuffer (null without a back buffer). The others return the
    // field they name.
    BYTE* GetBuffer(BYTE corner);
    BYTE* GetFrameBuffer();
    GXDisplayProperties& GetDisplayProperties();
    int IsSuspend();
    HWND GetWindowHandle();
    unsigned long GetLastError();

protected:
    // Create's steps. loadRawBuffer and loadDirectDraw read one back-end's
    // geometry and frame buffer address: false when it fails, or (raw) when
    // the format is neither RGB565 nor RGB555; a failed loadDirectDraw keeps
    // its module until Release. loadGAPI loads game input once: false without
    // the module; missing entries are skipped. See docs/display.md.
    bool loadRawBuffer(HWND window);
    bool loadDirectDraw(HWND window);
    bool loadGAPI();

private:
    bool HoldsDisplay() const;
    bool AdoptLayout();
    BYTE* BackBufferBlock() const;
    void CopyPixels(BYTE* target, const BYTE* source) const;
    tagRECT FrameRect() const;
    void Adopt(const CCEGraphics& other);
};

#endif // ZORVA_CCEGRAPHICS_H
