#pragma once
#include "config/Settings.h"

#include <QString>
#include <QStringList>

namespace vedomec {

// The data folder the program is to run on, as the option or a setting names
// it, made ready and judged before any window opens.
struct TDataFolderChoice {
    QString folder;  // the folder to run on; empty: the default place
    QString notice;  // to tell once the main window is up (the folder was filled)
    QString problem; // why the program cannot start: it runs on no folder at all
};

// `setting` is the DataFolder setting; `configProblems` what reading the
// configuration files found wrong; `sampleFolder` the installed sample that
// fills an empty folder.  The texts are for the message balloon.
TDataFolderChoice chooseDataFolder(const SettingValue& setting, const QStringList& configProblems,
                                   const QString& sampleFolder);

} // namespace vedomec
