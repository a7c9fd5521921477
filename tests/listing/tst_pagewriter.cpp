#include "../faildevice.h"
#include "../testsupport.h"
#include "pagewriter.h"

#include <QDir>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Font slot k holds "F0000k" and background slot 8 + k holds "B0000k", so every colour in a
// page tells which slot it came from.
ListingSettings onlySections(const QStringList &names)
{
    ListingSettings s;
    for (int k = 0; k < 8; ++k) {
        s.setColor(static_cast<ColorSlotId>(k), u"F0000"_s + QString::number(k));
        s.setColor(static_cast<ColorSlotId>(8 + k), u"B0000"_s + QString::number(k));
    }
    for (const QString &name : names) {
        s.appendRestoredName(name);
    }
    return s;
}

const QByteArray DescriptionFontLine =
    R"(<font color="#F00007" size="" face="Arial, Helvetica,sans-serif">)"
    "\r\n";

// What follows the Description's font line, up to and including the line with </font>.
QByteArray descriptionTextPart(const QByteArray &page)
{
    const qsizetype start = page.indexOf(DescriptionFontLine);
    if (start < 0) {
        return "<no description font line>";
    }
    const qsizetype from = start + DescriptionFontLine.size();
    return page.mid(from, page.indexOf("</font>\r\n", from) + 9 - from);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestPageWriter : public QObject
{
    Q_OBJECT

private slots:
    void firstStartPage();
    void pages_data();
    void pages();
    void folderTabFillerIsTheSectionsBackground_data();
    void folderTabFillerIsTheSectionsBackground();
    void headerRowsIgnoreFontAndSectionStyle();
    void multiLineRule_data();
    void multiLineRule();
    void oneLineTexts();
    void unknownAndRepeatedNamesInTheOrder();
    void allSwitchesOff();
    void colourSlotsAreWrittenUnchecked();
    void charactersOutsideTheCodePage();
    void rewritingReplacesWithIdenticalBytes();
    void shortWritesAreReported();
    void failedWriteLeavesTheOldFile();
    void unwritablePathIsReported();
};

void TestPageWriter::firstStartPage()
{
    ListingSettings s = onlySections({});
    s.startFirstRun();
    s.setText(TextField::MainTitle, u"  Blue  Vase  "_s);
    s.setText(TextField::SubTitle, u"Hand made"_s);
    s.setText(TextField::Description, u"Lovely vase."_s);
    s.setText(TextField::NoReserve, u"No reserve!"_s);
    s.setText(TextField::Payment, u"PayPal & cheque"_s);
    s.setText(TextField::Shipping, u"<b>Free</b>"_s);
    s.setText(TextField::ThankYou, u"Thanks for looking"_s);
    s.setText(TextField::AuctionId, u"ID42"_s);
    const QByteArray expected = golden(u"first-start.html"_s);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(renderPage(s), expected);
}

// Whole pages of one section, each a hand-written file under tests/data/page.
void TestPageWriter::pages_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("file");

    const auto row = [](const char *name, const QString &section, const QStringList &items) {
        QTest::newRow(name) << section << items << QString::fromLatin1(name);
    };
    // The header row above a Description block, in every look and alignment.
    const QString d = u"Description"_s;
    row("header-solid-left", d, {});
    row("header-solid-center-2", d, {u"headercenter"_s, u"hedrsize2"_s});
    row("header-solid-right-7", d, {u"headerright"_s, u"hedrsize7"_s});
    row("header-tab-left-1", d, {u"foldertab"_s, u"hedrsize1"_s});
    row("header-tab-right", d, {u"foldertab"_s, u"headerright"_s});
    row("header-tab-center-3", d, {u"foldertab"_s, u"headercenter"_s, u"hedrsize3"_s});
    // Each kind of content block, in another font each.
    row("block-title", u"Title"_s, {u"titlcent"_s, u"titlsize5"_s, u"fonttimes"_s});
    row("block-noreserve-centred", u"No Reserve"_s,
        {u"rsrvcent"_s, u"rsrvsize4"_s, u"fontcomic"_s});
    row("block-noreserve-left", u"No Reserve"_s, {u"rsrvleft"_s, u"fontimpact"_s});
    row("block-thankyou", u"Thank You"_s, {u"thnkcent"_s, u"thnksize3"_s, u"fontlucidasans"_s});
    row("block-payment", u"Payment"_s, {u"pmntcent"_s, u"pmntsize2"_s, u"fontlucidaconsole"_s});
    row("block-condition", u"Condition"_s, {u"condsize6"_s, u"fontarialblack"_s});
}

void TestPageWriter::pages()
{
    QFETCH(QString, section);
    QFETCH(QStringList, items);
    QFETCH(QString, file);

    ListingSettings s = onlySections({section});
    const std::pair<TextField, const char16_t *> texts[] = {
        {TextField::MainTitle, u"Main"}, {TextField::SubTitle, u"Sub"},
        {TextField::NoReserve, u"NR"},   {TextField::ThankYou, u"TY"},
        {TextField::AuctionId, u"ID"},   {TextField::Payment, u"P"},
        {TextField::Condition, u"C"},    {TextField::Description, u"D"}};
    for (const auto &[field, text] : texts) {
        s.setText(field, QString::fromUtf16(text));
    }
    choose(s, items);
    const QByteArray expected = golden(u"page/"_s + file + u".html"_s);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(renderPage(s), expected);
}

