#include "links/core/ReceivedLineQueue.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "links/core/LineCutter.h"

TReceivedLineQueue::TReceivedLineQueue(std::function<void()> wake) : FWake(std::move(wake)) {}

void TReceivedLineQueue::Push(TReceivedLine line) {
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
        // Loaded under the mutex: a reset that cleared the queue has stored
        // its flag before it took the mutex.
        if (FDiscardInput.load()) return;
        wasEmpty = FReceivedLines.empty();
        FReceivedLines.push_back(std::move(line));
    }
    // A queue that holds lines already has a wake-up on its way that has not
    // yet taken them.
    if (wasEmpty && FWake) FWake();
}

std::size_t TReceivedLineQueue::WaitForRoom(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(FReceivedLinesMutex);
    // Waiting for half the queue, not for one free place, lets the reader
    // take a good chunk at a time instead of one line per wake-up.
    if (FReceivedLines.size() >= ReceivedLinesBound)
        FReceivedLinesRoom.wait(lock, stop,
                                [this] { return FReceivedLines.size() <= ReceivedLinesResume; });
    if (stop.stop_requested()) return 0;
    // Lines pushed past the bound by the other producers leave room for one.
    return ReceivedLinesBound - std::min(FReceivedLines.size(), ReceivedLinesBound - 1);
}

void TReceivedLineQueue::PushCut(TLineCutter& cutter, const char* data, std::size_t size) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
        if (FDiscardInput.load()) {
            // Bytes received before the list was locked never join a later
            // line.
            cutter.Clear();
            return;
        }
        const bool wasEmpty = FReceivedLines.empty();
        bool queued = false;
        for (std::wstring& line : cutter.Feed(data, size)) {
            // Loaded for every line: the flag may be set while the chunk is
            // cut, and the lines after that must go.
            if (FDiscardInput.load()) continue;
            FReceivedLines.push_back(QString::fromStdWString(line));
            queued = true;
        }
        wake = queued && wasEmpty;
    }
    if (wake && FWake) FWake();
}

bool TReceivedLineQueue::Take(std::vector<TReceivedLine>& lines, std::size_t count) {
    lines.clear();
    std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
    const std::size_t before = FReceivedLines.size();
    if (FDiscardInput.load()) {
        // Everything waiting goes, as the lines taken would.
        FReceivedLines.clear();
    } else {
        const std::size_t n = std::min(count, before);
        const auto end = FReceivedLines.begin() + std::ptrdiff_t(n);
        lines.assign(std::make_move_iterator(FReceivedLines.begin()), std::make_move_iterator(end));
        FReceivedLines.erase(FReceivedLines.begin(), end);
    }
    // The reader waits for the queue to come down to ReceivedLinesResume;
    // waking it at every take before that would only put it back to sleep.
    if (before > ReceivedLinesResume && FReceivedLines.size() <= ReceivedLinesResume)
        FReceivedLinesRoom.notify_all();
    return !FReceivedLines.empty();
}

void TReceivedLineQueue::SetDiscarding(bool discard) {
    FDiscardInput.store(discard);
}

void TReceivedLineQueue::Clear() {
    std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
    const bool wasFull = FReceivedLines.size() > ReceivedLinesResume;
    FReceivedLines.clear();
    if (wasFull) FReceivedLinesRoom.notify_all();
}

std::size_t TReceivedLineQueue::Size() const {
    std::lock_guard<std::mutex> lock(FReceivedLinesMutex);
    return FReceivedLines.size();
}
