#include "platform/ble/BleWorkers.h"

#include <exception>

#include <QString>

#include "platform/core/StandardError.h"

TBleWorkers::TBleWorkers(std::shared_ptr<TBleClock> clock) : FClock(std::move(clock)) {
    if (!FClock) FClock = BleClock();
}

TBleWorkers::~TBleWorkers() {
    CancelAndJoin();
}

void TBleWorkers::Reap() {
    for (auto it = FWorkers.begin(); it != FWorkers.end();) {
        if (it->Done.load()) {
            if (it->Thread.joinable()) it->Thread.join();
            it = FWorkers.erase(it);
        } else {
            ++it;
        }
    }
}

void TBleWorkers::Start(std::function<void()> work) {
    if (FCancelled.load() || !work) return;
    Reap();
    TWorker& worker = FWorkers.emplace_back();
    ++FRunning;
    worker.Thread = std::thread([this, &worker, work = std::move(work)] {
        // The last stop of a worker thread: the link's steps report their own
        // failures in the status line, so what arrives here is a fault of
        // the program. Say so rather than end the program or pass over it.
        try {
            work();
        } catch (const std::exception& e) {
            PrintStandardError(QStringLiteral("Bluetooth LE worker failed: ") +
                               QString::fromUtf8(e.what()));
        } catch (...) {
            PrintStandardError(QStringLiteral("Bluetooth LE worker failed"));
        }
        --FRunning;
        worker.Done = true;
    });
}

bool TBleWorkers::Sleep(std::int64_t ms) {
    return FClock->Sleep(ms, [this] { return FCancelled.load(); });
}

void TBleWorkers::CancelAndJoin() {
    FCancelled = true;
    FClock->Poke();
    for (TWorker& worker : FWorkers)
        if (worker.Thread.joinable()) worker.Thread.join();
    FWorkers.clear();
}
