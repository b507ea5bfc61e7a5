#pragma once

#include "trade/TradeTypes.h"

// Where the trade rules report what they decided. The order dialog worker implements it by
// emitting its signals: sendAction → actionSignal (to the keyboard), sendNotice → notice (spoken),
// requestClose → requestCloseWindow (closed on the GUI thread).
class TradeOutcomeSink
{
public:
    virtual ~TradeOutcomeSink() = default;
    virtual void sendAction(int action, int reason) = 0;
    virtual void sendNotice(int action, int reason) = 0;
    virtual void requestClose(trade::HWND window) = 0;
};
