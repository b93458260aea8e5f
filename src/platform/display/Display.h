// The display devices behind windows. Internal to the platform layer.
#ifndef ZORVA_PLATFORM_DISPLAY_H
#define ZORVA_PLATFORM_DISPLAY_H

#include "ZorvaPlatform.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zorva::platform {

// A display's frame memory and geometry. The virtual display keeps its
// memory between two guard zones, so that a write outside the frame buffer
// is seen afterwards (Intact).
class DisplayDevice {
public:
    // Null when the geometry is unusable or the memory cannot be had.
    static std::shared_ptr<DisplayDevice> CreateVirtual(const VirtualDisplayConfig& config);

    const VirtualDisplayConfig& Config() const { return m_config; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int32_t XPitch() const { return m_xPitch; }
    int32_t YPitch() const { return m_yPitch; }
    uint8_t* Origin() const { return m_origin; } // pixel (0, 0)

    uint16_t Pixel(int x, int y) const;
    bool Intact() const;

private:
    VirtualDisplayConfig m_config;
    int m_width = 0;
    int m_height = 0;
    int32_t m_xPitch = 0;
    int32_t m_yPitch = 0;
    std::unique_ptr<uint8_t[]> m_memory;
    size_t m_memoryBytes = 0;
    uint8_t* m_origin = nullptr;
};

// System-wide state of the platform model: the configuration that answers
// system queries and builds new virtual windows, and the counters.
struct SystemState {
    std::mutex lock;
    VirtualDisplayConfig config;
    VirtualDisplayStats stats;
    int gameInputOpen = 0;     // opens not yet closed
    std::vector<HWND> windows; // open windows, oldest first
};
SystemState& System();

// The display the screen shows: the most recently opened window's that is
// still open, or null.
std::shared_ptr<DisplayDevice> ScreenDevice();

} // namespace zorva::platform

struct HWND__ {
    std::shared_ptr<zorva::platform::DisplayDevice> device;
    std::deque<zorva::Event> events;
    std::string title;
};

#endif // ZORVA_PLATFORM_DISPLAY_H
