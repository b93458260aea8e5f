// The contact store as the bitmap reaches it: the application object (made
// by CoCreateInstance, logged on and off), the lookup of a contact by phone
// number, and the contact item whose picture property opens as a stream.
// The store is an SQLite database (backends/contacts/ContactStore.h; rules
// in docs/contacts.md).
#ifndef ZORVA_SYSTEM_CONTACTS_H
#define ZORVA_SYSTEM_CONTACTS_H

#include "ZorvaTypes.h"
#include "system/com/Com.h"
#include "system/files/FilesApi.h" // GENERIC_READ

typedef DWORD CEPROPID;

// A contact. Only the picture property is stored.
struct IItem : IUnknown {
    virtual HRESULT OpenProperty(CEPROPID propId, DWORD mode, IStream** stream) = 0;

protected:
    ~IItem() = default;
};

namespace zorva::platform {

extern const GUID CLSID_Application; // the contact store's application object
extern const GUID IID_IPOutlookApp;

constexpr CEPROPID PIMPR_PICTURE = 0x00FF0064; // an encoded image file
constexpr DWORD FMCF_FINDPHONE = 1;            // FindMatchingContact: match phone numbers

// Results of the store besides S_OK, E_FAIL (a null or foreign argument),
// E_OUTOFMEMORY and E_ACCESSDENIED (a database that cannot be opened).
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
// No such contact, number or picture; also a missing or empty database.
constexpr HRESULT CONTACTS_E_NOTFOUND = static_cast<HRESULT>(0x80070490);
// The application object has not logged on.
constexpr HRESULT CONTACTS_E_NOTLOGGEDON = static_cast<HRESULT>(0x80070015);
// A file that is not a contact database: damaged, another program's
// database, or a newer schema.
constexpr HRESULT CONTACTS_E_DAMAGED = static_cast<HRESULT>(0x8007000D);
// Another connection holds the database locked beyond the busy timeout.
constexpr HRESULT CONTACTS_E_LOCKED = static_cast<HRESULT>(0x80070021);
// A picture above kMaxPictureBytes.
constexpr HRESULT CONTACTS_E_TOOLARGE = static_cast<HRESULT>(0x800700DF);

// Creates the application object for CoCreateInstance: one reference, not
// logged on. Logon(window) connects (the window is not used) and Logoff
// disconnects; both count in ContactsActivity. Logon while logged on and
// Logoff while not give E_FAIL. No file is opened by either: each lookup
// reads the database in effect at that moment (zorva::SetContactsDatabase).
HRESULT CreateContactsApplication(const GUID& iid, void** object);

// The contact whose phone number matches `number` (wide characters) by the
// store's rules, as an item holding one reference, or *item null and:
// E_FAIL for a null `item` or `number` or an application object that is not
// the store's; CONTACTS_E_NOTLOGGEDON; E_INVALIDARG without FMCF_FINDPHONE;
// CONTACTS_E_NOTFOUND for an invalid or short number, no match, or a missing
// or empty database; the store's failure codes otherwise. *matched (may be
// null) receives 0: numbers carry no kind. The item's OpenProperty takes
// only PIMPR_PICTURE (else E_INVALIDARG) with GENERIC_READ (else
// E_ACCESSDENIED) and gives a read-only stream over a copy of the picture
// (writes fail with STG_E_ACCESSDENIED), CONTACTS_E_NOTFOUND for a contact
// without one.
HRESULT FindMatchingContact(IPOutlookApp* app, const wchar_t* number, DWORD flags, IItem** item,
                            CEPROPID* matched);

// Logons and logoffs of application objects since the process started.
struct ContactsActivity {
    long logons = 0;
    long logoffs = 0;
};
ContactsActivity GetContactsActivity();

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_CONTACTS_H
