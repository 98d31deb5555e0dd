#include "Exchange.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace vedomec::exchange {

ImportResult readExchange(Format format, const QByteArray& file, const ImportNames& names)
{
    switch (format) {
    case Format::Gift: return readGift(file, names);
    case Format::Aiken: return readAiken(file, names);
    case Format::MoodleXml: return readMoodleXml(file, names);
    }
    return {};
}

ExportResult writeExchange(Format format, const TestSource& test)
{
    switch (format) {
    case Format::Gift: return writeGift(test);
    case Format::Aiken: return writeAiken(test);
    case Format::MoodleXml: return writeMoodleXml(test);
    }
    return {};
}

QString formatName(Format format)
{
    switch (format) {
    case Format::Gift: return QStringLiteral("GIFT");
    case Format::Aiken: return QStringLiteral("Aiken");
    case Format::MoodleXml: return QStringLiteral("Moodle XML");
    }
    return {};
}

std::optional<Format> formatFromOption(const QString& name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("gift"))
        return Format::Gift;
    if (n == QLatin1String("aiken"))
        return Format::Aiken;
    if (n == QLatin1String("moodle") || n == QLatin1String("xml") || n == QLatin1String("moodlexml"))
        return Format::MoodleXml;
    return std::nullopt;
}

QString formatSuffix(Format format)
{
    switch (format) {
    case Format::Gift: return QStringLiteral("gift");
    case Format::Aiken: return QStringLiteral("txt");
    case Format::MoodleXml: return QStringLiteral("xml");
    }
    return {};
}

std::optional<Format> guessFormat(const QString& fileName, const QByteArray& file)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("gift"))
        return Format::Gift;
    if (suffix == QLatin1String("xml"))
        return Format::MoodleXml;
    // A look at the beginning is enough: the program's own form names its
    // questions "Otázka:", Aiken ends each with "ANSWER:", GIFT has braces.
    const QString head = QString::fromUtf8(file.left(64 * 1024));
    const QString start = head.trimmed();
    if (start.startsWith(QLatin1String("<?xml")) || start.startsWith(QLatin1String("<quiz")))
        return Format::MoodleXml;
    static const QRegularExpression own(QStringLiteral("^\\s*ot[áa]zka\\s*:"),
                                        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    if (own.match(head).hasMatch())
        return std::nullopt;
    static const QRegularExpression aiken(QStringLiteral("^\\s*ANSWER\\s*:"),
                                          QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    if (aiken.match(head).hasMatch())
        return Format::Aiken;
    if ((head.contains(u'{') && head.contains(u'}')) || head.contains(QLatin1String("$CATEGORY:")))
        return Format::Gift;
    return std::nullopt;
}

QString testWideProblem(const TestSource& test)
{
    if (test.kind.isEmpty())
        return QStringLiteral("druh testu chybí");
    if (test.title.isEmpty())
        return QStringLiteral("název testu chybí");
    const struct {
        const QString& value;
        int width;
        const char* what;
    } fields[] = {
        {test.kind, width::Druh, "druh testu"}, {test.title, width::Nazev, "název testu"},
        {test.author, width::Jmeno, "jméno autora"}, {test.address, width::Adresa, "adresa"},
        {test.email, width::Email, "e-mail"}, {test.http, width::Http, "webová adresa"},
        {test.password, width::Heslo, "heslo"},
    };
    for (const auto& f : fields) {
        for (const QChar c : f.value)
            if (c.unicode() < 0x20)
                return QStringLiteral("%1 obsahuje řídicí znak").arg(QString::fromUtf8(f.what));
        const QString problem = fieldProblem(f.value, f.width, QString::fromUtf8(f.what));
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

} // namespace vedomec::exchange
