#include "../faildevice.h"
#include "pagewriter.h"
#include "styleitems.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Lines as they stand in the file, each ended by CR LF.
QByteArray lines(std::initializer_list<const char *> list)
{
    QByteArray out;
    for (const char *line : list) {
        out += line;
        out += "\r\n";
    }
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

// Font slot k holds "F0000k" and background slot 8 + k holds "B0000k", so every colour in a
// page tells which slot it came from.
ListingSettings numberedColours()
{
    ListingSettings s;
    for (int k = 0; k < 8; ++k) {
        s.setColor(static_cast<ColorSlotId>(k), u"F0000"_s + QString::number(k));
        s.setColor(static_cast<ColorSlotId>(8 + k), u"B0000"_s + QString::number(k));
    }
    return s;
}

ListingSettings onlySections(const QStringList &names)
{
    ListingSettings s = numberedColours();
    for (const QString &name : names) {
        s.appendRestoredName(name);
    }
    return s;
}

void select(ListingSettings &s, const char *itemName)
{
    const StyleItem *item = findStyleItem(QString::fromLatin1(itemName));
    QVERIFY2(item, itemName);
    selectStyleItem(s, *item);
}

const QByteArray PageStart = lines({R"(<table cellpadding="0" cellspacing="0" width="100%">)",
                                    "<!-Created with Tavrin v2.0.1 ->"});
const QByteArray PageEnd = lines({"</table>"});

// The Description block with the text "D", size unset, not centred, Arial.
const QByteArray DescriptionBlock = lines({
    "<tr>",
    R"(<td bgcolor="#B00007">)",
    R"(<table cellspacing="0" cellpadding="4" width="100%">)",
    "<tr>",
    "<td>",
    R"(<font color="#F00007" size="" face="Arial, Helvetica,sans-serif">)",
    "D</font>",
    "</td>",
    "</tr>",
    "</table>",
    "</td>",
    "</tr>",
});

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
    const qsizetype end = page.indexOf("</font>\r\n", from);
    return page.mid(from, end + 9 - from);
}

} // namespace

class TestPageWriter : public QObject
{
    Q_OBJECT

private slots:
    void firstStartPage();
    void headerRows_data();
    void headerRows();
    void folderTabFillerIsTheSectionsBackground_data();
    void folderTabFillerIsTheSectionsBackground();
    void headerRowsIgnoreFontAndSectionStyle();
    void contentBlocks_data();
    void contentBlocks();
    void multiLineRule_data();
    void multiLineRule();
    void oneLineTextsLoseSpacesOnly();
    void emptyOneLineTexts();
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
    ListingSettings s = numberedColours();
    s.startFirstRun();
    s.setText(TextField::MainTitle, u"  Blue  Vase  "_s);
    s.setText(TextField::SubTitle, u"Hand made"_s);
    s.setText(TextField::Description, u"Lovely vase."_s);
    s.setText(TextField::NoReserve, u"No reserve!"_s);
    s.setText(TextField::Payment, u"PayPal & cheque"_s);
    s.setText(TextField::Shipping, u"<b>Free</b>"_s);
    s.setText(TextField::ThankYou, u"Thanks for looking"_s);
    s.setText(TextField::AuctionId, u"ID42"_s);

    const QByteArray expected = readFile(QStringLiteral(TAVRIN_TEST_DATA_DIR "/first-start.html"));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(renderPage(s), expected);
}

