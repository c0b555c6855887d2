#include "runs/ModeSteps.h"

#include "runs/ModeLayout.h"

namespace {

ModeStep step(ModeStep::Kind kind)
{
    ModeStep s;
    s.kind = kind;
    return s;
}

ModeStep flagStep(ModeStep::Kind kind, bool flag)
{
    ModeStep s = step(kind);
    s.flag = flag;
    return s;
}

ModeStep rebuild(int layout)
{
    ModeStep s = step(ModeStep::RebuildToolBar);
    s.layout = layout;
    return s;
}

ModeStep triggered(ModeFeatures::TriggerType type)
{
    ModeStep s = step(ModeStep::WriteTriggeredMode);
    s.trigger = type;
    return s;
}

ModeStep lifetimeText(const char* text)
{
    ModeStep s = step(ModeStep::SetLifetimeText);
    s.text = QString::fromLatin1(text);
    return s;
}

} // namespace

QString ModeStep::toString() const
{
    switch (kind) {
    case EnableTrigger:
        return QStringLiteral("EnableTrigger %1").arg(flag ? "true" : "false");
    case EnablePulseWidth:
        return QStringLiteral("EnablePulseWidth %1").arg(flag ? "true" : "false");
    case EnablePulseWidthIfTrigger:
        return QStringLiteral("EnablePulseWidthIfTrigger");
    case SetTwoGate:
        return QStringLiteral("SetTwoGate %1").arg(flag ? "true" : "false");
    case SwitchGate:
        return QStringLiteral("SwitchGate");
    case RebuildToolBar:
        return QStringLiteral("RebuildToolBar %1").arg(layout);
    case ShowGeneratorDialog:
        return QStringLiteral("ShowGeneratorDialog");
    case WriteTriggeredMode:
        return QStringLiteral("WriteTriggeredMode %1")
            .arg(trigger == ModeFeatures::TriggerType::Double ? "Double" : "FrameAccumulation");
    case ApplyCameraConfig:
        return QStringLiteral("ApplyCameraConfig");
    case ShowCurrentExposure:
        return QStringLiteral("ShowCurrentExposure");
    case SetLifetimeText:
        return QStringLiteral("SetLifetimeText %1").arg(text);
    }
    return QString();
}

QVector<ModeStep> modeSteps(StationMode mode, bool on)
{
    using S = ModeStep;
    using ModeFeatures::TriggerType;
    switch (mode) {
    case StationMode::Radiometric:
        if (!on)
            return {};
        return {flagStep(S::EnableTrigger, true), step(S::EnablePulseWidthIfTrigger),
                flagStep(S::SetTwoGate, false), rebuild(ModeLayout::Radiometric),
                step(S::ApplyCameraConfig)};
    case StationMode::FrameAccumulation:
        if (!on)
            return {};
        return {flagStep(S::SetTwoGate, true), step(S::SwitchGate),
                rebuild(ModeLayout::FrameAccumulation), step(S::ShowGeneratorDialog),
                triggered(TriggerType::FrameAccumulation), step(S::ShowCurrentExposure)};
    case StationMode::DoubleFraming:
        // Leaving double framing disables the trigger actions; the next mode
        // decides whether they come back.
        if (!on)
            return {flagStep(S::EnableTrigger, false), flagStep(S::EnablePulseWidth, false)};
        return {flagStep(S::EnableTrigger, true), flagStep(S::EnablePulseWidth, true),
                step(S::SwitchGate), rebuild(ModeLayout::DoubleFraming),
                triggered(TriggerType::Double)};
    case StationMode::Lifetime:
        if (on)
            return {step(S::SwitchGate), rebuild(ModeLayout::Lifetime), flagStep(S::SetTwoGate, true),
                    step(S::ShowGeneratorDialog), triggered(TriggerType::FrameAccumulation),
                    step(S::ShowCurrentExposure), lifetimeText("Switch to Radiometric")};
        return {step(S::SwitchGate), rebuild(ModeLayout::Radiometric), flagStep(S::SetTwoGate, false),
                step(S::ApplyCameraConfig), lifetimeText("Switch to Lifetime")};
    }
    return {};
}
