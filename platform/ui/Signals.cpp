#include "platform/ui/Signals.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

int PipeFds[2] = {-1, -1};

std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}

// Only async-signal-safe calls here: the byte wakes the main thread.
extern "C" void OnSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(PipeFds[1], &byte, 1);
    errno = saved;
}

void RestoreDefaults() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

void Drain() {
    char bytes[64];
    bool requested = false;
    while (::read(PipeFds[0], bytes, sizeof bytes) > 0) requested = true;
    if (!requested) return;
    RestoreDefaults();
    if (const std::function<void()> handler = Handler()) handler();
}

}  // namespace

void OnTerminationRequest(std::function<void()> handler) {
    Handler() = std::move(handler);
    if (PipeFds[0] >= 0) return;
    if (::pipe2(PipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;

    // Parented to the application, so it goes with it.
    auto* notifier =
        new QSocketNotifier(PipeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { Drain(); });

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}
