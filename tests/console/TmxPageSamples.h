#pragma once

#include "generators/GeneratorForm.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

// Pages as a pulse generator serves them, for the tests and the fuzzer:
// lines end in CR LF and the body may carry NUL bytes, as the devices' do.
namespace TmxPageSamples {

// The master's settings page holding `f`: thirteen value fields (the
// second closed by two double quotes), then the four lists, laid out so that
// each list's pattern finds its own selected option.
inline QByteArray masterPage(const GeneratorForm::Values& f)
{
    using GeneratorForm::number;
    const auto input = [](const char* name, const QString& value, const char* close = "\"") {
        return QStringLiteral("<input name=\"%1\" value=\"%2%3>").arg(QLatin1String(name), value, QLatin1String(close));
    };
    const auto row = [](const QString& a, const QString& b) {
        return QStringLiteral("<tr><TD>%1</TD><TD>%2</TD></tr>\r\n").arg(a, b);
    };
    const auto options = [](const QStringList& texts, int selected, const char* mark) {
        QString s;
        for (int i = 0; i < texts.size(); ++i) {
            const int code = texts.at(i).section(QLatin1Char('='), 0, 0).toInt();
            s += QStringLiteral("<option value=%1%2%3</option>")
                     .arg(code)
                     .arg(code == selected ? QLatin1String(mark) : QLatin1String(">"))
                     .arg(texts.at(i).section(QLatin1Char('='), 1));
        }
        return s;
    };
    QString page = QStringLiteral("<html><body><form action=\"/sg_hr_run.shtml\"><table>\r\n");
    page += row(input("p1", number(f.period[0])), input("p2", number(f.period[1]), "\"\""));
    page += row(input("pn1", QString::number(f.pulses[0])), input("pn2", QString::number(f.pulses[1])));
    for (int c = 0; c < 2; ++c) {
        page += row(input("st1", number(f.delay[0][c])), input("st2", number(f.delay[1][c])));
        page += row(input("et1", number(f.width[0][c])), input("et2", number(f.width[1][c])));
    }
    page += row(input("ver", QStringLiteral("3")), QString());
    page += QStringLiteral("<tr><TD><select name=\"ts1\">")
            + options({"0=Software", "1=Ext. Sync", "2=Rising Edge", "4=Lowering Edge", "6=High Level"},
                      f.source[0], " selected=\"selected\">")
            + QStringLiteral("</select></TD><TD><select name=\"freq1\">")
            + options({"0=20 ns", "1=40 ns", "2=80 ns", "3=160 ns"}, f.timeUnit[0], " selected=\"selected\">")
            + QStringLiteral("</select></TD><TD><select name=\"freq2\">")
            + options({"0=20 ns", "1=40 ns", "2=80 ns", "3=160 ns"}, f.timeUnit[1], " selected=\"selected\">")
            + QStringLiteral("</select></TD></tr>\r\n<tr><TD><select name=\"ts2\">")
            + options({"0=Software", "1=Gen1 Slave"}, f.source[1], " selected=\"selected\" >")
            + QStringLiteral("</select></TD></tr>\r\n</table></form></body></html>\r\n");
    return page.toLatin1() + QByteArray(2, '\0');
}

// A slave's values page: seventeen value fields, the fourth closed by two
// double quotes.
inline QByteArray slavePage(const std::array<qint64, 17>& fields)
{
    QByteArray page = "<html><body><form>\r\n";
    for (size_t i = 0; i < fields.size(); ++i)
        page += "<input name=\"f" + QByteArray::number(int(i)) + "\" value=\"" + QByteArray::number(fields[i])
                + (i == 3 ? "\"\">\r\n" : "\">\r\n");
    return page + "</form></body></html>\r\n" + QByteArray(1, '\0');
}

inline QByteArray statusPage(const char* generator1, const char* generator2)
{
    return QByteArray("<html>\r\n<body>Generator 1<b>:") + generator1 + "</b>  Generator 2:<b>" + generator2
           + "</b><br></body>\r\n</html>";
}

} // namespace TmxPageSamples
