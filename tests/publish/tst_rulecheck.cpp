#include "../testsupport.h"
#include "defaultcolours.h"
#include "pagewriter.h"
#include "rulecheck.h"
#include "sectionedpage.h"

using namespace Qt::StringLiterals;

namespace {

QString kindName(FindingKind kind)
{
    switch (kind) {
    case FindingKind::ActiveElement:
        return u"element"_s;
    case FindingKind::EventHandler:
        return u"handler"_s;
    case FindingKind::ScriptAddress:
        return u"script-address"_s;
    case FindingKind::MetaRefresh:
        return u"meta-refresh"_s;
    case FindingKind::PlainHttp:
        return u"http"_s;
    case FindingKind::PageTooLong:
        return u"too-long"_s;
    }
    return {};
}

// "kind detail @offset: markup", so one string states everything about a finding.
QStringList described(const std::vector<MarkupFinding> &findings)
{
    QStringList out;
    for (const MarkupFinding &f : findings) {
        out += u"%1 %2 @%3: %4"_s.arg(kindName(f.kind), f.detail).arg(f.offset).arg(f.markup);
    }
    return out;
}

QStringList reportLines(const std::vector<Finding> &findings)
{
    QStringList out;
    for (const Finding &f : findings) {
        out += formatFinding(f);
    }
    return out;
}

ListingSettings firstStart()
{
    ListingSettings s;
    s.startFirstRun();
    s.setColors(defaultColorSet());
    s.setText(TextField::MainTitle, u"Blue Vase"_s);
    s.setText(TextField::Description, u"Tall and blue."_s);
    return s;
}

} // namespace

class TestRuleCheck : public QObject
{
    Q_OBJECT

private slots:
    void findsWhatTheMarketplaceRejects_data();
    void findsWhatTheMarketplaceRejects();
    void namesTheSectionThatCarriesEachFinding_data();
    void namesTheSectionThatCarriesEachFinding();
    void reportsAPageLongerThanTheLimit();
    void sectionsPutTogetherAreThePage_data();
    void sectionsPutTogetherAreThePage();
    void survivesDeepNesting();
};

