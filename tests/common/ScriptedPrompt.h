#pragma once

#include "Prompt.h"

#include <QList>
#include <QStringList>

// Answers the programs' boxes in tests: records every box shown and answers
// questions, text inputs and file or directory choices from queues (No /
// cancel when a queue is empty). Installs itself for its lifetime.
class ScriptedPrompt : public Prompt
{
public:
    struct Shown
    {
        // "information", "warning", "critical", "<icon> question", "getText",
        // "saveFile", "directory", "about"
        QString kind;
        QString title;
        QString text;
        bool defaultNo = false; // a question whose default answer is No
        bool waited = true;     // false for a notice, left open while the caller went on
    };

    ScriptedPrompt() { Prompt::install(this); }
    ~ScriptedPrompt() override { Prompt::install(nullptr); }

    QList<bool> questionAnswers;
    QList<QString> textAnswers; // a null QString cancels
    QList<QString> fileAnswers; // file names and directories; a null QString cancels
    QList<Shown> shown;

    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    void notify(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    bool question(QWidget* parent, Icon icon, const QString& title, const QString& text,
                  DefaultAnswer defaultAnswer = DefaultYes) override;
    bool getText(QWidget* parent, const QString& title, const QString& label,
                 const QString& proposal, QString* text) override;
    bool saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                      const QString& filter, QString* fileName) override;
    bool existingDirectory(QWidget* parent, const QString& caption, const QString& directory,
                           QString* chosen) override;
    void about(QWidget* parent, const QString& title, const QString& text) override;

    // Titles of every box shown so far, in order.
    QStringList titles() const;
    // Titles of the boxes the caller waited for (not notices).
    QStringList waitedTitles() const;

private:
    bool answer(QList<QString>& queue, QString* result);
};
