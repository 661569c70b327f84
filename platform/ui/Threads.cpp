// The main-thread queue and short-lived worker threads.
#include "platform/ui/Threads.h"

#include <exception>
#include <thread>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "platform/ui/Forms.h"

bool TThread::IsMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void TThread::Queue(TThread* ignored, std::function<void()> step) {
    Q_UNUSED(ignored);
    if (!step) return;
    if (IsMainThread()) {
        step();
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    // Queued calls to one object run in the order queued, and in order with
    // the messages posted meanwhile. On the main thread nobody is left to
    // catch an exception, so it is shown.
    QMetaObject::invokeMethod(
        app, [step = std::move(step)] { RunGuarded(step); }, Qt::QueuedConnection);
}

void TThread::TAnonymousThread::Start() {
    std::function<void()> work = std::move(FWork);
    delete this;
    std::thread([work = std::move(work)] {
        try {
            if (work) work();
        } catch (...) {
            // An exception must not end the program from a detached thread;
            // the main thread shows it instead.
            std::exception_ptr error = std::current_exception();
            Queue(nullptr, [error] { std::rethrow_exception(error); });
        }
    }).detach();
}

TThread::TAnonymousThread* TThread::CreateAnonymousThread(std::function<void()> work) {
    return new TAnonymousThread(std::move(work));
}
