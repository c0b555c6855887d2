#include "ScriptedPrompt.h"

namespace {

const char* const messageKinds[] = {"information", "warning", "critical"};

} // namespace

void ScriptedPrompt::message(QWidget*, Icon icon, const QString& title, const QString& text)
{
    shown.append({QString::fromLatin1(messageKinds[icon]), title, text});
}

void ScriptedPrompt::notify(QWidget*, Icon icon, const QString& title, const QString& text)
{
    shown.append({QString::fromLatin1(messageKinds[icon]), title, text, false, false});
}

bool ScriptedPrompt::question(QWidget*, Icon icon, const QString& title, const QString& text,
                              DefaultAnswer defaultAnswer)
{
    static const char* const kinds[] = {"information question", "warning question", "critical question"};
    shown.append({QString::fromLatin1(kinds[icon]), title, text, defaultAnswer == DefaultNo});
    return questionAnswers.isEmpty() ? false : questionAnswers.takeFirst();
}

bool ScriptedPrompt::getText(QWidget*, const QString& title, const QString& label,
                             const QString& proposal, QString* text)
{
    shown.append({QStringLiteral("getText"), title, label + QLatin1Char('|') + proposal});
    return answer(textAnswers, text);
}

bool ScriptedPrompt::saveFileName(QWidget*, const QString& caption, const QString& directory,
                                  const QString& filter, QString* fileName)
{
    shown.append({QStringLiteral("saveFile"), caption, directory + QLatin1Char('|') + filter});
    return answer(fileAnswers, fileName);
}

bool ScriptedPrompt::existingDirectory(QWidget*, const QString& caption, const QString& directory,
                                       QString* chosen)
{
    shown.append({QStringLiteral("directory"), caption, directory});
    return answer(fileAnswers, chosen);
}

void ScriptedPrompt::about(QWidget*, const QString& title, const QString& text)
{
    shown.append({QStringLiteral("about"), title, text});
}

bool ScriptedPrompt::answer(QList<QString>& queue, QString* result)
{
    if (queue.isEmpty())
        return false;
    const QString next = queue.takeFirst();
    if (next.isNull())
        return false;
    *result = next;
    return true;
}

QStringList ScriptedPrompt::titles() const
{
    QStringList result;
    for (const Shown& s : shown)
        result << s.title;
    return result;
}

QStringList ScriptedPrompt::waitedTitles() const
{
    QStringList result;
    for (const Shown& s : shown)
        if (s.waited)
            result << s.title;
    return result;
}
