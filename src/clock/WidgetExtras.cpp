// The clock window's extras: the stock menu and the clicked stock of the 防跳票 switch, the
// appearance dialog with its live preview, the eye-care dimmer, start at login, the about box and
// the customer-service dialog.

#include "clock/Widget.h"

#include "clock/dialogs/AboutDialog.h"
#include "clock/dialogs/CustomerServiceDialog.h"
#include "clock/dialogs/DimmerWidget.h"
#include "clock/dialogs/SetDlg.h"
#include "clock/stocks/ClipboardWatcher.h"
#include "clock/stocks/StockLookup.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "platform/api/Platform.h"
#include "trade/Clicker.h"
#include "trade/ProcessUtils.h"
#include "trade/StockRules.h"
#include "trade/WindowUtils.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QThread>
#include <QVBoxLayout>

#include <stdexcept>

// ---------------------------------------------------------------- stock lookup

namespace {

const char* const kTdxMainClass = "TdxW_MainFrame_Class";
const int kTdxCopyLimitMs = 1000;
const int kClickWatchLimitMs = 1500;
const int kThsLookupLimitMs = 3000;

} // namespace

void Widget::connectStockMenu()
{
    // Link entries carry their template; it is filled in when the entry is chosen.
    connect(m_stockMenu, &QMenu::triggered, this, [this](QAction* action) {
        const QString urlTemplate = action->data().toString();
        if (!urlTemplate.isEmpty())
            openPage(buildUrl(urlTemplate));
    });
}

void Widget::showStockContextMenu()
{
    m_currentStock.code.clear();
    QMenu* menu = stockMenu();
    menu->clear();
    platform::Desktop* desktop = platform::services().desktop;
    const trade::HWND foreground = desktop ? desktop->foregroundWindow() : 0;
    if (!foreground)
        return;

    if (WindowUtils::getWindowText(foreground).startsWith(QStringLiteral("同花顺"))) {
        QString code;
        if (!m_processUtils->readThsStockCode(code) || code.isEmpty())
            return;
        QString name = m_stockTable.lookupStockName(code);
        if (name.isEmpty()) {
            QString holdingCode;
            if (!getThsStockCode(foreground, holdingCode, name))
                return;
            // The window may already show another stock than the memory did: a name is kept
            // only under its own code.
            if (holdingCode != code) {
                qDebug().noquote() << "持股机构窗口的代码与内存中的不同:" << holdingCode << code;
                return;
            }
            m_stockTable.insert(code, name);
            if (m_stockTable.addStock(code, name, m_stockDatabasePath))
                qDebug().noquote() << "更新数据库成功";
        }
        m_currentStock.code = code;
        m_currentStock.name = name;
    } else if (WindowUtils::getClassName(foreground) == QLatin1String(kTdxMainClass)) {
        if (!copyTdxStockCode(foreground, kTdxCopyLimitMs))
            return;
        if (!StockLinks::parseClipboardText(QGuiApplication::clipboard()->text(), m_currentStock.code,
                                            m_currentStock.name))
            return;
    } else {
        // Neither client: the window in front can be pinned above the others or released.
        menu->addAction(QIcon(QStringLiteral(":/img/settop.png")), QStringLiteral("置顶显示"), this,
                        [foreground] { WindowUtils::setTopMost(foreground); });
        menu->addAction(QIcon(QStringLiteral(":/img/stoptop.png")), QStringLiteral("取消置顶"), this,
                        [foreground] { WindowUtils::cancelTopMost(foreground); });
    }
    if (!m_currentStock.code.isEmpty()) {
        m_currentStock.marketCode = StockRules::marketForm(m_currentStock.code);
        StockLinks::addLinkEntries(menu, m_currentStock, now());
    }
    menu->setStyleSheet(StockLinks::menuStyleSheet());
    menu->popup(QCursor::pos());
}

QUrl Widget::buildUrl(const QString& urlTemplate) const
{
    return StockLinks::buildUrl(urlTemplate, m_currentStock);
}

bool Widget::getThsStockCode(trade::HWND hwnd, QString& code, QString& name)
{
    return StockLookup::getThsStockCode(hwnd, code, name, kThsLookupLimitMs);
}

bool Widget::copyTdxStockCode(trade::HWND hwnd, int limitMs)
{
    return StockLookup::copyTdxStockCode(hwnd, limitMs);
}

void Widget::copyToClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

void Widget::getClipboardText()
{
    emit clipboardTextReady(QGuiApplication::clipboard()->text());
}

void Widget::onClipboardTextChanged(const QString& text)
{
    QString code;
    QString name;
    if (StockLinks::parseClipboardText(text, code, name) && code != m_clickedStockCode)
        m_clickedStockCode = code;
}

void Widget::onTradingClientClick(trade::WPARAM hwnd)
{
    try {
        if (!m_connectionManager || !m_connectionManager->getTradeState() || !m_stockCheck ||
            m_clicker->isRunning())
            return;
        const trade::HWND window = trade::toHwnd(hwnd);
        if (!window) {
            m_clickedStockCode.clear();
            return;
        }
        if (WindowUtils::getClassName(window) == QLatin1String(kTdxMainClass))
            startClipboardWatch(window);
    } catch (const std::exception& e) {
        qDebug().noquote() << "Caught an exception:" << e.what();
    } catch (...) {
        qDebug().noquote() << "Caught an unknown exception";
    }
}

