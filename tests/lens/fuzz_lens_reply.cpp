// libFuzzer target: sequences of lens-controller replies through one reply
// parser, and the packet channel's reply and name readers. Built with
// -DKESSANE_FUZZ=ON and clang.

#include "LensProtocol.h"
#include "LensReplyParser.h"

#include <QList>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Rich text from the network carries no markup of its own.
void checkMarkup(const QString& text, const QStringList& tags)
{
    QString rest = text;
    for (const QString& tag : tags)
        rest.remove(tag);
    check(!rest.contains(QLatin1Char('<')) && !rest.contains(QLatin1Char('>')));
}

void checkEffects(const LensReplyEffects& e, const LensState& state)
{
    check(!(state.smallestFNumber >= 40));
    if (e.lensText) {
        // "nolensfound" ends the reply.
        check(e.resumePinger && !e.zoomPosition && !e.closeLabel && !e.deviceLabel && !e.af && !e.focusDone);
    }
    if (e.deviceLabel) {
        check(e.enableControls && state.focalLength > 0 && state.smallestFNumber > 0);
        checkMarkup(*e.deviceLabel, {"<b>", "</b>"});
    }
    if (e.controllerName)
        checkMarkup(*e.controllerName, {"<b>"});
    if (e.focusDone)
        check(!e.irisDone && !e.focusReport && !e.irisReport);
    if (e.irisReport)
        check(e.irisDone);
    // A range ends the reply before the later tests.
    if (e.closeLabel || e.pingerMissBack)
        check(!e.farLabel && !e.deviceLabel && !e.af && !e.controllerName && !e.focusDone && !e.irisDone);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Raw data without a copy, so that reading past the input is caught.
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    LensReplyParser parser;
    parser.setAddress(QStringLiteral("10.0.0.1"));
    // Byte 0x01 separates the datagrams of one batch.
    for (const QByteArray& datagram : input.split('\x01')) {
        const QString text = LensProtocol::replyText(datagram);
        check(text.size() <= datagram.size() && !text.contains(QChar(0)));
        checkEffects(parser.parse(text), parser.state());

        LensProtocol::packetReplyPosition(datagram);
        const auto move = LensProtocol::packetMoveNamed(text);
        const auto query = LensProtocol::packetQueryNamed(text);
        check(!move || query); // every move name names its axis
    }
    // A report built from the input's first bytes reads back as it was.
    if (size >= 4) {
        const int value = int(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24);
        LensReplyParser reader;
        check(reader.parse(LensProtocol::replyText(LensProtocol::nameValue("Focus", value))).focusReport == value);
        check(LensProtocol::packet(data[0], data[1], data[2]).size() == LensProtocol::PacketSize);
    }
    return 0;
}
