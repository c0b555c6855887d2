#include "Prompt.h"

#include <QFileDialog>
#include <QHash>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QTextDocumentFragment>

Q_LOGGING_CATEGORY(lcPrompt, "kessane.prompt")

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

    void notify(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        // A box of this title still open shows the newest text instead of
        // stacking another on it.
        QPointer<QMessageBox>& box = m_notices[title];
        if (!box) {
            box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, parent);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::NonModal);
        }
        box->setText(text);
        box->show();
        box->raise();
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

private:
    QHash<QString, QPointer<QMessageBox>> m_notices;
};

QtPrompt qtPrompt;
Prompt* installed = nullptr;

Prompt& installedOrQt()
{
    return installed ? *installed : static_cast<Prompt&>(qtPrompt);
}

// The prompt in use while a Prompt::NoWait lives: message boxes become
// notices, the rest goes to the installed prompt.
class NoWaitPrompt : public Prompt
{
public:
    int depth = 0;
    NoticeReporter reporter;

    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        notify(parent, icon, title, text);
    }

    void notify(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        const QString plain = QTextDocumentFragment::fromHtml(text).toPlainText().simplified();
        qCWarning(lcPrompt).noquote() << "not waited for:" << title << "-" << plain;
        if (reporter)
            reporter(title, plain);
        installedOrQt().notify(parent, icon, title, text);
    }

    bool question(QWidget* parent, Icon icon, const QString& title, const QString& text,
                  DefaultAnswer defaultAnswer) override
    {
        return installedOrQt().question(parent, icon, title, text, defaultAnswer);
    }

    bool getText(QWidget* parent, const QString& title, const QString& label, const QString& proposal,
                 QString* text) override
    {
        return installedOrQt().getText(parent, title, label, proposal, text);
    }

    bool saveFileName(QWidget* parent, const QString& caption, const QString& directory, const QString& filter,
                      QString* fileName) override
    {
        return installedOrQt().saveFileName(parent, caption, directory, filter, fileName);
    }

    bool existingDirectory(QWidget* parent, const QString& caption, const QString& directory,
                           QString* chosen) override
    {
        return installedOrQt().existingDirectory(parent, caption, directory, chosen);
    }

    void about(QWidget* parent, const QString& title, const QString& text) override
    {
        installedOrQt().about(parent, title, text);
    }
};

NoWaitPrompt noWait;

} // namespace

Prompt& Prompt::current()
{
    return noWait.depth > 0 ? noWait : installedOrQt();
}

void Prompt::install(Prompt* prompt)
{
    installed = prompt;
}

Prompt::NoWait::NoWait()
{
    ++noWait.depth;
}

Prompt::NoWait::~NoWait()
{
    --noWait.depth;
}

void Prompt::setNoticeReporter(NoticeReporter reporter)
{
    noWait.reporter = std::move(reporter);
}
