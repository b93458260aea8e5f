// evdev: key and button records into the library's key events.
#include "backends/input/Evdev.h"

#include <linux/input.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zorva::backends {
namespace {

struct KeyPair {
    unsigned evdev;
    int key;
};

// Letters and digits are not contiguous in evdev's numbering.
constexpr KeyPair kKeys[] = {
    {KEY_A, 'A'},
    {KEY_B, 'B'},
    {KEY_C, 'C'},
    {KEY_D, 'D'},
    {KEY_E, 'E'},
    {KEY_F, 'F'},
    {KEY_G, 'G'},
    {KEY_H, 'H'},
    {KEY_I, 'I'},
    {KEY_J, 'J'},
    {KEY_K, 'K'},
    {KEY_L, 'L'},
    {KEY_M, 'M'},
    {KEY_N, 'N'},
    {KEY_O, 'O'},
    {KEY_P, 'P'},
    {KEY_Q, 'Q'},
    {KEY_R, 'R'},
    {KEY_S, 'S'},
    {KEY_T, 'T'},
    {KEY_U, 'U'},
    {KEY_V, 'V'},
    {KEY_W, 'W'},
    {KEY_X, 'X'},
    {KEY_Y, 'Y'},
    {KEY_Z, 'Z'},
    {KEY_0, '0'},
    {KEY_1, '1'},
    {KEY_2, '2'},
    {KEY_3, '3'},
    {KEY_4, '4'},
    {KEY_5, '5'},
    {KEY_6, '6'},
    {KEY_7, '7'},
    {KEY_8, '8'},
    {KEY_9, '9'},
    {KEY_BACKSPACE, kKeyBackspace},
    {KEY_TAB, kKeyTab},
    {KEY_ENTER, kKeyEnter},
    {KEY_KPENTER, kKeyEnter},
    {KEY_ESC, kKeyEscape},
    {KEY_SPACE, kKeySpace},
    {KEY_LEFT, kKeyLeft},
    {KEY_UP, kKeyUp},
    {KEY_RIGHT, kKeyRight},
    {KEY_DOWN, kKeyDown},
    // Buttons by their label: drivers report BTN_X and BTN_Y for the
    // buttons printed X and Y, whatever their place on the pad.
    {BTN_A, kKeyGamepadA},
    {BTN_B, kKeyGamepadB},
    {BTN_X, kKeyGamepadX},
    {BTN_Y, kKeyGamepadY},
    {BTN_START, kKeyGamepadStart},
    {BTN_SELECT, kKeyGamepadSelect},
    {BTN_DPAD_UP, kKeyGamepadUp},
    {BTN_DPAD_DOWN, kKeyGamepadDown},
    {BTN_DPAD_LEFT, kKeyGamepadLeft},
    {BTN_DPAD_RIGHT, kKeyGamepadRight},
};

bool RealReportsKeys(int fd) {
    unsigned char bits[KEY_MAX / 8 + 1] = {};
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof bits), bits) < 0) return false;
    auto has = [&](unsigned code) { return bits[code / 8] & (1u << (code % 8)); };
    for (const KeyPair& k : kKeys)
        if (has(k.evdev)) return true;
    return false;
}

bool RealGrab(int fd, bool on) {
    return ioctl(fd, EVIOCGRAB, on ? 1 : 0) == 0;
}

// Microseconds of the clock evdev stamps records with by default.
long long Now() {
    timespec t = {};
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

} // namespace

int KeyFromEvdev(unsigned code) {
    for (const KeyPair& k : kKeys)
        if (k.evdev == code) return k.key;
    return 0;
}

EvdevInput::~EvdevInput() {
    SetGrab(false);
    for (Device& d : m_devices)
        close(d.fd);
}

void EvdevInput::OpenDirectory(const std::string& directory, ReportsKeys reportsKeys, Grab grab) {
    m_grab = grab ? grab : RealGrab;
    if (!reportsKeys) reportsKeys = RealReportsKeys;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) != 0) continue;
        const std::string path = directory + "/" + entry->d_name;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (reportsKeys(fd))
            Add(fd);
        else
            close(fd);
    }
    closedir(dir);
}

