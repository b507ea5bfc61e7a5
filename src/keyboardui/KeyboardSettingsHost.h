#pragma once

// What the keyboard settings dialog needs from the main window. The dialog reaches the keyboard
// only through its parent, which implements this (the clock window does, through the connection
// manager); a dialog whose parent does not says so and does nothing.

#include "keyboardlink/protocol/DevParamId.h"

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class KeyboardSettingsHost
{
public:
    virtual ~KeyboardSettingsHost() = default;

    // The active keyboard's last reported settings under the keys "build", "trade", "numlock",
    // "cancel", "query", "cost", "buyconfirm", "sellconfirm", "fnkey", "soft", "focus", "speed",
    // "keydowndelay", "keyupdelay" and "ledcolor"; empty without a keyboard.
    virtual QVariantMap deviceSettings() const = 0;
    virtual QString deviceSerialNumber() const = 0;

    // The screen point stored for a trading software (1 THS, anything else TDX).
    virtual QPoint focusPosition(int softType) const = 0;
    virtual void setFocusPosition(int softType, const QPoint& position) = 0;

    // Writes one parameter to the active keyboard (Speed to every keyboard); true when the frame
    // was written.
    virtual bool setDeviceParameter(DevParamId paramId, const QVariant& value) = 0;
    // Stores the parameters in the keyboard permanently; true when the save command was written.
    virtual bool devSave() = 0;
    virtual bool isDeviceConnected() const = 0;
    // Switches the active keyboard's trading software now (1 THS, 2 TDX).
    virtual void switchDeviceSoft(int softId) = 0;
    // Asks the active keyboard for its state; the answer reloads the dialog.
    virtual void devReload() = 0;
    // Asks the active keyboard for its key map; the answer arrives in onKeyMapDataLoad.
    virtual void keyMapReload() = 0;
    // Writes a key map to the active keyboard; true when the frame was written.
    virtual bool setKeyMap(const QByteArray& keyMap) = 0;
    // Single- or multi-keyboard operation of the connection manager.
    virtual void setMultiKeyboardEnabled(bool enabled) = 0;
};
