#pragma once

#include <functional>

// The run time's thread helpers.
class TThread {
public:
    // On the main thread runs `step` at once; from any other thread queues it
    // to the main thread, where queued steps run in the order queued. The
    // first argument is the class library's and is ignored.
    static void Queue(TThread* ignored, std::function<void()> step);
    // A short-lived detached worker, started by Start() and never waited for.
    class TAnonymousThread {
    public:
        explicit TAnonymousThread(std::function<void()> work) : FWork(std::move(work)) {}
        void Start();

    private:
        std::function<void()> FWork;
    };
    // The caller owns nothing: Start() hands the work to a detached thread
    // and frees the object.
    static TAnonymousThread* CreateAnonymousThread(std::function<void()> work);
    static bool IsMainThread();
};
