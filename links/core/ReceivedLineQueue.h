#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <utility>
#include <vector>

#include <QString>

class TLineCutter;

// One entry of the received-line queue: a line a link received (a
// chronograph line, handed to the line processor) or a log line (appended to
// the shot list as it stands, never read as a value). Both kinds travel
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

// The received-line queue: the links put lines in on their threads, the main
// thread takes them out in arrival order. It owns its lock, its lines, the
// discard flag that the producers and the taker obey, the bound and the
// backpressure on the serial read thread.
//
// The queue never calls into the main thread itself: whenever lines go into
// an empty queue it calls the wake-up it was given (on the producer's thread,
// after its lock is released), so one wake-up is on its way whenever lines
// wait. The taker goes on until the queue is empty or wakes itself again for
// what it left.
//
// Threads: every member function may be called from any thread.
class TReceivedLineQueue {
public:
    explicit TReceivedLineQueue(std::function<void()> wake);
    TReceivedLineQueue(const TReceivedLineQueue&) = delete;
    TReceivedLineQueue& operator=(const TReceivedLineQueue&) = delete;

    // ---- Producers.
    // Queues a line behind the lines before it, unless input is discarded.
    // Never waits, whatever the queue holds: the Bluetooth LE link and the
    // log push on the main thread.
    void Push(TReceivedLine line);
    // For the serial read thread, before it reads: waits while the queue is
    // full until the taker has brought it down to ReceivedLinesResume, or a
    // stop is requested. Returns how many lines may still be queued (each
    // byte ends at most one line, so reading no more bytes than that keeps
    // the queue within its bound), 0 when stopped.
    std::size_t WaitForRoom(std::stop_token stop);
    // Feeds a chunk of bytes to the serial read thread's cutter and queues
    // the lines it completes, all under the lock, so that a Clear cannot fall
    // between cutting a line and deciding whether to keep it. While input is
    // discarded the chunk is lost and the cutter forgets its unfinished line.
    void PushCut(TLineCutter& cutter, const char* data, std::size_t size);

    // ---- Taker (the main thread).
    // Moves up to `count` lines from the front into `lines` (replacing what
    // it held) and returns whether more remain. While input is discarded it
    // takes nothing and empties the queue. Wakes a producer waiting for room.
    bool Take(std::vector<TReceivedLine>& lines, std::size_t count);

    // ---- Resets (the main thread).
    // While set, producers queue nothing and Take hands nothing out.
    void SetDiscarding(bool discard);
    bool Discarding() const { return FDiscardInput.load(); }
    // Empties the queue; the lines waiting are lost. With the discard flag
    // set just before, no line gets through: a line queued before the clear
    // goes with it, and one cut after it sees the flag.
    void Clear();

    std::size_t Size() const;
    bool Empty() const { return Size() == 0; }

private:
    const std::function<void()> FWake;
    mutable std::mutex FReceivedLinesMutex;
    // Signalled when lines leave the queue: the serial read thread waits on
    // it while the queue is full.
    std::condition_variable_any FReceivedLinesRoom;
    std::deque<TReceivedLine> FReceivedLines;
    // Loaded for every line while the mutex is held, and stored before the
    // mutex is taken to clear: see Clear.
    std::atomic<bool> FDiscardInput{false};
};
