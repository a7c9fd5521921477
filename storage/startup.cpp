#include "startup.h"

#include "colorrecord.h"
#include "datafiles.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

QString programFolderFrom(const QString &applicationDirPath)
{
    QString folder = QDir::fromNativeSeparators(applicationDirPath);
    if (folder.isEmpty()) {
        return folder;
    }
    while (folder.endsWith(u'/')) {
        folder.chop(1);
    }
    return folder + u'/';
}

std::optional<FileError> startup(Session &session, const QString &programFolder,
                                 RecordFiles records)
{
    session.programFolder = programFolderFrom(programFolder);
    const QString &folder = session.programFolder;
    if (folder.isEmpty()) {
        return FileError{{}, {}, u"The program's folder is not known."_s};
    }
    // Said of the folder itself: its first data file "not found" would send the seller looking
    // for a file rather than for the folder.
    const QFileInfo where(QDir(folder).absolutePath());
    if (!where.exists() || !where.isDir()) {
        return FileError{{},
                         {},
                         u"The program folder \"%1\" %2."_s.arg(
                             QDir::toNativeSeparators(where.filePath()),
                             where.exists() ? u"is not a folder"_s : u"does not exist"_s)};
    }

    session.noReserveFileName = findNoReserveFile(folder);
    std::array<const TextFileEntry *, TextFileTable.size()> reading{};
    for (const TextFileEntry &entry : TextFileTable) {
        reading[size_t(entry.readingPlace)] = &entry;
    }
    for (const TextFileEntry *entry : reading) {
        TextFileRead read = readTextFile(folder, textFileName(session, *entry), entry->reader);
        if (read.error) {
            return read.error;
        }
        // A multi-line box shows its loaded lines trimmed and with CR LF breaks.
        session.settings.setText(entry->field, entry->reader == TextReader::MultiLine
                                                   ? multiLineBoxText(read.text)
                                                   : read.text);
        session.loaded.*entry->loaded = std::move(read.text);
    }

    const RecordFileRead colors =
        readRecordFile(folder, DataFileName::Colors.toString(), ColorRecordSize);
    if (colors.error) {
        return colors.error;
    }
    session.settings.setColors(colorSetFromRecord(colors.bytes));

    const RecordFileRead prefs =
        readRecordFile(folder, DataFileName::Prefs.toString(), PrefsRecord::Size);
    if (prefs.error) {
        return prefs.error;
    }

    // A record file that cannot be created (a folder that refuses new files) is read as
    // empty all the same: the program starts, and saving at the end reports what it could
    // not write.
    if (records == RecordFiles::CreateWhenAbsent) {
        for (const auto &[name, absent] : {std::pair{DataFileName::Colors, colors.absent},
                                           std::pair{DataFileName::Prefs, prefs.absent}}) {
            if (absent) {
                createEmptyFile(folder, name.toString());
            }
        }
    }

    if (prefs.bytes.isEmpty()) {
        session.prefs = PrefsRecord();
        session.settings.startFirstRun();
    } else {
        session.prefs = PrefsRecord::fromBytes(prefs.bytes);
        applyPrefs(session.prefs, session.settings);
    }
    return std::nullopt;
}
