#include "Formats.h"

#include "TableTools.h"
#include "exchange/TestSource.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vedomec::authoring {

namespace {

QList<TestFormat> builtIn()
{
    TestFormat table;
    table.id = QStringLiteral("dbf");
    table.name = QStringLiteral("Tabulka testu (*.dbf)");
    table.suffixes = {QStringLiteral("dbf")};
    table.read = [](const QString& path, QStringList* notes) { return tools::readQuestionTable(path, notes); };
    table.write = [](const TestSource& test, const QString& path) { tools::writeQuestionTable(test, path); };

    TestFormat text;
    text.id = QStringLiteral("text");
    text.name = QStringLiteral("Text testu (*.txt)");
    text.suffixes = {QStringLiteral("txt")};
    text.read = [](const QString& path, QStringList*) {
        try {
            return exchange::readTestSourceFile(path);
        } catch (const exchange::SourceError& e) {
            throw EVedomecError(e.line() > 0 ? QStringLiteral("%1, řádek %2: %3").arg(QFileInfo(path).fileName()).arg(e.line()).arg(e.detail())
                                             : QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), e.detail()));
        }
    };
    text.write = [](const TestSource& test, const QString& path) {
        if (QFileInfo::exists(path))
            throw EVedomecError(QStringLiteral("Soubor %1 už existuje.").arg(path));
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            throw EInOutError(QStringLiteral("Soubor %1 nelze vytvořit: %2").arg(path, f.errorString()));
        f.write(exchange::formatTestSource(test, QStringLiteral("Test „%1“; tabulku z něj udělá vedomec-mktest").arg(test.title)));
        if (!f.commit())
            throw EInOutError(QStringLiteral("Soubor %1 nelze zapsat: %2").arg(path, f.errorString()));
    };
    return {table, text};
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
    for (const TestFormat& f : testFormats())
        if (f.suffixes.contains(suffix))
            return &f;
    return nullptr;
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
            all << QStringLiteral("*.%1").arg(s);
    }
    if (!forWriting)
        parts.prepend(QStringLiteral("Všechny testy (%1)").arg(all.join(u' ')));
    return parts.join(QStringLiteral(";;"));
}

TestSource readTestFile(const QString& path, QStringList* notes)
{
    const TestFormat* f = formatOfFile(path);
    if (!f || !f->read)
        throw EVedomecError(QStringLiteral("Soubor %1 není test, který editor umí načíst (%2).")
                                .arg(QFileInfo(path).fileName(), fileDialogFilter(false)));
    return f->read(path, notes);
}

} // namespace vedomec::authoring
