// System queries answered by the screen device.
#include "platform/Platform.h"
#include "platform/display/Display.h"

#include <cwctype>
#include <fstream>
#include <iterator>

namespace zorva::platform {
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

BOOL SystemParametersInfoW(unsigned uiAction, unsigned uiParam, void* pvParam, unsigned) {
    if (uiAction != SPI_GETOEMINFO || !pvParam) return 0;
    size_t capacity = uiParam / sizeof(wchar_t);
    if (capacity == 0) return 0;
    std::string oem;
    std::shared_ptr<DisplayDevice> screen = ScreenDevice();
    if (screen) {
        if (!screen->OemInfo(&oem)) return 0;
    } else {
        oem = HostOemInfo();
    }
    // The string is 8-bit text; each byte becomes one wide character.
    auto* out = static_cast<wchar_t*>(pvParam);
    size_t n = 0;
    for (; n + 1 < capacity && n < oem.size(); ++n)
        out[n] = wchar_t(uint8_t(oem[n]));
    out[n] = L'\0';
    return 1;
}

int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        wint_t ca = std::towlower(wint_t(*a));
        wint_t cb = std::towlower(wint_t(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
    if (denominator == 0) return -1;
    const int64_t product = int64_t(number) * numerator;
    int64_t quotient = product / denominator;
    const int64_t remainder = product % denominator;
    // |remainder| >= |denominator| / 2 rounds away from zero.
    const int64_t r = remainder < 0 ? -remainder : remainder;
    const int64_t d = denominator < 0 ? -int64_t(denominator) : int64_t(denominator);
    if (2 * r >= d) quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
    if (quotient < INT32_MIN || quotient > INT32_MAX) return -1;
    return int32_t(quotient);
}

} // namespace zorva::platform

namespace zorva {

void SetOemRoot(const std::string& root) {
    std::lock_guard<std::mutex> hold(platform::g_oemLock);
    platform::g_oemRoot = root;
}

} // namespace zorva
