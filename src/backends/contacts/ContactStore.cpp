// The contact store on SQLite: the connection, the schema, lookups and
// edits. Every statement is fixed text with bound parameters.
#include "backends/contacts/ContactStore.h"

#include "backends/memory/Memory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>

namespace zorva::backends {
namespace {

constexpr int kSchemaVersion = 1;

// The schema of version 1. The tail index serves the lookup, which compares
// the last kMinPhoneDigits digits first.
static_assert(kMinPhoneDigits == 7, "the tail index and its query use substr(digits, -7)");
const char kCreateSchema[] = "CREATE TABLE contacts ("
                             " id INTEGER PRIMARY KEY,"
                             " name TEXT NOT NULL UNIQUE,"
                             " picture BLOB);"
                             "CREATE TABLE phones ("
                             " id INTEGER PRIMARY KEY,"
                             " contact INTEGER NOT NULL REFERENCES contacts(id) ON DELETE CASCADE,"
                             " number TEXT NOT NULL,"
                             " digits TEXT NOT NULL UNIQUE);"
                             "CREATE INDEX phones_by_contact ON phones(contact);"
                             "CREATE INDEX phones_by_tail ON phones(substr(digits, -7));"
                             "PRAGMA user_version = 1;";

// ---- SQLite's allocations through the platform allocator. Each block
// carries its size in front, as xSize needs it; 16 bytes keep the
// allocator's alignment.
constexpr size_t kSizeHeader = 16;

void* SqlMalloc(int bytes) {
    if (bytes < 0) return nullptr;
    auto* block = static_cast<char*>(backends::malloc(kSizeHeader + size_t(bytes)));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    return block + kSizeHeader;
}

void SqlFree(void* p) {
    if (p) backends::free(static_cast<char*>(p) - kSizeHeader);
}

void* SqlRealloc(void* p, int bytes) {
    if (!p) return SqlMalloc(bytes);
    if (bytes < 0) return nullptr;
    auto* block = static_cast<char*>(
        backends::realloc(static_cast<char*>(p) - kSizeHeader, kSizeHeader + size_t(bytes)));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    return block + kSizeHeader;
}

int SqlSize(void* p) {
    int bytes = 0;
    if (p) std::memcpy(&bytes, static_cast<char*>(p) - kSizeHeader, sizeof bytes);
    return bytes;
}

int SqlRoundup(int bytes) {
    return (bytes + 7) & ~7;
}

int SqlInit(void*) {
    return SQLITE_OK;
}

void SqlShutdown(void*) {}

// SQLite accepts an allocator only before it is initialised; when the
// application initialised it first, SQLite keeps its own.
void UseLibraryAllocator() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const sqlite3_mem_methods methods = {SqlMalloc,  SqlFree, SqlRealloc,  SqlSize,
                                                    SqlRoundup, SqlInit, SqlShutdown, nullptr};
        sqlite3_config(SQLITE_CONFIG_MALLOC, &methods);
    });
}

StoreStatus FromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return StoreStatus::Ok;
    case SQLITE_NOMEM:
        return StoreStatus::OutOfMemory;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreStatus::Locked;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
        return StoreStatus::Damaged;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        return StoreStatus::CannotOpen;
    case SQLITE_TOOBIG:
        return StoreStatus::TooLarge;
    default:
        return StoreStatus::Failed;
    }
}

