#include "data/IndexExpr.h"

#include "data/CodePage.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

namespace vedomec::data {

namespace {

using UpperTable = std::array<unsigned char, 256>;

// UPPER() over the bytes of a table's code page (Windows-1250 for nullptr):
// every letter whose capital the code page holds as a single byte (č -> Č,
// ř -> Ř, ...); everything else unchanged.  Made once per code page.
const UpperTable* upperTable(const CodePage* page)
{
    static std::mutex mutex;
    static std::map<const CodePage*, UpperTable> tables;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = tables.find(page);
    if (found != tables.end())
        return &found->second;
    UpperTable t{};
    for (int b = 0; b < 256; ++b) {
        t[b] = static_cast<unsigned char>(b);
        const char c = static_cast<char>(b);
        const QString text = decodeText(page, &c, 1);
        if (text.size() != 1 || text.at(0) == QChar(0xFFFD))
            continue;
        const QString up = text.toUpper();
        if (up == text)
            continue;
        const QByteArray enc = encodeText(page, up);
        if (enc.size() == 1 && enc.at(0) != '?')
            t[b] = static_cast<unsigned char>(enc.at(0));
    }
    return &tables.emplace(page, t).first->second;
}

const CodePage* codePageOf(const std::vector<MdxFieldRef>& fields)
{
    return fields.empty() ? nullptr : fields.front().codePage;
}

void upperInPlace(const UpperTable& table, char* p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        p[i] = static_cast<char>(table[static_cast<unsigned char>(p[i])]);
}

} // namespace

// ---------------------------------------------------------------------------
// Key expressions

namespace {

const MdxFieldRef* findField(const std::vector<MdxFieldRef>& fields, const QString& name)
{
    for (const MdxFieldRef& f : fields)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

bool isName(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

// Splits at '+' outside parentheses; nullopt on unbalanced parentheses.
std::optional<QStringList> splitPlus(const QString& text)
{
    QStringList parts;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'(')
            ++depth;
        else if (c == u')' && --depth < 0)
            return std::nullopt;
        else if (c == u'+' && depth == 0) {
            parts << text.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    if (depth != 0)
        return std::nullopt;
    parts << text.mid(start).trimmed();
    return parts;
}

// "NAME( inner )" -> inner, when the text has that form.
std::optional<QString> callOf(const QString& text, QLatin1String name)
{
    if (!text.startsWith(name, Qt::CaseInsensitive))
        return std::nullopt;
    const QString rest = text.mid(name.size()).trimmed();
    if (!rest.startsWith(u'(') || !rest.endsWith(u')'))
        return std::nullopt;
    return rest.mid(1, rest.size() - 2).trimmed();
}

} // namespace

MdxKeyExpression MdxKeyExpression::parse(const QString& expression, const std::vector<MdxFieldRef>& fields)
{
    const auto fail = [&expression]() {
        throw EDatabaseError(QStringLiteral("Index expression '%1' is not supported").arg(expression));
    };
    MdxKeyExpression result;
    result.m_upper = upperTable(codePageOf(fields));
    const QString text = expression.trimmed();
    const auto parts = splitPlus(text);
    if (!parts || parts->isEmpty())
        fail();

    if (parts->size() == 1 && isName(text)) {
        const MdxFieldRef* f = findField(fields, text);
        if (f && f->offset >= 0 && f->length > 0 && (f->type == 'N' || f->type == 'F')) {
            result.m_type = 'N';
            result.m_parts.push_back({Part::Field, f->offset, f->length, false});
            return result;
        }
        if (f && f->offset >= 0 && f->type == 'D' && f->length == 8) {
            result.m_type = 'D';
            result.m_parts.push_back({Part::Field, f->offset, f->length, false});
            return result;
        }
    }

    // A character key: fields and DTOS(), each part or a group inside UPPER().
    const auto simplePart = [&](const QString& part, bool upper) {
        if (const auto inner = callOf(part, QLatin1String("DTOS"))) {
            const MdxFieldRef* f = isName(*inner) ? findField(fields, *inner) : nullptr;
            if (!f || f->type != 'D' || f->length != 8 || f->offset < 0)
                fail();
            result.m_parts.push_back({Part::Dtos, f->offset, 8, upper});
            return;
        }
        const MdxFieldRef* f = isName(part) ? findField(fields, part) : nullptr;
        if (!f || f->type != 'C' || f->length <= 0 || f->offset < 0)
            fail();
        result.m_parts.push_back({Part::Field, f->offset, f->length, upper});
    };
    for (const QString& part : *parts) {
        if (part.isEmpty())
            fail();
        if (const auto inner = callOf(part, QLatin1String("UPPER"))) {
            const auto group = splitPlus(*inner);
            if (!group)
                fail();
            for (const QString& p : *group) {
                if (p.isEmpty())
                    fail();
                simplePart(p, true);
            }
        } else {
            simplePart(part, false);
        }
    }
    if (result.m_parts.empty())
        fail();
    return result;
}

QByteArray MdxKeyExpression::evaluate(const char* record, int keyLength) const
{
    if (m_type == 'N') {
        QByteArray key(mdxkey::kNumberLength, '\0');
        mdxkey::encodeNumberField(record + m_parts.front().offset, m_parts.front().length, key.data());
        return key;
    }
    if (m_type == 'D') {
        QByteArray key(mdxkey::kDateLength, '\0');
        mdxkey::encodeDate(mdxkey::dateOfField(record + m_parts.front().offset).value_or(0), key.data());
        return key;
    }
    QByteArray key(std::max(keyLength, 0), ' ');
    int pos = 0;
    for (const Part& part : m_parts) {
        if (pos >= key.size())
            break;
        const int n = std::min(part.length, int(key.size()) - pos);
        std::memcpy(key.data() + pos, record + part.offset, size_t(n));
        if (part.upper)
            upperInPlace(*m_upper, key.data() + pos, n);
        pos += n;
    }
    return key;
}

bool MdxKeyExpression::definite(const char* record) const
{
    return m_type != 'D' || mdxkey::dateOfField(record + m_parts.front().offset).has_value();
}

int MdxKeyExpression::naturalLength() const
{
    if (m_type == 'N')
        return mdxkey::kNumberLength;
    if (m_type == 'D')
        return mdxkey::kDateLength;
    int sum = 0;
    for (const Part& part : m_parts)
        sum += part.length;
    return sum;
}

std::vector<MdxKeyExpression::PartShape> MdxKeyExpression::shape() const
{
    std::vector<PartShape> out;
    if (m_type == 'C')
        for (const Part& part : m_parts)
            out.push_back({part.length, part.upper});
    return out;
}

// ---------------------------------------------------------------------------
// FOR clauses: a small expression tree, typed when parsed.

struct MdxForClause::Node {
    enum Kind {
        Logical, Text, Number,           // literals
        Field, Deleted,
        Not, And, Or,
        Compare, Concat, Add,
        Empty, Upper, RTrim, LTrim, AllTrim, Dtos, Val,
    } kind = Logical;
    char type = 'L';                     // 'L', 'C', 'N' or 'D'
    bool logical = false;
    QByteArray text;
    double number = 0;
    MdxFieldRef field;
    QString op;
    std::shared_ptr<const Node> a, b;
    const std::array<unsigned char, 256>* upper = nullptr; // UPPER() in the table's code page
};

namespace {

using ForNode = MdxForClause::Node;
using NodePtr = std::shared_ptr<const ForNode>;

struct Value {
    char type = 'L';
    bool logical = false;
    QByteArray text;
    double number = 0;
    std::optional<int64_t> date;
};

QByteArray rtrimmed(QByteArray s)
{
    qsizetype n = s.size();
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0'))
        --n;
    s.truncate(n);
    return s;
}

QByteArray ltrimmed(const QByteArray& s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.mid(i);
}

int compareText(const QByteArray& a, const QByteArray& b)
{
    // The shorter text counts as padded with blanks.
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

Value eval(const ForNode& n, const char* record)
{
    Value v;
    v.type = n.type;
    switch (n.kind) {
    case ForNode::Logical: v.logical = n.logical; break;
    case ForNode::Text: v.text = n.text; break;
    case ForNode::Number: v.number = n.number; break;
    case ForNode::Deleted: v.logical = record[0] == '*'; break;
    case ForNode::Field: {
        const char* p = record + n.field.offset;
        switch (n.type) {
        case 'C': v.text = QByteArray(p, n.field.length); break;
        case 'N': {
            char key[mdxkey::kNumberLength];
            mdxkey::encodeNumberField(p, n.field.length, key);
            v.number = mdxkey::numberText(key).toDouble();
            break;
        }
        case 'D': v.date = mdxkey::dateOfField(p); break;
        default: v.logical = p[0] == 'T' || p[0] == 't' || p[0] == 'Y' || p[0] == 'y'; break;
        }
        break;
    }
    case ForNode::Not: v.logical = !eval(*n.a, record).logical; break;
    case ForNode::And: v.logical = eval(*n.a, record).logical && eval(*n.b, record).logical; break;
    case ForNode::Or: v.logical = eval(*n.a, record).logical || eval(*n.b, record).logical; break;
    case ForNode::Concat: v.text = eval(*n.a, record).text + eval(*n.b, record).text; break;
    case ForNode::Add: v.number = eval(*n.a, record).number + eval(*n.b, record).number; break;
    case ForNode::Upper:
        v.text = eval(*n.a, record).text;
        upperInPlace(*n.upper, v.text.data(), v.text.size());
        break;
    case ForNode::RTrim: v.text = rtrimmed(eval(*n.a, record).text); break;
    case ForNode::LTrim: v.text = ltrimmed(eval(*n.a, record).text); break;
    case ForNode::AllTrim: v.text = ltrimmed(rtrimmed(eval(*n.a, record).text)); break;
    case ForNode::Dtos: {
        const Value d = eval(*n.a, record);
        v.text = d.date ? QDate::fromJulianDay(*d.date).toString(QStringLiteral("yyyyMMdd")).toLatin1()
                        : QByteArray(8, ' ');
        break;
    }
    case ForNode::Val: {
        char key[mdxkey::kNumberLength];
        const QByteArray t = eval(*n.a, record).text;
        mdxkey::encodeNumberField(t.constData(), int(t.size()), key);
        v.number = mdxkey::numberText(key).toDouble();
        break;
    }
    case ForNode::Empty: {
        const Value x = eval(*n.a, record);
        switch (x.type) {
        case 'C': v.logical = rtrimmed(x.text).isEmpty(); break;
        case 'N': v.logical = x.number == 0; break;
        case 'D': v.logical = !x.date; break;
        default: v.logical = !x.logical; break;
        }
        break;
    }
    case ForNode::Compare: {
        const Value x = eval(*n.a, record), y = eval(*n.b, record);
        if (n.op == QLatin1String("$")) {
            v.logical = y.text.contains(x.text);
            break;
        }
        int c = 0;
        bool equalForm = false; // '=' on texts: dBASE's inexact match
        if (x.type == 'C') {
            if (n.op == QLatin1String("=") || n.op == QLatin1String("<>")) {
                equalForm = true;
                c = x.text.startsWith(y.text) ? 0 : 1;
            } else {
                c = compareText(x.text, y.text);
            }
        } else if (x.type == 'N') {
            c = x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
        } else if (x.type == 'D') {
            const int64_t dx = x.date.value_or(INT64_MIN), dy = y.date.value_or(INT64_MIN);
            c = dx < dy ? -1 : (dx > dy ? 1 : 0);
        } else {
            c = x.logical == y.logical ? 0 : 1;
        }
        if (n.op == QLatin1String("=") || n.op == QLatin1String("=="))
            v.logical = c == 0;
        else if (n.op == QLatin1String("<>"))
            v.logical = c != 0;
        else if (equalForm)
            v.logical = false;
        else if (n.op == QLatin1String("<"))
            v.logical = c < 0;
        else if (n.op == QLatin1String("<="))
            v.logical = c <= 0;
        else if (n.op == QLatin1String(">"))
            v.logical = c > 0;
        else
            v.logical = c >= 0;
        break;
    }
    }
    return v;
}

class ForParser {
public:
    ForParser(const QString& text, const std::vector<MdxFieldRef>& fields) : m_text(text), m_fields(fields) {}

    NodePtr parseAll()
    {
        next();
        NodePtr n = orExpr();
        if (m_tok.kind != Tok::End || n->type != 'L')
            fail();
        return n;
    }

private:
    struct Tok {
        enum Kind { End, Word, Dotted, Number, Text, Op } kind = End;
        QString text;
        QByteArray bytes;
        double number = 0;
    };

    [[noreturn]] void fail() const
    {
        throw EDatabaseError(QStringLiteral("FOR clause '%1' is not supported").arg(m_text));
    }

    void next()
    {
        const QString& s = m_text;
        while (m_pos < s.size() && s.at(m_pos).isSpace())
            ++m_pos;
        m_tok = Tok{};
        if (m_pos >= s.size())
            return;
        const QChar c = s.at(m_pos);
        if (c == u'.' && m_pos + 1 < s.size() && s.at(m_pos + 1).isLetter()) {
            const qsizetype end = s.indexOf(u'.', m_pos + 1);
            if (end < 0)
                fail();
            m_tok.kind = Tok::Dotted;
            m_tok.text = s.mid(m_pos + 1, end - m_pos - 1).toUpper();
            m_pos = end + 1;
            return;
        }
        if (c.isDigit() || (c == u'.' && m_pos + 1 < s.size() && s.at(m_pos + 1).isDigit())) {
            const qsizetype start = m_pos;
            while (m_pos < s.size() && (s.at(m_pos).isDigit() || s.at(m_pos) == u'.'))
                ++m_pos;
            bool ok = false;
            m_tok.kind = Tok::Number;
            m_tok.number = s.mid(start, m_pos - start).toDouble(&ok);
            if (!ok)
                fail();
            return;
        }
        if (c == u'"' || c == u'\'' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            const qsizetype end = s.indexOf(close, m_pos + 1);
            if (end < 0)
                fail();
            m_tok.kind = Tok::Text;
            m_tok.bytes = encodeText(codePageOf(m_fields), s.mid(m_pos + 1, end - m_pos - 1));
            m_pos = end + 1;
            return;
        }
        if (c.isLetter() || c == u'_') {
            const qsizetype start = m_pos;
            while (m_pos < s.size() && (s.at(m_pos).isLetterOrNumber() || s.at(m_pos) == u'_'))
                ++m_pos;
            m_tok.kind = Tok::Word;
            m_tok.text = s.mid(start, m_pos - start);
            return;
        }
        static const char* const twoChar[] = {"==", "<>", "!=", "<=", ">="};
        for (const char* op : twoChar) {
            if (s.mid(m_pos, 2) == QLatin1String(op)) {
                m_tok.kind = Tok::Op;
                m_tok.text = QLatin1String(op);
                m_pos += 2;
                return;
            }
        }
        if (QStringLiteral("()+,=#<>!$").contains(c)) {
            m_tok.kind = Tok::Op;
            m_tok.text = c;
            ++m_pos;
            return;
        }
        fail();
    }

    bool isOp(const char* op) const { return m_tok.kind == Tok::Op && m_tok.text == QLatin1String(op); }
    bool isDotted(const char* word) const { return m_tok.kind == Tok::Dotted && m_tok.text == QLatin1String(word); }
    void expectOp(const char* op)
    {
        if (!isOp(op))
            fail();
        next();
    }

    static NodePtr make(ForNode n) { return std::make_shared<const ForNode>(std::move(n)); }
    NodePtr unary(ForNode::Kind kind, char type, NodePtr a)
    {
        ForNode n;
        n.kind = kind;
        n.type = type;
        n.a = std::move(a);
        if (kind == ForNode::Upper)
            n.upper = upperTable(codePageOf(m_fields));
        return make(std::move(n));
    }
    NodePtr binary(ForNode::Kind kind, char type, NodePtr a, NodePtr b, const QString& op = QString())
    {
        ForNode n;
        n.kind = kind;
        n.type = type;
        n.op = op;
        n.a = std::move(a);
        n.b = std::move(b);
        return make(std::move(n));
    }
    void requireType(const NodePtr& n, char type) const
    {
        if (n->type != type)
            fail();
    }

    NodePtr orExpr()
    {
        NodePtr left = andExpr();
        while (isDotted("OR")) {
            next();
            NodePtr right = andExpr();
            requireType(left, 'L');
            requireType(right, 'L');
            left = binary(ForNode::Or, 'L', left, right);
        }
        return left;
    }

    NodePtr andExpr()
    {
        NodePtr left = notExpr();
        while (isDotted("AND")) {
            next();
            NodePtr right = notExpr();
            requireType(left, 'L');
            requireType(right, 'L');
            left = binary(ForNode::And, 'L', left, right);
        }
        return left;
    }

    NodePtr notExpr()
    {
        if (isDotted("NOT") || isOp("!")) {
            next();
            NodePtr a = notExpr();
            requireType(a, 'L');
            return unary(ForNode::Not, 'L', a);
        }
        return relation();
    }

    NodePtr relation()
    {
        NodePtr left = sum();
        static const char* const ops[] = {"=", "==", "<>", "#", "!=", "<", "<=", ">", ">=", "$"};
        for (const char* op : ops) {
            if (!isOp(op))
                continue;
            next();
            NodePtr right = sum();
            QString name = QLatin1String(op);
            if (name == QLatin1String("#") || name == QLatin1String("!="))
                name = QStringLiteral("<>");
            if (left->type != right->type || (name == QLatin1String("$") && left->type != 'C'))
                fail();
            if (left->type == 'L' && name != QLatin1String("=") && name != QLatin1String("<>"))
                fail();
            return binary(ForNode::Compare, 'L', left, right, name);
        }
        return left;
    }

    NodePtr sum()
    {
        NodePtr left = primary();
        while (isOp("+")) {
            next();
            NodePtr right = primary();
            if (left->type != right->type || (left->type != 'C' && left->type != 'N'))
                fail();
            left = binary(left->type == 'C' ? ForNode::Concat : ForNode::Add, left->type, left, right);
        }
        return left;
    }

    NodePtr primary()
    {
        ForNode n;
        switch (m_tok.kind) {
        case Tok::End:
        case Tok::Op:
            if (isOp("(")) {
                next();
                NodePtr inner = orExpr();
                expectOp(")");
                return inner;
            }
            fail();
        case Tok::Dotted:
            if (m_tok.text == QLatin1String("T") || m_tok.text == QLatin1String("Y"))
                n.logical = true;
            else if (m_tok.text != QLatin1String("F") && m_tok.text != QLatin1String("N"))
                fail();
            n.kind = ForNode::Logical;
            n.type = 'L';
            next();
            return make(std::move(n));
        case Tok::Number:
            n.kind = ForNode::Number;
            n.type = 'N';
            n.number = m_tok.number;
            next();
            return make(std::move(n));
        case Tok::Text:
            n.kind = ForNode::Text;
            n.type = 'C';
            n.text = m_tok.bytes;
            next();
            return make(std::move(n));
        case Tok::Word:
            break;
        }
        const QString word = m_tok.text;
        next();
        if (!isOp("("))
            return field(word);
        next();
        const QString name = word.toUpper();
        if (name == QLatin1String("DELETED")) {
            expectOp(")");
            n.kind = ForNode::Deleted;
            n.type = 'L';
            return make(std::move(n));
        }
        NodePtr arg = orExpr();
        expectOp(")");
        struct Fn {
            const char* name;
            ForNode::Kind kind;
            char from, to; // argument type ('*' any) and result type
        };
        static const Fn functions[] = {
            {"EMPTY", ForNode::Empty, '*', 'L'},  {"UPPER", ForNode::Upper, 'C', 'C'},
            {"TRIM", ForNode::RTrim, 'C', 'C'},   {"RTRIM", ForNode::RTrim, 'C', 'C'},
            {"LTRIM", ForNode::LTrim, 'C', 'C'},  {"ALLTRIM", ForNode::AllTrim, 'C', 'C'},
            {"DTOS", ForNode::Dtos, 'D', 'C'},    {"VAL", ForNode::Val, 'C', 'N'},
        };
        for (const Fn& fn : functions) {
            if (name != QLatin1String(fn.name))
                continue;
            if (fn.from != '*' && arg->type != fn.from)
                fail();
            return unary(fn.kind, fn.to, arg);
        }
        fail();
    }

    NodePtr field(const QString& name)
    {
        const MdxFieldRef* f = findField(m_fields, name);
        if (!f || f->offset < 0 || f->length <= 0)
            fail();
        ForNode n;
        n.kind = ForNode::Field;
        n.field = *f;
        switch (f->type) {
        case 'C': n.type = 'C'; break;
        case 'N':
        case 'F': n.type = 'N'; break;
        case 'D':
            if (f->length != 8)
                fail();
            n.type = 'D';
            break;
        case 'L': n.type = 'L'; break;
        default: fail();
        }
        return make(std::move(n));
    }

    QString m_text;
    const std::vector<MdxFieldRef>& m_fields;
    qsizetype m_pos = 0;
    Tok m_tok;
};

} // namespace

MdxForClause MdxForClause::parse(const QString& clause, const std::vector<MdxFieldRef>& fields)
{
    MdxForClause result;
    result.m_root = ForParser(clause.trimmed(), fields).parseAll();
    return result;
}

bool MdxForClause::holds(const char* record) const
{
    return m_root ? eval(*m_root, record).logical : true;
}

} // namespace vedomec::data
