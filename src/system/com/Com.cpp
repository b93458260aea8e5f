#include "system/com/Com.h"

#include "system/contacts/Contacts.h"
#include "system/imaging/Imaging.h"

namespace zorva::platform {
namespace {

thread_local int t_initializations = 0;

} // namespace

const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

HRESULT CoInitializeEx(void*, DWORD) {
    return t_initializations++ == 0 ? 0 : S_FALSE;
}

void CoUninitialize() {
    if (t_initializations > 0) --t_initializations;
}

int ComInitializations() {
    return t_initializations;
}

HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid,
                         void** object) {
    if (!object) return E_FAIL;
    *object = nullptr;
    if (t_initializations == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    if (IsEqualGUID(clsid, CLSID_ImagingFactory)) return CreateImagingFactory(iid, object);
    if (IsEqualGUID(clsid, CLSID_Application)) return CreateContactsApplication(iid, object);
    return REGDB_E_CLASSNOTREG;
}

} // namespace zorva::platform
