// Zorva: what a Linux application needs from the platform that the device's
// own operating system would otherwise give it.
//
// - Windows. A canvas is created for a window (HWND) that lives on a display
//   device. OpenWindow picks the device; on a machine without a display the
//   window lives on the virtual display, an in-memory device whose geometry,
//   pixel format and back-end support an application or a test configures.
// - The virtual display. SetVirtualDisplay configures the device model that
//   windows opened afterwards are created on, and the system-wide answers
//   that go with it (the OEM information string, the display orientation,
//   which platform modules exist). ReadScreen returns what a window's display
//   shows; GetVirtualDisplayStats counts what the library did to it.
// - Streams over memory or a file, for CCEBitmap::GetBitmapFromStream.
// - Memory failures on demand, so that every allocation path can be tested.
//
// Everything here is in namespace zorva; nothing is added to the global
// namespace. Calls are meant for the application's drawing thread.
#ifndef ZORVA_PLATFORM_H
#define ZORVA_PLATFORM_H

#include "ZorvaTypes.h"

#include <string>

namespace zorva {

// How the virtual display is built and how it answers. Every field has a
// sensible default: a 240 x 320 RGB565 portrait panel with dense rows, both
// back-ends and the game input module present.
struct VirtualDisplayConfig {
    // Geometry as the display reports it. A pitch of 0 means "dense": x pitch
    // 2, y pitch 2 x width. Pitches may be negative (memory running against
    // the screen axis) or larger than needed (padded rows).
    int width = 240;
    int height = 320;
    int xPitch = 0;
    int yPitch = 0;

    // The raw frame buffer's format code: 1 RGB565, 2 RGB555, anything else
    // is a format the library does not draw in. bitsPerPixel is reported as
    // given; pixels are always 16 bits in memory.
    int rawFormat = 1;
    int bitsPerPixel = 16;

    // Raw frame buffer back-end: whether the driver answers the escape.
    bool rawFrameBuffer = true;

    // Windowed back-end: whether "ddraw.dll" exists and exports
    // "DirectDrawCreate", and which of its steps fail.
    bool ddrawModule = true;
    bool ddrawCreateEntry = true;
    bool ddrawCreateFails = false;
    bool ddrawCooperativeLevelFails = false;
    bool ddrawNoPrimaryCaps = false;
    bool ddrawCreateSurfaceFails = false;
    bool ddrawLockFails = false;
    int ddrawBitsPerPixel = 16; // what the surface's pixel format reports

    // Game input: whether "GX.dll" exists and which entries it exports.
    bool gxModule = true;
    bool gxOpenEntry = true;
    bool gxCloseEntry = true;

    // The OEM information string (system parameter 258). When oemQueryFails
    // is set the query answers with failure.
    std::string oemInfo = "Zorva Virtual Display";
    bool oemQueryFails = false;

    // Display orientation code: 0 upright, 1, 2 or 4 for a quarter, half or
    // three-quarter turn.
    int orientation = 0;
};

// Replaces the virtual display configuration. Windows already open keep the
// display memory they were created with; the system answers (OEM string,
// orientation, modules) change at once.
ZORVA_API void SetVirtualDisplay(const VirtualDisplayConfig& config);
ZORVA_API VirtualDisplayConfig GetVirtualDisplay();

// Opens a window on the default display device (the virtual display on a
// machine without a display) and returns its handle, or null when the
// device's memory cannot be had. The virtual display's window has the
// configured geometry. title may be null.
ZORVA_API HWND OpenWindow(const char* title);

// Closes a window. A canvas created for it must have been released first.
// A null handle is ignored.
ZORVA_API void CloseWindow(HWND window);

// Copies what the window's display shows, in screen order (width x height
// as the display reports them, row after row), into pixels, which must hold
// width x height values. Returns false for a null window or pixels.
ZORVA_API bool ReadScreen(HWND window, uint16_t* pixels);

// The display geometry of a window as reported (before any normalisation by
// the canvas). Returns false for a null window.
ZORVA_API bool GetScreenSize(HWND window, int* width, int* height);

// True when the guard bytes around the window's display memory are intact:
// nothing was written outside the frame buffer.
ZORVA_API bool DisplayMemoryIntact(HWND window);

// Window events. A window's queue holds keys, the request to quit and the
// loss and regain of the foreground (on which an application calls
// CCEGraphics::Suspend and Resume). Virtual display events are posted by the
// application or a test.
enum class EventType { None, KeyDown, KeyUp, Quit, FocusLost, FocusGained };
struct Event {
    EventType type = EventType::None;
    int key = 0; // the key's code (ASCII for printable keys)
};

// Takes the oldest event of the window's queue into *event; false when the
// queue is empty or an argument is null.
ZORVA_API bool PollEvent(HWND window, Event* event);
// Appends an event to the window's queue; ignored for a null window.
ZORVA_API void PostEvent(HWND window, const Event& event);

// What the library did to the devices since the last reset.
struct VirtualDisplayStats {
    int gameInputOpens = 0;    // GXOpenInput calls
    int gameInputCloses = 0;   // GXCloseInput calls
    int moduleLoads = 0;       // modules actually loaded (not already loaded)
    int moduleUnloads = 0;     // modules actually unloaded
    int modulesLoaded = 0;     // modules loaded now
    int directDrawObjects = 0; // DirectDraw objects alive now
    int surfaces = 0;          // DirectDraw surfaces alive now
    int surfaceLocks = 0;
    int surfaceUnlocks = 0;
    int rawFrameBufferQueries = 0; // answered or not
};
ZORVA_API VirtualDisplayStats GetVirtualDisplayStats();
ZORVA_API void ResetVirtualDisplayStats();

// Streams for CCEBitmap::GetBitmapFromStream (or any IStream user). Each
// returns a new stream holding one reference, which the caller gives back
// with Release, or null.
//
// A stream over a copy of `bytes` bytes at `data`: the caller's memory may
// be freed as soon as the call returns. Reads start at the first byte;
// writes replace and extend the copy. Null for a null `data` with `bytes`
// above 0, or when memory runs out.
ZORVA_API IStream* OpenMemoryStream(const void* data, size_t bytes);

// A read-only stream over the file at `path` (UTF-8), read as the stream is
// read; writes fail. Null when the file cannot be opened or is no regular
// file.
ZORVA_API IStream* OpenFileStream(const char* path);

// Makes the nth allocation from now fail (1 = the next one); 0 cancels.
// Allocations are every malloc and every realloc the library makes.
ZORVA_API void FailAllocation(long n);

// Number of allocations made since the process started; with FailAllocation
// a test can walk every allocation of an operation.
ZORVA_API long AllocationCount();

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
