#include "SettingsDialog.h"

#include "BreathingLight.h"
#include "ColorComboBox.h"
#include "KeyFunctions.h"
#include "KeyMapFile.h"
#include "KeyboardSettingsHost.h"
#include "MousePositionWidget.h"

#include "config/ConfigManager.h"
#include "keyboardlink/protocol/Protocol.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

const QString kEqualIcon = QStringLiteral(":/img/eq.png");
const QString kEditIcon = QStringLiteral(":/img/edit.png");
const QString kSelectedIcon = QStringLiteral(":/img/sel.png");
const QString kNoChange = QStringLiteral("没有参数被修改.");
const QString kPickRow = QStringLiteral("请点击要修改的按键记录.");
const QString kNoKeyMapYet = QStringLiteral("尚未读取键盘的键位，请先点击“重载”。");

enum Column
{
    KeyNumber = 0,
    CurrentFunction = 1,
    NewFunction = 2,
    Status = 3
};

// The order in which "应用" writes changed parameters.
const DevParamId kApplyOrder[] = {DevParamId::Speed,      DevParamId::Focus,       DevParamId::Cancel,
                                  DevParamId::Cost,       DevParamId::Query,       DevParamId::FnKey,
                                  DevParamId::BuyConfirm, DevParamId::SellConfirm, DevParamId::Soft,
                                  DevParamId::Trade,      DevParamId::NumLock};

QString pointText(const QPoint& p)
{
    return QStringLiteral("X: %1, Y: %2").arg(p.x()).arg(p.y());
}

// A question with "确定" and "取消", "取消" the default; true for "确定".
bool confirm(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == ok;
}

void inform(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QStringLiteral("提示"), text);
}

void fail(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QStringLiteral("错误"), text);
}

// Checks the button of a group with this id, or none (an exclusive group otherwise keeps one).
void checkOnly(QButtonGroup* group, int id)
{
    if (QAbstractButton* button = group->button(id)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

// ---------------------------------------------------------------- construction

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent)
{
    buildForm();

    m_parameterTimer = new QTimer(this);
    m_parameterTimer->setInterval(ParameterIntervalMs);
    connect(m_parameterTimer, &QTimer::timeout, this, &SettingsDialog::updateNextParameter);

    loadMultiKeyboardSetting();
    connect(m_chkEnableMultiKeyboard, &QCheckBox::toggled, this,
            &SettingsDialog::on_chkEnableMultiKeyboard_toggled);

    m_trackingTimer = new QTimer(this);
    m_trackingTimer->setInterval(TrackingIntervalMs);
    connect(m_trackingTimer, &QTimer::timeout, this, &SettingsDialog::updateMousePosition);
    m_mousePositionWidget = new MousePositionWidget(this);
    connect(m_mousePositionWidget, &MousePositionWidget::leftClicked, this, &SettingsDialog::onMouseTrackEnd);

    for (const auto& entry : KeyFunctions::labelMap())
        m_comboBox->addColorItem(entry.first, KeyFunctions::color(entry.first));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    connect(m_table, &QTableWidget::itemClicked, this, &SettingsDialog::highlightSelectedRow);

    connectForm();
}

SettingsDialog::~SettingsDialog()
{
    m_parameterTimer->stop();
    m_trackingTimer->stop();
}

void SettingsDialog::buildForm()
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("高级设置"));
    setModal(true);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);

    m_tabWidget = named(new QTabWidget(this), "tabWidget");
    m_tabWidget->addTab(buildParameterTab(), QStringLiteral("键盘设置"));
    m_tabWidget->addTab(buildKeyMapTab(), QStringLiteral("按键设置"));
    m_tabWidget->addTab(buildLedTab(), QStringLiteral("灯光设置"));
    m_tabWidget->setCurrentIndex(0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabWidget);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

