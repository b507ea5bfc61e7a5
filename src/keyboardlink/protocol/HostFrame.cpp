#include "HostFrame.h"

#include "DataParser.h"
#include "Protocol.h"

QByteArray HostFrame::build(quint8 command, const QByteArray& payload)
{
    if (payload.size() > Protocol::MaxPayload)
        return QByteArray();
    QByteArray frame;
    frame.reserve(payload.size() + 5);
    frame.append(char(Protocol::StartByte));
    frame.append(char(command));
    frame.append(char(payload.size()));
    frame.append(payload);
    frame.append(char(DataParser::xorChecksum(frame, payload.size())));
    frame.append(char(Protocol::EndByte));
    return frame;
}
