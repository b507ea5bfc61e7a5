#pragma once

// The small "#32770" boxes the fake clients show (提示, Tdx, confirmations, 持股机构): static
// texts and push buttons; Enter presses the first button, Esc and WM_CLOSE cancel; any button
// closes the box after telling the client which one it was. With edits and another class it is
// also the window of another program that comes to the front in the middle of a trade.

#include "SimDesktop.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct MessageDialogSpec
{
    ProcessId pid = 0;
    WindowId owner = 0;
    std::u16string className = u"#32770";
    std::u16string title;
    std::vector<std::u16string> texts;                                    // one "Static" each, in this order
    std::vector<std::u16string> edits;                                    // one "Edit" each, after the texts
    std::vector<std::pair<int, std::u16string>> buttons{{IdOk, u"确定"}}; // the first is the default
    std::function<void(int commandId)> onClose;                           // before the box is destroyed
    bool activate = true;
};

WindowId openMessageDialog(SimDesktop& desktop, const MessageDialogSpec& spec);

} // namespace sim
