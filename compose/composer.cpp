#include "composer.h"

#include "batchcsv.h"
#include "batchwrite.h"
#include "boundedread.h"
#include "bulkfill.h"
#include "csvtext.h"
#include "datafiles.h"
#include "filesync.h"
#include "filewrite.h"
#include "rulecheck.h"
#include "session.h"
#include "startup.h"
#include "textfile.h"
#include "textrules.h"
#include "version.h"
#include "workbookfill.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QStringDecoder>

#include <optional>

using namespace Qt::StringLiterals;

namespace Composer {

namespace {

const QString ProgramName = u"tavrin-compose"_s;

bool writeLine(QIODevice &device, const QString &line)
{
    return writeAll(device, (line + u'\n').toUtf8());
}

void say(QIODevice &err, const QString &message)
{
    writeLine(err, ProgramName + u": "_s + message);
}

int badUsage(QIODevice &err, const QString &message)
{
    say(err, message);
    writeAll(err, (u"Try \""_s + ProgramName + u" --help\" for the options.\n"_s).toUtf8());
    return BadUsage;
}

struct InputFile
{
    QString text;
    QString error;
};

// A description or condition file: UTF-8, taken whole, line breaks as the window keeps them.
InputFile readInputFile(const QString &path)
{
    const BoundedBytes read = readBoundedFile(path, MaxTextFileBytes);
    if (read.status == BoundedStatus::TooLarge) {
        return {{}, textTooLargeReason()};
    }
    if (read.status != BoundedStatus::Ok) {
        return {{}, read.error};
    }
    // The position counts from 1, as a CSV file's faults do on their line.
    if (const qsizetype bad = firstInvalidUtf8(read.bytes); bad >= 0) {
        return {{},
                u"not valid UTF-8 (byte 0x%1 at position %2 of the file)"_s
                    .arg(QString::number(static_cast<unsigned char>(read.bytes[bad]), 16).toUpper())
                    .arg(bad + 1)};
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(read.bytes);
    return {normalizeLineBreaks(text), {}};
}

// Where a write to path lands: a symbolic link followed to its end, as the writer follows it,
// even when it leads nowhere.
QString landingPath(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 64 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.filePath();
}

// A device or a pipe is written as it is, never replaced, so it stands for no file.
bool isWrittenInPlace(const QString &path)
{
    const FileSync::Kind kind = FileSync::kindOf(path);
    return kind == FileSync::Kind::CharacterDevice || kind == FileSync::Kind::Fifo;
}

// Whether writing to output would replace the file at input, whatever the paths say: links,
// "..", another hard link.
bool replacesFile(const QString &output, const QString &input)
{
    return !isWrittenInPlace(output) && FileSync::sameFile(output, input);
}

// The page must not land on one of the folder's own data files, nor where one would be.
bool isDataFileOf(const QString &folder, const QString &outputPath)
{
    const QDir dir(folder);
    const QStringList names = dataFileNames();
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (names.contains(name, Qt::CaseInsensitive) &&
            replacesFile(outputPath, dir.filePath(name))) {
            return true;
        }
    }
    const QFileInfo target(landingPath(outputPath));
    const QString targetDir = QDir(target.absolutePath()).canonicalPath();
    if (targetDir.isEmpty() || targetDir != dir.canonicalPath()) {
        return false;
    }
    return names.contains(target.fileName(), Qt::CaseInsensitive);
}

struct Options
{
    QCommandLineOption folder{u"folder"_s,
                              u"The program folder whose data files supply the reusable texts, "
                              "colours, section order and styles (default: the folder that "
                              "holds this program)."_s,
                              u"DIR"_s};
    QCommandLineOption mainTitle{u"main-title"_s, u"The main title (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption subTitle{u"sub-title"_s, u"The sub title (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption description{u"description"_s, u"The description (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption descriptionFile{u"description-file"_s,
                                       u"Take the description from a UTF-8 file."_s, u"FILE"_s};
    QCommandLineOption condition{u"condition"_s, u"The condition text (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption conditionFile{u"condition-file"_s,
                                     u"Take the condition text from a UTF-8 file."_s, u"FILE"_s};
    QCommandLineOption output{u"output"_s,
                              u"Write the page to FILE, replacing it whole (default: standard "
                              "output)."_s,
                              u"FILE"_s};
    QCommandLineOption batch{u"batch"_s,
                             u"Write one listing for each row of a spreadsheet's CSV file (UTF-8, "
                             "comma or semicolon separated) whose header names the columns "
                             "\"main title\", \"sub title\", \"description\" and "
                             "\"condition\". Needs --output-dir; the texts come from the file."_s,
                             u"FILE"_s};
    QCommandLineOption outputDir{u"output-dir"_s,
                                 u"With --batch: the existing folder to write the listings to, "
                                 "each named after its main title plus \".txt\" and replacing "
                                 "a file of that name. The files written are listed on standard "
                                 "output."_s,
                                 u"DIR"_s};
    QCommandLineOption fill{u"fill"_s,
                            u"Fill the marketplace's bulk-listing file: compose the page of every "
                            "item row (a row with an Action) from its Title, Subtitle, "
                            "Description and ConditionDescription and put it in the row's "
                            "Description field. Needs --output, the filled copy; every other "
                            "byte of the file stays as it was."_s,
                            u"FILE"_s};
    QCommandLineOption check{
        u"check"_s, u"Check each page against the marketplace's rules as well and report on "
                    "standard error what it would refuse (refused:) or hide (hidden:), what "
                    "its links policy asks the seller to look at (policy:) and what phones "
                    "show badly (advice:), with exit status 3 when anything is refused or "
                    "hidden. The pages are written all the same."_s};

    // The options that give the texts of a single listing, which a batch takes from its file.
    QList<const QCommandLineOption *> listingTexts() const
    {
        return {&mainTitle, &subTitle, &description, &descriptionFile, &condition, &conditionFile};
    }
};

const QString AppDescription =
    u"Writes the listing page for the given texts with the settings of a program folder, one "
    "page for each row of a batch file, or the page of each item row into a bulk-listing "
    "file.\n\n"
    "  tavrin-compose [--folder DIR] [TEXT OPTIONS] [--output FILE] [--check]\n"
    "  tavrin-compose [--folder DIR] --batch ITEMS.csv --output-dir DIR [--check]\n"
    "  tavrin-compose [--folder DIR] --fill ITEMS.csv --output FILLED.csv [--check]\n"
    "  tavrin-compose [--folder DIR] --fill ITEMS.xlsx --output FILLED.xlsx [--check]\n\n"
    "Exit status: 0 done; 1 a file could not be read or written; 2 wrong usage; 3 --check found "
    "something the marketplace refuses or hides (every page was written)."_s;

// A text option given to a job that takes its texts from a file, or nothing.
std::optional<QString> textOptionWith(const QString &job, const QCommandLineParser &parser,
                                      const Options &options)
{
    for (const QCommandLineOption *option : options.listingTexts()) {
        if (parser.isSet(*option)) {
            return u"--%1 takes the texts from its file; --%2 cannot go with it."_s.arg(
                job, option->names().first());
        }
    }
    return std::nullopt;
}

// Why the options cannot make a batch, or nothing when they can.
std::optional<QString> batchUsageProblem(const QCommandLineParser &parser, const Options &options)
{
    if (!parser.isSet(options.batch)) {
        return u"--output-dir goes with --batch; a single listing is written to --output."_s;
    }
    if (!parser.isSet(options.outputDir)) {
        return u"--batch needs --output-dir, the folder to write the listings to."_s;
    }
    if (parser.isSet(options.output)) {
        return u"--batch writes to --output-dir, not to --output."_s;
    }
    return textOptionWith(u"batch"_s, parser, options);
}

// Why the options cannot fill a bulk-listing file, or nothing when they can.
std::optional<QString> fillUsageProblem(const QCommandLineParser &parser, const Options &options)
{
    if (parser.isSet(options.batch) || parser.isSet(options.outputDir)) {
        return u"--fill writes one file to --output; it cannot go with --batch or --output-dir."_s;
    }
    if (!parser.isSet(options.output)) {
        return u"--fill needs --output, the file to write the filled copy to."_s;
    }
    if (std::optional<QString> problem = textOptionWith(u"fill"_s, parser, options)) {
        return problem;
    }
    if (replacesFile(parser.value(options.output), parser.value(options.fill))) {
        return u"--output \"%1\" is the file being filled; its descriptions would be lost. Write "
               "the filled copy to another file."_s.arg(
                   QDir::toNativeSeparators(parser.value(options.output)));
    }
    return std::nullopt;
}

// The text of an option pair: the option itself, or the file it names. Empty when neither.
std::optional<QString> textOf(const QCommandLineParser &parser, const QCommandLineOption &inline_,
                              const QCommandLineOption &file, const QString &what, QIODevice &err)
{
    if (parser.isSet(file)) {
        const QString path = parser.value(file);
        const InputFile read = readInputFile(path);
        if (!read.error.isEmpty()) {
            say(err, u"cannot read the %1 file \"%2\": %3."_s.arg(
                         what, QDir::toNativeSeparators(path), read.error));
            return std::nullopt;
        }
        return read.text;
    }
    return parser.value(inline_);
}

bool flushed(QIODevice &device)
{
    auto *file = qobject_cast<QFileDevice *>(&device);
    return !file || file->flush();
}

bool writePageTo(QIODevice &out, const QByteArray &page)
{
    return writeAll(out, page) && flushed(out);
}

// The help and the version as well: the bytes wait in a buffer, and a full disk refuses them
// only when they are flushed.
int writeToStandardOutput(QIODevice &out, QIODevice &err, const QString &text)
{
    if (!writePageTo(out, text.toUtf8())) {
        say(err, u"cannot write to standard output: %1."_s.arg(FileSync::reasonOf(out)));
        return FileFailure;
    }
    return Success;
}

// One line per finding, each behind the prefix; true when any stops the listing as it is
// (policy and advice lines alone do not).
bool reportFindings(QIODevice &err, const QString &prefix, const std::vector<Finding> &findings)
{
    bool stops = false;
    for (const Finding &finding : findings) {
        writeLine(err, prefix + formatFinding(finding));
        stops = stops || stopsListing(finding);
    }
    return stops;
}

// The progress line of a batch or a fill, redrawn in place on a terminal and left out
// elsewhere; ends its line when it was shown.
class Progress
{
public:
    Progress(QIODevice &err, const Streams &streams, const QString &done)
        : m_err(err)
        , m_shown(false)
    {
        if (streams.errIsTerminal) {
            m_report = [this, done](qsizetype count, qsizetype total) {
                m_shown = true;
                writeAll(m_err, u"\r%1: %2 of %3 listings %4"_s.arg(ProgramName)
                                    .arg(count)
                                    .arg(total)
                                    .arg(done)
                                    .toUtf8());
                flushed(m_err);
            };
        }
    }
    // What follows must not overwrite the last state of the progress line.
    void end()
    {
        if (m_shown) {
            writeAll(m_err, "\n");
        }
    }
    const std::function<void(qsizetype, qsizetype)> &report() const { return m_report; }

private:
    QIODevice &m_err;
    bool m_shown;
    std::function<void(qsizetype, qsizetype)> m_report;
};

int runBatch(const QString &csvPath, const QString &outputDir, bool check,
             const ListingSettings &folder, QIODevice &out, QIODevice &err, const Streams &streams)
{
    // Every row is read and checked before the first file is written: a fault on the last
    // line must not leave half a batch behind.
    const QString shownCsv = QDir::toNativeSeparators(csvPath);
    const BatchParseResult parsed = readBatchCsv(csvPath);
    for (const BatchMessage &warning : parsed.warnings) {
        writeLine(err, formatBatchMessage(shownCsv, warning));
    }
    if (parsed.error) {
        // A file that cannot be read at all is named in the message itself.
        if (parsed.error->line > 0) {
            writeLine(err, formatBatchMessage(shownCsv, *parsed.error));
        } else {
            say(err, parsed.error->text + u'.');
        }
        return FileFailure;
    }

    Progress progress(err, streams, u"written"_s);
    const BatchWriteResult result =
        writeBatch(outputDir, folder, parsed.rows, BatchOptions{check, progress.report()}, csvPath);
    progress.end();

    bool listed = true;
    bool anyFinding = false;
    for (const WrittenListing &listing : result.written) {
        listed = writeLine(out, listing.path) && listed;
        anyFinding |= reportFindings(err, listing.path + u": "_s, listing.findings);
    }
    if (!listed || !flushed(out)) {
        say(err, u"cannot write to standard output: %1."_s.arg(FileSync::reasonOf(out)));
        return FileFailure;
    }
    if (!result.ok()) {
        say(err, u"cannot write \"%1\": %2."_s.arg(result.failure->path, result.failure->error));
        return FileFailure;
    }
    return anyFinding ? Findings : Success;
}

// A workbook is filled whole in memory, every page composed before the copy is written: a page
// too long for a cell leaves nothing written.
int runWorkbookFill(const QString &shown, const QByteArray &bytes, const QString &outputPath,
                    bool check, const ListingSettings &folder, QIODevice &err)
{
    const FilledWorkbook filled = fillWorkbook(bytes, folder, BatchOptions{check, {}});
    for (const SheetMessage &warning : filled.warnings) {
        writeLine(err, formatSheetMessage(shown, warning));
    }
    if (filled.error) {
        writeLine(err, formatSheetMessage(shown, *filled.error));
        return FileFailure;
    }
    if (const WriteResult written = writeOutputFile(outputPath, filled.bytes); !written) {
        say(err, u"cannot write \"%1\": %2."_s.arg(written.path, written.error));
        return FileFailure;
    }
    bool anyFinding = false;
    for (const FilledSheetListing &listing : filled.listings) {
        anyFinding |= reportFindings(
            err, u"%1:%2:%3: "_s.arg(shown, listing.sheet).arg(listing.row), listing.findings);
    }
    return anyFinding ? Findings : Success;
}

int runFill(const QString &csvPath, const QString &outputPath, bool check,
            const ListingSettings &folder, QIODevice &err, const Streams &streams)
{
    // The whole file is read and understood before anything is written.
    const QString shownCsv = QDir::toNativeSeparators(csvPath);
    CsvFileBytes read = readCsvFile(csvPath);
    if (!read.error.isEmpty()) {
        say(err, read.error + u'.');
        return FileFailure;
    }
    const BulkFileType type = bulkFileType(read.bytes);
    if (type.kind == BulkFileKind::Refused) {
        writeLine(err, formatSheetMessage(shownCsv, {{}, 0, type.refusal}));
        return FileFailure;
    }
    if (type.kind == BulkFileKind::Workbook) {
        return runWorkbookFill(shownCsv, read.bytes, outputPath, check, folder, err);
    }
    const BulkFile bulk = parseBulkFile(std::move(read.bytes));
    for (const BatchMessage &warning : bulk.warnings) {
        writeLine(err, formatBatchMessage(shownCsv, warning));
    }
    if (bulk.error) {
        writeLine(err, formatBatchMessage(shownCsv, *bulk.error));
        return FileFailure;
    }

    // Each page goes to the new file as it is composed: the filled file is never held whole.
    Progress progress(err, streams, u"filled"_s);
    FilledFile filled;
    const WriteResult written = writeOutputFile(outputPath, [&](QFileDevice &out) {
        filled = fillBulkFile(bulk, folder, out, BatchOptions{check, progress.report()});
        return filled.writeError;
    });
    progress.end();
    if (filled.pageError) {
        writeLine(err, formatBatchMessage(shownCsv, *filled.pageError));
        return FileFailure;
    }
    if (!written) {
        say(err, u"cannot write \"%1\": %2."_s.arg(written.path, written.error));
        return FileFailure;
    }
    for (const BatchMessage &warning : filled.warnings) {
        writeLine(err, formatBatchMessage(shownCsv, warning));
    }
    bool anyFinding = false;
    for (const FilledListing &listing : filled.listings) {
        anyFinding |=
            reportFindings(err, u"%1:%2: "_s.arg(shownCsv).arg(listing.line), listing.findings);
    }
    return anyFinding ? Findings : Success;
}

} // namespace

int run(const QStringList &arguments, const QString &defaultFolder, QIODevice &out, QIODevice &err,
        const Streams &streams)
{
    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(AppDescription);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QList<const QCommandLineOption *> all = {
        &options.folder,          &options.mainTitle, &options.subTitle,      &options.description,
        &options.descriptionFile, &options.condition, &options.conditionFile, &options.output,
        &options.batch,           &options.outputDir, &options.fill,          &options.check};
    for (const QCommandLineOption *option : all) {
        parser.addOption(*option);
    }

    if (!parser.parse(arguments)) {
        return badUsage(err, parser.errorText());
    }
    // "--help-all" comes with the help option; there are no toolkit options worth listing.
    if (parser.isSet(help) || parser.isSet(u"help-all"_s)) {
        return writeToStandardOutput(out, err, parser.helpText());
    }
    if (parser.isSet(version)) {
        return writeToStandardOutput(
            out, err, ProgramName + u' ' + QStringLiteral(TAVRIN_VERSION_TEXT) + u'\n');
    }
    if (!parser.positionalArguments().isEmpty()) {
        return badUsage(err,
                        u"unexpected argument \"%1\"."_s.arg(parser.positionalArguments().first()));
    }
    // Counted by name rather than by value, so that a repeated --check counts too.
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption *option : all) {
        if (given.count(option->names().first()) > 1) {
            return badUsage(err, u"--%1 given more than once."_s.arg(option->names().first()));
        }
    }
    const bool fill = parser.isSet(options.fill);
    if (fill) {
        if (const std::optional<QString> problem = fillUsageProblem(parser, options)) {
            return badUsage(err, *problem);
        }
    }
    const bool batch = parser.isSet(options.batch) || parser.isSet(options.outputDir);
    if (batch && !fill) {
        if (const std::optional<QString> problem = batchUsageProblem(parser, options)) {
            return badUsage(err, *problem);
        }
    }
    if (parser.isSet(options.description) && parser.isSet(options.descriptionFile)) {
        return badUsage(err, u"give --description or --description-file, not both."_s);
    }
    if (parser.isSet(options.condition) && parser.isSet(options.conditionFile)) {
        return badUsage(err, u"give --condition or --condition-file, not both."_s);
    }
    for (const QCommandLineOption *option :
         {&options.folder, &options.output, &options.descriptionFile, &options.conditionFile,
          &options.batch, &options.outputDir, &options.fill}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            return badUsage(err, u"--%1 needs a name."_s.arg(option->names().first()));
        }
    }

