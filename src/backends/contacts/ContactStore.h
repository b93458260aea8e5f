// The contact store on SQLite: phone-number rules, the database path, and a
// connection that looks contacts up (read-only) or edits them (the
// zorva_contacts tool). Schema, matching rules and limits: docs/contacts.md.
//
// Every allocation goes through the platform allocator, SQLite's included
// (its allocator is set the first time a store is opened, when SQLite has
// not yet been initialised in the process), so FailAllocation reaches them.
// Results are the HRESULTs of platform/contacts/Contacts.h.
#ifndef ZORVA_BACKENDS_CONTACTSTORE_H
#define ZORVA_BACKENDS_CONTACTSTORE_H

#include <cstddef>
#include <cstdint>

struct sqlite3;

namespace zorva::backends {

enum class StoreStatus : uint8_t {
    Ok,
    Failed, // a null or foreign argument, or a failure SQLite does not name
    OutOfMemory,
    CannotOpen,      // the database cannot be opened (permissions, read-only)
    InvalidArgument, // a name or number the store does not take
    NotFound,        // no such database, contact, number or picture
    Damaged,         // not a contact database: damaged, another program's, a newer schema
    Locked,          // held by another connection beyond the busy timeout
    TooLarge,        // a picture above kMaxPictureBytes
    Exists,          // Add: a contact of that name exists
    NumberTaken,     // Add: another contact has a number with these digits
};

// Numbers need this many digits, and the lookup compares at least this many
// trailing ones, so short codes never match everything.
constexpr int kMinPhoneDigits = 7;
// E.164 allows 15; the rest leaves room for dialling prefixes.
constexpr int kMaxPhoneDigits = 20;
// Pictures above this many bytes are refused when stored and when read.
constexpr size_t kMaxPictureBytes = size_t(32) << 20;
// The longest database path, terminator included.
constexpr size_t kMaxContactsPath = 4096;
// The longest contact name in bytes (UTF-8).
constexpr size_t kMaxContactName = 256;

// A phone number reduced to its digits.
struct PhoneDigits {
    char digits[kMaxPhoneDigits + 1] = {};
    int count = 0;
};

// Reduces a number to its digits. Accepted: spaces, then an optional '+',
// then digits and the separators space - . ( ) /, with kMinPhoneDigits to
// kMaxPhoneDigits digits. False for anything else (letters, a '+' after a
// digit, too few or too many digits) and for null.
bool NormalizePhoneNumber(const char* number, PhoneDigits* out);
bool NormalizePhoneNumber(const wchar_t* number, PhoneDigits* out);

// The database path in effect (see zorva::SetContactsDatabase) into `out`
// (`size` bytes). False when there is none (no HOME) or it does not fit.
bool ContactsDatabasePath(char* out, size_t size);

// One contact as List reports it.
struct ContactEntry {
    int64_t id = 0;
    const char* name = nullptr;
    const char* numbers = nullptr; // as entered, separated by ", "
    int64_t pictureBytes = -1;     // -1: no picture
};

class ContactStore {
public:
    ContactStore() = default;
    ~ContactStore() { Close(); }
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    // Opens the database at `path`. For lookups (forWriting false) read-only,
    // never creating it: StoreStatus::NotFound when the file does not exist,
    // and a store that is empty (a new or zero-length file) opens and finds
    // nothing. For writing the file, its missing folders (mode 0700) and the
    // schema are created. StoreStatus::Damaged for a file that is not a
    // contact database; StoreStatus::Locked when it stays locked beyond the
    // busy timeout (100 ms for lookups, 2 s for writing).
    StoreStatus Open(const char* path, bool forWriting);
    void Close();

    // ---- Lookups
    // The contact whose number shares the most trailing digits with
    // `number` (at least kMinPhoneDigits); ties go to the shorter stored
    // number, then to the contact added first. StoreStatus::NotFound.
    StoreStatus FindByNumber(const PhoneDigits& number, int64_t* contact);
    StoreStatus FindByName(const char* name, int64_t* contact);
    // A copy of the contact's picture (backends::malloc; the caller frees
    // it; null for an empty picture). StoreStatus::NotFound without one,
    // StoreStatus::TooLarge above kMaxPictureBytes.
    StoreStatus ReadPicture(int64_t contact, void** data, size_t* bytes);
    // Calls visit for every contact, by name. The entry lives for the call.
    StoreStatus List(void (*visit)(void* context, const ContactEntry& entry), void* context);

    // ---- Editing (the store must have been opened for writing); each call
    // is one transaction.
    // StoreStatus::InvalidArgument for an empty name, one with control characters or above
    // kMaxContactName bytes; StoreStatus::NotFound (Add: StoreStatus::Exists).
    // Numbers: StoreStatus::InvalidArgument for one that does not normalise, or
    // StoreStatus::NumberTaken for one whose digits another number has (of any
    // contact, or earlier in the list); *badNumber (may be null) gets its
    // index. A null picture stores none.
    StoreStatus Add(const char* name, const char* const* numbers, int count, const void* picture,
                    size_t bytes, int* badNumber);
    StoreStatus SetPicture(const char* name, const void* picture, size_t bytes);
    StoreStatus Remove(const char* name);

private:
    StoreStatus CheckSchema(bool create);
    StoreStatus Begin();
    StoreStatus Finish(StoreStatus result);

    sqlite3* m_db = nullptr;
    bool m_empty = false; // a database without tables: nothing to find
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CONTACTSTORE_H
