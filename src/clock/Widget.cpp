#include "clock/Widget.h"

#include "clock/audio/SoundReminder.h"
#include "clock/audio/SpeechManager.h"
#include "clock/dialogs/CustomerServiceDialog.h"
#include "clock/dialogs/SetDlg.h"
#include "config/ConfigManager.h"
#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/Protocol.h"
#include "keyboardui/SettingsDialog.h"
#include "platform/api/Platform.h"
#include "resources/Resources.h"
#include "trade/Clicker.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/ForegroundClientCheck.h"
#include "trade/KeyboardReports.h"
#include "trade/OutcomeMessages.h"
#include "trade/ProcessUtils.h"
#include "trade/StockRules.h"
#include "trade/WindowUtils.h"
#include "tradeconfig/TdxCfgDlg.h"
#include "tradeconfig/ThsCfgDlg.h"
#include "tradeconfig/ThsMenu.h"
#include "tradeconfig/ThsPresetFiles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

const int kClockPeriodMs = 1000;
const int kWorkOffPeriodMs = 60000;
const int kFirstSwitchVerifyMs = 3000;
const int kSwitchVerifyMs = 300;
const int kTopKeepingMs = 30000;
const int kActivationStepMs = 100;

const std::uint32_t kTopFlags = platform::swp::NoSize | platform::swp::NoMove | platform::swp::ShowWindow;

const char* const kWeekdays[] = {"周一", "周二", "周三", "周四", "周五", "周六", "周日"};

const QString kSoundToThs = QStringLiteral(":/media/toths.wav");
const QString kSoundToTdx = QStringLiteral(":/media/totdx.wav");
const QString kSoundTradeOn = QStringLiteral(":/media/tradeon.wav");
const QString kSoundTradeOff = QStringLiteral(":/media/tradeoff.wav");

} // namespace

// ---------------------------------------------------------------- construction

Widget::Widget(QWidget* parent) : QWidget(parent)
{
    initResources();
    // Stock table: the stock lookup adds it here. The alarm and auto-switch flags start set.
    m_processUtils = new ProcessUtils(this);
    m_clicker = new Clicker(this);
    m_thsMenu = new ThsMenu(this, this);
    m_alarmEnabled = true;
    m_autoSwitch = true;

    buildInterface();
    setWindowFlags(Qt::FramelessWindowHint | Qt::SubWindow);
    setAttribute(Qt::WA_QuitOnClose);
    setAttribute(Qt::WA_TranslucentBackground);

    // Where the THS client keeps the code of the stock in front (read by the stock lookup).
    m_processUtils->setOffset(QStringLiteral("0x1E96650"));
    m_customerServiceDialog = new CustomerServiceDialog(this);

    m_stockDatabasePath =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/stocks.db");

    // The keyboard comes first: without one the program ends before showing a clock.
    startKeyboardLink();
    applySettings();
    connectKeyboardLink();

    // The first check of the trading client in front comes 3 s after the start; the keyboard is
    // switched to the client in front when they differ.
    ForegroundClientCheck::Hooks hooks;
    hooks.keyboardSoftware = [this] { return m_connectionManager->activeSoftType(); };
    hooks.tradeState = [this] { return m_connectionManager->getTradeState(); };
    hooks.setSoftware = [this](int software) { m_connectionManager->switchSoftType(software); };
    hooks.autoSwitchEnabled = [] { return ConfigManager::instance()->autoSwitch(); };
    m_clientCheck = new ForegroundClientCheck(hooks, this);
    m_switchVerifyTimer = new QTimer(this);
    m_switchVerifyTimer->setSingleShot(true);
    connect(m_switchVerifyTimer, &QTimer::timeout, this, &Widget::onAppSwitchVerifyTimeout);
    m_periodicCheckTimer = new QTimer(this);
    connect(m_periodicCheckTimer, &QTimer::timeout, this, &Widget::onPeriodicCheckTimeout);
    m_switchVerifyTimer->start(kFirstSwitchVerifyMs);

    m_speechManager = new SpeechManager(this);
    m_speechManager->init();
    m_speechManager->setEnabled(m_speechEnabled);
    m_soundReminder = new SoundReminder(this);

    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &Widget::slot_timeout);
    m_clockTimer->start(kClockPeriodMs);
    m_workOffTimer = new QTimer();
    connect(m_workOffTimer, &QTimer::timeout, this, [this] { workOffCheck(now()); });
    m_workOffTimer->start(kWorkOffPeriodMs);
    // Show the time at once rather than an empty label for the first second.
    slot_timeout();

    registerHotkeys();

    if (QFile::exists(m_stockDatabasePath))
        m_stockTable.loadStockTable(m_stockDatabasePath);

    connect(qApp, &QCoreApplication::aboutToQuit, this, &Widget::onApplicationAboutToQuit);
}

