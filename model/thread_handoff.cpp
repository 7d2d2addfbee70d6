#include "thread_handoff.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <condition_variable>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
#define MORVANE_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVANE_THREAD_SANITIZER 1
#endif
#endif

#ifdef MORVANE_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace {

// One address per receiving thread, as Qt has one queue (and lock) per thread.
void posting_to([[maybe_unused]] QThread *receiving)
{
#ifdef MORVANE_THREAD_SANITIZER
    __tsan_release(receiving);
#endif
}

void received()
{
#ifdef MORVANE_THREAD_SANITIZER
    __tsan_acquire(QThread::currentThread());
#endif
}

class JobEvent : public QEvent
{
public:
    static Type kind()
    {
        static const Type registered = Type(registerEventType());
        return registered;
    }

    explicit JobEvent(std::function<void()> job)
        : QEvent(kind())
        , job(std::move(job))
    {
    }

    std::function<void()> job;
};

} // namespace

void ThreadHandOff::post(std::function<void()> job)
{
    if (thread() == QThread::currentThread()) {
        job();
        return;
    }
    auto *event = new JobEvent(std::move(job));
    posting_to(thread());
    QCoreApplication::postEvent(this, event);
}

void ThreadHandOff::post_and_wait(std::function<void()> job)
{
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    post([&] {
        job();
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ran.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    ran.wait(lock, [&] { return done; });
}

bool ThreadHandOff::event(QEvent *event)
{
    // Before the event is read: it was built on the posting thread.
    received();
    if (event->type() != JobEvent::kind())
        return QObject::event(event);
    static_cast<JobEvent *>(event)->job();
    return true;
}
