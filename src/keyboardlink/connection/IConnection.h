#pragma once

// A way of reaching keyboards: lists the ones present, opens one as a stream.

#include <QList>
#include <QObject>
#include <QString>

class QIODevice;

namespace Core {

class IDevice;

class IConnection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Devices that can be connected now: new objects on every call, owned by the caller.
    virtual QList<IDevice*> availableDevices() = 0;
    // Creates the stream for the device (not opened yet); null when it cannot be had.
    virtual QIODevice* connectDevice(IDevice* device) = 0;
    // Closes and deletes the stream.
    virtual void disconnectDevice() = 0;
    virtual QString displayName() const = 0;
    // Short type used in device labels ("USB").
    virtual QString type() const = 0;
    virtual void disableRemovalNotice() = 0;
    virtual void enableRemovalNotice() = 0;
    virtual bool supportsReconnect() const = 0;

signals:
    // Devices came or went; the list should be fetched again.
    void availableDevChanged(Core::IConnection* connection);
};

} // namespace Core