Widget::~Widget()
{
    qDebug().noquote() << "Widget析构函数开始";
    stopAllTimers();
    unregisterHotkeys();
    stopKeyboardLink();
    // Gone while this window is still whole: nothing it says reaches a half-destroyed window.
    delete m_connectionManager;
    m_connectionManager = nullptr;
    onUndimScreenTriggered();
    hideTrayIcon(true);
    delete m_workOffTimer;
    m_workOffTimer = nullptr;
    qDebug().noquote() << "Widget析构函数完成";
}

void Widget::buildInterface()
{
    setObjectName(QStringLiteral("Widget"));
    resize(684, 217);
    setWindowIcon(QIcon(QStringLiteral(":/img/clock.png")));

    m_layout = new QVBoxLayout(this);
    m_layout->setObjectName(QStringLiteral("verticalLayout"));

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_label->setStyleSheet(QString());
    m_label->setScaledContents(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_layout->addWidget(m_label);

    m_labelInfo = new QLabel(this);
    m_labelInfo->setObjectName(QStringLiteral("labelInfo"));
    m_labelInfo->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    QFont infoFont(QStringLiteral("微软雅黑"));
    infoFont.setPointSize(12);
    m_labelInfo->setFont(infoFont);
    m_labelInfo->setScaledContents(true);
    m_labelInfo->setAlignment(Qt::AlignCenter);
    m_layout->addWidget(m_labelInfo);

    setWindowTitle(QStringLiteral("clock"));
    m_label->setText(QString());
    m_labelInfo->setText(QString());
}

void Widget::startKeyboardLink()
{
    m_connectionManager = new Core::ConnectionManager(this);
    m_connectionManager->initConnections();
    const bool multi = ConfigManager::instance()->multiKeyboardEnabled();
    m_connectionManager->setMultiKeyboardEnabled(multi);
    qDebug().noquote() << "Widget: 应用多键盘配置:" << (multi ? "启用" : "禁用");
    // main() turns this into a message box and ends the program.
    if (!m_connectionManager->isDeviceConnected())
        throw std::runtime_error("检测到键盘未接入,请先接入键盘");
}

void Widget::connectKeyboardLink()
{
    m_settingsDialog = new SettingsDialog(this);
    connect(m_connectionManager, &Core::ConnectionManager::sendKeyMapData, m_settingsDialog,
            &SettingsDialog::onKeyMapDataLoad);
    connect(m_connectionManager, &Core::ConnectionManager::updateDevState, this,
            &Widget::slot_update_dev_state);
    connect(m_connectionManager, &Core::ConnectionManager::appActivated, this, &Widget::onAppChanged);
    connect(m_connectionManager, &Core::ConnectionManager::appActivated, this, &Widget::onThsVariantChanged);
    connect(m_connectionManager, &Core::ConnectionManager::mouseClick, this, &Widget::onTradingClientClick);
    m_connectionManager->setStockCheck(m_stockCheck);
    connect(m_connectionManager, &Core::ConnectionManager::notice, this, &Widget::onNotice);
    EditBoxChangeWorker* worker = m_connectionManager->worker();
    connect(worker, &EditBoxChangeWorker::tradeCompleted, this, &Widget::onTradeCompleted);
    connect(worker, &EditBoxChangeWorker::requestOpenTestDialog, this, &Widget::openTestDialog);
    connect(worker, &EditBoxChangeWorker::requestShowConfigPrompt, this, &Widget::showConfigPrompt);
    connect(worker, &EditBoxChangeWorker::requestSwitchProfile, this, &Widget::showSwitchProfilePrompt);
}

void Widget::stopKeyboardLink()
{
    if (!m_connectionManager)
        return;
    m_connectionManager->stopThreads();
    m_connectionManager->disconnectActive();
    m_connectionManager->prepareShutdown();
}

void Widget::closeDialogs()
{
    if (m_setDlg)
        m_setDlg->close();
    if (m_thsCfgDlg)
        m_thsCfgDlg->close();
    if (m_settingsDialog)
        m_settingsDialog->close();
}

// ---------------------------------------------------------------- settings and style

void Widget::applySettings()
{
    ConfigManager* config = ConfigManager::instance();
    if (config->isWindowPositionUnset())
        config->setWindowPosition(defaultPosition());

    const QPoint position = config->windowPosition();
    const QSize size = config->windowSize();
    m_fixedPosition = config->fixedPosition();
    m_alwaysOnTop = config->alwaysOnTop();
    m_bootOnStartup = config->bootOnStartup();
    m_speechEnabled = config->ttsEnabled();
    m_alarmEnabled = config->alarmEnabled();
    m_autoSwitch = config->autoSwitch();
    m_stockCheck = config->stockCheck();

    move(position);
    resize(size);
    restyleLabels();

    m_layout->setSpacing(0);
    m_layout->setContentsMargins(0, 0, 0, 0);
    adjustSize();

    buildMenus();
}

void Widget::restyleLabels()
{
    ConfigManager* config = ConfigManager::instance();
    restyleLabels(config->font(), config->fontColor(), config->backgroundColor(), config->backgroundAlpha());
}

void Widget::restyleLabels(const QFont& font, const QColor& text, QColor background, int alpha)
{
    background.setAlpha(qBound(0, alpha, 255));
    applyLabelStyle(m_label, background, text, font);
    applyLabelStyle(m_labelInfo, background, text, infoFontFor(font));
}

QFont Widget::infoFontFor(const QFont& mainFont)
{
    QFont info(mainFont.family());
    info.setWeight(mainFont.weight());
    info.setItalic(mainFont.italic());
    const int size = mainFont.pointSize();
    if (size <= 14) {
        info.setPointSize(size);
    } else {
        const int third = size / 3;
        info.setPointSize(third < 15 ? 14 : third);
    }
    return info;
}

QString Widget::labelStyleSheet(const QColor& background, const QColor& text, const QFont& font)
{
    // One arg() call per text value: a family name containing "%1" must not be re-substituted.
    return QStringLiteral("background: rgba(%1, %2, %3, %4%); color: %5; font-size: %6pt; "
                          "font-family: %7; font-weight: %8; font-style: %9;")
        .arg(background.red())
        .arg(background.green())
        .arg(background.blue())
        .arg(background.alpha() / 255.0 * 100)
        .arg(text.name(), QString::number(font.pointSize()), font.family(),
             font.weight() == 75 ? QStringLiteral("bold") : QStringLiteral("normal"),
             font.style() != QFont::StyleNormal ? QStringLiteral("italic") : QStringLiteral("normal"));
}

void Widget::applyLabelStyle(QLabel* label, const QColor& background, const QColor& text, const QFont& font)
{
    label->setStyleSheet(labelStyleSheet(background, text, font));
}

QPoint Widget::defaultPosition() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    return QPoint(((available.width() - width()) * 3) / 5, available.top() + 100);
}