void TestPageWriter::headerRows_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("header");

    QTest::newRow("solid bar, left, size unset")
        << QStringList{}
        << lines({
               "<tr>",
               "<td>",
               R"(<table cellpadding="0" cellspacing="0" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               R"(<td width="100%" bgcolor="#B00000" align="Left">)",
               R"(<font color="#F00000" size="">)",
               "&nbsp;   Description & Specifications   &nbsp;",
               "</font>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("solid bar, centred, size 2")
        << QStringList{u"headercenter"_s, u"hedrsize2"_s}
        << lines({
               "<tr>",
               "<td>",
               R"(<table cellpadding="0" cellspacing="0" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               R"(<td width="100%" bgcolor="#B00000" align="center">)",
               R"(<font color="#F00000" size="2">)",
               "&nbsp;   Description & Specifications   &nbsp;",
               "</font>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("solid bar, right, size 7")
        << QStringList{u"headerright"_s, u"hedrsize7"_s}
        << lines({
               "<tr>",
               "<td>",
               R"(<table cellpadding="0" cellspacing="0" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               R"(<td width="100%" bgcolor="#B00000" align="right">)",
               R"(<font color="#F00000" size="7">)",
               "&nbsp;   Description & Specifications   &nbsp;",
               "</font>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("folder tab, left, size 1")
        << QStringList{u"foldertab"_s, u"hedrsize1"_s}
        << lines({
               "<tr>",
               "<td>",
               R"(<table cellpadding="0" cellspacing="0" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               R"(<td width="20%" bgcolor="#B00000">)",
               R"(<font color="#F00000" size="1">)",
               "<center>",
               "&nbsp;   Description & Specifications   &nbsp;",
               "</center>",
               "</font>",
               "</td>",
               R"(<td width="80%" bgcolor="#B00007">)",
               "</td>",
               "</tr>",
               "<tr>",
               R"(<td colspan="2" bgcolor="#B00000">)",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("folder tab, right, size unset")
        << QStringList{u"foldertab"_s, u"headerright"_s}
        << lines({
               "<tr>",
               "<td>",
               R"(<table cellpadding="0" cellspacing="0" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               R"(<td width="80%" bgcolor="#B00007">)",
               "</td>",
               R"(<td width="20%" bgcolor="#B00000">)",
               R"(<font color="#F00000" size="">)",
               "<center>",
               "&nbsp;   Description & Specifications   &nbsp;",
               "</center>",
               "</font>",
               "</td>",
               "</tr>",
               "<tr>",
               R"(<td colspan="2" bgcolor="#B00000">)",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("folder tab, centred, size 3")
        << QStringList{u"foldertab"_s, u"headercenter"_s, u"hedrsize3"_s}
        << lines({
               "<tr>",
               "<td>",
               R"(<table cellpadding="0" cellspacing="0" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               R"(<td width="40%" bgcolor="#B00007">)",
               "</td>",
               R"(<td width="20%" bgcolor="#B00000">)",
               R"(<font color="#F00000" size="3">)",
               "<center>",
               "&nbsp;   Description & Specifications   &nbsp;",
               "</center>",
               "</font>",
               "</td>",
               R"(<td width="40%" bgcolor="#B00007">)",
               "</td>",
               "</tr>",
               "<tr>",
               R"(<td colspan="3" bgcolor="#B00000">)",
               "</td>",
               "</tr>",
               "</table>",
               "<!-Created with Tavrin v2.0.1 ->",
               "</td>",
               "</tr>",
           });
}

void TestPageWriter::headerRows()
{
    QFETCH(QStringList, items);
    QFETCH(QByteArray, header);

    ListingSettings s = onlySections({u"Description"_s});
    s.setText(TextField::Description, u"D"_s);
    for (const QString &item : items) {
        select(s, item.toLatin1().constData());
    }
    QCOMPARE(renderPage(s), PageStart + header + DescriptionBlock + PageEnd);
}

void TestPageWriter::folderTabFillerIsTheSectionsBackground_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QByteArray>("filler");

    QTest::newRow("Condition") << u"Condition"_s << QByteArray("&nbsp;   Condition   &nbsp;")
                               << QByteArray(R"(<td width="80%" bgcolor="#B00003">)");
    QTest::newRow("Payment") << u"Payment"_s << QByteArray("&nbsp;   Payment Options   &nbsp;")
                             << QByteArray(R"(<td width="80%" bgcolor="#B00005">)");
    QTest::newRow("Shipping") << u"Shipping"_s << QByteArray("&nbsp;   Terms & Shipping   &nbsp;")
                              << QByteArray(R"(<td width="80%" bgcolor="#B00004">)");
}

void TestPageWriter::folderTabFillerIsTheSectionsBackground()
{
    QFETCH(QString, section);
    QFETCH(QByteArray, label);
    QFETCH(QByteArray, filler);

    ListingSettings s = onlySections({section});
    select(s, "foldertab");
    const QByteArray page = renderPage(s);
    QVERIFY(page.contains("\r\n<center>\r\n" + label + "\r\n</center>\r\n"));
    QVERIFY(page.contains("</td>\r\n" + filler + "\r\n</td>\r\n</tr>\r\n"));

    // The solid bar never uses the section's own background in the header.
    select(s, "HeaderSolid");
    const QByteArray solid = renderPage(s);
    QCOMPARE(solid.count(filler.mid(filler.indexOf("bgcolor"))), 1); // the content block only
}

void TestPageWriter::headerRowsIgnoreFontAndSectionStyle()
{
    ListingSettings plain = onlySections({u"Description"_s, u"Shipping"_s});
    ListingSettings styled = plain;
    select(styled, "fontcourier");
    select(styled, "descsize6");
    select(styled, "desccent");
    select(styled, "shipsize1");

    const auto headerPart = [](const QByteArray &page) {
        // The first header row runs from the page's third line to the content block.
        const qsizetype from = PageStart.size();
        return page.mid(from, page.indexOf("<td bgcolor=") - from);
    };
    QCOMPARE(headerPart(renderPage(styled)), headerPart(renderPage(plain)));

    ListingSettings bigger = plain;
    select(bigger, "hedrsize4");
    bigger.setColor(ColorSlotId::HeaderFont, u"123456"_s);
    const QByteArray page = renderPage(bigger);
    QCOMPARE(page.count("<font color=\"#123456\" size=\"4\">"), 2);
    QVERIFY(!page.contains("<font color=\"#F00000\""));
}

void TestPageWriter::contentBlocks_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("Title, centred, size 5, Times")
        << u"Title"_s << QStringList{u"titlcent"_s, u"titlsize5"_s, u"fonttimes"_s}
        << lines({
               "<tr>",
               R"(<td bgcolor="#B00001">)",
               R"(<table cellspacing="0" cellpadding="6" width="100%">)",
               "<!-Created with Tavrin v2.0.1 ->",
               "<tr>",
               "<td>",
               "<center>",
               R"(<font color="#F00001" size="5" face="Times New Roman, Times, serif">)",
               "Main",
               "<br></font>",
               R"(<font color="#F00001" size="5" face="Times New Roman, Times, serif">)",
               "Sub",
               "</font>",
               "</center>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("No Reserve, centred, size 4, Comic Sans")
        << u"No Reserve"_s << QStringList{u"rsrvcent"_s, u"rsrvsize4"_s, u"fontcomic"_s}
        << lines({
               "<tr>",
               R"(<td bgcolor="#B00002">)",
               R"(<table cellspacing="0" cellpadding="4" width="100%">)",
               "<tr>",
               "<td>",
               "<center>",
               R"(<font color="#F00002" size="4" face="Comic Sans MS, cursive">)",
               "<i>",
               "NR",
               "</i>",
               "</font>",
               "</center>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("No Reserve, left justified chosen")
        << u"No Reserve"_s << QStringList{u"rsrvleft"_s, u"fontimpact"_s}
        << lines({
               "<tr>",
               R"(<td bgcolor="#B00002">)",
               R"(<table cellspacing="0" cellpadding="4" width="100%">)",
               "<tr>",
               "<td>",
               R"(<font color="#F00002" size="" face="Impact, charcoal,sans-serif">)",
               "<i>",
               "NR",
               "</i>",
               "</font>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("Thank You, centred, size 3, Lucida Sans")
        << u"Thank You"_s << QStringList{u"thnkcent"_s, u"thnksize3"_s, u"fontlucidasans"_s}
        << lines({
               "<tr>",
               R"(<td bgcolor="#B00006">)",
               R"(<table cellspacing="0" cellpadding="4" width="100%">)",
               "<tr>",
               "<td>",
               "<center>",
               R"(<font color="#F00006" size="3" face="Lucida Sans Unicode, Lucida Grande, sans-serif">)",
               "TY<br>",
               "ID",
               "</font>",
               "<!-Created with Tavrin v2.0.1 ->",
               "</center>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("Payment, centred, size 2, Lucida Console")
        << u"Payment"_s << QStringList{u"pmntcent"_s, u"pmntsize2"_s, u"fontlucidaconsole"_s}
        << lines({
               "<tr>",
               R"(<td bgcolor="#B00005">)",
               R"(<table cellspacing="0" cellpadding="4" width="100%">)",
               "<tr>",
               "<td>",
               "<center>",
               R"(<font color="#F00005" size="2" face="Lucida Console, Monaco, sans-serif">)",
               "P</font>",
               "</center>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
    QTest::newRow("Condition, size 6, Arial Black")
        << u"Condition"_s << QStringList{u"condsize6"_s, u"fontarialblack"_s}
        << lines({
               "<tr>",
               R"(<td bgcolor="#B00003">)",
               R"(<table cellspacing="0" cellpadding="4" width="100%">)",
               "<tr>",
               "<td>",
               R"(<font color="#F00003" size="6" face="Arial Black, Gadget,sans-serif">)",
               "C</font>",
               "</td>",
               "</tr>",
               "</table>",
               "</td>",
               "</tr>",
           });
}

void TestPageWriter::contentBlocks()
{
    QFETCH(QString, section);
    QFETCH(QStringList, items);
    QFETCH(QByteArray, block);

    ListingSettings s = onlySections({section});
    s.setText(TextField::MainTitle, u"Main"_s);
    s.setText(TextField::SubTitle, u"Sub"_s);
    s.setText(TextField::NoReserve, u"NR"_s);
    s.setText(TextField::ThankYou, u"TY"_s);
    s.setText(TextField::AuctionId, u"ID"_s);
    s.setText(TextField::Payment, u"P"_s);
    s.setText(TextField::Condition, u"C"_s);
    for (const QString &item : items) {
        select(s, item.toLatin1().constData());
    }
    const QByteArray page = renderPage(s);
    const QByteArray header = lines({
        "<tr>",
        "<td>",
        R"(<table cellpadding="0" cellspacing="0" width="100%">)",
    });
    if (page.mid(PageStart.size()).startsWith(header)) {
        // Sections with a header row: compare from their content block on.
        const qsizetype blockStart = page.indexOf("<tr>\r\n<td bgcolor=");
        QCOMPARE(page.mid(blockStart), block + PageEnd);
    } else {
        QCOMPARE(page, PageStart + block + PageEnd);
    }
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

void TestPageWriter::oneLineTextsLoseSpacesOnly()
{
    ListingSettings s = onlySections({u"Title"_s, u"No Reserve"_s, u"Thank You"_s});
    s.setText(TextField::MainTitle, u"  \tMain  Title\t  "_s);
    s.setText(TextField::SubTitle, u" sub "_s);
    s.setText(TextField::NoReserve, u"  no reserve  "_s);
    s.setText(TextField::ThankYou, u"   thanks "_s);
    s.setText(TextField::AuctionId, u" id 7 "_s);
    const QByteArray page = renderPage(s);
    QVERIFY(page.contains("\r\n\tMain  Title\t\r\n<br></font>\r\n"));
    QVERIFY(page.contains("\r\nsub\r\n</font>\r\n"));
    QVERIFY(page.contains("\r\n<i>\r\nno reserve\r\n</i>\r\n"));
    QVERIFY(page.contains("\r\nthanks<br>\r\nid 7\r\n</font>\r\n"));
}

void TestPageWriter::emptyOneLineTexts()
{
    ListingSettings s = onlySections({u"Title"_s, u"Thank You"_s});
    const QByteArray font = R"(size="" face="Arial, Helvetica,sans-serif">)";
    const QByteArray page = renderPage(s);
    QVERIFY(page.contains(font + "\r\n\r\n<br></font>\r\n"));
    QVERIFY(page.contains(font + "\r\n<br>\r\n\r\n</font>\r\n<!-Created"));
}

void TestPageWriter::unknownAndRepeatedNamesInTheOrder()
{
    const ListingSettings withStrays = onlySections(
        {u"Title"_s, u"Bogus"_s, u"title"_s, u"Thank You"_s, u" Payment"_s, u"Thank You"_s});
    const ListingSettings clean = onlySections({u"Title"_s, u"Thank You"_s, u"Thank You"_s});
    const QByteArray page = renderPage(withStrays);
    QCOMPARE(page, renderPage(clean));
    QCOMPARE(page.count("<td bgcolor=\"#B00006\">"), 2);
    QVERIFY(!page.contains("Bogus"));
    QVERIFY(!page.contains("#B00005"));
}

void TestPageWriter::allSwitchesOff()
{
    ListingSettings s = numberedColours();
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
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    ListingSettings s = numberedColours();
    s.startFirstRun();
    s.setText(TextField::Description, u"first\r\nsecond"_s);

    QVERIFY(writeout(s, path));
    const QByteArray once = readFile(path);
    QCOMPARE(once, renderPage(s));
    QVERIFY(once.size() < 100000);
    QVERIFY(writeout(s, path));
    QCOMPARE(readFile(path), once);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"listing.txt"_s});
}

void TestPageWriter::shortWritesAreReported()
{
    ListingSettings s = numberedColours();
    s.startFirstRun();
    FailDevice device(100);
    QVERIFY(device.open(QIODevice::WriteOnly));
    QVERIFY(!writePage(s, device));

    FailDevice roomy(1 << 20);
    QVERIFY(roomy.open(QIODevice::WriteOnly));
    QVERIFY(writePage(s, roomy));
    QCOMPARE(roomy.data(), renderPage(s));
}

void TestPageWriter::failedWriteLeavesTheOldFile()
{
#ifdef Q_OS_UNIX
    // A file size limit makes the write fail half-way, as a full disk would, even for root.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"preview.html"_s);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier listing\r\n");
    }
    ListingSettings s = numberedColours();
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
    QCOMPARE(readFile(path), QByteArray("earlier listing\r\n"));
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
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ListingSettings s;
    const WriteResult result = writeout(s, blocker + u"/listing.txt"_s);
    QVERIFY(!result.ok);
    QVERIFY(result.path.endsWith(u"listing.txt"_s));
    QVERIFY(!result.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestPageWriter)
#include "tst_pagewriter.moc"
