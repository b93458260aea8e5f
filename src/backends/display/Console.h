// The virtual terminal under a console screen (a frame buffer or DRM
// device). Internal to the back-ends.
#ifndef ZORVA_BACKENDS_DISPLAY_CONSOLE_H
#define ZORVA_BACKENDS_DISPLAY_CONSOLE_H

#include "backends/Testing.h"

#include <string>

namespace zorva::backends {

// Keeps a virtual terminal in graphics mode (no text or cursor drawn over
// the frame) between Enter and Leave, and the switches to other terminals
// (Ctrl+Alt+Fn) in the program's hands: the switch away lets the screen and
// the keys go (the listener's Away), the switch back takes them again and
// shows the frame (Back). Text mode and automatic switching come back on
// Leave, on destruction, at normal exit and on the fatal signals (hang-up,
// interrupt, quit, termination, and the faults), after which the signal goes
// on to whatever handled it before.
//
// The terminal is the program's own when it has one (`path`, normally
// /dev/tty), else the one on screen (found through /dev/tty0): a program
// started from ssh or a service still keeps the console off the frame.
class Console {
public:
    using SetMode = bool (*)(int fd, ConsoleMode mode);
    using SetSwitching = bool (*)(int fd, bool byProgram);

    // Called from a signal handler: only work that is safe there (system
    // calls, atomics, copying memory), no allocation, no locks.
    struct Listener {
        virtual void Away() = 0;
        virtual void Back() = 0;
        // The program ends (normal exit or a fatal signal) while in graphics
        // mode: put the screen as it was before the program took it.
        virtual void Restore() {}

    protected:
        ~Listener() = default;
    };

    Console() = default;
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Opens the terminal. False when none can be had or it is no virtual
    // terminal in text mode (a pseudo-terminal, a console another program
    // already drew on); the object then does nothing. Given functions are
    // trusted to make `path` a console (tests).
    bool Open(const std::string& path, SetMode setMode, SetSwitching setSwitching);
    void Enter(Listener* listener);
    void Leave();

    // Asks the kernel for terminal `n` (a switch key the program's keyboard
    // grab kept from the console), in graphics mode with switching in the
    // program's hands; the switch itself then comes as usual.
    bool SwitchTo(int n);

    // The focus changes the switches brought since the last call, in order:
    // for each, *lost is true for the switch away.
    bool NextFocusChange(bool* lost);

    // The signals that ask the program to let its terminal go and that give
    // it back.
    static int ReleaseSignal();
    static int AcquireSignal();

private:
    int m_fd = -1;
    int m_slot = -1; // in the table the signal handlers read
    int m_seen = 0;  // switches already reported by NextFocusChange
    SetMode m_setMode = nullptr;
    SetSwitching m_setSwitching = nullptr;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_DISPLAY_CONSOLE_H
