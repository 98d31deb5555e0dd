#include "data/Dbf.h"

#include "data/CodePage.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/SharedFolder.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::data {
namespace {

constexpr int kMaxFields = 1024;   // far above what any dBASE version allows
constexpr int64_t kMaxFileSize = int64_t(2) * 1024 * 1024 * 1024; // dBASE's own limit

uint16_t le16(const char* p)
{
    return uint16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8));
}
uint32_t le32(const char* p)
{
    return uint32_t(uint8_t(p[0])) | (uint32_t(uint8_t(p[1])) << 8) | (uint32_t(uint8_t(p[2])) << 16)
        | (uint32_t(uint8_t(p[3])) << 24);
}
void putLe32(char* p, uint32_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char((v >> 24) & 0xFF);
}

[[noreturn]] void damaged(const QString& path, const QString& what)
{
    throw EDatabaseError(QStringLiteral("Table '%1' is damaged: %2").arg(path, what));
}

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool nameByteOk(uint8_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

// The header's date of last update: years since 1900, month, day.
void stampDate(char* header)
{
    const QDate today = updateStampDate();
    header[1] = char(std::clamp(today.year() - 1900, 0, 255));
    header[2] = char(today.month());
    header[3] = char(today.day());
}

// The decimal text of a whole-number field, every digit kept: blanks
// around, an optional sign, digits, an optional fraction (dropped).  Empty
// for anything else, such as the "****" dBASE writes when a value overflowed
// its field.
QString wholeNumberText(const char* p, int len)
{
    int i = 0;
    while (i < len && (p[i] == ' ' || p[i] == '\0'))
        ++i;
    int end = len;
    while (end > i && (p[end - 1] == ' ' || p[end - 1] == '\0'))
        --end;
    bool negative = false;
    if (i < end && (p[i] == '-' || p[i] == '+')) {
        negative = p[i] == '-';
        ++i;
    }
    const int digitsFrom = i;
    while (i < end && p[i] >= '0' && p[i] <= '9')
        ++i;
    const int digitsEnd = i;
    if (i < end && p[i] == '.') {
        ++i;
        while (i < end && p[i] >= '0' && p[i] <= '9')
            ++i;
    }
    if (i != end || digitsEnd == digitsFrom)
        return QString();
    int first = digitsFrom;
    while (first + 1 < digitsEnd && p[first] == '0')
        ++first;
    QString text = QString::fromLatin1(p + first, digitsEnd - first);
    if (negative && text != QLatin1String("0"))
        text.prepend(u'-');
    return text;
}

} // namespace

DbfFile::DbfFile() = default;

DbfFile::~DbfFile() = default;

std::unique_ptr<DbfFile> DbfFile::open(const QString& path)
{
    std::unique_ptr<TableFile> file = TableFile::open(path, true, TableFile::Kind::Table);
    file->load(kMaxFileSize);
    return fromFile(std::move(file));
}

std::unique_ptr<DbfFile> DbfFile::fromFile(std::unique_ptr<TableFile> file)
{
    std::unique_ptr<DbfFile> f(new DbfFile);
    f->m_path = file->path();
    f->m_file = std::move(file);
    f->parse();
    return f;
}

std::unique_ptr<DbfFile> DbfFile::fromBytes(const QByteArray& image, const QString& name)
{
    return fromFile(TableFile::fromBytes(image, name, TableFile::Kind::Table));
}

void DbfFile::reload()
{
    m_file->load(kMaxFileSize);
    parse();
}

void DbfFile::reparse()
{
    parse();
}

