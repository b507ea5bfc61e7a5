#include "tradeconfig/TdxCfgDlg.h"

#include "config/ConfigManager.h"
#include "platform/api/Platform.h"
#include "trade/BuyAmountConfigWidget.h"
#include "trade/WindowUtils.h"
#include "tradeconfig/DialogLook.h"
#include "tradeconfig/TdxCalibration.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QString CheckMark = QStringLiteral("✓ ");

QLineEdit* priceEdit(QWidget* parent, const QString& objectName)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setValidator(new QIntValidator(0, 9999, edit));
    return edit;
}

QCheckBox* checkBox(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(objectName);
    return box;
}

} // namespace

TdxCfgDlg::TdxCfgDlg(QWidget* parent, BuyAmountConfig* amounts) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("买入限制设置"));
    setConfigurationDialogLook(this);
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabWidget"));
    m_tabs->addTab(buildBuySettingsTab(), QStringLiteral("买入设置"));
    m_tabs->addTab(buildCalibrationTab(), QStringLiteral("定制版(券商版)设置"));
    m_tabs->addTab(buildProfileTab(), QStringLiteral("配置方案管理"));
    layout->addWidget(m_tabs);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button(QStringLiteral("cancelButton"), QStringLiteral("取消"), QString(),
                              &TdxCfgDlg::on_cancelButton_clicked));
    QPushButton* confirm = button(QStringLiteral("confirmButton"), QStringLiteral("应用"), QString(),
                                  &TdxCfgDlg::on_confirmButton_clicked);
    confirm->setDefault(true);
    buttons->addWidget(confirm);
    layout->addLayout(buttons);

    m_amountWidget = new BuyAmountConfigWidget(this, amounts);
    m_tabs->insertTab(BuyAmountTab, m_amountWidget, QStringLiteral("买入限额配置"));
    m_tabs->setCurrentIndex(BuySettingsTab);
    connect(m_amountWidget, &BuyAmountConfigWidget::configChanged, this, &TdxCfgDlg::onAmountConfigChanged);
    adjustSize();

    loadSettingsIntoUi();
    refreshProfileTable();
    refreshProcessList();
}

QPushButton* TdxCfgDlg::button(const QString& objectName, const QString& text, const QString& toolTip,
                               void (TdxCfgDlg::*slot)())
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(objectName);
    b->setToolTip(toolTip);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

QWidget* TdxCfgDlg::buildBuySettingsTab()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_onlyZz = checkBox(page, QStringLiteral("enableOnlyZzCheckBox"), QStringLiteral("只买可转债"));
    m_onlyMain = checkBox(page, QStringLiteral("enableOnlyMainCheckBox"), QStringLiteral("只买主板"));
    m_notST = checkBox(page, QStringLiteral("enableNotSTCheckBox"), QStringLiteral("不买ST股"));
    layout->addWidget(m_onlyZz);
    layout->addWidget(m_onlyMain);
    layout->addWidget(m_notST);

    const auto priceRow = [&](QCheckBox* box, const QString& label, QLineEdit* edit) {
        auto* row = new QHBoxLayout;
        row->addWidget(box);
        row->addStretch();
        row->addWidget(new QLabel(label, page));
        row->addWidget(edit);
        layout->addLayout(row);
    };
    m_maxPriceLimit = checkBox(page, QStringLiteral("enableBuyPriceLimitCheckBox"), QStringLiteral("启用最高价限制"));
    m_maxPrice = priceEdit(page, QStringLiteral("maxBuyPriceLineEdit"));
    priceRow(m_maxPriceLimit, QStringLiteral("买入最高价（元）"), m_maxPrice);
    m_minPriceLimit = checkBox(page, QStringLiteral("enableMinPriceLimitCheckBox"), QStringLiteral("启用最低价限制"));
    m_minPrice = priceEdit(page, QStringLiteral("minBuyPriceLineEdit"));
    priceRow(m_minPriceLimit, QStringLiteral("买入最低价（元）"), m_minPrice);
    layout->addStretch();
    return page;
}

