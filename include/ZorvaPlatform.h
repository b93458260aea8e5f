// Zorva: what a Linux application needs from the platform that the device's
// own operating system would otherwise give it: windows on a display device,
// their events, a frame clock, the in-memory virtual display, why a load
// failed, and streams.
//
// Everything here is in namespace zorva and meant for the application's
// drawing thread. The display devices and how one is chosen are described in
// docs/display-devices.md.
#ifndef ZORVA_PLATFORM_H
#define ZORVA_PLATFORM_H

#include "ZorvaTypes.h"

#include <string>

namespace zorva {

// The virtual display: an in-memory panel of any geometry. A pitch of 0 means
// dense (x pitch 2, y pitch 2 x width); pitches may be negative or padded.
// rawFormat is the raw frame buffer's format code (1 RGB565, 2 RGB555, other
// values a format the library does not draw in). orientation is 0, 1, 2 or
// 4 (upright, a quarter, half or three-quarter turn).
struct VirtualDisplayConfig {
    int width = 240;
    int height = 320;
    int xPitch = 0;
    int yPitch = 0;
    int rawFormat = 1;
    int bitsPerPixel = 16;
    std::string oemInfo = "Zorva Virtual Display";
    int orientation = 0;
};

// Sets the virtual display that windows opened afterwards are created on,
// and the size a window asks for on other devices. Open virtual windows keep
// their memory; their OEM string and orientation follow at once.
ZORVA_API void SetVirtualDisplay(const VirtualDisplayConfig& config);
ZORVA_API VirtualDisplayConfig GetVirtualDisplay();

// The display devices a window can live on.
enum class DisplayKind { Automatic, Virtual, Fbdev, Window, Drm };

// How to open a window. Automatic honours ZORVA_DISPLAY (a kind: virtual,
// window, drm or fbdev, then options after colons as below, for example
// "fbdev:/dev/fb1:rotate=90" or "window:2:vsync=off"), else picks a window
// when SDL2's video starts on X11 or Wayland, else the DRM/KMS device, else
// the frame buffer device, else the virtual display. A named kind is opened
// as asked or not. docs/display-devices.md has the devices and their rules.
struct DisplayOptions {
    DisplayKind kind = DisplayKind::Automatic;
    std::string framebuffer = "/dev/fb0"; // Fbdev: the device ("fbdev:/dev/fb1")
    std::string card;                     // Drm: "/dev/dri/cardN" ("drm:/dev/dri/card1");
                                          // empty: the first card with a screen
    int width = 0;     // Window: canvas size, 0 taking the virtual display's width
    int height = 0;    // and height; Drm: the screen mode asked for, 0 its preferred
    int scale = 1;     // Window: integer zoom 1..8 ("window:2")
    int rotation = 0;  // 0, 90, 180 or 270: the canvas shown turned clockwise on the
                       // screen, which keeps the canvas's size turned ("rotate=90")
    bool vsync = true; // presents wait for the vertical blank where the device can
                       // ("vsync=off", for benchmarks)
};

// Opens a window on the chosen device and returns its handle, or null; then
// GetOpenWindowError() says why in a sentence an application can show. The
// window's title is `title` (may be null). OpenWindow(title) uses the
// default options.
ZORVA_API HWND OpenWindow(const char* title);
ZORVA_API HWND OpenWindow(const char* title, const DisplayOptions& options);
ZORVA_API const char* GetOpenWindowError();

// Why the last load into a bitmap on this thread failed. The loads are
// CCEBitmap's LoadBitmapW, ImageLoadFile, GetBitmapFromStream, LoadGIF, Crop,
// ImageCrop, LoadText, DrawPic and CaptureScreen. A load that succeeds sets
// None, so the reason always belongs to the thread's most recent load.
enum class LoadError {
    None,
    NotFound,          // no such file; no contact with the number, or no picture
    Unreadable,        // there but not readable: permissions, an I/O error, a lock
    UnsupportedFormat, // bytes of no format the library reads
    Damaged,           // truncated or damaged where the header or the pixels are
    TooLarge,          // past a limit of the loaders (docs/image-io.md lists them)
    BadBox,            // the box or crop window leaves no picture size to load at
    OutOfMemory,
    BadArgument, // a null or out-of-range argument other than the box
};
ZORVA_API LoadError GetLoadError();
// The same reason as a sentence an application can show; "" for None.
ZORVA_API const char* GetLoadErrorText();

// The device a window lives on; Automatic for a null window.
ZORVA_API DisplayKind GetWindowDisplay(HWND window);

// True when a canvas's Flip on this window waits for the display's vertical
// blank, so that flipping alone paces a program at the display's refresh
// rate (a frame clock then need not sleep); false for a null window.
ZORVA_API bool FlipsArePaced(HWND window);

// What a window's display is and does.
struct DisplayInfo {
    DisplayKind kind = DisplayKind::Automatic;
    int screenWidth = 0;        // the screen's pixels: the canvas's size, turned
    int screenHeight = 0;       // by the rotation
    int rotation = 0;           // as asked for
    int bitsPerPixel = 0;       // of the screen's memory
    const char* format = "";    // the screen's pixels: "RGB565", "XRGB8888", ...
    const char* tearFree = "";  // "none", "vsync wait", "pan flip", "page flip" or
                                // "compositor" (presents synchronised by the window system)
    bool pacedFlips = false;    // as FlipsArePaced
    unsigned long presents = 0; // frames presented since the window opened
    unsigned long flips = 0;    // of them, shown by flipping pages
};
// Fills *info for the window; false for a null window or info.
ZORVA_API bool GetDisplayInfo(HWND window, DisplayInfo* info);

// Paces a game loop at a target rate and measures it. Call Wait() once a
// frame, after Flip: it sleeps until the next frame is due, on a fixed grid
// (a frame that took a little longer leaves the next one less time, so the
// rate holds; one late by more than a frame restarts the grid from now
// instead of rushing to catch up). A frame that reaches Wait after it was
// due counts as late. Where the window's Flip already waits for the
// vertical blank (FlipsArePaced) the display sets the pace: Wait sleeps only
// when the next frame is due more than a quarter period from now (a rate
// below the display's refresh), leaving the rest of the wait to Flip, and a
// frame is late when it comes more than 1.5 periods after the one before
// (it missed a refresh).
class ZORVA_API FrameClock {
public:
    // framesPerSecond above 0; 0, less or not a number never sleeps (the
    // clock then only measures). `window` may be null: Wait then sleeps;
    // else it must stay open while the clock waits.
    explicit FrameClock(double framesPerSecond = 60, HWND window = nullptr);
    void SetRate(double framesPerSecond);
    double Rate() const; // as set (0 for none)