void DbfFile::parse()
{
    const qint64 size = image().size();
    const char* h = image().constData();
    if (size < 32)
        damaged(m_path, QStringLiteral("the file is too short to hold a table header"));
    const uint8_t version = uint8_t(h[0]);
    if (version != 0x03 && version != 0x04 && version != 0x83 && version != 0x8B)
        throw EDatabaseError(QStringLiteral("Table '%1' is not a dBASE III or IV table (version byte 0x%2)")
                                 .arg(m_path)
                                 .arg(version, 2, 16, QLatin1Char('0')));
    const uint32_t count = le32(h + 4);
    const int headerLength = le16(h + 8);
    const int recordLength = le16(h + 10);
    // A table may have no fields at all: the header is then its 32 bytes and
    // the terminator, and each record its deletion flag.
    if (headerLength < 32 + 1)
        damaged(m_path, QStringLiteral("header length %1 is too small").arg(headerLength));
    if (headerLength > size)
        damaged(m_path, QStringLiteral("header length %1 is beyond the end of the file (%2 bytes)")
                            .arg(headerLength)
                            .arg(size));
    if (recordLength < 1)
        damaged(m_path, QStringLiteral("record length %1 is too small").arg(recordLength));
    const CodePage* codePage = CodePage::forLanguageDriver(uint8_t(h[29]));

    std::vector<DbfField> fields;
    m_duplicateField.clear();
    int pos = 32;
    int offset = 1;
    bool terminated = false;
    while (pos < headerLength) {
        if (uint8_t(h[pos]) == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + 32 > headerLength)
            damaged(m_path, QStringLiteral("a field descriptor runs past the header"));
        if (int(fields.size()) >= kMaxFields)
            damaged(m_path, QStringLiteral("too many field descriptors"));
        const char* d = h + pos;
        int nameLength = 0;
        while (nameLength < 11 && d[nameLength] != '\0')
            ++nameLength;
        if (nameLength == 0)
            damaged(m_path, QStringLiteral("field descriptor %1 has no name").arg(fields.size() + 1));
        for (int i = 0; i < nameLength; ++i)
            if (!nameByteOk(uint8_t(d[i])))
                damaged(m_path, QStringLiteral("field descriptor %1 has an invalid name").arg(fields.size() + 1));
        DbfField f;
        f.name = cp1250ToUnicode(d, nameLength);
        f.type = d[11];
        f.length = uint8_t(d[16]);
        f.decimals = uint8_t(d[17]);
        f.codePage = codePage;
        const uint8_t t = uint8_t(f.type);
        if (!((t >= 'A' && t <= 'Z') || t == '@' || t == '+' || t == '0'))
            damaged(m_path, QStringLiteral("field '%1' has an invalid type").arg(f.name));
        if (f.length == 0)
            damaged(m_path, QStringLiteral("field '%1' has length 0").arg(f.name));
        if ((f.type == 'N' || f.type == 'F') && (f.length > 20 || f.decimals >= f.length))
            damaged(m_path, QStringLiteral("number field '%1' has an invalid size").arg(f.name));
        if (f.type == 'I' && f.length != 4)
            damaged(m_path, QStringLiteral("integer field '%1' has an invalid size").arg(f.name));
        // Other readers accept a header that names a field twice, and so do
        // we: lookups by name take the first, and writes are refused.
        if (m_duplicateField.isEmpty())
            for (const DbfField& other : fields)
                if (other.name.compare(f.name, Qt::CaseInsensitive) == 0)
                    m_duplicateField = f.name;
        f.offset = offset;
        offset += f.length;
        fields.push_back(std::move(f));
        pos += 32;
    }
    if (!terminated)
        damaged(m_path, QStringLiteral("the field descriptors are not terminated"));
    if (offset != recordLength)
        damaged(m_path, QStringLiteral("record length %1 disagrees with the fields (%2)").arg(recordLength).arg(offset));

    // A count beyond the data present means a truncated file: refused, since
    // appending to it would leave a hole of garbage rows.
    const qint64 needed = qint64(headerLength) + qint64(count) * recordLength;
    if (needed > size)
        damaged(m_path, QStringLiteral("it declares %1 records but holds only %2")
                            .arg(count)
                            .arg((size - headerLength) / recordLength));

    m_headerLength = headerLength;
    m_recordLength = recordLength;
    m_count = count;
    m_fields = std::move(fields);
    m_codePage = codePage;
}

