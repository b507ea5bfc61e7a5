#pragma once

#include <QList>
#include <QWidget>

class BuyAmountConfig;
class QCheckBox;
class QLineEdit;

// The editor of the eight buy amount presets (a tab of the TDX configuration dialog): per row a
// switch, the amount (1-100000 yuan) and the name made from it. Nothing reaches the store until
// save() has validated every ticked row.
class BuyAmountConfigWidget : public QWidget
{
    Q_OBJECT

public:
    // Edits the process-wide store unless another is given.
    explicit BuyAmountConfigWidget(QWidget* parent = nullptr, BuyAmountConfig* config = nullptr);

    // Fills the rows from the store (names by the name rule, not as stored).
    void loadFromConfig();
    // The first ticked row that is empty, out of range or a repeat gets a warning; false then.
    bool validate();
    // Validates, then stores the rows and writes the file. False when refused or not written.
    bool save();

    QCheckBox* enabledBox(int row) const { return m_rows.at(row).enabled; }
    QLineEdit* amountEdit(int row) const { return m_rows.at(row).amount; }
    QLineEdit* nameEdit(int row) const { return m_rows.at(row).name; }

signals:
    void configChanged();

public slots:
    void onAmountChanged();
    void onEnabledChanged();
    void onResetClicked();

private:
    struct Row
    {
        QCheckBox* enabled = nullptr;
        QLineEdit* amount = nullptr;
        QLineEdit* name = nullptr;
    };

    void showName(const Row& row);

    BuyAmountConfig* m_config;
    QList<Row> m_rows;
};