QWidget* TdxCfgDlg::buildCalibrationTab()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* hint = new QLabel(QStringLiteral("请先选择通达信软件，然后按照提示进行测试"), page);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto* processRow = new QHBoxLayout;
    processRow->addWidget(new QLabel(QStringLiteral("通达信软件："), page));
    m_processCombo = new QComboBox(page);
    m_processCombo->setObjectName(QStringLiteral("processComboBox"));
    m_processCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_processCombo->setMinimumContentsLength(40); // "通达信金融终端V7.65 - [版面-自选股] (PID:1012)"
    processRow->addWidget(m_processCombo, 1);
    processRow->addWidget(button(QStringLiteral("refreshProcessButton"), QStringLiteral("刷新"),
                                 QStringLiteral("刷新通达信进程列表"), &TdxCfgDlg::on_refreshProcessButton_clicked));
    layout->addLayout(processRow);

    auto* testRow = new QHBoxLayout;
    m_testNormalBuy = button(
        QStringLiteral("testNormalBuyButton"), QStringLiteral("测试闪电买入"),
        QStringLiteral("请先按F9打开\"闪电买入\"对话框，输入股票代码600000，然后点击此按钮测试"),
        &TdxCfgDlg::on_testNormalBuyButton_clicked);
    m_testMarginBuy = button(
        QStringLiteral("testMarginBuyButton"), QStringLiteral("测试闪电融资买入"),
        QStringLiteral("请先打开\"闪电融资买入\"对话框，输入股票代码600000，然后点击此按钮测试"),
        &TdxCfgDlg::on_testMarginBuyButton_clicked);
    testRow->addWidget(m_testNormalBuy);
    testRow->addWidget(m_testMarginBuy);
    layout->addLayout(testRow);

    m_testResult = new QTextEdit(page);
    m_testResult->setObjectName(QStringLiteral("testResultTextEdit"));
    m_testResult->setReadOnly(true);
    layout->addWidget(m_testResult);
    return page;
}

QWidget* TdxCfgDlg::buildProfileTab()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_autoSwitch = checkBox(page, QStringLiteral("enableAutoSwitchProfileCheckBox"), QStringLiteral("智能切换配置"));
    m_autoSwitch->setToolTip(QStringLiteral("根据当前软件自动切换配置方案，支持同时使用多个通达信软件"));
    layout->addWidget(m_autoSwitch);

    m_profileTable = new QTableWidget(0, 3, page);
    m_profileTable->setObjectName(QStringLiteral("profileTableWidget"));
    m_profileTable->setHorizontalHeaderLabels(
        {QStringLiteral("配置名称"), QStringLiteral("进程标识/路径"), QStringLiteral("保存时间")});
    m_profileTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_profileTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_profileTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_profileTable->verticalHeader()->setVisible(false);
    QHeaderView* header = m_profileTable->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Interactive);
    header->setSectionResizeMode(1, QHeaderView::Interactive);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    m_profileTable->setColumnWidth(0, 160);
    m_profileTable->setColumnWidth(1, 280);
    m_profileTable->setMinimumWidth(650); // the save time ("2026-05-06 14:03:09") whole
    layout->addWidget(m_profileTable);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button(QStringLiteral("switchProfileButton"), QStringLiteral("设置为当前配置"),
                              QStringLiteral("将选中的配置方案设置为当前使用的配置"),
                              &TdxCfgDlg::on_switchProfileButton_clicked));
    buttons->addWidget(button(QStringLiteral("saveProfileButton"), QStringLiteral("保存新方案"),
                              QStringLiteral("将当前配置保存为新的配置方案"), &TdxCfgDlg::on_saveProfileButton_clicked));
    buttons->addWidget(button(QStringLiteral("renameProfileButton"), QStringLiteral("重命名"),
                              QStringLiteral("重命名选中的配置方案"), &TdxCfgDlg::on_renameProfileButton_clicked));
    buttons->addWidget(button(QStringLiteral("deleteProfileButton"), QStringLiteral("删除"),
                              QStringLiteral("删除选中的配置方案"), &TdxCfgDlg::on_deleteProfileButton_clicked));
    layout->addLayout(buttons);
    return page;
}

// ---------------------------------------------------------------- settings

