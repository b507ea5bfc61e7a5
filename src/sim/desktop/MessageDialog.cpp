#include "MessageDialog.h"

namespace sim {

using namespace platform;

WindowId openMessageDialog(SimDesktop& desktop, const MessageDialogSpec& spec)
{
    auto buttons = spec.buttons;
    auto onClose = spec.onClose;
    WindowSpec dialog;
    dialog.className = spec.className;
    dialog.text = spec.title;
    dialog.owner = spec.owner;
    dialog.pid = spec.pid;
    dialog.style = style::Visible | style::Popup;
    dialog.proc = [&desktop, buttons, onClose](WindowId w, std::uint32_t message, std::uintptr_t wParam,
                                               std::intptr_t lParam) -> std::intptr_t {
        if (message != msg::Command)
            return desktop.defDialogProc(w, message, wParam, lParam);
        const int id = static_cast<int>(wParam & 0xFFFF);
        if ((wParam >> 16) != notify::BnClicked)
            return 0;
        bool known = id == IdOk || id == IdCancel;
        for (auto& b : buttons)
            known = known || b.first == id;
        if (!known)
            return 0;
        if (onClose)
            onClose(id);
        desktop.destroyWindow(w);
        return 0;
    };
    const WindowId box = desktop.createWindow(dialog);
    if (!box)
        return 0;
    for (const auto& text : spec.texts) {
        WindowSpec label;
        label.className = u"Static";
        label.text = text;
        label.parent = box;
        label.controlId = 0xFFFF;
        desktop.createWindow(label);
    }
    for (const auto& text : spec.edits) {
        WindowSpec edit;
        edit.className = u"Edit";
        edit.text = text;
        edit.parent = box;
        edit.style = style::Visible;
        desktop.createWindow(edit);
    }
    bool first = true;
    for (const auto& b : spec.buttons) {
        WindowSpec button;
        button.className = u"Button";
        button.text = b.second;
        button.parent = box;
        button.controlId = b.first;
        button.style = style::Visible | (first ? BsDefPushButton : 0);
        first = false;
        desktop.createWindow(button);
    }
    if (spec.activate)
        desktop.setForegroundWindow(box);
    return box;
}

} // namespace sim
