#include "fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <string>

using namespace Qt::StringLiterals;

namespace {

struct BrokenGuarantee
{
    std::string message;
};

QString inputFolder(const QString &kind)
{
    return QStringLiteral(TAVRIN_TEST_DATA_DIR "/fuzz/" TAVRIN_FUZZ_TARGET "/") + kind;
}

QStringList inputsIn(const QString &kind)
{
    return QDir(inputFolder(kind)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

// The same checks that abort a fuzzer fail the row here, naming the broken guarantee.
void failFuzzCheck(const char *condition, const char *file, int line)
{
    throw BrokenGuarantee{std::string(file) + ':' + std::to_string(line) + ": " + condition};
}

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void hasSeeds();
    void replaysSeedsAndFindings_data();
    void replaysSeedsAndFindings();
};

void TestFuzzReplay::hasSeeds()
{
    QVERIFY2(!inputsIn(u"seeds"_s).isEmpty(), qPrintable(inputFolder(u"seeds"_s)));
}

void TestFuzzReplay::replaysSeedsAndFindings_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &kind : {u"seeds"_s, u"regressions"_s}) {
        for (const QString &name : inputsIn(kind)) {
            const QString row = kind + u'/' + name;
            QTest::newRow(qPrintable(row)) << inputFolder(kind) + u'/' + name;
        }
    }
}

void TestFuzzReplay::replaysSeedsAndFindings()
{
    if (!QTest::currentDataTag()) {
        QSKIP("no inputs at all; hasSeeds reports the missing seeds");
    }
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray input = file.readAll();
    try {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                               std::size_t(input.size()));
    } catch (const BrokenGuarantee &broken) {
        QFAIL(broken.message.c_str());
    }
}

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
