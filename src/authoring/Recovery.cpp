#include "TestFolder.h"

#include "FolderRows.h"
#include "catalogue/CatalogueTables.h"
#include "catalogue/OpenMark.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vedomec::authoring {

using namespace vedomec::data;
using namespace detail;

namespace {

// Where the folder keeps no locks, an intent is known to be left behind only
// when the editor that wrote it ran on this computer and is gone; another
// computer's is left for an editor there.
bool ownerGone(const QJsonObject& o)
{
    const qint64 pid = o.value(QStringLiteral("pid")).toInteger();
    if (pid <= 0 || o.value(QStringLiteral("host")).toString() != QSysInfo::machineHostName())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

int TestFolder::recover()
{
    const QString data = dataFolder();
    const QStringList intents =
        QDir(data).entryList({kIntentPrefix + QStringLiteral("*.json")}, QDir::Files | QDir::Hidden);
    for (const QString& name : intents) {
        const QString path = QDir(data).filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        int error = 0;
        const LockAnswer answer = tryLockAnswer(fd, 0, LockMode::Exclusive, &error);
        if (answer == LockAnswer::Busy) {
            ::close(fd); // its editor is still at it
            continue;
        }
        QFile f;
        QByteArray bytes;
        if (f.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            bytes = f.readAll();
        f.close();
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        if (answer != LockAnswer::Granted && !ownerGone(o)) {
            ::close(fd); // no lock tells, and its editor may still be at it
            continue;
        }
        const QString file = o.value(QStringLiteral("file")).toString();
        const QString temp = o.value(QStringLiteral("temp")).toString();
        bool done = true;
        try {
            if (o.contains(QStringLiteral("kind"))) {
                settleKindRename(*this, o);
            } else {
                if (!temp.isEmpty() && fs::isPlainFileName(temp)) {
                    const QString tempPath = QDir(testsFolder()).filePath(temp);
                    if (QFileInfo::exists(tempPath)) {
                        // The new table never took the old one's place: the row goes back.
                        if (o.contains(QStringLiteral("row")))
                            putRowBack(data, file, rowFromJson(o.value(QStringLiteral("row")).toObject()));
                        QFile::remove(tempPath);
                    }
                }
                if (o.value(QStringLiteral("created")).toBool() || o.value(QStringLiteral("deleted")).toBool()) {
                    // A table without its catalogue row is the half of a new test
                    // or of a removed one: it goes.
                    TTable cat;
                    catalogue::configureCatalogue(cat, data, false);
                    cat.Open();
                    const bool listed = catalogue::findCatalogueRow(cat, file);
                    cat.Close();
                    const QString p = testPath(file);
                    if (!listed && !p.isEmpty())
                        QFile::remove(p);
                }
                // A kind the change brought in stays only with a test of it.
                const QString newKind = o.value(QStringLiteral("newKind")).toString();
                if (!newKind.isEmpty())
                    removeUnusedKindRow(data, newKind);
                if (!file.isEmpty() && fs::isPlainFileName(file))
                    removeLeftovers(testsFolder(), file);
                if (!temp.isEmpty() && fs::isPlainFileName(temp))
                    removeLeftovers(testsFolder(), temp);
            }
        } catch (const std::exception& e) {
            Q_UNUSED(e);
            done = false; // tried again next time
        }
        if (done)
            QFile::remove(path);
        ::close(fd);
    }

    // A mark counts as stale only where the lock shows that no editor holds
    // its test.  A folder that keeps no locks cannot show it: there the mark
    // stays until the teacher, asked by the editor, clears it.
    int cleared = 0;
    TTable cat;
    catalogue::configureCatalogue(cat, data, false);
    cat.Open();
    if (!cat.IsEmpty()) {
        for (cat.First(); !cat.Eof(); cat.Next()) {
            if (cat.FieldAsString(QStringLiteral("OTEVRENO")) != QLatin1String("A"))
                continue;
            if (catalogue::editorHold(testPath(cat.FieldAsString(QStringLiteral("NAZEV")))) != catalogue::EditorHold::None)
                continue;
            Row r = readRow(cat);
            r.otevreno.clear();
            writeRow(cat, r);
            ++cleared;
        }
    }
    cat.Close();
    return cleared;
}

} // namespace vedomec::authoring
