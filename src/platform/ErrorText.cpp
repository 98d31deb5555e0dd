#include "platform/ErrorText.h"

#include <QRegularExpression>

#include <array>
#include <cerrno>
#include <cstring>

namespace vedomec {

namespace {

// The system's reasons the store passes on, as the C library words them
// in any language it was set to.
struct Reason {
    int error;
    const char* czech;
};
constexpr std::array<Reason, 9> kReasons {{
    {ENOSPC, "na disku už není místo"},
    {EDQUOT, "je vyčerpáno místo, které vám správce na disku vyhradil"},
    {EACCES, "chybí vám k tomu oprávnění"},
    {EPERM, "chybí vám k tomu oprávnění"},
    {EROFS, "disk je jen pro čtení"},
    {EIO, "disk hlásí chybu čtení nebo zápisu"},
    {ENOENT, "soubor nebo složka neexistuje"},
    {ENOTDIR, "v cestě stojí soubor místo složky"},
    {ENOLCK, "systém souborů neumí zamykat soubory"},
}};

int reasonIn(const QString& message, QString* czech)
{
    for (const Reason& r : kReasons) {
        if (message.contains(QString::fromLocal8Bit(std::strerror(r.error)), Qt::CaseInsensitive)) {
            *czech = QString::fromUtf8(r.czech);
            return r.error;
        }
    }
    return 0;
}

// The file or folder the message names: in quotes, else after the words
// that introduce it, up to a colon.
QString nameIn(const QString& message)
{
    static const QRegularExpression quoted(QStringLiteral("'([^']+)'"));
    if (const auto m = quoted.match(message); m.hasMatch())
        return m.captured(1);
    static const QRegularExpression named(QStringLiteral(
        "(?:folder|file|journal|Index file|table) (/[^:]*?)(?::| cannot| is| records|$)"));
    if (const auto m = named.match(message); m.hasMatch())
        return m.captured(1).trimmed();
    return QString();
}

QString quotedName(const QString& name)
{
    return name.isEmpty() ? QString() : QStringLiteral(" „%1“").arg(name);
}

// Whether the path lies in the user's own folders (his working copies, his
// data folder) rather than a folder the class shares.
bool ownFolder(const QString& name)
{
    return name.contains(QLatin1String("/vedomec/work")) || name.contains(QLatin1String("/.local/"));
}

// What went wrong, as far as the store's English text tells it.
enum class Cause { Space, CreateFolder, CreateFile, InUse, ReadOnly, Damaged, System, Other };

struct Failure {
    Cause cause = Cause::Other;
    int error = 0;
    QString reason; // the system's reason in Czech, when the text has one
    QString name;   // the file or folder named
};

Failure failureOf(const QString& message)
{
    Failure f;
    f.error = reasonIn(message, &f.reason);
    f.name = nameIn(message);
    const bool rights = f.error == EACCES || f.error == EPERM || f.error == EROFS;
    if (f.error == ENOSPC || f.error == EDQUOT)
        f.cause = Cause::Space;
    else if (message.startsWith(QLatin1String("Cannot create folder")))
        f.cause = Cause::CreateFolder;
    else if (message.startsWith(QLatin1String("Cannot create file")) || message.startsWith(QLatin1String("Cannot open the journal")))
        f.cause = Cause::CreateFile;
    else if (message.contains(QLatin1String("is in use by another program")) || message.contains(QLatin1String("is open in another program")))
        f.cause = Cause::InUse;
    else if (message.contains(QLatin1String("read-only")) || message.contains(QLatin1String("for reading only"))
             || message.contains(QLatin1String("cannot be written")) || rights)
        f.cause = Cause::ReadOnly;
    else if (message.contains(QLatin1String("damaged")) || message.contains(QLatin1String("not valid"))
             || message.contains(QLatin1String("mismatch")) || message.contains(QLatin1String("not found")))
        f.cause = Cause::Damaged;
    else if (f.error != 0)
        f.cause = Cause::System;
    return f;
}

// Whether a text is one of the tools' own Czech messages rather than the
// store's English: names in English quotes and paths left aside, it has
// Czech letters, Czech quotes or the words the tools' messages use.
bool alreadyCzech(QString message)
{
    static const QRegularExpression names(QStringLiteral("'[^']*'|[^\\s„“]*[/\\\\][^\\s„“]*"));
    message.remove(names);
    static const QRegularExpression czech(QStringLiteral(
        "[ěščřžýáíéůúňťďĚŠČŘŽÝÁÍÉŮÚŇŤĎ„“]|\\b(?:soubor|tabulk|slo[zž]k|neexistuje|nelze)"),
        QRegularExpression::CaseInsensitiveOption);
    return message.contains(czech);
}

} // namespace

QString czechErrorText(const QString& message)
{
    const Failure f = failureOf(message);
    const QString& name = f.name;
    const QString& reason = f.reason;
    const QString where = quotedName(name);
    const QString unchanged = QStringLiteral("Nic se tím nezměnilo.");
    // What the user can do: his own folders are the administrator's to
    // mend, the class's folder the teacher's too.
    const auto askFor = [&](bool forRights) {
        if (ownFolder(name))
            return forRights ? QStringLiteral("Požádejte prosím správce počítače, aby vám vrátil právo zapisovat do "
                                      "vlastní domovské složky, a zkuste to pak znovu.")
                          : QStringLiteral("Požádejte prosím správce počítače, aby to ve vaší domovské složce "
                                           "napravil, a zkuste to pak znovu.");
        return forRights ? QStringLiteral("Požádejte prosím učitele nebo správce počítače o právo zápisu a zkuste to "
                                       "pak znovu.")
                      : QStringLiteral("Zkuste to prosím znovu; pokud chyba trvá, ukažte tuto zprávu učiteli nebo "
                                       "správci počítače.");
    };
    const bool rights = f.error == EACCES || f.error == EPERM || f.error == EROFS;
    const QString ask = askFor(rights);

    switch (f.cause) {
    case Cause::Space:
        return QStringLiteral("Vedomec nemůže zapsat%1: %2. %3 Uvolněte prosím místo na disku (nebo požádejte "
                              "správce počítače) a zkuste to znovu.")
            .arg(name.isEmpty() ? QString() : QStringLiteral(" do souboru") + where, reason, unchanged);
    case Cause::CreateFolder:
        return QStringLiteral("Vedomec nemůže vytvořit složku%1%2. %3")
            .arg(where, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason, ask);
    case Cause::CreateFile:
        return QStringLiteral("Vedomec nemůže vytvořit soubor%1%2. %3")
            .arg(where, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason, ask);
    case Cause::InUse:
        return QStringLiteral("Soubor%1 právě používá jiný program. %2 Zkuste to prosím za chvíli znovu.")
            .arg(where, unchanged);
    case Cause::ReadOnly:
        return QStringLiteral("Vedomec nesmí zapisovat do souboru%1%2. %3 %4")
            .arg(where, reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'), unchanged,
                 askFor(true));
    case Cause::Damaged:
        return QStringLiteral("Soubor%1 je poškozený nebo chybí, a tak s ním Vedomec nemůže pracovat. Ukažte prosím "
                              "tuto zprávu učiteli.\r(%2)")
            .arg(where, message);
    case Cause::System:
        return QStringLiteral("Vedomec nemůže pracovat se souborem%1: %2. %3 %4").arg(where, reason, unchanged, ask);
    case Cause::Other:
        break;
    }
    return QStringLiteral("Při práci s daty nastala chyba, a tak se poslední krok neprovedl. Zkuste ho prosím "
                          "zopakovat; pokud chyba trvá, ukažte tuto zprávu učiteli.\r(%1)")
        .arg(message);
}

QString czechToolErrorText(const QString& message)
{
    const Failure f = failureOf(message);
    if (f.cause == Cause::Other && alreadyCzech(message))
        return message;
    const QString where = quotedName(f.name);
    const QString reason = f.reason.isEmpty() ? QString() : QStringLiteral(": ") + f.reason;
    // The store's own text follows where it says more than the sentence:
    // what is damaged in a file, or a failure without a known cause.
    const QString detail = QStringLiteral(" (%1)").arg(message);
    switch (f.cause) {
    case Cause::Space:
        return QStringLiteral("nelze zapsat%1%2; nic se nezměnilo")
            .arg(f.name.isEmpty() ? QString() : QStringLiteral(" do souboru") + where, reason);
    case Cause::CreateFolder:
        return QStringLiteral("nelze vytvořit složku%1%2").arg(where, reason);
    case Cause::CreateFile:
        return QStringLiteral("nelze vytvořit soubor%1%2").arg(where, reason);
    case Cause::InUse:
        return QStringLiteral("soubor%1 právě používá jiný program; nic se nezměnilo, zkuste to za chvíli znovu")
            .arg(where);
    case Cause::ReadOnly:
        return QStringLiteral("do souboru%1 nelze zapisovat%2; nic se nezměnilo").arg(where, reason);
    case Cause::Damaged:
        return QStringLiteral("soubor%1 je poškozený nebo chybí%2").arg(where, detail);
    case Cause::System:
        return QStringLiteral("se souborem%1 nelze pracovat%2; nic se nezměnilo").arg(where, reason);
    case Cause::Other:
        break;
    }
    return QStringLiteral("při práci s tabulkou nastala chyba%1").arg(detail);
}

} // namespace vedomec
