// The program the VM rig runs in its guest (tests/vm/README.md): each
// argument is a step, done in order on one window. It reports what it sees
// as "ZVM FACT name=value" lines on the serial port and asks the host there
// for screen dumps and keys; the host judges. Its terminal is the VT on screen.
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <linux/kd.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int g_serial = -1;

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

const char* ConsoleMode() {
    const int fd = open("/dev/tty", O_RDONLY | O_NOCTTY);
    int mode = -1;
    if (fd < 0 || ioctl(fd, KDGETMODE, &mode) != 0) mode = -1;
    if (fd >= 0) close(fd);
    return mode == KD_GRAPHICS ? "graphics" : mode == KD_TEXT ? "text" : "none";
}

// Key events, "d" (down) or "u" (up) and the code in hex, until `count`
// keys went down and up or about 10 s passed.
std::string ReadKeys(HWND window, int count) {
    std::string seen;
    for (int tries = 0, events = 0; tries < 1000 && events < 2 * count; ++tries, usleep(10000)) {
        for (zorva::Event e; zorva::PollEvent(window, &e); ++events) {
            char text[16];
            const bool down = e.type == zorva::EventType::KeyDown;
            const char kind = down ? 'd' : e.type == zorva::EventType::KeyUp ? 'u' : 'e';
            std::snprintf(text, sizeof text, " %c%02x", kind, unsigned(e.key));
            seen += text;
        }
    }
    return seen.empty() ? "none" : seen.substr(1);
}

} // namespace

int main(int argc, char** argv) {
    g_serial = open("/dev/ttyS0", O_RDWR | O_NOCTTY);
    if (g_serial < 0) return 2;
    HWND window = nullptr;
    CCEDraw canvas;
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i], arg = i + 1 < argc ? argv[i + 1] : "";
        const bool takesArg = step == "dump" || step == "keys" || step == "sleep";
        if (takesArg && ++i == argc) return 2;
        if (step == "open") {
            window = zorva::OpenWindow("vm");
            if (!window) Say(std::string("FACT window=none: ") + zorva::GetOpenWindowError());
            Say("FACT create=" + std::to_string(window ? canvas.Create(window, 1) : 0));
            Say("FACT error=" + std::to_string(canvas.GetLastError()));
        } else if (step == "frame") {
            const int w = int(canvas.GetDisplayProperties().cxWidth);
            const int h = int(canvas.GetDisplayProperties().cyHeight);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    canvas.DrawPixel(x, y, FramePixel(x, y, w, h));
            Say("FACT flip=" + std::to_string(canvas.Flip()));
        } else if (step == "type") { // would show over the frame in text mode
            std::printf("\n\nzorva vm: text written while the canvas holds the screen\n");
            std::fflush(stdout);
        } else if (step == "dump" || step == "keys") { // keys: qemu's names, comma-separated
            if (!Ask((step == "dump" ? "SCREENDUMP " : "SENDKEYS ") + arg)) return 3;
            int count = 1;
            for (char c : arg)
                count += c == ',';
            if (step == "keys") Say("FACT keys=" + ReadKeys(window, count));
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
