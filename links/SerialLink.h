#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include <QString>

#include "platform/serial/SerialPort.h"

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
// thread from a stopped one.
//
// Threads: every member belongs to the main thread, except that the read
// thread calls Handle() on every pass. The handle changes only while no read
// thread exists (a thread starts only on an open port, and Close stops it
// before closing), so those reads never race a write.
class TSerialLink {
public:
    TSerialLink() = default;
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

    // The body of a read thread: it reads while its token is not stopped.
    using TReadBody = std::function<void(std::stop_token, TSerialReaderTicket)>;
    // Starts `body` on a new read thread, only while the port is open and no
    // read thread exists.
    void StartReading(TReadBody body);
    // Asks the read thread to stop, ends the wait it may be in, and joins it.
    // Every ticket handed out so far stops being current, even when no thread
    // was running. Safe to call at any time.
    void StopReading();
    bool IsReading() const { return FReadThread.joinable(); }

    // Throws away bytes received and not yet read; nothing while closed.
    void PurgeInput();

private:
    TComHandle FHandle = INVALID_HANDLE_VALUE;
    std::jthread FReadThread;
    // Advanced by every StopReading; shared with the tickets so they outlive
    // the link.
    std::shared_ptr<std::atomic<std::uint64_t>> FStops =
        std::make_shared<std::atomic<std::uint64_t>>(0);
};
