// Contact pictures: DrawPic's boxes and results, the store's phone-number
// matching, databases that are missing, empty, damaged or locked, the
// database path, and failed allocations along the lookup.
#include "CCEBitmap.h"
#include "backends/contacts/ContactStore.h"
#include "support/ImageCorpus.h"
#include "support/TestCanvas.h"
#include "system/contacts/Contacts.h"
#include "system/streams/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace pf = zorva::platform;
namespace be = zorva::backends;

namespace {

struct Probe : CCEBitmap {
    using CCEBitmap::GetStreamSize;
};

struct Contact {
    const char* name;
    std::vector<const char*> numbers;
    std::vector<uint8_t> picture; // empty: none
    bool emptyPicture = false;    // a stored picture of 0 bytes
};

// A 96 x 128 picture of one colour: R 0xF8, G 0x80, B 0x08 is RGB565 0xFC01.
std::vector<uint8_t> Picture() {
    zt::Rgba p{96, 128, {}};
    for (int i = 0; i < 96 * 128; ++i)
        p.pixels.insert(p.pixels.end(), {0xF8, 0x80, 0x08, 0xFF});
    return zt::MakeBmp(p, false);
}

struct Contacts : zt::PlatformTest {
    std::string path = zt::ScratchPath("contacts.db");

    void SetUp() override {
        PlatformTest::SetUp();
        std::remove(path.c_str());
        ASSERT_TRUE(zorva::SetContactsDatabase(path.c_str()));
    }
    void TearDown() override {
        zorva::SetContactsDatabase(nullptr);
        std::remove(path.c_str());
        PlatformTest::TearDown();
    }
    void Store(const std::vector<Contact>& contacts) {
        be::ContactStore store;
        ASSERT_EQ(store.Open(path.c_str(), true), be::StoreStatus::Ok);
        for (const Contact& c : contacts)
            ASSERT_EQ(store.Add(c.name, c.numbers.data(), int(c.numbers.size()),
                                c.picture.empty() && !c.emptyPicture ? nullptr : c.picture.data(),
                                c.picture.size(), nullptr),
                      be::StoreStatus::Ok)
                << c.name;
    }
    // The lookup's result code, through a logged-on application object.
    HRESULT Lookup(const wchar_t* number) {
        void* app = nullptr;
        EXPECT_EQ(pf::CreateContactsApplication(pf::IID_IPOutlookApp, &app), pf::S_OK);
        auto* poom = static_cast<IPOutlookApp*>(app);
        poom->Logon(nullptr);
        IItem* item = nullptr;
        const HRESULT hr =
            pf::FindMatchingContact(poom, number, pf::FMCF_FINDPHONE, &item, nullptr);
        if (item) item->Release();
        poom->Logoff();
        poom->Release();
        return hr;
    }
};

TEST_F(Contacts, DrawPicFitsThePictureIntoItsBox) {
    Store({{"Alice", {"+44 20 7946 0018"}, Picture()}});
    struct Case {
        unsigned mode;
        int large, orientation, width, height;
    } cases[] = {{2, 0, 0, 45, 60},   {2, 1, 0, 90, 120},  {2, 7, 1, 90, 120},
                 {0, 0, 0, 180, 240}, {1, 0, 1, 240, 320}, {9, 1, 2, 240, 320}};
    for (const Case& c : cases) {
        zorva::VirtualDisplayConfig display = zt::Dense(240, 320);
        display.orientation = c.orientation;
        zt::TestCanvas t(display);
        CCEBitmap b;
        ASSERT_EQ(b.DrawPic(&t.canvas, c.mode, L"020 7946 0018", c.large), 1ul);
        EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight), zt::Values(c.width, c.height)) << c.mode;
        EXPECT_EQ(b.m_pPixels[size_t(c.width) * c.height / 2], 0xFC01);
    }
}

// No picture: 0, and the bitmap keeps its size without a picture.
TEST_F(Contacts, NoPictureMeansZeroAndNoPictureLeft) {
    Store(
        {{"Empty", {"0101 010101"}, {}, true},
         {"None", {"0202 020202"}, {}},
         {"Text", {"0303 030303"}, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}}});
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    for (const wchar_t* number : {L"0101 010101", L"0202 020202", L"0404 040404", L"0101x010101",
                                  L"101", static_cast<const wchar_t*>(nullptr)}) {
        ASSERT_EQ(b.Surface(&t.canvas, 7, 5, 0x33, 0), 1);
        EXPECT_EQ(b.DrawPic(&t.canvas, 2, number, 0), 0ul);
        EXPECT_EQ(zorva::GetLoadError(),
                  number ? zorva::LoadError::NotFound : zorva::LoadError::BadArgument);
        EXPECT_EQ(zt::Values(b.m_nWidth, b.m_nHeight, b.m_pPixels == nullptr), zt::Values(7, 5, 1));
    }
    EXPECT_EQ(b.DrawPic(&t.canvas, 2, L"0303 030303", 0), 0ul); // fails in the decoder
    EXPECT_EQ(zorva::GetLoadError(), zorva::LoadError::UnsupportedFormat);
    CCEBitmap untouched;
    EXPECT_EQ(untouched.DrawPic(nullptr, 2, L"0101 010101", 0), 0ul);
    EXPECT_EQ(untouched.m_pPOOM, nullptr);
}

