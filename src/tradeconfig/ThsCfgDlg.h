#pragma once

// The THS configuration dialog (委托价格设置): pick a trading configuration, set the fixed buy
// and fixed sell presets, and apply the configuration to THS (xiadan.ini backed up first, then
// rewritten atomically); delete configurations that are no longer needed.
//
// Created once by the main window and reused; not modal. Before each showing the main window
// sets the THS variant; showFor() then loads the directory and the presets in force.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class ThsCfgDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ThsCfgDlg(QWidget* parent = nullptr);

    int softwareId() const { return m_softwareId; }
    void setSoftwareId(int softwareId) { m_softwareId = softwareId; }
    QString thsDirectory() const { return m_thsDirectory; }
    QString currentConfigurationName() const { return m_currentConfigurationName; }

    // Finds the THS directory and shows the configuration and the presets now in xiadan.ini.
    // False (after a warning) when the directory or xiadan.ini is missing.
    bool load();
    // Centres the dialog on the primary screen, load(), then shows, raises and activates it
    // (not modal).
    void showFor(int softwareId);
    // The configuration list again (after a delete, or when files changed).
    void refillConfigurations();

signals:
    // The THS menu is out of date; a non-empty name is the configuration now in THS.
    void reflashThsMenu(QString menuName);

public slots:
    void on_confirmButton_clicked();
    void on_deleteButton_clicked();
    void on_lineEdit_clicked();
    void on_cmbBuyType_currentIndexChanged(int index);
    void on_cmbSellType_currentIndexChanged(int index);
    void on_comboBox_activated(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void error(const QString& text);

    int m_softwareId = 0;
    QString m_thsDirectory;
    int m_buyType = 1;
    int m_buyNumber = 8888;
    int m_sellType = 0;
    int m_sellNumber = 0;
    QString m_currentConfigurationName;

    QComboBox* m_buyTypeCombo = nullptr;
    QLabel* m_buyAmountLabel = nullptr;
    QLineEdit* m_buyAmount = nullptr;
    QComboBox* m_sellTypeCombo = nullptr;
    QLabel* m_sellAmountLabel = nullptr;
    QLineEdit* m_sellAmount = nullptr;
    QComboBox* m_configurations = nullptr;
    QLineEdit* m_directoryEdit = nullptr;
};
