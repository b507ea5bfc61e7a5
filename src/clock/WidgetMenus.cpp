// The clock's menus, tray icon and the commands behind their entries.
//
// Keyboard entries never set their own check marks: they ask the keyboard, and the keyboard's
// answer sets the marks (WidgetOutcomes.cpp). Entries that open the dialogs of other parts of
// the program call those dialogs' slots.

#include "clock/Widget.h"

#include "clock/WebPages.h"
#include "clock/audio/SpeechManager.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/Protocol.h"
#include "tradeconfig/ThsMenu.h"
#include "trade/BuyAmountConfig.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QSystemTrayIcon>

namespace {

const QString kProfilePrefix = QStringLiteral("profile:");
const QString kProfileMenuPrefix = QStringLiteral("profile_menu:");

const QString kMenuStyleSheet = QStringLiteral(
    "QMenu { background-color: #f0f0f0; border: 1px solid #ccc; padding: 2px; }"
    "QMenu::item { padding: 3px 20px 3px 20px; }"
    "QMenu::item:selected { color: #e60012; background-color: #ccc; }"
    "QMenu::indicator { width: 16px; height: 16px; }"
    "QMenu::indicator:checked { image: url(:/img/reddot.png); }"
    "QMenu::item:checked { color: #e60012; }");

QString onOffIcon(bool on, const char* onIcon, const char* offIcon)
{
    return QString::fromLatin1(on ? onIcon : offIcon);
}

QRect primaryAvailable()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

// ---------------------------------------------------------------- building

QMenu* Widget::newMenu(const QString& title, const QString& icon, bool styled, bool bigFont)
{
    auto* menu = new QMenu(title, this);
    if (!icon.isEmpty())
        menu->setIcon(QIcon(icon));
    if (styled)
        applyMenuStyle(menu);
    if (bigFont) {
        QFont font = menu->font();
        font.setPointSize(12);
        menu->setFont(font);
    }
    return menu;
}

void Widget::applyMenuStyle(QMenu* menu)
{
    if (!m_menuStyle) {
        m_menuStyle = QStyleFactory::create(QStringLiteral("Fusion"));
        if (m_menuStyle)
            m_menuStyle->setParent(this);
    }
    if (m_menuStyle)
        menu->setStyle(m_menuStyle);
    menu->setStyleSheet(kMenuStyleSheet);
}

QAction* Widget::addEntry(QMenu* menu, const QString& text, const QString& icon, void (Widget::*slot)())
{
    QAction* action = menu->addAction(text);
    if (!icon.isEmpty())
        action->setIcon(QIcon(icon));
    connect(action, &QAction::triggered, this, slot);
    return action;
}

QAction* Widget::addEntry(QMenu* menu, const QString& text, const QString& icon, const QVariant& data,
                          void (Widget::*slot)(QAction*))
{
    QAction* action = menu->addAction(text);
    if (!icon.isEmpty())
        action->setIcon(QIcon(icon));
    action->setData(data);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, action, slot] { (this->*slot)(action); });
    return action;
}

void Widget::buildMenus()
{
    m_mainMenu = newMenu(QString(), QString(), false, true);
    m_stockMenu = newMenu(QString(), QString(), false, true);
    connectStockMenu();

    buildAppearanceMenu();
    m_actionSpeak = addEntry(m_mainMenu, QStringLiteral("播放语音"),
                             onOffIcon(m_speechEnabled, ":/img/voiceon.png", ":/img/voiceoff.png"),
                             &Widget::slot_action_speak_clicked);
    m_actionAlarm = addEntry(m_mainMenu, QStringLiteral("股市闹钟"),
                             onOffIcon(m_alarmEnabled, ":/img/alarmon1.png", ":/img/alarmoff.png"),
                             &Widget::slot_action_alarmclock_clicked);
    m_actionDim = addEntry(m_mainMenu, QStringLiteral("护眼模式"),
                           onOffIcon(m_dimmerShown, ":/img/eyeon.png", ":/img/eyeoff.png"),
                           &Widget::onDimScreenTriggered);
    m_mainMenu->addSeparator();

    applyAlwaysOnTop();
    applyAutostart();

    addEntry(m_mainMenu, QStringLiteral("大盘云图"), QStringLiteral(":/img/dapan.png"),
             &Widget::slot_action_openUrl_clicked);
    buildTradingMenu();
    buildPriceMenu();
    buildSpeedMenu();
    buildKeyboardMenu();
    addEntry(m_mainMenu, QStringLiteral("软件更新"), QStringLiteral(":/img/update.png"),
             &Widget::slot_action_update_clicked);
    addEntry(m_mainMenu, QStringLiteral("在线客服"), QStringLiteral(":/img/wechat.png"),
             &Widget::slot_action_customer_service_clicked);
    addEntry(m_mainMenu, QStringLiteral("关于"), QStringLiteral(":/img/about.png"),
             &Widget::slot_action_about_clicked);
    m_mainMenu->addSeparator();
    addEntry(m_mainMenu, QStringLiteral("退出"), QStringLiteral(":/img/quit.png"),
             &Widget::slot_action_quit_clicked);
    applyMenuStyle(m_mainMenu);

    buildTrayIcon();
}

