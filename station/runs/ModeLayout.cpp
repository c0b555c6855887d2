#include "runs/ModeLayout.h"

constexpr char ModeLayout::TurboAction[];
constexpr char ModeLayout::GeneratorIcon[];
constexpr char ModeLayout::GeneratorText[];

ModeLayout ModeLayout::forNumber(int layout)
{
    ModeLayout l;
    switch (layout) {
    case Radiometric:
        l.actions = QStringList{"actionTrigger", "actionPulseWidth", "actionSChannel", "actionRChannel",
                                "actionTurbo", "actionFocus", "actionLUT", "actionDScale", "actionROI",
                                "actionDistortion"};
        l.boxes = {Box::Exposure, Box::Frames, Box::Average};
        l.framesLabel = QStringLiteral("Frames");
        l.generator = GeneratorAction::Removed;
        l.showExposure = true;
        break;
    case FrameAccumulation:
        l.modeLabel = QStringLiteral("Frame Accumulation");
        l.actions = QStringList{"actionGates", "actionTurbo", "actionLUT", "actionDScale", "actionFocus"};
        l.boxes = {Box::GatePanel, Box::Frames};
        l.framesLabel = QStringLiteral("Pairs:");
        l.generator = GeneratorAction::Added;
        break;
    case DoubleFraming:
        l.modeLabel = QStringLiteral("Double Frame");
        l.actions = QStringList{"actionTrigger", "actionPulseWidth", "actionGates", "actionTurbo",
                                "actionFocus", "actionLUT", "actionDScale", "actionROI", "actionDistortion"};
        l.boxes = {Box::Exposure, Box::Frames, Box::Average};
        l.framesLabel = QStringLiteral("Frames");
        l.generator = GeneratorAction::Removed;
        l.showExposure = true;
        l.checkTriggerAndWidth = true;
        l.framesInPairs = true;
        break;
    default:
        break;
    }
    return l;
}

QStringList ModeLayout::toolBarOrder() const
{
    static const char* const boxNames[] = {"box:Exposure", "box:Frames", "box:Average", "box:GatePanel"};
    QStringList order;
    if (!modeLabel.isEmpty())
        order << QStringLiteral("modeLabel");
    order << actions;
    int turbo = order.indexOf(QLatin1String(TurboAction));
    if (turbo < 0)
        turbo = order.size();
    for (Box box : boxes)
        order.insert(turbo++, QString::fromLatin1(boxNames[int(box)]));
    return order;
}

QVector<GatePanelCell> gatePanelCells()
{
    using W = GatePanelCell::Widget;
    return {
        {W::LabelExposure, 0, 1}, {W::LabelCount, 0, 2}, {W::LabelPeriod, 0, 3},
        {W::LabelDelay, 0, 4},    {W::LabelWidth, 0, 5},
        {W::LabelGate1, 1, 0}, {W::Exposure1, 1, 1}, {W::Count1, 1, 2}, {W::Period1, 1, 3},
        {W::Delay1, 1, 4},     {W::Width1, 1, 5},
        {W::LabelGate2, 2, 0}, {W::Exposure2, 2, 1}, {W::Count2, 2, 2}, {W::Period2, 2, 3},
        {W::Delay2, 2, 4},     {W::Width2, 2, 5},
    };
}

QString gatePanelLabelText(GatePanelCell::Widget widget)
{
    switch (widget) {
    case GatePanelCell::LabelExposure: return QStringLiteral("Exposure(us):");
    case GatePanelCell::LabelCount: return QStringLiteral("Count:");
    case GatePanelCell::LabelPeriod: return QStringLiteral("Period(us):");
    case GatePanelCell::LabelDelay: return QStringLiteral("CamDelay(us):");
    case GatePanelCell::LabelWidth: return QStringLiteral("LED Width(us):");
    case GatePanelCell::LabelGate1: return QStringLiteral("Gate1:");
    case GatePanelCell::LabelGate2: return QStringLiteral("Gate2:");
    default: return QString();
    }
}
