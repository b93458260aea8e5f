// The clock FrameClock reads and sleeps on, replaceable so that tests drive
// time by hand.
#ifndef ZORVA_DISPLAY_FRAMECLOCK_H
#define ZORVA_DISPLAY_FRAMECLOCK_H

#include <cstdint>

namespace zorva {

// Nanoseconds of a monotonic clock, and a sleep until such a time (which
// may return early or late, as a real sleep does).
struct ClockSource {
    int64_t (*now)();
    void (*sleepUntil)(int64_t nanoseconds);
};

// Every FrameClock uses `source` from now on; null goes back to the steady
// clock and the thread's sleep. Not for use while clocks run on other
// threads.
void SetClockSource(const ClockSource* source);

} // namespace zorva

#endif // ZORVA_DISPLAY_FRAMECLOCK_H
