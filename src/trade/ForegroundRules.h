#pragma once

#include "trade/StateMachine.h"

#include <QString>
#include <QStringList>

#include <functional>

// What a trading-client window in front is, from its class, its title, the state before it and,
// for some dialogs, the texts of its "Static" children. Software ids: 1 = 同花顺 (THS),
// 2 = 通达信 (TDX); THS subtype 1 = classic client, 2 = 同花顺远航版.
struct ForegroundVerdict
{
    int rule = 12; // the rule of the classification table that matched (1 … 12)
    bool setsState = false;
    StateMachine::State state = StateMachine::Idle;
    int softwareId = 0; // a client's main window (rules 1 to 3), else 0
    int subtype = 0;
};

namespace ForegroundRules {

// Windows that belong to a trading client. The THS order client ("网上股票交易…") is not one.
bool isTradingWindow(const QString& className, const QString& title);

// Case-sensitive rules on the full title, first match wins. staticTexts is asked only by the
// dialogs that are told apart by their texts ("提示" and unnamed "#32770" dialogs).
ForegroundVerdict classify(const QString& className, const QString& title, StateMachine::State current,
                           const std::function<QStringList()>& staticTexts);

// The client whose main window this is (1 THS, 2 TDX), 0 for anything else.
int mainWindowSoftware(const QString& className, const QString& title);

// "同花顺" for 1, "通达信" for 2, "未知" otherwise.
QString softwareName(int softwareId);

} // namespace ForegroundRules
