#include "LensProtocol.h"

namespace LensProtocol {

QByteArray setFocus(int position)
{
    return "setFocus=" + QByteArray::number(position);
}

QByteArray setAper(double fNumber)
{
    return "setAper=" + real(fNumber).toLatin1();
}

QByteArray moveFocus(int step)
{
    return nameValue(QLatin1String(MoveFocus), step);
}

QByteArray nameValue(const QString& name, int value)
{
    return QStringLiteral("%1=%2").arg(name).arg(value).toLatin1();
}

QByteArray changeIp(const QString& address)
{
    return "ChangeIP=" + address.toLatin1();
}

QString real(double value)
{
    return QString::number(value, 'g', 6);
}

QString replyText(const QByteArray& datagram)
{
    return QString::fromLatin1(datagram);
}

QString section1(const QString& text)
{
    return text.section(QLatin1Char('='), 1, 1);
}

bool hasSection1(const QString& text)
{
    return text.contains(QLatin1Char('='));
}

QByteArray packet(quint8 group, quint8 command, quint8 value)
{
    QByteArray p(PacketSize, '\0');
    p[0] = char(0xff);
    p[1] = char(group);
    p[2] = char(command);
    p[3] = char(value);
    unsigned sum = 0;
    for (int i = 0; i < PacketSize - 1; ++i)
        sum += quint8(p.at(i));
    p[PacketSize - 1] = char(sum % 256);
    return p;
}

QByteArray movePacket(PacketMove move, quint8 value)
{
    struct Code
    {
        PacketGroup group;
        quint8 command;
    };
    static const Code codes[] = {
        {PacketGroup::LensMove, 6}, // zoom wide
        {PacketGroup::LensMove, 7}, // zoom narrow
        {PacketGroup::LensMove, 8}, // focus near
        {PacketGroup::LensMove, 5}, // focus far
        {PacketGroup::IrisMove, 4}, // iris close
        {PacketGroup::IrisMove, 3}, // iris open
    };
    const Code& code = codes[int(move)];
    return packet(quint8(code.group), code.command, value);
}

QByteArray queryPacket(PacketQuery query)
{
    return packet(quint8(PacketGroup::Query), quint8(query), 0);
}

std::optional<int> packetReplyPosition(const QByteArray& reply)
{
    if (reply.size() != PacketReplySize)
        return std::nullopt;
    return (quint8(reply.at(1)) << 8) | quint8(reply.at(2));
}

std::optional<PacketMove> packetMoveNamed(const QString& name)
{
    static const char* const names[] = {"ZoomWide", "ZoomNarrow", "FocusNear", "FocusFar", "IrisClose", "IrisOpen"};
    for (int i = 0; i < 6; ++i) {
        if (name.contains(QLatin1String(names[i])))
            return PacketMove(i);
    }
    return std::nullopt;
}

std::optional<PacketQuery> packetQueryNamed(const QString& name)
{
    if (name.contains(QLatin1String("Zoom")))
        return PacketQuery::Zoom;
    if (name.contains(QLatin1String("Focus")))
        return PacketQuery::Focus;
    if (name.contains(QLatin1String("Iris")))
        return PacketQuery::Iris;
    return std::nullopt;
}

} // namespace LensProtocol
