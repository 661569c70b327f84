#include "platform/ble/BleClock.h"

#include <algorithm>
#include <chrono>

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::mutex ClockMutex;
std::shared_ptr<TBleClock> CurrentClock;

}  // namespace

TBleClock::TBleClock(bool manual) : FManual(manual), FStart(SteadyMs()) {}

std::int64_t TBleClock::NowMs() const {
    if (!FManual) return SteadyMs() - FStart;
    std::lock_guard<std::mutex> lock(FMutex);
    return FManualNow;
}

void TBleClock::Advance(std::int64_t ms) {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FManual && ms > 0) FManualNow += ms;
    }
    FChanged.notify_all();
}

void TBleClock::Poke() {
    // Taking the lock orders the poke after a waiter's test of its condition,
    // so a stop set just before cannot be missed.
    { std::lock_guard<std::mutex> lock(FMutex); }
    FChanged.notify_all();
}

bool TBleClock::WaitUntil(std::int64_t deadlineMs, const std::function<bool()>& stop) {
    std::unique_lock<std::mutex> lock(FMutex);
    ++FWaiters;
    bool reached = false;
    for (;;) {
        if (stop && stop()) break;
        if (FManual) {
            if (deadlineMs >= 0 && FManualNow >= deadlineMs) {
                reached = true;
                break;
            }
            FChanged.wait(lock);
        } else {
            const std::int64_t now = SteadyMs() - FStart;
            if (deadlineMs >= 0 && now >= deadlineMs) {
                reached = true;
                break;
            }
            // A bounded wait keeps a missed wake-up from costing more than a
            // moment.
            const std::int64_t step =
                deadlineMs < 0 ? 200 : std::min<std::int64_t>(deadlineMs - now, 200);
            FChanged.wait_for(lock, std::chrono::milliseconds(step));
        }
    }
    --FWaiters;
    return reached;
}

bool TBleClock::Sleep(std::int64_t ms, const std::function<bool()>& stop) {
    return WaitUntil(NowMs() + std::max<std::int64_t>(ms, 0), stop);
}

int TBleClock::Waiters() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FWaiters;
}

std::shared_ptr<TBleClock> BleClock() {
    std::lock_guard<std::mutex> lock(ClockMutex);
    if (!CurrentClock) CurrentClock = std::make_shared<TBleClock>(false);
    return CurrentClock;
}

void SetBleClockForTesting(std::shared_ptr<TBleClock> clock) {
    std::lock_guard<std::mutex> lock(ClockMutex);
    CurrentClock = std::move(clock);
}
