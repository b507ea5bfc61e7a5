#pragma once

#include <QObject>

namespace Core {

// A device that a connection kind can reach (a keyboard interface for RawHIDConnection).
class IDevice : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
};

} // namespace Core
