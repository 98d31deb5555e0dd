#include "PaperTest.h"

namespace vedomec::authoring {

namespace {

QString header(const TestSource& test, const QString& subtitle)
{
    QString h = QStringLiteral("<h2>%1</h2>").arg(test.title.toHtmlEscaped());
    QStringList lines;
    lines << QStringLiteral("Druh testu: %1").arg(test.kind.toHtmlEscaped());
    if (!test.author.isEmpty())
        lines << QStringLiteral("Autor: %1").arg(test.author.toHtmlEscaped());
    lines << QStringLiteral("Povolený čas: %1").arg(timeLimitText(test));
    if (!subtitle.isEmpty())
        lines << QStringLiteral("<b>%1</b>").arg(subtitle);
    h += QStringLiteral("<p>%1</p>").arg(lines.join(QStringLiteral("<br>")));
    return h;
}

} // namespace

QString paperTestHtml(const TestSource& test)
{
    QString html = QStringLiteral("<html><body>") + header(test, QString());
    html += QStringLiteral("<p>Jméno: ____________________________ &nbsp; Třída: ________ &nbsp; Datum: __________</p>");
    for (int i = 0; i < test.questions.size(); ++i) {
        const SourceQuestion& q = test.questions[i];
        html += QStringLiteral("<p><b>%1.</b> %2<br>").arg(i + 1).arg(q.text.toHtmlEscaped());
        if (test.type == u'A') {
            for (int a = 0; a < 4; ++a)
                html += QStringLiteral("&nbsp;&nbsp;&nbsp;%1) %2<br>").arg(QChar(u'a' + a)).arg(q.answers[a].toHtmlEscaped());
        } else if (test.type == u'B') {
            html += QStringLiteral("&nbsp;&nbsp;&nbsp;ANO &nbsp;&nbsp;&nbsp; NE<br>");
        } else {
            html += QStringLiteral("&nbsp;&nbsp;&nbsp;Odpověď: ________________________________________<br>");
        }
        html += QStringLiteral("</p>");
    }
    return html + QStringLiteral("</body></html>");
}

QString answerKeyHtml(const TestSource& test)
{
    QString html = QStringLiteral("<html><body>") + header(test, QStringLiteral("Klíč správných odpovědí"));
    html += QStringLiteral("<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">");
    for (int i = 0; i < test.questions.size(); ++i) {
        const SourceQuestion& q = test.questions[i];
        QString correct = q.correct;
        if (test.type == u'A' && correct.size() == 1) {
            const int a = correct.at(0).toUpper().unicode() - u'A';
            if (a >= 0 && a < 4)
                correct = QStringLiteral("%1) %2").arg(QChar(u'a' + a), q.answers[a]);
        }
        html += QStringLiteral("<tr><td>%1.</td><td>%2</td><td><b>%3</b></td></tr>")
                    .arg(i + 1)
                    .arg(q.text.toHtmlEscaped(), correct.toHtmlEscaped());
    }
    return html + QStringLiteral("</table></body></html>");
}

} // namespace vedomec::authoring
