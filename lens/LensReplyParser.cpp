#include "LensReplyParser.h"

#include "LensProtocol.h"

#include <QRegularExpression>
#include <QStringList>

using LensProtocol::real;

namespace {

const QLatin1String Current("Current");
const QLatin1String ARange("aRange");
const QLatin1String ZRange("zRange");
const QLatin1String FRange("fRange");

// Removes every "<word>=" and splits the rest at ',' (empty parts kept).
QStringList fieldsAfter(QString& text, const QString& word)
{
    text.remove(word + QLatin1Char('='));
    return text.split(QLatin1Char(','));
}

// The zoom and aperture ranges are known: the device label names the lens.
bool lensKnown(const LensState& state)
{
    return state.focalLength > 0 && state.smallestFNumber > 0;
}

} // namespace

LensReplyEffects LensReplyParser::parse(const QString& reply)
{
    LensReplyEffects effects;
    QString text = reply;

    static const QRegularExpression identity(QString::fromLatin1(identityPattern()));
    if (text.contains(identity)) {
        state_.deviceName = text.section(QLatin1Char('='), 0, 0);
        state_.version = LensProtocol::section1(text).remove(QLatin1Char('d'));
        effects.identified = true;
    }
    if (text.contains(QLatin1String("nolensfound"))) {
        effects.lensText = QStringLiteral("Lens: N/A ");
        effects.resumePinger = true;
        return effects;
    }
    if (!readPositionsAndRanges(text, effects))
        return effects;
    readFocusRange(text, effects);
    readLensSummary(effects);
    readAfAndName(text, effects);
    readMotorReports(text, effects);
    return effects;
}

bool LensReplyParser::readPositionsAndRanges(QString& text, LensReplyEffects& effects)
{
    if (text.contains(Current)) {
        const QStringList f = fieldsAfter(text, Current);
        if (f.size() >= 3) {
            effects.zoomPosition = f.at(0).toInt();
            effects.focusUpdate = f.at(1).toInt();
            effects.apertureUpdate = f.at(2).toFloat();
            effects.resumePinger = true;
        }
    }
    if (text.contains(ARange)) {
        const QStringList f = fieldsAfter(text, ARange);
        if (f.size() >= 2) {
            const float a = f.at(0).toFloat();
            const float b = f.at(1).toFloat();
            const bool inRange = a < 40 && b < 40;
            effects.closeLabel = inRange ? QStringLiteral("f/%1").arg(real(a)) : QStringLiteral("n/a");
            effects.openLabel = inRange ? QStringLiteral("f/%1").arg(real(b)) : QStringLiteral("n/a");
            state_.smallestFNumber = inRange ? a : 0;
        }
        return false;
    }
    if (text.contains(ZRange)) {
        const QStringList f = fieldsAfter(text, ZRange);
        if (f.size() >= 2) {
            effects.pingerMissBack = true;
            state_.zoomLow = f.at(0).toInt();
            state_.zoomHigh = f.at(1).toInt();
            state_.focalLength = state_.zoomLow;
        }
        return false;
    }
    return true;
}

void LensReplyParser::readFocusRange(QString& text, LensReplyEffects& effects)
{
    if (!text.contains(FRange))
        return;
    const QStringList f = fieldsAfter(text, FRange);
    if (f.size() >= 2) {
        state_.focusFar = f.at(0).toInt();
        state_.focusNear = f.at(1).toInt();
        effects.farLabel = QString::number(state_.focusFar);
        effects.nearLabel = QString::number(state_.focusNear);
    }
}

QString LensReplyParser::deviceLabel(const LensState& state)
{
    // Name and version come from the network and go into rich text.
    const QString device = QStringLiteral("Device: %1 v.%2 @%3")
                               .arg(state.deviceName.toHtmlEscaped(), state.version.toHtmlEscaped(),
                                    state.address);
    if (!lensKnown(state))
        return device;
    const QString lens = state.zoomLow < state.zoomHigh
                             ? QStringLiteral("Lens: <b>%1-%2mm f/%3</b>")
                                   .arg(state.zoomLow)
                                   .arg(state.zoomHigh)
                                   .arg(real(state.smallestFNumber))
                             : QStringLiteral("Lens: <b>%1mm f/%2</b>")
                                   .arg(state.focalLength)
                                   .arg(real(state.smallestFNumber));
    return device + QStringLiteral("  ") + lens;
}

void LensReplyParser::readLensSummary(LensReplyEffects& effects) const
{
    if (!lensKnown(state_))
        return;
    effects.deviceLabel = deviceLabel(state_);
    effects.enableControls = true;
}

void LensReplyParser::readAfAndName(QString& text, LensReplyEffects& effects)
{
    if (text.contains(QLatin1String("AF="))) {
        state_.af = text.startsWith(QLatin1String("AF=1"));
        effects.af = state_.af;
        effects.enableControls = true;
        effects.resumePinger = true;
    }
    if (text.contains(QLatin1String("NAME="))) {
        text.remove(QLatin1String("NAME="));
        static const QRegularExpression blanks(QStringLiteral("^\\s+$"));
        if (!text.contains(blanks))
            effects.controllerName = QStringLiteral("LC Name: <b>%1<b>").arg(text.toUpper().toHtmlEscaped());
    }
}

void LensReplyParser::readMotorReports(const QString& text, LensReplyEffects& effects) const
{
    if (text.contains(QLatin1String("focusDone"))) {
        effects.focusDone = true;
        return;
    }
    if (text.contains(QLatin1String("irisDone"))) {
        effects.irisDone = true;
        return;
    }
    // A report word without its '=' carries no value: it moves nothing.
    if (!LensProtocol::hasSection1(text))
        return;
    if (text.contains(QLatin1String("Focus"))) {
        effects.focusReport = LensProtocol::section1(text).toInt();
        effects.enableControls = true;
        effects.resumePinger = true;
    }
    if (text.contains(QLatin1String("Iris"))) {
        effects.irisReport = LensProtocol::section1(text).toFloat();
        effects.irisDone = true;
    }
}
