#include "batchwrite.h"

#include "batchplan.h"
#include "bulkfill.h"
#include "filesync.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// How many listings are put in place together. Each group costs one sync of the files and one
// of the folder; the temporary files of one group are written over for the next, so a batch
// leaves no more than one group's worth of old files to the file system to free.
constexpr qsizetype GroupSize = 500;

// A batch's temporary files are named ".tavrin-PID-RANDOM-K", and while it runs it holds the
// lock ".tavrin-PID-RANDOM.lock" beside them: a batch killed before it could remove its files
// leaves a lock whose process is gone, and the next batch into the folder removes them.
class TemporaryOwner
{
public:
    TemporaryOwner(const QString &dir, const QString &owner)
        : m_lock(QDir(dir).filePath(owner + u".lock"_s))
    {
        // Stale only once its process is gone, however long a batch runs.
        m_lock.setStaleLockTime(0);
        m_lock.tryLock(0);
        removeUnowned(dir, owner);
    }

private:
    static void removeUnowned(const QString &dir, const QString &own)
    {
        static const QRegularExpression Temporary(
            u"^(\\.tavrin-[0-9]+-[0-9a-f]{8})(?:-[0-9]+|\\.lock)$"_s);
        QMap<QString, QStringList> files;
        const QDir folder(dir);
        for (const QString &name :
             folder.entryList({u".tavrin-*"_s}, QDir::Files | QDir::Hidden | QDir::System)) {
            const QRegularExpressionMatch match = Temporary.match(name);
            if (match.hasMatch() && match.captured(1) != own) {
                QStringList &ownFiles = files[match.captured(1)];
                if (!name.endsWith(u".lock"_s)) {
                    ownFiles.append(name);
                }
            }
        }
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            // Taking the lock succeeds where there is none or its batch is gone; the lock goes
            // with the files once they are removed.
            QLockFile lock(folder.filePath(it.key() + u".lock"_s));
            lock.setStaleLockTime(0);
            if (!lock.tryLock(0)) {
                continue;
            }
            for (const QString &name : it.value()) {
                QFile::remove(folder.filePath(name));
            }
        }
    }

    QLockFile m_lock;
};

// Every listing is first written completely to a temporary file in the output folder; once
// the files of a group are all on the disk, each is renamed over its listing, and then the
// folder is synced, so that a crash at any moment leaves each listing either as it was or
// complete. Where the system swaps names, a temporary file takes the listing's earlier file
// in exchange, and the next group writes over it: safe, since the folder no longer names it
// as any listing once that swap is on the disk.
class BatchWriter
{
public:
    BatchWriter(const QString &outputDir, const ListingSettings &folder,
                const std::vector<BatchRow> &rows, const std::vector<QString> &paths,
                const BatchOptions &options, BatchWriteResult &result)
        : m_dir(outputDir)
        , m_folder(folder)
        , m_rows(rows)
        , m_paths(paths)
        , m_options(options)
        , m_result(result)
        // Hidden, and unlike any listing's name, which always ends in ".txt".
        , m_owner(u".tavrin-%1-%2"_s.arg(QCoreApplication::applicationPid())
                      .arg(uint(QRandomGenerator::global()->generate()), 8, 16, QChar(u'0')))
        , m_temporaries(outputDir, m_owner)
        , m_newFile(FileSync::newFileAttributes(outputDir))
    {
        const qsizetype count = std::min<qsizetype>(GroupSize, qsizetype(rows.size()));
        for (qsizetype k = 0; k < count; ++k) {
            m_slots.push_back(
                {QDir(outputDir).filePath(m_owner + u'-' + QString::number(k)), false});
        }
    }

    ~BatchWriter()
    {
        for (const Slot &slot : m_slots) {
            if (slot.exists) {
                QFile::remove(slot.path);
            }
        }
    }

    void run()
    {
        const auto total = qsizetype(m_rows.size());
        qsizetype next = 0;
        while (next < total && !m_result.failure) {
            next = writeGroup(next);
        }
    }

private:
    struct Slot
    {
        QString path;
        bool exists;
    };

    struct Written
    {
        qsizetype row;
        std::vector<Finding> findings;
    };

    CheckedPage compose(qsizetype row) const
    {
        return composeListing(listingForRow(m_folder, m_rows[size_t(row)]), m_options.check);
    }

    void done(qsizetype row, std::vector<Finding> findings)
    {
        m_result.written.push_back(
            {QDir::toNativeSeparators(m_paths[row]), m_rows[row].line, std::move(findings)});
        if (m_options.progress) {
            m_options.progress(qsizetype(m_result.written.size()), qsizetype(m_rows.size()));
        }
    }

    // Writes the bytes into the open file from its start and cuts it there.
    static std::optional<QString> fill(QFile &file, const QByteArray &bytes)
    {
        if (!writeAll(file, bytes) || !file.flush() || !file.resize(bytes.size())) {
            return FileSync::reasonOf(file);
        }
        return std::nullopt;
    }

    static std::optional<QString> closed(QFile &file)
    {
        file.close();
        if (file.error() != QFileDevice::NoError) {
            return FileSync::reasonOf(file);
        }
        return std::nullopt;
    }

