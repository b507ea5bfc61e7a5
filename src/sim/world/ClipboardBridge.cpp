#include "sim/world/ClipboardBridge.h"

#include "sim/desktop/SimDesktop.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QString>

namespace sim {

void bridgeClipboard(SimDesktop& desktop, QObject* context)
{
    desktop.setClipboardSink([context](const std::u16string& text) {
        const QString copied = QString::fromStdU16String(text);
        QMetaObject::invokeMethod(context, [copied] { QGuiApplication::clipboard()->setText(copied); },
                                  Qt::QueuedConnection);
    });
}

} // namespace sim
