#include "../testsupport.h"

using namespace Qt::StringLiterals;

namespace {

const char *const FirstRunNames = "Title|No Reserve|Description|Condition|Payment|Shipping|"
                                  "Thank You";
const QStringList FirstRun = names(FirstRunNames);

// A state in which every group has a mark, none of them on the group's first item, so that a
// choice that leaks into another group shows.
ListingSettings everyGroupMarked()
{
    ListingSettings s;
    for (StyleGroup group = StyleGroup::HeaderLook;;) {
        const std::vector<const StyleItem *> items = itemsOfGroup(group);
        selectStyleItem(s, *items.back());
        if (group == StyleGroup::PaymentAlign) {
            break;
        }
        group = static_cast<StyleGroup>(static_cast<int>(group) + 1);
    }
    return s;
}

} // namespace

class TestListingSettings : public QObject
{
    Q_OBJECT

private slots:
    void initialStateIsAFreshWindow();
    void switches_data();
    void switches();
    void switchSearchesOnlyTheFirstSevenRows();
    void switchingOnAppendsEvenWhenListed();
    void moves_data();
    void moves();
    void mainTitleKeeps55CodePoints();
    void colourSlotsHoldSixCharacters();
    void groupsHoldTheirItemsInMenuOrder();
    void choosingAnItemTouchesOnlyItsGroup();
};

void TestListingSettings::initialStateIsAFreshWindow()
{
    const ListingSettings s;
    QVERIFY(s.sectionOrder().isEmpty());
    for (SectionId id : AllSections) {
        QVERIFY(!s.isSwitchedOn(id));
        QVERIFY(!s.style(id).fontSize);
        QCOMPARE(s.style(id).alignment, Alignment::NotChosen);
    }
    QVERIFY(!s.headerSize());
    QCOMPARE(markedItems(s), (QStringList{u"HeaderSolid"_s, u"Headerleft"_s, u"fontarial"_s}));

    ListingSettings first;
    first.startFirstRun();
    QCOMPARE(first.sectionOrder(), FirstRun);
    for (SectionId id : SwitchableSections) {
        QVERIFY(first.isSwitchedOn(id));
    }
    QCOMPARE(markedItems(first), markedItems(s));
}

void TestListingSettings::switches_data()
{
    QTest::addColumn<QStringList>("steps"); // "-Payment" switches Payment off, "+Payment" on
    QTest::addColumn<QStringList>("order");

    const auto row = [](const char *name, const char *steps, const char *order) {
        QTest::newRow(name) << names(steps) << names(order);
    };
    row("Payment off", "-Payment", "Title|No Reserve|Description|Condition|Shipping|Thank You");
    row("Payment off and on comes back at the bottom", "-Payment|+Payment",
        "Title|No Reserve|Description|Condition|Shipping|Thank You|Payment");
    row("Condition off and on moves it to the end", "-Condition|+Condition",
        "Title|No Reserve|Description|Payment|Shipping|Thank You|Condition");
    row("the shipping switch removes Shipping", "-Shipping",
        "Title|No Reserve|Description|Condition|Payment|Thank You");
    row("all five off", "-No Reserve|-Condition|-Payment|-Shipping|-Thank You",
        "Title|Description");
    row("Title and Description have no switch", "-Title|-Description|+Title", FirstRunNames);
    row("switching on what is on does nothing", "+Thank You|+No Reserve", FirstRunNames);
    row("switching off twice removes once", "-No Reserve|-No Reserve",
        "Title|Description|Condition|Payment|Shipping|Thank You");
}

void TestListingSettings::switches()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, order);

    ListingSettings s;
    s.startFirstRun();
    for (const QString &step : steps) {
        s.setSwitch(*sectionForListName(step.mid(1)), step.startsWith(u'+'));
    }
    QCOMPARE(s.sectionOrder(), order);
    for (SectionId id : SwitchableSections) {
        QCOMPARE(s.isSwitchedOn(id), order.contains(listName(id)));
    }
}