// ---------------------------------------------------------------- clock

QDateTime Widget::now() const
{
    return QDateTime::fromMSecsSinceEpoch(platform::services().clock->nowMs());
}

void Widget::slot_timeout()
{
    clockTick(now());
}

void Widget::clockTick(const QDateTime& now)
{
    const int weekday = now.date().dayOfWeek();
    if (weekday != m_cachedWeekday && weekday >= 1 && weekday <= 7) {
        m_cachedWeekday = weekday;
        m_weekdayText = QString::fromUtf8(kWeekdays[weekday - 1]);
    }
    QString pattern = ConfigManager::instance()->timeType();
    if (pattern.isEmpty())
        pattern = QStringLiteral("hh:mm:ss");
    m_clockText = now.toString(pattern) + m_weekdayText;
    m_label->setText(m_clockText);

    if (m_alarmEnabled && weekday >= 1 && weekday <= 5)
        handOffToSoundReminder(now.time());
}

bool Widget::isWorkOffTime(const QTime& time)
{
    const int h = time.hour();
    const int m = time.minute();
    return (h == 11 && m == 31) || (h == 15 && m == 10) || (h == 15 && m == 31);
}

bool Widget::workOffCheck(const QDateTime& now)
{
    // Every day of the week: a keyboard left in trading mode over a weekend is switched off too.
    if (!isWorkOffTime(now.time()))
        return false;
    switchKeyboardsOffWork();
    return true;
}