void TdxCfgDlg::loadSettingsIntoUi()
{
    ConfigManager* config = ConfigManager::instance();
    m_onlyZz->setChecked(config->tdxOnlyZz());
    m_onlyMain->setChecked(config->tdxOnlyMain());
    m_notST->setChecked(config->tdxNotST());
    m_maxPriceLimit->setChecked(config->tdxBuyMaxPriceLimitEnabled());
    m_maxPrice->setText(QString::number(config->tdxBuyMaxPrice()));
    m_minPriceLimit->setChecked(config->tdxBuyMinPriceLimitEnabled());
    m_minPrice->setText(QString::number(config->tdxBuyMinPrice()));
    m_autoSwitch->setChecked(config->autoSwitchProfileEnabled());
}

void TdxCfgDlg::on_confirmButton_clicked()
{
    m_maxBuyPrice = m_maxPrice->text().toInt(nullptr, 10);
    m_minBuyPrice = m_minPrice->text().toInt(nullptr, 10);
    if (!m_amountWidget->save())
        return;
    ConfigManager* config = ConfigManager::instance();
    config->setTdxNotST(m_notST->isChecked());
    config->setTdxOnlyMain(m_onlyMain->isChecked());
    config->setTdxOnlyZz(m_onlyZz->isChecked());
    config->setAutoSwitchProfileEnabled(m_autoSwitch->isChecked());
    config->setTdxBuyMaxPriceLimitEnabled(m_maxPriceLimit->isChecked());
    config->setTdxBuyMaxPrice(m_maxBuyPrice);
    config->setTdxBuyMinPriceLimitEnabled(m_minPriceLimit->isChecked());
    config->setTdxBuyMinPrice(m_minBuyPrice);
    config->saveConfig();
    accept();
}

void TdxCfgDlg::on_cancelButton_clicked()
{
    reject();
}

void TdxCfgDlg::onAmountConfigChanged()
{
    emit configChanged();
}

void TdxCfgDlg::on_profileComboBox_currentIndexChanged(int)
{
}

// ---------------------------------------------------------------- processes and calibration

void TdxCfgDlg::refreshProcessList()
{
    m_processes = m_processUtils.getAllTdxProcesses();
    m_processCombo->clear();
    const bool any = !m_processes.isEmpty();
    if (!any)
        m_processCombo->addItem(QStringLiteral("未检测到通达信进程"));
    m_processCombo->setEnabled(any);
    m_testNormalBuy->setEnabled(any);
    m_testMarginBuy->setEnabled(any);
    for (const TdxProcessInfo& process : qAsConst(m_processes)) {
        const QString label = process.title.isEmpty() ? process.path : process.title;
        m_processCombo->addItem(QStringLiteral("%1 (PID:%2)").arg(label).arg(process.pid));
    }
}

void TdxCfgDlg::on_refreshProcessButton_clicked()
{
    refreshProcessList();
    if (m_processes.isEmpty())
        QMessageBox::information(this, QStringLiteral("刷新完成"),
                                 QStringLiteral("未检测到通达信进程！\n请先启动通达信软件，然后点击刷新按钮。"));
    else
        QMessageBox::information(this, QStringLiteral("刷新成功"),
                                 QStringLiteral("已检测到 %1 个通达信进程！").arg(m_processes.size()));
}

void TdxCfgDlg::openOnCalibrationTab()
{
    m_tabs->setCurrentIndex(CalibrationTab);
}

void TdxCfgDlg::prepareForShowing(bool calibration)
{
    loadSettingsIntoUi();
    refreshProfileTable();
    if (calibration)
        openOnCalibrationTab();
    centreOnPrimaryScreen(this);
}

bool TdxCfgDlg::selectedProcess(TdxProcessInfo& process) const
{
    const int index = m_processCombo->currentIndex();
    if (index < 0 || index >= m_processes.size())
        return false;
    process = m_processes.at(index);
    return true;
}

void TdxCfgDlg::appendLog(const QString& text)
{
    m_testResult->append(text);
}

bool TdxCfgDlg::ask(const QString& title, const QString& text, bool yesIsDefault)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    WindowUtils::setMessageBoxButtonTexts(&box, QStringLiteral("是"), QStringLiteral("否"));
    return box.exec() == QMessageBox::Yes;
}

void TdxCfgDlg::on_testNormalBuyButton_clicked()
{
    runCalibrationTest(QStringLiteral("闪电买入"), false);
}

