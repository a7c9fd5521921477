#include "ansicodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestAnsiCodec : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decodeEveryByte();
};

void TestAnsiCodec::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << u"Hello, <b>world</b> & more"_s
                           << QByteArray("Hello, <b>world</b> & more");
    QTest::newRow("latin-1 letters")
        << u"caf\u00E9 \u00FC\u00DF"_s << QByteArray("caf\xE9 \xFC\xDF");
    QTest::newRow("euro and quotes")
        << u"\u20AC\u201C\u201D\u2122"_s << QByteArray("\x80\x93\x94\x99");
    QTest::newRow("control characters stay") << u"\t\r\n\u001A"_s << QByteArray("\t\r\n\x1A");
    QTest::newRow("arrow") << u"a\u2192b"_s << QByteArray("a&#8594;b");
    QTest::newRow("emoji is one reference") << u"\U0001F600"_s << QByteArray("&#128512;");
    QTest::newRow("mixed") << u"\u00E9\u0100\u20AC\u4E2D"_s << QByteArray("\xE9&#256;\x80&#20013;");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("&#55296;");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestAnsiCodec::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(AnsiCodec::encode(text), bytes);
}

// Every byte decodes to one character and encodes back to itself.
void TestAnsiCodec::decodeEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(char(b));
    }
    const QString text = AnsiCodec::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x41), u'A');
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    QCOMPARE(text.at(0xE9), QChar(0x00E9));
    QCOMPARE(text.at(0x0D), u'\r');
    QCOMPARE(AnsiCodec::encode(text), all);
}

QTEST_GUILESS_MAIN(TestAnsiCodec)
#include "tst_ansicodec.moc"