QWidget* SettingsDialog::buildParameterTab()
{
    auto* tab = new QWidget;

    auto* activeBox = new QGroupBox(QStringLiteral("选择要设置的下单交易软件"));
    m_radioThsActive = named(new QRadioButton(QStringLiteral("同花顺")), "radioThsActive");
    m_radioTdxActive = named(new QRadioButton(QStringLiteral("通达信")), "radioTdxActive");
    auto* activeLayout = new QHBoxLayout(activeBox);
    activeLayout->addWidget(m_radioThsActive);
    activeLayout->addWidget(m_radioTdxActive);
    activeLayout->addStretch();

    auto* softBox = new QGroupBox(QStringLiteral("启动时默认下单交易软件"));
    m_radioThs = named(new QRadioButton(QStringLiteral("同花顺")), "radioThs");
    m_radioTdx = named(new QRadioButton(QStringLiteral("通达信")), "radioTdx");
    m_softGroup = new QButtonGroup(this);
    m_softGroup->addButton(m_radioThs, Protocol::Soft::Ths);
    m_softGroup->addButton(m_radioTdx, Protocol::Soft::Tdx);
    auto* softLayout = new QHBoxLayout(softBox);
    softLayout->addWidget(m_radioThs);
    softLayout->addWidget(m_radioTdx);
    softLayout->addStretch();

    auto* focusBox = new QGroupBox(QStringLiteral("自动获取输入焦点（鼠标点击位置设置）"));
    m_radioFocusDisable = named(new QRadioButton(QStringLiteral("禁用")), "radioFocusDisable");
    m_radioFocusEnable = named(new QRadioButton(QStringLiteral("启用(不移动)")), "radioFocusEnable");
    m_radioFocusMouseMove = named(new QRadioButton(QStringLiteral("移动到顶部")), "radioFocusMouseMove");
    m_radioFocusPositon = named(new QRadioButton(QStringLiteral("移动到屏幕指定位置")), "radioFocusPositon");
    m_coordinateEdit = named(new QLineEdit, "coordinateEdit");
    auto* btnToPositon = named(new QPushButton(QStringLiteral("位置显示")), "btnToPositon");
    auto* focusLayout = new QGridLayout(focusBox);
    focusLayout->addWidget(m_radioFocusDisable, 0, 0);
    focusLayout->addWidget(m_radioFocusEnable, 0, 1);
    focusLayout->addWidget(m_radioFocusMouseMove, 0, 2);
    focusLayout->addWidget(m_radioFocusPositon, 0, 3);
    focusLayout->addWidget(new QLabel(QStringLiteral("移动到屏幕指定位置的坐标")), 1, 0, 1, 2);
    focusLayout->addWidget(m_coordinateEdit, 1, 2);
    focusLayout->addWidget(btnToPositon, 1, 3);

    m_chkTrade = named(new QCheckBox(QStringLiteral("启动时开启交易模式")), "chkEnableTradeOpenOnStart");
    m_chkNumLock =
        named(new QCheckBox(QStringLiteral("启动时打开电脑键盘NumLock键")), "chkEnableNumLockOnStart");
    m_chkCancelAll = named(new QCheckBox(QStringLiteral("启用一键全撤")), "chkEnableCancelAll");
    m_chkQuerySwitch = named(new QCheckBox(QStringLiteral("启用查询隐藏切换")), "chkEnableQuerySwitch");
    m_chkCostStat = named(new QCheckBox(QStringLiteral("启用交易耗时统计")), "chkEnableCostStat");
    m_chkBuyConfirm = named(new QCheckBox(QStringLiteral("启用买入交易需确认")), "chkEnableBuyConfirm");
    m_chkSellConfirm = named(new QCheckBox(QStringLiteral("启用卖出交易需确认")), "chkEnableSellConfirm");
    m_chkDisableFnKey =
        named(new QCheckBox(QStringLiteral("禁用查询键交易开关功能(长按3秒开关)")), "chkDisableFnKey");
    auto* switches = new QGridLayout;
    QCheckBox* const order[] = {m_chkTrade,    m_chkNumLock,    m_chkCancelAll,   m_chkQuerySwitch,
                                m_chkCostStat, m_chkBuyConfirm, m_chkSellConfirm, m_chkDisableFnKey};
    for (int i = 0; i < 8; ++i)
        switches->addWidget(order[i], i / 2, i % 2);

    m_spinKeyDown = named(new QSpinBox, "spinKeyDownInterval");
    m_spinKeyUp = named(new QSpinBox, "spinKeyUpInterval");
    for (QSpinBox* spin : {m_spinKeyDown, m_spinKeyUp}) {
        spin->setRange(0, 255);
        spin->setEnabled(false); // reported by the keyboard, not written by this program
    }
    m_comboBoxSpeed = named(new QComboBox, "comboBoxSpeed");
    for (int speed : Protocol::speedIndexes())
        m_comboBoxSpeed->addItem(Protocol::speedName(speed));
    auto* timing = new QGridLayout;
    timing->addWidget(new QLabel(QStringLiteral("按键按下持续时间（毫秒）")), 0, 0);
    timing->addWidget(m_spinKeyDown, 0, 1);
    timing->addWidget(new QLabel(QStringLiteral("按键抬起延迟时间（毫秒）")), 0, 2);
    timing->addWidget(m_spinKeyUp, 0, 3);
    timing->addWidget(new QLabel(QStringLiteral("按键速度")), 1, 0);
    timing->addWidget(m_comboBoxSpeed, 1, 1);

    auto* multiBox = new QGroupBox(QStringLiteral("多键盘性能设置"));
    multiBox->setToolTip(QStringLiteral("启用多键盘支持会增加少量性能开销，单键盘模式响应更快"));
    m_chkEnableMultiKeyboard =
        named(new QCheckBox(QStringLiteral("启用多键盘支持")), "chkEnableMultiKeyboard");
    m_chkEnableMultiKeyboard->setToolTip(
        QStringLiteral("支持同时连接多个键盘，实现同步操作。禁用时只支持单键盘，响应速度更快。"));
    m_lblMultiKeyboardInfo = named(new QLabel, "lblMultiKeyboardInfo");
    auto* multiLayout = new QVBoxLayout(multiBox);
    multiLayout->addWidget(m_chkEnableMultiKeyboard);
    multiLayout->addWidget(m_lblMultiKeyboardInfo);

    m_lblKeyboardBuildDate = named(new QLabel, "lblKeyboardBuildDate");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lblKeyboardBuildDate);
    buttons->addStretch();
    buttons->addWidget(named(new QPushButton(QStringLiteral("重置")), "btnReload"));
    buttons->addWidget(named(new QPushButton(QStringLiteral("应用")), "btnApply"));
    buttons->addWidget(named(new QPushButton(QStringLiteral("保存")), "btnSave"));
    buttons->addWidget(named(new QPushButton(QStringLiteral("关闭")), "btnCancel"));

    auto* layout = new QVBoxLayout(tab);
    auto* softRow = new QHBoxLayout;
    softRow->addWidget(activeBox);
    softRow->addWidget(softBox);
    layout->addLayout(softRow);
    layout->addWidget(focusBox);
    layout->addLayout(switches);
    layout->addLayout(timing);
    layout->addWidget(multiBox);
    layout->addLayout(buttons);
    return tab;
}

