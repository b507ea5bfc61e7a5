// What the clock tells the user about trades and the keyboard's answers: spoken outcomes, the
// check marks that follow the keyboard's state, and the prompts of the order dialog worker when
// a TDX dialog cannot be read.

#include "clock/Widget.h"

#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/Protocol.h"
#include "trade/KeyboardReports.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

void checkGroupByData(QActionGroup* group, int value)
{
    if (!group)
        return;
    for (QAction* action : group->actions())
        action->setChecked(action->data().toInt() == value);
}

// Sets the mark of every entry of the menu with that data code.
void setMark(QMenu* menu, int code, bool on)
{
    if (!menu)
        return;
    for (QAction* action : menu->actions()) {
        if (action->isCheckable() && action->data().type() == QVariant::Int && action->data().toInt() == code)
            action->setChecked(on);
    }
}

QString unreadableDialogText(const QString& dataType, const QString& dialogTypeName)
{
    if (dialogTypeName.isEmpty())
        return QStringLiteral("无法读取通达信下单对话框的%1。").arg(dataType);
    return QStringLiteral("无法读取通达信\"%1\"对话框的%2。").arg(dialogTypeName, dataType);
}

void setYesNoTexts(QMessageBox& box)
{
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::Yes);
}

} // namespace

// ---------------------------------------------------------------- keyboard reports

void Widget::reportTradeOutcome(const DataParser& state)
{
    const QString text = OutcomeMessages::keyboardReportText(state.status(), state.reason(), state.keyFunction());
    if (!text.isEmpty())
        speak(text);
}

void Widget::trade_confirm_tip(DataParser* dataParser, bool all)
{
    if (!dataParser)
        return;
    const QString text = OutcomeMessages::confirmModeText(dataParser->buyConfirm(), dataParser->sellConfirm(), all);
    if (!text.isEmpty())
        speak(text);
}

// ---------------------------------------------------------------- check marks

void Widget::refreshAllCheckMarks(const DataParser& state)
{
    refreshSoftwareMarks(state.soft());
    refreshSpeedMarks(state.speed());
    refreshPriceTypeMarks(state.priceType());
    refreshOrderMenuMarks(state);
    refreshKeyboardMenuMarks(state);
}

void Widget::refreshSoftwareMarks(int soft)
{
    checkGroupByData(m_softwareGroup, soft);
    m_currentSoft = soft;
}

void Widget::refreshSpeedMarks(int speed)
{
    checkGroupByData(m_speedGroup, speed);
    m_currentSpeed = speed;
}

void Widget::refreshPriceTypeMarks(int priceType)
{
    checkGroupByData(m_priceTypeGroup, priceType);
    m_currentPriceType = priceType;
}

void Widget::refreshOrderMenuMarks(const DataParser& state)
{
    QMenu* menu = state.soft() == Protocol::Soft::Ths ? m_thsOrderMenu : m_tdxOrderMenu;
    setMark(menu, 43, state.buyConfirm());
    setMark(menu, 46, state.sellConfirm());
    setMark(menu, 56, state.cancelAll());
}

void Widget::refreshKeyboardMenuMarks(const DataParser& state)
{
    // The keyboard settings dialog takes the same answer as a whole (loadSettingsDialog).
    const struct
    {
        int code;
        bool on;
    } marks[] = {
        {43, state.buyConfirm()}, {46, state.sellConfirm()},   {54, state.tradeOnStartup()},
        {55, state.numLock()},    {56, state.cancelAll()},     {57, state.queryKey()},
        {58, state.focusEnabled()}, {59, state.costStat()},    {61, state.fnKey()},
    };
    for (const auto& m : marks)
        setMark(m_keyboardMenu, m.code, m.on);
}

// ---------------------------------------------------------------- the worker's prompts

QString Widget::configPromptText(const QString& dataType, const QString& dialogTypeName)
{
    return unreadableDialogText(dataType, dialogTypeName) + QStringLiteral("\n\n这可能是因为当前软件的配置不正确。") +
           QStringLiteral("\n\n是否现在打开测试页面重新配置？");
}

QString Widget::switchProfilePromptText(const QString& profileName, const QString& dataType,
                                        const QString& dialogTypeName)
{
    return unreadableDialogText(dataType, dialogTypeName) +
           QStringLiteral("\n\n检测到您已有配置方案\"%1\"，\n是否切换到该配置方案？").arg(profileName) +
           QStringLiteral("\n\n（如果选择\"否\"，将打开测试页面重新配置）");
}

void Widget::showConfigPrompt(QString dataType, QString dialogTypeName)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("需要配置"), configPromptText(dataType, dialogTypeName),
                    QMessageBox::Yes | QMessageBox::No, this);
    setYesNoTexts(box);
    if (runMessageBox(box) == QMessageBox::Yes)
        openTestDialog();
}

void Widget::showSwitchProfilePrompt(QString profileName, QString dataType, QString dialogTypeName)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("发现匹配的配置"),
                    switchProfilePromptText(profileName, dataType, dialogTypeName),
                    QMessageBox::Yes | QMessageBox::No, this);
    setYesNoTexts(box);
    if (runMessageBox(box) != QMessageBox::Yes) {
        openTestDialog();
        return;
    }
    ConfigManager* config = ConfigManager::instance();
    if (config->loadProfile(profileName)) {
        config->setCurrentProfile(profileName);
        config->saveConfig();
        emit m_connectionManager->reloadCfg();
        QMessageBox done(QMessageBox::Information, QStringLiteral("切换成功"),
                         QStringLiteral("已成功切换到配置方案：%1\n\n请重新尝试交易操作。").arg(profileName),
                         QMessageBox::Ok, this);
        runMessageBox(done);
    } else {
        QMessageBox failed(QMessageBox::Warning, QStringLiteral("切换失败"),
                           QStringLiteral("无法加载配置方案：%1").arg(profileName), QMessageBox::Ok, this);
        runMessageBox(failed);
    }
}

void Widget::openTestDialog()
{
    if (runTdxConfigDialog(true))
        rebuildTdxOrderMenu();
}
