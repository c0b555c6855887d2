#pragma once

#include "ScriptedPrompt.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

// Boxes that stay open, running events as a real modal box does, until
// released (or for `holdMs` each): a test sees whether anything waited on one.
// Notices (boxes nobody waits for) are only recorded.
class HeldPrompt : public ScriptedPrompt
{
public:
    int holdMs = 60000;
    int open = 0;
    int mostOpen = 0;

    HeldPrompt() { m_release.setSingleShot(true); }

    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override
    {
        ScriptedPrompt::message(parent, icon, title, text);
        mostOpen = std::max(mostOpen, ++open);
        QEventLoop loop;
        QTimer::singleShot(holdMs, &loop, &QEventLoop::quit);
        QObject::connect(&m_release, &QTimer::timeout, &loop, &QEventLoop::quit);
        loop.exec();
        --open;
    }
    // Answers every box open now.
    void release() { m_release.start(0); }

private:
    QTimer m_release;
};
