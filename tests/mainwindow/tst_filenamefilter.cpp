#include "filenamefilter.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFileNameFilter : public QObject
{
    Q_OBJECT

private slots:
    void filter_data();
    void filter();
};

void TestFileNameFilter::filter_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("nothing allowed") << u".,:;!?*/\\\"<>|"_s << QString();
    QTest::newRow("full stop, colon, exclamation mark")
        << u"Vintage 1.5L Bottle: NEW!"_s << u"Vintage 15L Bottle NEW"_s;
    QTest::newRow("inner double space kept") << u"Blue  Vase"_s << u"Blue  Vase"_s;
    QTest::newRow("outer spaces are not the filter's to trim")
        << u"  Blue  Vase  "_s << u"  Blue  Vase  "_s;
    QTest::newRow("accented letter dropped") << u"Café Table"_s << u"Caf Table"_s;
    QTest::newRow("every allowed character kept")
        << u" ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890-_()"_s
        << u" ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890-_()"_s;
    QTest::newRow("brackets other than parentheses dropped")
        << u"[Lot 4] {set} (pair)"_s << u"Lot 4 set (pair)"_s;
    QTest::newRow("tab, no-break space and line break dropped")
        << u"a\tb\u00a0c\r\nd"_s << u"abcd"_s;
    QTest::newRow("letters beyond ASCII dropped, surrogate pairs whole")
        << u"\u00c5ngstr\u00f6m \U0001F600 \u0416x"_s << u"ngstrm  x"_s;
    QTest::newRow("fullwidth digits are not digits") << u"\uff11\uff12 3"_s << u" 3"_s;
}

void TestFileNameFilter::filter()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    QCOMPARE(fileNameFilter(source), expected);
}

QTEST_GUILESS_MAIN(TestFileNameFilter)
#include "tst_filenamefilter.moc"
