// libFuzzer entry for the settings file reader and writer: the user's
// configuration file is his own text, written by hand or by other tools.
// Each input is read as a configuration file; then the program's two
// choices are stored into it, which either fails with a reason and leaves
// the file as it was, or leaves a file that reads back the values stored
// and keeps every line the store did not touch.
#include "config/Settings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vedomec;
    // Memory-backed where the machine has it: every store flushes.
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        return std::make_unique<QTemporaryDir>(
            QDir(shm).exists() ? shm + QStringLiteral("/vedomec-fuzz-XXXXXX") : QString());
    }();
    // A new name each time: the INI reader keeps what it read of a file
    // and would not notice a rewrite within the same second.
    static int n = 0;
    const QString file = dir->filePath(QStringLiteral("vedomec-%1.conf").arg(++n));
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(input) != input.size())
            std::abort();
    }

    TSettings read;
    (void)read.readFiles({file});
    QString problem;
    (void)read.soundOn(&problem);

    const QString character = QStringLiteral("Sova");
    QString error;
    if (!storeSettings(file, {{Setting::Character, character}, {Setting::Sound, QStringLiteral("off")}}, &error)) {
        if (error.isEmpty() || bytesOf(file) != input)
            std::abort();
    } else {
        // Read back under a name the INI reader has not seen: it keeps a
        // file it read and takes one of the same size and second for it.
        const QString copy = file + QStringLiteral(".back");
        if (!QFile::copy(file, copy))
            std::abort();
        TSettings back;
        const bool clean = back.readFiles({copy}).isEmpty();
        QFile::remove(copy);
        if (!clean)
            std::abort();
        if (back.value(Setting::Character).value != character || back.value(Setting::Sound).value != QLatin1String("off"))
            std::abort();
        // Nothing the store did not write went missing: every line of the
        // input that names neither key is still there.
        // (A line a backslash carries on belongs to the line before.)
        const QByteArray out = bytesOf(file);
        bool carried = false;
        for (const QByteArray& line : input.split('\n')) {
            const bool wasCarried = std::exchange(carried, line.contains('\\'));
            const QByteArray t = line.trimmed().toLower();
            if (wasCarried || carried || t.isEmpty() || t.startsWith("character") || t.startsWith("sound")
                || line.contains('\r'))
                continue;
            if (!out.contains(line))
                std::abort();
        }
    }
    QFile::remove(file);
    QFile::remove(file + QStringLiteral(".lock"));
    return 0;
}
