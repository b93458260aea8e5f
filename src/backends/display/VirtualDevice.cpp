// The virtual display: an in-memory device with any geometry, used where no
// real display exists and by tests to model devices. What it lacks and what
// it counts live here, on the device, not in the code that calls it.
#include "backends/Testing.h"
#include "backends/display/DeviceTable.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

namespace zorva::backends {
namespace {

constexpr size_t kGuardBytes = 256;
constexpr uint8_t kGuardByte = 0xA5;
constexpr int kMaxSide = 16384;

struct VirtualSettings {
    std::mutex lock;
    VirtualDisplayConfig config;
    VirtualDeviceFaults faults;
    VirtualDeviceStats stats;
};

VirtualSettings& Settings() {
    static VirtualSettings settings;
    return settings;
}

VirtualDeviceFaults Faults() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    return Settings().faults;
}

void Count(int VirtualDeviceStats::*counter) {
    std::lock_guard<std::mutex> hold(Settings().lock);
    Settings().stats.*counter += 1;
}

// Memory between two guard zones, so that a write outside the frame buffer
// is seen afterwards (Intact). Geometry is fixed when the window opens; the
// answers (faults, OEM string, orientation) follow the settings at once.
class VirtualDevice final : public DisplayDevice {
public:
    ~VirtualDevice() override { backends::free(m_memory); }

    bool Init(const VirtualDisplayConfig& config) {
        if (config.width < 1 || config.height < 1 || config.width > kMaxSide ||
            config.height > kMaxSide)
            return false;
        m_rawFormat = config.rawFormat;
        m_bitsPerPixel = config.bitsPerPixel;
        const int32_t xPitch = config.xPitch ? config.xPitch : 2;
        const int32_t yPitch = config.yPitch ? config.yPitch : 2 * config.width;
        // The memory spans every pixel address the pitches reach; (0, 0)
        // sits wherever negative pitches put it.
        const int64_t xReach = int64_t(config.width - 1) * xPitch;
        const int64_t yReach = int64_t(config.height - 1) * yPitch;
        const int64_t lowest = std::min<int64_t>(0, xReach) + std::min<int64_t>(0, yReach);
        const int64_t span = std::max(xReach, -xReach) + std::max(yReach, -yReach) + 2;
        if (span > (int64_t(1) << 30)) return false;
        m_bytes = size_t(span) + 2 * kGuardBytes;
        m_memory = static_cast<uint8_t*>(backends::malloc(m_bytes));
        if (!m_memory) return false;
        std::memset(m_memory, kGuardByte, kGuardBytes);
        std::memset(m_memory + kGuardBytes, 0, size_t(span));
        std::memset(m_memory + kGuardBytes + span, kGuardByte, kGuardBytes);
        SetFrame(config.width, config.height, xPitch, yPitch, m_memory + kGuardBytes - lowest);
        return true;
    }

    DisplayKind Kind() const override { return DisplayKind::Virtual; }

    DisplayCapabilities Capabilities() const override {
        const VirtualDeviceFaults f = Faults();
        DisplayCapabilities caps;
        caps.rawFrameBuffer = !f.noRawFrameBuffer;
        caps.windowedSurface = !f.noWindowedSurface;
        caps.format = m_rawFormat == 1   ? FrameFormat::Rgb565
                      : m_rawFormat == 2 ? FrameFormat::Rgb555
                                         : FrameFormat::Other;
        caps.bitsPerPixel = m_bitsPerPixel;
        caps.gameInput = !f.noGameInput;
        caps.pacedFlips = f.pacedFlips;
        return caps;
    }

    void Present(const Rect& area) override {
        std::lock_guard<std::mutex> hold(Settings().lock);
        VirtualDeviceStats& s = Settings().stats;
        ++s.presents;
        s.presentedLeft = area.left;
        s.presentedTop = area.top;
        s.presentedRight = area.right;
        s.presentedBottom = area.bottom;
    }
    void OpenGameInput() override { Count(&VirtualDeviceStats::gameInputOpens); }
    void CloseGameInput() override { Count(&VirtualDeviceStats::gameInputCloses); }

    int Orientation() const override { return GetVirtualDisplay().orientation; }

    bool OemInfo(std::string* oem) const override {
        std::lock_guard<std::mutex> hold(Settings().lock);
        if (Settings().faults.oemQueryFails) return false;
        *oem = Settings().config.oemInfo;
        return true;
    }

    bool Intact() const {
        const uint8_t* head = m_memory;
        const uint8_t* tail = head + m_bytes - kGuardBytes;
        for (size_t i = 0; i < kGuardBytes; ++i)
            if (head[i] != kGuardByte || tail[i] != kGuardByte) return false;
        return true;
    }

private:
    int m_rawFormat = 1;
    int m_bitsPerPixel = 16;
    uint8_t* m_memory = nullptr;
    size_t m_bytes = 0;
};

std::shared_ptr<DisplayDevice> OpenVirtual(const char*, const DisplayOptions&, std::string* why) {
    auto device = std::shared_ptr<VirtualDevice>(new (std::nothrow) VirtualDevice);
    if (device && device->Init(GetVirtualDisplay())) return device;
    *why = "The virtual display's geometry is unusable or its memory cannot be had.";
    return nullptr;
}

} // namespace

const DeviceKindRow kVirtualDeviceRow = {DisplayKind::Virtual, "virtual", nullptr, nullptr,
                                         OpenVirtual,          nullptr};

void SetVirtualDeviceFaults(const VirtualDeviceFaults& faults) {
    std::lock_guard<std::mutex> hold(Settings().lock);
    Settings().faults = faults;
}

VirtualDeviceStats GetVirtualDeviceStats() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    return Settings().stats;
}

void ResetVirtualDeviceStats() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    Settings().stats = VirtualDeviceStats();
}

bool VirtualDeviceIntact(const DisplayDevice& device) {
    if (device.Kind() != DisplayKind::Virtual) return false;
    return static_cast<const VirtualDevice&>(device).Intact();
}

} // namespace zorva::backends

namespace zorva {

void SetVirtualDisplay(const VirtualDisplayConfig& config) {
    std::lock_guard<std::mutex> hold(backends::Settings().lock);
    backends::Settings().config = config;
}

VirtualDisplayConfig GetVirtualDisplay() {
    std::lock_guard<std::mutex> hold(backends::Settings().lock);
    return backends::Settings().config;
}

} // namespace zorva
