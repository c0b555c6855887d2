#include "remote/RemoteBoxGate.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRemote)

RemoteBoxGate::Scope::Scope(RemoteBoxGate& gate, quint64 command) : m_gate(gate)
{
    m_gate.m_inner = &Prompt::current();
    m_gate.m_command = command;
    Prompt::install(&m_gate);
}

RemoteBoxGate::Scope::~Scope()
{
    Prompt::install(m_gate.m_inner);
    m_gate.m_inner = nullptr;
}

RemoteBoxGate::RemoteBoxGate(const quint64& arrived) : m_arrived(arrived) {}

void RemoteBoxGate::message(QWidget* parent, Icon icon, const QString& title, const QString& text)
{
    if (m_command <= m_quietUpTo.value(title)) {
        qCWarning(lcRemote).noquote() << "message: not shown again:" << title << "-" << text;
        return;
    }
    m_inner->message(parent, icon, title, text);
    m_quietUpTo.insert(title, m_arrived);
}

bool RemoteBoxGate::question(QWidget* parent, Icon icon, const QString& title, const QString& text,
                             DefaultAnswer defaultAnswer)
{
    return m_inner->question(parent, icon, title, text, defaultAnswer);
}

bool RemoteBoxGate::getText(QWidget* parent, const QString& title, const QString& label, const QString& proposal,
                            QString* text)
{
    return m_inner->getText(parent, title, label, proposal, text);
}

bool RemoteBoxGate::saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& filter, QString* fileName)
{
    return m_inner->saveFileName(parent, caption, directory, filter, fileName);
}

bool RemoteBoxGate::existingDirectory(QWidget* parent, const QString& caption, const QString& directory,
                                      QString* chosen)
{
    return m_inner->existingDirectory(parent, caption, directory, chosen);
}

void RemoteBoxGate::about(QWidget* parent, const QString& title, const QString& text)
{
    m_inner->about(parent, title, text);
}