void Widget::buildAppearanceMenu()
{
    m_appearanceMenu = newMenu(QStringLiteral("外观设置"), QStringLiteral(":/img/theme.png"), false, true);
    addEntry(m_appearanceMenu, QStringLiteral("置顶显示"), QStringLiteral(":/img/settop.png"),
             &Widget::slot_action_top_clicked);
    addEntry(m_appearanceMenu, QStringLiteral("调整外观"), QStringLiteral(":/img/color.png"),
             &Widget::slot_action_set_clicked);
    addEntry(m_appearanceMenu, QStringLiteral("默认外观"), QStringLiteral(":/img/reset.png"),
             &Widget::slot_action_reset_appearance_clicked);
    m_actionFixed = addEntry(m_appearanceMenu, QStringLiteral("固定位置"),
                             onOffIcon(m_fixedPosition, ":/img/nail_fixed.png", ":/img/nail.png"),
                             &Widget::slot_action_fixed_clicked);
    m_actionBoot = addEntry(m_appearanceMenu, QStringLiteral("开机启动"),
                            onOffIcon(m_bootOnStartup, ":/img/boot_2.png", ":/img/boot_1.png"),
                            &Widget::slot_action_boot_clicked);
    addEntry(m_appearanceMenu, QStringLiteral("保存配置"), QStringLiteral(":/img/save.png"),
             &Widget::slot_action_save_clicked);
    m_mainMenu->addMenu(m_appearanceMenu);
}

void Widget::buildTradingMenu()
{
    m_tradingMenu = newMenu(QStringLiteral("交易设置"), QStringLiteral(":/img/app.png"), true, false);
    m_connectionManager->setAutoSwitchSoft(m_autoSwitch);
    m_actionAutoSwitch = addEntry(m_tradingMenu, QStringLiteral("自动切换"), QString(),
                                  &Widget::slot_action_autoSwitch_clicked);
    m_actionAutoSwitch->setCheckable(true);
    m_actionAutoSwitch->setChecked(m_autoSwitch);
    m_actionAutoCheck = addEntry(m_tradingMenu, QStringLiteral("开启防跳票(通达信)"), QString(),
                                 &Widget::slot_action_autoCheck_clicked);
    m_actionAutoCheck->setCheckable(true);
    m_actionAutoCheck->setChecked(m_stockCheck);

    m_softwareGroup = new QActionGroup(this);
    m_softwareGroup->setExclusive(true);
    m_softwareGroup->addAction(addEntry(m_tradingMenu, QStringLiteral("同花顺交易"), QString(),
                                        Protocol::Soft::Ths, &Widget::slot_action_softIndex_clicked));
    m_softwareGroup->addAction(addEntry(m_tradingMenu, QStringLiteral("通达信交易"), QString(),
                                        Protocol::Soft::Tdx, &Widget::slot_action_softIndex_clicked));

    m_downloadMenu = newMenu(QStringLiteral("软件下载"), QStringLiteral(":/img/download.png"), false, false);
    const struct
    {
        const char* text;
        const char* icon;
        int code;
    } downloads[] = {
        {"同花顺软件下载", ":/img/hexin.ico", 1},
        {"通达信软件下载", ":/img/tdx.ico", 2},
        {"灵拓软件下载", ":/img/qe.ico", 9},
    };
    for (const auto& d : downloads) {
        QAction* action = addEntry(m_downloadMenu, QString::fromUtf8(d.text), QString::fromLatin1(d.icon),
                                   d.code, &Widget::slot_action_download_clicked);
        action->setCheckable(false);
    }
    m_tradingMenu->addMenu(m_downloadMenu);
    m_mainMenu->addMenu(m_tradingMenu);
}

