#pragma once

#include <QObject>

#include <functional>

// Runs jobs handed to it on its own thread, in the order they were handed
// over: at once when handed over on that thread, otherwise queued through
// Qt's event queue (as a queued QMetaObject::invokeMethod would).
//
// Why not invokeMethod: Debian's Qt is not built with ThreadSanitizer, so
// the lock of the receiving thread's queue is invisible to it and whatever
// a queued job carries would be reported as a race. Here the job is built
// whole first; then the poster releases the receiving thread
// (__tsan_release) and posts it, and the job acquires its thread
// (__tsan_acquire) before it is read: the edge the queue's lock makes, told
// to ThreadSanitizer. Without ThreadSanitizer the annotations are nothing.
class ThreadHandOff : public QObject
{
public:
    using QObject::QObject;

    void post(std::function<void()> job);
    // The same, and returns once the job has run (the thread waiting for it
    // is never this object's). The wait is a std::mutex, which
    // ThreadSanitizer sees: what the job did is ordered before the return,
    // where a thread's end through QThread::wait would not be.
    void post_and_wait(std::function<void()> job);

protected:
    bool event(QEvent *event) override;
};
