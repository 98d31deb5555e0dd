#pragma once
// What a teacher asks of the results: which records, in what order, how a
// test went for the class and which of its questions went wrong, and the
// table as a spreadsheet reads it.  Free of any window: the teacher's view
// and vedomec-results both show these figures.
#include "gradebook/RecordStore.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace vedomec::gradebook {

// The columns of the results table, in the order shown and exported.
enum class Column { Pupil, Class, Login, Computer, Test, Kind, Date, TimeTaken, Right, Wrong, Percent, Grade, Trust };
constexpr int ColumnCount = 13;
QString columnTitle(Column c);
// The text of a cell, as shown and exported.
QString cellText(const TStoredRecord& s, Column c);

// A record's test: the file it was taken from, without regard to letter case.
QString testKey(const TResultRecord& r);

struct TFilter {
    QString test;  // a test's key (testKey); empty: all
    QString kind;  // the kind exactly; empty: all
    QDate from;    // the day the test ended, inclusive; invalid: open
    QDate to;
    QString pupil; // a part of the pupil's name, login or class, letter case aside
    bool matches(const TResultRecord& r) const;
};

// The indexes of the records that pass, in the records' order.
QList<int> filtered(const QList<TStoredRecord>& records, const TFilter& filter);
// Sorts the indexes by a column; numbers and dates as such, texts the Czech
// way; ties keep their order.
void sortBy(QList<int>& rows, const QList<TStoredRecord>& records, Column column, bool descending = false);

// How a test went: over the finished records of `rows` only.
struct TSummary {
    int taken = 0;      // finished records
    int unfinished = 0; // ended without results
    double averagePercent = 0; // of the percentages as shown
    std::array<int, 5> grades {}; // how many got 1 to 5
};
TSummary summarize(const QList<TStoredRecord>& records, const QList<int>& rows);

// One question across the finished records of one test.
struct TQuestionStats {
    int number = 0;   // 1-based, in the table's order
    QString correct;  // the right answer (the most recent record's)
    int answered = 0; // records that reached the question
    int right = 0;
    double share = 0; // right / answered, 0 to 1
    QString commonWrong; // the wrong answer given most often; empty: none
    int commonWrongCount = 0;
};
// Hardest first: the lowest share of right answers, then by number.
QList<TQuestionStats> questionStats(const QList<TStoredRecord>& records, const QList<int>& rows);

// The rows as a spreadsheet opens them: UTF-8 with a byte-order mark, ";"
// between fields, a header line, CRLF line ends; fields quoted where needed.
QByteArray toCsv(const QList<TStoredRecord>& records, const QList<int>& rows);
// The fields of such a text, line by line (for reading an export back).
QList<QStringList> parseCsv(const QByteArray& bytes);

} // namespace vedomec::gradebook
