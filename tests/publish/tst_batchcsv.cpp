#include "batchcsv.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Rows = QList<BatchRow>;
using Messages = QList<BatchMessage>;
Q_DECLARE_METATYPE(BatchMessage)

namespace {

BatchRow row(int line, const QString &main, const QString &sub = {}, const QString &desc = {},
             const QString &cond = {})
{
    return BatchRow{main, sub, desc, cond, line};
}

// Field by field, so that a failure names the row and the field that differ.
void compareRows(const std::vector<BatchRow> &actual, const Rows &expected)
{
    QCOMPARE(qsizetype(actual.size()), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const BatchRow &a = actual[size_t(i)];
        const BatchRow &e = expected[i];
        const QByteArray where = "row " + QByteArray::number(i);
        QVERIFY2(a.line == e.line, where + " line " + QByteArray::number(a.line));
        QVERIFY2(a.mainTitle == e.mainTitle, where + " main title: " + a.mainTitle.toUtf8());
        QVERIFY2(a.subTitle == e.subTitle, where + " sub title: " + a.subTitle.toUtf8());
        QVERIFY2(a.description == e.description, where + " description: " + a.description.toUtf8());
        QVERIFY2(a.condition == e.condition, where + " condition: " + a.condition.toUtf8());
    }
}

// The message for a byte that begins no well-formed UTF-8 sequence.
QString badUtf8(const char *byte, int position)
{
    return u"invalid UTF-8 (byte 0x%1 at position %2 of the line); save the file as UTF-8 CSV"_s
        .arg(QLatin1StringView(byte))
        .arg(position);
}

QByteArray errorOf(const BatchParseResult &result)
{
    return result.error ? result.error->text.toUtf8() : QByteArray();
}

} // namespace

class TestBatchCsv : public QObject
{
    Q_OBJECT

private slots:
    void readsRows_data();
    void readsRows();
    void reportsWhereTheFileIsMalformed_data();
    void reportsWhereTheFileIsMalformed();
    void warnsOnceAboutIgnoredColumns_data();
    void warnsOnceAboutIgnoredColumns();
    void readsAFileAsASpreadsheetExportsIt();
    void reportsAFileThatCannotBeRead();
};

