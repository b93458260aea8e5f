// The program the VM rig runs in its guest (tests/vm/README.md): each
// argument is a step, done in order on one window. It reports what it sees
// as "ZVM FACT name=value" lines on the serial port and asks the host there
// for screen dumps and keys; the host judges. Its terminal is the VT on screen.
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/kd.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

int g_serial = -1;
volatile char g_sink;

void Say(const std::string& line) {
    dprintf(g_serial, "ZVM %s\n", line.c_str());
}

// A request the host answers with one "ZVM GO" line once it is done.
bool Ask(const std::string& request) {
    Say(request);
    char reply[64] = {};
    return read(g_serial, reply, sizeof reply - 1) > 0 && std::string(reply) == "ZVM GO\n";
}

// The test frame, which the host works out on its own (vm_rig.py): a white
// border, red, green and blue quadrants and a gradient in the fourth.
unsigned short FramePixel(int x, int y, int w, int h) {
    if (x == 0 || y == 0 || x == w - 1 || y == h - 1) return 0xFFFF;
    if (y < h / 2) return x < w / 2 ? 0xF800 : 0x07E0;
    if (x < w / 2) return 0x001F;
    return (unsigned short)((x & 31) << 11 | (y & 63) << 5 | ((x + y) >> 2 & 31));
}

// Of tty1, the terminal on screen, which a program without one of its own
// (started detached) must keep in graphics mode all the same.
const char* ConsoleMode() {
    const int fd = open("/dev/tty1", O_RDONLY | O_NOCTTY);
    int mode = -1;
    if (fd < 0 || ioctl(fd, KDGETMODE, &mode) != 0) mode = -1;
    if (fd >= 0) close(fd);
    return mode == KD_GRAPHICS ? "graphics" : mode == KD_TEXT ? "text" : "none";
}

// Events: "d" (key down) or "u" (up) and the key code in hex, "l" and "g"
// for the focus lost and gained; until `count` keys went down and up or
// about 10 s passed (with no count: those waiting now).
std::string ReadEvents(HWND window, int count) {
    std::string seen;
    for (int tries = 0, events = 0; tries < 1000; ++tries, usleep(10000)) {
        for (zorva::Event e; zorva::PollEvent(window, &e); ++events) {
            char text[16]; // EventType's letters, in its order
            std::snprintf(text, sizeof text, " %c%02x", "?duqlg"[std::min(int(e.type), 5)],
                          unsigned(e.key));
            seen += text;
        }
        if (events >= 2 * count) break;
    }
    return seen.empty() ? "none" : seen.substr(1);
}

// Microseconds ten calls of `f` take, the best of five runs.
template <class F>
int Best(F f) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        timespec a = {}, b = {};
        clock_gettime(CLOCK_MONOTONIC, &a);
        for (int i = 0; i < 10; ++i)
            f(i);
        clock_gettime(CLOCK_MONOTONIC, &b);
        best = std::min(best, double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) * 1e-9);
    }
    return int(best * 1e5);
}

} // namespace

int main(int argc, char** argv) {
    g_serial = open("/dev/ttyS0", O_RDWR | O_NOCTTY);
    if (g_serial < 0) return 2;
    HWND window = nullptr;
    CCEDraw canvas;
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i], arg = i + 1 < argc ? argv[i + 1] : "";
        const int w = int(canvas.GetDisplayProperties().cxWidth);
        const int h = int(canvas.GetDisplayProperties().cyHeight);
        const bool takesArg = step == "dump" || step == "keys" || step == "send" ||
                              step == "sleep" || step == "flips";
        if (takesArg && ++i == argc) return 2;
        if (step == "open") { // ZVM_SIZE=WxH: the screen mode a DRM device is asked for
            zorva::DisplayOptions options;
            if (const char* size = std::getenv("ZVM_SIZE"))
                std::sscanf(size, "%dx%d", &options.width, &options.height);
            window = zorva::OpenWindow("vm", options);
            if (!window) Say(std::string("FACT window=none: ") + zorva::GetOpenWindowError());
            Say("FACT create=" + std::to_string(window ? canvas.Create(window, 1) : 0));
            Say("FACT error=" + std::to_string(canvas.GetLastError()));
        } else if (step == "frame") {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    canvas.DrawPixel(x, y, FramePixel(x, y, w, h));
            Say("FACT flip=" + std::to_string(canvas.Flip()));
        } else if (step == "type") { // would show over the frame in text mode
            std::printf("\n\nzorva vm: text written while the canvas holds the screen\n");
            std::fflush(stdout);
        } else if (step == "flips") {
            for (int n = std::atoi(arg.c_str()); n > 0; --n)
                canvas.Flip();
        } else if (step == "info") { // fields in vm_rig.py's INFO order
            zorva::DisplayInfo d;
            zorva::GetDisplayInfo(window, &d);
            char text[160];
            std::snprintf(text, sizeof text, "FACT info=%d,%dx%d,%d,%d,%s,%s,%d,%lu,%lu",
                          int(d.kind), d.screenWidth, d.screenHeight, d.rotation, d.bitsPerPixel,
                          d.format, d.tearFree, int(d.pacedFlips), d.presents, d.flips);
            Say(text);
        } else if (step == "cost") { // a Flip against a memcpy of the frame's bytes (read after)
            std::vector<char> from(size_t(w) * size_t(h) * 2, 1), to(from.size());
            const int flip = Best([&](int) { canvas.Flip(); });
            const int copy = Best([&](int i) {
                std::memcpy(to.data(), from.data(), from.size());
                g_sink = to[size_t(i)];
            });
            Say("FACT cost=" + std::to_string(w) + "x" + std::to_string(h) + " " +
                std::to_string(flip) + " " + std::to_string(copy));
        } else if (step == "events") {
            Say("FACT events=" + ReadEvents(window, 0));
        } else if (step == "dump" || step == "keys" || step == "send") { // qemu's key names
            if (!Ask((step == "dump" ? "SCREENDUMP " : "SENDKEYS ") + arg)) return 3;
            int count = 1;
            for (char c : arg)
                count += c == ',';
            if (step == "keys") Say("FACT keys=" + ReadEvents(window, count));
        } else if (step == "sleep") {
            usleep(useconds_t(std::atoi(arg.c_str())) * 1000);
        } else if (step == "mode") {
            Say(std::string("FACT mode=") + ConsoleMode());
        } else if (step == "release") {
            canvas.Release();
        } else if (step == "close") {
            zorva::CloseWindow(window);
            window = nullptr;
        } else if (step == "sigterm") {
            raise(SIGTERM);
        } else if (step == "sigsegv") {
            int* volatile nowhere = nullptr; // a real fault, not a raised signal
            *nowhere = 1;
        } else {
            Say("FACT unknown-step=" + step);
            return 2;
        }
    }
    return 0;
}
