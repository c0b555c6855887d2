#include "ScriptedPrompt.h"

void ScriptedPrompt::message(QWidget*, Icon icon, const QString& title, const QString& text)
{
    static const char* const kinds[] = {"information", "warning", "critical"};
    shown.append({QString::fromLatin1(kinds[icon]), title, text});
}

bool ScriptedPrompt::question(QWidget*, Icon icon, const QString& title, const QString& text)
{
    static const char* const kinds[] = {"information question", "warning question", "critical question"};
    shown.append({QString::fromLatin1(kinds[icon]), title, text});
    return questionAnswers.isEmpty() ? false : questionAnswers.takeFirst();
}

bool ScriptedPrompt::getText(QWidget*, const QString& title, const QString& label,
                             const QString& proposal, QString* text)
{
    shown.append({QStringLiteral("getText"), title, label + QLatin1Char('|') + proposal});
    if (textAnswers.isEmpty() || textAnswers.first().isNull()) {
        if (!textAnswers.isEmpty())
            textAnswers.removeFirst();
        return false;
    }
    *text = textAnswers.takeFirst();
    return true;
}

QStringList ScriptedPrompt::titles() const
{
    QStringList result;
    for (const Shown& s : shown)
        result << s.title;
    return result;
}
