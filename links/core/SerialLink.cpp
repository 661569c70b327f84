#include "links/core/SerialLink.h"

#include <algorithm>
#include <array>
#include <string>

#include <pthread.h>

#include "links/core/LineCutter.h"
#include "links/core/ReceivedLineQueue.h"
#include "series/core/NumberText.h"

namespace {

// The largest chunk one pass reads; it also bounds how long the thread holds
// the queue's mutex.
constexpr std::ptrdiff_t ReadChunk = 4096;
// How long the thread waits before it tries again after a read that failed
// on a port that still looks ready: a device in that state must not make it
// spin.
constexpr int RetryWaitMs = 10;

// What the list shows for a line the device never finished (the port was
// closed or hung up in the middle of it): a log line, so that the cut
// fragment is seen but never taken for a shot.
QString UnfinishedLogLine(const std::wstring& fragment) {
    return QLatin1String(LogLinePrefix) + QStringLiteral("unfinished line: ") +
           QString::fromStdWString(fragment);
}

}  // namespace

TSerialLink::TSerialLink(TReceivedLineQueue& lines) : FLines(lines) {}

TSerialLink::~TSerialLink() {
    Close();
}

void TSerialLink::Open(const QString& path) {
    if (FHandle.IsValid()) return;
    FHandle = SerialOpen(path);
}

void TSerialLink::Close() {
    StopReading();
    if (!FHandle.IsValid()) return;
    SerialClose(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
}

void TSerialLink::StartReading(TPortLost portLost) {
    if (FReadThread.joinable() || !FHandle.IsValid()) return;
    TSerialReaderTicket ticket(FStops, FStops->load());
    FReadThread =
        std::jthread([this, ticket, portLost = std::move(portLost)](std::stop_token stop) mutable {
            SerialReadThread(stop, std::move(ticket), std::move(portLost));
        });
}

void TSerialLink::StopReading() {
    FStops->fetch_add(1);
    if (!FReadThread.joinable()) return;
    // The stop ends a wait for room in the queue; the cancel ends a wait on
    // the port.
    FReadThread.request_stop();
    SerialCancel(FHandle);
    FReadThread.join();
    FReadThread = std::jthread();
}

void TSerialLink::PurgeInput() {
    if (FHandle.IsValid()) SerialPurge(FHandle, TPurge::Input);
}

void TSerialLink::SerialReadThread(std::stop_token stop, TSerialReaderTicket ticket,
                                   TPortLost portLost) {
    // Named, so that top, strace and a debugger tell it from Qt's threads.
    ::pthread_setname_np(::pthread_self(), "serial-read");
    const TComHandle port = FHandle;
    TLineCutter cutter;
    std::array<char, ReadChunk> buffer{};
    TPortState state = TPortState::Open;

    while (!stop.stop_requested()) {
        if (state == TPortState::Lost) {
            // Nothing comes from a lost port any more: the thread sleeps
            // until it is stopped.
            SerialWait(port, SerialWaitForever, TPortState::Lost);
            continue;
        }
        // A full queue holds the reading back until the drain has worked it
        // down: the bytes wait in the driver and the device, not in memory.
        const std::size_t room = FLines.WaitForRoom(stop);
        if (room == 0) break;
        const int waiting = SerialBytesWaiting(port);
        std::ptrdiff_t got = 0;
        if (waiting > 0)
            got = SerialRead(port, buffer.data(),
                             std::min({std::ptrdiff_t(waiting), ReadChunk, std::ptrdiff_t(room)}));
        if (got > 0) {
            FLines.PushCut(cutter, buffer.data(), std::size_t(got));
            continue;
        }

        // Nothing to read: sleep until bytes come, the port goes or a stop is
        // asked. The time limit only lets the wait look after the device
        // node now and then.
        const bool failed = waiting < 0 || got < 0;
        const TSerialWait woke = SerialWait(port, failed ? RetryWaitMs : NodeCheckMs);
        if (woke == TSerialWait::Lost) {
            // An unplugged adapter: the owner closes the port once, as the
            // user's CLOSE does. Lines already queued stay queued, and the
            // unfinished line is handed over when this thread stops.
            state = TPortState::Lost;
            if (portLost) portLost(ticket);
        } else if (failed && woke == TSerialWait::Readable) {
            SerialWait(port, RetryWaitMs, TPortState::Lost);
        }
    }

    // The device never ended this line (a CLOSE, a hang-up or the program's
    // end cut it off): it is listed as a log line, never as a shot, and not
    // at all while input is discarded.
    const std::wstring rest = cutter.TakeUnfinished();
    if (!rest.empty()) FLines.Push(TReceivedLine(UnfinishedLogLine(rest), true));
}
