#include "tradeconfig/ThsCfgDlg.h"

#include "config/ConfigManager.h"
#include "trade/WindowUtils.h"
#include "tradeconfig/DialogLook.h"
#include "tradeconfig/ThsApply.h"
#include "tradeconfig/ThsPresetFiles.h"

#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QIntValidator>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

const QString FixedBuy = QStringLiteral("定买");
const QString FixedSell = QStringLiteral("定卖");

QString configDirectory()
{
    return ConfigManager::instance()->configDirPath();
}

QLabel* label(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(objectName);
    return l;
}

QComboBox* typeCombo(QWidget* parent, const QString& objectName)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->addItems({QStringLiteral("数量"), QStringLiteral("金额")});
    return combo;
}

QLineEdit* amountEdit(QWidget* parent, const QString& objectName)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setValidator(new QIntValidator(0, 99999999, edit));
    return edit;
}

// The amount label for a preset type: 1 amount in yuan, 0 quantity in shares; others none.
QString amountLabel(const QString& preset, int type)
{
    if (type == 1)
        return preset + QStringLiteral("金额(元)");
    if (type == 0)
        return preset + QStringLiteral("数量(股)");
    return QString();
}

} // namespace

ThsCfgDlg::ThsCfgDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ThsCfgDlg"));
    setWindowTitle(QStringLiteral("委托价格设置"));
    setConfigurationDialogLook(this, Qt::Tool);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);

    auto* grid = new QGridLayout(this);
    m_buyTypeCombo = typeCombo(this, QStringLiteral("cmbBuyType"));
    m_buyAmountLabel = label(this, QStringLiteral("labelBuyAmount"), QStringLiteral("定买的金额/数量"));
    m_buyAmount = amountEdit(this, QStringLiteral("lineEditBuyAmount"));
    m_sellTypeCombo = typeCombo(this, QStringLiteral("cmbSellType"));
    m_sellAmountLabel = label(this, QStringLiteral("labelSellAmount"), QStringLiteral("定卖的金额/数量"));
    m_sellAmount = amountEdit(this, QStringLiteral("lineEditSellAmount"));
    grid->addWidget(label(this, QStringLiteral("labelAmountType"), QStringLiteral("定买的类型")), 0, 0);
    grid->addWidget(m_buyTypeCombo, 0, 1);
    grid->addWidget(m_buyAmountLabel, 1, 0);
    grid->addWidget(m_buyAmount, 1, 1);
    grid->addWidget(label(this, QStringLiteral("labelSellType"), QStringLiteral("定卖的类型")), 2, 0);
    grid->addWidget(m_sellTypeCombo, 2, 1);
    grid->addWidget(m_sellAmountLabel, 3, 0);
    grid->addWidget(m_sellAmount, 3, 1);

    grid->addWidget(label(this, QStringLiteral("label_2"), QStringLiteral("选择委托价格")), 4, 0);
    grid->addWidget(label(this, QStringLiteral("labelCurrentConfig"), QStringLiteral("当前的交易配置：")), 5, 0);
    m_configurations = new QComboBox(this);
    m_configurations->setObjectName(QStringLiteral("comboBox"));
    grid->addWidget(m_configurations, 5, 1);
    setFocusProxy(m_configurations);

    auto* deleteButton = new QPushButton(QStringLiteral("删除配置"), this);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    deleteButton->setToolTip(QStringLiteral("当你觉得哪个配置不需要了，就可以删除它，注意删除后不可恢复"));
    deleteButton->setAutoDefault(false);
    auto* confirmButton = new QPushButton(QStringLiteral("应用"), this);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    confirmButton->setToolTip(QStringLiteral("把你当前选择的买卖档位的交易配置更新到同花顺的配置中，重新登录交易后生效"));
    confirmButton->setDefault(true);
    grid->addWidget(deleteButton, 6, 0);
    grid->addWidget(confirmButton, 6, 1);

    grid->addWidget(label(this, QStringLiteral("label"), QStringLiteral("同花顺安装目录")), 7, 0);
    // A click anywhere in the directory field opens the folder chooser (it is never typed into).
    m_directoryEdit = new QLineEdit(this);
    m_directoryEdit->setObjectName(QStringLiteral("lineEdit"));
    m_directoryEdit->installEventFilter(this);
    m_directoryEdit->setMinimumWidth(320);
    grid->addWidget(m_directoryEdit, 7, 1);

    connect(m_buyTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ThsCfgDlg::on_cmbBuyType_currentIndexChanged);
    connect(m_sellTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ThsCfgDlg::on_cmbSellType_currentIndexChanged);
    connect(m_configurations, QOverload<int>::of(&QComboBox::activated), this, &ThsCfgDlg::on_comboBox_activated);
    connect(deleteButton, &QPushButton::clicked, this, &ThsCfgDlg::on_deleteButton_clicked);
    connect(confirmButton, &QPushButton::clicked, this, &ThsCfgDlg::on_confirmButton_clicked);

    refillConfigurations();
    adjustSize();
    qDebug().noquote() << "ThsCfgDlg setupUi 完成，窗口属性已设置为安全模式";
}