void DbfFile::create(const QString& path, const std::vector<DbfFieldSpec>& fields, bool productionIndex)
{
    if (fields.empty())
        throw EDatabaseError(QStringLiteral("Cannot create table '%1': no fields").arg(path));
    if (fs::isFile(path) || QFileInfo::exists(path))
        throw EDatabaseError(QStringLiteral("Cannot create table '%1': the file already exists").arg(path));

    const int n = int(fields.size());
    QByteArray header(32 + 32 * n + 1, '\0');
    int recordLength = 1;
    for (int i = 0; i < n; ++i) {
        const DbfFieldSpec& f = fields[size_t(i)];
        const QByteArray name = f.name.toUpper().toLatin1();
        bool nameOk = !name.isEmpty() && name.size() <= 10;
        for (char c : name)
            nameOk = nameOk && nameByteOk(uint8_t(c)) && uint8_t(c) < 0x80;
        if (!nameOk)
            throw EDatabaseError(QStringLiteral("Cannot create table '%1': invalid field name '%2'").arg(path, f.name));
        for (int j = 0; j < i; ++j)
            if (fields[size_t(j)].name.compare(f.name, Qt::CaseInsensitive) == 0)
                throw EDatabaseError(QStringLiteral("Cannot create table '%1': field '%2' appears twice").arg(path, f.name));
        const bool sizeOk = (f.type == 'C' && f.length >= 1 && f.length <= 254 && f.decimals == 0)
            || (f.type == 'N' && f.length >= 1 && f.length <= 20 && f.decimals >= 0 && f.decimals < f.length);
        if (!sizeOk)
            throw EDatabaseError(QStringLiteral("Cannot create table '%1': invalid type or size of field '%2'").arg(path, f.name));
        char* d = header.data() + 32 + 32 * i;
        std::memcpy(d, name.constData(), size_t(name.size()));
        d[11] = f.type;
        d[16] = char(f.length);
        d[17] = char(f.decimals);
        recordLength += f.length;
    }
    if (recordLength > 0xFFFF)
        throw EDatabaseError(QStringLiteral("Cannot create table '%1': the record is too long").arg(path));
    char* h = header.data();
    h[0] = 0x03;
    stampDate(h);
    putLe32(h + 4, 0);
    h[8] = char(header.size() & 0xFF);
    h[9] = char(header.size() >> 8);
    h[10] = char(recordLength & 0xFF);
    h[11] = char(recordLength >> 8);
    h[28] = productionIndex ? 0x01 : 0x00;
    h[29] = char(0xC8); // Windows-1250
    header[header.size() - 1] = 0x0D;
    header.append(char(0x1A));

    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw EDatabaseError(QStringLiteral("Cannot create table '%1': %2").arg(path, systemError(errno)));
    fs::takeFolderRights(fd, fs::folderOf(path), 0644);
    int err = 0;
    if (!fs::writeAt(fd, header.constData(), header.size(), 0, &err)) {
        ::close(fd);
        ::unlink(native.constData());
        throw EDatabaseError(QStringLiteral("Cannot create table '%1': %2").arg(path, systemError(err)));
    }
    ::fsync(fd);
    ::close(fd);
}

QString DbfFile::path() const { return m_path; }
bool DbfFile::writable() const { return m_file->writable(); }
uint8_t DbfFile::version() const { return uint8_t(image().at(0)); }
bool DbfFile::hasProductionIndex() const { return image().at(28) != 0; }
uint8_t DbfFile::languageDriver() const { return uint8_t(image().at(29)); }
int DbfFile::headerLength() const { return m_headerLength; }
int DbfFile::recordLength() const { return m_recordLength; }
uint32_t DbfFile::recordCount() const { return m_count; }
const std::vector<DbfField>& DbfFile::fields() const { return m_fields; }

