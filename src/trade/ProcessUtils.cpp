#include "trade/ProcessUtils.h"

#include "platform/api/Platform.h"
#include "trade/WindowUtils.h"

#include <QDebug>

namespace {

const char* const ThsModule = "hexin.exe";

QString hex(quint64 value)
{
    return QStringLiteral("0x%1").arg(value, 0, 16);
}

QString toQString(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), int(text.size()));
}

} // namespace

ProcessUtils::ProcessUtils(QObject* parent) : QObject(parent) {}

ProcessUtils::~ProcessUtils()
{
    closeProcess();
}

QList<TdxProcessInfo> ProcessUtils::getAllTdxProcesses()
{
    QList<TdxProcessInfo> found;
    const platform::Services& s = platform::services();
    std::vector<platform::ProcessEntry> entries;
    if (!s.processes || !s.processes->snapshot(entries)) {
        qDebug().noquote() << "ProcessUtils::getAllTdxProcesses - 创建进程快照失败";
        return found;
    }
    for (const platform::ProcessEntry& entry : entries) {
        const QString exe = toQString(entry.exeFile).toLower();
        if (exe != QLatin1String("tdxw.exe") && exe != QLatin1String("tdxw64.exe"))
            continue;
        TdxProcessInfo info;
        info.pid = entry.pid;
        const platform::ProcessHandle handle =
            s.processes->openProcess(platform::access::QueryLimitedInformation, entry.pid);
        if (handle) {
            std::u16string path;
            if (s.processes->queryFullProcessImageName(handle, path))
                info.path = toQString(path);
            bool wow64 = false;
            if (s.processes->isWow64Process(handle, &wow64))
                info.is64Bit = !wow64;
            else
                qWarning().noquote() << "Cannot determine process architecture";
            s.processes->closeHandle(handle);
        } else {
            qWarning().noquote() << "Cannot determine process architecture";
        }
        if (s.desktop) {
            for (const platform::WindowId window : s.desktop->topLevelWindows()) {
                if (s.desktop->windowProcessId(window) != entry.pid || !s.desktop->isWindowVisible(window))
                    continue;
                const QString title = WindowUtils::getWindowText(window);
                if (title.contains(QStringLiteral("通达信"))) {
                    info.title = title;
                    break;
                }
            }
        }
        qDebug().noquote() << "找到通达信进程 - PID:" << info.pid << "路径:" << info.path
                           << "窗口标题:" << info.title;
        found.append(info);
    }
    qDebug().noquote() << "ProcessUtils::getAllTdxProcesses - 共找到" << found.size() << "个通达信进程";
    return found;
}

bool ProcessUtils::killProcess(const QString& name)
{
    qDebug().noquote() << "正在终止进程:" << name;
    platform::Processes* processes = platform::services().processes;
    if (!processes) {
        qDebug().noquote() << name << "终止失败，无法运行 taskkill";
        return false;
    }
    const platform::CommandResult result =
        processes->runCommand(u"taskkill", {u"/F", u"/IM", name.toStdU16String()}, 5000);
    if (!result.started) {
        qDebug().noquote() << name << "终止失败，无法运行 taskkill";
        return false;
    }
    if (result.timedOut) {
        qDebug().noquote() << "终止" << name << "超时";
        return false;
    }
    if (result.exitCode == 0) {
        qDebug().noquote() << name << "终止成功";
        return true;
    }
    if (result.exitCode == 128) {
        qDebug().noquote() << name << "进程不存在，无需终止";
        return true;
    }
    qDebug().noquote() << name << "终止失败，退出码:" << result.exitCode;
    return false;
}

bool ProcessUtils::killThsOrderClient()
{
    return killProcess(QStringLiteral("xiadan.exe"));
}

quint32 ProcessUtils::findProcessIdByName(const QString& name)
{
    platform::Processes* processes = platform::services().processes;
    std::vector<platform::ProcessEntry> entries;
    if (!processes || !processes->snapshot(entries))
        return 0;
    for (const platform::ProcessEntry& entry : entries) {
        if (toQString(entry.exeFile).compare(name, Qt::CaseInsensitive) == 0)
            return entry.pid;
    }
    return 0;
}

bool ProcessUtils::setOffset(const QString& hexText)
{
    QString digits = hexText.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = !digits.isEmpty();
    for (const QChar c : qAsConst(digits)) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            ok = false;
    }
    const uint value = ok ? digits.toUInt(&ok, 16) : 0;
    if (!ok) {
        qDebug().noquote() << "无效的偏移基地址:" << hexText;
        return false;
    }
    m_offset = value;
    // The pointer read through the old offset is meaningless now.
    m_pointerValue = 0;
    return true;
}