void TestListingSettings::switchSearchesOnlyTheFirstSevenRows()
{
    ListingSettings s;
    for (const QString &name :
         {u"Title"_s, u"X1"_s, u"X2"_s, u"X3"_s, u"X4"_s, u"X5"_s, u"X6"_s, u"Description"_s}) {
        s.appendRestoredName(name);
    }
    s.setSwitch(SectionId::Payment, true); // row 8
    s.setSwitch(SectionId::Payment, false);
    QCOMPARE(s.sectionOrder().size(), 9);
    QCOMPARE(s.sectionOrder().last(), u"Payment"_s);
    QVERIFY(!s.isSwitchedOn(SectionId::Payment));

    // Within the first seven rows the first matching row goes, and only that one.
    ListingSettings d;
    d.appendRestoredName(u"Thank You"_s);
    d.setSwitch(SectionId::ThankYou, true);
    d.setSwitch(SectionId::ThankYou, false);
    QCOMPARE(d.sectionOrder(), QStringList{u"Thank You"_s});
}

void TestListingSettings::switchingOnAppendsEvenWhenListed()
{
    ListingSettings s;
    s.appendRestoredName(u"Payment"_s);
    s.setSwitch(SectionId::Payment, true);
    QCOMPARE(s.sectionOrder(), (QStringList{u"Payment"_s, u"Payment"_s}));
}

void TestListingSettings::moves_data()
{
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("moves"); // U = up, D = down
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selectedAfter");

    const QStringList descriptionFirst =
        names("Description|Title|No Reserve|Condition|Payment|Shipping|Thank You");
    QTest::newRow("Description up twice reaches the top")
        << FirstRun << 2 << u"UU"_s << descriptionFirst << 0;
    QTest::newRow("a third move up does nothing")
        << FirstRun << 2 << u"UUU"_s << descriptionFirst << 0;
    QTest::newRow("up on the first row") << FirstRun << 0 << u"U"_s << FirstRun << 0;
    QTest::newRow("down on the last row") << FirstRun << 6 << u"D"_s << FirstRun << 6;
    QTest::newRow("nothing selected") << FirstRun << -1 << u"UD"_s << FirstRun << -1;
    QTest::newRow("single entry") << names("Title") << 0 << u"UD"_s << names("Title") << 0;
    QTest::newRow("Title down to the bottom") << names("Title|Description|Payment") << 0 << u"DDD"_s
                                              << names("Description|Payment|Title") << 2;
    QTest::newRow("down then up returns") << FirstRun << 3 << u"DU"_s << FirstRun << 3;
    QTest::newRow("selection past the end") << FirstRun << 9 << u"UD"_s << FirstRun << 9;
}

void TestListingSettings::moves()
{
    QFETCH(QStringList, order);
    QFETCH(int, selected);
    QFETCH(QString, moves);
    QFETCH(QStringList, after);
    QFETCH(int, selectedAfter);

    ListingSettings s;
    for (const QString &name : order) {
        s.appendRestoredName(name);
    }
    for (QChar move : moves) {
        selected = move == u'U' ? s.moveUp(selected) : s.moveDown(selected);
    }
    QCOMPARE(s.sectionOrder(), after);
    QCOMPARE(selected, selectedAfter);
}

void TestListingSettings::mainTitleKeeps55CodePoints()
{
    ListingSettings s;
    s.setText(TextField::MainTitle, QString(56, u'a'));
    QCOMPARE(s.text(TextField::MainTitle), QString(55, u'a'));

    // 54 letters and two emoji: the first emoji is the 55th character and stays whole.
    s.setText(TextField::MainTitle, QString(54, u'b') + u"\U0001F600\U0001F601"_s);
    QCOMPARE(s.text(TextField::MainTitle), QString(54, u'b') + u"\U0001F600"_s);

    s.setText(TextField::SubTitle, QString(500, u's'));
    QCOMPARE(s.text(TextField::SubTitle).size(), 500);
}

