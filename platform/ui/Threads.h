#pragma once

#include <functional>

// The run time's thread helpers.
class TThread {
public:
    // On the main thread runs `step` at once (an exception reaches the
    // caller); from any other thread queues it to the main thread, where
    // queued steps run in the order queued, in order with posted messages,
    // and an exception from one is shown by the application's default
    // handler. The first argument is the class library's and is ignored.
    static void Queue(TThread* ignored, std::function<void()> step);
    static bool IsMainThread();
};
