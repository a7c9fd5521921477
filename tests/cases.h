#pragma once

// Cases as data: every kind of case is a folder under tests/data holding one folder a case,
// and each runner lists those folders as the rows of one data-driven test. A case keeps its
// inputs and its expected bytes as files, so a new case is a new folder.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <functional>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

inline QString testData(const QString &relative)
{
    return QStringLiteral(TAVRIN_TEST_DATA_DIR "/") + relative;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList fileLines(const QString &path)
{
    QStringList lines = QString::fromUtf8(fileBytes(path)).split(u'\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

// Adds one row named after each case folder of a kind, with the folder's path as "dir".
inline void addCaseRows(const QString &kind)
{
    QTest::addColumn<QString>("dir");
    const QDir root(testData(kind));
    const QStringList cases = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (cases.isEmpty()) {
        qFatal("no cases under %s", qPrintable(root.path()));
    }
    for (const QString &name : cases) {
        QTest::newRow(qPrintable(name)) << root.filePath(name);
    }
}

// A case with a file "posix" needs what Windows does not offer a program the same way (the
// file says what: a device, a symbolic link, file modes); on Windows it is skipped with that
// reason, and runs everywhere else.
#ifdef Q_OS_WIN
#define SKIP_POSIX_ONLY_CASE(dir)                                                                  \
    do {                                                                                           \
        if (const QStringList why = fileLines((dir) + QStringLiteral("/posix")); !why.isEmpty())   \
            QSKIP(qPrintable(QStringLiteral("on Windows: ") + why.first()));                       \
    } while (false)
#else
#define SKIP_POSIX_ONLY_CASE(dir) static_cast<void>(dir)
#endif

// What a run printed, with the paths after a placeholder ("{out}\\Vase.txt" on Windows) in the
// "/" form the cases hold: a message shows a path as the system writes it.
inline QByteArray portableSeparators(QByteArray bytes)
{
#ifdef Q_OS_WIN
    for (qsizetype at = bytes.indexOf("}\\"); at >= 0; at = bytes.indexOf("}\\", at + 1)) {
        for (qsizetype i = at + 1; i < bytes.size() && !QByteArray("\":\n").contains(bytes[i]);
             ++i) {
            if (bytes[i] == '\\') {
                bytes[i] = '/';
            }
        }
    }
#endif
    return bytes;
}

// Escapes let a one-line case file hold any text: \r \n \t \\, \s for a blank that must not
// be lost at a line's end, \u{HEX} for any code point (\x{HEX} reads better where the text
// stands for bytes, one character a byte), and \*{COUNT:TEXT} for TEXT COUNT times over, so
// that a case can reach a size limit.
inline QString unescape(QStringView text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar c = text[++i];
        if (c == u'r') {
            out += u'\r';
        } else if (c == u'n') {
            out += u'\n';
        } else if (c == u't') {
            out += u'\t';
        } else if (c == u's') {
            out += u' ';
        } else if (c == u'*' && i + 1 < text.size() && text[i + 1] == u'{') {
            const qsizetype colon = text.indexOf(u':', i);
            const qsizetype end = text.indexOf(u'}', colon);
            const qsizetype count = text.sliced(i + 2, colon - i - 2).toLongLong();
            out += text.sliced(colon + 1, end - colon - 1).toString().repeated(count);
            i = end;
        } else if ((c == u'u' || c == u'x') && i + 1 < text.size() && text[i + 1] == u'{') {
            const qsizetype end = text.indexOf(u'}', i);
            const char32_t code = text.sliced(i + 2, end - i - 2).toUInt(nullptr, 16);
            out += QString::fromUcs4(&code, 1);
            i = end;
        } else {
            out += c;
        }
    }
    return out;
}

// The files under a folder (a symbolic link, even one that leads nowhere, among them), relative
// to it, in name order.
inline QStringList treeFiles(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files += QDir(root).relativeFilePath(it.next());
    }
    files.sort();
    return files;
}

// Copies the files under from into to, keeping sub-folders; a symbolic link is copied as the
// link, so that a case can hold one that leads nowhere, its target passed through linkTarget
// where one is given, so that it can lead into the run's own folders.
inline void copyTree(const QString &from, const QString &to,
                     const std::function<QString(const QString &)> &linkTarget = {})
{
    for (const QString &relative : treeFiles(from)) {
        const QString source = from + u'/' + relative;
        const QString target = to + u'/' + relative;
        QDir().mkpath(QFileInfo(target).path());
        QFile::remove(target);
        if (QFileInfo(source).isSymLink()) {
            // As written in the link: Qt gives a link's target only made absolute.
            const QString written = QString::fromStdU16String(
                std::filesystem::read_symlink(source.toStdU16String()).u16string());
            const QString leads = linkTarget ? linkTarget(written) : written;
            QVERIFY2(QFile::link(leads, target), qPrintable(target));
            continue;
        }
        QVERIFY2(QFile::copy(source, target), qPrintable(target));
        QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

// Root passes every permission check: to meet a folder that refuses new files, this thread
// gives up (and later takes back) the capability that overrides them. Without it in the
// permitted set, as for any other user or a run with the capabilities dropped, there is
// nothing to give up.
inline void overridePermissions(bool on)
{
#ifdef Q_OS_LINUX
    if (::geteuid() != 0) {
        return;
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    QVERIFY(::syscall(SYS_capget, &header, data) == 0);
    const unsigned bit = 1u << CAP_DAC_OVERRIDE;
    if ((data[0].permitted & bit) == 0) {
        return;
    }
    data[0].effective = on ? data[0].effective | bit : data[0].effective & ~bit;
    QVERIFY(::syscall(SYS_capset, &header, data) == 0);
#else
    Q_UNUSED(on);
#endif
}

// A fresh program folder for a case: the shipped data files, then the case's own "folder"
// over them; a case with a file "bare" starts from its own files alone.
class CaseFolder
{
public:
    explicit CaseFolder(const QString &caseDir)
    {
        if (!QFileInfo::exists(caseDir + QStringLiteral("/bare"))) {
            copyTree(QStringLiteral(TAVRIN_DEFAULTS_DIR), m_dir.path());
        }
        if (QFileInfo::exists(caseDir + QStringLiteral("/folder"))) {
            copyTree(caseDir + QStringLiteral("/folder"), m_dir.path());
        }
    }
    ~CaseFolder() { setLocked(false); }

    // With the trailing "/", as the program folder always is.
    QString path() const { return m_dir.path() + u'/'; }

    // Locked, the folder refuses new files and its files stay writable, as a read-only install
    // folder with writable data files does.
    void setLocked(bool locked)
    {
        if (locked == m_locked) {
            return;
        }
        m_locked = locked;
        const QFile::Permissions owner = QFile::ReadOwner | QFile::ExeOwner;
        QVERIFY(QFile(m_dir.path()).setPermissions(locked ? owner : owner | QFile::WriteOwner));
        overridePermissions(!locked);
    }

private:
    QTemporaryDir m_dir;
    bool m_locked = false;
};

// Copies a case's "expect" folder into scratch as it holds for this system: a file
// "NAME.windows" holds what Windows gives in place of NAME (Qt's help lists "-?" there, and the
// system's reasons are in its own words, as Wine gives them where the tests run).
inline void copyExpectedHere(const QString &expect, const QString &scratch)
{
    copyTree(expect, scratch);
    QDirIterator it(scratch, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList variants;
    while (it.hasNext()) {
        if (const QString path = it.next(); path.endsWith(QStringLiteral(".windows"))) {
            variants += path;
        }
    }
    for (const QString &variant : variants) {
#ifdef Q_OS_WIN
        QFile::remove(variant.chopped(8));
        QVERIFY2(QFile::rename(variant, variant.chopped(8)), qPrintable(variant));
#else
        QVERIFY2(QFile::remove(variant), qPrintable(variant));
#endif
    }
}

// Every file under expected must be in actual with the same bytes; "NAME.absent" says that
// NAME must not be there. A difference names the file and shows where it starts.
inline void compareTree(const QString &expected, const QString &actual)
{
    QDirIterator it(expected, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(expected).relativeFilePath(it.next());
        if (relative.endsWith(QStringLiteral(".absent"))) {
            // No entry spelled so: a file system that ignores letter case would find another.
            const QFileInfo absent(actual + u'/' + relative.chopped(7));
            QVERIFY2(!absent.dir()
                          .entryList(QDir::AllEntries | QDir::Hidden | QDir::System)
                          .contains(absent.fileName()),
                     qPrintable(absent.fileName() + QStringLiteral(" exists")));
            continue;
        }
        const QByteArray want = fileBytes(it.filePath());
        const QByteArray got = fileBytes(actual + u'/' + relative);
        qsizetype at = 0;
        while (at < want.size() && at < got.size() && want[at] == got[at]) {
            ++at;
        }
        if (at < want.size() || at < got.size()) {
            const QByteArray message =
                relative.toUtf8() + " differs at byte " + QByteArray::number(at) + ": got \"" +
                got.mid(at, 60).toPercentEncoding(" <>=\"/#;:,.()'") + "\", expected \"" +
                want.mid(at, 60).toPercentEncoding(" <>=\"/#;:,.()'") + "\"";
            QFAIL(message.constData());
        }
    }
}
