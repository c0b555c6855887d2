#pragma once

#include "Prompt.h"

#include <cstdio>

// Answers every box at once (No, cancelled) and prints what it was asked to
// standard error, so a program nobody watches (a benchmark, a stand-in
// peer) never waits on a modal box. Installs itself for its lifetime.
class AnsweringPrompt : public Prompt
{
public:
    AnsweringPrompt() { Prompt::install(this); }
    ~AnsweringPrompt() override { Prompt::install(nullptr); }

    void message(QWidget*, Icon, const QString& title, const QString& text) override { print(title, text); }
    void notify(QWidget*, Icon, const QString& title, const QString& text) override { print(title, text); }
    bool question(QWidget*, Icon, const QString& title, const QString& text, DefaultAnswer) override
    {
        print(title, text);
        return false;
    }
    bool getText(QWidget*, const QString& title, const QString& label, const QString&, QString*) override
    {
        print(title, label);
        return false;
    }
    bool saveFileName(QWidget*, const QString& caption, const QString&, const QString&, QString*) override
    {
        print(caption, QString());
        return false;
    }
    bool existingDirectory(QWidget*, const QString& caption, const QString&, QString*) override
    {
        print(caption, QString());
        return false;
    }
    void about(QWidget*, const QString& title, const QString& text) override { print(title, text); }

private:
    static void print(const QString& title, const QString& text)
    {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(title), qPrintable(text));
    }
};