QWidget* SettingsDialog::buildKeyMapTab()
{
    auto* tab = new QWidget;
    m_table = named(new QTableWidget(0, 4), "tableWidget");
    m_table->setHorizontalHeaderLabels({QStringLiteral("按键序号"), QStringLiteral("当前的功能"),
                                        QStringLiteral("修改后功能"), QStringLiteral("状态")});
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setMinimumSize(460, 420);

    m_labelKeyIndex = named(new QLabel, "labelKeyIndex");
    m_labelKeyName = named(new QLabel, "labelKeyName");
    m_comboBox = named(new ColorComboBox, "comboBox");
    m_comboBox->setMinimumWidth(120);
    m_lblKeyMapKeyboard = named(new QLabel, "lblKeyMapKeyboard");

    auto* side = new QGridLayout;
    side->addWidget(new QLabel(QStringLiteral("按键序号")), 0, 0);
    side->addWidget(m_labelKeyIndex, 0, 1);
    side->addWidget(new QLabel(QStringLiteral("当前值")), 1, 0);
    side->addWidget(m_labelKeyName, 1, 1);
    side->addWidget(new QLabel(QStringLiteral("修改为")), 2, 0);
    side->addWidget(m_comboBox, 2, 1);
    int row = 3;
    const std::pair<const char*, const char*> buttons[] = {{"btnOK", "修改"},
                                                           {"btnRevert", "撤消"},
                                                           {"btnReflash", "重载"},
                                                           {"btnSaveKeyMap", "保存"},
                                                           {"btnExportKeyMap", "导出键位…"},
                                                           {"btnImportKeyMap", "导入键位…"},
                                                           {"btnClose", "关闭"}};
    for (const auto& b : buttons)
        side->addWidget(named(new QPushButton(QString::fromUtf8(b.second)), b.first), row++, 0, 1, 2);
    side->setRowStretch(row, 1);
    side->addWidget(m_lblKeyMapKeyboard, row + 1, 0, 1, 2);

    auto* layout = new QHBoxLayout(tab);
    layout->addWidget(m_table);
    layout->addLayout(side);
    return tab;
}

QWidget* SettingsDialog::buildLedTab()
{
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(new QLabel(QStringLiteral("交易开启后的灯光模式")));
    m_ledGroup = new QButtonGroup(this);
    const std::pair<const char*, const char*> radios[] = {{"radioLedDefault", "全亮（默认）"},
                                                          {"radioLedBlue", "蓝色"},
                                                          {"radioLedGreen", "绿色"},
                                                          {"radioLedThsBlue", "同花顺蓝色/通达信绿色"},
                                                          {"radioLedThsGreen", "同花顺绿色/通达信蓝色"}};
    int id = Protocol::Led::Default;
    for (const auto& r : radios) {
        auto* radio = named(new QRadioButton(QString::fromUtf8(r.second)), r.first);
        m_ledGroup->addButton(radio, id++);
        layout->addWidget(radio);
    }
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(named(new QPushButton(QStringLiteral("应用")), "btnLedApply"));
    buttons->addWidget(named(new QPushButton(QStringLiteral("保存")), "btnLedSave"));
    buttons->addWidget(named(new QPushButton(QStringLiteral("关闭")), "btnLedClose"));
    layout->addLayout(buttons);
    return tab;
}

void SettingsDialog::connectForm()
{
    const auto button = [this](const char* name) { return findChild<QPushButton*>(QLatin1String(name)); };
    const std::pair<const char*, void (SettingsDialog::*)()> clicks[] = {
        {"btnSave", &SettingsDialog::on_btnSave_clicked},
        {"btnReload", &SettingsDialog::on_btnReload_clicked},
        {"btnApply", &SettingsDialog::on_btnApply_clicked},
        {"btnToPositon", &SettingsDialog::on_btnToPositon_clicked},
        {"btnReflash", &SettingsDialog::on_btnReflash_clicked},
        {"btnOK", &SettingsDialog::on_btnOK_clicked},
        {"btnRevert", &SettingsDialog::on_btnRevert_clicked},
        {"btnSaveKeyMap", &SettingsDialog::on_btnSaveKeyMap_clicked},
        {"btnExportKeyMap", &SettingsDialog::on_btnExportKeyMap_clicked},
        {"btnImportKeyMap", &SettingsDialog::on_btnImportKeyMap_clicked},
        {"btnClose", &SettingsDialog::on_btnClose_clicked},
        {"btnLedApply", &SettingsDialog::on_btnLedApply_clicked},
        {"btnLedSave", &SettingsDialog::on_btnLedSave_clicked},
        {"btnLedClose", &SettingsDialog::on_btnLedClose_clicked}};
    for (const auto& c : clicks)
        connect(button(c.first), &QPushButton::clicked, this, c.second);
    connect(button("btnCancel"), &QPushButton::clicked, this, &QDialog::reject);
    connect(m_radioThsActive, &QRadioButton::clicked, this, &SettingsDialog::on_radioThsActive_clicked);
    connect(m_radioTdxActive, &QRadioButton::clicked, this, &SettingsDialog::on_radioTdxActive_clicked);
    connect(m_radioFocusPositon, &QRadioButton::clicked, this, &SettingsDialog::on_radioFocusPositon_clicked);
    connect(m_comboBoxSpeed, QOverload<int>::of(&QComboBox::activated), this,
            &SettingsDialog::on_comboBoxSpeed_activated);
    connect(m_tabWidget, &QTabWidget::currentChanged, this, &SettingsDialog::on_tabWidget_currentChanged);
    connect(m_comboBox, &QComboBox::currentTextChanged, this, &SettingsDialog::onComboBoxChanged);
}

