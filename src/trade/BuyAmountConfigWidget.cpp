#include "trade/BuyAmountConfigWidget.h"

#include "trade/BuyAmountConfig.h"

#include <QCheckBox>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int MinAmount = 1;
constexpr int MaxAmount = 100000;

} // namespace

BuyAmountConfigWidget::BuyAmountConfigWidget(QWidget* parent, BuyAmountConfig* config)
    : QWidget(parent), m_config(config ? config : &BuyAmountConfig::instance())
{
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("配置最多8个买入限额快捷选项，金额范围：1-100000元，不能重复"), this);
    hint->setStyleSheet(QStringLiteral("color: #666; font-size: 12px;"));
    layout->addWidget(hint);

    auto* group = new QGroupBox(QStringLiteral("限额配置"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("启用"), group), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("金额（元）"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("显示名称（自动生成）"), group), 0, 2);
    for (int i = 0; i < BuyAmountConfig::MaxLimits; ++i) {
        Row row;
        row.enabled = new QCheckBox(group);
        row.amount = new QLineEdit(group);
        row.amount->setPlaceholderText(QStringLiteral("1-100000"));
        row.amount->setValidator(new QIntValidator(MinAmount, MaxAmount, row.amount));
        row.amount->setMaximumWidth(120);
        row.name = new QLineEdit(group);
        row.name->setReadOnly(true);
        row.name->setPlaceholderText(QStringLiteral("根据金额自动生成"));
        row.name->setMaximumWidth(150);
        row.name->setStyleSheet(QStringLiteral("QLineEdit { background-color: #f0f0f0; }"));
        grid->addWidget(row.enabled, i + 1, 0);
        grid->addWidget(row.amount, i + 1, 1);
        grid->addWidget(row.name, i + 1, 2);
        connect(row.enabled, &QCheckBox::toggled, this, &BuyAmountConfigWidget::onEnabledChanged);
        connect(row.amount, &QLineEdit::textChanged, this, &BuyAmountConfigWidget::onAmountChanged);
        m_rows.append(row);
    }
    layout->addWidget(group);

    auto* reset = new QPushButton(QStringLiteral("恢复默认"), this);
    reset->setObjectName(QStringLiteral("resetButton"));
    connect(reset, &QPushButton::clicked, this, &BuyAmountConfigWidget::onResetClicked);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(reset);
    layout->addLayout(buttons);
    layout->addStretch();

    loadFromConfig();
}

void BuyAmountConfigWidget::loadFromConfig()
{
    const QList<BuyAmountLimit> limits = m_config->limits();
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows.at(i);
        const BuyAmountLimit limit = i < limits.size() ? limits.at(i) : BuyAmountLimit{};
        const QSignalBlocker blockAmount(row.amount);
        row.enabled->setChecked(limit.enabled);
        row.amount->setText(limit.amount >= MinAmount ? QString::number(limit.amount) : QString());
        showName(row);
    }
    onEnabledChanged();
}

void BuyAmountConfigWidget::showName(const Row& row)
{
    const int amount = row.amount->text().trimmed().toInt();
    row.name->setText(amount >= MinAmount ? BuyAmountConfig::nameForAmount(amount) : QString());
}

void BuyAmountConfigWidget::onEnabledChanged()
{
    for (const Row& row : qAsConst(m_rows)) {
        const bool on = row.enabled->isChecked();
        row.amount->setEnabled(on);
        row.name->setEnabled(on);
    }
}

void BuyAmountConfigWidget::onAmountChanged()
{
    for (const Row& row : qAsConst(m_rows)) {
        if (row.amount == sender())
            showName(row);
    }
}

bool BuyAmountConfigWidget::validate()
{
    QList<int> used;
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows.at(i);
        if (!row.enabled->isChecked())
            continue;
        QString problem;
        const QString text = row.amount->text().trimmed();
        bool number = false;
        const int amount = text.toInt(&number);
        if (text.isEmpty())
            problem = QStringLiteral("第%1行：启用的项必须填写金额").arg(i + 1);
        else if (!number || amount < MinAmount || amount > MaxAmount)
            problem = QStringLiteral("第%1行：金额必须在1-100000之间").arg(i + 1);
        else if (used.contains(amount))
            problem = QStringLiteral("第%1行：金额%2元与其他行重复").arg(i + 1).arg(amount);
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("输入错误"), problem);
            return false;
        }
        used.append(amount);
    }
    return true;
}

bool BuyAmountConfigWidget::save()
{
    if (!validate())
        return false;
    QList<BuyAmountLimit> limits;
    for (const Row& row : qAsConst(m_rows)) {
        BuyAmountLimit limit;
        limit.enabled = row.enabled->isChecked();
        limit.amount = qMax(0, row.amount->text().trimmed().toInt());
        limit.name = BuyAmountConfig::nameForAmount(limit.amount);
        limits.append(limit);
    }
    m_config->setLimits(limits);
    // The chosen preset may just have been switched off: then no preset is chosen any more.
    const int current = m_config->currentIndex();
    if (current >= 0 && !limits.at(current).enabled)
        m_config->setCurrentIndex(-1);
    if (!m_config->save())
        return false;
    emit configChanged();
    qDebug().noquote() << "买入限额配置已保存";
    return true;
}

void BuyAmountConfigWidget::onResetClicked()
{
    if (QMessageBox::question(this, QStringLiteral("确认"), QStringLiteral("确定要恢复默认配置吗？当前配置将丢失。"),
                              QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    m_config->setLimits(BuyAmountConfig::defaultLimits());
    m_config->save();
    loadFromConfig();
    QMessageBox::information(this, QStringLiteral("成功"), QStringLiteral("已恢复默认配置"));
}