void TdxCfgDlg::on_testMarginBuyButton_clicked()
{
    runCalibrationTest(QStringLiteral("闪电融资买入"), true);
}

void TdxCfgDlg::runCalibrationTest(const QString& dialogName, bool margin)
{
    m_testResult->clear();
    TdxProcessInfo process;
    if (!selectedProcess(process)) {
        QMessageBox::warning(this, QStringLiteral("错误"), QStringLiteral("请先选择一个通达信进程！"));
        return;
    }
    appendLog(QStringLiteral("开始测试通达信\"%1\"对话框...\n").arg(dialogName));
    appendLog(QStringLiteral("选择的进程PID: %1\n").arg(process.pid));

    // A 64-bit TDX shows its trading dialogs from TC.exe, which runs once the user has logged in.
    quint32 pid = process.pid;
    if (process.is64Bit) {
        pid = m_processUtils.findProcessIdByName(QStringLiteral("TC.exe"));
        if (pid == 0) {
            QMessageBox::warning(this, QStringLiteral("错误"),
                                 QStringLiteral("当前选择的是64位通达信,你没有登录交易系统,请先登录"));
            return;
        }
    }

    const trade::HWND dialog = WindowUtils::findDialogByTitle(dialogName, pid);
    if (!dialog) {
        const QString message = QStringLiteral("未找到属于选择进程(PID:%1)的\"%2\"对话框！\n请确保：\n1. 已打开正确的通达信软件\n"
                                               "2. 已输入股票代码600000\n3. 已打开\"%2\"对话框")
                                    .arg(pid)
                                    .arg(dialogName);
        appendLog(QStringLiteral("错误：%1").arg(message));
        QMessageBox::warning(this, QStringLiteral("测试失败"), message);
        return;
    }
    platform::Desktop* desktop = platform::services().desktop;
    appendLog(QStringLiteral("找到\"%1\"对话框，PID: %2").arg(dialogName).arg(desktop->windowProcessId(dialog)));
    appendLog(QStringLiteral("开始测试："));

    const TdxCalibration::Result found = TdxCalibration::measure(dialog);
    appendLog(QStringLiteral("\n========== 测试结果 =========="));
    appendLog(found.code >= 0 ? QStringLiteral("代码测试成功 ✓") : QStringLiteral("代码测试失败 ✗"));
    appendLog(found.name >= 0 ? QStringLiteral("名称测试成功 ✓") : QStringLiteral("名称测试失败 ✗"));
    appendLog(found.price >= 0 ? QStringLiteral("价格测试成功 ✓") : QStringLiteral("价格测试失败 ✗"));
    appendLog(found.quantity >= 0 ? QStringLiteral("数量测试成功 ✓") : QStringLiteral("数量测试失败 ✗"));
    appendLog(found.maxQuantity >= 0 ? QStringLiteral("最大可用数量测试成功 ✓")
                                     : QStringLiteral("最大可用数量测试失败 ✗ (可选项，不影响整体结果)"));

    if (!found.succeeded()) {
        appendLog(QStringLiteral("\n测试失败！请确保："));
        appendLog(QStringLiteral("1. 已打开通达信\"%1\"对话框").arg(dialogName));
        appendLog(QStringLiteral("2. 已输入股票代码600000"));
        appendLog(QStringLiteral("3. 股票名称显示为'浦发银行'"));
        QMessageBox::warning(this, QStringLiteral("测试失败"),
                             QStringLiteral("测试失败！请确保：\n1. 已打开通达信\"%1\"对话框\n2. 已输入股票代码600000\n"
                                            "3. 股票名称显示为'浦发银行'")
                                 .arg(dialogName));
        return;
    }

    appendLog(QStringLiteral("\n测试成功！"));
    ConfigManager* config = ConfigManager::instance();
    if (margin) {
        config->setTdxMarginCodeIndex(found.code);
        config->setTdxMarginNameIndex(found.name);
        config->setTdxMarginPriceIndex(found.price);
        config->setTdxMarginQuantityIndex(found.quantity);
        config->setTdxMarginMaxQuantityIndex(found.maxQuantity);
    } else {
        config->setTdxCodeIndex(found.code);
        config->setTdxNameIndex(found.name);
        config->setTdxPriceIndex(found.price);
        config->setTdxQuantityIndex(found.quantity);
        config->setTdxMaxQuantityIndex(found.maxQuantity);
    }
    // The measured positions are in force now, whether or not they become a profile: the order
    // dialog worker re-reads them.
    emit configChanged();
    if (ask(QStringLiteral("保存配置"), QStringLiteral("\"%1\"测试成功！是否保存为新的配置方案？").arg(dialogName), true))
        on_saveProfileButton_clicked();
    else
        config->saveConfig();
}

