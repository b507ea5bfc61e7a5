#pragma once

// Start at login through an XDG autostart entry: <config>/autostart/<entry name in lower case>.desktop,
// where <config> is $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
//
//   enable     writes the entry (Type=Application, Name, Exec with the path quoted and escaped by the
//              Desktop Entry rules, X-GNOME-Autostart-enabled=true); false when it cannot be written
//   isEnabled  the entry exists, is not switched off (Hidden=true or
//              X-GNOME-Autostart-enabled=false) and its Exec names an executable file
//   disable    removes the entry; true when it is gone afterwards (also when there was none)
//
// Entry names with '/' or a leading '.' are refused.

#include "platform/api/Autostart.h"

#include <string>

namespace platform {

class XdgAutostart : public Autostart
{
public:
    bool isEnabled(const std::u16string& entryName) override;
    bool enable(const std::u16string& entryName, const std::u16string& executablePath) override;
    bool disable(const std::u16string& entryName) override;

    // The entry's file for this name; empty when the name cannot be a file name.
    static std::string entryPath(const std::u16string& entryName);
    // The Exec value for a program without arguments, as written in the file.
    static std::string execValue(const std::string& executablePath);
    // The program named by an Exec value as read from the file (first argument, unescaped);
    // empty when the value is malformed.
    static std::string programOfExec(const std::string& value);
};

} // namespace platform
