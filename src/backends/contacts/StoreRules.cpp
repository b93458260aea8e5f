// The contact store's rules that need no database: what a phone number is,
// and where the database lives.
#include "ZorvaPlatform.h"
#include "backends/contacts/ContactStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zorva {
namespace {

std::mutex g_pathLock;
char g_path[backends::kMaxContactsPath]; // set by SetContactsDatabase; "" when not

template <class Char>
bool Normalize(const Char* number, backends::PhoneDigits* out) {
    if (!number || !out) return false;
    backends::PhoneDigits d;
    const Char* c = number;
    while (*c == ' ')
        ++c;
    if (*c == '+') ++c; // the international prefix says nothing the digits do not
    for (; *c; ++c) {
        if (*c >= '0' && *c <= '9') {
            if (d.count == backends::kMaxPhoneDigits) return false;
            d.digits[d.count++] = char(*c);
        } else if (*c != ' ' && *c != '-' && *c != '.' && *c != '(' && *c != ')' && *c != '/') {
            return false;
        }
    }
    if (d.count < backends::kMinPhoneDigits) return false;
    *out = d;
    return true;
}

bool Join(char* out, size_t size, const char* a, const char* b) {
    const int n = std::snprintf(out, size, "%s%s", a, b);
    return n >= 0 && size_t(n) < size;
}

} // namespace

bool SetContactsDatabase(const char* path) {
    const size_t length = path ? std::strlen(path) : 0;
    if (length >= backends::kMaxContactsPath) return false;
    std::lock_guard<std::mutex> hold(g_pathLock);
    if (length) std::memcpy(g_path, path, length);
    g_path[length] = '\0';
    return true;
}

std::string GetContactsDatabase() {
    char path[backends::kMaxContactsPath];
    return backends::ContactsDatabasePath(path, sizeof path) ? std::string(path) : std::string();
}

namespace backends {

bool NormalizePhoneNumber(const char* number, PhoneDigits* out) {
    return Normalize(number, out);
}

bool NormalizePhoneNumber(const wchar_t* number, PhoneDigits* out) {
    return Normalize(number, out);
}

// The application's choice, then ZORVA_CONTACTS_DB, then the user's data
// folder: XDG_DATA_HOME when it is an absolute path (the XDG rule: relative
// ones are ignored), else ~/.local/share.
bool ContactsDatabasePath(char* out, size_t size) {
    if (!out || size == 0) return false;
    {
        std::lock_guard<std::mutex> hold(g_pathLock);
        if (g_path[0]) return Join(out, size, g_path, "");
    }
    const char* variable = std::getenv("ZORVA_CONTACTS_DB");
    if (variable && *variable) return Join(out, size, variable, "");
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return Join(out, size, data, "/zorva/contacts.db");
    const char* home = std::getenv("HOME");
    if (home && *home) return Join(out, size, home, "/.local/share/zorva/contacts.db");
    return false;
}

} // namespace backends
} // namespace zorva
