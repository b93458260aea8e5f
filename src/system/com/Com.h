// COM-style services: per-thread initialisation, object creation by class
// identifier, and the interfaces that library objects hold. The imaging
// service's interfaces are in system/imaging/Imaging.h.
#ifndef ZORVA_SYSTEM_COM_H
#define ZORVA_SYSTEM_COM_H

#include "ZorvaTypes.h"
#include "system/memory/Memory.h"

#include <initializer_list>

// The contact store's application object.
struct IPOutlookApp : IUnknown {
    virtual HRESULT Logon(HWND window) = 0;
    virtual HRESULT Logoff() = 0;

protected:
    ~IPOutlookApp() = default;
};

namespace zorva::platform {

// The reference count of the platform's COM-style objects: a class derives
// from RefCounted<its interfaces...>, starts with one reference, and is
// deleted (through its own destructor) when the last one is given back. Its
// memory is the platform allocator's.
template <class... Interfaces>
class RefCounted : public Interfaces..., public Allocated {
public:
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~RefCounted() = default;

private:
    ULONG m_references = 1;
};

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000A);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);

constexpr DWORD CLSCTX_INPROC_SERVER = 1;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// IUnknown's own identifier: every object answers QueryInterface for it.
extern const GUID IID_IUnknown;

// One interface an object answers QueryInterface for: its identifier and
// the object seen through it.
struct InterfaceView {
    const GUID& iid;
    IUnknown* view;
};

// QueryInterface's answer from an object's views: the view whose identifier
// is `iid` (the first view also answers IID_IUnknown) with one more
// reference, S_OK; else E_NOINTERFACE with *object null. E_FAIL for a null
// `object`.
HRESULT AnswerInterface(const GUID& iid, void** object, std::initializer_list<InterfaceView> views);

// Initialisations are counted per thread: the first returns S_OK, later ones
// S_FALSE; each must be balanced by one CoUninitialize on the same thread.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
// Initialisations of the calling thread not yet balanced (for tests).
int ComInitializations();
bool ComInitialized();

// Creates an object of a registered class and returns the interface asked
// for in *object (one reference). The classes are the imaging factory
// (CLSID_ImagingFactory, system/imaging/Imaging.h) and the contact store's
// application (CLSID_Application, system/contacts/Contacts.h), in-process.
// Results: S_OK; E_FAIL for a null `object`; CO_E_NOTINITIALIZED when the
// calling thread has no CoInitializeEx in force; CLASS_E_NOAGGREGATION for
// an `outer` object; REGDB_E_CLASSNOTREG for an unknown class or a context
// without CLSCTX_INPROC_SERVER; E_NOINTERFACE when the class lacks the
// interface. *object is null on every failure.
HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid,
                         void** object);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_COM_H
