#include "ActorSource.h"

#include "assistant/ActorAnimation.h"
#include "assistant/oaLZRWKH.h"
#include "platform/FileSystem.h"
#include "platform/WaveSound.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QRegularExpression>

#include <map>
#include <set>

namespace vedomec::tools {

const char* const ActorSourceMarker = "/* Actor library made by vedomec-mkactor. */";

ActorSourceError::ActorSourceError(int line, const QString& what)
    : EVedomecError(line > 0 ? QStringLiteral("řádek %1: %2").arg(line).arg(what) : what), m_line(line), m_detail(what)
{
}

namespace {

QString fold(QString key)
{
    key = key.normalized(QString::NormalizationForm_D);
    QString out;
    for (QChar c : key)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c.toLower();
    return out.simplified();
}

struct FrameLine {
    int line = 0;
    QString text;
};

struct AnimationEntry {
    int line = 0;
    QString name;
    quint64 states = 0;
    quint8 kind = akPlain;
    QString returnName;
    int returnLine = 0;
    quint8 attribute = 0;
    int resource = -1;
    int resourceLine = 0;
    QString filmstrip;
    int filmstripLine = 0;
    QRgb transparent = qRgb(255, 0, 255);
    QList<int> durations;
    int durationsLine = 0;
    std::map<int, FrameLine> branches, exits, sounds;
};

int number(const QString& text, int line, int low, int high, const QString& what)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        throw ActorSourceError(line, QStringLiteral("%1 musí být celé číslo od %2 do %3, ne „%4“").arg(what).arg(low).arg(high).arg(text.trimmed()));
    return v;
}

QByteArray readFile(const QString& assetsDir, const QString& name, int line)
{
    const QString path = fs::resolve(fs::join(assetsDir, name));
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly))
        throw ActorSourceError(line, QStringLiteral("soubor „%1“ nelze přečíst").arg(name));
    return f.readAll();
}

// The filmstrip as a BMP file image: 8 bits per pixel with the picture's own
// colours when it has at most 256 of them, else 24 bits.
QByteArray filmstripBmp(QImage image, QRgb key)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qAlpha(line[x]) < 128 ? (key | 0xFF000000) : (line[x] | 0xFF000000);
    }
    QHash<QRgb, int> index;
    QList<QRgb> table;
    for (int y = 0; y < image.height() && table.size() <= 256; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (!index.contains(line[x])) {
                index.insert(line[x], int(table.size()));
                table << line[x];
                if (table.size() > 256)
                    break;
            }
    }
    QImage out;
    if (table.size() <= 256) {
        out = QImage(image.size(), QImage::Format_Indexed8);
        out.setColorTable(table);
        for (int y = 0; y < image.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            uchar* px = out.scanLine(y);
            for (int x = 0; x < image.width(); ++x)
                px[x] = uchar(index.value(in[x]));
        }
    } else {
        out = image.convertToFormat(QImage::Format_RGB32);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    out.save(&buffer, "BMP");
    return bytes;
}

quint32 tcolor(QRgb c)
{
    return quint32(qRed(c)) | (quint32(qGreen(c)) << 8) | (quint32(qBlue(c)) << 16);
}

