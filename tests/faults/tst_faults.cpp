#include "../faildevice.h"
#include "boundedread.h"
#include "colorrecord.h"
#include "composer.h"
#include "filesync.h"
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
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
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

#ifdef Q_OS_UNIX
struct ::stat statOf(const QString &path)
{
    struct ::stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// The composer run in this process on the shipped folder: its status, and what it said on
// standard error.
std::pair<int, QByteArray> composeHere(const QStringList &arguments)
{
    QByteArray said;
    QBuffer out;
    QBuffer err(&said);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = Composer::run(
        QStringList{u"tavrin-compose"_s, u"--folder"_s, QStringLiteral(TAVRIN_DEFAULTS_DIR)} +
            arguments,
        {}, out, err);
    return {status, said};
}

// The hidden temporary files and locks of the batch with this process id in folder.
QStringList temporariesOf(const QString &folder, qint64 pid)
{
    return QDir(folder).entryList({u".tavrin-%1-*"_s.arg(pid)}, QDir::Files | QDir::Hidden);
}

// Waits until the running batch has temporary files in folder.
bool waitForTemporaries(QProcess &batch, const QString &folder)
{
    while (temporariesOf(folder, batch.processId()).size() < 2) {
        if (batch.state() != QProcess::Running || batch.waitForFinished(1)) {
            return false;
        }
    }
    return true;
}

// Stops the process and waits until it has stopped, so that its files stay as they are.
bool stop(QProcess &process)
{
    ::kill(pid_t(process.processId()), SIGSTOP);
    QFile stat(u"/proc/%1/stat"_s.arg(process.processId()));
    for (;;) {
        if (!stat.open(QIODevice::ReadOnly)) {
            return false;
        }
        // The state follows the name in parentheses.
        const QByteArray fields = stat.readAll();
        stat.close();
        if (fields.mid(fields.lastIndexOf(')') + 2, 1) == "T") {
            return true;
        }
        QThread::msleep(1);
    }
}

// The real composer on the shipped folder under a limit set for it alone: what it said on
// standard error, then "status N" unless it ended with 0; or "crashed: " and what it said.
QString composeUnderALimit(const QStringList &arguments, int resource, rlim_t limit)
{
    QProcess process;
    process.setChildProcessModifier([resource, limit] {
        // Past a file size limit the write fails rather than the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit both{limit, limit};
        setrlimit(resource, &both);
    });
    process.start(QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"),
                  QStringList{u"--folder"_s, QStringLiteral(TAVRIN_DEFAULTS_DIR)} + arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        return u"crashed: "_s + QString::fromUtf8(process.readAllStandardError());
    }
    const QString said = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode() == 0 ? said : said + u"status %1"_s.arg(process.exitCode());
}

// A bulk-listing file of that many item rows at dir/items.csv, and the arguments that fill it
// into dir/filled.csv.
QStringList fillOfRows(const QString &dir, int rows)
{
    QByteArray csv = "*Action(SiteID=US|CC=UTF-8),Title,Description\r\n";
    for (int row = 0; row < rows; ++row) {
        csv += "Add,Item " + QByteArray::number(row) + ",x\r\n";
    }
    writeFile(dir + u"/items.csv"_s, csv);
    return {u"--fill"_s, dir + u"/items.csv"_s, u"--output"_s, dir + u"/filled.csv"_s};
}

// The arguments that check the page of this description, written to a file in dir. A sanitizer
// build skips the tests that use it.
[[maybe_unused]] QStringList checkOf(const QString &dir, const QByteArray &description)
{
    writeFile(dir + u"/description.txt"_s, description);
    return {u"--check"_s, u"--description-file"_s, dir + u"/description.txt"_s, u"--output"_s,
            dir + u"/page.txt"_s};
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
        QFile none(dir.filePath(u"none"_s));
        QVERIFY(!none.open(QIODevice::ReadOnly));
        QCOMPARE(missing.error, FileSync::reasonOf(none));
        const BoundedBytes folder = readBoundedFile(dir.path(), 5);
        QVERIFY(folder.status == BoundedStatus::DeviceError);
        QCOMPARE(folder.error, u"file to open is a directory"_s);
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

#ifdef Q_OS_UNIX
    // --output naming a FIFO writes into it as a shell's redirection would, never replacing it.
    void outputToAFifo()
    {
        QTemporaryDir dir;
        const QString compose = QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose");
        const QStringList page{u"--folder"_s, QStringLiteral(TAVRIN_DEFAULTS_DIR),
                               u"--main-title"_s, u"Jug"_s};
        QProcess toStdout;
        toStdout.start(compose, page);
        QVERIFY(toStdout.waitForFinished(-1) && toStdout.exitCode() == 0);
        const QByteArray bytes = toStdout.readAllStandardOutput();
        QVERIFY(bytes.startsWith("<table"));

        // The reader is there before the writer, so neither waits on the other.
        const QString fifo = dir.filePath(u"fifo"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QFile reader;
        QVERIFY(reader.open(::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK),
                            QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QProcess toFifo;
        toFifo.start(compose, page + QStringList{u"--output"_s, fifo});
        QVERIFY(toFifo.waitForFinished(-1));
        QCOMPARE(toFifo.readAllStandardError(), QByteArray());
        QCOMPARE(toFifo.exitCode(), 0);
        QVERIFY(S_ISFIFO(statOf(fifo).st_mode));
        QCOMPARE(reader.readAll(), bytes);
    }

    // A character device is written, never replaced: root can make one like /dev/null.
    void outputToACharacterDevice()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(u"null"_s);
        if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            QSKIP("no device node can be made here");
        }
        const auto [status, said] = composeHere({u"--output"_s, device});
        QCOMPARE(said, QByteArray());
        QCOMPARE(status, 0);
        QVERIFY(S_ISCHR(statOf(device).st_mode) && statOf(device).st_rdev == makedev(1, 3));

        // A file that is replaced whole, such as a data file, is never put in a device's place,
        // even through a link.
        const QString link = dir.filePath(u"ebayid.dat"_s);
        QVERIFY(QFile::link(device, link));
        const WriteResult replaced = replaceFile(link, QByteArrayView("id\r\n"));
        QCOMPARE(replaced.error, u"not a regular file"_s);
        QVERIFY(S_ISCHR(statOf(device).st_mode) && S_ISLNK(statOf(link).st_mode));
    }

    // Anything else that is not a regular file, such as a socket, is refused and stays.
    void outputToASocketRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"socket"_s);
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        QVERIFY(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        const auto [status, said] = composeHere({u"--output"_s, path});
        ::close(sock);
        QCOMPARE(said, "tavrin-compose: cannot write \"" + path.toUtf8() +
                           "\": not a regular file, a character device or a pipe.\n");
        QCOMPARE(status, 1);
        QVERIFY(S_ISSOCK(statOf(path).st_mode));
    }

