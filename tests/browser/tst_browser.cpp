// The page is meant for a browser, so a real one renders it: headless Chromium photographs the
// page file exactly as written, and the colours are read back down its right-hand side, where
// the short texts of the cases leave no glyph.
#include "../cases.h"
#include "pagewriter.h"
#include "rulecheck.h"
#include "startup.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int Width = 800, TableLeft = 8, TableRight = Width - 8, Column = Width - 40;

struct Run
{
    QString colour;
    int begin, end;
};

// The runs of one colour along a line of pixels; runs shorter than four pixels (edges, glyphs,
// antialiasing) are dropped and their neighbours joined.
std::vector<Run> runsOf(const QImage &image, bool down, int at)
{
    const auto pixel = [&](int i) { return down ? image.pixel(at, i) : image.pixel(i, at); };
    const int length = down ? image.height() : image.width();
    std::vector<Run> runs;
    for (int begin = 0, i = 1; i <= length; ++i) {
        if (i < length && pixel(i) == pixel(begin)) {
            continue;
        }
        const QString colour =
            QString::number(pixel(begin) & 0xFFFFFF, 16).toUpper().rightJustified(6, u'0');
        if (i - begin >= 4 && !runs.empty() && runs.back().colour == colour) {
            runs.back().end = i;
        } else if (i - begin >= 4) {
            runs.push_back({colour, begin, i});
        }
        begin = i;
    }
    return runs;
}

QStringList coloursOf(const std::vector<Run> &runs)
{
    QStringList colours;
    for (const Run &run : runs) {
        colours += run.colour;
    }
    return colours;
}

} // namespace

class TestBrowser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Headless Chromium on the page file with its arguments before; false when it failed.
    bool runChromium(QProcess &browser, QStringList arguments, const QString &page)
    {
        // Running as root needs --no-sandbox.
        arguments << u"--headless"_s << u"--no-sandbox"_s << u"--disable-gpu"_s
                  << u"--no-first-run"_s << u"--user-data-dir="_s + m_dir.filePath(u"profile"_s)
                  << u"--disk-cache-dir="_s + m_dir.filePath(u"cache"_s)
                  << QUrl::fromLocalFile(page).toString();
        browser.start(QStandardPaths::findExecutable(u"chromium"_s), arguments);
        return browser.waitForFinished(90000) && browser.exitCode() == 0;
    }

private slots:
    void pages_data() { addCaseRows(u"browser"_s); }

    // A case: a program folder, started as the program starts, four texts typed, and the
    // runs expected down the page.
    void pages()
    {
        QFETCH(QString, dir);
        const QString chromium = QStandardPaths::findExecutable(u"chromium"_s);
        if (chromium.isEmpty()) {
            QSKIP("chromium is not installed; scripts/setup installs Debian's chromium");
        }
        const CaseFolder folder(dir);
        Session session;
        QCOMPARE(startup(session, folder.path()), std::nullopt);
        for (TextField field : {TextField::MainTitle, TextField::SubTitle, TextField::Description,
                                TextField::Condition}) {
            session.settings.setText(field, u"Line 1\r\nLine 2\r\nLine 3"_s);
        }
        const QString page = m_dir.filePath(QFileInfo(dir).fileName() + u".html"_s),
                      png = page + u".png"_s;
        QVERIFY(writeout(session.settings, page));

        QProcess browser;
        browser.setStandardOutputFile(QProcess::nullDevice());
        // The scrollbar and scale switches fix the geometry.
        QVERIFY2(runChromium(browser,
                             {u"--hide-scrollbars"_s, u"--force-device-scale-factor=1"_s,
                              u"--screenshot="_s + png, u"--window-size=800,1200"_s},
                             page),
                 browser.readAllStandardError().right(2000).constData());
        const QImage image = QImage(png).convertToFormat(QImage::Format_RGB32);

        const QStringList bands =
            fileLines(dir + u"/bands"_s).filter(QRegularExpression(u"^[^#]"_s));
        const std::vector<Run> column = runsOf(image, true, Column);
        QCOMPARE(coloursOf(column),
                 QStringList(bands).replaceInStrings(QRegularExpression(u" .*"_s), {}));
        for (size_t i = 0; i < column.size(); ++i) {
            const QString &band = bands[qsizetype(i)];
            const QStringList words = band.split(u' ');
            const Run &run = column[i];
            const std::vector<Run> across = runsOf(image, false, run.begin + 1);
            if (words.contains(u"bar"_s)) {
                QCOMPARE(coloursOf(across), (QStringList{u"FFFFFF"_s, run.colour, u"FFFFFF"_s}));
                QVERIFY2(across[1].begin == TableLeft && across[1].end == TableRight,
                         qPrintable(band));
            } else if (words.contains(u"tab"_s)) {
                QCOMPARE(coloursOf(across), (QStringList{u"FFFFFF"_s, run.colour, words.last(),
                                                         run.colour, u"FFFFFF"_s}));
                // Centred, a fifth of the table's width.
                const Run &tab = across[2];
                QVERIFY2(std::abs(tab.begin + tab.end - Width) <= 8 &&
                             std::abs(tab.end - tab.begin - 168) <= 28,
                         qPrintable(band));
            }
            for (const QString &ink : words.sliced(1)) {
                if (ink == u"bar"_s || ink == u"tab"_s) {
                    break;
                }
                const QRgb wanted = 0xFF000000u | ink.toUInt(nullptr, 16);
                int inked = 0;
                for (int y = run.begin; y < run.end; ++y) {
                    for (int x = TableLeft; x < Column; ++x) {
                        inked += image.pixel(x, y) == wanted;
                    }
                }
                QVERIFY2(inked >= 20, qPrintable(band + u": no ink "_s + ink));
            }
        }
    }

    // Markup that the check's parser and today's browsers read apart: each row of "live.txt"
    // a name, a description and whether Chromium runs a handler of it on a first-start page
    // ("live": it calls alert) or not ("inert"). The check refuses exactly the live ones.
    void live_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("live");
        for (const QString &line : fileLines(testData(u"browser/live.txt"_s))) {
            const QStringList columns = line.split(u'\t');
            if (!line.startsWith(u'#') && columns.size() == 3) {
                QTest::newRow(qPrintable(columns[0]))
                    << unescape(columns[1]) << (columns[2] == u"live"_s);
            }
        }
    }
    void live()
    {
        QFETCH(QString, description);
        QFETCH(bool, live);
        ListingSettings settings;
        settings.startFirstRun();
        settings.setText(TextField::Description, description);
        const std::vector<Finding> findings = checkPage(settings);
        QCOMPARE(std::any_of(findings.begin(), findings.end(), stopsListing), live);
        if (QStandardPaths::findExecutable(u"chromium"_s).isEmpty()) {
            QSKIP("chromium is not installed; scripts/setup installs Debian's chromium");
        }
        // The page behind a script that marks it when alert is called.
        const QString page = m_dir.filePath(u"live.html"_s);
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<script>alert = () => document.documentElement.setAttribute('data-ran', 'yes')"
                   "</script>" +
                   renderPage(settings));
        file.close();
        QProcess browser;
        QVERIFY2(runChromium(browser, {u"--virtual-time-budget=3000"_s, u"--dump-dom"_s}, page),
                 browser.readAllStandardError().right(2000).constData());
        QCOMPARE(browser.readAllStandardOutput().contains("data-ran=\"yes\""), live);
    }
};

QTEST_GUILESS_MAIN(TestBrowser)
#include "tst_browser.moc"
