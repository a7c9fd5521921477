#include "../cases.h"
#include "ansicodec.h"
#include "batchcsv.h"
#include "batchplan.h"
#include "colorrecord.h"
#include "composer.h"
#include "filenamefilter.h"
#include "nesting.h"
#include "rulecheck.h"
#include "saveout.h"
#include "startup.h"
#include "textfile.h"
#include "textrules.h"
#include "workbookfill.h"

#include <QBuffer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// A compose case names its folders by placeholder; the run's paths stand in for them in the
// arguments, and the placeholders stand in for the paths again in what the composer printed.
using Places = QList<std::pair<QByteArray, QString>>;

QString placed(QString text, const Places &places)
{
    for (const auto &[name, path] : places) {
        text.replace(QString::fromUtf8(name), QDir::toNativeSeparators(path));
    }
    return text;
}

QByteArray unplaced(QByteArray bytes, const Places &places)
{
    for (const auto &[name, path] : places) {
        bytes.replace(QDir::toNativeSeparators(path).toUtf8(), name);
    }
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
             qPrintable(path));
}

// Octal modes of owner, group and others, as Qt's permissions hold them.
constexpr std::pair<QFile::Permission, unsigned> ModeBits[] = {
    {QFile::ReadOwner, 0400}, {QFile::WriteOwner, 0200}, {QFile::ExeOwner, 0100},
    {QFile::ReadGroup, 040},  {QFile::WriteGroup, 020},  {QFile::ExeGroup, 010},
    {QFile::ReadOther, 04},   {QFile::WriteOther, 02},   {QFile::ExeOther, 01}};

bool setMode(const QString &path, unsigned mode)
{
    QFile::Permissions permissions;
    for (const auto &[permission, bit] : ModeBits) {
        if (mode & bit) {
            permissions |= permission;
        }
    }
    return QFile::setPermissions(path, permissions);
}

// "MODE NAME" for each file in the folder, "link NAME" for a symbolic link, in name order.
QByteArray modeListing(const QString &folder)
{
    QByteArray listing;
    for (const QString &name : treeFiles(folder)) {
        const QFileInfo info(folder + u'/' + name);
        unsigned mode = 0;
        for (const auto &[permission, bit] : ModeBits) {
            mode |= info.permissions().testFlag(permission) ? bit : 0;
        }
        listing += (info.isSymLink() ? QByteArray("link")
                                     : QByteArray::number(mode, 8).rightJustified(4, '0')) +
                   ' ' + name.toUtf8() + '\n';
    }
    return listing;
}

QByteArray snapshot(const QString &root)
{
    QByteArray all;
    for (const QString &name : treeFiles(root)) {
        all += name.toUtf8() + '\0' + fileBytes(root + u'/' + name) + '\0';
    }
    return all;
}

// The table readers see a 32-byte limit, so that a line of a table can cross it.
constexpr qint64 TableReadLimit = 32;

QString readStatus(ReadStatus status)
{
    return status == ReadStatus::Empty      ? u"!empty"_s
           : status == ReadStatus::TooLarge ? u"!too large"_s
                                            : u"!device error"_s;
}

TextRead readTable(const QString &bytes, bool multiLine)
{
    QByteArray data = bytes.toLatin1();
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return multiLine ? readMultiLineText(buffer, TableReadLimit)
                     : readOneLineText(buffer, TableReadLimit);
}

QString readText(const QString &bytes, bool multiLine, bool box)
{
    const TextRead read = readTable(bytes, multiLine);
    if (read.status != ReadStatus::Ok) {
        return readStatus(read.status);
    }
    return box ? multiLineBoxText(read.text) : read.text;
}

