#include "clock/stocks/StockLookup.h"

#include "platform/api/Platform.h"
#include "trade/StockRules.h"
#include "trade/WindowUtils.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

namespace StockLookup {

namespace {

const int kPollMs = 100;

bool post(trade::HWND window, std::uint32_t message)
{
    platform::Desktop* desktop = platform::services().desktop;
    return desktop && desktop->postMessage(window, message, 0, 0);
}

// Runs poll every 100 ms until it returns true or limitMs pass.
void waitFor(int limitMs, const std::function<bool()>& poll)
{
    QEventLoop loop;
    QTimer pollTimer;
    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    QObject::connect(&pollTimer, &QTimer::timeout, &loop, [&] {
        if (poll())
            loop.quit();
    });
    QObject::connect(&limitTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    pollTimer.start(kPollMs);
    limitTimer.start(limitMs);
    loop.exec();
}

} // namespace

bool copyTdxStockCode(trade::HWND tdxWindow, int limitMs)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QString before = clipboard->text();
    post(tdxWindow, kCopyStockMessage);
    waitFor(limitMs, [&] { return clipboard->text() != before; });
    return clipboard->text() != before;
}

bool getThsStockCode(trade::HWND thsWindow, QString& code, QString& name, int limitMs)
{
    code.clear();
    name.clear();
    post(thsWindow, kHoldingWindowMessage);
    bool found = false;
    waitFor(limitMs, [&] {
        QString title;
        const trade::HWND holding = WindowUtils::findWindowByTitlePrefix(QStringLiteral("持股机构"), &title);
        if (!holding || title.isEmpty())
            return false;
        platform::Desktop* desktop = platform::services().desktop;
        desktop->setForegroundWindow(holding);
        if (desktop->isWindowVisible(holding)) {
            // Enter dismisses the window only when it is in front; where Windows refused the
            // switch (the foreground lock) it would reach another program: closed instead.
            if (desktop->foregroundWindow() == holding)
                WindowUtils::pressEnter();
            else
                desktop->postMessage(holding, platform::msg::Close, 0, 0);
        }
        found = StockRules::parseHoldingTitle(title, code, name);
        return true;
    });
    return found;
}

} // namespace StockLookup
