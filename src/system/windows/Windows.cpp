// Windows, their events and what their screens show.
#include "system/windows/Windows.h"

#include "backends/display/DeviceTable.h"
#include "system/Testing.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace zorva::platform {
namespace {

thread_local std::string t_openError;
thread_local HWND t_active = nullptr;
std::atomic<bool> g_fallbackNoted{false};

// A window that ends on the virtual display only because no other device
// opened shows nothing: said once per process on standard error (a program
// started over ssh with a stale DISPLAY would otherwise run unseen), unless
// ZORVA_QUIET=1.
void NoteVirtualFallback(const char* title, const std::vector<std::string>& tried) {
    const char* quiet = std::getenv("ZORVA_QUIET");
    if ((quiet && std::string(quiet) == "1") || g_fallbackNoted.exchange(true)) return;
    std::string note = "zorva: the window \"" + std::string(title ? title : "") +
                       "\" is on the virtual display, in memory, where nothing shows: no other "
                       "display device opened.";
    for (const std::string& line : tried)
        note += "\n  " + line;
    note += "\n  (ZORVA_DISPLAY chooses a device; ZORVA_DISPLAY=virtual or ZORVA_QUIET=1 "
            "silences this.)\n";
    std::fputs(note.c_str(), stderr);
}

} // namespace

HWND SetActiveWindow(HWND window) {
    const HWND previous = t_active;
    t_active = window;
    return previous;
}

WindowList& Windows() {
    static WindowList list;
    return list;
}

std::shared_ptr<DisplayDevice> ScreenDevice() {
    std::lock_guard<std::mutex> hold(Windows().lock);
    const std::vector<HWND>& open = Windows().windows;
    if (open.empty()) return nullptr;
    if (t_active && std::find(open.begin(), open.end(), t_active) != open.end())
        return t_active->device;
    return open.back()->device;
}

} // namespace zorva::platform

namespace zorva {

using platform::Windows;

void ForgetVirtualFallbackNote() {
    platform::g_fallbackNoted = false;
}

HWND OpenWindow(const char* title) {
    return OpenWindow(title, DisplayOptions());
}

HWND OpenWindow(const char* title, const DisplayOptions& requested) {
    DisplayOptions options = requested;
    const char* variable = std::getenv("ZORVA_DISPLAY");
    if (options.kind == DisplayKind::Automatic && variable && *variable &&
        !backends::ReadDisplayVariable(variable, &options, &platform::t_openError))
        return nullptr;
    if (options.scale < 1 || options.scale > 8 || options.width < 0 || options.height < 0) {
        platform::t_openError = "The window's scale must be 1 to 8 and its size positive.";
        return nullptr;
    }
    if (options.rotation % 90 != 0 || options.rotation < 0 || options.rotation > 270) {
        platform::t_openError = "The rotation must be 0, 90, 180 or 270 degrees.";
        return nullptr;
    }
    std::string why;
    std::vector<std::string> tried;
    std::shared_ptr<backends::DisplayDevice> device =
        backends::OpenDisplayDevice(title ? title : "", options, &why, &tried);
    if (!device) {
        platform::t_openError = why;
        return nullptr;
    }
    if (options.kind == DisplayKind::Automatic && device->Kind() == DisplayKind::Virtual)
        platform::NoteVirtualFallback(title, tried);
    HWND window = new (std::nothrow) HWND__;
    if (!window) {
        platform::t_openError = "Out of memory.";
        return nullptr;
    }
    window->device = std::move(device);
    if (title) window->title = title;
    std::lock_guard<std::mutex> hold(Windows().lock);
    Windows().windows.push_back(window);
    return window;
}

const char* GetOpenWindowError() {
    return platform::t_openError.c_str();
}

DisplayKind GetWindowDisplay(HWND window) {
    return window ? window->device->Kind() : DisplayKind::Automatic;
}

bool FlipsArePaced(HWND window) {
    return window && window->device->Capabilities().pacedFlips;
}

bool GetDisplayInfo(HWND window, DisplayInfo* info) {
    if (!window || !info) return false;
    const backends::DisplayDevice& d = *window->device;
    const backends::DisplayCapabilities caps = d.Capabilities();
    static const char* const kTearFree[] = {"none", "vsync wait", "pan flip", "page flip",
                                            "compositor"};
    *info = DisplayInfo();
    info->kind = d.Kind();
    info->screenWidth = caps.screenWidth ? caps.screenWidth : d.Width();
    info->screenHeight = caps.screenHeight ? caps.screenHeight : d.Height();
    info->rotation = caps.rotation;
    info->bitsPerPixel = caps.bitsPerPixel;
    info->format = caps.formatName;
    info->tearFree = kTearFree[int(caps.tearFree)];
    info->pacedFlips = caps.pacedFlips;
    info->presents = d.Presents();
    info->flips = d.Flips();
    return true;
}

void CloseWindow(HWND window) {
    if (!window) return;
    {
        std::lock_guard<std::mutex> hold(Windows().lock);
        auto& open = Windows().windows;
        open.erase(std::remove(open.begin(), open.end(), window), open.end());
    }
    delete window;
}

bool ReadScreen(HWND window, uint16_t* pixels) {
    if (!window || !pixels) return false;
    const backends::DisplayDevice& d = *window->device;
    d.ReadScreenRows(0, d.Height(), pixels);
    return true;
}

bool GetScreenSize(HWND window, int* width, int* height) {
    if (!window) return false;
    if (width) *width = window->device->Width();
    if (height) *height = window->device->Height();
    return true;
}

bool PollEvent(HWND window, Event* event) {
    if (!window || !event) return false;
    window->device->PumpEvents(window->events);
    if (window->events.empty()) return false;
    *event = window->events.front();
    window->events.pop_front();
    return true;
}

void PostEvent(HWND window, const Event& event) {
    if (window) window->events.push_back(event);
}

} // namespace zorva
