#pragma once

#include "platform/api/Types.h"

#include <QList>
#include <QObject>
#include <QString>

// One running TDX client (tdxw.exe or tdxw64.exe).
struct TdxProcessInfo
{
    quint32 pid = 0;
    bool is64Bit = false; // not running under WOW64
    QString path;         // full image path
    QString title;        // its visible window whose title contains "通达信"; empty if none
};

// The trading clients' processes, through platform::services().processes: listing TDX clients,
// ending the THS order client with taskkill, and reading the stock code THS shows out of its
// memory. Used on the GUI thread.
class ProcessUtils : public QObject
{
    Q_OBJECT

public:
    explicit ProcessUtils(QObject* parent = nullptr);
    ~ProcessUtils() override;

    QList<TdxProcessInfo> getAllTdxProcesses();
    // taskkill /F /IM name: true when it ended the process or there was none.
    bool killProcess(const QString& name);
    bool killThsOrderClient();
    // The first process whose executable name equals name, ignoring case; 0 when none.
    quint32 findProcessIdByName(const QString& name);

    // The offset of the code pointer from the hexin.exe module ("0x1E96650"; "0x" optional).
    bool setOffset(const QString& hexText);
    quint32 offset() const { return m_offset; }
    // Makes getTdxBaseAddress use this pid instead of the one it is given.
    void setUserPid(bool use, quint32 pid);

    // Opens the THS process (pid, or the first "hexin.exe" when 0) and finds its hexin.exe module.
    bool getTdxBaseAddress(quint32 pid);
    // The 6-digit code THS currently shows. Any failure forgets the process handle, so that the
    // next call starts with a fresh lookup.
    bool readThsStockCode(QString& code);

private:
    bool openProcess(quint32 pid);
    void closeProcess();

    platform::ProcessHandle m_process = 0;
    quint64 m_moduleBase = 0;
    quint32 m_pointerValue = 0;
    quint32 m_offset = 0;
    bool m_useUserPid = false;
    quint32 m_userPid = 0;
};
