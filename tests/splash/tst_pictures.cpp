#include "windowicon.h"

#include <QFile>
#include <QImage>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

int byteAt(const QByteArray &bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes.at(i));
}

int bigEndian16(const QByteArray &bytes, qsizetype i)
{
    return byteAt(bytes, i) << 8 | byteAt(bytes, i + 1);
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void splashPictureIsBaselineJfif();
    void windowIcon();

private:
    const QString m_splashFile = QStringLiteral(TAVRIN_RESOURCES_DIR "/splash.jpg");
    const QString m_iconFile = QStringLiteral(TAVRIN_RESOURCES_DIR "/tavrin-icon.png");
};

void TestPictures::splashPictureIsBaselineJfif()
{
    const QByteArray jpeg = readAll(m_splashFile);
    // 26,427 bytes, give or take 5%.
    QVERIFY2(jpeg.size() >= 25106 && jpeg.size() <= 27748, QByteArray::number(jpeg.size()));

    QCOMPARE(bigEndian16(jpeg, 0), 0xFFD8);
    QCOMPARE(bigEndian16(jpeg, 2), 0xFFE0);
    QCOMPARE(bigEndian16(jpeg, 4), 16);
    QCOMPARE(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
    QCOMPARE(byteAt(jpeg, 11), 1);
    QCOMPARE(byteAt(jpeg, 12), 1);

    // Walk the segments up to the first scan, collecting every start-of-frame marker.
    QList<int> frames;
    qsizetype at = 2;
    qsizetype sof = -1;
    while (at + 4 <= jpeg.size() && byteAt(jpeg, at) == 0xFF) {
        const int marker = byteAt(jpeg, at + 1);
        if (marker == 0xDA) {
            break;
        }
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            frames.append(marker);
            sof = at;
        }
        at += 2 + bigEndian16(jpeg, at + 2);
    }
    QCOMPARE(byteAt(jpeg, at + 1), 0xDA);
    QCOMPARE(frames, QList<int>{0xC0});

    QCOMPARE(byteAt(jpeg, sof + 4), 8);        // sample precision
    QCOMPARE(bigEndian16(jpeg, sof + 5), 352); // lines
    QCOMPARE(bigEndian16(jpeg, sof + 7), 295); // samples per line
    QCOMPARE(byteAt(jpeg, sof + 9), 3);        // components
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(byteAt(jpeg, sof + 10 + 3 * c), c + 1); // Y, Cb, Cr as JFIF numbers them
    }
    QCOMPARE(bigEndian16(jpeg, jpeg.size() - 2), 0xFFD9);
    QCOMPARE(readAll(u":/tavrin/splash.jpg"_s), jpeg); // the program carries this file
}

// A 32 x 32 picture of 256 colours: an 8-bit palette, as the program carries it.
void TestPictures::windowIcon()
{
    const QByteArray png = readAll(m_iconFile);
    QCOMPARE(png.left(8), QByteArray("\x89PNG\r\n\x1a\n"));
    QCOMPARE(png.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(byteAt(png, 24), 8); // bits per palette index
    QCOMPARE(byteAt(png, 25), 3); // colour type: palette
    QCOMPARE(readAll(u":/tavrin/tavrin-icon.png"_s), png);

    const QIcon icon = tavrinWindowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));

    const QImage image = icon.pixmap(QSize(32, 32)).toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            colours.insert(image.pixel(x, y));
            opaque += qAlpha(image.pixel(x, y)) == 255;
        }
    }
    QVERIFY(colours.size() <= 256);
    // A picture, not an empty square: at least a quarter of it is drawn.
    QVERIFY(opaque >= 32 * 32 / 4);
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
