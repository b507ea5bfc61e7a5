#include "tradeconfig/ThsMenu.h"

#include "config/ConfigManager.h"
#include "trade/WindowUtils.h"
#include "tradeconfig/ThsApply.h"
#include "tradeconfig/ThsPresetFiles.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>

ThsMenu::ThsMenu(QWidget* messageParent, QObject* parent) : QObject(parent), m_messageParent(messageParent)
{
    showMessage = [this](bool isError, const QString& title, const QString& text) {
        QMessageBox box(isError ? QMessageBox::Warning : QMessageBox::Information, title, text, QMessageBox::Ok,
                        m_messageParent);
        box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
        box.exec();
    };
}

ThsMenu::FixedActions ThsMenu::rebuild(QMenu* menu, const QString& actionName)
{
    FixedActions fixed;
    menu->clear();
    fixed.cancelAll = menu->addAction(QStringLiteral("一键全撤"));
    fixed.cancelAll->setCheckable(true);
    fixed.cancelAll->setData(56);
    menu->addSeparator();
    fixed.thsConfig = menu->addAction(QIcon(QStringLiteral(":/img/hexin.ico")), QStringLiteral("委托设置..."));
    menu->addSeparator();
    addConfigurationEntries(menu);

    if (!actionName.isEmpty()) {
        m_currentName = actionName;
        emit currentConfigurationChanged(m_currentName);
    }
    checkCurrent();
    return fixed;
}

void ThsMenu::addConfigurationEntries(QMenu* menu)
{
    m_menu = menu;
    delete m_group;
    m_group = new QActionGroup(this);
    m_group->setExclusive(true);
    QStringList names;
    if (!ThsPresetFiles::listConfigurationNames(ConfigManager::instance()->configDirPath(), names))
        qWarning().noquote() << "加载配置失败,程序已损坏,请重新安装程序";
    for (const QString& name : qAsConst(names)) {
        QAction* action = menu->addAction(name);
        action->setCheckable(true);
        action->setData(name);
        m_group->addAction(action);
        connect(action, &QAction::triggered, this, [this, name] {
            applyConfiguration(name, m_softwareId);
        });
    }
    checkCurrent();
}

void ThsMenu::checkCurrent()
{
    if (!m_group)
        return;
    for (QAction* action : m_group->actions())
        action->setChecked(action->data().toString() == m_currentName);
}

bool ThsMenu::applyConfiguration(const QString& name, int softwareId)
{
    const auto fail = [this](const QString& text) {
        showMessage(true, QStringLiteral("错误"), text);
        // The entry the user clicked is checked by now; the one still in THS gets its mark back.
        checkCurrent();
        return false;
    };
    if (!ThsApply::closeOrderClient())
        return fail(QStringLiteral("请先退出同花顺网上交易"));
    const QString iniPath = ThsApply::iniPathIn(ThsPresetFiles::thsInstallDirectory(softwareId));
    const QString configDir = ConfigManager::instance()->configDirPath();
    switch (ThsApply::applyConfiguration(iniPath, ThsApply::configurationPath(configDir, name))) {
    case ThsApply::Result::IniMissing:
        return fail(QStringLiteral("同花顺下单配置未初始化,请先登录同花顺交易,然后退出,然后再设置"));
    case ThsApply::Result::BackupFailed:
        return fail(QStringLiteral("请退出同花顺交易，再来设置"));
    case ThsApply::Result::ConfigUnreadable:
        return fail(QStringLiteral("读取[") + name + QStringLiteral("]配置失败，配置不存在"));
    case ThsApply::Result::WriteFailed:
        return fail(QStringLiteral("无法更新配置"));
    case ThsApply::Result::Applied:
        break;
    }
    m_currentName = name;
    checkCurrent();
    emit currentConfigurationChanged(m_currentName);
    showMessage(false, QStringLiteral("配置完成"), QStringLiteral("配置已成功更新，请重新登录交易"));
    WindowUtils::bringThsToFrontAndPressF12(softwareId);
    return true;
}