void SettingsDialog::loadMultiKeyboardSetting()
{
    if (ConfigManager* config = ConfigManager::instance()) {
        m_multiKeyboard = config->multiKeyboardEnabled();
        qDebug().noquote() << "从配置文件加载多键盘配置:" << (m_multiKeyboard ? "启用" : "禁用");
    } else {
        m_multiKeyboard = false;
        qDebug().noquote() << "无法获取配置管理器，使用默认多键盘配置: 禁用";
    }
    m_chkEnableMultiKeyboard->setChecked(m_multiKeyboard);
    updateMultiKeyboardUI(m_multiKeyboard);
}

KeyboardSettingsHost* SettingsDialog::hostOrNull() const
{
    return dynamic_cast<KeyboardSettingsHost*>(parentWidget());
}

KeyboardSettingsHost* SettingsDialog::host()
{
    KeyboardSettingsHost* h = hostOrNull();
    if (!h)
        QMessageBox::critical(this, QStringLiteral("Error"), QStringLiteral("无法获取主窗口指针。"));
    return h;
}

// ---------------------------------------------------------------- loading the form

SettingsDialog::Values SettingsDialog::valuesOf(const QVariantMap& s)
{
    Values v;
    v.soft = s.value(QStringLiteral("soft")).toInt();
    v.focus = s.value(QStringLiteral("focus")).toInt();
    v.trade = s.value(QStringLiteral("trade")).toBool();
    v.numLock = s.value(QStringLiteral("numlock")).toBool();
    v.cancel = s.value(QStringLiteral("cancel")).toBool();
    v.query = s.value(QStringLiteral("query")).toBool();
    v.cost = s.value(QStringLiteral("cost")).toBool();
    v.buyConfirm = s.value(QStringLiteral("buyconfirm")).toBool();
    v.sellConfirm = s.value(QStringLiteral("sellconfirm")).toBool();
    v.fnKey = s.value(QStringLiteral("fnkey")).toBool();
    v.speed = s.value(QStringLiteral("speed")).toInt();
    v.keyDownDelay = s.value(QStringLiteral("keydowndelay")).toInt();
    v.keyUpDelay = s.value(QStringLiteral("keyupdelay")).toInt();
    const int led = s.value(QStringLiteral("ledcolor")).toInt();
    v.led = led >= Protocol::Led::Default && led <= Protocol::Led::ThsGreenTdxBlue ? led : -1;
    return v;
}

void SettingsDialog::showValues(const Values& v)
{
    m_chkTrade->setChecked(v.trade);
    m_chkNumLock->setChecked(v.numLock);
    m_chkCancelAll->setChecked(v.cancel);
    m_chkQuerySwitch->setChecked(v.query);
    m_chkCostStat->setChecked(v.cost);
    m_chkBuyConfirm->setChecked(v.buyConfirm);
    m_chkSellConfirm->setChecked(v.sellConfirm);
    m_chkDisableFnKey->setChecked(v.fnKey);
    checkOnly(m_softGroup, v.soft);
    switch (v.focus) {
    case Protocol::Focus::On:
        m_radioFocusEnable->setChecked(true);
        break;
    case Protocol::Focus::FollowMouse:
        m_radioFocusMouseMove->setChecked(true);
        break;
    case Protocol::Focus::FixedPosition:
        m_radioFocusPositon->setChecked(true);
        break;
    default:
        m_radioFocusDisable->setChecked(true);
        break;
    }
    if (v.speed >= 1 && v.speed <= m_comboBoxSpeed->count())
        m_comboBoxSpeed->setCurrentIndex(v.speed - 1);
    checkOnly(m_ledGroup, v.led);
}

void SettingsDialog::showIdentity(const QString& serial, const QVariantMap& settings)
{
    m_lblKeyboardBuildDate->setText(QStringLiteral("设备序列号:") + serial + QStringLiteral(" 固件版本:") +
                                    settings.value(QStringLiteral("build")).toString());
    m_lblKeyMapKeyboard->setText(QStringLiteral("设备序列号:") + serial);
}

