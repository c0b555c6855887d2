#pragma once

#include <QString>

class QWidget;

// Every modal message box and input dialog of the programs goes through this
// interface, so that tests can answer them. The real prompt shows Qt's boxes.
class Prompt
{
public:
    enum Icon { Information, Warning, Critical };

    virtual ~Prompt() = default;

    // A box with one OK button.
    virtual void message(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
    // A Yes/No question with this icon; true for Yes.
    virtual bool question(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
    // A one-line text input; false when cancelled, *text untouched then.
    virtual bool getText(QWidget* parent, const QString& title, const QString& label,
                         const QString& proposal, QString* text) = 0;

    // The prompt in use: Qt's boxes unless a test installed its own.
    static Prompt& current();
    // Installs `prompt` (not owned); null restores Qt's boxes.
    static void install(Prompt* prompt);
};
