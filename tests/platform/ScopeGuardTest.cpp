// The scope guard: the clean-up runs on every way out, and a failing
// clean-up never replaces the failure that is already leaving the scope.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/core/ScopeGuard.h"

namespace {

TEST(ScopeGuard, RestoresTheFlagOnReturnAndOnThrow) {
    bool busy = false;
    auto run = [&busy](bool fail) {
        busy = true;
        const TScopeGuard idle([&busy] { busy = false; });
        if (fail) throw std::runtime_error("step failed");
    };
    run(false);
    EXPECT_FALSE(busy);
    EXPECT_THROW(run(true), std::runtime_error);
    EXPECT_FALSE(busy);
}

TEST(ScopeGuard, FailingCleanUpReachesTheCallerOnlyWhenNothingElseFailed) {
    auto run = [](bool fail) {
        const TScopeGuard cleanUp([] { throw std::logic_error("clean-up failed"); });
        if (fail) throw std::runtime_error("step failed");
    };
    EXPECT_THROW(run(false), std::logic_error);
    // The step's failure is the one reported, and the program lives on.
    EXPECT_THROW(run(true), std::runtime_error);
}

}  // namespace
