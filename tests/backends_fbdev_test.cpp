// The frame buffer device through its seams: a plain file mapped as the
// frame buffer, a file standing for the console, FIFOs delivering evdev
// records; and the choice of device when no window system is there.
#include "backends/display/Console.h"
#include "backends/input/Evdev.h"
#include "support/TestCanvas.h"
#include "system/gdi/GdiApi.h"
#include "system/os/System.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using zorva::FbScreenInfo;

constexpr uint8_t kUntouched = 0xEE;
FbScreenInfo g_info;
int g_grabbed = 0; // devices grabbed now

bool FakeInfo(int, FbScreenInfo* info) {
    *info = g_info;
    return true;
}
// The console's modes are written into the file standing for it.
bool FakeMode(int fd, zorva::ConsoleMode mode) {
    return write(fd, mode == zorva::ConsoleMode::Graphics ? "G" : "T", 1) == 1;
}
bool FakeReportsKeys(int) {
    return true;
}
bool FakeGrab(int, bool on) {
    g_grabbed += on ? 1 : -1;
    return true;
}

// An evdev record as the kernel writes it on this machine.
struct Record {
    timeval time;
    uint16_t type, code;
    int32_t value;
};

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

FbScreenInfo Screen565(unsigned xres, unsigned yres, unsigned line) {
    FbScreenInfo s;
    s.xres = s.xresVirtual = xres;
    s.yres = s.yresVirtual = yres;
    s.bitsPerPixel = 16;
    s.redOffset = 11, s.redLength = 5, s.greenOffset = 5, s.greenLength = 6;
    s.blueLength = 5, s.lineLength = line, s.memoryLength = line * yres;
    return s;
}

class Fbdev : public ::testing::Test {
protected:
    void SetUp() override {
        zt::ResetPlatform();
        dir = zt::ScratchPath("fbdev");
        std::filesystem::create_directories(dir + "/proc/device-tree");
        std::filesystem::create_directories(dir + "/sys/class/dmi/id");
        fb = dir + "/fb";
        console = dir + "/tty";
        for (const char* name : {"event0", "event1"})
            mkfifo((dir + "/" + name).c_str(), 0600);
        std::ofstream(dir + "/mouse0"); // not an event node: never read
        zorva::SetFbdevSeam(Seam());
        g_grabbed = 0;
    }
    void TearDown() override {
        zorva::SetFbdevSeam(zorva::FbdevSeam());
        zorva::SetOemRoot("");
        std::filesystem::remove_all(dir);
    }
    // A fresh frame buffer file of the screen's memory size, every byte
    // kUntouched, and a fresh console file.
    HWND Open(const FbScreenInfo& info, int rotation = 0, bool vsync = true) {
        g_info = info;
        std::ofstream(fb, std::ios::binary) << std::string(info.memoryLength, char(kUntouched));
        std::ofstream(console, std::ios::trunc);
        zorva::DisplayOptions options;
        options.kind = zorva::DisplayKind::Fbdev;
        options.framebuffer = fb;
        options.rotation = rotation;
        options.vsync = vsync;
        return zorva::OpenWindow("fb", options);
    }
    zorva::FbdevSeam Seam() const {
        zorva::FbdevSeam seam;
        seam.screenInfo = FakeInfo;
        seam.consolePath = console;
        seam.setMode = FakeMode;
        seam.inputDirectory = dir;
        seam.reportsKeys = FakeReportsKeys;
        seam.grab = FakeGrab;
        return seam;
    }
    std::string dir, fb, console;
};

// A screen's pixel layout: bytes, and each channel's offset and length.
struct Layout {
    unsigned bytes, rs, rb, gs, gb, bs, bb, ts = 0, tb = 0;
};

FbScreenInfo Screen(unsigned xres, unsigned yres, const Layout& l, unsigned line,
                    unsigned rows = 0) {
    FbScreenInfo s;
    s.xres = s.xresVirtual = xres;
    s.yres = s.yresVirtual = yres;
    s.bitsPerPixel = 8 * l.bytes;
    s.redOffset = l.rs, s.redLength = l.rb, s.greenOffset = l.gs, s.greenLength = l.gb;
    s.blueOffset = l.bs, s.blueLength = l.bb, s.transpOffset = l.ts, s.transpLength = l.tb;
    s.lineLength = line;
    s.memoryLength = line * (rows ? rows : yres);
    return s;
}

