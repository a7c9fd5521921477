#pragma once

#include "datafiles.h"
#include "session.h"

#include <QString>

#include <optional>

// Whether start-up may create the record files it finds absent. The program does, as the
// first run expects; the headless composer never touches the folder and treats an absent
// record file as empty.
enum class RecordFiles { CreateWhenAbsent, LeaveFolderUntouched };

// The folder of the program file as the system reports it, ending in exactly one "/"
// ("/" itself stays "/"). The current directory plays no part.
QString programFolderFrom(const QString &applicationDirPath);

// The start-up sequence: reads the five text files, "colorset.dat" and "prefs.dat" from
// programFolder into a session whose settings are in their initial state, taking the
// first-run path when "prefs.dat" is absent or empty. On an error it stops at the failing
// file, returns the error, and has written nothing.
std::optional<FileError> startup(Session &session, const QString &programFolder,
                                 RecordFiles records = RecordFiles::CreateWhenAbsent);