void TestBatchCsv::readsRows_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("comma, CR LF") << QByteArray("main title,sub title,description,condition\r\n"
                                                "Vase,Blue,Nice,Good\r\n")
                                  << Rows{row(2, u"Vase"_s, u"Blue"_s, u"Nice"_s, u"Good"_s)};
    QTest::newRow("semicolon header makes commas ordinary")
        << QByteArray("Main Title;Description\nVase, blue;Nice, round\n")
        << Rows{row(2, u"Vase, blue"_s, {}, u"Nice, round"_s)};
    QTest::newRow("first comma decides before a later semicolon")
        << QByteArray("main title,description,x;y\nA;B,C\n") << Rows{row(2, u"A;B"_s, {}, u"C"_s)};
    QTest::newRow("separator inside quotes in the header does not count")
        << QByteArray("\"Notes; misc\",main title\nx,Vase\n") << Rows{row(2, u"Vase"_s)};
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBFmain title\r\nVase\r\n") << Rows{row(2, u"Vase"_s)};
    QTest::newRow("header names ignore case, spaces and underscores, any order")
        << QByteArray("CONDITION,Main_Title, sub  title ,DeScRiPtIoN\nc,m,s,d\n")
        << Rows{row(2, u"m"_s, u"s"_s, u"d"_s, u"c"_s)};
    QTest::newRow("quoted field with a line break")
        << QByteArray("main title,description\r\nVase,\"line one\r\nline two\"\r\nJug,x\r\n")
        << Rows{row(2, u"Vase"_s, {}, u"line one\r\nline two"_s), row(4, u"Jug"_s, {}, u"x"_s)};
    QTest::newRow("lone LF and lone CR become CR LF")
        << QByteArray("main title,description\nVase,\"a\nb\rc\r\n\nd\"\n")
        << Rows{row(2, u"Vase"_s, {}, u"a\r\nb\r\nc\r\n\r\nd"_s)};
    QTest::newRow("line break in a title field too")
        << QByteArray("main title,sub title\n\"Va\nse\",\"x\ry\"\n")
        << Rows{row(2, u"Va\r\nse"_s, u"x\r\ny"_s)};
    QTest::newRow("doubled quotes and separators inside quotes")
        << QByteArray("main title,description\n\"5\"\" vase\",\"a,b;c\"\n")
        << Rows{row(2, u"5\" vase"_s, {}, u"a,b;c"_s)};
    QTest::newRow("empty lines are skipped but counted")
        << QByteArray("main title\n\nVase\n\r\n\rJug\n")
        << Rows{row(3, u"Vase"_s), row(6, u"Jug"_s)};
    QTest::newRow("empty lines before the header")
        << QByteArray("\r\n\r\nmain title;description\r\nA,B;C\r\n")
        << Rows{row(4, u"A,B"_s, {}, u"C"_s)};
    QTest::newRow("CR alone ends lines")
        << QByteArray("main title\rVase\rJug") << Rows{row(2, u"Vase"_s), row(3, u"Jug"_s)};
    QTest::newRow("no line break after the last row")
        << QByteArray("main title,description\nVase,\"x\"") << Rows{row(2, u"Vase"_s, {}, u"x"_s)};
    QTest::newRow("fewer fields leave the rest empty")
        << QByteArray("main title,sub title,description,condition\nVase,Blue\n")
        << Rows{row(2, u"Vase"_s, u"Blue"_s)};
    QTest::newRow("rows with only empty or blank fields are skipped")
        << QByteArray("main title,description,price\nVase,x,1\n,,\n  , ,\n\"\",,\nJug,y,2\n")
        << Rows{row(2, u"Vase"_s, {}, u"x"_s), row(6, u"Jug"_s, {}, u"y"_s)};
    QTest::newRow("a row with content only in an ignored column is a listing")
        << QByteArray("main title,price\n,12\n") << Rows{row(2, {})};
    QTest::newRow("spaces, tabs and no-break spaces are kept")
        << QByteArray("main title,description\n  Vase  ,\ta\xC2\xA0\n")
        << Rows{row(2, u"  Vase  "_s, {}, u"\ta\u00A0"_s)};
    QTest::newRow("a row spanning lines counts from its first line")
        << QByteArray("main title,description\n\"Va\nse\",x\nJug,\"1\n2\n3\"\nPot,z\n")
        << Rows{row(2, u"Va\r\nse"_s, {}, u"x"_s), row(4, u"Jug"_s, {}, u"1\r\n2\r\n3"_s),
                row(7, u"Pot"_s, {}, u"z"_s)};
    QTest::newRow("UTF-8 beyond the code page")
        << QByteArray("main title\nCaf\xC3\xA9 \xE2\x86\x92 \xF0\x9F\x98\x80\n")
        << Rows{row(2, u"Caf\u00E9 \u2192 \U0001F600"_s)};
    QTest::newRow("header only") << QByteArray("main title,description\r\n") << Rows{};
}

void TestBatchCsv::readsRows()
{
    QFETCH(QByteArray, csv);
    QFETCH(Rows, rows);

    const BatchParseResult result = parseBatchCsv(csv);
    QVERIFY2(result.ok(), errorOf(result).constData());
    compareRows(result.rows, rows);
}