// The screen's value of an RGB565 pixel, worked apart from the library:
// channels widened to 8 bits by multiplying out the repeated top bits
// (r * 33 >> 2 is r << 3 | r >> 2), then cut to their lengths; an alpha
// field all ones.
uint32_t OnScreen(uint16_t p, const Layout& l) {
    const uint32_t r = (p >> 11) * 33 >> 2, g = (p >> 5 & 63) * 65 >> 4, b = (p & 31) * 33 >> 2;
    return (r >> (8 - l.rb)) << l.rs | (g >> (8 - l.gb)) << l.gs | (b >> (8 - l.bb)) << l.bs |
           (l.tb ? ((1u << l.tb) - 1) << l.ts : 0);
}

} // namespace

// RGB565 upright screens are drawn in directly (mode 1, also panned or with
// padded rows); every other layout and a turned screen take the windowed
// back-end, whose surface is converted and turned on every present. The
// whole file is checked byte for byte: the visible part holds the frame,
// the rest is untouched.
TEST_F(Fbdev, EveryLayoutShowsTheFrame) {
    const Layout k565{2, 11, 5, 5, 6, 0, 5}, k555{2, 10, 5, 5, 5, 0, 5},
        bgr565{2, 0, 5, 5, 6, 11, 5}, xrgb{4, 16, 8, 8, 8, 0, 8}, abgr{4, 0, 8, 8, 8, 16, 8, 24, 8},
        rgb888{3, 16, 8, 8, 8, 0, 8};
    FbScreenInfo panned = Screen(24, 10, k565, 80, 30);
    panned.xoffset = 7, panned.yoffset = 5, panned.rotate = 3;
    const struct {
        FbScreenInfo info;
        Layout layout;
        int mode, rotation, orientation;
    } cases[] = {
        {Screen(24, 10, k565, 48), k565, 1, 0, 0},
        {Screen(24, 10, k565, 56), k565, 1, 0, 0},
        {panned, k565, 1, 0, 4},
        {Screen(24, 10, k555, 48), k555, 2, 0, 0},
        {Screen(24, 10, bgr565, 48), bgr565, 2, 0, 0},
        {Screen(24, 10, xrgb, 96), xrgb, 2, 0, 0},
        {Screen(24, 10, abgr, 100), abgr, 2, 0, 0},
        {Screen(24, 10, rgb888, 72), rgb888, 2, 0, 0},
        {Screen(24, 10, k565, 48), k565, 2, 90, 0},
        {Screen(24, 10, xrgb, 96), xrgb, 2, 270, 0},
        {Screen(24, 10, rgb888, 72), rgb888, 2, 180, 0},
    };
    std::mt19937 rng(9);
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.info.bitsPerPixel << " bits, line "
                                        << k.info.lineLength << ", rotation " << k.rotation);
        HWND w = Open(k.info, k.rotation);
        ASSERT_NE(w, nullptr) << zorva::GetOpenWindowError();
        zorva::platform::DEVMODEW mode{};
        mode.dmFields = zorva::platform::DM_DISPLAYORIENTATION;
        zorva::platform::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, zorva::platform::CDS_TEST,
                                                 nullptr);
        EXPECT_EQ(mode.dmDisplayOrientation, unsigned(k.orientation));
        CCEDraw c;
        ASSERT_EQ(c.Create(w, 1), 1);
        const bool turned = k.rotation % 180 != 0;
        const int cw = turned ? 10 : 24, ch = turned ? 24 : 10;
        const GXDisplayProperties& d = c.GetDisplayProperties();
        EXPECT_EQ(zt::Values(c.m_bMode, d.cxWidth, d.cyHeight, Slurp(console) == "G"),
                  zt::Values(k.mode, cw, ch, 1));
        std::vector<uint16_t> drawn(24 * 10);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                drawn[size_t(y * cw + x)] = uint16_t(rng());
                c.DrawPixel(x, y, drawn[size_t(y * cw + x)]);
            }
        ASSERT_EQ(c.Flip(), 1);
        // Where canvas pixel (x, y) lands on the screen, turned clockwise.
        std::vector<uint32_t> screen(24 * 10);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                const int sx = k.rotation == 90    ? 23 - y
                               : k.rotation == 180 ? 23 - x
                               : k.rotation == 270 ? y
                                                   : x;
                const int sy = k.rotation == 90    ? x
                               : k.rotation == 180 ? 9 - y
                               : k.rotation == 270 ? 9 - x
                                                   : y;
                screen[size_t(sy * 24 + sx)] = OnScreen(drawn[size_t(y * cw + x)], k.layout);
            }
        const std::string memory = Slurp(fb);
        ASSERT_EQ(memory.size(), k.info.memoryLength);
        const unsigned bytes = k.layout.bytes;
        size_t wrong = 0;
        for (size_t i = 0; i < memory.size(); ++i) {
            const size_t row = i / k.info.lineLength, column = (i % k.info.lineLength) / bytes;
            const bool visible = row >= k.info.yoffset && row < k.info.yoffset + 10 &&
                                 column >= k.info.xoffset && column < k.info.xoffset + 24;
            const uint32_t pixel =
                visible ? screen[(row - k.info.yoffset) * 24 + column - k.info.xoffset] : 0;
            const uint8_t expected =
                visible ? uint8_t(pixel >> (8 * ((i % k.info.lineLength) % bytes))) : kUntouched;
            wrong += uint8_t(memory[i]) != expected;
        }
        EXPECT_EQ(wrong, 0u);
        // Read back in the canvas's orientation; 5-bit green drops its
        // lowest bit.
        std::vector<uint16_t> shown(24 * 10);
        ASSERT_TRUE(zorva::ReadScreen(w, shown.data()));
        for (uint16_t& p : drawn)
            if (k.layout.gb == 5) p &= 0xFFDF;
        EXPECT_EQ(shown, drawn);
        c.Release();
        EXPECT_EQ(Slurp(console), "GT");
        zorva::CloseWindow(w);
    }
    // A layout whose visible part lies outside the memory is refused: panned
    // past the row's end, or past the last row; so is a channel of 10 bits.
    FbScreenInfo right = Screen(24, 10, k565, 48), below = right, deep = Screen(24, 10, xrgb, 96);
    right.xoffset = 1, below.yoffset = 1, deep.redLength = 10;
    for (const FbScreenInfo& refused : {right, below, deep}) {
        EXPECT_EQ(Open(refused), nullptr);
        const std::string why = zorva::GetOpenWindowError();
        EXPECT_TRUE(why.find("outside its memory") != std::string::npos ||
                    why.find("cannot write") != std::string::npos)
            << why;
    }
}