void TestRuleCheck::findsWhatTheMarketplaceRejects_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QStringList>("findings");

    QTest::newRow("clean markup, text that only looks risky")
        << QByteArray("<table><tr><td bgcolor=\"#FFFFFF\"><font color=\"#000000\">see "
                      "http://example.com, javascript:x, onclick=y<br></font></td></tr></table>")
        << QStringList{};
    QTest::newRow("script in mixed case") << QByteArray("Hi <ScRiPt SRC=a.js></sCrIpT>")
                                          << QStringList{u"element script @3: <ScRiPt SRC=a.js>"_s};
    QTest::newRow("every active element")
        << QByteArray("<iframe src=x></iframe><EMBED src=y><object data=z></object>"
                      "<applet code=a></applet><form><input></form>")
        << QStringList{u"element iframe @0: <iframe src=x>"_s,
                       u"element embed @23: <EMBED src=y>"_s,
                       u"element object @36: <object data=z>"_s,
                       u"element applet @60: <applet code=a>"_s, u"element form @84: <form>"_s};
    QTest::newRow("what a rejected element holds is not looked into")
        << QByteArray("<form action=http://x><input onclick=go()><a href=javascript:x>y</a></form>")
        << QStringList{u"element form @0: <form action=http://x>"_s};
    QTest::newRow("script inside SVG") << QByteArray("<svg><script>go()</script></svg>")
                                       << QStringList{u"element script @5: <script>"_s};
    QTest::newRow("event handler split over lines, unquoted")
        << QByteArray("<div\r\n   ONMOUSEOVER=go()\r\n>x</div>")
        << QStringList{u"handler onmouseover @9: <div ONMOUSEOVER=go() >"_s};
    QTest::newRow("event handler without a value, and two on one tag")
        << QByteArray("<b onfoo onClick='a()'>x</b>")
        << QStringList{u"handler onfoo @3: <b onfoo onClick='a()'>"_s,
                       u"handler onclick @9: <b onfoo onClick='a()'>"_s};
    QTest::newRow("javascript: however written")
        << QByteArray("<a href=\"  JaVaScRiPt:alert(1)\">a</a>"
                      "<a href=\"&#x09;java&#x0A;script&colon;x\">b</a>"
                      "<img src=\"\x01javascript:x\">"
                      "<button formaction=javascript:x>c</button>"
                      "<a href='vbscript:msgbox'>d</a>")
        << QStringList{u"script-address href @3: <a href=\"  JaVaScRiPt:alert(1)\">"_s,
                       u"script-address href @40: <a href=\"&#x09;java&#x0A;script&colon;x\">"_s,
                       u"script-address src @88: <img src=\"\u0001javascript:x\">"_s,
                       u"script-address formaction @116: <button formaction=javascript:x>"_s,
                       u"script-address href @153: <a href='vbscript:msgbox'>"_s};
    QTest::newRow("addresses that are not javascript:")
        << QByteArray("<a href=\"java script:x\">a</a><a href=\"#javascript:x\">b</a>"
                      "<a href=\"javascripts:x\">c</a><a title=\"javascript:x\">d</a>")
        << QStringList{};
    QTest::newRow("meta refresh, and a meta that is harmless")
        << QByteArray("<META HTTP-EQUIV=\" Refresh \" content=\"0;url=https://x\">"
                      "<meta http-equiv=\"content-type\" content=\"text/html\">")
        << QStringList{u"meta-refresh meta @0: <META HTTP-EQUIV=\" Refresh \" "
                       "content=\"0;url=https://x\">"_s};
    QTest::newRow("plain http in every kind of address")
        << QByteArray("<img src=\"HTTP://x/a.jpg\">"
                      "<a href=http:example.com>a</a>"
                      "<table background='http://x/bg.gif'></table>"
                      "<img srcset=\"https://x/a.jpg 1x, http://x/b.jpg 2x\">"
                      "<a ping=\"https://x http://y\">b</a>")
        << QStringList{
               u"http src @5: <img src=\"HTTP://x/a.jpg\">"_s,
               u"http href @29: <a href=http:example.com>"_s,
               u"http background @63: <table background='http://x/bg.gif'>"_s,
               u"http srcset @105: <img srcset=\"https://x/a.jpg 1x, http://x/b.jpg 2x\">"_s,
               u"http ping @155: <a ping=\"https://x http://y\">"_s};
    QTest::newRow("secure and relative addresses")
        << QByteArray(
               "<img src=\"https://x/a.jpg\"><a href=\"//x/y\">a</a><a href=\"page.html\">b</a>"
               "<img srcset=\"a.jpg 1x,b.jpg 2x\">")
        << QStringList{};
    QTest::newRow("plain http in style")
        << QByteArray("<div style=\"background:url( 'http://x/a.png' )\">a</div>"
                      "<div style=\"background:myurl(http://x)\">b</div>"
                      "<style>p{color:red}\r\n@import \"http://x/a.css\";</style>"
                      "<style>p{background:URL(https://x/a.png)}</style>")
        << QStringList{u"http style @5: <div style=\"background:url( 'http://x/a.png' )\">"_s,
                       u"http style @123: @import \"http://x/a.css\""_s};
    QTest::newRow("markup that is not markup")
        << QByteArray("<!-- <script>go()</script> --><textarea><iframe></textarea>"
                      "<a title=\"<script>\">x</a><!-Created with Tavrin v2.0.1 ->")
        << QStringList{};
    QTest::newRow("attributes of a second body reach the page's body")
        << QByteArray("<p>x</p><body onload=go()>")
        << QStringList{u"handler onload @14: onload=go()"_s};
    QTest::newRow("a reopened formatting element is reported once")
        << QByteArray("<b onclick=x><p>one</b>two<p>three")
        << QStringList{u"handler onclick @3: <b onclick=x>"_s};
    QTest::newRow("a long tag shows its name and the attribute")
        << QByteArray("<img alt=\"" + QByteArray(200, 'a') + "\" onerror=go()>")
        << QStringList{u"handler onerror @212: <img ... onerror=go() ...>"_s};
    QTest::newRow("a long element is cut")
        << QByteArray("<script src=\"" + QByteArray(200, 'b') + "\">")
        << QStringList{u"element script @0: <script src=\""_s + QString(144, u'b') + u"..."_s};
    QTest::newRow("Windows-1252 letters around the markup")
        << QByteArray("Caf\xE9 <a href=\"http://x/\xE9\">\x93q\x94</a>")
        << QStringList{u"http href @8: <a href=\"http://x/\u00E9\">"_s};
}

void TestRuleCheck::findsWhatTheMarketplaceRejects()
{
    QFETCH(QByteArray, html);
    QFETCH(QStringList, findings);

    const QStringList actual = described(findRejectedMarkup(html));
    if (actual != findings) {
        qWarning().noquote() << actual.join(u"\n"_s);
    }
    QCOMPARE(actual, findings);
}