void Widget::buildPriceMenu()
{
    m_priceMenu = newMenu(QStringLiteral("价格设置"), QStringLiteral(":/img/weituo.png"), false, false);
    m_thsOrderMenu = newMenu(QStringLiteral("同花顺委托"), QStringLiteral(":/img/hexin.ico"), true, false);
    loadThsOrderMenu();
    m_tdxOrderMenu = newMenu(QStringLiteral("通达信委托"), QStringLiteral(":/img/tdx.ico"), true, false);
    loadTdxOrderMenu();
    m_priceMenu->addMenu(m_thsOrderMenu);
    m_priceMenu->addMenu(m_tdxOrderMenu);
    m_mainMenu->addMenu(m_priceMenu);
}

void Widget::loadThsOrderMenu()
{
    addEntry(m_thsOrderMenu, QStringLiteral("一键全撤"), QString(), 56, &Widget::slot_action_cancelAll_clicked);
    m_thsOrderMenu->addSeparator();
    addEntry(m_thsOrderMenu, QStringLiteral("买入确认"), QString(), 43, &Widget::slot_action_buyConfirm_clicked);
    addEntry(m_thsOrderMenu, QStringLiteral("卖出确认"), QString(), 46, &Widget::slot_action_sellConfirm_clicked);
    m_thsOrderMenu->addSeparator();
    addEntry(m_thsOrderMenu, QStringLiteral("委托设置..."), QStringLiteral(":/img/hexin.ico"),
             &Widget::slot_action_thsConfig_clicked);
    m_thsOrderMenu->addSeparator();
    m_thsMenu->addConfigurationEntries(m_thsOrderMenu);
}

