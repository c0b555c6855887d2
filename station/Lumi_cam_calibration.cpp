// The main window's lens calibration: the dialog, the collection of
// chessboard views by the acquisition thread, the computation and the
// calibration file.

#include "Lumi_cam.h"

#include "Prompt.h"
#include "analysis/BoardCollector.h"
#include "analysis/LensCalibration.h"
#include "analysis/calDlg.h"
#include "ui_LUMI_camClass.h"

#include <QDateTime>

void Lumi_cam::doDistortion()
{
    m_calDlg->setModal(true);
    m_calDlg->show();
}

void Lumi_cam::doCal(bool on)
{
    if (on) {
        m_boardsWanted = m_calDlg->boards();
        m_boards->arm(m_calDlg->h(), m_calDlg->v(), m_boardsWanted, displayOptions());
    } else {
        m_boards->disarm();
    }
    m_collecting = on;
    ui->actionRun->setChecked(on);
}

void Lumi_cam::followCalibration()
{
    if (!m_collecting)
        return;
    const QString error = m_boards->error();
    if (!error.isEmpty()) {
        m_collecting = false;
        ui->actionRun->setChecked(false);
        m_calDlg->stopCollection();
        Prompt::current().message(m_calDlg, Prompt::Critical, m_calDlg->windowTitle(),
                                  tr("The chessboard search failed: %1").arg(error.toHtmlEscaped()));
        return;
    }
    if (m_boards->boardsFound() < m_boardsWanted)
        return;
    m_collecting = false;
    m_boards->disarm();
    ui->actionRun->setChecked(false);
    m_calDlg->calFinished();
    processCal();
}

void Lumi_cam::processCal()
{
    const BoardCollector::Views views = m_boards->views();
    const LensCalibration::Result result =
        m_calibration->compute(views.objectPoints, views.imagePoints, views.imageSize);
    if (!result.ok) {
        Prompt::current().message(m_calDlg, Prompt::Critical, m_calDlg->windowTitle(),
                                  tr("The calibration failed: %1").arg(result.error.toHtmlEscaped()));
        return;
    }
    Prompt::current().message(m_calDlg, Prompt::Information, tr("Reprojection Error"),
                              tr("RMS = %1 px").arg(result.rms, 0, 'g', 6));
}

void Lumi_cam::saveCal(QString)
{
    if (!m_calibration->hasResult()) {
        Prompt::current().message(m_calDlg, Prompt::Warning, tr("Save CalFile"),
                                  tr("There is no calibration to save yet: collect the boards first."));
        return;
    }
    const QString suggested = LensCalibration::suggestedFileName(m_serialNumber, QDateTime::currentDateTime());
    QString path;
    // A cancelled dialog writes nothing.
    if (!Prompt::current().saveFileName(m_calDlg, tr("Save CalFile"), suggested, tr("XML-data files (*.xml)"), &path)
        || path.isEmpty())
        return;
    const QString error = m_calibration->save(path);
    if (!error.isEmpty())
        Prompt::current().message(m_calDlg, Prompt::Critical, tr("Save CalFile"), error);
}

void Lumi_cam::endFrameAnalysis()
{
    m_lastFrame.reset();
    if (!m_collecting)
        return;
    m_collecting = false;
    m_boards->disarm();
    m_calDlg->stopCollection();
}
