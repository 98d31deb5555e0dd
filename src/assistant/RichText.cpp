#include "assistant/RichText.h"

#include <QFont>
#include <QTextCursor>
#include <QTextDocument>

namespace vedomec {

QString RichTextFamily(const QString& tableName)
{
    static const char* const suffixes[] = {" CE", " CYR", " Cyr", " Greek", " Tur", " Baltic"};
    for (const char* s : suffixes) {
        const QLatin1String suffix(s);
        if (tableName.endsWith(suffix) && tableName.size() > suffix.size())
            return tableName.left(tableName.size() - suffix.size());
    }
    return tableName;
}

namespace {

QFont::StyleHint styleHint(rtf::FontFamily family)
{
    switch (family) {
    case rtf::FontFamily::Roman: return QFont::Serif;
    case rtf::FontFamily::Swiss: return QFont::SansSerif;
    case rtf::FontFamily::Modern: return QFont::TypeWriter;
    case rtf::FontFamily::Script: return QFont::Cursive;
    case rtf::FontFamily::Decor: return QFont::Decorative;
    default: return QFont::AnyStyle;
    }
}

QTextCharFormat charFormat(const rtf::Document& doc, const rtf::CharFormat& f)
{
    QTextCharFormat out;
    if (const rtf::Font* font = doc.fontOf(f)) {
        out.setFontFamilies(QStringList {RichTextFamily(font->name)});
        out.setFontStyleHint(styleHint(font->family));
    }
    out.setFontPointSize(f.halfPoints / 2.0);
    out.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(f.italic);
    out.setFontUnderline(f.underline);
    return out;
}

} // namespace

void LoadRichText(QTextDocument* doc, const rtf::Document& text)
{
    doc->clear();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (qsizetype i = 0; i < text.paragraphs.size(); ++i) {
        const rtf::Paragraph& p = text.paragraphs.at(i);
        // An empty line is as high as the font it ends in.
        const QTextCharFormat end = charFormat(text, p.endFormat);
        if (i > 0)
            cursor.insertBlock(QTextBlockFormat(), end);
        else
            cursor.setBlockCharFormat(end);
        for (const rtf::Run& r : p.runs)
            cursor.insertText(r.text, charFormat(text, r.format));
    }
    cursor.endEditBlock();
}

void LoadRichText(QTextDocument* doc, QByteArrayView rtf)
{
    LoadRichText(doc, rtf::Parse(rtf));
}

} // namespace vedomec
