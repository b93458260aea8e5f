// What every display device shares: its geometry, reading the screen back
// and the host's identification.
#include "backends/display/DisplayDevice.h"

#include "backends/Testing.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

namespace zorva::backends {
namespace {

std::mutex g_oemLock;
std::string g_oemRoot;

// The file's text up to its first control character (device tree strings
// end in a null, DMI ones in a line break), without trailing spaces.
std::string FirstLine(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t end = 0;
    while (end < text.size() && end < 127 && uint8_t(text[end]) >= 0x20)
        ++end;
    while (end > 0 && text[end - 1] == ' ')
        --end;
    return text.substr(0, end);
}

} // namespace

void DisplayDevice::SetFrame(int width, int height, int32_t xPitch, int32_t yPitch,
                             uint8_t* origin) {
    m_width = width;
    m_height = height;
    m_xPitch = xPitch;
    m_yPitch = yPitch;
    m_origin = origin;
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

void DisplayDevice::ReadScreenRows(int y, int count, uint16_t* out) const {
    for (int row = y; row < y + count; ++row) {
        const uint8_t* p = m_origin + int64_t(row) * m_yPitch;
        if (m_xPitch == 2) {
            std::memcpy(out, p, size_t(m_width) * 2);
            out += m_width;
            continue;
        }
        for (int x = 0; x < m_width; ++x, p += m_xPitch)
            std::memcpy(out++, p, 2);
    }
}

bool DisplayDevice::OemInfo(std::string* oem) const {
    *oem = HostOemInfo();
    return true;
}

std::string HostOemInfo() {
    std::string root;
    {
        std::lock_guard<std::mutex> hold(g_oemLock);
        root = g_oemRoot;
    }
    for (const char* path : {"/proc/device-tree/model", "/sys/class/dmi/id/product_name"}) {
        const std::string model = FirstLine(root + path);
        if (!model.empty()) return model;
    }
    return "Linux";
}

} // namespace zorva::backends

namespace zorva {

void SetOemRoot(const std::string& root) {
    std::lock_guard<std::mutex> hold(backends::g_oemLock);
    backends::g_oemRoot = root;
}

} // namespace zorva