    // A second hard link names the same file: --output is refused when it is the file being
    // read, as when it is the same name.
    void outputIsAnInputByAnotherName()
    {
        QTemporaryDir dir;
        const QString input = dir.filePath(u"items.csv"_s);
        const QString other = dir.filePath(u"other.csv"_s);
        const QByteArray bytes = "*Action(CC=UTF-8),Title,Description\nAdd,Jug,plain\n";
        writeFile(input, bytes);
        QVERIFY(::link(QFile::encodeName(input).constData(),
                       QFile::encodeName(other).constData()) == 0);
        for (const QString &option : {u"--fill"_s, u"--description-file"_s}) {
            const auto [status, said] = composeHere({option, input, u"--output"_s, other});
            QVERIFY2(status == 2 && said.contains(other.toUtf8() + "\" is the "), said.constData());
            QCOMPARE(fileBytes(input), bytes);
        }
    }

    // Each listing keeps its own mode and, where the process may give it (root), its owner;
    // a new listing gets those of a new file, even where it is written into the file an
    // earlier listing left when it was replaced. So does a page replaced by --output.
    void listingsKeepTheirModesAndOwners_data()
    {
        QTest::addColumn<bool>("owners");
        QTest::newRow("modes") << false;
        QTest::newRow("owners") << true;
    }

    void listingsKeepTheirModesAndOwners()
    {
        QFETCH(bool, owners);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir(dir.path()).mkpath(u"out"_s));
        // One listing kept, then a whole group of new ones, so that the next group's first
        // listing is written into the file the kept one had.
        QByteArray csv = "main title\nKept\n";
        for (int row = 0; row < 500; ++row) {
            csv += "New " + QByteArray::number(row) + '\n';
        }
        writeFile(dir.filePath(u"items.csv"_s), csv);
        const QString kept = out + u"/Kept.txt"_s;
        const QString page = dir.filePath(u"page.txt"_s);
        writeFile(kept, "earlier");
        writeFile(page, "earlier");
        QVERIFY(::chmod(QFile::encodeName(kept).constData(), 0640) == 0);
        QVERIFY(::chmod(QFile::encodeName(page).constData(), 0604) == 0);
        if (owners && (::chown(QFile::encodeName(kept).constData(), 1234, 1235) != 0 ||
                       ::chown(QFile::encodeName(page).constData(), 1236, 1237) != 0)) {
            QSKIP("only root gives files away");
        }

