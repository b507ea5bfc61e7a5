#pragma once

#include "trade/TradeTypes.h"

#include <QString>

// What the automation knows about the current trading-client window and what it has read out of
// it. Reached through StateMachine::record(); the desktop watcher writes only the window, class
// and title (StateMachine::setWindow), the order dialog worker everything else.
struct TradeWindowRecord
{
    QString className;
    QString title;
    QString code;                // stock code read from the dialog (6 digits)
    QString name;                // stock name read from the dialog
    QString quantityText;        // text of the quantity edit
    QString initialQuantityText; // quantity text when the dialog was first seen visible
    QString priceText;           // text of the price edit
    trade::HWND hwnd = 0;
    // Cached controls of the order dialog (the field readers' caches).
    trade::HWND codeControl = 0;
    trade::HWND priceControl = 0;
    trade::HWND nameControl = 0;
    trade::HWND quantityControl = 0;
    trade::HWND maxQuantityControl = 0;
    qint64 markTime = 0; // set by the worker when it starts waiting inside a step
};
