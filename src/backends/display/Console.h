// The virtual terminal under a frame buffer. Internal to the platform layer.
#ifndef ZORVA_BACKENDS_DISPLAY_CONSOLE_H
#define ZORVA_BACKENDS_DISPLAY_CONSOLE_H

#include "backends/Testing.h"

#include <string>

namespace zorva::backends {

// Keeps a virtual terminal in graphics mode (no text or cursor drawn over
// the frame) between Enter and Leave. Text mode comes back on Leave, on
// destruction, at normal exit and on the fatal signals (hang-up, interrupt,
// quit, termination, and the faults), after which the signal goes on to
// whatever handled it before.
class Console {
public:
    using SetMode = bool (*)(int fd, ConsoleMode mode);

    Console() = default;
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Opens the terminal at `path`. False when it cannot be opened or is no
    // virtual terminal in text mode (a pseudo-terminal, a console another
    // program already drew on); the object then does nothing. A given
    // setMode is trusted to make `path` a console.
    bool Open(const std::string& path, SetMode setMode);
    void Enter();
    void Leave();

private:
    int m_fd = -1;
    int m_slot = -1; // in the table the signal handler reads
    SetMode m_setMode = nullptr;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_DISPLAY_CONSOLE_H
