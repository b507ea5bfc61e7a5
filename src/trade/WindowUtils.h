#pragma once

// Finding, reading and driving the windows and controls of the trading clients, through
// platform::services().desktop (every call keeps its Win32 meaning). Waits take the time of
// platform::services().clock. Without an installed desktop every query answers "none".

#include "platform/api/Types.h"
#include "trade/TradeTypes.h"

#include <QList>
#include <QString>

class QMessageBox;

namespace WindowUtils {

using trade::HWND;

// GetClassNameW into a buffer of bufferSize units (at most bufferSize - 1 characters).
QString getClassName(HWND hwnd, int bufferSize = 32);
// GetWindowTextW with a limit of maxCount units (at most maxCount - 1 characters).
QString getWindowText(HWND hwnd, int maxCount = 255);
// How long a message to a trading client's window may wait for its answer. The client is
// another program: when its thread hangs (or is stuck in a long computation), SendMessage would
// block the caller for as long, and with it the order dialog worker, the GUI thread and every
// stop of the trade threads. A client that answers at all answers a text or a click within a few
// milliseconds; 200 ms leaves room for a busy one and still keeps the program responsive.
constexpr std::uint32_t ClientReplyLimitMs = 200;

// SendMessageTimeoutW with SMTO_ABORTIFHUNG and ClientReplyLimitMs: true when the window
// answered, with its result in result (when not null). False when it is gone, hung or slower
// than the limit; Windows may still deliver the message later, so what it asked for may still
// happen.
bool sendToClient(HWND hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                  std::intptr_t* result = nullptr);

// WM_GETTEXT into a 32-unit buffer (at most 31 characters), sent with sendToClient. False when
// the control did not answer: then text is left empty and must not be taken for the control's
// content.
bool readControlText(HWND hwnd, QString& text);
// readControlText's text; empty when nothing was copied or the control did not answer.
QString getControlText(HWND hwnd);

// The dialog's visible, enabled "Button" child titled 买入, 卖出, 融资买入 or 融券卖出 (spaces
// ignored), never one whose text mentions 数量 or 金额; null when none or the dialog is gone.
HWND findConfirmButton(HWND dialog);
// The first child whose class contains "Button" (any case) and whose trimmed text equals text.
HWND findButtonByText(HWND dialog, const QString& text);
// The n-th (from 0) child whose class contains "Static" (any case), in enumeration order; text
// receives its text. Null when there are fewer.
HWND findNthStatic(HWND dialog, int n, QString* text = nullptr);
// The n-th (from 0) direct child of class "Edit" (FindWindowExW); null when there are fewer.
HWND findNthEdit(HWND dialog, int n);
// The children of class exactly "Static" in enumeration order, with their texts.
QList<QPair<HWND, QString>> staticChildren(HWND dialog);
// The first visible top-level "#32770" window whose title contains text (of process pid when
// pid is not 0).
HWND findDialogByTitle(const QString& text, platform::ProcessId pid = 0);
// The first top-level window whose title starts with prefix; title receives the full title.
HWND findWindowByTitlePrefix(const QString& prefix, QString* title = nullptr);
// type 11: the classic THS main window ("Afx:…", "同花顺…"); otherwise 同花顺远航版
// ("HwndWrapper…", "同花顺远航版…").
HWND findThsMainWindow(int type);
// Brings that THS main window to the front and presses F12 (its order client) a second later.
bool bringThsToFrontAndPressF12(int type);

bool isTopMost(HWND hwnd);
bool setTopMost(HWND hwnd);
bool cancelTopMost(HWND hwnd);

void pressEnter();
void pressEsc();
// One key-down input, 5 ms, one key-up input.
void sendKey(int virtualKey);
bool postCommand(HWND hwnd, std::uintptr_t wParam, std::intptr_t lParam);
// A button-down and a button-up input at screen pixel (x, y) in absolute coordinates, without
// moving the cursor. False when the screen size is unknown.
bool leftClickAt(int x, int y);
bool middleClickAt(int x, int y);

// The application's active window, else its first visible top-level "Qt…" window with a title
// (looked up on platform::services().hostDesktop).
HWND ownWindowId();
void setMessageBoxButtonTexts(QMessageBox* box, const QString& yes, const QString& no);

} // namespace WindowUtils