void Widget::onAppChanged(int softwareId, int subtype)
{
    if (!ConfigManager::instance()->autoSwitch())
        return;
    m_verifySoftwareId = softwareId;
    m_verifySubtype = subtype;
    // A burst of foreground changes gives one check, 300 ms after the last.
    if (m_switchVerifyTimer->isActive())
        m_switchVerifyTimer->stop();
    m_switchVerifyTimer->start(kSwitchVerifyMs);
}

void Widget::onAppSwitchVerifyTimeout()
{
    qDebug().noquote() << "Widget::onAppSwitchVerifyTimeout - 执行启动时股票软件检查";
    m_clientCheck->checkForegroundSoftware();
    if (!m_clientCheck->softwareFound()) {
        qDebug().noquote() << "首次检查未发现股票软件，启动周期性检查 (每5秒)";
        m_periodicCheckTimer->start(ForegroundClientCheck::PeriodicIntervalMs);
    }
}

void Widget::onPeriodicCheckTimeout()
{
    qDebug().noquote() << "Widget::onPeriodicCheckTimeout - 执行周期性股票软件检查";
    m_clientCheck->checkForegroundSoftware();
    if (m_clientCheck->softwareFound()) {
        qDebug().noquote() << "已检测到股票软件，停止周期性检查";
        m_periodicCheckTimer->stop();
    }
}

// ---------------------------------------------------------------- keyboard answers

QString Widget::statusText(const DataParser& state)
{
    QStringList parts;
    const QString soft = Protocol::softName(state.soft());
    parts << (soft.isEmpty() ? QStringLiteral("交易中") : soft + QStringLiteral(" | 交易中"));
    const QString speed = Protocol::speedName(state.speed());
    if (!speed.isEmpty())
        parts << speed;
    const QString price = Protocol::priceTypeName(state.priceType(), state.soft());
    if (!price.isEmpty())
        parts << price;
    return parts.join(QStringLiteral(" | "));
}

void Widget::showStatus(const DataParser& state)
{
    m_labelInfo->setText(statusText(state));
    adjustSize();
    qDebug().noquote() << "Widget: 状态栏:" << m_labelInfo->text();
}

void Widget::clearStatus()
{
    m_labelInfo->clear();
    adjustSize();
    qDebug().noquote() << "Widget: 状态栏已清除";
}

void Widget::playStatusSound(const QString& file)
{
    if (ConfigManager::instance()->ttsEnabled())
        m_soundReminder->playFile(file);
}

void Widget::slot_update_dev_state(DataParser* dataParser)
{
    if (!dataParser)
        return;
    if (dataParser->status() != 0) {
        reportTradeOutcome(*dataParser);
        return;
    }
    loadSettingsDialog(dataParser);
    const bool on = dataParser->workState();
    switch (dataParser->command()) {
    case Protocol::Cmd::SwitchSoft:
    case 0x31: // the software parameter
        if (on) {
            showStatus(*dataParser);
            if (dataParser->soft() == Protocol::Soft::Ths)
                playStatusSound(kSoundToThs);
            else if (dataParser->soft() == Protocol::Soft::Tdx)
                playStatusSound(kSoundToTdx);
        }
        refreshAllCheckMarks(*dataParser);
        break;
    case Protocol::Cmd::ToggleWorkState:
    case Protocol::Cmd::SetWorkState:
        m_connectionManager->onTradeStateChanged(on);
        refreshAllCheckMarks(*dataParser);
        if (on) {
            showStatus(*dataParser);
            playStatusSound(kSoundTradeOn);
        } else {
            clearStatus();
            playStatusSound(kSoundTradeOff);
        }
        break;
    case Protocol::Cmd::ReloadState:
    case Protocol::Cmd::DeviceInfo:
        if (on) {
            m_connectionManager->onTradeStateChanged(true);
            showStatus(*dataParser);
        } else {
            clearStatus();
        }
        refreshAllCheckMarks(*dataParser);
        break;
    case Protocol::Cmd::SpeedKey:
    case Protocol::Cmd::SetSpeed:
        refreshSpeedMarks(dataParser->speed());
        if (on)
            showStatus(*dataParser);
        break;
    case Protocol::Cmd::SetBuyIndex:
        refreshPriceTypeMarks(dataParser->priceType());
        if (on)
            showStatus(*dataParser);
        break;
    case Protocol::Cmd::TradeKeyUsed:
        if (on)
            speak(OutcomeMessages::tradeKeyUsedText(dataParser->keyFunctionName(), dataParser->reason(),
                                                    dataParser->elapsedMs()));
        break;
    case Protocol::Cmd::Confirmed:
        speak(QStringLiteral("已确认"));
        break;
    default:
        // The answers to the device parameters.
        if (const auto id = devParamFromCommand(dataParser->command())) {
            if (*id == DevParamId::BuyConfirm || *id == DevParamId::SellConfirm)
                trade_confirm_tip(dataParser, true);
            refreshKeyboardMenuMarks(*dataParser);
            refreshOrderMenuMarks(*dataParser);
        }
        break;
    }
}

