#include "Prompt.h"

#include <QFileDialog>
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

    bool question(QWidget* parent, Icon icon, const QString& title, const QString& text,
                  DefaultAnswer defaultAnswer) override
    {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
        box.setDefaultButton(defaultAnswer == DefaultNo ? QMessageBox::No : QMessageBox::Yes);
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

    bool saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                      const QString& filter, QString* fileName) override
    {
        const QString chosen = QFileDialog::getSaveFileName(parent, caption, directory, filter);
        if (chosen.isEmpty())
            return false;
        *fileName = chosen;
        return true;
    }

    bool existingDirectory(QWidget* parent, const QString& caption, const QString& directory,
                           QString* chosen) override
    {
        // A link is kept as the user chose it, not replaced by its target.
        const QString dir = QFileDialog::getExistingDirectory(
            parent, caption, directory, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
        if (dir.isEmpty())
            return false;
        *chosen = dir;
        return true;
    }

    void about(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox::about(parent, title, text);
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