QByteArray makeResource(const AnimationEntry& a, const ActorInfo& info, const QString& assetsDir,
                        TLzrw1KHCompressor& compressor)
{
    AnimationData d;
    const int frames = int(a.durations.size());
    d.frameCount = frames;
    for (int i = 0; i < frames; ++i)
        d.durations[size_t(i)] = quint8(a.durations[i]);

    for (const auto& [frame, entry] : a.branches) {
        const QStringList pairs = entry.text.split(u',', Qt::SkipEmptyParts);
        if (pairs.size() > BranchesPerFrame)
            throw ActorSourceError(entry.line, QStringLiteral("snímek má nejvýš čtyři větve"));
        int sum = 0;
        for (qsizetype i = 0; i < pairs.size(); ++i) {
            const QStringList parts = pairs[i].split(QStringLiteral("->"));
            if (parts.size() != 2)
                throw ActorSourceError(entry.line, QStringLiteral("větev se píše „pravděpodobnost -> snímek“, ne „%1“").arg(pairs[i].trimmed()));
            const int p = number(parts[0], entry.line, 1, 100, QStringLiteral("pravděpodobnost"));
            const int t = number(parts[1], entry.line, 0, frames - 1, QStringLiteral("cílový snímek"));
            sum += p;
            if (sum > 100)
                throw ActorSourceError(entry.line, QStringLiteral("pravděpodobnosti větví dávají dohromady víc než 100"));
            d.branches[size_t(frame)][size_t(i)] = {quint8(p), quint8(t)};
        }
    }
    for (int i = 0; i < frames; ++i)
        d.exits[size_t(i)] = {0, 0};
    for (const auto& [frame, entry] : a.exits)
        d.exits[size_t(frame)] = {1, quint8(number(entry.text, entry.line, 0, frames - 1, QStringLiteral("cíl východu")))};

    d.sounds.resize(size_t(frames));
    for (const auto& [frame, entry] : a.sounds) {
        QByteArray wav = readFile(assetsDir, entry.text.trimmed(), entry.line);
        if (!parseWav(wav))
            throw ActorSourceError(entry.line, QStringLiteral("„%1“ není přehratelný soubor WAV (PCM)").arg(entry.text.trimmed()));
        d.sounds[size_t(frame)] = std::move(wav);
    }

    const QByteArray picture = readFile(assetsDir, a.filmstrip, a.filmstripLine);
    const QImage strip = QImage::fromData(picture);
    if (strip.isNull())
        throw ActorSourceError(a.filmstripLine, QStringLiteral("„%1“ není obrázek").arg(a.filmstrip));
    if (strip.width() != frames * info.frameWidth || strip.height() != info.frameHeight)
        throw ActorSourceError(a.filmstripLine, QStringLiteral("pás „%1“ má %2 x %3 bodů, %4 snímků po %5 x %6 potřebuje %7 x %6")
                                                    .arg(a.filmstrip).arg(strip.width()).arg(strip.height()).arg(frames)
                                                    .arg(info.frameWidth).arg(info.frameHeight).arg(frames * info.frameWidth));
    d.transparentColor = tcolor(a.transparent);
    d.bitmap = filmstripBmp(strip, a.transparent & 0xFFFFFF);
    return writeAnimationResource(d, compressor);
}

} // namespace