void ProcessUtils::setUserPid(bool use, quint32 pid)
{
    m_useUserPid = use;
    m_userPid = pid;
}

bool ProcessUtils::openProcess(quint32 pid)
{
    closeProcess();
    platform::Processes* processes = platform::services().processes;
    if (processes)
        m_process =
            processes->openProcess(platform::access::QueryInformation | platform::access::VmRead, pid);
    if (!m_process) {
        qDebug().noquote() << "ProcessUtils::getTdxBaseAddressByPid - 无法打开进程，PID:" << pid;
        return false;
    }
    return true;
}

void ProcessUtils::closeProcess()
{
    if (m_process) {
        if (platform::Processes* processes = platform::services().processes)
            processes->closeHandle(m_process);
    }
    m_process = 0;
    m_moduleBase = 0;
}

bool ProcessUtils::getTdxBaseAddress(quint32 pid)
{
    if (m_useUserPid) {
        qDebug().noquote() << "ProcessUtils::getTdxBaseAddress - 使用用户指定的PID:" << m_userPid;
        pid = m_userPid;
    }
    if (!pid) {
        pid = findProcessIdByName(QString::fromLatin1(ThsModule));
        if (!pid) {
            closeProcess();
            qDebug().noquote() << "未找到同花顺进程";
            return false;
        }
    }
    if (!openProcess(pid))
        return false;

    platform::Processes* processes = platform::services().processes;
    bool wow64 = false;
    if (!processes->isWow64Process(m_process, &wow64)) {
        qWarning().noquote() << "Cannot determine process architecture";
        closeProcess();
        return false;
    }
    const bool is64Bit = !wow64;
    qDebug().noquote() << "Target process is" << (is64Bit ? "64-bit" : "32-bit")
                       << ", searching for:" << ThsModule;

    std::vector<platform::ModuleEntry> modules;
    if (processes->enumProcessModules(
            m_process, is64Bit ? platform::ModuleFilter::Bits64 : platform::ModuleFilter::Bits32, modules)) {
        for (const platform::ModuleEntry& module : modules) {
            if (QString::fromStdString(module.baseName)
                    .compare(QLatin1String(ThsModule), Qt::CaseInsensitive) == 0) {
                m_moduleBase = module.base;
                qDebug().noquote() << ThsModule << "found at:" << hex(m_moduleBase);
                return true;
            }
        }
    }
    qWarning().noquote() << ThsModule << "not found in process";
    closeProcess();
    return false;
}

bool ProcessUtils::readThsStockCode(QString& code)
{
    code.clear();
    if (m_offset == 0)
        return false;
    if (!m_process || !m_moduleBase) {
        m_pointerValue = 0;
        if (!getTdxBaseAddress(0))
            return false;
    }
    platform::Processes* processes = platform::services().processes;
    if (!m_pointerValue) {
        const quint64 address = m_moduleBase + m_offset;
        qDebug().noquote() << "基地址:" << hex(m_moduleBase) << ",偏移地址:" << hex(m_offset)
                           << ",after add Addr:" << hex(address);
        quint32 pointer = 0;
        if (!processes->readProcessMemory(m_process, address, &pointer, sizeof pointer, nullptr)) {
            qWarning().noquote() << "ReadProcessMemory failed. Error:" << processes->lastError();
            m_pointerValue = 0;
            closeProcess();
            return false;
        }
        m_pointerValue = pointer;
        qDebug().noquote() << "Read pointer successfully from" << hex(address) << "->" << hex(m_pointerValue);
    }

    char bytes[8] = {};
    std::size_t read = 0;
    if (!processes->readProcessMemory(m_process, m_pointerValue, bytes, sizeof bytes, &read) ||
        read < sizeof bytes) {
        qDebug().noquote() << "读取内存失败，地址:" << hex(m_pointerValue);
        m_pointerValue = 0;
        closeProcess();
        return false;
    }
    const QString text = QString::fromUtf8(bytes, int(qstrnlen(bytes, sizeof bytes)));
    const QString candidate = text.mid(1).trimmed();
    qDebug().noquote() << "读取内存成功，地址:" << hex(m_pointerValue);
    qDebug().noquote() << "基地址:" << hex(m_moduleBase) << "偏移:" << hex(m_offset) << "代码:" << candidate;

    bool digitsOnly = candidate.size() >= 6;
    for (const QChar c : candidate) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            digitsOnly = false;
    }
    if (!digitsOnly) {
        closeProcess();
        m_pointerValue = 0;
        return false;
    }
    code = candidate;
    return true;
}
