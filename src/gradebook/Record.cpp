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
    o[QStringLiteral("login")] = r.login;
    o[QStringLiteral("fullName")] = r.fullName;
    o[QStringLiteral("uid")] = double(r.uid);
    o[QStringLiteral("computer")] = r.computer;
    o[QStringLiteral("pupilName")] = r.pupilName;
    o[QStringLiteral("pupilClass")] = r.pupilClass;
    o[QStringLiteral("testFile")] = r.testFile;
    o[QStringLiteral("testTitle")] = r.testTitle;
    o[QStringLiteral("testKind")] = r.testKind;
    o[QStringLiteral("testType")] = r.testType;
    o[QStringLiteral("started")] = timeText(r.started);
    o[QStringLiteral("ended")] = timeText(r.ended);
    o[QStringLiteral("elapsedSeconds")] = double(r.elapsedSeconds);
    o[QStringLiteral("timeLimit")] = r.timeLimit;
    o[QStringLiteral("timeRanOut")] = r.timeRanOut;
    o[QStringLiteral("finished")] = r.finished;
    if (r.finished) {
        o[QStringLiteral("questions")] = r.questions;
        o[QStringLiteral("right")] = r.right;
        o[QStringLiteral("wrong")] = r.wrong;
        o[QStringLiteral("percent")] = r.percent;
        o[QStringLiteral("grade")] = r.grade;
        o[QStringLiteral("wrongList")] = r.wrongList;
        o[QStringLiteral("correctList")] = r.correctList;
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
    if (o.value(QStringLiteral("format")).toString() != kFormat)
        return fail(QStringLiteral("není to záznam o výsledku testu"));

    TResultRecord r;
    auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
    r.login = text("login");
    r.fullName = text("fullName");
    r.uid = qint64(o.value(QStringLiteral("uid")).toDouble(-1));
    r.computer = text("computer");
    r.pupilName = text("pupilName");
    r.pupilClass = text("pupilClass");
    r.testFile = text("testFile");
    r.testTitle = text("testTitle");
    r.testKind = text("testKind");
    r.testType = text("testType");
    r.started = timeOf(o.value(QStringLiteral("started")));
    r.ended = timeOf(o.value(QStringLiteral("ended")));
    r.elapsedSeconds = qint64(o.value(QStringLiteral("elapsedSeconds")).toDouble());
    r.timeLimit = text("timeLimit");
    r.timeRanOut = o.value(QStringLiteral("timeRanOut")).toBool();
    r.finished = o.value(QStringLiteral("finished")).toBool();
    if (r.finished) {
        r.questions = o.value(QStringLiteral("questions")).toInt();
        r.right = o.value(QStringLiteral("right")).toInt();
        r.wrong = o.value(QStringLiteral("wrong")).toInt();
        r.percent = text("percent");
        r.grade = text("grade");
        r.wrongList = text("wrongList");
        r.correctList = text("correctList");
    }
    for (const QJsonValue& v : o.value(QStringLiteral("answers")).toArray()) {
        const QJsonObject q = v.toObject();
        r.answers.append({q.value(QStringLiteral("given")).toString(), q.value(QStringLiteral("correct")).toString(),
                          q.value(QStringLiteral("right")).toBool()});
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
