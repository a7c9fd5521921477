#include "../faildevice.h"
#include "boundedread.h"
#include "colorrecord.h"
#include "pagetext.h"
#include "pagewriter.h"
#include "recordio.h"
#include "saveout.h"
#include "textfile.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "<none>";
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

const QStringList DataFiles{u"ebayid.dat"_s,   u"thankyou.dat"_s, u"noreserve.dat"_s,
                            u"shipping.dat"_s, u"payment.dat"_s,  u"colorset.dat"_s,
                            u"prefs.dat"_s};

// A program folder whose old colour file has a tail, and a session in which every text and
// colour differs from what was loaded, so that all seven files are due.
struct SaveCase
{
    QTemporaryDir dir;
    QString folder = dir.path() + u'/';
    Session session;
    // What saving writes, from the file formats: the record of an empty list and a new window's
    // marks, and the colour record over the old tail.
    QMap<QString, QByteArray> saved{
        {u"colorset.dat"_s, "000000" + QByteArray("ABCDEF").repeated(15) + "tail"},
        {u"prefs.dat"_s, QByteArray(168, ' ') + "SLL1LLLLLL" + QByteArray(32, '\0')}};

    SaveCase()
    {
        session.programFolder = folder;
        writeFile(folder + u"colorset.dat"_s, QByteArray(96, 'o') + "tail");
        session.settings.setColors(
            colorSetFromRecord("000000" + QByteArray("ABCDEF").repeated(15)));
        for (TextField field : {TextField::AuctionId, TextField::ThankYou, TextField::NoReserve,
                                TextField::Shipping, TextField::Payment}) {
            session.settings.setText(field, u"new"_s);
        }
        for (const QString &name : DataFiles.first(5)) {
            saved.insert(name, "new\r\n");
        }
    }
};

// Every file in a folder by name; the batch's own temporary files are hidden.
QMap<QString, QByteArray> listings(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        contents.insert(name, fileBytes(folder + u'/' + name));
    }
    return contents;
}

// A batch of rows, each with a description of some length that differs between the versions.
void writeBatchCsv(const QString &path, int rows, char version)
{
    QByteArray csv = "main title,description\r\n";
    for (int row = 0; row < rows; ++row) {
        csv += "Item " + QByteArray::number(row) + ",\"" + QByteArray(1000 + row % 700, version) +
               "\r\nend\"\r\n";
    }
    writeFile(path, csv);
}

#if defined(Q_OS_UNIX) && !defined(TAVRIN_SANITIZED)
// The composer's check of a page with the given description, run under a limit of its address
// space (the sanitizers reserve far more than any limit here, so their builds skip this).
struct LimitedRun
{
    int status = -1;
    QProcess::ExitStatus exit = QProcess::CrashExit;
    QByteArray err;
};

LimitedRun checkUnderLimit(const QByteArray &description, rlim_t bytes)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(u"description.txt"_s), description);
    QProcess process;
    process.setChildProcessModifier([bytes] {
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
    });
    process.start(QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"),
                  {u"--folder"_s, QStringLiteral(TAVRIN_DEFAULTS_DIR), u"--check"_s,
                   u"--description-file"_s, dir.filePath(u"description.txt"_s), u"--output"_s,
                   dir.filePath(u"page.txt"_s)});
    if (!process.waitForFinished(-1)) {
        return {};
    }
    return {process.exitCode(), process.exitStatus(), process.readAllStandardError()};
}
#endif

