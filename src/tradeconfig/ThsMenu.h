#pragma once

// The content of the main window's THS order menu: 一键全撤, 委托设置..., and one checkable entry
// per trading configuration, the one in THS checked. Choosing an entry applies that
// configuration to THS at once (xiadan.ini backed up first, like the dialog does).

#include "tradeconfig/ThsPresetFiles.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

class ThsMenu : public QObject
{
    Q_OBJECT

public:
    // The two fixed entries of a rebuilt menu, for the main window to connect to its own slots.
    struct FixedActions
    {
        QAction* cancelAll = nullptr; // checkable, data 56
        QAction* thsConfig = nullptr; // opens the THS configuration dialog
    };

    // messageParent: the window the message boxes belong to.
    explicit ThsMenu(QWidget* messageParent, QObject* parent = nullptr);

    // The configuration now in THS, as far as the program knows.
    QString currentConfigurationName() const { return m_currentName; }
    void setCurrentConfigurationName(const QString& name) { m_currentName = name; }

    // The THS variant (11 or 12) the entries apply to; the classic client until told otherwise.
    int softwareId() const { return m_softwareId; }
    void setSoftwareId(int softwareId) { m_softwareId = softwareId; }

    // Clears menu and fills it anew; a non-empty actionName becomes the current configuration
    // (currentConfigurationChanged). The entry of the current configuration is checked.
    FixedActions rebuild(QMenu* menu, const QString& actionName = QString());
    // Appends one checkable entry per trading configuration to menu (the first build of the
    // menu has fixed entries of its own above them).
    void addConfigurationEntries(QMenu* menu);
    // Applies the configuration to the THS variant softwareId (11 or 12). False after an error
    // message; true after the success message, with the order window of THS started again.
    bool applyConfiguration(const QString& name, int softwareId);

    // The message boxes: on top of everything, as the clock is (replaceable, e.g. by tests).
    std::function<void(bool isError, const QString& title, const QString& text)> showMessage;

signals:
    void currentConfigurationChanged(const QString& name);

private:
    void checkCurrent();

    QWidget* m_messageParent;
    QMenu* m_menu = nullptr;
    QActionGroup* m_group = nullptr;
    QString m_currentName;
    int m_softwareId = ThsPresetFiles::ThsClassic;
};
