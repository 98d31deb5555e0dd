#pragma once
#include <QString>

namespace vedomec {

// The application folder, ending in "/".  Every data and sound path is formed
// from it.  A folder that an option or a setting names comes first.  Else it
// is the program's own folder when that folder holds the data (a build, or a
// folder copied from Windows).  An installed program keeps the pristine
// sample beside it and runs on a folder of each user's own under the XDG data
// home, made from that sample on first start.
class TAppPath {
public:
    static QString Path();
    // The folder an option or a setting names; tests and tools run the
    // program's windows on a folder of their own.
    static void setOverride(const QString& folder);

    // What a folder that an option or a setting names turned out to be.
    enum class NamedFolder {
        Ready,         // used as it is
        Filled,        // it was empty: the sample was copied into it
        Missing,       // there is nothing of that name
        NotAFolder,    // a file (or another thing) of that name
        Unreadable,    // the user may not read or enter it
        EmptyReadOnly, // empty, and the user may not write to it
        FillFailed,    // empty, and filling it failed (`error` says why); left empty
    };
    // Checks a named folder as it is.  It is never made, and never filled
    // unless it is empty and the user may write to it: then the sample is
    // copied in, with the folder's own permissions (a folder the whole class
    // may write to stays so), and `Data` moved in last, so that a folder is
    // whole once its catalogue is there.
    static NamedFolder prepareNamed(const QString& folder, const QString& sampleFolder, QString* error = nullptr);

    // The pristine sample an installed program keeps, found from its folder.
    static QString sampleFolder();

    // The rule behind Path(), with its three places given: the program's
    // folder, the installed sample and the per-user folder.  Makes the
    // per-user folder from the sample when it is needed and missing; when
    // that fails, `error` says why and the per-user folder is still returned
    // (opening the catalogue then reports what is missing).
    static QString resolve(const QString& programFolder, const QString& sampleFolder, const QString& userFolder,
                           QString* error = nullptr);

    // The per-user folder: "vedomec" under the XDG data home; empty when the
    // user has no home (the program's own folder is used then).
    static QString userFolder();
};

} // namespace vedomec