    void Wait();
    // Forgets the grid and the interval, keeping the counts: call it after a
    // pause (Suspend and Resume), so that the pause is no late frame and no
    // long step.
    void Restart();

    // Seconds from the previous frame to the last (the frame period before a
    // second frame): the step to move things by.
    double FrameSeconds() const;
    // Frames per second over the last whole second measured; before one
    // second has passed, over the time since the first frame.
    double MeasuredRate() const;
    long Frames() const;     // Wait calls so far
    long LateFrames() const; // of them, the late ones

private:
    HWND m_window;
    double m_rate = 0;
    int64_t m_period = 0; // nanoseconds; 0: never sleeps
    bool m_started = false, m_stepped = false;
    int64_t m_due = 0, m_last = 0, m_step = 0;
    long m_frames = 0, m_late = 0;
    int64_t m_spanStart = 0; // the measured span: its start, its frames
    long m_spanFrames = 0;
    bool m_wholeSecond = false;
    double m_measured = 0;
};

// Closes a window; a canvas created for it must have been released first.
// A null handle is ignored.
ZORVA_API void CloseWindow(HWND window);

// Copies what the window's display shows (a window device: the last frame
// presented) in screen order, width x height values row after row, with
// the size GetScreenSize reports. False for a null window or pixels.
ZORVA_API bool ReadScreen(HWND window, uint16_t* pixels);
ZORVA_API bool GetScreenSize(HWND window, int* width, int* height);

// Key codes of KeyDown and KeyUp events, the same on every device. Letters
// are 'A' to 'Z' and digits '0' to '9' (ASCII); other keys give no event.
enum KeyCode : int {
    kKeyBackspace = 0x08,
    kKeyTab = 0x09,
    kKeyEnter = 0x0D,
    kKeyEscape = 0x1B,
    kKeySpace = 0x20,
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
    kKeyGamepadA = 0xC3,
    kKeyGamepadB = 0xC4,
    kKeyGamepadX = 0xC5,
    kKeyGamepadY = 0xC6,
    kKeyGamepadUp = 0xCB,
    kKeyGamepadDown = 0xCC,
    kKeyGamepadLeft = 0xCD,
    kKeyGamepadRight = 0xCE,
    kKeyGamepadStart = 0xCF,
    kKeyGamepadSelect = 0xD0,
};

// Window events: keys (a held key repeats KeyDown, with repeat set), the
// request to quit (window closed), and loss and regain of the foreground, on
// which an application calls CCEGraphics::Suspend and Resume.
enum class EventType { None, KeyDown, KeyUp, Quit, FocusLost, FocusGained };
struct Event {
    EventType type = EventType::None;
    int key = 0;         // a KeyCode for KeyDown and KeyUp
    bool repeat = false; // a KeyDown the keyboard repeats while the key is held
};

// Reads the window's device for new events, then takes the oldest event of
// its queue into *event; false when there is none or an argument is null.
ZORVA_API bool PollEvent(HWND window, Event* event);
// Appends an event to the window's queue; ignored for a null window.
ZORVA_API void PostEvent(HWND window, const Event& event);

// A stream over a copy of `bytes` bytes at `data` (the caller's memory may
// go when the call returns): reads start at the first byte, writes replace
// and extend the copy. Null for null data with bytes above 0, or no memory.
// The caller gives the stream's one reference back with Release.
ZORVA_API IStream* OpenMemoryStream(const void* data, size_t bytes);

// A read-only stream over the file at `path` (UTF-8), read as the stream is
// read; writes fail. Null when the file cannot be opened or is not a regular
// file. The caller gives the stream's one reference back with Release.
ZORVA_API IStream* OpenFileStream(const char* path);

// ---- Contact store ------------------------------------------------------
// CCEBitmap::DrawPic finds contact pictures in an SQLite database (schema,
// phone-number matching and the zorva_contacts tool: docs/contacts.md). The
// database in effect is the first of: the path given to SetContactsDatabase;
// the environment variable ZORVA_CONTACTS_DB; $XDG_DATA_HOME/zorva/
// contacts.db when XDG_DATA_HOME is an absolute path; ~/.local/share/zorva/
// contacts.db. Every lookup opens it afresh, read-only: a database that does
// not exist holds no contacts, and the library never creates one.
//
// Sets the database path (UTF-8); null or "" goes back to the environment
// and the default. False, with nothing changed, for a path of 4096 bytes or
// more.
ZORVA_API bool SetContactsDatabase(const char* path);
// The path in effect; "" when nothing is set and HOME is unset.
ZORVA_API std::string GetContactsDatabase();

} // namespace zorva

#endif // ZORVA_PLATFORM_H
