#include "AutoFocusSearch.h"

#include "LensProtocol.h"

#include <QtGlobal>

#include <cmath>

AutoFocusSearch::AutoFocusSearch(int nearEnd)
    : position_(nearEnd - StartOffset),
      coarseStep_(int(nearEnd * CoarseStepShare))
{
    Q_ASSERT(canStart(nearEnd));
    setStep(Stage::Start, LensProtocol::setFocus(position_), 0, false);
}

const AutoFocusSearch::Step& AutoFocusSearch::next(double score)
{
    const float measured = std::isfinite(score) ? float(score) : 0.0f;
    switch (step_.stage) {
    case Stage::Start:
        if (position_ > CoarseLowerBound)
            coarseMove();
        else
            reposition();
        break;
    case Stage::Coarse:
        if (coarseEnds(measured))
            reposition();
        else
            coarseMove();
        break;
    case Stage::Reposition: fineMoveOrFinish(); break;
    case Stage::Fine:
        if (fineEnds(measured))
            finish();
        else
            fineMoveOrFinish();
        break;
    case Stage::Final: setStep(Stage::Done, QByteArray(), 0, false); break;
    case Stage::Done: break;
    }
    return step_;
}

QByteArray AutoFocusSearch::logLine(Stage stage, int position, double score)
{
    const char* separator = stage == Stage::Fine ? ", " : ",";
    return QByteArray::number(position) + separator + QByteArray::number(score, 'g', 6) + "\r\n";
}

void AutoFocusSearch::coarseMove()
{
    position_ -= coarseStep_;
    setStep(Stage::Coarse, LensProtocol::moveFocus(-coarseStep_), MoveSettleMs, true);
}

bool AutoFocusSearch::coarseEnds(float score)
{
    coarse_.insert(position_, score);
    if (score > bestCoarse_) {
        bestCoarse_ = score;
    } else if (coarse_.key(bestCoarse_, 0) == position_ + coarseStep_
               && double(bestCoarse_) / double(score) > CoarseStopRatio) {
        return true;
    }
    return position_ <= CoarseLowerBound;
}

void AutoFocusSearch::reposition()
{
    // At least 1, or the fine stage would not move below position 100.
    fineStep_ = qMax(1, int(position_ * FineStepShare));
    fineEnd_ = coarse_.key(bestCoarse_, 0) + 2 * coarseStep_;
    setStep(Stage::Reposition, LensProtocol::setFocus(position_), RepositionSettleMs, false);
}

void AutoFocusSearch::fineMoveOrFinish()
{
    if (position_ >= fineEnd_) {
        finish();
        return;
    }
    position_ += fineStep_;
    setStep(Stage::Fine, LensProtocol::moveFocus(fineStep_), MoveSettleMs, true);
}

bool AutoFocusSearch::fineEnds(float score)
{
    fine_.insert(position_, score);
    if (score > bestFine_) {
        bestFine_ = score;
    } else if (fine_.key(bestFine_, 0) == position_ - fineStep_
               && double(bestFine_) / double(score) > FineStopRatio) {
        return true;
    }
    return position_ >= fineEnd_;
}

void AutoFocusSearch::finish()
{
    position_ = fine_.key(bestFine_, 0);
    setStep(Stage::Final, LensProtocol::setFocus(position_), 0, false);
}

void AutoFocusSearch::setStep(Stage stage, const QByteArray& command, int settleMs, bool measure)
{
    step_ = Step{stage, command, position_, settleMs, measure};
}