namespace {
std::vector<unsigned> g_pans;
int g_waits = 0;
std::string g_fbPath, g_atWait; // the frame buffer file, and its start at each wait
bool FakePan(int, unsigned yoffset) {
    g_pans.push_back(yoffset);
    return true;
}
bool FakeWait(int) {
    ++g_waits;
    g_atWait += Slurp(g_fbPath).substr(0, 1);
    return true;
}
} // namespace

// Two pages and a driver that pans: each frame goes to the hidden page,
// then the panning shows it. One page and a driver that waits for the
// vertical blank: the wait comes before the frame is written. Neither
// without vsync.
TEST_F(Fbdev, TearFreeByPanningOrWaiting) {
    const Layout k565{2, 11, 5, 5, 6, 0, 5};
    zorva::FbdevSeam seam = Seam();
    seam.pan = FakePan;
    seam.waitForVsync = FakeWait;
    zorva::SetFbdevSeam(seam);
    g_fbPath = fb;
    FbScreenInfo pages = Screen(8, 4, k565, 16, 8);
    pages.yresVirtual = 8, pages.ypanstep = 1;
    for (bool vsync : {true, false}) {
        g_pans.clear(), g_waits = 0, g_atWait.clear();
        HWND w = Open(pages, 0, vsync);
        CCEDraw c;
        ASSERT_EQ(c.Create(w, 1), 1);
        for (uint16_t colour : {0x1111, 0x2222, 0x3333}) {
            CCEPen pen(0, 1, colour);
            c.Clear(&pen);
            c.Flip();
        }
        zorva::DisplayInfo info;
        ASSERT_TRUE(zorva::GetDisplayInfo(w, &info));
        const std::string memory = Slurp(fb);
        if (vsync) {
            // Create shows the empty surface on rows 4-7; then frame 1 goes
            // to rows 0-3, 2 to 4-7, 3 to 0-3 again.
            EXPECT_EQ(zt::Values(c.m_bMode, info.flips, info.pacedFlips, g_waits),
                      zt::Values(2, 4, 1, 0));
            EXPECT_EQ(g_pans, (std::vector<unsigned>{4, 0, 4, 0}));
            EXPECT_EQ(zt::Values(uint8_t(memory[0]), uint8_t(memory[64])), zt::Values(0x33, 0x22));
            EXPECT_STREQ(info.tearFree, "pan flip");
            // To rows 4-7; switched away the console's rows 0-3 show, and back
            // the frame shows there (the kernel pans back to them itself).
            CCEPen pen(0, 1, 0x4444);
            c.Clear(&pen);
            c.Flip();
            raise(zorva::backends::Console::ReleaseSignal());
            raise(zorva::backends::Console::AcquireSignal());
            c.Release();
            EXPECT_EQ(g_pans, (std::vector<unsigned>{4, 0, 4, 0, 4, 0, 0}));
            EXPECT_EQ(uint8_t(Slurp(fb)[0]), 0x44);
        } else {
            EXPECT_EQ(zt::Values(c.m_bMode, info.flips, info.pacedFlips, g_pans.size(), g_waits),
                      zt::Values(1, 0, 0, 0, 0));
        }
        c.Release();
        zorva::CloseWindow(w);
    }
    g_waits = 0, g_atWait.clear();
    HWND w = Open(Screen(8, 4, k565, 16));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    for (uint16_t colour : {0x1111, 0x2222}) {
        CCEPen pen(0, 1, colour);
        c.Clear(&pen);
        c.Flip();
    }
    zorva::DisplayInfo info;
    ASSERT_TRUE(zorva::GetDisplayInfo(w, &info));
    // The probe at open, then one wait per frame, each before its frame.
    EXPECT_EQ(zt::Values(c.m_bMode, g_waits, info.pacedFlips), zt::Values(1, 3, 1));
    EXPECT_EQ(g_atWait, std::string("\xEE\xEE\x11"));
    EXPECT_STREQ(info.tearFree, "vsync wait");
    c.Release();
    zorva::CloseWindow(w);
}

