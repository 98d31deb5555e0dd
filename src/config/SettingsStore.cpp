// Writing the user's choices into his configuration file.  The file is his
// too: he may have written comments, other keys, other sections, or a key
// in another letter case, and all of it stays as it was.  Only the lines of
// the keys written change, so the file is edited as text rather than
// written anew from what the INI reader understood of it.
#include "config/Settings.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec {
namespace {

// One line as the INI reader sees it, with the bytes it spans (its line end
// included).  A backslash takes the next character with it, so a backslash
// at the end of a line carries the line on into the next one.
struct Line {
    qsizetype begin;
    qsizetype end;
};

QList<Line> logicalLines(const QByteArray& text)
{
    QList<Line> lines;
    qsizetype begin = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == '\\') {
            i += 2;
            if (i - 1 < n && i < n && ((text[i - 1] == '\r' && text[i] == '\n') || (text[i - 1] == '\n' && text[i] == '\r')))
                ++i;
            continue;
        }
        if (c == '\n' || c == '\r') {
            ++i;
            if (i < n && c == '\r' && text[i] == '\n')
                ++i;
            lines.append({begin, i});
            begin = i;
            continue;
        }
        ++i;
    }
    if (begin < n)
        lines.append({begin, n});
    return lines;
}

enum class Kind { Blank, Comment, Section, Key };

struct Parsed {
    Kind kind;
    QByteArray name; // the section, or the key as written (trimmed)
};

Parsed parse(QByteArrayView line)
{
    const QByteArray t = line.toByteArray().trimmed();
    if (t.isEmpty())
        return {Kind::Blank, {}};
    if (t.startsWith(';') || t.startsWith('#'))
        return {Kind::Comment, {}};
    if (t.startsWith('[')) {
        const qsizetype close = t.indexOf(']');
        return {Kind::Section, t.mid(1, close < 0 ? -1 : close - 1)};
    }
    const qsizetype eq = t.indexOf('=');
    return {Kind::Key, (eq < 0 ? t : t.left(eq)).trimmed()};
}

// The value as the INI reader gives it back: plain where nothing in it means
// anything to the reader, else in quotes with its backslashes and quotes
// escaped.  A leading @ would announce a typed value and is doubled.
std::optional<QByteArray> iniValue(const QString& value)
{
    QString v = value;
    if (v.startsWith(u'@'))
        v.prepend(u'@');
    bool quote = v.trimmed() != v;
    for (QChar c : v) {
        if (c.unicode() < 0x20 && c != u'\t')
            return std::nullopt; // no line of a file holds it as it is
        if (QStringView(u",;\"\\#=\t").contains(c))
            quote = true;
    }
    if (!quote)
        return v.toUtf8();
    QString out = QStringLiteral("\"");
    for (QChar c : v) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        if (c == u'\t') {
            out += QStringLiteral("\\t");
            continue;
        }
        out += c;
    }
    out += u'"';
    return out.toUtf8();
}

