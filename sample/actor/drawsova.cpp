// vedomec-drawsova FOLDER
//
// Draws Sova, the sample character of the assistant: a small owl in a
// graduation cap.  Writes one filmstrip per animation (8-bit PNG, frames
// side by side, magenta where nothing is drawn), three short sounds, and
// Sova.txt, the description from which vedomec-mkactor builds the actor
// library.  Everything is drawn with QPainter from the poses below, so the
// character has no source pictures of its own.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <numbers>
#include <vector>

namespace {

constexpr int FrameW = 120;
constexpr int FrameH = 128;
constexpr QRgb Key = 0xFFFF00FF;

// Everything a frame shows of the owl.
struct Pose {
    double x = 0, y = 0;        // the whole owl moves (pixels)
    double scale = 1;           // 0 = gone
    double squash = 0;          // > 0 wider and lower, < 0 stretched
    double lean = 0;            // body, degrees
    double headTilt = 0;        // head, degrees
    double eyeL = 1, eyeR = 1;  // 1 open, 0 closed
    double lookX = 0, lookY = 0;
    double wingL = 0, wingR = 0; // degrees away from the body; negative: in front
    double beak = 0;            // 0 shut, 1 open
    double notebook = 0;        // 0 none, 1 held in front
    double pencil = -1;         // < 0 none; else where on the line it writes
    double written = 0;         // lines already written, 0..3
    enum Prop { None, Question, Bulb, Exclaim, Zzz, Sparkle } prop = None;
    double propT = 0;           // 0..1: how far the prop has come
    QPointF propAt {0, 0};
};

const QColor Body(0x8a, 0x5a, 0x2e);
const QColor BodyDark(0x4a, 0x2c, 0x12);
const QColor Wing(0x6e, 0x43, 0x20);
const QColor Belly(0xf0, 0xdd, 0xb4);
const QColor BellyMark(0xc4, 0x9c, 0x6a);
const QColor Face(0xf6, 0xeb, 0xd0);
const QColor Iris(0xe8, 0xa8, 0x30);
const QColor Pupil(0x22, 0x1a, 0x14);
const QColor Beak(0xe8, 0x90, 0x2a);
const QColor Cap(0x1e, 0x2a, 0x44);
const QColor Gold(0xe8, 0xb9, 0x23);

void drawWing(QPainter& p, QPointF pivot, double angle, bool left)
{
    p.save();
    p.translate(pivot);
    p.rotate(left ? angle : -angle);
    QPainterPath wing;
    wing.moveTo(0, -2);
    wing.cubicTo(left ? -13 : 13, 6, left ? -12 : 12, 26, 0, 32);
    wing.cubicTo(left ? 6 : -6, 24, left ? 7 : -7, 8, 0, -2);
    p.setPen(QPen(BodyDark, 1.6));
    p.setBrush(Wing);
    p.drawPath(wing);
    p.setPen(QPen(Body.lighter(125), 1.2));
    for (int i = 0; i < 3; ++i) {
        const double y = 12 + i * 6;
        p.drawLine(QPointF(left ? -6 : 6, y), QPointF(left ? -1 : 1, y + 5));
    }
    p.restore();
}

void drawEye(QPainter& p, QPointF c, double open, double lookX, double lookY)
{
    if (open <= 0.05) {
        // Shut: a calm curve of lashes.
        p.setPen(QPen(BodyDark, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - 8, c.y() - 6, 16, 10), 200 * 16, 140 * 16);
        return;
    }
    p.setPen(QPen(BodyDark, 1.2));
    p.setBrush(Qt::white);
    p.drawEllipse(c, 10, 10);
    const QPointF iris = c + QPointF(lookX * 3.2, lookY * 3.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Iris);
    p.drawEllipse(iris, 6.5, 6.5);
    p.setBrush(Pupil);
    p.drawEllipse(iris, 4, 4);
    p.setBrush(Qt::white);
    p.drawEllipse(iris + QPointF(-1.8, -1.8), 1.6, 1.6);
    if (open < 1) {
        // The lid comes down from the top of the eye.
        p.save();
        QPainterPath eye;
        eye.addEllipse(c, 10.6, 10.6);
        p.setClipPath(eye);
        const double bottom = c.y() - 10.6 + 21.2 * (1 - open);
        p.setBrush(Body);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(c.x() - 11, c.y() - 11, 22, bottom - (c.y() - 11)));
        p.setPen(QPen(BodyDark, 1.6));
        p.drawLine(QPointF(c.x() - 11, bottom), QPointF(c.x() + 11, bottom));
        p.restore();
    }
}