        const ::mode_t umask = ::umask(022);
        const auto [batch, batchSaid] =
            composeHere({u"--batch"_s, dir.filePath(u"items.csv"_s), u"--output-dir"_s, out});
        const auto [single, singleSaid] = composeHere({u"--output"_s, page});
        ::umask(umask);
        QVERIFY(batch == 0 && single == 0);
        const struct ::stat keptInfo = statOf(kept);
        const struct ::stat pageInfo = statOf(page);
        const struct ::stat newInfo = statOf(out + u"/New 499.txt"_s);
        if (owners) {
            QVERIFY(keptInfo.st_uid == 1234 && keptInfo.st_gid == 1235);
            QVERIFY(pageInfo.st_uid == 1236 && pageInfo.st_gid == 1237);
            QCOMPARE(newInfo.st_uid, ::geteuid());
        }
        QCOMPARE(keptInfo.st_mode & 07777, 0640u);
        QCOMPARE(pageInfo.st_mode & 07777, 0604u);
        QCOMPARE(newInfo.st_mode & 07777, 0644u);
    }

    // A batch removes the temporary files a killed batch left in its folder, and not those of a
    // batch still running there.
    void staleTemporariesRemoved()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir(dir.path()).mkpath(u"out"_s));
        writeBatchCsv(dir.filePath(u"items.csv"_s), 3000, 'a');
        const auto start = [&](QProcess &process) {
            process.start(QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"),
                          {u"--folder"_s, QStringLiteral(TAVRIN_DEFAULTS_DIR), u"--batch"_s,
                           dir.filePath(u"items.csv"_s), u"--output-dir"_s, out});
            QVERIFY(process.waitForStarted());
        };
        QProcess running;
        start(running);
        QVERIFY(waitForTemporaries(running, out));
        QVERIFY(stop(running));
        const QStringList runningFiles = temporariesOf(out, running.processId());

        QProcess killed;
        start(killed);
        QVERIFY(waitForTemporaries(killed, out));
        const qint64 killedPid = killed.processId();
        killed.kill();
        QVERIFY(killed.waitForFinished(-1));
        QVERIFY(!temporariesOf(out, killedPid).isEmpty());

        writeFile(dir.filePath(u"one.csv"_s), "main title\nOne\n");
        const auto [status, said] =
            composeHere({u"--batch"_s, dir.filePath(u"one.csv"_s), u"--output-dir"_s, out});
        QCOMPARE(said, QByteArray());
        QCOMPARE(status, 0);
        QCOMPARE(temporariesOf(out, killedPid), QStringList());
        QCOMPARE(temporariesOf(out, running.processId()), runningFiles);

        ::kill(pid_t(running.processId()), SIGCONT);
        const qint64 runningPid = running.processId();
        QVERIFY(running.waitForFinished(-1) && running.exitCode() == 0);
        QCOMPARE(temporariesOf(out, runningPid), QStringList());
    }
#endif

    // Filling a bulk-listing file holds the file and one row's page at a time, never the filled
    // copy: under a memory limit far below the copy's size the fill still goes through whole.
    void fillUnderAMemoryLimit()
    {
#if !defined(Q_OS_UNIX) || defined(TAVRIN_SANITIZED)
        QSKIP("needs a memory limit, which a sanitizer's reservations alone exceed");
#else
        constexpr rlim_t Limit = 16 * 1024 * 1024;
        QTemporaryDir dir;
        const QString filled = dir.filePath(u"filled.csv"_s);
        QCOMPARE(composeUnderALimit(fillOfRows(dir.path(), 17000), RLIMIT_DATA, Limit), QString());
        QVERIFY(QFileInfo(filled).size() > qint64(3 * Limit));
        const QByteArray bytes = fileBytes(filled);
        QVERIFY(bytes.contains("\r\nAdd,Item 16999,\"<table") &&
                bytes.endsWith("</table>\r\n\"\r\n"));
#endif
    }

    // A disk that fills half-way through the filled copy: the system's reason, as a single
    // write of the whole copy would give it, and the earlier file kept.
    void fillStoppedByAFullDisk()
    {
#ifndef Q_OS_UNIX
        QSKIP("needs a file size limit");
#else
        QTemporaryDir dir;
        const QString filled = dir.filePath(u"filled.csv"_s);
        writeFile(filled, "earlier\r\n");
        QCOMPARE(composeUnderALimit(fillOfRows(dir.path(), 1000), RLIMIT_FSIZE, 300 * 1024),
                 u"tavrin-compose: cannot write \"%1\": File too large.\nstatus 1"_s.arg(filled));
        QCOMPARE(fileBytes(filled), "earlier\r\n");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
#endif
    }

    // A batch stopped by a full disk at its second listing: the first is in place, complete;
    // the second and those after it are not written, and no temporary file is left.
    void batchStoppedByAFullDisk()
    {
#ifndef Q_OS_UNIX
        QSKIP("needs a file size limit");
#else
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir(dir.path()).mkpath(u"out"_s));
        writeFile(dir.filePath(u"items.csv"_s), "main title,description\nJug,plain\nVase," +
                                                    QByteArray(400 * 1024, 'v') + "\nBowl,round\n");
        QCOMPARE(
            composeUnderALimit({u"--batch"_s, dir.filePath(u"items.csv"_s), u"--output-dir"_s, out},
                               RLIMIT_FSIZE, 300 * 1024),
            u"tavrin-compose: cannot write \"%1/Vase.txt\": File too large.\nstatus 1"_s.arg(out));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{u"Jug.txt"_s});
        QVERIFY(fileBytes(out + u"/Jug.txt"_s).contains("plain"));