void SettingsDialog::loadDeviceValues()
{
    KeyboardSettingsHost* h = host();
    if (!h)
        return;
    const QVariantMap settings = h->deviceSettings();
    const QString serial = h->deviceSerialNumber();
    showIdentity(serial, settings);
    m_device = valuesOf(settings);
    showValues(m_device);
    // Another keyboard became the active one: the key map shown is not its own, and saving it
    // would copy it over. It is read again from the keyboard now edited.
    if (!m_keyMapSerial.isEmpty() && serial != m_keyMapSerial) {
        clearKeyMap();
        if (m_tabWidget->currentIndex() == KeyMapTab) {
            m_keyMapRequested = true;
            h->keyMapReload();
        }
    }
}

void SettingsDialog::loadForm()
{
    KeyboardSettingsHost* h = host();
    if (!h)
        return;
    const QVariantMap settings = h->deviceSettings();
    const Values v = valuesOf(settings);
    showIdentity(h->deviceSerialNumber(), settings);
    showValues(v);
    if (v.soft == Protocol::Soft::Ths)
        m_radioThsActive->setChecked(true);
    else if (v.soft == Protocol::Soft::Tdx)
        m_radioTdxActive->setChecked(true);
    m_softType = v.soft;
    showFocusPosition();
    m_spinKeyDown->setValue(v.keyDownDelay);
    m_spinKeyUp->setValue(v.keyUpDelay);
}

void SettingsDialog::showFocusPosition()
{
    if (KeyboardSettingsHost* h = host())
        m_coordinateEdit->setText(pointText(h->focusPosition(m_softType)));
}

// ---------------------------------------------------------------- parameters

SettingsDialog::Values SettingsDialog::readForm() const
{
    Values v = m_device;
    v.trade = m_chkTrade->isChecked();
    v.numLock = m_chkNumLock->isChecked();
    v.cancel = m_chkCancelAll->isChecked();
    v.query = m_chkQuerySwitch->isChecked();
    v.cost = m_chkCostStat->isChecked();
    v.buyConfirm = m_chkBuyConfirm->isChecked();
    v.sellConfirm = m_chkSellConfirm->isChecked();
    v.fnKey = m_chkDisableFnKey->isChecked();
    v.speed = m_comboBoxSpeed->currentIndex() + 1;
    if (m_radioThs->isChecked())
        v.soft = Protocol::Soft::Ths;
    else if (m_radioTdx->isChecked())
        v.soft = Protocol::Soft::Tdx;
    if (m_radioFocusDisable->isChecked())
        v.focus = Protocol::Focus::Off;
    else if (m_radioFocusEnable->isChecked())
        v.focus = Protocol::Focus::On;
    else if (m_radioFocusMouseMove->isChecked())
        v.focus = Protocol::Focus::FollowMouse;
    else if (m_radioFocusPositon->isChecked())
        v.focus = Protocol::Focus::FixedPosition;
    return v;
}

void SettingsDialog::on_btnApply_clicked()
{
    saveParameters();
}

void SettingsDialog::saveParameters()
{
    if (m_parameterTimer->isActive())
        return; // the last "应用" is still being written
    const Values form = readForm();
    const auto value = [](const Values& v, DevParamId id) {
        switch (id) {
        case DevParamId::Soft:
            return v.soft;
        case DevParamId::Trade:
            return int(v.trade);
        case DevParamId::NumLock:
            return int(v.numLock);
        case DevParamId::Speed:
            return v.speed;
        case DevParamId::Query:
            return int(v.query);
        case DevParamId::Focus:
            return v.focus;
        case DevParamId::Cancel:
            return int(v.cancel);
        case DevParamId::Cost:
            return int(v.cost);
        case DevParamId::BuyConfirm:
            return int(v.buyConfirm);
        case DevParamId::SellConfirm:
            return int(v.sellConfirm);
        case DevParamId::FnKey:
            return int(v.fnKey);
        case DevParamId::LedColor:
            return v.led;
        }
        return 0;
    };
    m_pending.clear();
    for (DevParamId id : kApplyOrder) {
        if (value(form, id) != value(m_device, id))
            m_pending.append({id, value(form, id)});
    }
    if (m_pending.isEmpty()) {
        inform(this, kNoChange);
        return;
    }
    if (!host())
        return;

    m_progress =
        new QProgressDialog(QStringLiteral("正在更新设备参数..."), QString(), 0, m_pending.size(), this);
    m_progress->setObjectName(QStringLiteral("parameterProgress"));
    m_progress->setWindowTitle(QStringLiteral("请稍候"));
    QFont font = m_progress->font();
    font.setPointSize(12);
    m_progress->setFont(font);
    m_progress->setCancelButton(nullptr);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setValue(0);
    m_progress->show();

    m_pendingPos = 0;
    updateNextParameter();
    if (m_pendingPos < m_pending.size())
        m_parameterTimer->start();
}

void SettingsDialog::updateNextParameter()
{
    if (m_pendingPos >= m_pending.size()) {
        finishParameterWrites();
        return;
    }
    const QPair<DevParamId, int> write = m_pending.at(m_pendingPos++);
    if (KeyboardSettingsHost* h = host())
        h->setDeviceParameter(write.first, write.second);
    if (m_progress)
        m_progress->setValue(m_pendingPos);
    if (m_pendingPos >= m_pending.size())
        finishParameterWrites();
}

