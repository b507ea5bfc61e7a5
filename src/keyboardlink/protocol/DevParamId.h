#pragma once

// The keyboard's writable parameters, as the settings dialog and the main window name them.
// Each is written with one command and a one-byte payload.

#include <QString>
#include <QtGlobal>

#include <optional>

enum class DevParamId {
    Soft = 0,
    Trade = 1,
    NumLock = 2,
    Speed = 3,
    Query = 4,
    Focus = 5,
    Cancel = 6,
    Cost = 7,
    BuyConfirm = 8,
    SellConfirm = 9,
    FnKey = 10,
    LedColor = 11,
};

constexpr int DevParamCount = 12;

// The command that writes the parameter (0x31 for Soft … 0xED for LedColor).
quint8 devParamCommand(DevParamId id);
// The setting key ("soft", "trade", … "ledcolor").
QString devParamKey(DevParamId id);
// Reverse look-ups; nothing for codes and keys that name no parameter.
std::optional<DevParamId> devParamFromCommand(int command);
std::optional<DevParamId> devParamFromKey(const QString& key);
