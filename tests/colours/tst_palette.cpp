#include "palette.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestPalette : public QObject
{
    Q_OBJECT

private slots:
    void slotTextOfAColour_data();
    void slotTextOfAColour();
    void colourOfASlot_data();
    void colourOfASlot();
};

void TestPalette::slotTextOfAColour_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("text");

    QTest::newRow("black") << QColor(0, 0, 0) << u"000000"_s;
    QTest::newRow("white") << QColor(255, 255, 255) << u"FFFFFF"_s;
    QTest::newRow("red first, upper case") << QColor(0xCC, 0x33, 0xFF) << u"CC33FF"_s;
    QTest::newRow("12 becomes 0C") << QColor(0, 12, 255) << u"000CFF"_s;
    QTest::newRow("single digits padded") << QColor(1, 10, 15) << u"010A0F"_s;
    QTest::newRow("not a palette colour") << QColor(0x12, 0xAB, 0xEF) << u"12ABEF"_s;
}

void TestPalette::slotTextOfAColour()
{
    QFETCH(QColor, colour);
    QFETCH(QString, text);
    QCOMPARE(slotText(colour), text);
}

void TestPalette::colourOfASlot_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("upper case") << u"CC33FF"_s << true << QColor(0xCC, 0x33, 0xFF);
    QTest::newRow("lower case") << u"cc33ff"_s << true << QColor(0xCC, 0x33, 0xFF);
    QTest::newRow("mixed case") << u"cC33Ff"_s << true << QColor(0xCC, 0x33, 0xFF);
    QTest::newRow("red first") << u"FF0000"_s << true << QColor(255, 0, 0);
    QTest::newRow("blue last") << u"0000FF"_s << true << QColor(0, 0, 255);
    QTest::newRow("off the palette") << u"0A0b0C"_s << true << QColor(10, 11, 12);
    QTest::newRow("blank slot") << u"      "_s << false << QColor();
    QTest::newRow("empty") << QString() << false << QColor();
    QTest::newRow("padded short text") << u"CC33F "_s << false << QColor();
    QTest::newRow("leading blank") << u" CC33F"_s << false << QColor();
    QTest::newRow("letter past F") << u"CC33FG"_s << false << QColor();
    QTest::newRow("hash sign kept") << u"#CC33F"_s << false << QColor();
    QTest::newRow("sign") << u"+C33FF"_s << false << QColor();
    QTest::newRow("seven digits") << u"CC33FF0"_s << false << QColor();
    QTest::newRow("full-width digit") << u"\uFF11\uFF12\uFF13456"_s << false << QColor();
    QTest::newRow("other script's digit") << u"\u0663\u0663\u0663333"_s << false << QColor();
}

void TestPalette::colourOfASlot()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QColor, colour);

    const std::optional<QColor> result = slotColour(text);
    QCOMPARE(result.has_value(), valid);
    if (valid) {
        QCOMPARE(*result, colour);
    }
}

QTEST_GUILESS_MAIN(TestPalette)
#include "tst_palette.moc"
