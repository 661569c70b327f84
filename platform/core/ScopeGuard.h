#pragma once

#include <exception>
#include <utility>

// Runs a clean-up when the enclosing scope ends, on every way out of it: a
// flag set for the length of a block is restored whether the block returns
// or throws.
//
// On a normal exit an exception from the clean-up reaches the caller. While
// the scope is left by an exception, that first exception is the one the
// caller gets: a second one from the clean-up is dropped, since letting it
// leave a destructor during unwinding would end the program.
template <class F>
class TScopeGuard {
public:
    explicit TScopeGuard(F cleanUp) : FCleanUp(std::move(cleanUp)) {}
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;

    ~TScopeGuard() noexcept(false) {
        if (std::uncaught_exceptions() == FUncaught) {
            FCleanUp();
            return;
        }
        // Unwinding already: the exception in flight is the failure to report.
        try {
            FCleanUp();
        } catch (...) {
        }
    }

private:
    F FCleanUp;
    int FUncaught = std::uncaught_exceptions();
};
