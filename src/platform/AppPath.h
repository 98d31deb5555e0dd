#pragma once
#include <QString>

namespace vedomec {

// The application folder, ending in "/".  Every data and sound path is formed
// from it.  It is the program's own folder when that folder holds the data
// (a build, or a folder copied from Windows).  An installed program keeps the
// pristine sample beside it and runs on a folder of each user's own under the
// XDG data home, made from that sample on first start.
class TAppPath {
public:
    static QString Path();
    // Tests and tools run the program's windows on a folder of their own.
    static void setOverride(const QString& folder);

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