// A batch file read: each row as "LINE: main|sub|description|condition", each warning and the
// error as "warning LINE: text" and "error LINE: text", one a line.
QString batchRead(const QString &bytes)
{
    const BatchParseResult result = parseBatchCsv(bytes.toLatin1());
    QStringList lines;
    for (const BatchMessage &warning : result.warnings) {
        lines += u"warning %1: %2"_s.arg(warning.line).arg(warning.text);
    }
    if (result.error) {
        lines += u"error %1: %2"_s.arg(result.error->line).arg(result.error->text);
    }
    for (const BatchRow &row : result.rows) {
        lines +=
            u"%1: "_s.arg(row.line) +
            QStringList{row.mainTitle, row.subTitle, row.description, row.condition}.join(u'|');
    }
    return lines.join(u'\n');
}

// The file names of a batch whose rows carry these main titles, "|" between them.
QString plannedNames(const QString &titles)
{
    std::vector<BatchRow> rows;
    for (const QString &title : titles.split(u'|')) {
        rows.push_back(BatchRow{title, {}, {}, {}, 2});
    }
    const std::vector<QString> names = plannedFileNames(rows);
    return QStringList(names.begin(), names.end()).join(u'|');
}

// The report, one finding a line.
QString report(const ListingSettings &settings)
{
    QStringList lines;
    for (const Finding &finding : checkPage(settings)) {
        lines += formatFinding(finding);
    }
    return lines.join(u'\n');
}

// The report for a description on a page of the description alone.
QString findings(const QString &description)
{
    ListingSettings settings;
    settings.appendRestoredName(u"Description"_s);
    settings.setText(TextField::Description, description);
    return report(settings);
}

// The report for a page of the sections Description, Condition and Payment, whose texts the
// input holds in that order, separated by U+001F.
QString sectionFindings(const QString &texts)
{
    const QStringList parts = texts.split(QChar(0x1F));
    ListingSettings settings;
    const TextField fields[] = {TextField::Description, TextField::Condition, TextField::Payment};
    const QString names[] = {u"Description"_s, u"Condition"_s, u"Payment"_s};
    for (int i = 0; i < 3; ++i) {
        settings.appendRestoredName(names[i]);
        settings.setText(fields[i], parts.value(i));
    }
    return report(settings);
}

// The pre-scan of a page for the parser, read as bytes one a character: "deepest N at OFFSET",
// then "too deep at OFFSET" and "crowded at OFFSET" where set, and "copy: BYTES" where the
// parser is given other bytes than the page's, one a line.
QString nesting(const QString &page)
{
    QByteArray copy;
    const NestingBound bound = boundNesting(page.toLatin1(), &copy);
    QStringList lines{u"deepest %1 at %2"_s.arg(bound.deepest).arg(bound.deepestAt)};
    if (bound.tooDeepAt >= 0) {
        lines += u"too deep at %1"_s.arg(bound.tooDeepAt);
    }
    if (bound.crowdedAt >= 0) {
        lines += u"crowded at %1"_s.arg(bound.crowdedAt);
    }
    if (!copy.isNull()) {
        lines += u"copy: "_s + QString::fromLatin1(copy);
    }
    return lines.join(u'\n');
}

// What the next start-up must find of a session: its five texts, its colours and its list of
// sections. The style groups are left out: a first start saves no size, the next one reads the
// fallbacks.
QStringList readBack(const Session &session)
{
    QStringList state;
    for (const TextFileEntry &entry : TextFileTable) {
        state += session.settings.text(entry.field);
    }
    return state << QString::fromLatin1(colorRecord(session.settings.colors()))
                 << session.settings.sectionOrder().join(u'|');
}

// Applies a data-file case's "edits": "FILE TEXT" gives the box of that text file TEXT, as the
// seller's typing would. The result says what went wrong, empty when nothing did.
QString applyEdit(Session &session, const QString &line)
{
    const QString file = line.section(u' ', 0, 0);
    for (const TextFileEntry &entry : TextFileTable) {
        if (file.compare(entry.fileName, Qt::CaseInsensitive) == 0) {
            session.settings.setText(entry.field, unescape(line.section(u' ', 1)));
            return {};
        }
    }
    return u"no text file is named \"%1\""_s.arg(file);
}