void TestBatchCsv::reportsWhereTheFileIsMalformed_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");

    const QString unterminated =
        u"the quoted field that begins on this line has no closing quote"_s;
    QTest::newRow("unterminated quote")
        << QByteArray("main title,description\nVase,\"open\nmore\n") << 2 << unterminated;
    QTest::newRow("unterminated quote in a later field of a long row")
        << QByteArray("main title,description\nVase,\"a\nb\"\nJug,\"x\n\n\n") << 4 << unterminated;
    QTest::newRow("unterminated quote in the header")
        << QByteArray("\"main title\nVase\n") << 1 << unterminated;
    QTest::newRow("more fields than the header")
        << QByteArray("main title,description\nA,B\nC,D,E\n") << 3
        << u"this row has more fields than the header's 2 columns"_s;
    QTest::newRow("trailing separator is one field too many")
        << QByteArray("main title\nVase,\n") << 2
        << u"this row has more fields than the header's one column"_s;
    QTest::newRow("surplus field after a field of several lines")
        << QByteArray("main title,description\nA,\"x\ny\",E\n") << 3
        << u"this row has more fields than the header's 2 columns (the row begins on line 2)"_s;
    QTest::newRow("invalid UTF-8: a Windows-1252 letter")
        << QByteArray("main title\nVase\nCaf\xE9\n") << 3 << badUtf8("E9", 4);
    QTest::newRow("invalid UTF-8 after a long run of ASCII")
        << QByteArray("main title\n" + QByteArray(17, 'a') + "\xE9" + QByteArray(20, 'b') + "\n")
        << 2 << badUtf8("E9", 18);
    QTest::newRow("invalid UTF-8 inside a quoted field of several lines")
        << QByteArray("main title,description\nVase,\"ok\nbad \xC3\x28\"\n") << 3
        << badUtf8("C3", 5);
    QTest::newRow("invalid UTF-8: overlong form")
        << QByteArray("main title\n\xC0\xAF\n") << 2 << badUtf8("C0", 1);
    QTest::newRow("invalid UTF-8: encoded surrogate")
        << QByteArray("main title\nab\xED\xA0\x80\n") << 2 << badUtf8("ED", 3);
    QTest::newRow("invalid UTF-8: above U+10FFFF")
        << QByteArray("main title\n\xF4\x90\x80\x80\n") << 2 << badUtf8("F4", 1);
    QTest::newRow("invalid UTF-8: sequence cut by the end of the file")
        << QByteArray("main title\nab\xE2\x82") << 2 << badUtf8("E2", 3);
    QTest::newRow("invalid UTF-8 in the header")
        << QByteArray("main title,Pr\xEDs\n") << 1 << badUtf8("ED", 14);
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFEm\0a\0", 6) << 1
                            << u"the file is UTF-16 text; save it as UTF-8 CSV (comma or semicolon "
                               "separated)"_s;
    const QString noMainTitle = u"the header has no \"main title\" column"_s;
    QTest::newRow("no main title column")
        << QByteArray("title,description\nVase,x\n") << 1 << noMainTitle;
    QTest::newRow("no main title column: tabs")
        << QByteArray("main title\tdescription\nVase\tx\n") << 1
        << u"the header has no \"main title\" column (columns are separated by commas or "
           "semicolons, not tabs)"_s;
    QTest::newRow("no main title column after empty lines")
        << QByteArray("\n\ntitle\n") << 3 << noMainTitle;
    QTest::newRow("a column named twice")
        << QByteArray("Main Title,description,main_title\nA,B,C\n") << 1
        << u"the column \"main title\" appears twice in the header (columns 1 and 3)"_s;
    const QString strayQuote =
        u"a quote inside a field that does not begin with one (a field holding quotes must be "
        "enclosed in quotes, each inner quote doubled)"_s;
    const QString empty = u"the file is empty; it needs a header line naming a \"main title\" "
                          "column"_s;
    QTest::newRow("empty file") << QByteArray() << 1 << empty;
    QTest::newRow("byte-order mark alone") << QByteArray("\xEF\xBB\xBF") << 1 << empty;
    QTest::newRow("empty lines alone") << QByteArray("\r\n\r\n") << 1 << empty;
    QTest::newRow("quote inside an unquoted field")
        << QByteArray("main title\nVase\n5\" vase\n") << 3 << strayQuote;
    QTest::newRow("space before an opening quote")
        << QByteArray("main title,description\nVase, \"x\"\n") << 2 << strayQuote;
    QTest::newRow("text after a closing quote")
        << QByteArray("main title,description\n\"Vase\"x,y\n") << 2
        << u"text after the closing quote of a field"_s;
    QTest::newRow("text after the closing quote of a field of several lines")
        << QByteArray("main title\n\"a\nb\nc\"d\n") << 4
        << u"text after the closing quote of a field that begins on line 2"_s;
    QTest::newRow("the first fault in the file wins: fields before UTF-8")
        << QByteArray("main title\nA,B\n\xFF\n") << 2
        << u"this row has more fields than the header's one column"_s;
    QTest::newRow("the first fault in the file wins: UTF-8 before fields")
        << QByteArray("main title\n\xFF\nA,B\n") << 2 << badUtf8("FF", 1);
}

