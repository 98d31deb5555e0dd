#include "gradebook/Record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <pwd.h>
#include <unistd.h>

namespace vedomec::gradebook {
namespace {

// The format's mark; a reader refuses documents of another program and
// takes newer versions as far as it knows their keys.
const QString kFormat = QStringLiteral("vedomec-vysledek");
constexpr int kVersion = 1;

QString timeText(const QDateTime& t)
{
    if (!t.isValid())
        return QString();
    // With the offset, so the moment stays the same read on another machine.
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

// A field of a record; one that is missing or of another type reads as the
// empty value its reader makes of it, so a record of an older version that
// lacks a field still reads.
QJsonValue field(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key));
}

// The text fields, written and read alike; those of the result only in a
// finished record.
struct TTextField {
    const char* key;
    QString TResultRecord::*member;
};
const TTextField kTexts[] = {
    {"login", &TResultRecord::login},         {"fullName", &TResultRecord::fullName},
    {"computer", &TResultRecord::computer},   {"pupilName", &TResultRecord::pupilName},
    {"pupilClass", &TResultRecord::pupilClass}, {"testFile", &TResultRecord::testFile},
    {"testTitle", &TResultRecord::testTitle}, {"testKind", &TResultRecord::testKind},
    {"testType", &TResultRecord::testType},   {"timeLimit", &TResultRecord::timeLimit},
};
const TTextField kResultTexts[] = {
    {"percent", &TResultRecord::percent},
    {"grade", &TResultRecord::grade},
    {"wrongList", &TResultRecord::wrongList},
    {"correctList", &TResultRecord::correctList},
};

QDateTime timeOf(const QJsonValue& v)
{
    return QDateTime::fromString(v.toString(), Qt::ISODate);
}

} // namespace

int TResultRecord::gradeNumber() const
{
    if (!finished || grade.isEmpty())
        return 0;
    const QChar c = grade.at(0);
    return c >= u'1' && c <= u'5' ? c.unicode() - u'0' : 0;
}

std::optional<int> TResultRecord::percentValue() const
{
    bool ok = false;
    const int p = percent.toInt(&ok);
    if (!finished || !ok)
        return std::nullopt;
    return p;
}

QString TResultRecord::pupil() const
{
    if (!pupilName.isEmpty())
        return pupilName;
    return fullName.isEmpty() ? login : fullName;
}

QByteArray toJson(const TResultRecord& r)
{
    QJsonObject o;
    o[QStringLiteral("format")] = kFormat;
    o[QStringLiteral("version")] = kVersion;
    for (const TTextField& f : kTexts)
        o[QLatin1String(f.key)] = r.*f.member;
    o[QStringLiteral("uid")] = double(r.uid);
    o[QStringLiteral("started")] = timeText(r.started);
    o[QStringLiteral("ended")] = timeText(r.ended);
    o[QStringLiteral("elapsedSeconds")] = double(r.elapsedSeconds);
    o[QStringLiteral("timeRanOut")] = r.timeRanOut;
    o[QStringLiteral("finished")] = r.finished;
    if (r.finished) {
        o[QStringLiteral("questions")] = r.questions;
        o[QStringLiteral("right")] = r.right;
        o[QStringLiteral("wrong")] = r.wrong;
        for (const TTextField& f : kResultTexts)
            o[QLatin1String(f.key)] = r.*f.member;
    }
    QJsonArray answers;
    for (const TAnswer& a : r.answers) {
        QJsonObject q;
        q[QStringLiteral("given")] = a.given;
        q[QStringLiteral("correct")] = a.correct;
        q[QStringLiteral("right")] = a.right;
        answers.append(q);
    }
    o[QStringLiteral("answers")] = answers;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<TResultRecord> fromJson(const QByteArray& bytes, QString* error)
{
    auto fail = [&](const QString& why) -> std::optional<TResultRecord> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &pe);
    if (doc.isNull() || !doc.isObject())
        return fail(QStringLiteral("není to dokument JSON (%1)").arg(pe.errorString()));
    const QJsonObject o = doc.object();
    if (field(o, "format").toString() != kFormat)
        return fail(QStringLiteral("není to záznam o výsledku testu"));

    TResultRecord r;
    for (const TTextField& f : kTexts)
        r.*f.member = field(o, f.key).toString();
    r.uid = qint64(field(o, "uid").toDouble(-1));
    r.started = timeOf(field(o, "started"));
    r.ended = timeOf(field(o, "ended"));
    r.elapsedSeconds = qint64(field(o, "elapsedSeconds").toDouble());
    r.timeRanOut = field(o, "timeRanOut").toBool();
    r.finished = field(o, "finished").toBool();
    if (r.finished) {
        r.questions = field(o, "questions").toInt();
        r.right = field(o, "right").toInt();
        r.wrong = field(o, "wrong").toInt();
        for (const TTextField& f : kResultTexts)
            r.*f.member = field(o, f.key).toString();
    }
    for (const QJsonValue& v : field(o, "answers").toArray()) {
        const QJsonObject q = v.toObject();
        r.answers.append({field(q, "given").toString(), field(q, "correct").toString(), field(q, "right").toBool()});
    }
    if (r.login.isEmpty())
        return fail(QStringLiteral("záznam neuvádí, kdo test psal"));
    return r;
}

TAccount currentAccount()
{
    TAccount a;
    const uid_t uid = ::getuid();
    a.uid = qint64(uid);
    if (const passwd* pw = ::getpwuid(uid)) {
        a.login = QString::fromLocal8Bit(pw->pw_name);
        // gecos: "Full Name,room,phone,..."
        if (pw->pw_gecos)
            a.fullName = QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0).trimmed();
    }
    if (a.login.isEmpty())
        a.login = QString::number(a.uid);
    return a;
}

std::optional<qint64> uidOfLogin(const QString& login)
{
    if (login.isEmpty())
        return std::nullopt;
    const QByteArray name = login.toLocal8Bit();
    if (const passwd* pw = ::getpwnam(name.constData()))
        return qint64(pw->pw_uid);
    bool digits = false;
    const qint64 n = login.toLongLong(&digits);
    if (digits && n >= 0)
        return n;
    return std::nullopt;
}

} // namespace vedomec::gradebook