void Widget::startClipboardWatch(trade::HWND window)
{
    auto* thread = new QThread;
    auto* watcher = new ClipboardWatcher(this);
    connect(watcher, &ClipboardWatcher::requestClipboardText, this, &Widget::getClipboardText);
    connect(this, &Widget::clipboardTextReady, watcher, &ClipboardWatcher::onClipboardTextReady);
    connect(watcher, &ClipboardWatcher::clipboardTextChanged, this, &Widget::onClipboardTextChanged);
    connect(watcher, &ClipboardWatcher::timeout, this,
            [] { qDebug().noquote() << "Clipboard monitoring timed out."; });
    const trade::WPARAM target = trade::toWParam(window);
    connect(thread, &QThread::started, watcher, [watcher, target] { watcher->start(target, kClickWatchLimitMs); });
    connect(watcher, &ClipboardWatcher::clipboardTextChanged, thread, &QThread::quit);
    connect(watcher, &ClipboardWatcher::timeout, thread, &QThread::quit);
    connect(thread, &QThread::finished, watcher, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    watcher->moveToThread(thread);
    thread->start();
}

// ---------------------------------------------------------------- appearance dialog

void Widget::slot_action_set_clicked()
{
    if (!m_setDlg)
        m_setDlg = new SetDlg(this);
    connect(m_setDlg, &SetDlg::fontChanged, this, &Widget::onFontChanged, Qt::UniqueConnection);
    connect(m_setDlg, &SetDlg::fontColorChanged, this, &Widget::onFontColorChanged, Qt::UniqueConnection);
    connect(m_setDlg, &SetDlg::backgroundColorChanged, this, &Widget::onBackgroundColorChanged,
            Qt::UniqueConnection);
    connect(m_setDlg, &SetDlg::backgroundAlphaChanged, this, &Widget::onBackgroundAlphaChanged,
            Qt::UniqueConnection);
    if (m_setDlg->exec() != QDialog::Accepted)
        return; // Esc: what was chosen stays in the store, unsaved, and on the clock
    restyleLabels();
    m_layout->setSpacing(0);
    adjustSize();
    ConfigManager::instance()->saveConfig();
}

void Widget::onFontChanged(const QFont& font)
{
    ConfigManager* config = ConfigManager::instance();
    restyleLabels(font, config->fontColor(), config->backgroundColor(), config->backgroundAlpha());
    adjustSize();
}

void Widget::onFontColorChanged(const QColor& color)
{
    ConfigManager* config = ConfigManager::instance();
    restyleLabels(config->font(), color, config->backgroundColor(), config->backgroundAlpha());
}

void Widget::onBackgroundColorChanged(const QColor& color)
{
    ConfigManager* config = ConfigManager::instance();
    restyleLabels(config->font(), config->fontColor(), color, config->backgroundAlpha());
}

void Widget::onBackgroundAlphaChanged(int alpha)
{
    ConfigManager* config = ConfigManager::instance();
    restyleLabels(config->font(), config->fontColor(), config->backgroundColor(), alpha);
}

// ---------------------------------------------------------------- eye-care, autostart, about, support

const char16_t* const Widget::kAutostartEntry = u"ZENTRIKCLOCK";

void Widget::onDimScreenTriggered()
{
    m_dimmerShown = !m_dimmerShown;
    if (m_dimmerShown) {
        if (!m_dimmer) {
            m_dimmer = new DimmerWidget;
            m_dimmer->show();
        }
    } else {
        onUndimScreenTriggered();
    }
    if (m_actionDim)
        m_actionDim->setIcon(QIcon(m_dimmerShown ? QStringLiteral(":/img/eyeon.png") : QStringLiteral(":/img/eyeoff.png")));
}

void Widget::onUndimScreenTriggered()
{
    if (!m_dimmer)
        return;
    m_dimmer->close();
    delete m_dimmer;
    m_dimmer = nullptr;
}

void Widget::applyAutostart()
{
    if (m_bootOnStartup)
        writeAutostart(true);
}

void Widget::writeAutostart(bool on)
{
    platform::Autostart* autostart = platform::services().autostart;
    if (!autostart)
        return;
    const std::u16string entry(kAutostartEntry);
    const bool done = on ? autostart->enable(entry, QDir::toNativeSeparators(QCoreApplication::applicationFilePath())
                                                        .toStdU16String())
                         : autostart->disable(entry);
    if (!done)
        qWarning().noquote() << (on ? "开机启动设置失败" : "取消开机启动失败");
}

void Widget::slot_action_about_clicked()
{
    AboutDialog box(this);
    box.exec();
}

void Widget::slot_action_customer_service_clicked()
{
    m_customerServiceDialog->show();
    m_customerServiceDialog->raise();
    m_customerServiceDialog->activateWindow();
}