BuiltActor buildActor(const QByteArray& description, const QString& assetsDir)
{
    QString text = QString::fromUtf8(description);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');

    BuiltActor built;
    ActorInfo& info = built.info;
    bool haveName = false;
    bool haveSize = false;
    std::vector<AnimationEntry> entries;
    static const QRegularExpression keyed(QStringLiteral("^([^:]+?)\\s*(\\d+)?\\s*:(.*)$"));
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d+)\\s*[xX×]\\s*(\\d+)\\s*$"));
    static const QRegularExpression colour(QStringLiteral("^\\s*#([0-9a-fA-F]{6})\\s*$"));

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i + 1);
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QRegularExpressionMatch m = keyed.match(line);
        if (!m.hasMatch())
            throw ActorSourceError(lineNo, QStringLiteral("čekám „klíč: hodnota“, ne „%1“").arg(line));
        const QString key = fold(m.captured(1));
        const bool hasFrame = m.hasCaptured(2) && !m.captured(2).isEmpty();
        const QString value = m.captured(3).trimmed();
        const bool frameKey = key == u"vetev" || key == u"vychod" || key == u"zvuk";
        if (hasFrame != frameKey)
            throw ActorSourceError(lineNo, frameKey ? QStringLiteral("u „%1“ chybí číslo snímku").arg(m.captured(1))
                                                    : QStringLiteral("neznámý klíč „%1“").arg(m.captured(1) + QLatin1Char(' ') + m.captured(2)));

        if (key == u"herec") {
            info.name = value;
            haveName = true;
            continue;
        }
        if (key == u"snimek") {
            const QRegularExpressionMatch s = size.match(value);
            if (!s.hasMatch())
                throw ActorSourceError(lineNo, QStringLiteral("velikost snímku se píše „šířka x výška“"));
            info.frameWidth = number(s.captured(1), lineNo, 1, 255, QStringLiteral("šířka snímku"));
            info.frameHeight = number(s.captured(2), lineNo, 1, 255, QStringLiteral("výška snímku"));
            haveSize = true;
            continue;
        }
        if (key == u"animace") {
            if (value.isEmpty())
                throw ActorSourceError(lineNo, QStringLiteral("animace potřebuje jméno"));
            for (const AnimationEntry& other : entries)
                if (other.name.compare(value, Qt::CaseInsensitive) == 0)
                    throw ActorSourceError(lineNo, QStringLiteral("animace „%1“ už je na řádku %2").arg(value).arg(other.line));
            AnimationEntry a;
            a.line = lineNo;
            a.name = value;
            entries.push_back(a);
            continue;
        }
        if (entries.empty())
            throw ActorSourceError(lineNo, QStringLiteral("„%1“ patří k animaci: napište nejdřív „Animace: jméno“").arg(m.captured(1)));
        AnimationEntry& a = entries.back();
        if (key == u"stavy") {
            for (const QString& s : value.split(u',', Qt::SkipEmptyParts))
                a.states |= quint64(1) << number(s, lineNo, 0, AnimationStates - 1, QStringLiteral("stav"));
        } else if (key == u"druh") {
            const QString k = fold(value);
            if (k == u"navrat")
                a.kind = akReturn;
            else if (k == u"vychody")
                a.kind = akExitAlways;
            else if (k == u"zadny")
                a.kind = akPlain;
            else
                throw ActorSourceError(lineNo, QStringLiteral("druh je „návrat“, „východy“ nebo „žádný“"));
        } else if (key == u"navrat") {
            a.returnName = value;
            a.returnLine = lineNo;
        } else if (key == u"atribut") {
            a.attribute = quint8(number(value, lineNo, 0, 255, QStringLiteral("atribut")));
        } else if (key == u"zdroj") {
            a.resource = number(value, lineNo, 1, 65535, QStringLiteral("číslo zdroje"));
            a.resourceLine = lineNo;
        } else if (key == u"pas") {
            a.filmstrip = value;
            a.filmstripLine = lineNo;
        } else if (key == u"pruhledna") {
            const QRegularExpressionMatch c = colour.match(value);
            if (!c.hasMatch())
                throw ActorSourceError(lineNo, QStringLiteral("barva se píše #RRGGBB"));
            a.transparent = 0xFF000000 | c.captured(1).toUInt(nullptr, 16);
        } else if (key == u"doby") {
            a.durations.clear();
            for (const QString& d : value.split(u' ', Qt::SkipEmptyParts))
                a.durations << number(d, lineNo, 0, 255, QStringLiteral("doba snímku"));
            if (a.durations.isEmpty() || a.durations.size() > MaxFrames)
                throw ActorSourceError(lineNo, QStringLiteral("animace má 1 až 256 snímků"));
            a.durationsLine = lineNo;
        } else if (frameKey) {
            const int frame = m.captured(2).toInt();
            auto& map = key == u"vetev" ? a.branches : key == u"vychod" ? a.exits : a.sounds;
            if (map.count(frame))
                throw ActorSourceError(lineNo, QStringLiteral("snímek %1 už má „%2“ na řádku %3").arg(frame).arg(m.captured(1)).arg(map[frame].line));
            map[frame] = {lineNo, value};
        } else {
            throw ActorSourceError(lineNo, QStringLiteral("neznámý klíč „%1“").arg(m.captured(1)));
        }
    }

    if (!haveName)
        throw ActorSourceError(0, QStringLiteral("chybí „Herec: jméno“"));
    if (!haveSize)
        throw ActorSourceError(0, QStringLiteral("chybí „Snímek: šířka x výška“"));
    if (entries.empty())
        throw ActorSourceError(0, QStringLiteral("knihovna potřebuje aspoň jednu animaci"));
    if (entries.size() > 65535)
        throw ActorSourceError(0, QStringLiteral("příliš mnoho animací"));

    std::set<int> resources;
    for (size_t i = 0; i < entries.size(); ++i) {
        AnimationEntry& a = entries[i];
        if (a.resource < 0)
            a.resource = int(100 + i + 1);
        if (!resources.insert(a.resource).second)
            throw ActorSourceError(a.resourceLine ? a.resourceLine : a.line, QStringLiteral("zdroj %1 už má jiná animace").arg(a.resource));
        if (a.filmstrip.isEmpty())
            throw ActorSourceError(a.line, QStringLiteral("animace „%1“ nemá „Pás:“").arg(a.name));
        if (a.durations.isEmpty())
            throw ActorSourceError(a.line, QStringLiteral("animace „%1“ nemá „Doby:“").arg(a.name));
        for (const auto* map : {&a.branches, &a.exits, &a.sounds})
            for (const auto& [frame, entry] : *map)
                if (frame >= a.durations.size())
                    throw ActorSourceError(entry.line, QStringLiteral("animace má jen %1 snímků (0 až %2)").arg(a.durations.size()).arg(a.durations.size() - 1));
        if (a.kind == akReturn && a.returnName.isEmpty())
            throw ActorSourceError(a.line, QStringLiteral("animace „%1“ druhu návrat potřebuje „Návrat:“").arg(a.name));
    }

    TLzrw1KHCompressor compressor;
    for (AnimationEntry& a : entries) {
        TAnimationRecord r;
        r.name = a.name;
        r.resourceId = quint16(a.resource);
        r.states = a.states;
        r.attribute = a.attribute;
        r.kind = a.kind;
        if (!a.returnName.isEmpty()) {
            for (size_t j = 0; j < entries.size(); ++j)
                if (entries[j].name.compare(a.returnName, Qt::CaseInsensitive) == 0)
                    r.returnAnimation = quint16(j + 1);
            if (!r.returnAnimation)
                throw ActorSourceError(a.returnLine, QStringLiteral("animace „%1“ neexistuje").arg(a.returnName));
        }
        info.animations.push_back(r);
        built.resources.emplace_back(quint16(a.resource), makeResource(a, info, assetsDir, compressor));
    }
    built.infoBlock = buildActorInfo(info);
    return built;
}