// A workbook the fill wrote stands in the case as what changed against the one it filled: "part
// NAME" for each part whose stored bytes differ, then "cell SHEET!REF style S" and the text on
// the lines after it for each cell whose style or text differs.
void describeWorkbooks(const QString &out, const QStringList &arguments)
{
    const qsizetype fill = arguments.indexOf(u"--fill"_s);
    for (const QString &name : QDir(out).entryList({u"*.xlsx"_s}, QDir::Files)) {
        const QByteArray input = fileBytes(arguments.value(fill + 1));
        const QByteArray output = fileBytes(out + u'/' + name);
        QByteArray changes;
        auto before = workbookStoredParts(input);
        for (const auto &[part, stored] : workbookStoredParts(output)) {
            changes += before[part] != stored ? "part " + part.toUtf8() + '\n' : QByteArray();
        }
        auto cells = workbookCells(input).value_or(std::map<QString, WorkbookCell>{});
        for (const auto &[ref, cell] : workbookCells(output).value_or(cells)) {
            if (!(cells[ref] == cell)) {
                changes += u"cell %1 style %2\n%3\n"_s.arg(ref, cell.style, cell.text).toUtf8();
            }
        }
        writeFile(out + u'/' + name + u".changes"_s, changes);
        QFile::remove(out + u'/' + name);
    }
}

using TableFunction = QString (*)(const QString &);

// The system's device that takes everything written to it, by its name.
#ifdef Q_OS_WIN
const QString NullDevice = u"NUL"_s;
#else
const QString NullDevice = u"/dev/null"_s;
#endif

// A row's name: lower-case words and numbers joined by "-".
const QRegularExpression RowName(u"^[a-z0-9]+(-[a-z0-9]+)*$"_s);

// Every table under tests/data/tables is named after one of these.
const QMap<QString, TableFunction> TableFunctions{
    {u"fileNameFilter"_s, [](const QString &s) { return fileNameFilter(s); }},
    {u"proposedFileName"_s, [](const QString &s) { return proposedFileName(s); }},
    {u"proposedSaveName"_s, [](const QString &s) { return proposedSaveName(s); }},
    {u"plannedFileNames"_s, plannedNames},
    {u"ansiEncode"_s, [](const QString &s) { return QString::fromLatin1(AnsiCodec::encode(s)); }},
    {u"ansiEncodeReplacingCr"_s,
     [](const QString &s) {
         QByteArray out("*");
         AnsiCodec::appendEncodedReplacingCr(out, s, "<CR>");
         return QString::fromLatin1(out);
     }},
    {u"ansiDecode"_s, [](const QString &s) { return AnsiCodec::decode(s.toLatin1()); }},
    {u"trimBlanks"_s, [](const QString &s) { return trimBlanks(s); }},
    {u"normalizeLineBreaks"_s, [](const QString &s) { return normalizeLineBreaks(s); }},
    {u"readOneLineText"_s, [](const QString &s) { return readText(s, false, false); }},
    {u"readMultiLineText"_s, [](const QString &s) { return readText(s, true, false); }},
    {u"multiLineBoxText"_s, [](const QString &s) { return readText(s, true, true); }},
    {u"textFileBytes"_s, [](const QString &s) { return QString::fromLatin1(textFileBytes(s)); }},
    {u"batchRead"_s, batchRead},
    {u"findings"_s, findings},
    {u"sectionFindings"_s, sectionFindings},
    {u"nesting"_s, nesting},
};

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void compose_data() { addCaseRows(u"compose"_s); }
    void compose();
    void datafiles_data() { addCaseRows(u"datafiles"_s); }
    void datafiles();
    void tables_data();
    void tables();
};