void Widget::loadTdxOrderMenu()
{
    ConfigManager* config = ConfigManager::instance();
    QMenu* menu = m_tdxOrderMenu;
    addEntry(menu, QStringLiteral("买入限制设置..."), QStringLiteral(":/img/tdx.png"),
             &Widget::slot_action_tdxConfig_clicked);
    menu->addSeparator();
    addEntry(menu, QStringLiteral("最高买入价%1元").arg(config->tdxBuyMaxPrice()), QString(), 1003,
             &Widget::slot_action_limitPrice_clicked)
        ->setChecked(config->tdxBuyMaxPriceLimitEnabled());
    addEntry(menu, QStringLiteral("最低买入价%1元").arg(config->tdxBuyMinPrice()), QString(), 1004,
             &Widget::slot_action_limitMinPrice_clicked)
        ->setChecked(config->tdxBuyMinPriceLimitEnabled());
    menu->addSeparator();

    // The amount presets: the one the limit uses is checked, 关闭限额限制 when no limit is in
    // force, nothing when the chosen preset is no longer offered.
    m_buyAmountGroup = new QActionGroup(menu);
    m_buyAmountGroup->setExclusive(true);
    QAction* noLimit = addEntry(menu, QStringLiteral("关闭限额限制"), QString(), -1,
                                &Widget::slot_action_quickSetAmount_clicked);
    m_buyAmountGroup->addAction(noLimit);
    menu->addSeparator();
    BuyAmountConfig& presets = BuyAmountConfig::instance();
    const bool limitEnabled = config->tdxBuyAmountLimitEnabled();
    const int currentIndex = presets.currentIndex();
    const QList<BuyAmountLimit> limits = presets.limits();
    QAction* current = nullptr;
    for (int i = 0; i < limits.size(); ++i) {
        const BuyAmountLimit& limit = limits.at(i);
        if (!limit.enabled)
            continue;
        const QString text =
            limit.name.isEmpty() ? QStringLiteral("最大%1元").arg(limit.amount) : limit.name;
        QAction* entry = addEntry(menu, text, QString(), limit.amount, &Widget::slot_action_quickSetAmount_clicked);
        m_buyAmountGroup->addAction(entry);
        if (limitEnabled && i == currentIndex) {
            current = entry;
            config->setTdxBuyMaxAmount(limit.amount);
        }
    }
    if (current)
        current->setChecked(true);
    else if (!limitEnabled || currentIndex < 0)
        noLimit->setChecked(true);
    menu->addSeparator();

    addEntry(menu, QStringLiteral("不买ST股"), QString(), 1000, &Widget::slot_action_notST_clicked)
        ->setChecked(config->tdxNotST());
    addEntry(menu, QStringLiteral("只买沪深主板股票"), QString(), 1001, &Widget::slot_action_onlyMain_clicked)
        ->setChecked(config->tdxOnlyMain());
    addEntry(menu, QStringLiteral("只买可转债"), QString(), 1002, &Widget::slot_action_onlyZz_clicked)
        ->setChecked(config->tdxOnlyZz());
    menu->addSeparator();
    addEntry(menu, QStringLiteral("一键全撤"), QString(), 56, &Widget::slot_action_cancelAll_clicked);
    menu->addSeparator();
    addEntry(menu, QStringLiteral("买入确认"), QString(), 43, &Widget::slot_action_buyConfirm_clicked);
    addEntry(menu, QStringLiteral("卖出确认"), QString(), 46, &Widget::slot_action_sellConfirm_clicked);

    // The price types, in the keyboard's groups: margin, market and limit, the five levels of
    // the other side, the five levels of one's own side.
    m_priceTypeGroup = new QActionGroup(menu);
    m_priceTypeGroup->setExclusive(true);
    const struct
    {
        const char* text;
        int code;
    } priceTypes[] = {
        {"融资>市价", 97}, {"融资>限价", 96}, {nullptr, 0}, {"市价", 99},     {"限价", 0},
        {nullptr, 0},      {"一档价", 1},     {"二档价", 2}, {"三档价", 3},   {"四档价", 4},
        {"五档价", 5},     {nullptr, 0},      {"挂一价", 11}, {"挂二价", 12}, {"挂三价", 13},
        {"挂四价", 14},    {"挂五价", 15},
    };
    menu->addSeparator();
    for (const auto& p : priceTypes) {
        if (!p.text) {
            menu->addSeparator();
            continue;
        }
        m_priceTypeGroup->addAction(
            addEntry(menu, QString::fromUtf8(p.text), QString(), p.code, &Widget::slot_action_buyIndex_clicked));
    }
}

void Widget::buildSpeedMenu()
{
    m_speedMenu = newMenu(QStringLiteral("速度设置"), QStringLiteral(":/img/speed.png"), true, true);
    m_speedGroup = new QActionGroup(this);
    m_speedGroup->setExclusive(true);
    for (int index : Protocol::speedIndexes())
        m_speedGroup->addAction(addEntry(m_speedMenu, Protocol::speedName(index), QString(), index,
                                         &Widget::slot_action_SpeedIndex_clicked));
    m_mainMenu->addMenu(m_speedMenu);
}

void Widget::buildKeyboardMenu()
{
    m_keyboardMenu = newMenu(QStringLiteral("键盘设置"), QStringLiteral(":/img/set.png"), true, true);
    QMenu* menu = m_keyboardMenu;
    addEntry(menu, QStringLiteral("查询键隐藏切换"), QString(), 57, &Widget::slot_action_querySwitch_clicked);
    addEntry(menu, QStringLiteral("自动获得焦点"), QString(), 58, &Widget::slot_action_getFocus_clicked);
    addEntry(menu, QStringLiteral("启动时开启交易模式"), QString(), 54, &Widget::slot_action_tradeOnStartup_clicked);
    addEntry(menu, QStringLiteral("启动时开启NumLock键"), QString(), 55, &Widget::slot_action_numLockOnStartup_clicked);
    addEntry(menu, QStringLiteral("买入需要确认"), QString(), 43, &Widget::slot_action_buyConfirm_clicked);
    addEntry(menu, QStringLiteral("卖出需要确认"), QString(), 46, &Widget::slot_action_sellConfirm_clicked);
    addEntry(menu, QStringLiteral("交易耗时统计"), QString(), 59, &Widget::slot_action_costTimeStat_clicked);
    addEntry(menu, QStringLiteral("高级设置..."), QStringLiteral(":/img/setmore.png"),
             &Widget::slot_action_devSetting_clicked);
    addEntry(menu, QStringLiteral("保存键盘设置"), QStringLiteral(":/img/save.png"),
             &Widget::slot_action_devSave_clicked);
    addEntry(menu, QStringLiteral("恢复出厂设置"), QStringLiteral(":/img/reset.png"),
             &Widget::slot_action_devReset_clicked);
    addEntry(menu, QStringLiteral("键盘重启动"), QStringLiteral(":/img/reboot.png"),
             &Widget::slot_action_devReboot_clicked);
    m_mainMenu->addMenu(menu);
}