// One prepared statement. The first failure (preparing, binding or
// stepping) sticks: later calls do nothing and Result reports it.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        const int rc = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
        // Our statements are fixed: one that does not compile names a table
        // or column this database lacks.
        m_result = rc == SQLITE_ERROR ? StoreStatus::Damaged : FromSqlite(rc);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Text(int index, const char* text) {
        return Check(m_result == StoreStatus::Ok
                         ? sqlite3_bind_text(m_statement, index, text, -1, SQLITE_STATIC)
                         : SQLITE_OK);
    }
    Statement& Int(int index, int64_t value) {
        return Check(m_result == StoreStatus::Ok ? sqlite3_bind_int64(m_statement, index, value)
                                                 : SQLITE_OK);
    }
    // A null picture binds NULL, an empty one a zero-length blob.
    Statement& Blob(int index, const void* data, size_t bytes) {
        if (m_result != StoreStatus::Ok) return *this;
        if (!data) return Check(sqlite3_bind_null(m_statement, index));
        if (!bytes) return Check(sqlite3_bind_zeroblob(m_statement, index, 0));
        return Check(sqlite3_bind_blob64(m_statement, index, data, bytes, SQLITE_STATIC));
    }
    // True with a row; false at the end or on failure (then Result is not Ok).
    bool Step() {
        if (m_result != StoreStatus::Ok) return false;
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) m_result = FromSqlite(rc);
        return false;
    }
    StoreStatus Result() const { return m_result; }

    int64_t ColumnInt(int column) { return sqlite3_column_int64(m_statement, column); }
    bool ColumnNull(int column) { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    const char* ColumnText(int column) {
        return reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    }

    // The column as bytes: sqlite3_column_blob before sqlite3_column_bytes,
    // as SQLite asks.
    const void* ColumnBlob(int column, size_t* bytes) {
        const void* data = sqlite3_column_blob(m_statement, column);
        *bytes = size_t(sqlite3_column_bytes(m_statement, column));
        if (!data && *bytes == 0 && sqlite3_errcode(sqlite3_db_handle(m_statement)) == SQLITE_NOMEM)
            m_result = StoreStatus::OutOfMemory;
        return data;
    }

private:
    Statement& Check(int rc) {
        if (rc != SQLITE_OK) m_result = FromSqlite(rc);
        return *this;
    }

    sqlite3_stmt* m_statement = nullptr;
    StoreStatus m_result = StoreStatus::Ok;
};

// Creates the folders leading to `path` (not the file itself).
void MakeParentFolders(const char* path) {
    char folder[kMaxContactsPath];
    const size_t length = std::strlen(path);
    if (length >= sizeof folder) return;
    std::memcpy(folder, path, length + 1);
    for (size_t i = 1; i < length; ++i) {
        if (folder[i] != '/') continue;
        folder[i] = '\0';
        ::mkdir(folder, 0700); // an existing folder is fine; a real failure shows at open
        folder[i] = '/';
    }
}

bool ValidName(const char* name) {
    if (!name || !*name) return false;
    const size_t length = std::strlen(name);
    if (length > kMaxContactName) return false;
    for (size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(name[i]) < 0x20 || name[i] == 0x7F) return false;
    return true;
}

int CommonTail(const char* a, size_t na, const char* b, size_t nb) {
    int k = 0;
    while (size_t(k) < na && size_t(k) < nb && a[na - 1 - k] == b[nb - 1 - k])
        ++k;
    return k;
}

} // namespace

