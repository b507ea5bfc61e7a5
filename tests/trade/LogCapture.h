#pragma once

#include <QStringList>
#include <QtGlobal>

#include <mutex>

// Collects the program's diagnostic lines while alive (from any thread), so a test can assert the
// exact lines an operation writes and that it writes no others.
class LogCapture
{
public:
    LogCapture()
    {
        std::lock_guard<std::mutex> lock(mutex());
        current() = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        std::lock_guard<std::mutex> lock(mutex());
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }

    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return m_lines;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex());
        m_lines.clear();
    }
    bool contains(const QString& line) const { return lines().contains(line); }
    // The captured lines that start with prefix.
    QStringList startingWith(const QString& prefix) const
    {
        QStringList found;
        for (const QString& line : lines()) {
            if (line.startsWith(prefix))
                found.append(line);
        }
        return found;
    }

private:
    // Not QMutex: the thread sanitizer cannot see into Qt.
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static LogCapture*& current()
    {
        static LogCapture* c = nullptr;
        return c;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (current())
            current()->m_lines.append(message);
    }

    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};
