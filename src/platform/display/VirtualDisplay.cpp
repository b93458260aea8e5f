// The virtual display: an in-memory device with any geometry, used where no
// real display exists and by tests to model devices. Its faults and counters
// live here, on the device, not in the code that calls it.
#include "platform/display/Display.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorva::platform {
namespace {

constexpr size_t kGuardBytes = 256;
constexpr uint8_t kGuardByte = 0xA5;
constexpr int kMaxSide = 16384;

struct VirtualSettings {
    std::mutex lock;
    VirtualDisplayConfig config;
    VirtualDisplayFaults faults;
    VirtualDisplayStats stats;
};

VirtualSettings& Settings() {
    static VirtualSettings settings;
    return settings;
}

VirtualDisplayFaults Faults() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    return Settings().faults;
}

// Memory between two guard zones, so that a write outside the frame buffer
// is seen afterwards (Intact). Geometry is fixed when the window opens; the
// answers (faults, OEM string, orientation) follow the settings at once.
class VirtualDevice final : public DisplayDevice {
public:
    ~VirtualDevice() override { platform::free(m_memory); }

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
        m_memory = static_cast<uint8_t*>(platform::malloc(m_bytes));
        if (!m_memory) return false;
        std::memset(m_memory, kGuardByte, kGuardBytes);
        std::memset(m_memory + kGuardBytes, 0, size_t(span));
        std::memset(m_memory + kGuardBytes + span, kGuardByte, kGuardBytes);
        SetFrame(config.width, config.height, xPitch, yPitch, m_memory + kGuardBytes - lowest);
        return true;
    }

    DisplayKind Kind() const override { return DisplayKind::Virtual; }

    bool RawFrameBuffer(RawFrameBufferInfo* info) override {
        if (Faults().noRawFrameBuffer) return false;
        info->wFormat = WORD(m_rawFormat);
        info->wBPP = WORD(m_bitsPerPixel);
        info->pFramePointer = Origin();
        info->cxStride = XPitch();
        info->cyStride = YPitch();
        info->cxPixels = Width();
        info->cyPixels = Height();
        return true;
    }

    bool Exports(ModuleId module, int entry) const override {
        const VirtualDisplayFaults f = Faults();
        if (module == ModuleId::DirectDraw)
            return !f.noDDraw && !(entry == 1 && f.noDDrawCreateEntry);
        if (f.noGX) return false;
        return !(entry == 1 && f.noGXOpenEntry) && !(entry == 2 && f.noGXCloseEntry);
    }

    HRESULT Step(WindowedStep step) const override {
        const VirtualDisplayFaults f = Faults();
        const bool fails[] = {f.ddrawCreateFails, f.ddrawCooperativeLevelFails,
                              f.ddrawNoPrimaryCaps, f.ddrawCreateSurfaceFails, f.ddrawLockFails};
        return fails[int(step)] ? DDERR_GENERIC : S_OK;
    }

    DWORD SurfaceBitsPerPixel() const override { return DWORD(Faults().ddrawBitsPerPixel); }

    void OpenGameInput() override { Count(&VirtualDisplayStats::gameInputOpens); }
    void CloseGameInput() override { Count(&VirtualDisplayStats::gameInputCloses); }

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

} // namespace

std::shared_ptr<DisplayDevice> OpenVirtualDevice(std::string* why) {
    auto device = std::shared_ptr<VirtualDevice>(new (std::nothrow) VirtualDevice);
    if (device && device->Init(GetVirtualDisplay())) return device;
    *why = "The virtual display's geometry is unusable or its memory cannot be had.";
    return nullptr;
}

void Count(int VirtualDisplayStats::*counter, int delta) {
    std::lock_guard<std::mutex> hold(Settings().lock);
    Settings().stats.*counter += delta;
}

} // namespace zorva::platform

namespace zorva {

using platform::Settings;

void SetVirtualDisplay(const VirtualDisplayConfig& config) {
    std::lock_guard<std::mutex> hold(Settings().lock);
    Settings().config = config;
}

VirtualDisplayConfig GetVirtualDisplay() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    return Settings().config;
}

void SetVirtualDisplayFaults(const VirtualDisplayFaults& faults) {
    std::lock_guard<std::mutex> hold(Settings().lock);
    Settings().faults = faults;
}

bool DisplayMemoryIntact(HWND window) {
    if (!window || window->device->Kind() != DisplayKind::Virtual) return false;
    return static_cast<const platform::VirtualDevice&>(*window->device).Intact();
}

VirtualDisplayStats GetVirtualDisplayStats() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    return Settings().stats;
}

void ResetVirtualDisplayStats() {
    std::lock_guard<std::mutex> hold(Settings().lock);
    VirtualDisplayStats& s = Settings().stats;
    VirtualDisplayStats fresh;
    fresh.modulesLoaded = s.modulesLoaded;
    fresh.directDrawObjects = s.directDrawObjects;
    fresh.surfaces = s.surfaces;
    s = fresh;
}

} // namespace zorva
