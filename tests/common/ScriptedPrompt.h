#pragma once

#include "Prompt.h"

#include <QList>
#include <QStringList>

// Answers the station's boxes in tests: records every box shown and answers
// questions and text inputs from queues (No / cancel when a queue is empty).
// Installs itself for its lifetime.
class ScriptedPrompt : public Prompt
{
public:
    struct Shown
    {
        QString kind; // "information", "warning", "critical", "<icon> question", "getText"
        QString title;
        QString text;
    };

    ScriptedPrompt() { Prompt::install(this); }
    ~ScriptedPrompt() override { Prompt::install(nullptr); }

    QList<bool> questionAnswers;
    QList<QString> textAnswers; // a null QString cancels
    QList<Shown> shown;

    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    bool question(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    bool getText(QWidget* parent, const QString& title, const QString& label,
                 const QString& proposal, QString* text) override;

    // Titles of every box shown so far, in order.
    QStringList titles() const;
};
