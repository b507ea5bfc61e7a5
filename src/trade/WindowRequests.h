#pragma once

// Clicking a button and closing a window of a trading client. The order dialog worker asks for
// them with its requestClickButton / requestCloseWindow signals; they run on the GUI thread (the
// connection manager's slots call these). The click is sent with WindowUtils::sendToClient, so
// that a client that does not answer holds the GUI thread for ClientReplyLimitMs at most. Waits
// take the time of platform::services().clock.

#include "trade/TradeTypes.h"

namespace WindowRequests {

// BM_CLICK to a button without parent or control id, otherwise WM_COMMAND/BN_CLICKED to its
// parent. False when there was no button to click (a null handle, a window that has gone) or the
// client did not answer the click in time (it may still act on it later).
bool clickButton(trade::HWND button);
// Esc to the window in front; WM_CLOSE only when Esc did not close it.
void closeWindow(trade::HWND window);

} // namespace WindowRequests
