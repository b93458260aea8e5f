// The display devices that windows live on: what a screen offers (its
// capabilities), its frame memory, presenting a frame, game input, events,
// screen capture and the host's identification. Devices know nothing of the
// system layer's emulation: the escape, DirectDraw and the game input module
// are built over this interface in src/system.
//
// Adding a device: docs/adding-a-device.md (one file plus one row of the
// device table, DeviceTable.h).
#ifndef ZORVA_BACKENDS_DISPLAY_DISPLAYDEVICE_H
#define ZORVA_BACKENDS_DISPLAY_DISPLAYDEVICE_H

#include "ZorvaPlatform.h"
#include "backends/Rect.h"
#include "backends/memory/Memory.h"

#include <cstdint>
#include <deque>
#include <string>

namespace zorva::backends {

// The pixel layout of a device's frame memory.
enum class FrameFormat {
    Rgb565, // 16 bits: red 15-11, green 10-5, blue 4-0
    Rgb555, // 16 bits: red 14-10, green 9-5, blue 4-0
    Other,  // anything a canvas cannot draw in directly
};

// How a device keeps a presented frame from tearing.
enum class TearFree {
    None,       // the frame memory is written while it is scanned out
    VsyncWait,  // the write waits for the vertical blank
    PanFlip,    // written to a hidden page, which the panning then shows
    PageFlip,   // written to a hidden buffer, flipped to on the vertical blank
    Compositor, // the window system shows the frame in its own time
};

// What a device offers. The system layer answers its queries from this
// record: the raw frame buffer escape, whether the windowed back-end and
// the game input module exist.
struct DisplayCapabilities {
    bool rawFrameBuffer = false;              // the frame memory may be drawn in directly
    bool windowedSurface = false;             // an RGB565 surface the device shows on present
    FrameFormat format = FrameFormat::Rgb565; // of the frame memory
    int bitsPerPixel = 16;                    // of the frame memory
    bool gameInput = false;                   // keys and pads can be opened for a game
    TearFree tearFree = TearFree::None;
    bool pacedFlips = false;           // a present waits for the vertical blank
    const char* formatName = "RGB565"; // the screen's pixels, for people
    int screenWidth = 0;               // the screen's pixels: the frame turned by
    int screenHeight = 0;              // the rotation
    int rotation = 0;
    bool needsPresent = false; // nothing reaches the screen before Present
};

class DisplayDevice : public Allocated {
public:
    virtual ~DisplayDevice() = default;
    virtual DisplayKind Kind() const = 0;
    virtual DisplayCapabilities Capabilities() const = 0;

    // Frame memory as the device reports it: pixel (x, y) is the 16-bit
    // value at Origin() + x * XPitch() + y * YPitch() (wider for a raw frame
    // buffer of more bits per pixel).
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int32_t XPitch() const { return m_xPitch; }
    int32_t YPitch() const { return m_yPitch; }
    uint8_t* Origin() const { return m_origin; }
    // True when `address` lies in the frame memory's span.
    bool Holds(const void* address) const;

    // Frames presented since the device opened, and of them those shown by
    // flipping pages.
    unsigned long Presents() const { return m_presents; }
    unsigned long Flips() const { return m_flips; }

    // A canvas takes the screen (and, for a console device, keeps the
    // console from drawing over it) or lets it go.
    virtual void Acquire() {}
    virtual void Release() {}
    // Before a canvas writes a frame (the raw frame buffer's copy, or the
    // windowed surface's lock): a device that keeps frames from tearing by
    // waiting for the vertical blank waits here.
    virtual void BeginPresent() {}
    // After every frame a canvas presents: `area` of the frame changed.
    virtual void Present(const Rect& area) { (void)area; }

    virtual void OpenGameInput() {}
    virtual void CloseGameInput() {}
    // Appends the events that arrived since the last call.
    virtual void PumpEvents(std::deque<Event>& queue) { (void)queue; }

    // What the screen shows: `count` rows from row `y` of the reported
    // geometry, Width() RGB565 values each, row after row. Callers keep
    // inside the geometry.
    virtual void ReadScreenRows(int y, int count, uint16_t* out) const;
    // 0, 1, 2 or 4: upright, a quarter, half or three-quarter turn.
    virtual int Orientation() const { return 0; }
    // The OEM information string; false when the query fails.
    virtual bool OemInfo(std::string* oem) const;

protected:
    // Sets the geometry; the memory spans every pixel the pitches reach.
    void SetFrame(int width, int height, int32_t xPitch, int32_t yPitch, uint8_t* origin);
    void CountPresent(bool flipped) {
        ++m_presents;
        if (flipped) ++m_flips;
    }

private:
    unsigned long m_presents = 0;
    unsigned long m_flips = 0;
    int m_width = 0;
    int m_height = 0;
    int32_t m_xPitch = 0;
    int32_t m_yPitch = 0;
    uint8_t* m_origin = nullptr;
};

// The host's OEM string: device tree model, else DMI product name, else
// "Linux".
std::string HostOemInfo();

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_DISPLAY_DISPLAYDEVICE_H