// ---------------------------------------------------------------- keyboard settings dialog

void Widget::slot_action_devSetting_clicked()
{
    m_settingsDialog->loadDeviceValues();
    m_settingsDialog->loadForm();
    // The keyboard's answer loads the dialog once more, with what it holds now.
    m_connectionManager->reloadState();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    m_settingsDialog->move((available.width() - m_settingsDialog->width()) / 2,
                           (available.height() - m_settingsDialog->height()) / 2);
    m_settingsDialog->exec();
}

DataParser* Widget::activeDeviceState() const
{
    const RawHIDConnection* active = m_connectionManager ? m_connectionManager->activeConnection() : nullptr;
    return active ? active->dataParser() : nullptr;
}

void Widget::loadSettingsDialog(DataParser* dataParser)
{
    // With several keyboards the dialog shows and edits the active one only.
    if (!m_settingsDialog || dataParser != activeDeviceState())
        return;
    m_settingsDialog->loadDeviceValues();
    // A full state answer (the greeting, a reload) also resets what the form edits.
    if (dataParser->command() == Protocol::Cmd::ReloadState ||
        dataParser->command() == Protocol::Cmd::DeviceInfo)
        m_settingsDialog->loadForm();
}

QVariantMap Widget::deviceSettingsOf(const DataParser& state)
{
    return {{QStringLiteral("build"), state.build().toInt()},
            {QStringLiteral("trade"), state.tradeOnStartup()},
            {QStringLiteral("numlock"), state.numLock()},
            {QStringLiteral("cancel"), state.cancelAll()},
            {QStringLiteral("query"), state.queryKey()},
            {QStringLiteral("cost"), state.costStat()},
            {QStringLiteral("buyconfirm"), state.buyConfirm()},
            {QStringLiteral("sellconfirm"), state.sellConfirm()},
            {QStringLiteral("fnkey"), state.fnKey()},
            {QStringLiteral("soft"), state.soft()},
            {QStringLiteral("focus"), state.focus()},
            {QStringLiteral("speed"), state.speed()},
            {QStringLiteral("keydowndelay"), state.keyDownDelay()},
            {QStringLiteral("keyupdelay"), state.keyUpDelay()},
            {QStringLiteral("ledcolor"), state.ledColor()}};
}

QVariantMap Widget::deviceSettings() const
{
    const DataParser* state = activeDeviceState();
    return state ? deviceSettingsOf(*state) : QVariantMap();
}

QString Widget::deviceSerialNumber() const
{
    const DataParser* state = activeDeviceState();
    return state ? state->serialNumber() : QString();
}

QPoint Widget::focusPosition(int softType) const
{
    ConfigManager* config = ConfigManager::instance();
    return softType == Protocol::Soft::Ths ? config->thsPosition() : config->tdxPosition();
}

void Widget::setFocusPosition(int softType, const QPoint& position)
{
    ConfigManager* config = ConfigManager::instance();
    if (softType == Protocol::Soft::Ths)
        config->setThsPosition(position);
    else
        config->setTdxPosition(position);
    config->saveConfig();
}

