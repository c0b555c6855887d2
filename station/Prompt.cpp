#include "Prompt.h"

#include <QInputDialog>
#include <QMessageBox>

namespace {

class QtPrompt : public Prompt
{
public:
    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        switch (icon) {
        case Information: QMessageBox::information(parent, title, text, QMessageBox::Ok); break;
        case Warning: QMessageBox::warning(parent, title, text, QMessageBox::Ok); break;
        case Critical: QMessageBox::critical(parent, title, text, QMessageBox::Ok); break;
        }
    }

    bool question(QWidget* parent, const QString& title, const QString& text) override
    {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    }

    bool getText(QWidget* parent, const QString& title, const QString& label,
                 const QString& proposal, QString* text) override
    {
        bool ok = false;
        const QString entered = QInputDialog::getText(parent, title, label, QLineEdit::Normal, proposal, &ok);
        if (ok)
            *text = entered;
        return ok;
    }
};

QtPrompt qtPrompt;
Prompt* installed = nullptr;

} // namespace

Prompt& Prompt::current()
{
    return installed ? *installed : static_cast<Prompt&>(qtPrompt);
}

void Prompt::install(Prompt* prompt)
{
    installed = prompt;
}