void EvdevInput::Add(int fd) {
    Device d;
    d.fd = fd;
    m_devices.push_back(std::move(d));
    if (m_grabbed && !m_away && m_grab) m_grab(fd, true);
}

void EvdevInput::SetGrab(bool on) {
    if (on == m_grabbed) return;
    m_grabbed = on;
    if (!m_grab || m_away) return;
    for (Device& d : m_devices)
        m_grab(d.fd, on);
}

void EvdevInput::SetAway(bool away) {
    if (away == m_away) return;
    (away ? m_awayFrom : m_awayUntil) = Now();
    m_away = away;
    if (!m_grab || !m_grabbed) return;
    for (Device& d : m_devices)
        m_grab(d.fd, !away);
}

int EvdevInput::TakeSwitchRequest() {
    const int n = m_switchTo;
    m_switchTo = 0;
    return n;
}

void EvdevInput::Read(std::deque<Event>& queue) {
    constexpr size_t kRecord = sizeof(input_event);
    unsigned char buffer[64 * kRecord];
    for (Device& d : m_devices) {
        for (;;) {
            // A partial record from the last read goes first.
            const size_t carried = d.partial.size();
            if (carried) std::memcpy(buffer, d.partial.data(), carried);
            const ssize_t n = read(d.fd, buffer + carried, sizeof buffer - carried);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            const size_t total = carried + size_t(n);
            const size_t whole = total - total % kRecord;
            for (size_t at = 0; at < whole; at += kRecord) {
                input_event e;
                std::memcpy(&e, buffer + at, kRecord);
                // Typed away: the held keys are followed, nothing else.
                const size_t before = queue.size();
                const int asked = m_switchTo;
                Translate(d, e.type, e.code, e.value, queue);
                const long long t = e.input_event_sec * 1000000LL + e.input_event_usec;
                if (m_away || (t >= m_awayFrom && t < m_awayUntil)) {
                    queue.resize(before);
                    m_switchTo = asked;
                }
            }
            d.partial.assign(buffer + whole, buffer + total);
        }
    }
}

void EvdevInput::Translate(Device& device, unsigned type, unsigned code, int value,
                           std::deque<Event>& queue) {
    auto push = [&](EventType t, int key, bool repeat = false) {
        Event e;
        e.type = t;
        e.key = key;
        e.repeat = repeat;
        queue.push_back(e);
    };
    if (type == EV_KEY) {
        const unsigned modifier = code == KEY_LEFTCTRL    ? 1
                                  : code == KEY_RIGHTCTRL ? 2
                                  : code == KEY_LEFTALT   ? 4
                                  : code == KEY_RIGHTALT  ? 8
                                                          : 0;
        m_held = value ? m_held | modifier : m_held & ~modifier;
        const int fn = code >= KEY_F1 && code <= KEY_F10 ? int(code - KEY_F1) + 1
                       : code == KEY_F11                 ? 11
                       : code == KEY_F12                 ? 12
                                                         : 0;
        if (fn && value == 1 && (m_held & 3) && (m_held & 12) && m_grabbed) m_switchTo = fn;
        const int key = KeyFromEvdev(code);
        // 1 pressed, 2 held (repeats), 0 released.
        if (key) push(value ? EventType::KeyDown : EventType::KeyUp, key, value == 2);
        return;
    }
    if (type != EV_ABS || (code != ABS_HAT0X && code != ABS_HAT0Y)) return;
    // A D-pad that reports a hat axis: -1, 0 or 1 along each direction.
    const bool x = code == ABS_HAT0X;
    int& previous = x ? device.hatX : device.hatY;
    const int now = value < 0 ? -1 : value > 0 ? 1 : 0;
    if (now == previous) return;
    const int negative = x ? kKeyGamepadLeft : kKeyGamepadUp;
    const int positive = x ? kKeyGamepadRight : kKeyGamepadDown;
    if (previous) push(EventType::KeyUp, previous < 0 ? negative : positive);
    if (now) push(EventType::KeyDown, now < 0 ? negative : positive);
    previous = now;
}

} // namespace zorva::backends
