#pragma once
// The plain-text test source a teacher writes in any text editor, and its
// reading.  The format is described in the README ("Psaní testu v textovém
// editoru"); this reader checks everything the question table will need, so
// that a table is only ever written from a source that is entirely sound.
#include "platform/Errors.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace vedomec::exchange {

// A fault in the source; `line` is 1-based (0 when it concerns the whole file).
class SourceError : public EVedomecError {
public:
    SourceError(int line, const QString& what);
    int line() const { return m_line; }
    const QString& detail() const { return m_detail; }

private:
    int m_line;
    QString m_detail;
};

struct SourceQuestion {
    int line = 0;           // line of "Otázka:"
    QString text;
    QString answers[4];     // a) to d), type A only
    QString correct;        // "A".."D", "ANO"/"NE" or the expected text
};

struct TestSource {
    QString kind;           // Druh
    QString title;          // Název
    QString author;         // Autor
    QString address;        // Adresa
    QString email;          // E-mail
    QString http;           // Http
    QString password;       // Heslo
    QChar type;             // 'A', 'B' or 'C'
    int hours = 0, minutes = 0, seconds = 0; // 0:00:00 = no limit
    QList<SourceQuestion> questions;

    bool hasTimeLimit() const { return hours || minutes || seconds; }
};

// Widths of the question table's text fields, as the reader enforces them.
namespace width {
constexpr int Druh = 50, Nazev = 100, Jmeno = 50, Adresa = 100, Email = 50, Http = 50,
              Heslo = 100, Otazka = 254, Odpoved = 254, SpravneC = 254;
}

// Why `text` (in NFC) cannot be stored in a text field `width` bytes wide in
// Windows-1250, in Czech and naming the value as `what` ("text otázky"), or
// the empty text when it can.  Every reader of a test checks its values so.
QString fieldProblem(const QString& text, int width, const QString& what);

// Reads UTF-8 source text (a byte-order mark is allowed).  Throws SourceError
// naming the line of the first fault.
TestSource parseTestSource(const QByteArray& utf8);

// Reads the file; an unreadable file is a SourceError with line 0.
TestSource readTestSourceFile(const QString& path);

// Writes `test` in the text format, UTF-8, every key spelt out, long values
// wrapped onto continuation lines where the reader joins them back exactly.
// `comment` (may be empty) becomes the first line, after "# ".  Values are
// written as they are: one that the reader would read differently (a line
// break, blanks at either end) is the caller's to refuse.
QByteArray formatTestSource(const TestSource& test, const QString& comment = QString());

// The same test, line numbers aside.
bool sameContent(const TestSource& a, const TestSource& b);

} // namespace vedomec::exchange
