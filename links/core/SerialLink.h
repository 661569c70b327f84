#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include <QString>

#include "platform/serial/SerialPort.h"

class TReceivedLineQueue;

// What a read thread notes when it starts. It answers, even after its link is
// gone, whether that thread is still the link's current one: a report the
// thread queued before it was stopped checks this first and then touches
// nothing.
class TSerialReaderTicket {
public:
    bool IsCurrent() const { return FCounter->load() == FValue; }

private:
    friend class TSerialLink;
    TSerialReaderTicket(std::shared_ptr<const std::atomic<std::uint64_t>> counter,
                        std::uint64_t value)
        : FCounter(std::move(counter)), FValue(value) {}

    std::shared_ptr<const std::atomic<std::uint64_t>> FCounter;
    std::uint64_t FValue;
};

// The program's serial port and the one thread that reads it. The link owns
// the port handle, the thread and the count of stops that tells a current
// thread from a stopped one; the thread cuts what it reads into lines and
// puts them on the received-line queue it was given.
//
// The read thread sleeps while nothing happens: it wakes when bytes arrive,
// when the port goes away, when a stop is asked and, while the queue is
// full, only when the queue has room again or a stop is asked. Besides these
// it looks once every NodeCheckMs whether the port's device node is gone.
//
// Threads: every member belongs to the owner's thread; the read thread reads
// the handle, which changes only while no read thread exists (a thread starts
// only on an open port, and Close stops it before closing).
class TSerialLink {
public:
    // How often an idle read thread looks whether its device node is gone
    // (an adapter that vanished without hanging the port up).
    static constexpr int NodeCheckMs = 5000;

    // Called once on the read thread, with that thread's ticket, when the
    // port goes away under it (an unplugged adapter, a closed
    // pseudo-terminal). The thread then waits for its stop.
    using TPortLost = std::function<void(TSerialReaderTicket)>;

    // `lines` must outlive the link.
    explicit TSerialLink(TReceivedLineQueue& lines);
    TSerialLink(const TSerialLink&) = delete;
    TSerialLink& operator=(const TSerialLink&) = delete;
    // Stops the read thread and closes the port.
    ~TSerialLink();

    bool IsOpen() const { return FHandle.IsValid(); }
    // The open port, or INVALID_HANDLE_VALUE.
    TComHandle Handle() const { return FHandle; }

    // Opens the device at `path` (see SerialOpen); an open port is kept as it
    // is. Throws ESysError and stays closed on failure.
    void Open(const QString& path);
    // Stops the read thread, then closes the port when it is open.
    void Close();

    // Starts the read thread (SerialReadThread), only while the port is open
    // and no read thread exists.
    void StartReading(TPortLost portLost);
    // Asks the read thread to stop, ends the wait it may be in, and joins it;
    // the thread has queued the line the device left unfinished by then.
    // Every ticket handed out so far stops being current, even when no thread
    // was running. Safe to call at any time.
    void StopReading();
    bool IsReading() const { return FReadThread.joinable(); }

    // Throws away bytes received and not yet read; nothing while closed.
    void PurgeInput();

private:
    // The read thread: reads what the port holds, at most as many bytes as
    // the queue has room for lines, and cuts it into lines, until stopped.
    void SerialReadThread(std::stop_token stop, TSerialReaderTicket ticket, TPortLost portLost);

    TReceivedLineQueue& FLines;
    TComHandle FHandle = INVALID_HANDLE_VALUE;
    std::jthread FReadThread;
    // Advanced by every StopReading; shared with the tickets so they outlive
    // the link.
    std::shared_ptr<std::atomic<std::uint64_t>> FStops =
        std::make_shared<std::atomic<std::uint64_t>>(0);
};
