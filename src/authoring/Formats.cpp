#include "Formats.h"

#include "TableTools.h"
#include "exchange/Exchange.h"
#include "exchange/TestSource.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

namespace vedomec::authoring {

namespace {

// Writes `bytes` as a new file: whole under a temporary name, then renamed
// into place without replacing what may have appeared there meanwhile.
void writeNewFile(const QString& path, const QByteArray& bytes)
{
    if (QFileInfo::exists(path) || fs::isFile(path))
        throw EVedomecError(QStringLiteral("Soubor %1 už existuje.").arg(path));
    const QString temp = tools::temporarySibling(path);
    QFile f(temp);
    bool written = f.open(QIODevice::NewOnly | QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
    QString why = f.errorString();
    f.close();
    written = written && f.error() == QFileDevice::NoError;
    if (written && !fs::renameNoReplace(temp, path)) {
        written = false;
        why = QStringLiteral("soubor téhož jména mezitím vznikl");
    }
    if (!written) {
        QFile::remove(temp);
        throw EInOutError(QStringLiteral("Soubor %1 nelze zapsat: %2").arg(path, why));
    }
}

EVedomecError sourceFault(const QString& path, const exchange::SourceError& e)
{
    const QString file = QFileInfo(path).fileName();
    return EVedomecError(e.line() > 0 ? QStringLiteral("%1, řádek %2: %3").arg(file).arg(e.line()).arg(e.detail())
                                      : QStringLiteral("%1: %2").arg(file, e.detail()));
}

QString noteOf(const exchange::Diagnostic& d, const QString& place)
{
    return d.line > 0 ? QStringLiteral("%1 %2: %3").arg(place).arg(d.line).arg(d.text) : d.text;
}

// A quiz file of another system: every question it holds that a table can
// carry, in one test per type; what it cannot carry goes to the notes.
TestFormat otherSystem(exchange::Format format, const QString& id, const QString& name, const QStringList& suffixes)
{
    TestFormat f;
    f.id = id;
    f.name = name;
    f.suffixes = suffixes;
    f.otherSystem = true;
    f.read = [format](const QString& path, QStringList* notes) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw EInOutError(QStringLiteral("Soubor %1 nelze číst: %2").arg(path, file.errorString()));
        if (file.size() > exchange::MaxFileSize)
            throw EVedomecError(QStringLiteral("Soubor %1 je na test příliš velký.").arg(QFileInfo(path).fileName()));
        exchange::ImportNames names;
        names.fileName = QFileInfo(path).completeBaseName();
        exchange::ImportResult r;
        try {
            r = exchange::readExchange(format, file.readAll(), names);
        } catch (const exchange::SourceError& e) {
            throw sourceFault(path, e);
        }
        QStringList said;
        for (const exchange::Diagnostic& d : std::as_const(r.diagnostics))
            said << noteOf(d, QStringLiteral("řádek"));
        if (r.tests.isEmpty()) {
            QString why = QStringLiteral("V souboru %1 (%2) není žádná otázka, kterou by test unesl.")
                              .arg(QFileInfo(path).fileName(), exchange::formatName(format));
            if (!said.isEmpty())
                why += u'\n' + said.join(u'\n');
            throw EVedomecError(why);
        }
        if (notes)
            *notes << said;
        return r.tests;
    };
    f.write = [format](const TestSource& test, const QString& path, QStringList* notes) {
        exchange::ExportResult r;
        try {
            r = exchange::writeExchange(format, test);
        } catch (const exchange::SourceError& e) {
            throw EVedomecError(e.detail());
        }
        qsizetype omitted = 0;
        QStringList said;
        for (const exchange::Diagnostic& d : std::as_const(r.diagnostics)) {
            omitted += d.omitted ? 1 : 0;
            said << noteOf(d, QStringLiteral("otázka"));
        }
        if (omitted == test.questions.size())
            throw EVedomecError(QStringLiteral("Žádná otázka testu se do formátu %1 nevešla.\n%2")
                                    .arg(exchange::formatName(format), said.join(u'\n')));
        writeNewFile(path, r.file);
        if (notes)
            *notes << said;
    };
    f.claims = [format](const QString& path, const QByteArray& head) {
        return exchange::guessFormat(path, head) == format;
    };
    return f;
}

QList<TestFormat> builtIn()
{
    TestFormat table;
    table.id = QStringLiteral("dbf");
    table.name = QStringLiteral("Tabulka testu (*.dbf)");
    table.suffixes = {QStringLiteral("dbf")};
    table.read = [](const QString& path, QStringList* notes) {
        return QList<TestSource>{tools::readQuestionTable(path, notes)};
    };
    table.write = [](const TestSource& test, const QString& path, QStringList*) { tools::writeQuestionTable(test, path); };

    TestFormat text;
    text.id = QStringLiteral("text");
    text.name = QStringLiteral("Text testu (*.txt)");
    text.suffixes = {QStringLiteral("txt")};
    text.read = [](const QString& path, QStringList*) {
        try {
            return QList<TestSource>{exchange::readTestSourceFile(path)};
        } catch (const exchange::SourceError& e) {
            throw sourceFault(path, e);
        }
    };
    text.write = [](const TestSource& test, const QString& path, QStringList*) {
        writeNewFile(path, exchange::formatTestSource(test, QStringLiteral("Test „%1“; tabulku z něj udělá vedomec-mktest").arg(test.title)));
    };

    using exchange::Format;
    return {table, text,
            otherSystem(Format::Gift, QStringLiteral("gift"), QStringLiteral("GIFT (*.gift *.txt)"),
                        {QStringLiteral("gift"), QStringLiteral("txt")}),
            otherSystem(Format::Aiken, QStringLiteral("aiken"), QStringLiteral("Aiken (*.txt)"), {QStringLiteral("txt")}),
            otherSystem(Format::MoodleXml, QStringLiteral("moodle"), QStringLiteral("Moodle XML (*.xml)"),
                        {QStringLiteral("xml")})};
}

} // namespace

QList<TestFormat>& testFormats()
{
    static QList<TestFormat> formats = builtIn();
    return formats;
}

void registerTestFormat(const TestFormat& format)
{
    for (TestFormat& f : testFormats())
        if (f.id == format.id) {
            f = format;
            return;
        }
    testFormats().append(format);
}

const TestFormat* formatOfFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QList<const TestFormat*> candidates;
    for (const TestFormat& f : testFormats())
        if (f.suffixes.contains(suffix))
            candidates << &f;
    if (candidates.size() <= 1)
        return candidates.isEmpty() ? nullptr : candidates.first();
    QByteArray head;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        head = file.read(64 * 1024);
    for (const TestFormat* f : std::as_const(candidates))
        if (f->claims && f->claims(path, head))
            return f;
    for (const TestFormat* f : std::as_const(candidates))
        if (!f->claims)
            return f;
    return candidates.first();
}

const TestFormat* formatById(const QString& id)
{
    for (const TestFormat& f : testFormats())
        if (f.id == id)
            return &f;
    return nullptr;
}

QString fileDialogFilter(bool forWriting)
{
    QStringList parts;
    QStringList all;
    for (const TestFormat& f : testFormats()) {
        if (forWriting && !f.write)
            continue;
        parts << f.name;
        for (const QString& s : f.suffixes)
            if (!all.contains(QStringLiteral("*.%1").arg(s)))
                all << QStringLiteral("*.%1").arg(s);
    }
    if (!forWriting)
        parts.prepend(QStringLiteral("Všechny testy (%1)").arg(all.join(u' ')));
    return parts.join(QStringLiteral(";;"));
}

QList<TestSource> readTestFile(const QString& path, QStringList* notes)
{
    const TestFormat* f = formatOfFile(path);
    if (!f || !f->read)
        throw EVedomecError(QStringLiteral("Soubor %1 není test, který editor umí načíst (%2).")
                                .arg(QFileInfo(path).fileName(), fileDialogFilter(false)));
    return f->read(path, notes);
}

} // namespace vedomec::authoring
