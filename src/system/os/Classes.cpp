// The classes CoCreateInstance makes: the services register here, so that
// the COM runtime itself (system/com) depends on none of them.
#include "system/com/Com.h"
#include "system/contacts/Contacts.h"
#include "system/imaging/Imaging.h"

namespace zorva::platform {

HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid,
                         void** object) {
    if (!object) return E_FAIL;
    *object = nullptr;
    if (!ComInitialized()) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    if (IsEqualGUID(clsid, CLSID_ImagingFactory)) return CreateImagingFactory(iid, object);
    if (IsEqualGUID(clsid, CLSID_Application)) return CreateContactsApplication(iid, object);
    return REGDB_E_CLASSNOTREG;
}

} // namespace zorva::platform
