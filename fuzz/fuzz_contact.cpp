// The contact-picture path: the input stored as a contact's picture in a
// scratch contact store, then shown with DrawPic in both modes, small and
// large.
//
// Input: 2 parameter bytes, then the picture's bytes.
//   [0] bit 0: display box (mode 1) instead of 60 x 60; bit 1: large
//   [1] top bit: make an allocation fail, the low bits which one
#include "FuzzSupport.h"

#include <sqlite3.h>

namespace {

using namespace fuzz;

constexpr const char* kSchema =
    "CREATE TABLE contacts (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, picture BLOB);"
    "CREATE TABLE phones (id INTEGER PRIMARY KEY,"
    "  contact INTEGER NOT NULL REFERENCES contacts(id) ON DELETE CASCADE,"
    "  number TEXT NOT NULL, digits TEXT NOT NULL UNIQUE);"
    "CREATE INDEX phones_by_contact ON phones(contact);"
    "CREATE INDEX phones_by_tail ON phones(substr(digits, -7));"
    "PRAGMA user_version = 1;"
    "INSERT INTO contacts (name) VALUES ('Fuzz');"
    "INSERT INTO phones (contact, number, digits) VALUES (1, '555 0123 456', '5550123456');";

// The store, made once: the library opens it first (so that SQLite takes
// the library's allocator), then this writes it.
sqlite3* Store() {
    static sqlite3* db = [] {
        char path[] = "/tmp/zorva-fuzz-contacts-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0) Broken("scratch database");
        close(fd);
        unlink(path);
        zorva::SetContactsDatabase(path);
        CCEBitmap probe;
        probe.DrawPic(&Canvas(), 2, L"5550123456", 0);
        sqlite3* store = nullptr;
        if (sqlite3_open(path, &store) != SQLITE_OK ||
            sqlite3_exec(store, "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;", nullptr,
                         nullptr, nullptr) != SQLITE_OK ||
            sqlite3_exec(store, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
            Broken("scratch database");
        return store;
    }();
    return db;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
    Input in;
    if (!in.Split(bytes, length, 2) || !SmallEnough(in.data, in.size)) return 0;
    sqlite3* db = Store();
    sqlite3_stmt* update = nullptr;
    if (sqlite3_prepare_v2(db, "UPDATE contacts SET picture = ?1 WHERE id = 1", -1, &update,
                           nullptr) != SQLITE_OK ||
        sqlite3_bind_blob(update, 1, in.data, int(in.size), SQLITE_TRANSIENT) != SQLITE_OK ||
        sqlite3_step(update) != SQLITE_DONE)
        Broken("storing the picture");
    sqlite3_finalize(update);
    MaybeFailAllocation(in.params[1]);
    CCEBitmap picture;
    const unsigned long result =
        picture.DrawPic(&Canvas(), in.params[0] & 1 ? 1 : 2, L"+1 555 0123 456", in.params[0] & 2);
    zorva::FailAllocation(0);
    if (result > 1) Broken("DrawPic returned neither 0 nor 1");
    CheckBitmap(picture, int(result));
    return 0;
}
