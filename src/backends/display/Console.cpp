// Console graphics mode and terminal switching, given back whatever way the
// program ends.
#include "backends/display/Console.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <linux/kd.h>
#include <linux/vt.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zorva::backends {
namespace {

// What the signal handlers read: plain lock-free atomics, no allocation,
// no locks. A slot holds a terminal now in graphics mode.
constexpr int kSlots = 8;
struct Slot {
    std::atomic<int> fd{-1};
    std::atomic<Console::SetMode> setMode{nullptr};
    std::atomic<Console::SetSwitching> setSwitching{nullptr};
    std::atomic<Console::Listener*> listener{nullptr};
    std::atomic<int> switches{0}; // away and back, counted: odd while away
};
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGABRT,
                            SIGBUS, SIGFPE, SIGSEGV, SIGTERM};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
struct sigaction g_previous[kSignalCount];
struct sigaction g_previousSwitch[2];

std::mutex g_lock; // slots and handlers, outside signal handlers
int g_inGraphics = 0;
bool g_atExit = false;

bool IoctlSetMode(int fd, ConsoleMode mode) {
    return ioctl(fd, KDSETMODE, mode == ConsoleMode::Graphics ? KD_GRAPHICS : KD_TEXT) == 0;
}

// VT_PROCESS: the kernel asks before switching away (the release signal)
// and tells on the way back (the acquire signal); VT_AUTO switches at once.
bool IoctlSetSwitching(int fd, bool byProgram) {
    vt_mode mode = {};
    mode.mode = byProgram ? VT_PROCESS : VT_AUTO;
    mode.relsig = short(byProgram ? Console::ReleaseSignal() : 0);
    mode.acqsig = short(byProgram ? Console::AcquireSignal() : 0);
    return ioctl(fd, VT_SETMODE, &mode) == 0;
}

// A virtual terminal in text mode at `path`, or -1.
int OpenTextConsole(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    // Only a virtual terminal answers KDGETMODE; one already in graphics
    // mode belongs to another program (an X server).
    int mode = -1;
    if (ioctl(fd, KDGETMODE, &mode) != 0 || mode != KD_TEXT) {
        close(fd);
        return -1;
    }
    return fd;
}

void RestoreAll() {
    for (Slot& s : g_slots) {
        const int fd = s.fd.load();
        if (fd < 0) continue;
        if (Console::Listener* listener = s.listener.load()) listener->Restore();
        if (Console::SetSwitching set = s.setSwitching.load()) set(fd, false);
        if (Console::SetMode set = s.setMode.load()) set(fd, ConsoleMode::Text);
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

// The kernel asks to switch away (release) or has switched back (acquire):
// the listeners let the screen and keys go before the release is allowed,
// and take them back once the terminal is ours again.
extern "C" void OnSwitchSignal(int signal) {
    const bool away = signal == Console::ReleaseSignal();
    for (Slot& s : g_slots) {
        const int fd = s.fd.load();
        Console::Listener* listener = s.listener.load();
        if (fd < 0 || !listener) continue;
        if (away) {
            listener->Away();
            ioctl(fd, VT_RELDISP, 1);
        } else {
            ioctl(fd, VT_RELDISP, VT_ACKACQ);
            listener->Back();
        }
        s.switches.fetch_add(1);
    }
}

// Caller holds g_lock.
void InstallHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnFatalSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
    action.sa_handler = OnSwitchSignal;
    action.sa_flags = SA_RESTART;
    sigaction(Console::ReleaseSignal(), &action, &g_previousSwitch[0]);
    sigaction(Console::AcquireSignal(), &action, &g_previousSwitch[1]);
    if (!g_atExit) g_atExit = std::atexit(OnExit) == 0;
}

// Caller holds g_lock.
void RemoveHandlers() {
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    sigaction(Console::ReleaseSignal(), &g_previousSwitch[0], nullptr);
    sigaction(Console::AcquireSignal(), &g_previousSwitch[1], nullptr);
}

} // namespace

// Two real-time signals from the middle of the range, which applications
// rarely use (the top ones are taken by some emulators, such as qemu's user
// mode, and by debuggers' tools).
int Console::ReleaseSignal() {
    return SIGRTMIN + 10;
}

int Console::AcquireSignal() {
    return SIGRTMIN + 11;
}

Console::~Console() {
    Leave();
    if (m_fd >= 0) close(m_fd);
}

bool Console::Open(const std::string& path, SetMode setMode, SetSwitching setSwitching) {
    if (setMode) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0) return false;
        m_setMode = setMode;
        m_setSwitching = setSwitching;
        return true;
    }
    m_fd = OpenTextConsole(path);
    if (m_fd < 0) {
        // No terminal of our own: the one on screen.
        const int current = open("/dev/tty0", O_RDWR | O_NOCTTY | O_CLOEXEC);
        vt_stat state = {};
        if (current >= 0 && ioctl(current, VT_GETSTATE, &state) == 0) {
            char name[32];
            std::snprintf(name, sizeof name, "/dev/tty%u", unsigned(state.v_active));
            m_fd = OpenTextConsole(name);
        }
        if (current >= 0) close(current);
    }
    if (m_fd < 0) return false;
    m_setMode = IoctlSetMode;
    m_setSwitching = IoctlSetSwitching;
    return true;
}

void Console::Enter(Listener* listener) {
    if (m_fd < 0 || m_slot >= 0) return;
    std::lock_guard<std::mutex> hold(g_lock);
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = g_slots[i];
        if (s.fd.load() >= 0) continue;
        if (!m_setMode(m_fd, ConsoleMode::Graphics)) return;
        s.setMode.store(m_setMode);
        s.setSwitching.store(m_setSwitching);
        s.listener.store(listener);
        s.switches.store(0);
        m_seen = 0;
        if (g_inGraphics++ == 0) InstallHandlers();
        s.fd.store(m_fd);
        m_slot = i;
        if (m_setSwitching) m_setSwitching(m_fd, true);
        return;
    }
}

void Console::Leave() {
    if (m_slot < 0) return;
    std::lock_guard<std::mutex> hold(g_lock);
    Slot& s = g_slots[m_slot];
    s.fd.store(-1);
    s.listener.store(nullptr);
    m_slot = -1;
    if (m_setSwitching) m_setSwitching(m_fd, false);
    m_setMode(m_fd, ConsoleMode::Text);
    if (--g_inGraphics == 0) RemoveHandlers();
}

bool Console::SwitchTo(int n) {
    return m_slot >= 0 && m_setSwitching == IoctlSetSwitching && ioctl(m_fd, VT_ACTIVATE, n) == 0;
}

bool Console::NextFocusChange(bool* lost) {
    if (m_slot < 0) return false;
    const int switches = g_slots[m_slot].switches.load();
    if (m_seen == switches) return false;
    *lost = m_seen % 2 == 0; // the first switch goes away
    ++m_seen;
    return true;
}

} // namespace zorva::backends
