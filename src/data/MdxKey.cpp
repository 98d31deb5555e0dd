// The byte forms of numeric and date keys and the order of keys in a tag
// (docs/mdx-format.md).
#include "data/IndexExpr.h"

#include "platform/Cp1250.h"

#include <QDate>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace vedomec::data {

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

// ---------------------------------------------------------------------------
// Numeric keys

constexpr int kMaxDigits = 20;
constexpr int kExponentBias = 0x34;

struct Bcd {
    bool negative = false;
    int exponent = 0;       // value = 0.d1d2...dn * 10^exponent
    int count = 0;          // 0 for zero
    uint8_t digits[kMaxDigits] = {};
};

bool decodeBcd(const char* key, Bcd& out)
{
    const auto* k = reinterpret_cast<const unsigned char*>(key);
    // Some programs store the field's width there rather than the digits
    // (up to 31): the nibbles beyond the 20 a key has room for are zeros.
    const int count = std::min((k[1] >> 2) & 0x1F, kMaxDigits);
    Bcd b;
    b.negative = (k[1] & 0x80) != 0;
    b.exponent = int(k[0]) - kExponentBias;
    for (int i = 0; i < count; ++i) {
        const unsigned char byte = k[2 + i / 2];
        const int d = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
        if (d > 9)
            return false;
        b.digits[i] = uint8_t(d);
    }
    // Leading and trailing zeros carry no value; other writers may keep them.
    int first = 0;
    while (first < count && b.digits[first] == 0)
        ++first;
    int end = count;
    while (end > first && b.digits[end - 1] == 0)
        --end;
    b.count = end - first;
    std::memmove(b.digits, b.digits + first, size_t(b.count));
    b.exponent -= first;
    if (b.count == 0) {
        b.negative = false;
        b.exponent = 0;
    }
    out = b;
    return true;
}

void writeBcd(const Bcd& b, char* out)
{
    std::memset(out, 0, mdxkey::kNumberLength);
    auto* k = reinterpret_cast<unsigned char*>(out);
    k[0] = static_cast<unsigned char>(kExponentBias + (b.count ? b.exponent : 0));
    k[1] = static_cast<unsigned char>((b.negative ? 0x80 : 0) | (b.count << 2) | 0x01);
    for (int i = 0; i < b.count; ++i)
        k[2 + i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? b.digits[i] << 4 : b.digits[i]);
}

bool parseDecimal(const char* p, qsizetype len, Bcd& out)
{
    qsizetype i = 0;
    while (i < len && (p[i] == ' ' || p[i] == '\0'))
        ++i;
    qsizetype end = len;
    while (end > i && (p[end - 1] == ' ' || p[end - 1] == '\0'))
        --end;
    Bcd b;
    if (i == end) {
        out = b; // blank: zero
        return true;
    }
    if (p[i] == '-' || p[i] == '+') {
        b.negative = p[i] == '-';
        ++i;
    }
    int intDigits = 0;
    int seen = 0;
    uint8_t all[64];
    int stored = 0;
    bool point = false;
    for (; i < end; ++i) {
        const char c = p[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        ++seen;
        if (!point)
            ++intDigits;
        if (stored < int(sizeof all))
            all[stored++] = uint8_t(c - '0');
        else if (!point)
            return false; // far beyond any dBASE number
    }
    if (seen == 0)
        return false;
    int first = 0;
    while (first < stored && all[first] == 0)
        ++first;
    int last = stored;
    while (last > first && all[last - 1] == 0)
        --last;
    b.count = std::min(last - first, kMaxDigits);
    std::memcpy(b.digits, all + first, size_t(b.count));
    b.exponent = intDigits - first;
    if (b.count == 0) {
        b.negative = false;
        b.exponent = 0;
    }
    if (kExponentBias + b.exponent < 0 || kExponentBias + b.exponent > 255)
        return false;
    out = b;
    return true;
}

int compareMagnitude(const Bcd& a, const Bcd& b)
{
    if (a.exponent != b.exponent)
        return a.exponent < b.exponent ? -1 : 1;
    const int n = std::max(a.count, b.count);
    for (int i = 0; i < n; ++i) {
        const int da = i < a.count ? a.digits[i] : 0;
        const int db = i < b.count ? b.digits[i] : 0;
        if (da != db)
            return da < db ? -1 : 1;
    }
    return 0;
}

int compareBcd(const Bcd& a, const Bcd& b)
{
    const int sa = a.count == 0 ? 0 : (a.negative ? -1 : 1);
    const int sb = b.count == 0 ? 0 : (b.negative ? -1 : 1);
    if (sa != sb)
        return sa < sb ? -1 : 1;
    if (sa == 0)
        return 0;
    const int m = compareMagnitude(a, b);
    return sa > 0 ? m : -m;
}

// ---------------------------------------------------------------------------
// Date keys

double readDouble(const char* key)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | static_cast<unsigned char>(key[i]);
    return std::bit_cast<double>(bits);
}