void TestPageWriter::folderTabFillerIsTheSectionsBackground_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("filler");

    QTest::newRow("Condition") << u"Condition"_s
                               << QByteArray(R"(<td width="80%" bgcolor="#B00003">)");
    QTest::newRow("Payment") << u"Payment"_s << QByteArray(R"(<td width="80%" bgcolor="#B00005">)");
    QTest::newRow("Shipping") << u"Shipping"_s
                              << QByteArray(R"(<td width="80%" bgcolor="#B00004">)");
}

void TestPageWriter::folderTabFillerIsTheSectionsBackground()
{
    QFETCH(QString, section);
    QFETCH(QByteArray, filler);

    ListingSettings s = onlySections({section});
    choose(s, {u"foldertab"_s});
    QVERIFY(renderPage(s).contains("</td>\r\n" + filler + "\r\n</td>\r\n</tr>\r\n"));
    // The solid bar never uses the section's own background in the header.
    choose(s, {u"HeaderSolid"_s});
    QCOMPARE(renderPage(s).count(filler.mid(filler.indexOf("bgcolor"))), 1);
}

void TestPageWriter::headerRowsIgnoreFontAndSectionStyle()
{
    ListingSettings plain = onlySections({u"Description"_s, u"Shipping"_s});
    ListingSettings styled = plain;
    choose(styled, {u"fontcourier"_s, u"descsize6"_s, u"desccent"_s, u"shipsize1"_s});
    const auto headerPart = [](const QByteArray &page) {
        // The first header row runs from its opening <tr> to the content block.
        const qsizetype from = page.indexOf("<tr>");
        return page.mid(from, page.indexOf("<td bgcolor=") - from);
    };
    QCOMPARE(headerPart(renderPage(styled)), headerPart(renderPage(plain)));

    choose(plain, {u"hedrsize4"_s});
    plain.setColor(ColorSlotId::HeaderFont, u"123456"_s);
    const QByteArray page = renderPage(plain);
    QCOMPARE(page.count("<font color=\"#123456\" size=\"4\">"), 2);
    QVERIFY(!page.contains("<font color=\"#F00000\""));
}

void TestPageWriter::multiLineRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("a CR LF b") << u"a\r\nb"_s << QByteArray("a<br>\r\r\n\nb</font>\r\n");
    QTest::newRow("trailing line break")
        << u"end\r\n"_s << QByteArray("end<br>\r\r\n\n</font>\r\n");
    QTest::newRow("two line breaks")
        << u"a\r\n\r\nb"_s << QByteArray("a<br>\r\r\n\n<br>\r\r\n\nb</font>\r\n");
    QTest::newRow("lone CR") << u"a\rb"_s << QByteArray("a<br>\r\r\nb</font>\r\n");
    QTest::newRow("lone LF stays an ordinary character")
        << u"a\nb"_s << QByteArray("a\nb</font>\r\n");
    QTest::newRow("spaces around are dropped") << u"   a  b   "_s << QByteArray("a  b</font>\r\n");
    QTest::newRow("tabs stay") << u"\ta\t"_s << QByteArray("\ta\t</font>\r\n");
    QTest::newRow("no-break spaces stay") << u"\u00A0a\u00A0"_s
                                          << QByteArray("\xA0"
                                                        "a\xA0</font>\r\n");
    QTest::newRow("spaces before a leading break")
        << u"  \r\nx"_s << QByteArray("<br>\r\r\n\nx</font>\r\n");
    QTest::newRow("empty") << QString() << QByteArray("</font>\r\n");
    QTest::newRow("blanks only") << u"     "_s << QByteArray("</font>\r\n");
    QTest::newRow("markup and ampersand copied")
        << u"<b>A & B</b> &amp;"_s << QByteArray("<b>A & B</b> &amp;</font>\r\n");
}

void TestPageWriter::multiLineRule()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, written);

    ListingSettings s = onlySections({u"Description"_s});
    s.setText(TextField::Description, text);
    QCOMPARE(descriptionTextPart(renderPage(s)), written);
}