// The file a link names, followed to its end.
QString followLinks(const QString& file)
{
    QString f = file;
    for (int depth = 0; depth < 16; ++depth) {
        const QFileInfo info(f);
        if (!info.isSymLink())
            break;
        f = info.symLinkTarget();
    }
    return f;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Temporary files of copies that were killed while they wrote: named with
// their process, which is gone.
void removeLeftovers(const QDir& dir, const QString& fileName)
{
    const QString prefix = QStringLiteral(".%1.").arg(fileName);
    for (const QString& name : dir.entryList({prefix + QStringLiteral("*.new")}, QDir::Files | QDir::Hidden)) {
        const QStringList parts = name.mid(prefix.size()).split(u'.');
        bool ok = false;
        const qint64 pid = parts.value(0).toLongLong(&ok);
        if (ok && pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(dir.filePath(name));
    }
}

// Writes the bytes to a new file beside `target`, flushed, and puts it in
// the place of `target` in one step.
bool replaceWhole(const QString& target, const QByteArray& bytes, const QList<std::pair<Setting, QString>>& values,
                  QString* error)
{
    static std::atomic<int> counter {0};
    const QFileInfo info(target);
    const QDir dir = info.dir();
    removeLeftovers(dir, info.fileName());
    const QString temp = dir.filePath(
        QStringLiteral(".%1.%2.%3.new").arg(info.fileName()).arg(::getpid()).arg(counter.fetch_add(1)));
    const QByteArray tempName = QFile::encodeName(temp);

    struct stat st {};
    const bool existed = ::stat(QFile::encodeName(target).constData(), &st) == 0;
    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = QStringLiteral("Do složky %1 nelze zapisovat: %2.").arg(dir.path(), errnoText(errno));
        return false;
    }
    int err = 0;
    bool ok = true;
    if (existed)
        ::fchmod(fd, st.st_mode & 07777); // the user's own permissions stay
    if (!bytes.isEmpty() && !fs::writeAt(fd, bytes.constData(), bytes.size(), 0, &err))
        ok = false;
    if (ok && !fs::syncData(fd, &err))
        ok = false;
    ::close(fd);
    if (!ok) {
        ::unlink(tempName.constData());
        *error = QStringLiteral("Soubor s nastavením %1 nelze zapsat: %2.").arg(target, errnoText(err));
        return false;
    }

    // What the program will read from it is what was meant.
    TSettings check;
    if (!check.readFiles({temp}).isEmpty()) {
        ::unlink(tempName.constData());
        *error = QStringLiteral("Soubor s nastavením %1 nelze zapsat: zápis nejde přečíst zpět.").arg(target);
        return false;
    }
    for (const auto& [setting, value] : values) {
        if (check.value(setting).value != value) {
            ::unlink(tempName.constData());
            *error = QStringLiteral("Hodnotu „%1“ nelze do souboru s nastavením %2 zapsat tak, aby ji program "
                                    "přečetl stejně.")
                         .arg(value, target);
            return false;
        }
    }

    if (::rename(tempName.constData(), QFile::encodeName(target).constData()) != 0) {
        const int e = errno;
        ::unlink(tempName.constData());
        *error = QStringLiteral("Soubor s nastavením %1 nelze nahradit: %2.").arg(target, errnoText(e));
        return false;
    }
    // The rename is made; a folder that cannot be flushed changes nothing of
    // that, so it is no failure to report.
    const int dfd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace

bool storeSettings(const QString& file, const QList<std::pair<Setting, QString>>& values, QString* error)
{
    QString ignored;
    QString& why = error ? *error : ignored;
    why.clear();
    const QString target = followLinks(file);
    const QFileInfo info(target);
    if (!QDir().mkpath(info.path())) {
        why = QStringLiteral("Složku %1 pro nastavení nelze vytvořit.").arg(info.path());
        return false;
    }

    // Another copy of the program of the same user (on another desktop)
    // may store its choice at the same moment: one after the other, each
    // keeps what the other wrote.
    QLockFile lock(target + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(3000)) {
        why = QStringLiteral("Soubor s nastavením %1 právě zapisuje jiný program.").arg(target);
        return false;
    }

    QByteArray text;
    if (info.exists()) {
        QFile f(target);
        if (!f.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("Soubor s nastavením %1 nelze přečíst: %2.").arg(target, f.errorString());
            return false;
        }
        text = f.readAll();
        if (f.error() != QFileDevice::NoError) {
            why = QStringLiteral("Soubor s nastavením %1 nelze přečíst: %2.").arg(target, f.errorString());
            return false;
        }
    }

    for (const auto& [setting, value] : values) {
        const std::optional<QByteArray> encoded = iniValue(value);
        if (!encoded) {
            why = QStringLiteral("Hodnotu „%1“ nelze do souboru s nastavením zapsat: obsahuje řídicí znak.")
                      .arg(value);
            return false;
        }
        const QByteArray key = settingInfo(setting).key;
        const QByteArray newLine = key + '=' + *encoded + '\n';

        // The keys of the program stand before any section or in [General].
        const QList<Line> lines = logicalLines(text);
        bool general = true;   // the lines read now are of [General]
        bool inPreamble = true;
        int generalSections = 0;
        qsizetype preambleKeyEnd = -1;  // after the last key before any section
        qsizetype sectionKeyEnd = -1;   // after the header or the last key of the first [General]
        qsizetype firstSection = -1;
        QList<Line> found;
        for (const Line& l : lines) {
            const Parsed p = parse(QByteArrayView(text).sliced(l.begin, l.end - l.begin));
            if (p.kind == Kind::Section) {
                if (firstSection < 0)
                    firstSection = l.begin;
                inPreamble = false;
                general = p.name == "General";
                if (general && ++generalSections == 1)
                    sectionKeyEnd = l.end;
                continue;
            }
            if (!general || p.kind != Kind::Key)
                continue;
            if (inPreamble)
                preambleKeyEnd = l.end;
            else if (generalSections == 1)
                sectionKeyEnd = l.end;
            if (qstricmp(p.name.constData(), key.constData()) == 0)
                found.append(l);
        }

        QByteArray out;
        if (!found.isEmpty()) {
            // The first line takes the value, in the letter case and the
            // indentation written; the others of the same key go, so that
            // no reader is left to choose between two values.
            qsizetype at = 0;
            for (qsizetype k = 0; k < found.size(); ++k) {
                const Line& l = found[k];
                out += text.mid(at, l.begin - at);
                if (k == 0) {
                    const QByteArray old = text.mid(l.begin, l.end - l.begin);
                    qsizetype indent = 0;
                    while (indent < old.size() && (old[indent] == ' ' || old[indent] == '\t'))
                        ++indent;
                    const qsizetype eq = old.indexOf('=');
                    const QByteArray written = (eq < 0 ? old : old.left(eq)).trimmed();
                    const QByteArray ending = old.endsWith("\r\n") ? QByteArray("\r\n")
                                              : old.endsWith('\r')  ? QByteArray("\r")
                                                                     : QByteArray("\n");
                    out += old.left(indent) + written + '=' + *encoded + ending;
                }
                at = l.end;
            }
            out += text.mid(at);
        } else {
            qsizetype insertAt = text.size();
            QByteArray header;
            if (preambleKeyEnd >= 0)
                insertAt = preambleKeyEnd;
            else if (sectionKeyEnd >= 0)
                insertAt = sectionKeyEnd;
            else if (firstSection >= 0)
                insertAt = firstSection; // before the first section: still [General]
            else if (text.trimmed().isEmpty())
                header = "[General]\n";
            out = text.left(insertAt);
            if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
                out += '\n';
            out += header + newLine + text.mid(insertAt);
        }
        text = out;
    }
    return replaceWhole(target, text, values, &why);
}

} // namespace vedomec