void SettingsDialog::finishParameterWrites()
{
    m_parameterTimer->stop();
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
}

void SettingsDialog::on_btnSave_clicked()
{
    try {
        stopMouseTracking();
        KeyboardSettingsHost* h = host();
        if (!h)
            return;
        if (!h->isDeviceConnected()) {
            QMessageBox::warning(this, QStringLiteral("Warning"),
                                 QStringLiteral("设备未连接，无法保存设置。"));
            return;
        }
        bool saved = false;
        try {
            WaitCursor wait;
            saved = h->devSave();
        } catch (const std::exception& e) {
            qWarning().noquote() << "Device save exception:" << e.what();
            QMessageBox::critical(
                this, QStringLiteral("Error"),
                QStringLiteral("保存设备设置时发生异常：%1").arg(QString::fromLocal8Bit(e.what())));
            return;
        } catch (...) {
            qWarning().noquote() << "Device save unknown exception";
            QMessageBox::critical(this, QStringLiteral("Error"),
                                  QStringLiteral("保存设备设置时发生未知异常"));
            return;
        }
        if (saved)
            accept();
        else
            QMessageBox::warning(this, QStringLiteral("Warning"),
                                 QStringLiteral("设备设置保存失败，请检查设备连接状态。"));
    } catch (const std::exception& e) {
        qWarning().noquote() << "SettingsDialog save button exception:" << e.what();
    } catch (...) {
        qWarning().noquote() << "SettingsDialog save button unknown exception";
    }
}

void SettingsDialog::on_btnReload_clicked()
{
    if (KeyboardSettingsHost* h = host())
        h->devReload();
}

void SettingsDialog::on_comboBoxSpeed_activated(int)
{
    // The speed is written with the other parameters by "应用".
}

void SettingsDialog::on_radioThsActive_clicked()
{
    if (KeyboardSettingsHost* h = host()) {
        m_softType = Protocol::Soft::Ths;
        showFocusPosition();
        h->switchDeviceSoft(Protocol::Soft::Ths);
    }
}

void SettingsDialog::on_radioTdxActive_clicked()
{
    if (KeyboardSettingsHost* h = host()) {
        m_softType = Protocol::Soft::Tdx;
        showFocusPosition();
        h->switchDeviceSoft(Protocol::Soft::Tdx);
    }
}

// ---------------------------------------------------------------- focus point

void SettingsDialog::on_radioFocusPositon_clicked()
{
    if (m_mouseTracking) {
        stopMouseTracking();
        return;
    }
    m_mouseTracking = true;
    m_trackingTimer->start();
    placeTracker(QCursor::pos());
    m_mousePositionWidget->show();
}

void SettingsDialog::stopMouseTracking()
{
    m_mouseTracking = false;
    m_trackingTimer->stop();
    m_mousePositionWidget->hide();
}

void SettingsDialog::updateMousePosition()
{
    const QPoint cursor = QCursor::pos();
    if (cursor != m_pickedPoint)
        placeTracker(cursor);
}

void SettingsDialog::placeTracker(const QPoint& cursor)
{
    // Centred on the pointer, so that the click that picks the point lands on it.
    m_pickedPoint = cursor;
    m_mousePositionWidget->move(
        cursor - QPoint(m_mousePositionWidget->width() / 2, m_mousePositionWidget->height() / 2));
    m_mousePositionWidget->updatePosition(cursor);
}

void SettingsDialog::onMouseTrackEnd()
{
    stopMouseTracking();
    const QString question = QStringLiteral("是否确定把把鼠标移动到当前位置 X: %1, Y: %2 ?")
                                 .arg(m_pickedPoint.x())
                                 .arg(m_pickedPoint.y());
    if (!confirm(this, QStringLiteral("保存确认"), question))
        return;
    KeyboardSettingsHost* h = host();
    if (!h)
        return;
    h->setFocusPosition(m_softType, m_pickedPoint);
    m_coordinateEdit->setText(pointText(m_pickedPoint));
    flashPoint(m_pickedPoint);
}

void SettingsDialog::on_btnToPositon_clicked()
{
    static const QRegularExpression pattern(QStringLiteral("X:\\s*(-?\\d+),\\s*Y:\\s*(-?\\d+)"));
    const QRegularExpressionMatch match = pattern.match(m_coordinateEdit->text());
    if (!match.hasMatch()) {
        qDebug().noquote() << "Invalid coordinate format.";
        return;
    }
    bool xOk = false;
    bool yOk = false;
    const int x = match.captured(1).toInt(&xOk);
    const int y = match.captured(2).toInt(&yOk);
    if (!xOk || !yOk) {
        qDebug().noquote() << "Failed to convert coordinates to integers.";
        return;
    }
    flashPoint(QPoint(x, y));
}

void SettingsDialog::flashPoint(const QPoint& point)
{
    BreathingLight::flash(point);
}

// ---------------------------------------------------------------- key map

