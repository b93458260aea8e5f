// The SDL2 window device on a real X server (Xvfb in the test run): what the
// server shows, read back with xwd, is the back buffer; keys, focus changes
// and the close request sent from outside arrive as events. Skipped when no
// X server is reachable.
#include "support/TestCanvas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

using E = zorva::EventType;
using Events = std::vector<std::pair<E, int>>;

// The first line a shell command prints.
std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char line[256];
        if (fgets(line, sizeof line, p)) out = line;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        zt::ResetPlatform();
        if (!std::getenv("DISPLAY") || Shell("xdpyinfo >/dev/null 2>&1 && echo up") != "up")
            GTEST_SKIP() << "no X server reachable";
        unsetenv("SDL_VIDEODRIVER");
    }
    void TearDown() override {
        if (canvas) canvas->Release();
        zorva::CloseWindow(window);
    }
    // A window of the given canvas size on the X server, with its X id.
    void Open(int width, int height, int scale, int rotation = 0, bool vsync = true) {
        title = "zorva-" + std::to_string(getpid()) + "-" + std::to_string(++opened);
        zorva::DisplayOptions options;
        options.kind = zorva::DisplayKind::Window;
        options.width = width;
        options.height = height;
        options.scale = scale;
        options.rotation = rotation;
        options.vsync = vsync;
        window = zorva::OpenWindow(title.c_str(), options);
        ASSERT_NE(window, nullptr) << zorva::GetOpenWindowError();
        xid = Shell("xdotool search --sync --name '^" + title + "$' 2>/dev/null");
        ASSERT_FALSE(xid.empty());
        canvas = std::make_unique<CCEDraw>();
        // Mode 1 asks for a raw frame buffer, which a window lacks.
        ASSERT_EQ(canvas->Create(window, 1), 1);
        ASSERT_EQ(canvas->m_bMode, 2);
    }
    // Events read while waiting up to five seconds for `count` of them (a
    // repeat's key negated).
    Events Collect(size_t count) {
        Events got;
        for (int i = 0; i < 500 && got.size() < count; ++i) {
            zorva::Event e;
            while (zorva::PollEvent(window, &e))
                got.emplace_back(e.type, e.repeat ? -e.key : e.key);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return got;
    }
    int opened = 0;
    std::string title, xid;
    HWND window = nullptr;
    std::unique_ptr<CCEDraw> canvas;
};

} // namespace

