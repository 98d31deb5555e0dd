#pragma once
// What the three format readers and writers share: decoding the file,
// HTML to plain text, and the collector that checks each question and puts
// it into the test of its type.
#include "exchange/Exchange.h"

#include <QMap>
#include <QStringList>

namespace vedomec::exchange::detail {

// The file as text, split into lines without their line ends.  A byte-order
// mark is dropped; bytes that are not UTF-8, a NUL or a file beyond
// MaxFileSize throw SourceError naming the line.
QStringList decodeLines(const QByteArray& file);

// Plain text of an HTML fragment as a browser shows it: tags out, entities
// decoded, white space runs made one blank.  Paragraphs and line breaks are
// the text's own layout; other markup is named in `dropped` ("<b>").
struct HtmlText {
    QString text;
    QStringList dropped;
    bool picture = false; // an image, sound, video or embedded file
};
HtmlText htmlToText(const QString& html);

// Adds `item` to `list` unless it is there.
void addOnce(QStringList& list, const QString& item);

// Line breaks and tabs made blanks, blanks at the ends dropped.
QString oneLine(const QString& text);

// The literal answer of a short-answer question: "\*" is a star, a bare "*"
// is the platform's wildcard, which a table cannot carry (nullopt).
std::optional<QString> literalShortAnswer(const QString& answer);

// The answer as the platform's short-answer question reads it literally.
QString shortAnswerPattern(const QString& answer);

// A short question name for formats that want one.
QString questionName(const QString& text);

// A category path "$course$/top/Zeměpis/Evropa" split into its parts ("//"
// is a slash inside a part), without the context and the "top" category.
QStringList categoryParts(const QString& path);
// The path the platform creates categories from for a kind and a title.
QString categoryPath(const QString& kind, const QString& title);

// A question on its way into a test.
struct Carried {
    int line = 0;
    QChar type;               // 'A', 'B' or 'C'
    SourceQuestion question;  // answers a) to d) for A, "ANO"/"NE" for B
    QStringList dropped;      // what of it is left out ("zpětná vazba")
    bool caseInsensitive = false; // C: the source accepts any letter case
};

class Collector {
public:
    explicit Collector(const ImportNames& names) : m_names(names) {}

    void found() { ++m_found; }
    void category(int line, const QString& path);
    void omit(int line, const QString& why);
    void note(int line, const QString& text);
    // Checks every value as the text form does and keeps the question, or
    // leaves it out saying why.
    void add(Carried c);
    ImportResult finish();

private:
    ImportNames m_names;
    ImportResult m_result;
    QList<Carried> m_questions;
    QString m_category;
    bool m_haveCategory = false;
    bool m_caseNoted = false;
    int m_found = 0;
};

// The writers' common checks: a value the format cannot hold.
struct WriterNotes {
    QList<Diagnostic> list;
    void add(int question, const QString& text, bool omitted = false) { list.append({question, text, omitted}); }
    // Test-wide values the format does not hold, named when not empty.
    void testWide(const TestSource& test, const QString& format, bool kindAndTitleKept);
    // Whether the choices of question `number` (type A) can go out: its
    // right answer is not empty and it has two at least; empty ones are
    // told as left out.  A question that cannot go is told too.
    bool choicesHeld(int number, const SourceQuestion& q);
};

} // namespace vedomec::exchange::detail
