#include "trade/DesktopWatcher.h"

#include "platform/api/Clock.h"
#include "platform/api/Platform.h"
#include "trade/ForegroundRules.h"
#include "trade/StateMachine.h"
#include "trade/WindowUtils.h"

#include <QDebug>

#include <memory>
#include <mutex>

DesktopWatcher::DesktopWatcher(StateMachine* stateMachine, StockCheckEnabled stockCheckEnabled,
                               QObject* parent)
    : QThread(parent), m_stateMachine(stateMachine), m_stockCheckEnabled(std::move(stockCheckEnabled))
{
    // The signals carry trade::WPARAM across threads; unregistered, queued deliveries would fail.
    trade::registerMetaTypes();
    m_pollTimer.setInterval(PollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DesktopWatcher::checkCurrentWindow);
    if (m_stockCheckEnabled && m_stockCheckEnabled())
        m_pollTimer.start();
}

DesktopWatcher::~DesktopWatcher()
{
    stop();
}

void DesktopWatcher::stop()
{
    m_running = false;
    m_pollTimer.stop();
    requestInterruption();
    quit();
    wait();
}

void DesktopWatcher::setPolling(bool enabled)
{
    if (enabled)
        m_pollTimer.start(PollIntervalMs);
    else
        m_pollTimer.stop();
}

bool DesktopWatcher::isTradingWindow(trade::HWND, const QString& className, const QString& title)
{
    return ForegroundRules::isTradingWindow(className, title);
}

void DesktopWatcher::run()
{
    m_running = true;
    platform::Desktop* desktop = platform::services().desktop;
    if (!desktop) {
        m_running = false;
        return;
    }
    // Hook callbacks that the backend hands to the dispatcher run in this thread's event loop. The
    // dispatcher may be called from any thread, also while this thread winds down, so it reaches
    // the loop only through a guarded pointer that is cleared before the loop's context dies.
    struct LoopTarget
    {
        std::mutex mutex;
        QObject* context = nullptr;
    };
    QObject loopContext;
    const auto target = std::make_shared<LoopTarget>();
    target->context = &loopContext;
    const platform::Dispatcher dispatcher = [target](std::function<void()> task) {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (target->context)
            QMetaObject::invokeMethod(target->context, std::move(task), Qt::QueuedConnection);
    };
    std::unique_ptr<platform::ForegroundHook> hook = desktop->hookForeground(
        [this](platform::WindowId window) { onForegroundChanged(window); }, dispatcher);
    if (!hook) {
        std::lock_guard<std::mutex> lock(target->mutex);
        target->context = nullptr;
        m_running = false;
        return;
    }
    m_hooked = true;

    m_polledForeground = m_polledCandidate = desktop->foregroundWindow();
    if (const trade::HWND foreground = m_polledForeground) {
        classifyForegroundWindow(foreground, WindowUtils::getClassName(foreground, 256),
                                 WindowUtils::getWindowText(foreground, 1024));
    }
    QTimer foregroundPoll;
    foregroundPoll.setInterval(ForegroundTickMs);
    connect(&foregroundPoll, &QTimer::timeout, &loopContext, [this] { pollForeground(); });
    m_lastForegroundPollMs = platform::services().clock->monotonicMs();
    foregroundPoll.start();
    if (!isInterruptionRequested())
        exec();
    foregroundPoll.stop();

    // Removed here, on the thread that installed it (UnhookWinEvent refuses other threads).
    hook.reset();
    {
        std::lock_guard<std::mutex> lock(target->mutex);
        target->context = nullptr;
    }
    m_hooked = false;
    m_running = false;
}

