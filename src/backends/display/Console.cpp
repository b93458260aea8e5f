// Console graphics mode, given back whatever way the program ends.
#include "backends/display/Console.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <linux/kd.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zorva::backends {
namespace {

// What the signal handler reads: plain lock-free atomics, no allocation,
// no locks. A slot holds a terminal now in graphics mode.
constexpr int kSlots = 8;
std::atomic<int> g_fds[kSlots] = {-1, -1, -1, -1, -1, -1, -1, -1};
std::atomic<Console::SetMode> g_modes[kSlots];

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGABRT,
                            SIGBUS, SIGFPE, SIGSEGV, SIGTERM};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
struct sigaction g_previous[kSignalCount];

std::mutex g_lock; // slots and handlers, outside signal handlers
int g_inGraphics = 0;
bool g_atExit = false;

bool IoctlSetMode(int fd, ConsoleMode mode) {
    return ioctl(fd, KDSETMODE, mode == ConsoleMode::Graphics ? KD_GRAPHICS : KD_TEXT) == 0;
}

void RestoreAll() {
    for (int i = 0; i < kSlots; ++i) {
        const int fd = g_fds[i].load();
        Console::SetMode set = g_modes[i].load();
        if (fd >= 0 && set) set(fd, ConsoleMode::Text);
    }
}

void OnExit() {
    RestoreAll();
}

extern "C" void OnFatalSignal(int signal) {
    RestoreAll();
    // The previous handler (or the default action) takes the signal as soon
    // as this one returns: a fault repeats, a raised signal is pending.
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
    raise(signal);
}

// Caller holds g_lock.
void InstallHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnFatalSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
    if (!g_atExit) g_atExit = std::atexit(OnExit) == 0;
}

// Caller holds g_lock.
void RemoveHandlers() {
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
}

} // namespace

Console::~Console() {
    Leave();
    if (m_fd >= 0) close(m_fd);
}

bool Console::Open(const std::string& path, SetMode setMode) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    if (!setMode) {
        // Only a virtual terminal answers KDGETMODE; one already in
        // graphics mode belongs to another program (an X server).
        int mode = -1;
        if (ioctl(fd, KDGETMODE, &mode) != 0 || mode != KD_TEXT) {
            close(fd);
            return false;
        }
        setMode = IoctlSetMode;
    }
    m_fd = fd;
    m_setMode = setMode;
    return true;
}

void Console::Enter() {
    if (m_fd < 0 || m_slot >= 0) return;
    std::lock_guard<std::mutex> hold(g_lock);
    for (int i = 0; i < kSlots; ++i) {
        if (g_fds[i].load() >= 0) continue;
        if (!m_setMode(m_fd, ConsoleMode::Graphics)) return;
        g_modes[i].store(m_setMode);
        g_fds[i].store(m_fd);
        m_slot = i;
        if (g_inGraphics++ == 0) InstallHandlers();
        return;
    }
}

void Console::Leave() {
    if (m_slot < 0) return;
    std::lock_guard<std::mutex> hold(g_lock);
    g_fds[m_slot].store(-1);
    m_slot = -1;
    m_setMode(m_fd, ConsoleMode::Text);
    if (--g_inGraphics == 0) RemoveHandlers();
}

} // namespace zorva::backends
