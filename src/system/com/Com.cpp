#include "system/com/Com.h"

namespace zorva::platform {
namespace {

thread_local int t_initializations = 0;

} // namespace

const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

HRESULT AnswerInterface(const GUID& iid, void** object,
                        std::initializer_list<InterfaceView> views) {
    if (!object) return E_FAIL;
    *object = nullptr;
    bool first = true;
    for (const InterfaceView& v : views) {
        if (IsEqualGUID(iid, v.iid) || (first && IsEqualGUID(iid, IID_IUnknown))) {
            v.view->AddRef();
            *object = v.view;
            return S_OK;
        }
        first = false;
    }
    return E_NOINTERFACE;
}

HRESULT CoInitializeEx(void*, DWORD) {
    return t_initializations++ == 0 ? 0 : S_FALSE;
}

void CoUninitialize() {
    if (t_initializations > 0) --t_initializations;
}

int ComInitializations() {
    return t_initializations;
}

bool ComInitialized() {
    return t_initializations > 0;
}

} // namespace zorva::platform
