#include "platform/serial/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstdint>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>

#include "platform/core/Exception.h"

namespace {

using Clock = std::chrono::steady_clock;

// The error number must be taken before close(), which may overwrite it.
[[noreturn]] void Fail(const char* call, int error, int fd, int wakeFd,
                       const QString& path = QString()) {
    if (fd >= 0) ::close(fd);
    if (wakeFd >= 0) ::close(wakeFd);
    throw ESysError(QString::fromLatin1(call), error, path);
}

void Configure(termios& tio) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    // Many Linux drivers start with XON/XOFF on; the port must pass 0x11 and
    // 0x13 through like any other byte.
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Reads return at once with what is there; the read loop does its own
    // waiting, so a stop is never held up by a read.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

void DrainWake(int wakeFd) {
    std::uint64_t count = 0;
    while (::read(wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

// The poll() time-out left until deadline; -1 (none) for time_point::max().
int RemainingMs(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return -1;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    // Round up, so a wait never ends before its time.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// poll() that sleeps out its whole time even when a signal interrupts it.
int PollUntil(pollfd* fds, nfds_t count, Clock::time_point deadline) {
    for (;;) {
        const int result = ::poll(fds, count, RemainingMs(deadline));
        if (result >= 0 || errno != EINTR) return result;
    }
}

// A device node removed under an open port (an unplugged adapter) leaves the
// open inode without links.
bool NodeGone(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_nlink == 0;
}

}  // namespace

TComHandle SerialOpen(const QString& path) {
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) Fail("CreateFile", errno, -1, -1);

    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) Fail("CreateFile", errno, -1, wakeFd, path);

    // The lock is what keeps a second open out when the program runs as root,
    // whom TIOCEXCL does not stop. It is taken before TIOCEXCL so that a
    // failed open never marks a port that someone else holds.
    // Another holder of the lock has the port: it is busy, as the exclusive
    // open reports it to everyone but root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        Fail("CreateFile", errno == EWOULDBLOCK ? EBUSY : errno, fd, wakeFd, path);
    ::ioctl(fd, TIOCEXCL);

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) Fail("GetCommState", errno, fd, wakeFd, path);
    Configure(tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) Fail("SetCommState", errno, fd, wakeFd, path);

    // A pseudo-terminal has no modem lines and answers ENOTTY or EINVAL.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        Fail("SetCommState", errno, fd, wakeFd, path);

    ::tcflush(fd, TCIOFLUSH);
    return TComHandle{fd, wakeFd};
}

void SerialClose(TComHandle handle) {
    if (handle.IsValid()) {
        ::ioctl(handle.Fd, TIOCNXCL);
        ::flock(handle.Fd, LOCK_UN);
        ::close(handle.Fd);
    }
    if (handle.WakeFd >= 0) ::close(handle.WakeFd);
}

void SerialPurge(TComHandle handle, TPurge what) {
    if (!handle.IsValid()) return;
    ::tcflush(handle.Fd, what == TPurge::Input ? TCIFLUSH : TCIOFLUSH);
}

int SerialBytesWaiting(TComHandle handle) {
    if (!handle.IsValid()) return -1;
    int count = 0;
    if (::ioctl(handle.Fd, FIONREAD, &count) != 0) return -1;
    return count;
}

std::ptrdiff_t SerialRead(TComHandle handle, char* buffer, std::ptrdiff_t maxBytes) {
    if (!handle.IsValid()) return -1;
    if (maxBytes <= 0) return 0;
    for (;;) {
        const ssize_t got = ::read(handle.Fd, buffer, static_cast<size_t>(maxBytes));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

TSerialWait SerialWait(TComHandle handle, int milliseconds, TPortState state) {
    const bool limited = milliseconds >= 0;
    const Clock::time_point deadline =
        limited ? Clock::now() + std::chrono::milliseconds(milliseconds) : Clock::time_point::max();
    if (!handle.IsValid()) {
        if (limited) PollUntil(nullptr, 0, deadline);
        return TSerialWait::Lost;
    }

    // A lost device is left out: it would report itself ready at once, for
    // ever.
    pollfd fds[2] = {{handle.WakeFd, POLLIN, 0}, {handle.Fd, POLLIN, 0}};
    PollUntil(fds, state == TPortState::Open ? 2 : 1, deadline);

    if (fds[0].revents & POLLIN) {
        DrainWake(handle.WakeFd);
        return TSerialWait::Cancelled;
    }
    if (state == TPortState::Lost) return TSerialWait::Lost;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return TSerialWait::Lost;
    if (fds[1].revents & POLLIN) return TSerialWait::Readable;
    return NodeGone(handle.Fd) ? TSerialWait::Lost : TSerialWait::TimedOut;
}

void SerialCancel(TComHandle handle) {
    if (handle.WakeFd < 0) return;
    const std::uint64_t one = 1;
    while (::write(handle.WakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}