#endif
    }

    // A page of many tags is checked where memory for a large stack cannot be had: the check
    // needs none, and a page with a script is never passed for want of one.
    void checkWithoutRoomForAStack()
    {
#if defined(Q_OS_UNIX) && !defined(TAVRIN_SANITIZED)
        QTemporaryDir dir;
        const QByteArray page = "<script>x</script>" + QByteArray("<br>").repeated(120000);
        QCOMPARE(composeUnderALimit(checkOf(dir.path(), page), RLIMIT_AS, 150 << 20),
                 u"refused: Description: <script> element: <script>\nstatus 3"_s);
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
        QTemporaryDir dir;
        const QByteArray page = "<script>x</script>" + (tag + '>').repeated(15000);
        QCOMPARE(composeUnderALimit(checkOf(dir.path(), page), RLIMIT_AS, 250000 << 10),
                 u"tavrin-compose: out of memory.\nstatus 1"_s);
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

#ifdef Q_OS_UNIX
    // A data file that is a FIFO ends start-up at once with the usual message, in the composer
    // as in the window (both start up alike): opening it would wait for a writer.
    void dataFileThatIsAFifo()
    {
        const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
        for (const QString &name : DataFiles) {
            QTemporaryDir dir;
            for (const QString &file : defaults.entryList(QDir::Files)) {
                QVERIFY(file.compare(name, Qt::CaseInsensitive) == 0 ||
                        QFile::copy(defaults.filePath(file), dir.filePath(file)));
            }
            QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(name)).constData(), 0600), 0);
            QProcess process;
            process.start(QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"),
                          {u"--folder"_s, dir.path()});
            if (!process.waitForFinished(10000)) {
                process.kill();
                process.waitForFinished(-1);
                QFAIL(qPrintable(name + u": start-up waits on the FIFO"_s));
            }
            QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                     u"tavrin-compose: The file \"%1\" in the folder \"%2/\" could not be used: "
                     "not a regular file.\n"_s.arg(name, dir.path()));
            QCOMPARE(process.exitCode(), 1);
        }
    }

    // A CSV file may come through a pipe, and its size limit holds while it is read: 128 MiB
    // and more is refused as too large, with nothing written.
    void csvThroughAPipe()
    {
        QTemporaryDir dir;
        const QByteArray mebibyte(1024 * 1024, 'a');
        for (const int mebibytes : {0, 128}) {
            QProcess process;
            process.start(QStringLiteral(TAVRIN_BIN_DIR "/tavrin-compose"),
                          {u"--folder"_s, QStringLiteral(TAVRIN_DEFAULTS_DIR), u"--batch"_s,
                           u"/dev/stdin"_s, u"--output-dir"_s, dir.path()});
            process.write("main title\r\nVase\r\n");
            for (int n = 0; n < mebibytes; ++n) {
                process.write(mebibyte);
                while (process.bytesToWrite() > 0 && process.waitForBytesWritten(-1)) {
                }
            }
            process.closeWriteChannel();
            QVERIFY(process.waitForFinished(-1));
            QCOMPARE(process.readAllStandardError(),
                     mebibytes ? "tavrin-compose: \"/dev/stdin\" is too large for a CSV file of "
                                 "listings (more than 128 MiB).\n"
                               : "");
            QCOMPARE(process.exitCode(), mebibytes ? 1 : 0);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"Vase.txt"_s});
    }
#endif
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
