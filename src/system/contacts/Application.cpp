// The contact store's COM-style objects: the application object, the
// contact item, and the read-only stream over a picture.
#include "backends/contacts/ContactStore.h"
#include "system/contacts/Contacts.h"
#include "system/streams/Streams.h"

#include <atomic>
#include <cstring>
#include <new>

namespace zorva::platform {

const GUID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
const GUID IID_IPOutlookApp = {
    0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};

namespace {

// Tells our application object from any other IPOutlookApp.
const GUID IID_StoreApplication = {
    0x3C9B1E04, 0x6A2F, 0x4D81, {0xB5, 0x0E, 0x71, 0x2A, 0xC4, 0x93, 0x5D, 0x16}};
const GUID IID_IItem = {
    0x2A3C5E71, 0x9D14, 0x4F60, {0x8B, 0x27, 0x5E, 0xC1, 0x0A, 0x94, 0x3D, 0x82}};

using backends::ContactStore;
using backends::StoreStatus;

std::atomic<long> g_logons{0};
std::atomic<long> g_logoffs{0};

// The store's result codes.
HRESULT FromStoreStatus(StoreStatus status) {
    switch (status) {
    case StoreStatus::Ok:
        return S_OK;
    case StoreStatus::Failed:
        return E_FAIL;
    case StoreStatus::OutOfMemory:
        return E_OUTOFMEMORY;
    case StoreStatus::CannotOpen:
        return E_ACCESSDENIED;
    case StoreStatus::InvalidArgument:
        return E_INVALIDARG;
    case StoreStatus::NotFound:
        return CONTACTS_E_NOTFOUND;
    case StoreStatus::Damaged:
        return CONTACTS_E_DAMAGED;
    case StoreStatus::Locked:
        return CONTACTS_E_LOCKED;
    case StoreStatus::TooLarge:
        return CONTACTS_E_TOOLARGE;
    case StoreStatus::Exists:
    case StoreStatus::NumberTaken:
        break;
    }
    return E_FAIL;
}

class Application final : public RefCounted<IPOutlookApp> {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object,
                               {{IID_IPOutlookApp, this}, {IID_StoreApplication, this}});
    }
    HRESULT Logon(HWND) override {
        if (m_loggedOn) return E_FAIL;
        m_loggedOn = true;
        ++g_logons;
        return S_OK;
    }
    HRESULT Logoff() override {
        if (!m_loggedOn) return E_FAIL;
        m_loggedOn = false;
        ++g_logoffs;
        return S_OK;
    }
    bool LoggedOn() const { return m_loggedOn; }

private:
    bool m_loggedOn = false;
};

// A contact found by a lookup. It keeps the read-only connection it was
// found through, so its picture is read from the same database.
class Item final : public RefCounted<IItem> {
public:
    ContactStore store;
    int64_t contact = 0;

    HRESULT QueryInterface(const GUID& iid, void** object) override {
        return AnswerInterface(iid, object, {{IID_IItem, this}});
    }
    HRESULT OpenProperty(CEPROPID propId, DWORD mode, IStream** stream) override {
        if (!stream) return E_FAIL;
        *stream = nullptr;
        if (propId != PIMPR_PICTURE) return E_INVALIDARG;
        if (mode != GENERIC_READ) return E_ACCESSDENIED;
        void* data = nullptr;
        size_t bytes = 0;
        const HRESULT hr = FromStoreStatus(store.ReadPicture(contact, &data, &bytes));
        if (hr < 0) return hr;
        return CreateStreamOnBytes(data, bytes, stream);
    }
};

} // namespace

HRESULT CreateContactsApplication(const GUID& iid, void** object) {
    if (!object) return E_FAIL;
    *object = nullptr;
    auto* app = new (std::nothrow) Application;
    if (!app) return E_OUTOFMEMORY;
    const HRESULT hr = app->QueryInterface(iid, object);
    app->Release();
    return hr;
}

HRESULT FindMatchingContact(IPOutlookApp* app, const wchar_t* number, DWORD flags, IItem** item,
                            CEPROPID* matched) {
    if (matched) *matched = 0;
    if (!item) return E_FAIL;
    *item = nullptr;
    if (!app || !number) return E_FAIL;
    void* own = nullptr;
    if (app->QueryInterface(IID_StoreApplication, &own) != S_OK) return E_FAIL;
    auto* ours = static_cast<Application*>(static_cast<IPOutlookApp*>(own));
    const bool loggedOn = ours->LoggedOn();
    ours->Release();
    if (!loggedOn) return CONTACTS_E_NOTLOGGEDON;
    if (!(flags & FMCF_FINDPHONE)) return E_INVALIDARG;

    backends::PhoneDigits digits;
    char path[backends::kMaxContactsPath];
    if (!backends::NormalizePhoneNumber(number, &digits) ||
        !backends::ContactsDatabasePath(path, sizeof path))
        return CONTACTS_E_NOTFOUND;
    auto* found = new (std::nothrow) Item;
    if (!found) return E_OUTOFMEMORY;
    StoreStatus status = found->store.Open(path, false);
    if (status == StoreStatus::Ok) status = found->store.FindByNumber(digits, &found->contact);
    if (status != StoreStatus::Ok) {
        found->Release();
        return FromStoreStatus(status);
    }
    *item = found;
    return S_OK;
}

ContactsActivity GetContactsActivity() {
    ContactsActivity activity;
    activity.logons = g_logons.load();
    activity.logoffs = g_logoffs.load();
    return activity;
}

} // namespace zorva::platform
