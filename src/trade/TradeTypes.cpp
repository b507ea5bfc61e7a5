#include "trade/TradeTypes.h"

#include "trade/WindowState.h"

#include <QMetaType>

namespace trade {

void registerMetaTypes()
{
    qRegisterMetaType<HWND>("trade::HWND");
    qRegisterMetaType<WPARAM>("trade::WPARAM");
    qRegisterMetaType<WindowState>("WindowState");
}

} // namespace trade