void DesktopWatcher::pollForeground()
{
    const std::int64_t now = platform::services().clock->monotonicMs();
    if (now - m_lastForegroundPollMs < ForegroundPollMs)
        return;
    m_lastForegroundPollMs = now;
    platform::Desktop* desktop = platform::services().desktop;
    const trade::HWND foreground = desktop ? desktop->foregroundWindow() : 0;
    // A window counts once it has been in front at two polls in a row: by then every hook event
    // of the changes before it has been handled (this thread ran its loop for a whole interval),
    // so a late event of an earlier window never follows the poll's classification of a later
    // one. No window is in front for a moment while the foreground passes from one to the next.
    const bool settled = foreground && foreground == m_polledCandidate;
    m_polledCandidate = foreground;
    if (settled && foreground != m_polledForeground)
        onForegroundChanged(foreground);
}

void DesktopWatcher::onForegroundChanged(trade::HWND hwnd)
{
    // What the hook reported, the poll need not report again.
    m_polledForeground = hwnd;
    const QString className = WindowUtils::getClassName(hwnd);
    const QString title = WindowUtils::getWindowText(hwnd);
    if (isTradingWindow(hwnd, className, title)) {
        classifyForegroundWindow(hwnd, className, title);
        return;
    }
    // The shell's flyout host comes and goes over everything; it says nothing about the trade.
    if (className == QLatin1String("XamlExplorerHostIslandWindow"))
        return;
    m_last.hwnd = hwnd;
    m_stateMachine->setState(StateMachine::Idle);
}

void DesktopWatcher::classifyForegroundWindow(trade::HWND hwnd, const QString& className,
                                              const QString& title)
{
    if (!hwnd)
        return;
    platform::Desktop* desktop = platform::services().desktop;
    m_current = {hwnd, desktop ? desktop->windowProcessId(hwnd) : 0};
    if (m_current == m_last)
        return;

    m_stateMachine->setWindow(hwnd, className, title);
    const ForegroundVerdict verdict =
        ForegroundRules::classify(className, title, m_stateMachine->state(), [hwnd] {
            QStringList texts;
            for (const auto& child : WindowUtils::staticChildren(hwnd))
                texts.append(child.second);
            return texts;
        });
    if (verdict.setsState)
        m_stateMachine->setState(verdict.state);

    if (verdict.softwareId != 0) {
        if (verdict.state == StateMachine::ThsMain)
            qDebug().noquote() << "同花顺，THS_MAIN";
        else if (verdict.state == StateMachine::ThsYhMain)
            qDebug().noquote() << "同花顺，THSYH_MAIN";
        qDebug().noquote() << QStringLiteral("DesktopWatcher检测到软件激活: %1 (ID=%2, 子类型=%3)")
                                  .arg(verdict.softwareId == 1 ? QStringLiteral("同花顺")
                                                               : QStringLiteral("通达信"))
                                  .arg(verdict.softwareId)
                                  .arg(verdict.subtype);
        emit appActivated(verdict.softwareId, verdict.subtype);
    }
    emit desktopChanged(trade::toWParam(hwnd));
    m_last = m_current;
}

void DesktopWatcher::checkCurrentWindow()
{
    if (!m_stockCheckEnabled || !m_stockCheckEnabled())
        return;
    const trade::HWND window = m_stateMachine->window();
    const QString title = WindowUtils::getWindowText(window);
    const bool layoutPage = title.contains(QStringLiteral("版面"));
    switch (m_stateMachine->state()) {
    case StateMachine::TdxLayout:
        if (layoutPage)
            checkMouseStatus(window);
        else
            m_stateMachine->setState(StateMachine::TdxMain);
        break;
    case StateMachine::TdxMain:
        if (layoutPage)
            m_stateMachine->setState(StateMachine::TdxLayout);
        break;
    default:
        break;
    }
}

void DesktopWatcher::checkMouseStatus(trade::HWND hwnd)
{
    platform::Desktop* desktop = platform::services().desktop;
    if (!desktop)
        return;
    if (desktop->asyncKeyDown(platform::vk::LButton)) {
        m_mouseDown = true;
    } else if (m_mouseDown) {
        m_mouseDown = false;
        emit mouseClick(trade::toWParam(hwnd));
    }
}