// Only spaces are trimmed; empty texts leave their lines empty.
void TestPageWriter::oneLineTexts()
{
    ListingSettings s = onlySections({u"Title"_s, u"No Reserve"_s, u"Thank You"_s});
    s.setText(TextField::MainTitle, u"  \tMain  Title\t  "_s);
    s.setText(TextField::SubTitle, u" sub "_s);
    s.setText(TextField::NoReserve, u"  no reserve  "_s);
    s.setText(TextField::ThankYou, u"   thanks "_s);
    s.setText(TextField::AuctionId, u" id 7 "_s);
    QByteArray page = renderPage(s);
    QVERIFY(page.contains("\r\n\tMain  Title\t\r\n<br></font>\r\n"));
    QVERIFY(page.contains("\r\nsub\r\n</font>\r\n"));
    QVERIFY(page.contains("\r\n<i>\r\nno reserve\r\n</i>\r\n"));
    QVERIFY(page.contains("\r\nthanks<br>\r\nid 7\r\n</font>\r\n"));

    const QByteArray font = R"(size="" face="Arial, Helvetica,sans-serif">)";
    page = renderPage(onlySections({u"Title"_s, u"Thank You"_s}));
    QVERIFY(page.contains(font + "\r\n\r\n<br></font>\r\n"));
    QVERIFY(page.contains(font + "\r\n<br>\r\n\r\n</font>\r\n<!-Created"));
}

void TestPageWriter::unknownAndRepeatedNamesInTheOrder()
{
    const QByteArray page = renderPage(onlySections(
        {u"Title"_s, u"Bogus"_s, u"title"_s, u"Thank You"_s, u" Payment"_s, u"Thank You"_s}));
    QCOMPARE(page, renderPage(onlySections({u"Title"_s, u"Thank You"_s, u"Thank You"_s})));
    QCOMPARE(page.count("<td bgcolor=\"#B00006\">"), 2);
    QVERIFY(!page.contains("Bogus"));
    QVERIFY(!page.contains("#B00005"));
}

void TestPageWriter::allSwitchesOff()
{
    ListingSettings s = onlySections({});
    s.startFirstRun();
    for (SectionId id : SwitchableSections) {
        s.setSwitch(id, false);
    }
    const QByteArray page = renderPage(s);
    QCOMPARE(page.count("<td bgcolor=\""), 2);
    QCOMPARE(page.count("<!-Created with Tavrin v2.0.1 ->"), 3);
    QVERIFY(page.indexOf("#B00001") < page.indexOf("Description & Specifications"));
}

void TestPageWriter::colourSlotsAreWrittenUnchecked()
{
    ListingSettings s = onlySections({u"No Reserve"_s});
    s.setColor(ColorSlotId::ReserveBackground, u"zz"_s);
    s.setColor(ColorSlotId::ReserveFont, u"cc33ffEXTRA"_s);
    const QByteArray page = renderPage(s);
    QVERIFY(page.contains("<td bgcolor=\"#zz    \">"));
    QVERIFY(page.contains("<font color=\"#cc33ff\" size=\"\""));
}

void TestPageWriter::charactersOutsideTheCodePage()
{
    ListingSettings s = onlySections({u"Description"_s});
    s.setText(TextField::Description, u"\u00E9\u20AC \u2192 \U0001F600 \u0100 caf\u00E9"_s);
    QCOMPARE(descriptionTextPart(renderPage(s)),
             QByteArray("\xE9\x80 &#8594; &#128512; &#256; caf\xE9</font>\r\n"));
}

void TestPageWriter::rewritingReplacesWithIdenticalBytes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"listing.txt"_s);
    writeBytes(path, QByteArray(100000, 'x'));
    ListingSettings s = onlySections({});
    s.startFirstRun();
    s.setText(TextField::Description, u"first\r\nsecond"_s);

    QVERIFY(writeout(s, path));
    const QByteArray once = fileBytes(path);
    QCOMPARE(once, renderPage(s));
    QVERIFY(writeout(s, path));
    QCOMPARE(fileBytes(path), once);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"listing.txt"_s});
}

void TestPageWriter::shortWritesAreReported()
{
    ListingSettings s = onlySections({});
    s.startFirstRun();
    FailingDevice full({}, 100);
    QVERIFY(full.open(QIODevice::WriteOnly));
    QVERIFY(!writePage(s, full));

    FailingDevice roomy({}, 1 << 20);
    QVERIFY(roomy.open(QIODevice::WriteOnly));
    QVERIFY(writePage(s, roomy));
    QCOMPARE(roomy.written(), renderPage(s));
}

void TestPageWriter::failedWriteLeavesTheOldFile()
{
#ifdef Q_OS_UNIX
    // A file size limit makes the write fail half-way, as a full disk would, even for root.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"preview.html"_s);
    writeBytes(path, "earlier listing\r\n");
    ListingSettings s = onlySections({});
    s.startFirstRun();
    s.setText(TextField::Description, QString(20000, u'd'));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const WriteResult result = writeout(s, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!result.ok);
    QCOMPARE(result.path, QDir::toNativeSeparators(path));
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(fileBytes(path), QByteArray("earlier listing\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"preview.html"_s});
#else
    QSKIP("needs a per-process file size limit");
#endif
}

void TestPageWriter::unwritablePathIsReported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A regular file where a folder should be fails for every user, root included.
    const QString blocker = dir.filePath(u"not-a-folder"_s);
    writeBytes(blocker, {});
    const WriteResult result = writeout(ListingSettings(), blocker + u"/listing.txt"_s);
    QVERIFY(!result.ok);
    QVERIFY(result.path.endsWith(u"listing.txt"_s));
    QVERIFY(!result.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestPageWriter)
#include "tst_pagewriter.moc"
