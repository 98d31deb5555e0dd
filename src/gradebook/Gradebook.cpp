#include "gradebook/Gradebook.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>

namespace vedomec::gradebook {
namespace {

QString duration(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

const QString kUnfinished = QStringLiteral("nedokončen");

} // namespace

QString columnTitle(Column c)
{
    switch (c) {
    case Column::Pupil: return QStringLiteral("Žák");
    case Column::Class: return QStringLiteral("Třída");
    case Column::Login: return QStringLiteral("Účet");
    case Column::Computer: return QStringLiteral("Počítač");
    case Column::Test: return QStringLiteral("Test");
    case Column::Kind: return QStringLiteral("Druh");
    case Column::Date: return QStringLiteral("Datum");
    case Column::TimeTaken: return QStringLiteral("Čas");
    case Column::Right: return QStringLiteral("Správně");
    case Column::Wrong: return QStringLiteral("Chybně");
    case Column::Percent: return QStringLiteral("Procento");
    case Column::Grade: return QStringLiteral("Známka");
    case Column::Trust: return QStringLiteral("Ověřeno");
    }
    return QString();
}

QString cellText(const TStoredRecord& s, Column c)
{
    const TResultRecord& r = s.record;
    switch (c) {
    case Column::Pupil: return r.pupil();
    case Column::Class: return r.pupilClass;
    case Column::Login: return r.login;
    case Column::Computer: return r.computer;
    case Column::Test: return r.testTitle;
    case Column::Kind: return r.testKind;
    case Column::Date: return r.ended.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    case Column::TimeTaken: return duration(r.elapsedSeconds);
    case Column::Right: return r.finished ? QString::number(r.right) : QString();
    case Column::Wrong: return r.finished ? QString::number(r.wrong) : QString();
    case Column::Percent: return r.finished ? r.percent : QString();
    case Column::Grade: return r.finished ? r.grade : kUnfinished;
    case Column::Trust: return s.trusted ? QStringLiteral("ano") : QStringLiteral("NE – soubor patří jinému účtu");
    }
    return QString();
}

QString testKey(const TResultRecord& r)
{
    return r.testFile.toLower();
}

bool TFilter::matches(const TResultRecord& r) const
{
    if (!test.isEmpty() && testKey(r) != test.toLower())
        return false;
    if (!kind.isEmpty() && r.testKind != kind)
        return false;
    if (from.isValid() || to.isValid()) {
        const QDate day = r.ended.toLocalTime().date();
        if ((from.isValid() && day < from) || (to.isValid() && day > to))
            return false;
    }
    if (!pupil.isEmpty() && !r.pupil().contains(pupil, Qt::CaseInsensitive)
        && !r.login.contains(pupil, Qt::CaseInsensitive) && !r.pupilClass.contains(pupil, Qt::CaseInsensitive)
        && !r.fullName.contains(pupil, Qt::CaseInsensitive))
        return false;
    return true;
}

QList<int> filtered(const QList<TStoredRecord>& records, const TFilter& filter)
{
    QList<int> rows;
    rows.reserve(records.size());
    for (int i = 0; i < records.size(); ++i)
        if (filter.matches(records[i].record))
            rows.append(i);
    return rows;
}

void sortBy(QList<int>& rows, const QList<TStoredRecord>& records, Column column, bool descending)
{
    auto number = [&](int i) -> qint64 {
        const TResultRecord& r = records[i].record;
        switch (column) {
        case Column::Date: return r.ended.toMSecsSinceEpoch();
        case Column::TimeTaken: return r.elapsedSeconds;
        case Column::Right: return r.finished ? r.right : -1;
        case Column::Wrong: return r.finished ? r.wrong : -1;
        case Column::Percent: return r.percentValue().value_or(-1);
        case Column::Grade: return r.finished ? r.gradeNumber() : 6;
        case Column::Trust: return records[i].trusted ? 0 : 1;
        default: return 0;
        }
    };
    const bool numeric = column == Column::Date || column == Column::TimeTaken || column == Column::Right
                         || column == Column::Wrong || column == Column::Percent || column == Column::Grade
                         || column == Column::Trust;
    if (numeric) {
        QHash<int, qint64> keys;
        keys.reserve(rows.size());
        for (int i : rows)
            keys.insert(i, number(i));
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            return descending ? keys[a] > keys[b] : keys[a] < keys[b];
        });
        return;
    }
    QCollator czech {QLocale(QLocale::Czech, QLocale::CzechRepublic)};
    czech.setCaseSensitivity(Qt::CaseInsensitive);
    QHash<int, QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (int i : rows)
        keys.insert(i, czech.sortKey(cellText(records[i], column)));
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        const int c = keys.find(a)->compare(*keys.find(b));
        return descending ? c > 0 : c < 0;
    });
}

