#pragma once

// The TDX configuration dialog (买入限制设置): the buy restrictions the order dialog worker
// enforces (written only by 应用), the buy amount presets, the calibration test that finds where
// a TDX build shows code, name, price and quantities, and the TDX profiles.
//
// Created once by the main window and reused. Every change it commits (应用, a calibration, a
// profile saved or switched, the amount presets) is announced by configChanged, on which the
// main window makes the order dialog worker reload its configuration.

#include "trade/ProcessUtils.h"

#include <QDialog>
#include <QList>

class BuyAmountConfig;
class BuyAmountConfigWidget;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTextEdit;

class TdxCfgDlg : public QDialog
{
    Q_OBJECT

public:
    enum Tab
    {
        BuySettingsTab = 0,
        BuyAmountTab = 1,
        CalibrationTab = 2,
        ProfileTab = 3
    };

    // amounts: the preset store the amount tab edits (the process-wide one when null).
    explicit TdxCfgDlg(QWidget* parent = nullptr, BuyAmountConfig* amounts = nullptr);

    // The restriction switches, price limits and the automatic profile switch from the settings.
    void loadSettingsIntoUi();
    // The profiles, the current one marked, bold, shaded and selected.
    void refreshProfileTable();
    // The running TDX clients into the process list; without any the test buttons are disabled.
    void refreshProcessList();
    // For recalibration after the order dialog worker could not read a dialog.
    void openOnCalibrationTab();
    // What the main window does before each showing: the settings and profiles afresh, the
    // calibration tab in front when asked, centred on the primary screen's available area.
    void prepareForShowing(bool calibration);
    // The name of the profile selected in the table ("✓ " removed); empty when none.
    QString selectedProfileName() const;
    // The name offered for a new profile when no process is selected.
    QString suggestProfileName();
    // Measures the dialog titled dialogName of the selected process and, when code, name, price
    // and quantity were all found, makes the five positions active.
    void runCalibrationTest(const QString& dialogName, bool margin);

    QTabWidget* tabs() const { return m_tabs; }
    BuyAmountConfigWidget* amountWidget() const { return m_amountWidget; }
    const QList<TdxProcessInfo>& processes() const { return m_processes; }

signals:
    void configChanged();

public slots:
    void on_confirmButton_clicked();
    void on_cancelButton_clicked();
    void on_testNormalBuyButton_clicked();
    void on_testMarginBuyButton_clicked();
    void on_saveProfileButton_clicked();
    void on_deleteProfileButton_clicked();
    void on_renameProfileButton_clicked();
    void on_switchProfileButton_clicked();
    void on_refreshProcessButton_clicked();
    void onAmountConfigChanged();
    void on_profileComboBox_currentIndexChanged(int index);

private:
    QWidget* buildBuySettingsTab();
    QWidget* buildCalibrationTab();
    QWidget* buildProfileTab();
    QPushButton* button(const QString& objectName, const QString& text, const QString& toolTip,
                        void (TdxCfgDlg::*slot)());
    bool selectedProcess(TdxProcessInfo& process) const;
    // The selected profile for 删除 or 重命名 (operation); empty, after a warning, when none is
    // selected or it is the reserved 默认配置.
    QString selectedChangeableProfile(const QString& operation);
    void appendLog(const QString& text);
    // A question box with the buttons 是 and 否: true for 是.
    bool ask(const QString& title, const QString& text, bool yesIsDefault);
    // The name derived from a TDX window title: the text before "通达信"; "默认配置" otherwise.
    static QString nameFromTitle(const QString& title);

    ProcessUtils m_processUtils;
    QList<TdxProcessInfo> m_processes;
    BuyAmountConfigWidget* m_amountWidget = nullptr;
    int m_maxBuyPrice = 0;
    int m_minBuyPrice = 0;

    QTabWidget* m_tabs = nullptr;
    QCheckBox* m_onlyZz = nullptr;
    QCheckBox* m_onlyMain = nullptr;
    QCheckBox* m_notST = nullptr;
    QCheckBox* m_maxPriceLimit = nullptr;
    QLineEdit* m_maxPrice = nullptr;
    QCheckBox* m_minPriceLimit = nullptr;
    QLineEdit* m_minPrice = nullptr;
    QComboBox* m_processCombo = nullptr;
    QPushButton* m_testNormalBuy = nullptr;
    QPushButton* m_testMarginBuy = nullptr;
    QTextEdit* m_testResult = nullptr;
    QCheckBox* m_autoSwitch = nullptr;
    QTableWidget* m_profileTable = nullptr;
};
