#include "fuzzcheck.h"

#include <QDirIterator>
#include <QTest>

// Every seed and every saved finding of one target, through the target's own entry point.
class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void replays_data()
    {
        QTest::addColumn<QString>("path");
        const QString root = QStringLiteral(TAVRIN_TEST_DATA_DIR "/fuzz/" TAVRIN_FUZZ_TARGET "/");
        QStringList inputs;
        for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            inputs.append(it.next());
        }
        inputs.sort();
        if (inputs.filter(QStringLiteral("/seeds/")).isEmpty()) {
            qFatal("no seeds under %s", qPrintable(root));
        }
        for (const QString &path : inputs) {
            QTest::newRow(qPrintable(path.mid(root.size()))) << path;
        }
    }

    void replays()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
        const QByteArray input = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                               std::size_t(input.size()));
    }
};

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