bool Widget::setDeviceParameter(DevParamId paramId, const QVariant& value)
{
    return m_connectionManager->setDeviceParameter(paramId, value.toInt());
}

bool Widget::devSave()
{
    return m_connectionManager->devSave();
}

bool Widget::isDeviceConnected() const
{
    return m_connectionManager->isDeviceConnected();
}

void Widget::switchDeviceSoft(int softId)
{
    m_connectionManager->switchSoftType(softId);
}

void Widget::devReload()
{
    m_connectionManager->reloadState();
}

void Widget::keyMapReload()
{
    m_connectionManager->requestKeyMap();
}

bool Widget::setKeyMap(const QByteArray& keyMap)
{
    return m_connectionManager->writeKeyMap(keyMap);
}

void Widget::setMultiKeyboardEnabled(bool enabled)
{
    m_connectionManager->setMultiKeyboardEnabled(enabled);
}

void Widget::onNotice(int action, int reason)
{
    const QString text = OutcomeMessages::noticeText(action, reason);
    if (!text.isEmpty())
        speak(text);
}

void Widget::onTradeCompleted(int tradeType, int elapsedMs)
{
    // The worker has logged the time already; nothing else depends on it.
    Q_UNUSED(tradeType)
    Q_UNUSED(elapsedMs)
}

void Widget::speak(const QString& text)
{
    if (m_speechManager)
        m_speechManager->speak(text);
}


// ---------------------------------------------------------------- always on top

void Widget::applyAlwaysOnTop()
{
    platform::Desktop* host = platform::services().hostDesktop;
    if (!m_alwaysOnTop) {
        if (m_topTimer)
            m_topTimer->stop();
        if (host)
            host->setWindowPos(winId(), platform::zorder::NoTopmost, 0, 0, 0, 0, kTopFlags);
        setStaysOnTopHint(false);
        show();
        return;
    }
    setStaysOnTopHint(true);
    show();
    // After show(): changing the window flags may have replaced the native window.
    if (host)
        host->setWindowPos(winId(), platform::zorder::Topmost, 0, 0, 0, 0, kTopFlags);
    if (!m_topTimer) {
        m_topTimer = new QTimer(this);
        connect(m_topTimer, &QTimer::timeout, this, &Widget::checkAndMaintainTop);
    }
    m_topTimer->start(kTopKeepingMs);
}

void Widget::setStaysOnTopHint(bool on)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Qt treats a parentless sub-window as a window type of its own and drops quit-on-close
    // whenever the flags change.
    setAttribute(Qt::WA_QuitOnClose);
}

void Widget::checkAndMaintainTop()
{
    if (!m_alwaysOnTop) {
        if (m_topTimer)
            m_topTimer->stop();
        return;
    }
    platform::Desktop* host = platform::services().hostDesktop;
    if (!host)
        return;
    if (!(host->windowExStyle(winId()) & platform::exstyle::Topmost)) {
        qDebug().noquote() << "窗口失去置顶状态，重新设置置顶";
        host->setWindowPos(winId(), platform::zorder::Topmost, 0, 0, 0, 0, kTopFlags);
        if (!(windowFlags() & Qt::WindowStaysOnTopHint)) {
            setStaysOnTopHint(true);
            show();
        }
    }
    const platform::WindowId foreground = host->foregroundWindow();
    if (foreground != 0 && foreground != winId() &&
        (host->windowExStyle(foreground) & platform::exstyle::Topmost)) {
        qDebug().noquote() << "检测到其他置顶窗口，强制置顶";
        host->setWindowPos(winId(), platform::zorder::Topmost, 0, 0, 0, 0, kTopFlags);
    }
}

// ---------------------------------------------------------------- mouse

void Widget::mousePressEvent(QMouseEvent* event)
{
    m_pressOffset = event->pos();
    m_dragging = true;
}

void Widget::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && m_dragging && !m_fixedPosition)
        move(pos() + (event->pos() - m_pressOffset));
}

void Widget::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

void Widget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        toggleKeyboardWorkState();
    QWidget::mouseDoubleClickEvent(event);
}

void Widget::contextMenuEvent(QContextMenuEvent* event)
{
    showMainMenu(event->globalPos());
}

// ---------------------------------------------------------------- hooks of the later pieces

void Widget::switchKeyboardsOffWork()
{
    m_connectionManager->setWorkOff();
}

