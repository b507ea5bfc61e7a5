// Linked into every program of a ZK_SANITIZE=thread build (cmake/ZkSanitize.cmake).
//
// Qt is not instrumented, and its QMutex waits on futexes the thread sanitizer cannot see. Two of
// Qt's hand-overs the program relies on are therefore invisible to it, and every access on either
// side of them would be reported as a race:
//  - QThread::wait(): what the thread did before it finished happens before wait() returns;
//  - a posted event (a queued signal, invokeMethod): what the sender did before posting happens
//    before the receiver's thread delivers it.
// This tells the sanitizer about both, and nothing else, so that its reports are about the
// program's own synchronisation.
#include <QCoreApplication>
#include <QThread>
#include <QVariant>

#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

namespace {

template <typename Function>
Function qtFunction(const char* symbol)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, symbol));
}

// Posted events: Qt wakes the receiving thread's GLib context after queuing the event, and
// delivers it through QCoreApplication::notifyInternal2 on that thread, which calls this.
extern "C" void* g_main_context_default();
extern "C" void* g_main_context_get_thread_default();

bool acquireBeforeDelivery(void**)
{
    void* context = g_main_context_get_thread_default();
    __tsan_acquire(context ? context : g_main_context_default());
    return false; // deliver as usual
}

[[maybe_unused]] const bool registered =
    QInternal::registerCallback(QInternal::EventNotifyCallback, acquireBeforeDelivery);

} // namespace

extern "C" void g_main_context_wakeup(void* context)
{
    static const auto wakeup = qtFunction<void (*)(void*)>("g_main_context_wakeup");
    __tsan_release(context ? context : g_main_context_default());
    wakeup(context);
}

void QThread::start(Priority priority)
{
    static const auto start = qtFunction<void (*)(QThread*, Priority)>("_ZN7QThread5startENS_8PriorityE");
    static const char* const kWatched = "zkTsanWatched";
    if (!property(kWatched).toBool()) {
        setProperty(kWatched, true);
        // finished is emitted on the thread itself, after run() returned.
        connect(this, &QThread::finished, this, [this] { __tsan_release(this); }, Qt::DirectConnection);
    }
    start(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline)
{
    static const auto wait = qtFunction<bool (*)(QThread*, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    const bool finished = wait(this, deadline);
    if (finished)
        __tsan_acquire(this);
    return finished;
}

bool QThread::wait(unsigned long time)
{
    static const auto wait = qtFunction<bool (*)(QThread*, unsigned long)>("_ZN7QThread4waitEm");
    const bool finished = wait(this, time);
    if (finished)
        __tsan_acquire(this);
    return finished;
}
