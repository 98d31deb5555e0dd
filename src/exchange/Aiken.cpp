// Aiken: multiple-choice questions only.  The question's text, then its
// choices "A) text" or "A. text", one to a line, then "ANSWER: B".
#include "ExchangeCommon.h"

namespace vedomec::exchange {

using namespace detail;

namespace {

// "A) text", "B. text": the letter of a choice line, or 0.
char16_t choiceLetter(const QString& line)
{
    if (line.size() < 2)
        return 0;
    const char16_t c = line.at(0).unicode();
    if (c < u'A' || c > u'Z' || (line.at(1) != u')' && line.at(1) != u'.'))
        return 0;
    return c;
}

bool isAnswerLine(const QString& line)
{
    if (!line.startsWith(QLatin1String("ANSWER"), Qt::CaseInsensitive))
        return false;
    return line.mid(6).trimmed().startsWith(u':');
}

struct Open {
    int line = 0;
    QString text;
    QStringList choices;
};

void finishQuestion(Collector& col, Open& q, int answerLine, const QString& answer)
{
    const QChar letter = answer.isEmpty() ? QChar() : answer.at(0).toUpper();
    const int index = letter.isNull() ? -1 : letter.unicode() - u'A';
    if (q.choices.size() < 2) {
        col.omit(q.line, QStringLiteral("otázka má méně než dvě odpovědi"));
    } else if (q.choices.size() > 4) {
        col.omit(q.line, QStringLiteral("otázka má %1 odpovědí; test a) b) c) d) jich nese nejvýš čtyři").arg(q.choices.size()));
    } else if (index < 0 || index >= q.choices.size()) {
        col.omit(q.line, QStringLiteral("řádek %1: „ANSWER: %2“ neukazuje na žádnou z odpovědí A až %3")
                             .arg(answerLine).arg(answer, QChar(char16_t(u'A' + q.choices.size() - 1))));
    } else if (const qsizetype empty = q.choices.indexOf(QString()); empty >= 0) {
        col.omit(q.line, QStringLiteral("odpověď %1) je prázdná").arg(QChar(char16_t(u'a' + empty))));
    } else {
        Carried c;
        c.line = q.line;
        c.type = u'A';
        c.question.text = q.text;
        for (qsizetype i = 0; i < q.choices.size(); ++i)
            c.question.answers[i] = q.choices[i];
        c.question.correct = QString(QChar(u'A' + index));
        col.add(std::move(c));
    }
    q = Open();
}

} // namespace

ImportResult readAiken(const QByteArray& file, const ImportNames& names)
{
    const QStringList lines = decodeLines(file);
    Collector col(names);
    Open q;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const int lineNo = int(i) + 1;
        if (line.isEmpty())
            continue;
        if (isAnswerLine(line)) {
            if (q.line == 0) {
                col.note(lineNo, QStringLiteral("řádek „ANSWER:“ bez otázky nad sebou, vynechán"));
                continue;
            }
            const QString answer = line.mid(line.indexOf(u':') + 1).trimmed();
            // The platform's own import takes only "ANSWER:" and a capital
            // letter; such a line is read, and the teacher is told that the
            // platform would refuse the file as it is.
            finishQuestion(col, q, lineNo, answer);
            if (!line.startsWith(QLatin1String("ANSWER")) || (!answer.isEmpty() && answer.at(0).isLower()))
                col.note(lineNo, QStringLiteral("„%1“ je psáno malými písmeny; přečteno, ale Moodle přijme jen "
                                                "„ANSWER:“ a velké písmeno odpovědi").arg(line));
            continue;
        }
        // A choice only under a question's text: "A. Jirásek napsal ..." on
        // its own begins a question.
        if (q.line != 0 && choiceLetter(line)) {
            q.choices.append(line.mid(2).trimmed());
            continue;
        }
        if (q.line != 0 && q.choices.isEmpty()) {
            // A question written over several lines is one text.
            q.text += u' ' + line;
            continue;
        }
        if (q.line != 0)
            col.omit(q.line, QStringLiteral("otázce chybí řádek „ANSWER:“ se správnou odpovědí"));
        col.found();
        q = Open();
        q.line = lineNo;
        q.text = line;
    }
    if (q.line != 0)
        col.omit(q.line, QStringLiteral("otázce chybí řádek „ANSWER:“ se správnou odpovědí"));
    return col.finish();
}

ExportResult writeAiken(const TestSource& test)
{
    if (test.type != u'A')
        throw SourceError(0, QStringLiteral("Aiken nese jen otázky s výběrem jedné správné odpovědi (test typu A); "
                                            "tento test je typu %1").arg(test.type));
    WriterNotes notes;
    notes.testWide(test, QStringLiteral("Aiken"), false);
    QString out;
    for (qsizetype n = 0; n < test.questions.size(); ++n) {
        const SourceQuestion& q = test.questions[n];
        const int number = int(n) + 1;
        const QString text = oneLine(q.text);
        if (text.size() < 2) {
            notes.add(number, QStringLiteral("otázka vynechána: text otázky je na Aiken příliš krátký"), true);
            continue;
        }
        if (choiceLetter(text) || isAnswerLine(text)) {
            notes.add(number, QStringLiteral("otázka vynechána: text otázky začíná jako odpověď („A)“, „A.“) nebo „ANSWER:“ "
                                             "a Aiken by ho četl jinak"), true);
            continue;
        }
        if (!notes.choicesHeld(number, q))
            continue;
        const int right = q.correct.at(0).toUpper().unicode() - u'A';
        QString body;
        int written = 0;
        QChar rightLetter;
        for (int i = 0; i < 4; ++i) {
            if (q.answers[i].isEmpty())
                continue;
            const QChar letter(u'A' + written);
            if (i == right)
                rightLetter = letter;
            body += QString(letter) + QStringLiteral(") ") + oneLine(q.answers[i]) + u'\n';
            ++written;
        }
        out += text + u'\n' + body + QStringLiteral("ANSWER: ") + rightLetter + QStringLiteral("\n\n");
    }
    return {out.toUtf8(), notes.list};
}

} // namespace vedomec::exchange
