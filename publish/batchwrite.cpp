#include "batchwrite.h"

#include "batchplan.h"
#include "pagewriter.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

BatchWriteResult writeBatch(const QString &outputDir, const ListingSettings &folder,
                            const std::vector<BatchRow> &rows, const BatchOptions &options)
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
        const QFileInfo target(paths.back());
        if (target.exists() && !target.isFile()) {
            result.failure = WriteResult::failure(QDir::toNativeSeparators(paths.back()),
                                                  u"a folder or device of that name is in the "
                                                  "way"_s);
            return result;
        }
    }

    const auto total = static_cast<qsizetype>(rows.size());
    result.written.reserve(rows.size());
    for (qsizetype i = 0; i < total; ++i) {
        const ListingSettings settings = listingForRow(folder, rows[i]);
        CheckedPage page;
        if (options.check) {
            page = composeChecked(settings);
        } else {
            page.page = renderPage(settings);
        }
        const WriteResult written = replaceFile(paths[i], page.page);
        if (!written) {
            result.failure = written;
            return result;
        }
        result.written.push_back({written.path, rows[i].line, std::move(page.findings)});
        if (options.progress) {
            options.progress(i + 1, total);
        }
    }
    return result;
}
