#include "session/TestSession.h"

#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "data/TableImage.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "session/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vedomec::session {

namespace {

const QString kOdpoved = QStringLiteral("ODPOVED");
const QString kSpravne = QStringLiteral("SPRAVNE");
constexpr int kAnswerWidth = 254;

// Blanks ODPOVED in every row of a table image, so that what another pupil
// answered is never written anywhere.
void blankAnswers(QByteArray& dbf, const QString& name)
{
    const auto table = data::DbfFile::fromBytes(dbf, name);
    const int field = table->fieldIndex(kOdpoved);
    if (field < 0)
        return; // no question table: opening it will say so
    const data::DbfField& f = table->fields()[size_t(field)];
    for (uint32_t r = 0; r < table->recordCount(); ++r) {
        const qint64 at = table->headerLength() + qint64(r) * table->recordLength() + f.offset;
        if (at + f.length <= dbf.size())
            std::memset(dbf.data() + at, ' ', size_t(f.length));
    }
}

// Writes a new file of the working copy.  It needs no flush: after a crash
// the whole folder is an orphan and goes.
void writeNewFile(const QString& path, const QByteArray& bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw EDatabaseError(
            QStringLiteral("Cannot create file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    int error = 0;
    const bool written = fs::writeAt(fd, bytes.constData(), bytes.size(), 0, &error);
    ::close(fd);
    if (!written)
        throw EDatabaseError(
            QStringLiteral("Cannot write file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

// The shared table's disk cannot take the answers of a test.
struct NoRoomForAnswers {};

} // namespace

std::optional<QString> AnswerToStore(TestType type, const ScreenAnswer& answer, bool emptyWhenNoneChosen)
{
    std::optional<QString> out;
    switch (type) {
    case TestType::A:
        // With several boxes checked the last one wins.
        for (int i = 0; i < 4; ++i)
            if (answer.boxes[size_t(i)])
                out = QString(QChar(QLatin1Char("ABCD"[i])));
        if (!out && emptyWhenNoneChosen)
            out = QString();
        break;
    case TestType::B:
        if (answer.boxes[0])
            out = QStringLiteral("Ano");
        if (answer.boxes[1])
            out = QStringLiteral("Ne");
        break;
    case TestType::C:
        out = answer.text.left(kAnswerWidth);
        break;
    }
    return out;
}

std::optional<std::array<bool, 4>> BoxesShowing(TestType type, const QString& stored)
{
    if (type == TestType::C)
        return std::nullopt;
    if (stored.isEmpty())
        return std::array<bool, 4> {};
    const QStringList spellings = type == TestType::A
        ? QStringList {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")}
        : QStringList {QStringLiteral("Ano"), QStringLiteral("Ne")};
    const qsizetype i = spellings.indexOf(stored);
    if (i < 0)
        return std::nullopt;
    std::array<bool, 4> boxes {};
    boxes[size_t(i)] = true;
    return boxes;
}

TTestSession::TTestSession(data::TTable* table, TestType type) : m_table(table), m_type(type) {}

TTestSession::~TTestSession()
{
    // A working copy's table closes before its folder goes.  A shared table
    // is left as it stands: the table object may serve a newer session by now.
    if (m_work && m_table->Active() && m_table->FilePath() == m_workFile)
        m_table->Close();
}

bool TTestSession::Active() const
{
    return m_table->Active();
}

QString TTestSession::AnswerFile() const
{
    return m_table->FilePath();
}

void TTestSession::Open(const QString& file)
{
    m_table->Close();
    m_work.reset();
    m_source = file;
    m_locksNotKept = false;
    try {
        openShared(file);
        return;
    } catch (const data::ELocksNotKept&) {
        // Nobody could tell whether another copy answers in it: every pupil
        // takes the test on a copy of his own there.
        m_locksNotKept = true;
    } catch (const data::ETableInUse&) {
        // Another copy of the program holds it, or this account may only
        // read it (the teacher's folder, a read-only medium): this pupil
        // takes the test on a copy of his own.
    } catch (const NoRoomForAnswers&) {
        // The shared folder's disk is full: the answers go where there is
        // room, to a copy of his own.
    }
    openWorkingCopy(file);
}

void TTestSession::openShared(const QString& file)
{
    const QFileInfo info(file);
    m_table->SetDatabaseName(info.absolutePath());
    m_table->SetTableName(info.fileName());
    m_table->Open();
    if (const QString refused = m_table->WriteRefusal(); !refused.isEmpty()) {
        // Not this account's to write: taken like a table another copy holds.
        m_table->Close();
        throw data::ETableInUse(refused);
    }
    try {
        m_table->ReserveRowChangeRoom();
    } catch (const EDatabaseError&) {
        m_table->Close();
        throw NoRoomForAnswers();
    }
    try {
        eraseLeftAnswers();
    } catch (...) {
        m_table->Close();
        throw;
    }
}

void TTestSession::openWorkingCopy(const QString& file)
{
    data::TableImage image = data::readTableImage(file);
    // An index may be built over the answers; then the store erases them,
    // keeping the index in step, once the copy is open.
    if (image.mdx.isEmpty())
        blankAnswers(image.dbf, file);
    std::unique_ptr<TWorkFolder> work = TWorkFolder::create();
    writeNewFile(QDir(work->path()).filePath(image.dbfName), image.dbf);
    if (!image.mdxName.isEmpty())
        writeNewFile(QDir(work->path()).filePath(image.mdxName), image.mdx);
    m_table->SetDatabaseName(work->path());
    m_table->SetTableName(image.dbfName);
    try {
        try {
            m_table->Open();
        } catch (const data::ELocksNotKept&) {
            // A home whose file system keeps no locks: nobody else opens the
            // copy in this pupil's own folder, so it needs no holding.
            const bool held = m_table->Held();
            m_table->SetHeld(false);
            const auto restore = qScopeGuard([&] { m_table->SetHeld(held); });
            m_table->Open();
        }
        // A copy that cannot take answers either is said at once, not at
        // the first answer.
        if (const QString refused = m_table->WriteRefusal(); !refused.isEmpty())
            throw EDatabaseError(refused);
        // Nor is a pupil to start answering on a disk with no room for his
        // answers: the room every answer needs is taken now.
        m_table->ReserveRowChangeRoom();
        eraseLeftAnswers();
    } catch (...) {
        m_table->Close();
        throw;
    }
    m_work = std::move(work);
    m_workFile = m_table->FilePath();
}

QString TTestSession::TakeNotice()
{
    static std::atomic<bool> told {false};
    if (!m_locksNotKept || told.exchange(true))
        return QString();
    return QStringLiteral("Složka „%1“ neudržuje zámky souborů, a tak by si v ní kopie Vedomce mohly navzájem "
                          "přepsat odpovědi. Každý žák proto píše test ve vlastní kopii. Požádejte správce, aby "
                          "složku třídy umístil tam, kde zámky fungují.")
        .arg(QDir::toNativeSeparators(QFileInfo(m_source).absolutePath()));
}

void TTestSession::eraseLeftAnswers()
{
    // Only rows that hold an answer are written: a table a pupil ended as he
    // should stays byte for byte as it is.
    if (!m_table->IsEmpty()) {
        m_table->First();
        do {
            if (!m_table->FieldAsString(kOdpoved).isEmpty()) {
                m_table->Edit();
                m_table->SetFieldAsString(kOdpoved, QString());
                m_table->Post();
            }
            m_table->Next();
        } while (!m_table->Eof());
    }
    m_table->First();
}

int TTestSession::QuestionCount() const
{
    return m_table->RecordCount();
}

int TTestSession::CurrentRow() const
{
    return m_table->IsEmpty() ? 0 : m_table->RecNo();
}

void TTestSession::Store(const ScreenAnswer& answer, bool emptyWhenNoneChosen)
{
    // A table without rows has no question to answer; editing it would add
    // a blank row to the file.
    if (m_table->IsEmpty())
        return;
    m_table->Edit();
    if (const std::optional<QString> value = AnswerToStore(m_type, answer, emptyWhenNoneChosen))
        m_table->SetFieldAsString(kOdpoved, *value);
    // Posted also when nothing was written.
    m_table->Post();
}

QString TTestSession::Stored() const
{
    return m_table->FieldAsString(kOdpoved);
}

void TTestSession::Go(Move move)
{
    switch (move) {
    case Move::First: m_table->First(); break;
    case Move::Prior: m_table->Prior(); break;
    case Move::Next: m_table->Next(); break;
    case Move::Last: m_table->Last(); break;
    }
}

results::Outcome TTestSession::Score(results::EvalMode mode, int questionCount)
{
    results::TScoreSheet sheet(m_type, mode);
    if (m_table->IsEmpty()) {
        // Reading a row of an empty table gives the empty text: the Results
        // command reports it unanswered; the expiry has nothing to score.
        if (mode == results::EvalMode::ResultsCommand)
            return results::Outcome {};
    } else {
        // The scan walks the cursor over every row, but the window goes on
        // showing one question: a stop at an unanswered row puts the cursor
        // back on the row whose number and text are shown.
        const data::Bookmark shown = m_table->GetBookmark();
        m_table->First();
        int row = 0;
        do {
            ++row;
            if (!sheet.add(m_table->FieldAsString(kSpravne), m_table->FieldAsString(kOdpoved))) {
                if (shown)
                    m_table->GotoBookmark(shown);
                results::Outcome o;
                o.unansweredRow = row;
                return o;
            }
            m_table->Next();
        } while (!m_table->Eof());
    }
    return sheet.finish(questionCount);
}

QList<results::AnswerRow> TTestSession::Answers() const
{
    QList<results::AnswerRow> rows;
    if (!m_table->Active() || m_table->IsEmpty())
        return rows;
    const data::Bookmark shown = m_table->GetBookmark();
    m_table->First();
    do {
        rows.append({m_table->FieldAsString(kSpravne), m_table->FieldAsString(kOdpoved)});
        m_table->Next();
    } while (!m_table->Eof());
    if (shown)
        m_table->GotoBookmark(shown);
    return rows;
}

void TTestSession::End()
{
    if (m_work) {
        // The pupil's own copy goes whole; nothing of it needs erasing first.
        m_table->Close();
        m_work.reset();
        return;
    }
    if (!m_table->Active())
        return;
    if (!m_table->IsEmpty()) {
        m_table->First();
        do {
            m_table->Edit();
            m_table->SetFieldAsString(kOdpoved, QString());
            m_table->Post();
            m_table->Next();
        } while (!m_table->Eof());
    }
    m_table->Close();
}

} // namespace vedomec::session