TSummary summarize(const QList<TStoredRecord>& records, const QList<int>& rows)
{
    TSummary s;
    qint64 sum = 0;
    int withPercent = 0;
    for (int i : rows) {
        const TResultRecord& r = records[i].record;
        if (!r.finished) {
            ++s.unfinished;
            continue;
        }
        ++s.taken;
        if (const std::optional<int> p = r.percentValue()) {
            sum += *p;
            ++withPercent;
        }
        if (const int g = r.gradeNumber())
            ++s.grades[size_t(g - 1)];
    }
    s.averagePercent = withPercent ? double(sum) / withPercent : 0;
    return s;
}

QList<TQuestionStats> questionStats(const QList<TStoredRecord>& records, const QList<int>& rows)
{
    QList<TQuestionStats> out;
    QList<QHash<QString, int>> wrongs;
    QList<QDateTime> correctFrom;
    for (int i : rows) {
        const TResultRecord& r = records[i].record;
        if (!r.finished)
            continue;
        for (int q = 0; q < r.answers.size(); ++q) {
            if (q >= out.size()) {
                TQuestionStats s;
                s.number = q + 1;
                out.append(s);
                wrongs.append(QHash<QString, int>());
                correctFrom.append(QDateTime());
            }
            const TAnswer& a = r.answers[q];
            TQuestionStats& s = out[q];
            ++s.answered;
            if (!correctFrom[q].isValid() || r.ended > correctFrom[q]) {
                s.correct = a.correct;
                correctFrom[q] = r.ended;
            }
            if (a.right)
                ++s.right;
            else if (!a.given.isEmpty())
                ++wrongs[q][a.given];
        }
    }
    for (int q = 0; q < out.size(); ++q) {
        TQuestionStats& s = out[q];
        s.share = s.answered ? double(s.right) / s.answered : 0;
        for (auto it = wrongs[q].cbegin(); it != wrongs[q].cend(); ++it) {
            // Of two as frequent, the first in order of the text, so the
            // figure does not depend on the order of the files.
            if (it.value() > s.commonWrongCount || (it.value() == s.commonWrongCount && it.key() < s.commonWrong)) {
                s.commonWrong = it.key();
                s.commonWrongCount = it.value();
            }
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const TQuestionStats& a, const TQuestionStats& b) {
        return a.share < b.share;
    });
    return out;
}

namespace {

QString csvField(const QString& text)
{
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString q = text;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + q + u'"';
}

} // namespace

QByteArray toCsv(const QList<TStoredRecord>& records, const QList<int>& rows)
{
    QString text;
    QStringList line;
    for (int c = 0; c < ColumnCount; ++c)
        line << csvField(columnTitle(Column(c)));
    text += line.join(u';') + QLatin1String("\r\n");
    for (int i : rows) {
        line.clear();
        for (int c = 0; c < ColumnCount; ++c)
            line << csvField(cellText(records[i], Column(c)));
        text += line.join(u';') + QLatin1String("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QList<QStringList> parseCsv(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QList<QStringList> out;
    QStringList fields;
    QString field;
    bool quoted = false;
    bool any = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        any = true;
        if (c == u'"') {
            quoted = true;
        } else if (c == u';') {
            fields << field;
            field.clear();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            fields << field;
            out << fields;
            fields.clear();
            field.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (any || !field.isEmpty() || !fields.isEmpty()) {
        fields << field;
        out << fields;
    }
    return out;
}

} // namespace vedomec::gradebook