    // Writes the slot's file with the bytes, the owner and the mode of its listing.
    std::optional<QString> writeSlot(Slot &slot, const QByteArray &bytes,
                                     const FileSync::Attributes &wanted)
    {
        // An earlier listing's file taken in exchange is written over from its start and then
        // cut to the new length, which spares the file system freeing its blocks and finding
        // new ones; unless something else still names it, it refuses to be written, or it
        // cannot be given the listing's owner: then it makes way for a new file.
        if (slot.exists) {
            QFile file(slot.path);
            if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
                !FileSync::hasOtherNames(file)) {
                if (std::optional<QString> reason = fill(file, bytes)) {
                    return reason;
                }
                if (FileSync::setAttributes(file, wanted)) {
                    return closed(file);
                }
            }
            file.close();
            QFile::remove(slot.path);
            slot.exists = false;
        }
        QFile file(slot.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return FileSync::reasonOf(file);
        }
        slot.exists = true;
        if (std::optional<QString> reason = fill(file, bytes)) {
            return reason;
        }
        if (!FileSync::setAttributes(file, wanted)) {
            return QString::fromLocal8Bit(std::strerror(errno));
        }
        return closed(file);
    }

    // Writes the listings from first on into the temporary files, as many as one group holds,
    // then puts them in place. Returns where the next group starts.
    qsizetype writeGroup(qsizetype first)
    {
        std::vector<Written> group;
        QStringList slotPaths;
        qsizetype row = first;
        std::optional<WriteResult> failure;
        while (row < qsizetype(m_rows.size()) &&
               qsizetype(group.size()) < qsizetype(m_slots.size())) {
            CheckedPage page = compose(row);
            if (std::optional<QString> tooLong = BulkText::pageTooLong(page.page.size(), false)) {
                failure = WriteResult::failure(QDir::toNativeSeparators(m_paths[row]), *tooLong);
                break;
            }
            Slot &slot = m_slots[group.size()];
            // A listing keeps its own owner and mode; a new one, or one that was a link, gets
            // those of a new file, never those the recycled file carried.
            const FileSync::Attributes wanted =
                FileSync::attributesOf(m_paths[row]).value_or(m_newFile);
            if (const std::optional<QString> reason = writeSlot(slot, page.page, wanted)) {
                failure = WriteResult::failure(QDir::toNativeSeparators(m_paths[row]), *reason);
                break;
            }
            slotPaths.append(slot.path);
            group.push_back({row, std::move(page.findings)});
            ++row;
        }

        // The listings before a failure are still put in place, as if written one by one.
        if (!group.empty() && !FileSync::syncFiles(m_dir, slotPaths)) {
            failure = WriteResult::failure(QDir::toNativeSeparators(m_paths[group.front().row]),
                                           QString::fromLocal8Bit(std::strerror(errno)));
            group.clear();
        }
        qsizetype placed = 0;
        for (; placed < qsizetype(group.size()); ++placed) {
            Slot &slot = m_slots[placed];
            const qsizetype target = group[placed].row;
            QString reason;
            const FileSync::Placed how = FileSync::placeFile(slot.path, m_paths[target], &reason);
            if (how == FileSync::Placed::Failed) {
                failure = WriteResult::failure(QDir::toNativeSeparators(m_paths[target]), reason);
                break;
            }
            slot.exists = how == FileSync::Placed::Swapped;
            // A link the listing replaced is the slot's now: it goes, so that nothing is ever
            // written where it leads.
            if (slot.exists && QFileInfo(slot.path).isSymLink()) {
                QFile::remove(slot.path);
                slot.exists = false;
            }
        }
        if (placed > 0 && !FileSync::syncFolder(m_dir)) {
            failure = WriteResult::failure(QDir::toNativeSeparators(m_dir),
                                           QString::fromLocal8Bit(std::strerror(errno)));
        }
        for (qsizetype k = 0; k < placed; ++k) {
            done(group[k].row, std::move(group[k].findings));
        }
        if (failure) {
            m_result.failure = failure;
        }
        return row;
    }

    QString m_dir;
    const ListingSettings &m_folder;
    const std::vector<BatchRow> &m_rows;
    const std::vector<QString> &m_paths;
    const BatchOptions &m_options;
    BatchWriteResult &m_result;
    QString m_owner;
    TemporaryOwner m_temporaries;
    FileSync::Attributes m_newFile;
    std::vector<Slot> m_slots;
};

} // namespace

BatchWriteResult writeBatch(const QString &outputDir, const ListingSettings &folder,
                            const std::vector<BatchRow> &rows, const BatchOptions &options,
                            const QString &input)
{
    BatchWriteResult result;
    const QFileInfo dirInfo(outputDir);
    const QString shownDir = QDir::toNativeSeparators(outputDir);
    if (!dirInfo.exists()) {
        result.failure = WriteResult::failure(shownDir, u"no such folder"_s);
        return result;
    }
    if (!dirInfo.isDir()) {
        result.failure = WriteResult::failure(shownDir, u"not a folder"_s);
        return result;
    }

    const QDir dir(outputDir);
    const std::vector<QString> names = plannedFileNames(rows);
    std::vector<QString> paths;
    paths.reserve(names.size());
    for (const QString &name : names) {
        paths.push_back(dir.filePath(name));
        const QString shown = QDir::toNativeSeparators(paths.back());
        // A link is replaced by the listing, whatever it leads to.
        const QFileInfo target(paths.back());
        if (target.exists() && !target.isFile() && !target.isSymLink()) {
            result.failure =
                WriteResult::failure(shown, u"a folder or device of that name is in the way"_s);
            return result;
        }
        if (!input.isEmpty() && FileSync::sameFile(paths.back(), input)) {
            result.failure = WriteResult::failure(
                shown, u"it is the batch file being read; its rows and other columns would be "
                       "lost. Write the listings to another folder"_s);
            return result;
        }
    }

    result.written.reserve(rows.size());
    BatchWriter(outputDir, folder, rows, paths, options, result).run();
    return result;
}
