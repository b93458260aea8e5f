// The frame clock: a grid of due times at the target rate, slept to unless
// the window's flips already wait for the vertical blank.
#include "display/FrameClock.h"

#include "ZorvaPlatform.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace zorva {
namespace {

constexpr int64_t kSecond = 1000000000;
constexpr int64_t kLongestPeriod = 3600 * kSecond; // rates below one an hour are held there

int64_t SteadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadySleepUntil(int64_t nanoseconds) {
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds)));
}

const ClockSource kSteady{SteadyNow, SteadySleepUntil};
const ClockSource* g_source = &kSteady;

} // namespace

void SetClockSource(const ClockSource* source) {
    g_source = source ? source : &kSteady;
}

FrameClock::FrameClock(double framesPerSecond, HWND window) : m_window(window) {
    SetRate(framesPerSecond);
}

void FrameClock::SetRate(double framesPerSecond) {
    if (!(framesPerSecond > 0) || !std::isfinite(framesPerSecond)) {
        m_rate = 0;
        m_period = 0;
        return;
    }
    m_rate = framesPerSecond;
    const double period = std::round(double(kSecond) / framesPerSecond);
    m_period = period < 1 ? 1 : period > double(kLongestPeriod) ? kLongestPeriod : int64_t(period);
}

double FrameClock::Rate() const {
    return m_rate;
}

void FrameClock::Wait() {
    int64_t now = g_source->now();
    ++m_frames;
    if (!m_started) {
        m_started = true;
        m_due = now + m_period;
        m_last = m_spanStart = now;
        m_spanFrames = 0;
        m_wholeSecond = false;
        m_measured = 0;
        m_stepped = false;
        return;
    }
    if (m_period > 0) {
        // Paced flips set the rhythm themselves: a frame is late when it
        // missed its refresh, coming more than half a period after it was
        // due, and the clock sleeps only for a rate clearly below the
        // display's (the frame due more than a quarter period from now),
        // leaving the last of the wait to the next Flip. Otherwise the next
        // frame is due a period after this one, so a display a little faster
        // than the rate never builds up a sleep.
        const bool paced = FlipsArePaced(m_window);
        const int64_t slack = paced ? m_period / 4 : 0;
        if (now > m_due + (paced ? m_period / 2 : 0)) ++m_late;
        const bool sleeps = now < m_due - slack;
        if (sleeps) {
            g_source->sleepUntil(m_due - slack);
            now = g_source->now();
        }
        m_due += m_period;
        if ((paced && !sleeps) || m_due <= now) m_due = now + m_period;
    }
    m_step = now - m_last;
    m_stepped = true;
    m_last = now;

    ++m_spanFrames;
    const int64_t span = now - m_spanStart;
    if (span > 0 && (span >= kSecond || !m_wholeSecond))
        m_measured = double(m_spanFrames) * double(kSecond) / double(span);
    if (span >= kSecond) {
        m_wholeSecond = true;
        m_spanStart = now;
        m_spanFrames = 0;
    }
}

void FrameClock::Restart() {
    m_started = false;
}

double FrameClock::FrameSeconds() const {
    return double(m_stepped ? m_step : m_period) / double(kSecond);
}

double FrameClock::MeasuredRate() const {
    return m_measured;
}

long FrameClock::Frames() const {
    return m_frames;
}

long FrameClock::LateFrames() const {
    return m_late;
}

} // namespace zorva
