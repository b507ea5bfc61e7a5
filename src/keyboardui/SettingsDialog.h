#pragma once

// 高级设置: edits the active keyboard through the main window (KeyboardSettingsHost): its
// parameters (tab 键盘设置), its key map (tab 按键设置, with export to and import from a file) and
// its LED mode (tab 灯光设置), the focus point per trading software, and single- or multi-keyboard
// operation.
//
// The main window feeds it as the keyboard answers: loadDeviceValues() after every state answer
// (these are the values "应用" compares the form with), loadForm() after a full state answer. Key
// maps arrive in onKeyMapDataLoad.

#include "keyboardlink/protocol/DevParamId.h"

#include <QByteArray>
#include <QDialog>
#include <QPair>
#include <QPoint>
#include <QPointer>
#include <QVector>

class BreathingLight;
class ColorComboBox;
class KeyboardSettingsHost;
class MousePositionWidget;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;
class QTimer;

class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ParameterIntervalMs = 500;
    static constexpr int TrackingIntervalMs = 200;
    static constexpr int KeyMapTab = 1;

    explicit SettingsDialog(QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // The device loader: shows the keyboard's reported values and remembers them.
    void loadDeviceValues();
    // The form loader: the same, plus the software whose focus point is edited, its stored
    // point and the key delays.
    void loadForm();

    // Key map files. Import loads the file into the table as changes to review and "保存".
    bool exportKeyMap(const QString& path);
    bool importKeyMap(const QString& path);

    // The pending parameter writes of the last "应用", in the order they go out.
    QVector<QPair<DevParamId, int>> pendingWrites() const { return m_pending; }

public slots:
    void onKeyMapDataLoad(const QByteArray& keyMap);
    void onMouseTrackEnd();
    void updateMousePosition();
    void saveParameters();
    void updateNextParameter();
    void on_btnSave_clicked();
    void on_radioThsActive_clicked();
    void on_radioTdxActive_clicked();
    void on_btnReload_clicked();
    void on_btnApply_clicked();
    void on_comboBoxSpeed_activated(int index);
    void on_tabWidget_currentChanged(int index);
    void onRecordSelected();
    void onComboBoxChanged(const QString& text);
    void on_btnReflash_clicked();
    void setLabelStyle(QLabel* label, const QColor& color);
    void on_btnOK_clicked();
    void highlightSelectedRow(QTableWidgetItem* item);
    void on_btnRevert_clicked();
    void on_btnSaveKeyMap_clicked();
    void on_btnClose_clicked();
    void on_btnLedApply_clicked();
    void on_btnLedSave_clicked();
    void on_btnLedClose_clicked();
    void on_radioFocusPositon_clicked();
    void on_btnToPositon_clicked();
    void on_chkEnableMultiKeyboard_toggled(bool checked);
    void updateMultiKeyboardUI(bool enabled);
    void on_btnExportKeyMap_clicked();
    void on_btnImportKeyMap_clicked();

private:
    // What the keyboard holds, or what the form says.
    struct Values
    {
        int soft = 0;
        int focus = 0;
        bool trade = false;
        bool numLock = false;
        bool cancel = false;
        bool query = false;
        bool cost = false;
        bool buyConfirm = false;
        bool sellConfirm = false;
        bool fnKey = false;
        int speed = 0;
        int keyDownDelay = 0;
        int keyUpDelay = 0;
        int led = -1;
    };

    void buildForm();
    QWidget* buildParameterTab();
    QWidget* buildKeyMapTab();
    QWidget* buildLedTab();
    void connectForm();
    void loadMultiKeyboardSetting();

    // The main window, or null after telling the user it is missing.
    KeyboardSettingsHost* host();
    KeyboardSettingsHost* hostOrNull() const;
    static Values valuesOf(const QVariantMap& settings);
    void showIdentity(const QString& serial, const QVariantMap& settings);
    void showValues(const Values& values);
    Values readForm() const;
    void showFocusPosition();
    void flashPoint(const QPoint& point);
    void stopMouseTracking();
    void placeTracker(const QPoint& cursor);
    void finishParameterWrites();

    // Key map table.
    void setFunctionCell(int row, int column, const QString& label);
    void markRowStatus(int row);
    void clearKeyMap();
    // The new key map from column 2; false (after telling the user) when a label is unknown.
    bool keyMapFromTable(QByteArray* keyMap);

    // Tab 键盘设置.
    QTabWidget* m_tabWidget = nullptr;
    QRadioButton* m_radioThsActive = nullptr;
    QRadioButton* m_radioTdxActive = nullptr;
    QRadioButton* m_radioThs = nullptr;
    QRadioButton* m_radioTdx = nullptr;
    QButtonGroup* m_softGroup = nullptr;
    QRadioButton* m_radioFocusDisable = nullptr;
    QRadioButton* m_radioFocusEnable = nullptr;
    QRadioButton* m_radioFocusMouseMove = nullptr;
    QRadioButton* m_radioFocusPositon = nullptr;
    QLineEdit* m_coordinateEdit = nullptr;
    QCheckBox* m_chkTrade = nullptr;
    QCheckBox* m_chkNumLock = nullptr;
    QCheckBox* m_chkCancelAll = nullptr;
    QCheckBox* m_chkQuerySwitch = nullptr;
    QCheckBox* m_chkCostStat = nullptr;
    QCheckBox* m_chkBuyConfirm = nullptr;
    QCheckBox* m_chkSellConfirm = nullptr;
    QCheckBox* m_chkDisableFnKey = nullptr;
    QSpinBox* m_spinKeyDown = nullptr;
    QSpinBox* m_spinKeyUp = nullptr;
    QComboBox* m_comboBoxSpeed = nullptr;
    QCheckBox* m_chkEnableMultiKeyboard = nullptr;
    QLabel* m_lblMultiKeyboardInfo = nullptr;
    QLabel* m_lblKeyboardBuildDate = nullptr;
    // Tab 按键设置.
    QTableWidget* m_table = nullptr;
    QLabel* m_labelKeyIndex = nullptr;
    QLabel* m_labelKeyName = nullptr;
    QLabel* m_lblKeyMapKeyboard = nullptr;
    ColorComboBox* m_comboBox = nullptr;
    // Tab 灯光设置.
    QButtonGroup* m_ledGroup = nullptr;

    Values m_device;
    int m_softType = 0; // whose focus point is edited
    QPoint m_pickedPoint;
    QByteArray m_keyMap;    // as the keyboard last reported it
    QString m_keyMapSerial; // of the keyboard that reported it
    int m_selectedRow = -1;
    bool m_keyMapRequested = false;
    bool m_mouseTracking = false;
    QTimer* m_trackingTimer = nullptr;
    MousePositionWidget* m_mousePositionWidget = nullptr;
    bool m_multiKeyboard = false;

    QVector<QPair<DevParamId, int>> m_pending;
    int m_pendingPos = 0;
    QTimer* m_parameterTimer = nullptr;
    QPointer<QProgressDialog> m_progress;
};