TEST_F(Fbdev, KeysFromEveryEventNodeGrabbedWhileGameInputIsOpen) {
    HWND w = Open(Screen565(8, 8, 16));
    ASSERT_NE(w, nullptr);
    const int event0 = open((dir + "/event0").c_str(), O_WRONLY | O_NONBLOCK);
    const int event1 = open((dir + "/event1").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(event0, 0);
    ASSERT_GE(event1, 0);
    auto send = [](int fd, const std::vector<Record>& records, size_t from, size_t to) {
        const char* bytes = reinterpret_cast<const char*>(records.data());
        ASSERT_EQ(write(fd, bytes + from, to - from), ssize_t(to - from));
    };
    using E = zorva::EventType;
    using Events = std::vector<std::pair<E, int>>;
    auto poll = [&] { // a repeat's key negated
        std::vector<std::pair<E, int>> got;
        zorva::Event e;
        while (zorva::PollEvent(w, &e))
            got.emplace_back(e.type, e.repeat ? -e.key : e.key);
        return got;
    };
    // Without game input open, keys are read all the same (quit on Escape).
    // A read that ends inside a record keeps its start for the next one.
    const std::vector<Record> escape = {{{}, 1, 1, 1}, {{}, 0, 0, 0}, {{}, 1, 1, 0}}; // KEY_ESC
    const size_t cut = sizeof(Record) + 5;
    send(event0, escape, 0, cut);
    EXPECT_EQ(poll(), (Events{{E::KeyDown, zorva::kKeyEscape}}));
    send(event0, escape, cut, 3 * sizeof(Record));
    EXPECT_EQ(poll(), (Events{{E::KeyUp, zorva::kKeyEscape}}));
    EXPECT_EQ(g_grabbed, 0);
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    EXPECT_EQ(g_grabbed, 2);
    // KEY_A pressed, held and released; KEY_F1 (no code); the keypad's
    // Enter; BTN_A, BTN_START, BTN_DPAD_UP; a hat D-pad left then centred.
    const std::vector<Record> keys = {{{}, 1, 30, 1},    {{}, 1, 30, 2},    {{}, 1, 30, 0},
                                      {{}, 1, 59, 1},    {{}, 1, 96, 1},    {{}, 1, 0x130, 1},
                                      {{}, 1, 0x13b, 1}, {{}, 1, 0x220, 0}, {{}, 3, 0x10, -1},
                                      {{}, 3, 0x10, 0},  {{}, 1, 11, 1}};
    send(event1, keys, 0, keys.size() * sizeof(Record));
    EXPECT_EQ(poll(), (Events{{E::KeyDown, 'A'},
                              {E::KeyDown, -'A'},
                              {E::KeyUp, 'A'},
                              {E::KeyDown, zorva::kKeyEnter},
                              {E::KeyDown, zorva::kKeyGamepadA},
                              {E::KeyDown, zorva::kKeyGamepadStart},
                              {E::KeyUp, zorva::kKeyGamepadUp},
                              {E::KeyDown, zorva::kKeyGamepadLeft},
                              {E::KeyUp, zorva::kKeyGamepadLeft},
                              {E::KeyDown, '0'}}));
    c.Suspend();
    EXPECT_EQ(g_grabbed, 0);
    c.Resume();
    EXPECT_EQ(g_grabbed, 2);
    c.Release();
    EXPECT_EQ(g_grabbed, 0);
    close(event0);
    close(event1);
    zorva::CloseWindow(w);
}

// The grabbed keyboard keeps the console's switch keys from the kernel:
// Ctrl+Alt+Fn (either Ctrl, either Alt) is the program's to pass on, once a
// press; ungrabbed, the kernel switches by itself. Keys typed while away on
// another terminal are not the program's, even when read after coming back.
TEST(Evdev, SwitchKeysUnderTheGrabAndKeysTypedAway) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    zorva::backends::EvdevInput input;
    input.Add(fds[0]);
    auto now = [] {
        timeval t;
        gettimeofday(&t, nullptr);
        return t;
    };
    auto type = [&](std::vector<Record> records, bool read = true) { // switch asked, events
        const size_t bytes = records.size() * sizeof(Record);
        EXPECT_EQ(write(fds[1], records.data(), bytes), ssize_t(bytes));
        std::deque<zorva::Event> queue;
        if (read) input.Read(queue);
        return std::make_pair(input.TakeSwitchRequest(), queue.size());
    };
    using Got = std::pair<int, size_t>;
    // KEY_LEFTCTRL 29, KEY_RIGHTALT 100, KEY_F2 60, KEY_F12 88, KEY_A 30.
    EXPECT_EQ(type({{{}, 1, 29, 1}, {{}, 1, 100, 1}, {{}, 1, 60, 1}}), Got(0, 0));
    input.SetGrab(true);
    EXPECT_EQ(type({{{}, 1, 60, 0}, {{}, 1, 88, 1}, {{}, 1, 30, 1}}), Got(12, 1));
    EXPECT_EQ(type({{{}, 1, 88, 2}}), Got(0, 0));                  // held: no second request
    EXPECT_EQ(type({{{}, 1, 100, 0}, {{}, 1, 60, 1}}), Got(0, 0)); // Ctrl alone
    input.SetAway(true);
    usleep(2000);
    EXPECT_EQ(type({{now(), 1, 30, 1}, {now(), 1, 56, 1}}), Got(0, 0));
    type({{now(), 1, 30, 0}, {now(), 1, 59, 1}}, false); // read back home
    usleep(2000);
    input.SetAway(false);
    EXPECT_EQ(type({{now(), 1, 30, 1}}), Got(0, 1));              // no switch from keys typed away
    EXPECT_EQ(type({{{}, 1, 59, 0}, {{}, 1, 59, 1}}), Got(1, 0)); // Ctrl and Alt still held
    close(fds[1]);
}