void Widget::buildTrayIcon()
{
    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setIcon(QIcon(QStringLiteral(":/img/appicon.ico")));
    m_trayIcon->setToolTip(QStringLiteral("灵拓键盘专业版"));
    m_trayIcon->setContextMenu(m_mainMenu);
    // A desktop without a system tray (some X11 desktops) simply has no tray icon.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_trayIcon->show();
}

void Widget::showMainMenu(const QPoint& globalPos)
{
    m_mainMenu->popup(globalPos);
}

// ---------------------------------------------------------------- the order-menu hot key

void Widget::showContextMenu()
{
    if (!m_connectionManager || !m_connectionManager->getTradeState())
        return;
    const QRect available = primaryAvailable();
    const QPoint point(available.width() / 2, available.height() / 3);
    switch (m_connectionManager->activeSoftType()) {
    case Protocol::Soft::Ths:
        m_thsOrderMenu->popup(point);
        break;
    case Protocol::Soft::Tdx:
        refreshTdxProfiles();
        m_tdxOrderMenu->popup(point);
        break;
    default:
        break;
    }
}

void Widget::refreshTdxProfiles()
{
    // The section's separator carries the prefix too, so that it leaves with its entries; a
    // plain separator right before the first entry goes as well.
    const QList<QAction*> actions = m_tdxOrderMenu->actions();
    QList<QAction*> section;
    for (int i = 0; i < actions.size(); ++i) {
        if (!actions.at(i)->data().toString().startsWith(kProfilePrefix))
            continue;
        if (section.isEmpty() && i > 0 && actions.at(i - 1)->isSeparator())
            section.append(actions.at(i - 1));
        section.append(actions.at(i));
    }
    qDeleteAll(section);
    delete m_tdxProfileGroup;

    ConfigManager* config = ConfigManager::instance();
    const QStringList profiles = config->profileList();
    const QString current = config->currentProfileName();
    m_tdxOrderMenu->addSeparator()->setData(kProfilePrefix);
    m_tdxProfileGroup = new QActionGroup(m_tdxOrderMenu);
    m_tdxProfileGroup->setExclusive(true);
    for (const QString& name : profiles) {
        QAction* action = m_tdxOrderMenu->addAction(name);
        action->setCheckable(true);
        action->setData(kProfilePrefix + name);
        action->setChecked(name == current);
        m_tdxProfileGroup->addAction(action);
    }
    connect(m_tdxProfileGroup, &QActionGroup::triggered, this, &Widget::slot_action_tdxProfile_clicked);
}

void Widget::slot_action_tdxProfile_clicked(QAction* action)
{
    const QString data = action ? action->data().toString() : QString();
    if (data.isEmpty())
        return;
    QString name = data;
    if (data.startsWith(kProfilePrefix))
        name = data.mid(kProfilePrefix.size());
    else if (data.startsWith(kProfileMenuPrefix))
        name = data.mid(kProfileMenuPrefix.size());
    if (!name.isEmpty())
        switchTdxProfile(name);
}

void Widget::switchTdxProfile(const QString& name)
{
    ConfigManager* config = ConfigManager::instance();
    if (config->loadProfile(name)) {
        config->setCurrentProfile(name);
        config->saveConfig();
        emit m_connectionManager->reloadCfg();
        qDebug().noquote() << "已切换到配置方案:" << name;
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("切换失败"),
                    QStringLiteral("无法加载配置方案：%1").arg(name), QMessageBox::Ok, this);
    runMessageBox(box);
}

