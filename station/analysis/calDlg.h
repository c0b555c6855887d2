#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class distParams;
}

// The lens-calibration dialog: how many chessboard views to collect and the
// board's inner corners, Start/Stop of the collection, the boards found so
// far, and Save of the result. Escape does not close it.
class calDlg : public QDialog
{
    Q_OBJECT

public:
    explicit calDlg(QWidget* parent = nullptr);
    ~calDlg() override;

    int boards() const { return m_boards; }
    int h() const { return m_h; }
    int v() const { return m_v; }
    // Ends a collection the window had to give up (the camera went away):
    // the Start button comes back without asking the window again.
    void stopCollection();

signals:
    void startCalibration(bool on);
    void calFileName(QString name);

public slots:
    void startCal(bool on);
    void calFinished();
    void updateCal(int boards, int all);
    void changeBoards(int boards);
    void changeH(int h);
    void changeV(int v);
    void saveCal();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::distParams> ui;
    int m_boards = 10;
    int m_h = 31;
    int m_v = 23;
};
