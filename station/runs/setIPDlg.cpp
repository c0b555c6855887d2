#include "runs/setIPDlg.h"

#include "runs/TmxSettings.h"
#include "ui_setIPDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QSettings>

setIPDlg::setIPDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::SetIPDialog>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    connect(ui->pushButton, &QPushButton::clicked, this, &setIPDlg::setIP);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &setIPDlg::editIP);
    connect(ui->groupBox, &QGroupBox::toggled, this, &setIPDlg::controlTMX);
    const QSettings settings(QStringLiteral("Kessane"), QStringLiteral("Lumivar"));
    ui->lineEdit->setText(
        settings.value(QLatin1String(TmxSettings::LastIpKey), QLatin1String(TmxSettings::DefaultIp))
            .toString());
    editIP(ui->lineEdit->text());
}

setIPDlg::~setIPDlg() = default;

bool setIPDlg::isValidAddress(const QString& text)
{
    static const QRegularExpression ip(QRegularExpression::anchoredPattern(QStringLiteral(
        R"(\b(([01]?\d?\d|2[0-4]\d|25[0-5])\.){3}([01]?\d?\d|2[0-4]\d|25[0-5])\b)")));
    return ip.match(text).hasMatch();
}

void setIPDlg::editIP(const QString& text)
{
    const bool valid = isValidAddress(text);
    ui->lineEdit->setStyleSheet(valid ? QStringLiteral("QLineEdit{background: white;}")
                                      : QStringLiteral("QLineEdit{background: red;}"));
    ui->pushButton->setEnabled(valid);
}

void setIPDlg::controlTMX(bool on)
{
    editIP(ui->lineEdit->text());
    // Turning control off needs no address.
    ui->pushButton->setEnabled(true);
    ui->pushButton->setText(on ? tr("OK") : tr("Cancel"));
}

void setIPDlg::setIP()
{
    if (ui->groupBox->isChecked()) {
        const QString ip = ui->lineEdit->text();
        QSettings settings(QStringLiteral("Kessane"), QStringLiteral("Lumivar"));
        settings.setValue(QLatin1String(TmxSettings::LastIpKey), ip);
        settings.sync();
        emit hasIP(ip, ui->checkBox->isChecked());
    } else {
        emit hasIP(QString(), false);
    }
    hide();
}

void setIPDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void setIPDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
