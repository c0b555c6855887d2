#pragma once

#include "Prompt.h"

#include <QHash>
#include <QString>

// The boxes of remote commands. Commands run one at a time, so a box that
// waits for an answer holds back the commands queued behind it; nobody may be
// at the station. Once such a box has been answered, the same box (by title)
// raised again by a command that was already waiting goes to the log instead,
// so an unattended station does not greet its user with a stack of copies.
// Every other prompt passes through unchanged.
class RemoteBoxGate : public Prompt
{
public:
    // While it lives, Prompt::current() is the gate, for the command that
    // arrived as number `command` (counted from 1).
    class Scope
    {
    public:
        Scope(RemoteBoxGate& gate, quint64 command);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RemoteBoxGate& m_gate;
    };

    // `arrived` counts the commands received so far; it outlives the gate.
    explicit RemoteBoxGate(const quint64& arrived);

    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    bool question(QWidget* parent, Icon icon, const QString& title, const QString& text,
                  DefaultAnswer defaultAnswer) override;
    bool getText(QWidget* parent, const QString& title, const QString& label, const QString& proposal,
                 QString* text) override;
    bool saveFileName(QWidget* parent, const QString& caption, const QString& directory, const QString& filter,
                      QString* fileName) override;
    bool existingDirectory(QWidget* parent, const QString& caption, const QString& directory,
                           QString* chosen) override;
    void about(QWidget* parent, const QString& title, const QString& text) override;

private:
    const quint64& m_arrived;
    Prompt* m_inner = nullptr; // the prompt in use before the scope began
    quint64 m_command = 0;
    // Per title: commands up to this number arrived before its box was answered.
    QHash<QString, quint64> m_quietUpTo;
};
