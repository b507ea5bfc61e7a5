#include "trade/WindowUtils.h"

#include "platform/api/Platform.h"

#include <QApplication>
#include <QDebug>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <vector>

namespace WindowUtils {

namespace {

platform::Desktop* desktop()
{
    return platform::services().desktop;
}

QString fromBuffer(const std::vector<char16_t>& buffer, int length)
{
    if (length <= 0)
        return QString();
    return QString::fromUtf16(buffer.data(), qMin(length, int(buffer.size())));
}

QString cleanedButtonText(const QString& text)
{
    QString cleaned = text.simplified();
    cleaned.remove(QLatin1Char(' '));
    return cleaned;
}

bool clickAt(int x, int y, std::uint32_t downFlag, std::uint32_t upFlag)
{
    platform::Desktop* d = desktop();
    if (!d)
        return false;
    const platform::ScreenSize screen = d->screenSize();
    // A screen of unknown size would divide by zero.
    if (screen.width <= 0 || screen.height <= 0)
        return false;
    platform::Input inputs[2];
    inputs[0].type = platform::Input::Type::Mouse;
    inputs[0].flags = platform::mouseevent::Absolute | downFlag;
    inputs[0].dx = (65536 / screen.width) * x;
    inputs[0].dy = (65536 / screen.height) * y;
    inputs[1].type = platform::Input::Type::Mouse;
    inputs[1].flags = upFlag;
    return d->sendInput(inputs, 2) == 2;
}

void keyDownUp(int virtualKey)
{
    if (platform::Desktop* d = desktop()) {
        d->keybdEvent(static_cast<std::uint8_t>(virtualKey), false);
        d->keybdEvent(static_cast<std::uint8_t>(virtualKey), true);
    }
}

} // namespace

QString getClassName(HWND hwnd, int bufferSize)
{
    platform::Desktop* d = desktop();
    if (!d || bufferSize <= 0)
        return QString();
    std::vector<char16_t> buffer(bufferSize, u'\0');
    return fromBuffer(buffer, d->className(hwnd, buffer.data(), bufferSize));
}

QString getWindowText(HWND hwnd, int maxCount)
{
    platform::Desktop* d = desktop();
    if (!d || maxCount <= 0)
        return QString();
    std::vector<char16_t> buffer(maxCount + 1, u'\0');
    return fromBuffer(buffer, d->windowText(hwnd, buffer.data(), maxCount));
}

bool sendToClient(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                  std::intptr_t* result)
{
    platform::Desktop* d = desktop();
    if (!d || !d->isWindow(hwnd))
        return false;
    std::uintptr_t answer = 0;
    if (!d->sendMessageTimeout(hwnd, message, wParam, lParam, platform::smto::AbortIfHung, ClientReplyLimitMs,
                               &answer)) {
        qWarning().noquote() << "窗口未在" << ClientReplyLimitMs << "毫秒内响应消息，hwnd=" << hwnd
                             << "消息=" << QStringLiteral("0x%1").arg(message, 4, 16, QLatin1Char('0'));
        return false;
    }
    if (result)
        *result = static_cast<std::intptr_t>(answer);
    return true;
}

bool readControlText(HWND hwnd, QString& text)
{
    text.clear();
    std::vector<char16_t> buffer(32, u'\0');
    std::intptr_t copied = 0;
    if (!sendToClient(hwnd, platform::msg::GetText, buffer.size(),
                      reinterpret_cast<std::intptr_t>(buffer.data()), &copied))
        return false;
    text = fromBuffer(buffer, int(copied));
    return true;
}

QString getControlText(HWND hwnd)
{
    QString text;
    readControlText(hwnd, text);
    return text;
}

HWND findConfirmButton(HWND dialog)
{
    platform::Desktop* d = desktop();
    if (!d || !d->isWindow(dialog))
        return 0;
    static const QStringList confirmTexts = {QStringLiteral("买入"), QStringLiteral("卖出"),
                                             QStringLiteral("融资买入"), QStringLiteral("融券卖出")};
    for (const platform::WindowId child : d->childWindows(dialog)) {
        if (getClassName(child) != QLatin1String("Button"))
            continue;
        const QString text = getWindowText(child);
        if (!confirmTexts.contains(cleanedButtonText(text)))
            continue;
        // The clients' quantity and amount helpers carry 买入 in their labels too.
        if (text.contains(QStringLiteral("数量")) || text.contains(QStringLiteral("金额")))
            continue;
        if (!d->isWindowVisible(child) || !d->isWindowEnabled(child))
            continue;
        qDebug().noquote() << "找到确认按钮: " << text;
        return child;
    }
    return 0;
}

HWND findButtonByText(HWND dialog, const QString& text)
{
    platform::Desktop* d = desktop();
    if (!d)
        return 0;
    const QString wanted = text.trimmed();
    for (const platform::WindowId child : d->childWindows(dialog)) {
        if (!getClassName(child).contains(QLatin1String("Button"), Qt::CaseInsensitive))
            continue;
        if (getWindowText(child).trimmed() == wanted)
            return child;
    }
    return 0;
}

HWND findNthStatic(HWND dialog, int n, QString* text)
{
    platform::Desktop* d = desktop();
    if (!d || n < 0)
        return 0;
    int count = 0;
    for (const platform::WindowId child : d->childWindows(dialog)) {
        if (!getClassName(child).contains(QLatin1String("Static"), Qt::CaseInsensitive))
            continue;
        if (count++ == n) {
            if (text)
                *text = getWindowText(child, 256);
            return child;
        }
    }
    return 0;
}

HWND findNthEdit(HWND dialog, int n)
{
    platform::Desktop* d = desktop();
    if (!d || n < 0)
        return 0;
    HWND found = 0;
    for (int i = 0; i <= n; ++i) {
        found = d->findWindowEx(dialog, found, u"Edit", nullptr);
        if (!found)
            return 0;
    }
    return found;
}

QList<QPair<HWND, QString>> staticChildren(HWND dialog)
{
    QList<QPair<HWND, QString>> statics;
    platform::Desktop* d = desktop();
    if (!d)
        return statics;
    for (const platform::WindowId child : d->childWindows(dialog)) {
        if (getClassName(child) == QLatin1String("Static"))
            statics.append({child, getWindowText(child, 256)});
    }
    return statics;
}

HWND findDialogByTitle(const QString& text, platform::ProcessId pid)
{
    platform::Desktop* d = desktop();
    if (!d)
        return 0;
    for (const platform::WindowId window : d->topLevelWindows()) {
        if (!d->isWindowVisible(window) || getClassName(window) != QLatin1String("#32770"))
            continue;
        if (pid != 0 && d->windowProcessId(window) != pid)
            continue;
        if (getWindowText(window).contains(text))
            return window;
    }
    return 0;
}

HWND findWindowByTitlePrefix(const QString& prefix, QString* title)
{
    platform::Desktop* d = desktop();
    if (!d)
        return 0;
    for (const platform::WindowId window : d->topLevelWindows()) {
        const QString windowTitle = getWindowText(window);
        if (windowTitle.startsWith(prefix)) {
            if (title)
                *title = windowTitle;
            return window;
        }
    }
    return 0;
}

HWND findThsMainWindow(int type)
{
    platform::Desktop* d = desktop();
    if (!d)
        return 0;
    const bool classic = type == 11;
    const QString classPrefix = classic ? QStringLiteral("Afx:") : QStringLiteral("HwndWrapper");
    const QString titlePrefix = classic ? QStringLiteral("同花顺") : QStringLiteral("同花顺远航版");
    for (const platform::WindowId window : d->topLevelWindows()) {
        if (getClassName(window).startsWith(classPrefix) && getWindowText(window).startsWith(titlePrefix))
            return window;
    }
    return 0;
}

bool bringThsToFrontAndPressF12(int type)
{
    const HWND window = findThsMainWindow(type);
    platform::Desktop* d = desktop();
    if (!window || !d)
        return false;
    d->setWindowPos(window, platform::zorder::NoTopmost, 0, 0, 0, 0,
                    platform::swp::NoMove | platform::swp::NoSize);
    d->setForegroundWindow(window);
    d->bringWindowToTop(window);
    platform::services().clock->sleepMs(1000);
    // F12 goes to whatever window is in front: when Windows refused the switch (the foreground
    // lock) or the user went elsewhere meanwhile, it would reach another program.
    if (d->foregroundWindow() != window) {
        qDebug().noquote() << "同花顺未在前台，不发送 F12";
        return false;
    }
    sendKey(platform::vk::F12);
    return true;
}

bool isTopMost(HWND hwnd)
{
    platform::Desktop* d = desktop();
    return d && (d->windowExStyle(hwnd) & platform::exstyle::Topmost) != 0;
}

bool setTopMost(HWND hwnd)
{
    platform::Desktop* d = desktop();
    if (!hwnd || !d)
        return false;
    const bool placed = d->setWindowPos(hwnd, platform::zorder::Topmost, 0, 0, 0, 0,
                                        platform::swp::NoMove | platform::swp::NoSize);
    d->setForegroundWindow(hwnd);
    return placed;
}

bool cancelTopMost(HWND hwnd)
{
    platform::Desktop* d = desktop();
    if (!hwnd || !d)
        return false;
    return d->setWindowPos(hwnd, platform::zorder::NoTopmost, 0, 0, 0, 0,
                           platform::swp::NoMove | platform::swp::NoSize);
}

void pressEnter()
{
    keyDownUp(platform::vk::Return);
}

void pressEsc()
{
    keyDownUp(platform::vk::Escape);
}

void sendKey(int virtualKey)
{
    platform::Desktop* d = desktop();
    if (!d)
        return;
    platform::Input input;
    input.type = platform::Input::Type::Keyboard;
    input.vk = static_cast<std::uint16_t>(virtualKey);
    d->sendInput(&input, 1);
    platform::services().clock->sleepMs(5);
    input.flags = platform::keyevent::KeyUp;
    d->sendInput(&input, 1);
}

bool postCommand(HWND hwnd, std::uintptr_t wParam, std::intptr_t lParam)
{
    platform::Desktop* d = desktop();
    return d && d->postMessage(hwnd, platform::msg::Command, wParam, lParam);
}

bool leftClickAt(int x, int y)
{
    return clickAt(x, y, platform::mouseevent::LeftDown, platform::mouseevent::LeftUp);
}

bool middleClickAt(int x, int y)
{
    return clickAt(x, y, platform::mouseevent::MiddleDown, platform::mouseevent::MiddleUp);
}

HWND ownWindowId()
{
    if (QWidget* active = QApplication::activeWindow())
        return static_cast<HWND>(active->winId());
    const platform::Services& s = platform::services();
    platform::Desktop* host = s.hostDesktop;
    if (!host || !s.processes)
        return 0;
    const platform::ProcessId self = s.processes->currentProcessId();
    for (const platform::WindowId window : host->topLevelWindows()) {
        if (host->windowProcessId(window) != self || !host->isWindowVisible(window))
            continue;
        char16_t title[256] = {};
        char16_t className[256] = {};
        if (host->windowText(window, title, 256) > 0 && host->className(window, className, 256) > 0 &&
            QString::fromUtf16(className).startsWith(QLatin1String("Qt")))
            return window;
    }
    return 0;
}

void setMessageBoxButtonTexts(QMessageBox* box, const QString& yes, const QString& no)
{
    if (!box)
        return;
    if (QAbstractButton* button = box->button(QMessageBox::Yes))
        button->setText(yes);
    if (QAbstractButton* button = box->button(QMessageBox::No))
        button->setText(no);
}

} // namespace WindowUtils