// ---------------------------------------------------------------- appearance and switches

void Widget::slot_action_top_clicked()
{
    checkAndMaintainTop();
}

void Widget::slot_action_fixed_clicked()
{
    m_fixedPosition = !m_fixedPosition;
    m_actionFixed->setIcon(QIcon(onOffIcon(m_fixedPosition, ":/img/nail_fixed.png", ":/img/nail.png")));
    slot_action_save_clicked();
}

void Widget::slot_action_boot_clicked()
{
    m_bootOnStartup = !m_bootOnStartup;
    m_actionBoot->setIcon(QIcon(onOffIcon(m_bootOnStartup, ":/img/boot_2.png", ":/img/boot_1.png")));
    writeAutostart(m_bootOnStartup);
}

void Widget::slot_action_speak_clicked()
{
    m_speechEnabled = !m_speechEnabled;
    m_speechManager->setEnabled(m_speechEnabled);
    m_actionSpeak->setIcon(QIcon(onOffIcon(m_speechEnabled, ":/img/voiceon.png", ":/img/voiceoff.png")));
}

void Widget::slot_action_alarmclock_clicked()
{
    m_alarmEnabled = !m_alarmEnabled;
    m_actionAlarm->setIcon(QIcon(onOffIcon(m_alarmEnabled, ":/img/alarmon1.png", ":/img/alarmoff.png")));
}

void Widget::slot_action_autoSwitch_clicked()
{
    m_autoSwitch = !m_autoSwitch;
    m_actionAutoSwitch->setChecked(m_autoSwitch);
    m_connectionManager->setAutoSwitchSoft(m_autoSwitch);
}

void Widget::slot_action_autoCheck_clicked()
{
    m_stockCheck = !m_stockCheck;
    m_actionAutoCheck->setChecked(m_stockCheck);
    m_connectionManager->setStockCheck(m_stockCheck);
}

// ---------------------------------------------------------------- web pages

void Widget::openPage(const QUrl& url)
{
    if (!url.isValid())
        return;
    if (!QDesktopServices::openUrl(url))
        qWarning().noquote() << "无法打开网页:" << url.toString();
}

void Widget::slot_action_openUrl_clicked()
{
    openPage(WebPages::marketHeatMap());
}

void Widget::slot_action_download_clicked(QAction* action)
{
    openPage(WebPages::downloadPage(action->data().toInt()));
}

void Widget::slot_action_update_clicked()
{
    openPage(WebPages::makerUpdate());
}

// ---------------------------------------------------------------- keyboard entries

void Widget::requestKeyboardParameter(QAction* action, DevParamId id)
{
    // Qt has toggled the mark already: it goes back to what the keyboard has, and moves when the
    // keyboard answers (when nothing reached the keyboard no answer comes, and it stays).
    const bool requested = action->isChecked();
    action->setChecked(!requested);
    if (m_connectionManager)
        m_connectionManager->setDeviceParameter(id, requested ? 1 : 0);
}

void Widget::slot_action_querySwitch_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::Query);
}

void Widget::slot_action_getFocus_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::Focus);
}

void Widget::slot_action_tradeOnStartup_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::Trade);
}

void Widget::slot_action_numLockOnStartup_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::NumLock);
}

void Widget::slot_action_buyConfirm_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::BuyConfirm);
}

void Widget::slot_action_sellConfirm_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::SellConfirm);
}

void Widget::slot_action_costTimeStat_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::Cost);
}

void Widget::slot_action_cancelAll_clicked(QAction* action)
{
    requestKeyboardParameter(action, DevParamId::Cancel);
}

void Widget::requestGroupValue(QAction* action, const std::function<bool(int)>& send)
{
    const int value = action->data().toInt();
    action->setChecked(false);
    if (!m_connectionManager || !send(value)) {
        // No answer will come: the marks show what the keyboard last reported.
        refreshSoftwareMarks(m_currentSoft);
        refreshSpeedMarks(m_currentSpeed);
        refreshPriceTypeMarks(m_currentPriceType);
    }
}

