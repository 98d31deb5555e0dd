#include "gradebook/Recorder.h"

#include "gradebook/RecordStore.h"
#include "platform/Clock.h"

#include <QFileInfo>
#include <QSysInfo>

#include <unistd.h>

namespace vedomec::gradebook {
namespace {

QString typeLetter(results::TestType t)
{
    switch (t) {
    case results::TestType::A: return QStringLiteral("A");
    case results::TestType::B: return QStringLiteral("B");
    case results::TestType::C: return QStringLiteral("C");
    }
    return QString();
}

} // namespace

TRecorder::TRecorder(IWallClock* clock) : m_clock(clock ? clock : &SystemWallClock::instance()) {}

QString TRecorder::folder() const
{
    return resultsFolder(m_dataFolder, m_settings.resultsFolder);
}

void TRecorder::setPupil(const QString& name, const QString& pupilClass)
{
    m_pupilName = name.simplified();
    m_pupilClass = pupilClass.simplified();
}

void TRecorder::begin(const QString& testFile, const QString& title, const QString& kind, results::TestType type,
                      const QString& timeLimit)
{
    const TAccount account = currentAccount();
    m_record = TResultRecord {};
    m_record.login = account.login;
    m_record.fullName = account.fullName;
    m_record.uid = account.uid;
    m_record.computer = QSysInfo::machineHostName();
    if (m_settings.askPupilName) {
        m_record.pupilName = m_pupilName;
        m_record.pupilClass = m_pupilClass;
    }
    m_record.testFile = QFileInfo(testFile).fileName();
    m_record.testTitle = title;
    m_record.testKind = kind;
    m_record.testType = typeLetter(type);
    m_record.timeLimit = timeLimit;
    m_record.started = m_clock->now();
    m_type = type;
    m_active = true;
}

QString TRecorder::finish(const TShownResult& shown, const QList<results::AnswerRow>& rows, qint64 elapsedMs,
                          bool timeRanOut)
{
    if (!m_active)
        return QString();
    m_record.finished = true;
    m_record.timeRanOut = timeRanOut;
    m_record.questions = shown.questions.toInt();
    m_record.right = shown.right.toInt();
    m_record.wrong = shown.wrong.toInt();
    m_record.percent = shown.percent;
    m_record.grade = shown.grade;
    m_record.wrongList = shown.wrongList;
    m_record.correctList = shown.correctList;
    return write(rows, elapsedMs);
}

QString TRecorder::abandon(const QList<results::AnswerRow>& rows, qint64 elapsedMs)
{
    if (!m_active)
        return QString();
    m_record.finished = false;
    return write(rows, elapsedMs);
}

QString TRecorder::write(const QList<results::AnswerRow>& rows, qint64 elapsedMs)
{
    m_active = false;
    if (!m_settings.on)
        return QString();
    m_record.ended = m_clock->now();
    m_record.elapsedSeconds = elapsedMs / 1000;
    m_record.answers.clear();
    for (const results::AnswerRow& row : rows)
        m_record.answers.append({row.odpoved, row.spravne, results::AnswerIsRight(m_type, row.odpoved, row.spravne)});
    // Vysledky may be made only in a data folder of the pupil's own; a
    // class's folder is prepared by its administrator.
    const QString target = folder();
    const bool own = m_settings.resultsFolder.isEmpty() && QFileInfo(m_dataFolder).ownerId() == ::getuid();
    QString error;
    m_lastFile = writeRecord(target, m_record, &error, own);
    return m_lastFile.isEmpty() ? error : QString();
}

} // namespace vedomec::gradebook
