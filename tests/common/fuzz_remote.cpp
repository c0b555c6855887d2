// libFuzzer target: remote-control blocks, the reply builders and the
// generator's program request. Built with -DKESSANE_FUZZ=ON and clang.

#include "RemoteProtocol.h"
#include "TmxRequest.h"

#include <QUrlQuery>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace RemoteProtocol;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void fuzzBlock(const QByteArray& block)
{
    const ParsedBlock parsed = parseBlock(block);
    const QString text = blockText(block);
    check(text.size() <= MaxBlockSize && !text.contains(QChar(0)));
    if (parsed.roiRequest) {
        check(parsed.commands.isEmpty());
        return;
    }
    int previous = -1;
    for (const RemoteCommand& c : parsed.commands) {
        check(int(c.command) > previous); // table order, each at most once
        previous = int(c.command);
        check(takesValue(c.command) || c.value.isEmpty());
        check(c.value.size() < text.size());
        // What a console would send for it is read back as the same command.
        const QByteArray sent = takesValue(c.command) ? parameterCommandBytes(c.command, c.value)
                                                      : fixedCommandBytes(c.command);
        check(parseBlock(sent).commands.contains(c) || sent.size() > MaxBlockSize);
    }
}

void fuzzReplies(const uint8_t* data, size_t size)
{
    if (size < 13)
        return;
    StationState state;
    state.connected = data[0] & 1;
    state.colourCamera = data[0] & 2;
    state.previewing = data[0] & 4;
    state.capturing = data[0] & 8;
    state.captureDone = data[0] & 16;
    std::memcpy(&state.framesReceived, data + 1, sizeof state.framesReceived);
    std::memcpy(&state.targetFrames, data + 9, sizeof state.targetFrames);
    QByteArray reply = statusReply(state);
    check(reply.endsWith('\0'));
    const QList<QByteArray> texts = takeReplies(&reply);
    check(reply.isEmpty() && !texts.isEmpty() && texts.size() <= 3);
    QByteArray roi = roiReply(state.targetFrames);
    check(takeReplies(&roi) == QList<QByteArray>{QByteArray::number(state.targetFrames)});
}

void fuzzProgram(const uint8_t* data, size_t size)
{
    double values[5];
    quint64 pulses;
    if (size < sizeof values + sizeof pulses + 1)
        return;
    std::memcpy(values, data, sizeof values);
    std::memcpy(&pulses, data + sizeof values, sizeof pulses);
    const TmxRequest::Program program{values[0], pulses,    values[1], values[2],
                                      values[3], values[4], bool(data[sizeof values + sizeof pulses] & 1)};
    QString why;
    const QString path = TmxRequest::programPathAndQuery(program, &why);
    if (path.isEmpty()) {
        check(!why.isEmpty());
        return;
    }
    // Every field is a decimal that fits the generator's 32-bit registers.
    const QUrlQuery query(path.mid(path.indexOf(QLatin1Char('?')) + 1));
    const auto items = query.queryItems();
    check(items.size() == 10);
    for (const auto& item : items) {
        bool ok = false;
        item.second.toUInt(&ok);
        check(ok && !item.second.startsWith(QLatin1Char('-')) && !item.second.startsWith(QLatin1Char('+')));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Raw data without a copy, so that reading past the block is caught.
    const QByteArray block = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    fuzzBlock(block);
    QByteArray buffer(block);
    const QList<QByteArray> texts = takeReplies(&buffer);
    check(!buffer.contains('\0'));
    for (const QByteArray& t : texts)
        check(!t.contains('\0'));
    fuzzReplies(data, size);
    fuzzProgram(data, size);
    return 0;
}