void drawHead(QPainter& p, const Pose& s)
{
    p.save();
    p.translate(0, -58);
    p.rotate(s.headTilt);
    p.translate(0, 58);
    // Head and ear tufts.
    p.setPen(QPen(BodyDark, 2));
    p.setBrush(Body);
    p.drawEllipse(QPointF(0, -76), 28, 26);
    // Face disc.
    p.setPen(Qt::NoPen);
    p.setBrush(Face);
    p.drawEllipse(QPointF(-12, -76), 14.5, 15);
    p.drawEllipse(QPointF(12, -76), 14.5, 15);
    drawEye(p, QPointF(-12, -78), s.eyeL, s.lookX, s.lookY);
    drawEye(p, QPointF(12, -78), s.eyeR, s.lookX, s.lookY);
    // Beak.
    p.setPen(QPen(BodyDark, 1));
    p.setBrush(Beak);
    const double open = s.beak * 4;
    p.drawPolygon(QPolygonF({QPointF(-5, -70), QPointF(5, -70), QPointF(0, -62 - open * 0.3)}));
    if (open > 0) {
        p.setBrush(Beak.darker(130));
        p.drawPolygon(QPolygonF({QPointF(-3.5, -64 + open * 0.2), QPointF(3.5, -64 + open * 0.2), QPointF(0, -59 + open)}));
    }
    // The graduation cap.
    p.setPen(QPen(Cap.darker(150), 1));
    p.setBrush(Cap);
    p.drawRect(QRectF(-15, -102, 30, 9));
    p.drawPolygon(QPolygonF({QPointF(-31, -101), QPointF(0, -111), QPointF(31, -101), QPointF(0, -92)}));
    p.setPen(QPen(Gold, 1.8));
    p.drawLine(QPointF(0, -101), QPointF(24, -99));
    p.drawLine(QPointF(24, -99), QPointF(25, -86));
    p.setPen(Qt::NoPen);
    p.setBrush(Gold);
    p.drawEllipse(QPointF(25, -85), 2.6, 3.2);
    p.restore();
}

void drawNotebook(QPainter& p, const Pose& s)
{
    p.save();
    p.translate(0, -30);
    p.rotate(-6);
    p.setPen(QPen(QColor(0x50, 0x50, 0x60), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(-15, -11, 30, 22));
    p.setPen(QPen(QColor(0x90, 0xb0, 0xe0), 1));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(-12, -5 + i * 6), QPointF(12, -5 + i * 6));
    // What is written so far: wavy strokes on the lines.
    p.setPen(QPen(QColor(0x30, 0x30, 0x40), 1.2));
    for (int line = 0; line < 3; ++line) {
        const double amount = std::clamp(s.written - line, 0.0, 1.0);
        if (amount <= 0)
            break;
        QPainterPath scribble;
        const double y = -6.5 + line * 6;
        scribble.moveTo(-11, y);
        for (double x = -11; x <= -11 + 22 * amount; x += 2)
            scribble.lineTo(x, y + ((int(x) & 2) ? -1.5 : 0.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(scribble);
    }
    if (s.pencil >= 0) {
        const double line = std::min(2.0, std::floor(s.written));
        const QPointF tip(-11 + 22 * s.pencil, -6.5 + line * 6);
        p.save();
        p.translate(tip);
        p.rotate(-35);
        p.setPen(QPen(QColor(0x40, 0x30, 0x20), 1));
        p.setBrush(QColor(0xf2, 0xc2, 0x30));
        p.drawRect(QRectF(3, -2, 20, 4));
        p.setBrush(QColor(0xf0, 0x90, 0x90));
        p.drawRect(QRectF(23, -2, 4, 4));
        p.setBrush(QColor(0xe8, 0xd0, 0xa8));
        p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(3, -2), QPointF(3, 2)}));
        p.restore();
    }
    p.restore();
}

