// vedomec-mkactor: turns the description of an actor (see ActorSource.h)
// into the C source of its actor library, which the build compiles into a
// shared object (tools/ActorLibrary.cmake does both steps).
//
//   vedomec-mkactor [--check] POPIS.txt [VÝSTUP.c] [--assets SLOŽKA]
//
// Faults are reported as "POPIS:ŘÁDEK: text" and nothing is written.  An
// existing output is replaced only when the builder made it.
#include "ActorSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

using namespace vedomec;
using namespace vedomec::tools;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool checkOnly = args.removeAll(QStringLiteral("--check")) > 0;
    QString assets;
    const qsizetype at = args.indexOf(QStringLiteral("--assets"));
    if (at >= 0 && at + 1 < args.size()) {
        assets = args[at + 1];
        args.remove(at, 2);
    }
    if (args.isEmpty() || args.size() > 2 || args.first().startsWith(u'-') || (!checkOnly && args.size() != 2)) {
        err << "Použití: vedomec-mkactor [--check] POPIS.txt [VÝSTUP.c] [--assets SLOŽKA]\n"
               "Z popisu herce udělá zdrojový text knihovny herce v C (pro sdílenou knihovnu .so).\n"
               "Obrázky a zvuky hledá ve SLOŽCE, bez ní ve složce popisu.\n"
               "--check  jen zkontroluje popis a soubory, nic nezapíše.\n";
        return 2;
    }
    const QString description = args[0];
    if (assets.isEmpty())
        assets = QFileInfo(description).absolutePath();

    BuiltActor actor;
    try {
        actor = buildActorFile(description, assets);
    } catch (const ActorSourceError& e) {
        if (e.line() > 0)
            err << description << ":" << e.line() << ": " << e.detail() << "\n";
        else
            err << "vedomec-mkactor: " << e.detail() << "\n";
        return 1;
    } catch (const EVedomecError& e) {
        err << "vedomec-mkactor: " << e.message() << "\n";
        return 1;
    }
    qsizetype bytes = 0;
    for (const auto& r : actor.resources)
        bytes += r.second.size();
    if (checkOnly) {
        out << description << ": herec „" << actor.info.name << "“, " << actor.info.animations.size()
            << " animací, " << bytes << " bajtů zdrojů\n";
        return 0;
    }

    const QString output = args[1];
    QFile existing(output);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly) || !existing.readLine().startsWith(ActorSourceMarker)) {
            err << "vedomec-mkactor: " << output << " už existuje a neudělal ho vedomec-mkactor; nepřepisuji ho\n";
            return 1;
        }
    }
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(actorLibrarySource(actor, QFileInfo(description).fileName())) < 0
        || !file.commit()) {
        err << "vedomec-mkactor: " << output << " nelze zapsat: " << file.errorString() << "\n";
        return 1;
    }
    return 0;
}
