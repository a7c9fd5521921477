// The page is meant for a browser, so a real one renders it: headless Chromium takes a
// screenshot of the page file exactly as written, and the test reads the colours back.
#include "../testsupport.h"
#include "defaultcolours.h"
#include "pagewriter.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int ViewWidth = 800;
constexpr int ViewHeight = 1200;
// The page sits in the body's margin of 8 pixels; its outer table spans the rest.
constexpr int TableLeft = 8;
constexpr int TableRight = ViewWidth - 8;
// Far right in every block: the texts are short and left-aligned, so no glyph reaches here.
constexpr int ClearColumn = ViewWidth - 40;
// Anything shorter is an edge, a glyph or antialiasing, not a block.
constexpr int MinRun = 4;
constexpr int ChannelTolerance = 3;
constexpr QRgb PageWhite = 0xFFFFFFFF;

struct Run
{
    QRgb colour;
    int begin;
    int end;
    int length() const { return end - begin; }
};

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= ChannelTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= ChannelTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= ChannelTolerance;
}

QString hex(QRgb colour)
{
    return QString::number(colour & 0xFFFFFF, 16).toUpper().rightJustified(6, u'0');
}

// The runs of one colour along a line of pixels, top to bottom or left to right. Short runs
// are dropped and the neighbours they separated joined when of one colour.
std::vector<Run> runsOf(const std::vector<QRgb> &pixels)
{
    std::vector<Run> all;
    for (int i = 0; i < int(pixels.size()); ++i) {
        if (!all.empty() && near(all.back().colour, pixels[size_t(i)])) {
            all.back().end = i + 1;
        } else {
            all.push_back({pixels[size_t(i)], i, i + 1});
        }
    }
    std::vector<Run> kept;
    for (const Run &run : all) {
        if (run.length() < MinRun) {
            continue;
        }
        if (!kept.empty() && near(kept.back().colour, run.colour)) {
            kept.back().end = run.end;
        } else {
            kept.push_back(run);
        }
    }
    return kept;
}

// The runs down the column at x, or across the row at y.
std::vector<Run> columnRuns(const QImage &image, int x)
{
    std::vector<QRgb> pixels;
    for (int y = 0; y < image.height(); ++y) {
        pixels.push_back(image.pixel(x, y));
    }
    return runsOf(pixels);
}

std::vector<Run> rowRuns(const QImage &image, int y)
{
    const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    return runsOf(std::vector<QRgb>(line, line + image.width()));
}

QStringList colours(const std::vector<Run> &runs)
{
    QStringList out;
    for (const Run &run : runs) {
        out += hex(run.colour);
    }
    return out;
}

// How many pixels of a colour lie in a rectangle: a block's text shows in its font colour.
int countColour(const QImage &image, QRgb colour, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            count += near(image.pixel(x, y), colour) ? 1 : 0;
        }
    }
    return count;
}

// A block of the page as the right-hand column shows it, top to bottom.
struct Block
{
    ColorSlotId background;
    ColorSlotId font;
};

QString lines(const QString &word, int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i) {
        out += word + u" line "_s + QString::number(i);
    }
    return out.join(u"\r\n"_s);
}

// Texts of a few short lines each: every block is tall enough to sample and no glyph comes
// near the right-hand side.
void setTexts(ListingSettings &s)
{
    s.setText(TextField::MainTitle, u"Blue Vase"_s);
    s.setText(TextField::SubTitle, u"Hand made"_s);
    s.setText(TextField::NoReserve, u"No reserve!"_s);
    s.setText(TextField::Description, lines(u"Description"_s, 4));
    s.setText(TextField::Condition, lines(u"Condition"_s, 3));
    s.setText(TextField::Payment, lines(u"Payment"_s, 3));
    s.setText(TextField::Shipping, lines(u"Shipping"_s, 3));
    s.setText(TextField::ThankYou, u"Thanks for looking"_s);
    s.setText(TextField::AuctionId, u"seller42"_s);
}

} // namespace

class TestBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstStartPage();
    void folderTabCentredInAnotherOrder();

private:
    QImage screenshot(const ListingSettings &settings, const QString &name);
    std::vector<Run> checkBlocks(const QImage &image, const std::vector<Block> &blocks);

    // The colour of a slot of the page last photographed.
    QRgb colourOf(ColorSlotId slot) const
    {
        return 0xFF000000u | m_colours.slot(slot).text().toUInt(nullptr, 16);
    }

    QString m_chromium;
    ColorSet m_colours;
    QTemporaryDir m_dir;
};

