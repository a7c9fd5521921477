#include "saveout.h"

#include "colorrecord.h"
#include "datafiles.h"

using namespace Qt::StringLiterals;

std::vector<FileError> saveout(Session &session)
{
    const QString &folder = session.programFolder;
    if (folder.isEmpty()) {
        // Without the program folder every name would land in the current directory.
        return {FileError{{}, {}, u"The program's folder is not known; nothing was saved."_s}};
    }
    const ListingSettings &settings = session.settings;
    // A failure on one file does not stop the others: each keeps this run's changes if it can,
    // and every failure is reported together.
    std::vector<FileError> errors;
    const auto keep = [&errors](std::optional<FileError> error) {
        if (error) {
            errors.push_back(*std::move(error));
        }
    };
    for (const TextFileEntry &entry : TextFileTable) {
        const QString &text = settings.text(entry.field);
        if (text != session.loaded.*entry.loaded) {
            keep(replaceTextFile(folder, textFileName(session, entry), text));
        }
    }
    keep(
        replaceRecordFile(folder, DataFileName::Colors.toString(), colorRecord(settings.colors())));
    fillPrefs(session.prefs, settings);
    keep(replaceRecordFile(folder, DataFileName::Prefs.toString(), session.prefs.bytes()));
    return errors;
}