QStringList reported(const std::vector<FileError> &errors)
{
    QStringList names;
    for (const FileError &error : errors) {
        names.append(error.fileName);
    }
    return names;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    // A writer that ignored a short write would leave a cut page or record behind.
    void writersReportShortWrites()
    {
        ListingSettings s;
        s.startFirstRun();
        const QByteArray page = renderPage(s);
        const QByteArray record(96, 'R');
        const QByteArray old = QByteArray(96, 'o') + QByteArray("0123456789").repeated(20000);
        const std::pair<qint64, qint64> rooms[] = {
            {0, 0}, {1, 1}, {page.size() / 2, 95}, {page.size() - 1, old.size() - 1}};
        for (const auto &[pageRoom, recordRoom] : rooms) {
            FailingDevice full({}, pageRoom);
            full.open(QIODevice::WriteOnly);
            QVERIFY2(!writePage(s, full), qPrintable(QString::number(pageRoom)));
            FailingDevice oldDevice(old, 1 << 30);
            oldDevice.open(QIODevice::ReadOnly);
            FailingDevice out({}, recordRoom);
            out.open(QIODevice::WriteOnly);
            QVERIFY2(!writeRecordOver(out, record, &oldDevice),
                     qPrintable(QString::number(recordRoom)));
        }
        FailingDevice roomy({}, page.size());
        roomy.open(QIODevice::WriteOnly);
        QVERIFY(writePage(s, roomy));
        QCOMPARE(roomy.written(), page);

        // An old file that fails to give its tail would lose it.
        FailingDevice failingOld(old, 120);
        failingOld.open(QIODevice::ReadOnly);
        FailingDevice out({}, 1 << 30);
        out.open(QIODevice::WriteOnly);
        QVERIFY(!writeRecordOver(out, record, &failingOld));
        FailingDevice failingRead("abcdef", 3);
        failingRead.open(QIODevice::ReadOnly);
        QCOMPARE(readRecord(failingRead, 210), std::nullopt);
    }

    // The readers tell a failing device and an oversized file from an empty one.
    void textReaders()
    {
        using enum ReadStatus;
        const std::tuple<QByteArray, qint64, qint64, ReadStatus, ReadStatus> rows[] = {
            {"", 1 << 30, MaxTextFileBytes, Empty, Empty},
            {"abcd", 1 << 30, 4, Ok, Ok},
            {"abcde", 1 << 30, 4, TooLarge, TooLarge},
            {"ab\r\ncdefgh", 1 << 30, 4, Ok, TooLarge}, // only its line counts for a one-line file
            {"abc", 2, MaxTextFileBytes, DeviceError, DeviceError},
            {"abc\r\ndef\r\n", 6, MaxTextFileBytes, Ok, DeviceError}, // never read past the line
        };
        for (const auto &[bytes, failsAt, limit, oneLine, multiLine] : rows) {
            FailingDevice first(bytes, failsAt), all(bytes, failsAt);
            first.open(QIODevice::ReadOnly);
            all.open(QIODevice::ReadOnly);
            QCOMPARE(readOneLineText(first, limit).status, oneLine);
            const TextRead read = readMultiLineText(all, limit);
            QVERIFY(read.status == multiLine && (multiLine == Ok || read.text.isEmpty()));
        }
    }

    // A file read by name keeps up to its limit exactly and refuses one byte more, without a
    // partial result; one that cannot be opened gives the system's reason.
    void boundedFileReads()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"five"_s);
        writeFile(path, "ab\rde");
        const BoundedBytes whole = readBoundedFile(path, 5);
        QVERIFY(whole.status == BoundedStatus::Ok && whole.bytes == "ab\rde" && !whole.stopSeen);
        const BoundedBytes over = readBoundedFile(path, 4);
        QVERIFY(over.status == BoundedStatus::TooLarge && over.bytes.isEmpty());
        const BoundedBytes missing = readBoundedFile(dir.filePath(u"none"_s), 5);
        QVERIFY(missing.status == BoundedStatus::DeviceError && missing.bytes.isEmpty());
        QCOMPARE(missing.error, u"No such file or directory"_s);
        const BoundedBytes folder = readBoundedFile(dir.path(), 5);
        QVERIFY(folder.status == BoundedStatus::DeviceError && !folder.error.isEmpty());
    }

    // The text files' limit, 64 MiB, holds at its very byte: a text of that size is read, one
    // byte more is refused as damaged.
    void textLimitAtItsByte()
    {
        QByteArray bytes(64 * 1024 * 1024, 'a');
        QBuffer atLimit(&bytes);
        QVERIFY(atLimit.open(QIODevice::ReadOnly));
        const TextRead read = readOneLineText(atLimit);
        QVERIFY(read.status == ReadStatus::Ok);
        QCOMPARE(read.text.size(), bytes.size());
        bytes += 'a';
        QBuffer over(&bytes);
        QVERIFY(over.open(QIODevice::ReadOnly));
        QVERIFY(readMultiLineText(over).status == ReadStatus::TooLarge);
    }

    // A write that fails, to a path under a regular file or half-way as on a full disk, is
    // reported and leaves the earlier page and no stray file.
    void writeoutReportsFailures()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"preview.html"_s);
        writeFile(path, "earlier\r\n");
        const WriteResult blocked = writeout(ListingSettings(), path + u"/page.txt"_s);
        QVERIFY(!blocked.ok && !blocked.error.isEmpty());
        QCOMPARE(blocked.path, QDir::toNativeSeparators(path + u"/page.txt"_s));
