#include "trade/TradeTypes.h"

#include "trade/WindowState.h"

#include <QMetaType>

namespace trade {

void registerMetaTypes()
{
    qRegisterMetaType<HWND>("trade::HWND");
    qRegisterMetaType<WPARAM>("trade::WPARAM");
    // The short names too, for connections written with SIGNAL()/SLOT() texts.
    qRegisterMetaType<HWND>("HWND");
    qRegisterMetaType<WPARAM>("WPARAM");
    qRegisterMetaType<WindowState>("WindowState");
}

} // namespace trade