void Widget::toggleKeyboardWorkState()
{
    m_connectionManager->switchWorkState();
}

void Widget::handOffToSoundReminder(const QTime& time)
{
    m_soundReminder->checkAlarm(time);
}


void Widget::startAutoClicking()
{
    m_clicker->startAutoClicking();
}

// ---------------------------------------------------------------- hot keys

void Widget::registerHotkeys()
{
    platform::Hotkeys* hotkeys = platform::services().hotkeys;
    if (!hotkeys)
        return;
    using namespace platform;
    struct Binding
    {
        std::uint32_t modifiers;
        std::uint32_t key;
        void (Widget::*slot)();
        const char* name;
    };
    const Binding bindings[] = {
        {modifier::Control | modifier::Shift, vk::Space, &Widget::showContextMenu, "Ctrl+Shift+Space"},
        {modifier::Control, vk::Oem3, &Widget::showStockContextMenu, "Ctrl+`"},
        {modifier::Control | modifier::Shift, 'Z', &Widget::startAutoClicking, "Ctrl+Shift+Z"},
    };
    for (const Binding& b : bindings) {
        const auto slot = b.slot;
        const int id = hotkeys->registerHotkey(b.modifiers, b.key, [this, slot] { (this->*slot)(); });
        if (id > 0)
            m_hotkeyIds.append(id);
        else
            qWarning().noquote() << "全局热键注册失败:" << b.name;
    }
}

void Widget::unregisterHotkeys()
{
    platform::Hotkeys* hotkeys = platform::services().hotkeys;
    if (hotkeys) {
        for (int id : qAsConst(m_hotkeyIds))
            hotkeys->unregisterHotkey(id);
    }
    m_hotkeyIds.clear();
}

// ---------------------------------------------------------------- appearance and activation

void Widget::slot_action_reset_appearance_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    config->resetAppearance();
    restyleLabels();
    config->setWindowPosition(defaultPosition());
    move(config->windowPosition());
    config->saveConfig();
    qDebug().noquote() << "Appearance reset to defaults and applied";
}

void Widget::slot_action_save_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    config->setWindowPosition(pos());
    config->setAlwaysOnTop(m_alwaysOnTop);
    config->setFixedPosition(m_fixedPosition);
    config->setBootOnStartup(m_bootOnStartup);
    config->setTtsEnabled(m_speechEnabled);
    config->setAlarmEnabled(m_alarmEnabled);
    config->setAutoSwitch(m_autoSwitch);
    config->setStockCheck(m_stockCheck);
    if (m_connectionManager)
        emit m_connectionManager->reloadCfg();
    config->saveConfig();
}

void Widget::activateFromOtherInstance()
{
    qDebug().noquote() << "激活主窗口请求";
    slot_action_reset_appearance_clicked();
    QTimer::singleShot(kActivationStepMs, this, [this] {
        qDebug().noquote() << QStringLiteral("强制激活窗口 - 当前状态: hidden=%1, minimized=%2, visible=%3")
                                  .arg(isHidden() ? "true" : "false", isMinimized() ? "true" : "false",
                                       isVisible() ? "true" : "false");
        if (isHidden())
            show();
        if (isMinimized())
            showNormal();
        QTimer::singleShot(kActivationStepMs, this, &Widget::forceActivate);
    });
}

void Widget::forceActivate()
{
    platform::Desktop* host = platform::services().hostDesktop;
    if (!host) {
        raise();
        activateWindow();
        return;
    }
    const platform::WindowId id = winId();
    if (host->isIconic(id))
        host->showWindow(id, platform::sw::Restore);
    host->setForegroundWindow(id);
    host->bringWindowToTop(id);
    qDebug().noquote() << "执行Windows API窗口激活";
}

// ---------------------------------------------------------------- ending

void Widget::closeEvent(QCloseEvent* event)
{
    if (QApplication::activeModalWidget()) {
        qDebug().noquote() << "Modal dialog is active, ignoring close event";
        event->ignore();
        return;
    }
    if (QCoreApplication::closingDown()) {
        qDebug().noquote() << "System is shutting down, application is closing.";
        quickCleanup();
        event->accept();
        return;
    }
    qDebug().noquote() << "User requested to close the main application window.";
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    event->accept();
}

