#include "platform/com/Com.h"

namespace zorva::platform {
namespace {

thread_local int t_initializations = 0;

} // namespace

HRESULT CoInitializeEx(void*, DWORD) {
    return t_initializations++ == 0 ? 0 : S_FALSE;
}

void CoUninitialize() {
    if (t_initializations > 0) --t_initializations;
}

int ComInitializations() {
    return t_initializations;
}

} // namespace zorva::platform
