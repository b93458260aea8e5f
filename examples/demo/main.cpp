// zorva_demo: plays the scene on the best display it finds. See --help.
#include "Demo.h"

#include <ZorvaPlatform.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef ZORVA_DEMO_ASSETS
#define ZORVA_DEMO_ASSETS "demo-assets"
#endif

namespace {

const char kUsage[] =
    "usage: zorva_demo [options]\n"
    "Plays a short scene that uses every family of the Zorva library.\n"
    "\n"
    "  --frames N          frames to play (default: the whole scene once; more loop it)\n"
    "  --size WxH          canvas size (default 320x240)\n"
    "  --display DEVICE    a display device as ZORVA_DISPLAY names it: virtual,\n"
    "                      window[:scale], drm[:/dev/dri/cardN], fbdev[:/dev/fbN],\n"
    "                      then :rotate=90|180|270, :vsync=off (default: the best found)\n"
    "  --scale N           window scale, an integer (default 1)\n"
    "  --out DIR           write a PNG of each act, a contact sheet of the scene and\n"
    "                      the captured screen as BMP into DIR\n"
    "  --assets DIR        where make_assets.sh put the pictures\n"
    "  --help              this text\n"
    "\n"
    "In a window: arrow keys move the ship, Escape or closing the window quits;\n"
    "losing the focus suspends the canvas and regaining it resumes.\n";

struct Options {
    int frames = 0;
    int width = 320, height = 240;
    std::string display;
    int scale = 1;
    std::string out;
    std::string assets = ZORVA_DEMO_ASSETS;
};

bool ParseSize(const char* text, int* w, int* h) {
    char x = 0;
    char end = 0;
    return std::sscanf(text, "%d%c%d%c", w, &x, h, &end) == 3 && (x == 'x' || x == 'X') &&
           *w >= 16 && *h >= 16 && *w <= 4096 && *h <= 4096;
}

bool ParsePositive(const char* text, int* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || v < 1 || v > 1000000) return false;
    *value = int(v);
    return true;
}

// 0 to go on, else the exit code (2 for a bad command line).
int Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--frames" && value) {
            ok = ParsePositive(value, &o->frames);
        } else if (arg == "--size" && value) {
            ok = ParseSize(value, &o->width, &o->height);
        } else if (arg == "--display" && value) {
            o->display = value; // the platform checks the name when it opens
            ok = !o->display.empty();
        } else if (arg == "--scale" && value) {
            ok = ParsePositive(value, &o->scale) && o->scale <= 8;
        } else if (arg == "--out" && value) {
            o->out = value;
        } else if (arg == "--assets" && value) {
            o->assets = value;
        } else {
            std::fprintf(stderr, "zorva_demo: unknown option or missing value: %s\n%s", arg.c_str(),
                         kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zorva_demo: bad value for %s: %s\n", arg.c_str(), value);
            return 2;
        }
        ++i;
    }
    return 0;
}

// Halves a screenshot (each output pixel the average of a 2 x 2 block, per
// channel) for the contact sheet.
std::vector<uint16_t> Half(const std::vector<uint16_t>& in, int w, int h) {
    std::vector<uint16_t> out(size_t(w / 2) * size_t(h / 2));
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            unsigned r = 0, g = 0, b = 0;
            for (int k = 0; k < 4; ++k) {
                const unsigned p = in[size_t(2 * y + k / 2) * w + size_t(2 * x + k % 2)];
                r += p >> 11;
                g += (p >> 5) & 0x3F;
                b += p & 0x1F;
            }
            out[size_t(y) * (w / 2) + x] = uint16_t((r / 4) << 11 | (g / 4) << 5 | (b / 4));
        }
    }
    return out;
}

struct Shot {
    std::string name;
    std::vector<uint16_t> pixels;
};

