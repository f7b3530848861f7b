#include "console/KeyThread.h"

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace zen::console {

namespace {

// The highest real-time priority this process may take without privileges, after raising its
// own soft limit as far as the hard limit allows; 0 when it may take none.
int permittedPriority(int wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) != 0) return 0;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < static_cast<rlim_t>(wanted) &&
        (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > limit.rlim_cur)) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY
                             ? static_cast<rlim_t>(wanted)
                             : std::min(limit.rlim_max, static_cast<rlim_t>(wanted));
        setrlimit(RLIMIT_RTPRIO, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY) return wanted;
    return static_cast<int>(std::min(limit.rlim_cur, static_cast<rlim_t>(wanted)));
}

void raisePriority(int wanted) {
    // A privileged process may go past its limit; otherwise the limit is what may be had.
    for (int priority : {wanted, permittedPriority(wanted)}) {
        if (priority < 1) continue;
        sched_param parameters{};
        parameters.sched_priority = priority;
        // Programs the console starts begin at normal priority again.
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &parameters) ==
            0)
            return;
    }
}

} // namespace

KeyThread::KeyThread() {
    setObjectName(QStringLiteral("keys"));
}

KeyThread::~KeyThread() {
    end();
}

void KeyThread::begin() {
    if (isRunning()) return;
    start();
    ready_.acquire();
}

void KeyThread::end() {
    if (!isRunning()) return;
    quit();
    wait();
}

void KeyThread::run() {
    raisePriority(kPriority);
    QObject context;
    context_ = &context;
    ready_.release();
    exec();
    context_ = nullptr;
}

void KeyThread::runHere(const std::function<void()>& work) {
    if (!isRunning() || currentThread() == this || !context_) {
        work();
        return;
    }
    QMetaObject::invokeMethod(context_.load(), work, Qt::BlockingQueuedConnection);
}

void KeyThread::post(std::function<void()> work) {
    if (QObject* context = context_.load())
        QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

} // namespace zen::console
