// A filled workbook as a spreadsheet program reads it: LibreOffice opens the workbook a compose
// case fills and the copy the fill wrote, and saves every sheet of each as CSV. Each sheet of the
// copy must read as the CSV fill of the same sheet of the original, every cell and every page,
// so the workbook fill is checked against the CSV fill through a reader that is not this
// program's.
#include "../cases.h"
#include "composer.h"
#include "csvrecords.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

int fill(const QString &folder, const QString &input, const QString &output)
{
    QByteArray messages;
    QBuffer out(&messages);
    out.open(QIODevice::WriteOnly);
    return Composer::run(
        {u"tavrin-compose"_s, u"--folder"_s, folder, u"--fill"_s, input, u"--output"_s, output},
        folder, out, out);
}

// The fields of every record. LibreOffice gives each line break in a cell as LF, a CR LF and a CR
// before a line break alike, so every CR is read as LF on both sides.
std::vector<std::vector<QByteArray>> records(const QString &path)
{
    QByteArray text = fileBytes(path);
    const CsvRecords split = splitCsvRecords(text, ',');
    std::vector<std::vector<QByteArray>> all;
    for (const CsvRecord &record : split.records) {
        all.emplace_back();
        for (const CsvField &field : record.fields) {
            all.back().push_back(
                csvFieldValue(text, field).replace("\r\n", "\n").replace('\r', '\n'));
        }
    }
    return all;
}

} // namespace

class TestSpreadsheet : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_office = QStandardPaths::findExecutable(u"soffice"_s);

    // Every sheet of the workbook into folder as NAME-SHEET.csv: UTF-8, comma separated.
    void sheetsAsCsv(const QString &workbook, const QString &folder)
    {
        QProcess office;
        office.start(m_office, {u"--headless"_s,
                                u"-env:UserInstallation=file://"_s + m_dir.filePath(u"profile"_s),
                                u"--convert-to"_s,
                                u"csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,"
                                "false,false,-1"_s,
                                u"--outdir"_s, folder, workbook});
        QVERIFY2(office.waitForFinished(120000) && office.exitCode() == 0,
                 office.readAllStandardError().constData());
    }

private slots:
    // The compose cases that fill a workbook and write the copy.
    void workbooks_data()
    {
        QTest::addColumn<QString>("dir");
        const QDir cases(testData(u"compose"_s));
        for (const QString &name : cases.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (QFileInfo::exists(cases.filePath(name + u"/items.xlsx"_s)) &&
                QFileInfo::exists(cases.filePath(name + u"/expect/out"_s))) {
                QTest::newRow(qPrintable(name)) << cases.filePath(name);
            }
        }
    }

    void workbooks()
    {
        QFETCH(QString, dir);
        if (m_office.isEmpty()) {
            QSKIP(
                "soffice is not installed; scripts/setup installs Debian's libreoffice-calc-nogui");
        }
        const CaseFolder folder(dir);
        const QString run = m_dir.filePath(QFileInfo(dir).fileName());
        QVERIFY(QDir().mkpath(run + u"/original"_s) && QDir().mkpath(run + u"/filled"_s));
        QCOMPARE(fill(folder.path(), dir + u"/items.xlsx"_s, run + u"/items.xlsx"_s), 0);
        sheetsAsCsv(dir + u"/items.xlsx"_s, run + u"/original"_s);
        sheetsAsCsv(run + u"/items.xlsx"_s, run + u"/filled"_s);
        const QStringList sheets = QDir(run + u"/filled"_s).entryList({u"*.csv"_s});
        QVERIFY(!sheets.isEmpty());
        QCOMPARE(QDir(run + u"/original"_s).entryList({u"*.csv"_s}), sheets);
        for (const QString &sheet : sheets) {
            const QString original = run + u"/original/"_s + sheet;
            const QString expected = run + u'/' + sheet;
            // A sheet that is no listing sheet stays as it was.
            if (fill(folder.path(), original, expected) != 0) {
                QVERIFY(QFile::copy(original, expected));
            }
            QVERIFY2(records(run + u"/filled/"_s + sheet) == records(expected), qPrintable(sheet));
        }
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
