// What the Windows backend does beyond the platform contract: hot keys, system commands that
// time out or take awkward arguments, the Run key, registry value types, the service set, speech.

#include "WineTest.h"

#include "platform/win32/SapiSpeech.h"
#include "platform/win32/Win32Autostart.h"
#include "platform/win32/Win32Hotkeys.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Services.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

using namespace platform;
using platform::win32::Win32Processes;

namespace {

// Arguments a child must receive unchanged (see --expect-args in main).
const std::vector<std::u16string> AwkwardArguments = {
    u"two words", u"say \"hi\"", u"", u"C:\\Program Files\\", u"trailing\\\\", u"同花顺 xiadan.exe", u"/F",
};

std::u16string selfPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return reinterpret_cast<const char16_t*>(path);
}

int processesNamed(const std::u16string& exeFile)
{
    Win32Processes processes;
    std::vector<ProcessEntry> entries;
    processes.snapshot(entries);
    int count = 0;
    for (const auto& entry : entries)
        count +=
            CompareStringOrdinal(reinterpret_cast<const wchar_t*>(entry.exeFile.c_str()), -1,
                                 reinterpret_cast<const wchar_t*>(exeFile.c_str()), -1, TRUE) == CSTR_EQUAL;
    return count;
}

// Runs the thread's messages through the hot keys' native event filter until done() holds or
// limitMs pass.
bool pumpUntil(Hotkeys& hotkeys, const std::function<bool()>& done, DWORD limitMs = 3000)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!hotkeys.handleNativeEvent(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    return true;
}