// A canvas's game input, modules, screen and console belong to its window's
// device, whatever windows opened after it; its copies share them, and the
// last one to let go gives them back, whatever order Create, Resume,
// Suspend and Release came in.
TEST_F(Fbdev, TheCanvasKeepsItsWindowsDevice) {
    HWND w = Open(Screen565(8, 8, 16));
    zorva::SetVirtualDisplay(zt::Dense(8, 8));
    zorva::DisplayOptions memory;
    memory.kind = zorva::DisplayKind::Virtual;
    HWND newer = zorva::OpenWindow("newer", memory);
    ASSERT_TRUE(w && newer);
    auto* c = new CCEDraw;
    ASSERT_EQ(c->Create(w, 2), 1); // no windowed back-end here: the raw one
    EXPECT_EQ(zt::Values(c->m_bMode, g_grabbed, Slurp(console) == "G"), zt::Values(1, 2, 1));
    c->Resume(); // unbalanced: a second open
    c->Suspend();
    EXPECT_EQ(g_grabbed, 0);
    c->Resume();
    CCEPen pen(0, 1, 0xF800);
    c->Clear(&pen);
    c->Flip();
    CCEBitmap shot; // the screen of the canvas's window, not the newer one
    ASSERT_EQ(shot.CaptureScreen(c), 1);
    EXPECT_EQ(zt::Values(shot.m_pPixels[0], shot.m_pPixels[63]), zt::Values(0xF800, 0xF800));
    CCEDraw copy(*c);
    delete c; // the copy still holds the screen and the keys
    EXPECT_EQ(zt::Values(g_grabbed, Slurp(console) == "G"), zt::Values(2, 1));
    copy.Resume();
    copy.Release();
    EXPECT_EQ(zt::Values(g_grabbed, Slurp(console) == "GT"), zt::Values(0, 1));
    zorva::CloseWindow(newer);
    zorva::CloseWindow(w);
}