// ---------------------------------------------------------------- profiles

QString TdxCfgDlg::nameFromTitle(const QString& title)
{
    const int at = title.indexOf(QStringLiteral("通达信"));
    if (at > 0) {
        const QString name = title.left(at).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return ConfigManager::ReservedProfileName;
}

QString TdxCfgDlg::suggestProfileName()
{
    const QList<TdxProcessInfo> processes = m_processUtils.getAllTdxProcesses();
    if (processes.isEmpty())
        return ConfigManager::ReservedProfileName;
    if (processes.size() == 1)
        return nameFromTitle(processes.first().title);

    QStringList items;
    for (const TdxProcessInfo& process : processes)
        items.append(QStringLiteral("PID:%1 - %2").arg(process.pid).arg(process.title.isEmpty() ? process.path
                                                                                                 : process.title));
    bool ok = false;
    const QString choice =
        QInputDialog::getItem(this, QStringLiteral("选择通达信进程"),
                              QStringLiteral("检测到多个通达信进程，请选择要配置的进程："), items, 0, false, &ok);
    const int index = items.indexOf(choice);
    if (!ok || index < 0)
        return ConfigManager::ReservedProfileName;
    return nameFromTitle(processes.at(index).title);
}

void TdxCfgDlg::on_saveProfileButton_clicked()
{
    QString suggestion;
    QString identifier;
    TdxProcessInfo process;
    if (selectedProcess(process)) {
        const QString label = process.title.isEmpty() ? process.path : process.title;
        if (!label.contains(QStringLiteral(".exe"), Qt::CaseInsensitive)) {
            const int dash = label.indexOf(QStringLiteral(" - "));
            suggestion = (dash > 0 ? label.left(dash) : label).trimmed();
        } else {
            suggestion = QFileInfo(ConfigManager::imageDirectory(label)).fileName();
        }
        if (!process.path.isEmpty())
            identifier = ConfigManager::imageDirectory(process.path);
    } else {
        suggestion = suggestProfileName();
    }

    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("保存配置方案"), QStringLiteral("请输入配置方案名称："),
                                               QLineEdit::Normal, suggestion, &ok);
    if (!ok || name.isEmpty())
        return;

    ConfigManager* config = ConfigManager::instance();
    qDebug().noquote() << "准备保存配置方案:" << name;
    qDebug().noquote() << "当前索引值 - CodeIndex:" << config->tdxCodeIndex() << "NameIndex:" << config->tdxNameIndex()
                       << "PriceIndex:" << config->tdxPriceIndex() << "QuantityIndex:" << config->tdxQuantityIndex();
    if (!config->saveProfile(name, identifier)) {
        QMessageBox::warning(this, QStringLiteral("保存失败"), QStringLiteral("配置方案保存失败！"));
        return;
    }
    config->loadProfile(name);
    config->saveConfig();
    emit configChanged();
    refreshProfileTable();
    QMessageBox::information(this, QStringLiteral("保存成功"), QStringLiteral("配置方案\"%1\"已保存！").arg(name));
}