// At each scale, turned or not, presenting on the vertical blank or not.
TEST_F(Window, TheServerShowsTheBackBufferAtEveryScale) {
    for (auto [scale, rotation, vsync] : {std::tuple{1, 0, true}, {2, 0, false}, {1, 90, true}}) {
        SCOPED_TRACE(testing::Message() << scale << " " << rotation << " " << vsync);
        Open(40, 30, scale, rotation, vsync);
        zorva::DisplayInfo info;
        ASSERT_TRUE(zorva::GetDisplayInfo(window, &info));
        EXPECT_EQ(zt::Values(info.screenWidth, info.screenHeight, info.pacedFlips && !vsync),
                  zt::Values(rotation ? 30 : 40, rotation ? 40 : 30, 0));
        std::mt19937 rng(scale);
        std::vector<uint16_t> drawn(40 * 30);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                canvas->DrawPixel(x, y, drawn[y * 40 + x] = uint16_t(rng()));
        // xwd's picture as 8-bit RGB; the window may take a moment to map,
        // so the frame is presented again until the picture shows it.
        const std::string file = zt::ScratchPath("window.rgb");
        const size_t w = size_t(info.screenWidth * scale), h = size_t(info.screenHeight * scale);
        size_t wrong = w * h;
        for (int attempt = 0; attempt < 20 && wrong; ++attempt) {
            ASSERT_EQ(canvas->Flip(), 1);
            Collect(0);
            std::system(
                ("xwd -silent -id " + xid + " | convert xwd:- -depth 8 rgb:" + file).c_str());
            std::ifstream in(file, std::ios::binary);
            const std::string rgb((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
            if (rgb.size() != w * h * 3) continue;
            // Each channel's top bits are the RGB565 value's, whichever way
            // the server widened them.
            wrong = 0;
            for (size_t i = 0; i < w * h; ++i) {
                const auto* p = reinterpret_cast<const uint8_t*>(rgb.data() + 3 * i);
                const uint16_t shown = uint16_t((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
                // Screen (sx, sy) shows canvas (sy, 29 - sx) turned clockwise.
                const size_t sx = (i % w) / scale, sy = i / w / scale;
                wrong += shown != drawn[rotation ? (29 - sx) * 40 + sy : sy * 40 + sx];
            }
        }
        std::remove(file.c_str());
        EXPECT_EQ(wrong, 0u);
        // The screen, as the library reads it, is the last frame presented.
        std::vector<uint16_t> screen(40 * 30);
        ASSERT_TRUE(zorva::ReadScreen(window, screen.data()));
        EXPECT_EQ(screen, drawn);
        canvas->Release();
        canvas.reset();
        zorva::CloseWindow(window);
        window = nullptr;
    }
}

TEST_F(Window, KeysFocusAndCloseFromOutside) {
    Open(32, 32, 1);
    Shell("xdotool windowfocus --sync " + xid);
    EXPECT_EQ(Collect(1), (Events{{E::FocusGained, 0}}));
    Shell("xdotool key a Escape Return Left 5 F1");
    EXPECT_EQ(Collect(10), (Events{{E::KeyDown, 'A'},
                                   {E::KeyUp, 'A'},
                                   {E::KeyDown, zorva::kKeyEscape},
                                   {E::KeyUp, zorva::kKeyEscape},
                                   {E::KeyDown, zorva::kKeyEnter},
                                   {E::KeyUp, zorva::kKeyEnter},
                                   {E::KeyDown, zorva::kKeyLeft},
                                   {E::KeyUp, zorva::kKeyLeft},
                                   {E::KeyDown, '5'},
                                   {E::KeyUp, '5'}}));
    // A key held past the repeat delay: pressed, repeated, released, all queued.
    Shell("xdotool keydown b sleep 1.5 keyup b");
    const Events held = Collect(3);
    ASSERT_GE(held.size(), 3u);
    Events expected(held.size(), std::pair(E::KeyDown, -'B'));
    expected.front() = {E::KeyDown, 'B'};
    expected.back() = {E::KeyUp, 'B'};
    EXPECT_EQ(held, expected);
    // Focus to the root window and back.
    Shell("xdotool windowfocus $(xwininfo -root | awk '/Window id/ {print $4}')");
    EXPECT_EQ(Collect(1), (Events{{E::FocusLost, 0}}));
    Shell("xdotool windowfocus " + xid);
    EXPECT_EQ(Collect(1), (Events{{E::FocusGained, 0}}));
    // The close request a window manager sends (WM_DELETE_WINDOW).
    Shell("/usr/bin/python3 -c 'import sys\n"
          "from Xlib import X, display, protocol\n"
          "d = display.Display()\n"
          "w = d.create_resource_object(\"window\", int(sys.argv[1], 0))\n"
          "a = d.intern_atom(\"WM_PROTOCOLS\"); b = d.intern_atom(\"WM_DELETE_WINDOW\")\n"
          "w.send_event(protocol.event.ClientMessage(window=w, client_type=a, data=(32, [b, "
          "X.CurrentTime, 0, 0, 0])))\n"
          "d.flush()' " +
          xid);
    EXPECT_EQ(Collect(1), (Events{{E::Quit, 0}}));
}

TEST_F(Window, AutomaticChoiceTakesTheWindowSystem) {
    unsetenv("ZORVA_DISPLAY");
    HWND w = zorva::OpenWindow("automatic");
    EXPECT_EQ(zorva::GetWindowDisplay(w), zorva::DisplayKind::Window);
    zorva::CloseWindow(w);
    setenv("ZORVA_DISPLAY", "window:3", 1);
    w = zorva::OpenWindow("named");
    EXPECT_EQ(zorva::GetWindowDisplay(w), zorva::DisplayKind::Window);
    zorva::CloseWindow(w);
}