#ifdef Q_OS_UNIX
        ListingSettings s;
        s.startFirstRun();
        s.setText(TextField::Description, QString(20000, u'd'));
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{4096, saved.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const WriteResult result = writeout(s, path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!result.ok && !result.error.isEmpty());
        QCOMPARE(result.path, QDir::toNativeSeparators(path));
        QCOMPARE(fileBytes(path), "earlier\r\n");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
#endif
    }

    // A page large enough to go to the file in chunks arrives exactly as rendered, with a
    // surrogate pair and line breaks where the text is taken in slices.
    void largePageStreamed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"large.txt"_s);
        ListingSettings s;
        s.startFirstRun();
        const QString slice(PageText::ChunkBytes / 4 - 1, u'a');
        s.setText(TextField::Description, (slice + u"\U0001F600\r\n"_s).repeated(12));
        QVERIFY(writeout(s, path));
        const QByteArray page = renderPage(s);
        QVERIFY(page.size() > 3 * PageText::ChunkBytes && page.contains("a&#128512;<br>\r\r\n"));
        QCOMPARE(fileBytes(path), page);
    }

    // A batch killed at any moment leaves each listing either as it was or complete, never cut
    // or empty; the new listings are those of a batch run to its end.
    void batchKilledAtRandomMoments()
    {
        QTemporaryDir dir;
        const QString folder = QStringLiteral(TAVRIN_DEFAULTS_DIR);
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir(dir.path()).mkpath(u"out"_s) && QDir(dir.path()).mkpath(u"newer"_s));
        // Two whole groups of listings and a part of a third.
        constexpr int Rows = 1234;
        writeBatchCsv(dir.filePath(u"a.csv"_s), Rows, 'a');
        writeBatchCsv(dir.filePath(u"b.csv"_s), Rows, 'b');
        const auto compose = [&](QProcess &process, const QString &csv, const QString &to) {
            process.start(
                QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"),
                {u"--folder"_s, folder, u"--batch"_s, dir.filePath(csv), u"--output-dir"_s, to});
            QVERIFY(process.waitForStarted());
        };

        QElapsedTimer clock;
        clock.start();
        for (const auto &[csv, to] :
             {std::pair{u"a.csv"_s, out}, {u"b.csv"_s, dir.filePath(u"newer"_s)}}) {
            QProcess process;
            compose(process, csv, to);
            QVERIFY(process.waitForFinished(-1) && process.exitCode() == 0);
        }
        // Moments spread over about as long as a whole batch takes.
        const auto span = std::max<qint64>(clock.elapsed() / 2, 20);
        const QMap<QString, QByteArray> earlier = listings(out);
        const QMap<QString, QByteArray> newer = listings(dir.filePath(u"newer"_s));
        QCOMPARE(earlier.size(), Rows);
        QCOMPARE(newer.keys(), earlier.keys());

        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        for (int run = 0; run < 8; ++run) {
            QProcess process;
            compose(process, run % 2 ? u"a.csv"_s : u"b.csv"_s, out);
            QThread::msleep(random.bounded(quint32(span)));
            process.kill();
            QVERIFY(process.waitForFinished(-1));
            const QMap<QString, QByteArray> now = listings(out);
            QCOMPARE(now.keys(), earlier.keys());
            for (auto it = now.begin(); it != now.end(); ++it) {
                QVERIFY2(
                    it.value() == earlier[it.key()] || it.value() == newer[it.key()],
                    qPrintable(u"%1 after run %2, seed %3"_s.arg(it.key()).arg(run).arg(seed)));
            }
        }
    }

    // A page of many tags is checked where memory for a large stack cannot be had: the check
    // needs none, and a page with a script is never passed for want of one.
    void checkWithoutRoomForAStack()
    {
#if defined(Q_OS_UNIX) && !defined(TAVRIN_SANITIZED)
        const LimitedRun run =
            checkUnderLimit("<script>x</script>" + QByteArray("<br>").repeated(120000), 150 << 20);
        QCOMPARE(run.exit, QProcess::NormalExit);
        QCOMPARE(run.err, "Description: <script> element: <script>\n");
        QCOMPARE(run.status, 3);
#else
        QSKIP("needs a limit of the address space, which a sanitizer build does not keep to");
#endif
    }

    // A check that runs out of memory says so and fails; it never crashes, inside the parser
    // or out of it.
    void checkOutOfMemory()
    {
#if defined(Q_OS_UNIX) && !defined(TAVRIN_SANITIZED)
        // A page of tags of 100 attributes each: the parser takes some 50 bytes for each of its
        // bytes, far more than the page itself takes.
        QByteArray tag = "<p";
        for (int k = 0; k < 100; ++k) {
            tag += " a" + QByteArray::number(k) + "=1";
        }
        const LimitedRun run =
            checkUnderLimit("<script>x</script>" + (tag + '>').repeated(15000), 250000 << 10);
        QCOMPARE(run.exit, QProcess::NormalExit);
        QCOMPARE(run.err, "tavrin-compose: out of memory.\n");
        QCOMPARE(run.status, 1);
#else
        QSKIP("needs a limit of the address space, which a sanitizer build does not keep to");
#endif
    }

    // Saving goes on past files that fail and reports them together; the others are saved whole.
    void saveoutPastFailingFiles_data()
    {
        QTest::addColumn<QStringList>("broken");
        for (const QString &name : DataFiles) {
            QTest::newRow(qPrintable(name)) << QStringList{name};
        }
        QTest::newRow("every file") << DataFiles;
    }

    void saveoutPastFailingFiles()
    {
        QFETCH(QStringList, broken);
        SaveCase c;
        for (const QString &name : broken) {
            QFile::remove(c.folder + name);
            QVERIFY(QDir(c.folder).mkdir(name));
        }
        const std::vector<FileError> errors = saveout(c.session);
        QCOMPARE(reported(errors), broken);
        QVERIFY(errors[0].folder == c.folder && !errors[0].reason.isEmpty());
        for (const QString &name : DataFiles) {
            QCOMPARE(fileBytes(c.folder + name), broken.contains(name) ? "<none>" : c.saved[name]);
        }
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