BuiltActor buildActorFile(const QString& descriptionPath, const QString& assetsDir)
{
    QFile f(descriptionPath);
    if (!f.open(QIODevice::ReadOnly))
        throw ActorSourceError(0, QStringLiteral("popis „%1“ nelze přečíst").arg(descriptionPath));
    return buildActor(f.readAll(), assetsDir);
}

namespace {

// Bytes as a C string literal: three-digit octal escapes cannot swallow a
// following digit, and C lets a literal fill its array without the
// terminating zero, so the symbol's size is the resource's size.
void appendBytes(QByteArray& out, const QByteArray& bytes)
{
    static const char digits[] = "01234567";
    out += "\n  \"";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i && i % 40 == 0)
            out += "\"\n  \"";
        const auto b = uchar(bytes[i]);
        out += '\\';
        out += digits[b >> 6];
        out += digits[(b >> 3) & 7];
        out += digits[b & 7];
    }
    out += "\"";
}

QByteArray commentSafe(const QString& text)
{
    return text.toUtf8().replace("*/", "* /");
}

} // namespace

QByteArray actorLibrarySource(const BuiltActor& actor, const QString& origin)
{
    QByteArray out;
    out += ActorSourceMarker;
    out += "\n/* The actor \"" + commentSafe(actor.info.name) + "\" from " + commentSafe(origin) + ". */\n\n";
    out += "#define EXPORT __attribute__((visibility(\"default\")))\n\n";
    out += "static const unsigned char actor_info[" + QByteArray::number(actor.infoBlock.size()) + "] =";
    appendBytes(out, actor.infoBlock);
    out += ";\n\nEXPORT const void* GetActorInfo(void)\n{\n    return actor_info;\n}\n";
    for (const auto& [id, bytes] : actor.resources) {
        out += "\nEXPORT const unsigned char " + DynamicLibrary::resourceSymbol(id) + "[" + QByteArray::number(bytes.size()) + "] =";
        appendBytes(out, bytes);
        out += ";\n";
    }
    return out;
}

} // namespace vedomec::tools