// The canvas size is the virtual display's, and the size a window asks for;
// --display names a device as ZORVA_DISPLAY does, else the platform picks
// the best one.
HWND OpenDisplay(const Options& o) {
    zorva::VirtualDisplayConfig config;
    config.width = o.width;
    config.height = o.height;
    zorva::SetVirtualDisplay(config);
    if (!o.display.empty()) ::setenv("ZORVA_DISPLAY", o.display.c_str(), 1);
    zorva::DisplayOptions display;
    display.width = o.width;
    display.height = o.height;
    display.scale = o.scale;
    return zorva::OpenWindow("Zorva demo", display);
}

const char* DisplayName(zorva::DisplayKind kind) {
    switch (kind) {
    case zorva::DisplayKind::Window:
        return "a window";
    case zorva::DisplayKind::Fbdev:
        return "the frame buffer";
    case zorva::DisplayKind::Drm:
        return "the DRM/KMS screen";
    default:
        return "the virtual display";
    }
}

// Takes the window's events: arrows move the ship, focus changes suspend and
// resume the canvas. False when the user asked to quit.
bool HandleEvents(HWND window, CCEDraw& canvas, demo::Scene& scene) {
    bool quit = false;
    zorva::Event event;
    while (zorva::PollEvent(window, &event)) {
        switch (event.type) {
        case zorva::EventType::Quit:
            quit = true;
            break;
        case zorva::EventType::KeyDown:
            if (event.key == zorva::kKeyEscape) quit = true;
            if (event.key == zorva::kKeyLeft) scene.Nudge(-4, 0);
            if (event.key == zorva::kKeyRight) scene.Nudge(4, 0);
            if (event.key == zorva::kKeyUp) scene.Nudge(0, -4);
            if (event.key == zorva::kKeyDown) scene.Nudge(0, 4);
            break;
        case zorva::EventType::FocusLost:
            canvas.Suspend();
            break;
        case zorva::EventType::FocusGained:
            canvas.Resume();
            break;
        default:
            break;
        }
    }
    return !quit;
}

// Screenshots of the acts into --out: a PNG each, then a contact sheet of
// them all; every file written is listed at the end.
struct Recorder {
    HWND window;
    std::string out;
    int width, height;
    std::vector<Shot> shots;
    std::vector<std::string> written;

    void Screenshot(const std::string& name) {
        if (out.empty()) return;
        int w = 0, h = 0;
        if (!zorva::GetScreenSize(window, &w, &h) || w != width || h != height) return;
        Shot shot{name, std::vector<uint16_t>(size_t(w) * size_t(h))};
        if (!zorva::ReadScreen(window, shot.pixels.data())) return;
        char file[64];
        std::snprintf(file, sizeof file, "/%02zu-%s.png", shots.size() + 1, name.c_str());
        if (demo::WritePng(out + file, shot.pixels, w, h)) written.push_back(out + file);
        shots.push_back(std::move(shot));
    }

    // Every screenshot at half size, three to a row.
    void ContactSheet() {
        if (out.empty() || shots.empty()) return;
        const int cw = width / 2, ch = height / 2, gap = 4, columns = 3;
        const int rows = int((shots.size() + columns - 1) / columns);
        const int sw = columns * cw + (columns + 1) * gap, sh = rows * ch + (rows + 1) * gap;
        std::vector<uint16_t> sheet(size_t(sw) * size_t(sh), 0x2104);
        for (size_t k = 0; k < shots.size(); ++k) {
            const std::vector<uint16_t> half = Half(shots[k].pixels, width, height);
            const int x0 = gap + int(k % columns) * (cw + gap);
            const int y0 = gap + int(k / columns) * (ch + gap);
            for (int y = 0; y < ch; ++y)
                std::copy(half.begin() + size_t(y) * cw, half.begin() + size_t(y + 1) * cw,
                          sheet.begin() + size_t(y0 + y) * sw + x0);
        }
        if (demo::WritePng(out + "/contact-sheet.png", sheet, sw, sh))
            written.push_back(out + "/contact-sheet.png");
    }
};

