#include "sim/practice/ChangeRelay.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <chrono>
#include <mutex>

namespace practice {

namespace {

const QEvent::Type kDeliver = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

struct ChangeRelay::Shared
{
    std::mutex mutex;
    ChangeRelay* target = nullptr; // null once the relay is gone
    bool pending = false;
    qint64 firstChangeNs = 0;
};

ChangeRelay::ChangeRelay(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->target = this;
}

ChangeRelay::~ChangeRelay()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->target = nullptr;
}

qint64 ChangeRelay::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::function<void()> ChangeRelay::trigger() const
{
    std::shared_ptr<Shared> shared = m_shared;
    return [shared] {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (!shared->target || shared->pending)
            return;
        shared->pending = true;
        shared->firstChangeNs = nowNs();
        // Posting under the lock: the relay cannot go in between (its destructor takes the lock).
        QCoreApplication::postEvent(shared->target, new QEvent(kDeliver));
    };
}

bool ChangeRelay::event(QEvent* event)
{
    if (event->type() != kDeliver)
        return QObject::event(event);
    qint64 since = 0;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->pending = false;
        since = m_shared->firstChangeNs;
    }
    emit changed(since);
    return true;
}

} // namespace practice
