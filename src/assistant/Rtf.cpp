#include "assistant/Rtf.h"

#include "platform/Cp1250.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vedomec::rtf {

QString Paragraph::text() const
{
    QString out;
    for (const Run& r : runs)
        out += r.text;
    return out;
}

const Font* Document::fontOf(const CharFormat& f) const
{
    const auto it = fonts.constFind(f.font >= 0 ? f.font : defaultFont);
    return it == fonts.constEnd() ? nullptr : &it.value();
}

QString Document::plainText() const
{
    QStringList lines;
    lines.reserve(paragraphs.size());
    for (const Paragraph& p : paragraphs)
        lines << p.text();
    return lines.join(QLatin1Char('\n'));
}

namespace {

// Deeper nesting than this is counted but keeps the formatting it had.
constexpr int kMaxDepth = 256;
// Longer control words are read to their end but never match.
constexpr int kMaxWord = 32;
// Parameters are saturated well inside int.
constexpr qint64 kMaxParam = 1'000'000'000;

enum class Dest { Text, Skip, FontTable };

struct State {
    CharFormat format;
    Dest dest = Dest::Text;
    int uc = 1; // characters that stand in for the last \u
};

// Destinations whose content is never text of the document.
bool isSkippedDestination(QByteArrayView w)
{
    static constexpr QByteArrayView names[] = {
        "author",     "bkmkend",    "bkmkstart",  "colorschememapping", "colortbl",  "comment",
        "company",    "creatim",    "datastore",  "doccomm",            "filetbl",   "fldinst",
        "footer",     "footerf",    "footerl",    "footerr",            "footnote",  "generator",
        "header",     "headerf",    "headerl",    "headerr",            "info",      "keywords",
        "latentstyles", "listoverridetable", "listtable", "mmathPr",    "nonshppict", "object",
        "operator",   "pgdsctbl",   "pict",       "printim",            "private",   "revtbl",
        "revtim",     "rsidtbl",    "stylesheet", "subject",            "themedata", "title",
        "xmlnstbl",
    };
    for (QByteArrayView n : names)
        if (w == n)
            return true;
    return false;
}

QChar wordCharacter(QByteArrayView w)
{
    struct Entry {
        QByteArrayView name;
        char16_t ch;
    };
    static constexpr Entry entries[] = {
        {"line", 0x2028},      {"tab", u'\t'},       {"emdash", 0x2014},    {"endash", 0x2013},
        {"bullet", 0x2022},    {"lquote", 0x2018},   {"rquote", 0x2019},    {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"emspace", 0x2003},  {"enspace", 0x2002},   {"qmspace", 0x2005},
    };
    for (const Entry& e : entries)
        if (w == e.name)
            return QChar(e.ch);
    return QChar();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QChar cp1250Char(unsigned char byte)
{
    if (byte < 0x80)
        return QChar(char16_t(byte));
    static const std::array<QChar, 128> high = [] {
        std::array<QChar, 128> t;
        for (int i = 0; i < 128; ++i) {
            const char c = char(0x80 + i);
            const QString s = cp1250ToUnicode(&c, 1);
            t[i] = s.size() == 1 ? s.front() : QChar(QChar::ReplacementCharacter);
        }
        return t;
    }();
    return high[byte - 0x80];
}

// Lone halves of surrogate pairs (a \u written without its partner) become
// the replacement character, so the text is always well formed.
void repairSurrogates(QString& s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            s[i] = QChar(0xFFFD);
    }
}

class Parser {
public:
    explicit Parser(QByteArrayView in) : m_in(in) {}

    Document run()
    {
        m_stack.push_back(State {});
        m_pos = 1; // the opening brace of the document group
        while (m_pos < m_in.size() && !m_done) {
            const char c = m_in[m_pos++];
            switch (c) {
            case '{': openGroup(); break;
            case '}': closeGroup(); break;
            case '\\': control(); break;
            case '\r':
            case '\n': break;
            default:
                if (c == '\t')
                    character(QChar(u'\t'));
                else if (static_cast<unsigned char>(c) >= 0x20)
                    character(cp1250Char(static_cast<unsigned char>(c)));
                break;
            }
        }
        finishParagraph(false);
        for (Paragraph& p : m_doc.paragraphs)
            for (Run& r : p.runs)
                repairSurrogates(r.text);
        return std::move(m_doc);
    }

private:
    State& top() { return m_stack.back(); }

