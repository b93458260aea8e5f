// System queries, integer helpers and run-time modules, as the library's
// classes call them.
#ifndef ZORVA_SYSTEM_OS_SYSTEM_H
#define ZORVA_SYSTEM_OS_SYSTEM_H

#include "ZorvaTypes.h"

namespace zorva::platform {

constexpr unsigned SPI_GETOEMINFO = 258;

// Only SPI_GETOEMINFO is answered: the OEM information string of the
// screen's device, as wide characters, into pvParam (uiParam bytes,
// terminated). FALSE on failure.
BOOL SystemParametersInfoW(unsigned uiAction, unsigned uiParam, void* pvParam, unsigned fWinIni);

// Case-insensitive comparison of two wide strings (<0, 0, >0).
int _wcsicmp(const wchar_t* a, const wchar_t* b);

// number * numerator / denominator with a 64-bit intermediate, rounded to
// the nearest integer (halves away from zero); -1 when the denominator is 0
// or the result does not fit a signed 32-bit integer.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// ---- Modules ------------------------------------------------------------
// The two modules the display surface loads, "ddraw.dll" (the windowed
// back-end) and "GX.dll" (game input), are the platform's own code; whether
// they exist is the screen device's answer. Modules are reference counted:
// loading a loaded module returns the same handle and counts one more
// reference; FreeLibrary gives one back and unloads at the last. Null when
// the module does not exist.
HMODULE LoadLibraryW(const wchar_t* name);
void* GetProcAddressW(HMODULE module, const wchar_t* procName);
BOOL FreeLibrary(HMODULE module);
// Takes one more reference on a loaded module (the equivalent of loading it
// again by name) and returns it; null stays null.
HMODULE AddRefModule(HMODULE module);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_OS_SYSTEM_H
