#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every modal message box and input dialog of the programs goes through this
// interface, so that tests can answer them. The real prompt shows Qt's boxes.
class Prompt
{
public:
    enum Icon { Information, Warning, Critical };
    // The button a question's box selects when the user just presses Enter.
    enum DefaultAnswer { DefaultYes, DefaultNo };

    virtual ~Prompt() = default;

    // A box with one OK button.
    virtual void message(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
    // The same box left open for the user while the caller goes on at once
    // (no event loop of its own); one open box per title at a time.
    virtual void notify(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
    // A Yes/No question with this icon; true for Yes.
    virtual bool question(QWidget* parent, Icon icon, const QString& title, const QString& text,
                          DefaultAnswer defaultAnswer = DefaultYes) = 0;
    // A one-line text input; false when cancelled, *text untouched then.
    virtual bool getText(QWidget* parent, const QString& title, const QString& label,
                         const QString& proposal, QString* text) = 0;
    // A file name to save to, starting in `directory`; false when cancelled.
    virtual bool saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                              const QString& filter, QString* fileName) = 0;
    // An existing directory, starting in `directory`; false when cancelled.
    virtual bool existingDirectory(QWidget* parent, const QString& caption, const QString& directory,
                                   QString* chosen) = 0;
    // The program's about box.
    virtual void about(QWidget* parent, const QString& title, const QString& text) = 0;

    // The prompt in use: Qt's boxes unless a test installed its own.
    static Prompt& current();
    // Installs `prompt` (not owned); null restores Qt's boxes.
    static void install(Prompt* prompt);

    // While one lives, current() shows every message box without waiting for
    // it (notify), logs it and tells the notice reporter; questions, inputs
    // and file choices still wait. For code that must not be held by a box:
    // a console's command, the event handlers of a run. Scopes nest.
    class NoWait
    {
    public:
        NoWait();
        ~NoWait();
        NoWait(const NoWait&) = delete;
        NoWait& operator=(const NoWait&) = delete;
    };
    // Told of every box shown under NoWait (the station puts it in its status
    // bar); `text` is the box's text as plain text. An empty function: none.
    using NoticeReporter = std::function<void(const QString& title, const QString& text)>;
    static void setNoticeReporter(NoticeReporter reporter);
};