void drawOwl(QPainter& p, const Pose& s)
{
    if (s.scale <= 0.01)
        return;
    p.save();
    p.translate(FrameW / 2.0 + s.x, FrameH - 4 + s.y);
    const double base = 0.88 * s.scale;
    p.scale(base * (1 + s.squash * 0.6), base * (1 - s.squash));
    p.rotate(s.lean);

    // Feet.
    p.setPen(QPen(Beak.darker(140), 1.2));
    p.setBrush(Beak);
    p.drawEllipse(QPointF(-11, -3), 8, 4.5);
    p.drawEllipse(QPointF(11, -3), 8, 4.5);
    // Body and belly with its feather marks.
    p.setPen(QPen(BodyDark, 2));
    p.setBrush(Body);
    p.drawEllipse(QPointF(0, -38), 31, 36);
    p.setPen(Qt::NoPen);
    p.setBrush(Belly);
    p.drawEllipse(QPointF(0, -32), 21, 25);
    p.setPen(QPen(BellyMark, 1.3));
    p.setBrush(Qt::NoBrush);
    for (int row = 0; row < 4; ++row) {
        const double y = -46 + row * 8;
        const int n = row == 0 || row == 3 ? 3 : 4;
        for (int i = 0; i < n; ++i) {
            const double x = (i - (n - 1) / 2.0) * 9;
            p.drawArc(QRectF(x - 3, y - 3, 6, 6), 200 * 16, 140 * 16);
        }
    }
    if (s.notebook > 0)
        drawNotebook(p, s);
    drawWing(p, QPointF(-27, -52), s.wingL, true);
    drawWing(p, QPointF(27, -52), s.wingR, false);
    drawHead(p, s);
    p.restore();
}