void SettingsDialog::on_tabWidget_currentChanged(int index)
{
    if (index != KeyMapTab || m_keyMapRequested)
        return;
    if (KeyboardSettingsHost* h = host()) {
        m_keyMapRequested = true;
        h->keyMapReload();
    }
}

void SettingsDialog::on_btnReflash_clicked()
{
    if (KeyboardSettingsHost* h = host())
        h->keyMapReload();
}

void SettingsDialog::clearKeyMap()
{
    m_keyMap.clear();
    m_keyMapSerial.clear();
    m_keyMapRequested = false;
    m_selectedRow = -1;
    m_table->setRowCount(0);
    m_labelKeyIndex->clear();
    m_labelKeyName->clear();
}

void SettingsDialog::onKeyMapDataLoad(const QByteArray& keyMap)
{
    m_keyMap = keyMap;
    if (KeyboardSettingsHost* h = hostOrNull())
        m_keyMapSerial = h->deviceSerialNumber();
    m_selectedRow = -1;
    m_labelKeyIndex->clear();
    m_labelKeyName->clear();
    m_comboBox->setCurrentIndex(m_comboBox->findText(QStringLiteral("查询")));

    m_table->setRowCount(0);
    m_table->setRowCount(keyMap.size());
    for (int row = 0; row < keyMap.size(); ++row) {
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        number->setBackground(QColor(Qt::darkCyan));
        number->setForeground(QColor(Qt::white));
        m_table->setItem(row, KeyNumber, number);
        const QString label = KeyFunctions::labelOf(static_cast<quint8>(keyMap.at(row)));
        setFunctionCell(row, CurrentFunction, label);
        setFunctionCell(row, NewFunction, label);
        m_table->setItem(row, Status, new QTableWidgetItem(QIcon(kEqualIcon), QString()));
    }
}

void SettingsDialog::setFunctionCell(int row, int column, const QString& label)
{
    auto* item = new QTableWidgetItem(label);
    item->setTextAlignment(Qt::AlignCenter);
    item->setBackground(KeyFunctions::color(label));
    item->setForeground(QColor(Qt::white));
    m_table->setItem(row, column, item);
}

void SettingsDialog::markRowStatus(int row)
{
    const QString before = m_table->item(row, CurrentFunction)->text();
    const QString after = m_table->item(row, NewFunction)->text();
    QTableWidgetItem* status = m_table->item(row, Status);
    if (before != after) {
        status->setIcon(QIcon(kEditIcon));
        status->setText(before + QStringLiteral(" -> ") + after);
    } else {
        status->setIcon(QIcon(kEqualIcon));
        status->setText(QString());
    }
}

void SettingsDialog::highlightSelectedRow(QTableWidgetItem* item)
{
    if (!item)
        return;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QTableWidgetItem* number = m_table->item(row, KeyNumber);
        number->setBackground(QColor(Qt::darkCyan));
        number->setIcon(QIcon());
    }
    m_selectedRow = item->row();
    QTableWidgetItem* number = m_table->item(m_selectedRow, KeyNumber);
    number->setBackground(QColor(Qt::darkYellow));
    number->setIcon(QIcon(kSelectedIcon));
    onRecordSelected();
}

void SettingsDialog::onRecordSelected()
{
    if (m_selectedRow < 0 || m_selectedRow >= m_table->rowCount())
        return;
    const QString label = m_table->item(m_selectedRow, NewFunction)->text();
    const QColor color = KeyFunctions::color(label);
    m_labelKeyIndex->setText(QString::number(m_selectedRow + 1));
    m_labelKeyName->setText(label);
    setLabelStyle(m_labelKeyIndex, color);
    setLabelStyle(m_labelKeyName, color);
    const int index = m_comboBox->findText(label);
    if (index >= 0)
        m_comboBox->setCurrentIndex(index);
}

void SettingsDialog::onComboBoxChanged(const QString&)
{
    // The choice takes effect with "修改".
}

void SettingsDialog::setLabelStyle(QLabel* label, const QColor& color)
{
    label->setStyleSheet(QStringLiteral("color: %1; font-size: 14pt; font-weight: bold;").arg(color.name()));
}

void SettingsDialog::on_btnOK_clicked()
{
    if (m_selectedRow < 0 || m_selectedRow >= m_table->rowCount()) {
        inform(this, kPickRow);
        return;
    }
    setFunctionCell(m_selectedRow, NewFunction, m_comboBox->currentText());
    markRowStatus(m_selectedRow);
    onRecordSelected();
}

void SettingsDialog::on_btnRevert_clicked()
{
    if (m_selectedRow < 0 || m_selectedRow >= m_table->rowCount()) {
        inform(this, kPickRow);
        return;
    }
    setFunctionCell(m_selectedRow, NewFunction, m_table->item(m_selectedRow, CurrentFunction)->text());
    markRowStatus(m_selectedRow);
    onRecordSelected();
}

bool SettingsDialog::keyMapFromTable(QByteArray* keyMap)
{
    keyMap->clear();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString label = m_table->item(row, NewFunction)->text();
        const std::optional<int> code = KeyFunctions::codeOf(label);
        if (!code) {
            inform(this, label + QStringLiteral(":暂不支持该选项"));
            return false;
        }
        keyMap->append(static_cast<char>(*code));
    }
    return true;
}

