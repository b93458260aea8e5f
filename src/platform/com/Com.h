// COM-style services: per-thread initialisation and the interfaces that
// library objects hold. The imaging service (IImagingFactory, IImage) adds
// its operations where it is implemented.
#ifndef ZORVA_PLATFORM_COM_H
#define ZORVA_PLATFORM_COM_H

#include "ZorvaTypes.h"

// The contact store's application object.
struct IPOutlookApp : IUnknown {
    virtual HRESULT Logon(HWND window) = 0;
    virtual HRESULT Logoff() = 0;

protected:
    ~IPOutlookApp() = default;
};

namespace zorva::platform {

constexpr HRESULT S_FALSE = 1;

// Initialisations are counted per thread: the first returns S_OK, later ones
// S_FALSE; each must be balanced by one CoUninitialize on the same thread.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
// Initialisations of the calling thread not yet balanced (for tests).
int ComInitializations();

} // namespace zorva::platform

#endif // ZORVA_PLATFORM_COM_H
