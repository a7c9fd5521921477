#include "../faildevice.h"
#include "textfile.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ReadStatus)

namespace {

TextRead readBytes(QByteArray bytes, bool multiLine, qint64 limit = MaxTextFileBytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return multiLine ? readMultiLineText(buffer, limit) : readOneLineText(buffer, limit);
}

} // namespace

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    void readsTheFirstLineOnly_data();
    void readsTheFirstLineOnly();
    void joinsAndTrimsMultiLineFiles_data();
    void joinsAndTrimsMultiLineFiles();
    void refusesEmptyAndOversizedFiles_data();
    void refusesEmptyAndOversizedFiles();
    void reportsDeviceFailures();
    void writesTextAndOneLineEnd_data();
    void writesTextAndOneLineEnd();
};

void TestTextFile::readsTheFirstLineOnly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");

    QTest::newRow("one line") << QByteArray("seller42\r\n") << u"seller42"_s;
    QTest::newRow("no line end") << QByteArray("seller42") << u"seller42"_s;
    QTest::newRow("further lines ignored")
        << QByteArray("first\r\nsecond\r\nthird\r\n") << u"first"_s;
    QTest::newRow("lone CR ends it") << QByteArray("first\rsecond") << u"first"_s;
    QTest::newRow("lone LF stays") << QByteArray("a\nb\r\nc") << u"a\nb"_s;
    QTest::newRow("blanks and tabs kept") << QByteArray("  \ta b\t  \r\n") << u"  \ta b\t  "_s;
    QTest::newRow("empty first line") << QByteArray("\r\nsecond\r\n") << u""_s;
    QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80 \x93x\x94\r\n")
                                  << u"caf\u00e9 \u20ac \u201cx\u201d"_s;
    QTest::newRow("zero byte is a character") << QByteArray("a\0b\r\n", 5) << u"a\u0000b"_s;
}

void TestTextFile::readsTheFirstLineOnly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    const TextRead read = readBytes(bytes, false);
    QCOMPARE(read.status, ReadStatus::Ok);
    QCOMPARE(read.text, line);
}

void TestTextFile::joinsAndTrimsMultiLineFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("box");

    QTest::newRow("one line") << QByteArray("Ships fast\r\n") << u"Ships fast"_s << u"Ships fast"_s;
    QTest::newRow("two lines") << QByteArray("a\r\nb\r\n") << u"a\rb"_s << u"a\r\nb"_s;
    QTest::newRow("empty first lines are lost")
        << QByteArray("\r\n\r\nline one\r\nline two\r\n") << u"line one\rline two"_s
        << u"line one\r\nline two"_s;
    QTest::newRow("trailing empty lines survive")
        << QByteArray("a\r\n\r\n\r\n") << u"a\r\r"_s << u"a\r\n\r\n"_s;
    QTest::newRow("empty line inside")
        << QByteArray("a\r\n\r\nb") << u"a\r\rb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("blanks around are trimmed for the box only")
        << QByteArray("   Ships fast  \r\n") << u"   Ships fast  "_s << u"Ships fast"_s;
    QTest::newRow("blanks on inner line ends stay")
        << QByteArray("  a  \r\n  b  \r\n") << u"  a  \r  b  "_s << u"a  \r\n  b"_s;
    QTest::newRow("a blank first line starts the text")
        << QByteArray("   \r\nb\r\n") << u"   \rb"_s << u"\r\nb"_s;
    QTest::newRow("lone CR is a line end") << QByteArray("a\rb") << u"a\rb"_s << u"a\r\nb"_s;
    QTest::newRow("LF CR is LF then a line end")
        << QByteArray("a\n\rb") << u"a\n\rb"_s << u"a\n\r\nb"_s;
    QTest::newRow("CR CR LF is two lines")
        << QByteArray("a\r\r\nb") << u"a\r\rb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("lone LF stays in the line")
        << QByteArray("a\nb\r\nc") << u"a\nb\rc"_s << u"a\nb\r\nc"_s;
    QTest::newRow("tabs are not blanks") << QByteArray("\ta\t\r\n") << u"\ta\t"_s << u"\ta\t"_s;
    QTest::newRow("only empty lines") << QByteArray("\r\n\r\n") << u""_s << u""_s;
}

void TestTextFile::joinsAndTrimsMultiLineFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, loaded);
    QFETCH(QString, box);
    const TextRead read = readBytes(bytes, true);
    QCOMPARE(read.status, ReadStatus::Ok);
    QCOMPARE(read.text, loaded);
    QCOMPARE(multiLineBoxText(read.text), box);
}

void TestTextFile::refusesEmptyAndOversizedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<ReadStatus>("oneLine");
    QTest::addColumn<ReadStatus>("multiLine");

    QTest::newRow("empty") << QByteArray() << MaxTextFileBytes << ReadStatus::Empty
                           << ReadStatus::Empty;
    QTest::newRow("at the limit") << QByteArray("abcd") << qint64(4) << ReadStatus::Ok
                                  << ReadStatus::Ok;
    QTest::newRow("over the limit")
        << QByteArray("abcde") << qint64(4) << ReadStatus::TooLarge << ReadStatus::TooLarge;
    // Only the first line counts for a one-line file.
    QTest::newRow("short first line, long tail")
        << QByteArray("ab\r\ncdefgh") << qint64(4) << ReadStatus::Ok << ReadStatus::TooLarge;
}

void TestTextFile::refusesEmptyAndOversizedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, limit);
    QFETCH(ReadStatus, oneLine);
    QFETCH(ReadStatus, multiLine);
    QCOMPARE(readBytes(bytes, false, limit).status, oneLine);
    QCOMPARE(readBytes(bytes, true, limit).status, multiLine);
}

void TestTextFile::reportsDeviceFailures()
{
    FailingDevice one("abc", 2);
    one.open(QIODevice::ReadOnly);
    QCOMPARE(readOneLineText(one).status, ReadStatus::DeviceError);

    FailingDevice many("abc\r\ndef\r\n", 6);
    many.open(QIODevice::ReadOnly);
    const TextRead read = readMultiLineText(many);
    QCOMPARE(read.status, ReadStatus::DeviceError);
    QVERIFY(read.text.isEmpty());

    // The one-line reader never reads past its line, where this device would fail.
    FailingDevice tail("line\r\nand a tail that is never read", 6);
    tail.open(QIODevice::ReadOnly);
    QCOMPARE(readOneLineText(tail).text, u"line"_s);
}

void TestTextFile::writesTextAndOneLineEnd_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << u""_s << QByteArray("\r\n");
    QTest::newRow("one line") << u"seller42"_s << QByteArray("seller42\r\n");
    QTest::newRow("box line breaks as they are") << u"a\r\nb"_s << QByteArray("a\r\nb\r\n");
    QTest::newRow("windows-1252") << u"caf\u00e9 \u20ac"_s << QByteArray("caf\xe9 \x80\r\n");
    QTest::newRow("outside the code page") << u"a\u2192b"_s << QByteArray("a&#8594;b\r\n");
    QTest::newRow("blanks kept") << u"  a  "_s << QByteArray("  a  \r\n");
}

void TestTextFile::writesTextAndOneLineEnd()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(textFileBytes(text), bytes);
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
