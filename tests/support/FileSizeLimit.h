#pragma once

// Header only and free of Qt, so that every test program, the pure cores'
// included, can use it.
#include <csignal>

#include <sys/resource.h>

// Lowers the largest file this process may write for one scope, as a full
// disk stops a write: past the limit a write fails with EFBIG instead of
// raising SIGXFSZ. The limit and the signal's handler are put back after.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        FHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = FSaved;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit FSaved{};
    void (*FHandler)(int) = nullptr;
};
