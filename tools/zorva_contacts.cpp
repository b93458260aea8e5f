// zorva_contacts: manages the contact store that CCEBitmap::DrawPic reads.
// It works on the library's own store code (so it links the static
// library) and checks and renders pictures through CCEBitmap.
#include <CCEBitmap.h>
#include <ZorvaPlatform.h>

#include "backends/contacts/ContactStore.h"
#include "system/memory/Memory.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace pf = zorva::platform;
namespace be = zorva::backends;

namespace {

const char kUsage[] =
    "usage: zorva_contacts [--db PATH] add NAME --phone NUMBER [--phone NUMBER ...] [--picture "
    "FILE]\n"
    "       zorva_contacts [--db PATH] list\n"
    "       zorva_contacts [--db PATH] show NAME [--out FILE.bmp] [--box WxH]\n"
    "       zorva_contacts [--db PATH] set-picture NAME FILE\n"
    "       zorva_contacts [--db PATH] remove NAME\n"
    "       zorva_contacts --help\n";

const char kHelp[] =
    "\n"
    "Manages the contacts whose pictures CCEBitmap::DrawPic shows for a phone number.\n"
    "\n"
    "  add          a new contact with one or more numbers and optionally a picture\n"
    "  list         every contact, by name: name, numbers, picture size (tab-separated)\n"
    "  show         one contact; with --out its picture fitted into the box (default\n"
    "               120x120) is written as a 24-bit BMP\n"
    "  set-picture  replaces a contact's picture\n"
    "  remove       deletes a contact and its numbers\n"
    "\n"
    "Numbers: digits, an optional leading +, and the separators space - . ( ) /;\n"
    "7 to 20 digits. A number whose digits another number already has is refused.\n"
    "Pictures: files the library reads (PNG, JPEG, GIF, BMP, WebP), at most 32 MiB.\n"
    "Database: --db PATH, else $ZORVA_CONTACTS_DB, else the library's default\n"
    "(currently %s).\n"
    "Exit status: 0 done, 1 the command failed, 2 bad usage.\n";

const char* g_program = "zorva_contacts";

int Fail(int status, const char* format, const char* a = "", const char* b = "") {
    std::fprintf(stderr, "%s: ", g_program);
    std::fprintf(stderr, format, a, b);
    std::fputc('\n', stderr);
    return status;
}

int Usage(const char* problem, const char* detail = "") {
    Fail(2, problem, detail);
    std::fputs(kUsage, stderr);
    return 2;
}

// What a failure of the store means to the user.
int StoreFailure(be::StoreStatus status, const std::string& path) {
    const char* p = path.c_str();
    switch (status) {
    case be::StoreStatus::Damaged:
        return Fail(1, "%s is not a contact database (damaged, or another program's)", p);
    case be::StoreStatus::Locked:
        return Fail(1, "%s is locked by another program; try again", p);
    case be::StoreStatus::CannotOpen:
        return Fail(1, "cannot open %s", p);
    case be::StoreStatus::OutOfMemory:
        return Fail(1, "out of memory");
    case be::StoreStatus::TooLarge:
        return Fail(1, "the picture is larger than 32 MiB");
    default:
        return Fail(1, "%s: database error", p);
    }
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::wstring Wide(const char* s) {
    std::wstring out(std::mbstowcs(nullptr, s, 0) + 1, L'\0');
    const size_t n = std::mbstowcs(&out[0], s, out.size());
    if (n == size_t(-1)) return std::wstring(s, s + std::strlen(s));
    out.resize(n);
    return out;
}

// Decodes a picture fitted into the box; false when the library cannot.
bool Decode(const std::vector<uint8_t>& bytes, unsigned width, unsigned height,
            CCEBitmap& picture) {
    IStream* stream = zorva::OpenMemoryStream(bytes.data(), bytes.size());
    if (!stream) return false;
    const long hr = picture.GetBitmapFromStream(nullptr, stream, &width, &height);
    stream->Release();
    return hr == 0;
}

// Reads a picture file and checks that the library decodes it. 0, or the
// exit status after a message.
int ReadPicture(const char* file, std::vector<uint8_t>& bytes) {
    struct stat st;
    if (::stat(file, &st) != 0) return Fail(1, "cannot read %s: %s", file, std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return Fail(1, "%s is not a file", file);
    if (uint64_t(st.st_size) > be::kMaxPictureBytes)
        return Fail(1, "%s is larger than 32 MiB", file);
    std::FILE* f = std::fopen(file, "rb");
    if (!f) return Fail(1, "cannot read %s: %s", file, std::strerror(errno));
    bytes.resize(size_t(st.st_size));
    const size_t n = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (n != bytes.size()) return Fail(1, "cannot read %s", file);
    CCEBitmap check;
    if (!Decode(bytes, 16, 16, check)) return Fail(1, "%s is not an image the library reads", file);
    return 0;
}

int Add(be::ContactStore& store, const std::string& path, int argc, char** argv) {
    if (argc < 1) return Usage("add needs a NAME");
    const char* name = argv[0];
    std::vector<const char*> numbers;
    const char* pictureFile = nullptr;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) return Usage("%s needs a value", argv[i]);
        if (std::strcmp(argv[i], "--phone") == 0)
            numbers.push_back(argv[i + 1]);
        else if (std::strcmp(argv[i], "--picture") == 0 && !pictureFile)
            pictureFile = argv[i + 1];
        else
            return Usage("add does not take %s here", argv[i]);
    }
    if (numbers.empty()) return Usage("add needs at least one --phone NUMBER");
    std::vector<uint8_t> picture;
    if (pictureFile) {
        if (const int status = ReadPicture(pictureFile, picture)) return status;
    }
    be::StoreStatus hr = store.Open(path.c_str(), true);
    if (hr != be::StoreStatus::Ok) return StoreFailure(hr, path);
    int bad = -1;
    hr = store.Add(name, numbers.data(), int(numbers.size()),
                   pictureFile ? picture.data() : nullptr, picture.size(), &bad);
    if (hr == be::StoreStatus::InvalidArgument && bad >= 0)
        return Fail(1, "'%s' is not a phone number (7 to 20 digits, + and separators)",
                    numbers[size_t(bad)]);
    if (hr == be::StoreStatus::InvalidArgument)
        return Fail(1, "'%s' is not a name (1 to 256 bytes, no control characters)", name);
    if (hr == be::StoreStatus::NumberTaken)
        return Fail(1, "the number '%s' is already taken", numbers[size_t(bad)]);
    if (hr == be::StoreStatus::Exists) return Fail(1, "a contact named '%s' already exists", name);
    if (hr != be::StoreStatus::Ok) return StoreFailure(hr, path);
    std::printf("added %s\n", name);
    return 0;
}

void PrintEntry(void*, const be::ContactEntry& e) {
    if (e.pictureBytes < 0)
        std::printf("%s\t%s\tno picture\n", e.name, e.numbers);
    else
        std::printf("%s\t%s\tpicture %lld bytes\n", e.name, e.numbers, (long long)e.pictureBytes);
}

struct Shown {
    const char* name;
    bool found;
};

void PrintIfNamed(void* context, const be::ContactEntry& e) {
    auto* shown = static_cast<Shown*>(context);
    if (std::strcmp(e.name, shown->name) != 0) return;
    shown->found = true;
    std::printf("name: %s\nphones: %s\n", e.name, e.numbers);
    if (e.pictureBytes < 0)
        std::printf("picture: none\n");
    else
        std::printf("picture: %lld bytes\n", (long long)e.pictureBytes);
}

int Show(be::ContactStore& store, const std::string& path, int argc, char** argv) {
    if (argc < 1) return Usage("show needs a NAME");
    const char* name = argv[0];
    const char* out = nullptr;
    unsigned width = 120, height = 120;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) return Usage("%s needs a value", argv[i]);
        if (std::strcmp(argv[i], "--out") == 0) {
            out = argv[i + 1];
        } else if (std::strcmp(argv[i], "--box") == 0) {
            char x = 0, rest = 0;
            if (std::sscanf(argv[i + 1], "%u%c%u%c", &width, &x, &height, &rest) != 3 ||
                (x != 'x' && x != 'X') || width < 1 || height < 1 || width > 16384 ||
                height > 16384)
                return Usage("--box wants WxH, each side 1 to 16384, not '%s'", argv[i + 1]);
        } else {
            return Usage("show does not take %s here", argv[i]);
        }
    }
    const be::StoreStatus hr =
        Exists(path) ? store.Open(path.c_str(), false) : be::StoreStatus::NotFound;
    int64_t id = 0;
    const be::StoreStatus found = hr != be::StoreStatus::Ok ? hr : store.FindByName(name, &id);
    if (found == be::StoreStatus::NotFound) return Fail(1, "no contact named '%s'", name);
    if (found != be::StoreStatus::Ok) return StoreFailure(found, path);
    Shown shown{name, false};
    if (const be::StoreStatus listed = store.List(PrintIfNamed, &shown);
        listed != be::StoreStatus::Ok)
        return StoreFailure(listed, path);
    if (!out) return 0;

    void* data = nullptr;
    size_t bytes = 0;
    const be::StoreStatus read = store.ReadPicture(id, &data, &bytes);
    if (read == be::StoreStatus::NotFound || (read == be::StoreStatus::Ok && bytes == 0))
        return Fail(1, "'%s' has no picture", name);
    if (read != be::StoreStatus::Ok) return StoreFailure(read, path);
    std::vector<uint8_t> picture(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + bytes);
    pf::free(data);
    CCEBitmap bitmap;
    if (!Decode(picture, width, height, bitmap))
        return Fail(1, "the picture of '%s' is not an image the library reads", name);
    if (!bitmap.SaveFile(Wide(out).c_str())) return Fail(1, "cannot write %s", out);
    std::printf("wrote %s (%d x %d)\n", out, bitmap.m_nWidth, bitmap.m_nHeight);
    return 0;
}

