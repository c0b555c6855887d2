#pragma once

#include <QByteArray>
#include <QMap>

// The autofocus search, without the lens: which focus command comes next,
// given the sharpness score measured after each move. It starts 10 below the
// near end of the focus range, walks toward the far end in coarse steps (4 %
// of the near end) until the score has dropped clearly below the best one
// (by more than 1.06 right after it), goes back to where it stopped, walks
// toward the near end in fine steps (1 % of that position) up to two coarse
// steps beyond the best coarse position or until the score drops by more than
// 1.23 right after its best, and ends on the best fine position.
//
// The driver sends each step's command, lets the lens settle, waits for the
// controller's "Focus" report and, for a measuring step, for a fresh score,
// then asks for the next step.
class AutoFocusSearch
{
public:
    static constexpr int StartOffset = 10;
    // The coarse stage runs while the position is above this.
    static constexpr int CoarseLowerBound = 20;
    static constexpr double CoarseStepShare = 0.04;
    static constexpr double CoarseStopRatio = 1.06;
    static constexpr double FineStepShare = 0.01;
    static constexpr double FineStopRatio = 1.23;
    static constexpr int MoveSettleMs = 20;
    static constexpr int RepositionSettleMs = 500;
    // Below this near end no coarse step would run (the start position would
    // not be above CoarseLowerBound), so there is nothing to search.
    static constexpr int MinNearEnd = StartOffset + CoarseLowerBound + 1;

    enum class Stage {
        Start,      // "setFocus" to the start position
        Coarse,     // a coarse move toward far, then a score
        Reposition, // "setFocus" back to where the coarse stage ended
        Fine,       // a fine move toward near, then a score
        Final,      // "setFocus" to the best fine position
        Done,
    };

    struct Step
    {
        Stage stage = Stage::Done;
        QByteArray command;  // to send to the controller; empty when done
        int position = 0;    // the search's account of the focus position after it
        int settleMs = 0;    // events to run before awaiting the "Focus" report
        bool measure = false; // a sharpness score follows the report
    };

    static bool canStart(int nearEnd) { return nearEnd >= MinNearEnd; }

    // `nearEnd` must pass canStart().
    explicit AutoFocusSearch(int nearEnd);

    const Step& current() const { return step_; }
    bool isDone() const { return step_.stage == Stage::Done; }
    // The current step's report (and for a measuring step its score) came:
    // records the score and moves on. A score that is not a finite number
    // counts as 0.
    const Step& next(double score = 0);

    // The log line of a measured position: "P,score" in the coarse stage,
    // "P, score" in the fine one, the score with 6 significant digits, CR LF.
    static QByteArray logLine(Stage stage, int position, double score);

    int coarseStep() const { return coarseStep_; }
    int fineStep() const { return fineStep_; }
    int fineEnd() const { return fineEnd_; }
    const QMap<int, float>& coarseScores() const { return coarse_; }
    const QMap<int, float>& fineScores() const { return fine_; }

private:
    void coarseMove();
    void reposition();
    void fineMoveOrFinish();
    void finish();
    bool coarseEnds(float score);
    bool fineEnds(float score);
    void setStep(Stage stage, const QByteArray& command, int settleMs, bool measure);

    int position_;
    int coarseStep_;
    int fineStep_ = 0;
    int fineEnd_ = 0;
    float bestCoarse_ = 0;
    float bestFine_ = 0;
    // Position -> score; a position measured twice keeps the later score.
    QMap<int, float> coarse_;
    QMap<int, float> fine_;
    Step step_;
};