// A compose case: "args" one argument a line ("#" starts a comment line, "\#" an argument that
// begins with "#"; {null device} is the system's own, which takes everything written to it),
// "terminal" when standard error is one, "process" to run the real program, "stdout-into" naming
// the file its standard output goes to (with "process": a full disk is
// "/dev/full"); "folder" and "bare" as CaseFolder reads them, "out" for what the output folder
// holds before the run (a link there may lead into the run's folders by placeholder), "modes"
// with a line "MODE NAME" (octal) for each file of it whose mode is not 600, as copied.
// "expect" holds what the run leaves: "status", "stdout" and "stderr" (absent when empty), the
// output folder under "out", file for file, and where it has "modes" that of every file of the
// output folder, one "MODE NAME" a line ("link NAME" for a symbolic link), new files made under
// umask 022.
void TestCore::compose()
{
    QFETCH(QString, dir);
    SKIP_POSIX_ONLY_CASE(dir);
    const CaseFolder folder(dir);
    QTemporaryDir run;
    const QString out = run.filePath(u"out"_s);
    QVERIFY(QDir().mkpath(out));
    const Places places{{"{folder}", folder.path()},
                        {"{case}", dir},
                        {"{out}", out},
                        {"{bin}", QStringLiteral(TAVRIN_BIN_DIR)}};
    if (QFileInfo::exists(dir + u"/out"_s)) {
        copyTree(dir + u"/out"_s, out,
                 [&](const QString &target) { return placed(target, places); });
    }
    for (const QString &line : fileLines(dir + u"/modes"_s)) {
        const QString name = line.section(u' ', 1);
        QVERIFY2(setMode(out + u'/' + name, line.section(u' ', 0, 0).toUInt(nullptr, 8)),
                 qPrintable(name));
    }
    const bool modes = QFileInfo::exists(dir + u"/expect/modes"_s);
#ifdef Q_OS_UNIX
    const mode_t umask = modes ? ::umask(022) : 0;
#endif
    QStringList arguments;
    for (const QString &line : fileLines(dir + u"/args"_s)) {
        if (!line.startsWith(u'#')) {
            arguments += placed(unescape(line), places).replace(u"{null device}"_s, NullDevice);
        }
    }
    const QByteArray folderBefore = snapshot(folder.path());

    int status = -1;
    QByteArray stdoutBytes;
    QByteArray stderrBytes;
    if (QFileInfo::exists(dir + u"/process"_s)) {
        QProcess process;
        if (const QStringList into = fileLines(dir + u"/stdout-into"_s); !into.isEmpty()) {
            process.setStandardOutputFile(placed(into.first(), places));
        }
        process.start(QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"), arguments);
        QVERIFY(process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit);
        status = process.exitCode();
        stdoutBytes = process.readAllStandardOutput();
        stderrBytes = process.readAllStandardError();
    } else {
        QBuffer outDevice(&stdoutBytes);
        QBuffer errDevice(&stderrBytes);
        outDevice.open(QIODevice::WriteOnly);
        errDevice.open(QIODevice::WriteOnly);
        const Composer::Streams streams{QFileInfo::exists(dir + u"/terminal"_s)};
        status = Composer::run(QStringList{u"tavrin-compose"_s} + arguments, folder.path(),
                               outDevice, errDevice, streams);
    }
    if (modes) {
#ifdef Q_OS_UNIX
        ::umask(umask);
#endif
        writeFile(run.filePath(u"modes"_s), modeListing(out));
    }

    describeWorkbooks(out, arguments);
    writeFile(run.filePath(u"status"_s), QByteArray::number(status) + '\n');
    for (const auto &[name, bytes] :
         {std::pair{u"stdout"_s, stdoutBytes}, {u"stderr"_s, stderrBytes}}) {
        if (!bytes.isEmpty()) {
            writeFile(run.filePath(name), portableSeparators(unplaced(bytes, places)));
        }
    }
    const QTemporaryDir scratch;
    const QString expect = scratch.path();
    copyExpectedHere(dir + u"/expect"_s, expect);
    QCOMPARE(treeFiles(run.path()), treeFiles(expect));
    compareTree(expect, run.path());
    QVERIFY2(snapshot(folder.path()) == folderBefore, "the program folder changed");
}

// A data-file case: the run the window makes of the seven files when nothing but "edits" is
// done in it. Start-up reads the program folder ("folder" and "bare" as CaseFolder reads them;
// "locked": the folder refuses new files, its files stay writable); each line "FILE TEXT" of
// "edits" then puts TEXT in the box of that text file; the close saves. "expect" holds what the
// run leaves: "errors", what start-up or saving reported, one "start-up: " or "saving: " and
// the message a line, {folder} for the folder without its final "/" (absent when nothing was),
// and under "folder" the files of the folder as compareTree reads them. A failed start-up saves
// nothing; after a run that started, the next start-up reads back its texts, colours and list.
void TestCore::datafiles()
{
    QFETCH(QString, dir);
    SKIP_POSIX_ONLY_CASE(dir);
    CaseFolder folder(dir);
    const bool locked = QFileInfo::exists(dir + u"/locked"_s);
    folder.setLocked(locked);
    QStringList reported;
    Session session;
    const std::optional<FileError> failed = startup(session, folder.path());
    if (failed) {
        reported += u"start-up: "_s + failed->message();
    } else {
        const QStringList edits = fileLines(dir + u"/edits"_s);
        for (qsizetype n = 0; n < edits.size(); ++n) {
            if (edits[n].isEmpty() || edits[n].startsWith(u'#')) {
                continue;
            }
            const QString problem = applyEdit(session, edits[n]);
            QVERIFY2(problem.isEmpty(), qPrintable(u"edits line %1: %2"_s.arg(n + 1).arg(problem)));
        }
        for (const FileError &error : saveout(session)) {
            reported += u"saving: "_s + error.message();
        }
    }
    folder.setLocked(false);

    QString got = QString::fromUtf8(portableSeparators(
        reported.join(u'\n')
            .replace(QDir::toNativeSeparators(folder.path().chopped(1)), u"{folder}"_s)
            .toUtf8()));
    if (!got.isEmpty()) {
        got += u'\n';
    }
    QCOMPARE(got, QString::fromUtf8(fileBytes(dir + u"/expect/errors"_s)));
    compareTree(dir + u"/expect/folder"_s, folder.path());
    if (failed || QTest::currentTestFailed()) {
        return;
    }
    folder.setLocked(locked);
    Session next;
    const std::optional<FileError> again = startup(next, folder.path());
    QVERIFY2(!again, qPrintable(again ? again->message() : QString()));
    QCOMPARE(readBack(next), readBack(session));
}

// A table: one row a line, "name<TAB>input<TAB>expected", input and expected escaped; "#" starts
// a comment line. The name says what the row tests, so a row keeps its tag when lines move.
void TestCore::tables_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QDir root(testData(u"tables"_s));
    for (const QString &file : root.entryList({u"*.txt"_s}, QDir::Files, QDir::Name)) {
        const QString table = QFileInfo(file).completeBaseName();
        if (!TableFunctions.contains(table)) {
            qFatal("no function for the table %s", qPrintable(file));
        }
        const QString path = root.filePath(file);
        const QStringList lines = fileLines(path);
        QMap<QString, qsizetype> named;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].isEmpty() || lines[i].startsWith(u'#')) {
                continue;
            }
            const QStringList columns = lines[i].split(u'\t');
            if (columns.size() != 3) {
                qFatal("%s:%lld: not name<TAB>input<TAB>expected", qPrintable(path), i + 1);
            }
            if (!RowName.match(columns[0]).hasMatch()) {
                qFatal("%s:%lld: the name \"%s\" is not a few words joined by \"-\"",
                       qPrintable(path), i + 1, qPrintable(columns[0]));
            }
            if (const qsizetype first = named.value(columns[0])) {
                qFatal("%s:%lld: the name \"%s\" is already on line %lld", qPrintable(path), i + 1,
                       qPrintable(columns[0]), first);
            }
            named.insert(columns[0], i + 1);
            QTest::addRow("%s:%s", qPrintable(table), qPrintable(columns[0]))
                << table << unescape(columns[1]) << unescape(columns[2]);
        }
    }
}

void TestCore::tables()
{
    QFETCH(QString, table);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(TableFunctions.value(table)(input), expected);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