uint32_t DbfFile::recordsInFile() const
{
    qint64 data = image().size() - m_headerLength;
    // The end-of-file marker is no record, even where records are one byte.
    if (data > qint64(m_count) * m_recordLength && image().endsWith(char(0x1A)))
        --data;
    const qint64 held = data / m_recordLength;
    return uint32_t(std::clamp<qint64>(held, 0, 0xFFFFFFFF));
}

int DbfFile::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

std::vector<MdxFieldRef> DbfFile::mdxFields() const
{
    std::vector<MdxFieldRef> out;
    out.reserve(m_fields.size());
    for (const DbfField& f : m_fields)
        out.push_back(MdxFieldRef{f.name, f.type, f.offset, f.length, f.codePage});
    return out;
}

const char* DbfFile::record(uint32_t recno) const
{
    Q_ASSERT(recno >= 1 && recno <= m_count);
    return image().constData() + m_headerLength + qint64(recno - 1) * m_recordLength;
}

QByteArray DbfFile::blankRecord() const
{
    return QByteArray(m_recordLength, ' ');
}

void DbfFile::writeRecord(uint32_t recno, const char* data)
{
    if (recno < 1 || recno > m_count)
        throw EDatabaseError(QStringLiteral("Record %1 is not in table '%2'").arg(recno).arg(m_path));
    if (!writable())
        throw EDatabaseError(QStringLiteral("Table '%1' is read-only").arg(m_path));
    const int64_t offset = int64_t(m_headerLength) + int64_t(recno - 1) * m_recordLength;
    // Only the bytes that changed go to the file: the rest of the record is
    // there already, and an answer is a small part of a long question row.
    const char* old = image().constData() + offset;
    int first = 0;
    int end = m_recordLength;
    while (first < end && old[first] == data[first])
        ++first;
    while (end > first && old[end - 1] == data[end - 1])
        --end;
    if (first == end)
        return;
    m_file->write(offset + first, data + first, end - first);
}

uint32_t DbfFile::appendRecords(const char* data, uint32_t count)
{
    if (!writable())
        throw EDatabaseError(QStringLiteral("Table '%1' is read-only").arg(m_path));
    if (count == 0)
        return m_count;
    const int64_t offset = int64_t(m_headerLength) + int64_t(m_count) * m_recordLength;
    const int64_t bytes = int64_t(count) * m_recordLength;
    if (offset + bytes + 1 > kMaxFileSize || count > 0xFFFFFFFFu - m_count)
        throw EDatabaseError(QStringLiteral("Table '%1' is full").arg(m_path));
    // The records and the end-of-file marker first: until the header counts
    // the new records, a reader sees the table as it was.
    if (count == 1) {
        QByteArray buf(qsizetype(bytes + 1), '\0');
        std::memcpy(buf.data(), data, size_t(bytes));
        buf[qsizetype(bytes)] = char(0x1A);
        m_file->write(offset, buf.constData(), buf.size());
    } else {
        static const char eof = char(0x1A);
        m_file->write(offset, data, bytes);
        m_file->write(offset + bytes, &eof, 1);
    }

    char header[8];
    std::memcpy(header, image().constData(), 8);
    stampDate(header);
    putLe32(header + 4, m_count + count);
    m_file->write(1, header + 1, 7);
    m_count += count;
    return m_count;
}

bool DbfFile::isWholeNumber(const DbfField& f)
{
    return ((f.type == 'N' || f.type == 'F') && f.decimals == 0) || f.type == 'I';
}