    void openGroup()
    {
        m_skip = 0;
        if (m_overflow > 0 || int(m_stack.size()) >= kMaxDepth) {
            ++m_overflow;
            return;
        }
        m_stack.push_back(top());
    }

    void closeGroup()
    {
        m_skip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (top().dest == Dest::FontTable)
            commitFontEntry();
        if (m_stack.size() == 1) {
            m_done = true; // the document group ends; anything after it is not read
            return;
        }
        m_stack.pop_back();
    }

    void control()
    {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            const qsizetype start = m_pos;
            while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
                ++m_pos;
            const QByteArrayView name = m_in.sliced(start, std::min<qsizetype>(m_pos - start, kMaxWord + 1));
            bool hasParam = false;
            bool negative = false;
            qint64 value = 0;
            if (m_pos < m_in.size() && m_in[m_pos] == '-' && m_pos + 1 < m_in.size() && isDigit(m_in[m_pos + 1])) {
                negative = true;
                ++m_pos;
            }
            while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
                hasParam = true;
                value = std::min(kMaxParam, value * 10 + (m_in[m_pos] - '0'));
                ++m_pos;
            }
            if (m_pos < m_in.size() && m_in[m_pos] == ' ')
                ++m_pos; // the delimiter belongs to the word
            word(name, hasParam, int(negative ? -value : value));
            return;
        }
        ++m_pos;
        switch (c) {
        case '\\':
        case '{':
        case '}': character(QChar(QLatin1Char(c))); break;
        case '\'': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < m_in.size() && hexValue(m_in[m_pos]) >= 0) {
                value = value * 16 + hexValue(m_in[m_pos++]);
                ++digits;
            }
            if (digits == 2)
                character(cp1250Char(static_cast<unsigned char>(value)));
            break;
        }
        case '~': character(QChar(0x00A0)); break;
        case '_': character(QChar(0x2011)); break;
        case '-': skipOne(); break; // an optional hyphen is not shown
        case '*': top().dest = Dest::Skip; break;
        case '\r':
        case '\n': paragraphBreak(); break;
        default: skipOne(); break;
        }
    }

    void word(QByteArrayView w, bool hasParam, int param)
    {
        if (w == "bin") {
            // Binary data of that many bytes follows; it is never text.
            if (hasParam && param > 0)
                m_pos += std::min<qsizetype>(param, m_in.size() - m_pos);
            skipOne();
            return;
        }
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        State& s = top();
        if (w == "fonttbl") {
            if (s.dest != Dest::Skip) {
                s.dest = Dest::FontTable;
                resetFontEntry();
            }
            return;
        }
        if (isSkippedDestination(w)) {
            s.dest = Dest::Skip;
            return;
        }
        if (s.dest == Dest::Skip)
            return;
        if (w == "u") {
            if (!hasParam)
                return;
            // Written as a signed 16-bit number; anything else is no character.
            const int code = param < 0 ? param + 65536 : param;
            character(code >= 0 && code <= 0xFFFF ? QChar(char16_t(code)) : QChar(QChar::ReplacementCharacter));
            m_skip = s.uc;
            return;
        }
        if (w == "uc") {
            s.uc = std::clamp(hasParam ? param : 1, 0, 16);
            return;
        }
        if (s.dest == Dest::FontTable) {
            fontTableWord(w, hasParam, param);
            return;
        }
        const bool on = !hasParam || param != 0;
        if (w == "par" || w == "sect" || w == "page")
            paragraphBreak();
        else if (w == "b")
            s.format.bold = on;
        else if (w == "i")
            s.format.italic = on;
        else if (w == "ul")
            s.format.underline = on;
        else if (w == "ulnone")
            s.format.underline = false;
        else if (w == "plain") {
            const int font = s.format.font;
            s.format = CharFormat {};
            s.format.font = font;
        } else if (w == "f")
            s.format.font = hasParam ? std::max(param, 0) : -1;
        else if (w == "fs") {
            if (hasParam && param > 0)
                s.format.halfPoints = std::min(param, 3276);
        } else if (w == "deff")
            m_doc.defaultFont = std::max(param, 0);
        else if (const QChar ch = wordCharacter(w); !ch.isNull())
            character(ch);
        // Every other word changes nothing this reader shows.
    }

    void fontTableWord(QByteArrayView w, bool hasParam, int param)
    {
        if (w == "f") {
            if (!m_fontName.trimmed().isEmpty())
                commitFontEntry();
            m_fontNumber = hasParam ? std::max(param, 0) : 0;
        } else if (w == "fnil")
            m_font.family = FontFamily::Nil;
        else if (w == "froman")
            m_font.family = FontFamily::Roman;
        else if (w == "fswiss")
            m_font.family = FontFamily::Swiss;
        else if (w == "fmodern")
            m_font.family = FontFamily::Modern;
        else if (w == "fscript")
            m_font.family = FontFamily::Script;
        else if (w == "fdecor")
            m_font.family = FontFamily::Decor;
        else if (w == "ftech")
            m_font.family = FontFamily::Tech;
        else if (w == "fcharset")
            m_font.charset = hasParam ? param : 0;
    }

    void resetFontEntry()
    {
        m_fontNumber = -1;
        m_font = Font {};
        m_fontName.clear();
    }

    void commitFontEntry()
    {
        if (m_fontNumber >= 0 && !m_fontName.trimmed().isEmpty()) {
            m_font.name = m_fontName.trimmed();
            m_doc.fonts.insert(m_fontNumber, m_font);
        }
        resetFontEntry();
    }

    // A stand-in for a \u character that has just been read is dropped.
    bool skipOne()
    {
        if (m_skip <= 0)
            return false;
        --m_skip;
        return true;
    }

    void character(QChar ch)
    {
        if (skipOne())
            return;
        State& s = top();
        switch (s.dest) {
        case Dest::Skip: return;
        case Dest::FontTable:
            if (ch == QLatin1Char(';'))
                commitFontEntry();
            else
                m_fontName += ch;
            return;
        case Dest::Text: break;
        }
        QList<Run>& runs = m_paragraph.runs;
        if (runs.isEmpty() || !(runs.back().format == s.format))
            runs.append(Run {QString(), s.format});
        runs.back().text += ch;
    }

    void paragraphBreak()
    {
        if (top().dest != Dest::Text)
            return;
        finishParagraph(true);
    }

    // A paragraph ends at its \par; text after the last \par is a paragraph
    // of its own only when there is some.
    void finishParagraph(bool byPar)
    {
        if (!byPar && m_paragraph.runs.isEmpty())
            return;
        m_paragraph.endFormat = top().format;
        m_doc.paragraphs.append(std::move(m_paragraph));
        m_paragraph = Paragraph {};
    }

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    std::vector<State> m_stack;
    int m_overflow = 0;
    int m_skip = 0;
    bool m_done = false;
    Document m_doc;
    Paragraph m_paragraph;
    int m_fontNumber = -1;
    Font m_font;
    QString m_fontName;
};

Document parsePlain(QByteArrayView in)
{
    Document doc;
    const QString text = cp1250ToUnicode(in.data(), in.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (!end && text.at(i) != QLatin1Char('\n') && text.at(i) != QLatin1Char('\r'))
            continue;
        const QString line = text.mid(start, i - start);
        if (!(end && line.isEmpty())) {
            Paragraph p;
            if (!line.isEmpty())
                p.runs.append(Run {line, CharFormat {}});
            doc.paragraphs.append(p);
        }
        if (!end && text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    return doc;
}

} // namespace

Document Parse(QByteArrayView rtf)
{
    if (!rtf.startsWith(QByteArrayView("{\\rtf")))
        return parsePlain(rtf);
    return Parser(rtf).run();
}

} // namespace vedomec::rtf