TEST_F(Contacts, LogsOnOncePerBitmapAndOffWhenDestroyed) {
    Store({{"Alice", {"+44 20 7946 0018"}, Picture()}});
    zt::TestCanvas t(zt::Dense(240, 320));
    const pf::ContactsActivity before = pf::GetContactsActivity();
    const int initialisations = pf::ComInitializations();
    {
        CCEBitmap b;
        EXPECT_EQ(b.DrawPic(&t.canvas, 2, L"+442079460018", 0), 1ul);
        // One for the store's object, one for the imaging factory.
        EXPECT_EQ(pf::ComInitializations() - initialisations, 2);
        EXPECT_EQ(b.DrawPic(&t.canvas, 2, L"+442079460018", 1), 1ul);
        EXPECT_EQ(pf::GetContactsActivity().logons - before.logons, 1);
        EXPECT_EQ(pf::ComInitializations() - initialisations, 2);
    }
    EXPECT_EQ(pf::GetContactsActivity().logoffs - before.logoffs, 1);
    EXPECT_EQ(pf::ComInitializations(), initialisations);
}

// Every allocation of the lookup (SQLite's too) can fail: the call gives 0
// (or succeeds when SQLite tolerates the failure), leaks nothing (the
// sanitizer build checks), and the next call succeeds. The walk ends when the
// call no longer reaches the failing allocation.
TEST_F(Contacts, AllocationFailuresOnTheLookupPathFailCleanly) {
    Store({{"Alice", {"+44 20 7946 0018"}, Picture()}});
    zt::TestCanvas t(zt::Dense(240, 320));
    const int initialisations = pf::ComInitializations();
    long n = 1;
    for (;; ++n) {
        ASSERT_LT(n, 5000);
        CCEBitmap b;
        const long start = zorva::AllocationCount();
        zorva::FailAllocation(n);
        const unsigned long result = b.DrawPic(&t.canvas, 2, L"020 7946 0018", 0);
        zorva::FailAllocation(0);
        if (zorva::AllocationCount() - start < n) {
            EXPECT_EQ(result, 1ul);
            break;
        }
        EXPECT_TRUE(result || zorva::GetLoadError() == zorva::LoadError::OutOfMemory)
            << n << ": " << zorva::GetLoadErrorText();
        EXPECT_EQ(b.DrawPic(&t.canvas, 2, L"020 7946 0018", 0), 1ul) << n;
    }
    EXPECT_GT(n, 20); // SQLite's allocations were among them
    EXPECT_EQ(pf::ComInitializations(), initialisations);
}

TEST_F(Contacts, DatabasesThatCannotBeReadFindNoContact) {
    const wchar_t* number = L"+44 20 7946 0018";
    EXPECT_EQ(Lookup(number), pf::CONTACTS_E_NOTFOUND); // missing
    ASSERT_TRUE(zt::WriteBytes(path, {}));
    EXPECT_EQ(Lookup(number), pf::CONTACTS_E_NOTFOUND); // empty
    ASSERT_TRUE(zt::WriteBytes(path, std::vector<uint8_t>(8192, 0xA5)));
    EXPECT_EQ(Lookup(number), pf::CONTACTS_E_DAMAGED); // not a database

    std::remove(path.c_str());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes (text)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(Lookup(number), pf::CONTACTS_E_DAMAGED); // another program's

    std::remove(path.c_str());
    Store({{"Alice", {"+44 20 7946 0018"}, Picture()}});
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Lookup(number), pf::CONTACTS_E_LOCKED);
    zt::TestCanvas t(zt::Dense(240, 320));
    CCEBitmap b;
    EXPECT_EQ(b.DrawPic(&t.canvas, 2, number, 0), 0ul);
    EXPECT_STREQ(zorva::GetLoadErrorText(), "The contact database is locked by another program.");
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(b.DrawPic(&t.canvas, 2, number, 0), 1ul);

    // Damaged beyond the first page: the lookup reads garbage tables.
    std::vector<uint8_t> bytes = zt::ReadBytes(path);
    ASSERT_GT(bytes.size(), 8192u);
    std::fill(bytes.begin() + 4096, bytes.end(), 0xA5);
    ASSERT_TRUE(zt::WriteBytes(path, bytes));
    EXPECT_EQ(Lookup(number), pf::CONTACTS_E_DAMAGED);
}

