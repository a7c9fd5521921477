#include "../testsupport.h"
#include "colorrecord.h"
#include "datafolder.h"
#include "defaultcolours.h"
#include "startup.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString DefaultsDir = QStringLiteral(TAVRIN_DEFAULTS_DIR) + u'/';

QByteArray shipped(const QString &name)
{
    return fileBytes(DefaultsDir + name);
}

} // namespace

class TestDefaults : public QObject
{
    Q_OBJECT

private slots:
    void shippedColoursAreTheDefaultScheme();
    void shippedTextFiles_data();
    void shippedTextFiles();
    void noShippedPreferences();
    void defaultsStartTheFirstRun();
    void placingKeepsFilesAlreadyThere();
};

void TestDefaults::shippedColoursAreTheDefaultScheme()
{
    const QByteArray bytes = shipped(u"colorset.dat"_s);
    QCOMPARE(bytes.size(), 96);
    const ColorSet defaults = defaultColorSet();
    for (int k = 0; k < ColorSet::Count; ++k) {
        const QString field = QString::fromLatin1(bytes.sliced(6 * k, 6));
        QCOMPARE(field, defaults.slot(static_cast<ColorSlotId>(k)).text());
        // Web-safe: every channel one of 00, 33, 66, 99, CC, FF.
        for (int c = 0; c < 3; ++c) {
            const QString channel = field.sliced(2 * c, 2);
            QVERIFY2(QStringList({u"00"_s, u"33"_s, u"66"_s, u"99"_s, u"CC"_s, u"FF"_s})
                         .contains(channel),
                     qPrintable(field));
        }
    }
}

void TestDefaults::shippedTextFiles_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"ebayid.dat", "NoReserve.dat", "thankyou.dat", "shipping.dat", "payment.dat"}) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

void TestDefaults::shippedTextFiles()
{
    QFETCH(QString, name);
    const QByteArray bytes = shipped(name);
    QVERIFY(bytes.endsWith("\r\n"));
    // Every CR is followed by LF and every LF preceded by CR; plain ASCII, no blank line.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        QVERIFY(c >= 0 && c < 0x7f);
        if (c == '\r') {
            QVERIFY(i + 1 < bytes.size() && bytes[i + 1] == '\n');
        } else if (c == '\n') {
            QVERIFY(i > 0 && bytes[i - 1] == '\r');
        } else {
            QVERIFY(c >= 0x20);
        }
    }
    QVERIFY(!bytes.startsWith("\r\n"));
    QVERIFY(!bytes.contains("\r\n\r\n"));
}

void TestDefaults::noShippedPreferences()
{
    QVERIFY(!QFileInfo::exists(DefaultsDir + u"prefs.dat"_s));
}

void TestDefaults::defaultsStartTheFirstRun()
{
    DataFolder folder;
    for (const QString &name : QDir(DefaultsDir).entryList({u"*.dat"_s}, QDir::Files)) {
        folder.write(name, shipped(name));
    }
    Session session;
    QCOMPARE(startup(session, folder.path(), RecordFiles::LeaveFolderUntouched), std::nullopt);
    QCOMPARE(session.settings.sectionOrder().size(), 7);
    QCOMPARE(session.settings.colors(), defaultColorSet());
    QVERIFY(!session.settings.text(TextField::Shipping).isEmpty());
}

void TestDefaults::placingKeepsFilesAlreadyThere()
{
    DataFolder folder;
    folder.write(u"noreserve.dat"_s, "the seller's note\r\n");
    folder.write(u"colorset.dat"_s, "seller's colours");
    folder.write(u"prefs.dat"_s, "seller's prefs");

    QProcess cmake;
    cmake.start(QStringLiteral(TAVRIN_CMAKE_COMMAND),
                {u"-DSOURCE_DIR="_s + QStringLiteral(TAVRIN_DEFAULTS_DIR),
                 u"-DTARGET_DIR="_s + folder.path(), u"-P"_s,
                 QStringLiteral(TAVRIN_PLACE_DEFAULTS_SCRIPT)});
    QVERIFY(cmake.waitForFinished(60000));
    QCOMPARE(cmake.exitCode(), 0);

    QMap<QString, QByteArray> expected{
        {u"noreserve.dat"_s, "the seller's note\r\n"},
        {u"colorset.dat"_s, "seller's colours"},
        {u"prefs.dat"_s, "seller's prefs"},
    };
    for (const char *name : {"ebayid.dat", "thankyou.dat", "shipping.dat", "payment.dat"}) {
        expected.insert(QString::fromLatin1(name), shipped(QString::fromLatin1(name)));
    }
    QCOMPARE(folder.snapshot(), expected);
}

QTEST_GUILESS_MAIN(TestDefaults)
#include "tst_defaults.moc"
