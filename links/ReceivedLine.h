#pragma once

#include <cstddef>
#include <utility>

#include <QString>

// One entry of the main form's received-line queue: a line a link received
// (a chronograph line, handed to the line processor) or a log line (appended
// to the shot list as it stands, never read as a value). Both kinds travel
// through one queue so that the list shows them in the order they came.
struct TReceivedLine {
    // Implicit, so a link queues a received text as it is.
    TReceivedLine(QString text, bool log = false) : Text(std::move(text)), Log(log) {}

    QString Text;
    bool Log = false;
};

// The queue holds at most ReceivedLinesBound lines from the serial read
// thread: a full queue holds the thread back (the bytes wait in the driver's
// buffer and the device's flow control), and it reads again once the drain
// has brought the queue down to ReceivedLinesResume. A full queue is a few
// tenths of a second of work for the main thread (the close works it off in
// one go), and far more than a serial chronograph sends in that time.
inline constexpr std::size_t ReceivedLinesBound = 1024;
inline constexpr std::size_t ReceivedLinesResume = ReceivedLinesBound / 2;
