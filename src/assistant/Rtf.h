#pragma once
// A small reader for the rich text the help popups carry: groups, bold,
// italic, underline, paragraphs, font sizes, fonts from the font table,
// \'hh escapes (Windows-1250) and \u characters.  Anything else is skipped;
// no input makes it fail.  Widget-free: the window side turns the result
// into a text document.
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>

namespace vedomec::rtf {

// The font family classes of a font table entry (\fnil, \froman, ...).
enum class FontFamily { Nil, Roman, Swiss, Modern, Script, Decor, Tech };

struct Font {
    QString name;
    FontFamily family = FontFamily::Nil;
    int charset = 0;
    bool operator==(const Font&) const = default;
};

struct CharFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int font = -1;        // number in the font table (\fN); -1: the default font
    int halfPoints = 24;  // \fsN
    bool operator==(const CharFormat&) const = default;
};

struct Run {
    QString text;
    CharFormat format;
};

struct Paragraph {
    QList<Run> runs;
    // The format in force where the paragraph ends: an empty line takes its
    // height from it.
    CharFormat endFormat;
    QString text() const;
};

struct Document {
    QList<Paragraph> paragraphs;
    QMap<int, Font> fonts; // by number
    int defaultFont = 0;   // \deffN

    // The font a run is set in (its own number, else the default one); null
    // when the table does not have it.
    const Font* fontOf(const CharFormat& f) const;
    // Paragraph texts joined by '\n'.
    QString plainText() const;
};

// Reads a document.  Input that does not begin with "{\rtf" is plain
// Windows-1250 text, one paragraph per line.
Document Parse(QByteArrayView rtf);

} // namespace vedomec::rtf