void TestBrowser::initTestCase()
{
    m_chromium = QStandardPaths::findExecutable(u"chromium"_s);
    if (m_chromium.isEmpty()) {
        m_chromium = QStandardPaths::findExecutable(u"chromium-browser"_s);
    }
    if (m_chromium.isEmpty()) {
        QSKIP("chromium is not installed; scripts/setup installs Debian's chromium for this test");
    }
    QVERIFY(m_dir.isValid());
}

// Writes the page as the program writes it (a fragment, no document around it) and has the
// browser photograph it at 800 x 1200.
QImage TestBrowser::screenshot(const ListingSettings &settings, const QString &name)
{
    const QString page = m_dir.filePath(name + u".html"_s);
    const QString png = m_dir.filePath(name + u".png"_s);
    const QString profile = m_dir.filePath(name + u"-profile"_s);
    m_colours = settings.colors();
    if (!writeout(settings, page)) {
        qWarning("cannot write the page");
        return {};
    }

    QProcess browser;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Chromium keeps caches and settings under the home folder; keep them in the test's.
    env.insert(u"HOME"_s, m_dir.path());
    env.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
    env.insert(u"XDG_CACHE_HOME"_s, m_dir.filePath(u"cache"_s));
    browser.setProcessEnvironment(env);
    browser.setStandardOutputFile(QProcess::nullDevice());
    // Running as root needs --no-sandbox; the scrollbar and scale switches keep the geometry
    // fixed whatever the page's height and the machine's display.
    browser.start(m_chromium,
                  {u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s, u"--no-first-run"_s,
                   u"--disable-background-networking"_s, u"--disable-component-update"_s,
                   u"--disable-sync"_s, u"--hide-scrollbars"_s, u"--force-device-scale-factor=1"_s,
                   u"--user-data-dir="_s + profile, u"--screenshot="_s + png,
                   u"--window-size=%1,%2"_s.arg(ViewWidth).arg(ViewHeight),
                   QUrl::fromLocalFile(page).toString()});
    if (!browser.waitForFinished(90000)) {
        browser.kill();
        browser.waitForFinished();
        qWarning("chromium did not finish within 90 seconds");
        return {};
    }
    QImage image(png);
    if (image.isNull() || browser.exitCode() != 0) {
        // Chromium chatters on standard error even when all is well; show it only now.
        qWarning("chromium exited with %d: %s", browser.exitCode(),
                 browser.readAllStandardError().right(2000).constData());
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

// The right-hand column runs through the blocks in order, white above and below, and each
// block shows ink in its font colour; returns the blocks' runs.
std::vector<Run> TestBrowser::checkBlocks(const QImage &image, const std::vector<Block> &blocks)
{
    const std::vector<Run> column = columnRuns(image, ClearColumn);
    QStringList expected{hex(PageWhite)};
    for (const Block &block : blocks) {
        expected += hex(colourOf(block.background));
    }
    expected += hex(PageWhite);
    if (colours(column) != expected) {
        qWarning() << "column" << colours(column) << "expected" << expected;
        return {};
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Run &run = column[i + 1];
        const QRgb ink = colourOf(blocks[i].font);
        const int inked = countColour(image, ink, TableLeft, run.begin, ClearColumn, run.end);
        if (inked < 20) {
            qWarning("block %d has %d pixels of %s", int(i), inked, qPrintable(hex(ink)));
            return {};
        }
    }
    return {column.begin() + 1, column.end() - 1};
}

void TestBrowser::firstStartPage()
{
    ListingSettings s;
    s.startFirstRun();
    s.setColors(defaultColorSet());
    setTexts(s);
    const QImage image = screenshot(s, u"first-start"_s);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(ViewWidth, ViewHeight));

    // The first-run order, a solid header bar above each of the four sections that have one,
    // its label in the header font colour. (The shipped Description background is white, like
    // the page.)
    const Block bar{ColorSlotId::HeaderBackground, ColorSlotId::HeaderFont};
    const std::vector<Run> blocks =
        checkBlocks(image, {{ColorSlotId::TitleBackground, ColorSlotId::TitleFont},
                            {ColorSlotId::ReserveBackground, ColorSlotId::ReserveFont},
                            bar,
                            {ColorSlotId::DescriptionBackground, ColorSlotId::DescriptionFont},
                            bar,
                            {ColorSlotId::ConditionBackground, ColorSlotId::ConditionFont},
                            bar,
                            {ColorSlotId::PaymentBackground, ColorSlotId::PaymentFont},
                            bar,
                            {ColorSlotId::ShippingBackground, ColorSlotId::ShippingFont},
                            {ColorSlotId::ThankYouBackground, ColorSlotId::ThankYouFont}});
    QCOMPARE(blocks.size(), size_t(11));
    // The bars span the table's width: the header colour reaches both of its edges.
    const std::vector<Run> across = rowRuns(image, blocks[2].begin + 1);
    QCOMPARE(colours(across),
             (QStringList{hex(PageWhite), hex(colourOf(ColorSlotId::HeaderBackground)),
                          hex(PageWhite)}));
    QCOMPARE(across[1].begin, TableLeft);
    QCOMPARE(across[1].end, TableRight);
}

void TestBrowser::folderTabCentredInAnotherOrder()
{
    // Sixteen different colours, so that every block and the tab can be told apart.
    const char *scheme[16] = {"FFFF00", "330000", "003300", "000033", "330033", "333300",
                              "003333", "000000", "003366", "FFCCCC", "CCFFCC", "CCCCFF",
                              "FFFFCC", "CCFFFF", "FFCCFF", "FFCC99"};
    ListingSettings s;
    for (int i = 0; i < 16; ++i) {
        s.setColor(static_cast<ColorSlotId>(i), QString::fromLatin1(scheme[i]));
    }
    for (const QString &name :
         names("Title|Shipping|Description|No Reserve|Thank You|Condition|Payment")) {
        s.appendRestoredName(name);
    }
    choose(s, {u"foldertab"_s, u"headercenter"_s});
    setTexts(s);
    const QImage image = screenshot(s, u"folder-tab"_s);
    QVERIFY(!image.isNull());

    // Beside a tab the filler has the section's own colour, so at the right-hand side each
    // section is one run from its tab row down to the end of its block.
    const std::vector<Block> sections{
        {ColorSlotId::TitleBackground, ColorSlotId::TitleFont},
        {ColorSlotId::ShippingBackground, ColorSlotId::ShippingFont},
        {ColorSlotId::DescriptionBackground, ColorSlotId::DescriptionFont},
        {ColorSlotId::ReserveBackground, ColorSlotId::ReserveFont},
        {ColorSlotId::ThankYouBackground, ColorSlotId::ThankYouFont},
        {ColorSlotId::ConditionBackground, ColorSlotId::ConditionFont},
        {ColorSlotId::PaymentBackground, ColorSlotId::PaymentFont}};
    const std::vector<Run> blocks = checkBlocks(image, sections);
    QCOMPARE(blocks.size(), sections.size());

    const QString tab = hex(colourOf(ColorSlotId::HeaderBackground));
    const int tableCentre = (TableLeft + TableRight) / 2;
    const int tableWidth = TableRight - TableLeft;
    for (size_t i = 0; i < sections.size(); ++i) {
        // The top row of a section with a header crosses the tab: filler, tab, filler,
        // the tab a fifth of the width and in the middle.
        const std::vector<Run> across = rowRuns(image, blocks[i].begin + 1);
        const QString background = hex(colourOf(sections[i].background));
        const bool hasHeader = i == 1 || i == 2 || i == 5 || i == 6;
        const QStringList expected =
            hasHeader ? QStringList{hex(PageWhite), background, tab, background, hex(PageWhite)}
                      : QStringList{hex(PageWhite), background, hex(PageWhite)};
        QCOMPARE(colours(across), expected);
        if (!hasHeader) {
            continue;
        }
        const Run &tabRun = across[2];
        QVERIFY2(std::abs((tabRun.begin + tabRun.end) / 2 - tableCentre) <= 4,
                 qPrintable(u"tab from %1 to %2"_s.arg(tabRun.begin).arg(tabRun.end)));
        QVERIFY2(tabRun.length() >= tableWidth * 18 / 100 && tabRun.length() <= tableWidth / 4,
                 qPrintable(u"tab %1 pixels wide"_s.arg(tabRun.length())));
        // The label on the tab, in the header font colour.
        QVERIFY(countColour(image, colourOf(ColorSlotId::HeaderFont), tabRun.begin, blocks[i].begin,
                            tabRun.end, blocks[i].begin + 40) >= 20);
    }
}

QTEST_GUILESS_MAIN(TestBrowser)
#include "tst_browser.moc"
