#pragma once
// One test taken, as the pupil's program leaves it for the teacher: who took
// which test, when, with what result as the results dialog showed it, and
// what he answered to each question.  A record is a small UTF-8 JSON
// document, one file per test taken, so that a teacher's script can read it
// as easily as the teacher's view does.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vedomec::gradebook {

struct TAnswer {
    QString given;   // ODPOVED as stored; empty: not answered
    QString correct; // SPRAVNE
    bool right = false;
};

struct TResultRecord {
    // Who: the account and, where pupils share one, what the pupil typed.
    QString login;
    QString fullName; // the account's full name, the first field of gecos
    qint64 uid = -1;
    QString computer;
    QString pupilName;
    QString pupilClass;

    // What: the test as the catalogue names it.
    QString testFile; // the question table's file name, e.g. "mapa.dbf"
    QString testTitle;
    QString testKind;
    QString testType; // "A", "B" or "C"

    // When and how long.
    QDateTime started;
    QDateTime ended;
    qint64 elapsedSeconds = 0;
    QString timeLimit; // as the window shows it: "0:10:00" or "neomezeno"
    bool timeRanOut = false;

    // The result, exactly as the results dialog showed it.  An unfinished
    // test (ended without results) has none of these.
    bool finished = false;
    int questions = 0;
    int right = 0;
    int wrong = 0;
    QString percent; // "62"
    QString grade;   // "3 - dobrý"
    QString wrongList;
    QString correctList;
    QList<TAnswer> answers;

    // The grade's number 1 to 5; 0 when there is none.
    int gradeNumber() const;
    // The shown percentage as a number; nothing when there is none.
    std::optional<int> percentValue() const;
    // The pupil as a teacher knows him: the typed name, else the account's
    // full name, else the login.
    QString pupil() const;
};

QByteArray toJson(const TResultRecord& record);
// Nothing for a document that is no record (damaged, of another program).
std::optional<TResultRecord> fromJson(const QByteArray& bytes, QString* error = nullptr);

// The account the program runs under: login name, full name and uid.  An
// account without a name is named by its number.
struct TAccount {
    QString login;
    QString fullName;
    qint64 uid = -1;
};
TAccount currentAccount();
// The uid of a login name on this machine (a name of digits only names that
// number); nothing when unknown.
std::optional<qint64> uidOfLogin(const QString& login);

} // namespace vedomec::gradebook