void tap(BYTE key)
{
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

// ---- hot keys

void hotkeyPressRunsItsCallback()
{
    win32::Win32Hotkeys hotkeys;
    int pressed = 0;
    const int id = hotkeys.registerHotkey(0, VK_F9, [&] { ++pressed; });
    REQUIRE(id > 0);
    tap(VK_F9);
    REQUIRE(pumpUntil(hotkeys, [&] { return pressed == 1; }));
}

void takenCombinationIsRefused()
{
    win32::Win32Hotkeys hotkeys;
    const int first = hotkeys.registerHotkey(modifier::Control | modifier::Shift, vk::Space, [] {});
    REQUIRE(first > 0);
    REQUIRE(hotkeys.registerHotkey(modifier::Control | modifier::Shift, vk::Space, [] {}) == 0);
    hotkeys.unregisterHotkey(first);
    const int again = hotkeys.registerHotkey(modifier::Control | modifier::Shift, vk::Space, [] {});
    REQUIRE(again > 0 && again != first);
}

void unregisteredHotkeyStaysSilent()
{
    win32::Win32Hotkeys hotkeys;
    int removedPressed = 0;
    int keptPressed = 0;
    const int removed = hotkeys.registerHotkey(0, VK_F7, [&] { ++removedPressed; });
    REQUIRE(removed > 0);
    REQUIRE(hotkeys.registerHotkey(0, VK_F8, [&] { ++keptPressed; }) > 0);
    hotkeys.unregisterHotkey(removed);
    // Keys arrive in order: once F8's hot key is in, F7 would have been too.
    tap(VK_F7);
    tap(VK_F8);
    REQUIRE(pumpUntil(hotkeys, [&] { return keptPressed == 1; }));
    REQUIRE(removedPressed == 0);
}

void foreignMessagesAreNotTakenForHotkeys()
{
    win32::Win32Hotkeys hotkeys;
    int pressed = 0;
    const int id = hotkeys.registerHotkey(0, VK_F6, [&] { ++pressed; });
    REQUIRE(id > 0);
    MSG msg{};
    msg.message = WM_HOTKEY;
    msg.wParam = static_cast<WPARAM>(id + 100); // not one of ours
    REQUIRE(!hotkeys.handleNativeEvent(&msg));
    msg.wParam = static_cast<WPARAM>(id);
    msg.hwnd = GetDesktopWindow(); // some window's own hot key
    REQUIRE(!hotkeys.handleNativeEvent(&msg));
    msg.hwnd = nullptr;
    msg.message = WM_KEYDOWN;
    REQUIRE(!hotkeys.handleNativeEvent(&msg));
    REQUIRE(!hotkeys.handleNativeEvent(nullptr));
    REQUIRE(pressed == 0);
    msg.message = WM_HOTKEY;
    REQUIRE(hotkeys.handleNativeEvent(&msg));
    REQUIRE(pressed == 1);
}

// ---- commands

void commandExitCodeIsReported()
{
    Win32Processes processes;
    const CommandResult result = processes.runCommand(selfPath(), {u"--exit", u"42"}, 10000);
    REQUIRE(result.started && !result.timedOut);
    REQUIRE(result.exitCode == 42);
}

void commandArgumentsArriveIntact()
{
    Win32Processes processes;
    std::vector<std::u16string> arguments = {u"--expect-args"};
    arguments.insert(arguments.end(), AwkwardArguments.begin(), AwkwardArguments.end());
    const CommandResult result = processes.runCommand(selfPath(), arguments, 10000);
    REQUIRE(result.started && !result.timedOut);
    REQUIRE(result.exitCode == 0);
}

void commandThatOutlivesItsTimeOutIsEnded()
{
    // A copy under its own name, so that counting processes by name sees only the command.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring copy = std::wstring(temp) + L"zk-slow-command.exe";
    REQUIRE(CopyFileW(reinterpret_cast<const wchar_t*>(selfPath().c_str()), copy.c_str(), FALSE));
    Win32Processes processes;
    const CommandResult result =
        processes.runCommand(reinterpret_cast<const char16_t*>(copy.c_str()), {u"--linger"}, 300);
    const int left = processesNamed(u"zk-slow-command.exe");
    DeleteFileW(copy.c_str());
    REQUIRE(result.started);
    REQUIRE(result.timedOut);
    REQUIRE(result.exitCode == -1);
    REQUIRE(left == 0);
}

void argumentQuoting()
{
    REQUIRE(Win32Processes::quoteArgument(u"xiadan.exe") == u"xiadan.exe");
    REQUIRE(Win32Processes::quoteArgument(u"") == u"\"\"");
    REQUIRE(Win32Processes::quoteArgument(u"a b") == u"\"a b\"");
    REQUIRE(Win32Processes::quoteArgument(u"C:\\dir\\") == u"C:\\dir\\");
    REQUIRE(Win32Processes::quoteArgument(u"C:\\my dir\\") == u"\"C:\\my dir\\\\\"");
    REQUIRE(Win32Processes::quoteArgument(u"say \"hi\"") == u"\"say \\\"hi\\\"\"");
}

// ---- registry and autostart

void registryReadsOnlyStrings()
{
    const wchar_t* key = L"Software\\ZentrikClockBackendTest";
    HKEY handle = nullptr;
    REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                            nullptr) == ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExW(handle, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegCloseKey(handle);

    win32::Win32Registry registry;
    std::u16string value = u"unchanged";
    const bool readNumber = registry.readString(RegistryRoot::CurrentUser,
                                                u"Software\\ZentrikClockBackendTest", u"Number", value);
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    REQUIRE(!readNumber);
    REQUIRE(value == u"unchanged");
    // The machine-wide hive is readable too.
    REQUIRE(registry.readString(RegistryRoot::LocalMachine,
                                u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"ProductName", value));
    REQUIRE(!value.empty());
}

void autostartWritesTheRunValue()
{
    win32::Win32Registry registry;
    win32::Win32Autostart autostart(registry);
    const std::u16string entry = u"ZENTRIKCLOCK_BACKEND_TEST";
    const std::u16string path = u"C:\\Program Files\\ZentrikClock\\zentrikclock.exe";
    REQUIRE(!autostart.isEnabled(entry));
    REQUIRE(autostart.enable(entry, path));
    REQUIRE(autostart.isEnabled(entry));
    std::u16string stored;
    REQUIRE(registry.readString(RegistryRoot::CurrentUser,
                                u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", entry, stored));
    REQUIRE(stored == path);
    REQUIRE(autostart.disable(entry));
    REQUIRE(!autostart.isEnabled(entry));
    REQUIRE(autostart.disable(entry));
}

void servicesAreComplete()
{
    const Services services = win32Services();
    REQUIRE(services.desktop && services.hostDesktop == services.desktop);
    REQUIRE(services.processes && services.registry && services.hotkeys && services.autostart &&
            services.hidPorts);
    REQUIRE(services.clock == &systemClock());
    REQUIRE(services.hid == nullptr);
    // One set per process.
    REQUIRE(win32Services().desktop == services.desktop);
}

// SAPI takes pitch only as XML markup, so a text spoken at another pitch must not be read as
// markup itself; at normal pitch the text goes as it is. The voice (Wine may have none) speaks
// asynchronously and stops when told.
void speechMarkupAndVoice()
{
    using platform::win32::SapiSpeech;
    REQUIRE(SapiSpeech::markup(u"买入 <成功> & \"ok\"", 0) == u"买入 <成功> & \"ok\"");
    REQUIRE(SapiSpeech::markup(u"a<b>&\"", -3) == u"<pitch absmiddle=\"-3\">a&lt;b&gt;&amp;&quot;</pitch>");

    SapiSpeech speech;
    std::printf("  SAPI voice %s\n", speech.available() ? "present" : "absent");
    speech.setRate(0.3);
    speech.setPitch(0.0);
    speech.setVolume(1.0);
    speech.say(u"委托已提交");
    speech.stop();
    REQUIRE(!speech.isSpeaking());
}

// The child side of the command cases.
int runAsChild(int argc, wchar_t** argv)
{
    const std::wstring mode = argv[1];
    if (mode == L"--exit" && argc == 3)
        return _wtoi(argv[2]);
    if (mode == L"--linger") {
        // Long enough for any time-out of the suite; ended by the parent well before.
        Sleep(30000);
        return 0;
    }
    if (mode == L"--expect-args") {
        if (static_cast<std::size_t>(argc - 2) != AwkwardArguments.size())
            return 2;
        for (std::size_t i = 0; i < AwkwardArguments.size(); ++i) {
            if (reinterpret_cast<const char16_t*>(argv[i + 2]) != AwkwardArguments[i])
                return 3;
        }
        return 0;
    }
    return 1;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc >= 2)
        return runAsChild(argc, argv);
    return winetest::run(
        "tst_win32_backend",
        {
            {"hotkey_press_runs_its_callback", hotkeyPressRunsItsCallback},
            {"taken_combination_is_refused", takenCombinationIsRefused},
            {"unregistered_hotkey_stays_silent", unregisteredHotkeyStaysSilent},
            {"foreign_messages_are_not_taken_for_hotkeys", foreignMessagesAreNotTakenForHotkeys},
            {"command_exit_code_is_reported", commandExitCodeIsReported},
            {"command_arguments_arrive_intact", commandArgumentsArriveIntact},
            {"command_that_outlives_its_time_out_is_ended", commandThatOutlivesItsTimeOutIsEnded},
            {"argument_quoting", argumentQuoting},
            {"registry_reads_only_strings", registryReadsOnlyStrings},
            {"autostart_writes_the_run_value", autostartWritesTheRunValue},
            {"services_are_complete", servicesAreComplete},
            {"speech_markup_and_voice", speechMarkupAndVoice},
        });
}
