#pragma once
// The pupil's program keeps one record of the test under way: begun when
// the first question shows, written when the results show or, unfinished,
// when the test ends without them.  Writing never stops the test: a record
// that cannot be written comes back as a text to tell the pupil.
#include "gradebook/Record.h"
#include "results/Scoring.h"

#include <QList>
#include <QString>

namespace vedomec {
class IWallClock;
}

namespace vedomec::gradebook {

// How the program records, from the settings.
struct TRecordingSettings {
    bool on = true;
    QString resultsFolder; // ResultsFolder=; empty: Vysledky of the data folder
    bool askPupilName = false;
};

// The figures as the results dialog shows them.
struct TShownResult {
    QString questions; // L1
    QString right;     // L2
    QString wrong;     // L3
    QString percent;   // L4
    QString wrongList; // L5
    QString grade;     // L6
    QString correctList; // L7
};

class TRecorder {
public:
    explicit TRecorder(IWallClock* clock = nullptr);

    void setSettings(const TRecordingSettings& s) { m_settings = s; }
    const TRecordingSettings& settings() const { return m_settings; }
    // The data folder the program runs on: where Vysledky is.
    void setDataFolder(const QString& folder) { m_dataFolder = folder; }
    // The folder records go to.
    QString folder() const;

    // What the pupil typed where pupils share one account; kept for the
    // next test of this program.
    void setPupil(const QString& name, const QString& pupilClass);
    QString pupilName() const { return m_pupilName; }
    QString pupilClass() const { return m_pupilClass; }

    // The first question shows: who, what test, and when.
    void begin(const QString& testFile, const QString& title, const QString& kind, results::TestType type,
               const QString& timeLimit);
    bool active() const { return m_active; }

    // The results show.  Returns the empty text when the record was written
    // (or recording is off), else why not (Czech).
    QString finish(const TShownResult& shown, const QList<results::AnswerRow>& rows, qint64 elapsedMs,
                   bool timeRanOut);
    // The test ends without results: recorded as unfinished, with the
    // answers stored so far.  Nothing when no test was begun.
    QString abandon(const QList<results::AnswerRow>& rows, qint64 elapsedMs);

    // The last record written, for tests.
    QString lastFile() const { return m_lastFile; }

private:
    QString write(const QList<results::AnswerRow>& rows, qint64 elapsedMs);

    IWallClock* m_clock;
    TRecordingSettings m_settings;
    QString m_dataFolder;
    QString m_pupilName;
    QString m_pupilClass;
    bool m_active = false;
    results::TestType m_type = results::TestType::A;
    TResultRecord m_record;
    QString m_lastFile;
};

} // namespace vedomec::gradebook