bool ThsCfgDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_directoryEdit && event->type() == QEvent::MouseButtonPress) {
        on_lineEdit_clicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ThsCfgDlg::error(const QString& text)
{
    QMessageBox::warning(this, QStringLiteral("错误"), text);
}

void ThsCfgDlg::refillConfigurations()
{
    QStringList names;
    if (!ThsPresetFiles::listConfigurationNames(configDirectory(), names)) {
        error(QStringLiteral("加载配置失败,程序已损坏,请重新安装程序"));
        return;
    }
    const QString selected = m_configurations->currentText();
    m_configurations->clear();
    m_configurations->addItems(names);
    const int index = m_configurations->findText(selected);
    if (index >= 0)
        m_configurations->setCurrentIndex(index);
}

bool ThsCfgDlg::load()
{
    m_thsDirectory = ThsPresetFiles::thsInstallDirectory(m_softwareId);
    if (m_thsDirectory.isEmpty()) {
        error(QStringLiteral("未发现同花顺安装目录"));
        return false;
    }
    m_directoryEdit->setText(m_thsDirectory);
    const QString iniPath = m_thsDirectory + QStringLiteral("xiadan.ini");
    if (!QFileInfo::exists(iniPath)) {
        error(QStringLiteral("同花顺配置文件不存在，请先登录同花顺交易然后退出"));
        return false;
    }

    const QString value = ThsPresetFiles::readFloatScheme(iniPath);
    const QJsonDocument document = QJsonDocument::fromJson(value.toUtf8());
    if (value.isEmpty() || document.isNull())
        return true;
    const QJsonObject schemeSet = document.object();
    m_currentConfigurationName = ThsPresetFiles::configurationName(schemeSet);
    const int index = m_configurations->findText(m_currentConfigurationName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        m_configurations->setCurrentIndex(index);

    if (ThsPresetFiles::findPresetAmount(schemeSet, FixedBuy, m_buyType, m_buyNumber)) {
        m_buyTypeCombo->setCurrentIndex(m_buyType);
        m_buyAmount->setText(QString::number(m_buyNumber));
        on_cmbBuyType_currentIndexChanged(m_buyType);
    }
    if (ThsPresetFiles::findPresetAmount(schemeSet, FixedSell, m_sellType, m_sellNumber)) {
        m_sellTypeCombo->setCurrentIndex(m_sellType);
        m_sellAmount->setText(QString::number(m_sellNumber));
        on_cmbSellType_currentIndexChanged(m_sellType);
    }
    return true;
}

void ThsCfgDlg::showFor(int softwareId)
{
    setSoftwareId(softwareId);
    centreOnPrimaryScreen(this);
    load();
    show();
    activateWindow();
    raise();
    setFocus();
}

void ThsCfgDlg::on_cmbBuyType_currentIndexChanged(int index)
{
    const QString text = amountLabel(FixedBuy, index);
    if (!text.isEmpty())
        m_buyAmountLabel->setText(text);
}

void ThsCfgDlg::on_cmbSellType_currentIndexChanged(int index)
{
    const QString text = amountLabel(FixedSell, index);
    if (!text.isEmpty())
        m_sellAmountLabel->setText(text);
}

void ThsCfgDlg::on_comboBox_activated(int)
{
}

void ThsCfgDlg::on_lineEdit_clicked()
{
    const QString start = m_directoryEdit->text().isEmpty() ? QStringLiteral(".") : m_directoryEdit->text();
    QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("选择同花顺文件夹"), start,
                                                       QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_directoryEdit->setText(folder);
    m_thsDirectory = folder;
}

void ThsCfgDlg::on_confirmButton_clicked()
{
    if (!ThsApply::closeOrderClient()) {
        error(QStringLiteral("请先退出同花顺网上交易"));
        return;
    }
    if (m_buyAmount->text().isEmpty()) {
        error(QStringLiteral("定买金额或数量不能为空"));
        return;
    }
    const int buyType = m_buyTypeCombo->currentIndex();
    const int buyNumber = m_buyAmount->text().toInt();
    const int sellType = m_sellTypeCombo->currentIndex();
    const int sellNumber = m_sellAmount->text().toInt(); // empty counts as 0
    const QString name = m_configurations->currentText();
    const QString fileName = name + QStringLiteral(".json");
    if (m_thsDirectory.isEmpty()) {
        error(QStringLiteral("未设置同花顺安装目录"));
        return;
    }

    // The new presets go into every configuration, the one applied included.
    if (!ThsPresetFiles::updateAllConfigurationFiles(configDirectory(), buyType, buyNumber, sellType, sellNumber))
        error(QStringLiteral("设置定买金额失败"));

    switch (ThsApply::applyConfiguration(ThsApply::iniPathIn(m_thsDirectory),
                                         ThsApply::configurationPath(configDirectory(), name))) {
    case ThsApply::Result::IniMissing:
        error(QStringLiteral("同花顺下单配置未初始化,请先登录同花顺交易,然后退出,然后再设置"));
        return;
    case ThsApply::Result::BackupFailed:
        error(QStringLiteral("请退出同花顺交易，再来设置"));
        return;
    case ThsApply::Result::ConfigUnreadable:
        error(QStringLiteral("读取[") + fileName + QStringLiteral("]配置失败，配置不存在"));
        return;
    case ThsApply::Result::WriteFailed:
        error(QStringLiteral("无法更新配置"));
        return;
    case ThsApply::Result::Applied:
        break;
    }

    m_currentConfigurationName = name;
    emit reflashThsMenu(name);
    QMessageBox::information(this, QStringLiteral("配置完成"), QStringLiteral("配置已更新成功，请重新登录交易"));
    accept();
    const int softwareId = m_softwareId;
    QTimer::singleShot(100, this, [softwareId] {
        qDebug().noquote() << "对话框已关闭，开始执行StartThsXiadanApp";
        WindowUtils::bringThsToFrontAndPressF12(softwareId);
    });
}

void ThsCfgDlg::on_deleteButton_clicked()
{
    const QString name = m_configurations->currentText();
    const QString path = ThsApply::configurationPath(configDirectory(), name);
    if (name == m_currentConfigurationName) {
        error(QStringLiteral("当前配置[") + name + QStringLiteral("]正在使用中,不能删除"));
        return;
    }
    if (!QFileInfo::exists(path)) {
        error(QStringLiteral("配置不存在,不需要删除"));
        return;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("确认删除"),
                    QStringLiteral("你确认要删除[") + name + QStringLiteral("]吗？"), QMessageBox::Ok | QMessageBox::Cancel,
                    this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Ok)
        return;
    if (ThsPresetFiles::backupFile(path, ThsApply::KeptBackups) && QFile::remove(path)) {
        QMessageBox::information(this, QStringLiteral("删除完成"), QStringLiteral("配置已删除成功！"));
        emit reflashThsMenu(QString());
    } else {
        error(QStringLiteral("无法删除文件，请到应用程序config文件夹下手动删除"));
    }
    refillConfigurations();
}