    const QString folder = parser.isSet(options.folder)
                               ? QDir(parser.value(options.folder)).absolutePath()
                               : defaultFolder;
    const QString outputPath = parser.value(options.output);
    if (!outputPath.isEmpty() && isDataFileOf(folder, outputPath)) {
        return badUsage(err, u"--output \"%1\" is a data file of the program folder."_s.arg(
                                 QDir::toNativeSeparators(outputPath)));
    }
    for (const auto &[input, what] : {std::pair{&options.descriptionFile, u"description"_s},
                                      {&options.conditionFile, u"condition"_s}}) {
        if (!outputPath.isEmpty() && parser.isSet(*input) &&
            replacesFile(outputPath, parser.value(*input))) {
            return badUsage(err, u"--output \"%1\" is the %2 file being read; its text would be "
                                 "lost. Write the page to another file."_s.arg(
                                     QDir::toNativeSeparators(outputPath), what));
        }
    }

    Session session;
    if (const std::optional<FileError> error =
            startup(session, folder, RecordFiles::LeaveFolderUntouched)) {
        say(err, error->message());
        return FileFailure;
    }
    const bool check = parser.isSet(options.check);
    if (fill) {
        return runFill(parser.value(options.fill), outputPath, check, session.settings, err,
                       streams);
    }
    if (batch) {
        return runBatch(parser.value(options.batch), parser.value(options.outputDir), check,
                        session.settings, out, err, streams);
    }
    const std::optional<QString> description =
        textOf(parser, options.description, options.descriptionFile, u"description"_s, err);
    if (!description) {
        return FileFailure;
    }
    const std::optional<QString> condition =
        textOf(parser, options.condition, options.conditionFile, u"condition"_s, err);
    if (!condition) {
        return FileFailure;
    }
    ListingSettings &settings = session.settings;
    settings.setText(TextField::MainTitle, parser.value(options.mainTitle));
    settings.setText(TextField::SubTitle, parser.value(options.subTitle));
    settings.setText(TextField::Description, *description);
    settings.setText(TextField::Condition, *condition);

    const CheckedPage checked = composeListing(settings, check);
    if (outputPath.isEmpty()) {
        if (!writePageTo(out, checked.page)) {
            say(err, u"cannot write to standard output: %1."_s.arg(FileSync::reasonOf(out)));
            return FileFailure;
        }
    } else if (const WriteResult written = writeOutputFile(outputPath, checked.page); !written) {
        say(err, u"cannot write \"%1\": %2."_s.arg(written.path, written.error));
        return FileFailure;
    }
    return reportFindings(err, {}, checked.findings) ? Findings : Success;
}

} // namespace Composer
