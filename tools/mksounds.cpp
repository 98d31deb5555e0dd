// vedomec-mksounds FOLDER
//
// Writes the four sound cues of the program into FOLDER: short 16-bit mono
// PCM WAV files, each with a shape of its own so that a pupil tells them
// apart without looking: a rising two-note chime when a dialog opens, a soft
// single ping for a notice, a low falling buzz for an error and a rising
// "question" glide.  Files are written under a temporary name and renamed
// into place; an existing file is never replaced.
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QUuid>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int Rate = 22050;

void put16(QByteArray& b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

void put32(QByteArray& b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

// `wave(t)` gives the sample in -1..1 for time t in seconds.
QByteArray makeWav(double seconds, const std::function<double(double)>& wave)
{
    const int n = int(seconds * Rate);
    QByteArray pcm;
    pcm.reserve(n * 2);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / Rate;
        // 5 ms fade in and out so that no cue clicks.
        const double edge = std::min({1.0, t / 0.005, (seconds - t) / 0.005});
        double s = wave(t) * std::max(0.0, edge);
        s = std::clamp(s, -1.0, 1.0);
        put16(pcm, int(std::lround(s * 26000)));
    }
    QByteArray b("RIFF");
    put32(b, quint32(36 + pcm.size()));
    b.append("WAVEfmt ");
    put32(b, 16);
    put16(b, 1);            // PCM
    put16(b, 1);            // mono
    put32(b, Rate);
    put32(b, Rate * 2);     // bytes per second
    put16(b, 2);            // block align
    put16(b, 16);           // bits per sample
    b.append("data");
    put32(b, quint32(pcm.size()));
    b.append(pcm);
    return b;
}

constexpr double Pi = std::numbers::pi;

double tone(double f, double t) { return std::sin(2 * Pi * f * t); }

QByteArray dialogCue()
{
    // Two notes, E5 then A5, each with a quick decay.
    return makeWav(0.28, [](double t) {
        const double f = t < 0.12 ? 659.25 : 880.0;
        const double local = t < 0.12 ? t : t - 0.12;
        return 0.8 * tone(f, t) * std::exp(-local * 14);
    });
}

QByteArray infoCue()
{
    // One bright ping with an overtone.
    return makeWav(0.22, [](double t) {
        return (0.65 * tone(1046.5, t) + 0.2 * tone(2093.0, t)) * std::exp(-t * 16);
    });
}

QByteArray errorCue()
{
    // A low square-ish buzz falling from 220 Hz to 150 Hz.
    return makeWav(0.35, [](double t) {
        const double f0 = 220, f1 = 150, len = 0.35;
        const double phase = 2 * Pi * (f0 * t + (f1 - f0) * t * t / (2 * len));
        const double s = std::sin(phase) + std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5;
        return 0.6 * s * (1 - t / len * 0.5);
    });
}

QByteArray questionCue()
{
    // A glide up from 440 Hz to 990 Hz, like a voice asking.
    return makeWav(0.30, [](double t) {
        const double f0 = 440, f1 = 990, len = 0.30;
        const double phase = 2 * Pi * (f0 * t + (f1 - f0) * t * t / (2 * len));
        return 0.75 * std::sin(phase) * (0.6 + 0.4 * std::sin(Pi * t / len));
    });
}

bool writeNew(const QString& path, const QByteArray& data, QString* error)
{
    if (QFile::exists(path)) {
        *error = QStringLiteral("%1 already exists; it is left as it is").arg(path);
        return false;
    }
    const QFileInfo fi(path);
    const QString tmp = fi.dir().filePath(QStringLiteral(".%1.%2.tmp").arg(fi.fileName(), QUuid::createUuid().toString(QUuid::Id128)));
    QFile f(tmp);
    if (!f.open(QIODevice::NewOnly | QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot create %1: %2").arg(tmp, f.errorString());
        return false;
    }
    const bool ok = f.write(data) == data.size() && f.flush();
    f.close();
    if (!ok || !vedomec::fs::renameNoReplace(tmp, path)) {
        QFile::remove(tmp);
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: vedomec-mksounds FOLDER\n"
               "Writes Dialog.wav, Info.wav, Chyba.wav and Dotaz.wav into FOLDER (which must exist).\n";
        return 2;
    }
    const QString folder = args[1];
    if (!QFileInfo(folder).isDir()) {
        err << "vedomec-mksounds: " << folder << " is not a folder\n";
        return 1;
    }
    const struct { const char* name; QByteArray (*make)(); } cues[] = {
        {"Dialog.wav", dialogCue}, {"Info.wav", infoCue}, {"Chyba.wav", errorCue}, {"Dotaz.wav", questionCue},
    };
    int rc = 0;
    for (const auto& c : cues) {
        QString error;
        if (!writeNew(QDir(folder).filePath(QLatin1String(c.name)), c.make(), &error)) {
            err << "vedomec-mksounds: " << error << "\n";
            rc = 1;
        }
    }
    return rc;
}
