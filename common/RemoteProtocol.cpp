#include "RemoteProtocol.h"

#include <cmath>

namespace RemoteProtocol {

namespace {

struct Entry
{
    const char* word;
    bool value;
};

// Indexed by Command, so in table order.
constexpr Entry table[CommandCount] = {
    {"#lcdelete=", true}, {"#normon", false},   {"#normoff", false},  {"#camname=", true},
    {"#lcconn=", true},   {"#lchide", false},   {"#lcshow", false},   {"#lcsave=", true},
    {"#lcload=", true},   {"#start", false},    {"#stop", false},     {"#split", false},
    {"#nosplit", false},  {"#overclck", false}, {"#nooverclck", false}, {"#pulsew", false},
    {"#nopulsew", false}, {"#lut", false},      {"#nolut", false},    {"#sens", false},
    {"#ref", false},      {"#preview", false},  {"#nopreview", false}, {"#trig", false},
    {"#notrig", false},   {"#exp=", true},      {"#aver=", true},     {"#fr=", true},
    {"#pre=", true},      {"#pnt=", true},      {"#folder=", true},
};

} // namespace

QByteArray word(Command command)
{
    return QByteArray(table[int(command)].word);
}

bool takesValue(Command command)
{
    return table[int(command)].value;
}

bool isLensCommand(Command command)
{
    switch (command) {
    case Command::LensDelete:
    case Command::LensConnect:
    case Command::LensHide:
    case Command::LensShow:
    case Command::LensSave:
    case Command::LensLoad:
        return true;
    default:
        return false;
    }
}

QString blockText(const QByteArray& block)
{
    // Never look past the received bytes, nor past the first MaxBlockSize.
    const QByteArray head = block.left(MaxBlockSize);
    const int nul = head.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? head : head.left(nul));
}

ParsedBlock parseBlock(const QByteArray& block)
{
    ParsedBlock parsed;
    const QString text = blockText(block);
    if (text.contains(QLatin1String(RoiRequestWord))) {
        parsed.roiRequest = true;
        return parsed;
    }
    // Each word is looked for anywhere in the text; a parameter's value runs
    // from its '=' to the end of the text.
    for (int i = 0; i < CommandCount; ++i) {
        const QLatin1String w(table[i].word);
        const int at = text.indexOf(w);
        if (at < 0)
            continue;
        RemoteCommand found{Command(i), QString()};
        if (table[i].value)
            found.value = text.mid(at + w.size());
        parsed.commands.append(found);
    }
    return parsed;
}

double doubleValue(const QString& value)
{
    // toDouble reads "nan" and "inf" too; a spin box would clamp them to its
    // top (the longest exposure).
    bool ok = false;
    const double v = value.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

int intValue(const QString& value)
{
    bool ok = false;
    const int v = value.toInt(&ok);
    return ok ? v : 0;
}

bool appliesTo(Command command, const StationState& state)
{
    switch (command) {
    case Command::CamName:
    case Command::Start:
    case Command::Stop:
        return state.connected;
    case Command::Preview:
        return state.connected && !state.previewing;
    case Command::NoPreview:
        return state.connected && state.previewing;
    case Command::Trigger:
    case Command::NoTrigger:
        return !state.previewing;
    case Command::Split:
    case Command::NoSplit:
    case Command::Sensitive:
    case Command::Reference:
        return state.colourCamera;
    default:
        return true;
    }
}

QByteArray statusReply(const StationState& state)
{
    if (!state.connected)
        return QByteArray(ReplyNoCamera) + '\0';
    QByteArray reply;
    if (state.captureDone)
        reply += QByteArray(ReplyReadyDone) + '\0';
    if (state.previewing)
        reply += QByteArray(ReplyPreview) + '\0';
    else if (!state.capturing)
        reply += QByteArray(ReplyReady) + '\0';
    if (state.capturing) {
        reply += QString::fromLatin1(ReplyCaptured)
                     .arg(state.framesReceived)
                     .arg(state.targetFrames)
                     .toLatin1();
        reply += '\0';
    }
    return reply;
}

QByteArray roiReply(int roiValue)
{
    return QByteArray::number(roiValue) + '\0';
}

QByteArray fixedCommandBytes(Command command)
{
    const QByteArray w = word(command);
    switch (command) {
    case Command::NoPreview:
        return w + QByteArray(3, '\0');
    case Command::LensShow: // the lens-preset relay sends these two as bare texts
    case Command::LensHide:
        return w;
    default:
        return w + '\0';
    }
}

QByteArray parameterCommandBytes(Command command, const QString& value)
{
    return word(command) + value.toLatin1();
}

QList<QByteArray> takeReplies(QByteArray* buffer)
{
    QList<QByteArray> replies;
    int start = 0;
    for (int nul = buffer->indexOf('\0'); nul >= 0; nul = buffer->indexOf('\0', start)) {
        replies.append(buffer->mid(start, nul - start));
        start = nul + 1;
    }
    buffer->remove(0, start);
    return replies;
}

} // namespace RemoteProtocol