StoreStatus ContactStore::Open(const char* path, bool forWriting) {
    Close();
    if (!path || !*path) return StoreStatus::Failed;
    if (std::strlen(path) >= kMaxContactsPath - 2) return StoreStatus::InvalidArgument;
    if (forWriting) {
        MakeParentFolders(path);
    } else {
        struct stat st;
        if (::stat(path, &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? StoreStatus::NotFound
                                                       : StoreStatus::CannotOpen;
        if (!S_ISREG(st.st_mode)) return StoreStatus::CannotOpen;
    }
    // SQLite reads names starting with "file:" as URIs; "./" keeps them files.
    char name[kMaxContactsPath];
    std::snprintf(name, sizeof name, "%s%s", std::strncmp(path, "file:", 5) == 0 ? "./" : "", path);

    UseLibraryAllocator();
    const int flags =
        (forWriting ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
        SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(name, &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Close();
        return FromSqlite(rc);
    }
    // A database file may come from anywhere: no schema-defined functions,
    // no writes that could damage it behind SQLite's back.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_busy_timeout(m_db, forWriting ? 2000 : 100);
    const StoreStatus hr = CheckSchema(forWriting);
    if (hr != StoreStatus::Ok) Close();
    return hr;
}

void ContactStore::Close() {
    if (m_db) sqlite3_close(m_db);
    m_db = nullptr;
    m_empty = false;
}

// Version 1 is ours. Version 0 with no tables at all is an empty store (a
// new or zero-length file), which a writer fills with the schema; anything
// else is not a contact database.
StoreStatus ContactStore::CheckSchema(bool create) {
    if (create) {
        const StoreStatus hr = Begin();
        if (hr != StoreStatus::Ok) return hr;
    }
    int64_t version = -1, tables = -1;
    {
        Statement s(m_db, "PRAGMA user_version");
        if (s.Step()) version = s.ColumnInt(0);
        if (s.Result() != StoreStatus::Ok) return create ? Finish(s.Result()) : s.Result();
    }
    if (version == 0) {
        Statement s(m_db, "SELECT count(*) FROM sqlite_master");
        if (s.Step()) tables = s.ColumnInt(0);
        if (s.Result() != StoreStatus::Ok) return create ? Finish(s.Result()) : s.Result();
    }
    StoreStatus hr = StoreStatus::Ok;
    if (version == kSchemaVersion) {
        hr = StoreStatus::Ok;
    } else if (version != 0 || tables != 0) {
        hr = StoreStatus::Damaged;
    } else if (!create) {
        m_empty = true;
    } else {
        hr = FromSqlite(sqlite3_exec(m_db, kCreateSchema, nullptr, nullptr, nullptr));
    }
    return create ? Finish(hr) : hr;
}

StoreStatus ContactStore::Begin() {
    return FromSqlite(sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
}

StoreStatus ContactStore::Finish(StoreStatus result) {
    if (result == StoreStatus::Ok) {
        result = FromSqlite(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr));
        if (result == StoreStatus::Ok) return result;
    }
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return result;
}

StoreStatus ContactStore::FindByNumber(const PhoneDigits& number, int64_t* contact) {
    if (!m_db || !contact || number.count < kMinPhoneDigits) return StoreStatus::Failed;
    *contact = 0;
    if (m_empty) return StoreStatus::NotFound;
    Statement s(m_db, "SELECT contact, digits FROM phones WHERE substr(digits, -7) = ?1");
    s.Text(1, number.digits + (number.count - kMinPhoneDigits));
    int bestTail = 0;
    size_t bestLength = 0;
    int64_t best = 0;
    while (s.Step()) {
        const int64_t id = s.ColumnInt(0);
        const char* digits = s.ColumnText(1);
        if (!digits) return StoreStatus::OutOfMemory; // the column is NOT NULL
        const size_t length = std::strlen(digits);
        const int tail = CommonTail(number.digits, size_t(number.count), digits, length);
        if (tail < kMinPhoneDigits) continue;
        const bool better = tail != bestTail       ? tail > bestTail
                            : length != bestLength ? length < bestLength
                                                   : id < best;
        if (best == 0 || better) {
            bestTail = tail;
            bestLength = length;
            best = id;
        }
    }
    if (s.Result() != StoreStatus::Ok) return s.Result();
    if (best == 0) return StoreStatus::NotFound;
    *contact = best;
    return StoreStatus::Ok;
}

StoreStatus ContactStore::FindByName(const char* name, int64_t* contact) {
    if (!m_db || !name || !contact) return StoreStatus::Failed;
    *contact = 0;
    if (m_empty) return StoreStatus::NotFound;
    Statement s(m_db, "SELECT id FROM contacts WHERE name = ?1");
    if (s.Text(1, name).Step()) *contact = s.ColumnInt(0);
    if (s.Result() != StoreStatus::Ok) return s.Result();
    return *contact ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus ContactStore::ReadPicture(int64_t contact, void** data, size_t* bytes) {
    if (!m_db || !data || !bytes) return StoreStatus::Failed;
    *data = nullptr;
    *bytes = 0;
    if (m_empty) return StoreStatus::NotFound;
    // The size is known from the record's header; a picture above the limit
    // is never loaded.
    Statement s(m_db, "SELECT picture IS NULL, length(picture) > ?2,"
                      " CASE WHEN length(picture) <= ?2 THEN picture END"
                      " FROM contacts WHERE id = ?1");
    if (!s.Int(1, contact).Int(2, int64_t(kMaxPictureBytes)).Step())
        return s.Result() != StoreStatus::Ok ? s.Result() : StoreStatus::NotFound;
    if (s.ColumnInt(0)) return StoreStatus::NotFound;
    if (s.ColumnInt(1)) return StoreStatus::TooLarge;
    size_t size = 0;
    const void* picture = s.ColumnBlob(2, &size);
    if (s.Result() != StoreStatus::Ok) return s.Result();
    if (size > kMaxPictureBytes) return StoreStatus::TooLarge; // text counted in characters
    if (size == 0) return StoreStatus::Ok;
    void* copy = backends::malloc(size);
    if (!copy) return StoreStatus::OutOfMemory;
    std::memcpy(copy, picture, size);
    *data = copy;
    *bytes = size;
    return StoreStatus::Ok;
}

StoreStatus ContactStore::List(void (*visit)(void* context, const ContactEntry& entry),
                               void* context) {
    if (!m_db || !visit) return StoreStatus::Failed;
    if (m_empty) return StoreStatus::Ok;
    Statement s(m_db, "SELECT c.id, c.name, length(c.picture),"
                      " (SELECT group_concat(number, ', ') FROM"
                      "   (SELECT number FROM phones WHERE contact = c.id ORDER BY id))"
                      " FROM contacts AS c ORDER BY c.name, c.id");
    while (s.Step()) {
        ContactEntry entry;
        entry.id = s.ColumnInt(0);
        entry.name = s.ColumnText(1);
        entry.pictureBytes = s.ColumnNull(2) ? -1 : s.ColumnInt(2);
        entry.numbers = s.ColumnNull(3) ? "" : s.ColumnText(3);
        if (!entry.name || !entry.numbers) return StoreStatus::OutOfMemory;
        visit(context, entry);
    }
    return s.Result();
}

StoreStatus ContactStore::Add(const char* name, const char* const* numbers, int count,
                              const void* picture, size_t bytes, int* badNumber) {
    if (badNumber) *badNumber = -1;
    if (!m_db || count < 0 || (count > 0 && !numbers)) return StoreStatus::Failed;
    if (!ValidName(name)) return StoreStatus::InvalidArgument;
    if (picture && bytes > kMaxPictureBytes) return StoreStatus::TooLarge;
    for (int i = 0; i < count; ++i) {
        PhoneDigits digits;
        if (!NormalizePhoneNumber(numbers[i], &digits)) {
            if (badNumber) *badNumber = i;
            return StoreStatus::InvalidArgument;
        }
    }
    StoreStatus hr = Begin();
    if (hr != StoreStatus::Ok) return hr;
    int64_t existing = 0;
    hr = FindByName(name, &existing);
    if (hr == StoreStatus::Ok) return Finish(StoreStatus::Exists);
    if (hr != StoreStatus::NotFound) return Finish(hr);
    {
        Statement s(m_db, "INSERT INTO contacts (name, picture) VALUES (?1, ?2)");
        s.Text(1, name).Blob(2, picture, bytes).Step();
        if (s.Result() != StoreStatus::Ok) return Finish(s.Result());
    }
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    for (int i = 0; i < count; ++i) {
        PhoneDigits digits;
        NormalizePhoneNumber(numbers[i], &digits);
        Statement taken(m_db, "SELECT 1 FROM phones WHERE digits = ?1");
        if (taken.Text(1, digits.digits).Step()) {
            if (badNumber) *badNumber = i;
            return Finish(StoreStatus::NumberTaken);
        }
        if (taken.Result() != StoreStatus::Ok) return Finish(taken.Result());
        Statement s(m_db, "INSERT INTO phones (contact, number, digits) VALUES (?1, ?2, ?3)");
        s.Int(1, id).Text(2, numbers[i]).Text(3, digits.digits).Step();
        if (s.Result() != StoreStatus::Ok) return Finish(s.Result());
    }
    return Finish(StoreStatus::Ok);
}

StoreStatus ContactStore::SetPicture(const char* name, const void* picture, size_t bytes) {
    if (!m_db || !name) return StoreStatus::Failed;
    if (picture && bytes > kMaxPictureBytes) return StoreStatus::TooLarge;
    Statement s(m_db, "UPDATE contacts SET picture = ?2 WHERE name = ?1");
    s.Text(1, name).Blob(2, picture, bytes).Step();
    if (s.Result() != StoreStatus::Ok) return s.Result();
    return sqlite3_changes(m_db) ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus ContactStore::Remove(const char* name) {
    if (!m_db || !name) return StoreStatus::Failed;
    StoreStatus hr = Begin();
    if (hr != StoreStatus::Ok) return hr;
    int64_t id = 0;
    hr = FindByName(name, &id);
    if (hr != StoreStatus::Ok) return Finish(hr);
    // Explicitly, as the cascade needs foreign keys switched on.
    Statement numbers(m_db, "DELETE FROM phones WHERE contact = ?1");
    numbers.Int(1, id).Step();
    if (numbers.Result() != StoreStatus::Ok) return Finish(numbers.Result());
    Statement contact(m_db, "DELETE FROM contacts WHERE id = ?1");
    contact.Int(1, id).Step();
    return Finish(contact.Result());
}

} // namespace zorva::backends