QString DbfFile::typeName(const DbfField& f)
{
    switch (f.type) {
    case 'C': return QStringLiteral("String");
    case 'N':
    case 'F': return f.decimals == 0 ? QStringLiteral("SmallInt") : QStringLiteral("Float");
    case 'I': return QStringLiteral("Integer");
    case 'L': return QStringLiteral("Boolean");
    case 'D': return QStringLiteral("Date");
    case 'M': return QStringLiteral("Memo");
    case 'B': return QStringLiteral("Blob");
    case 'G': return QStringLiteral("Graphic");
    case 'O': return QStringLiteral("Float");
    case '@':
    case 'T': return QStringLiteral("DateTime");
    case '+': return QStringLiteral("AutoInc");
    default: return QStringLiteral("Unknown");
    }
}

QString DbfFile::readField(const DbfField& f, const char* record)
{
    const char* p = record + f.offset;
    switch (f.type) {
    case 'N':
    case 'F': {
        // Whole numbers come back as the value itself; the files this
        // program uses hold 16-bit values only, and a larger value is shown
        // as stored, every digit of it, rather than wrapped around.
        if (f.decimals == 0)
            return wholeNumberText(p, f.length);
        int i = 0, end = f.length;
        while (i < end && p[i] == ' ')
            ++i;
        while (end > i && (p[end - 1] == ' ' || p[end - 1] == '\0'))
            --end;
        return QString::fromLatin1(p + i, end - i);
    }
    case 'I':
        return QString::number(qint32(le32(p)));
    case 'M':
    case 'B':
    case 'G':
        return QString(); // memo contents live in another file and are not used
    default: {
        int end = f.length;
        while (end > 0 && (p[end - 1] == ' ' || p[end - 1] == '\0'))
            --end;
        return decodeText(f.codePage, p, end);
    }
    }
}

void DbfFile::writeField(const DbfField& f, char* record, const QString& text)
{
    char* p = record + f.offset;
    if (f.type == 'N' || f.type == 'F' || f.type == 'I') {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            if (f.type == 'I')
                std::memset(p, 0, 4);
            else
                std::memset(p, ' ', size_t(f.length));
            return;
        }
        QByteArray digits;
        if (f.decimals == 0 || f.type == 'I') {
            bool ok = false;
            const int v = t.toInt(&ok);
            if (!ok)
                throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(t));
            if (v < -32768 || v > 32767)
                throw EDatabaseError(QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is -32768 to 32767")
                                         .arg(v)
                                         .arg(f.name));
            if (f.type == 'I') {
                putLe32(p, uint32_t(qint32(v)));
                return;
            }
            digits = QByteArray::number(v);
        } else {
            bool ok = false;
            const double v = t.toDouble(&ok);
            if (!ok)
                throw EDatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(t));
            digits = QByteArray::number(v, 'f', f.decimals);
        }
        if (digits.size() > f.length)
            throw EDatabaseError(QStringLiteral("%1 does not fit field '%2'").arg(t, f.name));
        std::memset(p, ' ', size_t(f.length - digits.size()));
        std::memcpy(p + f.length - digits.size(), digits.constData(), size_t(digits.size()));
        return;
    }
    const QByteArray bytes = encodeText(f.codePage, text);
    const int n = int(std::min<qsizetype>(bytes.size(), f.length));
    std::memcpy(p, bytes.constData(), size_t(n));
    std::memset(p + n, ' ', size_t(f.length - n));
}

void createTable(const QString& dbfPath, const std::vector<DbfFieldSpec>& fields, const std::vector<MdxTagSpec>& tags)
{
    const QFileInfo info(dbfPath);
    const QString mdxPath = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".MDX");
    if (!tags.empty() && (fs::isFile(mdxPath) || QFileInfo::exists(mdxPath)))
        throw EDatabaseError(QStringLiteral("Cannot create index '%1': the file already exists").arg(mdxPath));
    DbfFile::create(dbfPath, fields, !tags.empty());
    if (tags.empty())
        return;
    try {
        const auto dbf = DbfFile::open(dbfPath);
        MdxFile::create(mdxPath, info.completeBaseName(), tags, dbf->mdxFields(), {});
    } catch (...) {
        QFile::remove(dbfPath);
        throw;
    }
}

} // namespace vedomec::data