int SetPicture(be::ContactStore& store, const std::string& path, int argc, char** argv) {
    if (argc != 2) return Usage("set-picture needs NAME and FILE");
    if (!Exists(path)) return Fail(1, "no contact named '%s'", argv[0]);
    std::vector<uint8_t> picture;
    if (const int status = ReadPicture(argv[1], picture)) return status;
    be::StoreStatus hr = store.Open(path.c_str(), true);
    if (hr == be::StoreStatus::Ok) hr = store.SetPicture(argv[0], picture.data(), picture.size());
    if (hr == be::StoreStatus::NotFound) return Fail(1, "no contact named '%s'", argv[0]);
    if (hr != be::StoreStatus::Ok) return StoreFailure(hr, path);
    std::printf("set the picture of %s\n", argv[0]);
    return 0;
}

int Remove(be::ContactStore& store, const std::string& path, int argc, char** argv) {
    if (argc != 1) return Usage("remove needs a NAME");
    if (!Exists(path)) return Fail(1, "no contact named '%s'", argv[0]);
    be::StoreStatus hr = store.Open(path.c_str(), true);
    if (hr == be::StoreStatus::Ok) hr = store.Remove(argv[0]);
    if (hr == be::StoreStatus::NotFound) return Fail(1, "no contact named '%s'", argv[0]);
    if (hr != be::StoreStatus::Ok) return StoreFailure(hr, path);
    std::printf("removed %s\n", argv[0]);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "");
    int i = 1;
    if (i < argc && std::strcmp(argv[i], "--help") == 0) {
        std::fputs(kUsage, stdout);
        std::printf(kHelp, zorva::GetContactsDatabase().c_str());
        return 0;
    }
    if (i < argc && std::strcmp(argv[i], "--db") == 0) {
        if (i + 1 >= argc || !*argv[i + 1]) return Usage("--db needs a PATH");
        if (!zorva::SetContactsDatabase(argv[i + 1])) return Usage("the path is too long");
        i += 2;
    }
    if (i >= argc) return Usage("no command given");
    const std::string path = zorva::GetContactsDatabase();
    if (path.empty())
        return Fail(1, "no database path: set HOME, XDG_DATA_HOME or ZORVA_CONTACTS_DB, or pass "
                       "--db");

    const char* command = argv[i];
    const int rest = argc - i - 1;
    char** args = argv + i + 1;
    be::ContactStore store;
    if (std::strcmp(command, "add") == 0) return Add(store, path, rest, args);
    if (std::strcmp(command, "show") == 0) return Show(store, path, rest, args);
    if (std::strcmp(command, "set-picture") == 0) return SetPicture(store, path, rest, args);
    if (std::strcmp(command, "remove") == 0) return Remove(store, path, rest, args);
    if (std::strcmp(command, "list") == 0) {
        if (rest != 0) return Usage("list takes no arguments");
        if (!Exists(path)) return 0; // no database yet: no contacts
        be::StoreStatus hr = store.Open(path.c_str(), false);
        if (hr == be::StoreStatus::Ok) hr = store.List(PrintEntry, nullptr);
        return hr != be::StoreStatus::Ok ? StoreFailure(hr, path) : 0;
    }
    return Usage("unknown command '%s'", command);
}