void TdxCfgDlg::refreshProfileTable()
{
    ConfigManager* config = ConfigManager::instance();
    const QStringList profiles = config->profileList();
    const QString current = config->currentProfileName();
    const QSignalBlocker blocker(m_profileTable);
    m_profileTable->clearContents();
    m_profileTable->setRowCount(profiles.size());
    m_profileTable->setColumnCount(3);
    int currentRow = -1;
    for (int row = 0; row < profiles.size(); ++row) {
        const QString& name = profiles.at(row);
        const bool isCurrent = name == current;
        const QString identifier = config->profileProcessIdentifier(name);
        const QString saveTime = config->profileSaveTime(name);
        const QStringList cells = {isCurrent ? CheckMark + name : name, identifier.isEmpty() ? QStringLiteral("-") : identifier,
                                   saveTime.isEmpty() ? QStringLiteral("-") : saveTime};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells.at(column));
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (isCurrent) {
                item->setBackground(QColor(230, 247, 255));
                if (column == 0) {
                    QFont bold = item->font();
                    bold.setBold(true);
                    item->setFont(bold);
                }
            }
            m_profileTable->setItem(row, column, item);
        }
        if (isCurrent)
            currentRow = row;
    }
    if (currentRow >= 0)
        m_profileTable->selectRow(currentRow);
    else
        m_profileTable->clearSelection();
}

QString TdxCfgDlg::selectedProfileName() const
{
    const QList<QTableWidgetItem*> selected = m_profileTable->selectedItems();
    for (const QTableWidgetItem* item : selected) {
        if (item->column() != 0)
            continue;
        QString name = item->text();
        if (name.startsWith(CheckMark))
            name = name.mid(CheckMark.size());
        return name;
    }
    return QString();
}

QString TdxCfgDlg::selectedChangeableProfile(const QString& operation)
{
    const QString name = selectedProfileName();
    const QString title = operation + QStringLiteral("失败");
    if (name.isEmpty()) {
        QMessageBox::warning(this, title, QStringLiteral("请先在表格中选择要%1的配置方案！").arg(operation));
        return QString();
    }
    if (name == ConfigManager::ReservedProfileName) {
        QMessageBox::warning(this, title, QStringLiteral("不能%1默认配置！").arg(operation));
        return QString();
    }
    return name;
}

void TdxCfgDlg::on_deleteProfileButton_clicked()
{
    const QString name = selectedChangeableProfile(QStringLiteral("删除"));
    if (name.isEmpty())
        return;
    if (!ask(QStringLiteral("确认删除"), QStringLiteral("确定要删除配置方案“%1”吗？").arg(name), false))
        return;
    if (!ConfigManager::instance()->deleteProfile(name)) {
        QMessageBox::warning(this, QStringLiteral("删除失败"), QStringLiteral("配置方案删除失败！"));
        return;
    }
    refreshProfileTable();
    loadSettingsIntoUi();
    QMessageBox::information(this, QStringLiteral("删除成功"), QStringLiteral("配置方案“%1”已删除！").arg(name));
}

void TdxCfgDlg::on_renameProfileButton_clicked()
{
    const QString oldName = selectedChangeableProfile(QStringLiteral("重命名"));
    if (oldName.isEmpty())
        return;
    bool ok = false;
    const QString newName = QInputDialog::getText(this, QStringLiteral("重命名配置方案"),
                                                  QStringLiteral("请输入新的配置方案名称："), QLineEdit::Normal, oldName, &ok);
    if (!ok || newName.isEmpty() || newName == oldName)
        return;
    if (!ConfigManager::instance()->renameProfile(oldName, newName)) {
        QMessageBox::warning(this, QStringLiteral("重命名失败"), QStringLiteral("配置方案重命名失败！"));
        return;
    }
    refreshProfileTable();
    QMessageBox::information(this, QStringLiteral("重命名成功"), QStringLiteral("配置方案已重命名为\"%1\"！").arg(newName));
}

void TdxCfgDlg::on_switchProfileButton_clicked()
{
    const QString name = selectedProfileName();
    if (name.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("切换失败"), QStringLiteral("请先在表格中选择要切换的配置方案！"));
        return;
    }
    ConfigManager* config = ConfigManager::instance();
    if (name == config->currentProfileName()) {
        QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("\"%1\"已经是当前使用的配置方案！").arg(name));
        return;
    }
    if (!config->loadProfile(name)) {
        QMessageBox::warning(this, QStringLiteral("切换失败"), QStringLiteral("无法加载配置方案：%1").arg(name));
        return;
    }
    config->setCurrentProfile(name);
    config->saveConfig();
    loadSettingsIntoUi();
    emit configChanged();
    QMessageBox::information(this, QStringLiteral("切换成功"), QStringLiteral("已成功切换到配置方案：%1").arg(name));
    refreshProfileTable();
}
