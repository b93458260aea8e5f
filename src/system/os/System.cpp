// System queries answered by the screen device, and integer helpers.
#include "system/os/System.h"

#include "system/windows/Windows.h"

#include <cwctype>

namespace zorva::platform {
BOOL SystemParametersInfoW(unsigned uiAction, unsigned uiParam, void* pvParam, unsigned) {
    if (uiAction != SPI_GETOEMINFO || !pvParam) return 0;
    size_t capacity = uiParam / sizeof(wchar_t);
    if (capacity == 0) return 0;
    std::string oem;
    std::shared_ptr<DisplayDevice> screen = ScreenDevice();
    if (screen) {
        if (!screen->OemInfo(&oem)) return 0;
    } else {
        oem = backends::HostOemInfo();
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