void SettingsDialog::on_btnSaveKeyMap_clicked()
{
    QByteArray keyMap;
    if (!keyMapFromTable(&keyMap))
        return;
    if (keyMap == m_keyMap) {
        inform(this, QStringLiteral("没有任何修改，无需保存"));
        return;
    }
    if (!confirm(this, QStringLiteral("保存"), QStringLiteral("是否保存修改？")))
        return;
    KeyboardSettingsHost* h = host();
    if (h && !h->setKeyMap(keyMap))
        fail(this, QStringLiteral("键位写入失败，请检查设备连接状态。"));
}

bool SettingsDialog::exportKeyMap(const QString& path)
{
    if (m_keyMap.isEmpty()) {
        fail(this, kNoKeyMapYet);
        return false;
    }
    KeyMapFile::Content content;
    content.keyMap = m_keyMap;
    if (KeyboardSettingsHost* h = hostOrNull()) {
        content.serial = h->deviceSerialNumber();
        content.build = h->deviceSettings().value(QStringLiteral("build")).toString();
    }
    QString error;
    if (!KeyMapFile::save(path, content, &error)) {
        fail(this, error);
        return false;
    }
    inform(this, QStringLiteral("已导出%1个按键的键位到：\n%2")
                     .arg(m_keyMap.size())
                     .arg(QDir::toNativeSeparators(path)));
    return true;
}

bool SettingsDialog::importKeyMap(const QString& path)
{
    if (m_keyMap.isEmpty()) {
        fail(this, kNoKeyMapYet);
        return false;
    }
    KeyMapFile::Content content;
    QString error;
    if (!KeyMapFile::load(path, &content, &error)) {
        fail(this, error);
        return false;
    }
    if (content.keyMap.size() != m_table->rowCount()) {
        fail(this, QStringLiteral("键位文件有%1个按键，当前键盘有%2个按键，无法导入。")
                       .arg(content.keyMap.size())
                       .arg(m_table->rowCount()));
        return false;
    }
    int changed = 0;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        setFunctionCell(row, NewFunction, KeyFunctions::labelOf(static_cast<quint8>(content.keyMap.at(row))));
        markRowStatus(row);
        if (content.keyMap.at(row) != m_keyMap.at(row))
            ++changed;
    }
    onRecordSelected();
    inform(this,
           QStringLiteral("已导入键盘 %1 的键位：%2个按键中有%3个与当前不同。\n请检查后点击“保存”写入键盘。")
               .arg(content.serial)
               .arg(content.keyMap.size())
               .arg(changed));
    return true;
}

void SettingsDialog::on_btnExportKeyMap_clicked()
{
    QString serial;
    if (KeyboardSettingsHost* h = hostOrNull())
        serial = h->deviceSerialNumber().trimmed();
    const QString suggested = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                              QStringLiteral("/键位-%1.json").arg(serial);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出键位"), suggested,
                                                      QStringLiteral("键位文件 (*.json)"));
    if (!path.isEmpty())
        exportKeyMap(path);
}

void SettingsDialog::on_btnImportKeyMap_clicked()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("导入键位"), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QStringLiteral("键位文件 (*.json)"));
    if (!path.isEmpty())
        importKeyMap(path);
}

void SettingsDialog::on_btnClose_clicked()
{
    reject();
}

// ---------------------------------------------------------------- LED

void SettingsDialog::on_btnLedApply_clicked()
{
    const int id = m_ledGroup->checkedId();
    if (id < Protocol::Led::Default)
        return;
    if (id == m_device.led) {
        inform(this, kNoChange);
        return;
    }
    if (KeyboardSettingsHost* h = host())
        h->setDeviceParameter(DevParamId::LedColor, id);
}

void SettingsDialog::on_btnLedSave_clicked()
{
    // The same permanent save as on the parameter tab, with the same answers on failure.
    on_btnSave_clicked();
}

void SettingsDialog::on_btnLedClose_clicked()
{
    reject();
}

// ---------------------------------------------------------------- multi-keyboard

void SettingsDialog::on_chkEnableMultiKeyboard_toggled(bool checked)
{
    m_multiKeyboard = checked;
    updateMultiKeyboardUI(checked);
    qDebug().noquote() << "多键盘支持状态已更改:" << (checked ? "启用" : "禁用");
    if (ConfigManager* config = ConfigManager::instance()) {
        config->setMultiKeyboardEnabled(checked);
        config->saveConfig();
        qDebug().noquote() << "多键盘配置已保存到配置文件";
    }
    if (KeyboardSettingsHost* h = host())
        h->setMultiKeyboardEnabled(checked);
}

void SettingsDialog::updateMultiKeyboardUI(bool enabled)
{
    if (enabled) {
        m_lblMultiKeyboardInfo->setText(QStringLiteral("已启用多键盘支持，支持多个灵拓键盘同步操作"));
        m_lblMultiKeyboardInfo->setStyleSheet(QStringLiteral("color: #006600; font-size: 14px;"));
    } else {
        m_lblMultiKeyboardInfo->setText(QStringLiteral("已禁用多键盘支持，只支持单键盘"));
        m_lblMultiKeyboardInfo->setStyleSheet(QStringLiteral("color: #666666; font-size: 14px;"));
    }
}