void drawProp(QPainter& p, const Pose& s)
{
    if (s.prop == Pose::None || s.propT <= 0)
        return;
    const double t = std::clamp(s.propT, 0.0, 1.0);
    p.save();
    p.translate(s.propAt);
    p.scale(0.4 + 0.6 * t, 0.4 + 0.6 * t);
    switch (s.prop) {
    case Pose::Question: {
        p.setPen(QPen(QColor(0x2f, 0x6f, 0xd0), 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath hook;
        hook.moveTo(-6, -8);
        hook.cubicTo(-6, -16, 7, -16, 7, -8);
        hook.cubicTo(7, -3, 0, -3, 0, 3);
        p.drawPath(hook);
        p.drawPoint(QPointF(0, 10));
        break;
    }
    case Pose::Bulb: {
        if (t >= 1) {
            p.setPen(QPen(QColor(0xff, 0xd0, 0x40), 2, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 7; ++i) {
                const double a = (200 + i * 23.3) * std::numbers::pi / 180;
                p.drawLine(QPointF(std::cos(a) * 12, std::sin(a) * 12 - 2), QPointF(std::cos(a) * 16, std::sin(a) * 16 - 2));
            }
        }
        p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1.2));
        p.setBrush(QColor(0xff, 0xe8, 0x60));
        p.drawEllipse(QPointF(0, -2), 8, 8);
        p.setBrush(QColor(0x90, 0x90, 0x98));
        p.drawRect(QRectF(-4, 5, 8, 6));
        break;
    }
    case Pose::Exclaim:
        p.setPen(QPen(QColor(0xd0, 0x30, 0x30), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, -12), QPointF(0, 2));
        p.drawPoint(QPointF(0, 10));
        break;
    case Pose::Zzz: {
        p.setPen(QPen(QColor(0x50, 0x70, 0xc0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (int i = 0; i < 3; ++i) {
            const double size = 4 + i * 2;
            const QPointF o(i * 9, -i * 9 - t * 4);
            p.drawPolyline(QPolygonF({o + QPointF(-size / 2, -size / 2), o + QPointF(size / 2, -size / 2),
                                      o + QPointF(-size / 2, size / 2), o + QPointF(size / 2, size / 2)}));
        }
        break;
    }
    case Pose::Sparkle: {
        p.setPen(Qt::NoPen);
        p.setBrush(Gold);
        QPainterPath star;
        star.moveTo(0, -10);
        star.quadTo(0, 0, 10, 0);
        star.quadTo(0, 0, 0, 10);
        star.quadTo(0, 0, -10, 0);
        star.quadTo(0, 0, 0, -10);
        p.drawPath(star);
        break;
    }
    case Pose::None:
        break;
    }
    p.restore();
}

// A frame: drawn smooth, then cut to a hard outline so that the stage's
// shape has no half-transparent fringe.
QImage drawFrame(const Pose& s)
{
    QImage img(FrameW, FrameH, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawOwl(p, s);
    drawProp(p, s);
    p.end();
    img = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = qAlpha(line[x]) < 128 ? Key : (line[x] | 0xFF000000);
    }
    return img;
}

// At most 255 colours plus the key: the most frequent ones, the rest
// mapped to the nearest of them.
QImage toIndexed(const QImage& strip)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < strip.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
        for (int x = 0; x < strip.width(); ++x)
            if (line[x] != Key)
                ++counts[line[x]];
    }
    std::vector<std::pair<int, QRgb>> byCount;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        byCount.emplace_back(-it.value(), it.key());
    std::sort(byCount.begin(), byCount.end());
    QList<QRgb> table {Key};
    for (size_t i = 0; i < byCount.size() && table.size() < 256; ++i)
        table << byCount[i].second;
    QHash<QRgb, int> nearest;
    auto indexOf = [&](QRgb c) {
        if (c == Key)
            return 0;
        auto it = nearest.constFind(c);
        if (it != nearest.cend())
            return it.value();
        int best = 1;
        int bestDistance = INT_MAX;
        for (int i = 1; i < table.size(); ++i) {
            const int dr = qRed(c) - qRed(table[i]), dg = qGreen(c) - qGreen(table[i]), db = qBlue(c) - qBlue(table[i]);
            const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        nearest.insert(c, best);
        return best;
    };
    QImage out(strip.size(), QImage::Format_Indexed8);
    out.setColorTable(table);
    for (int y = 0; y < strip.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
        uchar* px = out.scanLine(y);
        for (int x = 0; x < strip.width(); ++x)
            px[x] = uchar(indexOf(in[x]));
    }
    return out;
}

struct Frame {
    Pose pose;
    int duration;
};

struct Animation {
    QString name;
    QList<int> states;
    QString kind;          // "", "návrat", "východy"
    QString returnName;
    std::vector<Frame> frames;
    std::map<int, QString> branches, exits, sounds;

    Animation(const QString& n, const QList<int>& s, const QString& k = {}, const QString& r = {})
        : name(n), states(s), kind(k), returnName(r)
    {
    }
    Animation& add(const Pose& p, int duration)
    {
        frames.push_back({p, duration});
        return *this;
    }
};

Pose with(Pose p, const std::function<void(Pose&)>& change)
{
    change(p);
    return p;
}

// ---- The animations -------------------------------------------------------

std::vector<Animation> animations()
{
    std::vector<Animation> list;
    const Pose rest;

    {   // Coming on stage: pops up, then waves.
        Animation a {QStringLiteral("Show"), {44}};
        for (double s : {0.15, 0.45, 0.8, 1.1, 0.95})
            a.add(with(rest, [&](Pose& p) { p.scale = s; p.eyeL = p.eyeR = s > 0.9 ? 1 : 0.4; }), 4);
        a.add(rest, 6);
        for (double w : {100, 135, 100, 135, 100})
            a.add(with(rest, [&](Pose& p) { p.wingR = w; p.beak = 0.6; }), 8);
        a.add(rest, 10);
        a.sounds[0] = QStringLiteral("pop.wav");
        list.push_back(a);
    }
    {   // Leaving: waves, then shrinks away.
        Animation a {QStringLiteral("Hide"), {24}};
        for (double w : {100, 135, 100})
            a.add(with(rest, [&](Pose& p) { p.wingR = w; }), 8);
        for (double s : {1.0, 0.8, 0.55, 0.3, 0.1})
            a.add(with(rest, [&](Pose& p) { p.scale = s; p.eyeL = p.eyeR = 0.3; }), 4);
        a.add(with(rest, [](Pose& p) { p.scale = 0; }), 10);
        list.push_back(a);
    }
    {   // Idle, level 1: a blink.
        Animation a {QStringLiteral("Blink"), {25}};
        a.add(rest, 60);
        for (double e : {0.5, 0.0, 0.5})
            a.add(with(rest, [&](Pose& p) { p.eyeL = p.eyeR = e; }), 4);
        a.add(rest, 40);
        list.push_back(a);
    }
    {   // Idle, level 1: looks to one side or the other, as chance has it.
        Animation a {QStringLiteral("LookAround"), {25}};
        a.add(rest, 20);
        a.add(with(rest, [](Pose& p) { p.lookX = -1; p.headTilt = -6; }), 50);
        a.add(with(rest, [](Pose& p) { p.lookX = -1; p.headTilt = -6; p.eyeL = p.eyeR = 0.2; }), 5);
        a.add(with(rest, [](Pose& p) { p.lookX = 1; p.headTilt = 6; }), 50);
        a.add(with(rest, [](Pose& p) { p.lookX = 1; p.headTilt = 6; p.eyeL = p.eyeR = 0.2; }), 5);
        a.add(rest, 20);
        a.branches[0] = QStringLiteral("50 -> 1, 50 -> 3");
        a.branches[2] = QStringLiteral("100 -> 5");
        list.push_back(a);
    }
    {   // Idle, level 2: stretches its wings and yawns.
        Animation a {QStringLiteral("Stretch"), {26}};
        for (double w : {30, 70, 110, 140})
            a.add(with(rest, [&](Pose& p) { p.wingL = p.wingR = w; p.squash = -w / 1400; }), 6);
        a.add(with(rest, [](Pose& p) { p.wingL = p.wingR = 140; p.squash = -0.1; p.beak = 1; p.eyeL = p.eyeR = 0.2; }), 40);
        for (double w : {110, 70, 30, 0})
            a.add(with(rest, [&](Pose& p) { p.wingL = p.wingR = w; p.eyeL = p.eyeR = 0.6 + (110 - w) / 300; }), 6);
        a.add(rest, 30);
        list.push_back(a);
    }
    {   // Idle, level 2: tilts its head, curious.
        Animation a {QStringLiteral("HeadTilt"), {26}};
        for (double t : {6, 12, 16})
            a.add(with(rest, [&](Pose& p) { p.headTilt = t; p.lookY = -0.3; }), 5);
        a.add(with(rest, [](Pose& p) { p.headTilt = 16; p.lookY = -0.3; }), 50);
        a.add(with(rest, [](Pose& p) { p.headTilt = 16; p.eyeL = p.eyeR = 0; }), 5);
        for (double t : {10, 0, -10, -16})
            a.add(with(rest, [&](Pose& p) { p.headTilt = t; }), 5);
        a.add(with(rest, [](Pose& p) { p.headTilt = -16; }), 40);
        for (double t : {-10, -4})
            a.add(with(rest, [&](Pose& p) { p.headTilt = t; }), 5);
        a.add(rest, 20);
        list.push_back(a);
    }
    {   // Idle, level 3: nods off and sleeps until it is woken (through the
        // exits: the sleeping frames loop for ever).
        Animation a {QStringLiteral("Sleep"), {27}};
        for (double e : {0.7, 0.4, 0.15})
            a.add(with(rest, [&](Pose& p) { p.eyeL = p.eyeR = e; p.headTilt = (0.7 - e) * 14; }), 12);
        for (int i = 0; i < 3; ++i)
            a.add(with(rest, [&](Pose& p) {
                p.eyeL = p.eyeR = 0;
                p.headTilt = 8;
                p.squash = i == 1 ? 0.02 : 0;
                p.prop = Pose::Zzz;
                p.propT = 0.6 + i * 0.2;
                p.propAt = QPointF(88, 34);
            }), 30);
        a.branches[5] = QStringLiteral("100 -> 3");
        for (int f : {3, 4, 5})
            a.exits[f] = QStringLiteral("6");
        a.add(with(rest, [](Pose& p) { p.eyeL = p.eyeR = 1; p.y = -5; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 10);
        a.add(with(rest, [](Pose& p) { p.eyeL = p.eyeR = 1; p.lookX = 0.5; }), 20);
        a.add(rest, 10);
        list.push_back(a);
    }

    // Pointing at the balloon: below, right, left, above.
    struct Way {
        const char* name;
        int state;
        double lookX, lookY;
        bool leftWing;
        double angle;
    };
    const Way ways[] = {{"PointDown", 11, 0, 1, false, 35},  {"PointRight", 12, 1, 0, false, 95},
                        {"PointLeft", 13, -1, 0, true, 95}, {"PointUp", 14, 0, -1, false, 150}};
    for (const Way& w : ways) {
        Animation a {QString::fromLatin1(w.name), {w.state}};
        for (double k : {0.35, 0.7, 1.0})
            a.add(with(rest, [&](Pose& p) {
                p.lookX = w.lookX * k;
                p.lookY = w.lookY * k;
                (w.leftWing ? p.wingL : p.wingR) = w.angle * k;
            }), 5);
        a.add(with(rest, [&](Pose& p) {
            p.lookX = w.lookX;
            p.lookY = w.lookY;
            (w.leftWing ? p.wingL : p.wingR) = w.angle * 0.85;
            p.beak = 0.5;
        }), 12);
        a.add(with(rest, [&](Pose& p) { p.lookX = w.lookX; p.lookY = w.lookY; (w.leftWing ? p.wingL : p.wingR) = w.angle; }), 40);
        a.add(with(rest, [&](Pose& p) { p.lookX = w.lookX * 0.5; p.lookY = w.lookY * 0.5; (w.leftWing ? p.wingL : p.wingR) = w.angle * 0.4; }), 6);
        a.add(rest, 10);
        list.push_back(a);
    }
    // The same for the tips balloon, with a spark of an idea.
    const Way tips[] = {{"TipDown", 17, 0, 1, true, 35}, {"TipRight", 18, 1, 0, false, 95},
                        {"TipLeft", 19, -1, 0, true, 95}, {"TipUp", 20, 0, -1, true, 150}};
    for (const Way& w : tips) {
        Animation a {QString::fromLatin1(w.name), {w.state}};
        const QPointF spark(w.lookX > 0 ? 104 : w.lookX < 0 ? 16 : 96, w.lookY > 0 ? 100 : 20);
        for (double k : {0.5, 1.0})
            a.add(with(rest, [&](Pose& p) {
                p.lookX = w.lookX * k;
                p.lookY = w.lookY * k;
                (w.leftWing ? p.wingL : p.wingR) = w.angle * k;
                p.prop = Pose::Sparkle;
                p.propT = k;
                p.propAt = spark;
            }), 6);
        a.add(with(rest, [&](Pose& p) {
            p.lookX = w.lookX;
            p.lookY = w.lookY;
            (w.leftWing ? p.wingL : p.wingR) = w.angle;
            p.prop = Pose::Sparkle;
            p.propT = 0.7;
            p.propAt = spark;
        }), 30);
        a.add(with(rest, [&](Pose& p) { p.lookX = w.lookX; p.lookY = w.lookY; (w.leftWing ? p.wingL : p.wingR) = w.angle; }), 20);
        a.add(rest, 10);
        list.push_back(a);
    }

    {   // Found the keyword: an idea, and a nod.
        Animation a {QStringLiteral("Explain"), {6}};
        for (double t : {0.3, 0.7, 1.0})
            a.add(with(rest, [&](Pose& p) { p.prop = Pose::Bulb; p.propT = t; p.propAt = QPointF(22, 20); p.lookX = -0.5 * t; p.lookY = -0.7 * t; }), 5);
        a.add(with(rest, [](Pose& p) { p.prop = Pose::Bulb; p.propT = 1; p.propAt = QPointF(22, 20); p.wingR = 70; p.beak = 0.7; }), 25);
        for (double t : {8, 0, 8, 0})
            a.add(with(rest, [&](Pose& p) { p.headTilt = 0; p.y = t / 4; p.wingR = 50 + t * 3; p.beak = t > 0 ? 0.5 : 0; }), 8);
        a.add(rest, 10);
        list.push_back(a);
    }
    {   // Found the same keyword again: a knowing wink.
        Animation a {QStringLiteral("ExplainAgain"), {38}};
        a.add(with(rest, [](Pose& p) { p.lookX = 0.3; }), 10);
        a.add(with(rest, [](Pose& p) { p.eyeR = 0.4; p.headTilt = 5; }), 4);
        a.add(with(rest, [](Pose& p) { p.eyeR = 0; p.headTilt = 8; p.wingR = 60; p.beak = 0.4; }), 35);
        a.add(with(rest, [](Pose& p) { p.eyeR = 0.5; p.headTilt = 4; p.wingR = 30; }), 5);
        a.add(rest, 10);
        list.push_back(a);
    }
    {   // Found nothing: puzzled, and a return animation puts it right.
        Animation a {QStringLiteral("Confused"), {5}, QStringLiteral("návrat"), QStringLiteral("ConfusedReturn")};
        for (double t : {0.35, 0.7, 1.0})
            a.add(with(rest, [&](Pose& p) {
                p.headTilt = 14 * t;
                p.wingL = p.wingR = 55 * t;
                p.lookY = -0.6 * t;
                p.prop = Pose::Question;
                p.propT = t;
                p.propAt = QPointF(98, 22);
            }), 6);
        a.add(with(rest, [](Pose& p) { p.headTilt = 14; p.wingL = p.wingR = 55; p.lookY = -0.6; p.prop = Pose::Question; p.propT = 1; p.propAt = QPointF(98, 22); }), 45);
        list.push_back(a);

        Animation back {QStringLiteral("ConfusedReturn"), {}};
        for (double t : {0.7, 0.35})
            back.add(with(rest, [&](Pose& p) { p.headTilt = 14 * t; p.wingL = p.wingR = 55 * t; p.prop = Pose::Question; p.propT = t - 0.3; p.propAt = QPointF(98, 22); }), 6);
        back.add(rest, 10);
        list.push_back(back);
    }
    {   // Found nothing again: shakes its head.
        Animation a {QStringLiteral("ConfusedAgain"), {7}};
        for (double t : {-12, 12, -12, 12, -6, 0})
            a.add(with(rest, [&](Pose& p) { p.headTilt = t; p.eyeL = p.eyeR = 0.6; p.prop = Pose::Question; p.propT = 1; p.propAt = QPointF(98, 22); }), 7);
        a.add(with(rest, [](Pose& p) { p.wingL = p.wingR = 40; p.eyeL = p.eyeR = 0.6; }), 30);
        a.add(rest, 10);
        list.push_back(a);
    }
    {   // The tips balloon opens: a bright idea.
        Animation a {QStringLiteral("Idea"), {53}};
        for (double t : {0.3, 0.7, 1.0})
            a.add(with(rest, [&](Pose& p) { p.prop = Pose::Bulb; p.propT = t; p.propAt = QPointF(98, 20); p.lookX = 0.6 * t; p.lookY = -0.7 * t; p.wingR = 100 * t; }), 5);
        a.add(with(rest, [](Pose& p) { p.prop = Pose::Bulb; p.propT = 1; p.propAt = QPointF(98, 20); p.wingR = 130; p.y = -4; p.squash = -0.03; }), 12);
        a.add(with(rest, [](Pose& p) { p.prop = Pose::Bulb; p.propT = 1; p.propAt = QPointF(98, 20); p.wingR = 100; p.beak = 0.6; }), 35);
        a.add(rest, 10);
        list.push_back(a);
    }
    {   // Writing down what the user types: takes out a notebook ...
        Animation a {QStringLiteral("Write"), {}};
        for (double t : {0.3, 0.6, 1.0})
            a.add(with(rest, [&](Pose& p) { p.wingL = p.wingR = -30 * t; p.notebook = t; p.lookY = 0.6 * t; }), 6);
        a.add(with(rest, [](Pose& p) { p.wingL = p.wingR = -30; p.notebook = 1; p.pencil = 0; p.lookY = 0.8; }), 8);
        list.push_back(a);

        // ... writes a line or more ...
        Animation more {QStringLiteral("WriteContinued"), {}};
        for (int i = 0; i < 6; ++i)
            more.add(with(rest, [&](Pose& p) {
                p.wingL = -30;
                p.wingR = -30 + (i % 2) * 6;
                p.notebook = 1;
                p.written = (i + 1) / 2.0;
                p.pencil = std::fmod((i + 1) / 2.0, 1.0);
                p.lookY = 0.8;
                p.lookX = -0.3 + 0.6 * p.pencil;
            }), 7);
        more.sounds[0] = QStringLiteral("scratch.wav");
        list.push_back(more);

        // ... and puts it away.
        Animation back {QStringLiteral("WriteReturn"), {}};
        for (double t : {1.0, 0.6, 0.3})
            back.add(with(rest, [&](Pose& p) { p.wingL = p.wingR = -30 * t; p.notebook = t; p.written = 3 * t; p.lookY = 0.6 * t; }), 6);
        back.add(rest, 10);
        list.push_back(back);
    }
    {   // Getting the user's attention: hops and hoots ...
        Animation a {QStringLiteral("GetAttention"), {}};
        a.add(with(rest, [](Pose& p) { p.squash = 0.08; p.wingL = p.wingR = 20; }), 5);
        a.add(with(rest, [](Pose& p) { p.y = -10; p.squash = -0.06; p.wingL = p.wingR = 120; p.beak = 1; p.prop = Pose::Exclaim; p.propT = 0.6; p.propAt = QPointF(98, 22); }), 8);
        a.add(with(rest, [](Pose& p) { p.y = -6; p.wingL = p.wingR = 70; p.beak = 1; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 8);
        a.add(with(rest, [](Pose& p) { p.squash = 0.06; p.wingL = p.wingR = 110; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 6);
        a.add(with(rest, [](Pose& p) { p.wingL = p.wingR = 110; p.beak = 0.4; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 25);
        a.sounds[1] = QStringLiteral("hoot.wav");
        list.push_back(a);

        // ... and once more ...
        Animation more {QStringLiteral("GetAttentionContinued"), {}};
        for (int i = 0; i < 2; ++i) {
            more.add(with(rest, [](Pose& p) { p.squash = 0.08; p.wingL = p.wingR = 110; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 5);
            more.add(with(rest, [](Pose& p) { p.y = -10; p.squash = -0.06; p.wingL = p.wingR = 140; p.beak = 1; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 8);
            more.add(with(rest, [](Pose& p) { p.wingL = p.wingR = 110; p.prop = Pose::Exclaim; p.propT = 1; p.propAt = QPointF(98, 22); }), 8);
        }
        more.sounds[1] = QStringLiteral("hoot.wav");
        list.push_back(more);

        // ... then settles down again.
        Animation back {QStringLiteral("GetAttentionReturn"), {}};
        for (double t : {0.7, 0.35})
            back.add(with(rest, [&](Pose& p) { p.wingL = p.wingR = 110 * t; p.prop = Pose::Exclaim; p.propT = t - 0.3; p.propAt = QPointF(98, 22); }), 6);
        back.add(rest, 10);
        list.push_back(back);
    }
    return list;
}

// ---- Sounds ---------------------------------------------------------------

QByteArray wav(double seconds, const std::function<double(double)>& wave)
{
    constexpr int Rate = 11025;
    const int n = int(seconds * Rate);
    QByteArray pcm;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / Rate;
        const double edge = std::min({1.0, t / 0.01, (seconds - t) / 0.01});
        pcm.append(char(uchar(std::lround(128 + 100 * std::clamp(wave(t) * edge, -1.0, 1.0)))));
    }
    auto put = [](QByteArray& b, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    QByteArray b("RIFF");
    put(b, quint32(36 + pcm.size()), 4);
    b.append("WAVEfmt ");
    put(b, 16, 4);
    put(b, 1, 2);     // PCM
    put(b, 1, 2);     // mono
    put(b, Rate, 4);
    put(b, Rate, 4);  // bytes per second
    put(b, 1, 2);     // block align
    put(b, 8, 2);     // bits per sample
    b.append("data");
    put(b, quint32(pcm.size()), 4);
    b.append(pcm);
    return b;
}

constexpr double Pi = std::numbers::pi;

QByteArray hoot()
{
    // "Hoo-hoo": two soft falling notes.
    return wav(0.5, [](double t) {
        const bool second = t > 0.24;
        const double local = second ? t - 0.26 : t;
        if (local < 0)
            return 0.0;
        const double f = (second ? 360 : 420) - local * 120;
        return std::sin(2 * Pi * f * t) * std::sin(Pi * std::min(1.0, local / 0.22)) * 0.9;
    });
}

QByteArray pop()
{
    return wav(0.09, [](double t) { return std::sin(2 * Pi * (300 + 4000 * t) * t) * std::exp(-t * 30); });
}

QByteArray scratch()
{
    unsigned seed = 7;
    return wav(0.18, [&seed](double t) {
        seed = seed * 1103515245u + 12345u;
        const double noise = double((seed >> 16) & 0x7FFF) / 16384.0 - 1.0;
        return noise * 0.35 * (0.5 + 0.5 * std::sin(2 * Pi * 22 * t));
    });
}

bool save(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Použití: vedomec-drawsova SLOŽKA\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "vedomec-drawsova: složku nelze vytvořit\n");
        return 1;
    }

    QString text;
    QTextStream d(&text);
    d << "# Sova, the sample character: made by vedomec-drawsova.\n"
      << "Herec: Sova\n"
      << "Snímek: " << FrameW << " x " << FrameH << "\n";
    int resource = 101;
    for (const Animation& a : animations()) {
        QImage strip(FrameW * int(a.frames.size()), FrameH, QImage::Format_ARGB32);
        QPainter p(&strip);
        for (size_t i = 0; i < a.frames.size(); ++i)
            p.drawImage(int(i) * FrameW, 0, drawFrame(a.frames[i].pose));
        p.end();
        const QString file = a.name.toLower() + QStringLiteral(".png");
        if (!toIndexed(strip).save(dir.filePath(file), "PNG")) {
            std::fprintf(stderr, "vedomec-drawsova: %s nelze zapsat\n", qPrintable(file));
            return 1;
        }
        d << "\nAnimace: " << a.name << "\n";
        if (!a.states.isEmpty()) {
            QStringList states;
            for (int s : a.states)
                states << QString::number(s);
            d << "Stavy: " << states.join(QStringLiteral(", ")) << "\n";
        }
        if (!a.kind.isEmpty())
            d << "Druh: " << a.kind << "\n";
        if (!a.returnName.isEmpty())
            d << "Návrat: " << a.returnName << "\n";
        d << "Zdroj: " << resource++ << "\n"
          << "Pás: " << file << "\n"
          << "Průhledná: #FF00FF\n"
          << "Doby:";
        for (const Frame& f : a.frames)
            d << " " << f.duration;
        d << "\n";
        for (const auto& [frame, value] : a.branches)
            d << "Větev " << frame << ": " << value << "\n";
        for (const auto& [frame, value] : a.exits)
            d << "Východ " << frame << ": " << value << "\n";
        for (const auto& [frame, value] : a.sounds)
            d << "Zvuk " << frame << ": " << value << "\n";
    }
    d.flush();
    if (!save(dir.filePath(QStringLiteral("hoot.wav")), hoot()) || !save(dir.filePath(QStringLiteral("pop.wav")), pop())
        || !save(dir.filePath(QStringLiteral("scratch.wav")), scratch())
        || !save(dir.filePath(QStringLiteral("Sova.txt")), text.toUtf8())) {
        std::fprintf(stderr, "vedomec-drawsova: soubory nelze zapsat\n");
        return 1;
    }
    return 0;
}
