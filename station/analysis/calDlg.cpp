#include "analysis/calDlg.h"

#include "Prompt.h"
#include "analysis/LensCalibration.h"
#include "ui_distParams.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace {

// The dialog's texts share its form's translation context.
QString text(const char* source)
{
    return QCoreApplication::translate("distParams", source);
}

} // namespace

calDlg::calDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::distParams>())
{
    ui->setupUi(this);
    m_boards = ui->spinBox->value();
    m_h = ui->spinBox_2->value();
    m_v = ui->spinBox_3->value();
    connect(ui->spinBox, qOverload<int>(&QSpinBox::valueChanged), this, &calDlg::changeBoards);
    connect(ui->spinBox_2, qOverload<int>(&QSpinBox::valueChanged), this, &calDlg::changeH);
    connect(ui->spinBox_3, qOverload<int>(&QSpinBox::valueChanged), this, &calDlg::changeV);
    connect(ui->pushButton, &QPushButton::toggled, this, &calDlg::startCal);
    connect(ui->pushButton_2, &QPushButton::clicked, this, qOverload<>(&calDlg::saveCal));
}

calDlg::~calDlg() = default;

void calDlg::startCal(bool on)
{
    m_boards = ui->spinBox->value();
    m_h = ui->spinBox_2->value();
    m_v = ui->spinBox_3->value();
    // The corner search cannot take a board under 3 x 3 inner corners.
    if (on && !LensCalibration::patternUsable(m_h, m_v)) {
        {
            const QSignalBlocker quiet(ui->pushButton);
            ui->pushButton->setChecked(false);
        }
        Prompt::current().message(this, Prompt::Warning, windowTitle(),
                                  text("A calibration pattern needs at least 3 x 3 inner corners."));
        return;
    }
    ui->pushButton->setText(on ? text("Stop") : text("Start"));
    emit startCalibration(on);
}

void calDlg::stopCollection()
{
    const QSignalBlocker quiet(this);
    ui->pushButton->setChecked(false);
}

void calDlg::calFinished()
{
    ui->pushButton->setChecked(false);
    ui->label_4->setText(text("Found: %1").arg(m_boards));
}

void calDlg::updateCal(int boards, int all)
{
    ui->label_4->setText(text("Found: %1(%2)").arg(boards).arg(all));
}

void calDlg::changeBoards(int boards)
{
    m_boards = boards;
}

void calDlg::changeH(int h)
{
    m_h = h;
}

void calDlg::changeV(int v)
{
    m_v = v;
}

void calDlg::saveCal()
{
    emit calFileName(QString());
}

void calDlg::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void calDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