// Plays `total` frames (looping the scene); on a real screen at the scene's
// own 30 frames a second, headless as fast as it goes (the clock then only
// measures) with progress lines. Returns the frames played.
int Play(HWND window, CCEDraw& canvas, demo::Scene& scene, Recorder& recorder, int total,
         bool interactive) {
    zorva::FrameClock clock(interactive ? 30 : 0, window);
    const bool tty = ::isatty(1);
    int played = 0;
    for (int i = 0; i < total; ++i) {
        if (!HandleEvents(window, canvas, scene)) break;
        if (canvas.IsSuspend()) { // in the background: wait, the scene holds still
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            clock.Restart(); // the pause is no late frame
            --i;
            continue;
        }
        const int frame = i % scene.Length();
        scene.Draw(frame);
        canvas.Flip();
        clock.Wait();
        ++played;
        if (i < scene.Length() && scene.LastOfAct(frame))
            recorder.Screenshot(scene.ActName(scene.ActOf(frame)));
        if (!interactive && ((i + 1) % 30 == 0 || i + 1 == total)) {
            std::printf(tty ? "\rzorva_demo: frame %d of %d, %.0f frames per second   "
                            : "zorva_demo: frame %d of %d, %.0f frames per second\n",
                        i + 1, total, clock.MeasuredRate());
            std::fflush(stdout);
        }
    }
    if (tty) std::printf("\n");
    return played;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int code = Parse(argc, argv, &o)) return code < 0 ? 0 : code;
    HWND window = OpenDisplay(o);
    if (!window) {
        std::fprintf(stderr, "zorva_demo: %s\n", zorva::GetOpenWindowError());
        return 1;
    }
    const char* displayName = DisplayName(zorva::GetWindowDisplay(window));
    // On a real screen the scene plays in real time and loops until Escape
    // (or the window is closed) unless --frames says how long.
    const bool interactive = zorva::GetWindowDisplay(window) != zorva::DisplayKind::Virtual;

    CCEDraw canvas;
    if (canvas.Create(window, 1) != 1) {
        std::fprintf(stderr, "zorva_demo: the canvas could not be created (error %lu)\n",
                     canvas.GetLastError());
        zorva::CloseWindow(window);
        return 1;
    }
    const int width = int(canvas.GetDisplayProperties().cxWidth);
    const int height = int(canvas.GetDisplayProperties().cyHeight);

    demo::Assets assets;
    std::string error;
    if (!assets.Load(canvas, o.assets, &error)) {
        std::fprintf(stderr,
                     "zorva_demo: %s (run examples/demo/make_assets.sh DIR and pass "
                     "--assets DIR)\n",
                     error.c_str());
        canvas.Release();
        zorva::CloseWindow(window);
        return 1;
    }

    Recorder recorder{window, o.out, width, height, {}, {}};
    if (!o.out.empty()) ::mkdir(o.out.c_str(), 0755);
    // The demo's own contact store; the number is written as a caller would
    // dial it from abroad, and matches by its trailing digits.
    const std::string store = o.assets + "/contacts.db";
    zorva::SetContactsDatabase(store.c_str());
    demo::Scene scene(canvas, assets, L"0044 20 7946 0018");
    scene.onShot = [&](const std::string& name) { recorder.Screenshot(name); };
    scene.capturePath = [&]() -> std::wstring {
        if (o.out.empty()) return L"";
        const std::string path = o.out + "/capture.bmp";
        return std::wstring(path.begin(), path.end());
    };

    const int total = o.frames ? o.frames : interactive ? INT32_MAX : scene.Length();
    if (interactive)
        std::printf("zorva_demo: on %s; arrow keys move the ship, Escape quits\n", displayName);
    const auto start = std::chrono::steady_clock::now();
    const int played = Play(window, canvas, scene, recorder, total, interactive);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!scene.capturedFile.empty()) recorder.written.push_back(scene.capturedFile);
    recorder.ContactSheet();
    std::printf("zorva_demo: played %d frames at %d x %d on %s in %.2f s (%.0f frames per "
                "second)\n",
                played, width, height, displayName, seconds, seconds > 0 ? played / seconds : 0.0);
    for (const std::string& file : recorder.written)
        std::printf("zorva_demo: wrote %s\n", file.c_str());

    canvas.Release();
    zorva::CloseWindow(window);
    return 0;
}