int compareRaw(const char* a, const char* b, int length)
{
    return sign(std::memcmp(a, b, size_t(std::max(length, 0))));
}

} // namespace

// ---------------------------------------------------------------------------

namespace mdxkey {

bool encodeNumber(const QByteArray& text, char* out)
{
    Bcd b;
    if (!parseDecimal(text.constData(), text.size(), b))
        return false;
    writeBcd(b, out);
    return true;
}

void encodeNumberField(const char* field, int length, char* out)
{
    Bcd b;
    if (!parseDecimal(field, length, b))
        b = Bcd{};
    writeBcd(b, out);
}

bool validNumber(const char* key)
{
    Bcd b;
    return decodeBcd(key, b);
}

QString numberText(const char* key)
{
    Bcd b;
    if (!decodeBcd(key, b))
        return QString();
    if (b.count == 0)
        return QStringLiteral("0");
    QString digits;
    for (int i = 0; i < b.count; ++i)
        digits += QChar(u'0' + b.digits[i]);
    QString text;
    if (b.exponent >= b.count)
        text = digits + QString(b.exponent - b.count, u'0');
    else if (b.exponent <= 0)
        text = QStringLiteral("0.") + QString(-b.exponent, u'0') + digits;
    else
        text = digits.left(b.exponent) + u'.' + digits.mid(b.exponent);
    return b.negative ? u'-' + text : text;
}

void encodeDate(int64_t julianDay, char* out)
{
    const uint64_t bits = std::bit_cast<uint64_t>(double(julianDay));
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

std::optional<int64_t> dateOfField(const char* field)
{
    int v[8];
    for (int i = 0; i < 8; ++i) {
        if (field[i] < '0' || field[i] > '9')
            return std::nullopt;
        v[i] = field[i] - '0';
    }
    const QDate date(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
    if (!date.isValid())
        return std::nullopt;
    return date.toJulianDay();
}

QString dateText(const char* key)
{
    const double v = readDouble(key);
    if (std::isfinite(v) && v == std::floor(v) && v >= 1 && v < 1e8) {
        const QDate date = QDate::fromJulianDay(qint64(v));
        if (date.isValid())
            return date.toString(QStringLiteral("yyyy-MM-dd"));
    }
    return QString::number(v);
}

int compare(char type, bool descending, const char* a, const char* b, int length)
{
    int c = 0;
    if (type == 'N' && length == kNumberLength) {
        Bcd x, y;
        const bool vx = decodeBcd(a, x), vy = decodeBcd(b, y);
        if (vx && vy)
            c = compareBcd(x, y);
        else if (vx != vy)
            c = vx ? 1 : -1;
        else
            c = compareRaw(a, b, length);
    } else if (type == 'D' && length == kDateLength) {
        const double x = readDouble(a), y = readDouble(b);
        const bool vx = !std::isnan(x), vy = !std::isnan(y);
        if (vx && vy)
            c = x < y ? -1 : (x > y ? 1 : 0);
        else if (vx != vy)
            c = vx ? 1 : -1;
        else
            c = compareRaw(a, b, length);
    } else {
        c = compareRaw(a, b, length);
    }
    return descending ? -c : c;
}

QString display(char type, const char* key, int length)
{
    if (type == 'N' && length == kNumberLength) {
        const QString text = numberText(key);
        if (!text.isEmpty())
            return text;
    } else if (type == 'D' && length == kDateLength) {
        return dateText(key);
    } else if (type == 'C') {
        return cp1250ToUnicode(key, length).trimmed();
    }
    return QString::fromLatin1(QByteArray(key, length).toHex(' '));
}

} // namespace mdxkey

} // namespace vedomec::data
