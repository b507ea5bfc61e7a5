#include "trade/ForegroundClientCheck.h"

#include "platform/api/Platform.h"
#include "trade/ForegroundRules.h"
#include "trade/WindowUtils.h"

#include <QDebug>

ForegroundClientCheck::ForegroundClientCheck(Hooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks))
{
    m_verifyTimer.setSingleShot(true);
    m_periodicTimer.setInterval(PeriodicIntervalMs);
    connect(&m_verifyTimer, &QTimer::timeout, this, &ForegroundClientCheck::onAppSwitchVerifyTimeout);
    connect(&m_periodicTimer, &QTimer::timeout, this, &ForegroundClientCheck::onPeriodicCheckTimeout);
}

void ForegroundClientCheck::start()
{
    m_verifyTimer.start(StartDelayMs);
}

void ForegroundClientCheck::checkForegroundSoftware()
{
    platform::Desktop* desktop = platform::services().desktop;
    const platform::WindowId foreground = desktop ? desktop->foregroundWindow() : 0;
    checkForegroundSoftware(WindowUtils::getClassName(foreground), WindowUtils::getWindowText(foreground));
}

void ForegroundClientCheck::checkForegroundSoftware(const QString& className, const QString& title)
{
    const int software = ForegroundRules::mainWindowSoftware(className, title);
    if (software == 0) {
        qDebug().noquote()
            << QStringLiteral("当前前台窗口不是股票软件 - 类名: %1, 标题: %2").arg(className, title);
        return;
    }
    m_softwareFound = true;
    const int previous = m_detectedSoftware;
    m_detectedSoftware = software;

    const int keyboard = m_hooks.keyboardSoftware ? m_hooks.keyboardSoftware() : 0;
    const bool trading = m_hooks.tradeState && m_hooks.tradeState();
    qDebug().noquote() << "软件检测结果:";
    qDebug().noquote() << QStringLiteral("  前台窗口: %1 (类名: %2)").arg(title, className);
    qDebug().noquote() << QStringLiteral("  键盘设置: %1")
                              .arg(keyboard == 2 ? QStringLiteral("通达信") : QStringLiteral("同花顺"));
    qDebug().noquote() << QStringLiteral("  交易状态: %1")
                              .arg(trading ? QStringLiteral("已开启") : QStringLiteral("未开启"));

    if (m_detectedSoftware != previous) {
        qDebug().noquote() << QStringLiteral("检测到软件切换: %1 -> %2")
                                  .arg(ForegroundRules::softwareName(previous),
                                       ForegroundRules::softwareName(m_detectedSoftware));
    }
    if (keyboard == m_detectedSoftware) {
        qDebug().noquote() << "键盘软件类型已匹配，无需切换";
        return;
    }
    qDebug().noquote() << QStringLiteral("键盘软件类型不匹配，执行自动切换: %1 -> %2")
                              .arg(ForegroundRules::softwareName(keyboard),
                                   ForegroundRules::softwareName(m_detectedSoftware));
    if (m_hooks.setSoftware)
        m_hooks.setSoftware(m_detectedSoftware);
}

void ForegroundClientCheck::onAppChanged(int, int)
{
    if (!m_hooks.autoSwitchEnabled || !m_hooks.autoSwitchEnabled())
        return;
    if (m_verifyTimer.isActive())
        m_verifyTimer.stop();
    m_verifyTimer.start(ActivationDelayMs);
}

void ForegroundClientCheck::onAppSwitchVerifyTimeout()
{
    qDebug().noquote() << "Widget::onAppSwitchVerifyTimeout - 执行启动时股票软件检查";
    checkForegroundSoftware();
    if (!m_softwareFound) {
        qDebug().noquote() << "首次检查未发现股票软件，启动周期性检查 (每5秒)";
        m_periodicTimer.start(PeriodicIntervalMs);
    }
}

void ForegroundClientCheck::onPeriodicCheckTimeout()
{
    qDebug().noquote() << "Widget::onPeriodicCheckTimeout - 执行周期性股票软件检查";
    checkForegroundSoftware();
    if (m_softwareFound) {
        qDebug().noquote() << "已检测到股票软件，停止周期性检查";
        m_periodicTimer.stop();
    }
}

void ForegroundClientCheck::checkCurrentSoftwareType()
{
    qDebug().noquote() << "手动触发软件类型检测";
    checkForegroundSoftware();
}

void ForegroundClientCheck::stopPeriodicCheck()
{
    if (m_periodicTimer.isActive()) {
        qDebug().noquote() << "停止周期性股票软件检查";
        m_periodicTimer.stop();
    }
}
