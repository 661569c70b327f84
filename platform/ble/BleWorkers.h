#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ble/BleClock.h"

// Short-lived worker threads of the Bluetooth LE link, kept so that they
// can all be stopped and joined when the owner closes: after
// CancelAndJoin() no worker runs and none can be started.
class TBleWorkers {
public:
    explicit TBleWorkers(std::shared_ptr<TBleClock> clock);
    ~TBleWorkers();  // CancelAndJoin()
    TBleWorkers(const TBleWorkers&) = delete;
    TBleWorkers& operator=(const TBleWorkers&) = delete;

    // Runs work on a new thread. An exception escaping work is swallowed:
    // a worker hands its outcome back through what it queues. Does nothing
    // after CancelAndJoin(). Call on one thread (the main thread).
    void Start(std::function<void()> work);
    // A worker's pause on the layer's clock; false when cancelled meanwhile.
    bool Sleep(std::int64_t ms);
    bool Cancelled() const { return FCancelled.load(); }
    // Wakes every pause and waits for every worker to end. Workers blocked in
    // a backend call must be released by cancelling the backend first.
    void CancelAndJoin();
    // Workers that have not ended yet.
    int Running() const { return FRunning.load(); }

private:
    struct TWorker {
        std::thread Thread;
        std::atomic<bool> Done{false};
    };
    void Reap();

    std::shared_ptr<TBleClock> FClock;
    std::atomic<bool> FCancelled{false};
    std::atomic<int> FRunning{0};
    std::list<TWorker> FWorkers;
};
