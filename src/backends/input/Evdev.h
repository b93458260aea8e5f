// Keyboards and gamepads read through the Linux evdev interface. Internal to
// the platform layer.
#ifndef ZORVA_BACKENDS_INPUT_EVDEV_H
#define ZORVA_BACKENDS_INPUT_EVDEV_H

#include "ZorvaPlatform.h"

#include <deque>
#include <string>
#include <vector>

namespace zorva::backends {

// The library's key code for an evdev key or button code; 0 for a code that
// gives no event.
int KeyFromEvdev(unsigned code);

// A set of evdev devices, each any readable descriptor that delivers
// input_event records (a device node, or a pipe in tests). Records are read
// without blocking; a partial record waits for the rest.
class EvdevInput {
public:
    using ReportsKeys = bool (*)(int fd);
    using Grab = bool (*)(int fd, bool on);

    EvdevInput() = default;
    ~EvdevInput();
    EvdevInput(const EvdevInput&) = delete;
    EvdevInput& operator=(const EvdevInput&) = delete;

    // Opens every event* node of `directory` that reports keys. Null
    // functions use the real ioctls.
    void OpenDirectory(const std::string& directory, ReportsKeys reportsKeys, Grab grab);
    // Takes the descriptor over; it is closed with the set.
    void Add(int fd);
    // Exclusive access on or off for every device (game input open/closed).
    void SetGrab(bool on);
    // While the terminal is switched away the devices are let go, whatever
    // the grab; back, the grab is as it was. Safe in a signal handler.
    void SetAway(bool away);
    // Appends the key events that arrived since the last call; those typed
    // while away (on another terminal) are dropped, whenever they are read.
    void Read(std::deque<Event>& queue);
    // N for a Ctrl+Alt+Fn read while the devices were grabbed (the grab
    // keeps the console's own switch keys from the kernel), once; else 0.
    int TakeSwitchRequest();

private:
    struct Device {
        int fd = -1;
        std::vector<unsigned char> partial; // bytes of an unfinished record
        int hatX = 0, hatY = 0;             // D-pad reported as an axis
    };
    void Translate(Device& device, unsigned type, unsigned code, int value,
                   std::deque<Event>& queue);

    std::vector<Device> m_devices;
    Grab m_grab = nullptr;
    bool m_grabbed = false;
    bool m_away = false;
    long long m_awayFrom = 0, m_awayUntil = -1; // the last time away, evdev's clock (us)
    unsigned m_held = 0;                        // left and right Ctrl and Alt, a bit each
    int m_switchTo = 0;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_INPUT_EVDEV_H
