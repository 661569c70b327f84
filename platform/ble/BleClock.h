#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The time base of the Bluetooth LE layer: the pauses of its workers and the
// timed events of the simulated adapter wait on it.
//
// A real clock follows the steady system clock. A manual clock (for tests)
// stands still until Advance() moves it, so a test passes 2000 or 15000 ms
// at once without waiting. Thread-safe.
class TBleClock {
public:
    // manual: the clock starts at 0 and moves only by Advance().
    explicit TBleClock(bool manual);

    std::int64_t NowMs() const;

    // Manual clocks only: moves the time on and wakes every waiter.
    void Advance(std::int64_t ms);

    // Wakes every waiter so that it tests its stop condition again.
    void Poke();

    // Waits until NowMs() >= deadlineMs or `stop` holds; stop is tested
    // under the clock's lock whenever the time moves or Poke() is called.
    // Returns true when the deadline was reached, false when stop ended
    // the wait. A deadline below 0 waits for stop alone.
    bool WaitUntil(std::int64_t deadlineMs, const std::function<bool()>& stop);

    // Sleeps ms from now; false when stop ended the sleep early.
    bool Sleep(std::int64_t ms, const std::function<bool()>& stop);

    // Calls since the clock was made that are waiting right now (for tests
    // that must know a worker has reached its pause before they advance).
    int Waiters() const;

private:
    const bool FManual;
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::int64_t FManualNow = 0;
    int FWaiters = 0;
    std::int64_t FStart;
};

// The clock the layer uses; a real one unless a test set another.
std::shared_ptr<TBleClock> BleClock();
// Replaces the layer's clock (nullptr: back to a real one). Call before the
// objects that use it are made.
void SetBleClockForTesting(std::shared_ptr<TBleClock> clock);
