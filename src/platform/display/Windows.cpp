// Windows and the choice of the device each one lives on.
#include "platform/display/Display.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zorva::platform {

void DisplayDevice::SetFrame(int width, int height, int32_t xPitch, int32_t yPitch,
                             uint8_t* origin) {
    m_width = width;
    m_height = height;
    m_xPitch = xPitch;
    m_yPitch = yPitch;
    m_origin = origin;
}

uint16_t DisplayDevice::ScreenPixel(int x, int y) const {
    uint16_t p;
    std::memcpy(&p, m_origin + int64_t(x) * m_xPitch + int64_t(y) * m_yPitch, 2);
    return p;
}

bool DisplayDevice::OemInfo(std::string* oem) const {
    *oem = HostOemInfo();
    return true;
}

bool DisplayDevice::Holds(const void* address) const {
    if (!m_origin || !address) return false;
    const int64_t xReach = int64_t(m_width - 1) * m_xPitch;
    const int64_t yReach = int64_t(m_height - 1) * m_yPitch;
    const uint8_t* low = m_origin + std::min<int64_t>(0, xReach) + std::min<int64_t>(0, yReach);
    const uint8_t* high = m_origin + std::max<int64_t>(0, xReach) + std::max<int64_t>(0, yReach);
    const auto* a = static_cast<const uint8_t*>(address);
    return a >= low && a <= high + 1;
}

WindowList& Windows() {
    static WindowList list;
    return list;
}

std::shared_ptr<DisplayDevice> ScreenDevice() {
    std::lock_guard<std::mutex> hold(Windows().lock);
    if (Windows().windows.empty()) return nullptr;
    return Windows().windows.back()->device;
}

namespace {

thread_local std::string t_openError;

// Reads ZORVA_DISPLAY into the options: a kind, optionally ":option".
bool ReadDisplayVariable(const char* value, DisplayOptions* options) {
    const std::string text = value;
    const size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    const std::string option = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (kind == "virtual" && option.empty()) {
        options->kind = DisplayKind::Virtual;
    } else if (kind == "fbdev") {
        options->kind = DisplayKind::Fbdev;
        if (!option.empty()) options->framebuffer = option;
    } else if (kind == "window") {
        options->kind = DisplayKind::Window;
        if (!option.empty()) {
            char* end = nullptr;
            const long scale = std::strtol(option.c_str(), &end, 10);
            if (*end || scale < 1 || scale > 8) return false;
            options->scale = int(scale);
        }
    } else {
        return false;
    }
    return true;
}

std::shared_ptr<DisplayDevice> OpenKind(const char* title, const DisplayOptions& options,
                                        std::string* why) {
    switch (options.kind) {
    case DisplayKind::Virtual:
        return OpenVirtualDevice(why);
    case DisplayKind::Fbdev:
        return OpenFbdevDevice(options.framebuffer, why);
    case DisplayKind::Window: {
        const VirtualDisplayConfig size = GetVirtualDisplay();
        return OpenWindowDevice(title, options.width ? options.width : size.width,
                                options.height ? options.height : size.height, options.scale, why);
    }
    case DisplayKind::Automatic:
        break;
    }
    // A window when a window system runs, else the frame buffer, else memory.
    if (WindowSystemAvailable()) {
        DisplayOptions window = options;
        window.kind = DisplayKind::Window;
        if (auto device = OpenKind(title, window, why)) return device;
    }
    if (auto device = OpenFbdevDevice(options.framebuffer, why)) return device;
    return OpenVirtualDevice(why);
}

} // namespace
} // namespace zorva::platform

namespace zorva {

using platform::Windows;

HWND OpenWindow(const char* title) {
    return OpenWindow(title, DisplayOptions());
}

HWND OpenWindow(const char* title, const DisplayOptions& requested) {
    DisplayOptions options = requested;
    const char* variable = std::getenv("ZORVA_DISPLAY");
    if (options.kind == DisplayKind::Automatic && variable && *variable &&
        !platform::ReadDisplayVariable(variable, &options)) {
        platform::t_openError = std::string("ZORVA_DISPLAY=\"") + variable +
                                "\" names no display device: use virtual, fbdev[:device] or "
                                "window[:scale 1-8].";
        return nullptr;
    }
    if (options.scale < 1 || options.scale > 8 || options.width < 0 || options.height < 0) {
        platform::t_openError = "The window's scale must be 1 to 8 and its size positive.";
        return nullptr;
    }
    std::string why;
    std::shared_ptr<platform::DisplayDevice> device =
        platform::OpenKind(title ? title : "", options, &why);
    if (!device) {
        platform::t_openError = why;
        return nullptr;
    }
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
    const platform::DisplayDevice& d = *window->device;
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x)
            *pixels++ = d.ScreenPixel(x, y);
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
