#pragma once

#include <cstddef>

#include <QString>

// A serial port on a POSIX terminal device, with the operations a read loop
// that sleeps until something happens needs. The port is only ever read; nothing here writes to it.
//
// Threads: SerialOpen and SerialClose belong to one owner thread. While the
// port is open, one read thread may call SerialBytesWaiting, SerialRead and
// SerialWait, and any other thread may call SerialPurge and SerialCancel at the
// same time.

// An open port, or INVALID_HANDLE_VALUE for none. A plain value: copies share
// the same port, and SerialClose ends it for all of them.
struct TComHandle {
    int Fd = -1;      // the terminal device
    int WakeFd = -1;  // an event counter that cuts a SerialWait short
    bool IsValid() const { return Fd >= 0; }
    bool operator==(const TComHandle&) const = default;
};

// The value of a closed port.
inline constexpr TComHandle INVALID_HANDLE_VALUE{};

// Opens the terminal device at `path` for exclusive use and sets it up: 19200
// baud, 8 data bits, no parity, 1 stop bit, raw bytes (no line editing, echo,
// signals or character translation), no flow control, receiver on, modem
// control lines ignored, DTR and RTS raised where the device has them, reads
// that never block; then both buffers are emptied.
// Throws ESysError (platform/core/Exception.h) with errno and the path, and
// leaves nothing open on failure ("CreateFile error: 16 (Device or resource
// busy: /dev/ttyUSB0)"):
//   "CreateFile"   the device cannot be opened or is held by another open
//                  (EBUSY for a held port);
//   "GetCommState" the device is not a terminal (ENOTTY for a plain file);
//   "SetCommState" the settings were refused.
TComHandle SerialOpen(const QString& path);

// Releases the port and the handle's resources. Call only after every thread
// that uses the handle has stopped. An invalid handle is ignored.
void SerialClose(TComHandle handle);

enum class TPurge {
    Input,          // bytes received and not yet read
    InputAndOutput  // those and bytes not yet sent
};

// Throws away buffered bytes. Failures are ignored.
void SerialPurge(TComHandle handle, TPurge what);

// The number of received bytes ready to be read, or -1 when the device refuses
// to tell (a device that hung up does).
int SerialBytesWaiting(TComHandle handle);

// Reads at most `maxBytes` bytes into `buffer` without blocking. Returns the
// number read, 0 when nothing was ready or the device hung up, -1 on failure.
std::ptrdiff_t SerialRead(TComHandle handle, char* buffer, std::ptrdiff_t maxBytes);

enum class TSerialWait {
    TimedOut,   // nothing happened for the whole wait
    Readable,   // bytes arrived; returned as soon as they do
    Cancelled,  // SerialCancel was called (before or during the wait)
    Lost        // the device hung up or its node is gone; see TPortState
};

// What a read loop knows of its device. It starts Open; the first Lost wait
// moves it to Lost, which is the one moment to report the loss (so the owner
// closes the port once). A lost port stays lost until it is closed.
enum class TPortState { Open, Lost };

// A wait without a time limit.
inline constexpr int SerialWaitForever = -1;

// Waits up to `milliseconds` (SerialWaitForever: without a limit) and
// sleeps all the while; a cancel always ends it. A cancel is consumed by the
// wait it ends.
// - On a port in the state Open it also ends as soon as bytes arrive
//   (Readable) or the device hangs up (Lost); when it times out it reports
//   Lost if the device node has gone.
// - On a port in the state Lost it waits for the cancel alone: a lost device
//   reports itself ready for ever, and a loop that waits after every empty
//   read must not spin.
// An invalid handle sleeps out a limited time and reports Lost.
TSerialWait SerialWait(TComHandle handle, int milliseconds = 10,
                       TPortState state = TPortState::Open);

// Ends the current SerialWait of the read thread at once, or the next one when
// none is in progress. Safe from any thread while the port is open.
void SerialCancel(TComHandle handle);
