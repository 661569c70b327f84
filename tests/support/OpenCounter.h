#pragma once

// Header only, so that every test program, the pure cores' included, can use
// it.
#include <sys/inotify.h>
#include <unistd.h>

#include <QFile>
#include <QString>

// Counts the openings of one file by anyone, this process included. The
// closings are watched too: inotify merges an event into the one before it
// when they are alike, and an open always follows a close.
class TOpenCounter {
public:
    explicit TOpenCounter(const QString& path) {
        FFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (FFd >= 0)
            ::inotify_add_watch(FFd, QFile::encodeName(path).constData(), IN_OPEN | IN_CLOSE);
    }
    ~TOpenCounter() {
        if (FFd >= 0) ::close(FFd);
    }
    TOpenCounter(const TOpenCounter&) = delete;
    TOpenCounter& operator=(const TOpenCounter&) = delete;

    bool IsValid() const { return FFd >= 0; }
    // The openings since the last call.
    int Take() {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(FFd, buffer, sizeof buffer);
            if (n <= 0) return opens;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN) ++opens;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int FFd = -1;
};