void TestListingSettings::colourSlotsHoldSixCharacters()
{
    ListingSettings s;
    QCOMPARE(s.colors().slot(ColorSlotId::HeaderFont).text(), u"      "_s);
    s.setColor(ColorSlotId::TitleBackground, u"abc"_s);
    QCOMPARE(s.colors().slot(ColorSlotId::TitleBackground).text(), u"abc   "_s);
    s.setColor(ColorSlotId::TitleBackground, u"1234567890"_s);
    QCOMPARE(s.colors().slot(ColorSlotId::TitleBackground).text(), u"123456"_s);
    QCOMPARE(s.colors().slot(ColorSlotId::TitleFont).text(), u"      "_s);
}

// The 18 groups, written out from the menus' naming rules, in menu order.
void TestListingSettings::groupsHoldTheirItemsInMenuOrder()
{
    QList<QStringList> groups{{u"HeaderSolid"_s, u"foldertab"_s},
                              {u"Headerleft"_s, u"headercenter"_s, u"headerright"_s},
                              {u"fontarial"_s, u"fontarialblack"_s, u"fontcomic"_s,
                               u"fontcourier"_s, u"fontimpact"_s, u"fontlucidaconsole"_s,
                               u"fontlucidasans"_s, u"fonttimes"_s}};
    for (const char *prefix : {"titl", "desc", "cond", "thnk", "ship", "pmnt", "rsrv", "hedr"}) {
        QStringList sizes;
        for (int n = 1; n <= 7; ++n) {
            sizes.append(QString::fromLatin1(prefix) + u"size"_s + QString::number(n));
        }
        groups.append(sizes);
    }
    for (const char *prefix : {"titl", "rsrv", "desc", "cond", "thnk", "ship", "pmnt"}) {
        groups.append(
            {QString::fromLatin1(prefix) + u"cent"_s, QString::fromLatin1(prefix) + u"left"_s});
    }

    QStringList all;
    for (int g = 0; g < StyleGroupCount; ++g) {
        QStringList found;
        for (const StyleItem *item : itemsOfGroup(static_cast<StyleGroup>(g))) {
            found.append(item->name);
            QCOMPARE(findStyleItem(item->name), item);
        }
        QCOMPARE(found, groups[g]);
        all += found;
    }
    QStringList inMenuOrder;
    for (const StyleItem &item : styleItems()) {
        inMenuOrder.append(item.name);
    }
    QCOMPARE(inMenuOrder, all);
}

void TestListingSettings::choosingAnItemTouchesOnlyItsGroup()
{
    for (const ListingSettings &start : {ListingSettings(), everyGroupMarked()}) {
        for (const StyleItem &chosen : styleItems()) {
            ListingSettings s = start;
            selectStyleItem(s, chosen);
            for (const StyleItem &item : styleItems()) {
                const bool expected =
                    item.group == chosen.group ? &item == &chosen : isMarked(start, item);
                QVERIFY2(isMarked(s, item) == expected,
                         qPrintable(chosen.name + u" -> "_s + item.name));
            }
            // Choosing the item that carries the mark changes nothing at all.
            QVERIFY(!isMarked(start, chosen) || s == start);
        }
    }

    ListingSettings s;
    selectStyleItem(s, *findStyleItem(u"titlsize7"_s));
    QCOMPARE(s.style(SectionId::Title).fontSize, 7);
    selectStyleItem(s, *findStyleItem(u"headercenter"_s));
    QCOMPARE(s.style(SectionId::Title).alignment, Alignment::NotChosen);
    selectStyleItem(s, *findStyleItem(u"titlcent"_s));
    QCOMPARE(s.headerAlign(), HeaderAlign::Center);
    QVERIFY(s.style(SectionId::Title).centered());
    selectStyleItem(s, *findStyleItem(u"titlleft"_s));
    QCOMPARE(s.style(SectionId::Title).alignment, Alignment::Left);
}

QTEST_GUILESS_MAIN(TestListingSettings)
#include "tst_listingsettings.moc"
