#pragma once
// The folder of one working copy: a test taken while another copy of the
// program holds its question table is answered in a copy of that table in a
// folder of the pupil's own, outside the shared data folder.
//
// Several users share a machine and one user may run several copies (one
// per desktop, or on several machines over a shared home), so every folder
// belongs to one process: it is named after the machine and the process and
// carries a lock file its owner keeps locked for the folder's whole life.
// The kernel lets go of that lock when the owner dies, however it dies, so a
// folder whose lock can be taken is an orphan: nobody reads it, the next start
// removes it.  Where the file system keeps no locks, the owner holds none and
// says so in the file; its folder goes only once its process is seen gone
// from this machine, and one of another machine stays.  Making a folder and
// clearing orphans both happen under one lock of the user's, so a folder is
// never seen half made.
#include <QString>

#include <memory>

namespace vedomec::session {

class TWorkFolder {
public:
    ~TWorkFolder(); // removes the folder, then lets go of it
    TWorkFolder(const TWorkFolder&) = delete;
    TWorkFolder& operator=(const TWorkFolder&) = delete;

    // A new folder of this process's own below Root(), locked.  Throws
    // EDatabaseError when it cannot be made.
    static std::unique_ptr<TWorkFolder> create();

    // Removes every folder below Root() whose owner has ended without
    // removing it.  Returns how many went.  Never fails: what cannot be
    // removed now is tried again at the next start.
    static int clearOrphans();

    // Where the working copies of this user live: "vedomec/work" under the
    // XDG state home ($XDG_STATE_HOME, else ~/.local/state); under the
    // system's temporary folder when the user has no home.
    static QString root();
    // Tests keep their working copies in a folder of their own; empty
    // restores the rule above.
    static void setRootOverride(const QString& folder);

    QString path() const { return m_path; }

private:
    TWorkFolder(const QString& path, int lockFd) : m_path(path), m_lockFd(lockFd) {}

    QString m_path;
    int m_lockFd;
};

} // namespace vedomec::session