void Widget::slot_action_softIndex_clicked(QAction* action)
{
    requestGroupValue(action, [this](int soft) {
        if (!m_connectionManager->activeConnection())
            return false;
        m_connectionManager->setSoftIndex(soft);
        return true;
    });
}

void Widget::slot_action_SpeedIndex_clicked(QAction* action)
{
    requestGroupValue(action, [this](int speed) { return m_connectionManager->switchSpeedIndex(speed); });
}

void Widget::slot_action_buyIndex_clicked(QAction* action)
{
    requestGroupValue(action, [this](int priceType) { return m_connectionManager->switchBuyIndex(priceType); });
}

void Widget::slot_action_devSave_clicked()
{
    slot_action_save_clicked();
    m_connectionManager->devSave();
}

void Widget::slot_action_devReset_clicked()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("确认"),
                    QStringLiteral("你确定要恢复到出厂设置吗？该操作将还原所有按键的定义和键盘的参数,"
                                   "如果你修改过键盘的按键定义，请马上重新定义按键并测试。"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::No)->setText(QStringLiteral("取消"));
    // Where the keyboard settings dialog opens, so that the two are seen in the same place.
    const QRect available = primaryAvailable();
    const QSize dialog = box.sizeHint();
    box.move((available.width() - dialog.width()) / 2, (available.height() - dialog.height()) / 2);
    if (runMessageBox(box) == QMessageBox::Yes)
        m_connectionManager->factoryReset();
}

void Widget::slot_action_devReboot_clicked()
{
    m_connectionManager->reboot();
}

// ---------------------------------------------------------------- TDX and THS order menus

void Widget::slot_action_tdxConfig_clicked()
{
    if (runTdxConfigDialog(false))
        rebuildTdxOrderMenu();
}

void Widget::rebuildTdxOrderMenu()
{
    m_tdxOrderMenu->clear();
    delete m_buyAmountGroup;
    delete m_priceTypeGroup;
    delete m_tdxProfileGroup;
    m_buyAmountGroup = m_priceTypeGroup = m_tdxProfileGroup = nullptr;
    loadTdxOrderMenu();
    refreshPriceTypeMarks(m_currentPriceType);
    emit m_connectionManager->reloadCfg();
}

void Widget::writeRestriction(QAction* action, void (ConfigManager::*set)(bool))
{
    ConfigManager* config = ConfigManager::instance();
    (config->*set)(action->isChecked());
    config->saveConfig();
    emit m_connectionManager->reloadCfg();
}

void Widget::slot_action_limitPrice_clicked(QAction* action)
{
    writeRestriction(action, &ConfigManager::setTdxBuyMaxPriceLimitEnabled);
}

void Widget::slot_action_limitMinPrice_clicked(QAction* action)
{
    writeRestriction(action, &ConfigManager::setTdxBuyMinPriceLimitEnabled);
}

void Widget::slot_action_notST_clicked(QAction* action)
{
    writeRestriction(action, &ConfigManager::setTdxNotST);
}

void Widget::slot_action_onlyMain_clicked(QAction* action)
{
    writeRestriction(action, &ConfigManager::setTdxOnlyMain);
}

void Widget::slot_action_onlyZz_clicked(QAction* action)
{
    writeRestriction(action, &ConfigManager::setTdxOnlyZz);
}

void Widget::slot_action_quickSetAmount_clicked(QAction* action)
{
    ConfigManager* config = ConfigManager::instance();
    BuyAmountConfig& presets = BuyAmountConfig::instance();
    const int amount = action->data().toInt();
    action->setChecked(true);
    if (amount > 0) {
        const int index = presets.indexOfAmount(amount);
        if (index < 0) {
            qWarning().noquote() << "未找到金额对应的配置项：" << amount;
        } else {
            config->setTdxBuyMaxAmount(amount);
            config->setTdxBuyAmountLimitEnabled(true);
            presets.setCurrentIndex(index);
            presets.save();
        }
    } else {
        config->setTdxBuyAmountLimitEnabled(false);
        presets.setCurrentIndex(-1);
        presets.save();
    }
    config->saveConfig();
    emit m_connectionManager->reloadCfg();
}

int Widget::runMessageBox(QMessageBox& box)
{
    return box.exec();
}
