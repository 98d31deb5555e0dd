#pragma once
#include <QString>

namespace vedomec {

// The application folder: the folder of the running program, ending in "/".
// Every data and sound path is formed from it.
class TAppPath {
public:
    static QString Path();
    // Tests and tools run the program's windows on a folder of their own.
    static void setOverride(const QString& folder);
};

} // namespace vedomec