void Widget::slot_action_quit_clicked()
{
    qDebug().noquote() << "开始清理资源并退出应用程序";
    stopAllTimers();
    stopKeyboardLink();
    onUndimScreenTriggered();
    closeDialogs();
    slot_action_save_clicked();
    hideTrayIcon(true);
    QApplication::closeAllWindows();
    qDebug().noquote() << "资源清理完成，退出应用程序";
    QCoreApplication::quit();
}

void Widget::onApplicationAboutToQuit()
{
    qDebug().noquote() << "应用程序即将退出，检查退出原因";
    if (QCoreApplication::closingDown()) {
        qDebug().noquote() << "检测到系统关机或强制退出，执行快速清理";
        quickCleanup();
    }
    qDebug().noquote() << "onApplicationAboutToQuit 处理完成";
}

void Widget::quickCleanup()
{
    qDebug().noquote() << "系统关机，执行快速资源清理";
    stopAllTimers();
    stopKeyboardLink();
    onUndimScreenTriggered();
    closeDialogs();
    hideTrayIcon(false);
    qDebug().noquote() << "快速资源清理完成";
}

void Widget::hideTrayIcon(bool andDelete)
{
    if (!m_trayIcon)
        return;
    m_trayIcon->hide();
    if (andDelete) {
        m_trayIcon->deleteLater();
        m_trayIcon = nullptr;
    }
}

void Widget::stopAllTimers()
{
    for (QTimer* timer :
         {m_clockTimer, m_workOffTimer, m_switchVerifyTimer, m_periodicCheckTimer, m_topTimer}) {
        if (timer)
            timer->stop();
    }
}

bool Widget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && !qobject_cast<QMessageBox*>(watched)) {
        qDebug() << "Close event on:" << watched << "Sender:" << sender()
                 << "From thread:" << QThread::currentThread();
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- trading-client configuration

TdxCfgDlg* Widget::tdxConfigDialog()
{
    if (!m_tdxCfgDlg) {
        m_tdxCfgDlg = new TdxCfgDlg(this);
        connect(m_tdxCfgDlg, &TdxCfgDlg::configChanged, this, [this] {
            emit m_connectionManager->reloadCfg();
            qDebug().noquote() << "配置已重新加载到工作线程";
        });
    }
    return m_tdxCfgDlg;
}

bool Widget::runTdxConfigDialog(bool calibrationTab)
{
    TdxCfgDlg* dialog = tdxConfigDialog();
    dialog->prepareForShowing(calibrationTab);
    return dialog->exec() == QDialog::Accepted;
}

void Widget::slot_action_thsConfig_clicked()
{
    if (!m_thsCfgDlg) {
        m_thsCfgDlg = new ThsCfgDlg(this);
        connect(m_thsCfgDlg, &ThsCfgDlg::reflashThsMenu, this, &Widget::slot_reflash_ths_menu);
    }
    m_thsCfgDlg->showFor(m_thsMenu->softwareId());
}

void Widget::slot_reflash_ths_menu(QString actionName)
{
    if (!m_thsOrderMenu)
        return;
    const ThsMenu::FixedActions fixed = m_thsMenu->rebuild(m_thsOrderMenu, actionName);
    connect(fixed.thsConfig, &QAction::triggered, this, &Widget::slot_action_thsConfig_clicked);
    QAction* cancelAll = fixed.cancelAll;
    connect(cancelAll, &QAction::triggered, this, [this, cancelAll] { slot_action_cancelAll_clicked(cancelAll); });
}

void Widget::slot_action_ths_menu_clicked(QString jsonFile)
{
    m_thsMenu->applyConfiguration(jsonFile, m_thsMenu->softwareId());
}

void Widget::onThsVariantChanged(int softwareId, int subtype)
{
    // THS is software 1; its variants are 11 (同花顺) and 12 (同花顺远航版).
    if (softwareId != 1 || (subtype != 1 && subtype != 2))
        return;
    const int variant = 10 + subtype;
    if (variant == m_thsMenu->softwareId())
        return;
    m_thsMenu->setSoftwareId(variant);
    QString name;
    if (ThsPresetFiles::currentConfigurationName(
            ThsPresetFiles::thsInstallDirectory(variant) + QStringLiteral("xiadan.ini"), name))
        m_thsMenu->setCurrentConfigurationName(name);
}