void TestRuleCheck::namesTheSectionThatCarriesEachFinding_data()
{
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QStringList>("texts"); // field index and text, in pairs
    QTest::addColumn<QStringList>("report");

    const QStringList firstRun = firstRunOrder();
    auto field = [](TextField f) { return QString::number(int(f)); };

    QTest::newRow("clean") << firstRun << QStringList{} << QStringList{};
    QTest::newRow("script in the description")
        << firstRun << QStringList{field(TextField::Description), u"a <script>x()</script> b"_s}
        << QStringList{u"Description: <script> element: <script>"_s};
    QTest::newRow("one finding in each text, in page order")
        << firstRun
        << QStringList{field(TextField::MainTitle),   u"<b onclick=x>Vase</b>"_s,
                       field(TextField::SubTitle),    u"<a\r\nhref=javascript:go()>more</a>"_s,
                       field(TextField::NoReserve),   u"<iframe src=x></iframe>"_s,
                       field(TextField::Description), u"<img src=http://x/a.jpg>"_s,
                       field(TextField::Condition),   u"<form><input></form>"_s,
                       field(TextField::Payment),     u"<meta http-equiv=refresh>"_s,
                       field(TextField::Shipping),    u"<embed src=y>"_s,
                       field(TextField::ThankYou),    u"<i onmouseover=z>Thanks</i>"_s,
                       field(TextField::AuctionId),   u"<object data=w></object>"_s}
        << QStringList{u"Title: event handler \"onclick\": <b onclick=x>"_s,
                       u"Title: script address in \"href\": <a href=javascript:go()>"_s,
                       u"No Reserve: <iframe> element: <iframe src=x>"_s,
                       u"Description: plain http:// in \"src\": <img src=http://x/a.jpg>"_s,
                       u"Condition: <form> element: <form>"_s,
                       u"Payment: meta refresh: <meta http-equiv=refresh>"_s,
                       u"Shipping: <embed> element: <embed src=y>"_s,
                       u"Thank You: event handler \"onmouseover\": <i onmouseover=z>"_s,
                       u"Thank You: <object> element: <object data=w>"_s};
    QTest::newRow("the section order decides the page order")
        << QStringList{u"Title"_s, u"Shipping"_s, u"Description"_s, u"Condition"_s}
        << QStringList{field(TextField::Description), u"<script>"_s,
                       field(TextField::Shipping),    u"<script>"_s,
                       field(TextField::Condition),   u"<applet>"_s}
        << QStringList{u"Shipping: <script> element: <script>"_s};
    QTest::newRow("a section listed twice reports twice; one not listed not at all")
        << QStringList{u"Title"_s, u"Condition"_s, u"Description"_s, u"Condition"_s}
        << QStringList{field(TextField::Condition), u"<embed>"_s, field(TextField::Payment),
                       u"<script>"_s}
        << QStringList{u"Condition: <embed> element: <embed>"_s,
                       u"Condition: <embed> element: <embed>"_s};
    QTest::newRow("an attribute left open swallows the markup after it")
        << firstRun << QStringList{field(TextField::MainTitle), u"<img alt='"_s,
                                   field(TextField::SubTitle),  u"' onerror=go() x='"_s,
                                   field(TextField::NoReserve), u"'>"_s}
        << QStringList{u"Title: event handler \"onerror\": <img ... onerror=go() ...>"_s};
}

void TestRuleCheck::namesTheSectionThatCarriesEachFinding()
{
    QFETCH(QStringList, order);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, report);

    ListingSettings s;
    s.setColors(defaultColorSet());
    for (const QString &name : order) {
        s.appendRestoredName(name);
    }
    for (qsizetype i = 0; i + 1 < texts.size(); i += 2) {
        s.setText(static_cast<TextField>(texts[i].toInt()), texts[i + 1]);
    }
    const CheckedPage checked = composeChecked(s);
    if (reportLines(checked.findings) != report) {
        qWarning().noquote() << reportLines(checked.findings).join(u"\n"_s);
    }
    QCOMPARE(reportLines(checked.findings), report);
    QCOMPARE(checked.page, renderPage(s));
    QCOMPARE(reportLines(checkPage(s)), report);
}