void TestBatchCsv::reportsWhereTheFileIsMalformed()
{
    QFETCH(QByteArray, csv);
    QFETCH(int, line);
    QFETCH(QString, message);

    const BatchParseResult result = parseBatchCsv(csv);
    QVERIFY(!result.ok());
    QCOMPARE(result.error->text, message);
    QCOMPARE(result.error->line, line);
    // Nothing half-read reaches the caller.
    QVERIFY(result.rows.empty());
    QVERIFY(result.warnings.empty());
}

void TestBatchCsv::warnsOnceAboutIgnoredColumns_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<Messages>("warnings");

    QTest::newRow("all columns known")
        << QByteArray("main title,sub title,description,condition\nA,B,C,D\n") << Messages{};
    QTest::newRow("one unknown") << QByteArray("Price;Main Title\n1;A\n")
                                 << Messages{{1, u"ignoring columns: \"Price\""_s}};
    QTest::newRow("several, named once each in header order")
        << QByteArray("Price,main title,SKU,description,Notes\n1,A,S1,d,n\n2,B,S2,e,m\n")
        << Messages{{1, u"ignoring columns: \"Price\", \"SKU\", \"Notes\""_s}};
    QTest::newRow("unnamed columns by number, on the header's line")
        << QByteArray("\n\"main title\",,\"\"\nA,,\n")
        << Messages{{2, u"ignoring columns: unnamed column 2, unnamed column 3"_s}};
    QTest::newRow("no listings") << QByteArray("main title\n\n")
                                 << Messages{{1, u"the file holds no listings, only a header"_s}};
}

void TestBatchCsv::warnsOnceAboutIgnoredColumns()
{
    QFETCH(QByteArray, csv);
    QFETCH(Messages, warnings);

    const BatchParseResult result = parseBatchCsv(csv);
    QVERIFY(result.ok());
    QCOMPARE(Messages(result.warnings.begin(), result.warnings.end()), warnings);
}

// A sheet as a spreadsheet in a semicolon locale saves it: byte-order mark, CR LF, quoted
// fields holding line breaks and separators, a price column, an empty row under the table.
void TestBatchCsv::readsAFileAsASpreadsheetExportsIt()
{
    const BatchParseResult result =
        readBatchCsv(QStringLiteral(TAVRIN_TEST_DATA_DIR "/publish/items-semicolon.csv"));
    QVERIFY2(result.ok(), errorOf(result).constData());
    compareRows(result.rows, Rows{row(2, u"Blue Vase"_s, u"Hand made; signed"_s,
                                      u"Tall vase.\r\nNo chips, no cracks."_s, u"As new"_s),
                                  row(5, u"Vintage 1.5L Bottle: NEW!"_s, {},
                                      u"Green glass \"bottle\""_s, u"Used"_s),
                                  row(6, u"Caf\u00E9 Table"_s, u"Oak"_s, {}, {})});
    QCOMPARE(Messages(result.warnings.begin(), result.warnings.end()),
             (Messages{{1, u"ignoring columns: \"Price\""_s}}));
}

void TestBatchCsv::reportsAFileThatCannotBeRead()
{
    const QString path = QStringLiteral(TAVRIN_TEST_DATA_DIR "/publish/no-such-file.csv");
    const BatchParseResult result = readBatchCsv(path);
    QVERIFY(!result.ok());
    QCOMPARE(result.error->line, 0);
    QVERIFY2(result.error->text.startsWith(u"cannot read \""_s + QDir::toNativeSeparators(path) +
                                           u"\": "_s),
             qPrintable(result.error->text));
    QCOMPARE(formatBatchMessage(u"items.csv"_s, {0, u"x"_s}), u"items.csv: x"_s);
    QCOMPARE(formatBatchMessage(u"items.csv"_s, {12, u"x"_s}), u"items.csv:12: x"_s);
}

QTEST_GUILESS_MAIN(TestBatchCsv)
#include "tst_batchcsv.moc"
