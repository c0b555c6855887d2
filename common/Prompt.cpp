#include "Prompt.h"

#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(Prompt::Icon icon)
{
    switch (icon) {
    case Prompt::Information: return QMessageBox::Information;
    case Prompt::Warning: return QMessageBox::Warning;
    case Prompt::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

class QtPrompt : public Prompt
{
public:
    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    bool question(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
        return box.exec() == QMessageBox::Yes;
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
