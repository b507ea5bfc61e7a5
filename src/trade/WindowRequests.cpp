#include "trade/WindowRequests.h"

#include "platform/api/Platform.h"
#include "trade/WindowUtils.h"

#include <QDebug>

namespace WindowRequests {

bool clickButton(trade::HWND button)
{
    platform::Desktop* d = platform::services().desktop;
    if (!button || !d || !d->isWindow(button)) {
        qDebug().noquote() << "按钮句柄无效，buttonHwnd=" << button;
        return false;
    }
    if (!d->isWindowVisible(button) || !d->isWindowEnabled(button))
        qDebug().noquote() << "警告：按钮可能不可见或已禁用，但仍尝试点击";

    const int id = d->dlgCtrlId(button);
    const trade::HWND parent = d->parentWindow(button);
    qDebug().noquote() << "=== 开始点击按钮 ===";
    qDebug().noquote() << "按钮句柄:" << button;
    qDebug().noquote() << "按钮ID:" << id;
    qDebug().noquote() << "父窗口:" << parent;
    // The GUI thread must never wait on a client that does not answer: it is bounded, and a
    // click without an answer does not count as made.
    bool answered = false;
    if (!parent || id < 1) {
        answered = WindowUtils::sendToClient(button, platform::msg::BmClick, 0, 0);
        qDebug().noquote() << "已发送 BM_CLICK 消息";
    } else {
        answered = WindowUtils::sendToClient(parent, platform::msg::Command,
                                             platform::makeCommandWParam(id, platform::notify::BnClicked),
                                             static_cast<std::intptr_t>(button));
        qDebug().noquote() << "已发送 WM_COMMAND 消息";
    }
    if (!answered)
        qWarning().noquote() << "客户端未响应点击，按钮:" << button;
    qDebug().noquote() << "=== 点击按钮流程结束 ===\n";
    return answered;
}

void closeWindow(trade::HWND window)
{
    const platform::Services& s = platform::services();
    platform::Desktop* d = s.desktop;
    if (!window || !d || !d->isWindow(window)) {
        qDebug().noquote() << "窗口句柄无效，hwnd=" << window;
        return;
    }
    const auto visibleText = [d](trade::HWND w) { return d->isWindowVisible(w) ? "是" : "否"; };
    qDebug().noquote() << "=== 开始关闭窗口 ===";
    qDebug().noquote() << "窗口句柄:" << window;
    qDebug().noquote() << "窗口标题:" << WindowUtils::getWindowText(window);
    qDebug().noquote() << "窗口可见:" << visibleText(window);
    qDebug().noquote() << "当前前台窗口:" << d->foregroundWindow();

    d->setForegroundWindow(window);
    d->setFocus(window);
    s.clock->sleepMs(50);
    const platform::WindowId foreground = d->foregroundWindow();
    qDebug().noquote() << "切换后前台窗口:" << foreground;

    // Esc goes to whatever window is in front. Windows refuses the switch to a program that is
    // not in front itself (the foreground lock), and the user may have clicked elsewhere since:
    // then the key would land in another program, so the window gets WM_CLOSE alone.
    if (foreground == window) {
        WindowUtils::pressEsc();
        qDebug().noquote() << "已发送 ESC 键";
        s.clock->sleepMs(100);
        if (!d->isWindow(window)) {
            qDebug().noquote() << "ESC键成功关闭窗口";
            qDebug().noquote() << "=== 关闭窗口流程结束 ===\n";
            return;
        }
        qDebug().noquote() << "ESC键未能关闭窗口，窗口还存在";
        qDebug().noquote() << "窗口是否可见:" << visibleText(window);
    } else {
        qDebug().noquote() << "窗口不在前台，不发送 ESC 键";
    }

    qDebug().noquote() << "尝试发送 WM_CLOSE 消息";
    d->postMessage(window, platform::msg::Close, 0, 0);
    s.clock->sleepMs(100);
    if (!d->isWindow(window)) {
        qDebug().noquote() << "WM_CLOSE 成功关闭窗口";
    } else {
        qDebug().noquote() << "WM_CLOSE 也未能关闭窗口";
        qDebug().noquote() << "窗口是否可见:" << visibleText(window);
    }
    qDebug().noquote() << "=== 关闭窗口流程结束 ===\n";
}

} // namespace WindowRequests