namespace {
std::string g_switching; // "P" in the program's hands, "A" automatic
bool FakeSwitching(int, bool byProgram) {
    g_switching += byProgram ? "P" : "A";
    return true;
}
} // namespace

// Switching terminals while a canvas draws: away, the keys are let go and
// the frame buffer keeps what the other terminal shows, whatever the canvas
// flips; back, the keys are taken again and the canvas's last frame shows.
// The window hears FocusLost and FocusGained.
TEST_F(Fbdev, SwitchingTerminalsLetsTheScreenAndKeysGo) {
    zorva::FbdevSeam seam = Seam();
    seam.setSwitching = FakeSwitching;
    zorva::SetFbdevSeam(seam);
    g_switching.clear();
    HWND w = Open(Screen565(8, 8, 16));
    CCEDraw c;
    ASSERT_EQ(c.Create(w, 1), 1);
    auto fill = [&](uint16_t colour) {
        CCEPen pen(0, 1, colour);
        c.Clear(&pen);
        c.Flip();
    };
    fill(0x1111);
    raise(zorva::backends::Console::ReleaseSignal());
    EXPECT_EQ(zt::Values(g_grabbed, g_switching == "P"), zt::Values(0, 1));
    fill(0x2222);
    EXPECT_EQ(uint8_t(Slurp(fb)[0]), 0x11);
    raise(zorva::backends::Console::AcquireSignal());
    EXPECT_EQ(zt::Values(g_grabbed, uint8_t(Slurp(fb)[0])), zt::Values(2, 0x22));
    zorva::Event e;
    std::vector<zorva::EventType> got;
    while (zorva::PollEvent(w, &e))
        got.push_back(e.type);
    EXPECT_EQ(got, (std::vector<zorva::EventType>{zorva::EventType::FocusLost,
                                                  zorva::EventType::FocusGained}));
    c.Release();
    EXPECT_EQ(g_switching, "PA");
    zorva::CloseWindow(w);
}