// The limit is on the page as written, every character of the markup counted.
void TestRuleCheck::reportsAPageLongerThanTheLimit()
{
    ListingSettings s = firstStart();
    s.setText(TextField::Description, {});
    const qsizetype frame = renderPage(s).size();

    s.setText(TextField::Description, QString(MarketplaceMaxPageLength - frame, u'x'));
    QCOMPARE(renderPage(s).size(), MarketplaceMaxPageLength);
    QCOMPARE(reportLines(checkPage(s)), QStringList{});

    s.setText(TextField::Description, QString(MarketplaceMaxPageLength - frame + 1, u'x'));
    QCOMPARE(reportLines(checkPage(s)),
             QStringList{u"Description: the page is 500001 characters long, more than the "
                         "500000 the marketplace accepts"_s});

    // Markup findings come first, in page order; the length last, naming the longest section.
    s.setText(TextField::Shipping, QString(300000, u's'));
    s.setText(TextField::Description, u"<script>"_s + QString(250000, u'x'));
    const QStringList lines = reportLines(checkPage(s));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], u"Description: <script> element: <script>"_s);
    QVERIFY2(lines[1].startsWith(u"Shipping: the page is 55"_s), qPrintable(lines[1]));
}

void TestRuleCheck::sectionsPutTogetherAreThePage_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QStringList>("spans");

    const QStringList firstRun = firstRunOrder();
    QTest::newRow("first start") << QStringList{} << firstRun << firstRun;
    QTest::newRow("folder tab, centred, sizes, centred sections, another font")
        << QStringList{u"foldertab"_s, u"headercenter"_s, u"hedrsize2"_s, u"titlsize6"_s,
                       u"titlcent"_s,  u"descleft"_s,     u"thnkcent"_s,  u"fontcourier"_s}
        << firstRun << firstRun;
    QTest::newRow("solid bar on the right, unknown and repeated names")
        << QStringList{u"headerright"_s, u"pmntsize7"_s}
        << QStringList{u"Payment"_s, u"Bogus"_s, u"Title"_s, u"Payment"_s, u""_s}
        << QStringList{u"Payment"_s, u"Title"_s, u"Payment"_s};
    QTest::newRow("nothing listed") << QStringList{} << QStringList{} << QStringList{};
}

void TestRuleCheck::sectionsPutTogetherAreThePage()
{
    QFETCH(QStringList, items);
    QFETCH(QStringList, order);
    QFETCH(QStringList, spans);

    ListingSettings s;
    s.setColors(defaultColorSet());
    choose(s, items);
    for (const QString &name : order) {
        s.appendRestoredName(name);
    }
    const TextField everyText[] = {
        TextField::MainTitle, TextField::SubTitle,  TextField::Description,
        TextField::NoReserve, TextField::Condition, TextField::Payment,
        TextField::Shipping,  TextField::ThankYou,  TextField::AuctionId};
    for (TextField f : everyText) {
        s.setText(f, u"  text %1 \u2192\r\nline  "_s.arg(int(f)));
    }

    const SectionedPage page = renderSectioned(s);
    QCOMPARE(page.bytes, renderPage(s));
    QStringList names;
    qsizetype previousEnd = -1;
    for (const SectionSpan &span : page.sections) {
        names += span.listName;
        QVERIFY(previousEnd < 0 || span.begin == previousEnd);
        previousEnd = span.end;
        QVERIFY(page.bytes.mid(span.begin, span.end - span.begin).startsWith("<tr>\r\n"));
        QVERIFY(page.bytes.mid(span.begin, span.end - span.begin).endsWith("</td>\r\n</tr>\r\n"));
        QCOMPARE(page.sectionAt(span.begin), span.listName);
        QCOMPARE(page.sectionAt(span.end - 1), span.listName);
    }
    QCOMPARE(names, spans);
    QCOMPARE(page.sectionAt(0), QString());
    QCOMPARE(page.sectionAt(page.bytes.size() - 1), QString());
}

// The parser recurses once per level of nesting; a page nested far deeper than any stack of
// the usual size must still be checked, not crash the composer.
void TestRuleCheck::survivesDeepNesting()
{
    QByteArray html;
    for (int i = 0; i < 400000; ++i) {
        html += "<span>";
    }
    html += "<script>";
    const std::vector<MarkupFinding> findings = findRejectedMarkup(html);
    QCOMPARE(described(findings), QStringList{u"element script @2400000: <script>"_s});
}

QTEST_GUILESS_MAIN(TestRuleCheck)
#include "tst_rulecheck.moc"
