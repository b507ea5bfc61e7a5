#include "trade/ForegroundRules.h"

namespace ForegroundRules {

namespace {

const QString TdxMainClass = QStringLiteral("TdxW_MainFrame_Class");
const QString DialogClass = QStringLiteral("#32770");
const QString ThsTitle = QStringLiteral("同花顺");
const QString ThsYhTitle = QStringLiteral("同花顺远航版");

ForegroundVerdict verdict(int rule, StateMachine::State state, int softwareId = 0, int subtype = 0)
{
    ForegroundVerdict v;
    v.rule = rule;
    v.setsState = true;
    v.state = state;
    v.softwareId = softwareId;
    v.subtype = subtype;
    return v;
}

ForegroundVerdict noChange(int rule)
{
    ForegroundVerdict v;
    v.rule = rule;
    return v;
}

} // namespace

bool isTradingWindow(const QString& className, const QString& title)
{
    if (title.startsWith(QStringLiteral("网上股票交易")))
        return false;
    if (title.startsWith(ThsYhTitle))
        return true;
    if (className == DialogClass || className == TdxMainClass || className == QLatin1String("Tdx") ||
        className == QLatin1String("TdxW"))
        return true;
    return className.startsWith(QLatin1String("Afx:")) || className.startsWith(QLatin1String("HwndWrapper"));
}

ForegroundVerdict classify(const QString& className, const QString& title, StateMachine::State current,
                           const std::function<QStringList()>& staticTexts)
{
    if (className == TdxMainClass) {
        return verdict(
            1, title.contains(QStringLiteral("版面")) ? StateMachine::TdxLayout : StateMachine::TdxMain, 2,
            1);
    }
    if (className.startsWith(QLatin1String("Afx:")) && title.startsWith(ThsTitle))
        return verdict(2, StateMachine::ThsMain, 1, 1);
    if (className.startsWith(QLatin1String("HwndWrapper")) && title.startsWith(ThsYhTitle))
        return verdict(3, StateMachine::ThsYhMain, 1, 2);
    if (className != DialogClass)
        return noChange(12);

    if (title.contains(QStringLiteral("闪电买")) || title.contains(QStringLiteral("闪电融资买")))
        return verdict(4, StateMachine::FlashBuy);
    if (title.contains(QStringLiteral("闪电卖")))
        return verdict(5, StateMachine::FlashSell);
    if (title == QLatin1String("Tdx"))
        return verdict(6, StateMachine::TdxDialog);
    if (title == QStringLiteral("提示")) {
        const QStringList texts = staticTexts ? staticTexts() : QStringList();
        for (const QString& text : texts) {
            if (text.startsWith(QStringLiteral("委托已提交")))
                return verdict(7, StateMachine::OrderSubmitted);
        }
        return noChange(7);
    }
    if (title == QStringLiteral("请选择"))
        return verdict(8, StateMachine::SelectDialog);
    if (title == QStringLiteral("买入交易确认") || title == QStringLiteral("卖出交易确认"))
        return verdict(9, StateMachine::TradeConfirm);
    if (current == StateMachine::ThsMain || current == StateMachine::ThsYhMain)
        return verdict(10, StateMachine::ThsDialog);

    const QStringList texts = staticTexts ? staticTexts() : QStringList();
    for (const QString& text : texts) {
        if (text.startsWith(QStringLiteral("您确定撤消")))
            return verdict(11, StateMachine::CancelConfirm);
        if (text.startsWith(QStringLiteral("一键撤单")))
            return verdict(11, StateMachine::CancelAll);
    }
    return noChange(11);
}

int mainWindowSoftware(const QString& className, const QString& title)
{
    if (className == TdxMainClass)
        return 2;
    if (className.startsWith(QLatin1String("Afx:")) && title.startsWith(ThsTitle))
        return 1;
    if (className.startsWith(QLatin1String("HwndWrapper")) && title.startsWith(ThsYhTitle))
        return 1;
    return 0;
}

QString softwareName(int softwareId)
{
    switch (softwareId) {
    case 1:
        return QStringLiteral("同花顺");
    case 2:
        return QStringLiteral("通达信");
    default:
        return QStringLiteral("未知");
    }
}

} // namespace ForegroundRules