TEST_F(Fbdev, ConsoleBackToTextOnExitAndFatalSignal) {
    auto holdThenEnd = [&](int how) {
        HWND w = Open(Screen565(8, 8, 16));
        CCEDraw c;
        if (!w || c.Create(w, 1) != 1) std::_Exit(3);
        if (how == 0) std::exit(0);
        std::raise(how);
    };
    EXPECT_EXIT(holdThenEnd(0), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Slurp(console), "GT");
    EXPECT_EXIT(holdThenEnd(SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(Slurp(console), "GT");
}

TEST_F(Fbdev, OemStringFromDeviceTreeThenDmiThenLinux) {
    HWND w = Open(Screen565(8, 8, 16));
    ASSERT_NE(w, nullptr);
    const std::string model = dir + "/proc/device-tree/model";
    const std::string product = dir + "/sys/class/dmi/id/product_name";
    std::ofstream(model, std::ios::binary) << std::string("Brovik\0", 7);
    std::ofstream(product) << "Desk 5  \n";
    zorva::SetOemRoot(dir);
    auto oem = [] {
        wchar_t text[128] = {};
        zorva::platform::SystemParametersInfoW(zorva::platform::SPI_GETOEMINFO, sizeof text, text,
                                               0);
        return std::wstring(text);
    };
    EXPECT_EQ(oem(), L"Brovik");
    std::remove(model.c_str());
    EXPECT_EQ(oem(), L"Desk 5");
    std::remove(product.c_str());
    EXPECT_EQ(oem(), L"Linux");
    zorva::CloseWindow(w);
}

TEST_F(Fbdev, DeviceChoiceWithoutWindowSystem) {
    zorva::CloseWindow(Open(Screen565(8, 8, 16))); // only its files are needed
    setenv("DISPLAY", ":999", 1);                  // an X display nobody serves: no window system
    unsetenv("WAYLAND_DISPLAY");
    const struct {
        const char* variable;
        const char* videoDriver; // SDL's; "none" names no driver at all, null any
        std::string framebuffer;
        zorva::DisplayKind kind; // Automatic: no window, with a reason
        const char* reason;      // and on the virtual display without asking: the note's
    } cases[] = {
        {"virtual", "none", fb, zorva::DisplayKind::Virtual, ""},
        {nullptr, "none", fb, zorva::DisplayKind::Fbdev, ""},
        {nullptr, "dummy", fb, zorva::DisplayKind::Fbdev, ""}, // SDL starts, but no real driver
        {nullptr, "none", dir + "/none", zorva::DisplayKind::Virtual,
         "nothing shows: no other display device opened.\n  window: none found\n"},
        {"fbdev", "none", dir + "/none", zorva::DisplayKind::Automatic, "/none"},
        {"window", nullptr, fb, zorva::DisplayKind::Automatic, "no window system"},
        {"window", "none", fb, zorva::DisplayKind::Automatic, "Cannot start a window"},
        {"window:9", "dummy", fb, zorva::DisplayKind::Automatic, "ZORVA_DISPLAY"},
        {"screen", "dummy", fb, zorva::DisplayKind::Automatic, "ZORVA_DISPLAY"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.variable ? k.variable : "automatic");
        if (k.variable)
            setenv("ZORVA_DISPLAY", k.variable, 1);
        else
            unsetenv("ZORVA_DISPLAY");
        if (k.videoDriver)
            setenv("SDL_VIDEODRIVER", k.videoDriver, 1);
        else
            unsetenv("SDL_VIDEODRIVER");
        zorva::DisplayOptions options;
        options.framebuffer = k.framebuffer;
        zorva::ForgetVirtualFallbackNote();
        testing::internal::CaptureStderr();
        HWND w = zorva::OpenWindow("choice", options);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(zorva::GetWindowDisplay(w), k.kind);
        const bool fellBack = !k.variable && k.kind == zorva::DisplayKind::Virtual;
        EXPECT_NE((w ? said : std::string(zorva::GetOpenWindowError())).find(k.reason),
                  std::string::npos)
            << said << zorva::GetOpenWindowError();
        EXPECT_EQ(said.find("zorva: ") == std::string::npos, !fellBack) << said; // not SDL's
        zorva::CloseWindow(w);
    }
    // Said once a process, and never with ZORVA_QUIET=1.
    unsetenv("ZORVA_DISPLAY");
    zorva::DisplayOptions missing;
    missing.framebuffer = dir + "/none";
    zorva::ForgetVirtualFallbackNote();
    for (int i = 0; i < 3; ++i) { // said, then silent twice
        if (i == 2) zorva::ForgetVirtualFallbackNote();
        setenv("ZORVA_QUIET", i == 2 ? "1" : "0", 1);
        testing::internal::CaptureStderr();
        zorva::CloseWindow(zorva::OpenWindow("again", missing));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("zorva: ") != std::string::npos, i == 0) << said;
    }
    unsetenv("ZORVA_QUIET");
    // A kind asked for by the application is opened whatever the variable.
    setenv("ZORVA_DISPLAY", "screen", 1);
    zorva::DisplayOptions memory;
    memory.kind = zorva::DisplayKind::Virtual;
    HWND w = zorva::OpenWindow("asked", memory);
    EXPECT_EQ(zorva::GetWindowDisplay(w), zorva::DisplayKind::Virtual);
    zorva::CloseWindow(w);
}
