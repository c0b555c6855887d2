#include "runs/GateSet.h"

#include "TmxRequest.h"

namespace GateSet {

ActiveGate activate(int number, const GateFields& fields)
{
    ActiveGate g;
    g.number = number;
    g.count = fields.count > 0 ? unsigned(fields.count) : 0u;
    g.exposure = TmxRequest::gateValue(fields.exposure);
    g.period = TmxRequest::gateValue(fields.period);
    g.delay = TmxRequest::gateValue(fields.delay);
    g.ledWidth = TmxRequest::gateValue(fields.ledWidth);
    return g;
}

Switch plan(bool twoGate, bool doubleFramingChecked, bool gate2)
{
    Switch s;
    if (!twoGate && !doubleFramingChecked)
        return s;
    s.relabel = true;
    s.icon = gate2 ? QStringLiteral(":/Dravo_cam/gate2.png") : QStringLiteral(":/Dravo_cam/gate1.png");
    s.text = gate2 ? QStringLiteral("Gate2") : QStringLiteral("Gate1");
    if (twoGate) {
        s.selectGate = true;
        s.gateNumber = gate2 ? 2 : 1;
    } else {
        s.setFrameChoice = true;
        s.frameChoice = !gate2;
    }
    return s;
}

QString lineEditStyle(bool selected)
{
    return selected ? QStringLiteral("QLineEdit{background: yellow;}")
                    : QStringLiteral("QLineEdit{background: white;}");
}

QString spinBoxStyle(bool selected)
{
    return selected ? QStringLiteral("QSpinBox{background: yellow;}")
                    : QStringLiteral("QSpinBox{background: white;}");
}

} // namespace GateSet
