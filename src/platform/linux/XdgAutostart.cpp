#include "XdgAutostart.h"

#include "platform/api/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string configHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && *home ? std::string(home) + "/.config" : std::string();
}

bool makePath(const std::string& directory)
{
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// The escapes of a string value in a desktop entry file.
std::string escapeString(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeString(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += text[i];
        }
    }
    return out;
}

bool isExecutableFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A bare program name is found on PATH, as the session starting the entry would.
bool commandExists(const std::string& program)
{
    if (program.find('/') != std::string::npos)
        return isExecutableFile(program);
    const char* path = std::getenv("PATH");
    std::istringstream directories(path ? path : "");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (!directory.empty() && isExecutableFile(directory + "/" + program))
            return true;
    }
    return false;
}

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::string XdgAutostart::entryPath(const std::u16string& entryName)
{
    const std::string name = toUtf8(lowerAscii(entryName));
    if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return {};
    const std::string config = configHome();
    return config.empty() ? std::string() : config + "/autostart/" + name + ".desktop";
}

std::string XdgAutostart::execValue(const std::string& executablePath)
{
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    if (executablePath.find_first_of(reserved) == std::string::npos) {
        argument = executablePath;
    } else {
        argument = "\"";
        for (const char c : executablePath) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                argument += '\\';
            argument += c;
        }
        argument += '"';
    }
    std::string withPercent;
    for (const char c : argument) {
        withPercent += c;
        if (c == '%')
            withPercent += '%'; // "%%" is a literal percent, not a field code
    }
    return escapeString(withPercent);
}

std::string XdgAutostart::programOfExec(const std::string& value)
{
    const std::string text = unescapeString(value);
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return {};
    std::string program;
    if (text[i] == '"') {
        for (++i;; ++i) {
            if (i >= text.size())
                return {}; // no closing quote
            if (text[i] == '"')
                break;
            if (text[i] == '\\' && i + 1 < text.size() &&
                std::string("\"`$\\").find(text[i + 1]) != std::string::npos)
                ++i;
            program += text[i];
        }
    } else {
        const std::size_t end = text.find_first_of(" \t", i);
        program = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
    }
    std::string out;
    for (std::size_t k = 0; k < program.size(); ++k) {
        out += program[k];
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%')
            ++k;
    }
    return out;
}

bool XdgAutostart::isEnabled(const std::u16string& entryName)
{
    const std::string path = entryPath(entryName);
    std::ifstream file(path);
    if (path.empty() || !file)
        return false;
    bool inEntry = false;
    std::string program;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inEntry || line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
        if (key == "Exec")
            program = programOfExec(value);
    }
    return !program.empty() && commandExists(program);
}

bool XdgAutostart::enable(const std::u16string& entryName, const std::u16string& executablePath)
{
    const std::string path = entryPath(entryName);
    if (path.empty() || executablePath.empty())
        return false;
    if (!makePath(path.substr(0, path.rfind('/'))))
        return false;
    // Written beside the entry and renamed over it, so the session never reads half an entry.
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << "[Desktop Entry]\n"
             << "Type=Application\n"
             << "Name=" << escapeString(toUtf8(entryName)) << "\n"
             << "Exec=" << execValue(toUtf8(executablePath)) << "\n"
             << "X-GNOME-Autostart-enabled=true\n";
        file.flush();
        if (!file) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool XdgAutostart::disable(const std::u16string& entryName)
{
    const std::string path = entryPath(entryName);
    if (path.empty())
        return false;
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace platform