// Digits only, the trailing ones compared, at least 7 of them; among several
// matches the longest common tail, then the shorter stored number, then the
// contact added first.
TEST_F(Contacts, PhoneNumbersMatchByTheirTrailingDigits) {
    Store({{"Alice", {"+44 20 7946 0018"}, {}},
           {"Bob", {"+1 415 555 0100"}, {}},
           {"Carol", {"+1 212 555 0100"}, {}},
           {"Dave", {"415-555-0100"}, {}},
           {"Erin", {"555 0199"}, {}},
           {"Fay", {"+1 646 555 0123"}, {}},
           {"Gus", {"+1 917 555 0123"}, {}}});
    struct Case {
        const wchar_t* number;
        const char* name; // null: no contact
    } cases[] = {
        // clang-format off
        {L"020 7946 0018", "Alice"},      {L"0044 (20) 7946-0018", "Alice"},
        {L"  +44.20.7946.0018", "Alice"}, {L"946/0018", "Alice"},
        {L"46 0018", nullptr},            {L"+44 20 7946 0019", nullptr},
        {L"+44 20 7946 0018 x", nullptr}, {L"44+2079460018", nullptr},
        {L"+1 212 555 0100", "Carol"},    {L"212 555 0100", "Carol"},
        {L"+1 415 555 0100", "Bob"},      {L"415 555 0100", "Dave"},
        {L"555 0100", "Dave"},            {L"(1) 555 0199", "Erin"},
        {L"555 0123", "Fay"},             {L"+1 917 555 0123", "Gus"},
        {L"+1 917 555 0123 0", nullptr},  {L"123456789012345678901", nullptr},
        // clang-format on
    };
    be::ContactStore store;
    ASSERT_EQ(store.Open(path.c_str(), false), be::StoreStatus::Ok);
    for (const Case& c : cases) {
        be::PhoneDigits digits;
        int64_t found = 0, expected = 0;
        const be::StoreStatus status = be::NormalizePhoneNumber(c.number, &digits)
                                           ? store.FindByNumber(digits, &found)
                                           : be::StoreStatus::NotFound;
        if (c.name) {
            ASSERT_EQ(store.FindByName(c.name, &expected), be::StoreStatus::Ok);
        }
        const be::StoreStatus want = c.name ? be::StoreStatus::Ok : be::StoreStatus::NotFound;
        EXPECT_EQ(zt::Values(status, found), zt::Values(want, expected))
            << (c.name ? c.name : "none");
    }
}

TEST_F(Contacts, DatabasePathComesFromTheApplicationTheEnvironmentOrTheDataFolder) {
    struct Keep {
        std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
        const char* data = std::getenv("XDG_DATA_HOME");
        std::string dataValue = data ? data : "";
        ~Keep() {
            setenv("HOME", home.c_str(), 1);
            if (data)
                setenv("XDG_DATA_HOME", dataValue.c_str(), 1);
            else
                unsetenv("XDG_DATA_HOME");
            unsetenv("ZORVA_CONTACTS_DB");
        }
    } keep;
    ASSERT_TRUE(zorva::SetContactsDatabase(nullptr));
    setenv("HOME", "/home/u", 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(zorva::GetContactsDatabase(), "/home/u/.local/share/zorva/contacts.db");
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(zorva::GetContactsDatabase(), "/data/zorva/contacts.db");
    setenv("ZORVA_CONTACTS_DB", "env.db", 1);
    EXPECT_EQ(zorva::GetContactsDatabase(), "env.db");
    EXPECT_TRUE(zorva::SetContactsDatabase("app.db"));
    EXPECT_FALSE(zorva::SetContactsDatabase(std::string(4096, 'x').c_str()));
    EXPECT_EQ(zorva::GetContactsDatabase(), "app.db");
}

TEST(ContactStreams, GetStreamSizeKeepsTheLowBitsAndRewinds) {
    struct Stream : IStream {
        uint64_t length = (uint64_t(1) << 32) + 5, position = 9;
        HRESULT seekEnd = 0;
        HRESULT QueryInterface(const GUID&, void**) override { return pf::E_NOINTERFACE; }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT Read(void*, ULONG, ULONG*) override { return pf::E_FAIL; }
        HRESULT Write(const void*, ULONG, ULONG*) override { return pf::E_FAIL; }
        HRESULT Seek(int64_t offset, DWORD origin, uint64_t* at) override {
            if (origin == 2 && seekEnd < 0) return seekEnd;
            position = (origin == 2 ? length : 0) + uint64_t(offset);
            if (at) *at = position;
            return 0;
        }
    } s;
    unsigned long size = 77;
    EXPECT_EQ(Probe::GetStreamSize(&s, &size), 0);
    EXPECT_EQ(zt::Values(size, s.position), zt::Values(5, 0));
    EXPECT_EQ(Probe::GetStreamSize(nullptr, &size), pf::E_FAIL);
    EXPECT_EQ(Probe::GetStreamSize(&s, nullptr), pf::E_FAIL);
    s.seekEnd = static_cast<HRESULT>(0x80030001);
    size = 77;
    EXPECT_EQ(Probe::GetStreamSize(&s, &size), s.seekEnd);
    EXPECT_EQ(size, 77ul);
}

} // namespace
