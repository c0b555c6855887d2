#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SetIPDialog;
}

// Names the pulse generator this station controls, and whether it waits for
// an external trigger. Only its button closes it.
class setIPDlg : public QDialog
{
    Q_OBJECT

public:
    explicit setIPDlg(QWidget* parent = nullptr);
    ~setIPDlg() override;

    // A dotted IPv4 address, each part 0..255.
    static bool isValidAddress(const QString& text);

signals:
    // The confirmed generator; an empty address when the station should not
    // control one.
    void hasIP(const QString& ip, bool externallyTriggered);

public slots:
    void setIP();
    void editIP(const QString& text);
    void controlTMX(bool on);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::SetIPDialog> ui;
};
