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

} // namespace

QString czechErrorText(const QString& message)
{
    QString reason;
    const int error = reasonIn(message, &reason);
    const QString name = nameIn(message);
    const QString where = quotedName(name);
    const QString unchanged = QStringLiteral("Nic se tím nezměnilo.");
    const bool rights = error == EACCES || error == EPERM || error == EROFS;
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
    const QString ask = askFor(rights);

    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("Vedomec nemůže zapsat%1: %2. %3 Uvolněte prosím místo na disku (nebo požádejte "
                              "správce počítače) a zkuste to znovu.")
            .arg(name.isEmpty() ? QString() : QStringLiteral(" do souboru") + where, reason, unchanged);
    if (message.startsWith(QLatin1String("Cannot create folder")))
        return QStringLiteral("Vedomec nemůže vytvořit složku%1%2. %3")
            .arg(where, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason, ask);
    if (message.startsWith(QLatin1String("Cannot create file")) || message.startsWith(QLatin1String("Cannot open the journal")))
        return QStringLiteral("Vedomec nemůže vytvořit soubor%1%2. %3")
            .arg(where, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason, ask);
    if (message.contains(QLatin1String("is in use by another program")) || message.contains(QLatin1String("is open in another program")))
        return QStringLiteral("Soubor%1 právě používá jiný program. %2 Zkuste to prosím za chvíli znovu.")
            .arg(where, unchanged);
    if (message.contains(QLatin1String("read-only")) || message.contains(QLatin1String("for reading only"))
        || message.contains(QLatin1String("cannot be written")) || rights)
        return QStringLiteral("Vedomec nesmí zapisovat do souboru%1%2. %3 %4")
            .arg(where, reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'), unchanged,
                 askFor(true));
    if (message.contains(QLatin1String("damaged")) || message.contains(QLatin1String("not valid"))
        || message.contains(QLatin1String("mismatch")) || message.contains(QLatin1String("not found")))
        return QStringLiteral("Soubor%1 je poškozený nebo chybí, a tak s ním Vedomec nemůže pracovat. Ukažte prosím "
                              "tuto zprávu učiteli.\r(%2)")
            .arg(where, message);
    if (error != 0)
        return QStringLiteral("Vedomec nemůže pracovat se souborem%1: %2. %3 %4").arg(where, reason, unchanged, ask);
    return QStringLiteral("Při práci s daty nastala chyba, a tak se poslední krok neprovedl. Zkuste ho prosím "
                          "zopakovat; pokud chyba trvá, ukažte tuto zprávu učiteli.\r(%1)")
        .arg(message);
}

} // namespace vedomec
