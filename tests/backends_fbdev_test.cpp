// The frame buffer device through its seams: a plain file mapped as the
// frame buffer, a file standing for the console, FIFOs delivering evdev
// records; and the choice of device when no window system is there.
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

FbScreenInfo Screen565(unsigned xres, unsigned yres, unsigned line, unsigned xoff = 0,
                       unsigned yoff = 0, unsigned yVirtual = 0) {
    return {xres, yres, 0,  0,    xoff,
            yoff, 16,   11, 5,    5,
            6,    0,    5,  line, line * (yVirtual ? yVirtual : yres),
            0};
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
        zorva::FbdevSeam seam;
        seam.screenInfo = FakeInfo;
        seam.consolePath = console;
        seam.setMode = FakeMode;
        seam.inputDirectory = dir;
        seam.reportsKeys = FakeReportsKeys;
        seam.grab = FakeGrab;
        zorva::SetFbdevSeam(seam);
        g_grabbed = 0;
    }
    void TearDown() override {
        zorva::SetFbdevSeam(zorva::FbdevSeam());
        zorva::SetOemRoot("");
        std::filesystem::remove_all(dir);
    }
    // A fresh frame buffer file of the screen's memory size, every byte
    // kUntouched, and a fresh console file.
    HWND Open(const FbScreenInfo& info) {
        g_info = info;
        std::ofstream(fb, std::ios::binary) << std::string(info.memoryLength, char(kUntouched));
        std::ofstream(console, std::ios::trunc);
        zorva::DisplayOptions options;
        options.kind = zorva::DisplayKind::Fbdev;
        options.framebuffer = fb;
        return zorva::OpenWindow("fb", options);
    }
    std::string dir, fb, console;
};

} // namespace

TEST_F(Fbdev, RecordAndFlipForEachLayout) {
    const FbScreenInfo s555 = {24, 10, 0, 0, 0, 0, 16, 10, 5, 5, 5, 0, 5, 48, 480, 0};
    const FbScreenInfo bgr = {24, 10, 0, 0, 0, 0, 16, 0, 5, 5, 6, 11, 5, 48, 480, 0}; // blue on top
    const FbScreenInfo deep = {24, 10, 0, 0, 0, 0, 32, 16, 8, 8, 8, 0, 8, 96, 960, 0};
    const struct {
        FbScreenInfo info;
        int format; // raw frame buffer format; 0: Create fails
        unsigned rotate, orientation;
    } cases[] = {
        {Screen565(24, 10, 48), kfDirect565, 0, 0},           // dense
        {Screen565(24, 10, 56), kfDirect565, 1, 1},           // padded rows
        {Screen565(24, 10, 80, 7, 5, 30), kfDirect565, 3, 4}, // panned in a larger screen
        {s555, kfDirect555, 2, 2},
        {bgr, 0, 0, 0},
        {deep, 0, 0, 0},
    };
    std::mt19937 rng(9);
    for (auto k : cases) {
        SCOPED_TRACE(k.rotate * 10 + k.info.lineLength);
        k.info.rotate = k.rotate;
        HWND w = Open(k.info);
        ASSERT_NE(w, nullptr) << zorva::GetOpenWindowError();
        zorva::platform::DEVMODEW mode{};
        mode.dmFields = zorva::platform::DM_DISPLAYORIENTATION;
        zorva::platform::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, zorva::platform::CDS_TEST,
                                                 nullptr);
        EXPECT_EQ(mode.dmDisplayOrientation, k.orientation);
        CCEDraw c;
        // Mode 2 asks for the windowed back-end first, which a frame buffer
        // lacks: the raw one is taken, or nothing at all.
        const long created = c.Create(w, 2);
        ASSERT_EQ(created, k.format ? 1 : 0);
        if (!k.format) {
            EXPECT_EQ(c.GetLastError(), 100u);
            c.Release();
            EXPECT_EQ(Slurp(console), ""); // the console never left text mode
            zorva::CloseWindow(w);
            continue;
        }
        const GXDisplayProperties& d = c.GetDisplayProperties();
        EXPECT_EQ(zt::Values(c.m_bMode, d.cxWidth, d.cyHeight, c.m_xPitch, c.m_yPitch, d.ffFormat),
                  zt::Values(1, 24, 10, 2, k.info.lineLength, k.format));
        EXPECT_EQ(Slurp(console), "G");
        // Every byte of the file: a visible pixel holds the back buffer's
        // value, everything else is untouched.
        std::vector<uint16_t> drawn(24 * 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 24; ++x) {
                drawn[y * 24 + x] = uint16_t(rng());
                c.DrawPixel(x, y, drawn[y * 24 + x]);
            }
        ASSERT_EQ(c.Flip(), 1);
        const std::string memory = Slurp(fb);
        ASSERT_EQ(memory.size(), k.info.memoryLength);
        size_t wrong = 0;
        for (size_t i = 0; i < memory.size(); ++i) {
            const size_t row = i / k.info.lineLength, column = (i % k.info.lineLength) / 2;
            const bool visible = row >= k.info.yoffset && row < k.info.yoffset + 10 &&
                                 column >= k.info.xoffset && column < k.info.xoffset + 24;
            const uint16_t pixel =
                visible ? drawn[(row - k.info.yoffset) * 24 + column - k.info.xoffset] : 0;
            const uint8_t expected = visible ? uint8_t(pixel >> (8 * (i % 2))) : kUntouched;
            wrong += uint8_t(memory[i]) != expected;
        }
        EXPECT_EQ(wrong, 0u);
        std::vector<uint16_t> shown(24 * 10);
        ASSERT_TRUE(zorva::ReadScreen(w, shown.data()));
        // A 5-5-5 screen shows the 5-6-5 values' bits its own way.
        for (uint16_t& p : drawn)
            if (k.format == kfDirect555)
                p = uint16_t((p >> 10 & 31) << 11 | (p >> 5 & 31) << 6 | (p & 31));
        EXPECT_EQ(shown, drawn);
        c.Release();
        EXPECT_EQ(Slurp(console), "GT");
        zorva::CloseWindow(w);
    }
    // A layout whose visible part lies outside the memory is refused: panned
    // past the row's end, or past the last row.
    for (const FbScreenInfo& outside : {Screen565(24, 10, 48, 1, 0), Screen565(24, 10, 48, 0, 1)}) {
        EXPECT_EQ(Open(outside), nullptr);
        EXPECT_NE(std::string(zorva::GetOpenWindowError()).find("outside its memory"),
                  std::string::npos);
    }
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
         "nothing shows: no other display device opened.\n  window: none found\n  fbdev: "},
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
