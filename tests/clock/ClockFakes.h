#pragma once

// What the clock's tests put behind the platform seam: the host desktop the clock lives on, the
// global hot keys and the keyboards.

#include "platform/api/Clock.h"
#include "platform/api/Hotkeys.h"
#include "platform/api/Platform.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include "StubDesktop.h"

#include <QDir>
#include <QStandardPaths>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct WindowPosCall
{
    platform::WindowId window;
    platform::WindowId insertAfter;
    std::uint32_t flags;
};

// The host desktop as the clock sees it: which windows are topmost, which one is in front,
// and what the clock asked of it.
class HostDesktop : public zktest::StubDesktop
{
public:
    std::map<WindowId, std::uint32_t> exStyles;
    WindowId foreground = 0;
    bool iconic = false;
    std::vector<WindowPosCall> windowPos;
    std::vector<WindowId> foregroundCalls;
    std::vector<WindowId> broughtToTop;
    std::vector<std::pair<WindowId, int>> shown;

    bool setWindowPos(WindowId w, WindowId after, int, int, int, int, std::uint32_t flags) override
    {
        windowPos.push_back({w, after, flags});
        return true;
    }
    std::uint32_t windowExStyle(WindowId w) override { return exStyles.count(w) ? exStyles[w] : 0; }
    WindowId foregroundWindow() override { return foreground; }
    bool isIconic(WindowId) override { return iconic; }
    bool showWindow(WindowId w, int command) override
    {
        shown.emplace_back(w, command);
        return true;
    }
    bool setForegroundWindow(WindowId w) override
    {
        foregroundCalls.push_back(w);
        return true;
    }
    bool bringWindowToTop(WindowId w) override
    {
        broughtToTop.push_back(w);
        return true;
    }
};

class RecordingHotkeys : public platform::Hotkeys
{
public:
    struct Entry
    {
        std::uint32_t modifiers;
        std::uint32_t key;
        std::function<void()> onPressed;
    };
    std::map<int, Entry> registered;
    int nextId = 1;

    int registerHotkey(std::uint32_t modifiers, std::uint32_t key, std::function<void()> onPressed) override
    {
        registered[nextId] = {modifiers, key, std::move(onPressed)};
        return nextId++;
    }
    void unregisterHotkey(int id) override { registered.erase(id); }
    bool handleNativeEvent(const void*) override { return false; }
    void press(std::uint32_t modifiers, std::uint32_t key)
    {
        for (auto& e : registered) {
            if (e.second.modifiers == modifiers && e.second.key == key)
                e.second.onPressed();
        }
    }
};

// A fresh installation with one simulated keyboard, behind the given host desktop (reset), hot
// keys (none registered) and clock; the keyboards are the caller's to keep.
std::unique_ptr<sim::KeyboardSimulator> startClockPlatform(HostDesktop& desktop, RecordingHotkeys& hotkeys,
                                                           platform::ManualClock& clock, const std::string& serial)
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    desktop = HostDesktop();
    hotkeys.registered.clear();
    auto keyboards = std::make_unique<sim::KeyboardSimulator>();
    keyboards->addKeyboard(serial);
    platform::Services os;
    os.hostDesktop = &desktop;
    os.hotkeys = &hotkeys;
    os.clock = &clock;
    keyboards->installInto(os);
    platform::install(os);
    return keyboards;
}

} // namespace
