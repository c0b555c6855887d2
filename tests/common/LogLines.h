#pragma once

#include <QStringList>
#include <QtGlobal>

// The log lines of one category while it lives, for tests that count what a
// program logs; other lines go on as before.
class LogLines
{
public:
    explicit LogLines(const char* category)
    {
        s_category = category;
        s_previous = qInstallMessageHandler(&LogLines::take);
    }
    ~LogLines()
    {
        qInstallMessageHandler(s_previous);
        s_lines.clear();
    }
    int count(const QString& text) const { return s_lines.filter(text).size(); }
    bool has(const QString& text) const { return count(text) > 0; }

private:
    static void take(QtMsgType type, const QMessageLogContext& context, const QString& msg)
    {
        if (qstrcmp(context.category, s_category) == 0)
            s_lines << msg;
        else
            s_previous(type, context, msg);
    }
    static inline const char* s_category = nullptr;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};
