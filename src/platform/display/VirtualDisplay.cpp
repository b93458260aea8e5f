// The virtual display: an in-memory device with any geometry, used where no
// real display exists and by tests to model devices.
#include "platform/display/Display.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorva::platform {

std::shared_ptr<DisplayDevice> ScreenDevice() {
    std::lock_guard<std::mutex> hold(System().lock);
    if (System().windows.empty()) return nullptr;
    return System().windows.back()->device;
}

namespace {

constexpr size_t kGuardBytes = 256;
constexpr uint8_t kGuardByte = 0xA5;
constexpr int kMaxSide = 16384;

int64_t Abs64(int64_t v) {
    return v < 0 ? -v : v;
}

} // namespace

SystemState& System() {
    static SystemState state;
    return state;
}

std::shared_ptr<DisplayDevice> DisplayDevice::CreateVirtual(const VirtualDisplayConfig& config) {
    if (config.width < 1 || config.height < 1 || config.width > kMaxSide ||
        config.height > kMaxSide)
        return nullptr;
    auto device = std::shared_ptr<DisplayDevice>(new (std::nothrow) DisplayDevice);
    if (!device) return nullptr;
    device->m_config = config;
    device->m_width = config.width;
    device->m_height = config.height;
    device->m_xPitch = config.xPitch ? config.xPitch : 2;
    device->m_yPitch = config.yPitch ? config.yPitch : 2 * config.width;

    // The memory spans every pixel address the pitches reach; (0, 0) sits
    // wherever negative pitches put it.
    int64_t xReach = int64_t(device->m_width - 1) * device->m_xPitch;
    int64_t yReach = int64_t(device->m_height - 1) * device->m_yPitch;
    int64_t lowest = std::min<int64_t>(0, xReach) + std::min<int64_t>(0, yReach);
    int64_t span = Abs64(xReach) + Abs64(yReach) + 2;
    if (span > (int64_t(1) << 30)) return nullptr;

    device->m_memoryBytes = size_t(span) + 2 * kGuardBytes;
    device->m_memory.reset(new (std::nothrow) uint8_t[device->m_memoryBytes]);
    if (!device->m_memory) return nullptr;
    std::memset(device->m_memory.get(), kGuardByte, kGuardBytes);
    std::memset(device->m_memory.get() + kGuardBytes, 0, size_t(span));
    std::memset(device->m_memory.get() + kGuardBytes + span, kGuardByte, kGuardBytes);
    device->m_origin = device->m_memory.get() + kGuardBytes - lowest;
    return device;
}

uint16_t DisplayDevice::Pixel(int x, int y) const {
    uint16_t p;
    std::memcpy(&p, m_origin + int64_t(x) * m_xPitch + int64_t(y) * m_yPitch, 2);
    return p;
}

bool DisplayDevice::Intact() const {
    const uint8_t* head = m_memory.get();
    const uint8_t* tail = head + m_memoryBytes - kGuardBytes;
    for (size_t i = 0; i < kGuardBytes; ++i)
        if (head[i] != kGuardByte || tail[i] != kGuardByte) return false;
    return true;
}

} // namespace zorva::platform

namespace zorva {

using platform::System;

void SetVirtualDisplay(const VirtualDisplayConfig& config) {
    std::lock_guard<std::mutex> hold(System().lock);
    System().config = config;
}

VirtualDisplayConfig GetVirtualDisplay() {
    std::lock_guard<std::mutex> hold(System().lock);
    return System().config;
}

HWND OpenWindow(const char* title) {
    VirtualDisplayConfig config = GetVirtualDisplay();
    auto device = platform::DisplayDevice::CreateVirtual(config);
    if (!device) return nullptr;
    HWND window = new (std::nothrow) HWND__;
    if (!window) return nullptr;
    window->device = std::move(device);
    if (title) window->title = title;
    std::lock_guard<std::mutex> hold(System().lock);
    System().windows.push_back(window);
    return window;
}

void CloseWindow(HWND window) {
    if (!window) return;
    {
        std::lock_guard<std::mutex> hold(System().lock);
        auto& open = System().windows;
        open.erase(std::remove(open.begin(), open.end(), window), open.end());
    }
    delete window;
}

bool ReadScreen(HWND window, uint16_t* pixels) {
    if (!window || !pixels) return false;
    const platform::DisplayDevice& d = *window->device;
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x)
            *pixels++ = d.Pixel(x, y);
    return true;
}

bool GetScreenSize(HWND window, int* width, int* height) {
    if (!window) return false;
    if (width) *width = window->device->Width();
    if (height) *height = window->device->Height();
    return true;
}

bool DisplayMemoryIntact(HWND window) {
    return window && window->device->Intact();
}

bool PollEvent(HWND window, Event* event) {
    if (!window || !event || window->events.empty()) return false;
    *event = window->events.front();
    window->events.pop_front();
    return true;
}

void PostEvent(HWND window, const Event& event) {
    if (window) window->events.push_back(event);
}

VirtualDisplayStats GetVirtualDisplayStats() {
    std::lock_guard<std::mutex> hold(System().lock);
    return System().stats;
}

void ResetVirtualDisplayStats() {
    std::lock_guard<std::mutex> hold(System().lock);
    VirtualDisplayStats& s = System().stats;
    // What is alive now stays counted; only the event counters restart.
    VirtualDisplayStats fresh;
    fresh.modulesLoaded = s.modulesLoaded;
    fresh.directDrawObjects = s.directDrawObjects;
    fresh.surfaces = s.surfaces;
    s = fresh;
}

} // namespace zorva
