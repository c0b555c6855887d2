// The main window's side of the lens-controller dialog.

#include "Lumi_cam.h"

#include "focusDlg.h"
#include "frames/CustomScene.h"
#include "ui_LUMI_camClass.h"

void Lumi_cam::uncheckLensButton()
{
    ui->actionFocus->setChecked(false);
}

// While the dialog shows, the ROI measures sharpness (the autofocus input)
// instead of intensity.
void Lumi_cam::showFocusDialog(bool on)
{
    m_focusDlg->setVisible(on);
    m_scene->setSharpnessMode(on);
    m_focusDlg->fillProfiles(on);
}
