// What the devices that take the console's screen (DRM, the frame buffer)
// share: the virtual terminal, kept off the frame and switched by the
// program, and evdev keyboards and gamepads. Internal to the back-ends.
#ifndef ZORVA_BACKENDS_DISPLAY_CONSOLEDEVICE_H
#define ZORVA_BACKENDS_DISPLAY_CONSOLEDEVICE_H

#include "backends/display/Console.h"
#include "backends/display/DisplayDevice.h"
#include "backends/input/Evdev.h"

namespace zorva::backends {

class ConsoleDevice : public DisplayDevice, protected Console::Listener {
public:
    void OpenGameInput() override { m_input.SetGrab(true); }
    void CloseGameInput() override { m_input.SetGrab(false); }

    // The switches of terminal as focus changes, then the keys; a switch the
    // keys asked for (Ctrl+Alt+Fn, which the grab keeps from the kernel)
    // is made.
    void PumpEvents(std::deque<Event>& queue) override {
        for (bool lost = false; m_console.NextFocusChange(&lost);) {
            Event e;
            e.type = lost ? EventType::FocusLost : EventType::FocusGained;
            queue.push_back(e);
        }
        m_input.Read(queue);
        if (const int n = m_input.TakeSwitchRequest()) m_console.SwitchTo(n);
    }

protected:
    Console m_console;
    EvdevInput m_input;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_DISPLAY_CONSOLEDEVICE_H
