// The main-thread queue.
#include "platform/ui/Threads.h"

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
