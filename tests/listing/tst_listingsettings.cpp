#include "listingsettings.h"
#include "styleitems.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList FirstRun{u"Title"_s,   u"No Reserve"_s, u"Description"_s, u"Condition"_s,
                           u"Payment"_s, u"Shipping"_s,   u"Thank You"_s};

QStringList markedItems(const ListingSettings &s)
{
    QStringList marked;
    for (const StyleItem &item : styleItems()) {
        if (isMarked(s, item)) {
            marked.append(item.name);
        }
    }
    return marked;
}

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
    void styleItemsAreTheMenus();
    void captions_data();
    void captions();
    void choosingAnItemTouchesOnlyItsGroup();
    void choosingTheMarkedItemChangesNothing();
};

void TestListingSettings::initialStateIsAFreshWindow()
{
    const ListingSettings s;
    QVERIFY(s.sectionOrder().isEmpty());
    for (SectionId id : AllSections) {
        QVERIFY(!s.isSwitchedOn(id));
        QVERIFY(!s.style(id).fontSize);
        QCOMPARE(s.style(id).alignment, Alignment::NotChosen);
        QVERIFY(!s.style(id).centered());
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
    QTest::addColumn<QList<int>>("offThenOn"); // SectionIds; negative = switch off
    QTest::addColumn<QStringList>("order");

    const auto id = [](SectionId s) { return static_cast<int>(s) + 1; };
    QTest::newRow("Payment off") << QList<int>{-id(SectionId::Payment)}
                                 << QStringList{u"Title"_s,     u"No Reserve"_s, u"Description"_s,
                                                u"Condition"_s, u"Shipping"_s,   u"Thank You"_s};
    QTest::newRow("Payment off and on comes back at the bottom")
        << QList<int>{-id(SectionId::Payment), id(SectionId::Payment)}
        << QStringList{u"Title"_s,    u"No Reserve"_s, u"Description"_s, u"Condition"_s,
                       u"Shipping"_s, u"Thank You"_s,  u"Payment"_s};
    QTest::newRow("Condition off and on moves it to the end")
        << QList<int>{-id(SectionId::Condition), id(SectionId::Condition)}
        << QStringList{u"Title"_s,    u"No Reserve"_s, u"Description"_s, u"Payment"_s,
                       u"Shipping"_s, u"Thank You"_s,  u"Condition"_s};
    QTest::newRow("the shipping switch removes Shipping")
        << QList<int>{-id(SectionId::Shipping)}
        << QStringList{u"Title"_s,     u"No Reserve"_s, u"Description"_s,
                       u"Condition"_s, u"Payment"_s,    u"Thank You"_s};
    QTest::newRow("all five off") << QList<int>{-id(SectionId::NoReserve),
                                                -id(SectionId::Condition), -id(SectionId::Payment),
                                                -id(SectionId::Shipping), -id(SectionId::ThankYou)}
                                  << QStringList{u"Title"_s, u"Description"_s};
    QTest::newRow("Title and Description have no switch")
        << QList<int>{-id(SectionId::Title), -id(SectionId::Description), id(SectionId::Title)}
        << FirstRun;
    QTest::newRow("switching on what is on does nothing")
        << QList<int>{id(SectionId::ThankYou), id(SectionId::NoReserve)} << FirstRun;
    QTest::newRow("switching off twice removes once")
        << QList<int>{-id(SectionId::NoReserve), -id(SectionId::NoReserve)}
        << QStringList{u"Title"_s,   u"Description"_s, u"Condition"_s,
                       u"Payment"_s, u"Shipping"_s,    u"Thank You"_s};
}

void TestListingSettings::switches()
{
    QFETCH(QList<int>, offThenOn);
    QFETCH(QStringList, order);

    ListingSettings s;
    s.startFirstRun();
    for (int step : offThenOn) {
        s.setSwitch(static_cast<SectionId>(std::abs(step) - 1), step > 0);
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

    QTest::newRow("Description up twice reaches the top")
        << FirstRun << 2 << u"UU"_s
        << QStringList{u"Description"_s, u"Title"_s,    u"No Reserve"_s, u"Condition"_s,
                       u"Payment"_s,     u"Shipping"_s, u"Thank You"_s}
        << 0;
    QTest::newRow("a third move up does nothing")
        << FirstRun << 2 << u"UUU"_s
        << QStringList{u"Description"_s, u"Title"_s,    u"No Reserve"_s, u"Condition"_s,
                       u"Payment"_s,     u"Shipping"_s, u"Thank You"_s}
        << 0;
    QTest::newRow("up on the first row") << FirstRun << 0 << u"U"_s << FirstRun << 0;
    QTest::newRow("down on the last row") << FirstRun << 6 << u"D"_s << FirstRun << 6;
    QTest::newRow("nothing selected") << FirstRun << -1 << u"UD"_s << FirstRun << -1;
    QTest::newRow("single entry") << QStringList{u"Title"_s} << 0 << u"UD"_s
                                  << QStringList{u"Title"_s} << 0;
    QTest::newRow("Title down to the bottom")
        << QStringList{u"Title"_s, u"Description"_s, u"Payment"_s} << 0 << u"DDD"_s
        << QStringList{u"Description"_s, u"Payment"_s, u"Title"_s} << 2;
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
    s.setText(TextField::MainTitle, QString(55, u'a'));
    QCOMPARE(s.text(TextField::MainTitle).size(), 55);
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

void TestListingSettings::styleItemsAreTheMenus()
{
    const std::vector<StyleItem> &items = styleItems();
    QCOMPARE(items.size(), size_t(83));
    QSet<QString> names;
    for (const StyleItem &item : items) {
        names.insert(item.name);
    }
    QCOMPARE(names.size(), 83);
    QCOMPARE(items.front().name, u"HeaderSolid"_s);
    QCOMPARE(items[13].name, u"titlsize1"_s);
    QCOMPARE(items[68].name, u"hedrsize7"_s);
    QCOMPARE(items[69].name, u"titlcent"_s);
    QCOMPARE(items.back().name, u"pmntleft"_s);

    QStringList sizeMenus;
    QStringList alignMenus;
    for (int g = 0; g < StyleGroupCount; ++g) {
        const auto group = static_cast<StyleGroup>(g);
        if (isSizeGroup(group)) {
            sizeMenus << groupMenuName(group) + u' ' + groupMenuCaption(group);
            QCOMPARE(itemsOfGroup(group).size(), size_t(7));
        } else if (isAlignmentGroup(group)) {
            alignMenus << groupMenuName(group) + u' ' + groupMenuCaption(group);
            QCOMPARE(itemsOfGroup(group).size(), size_t(2));
        }
    }
    QCOMPARE(sizeMenus,
             (QStringList{u"titlsize Title"_s, u"descsize Description"_s, u"condsize Condition"_s,
                          u"thnksize Thank You"_s, u"shipsize Shipping"_s, u"pmntsize Payment"_s,
                          u"rsrvsize No Reserve"_s, u"hedrsize Headers"_s}));
    QCOMPARE(alignMenus, (QStringList{u"titlalignment Title"_s, u"rsrvalignment No Reserve"_s,
                                      u"descalignment Description"_s, u"condalignment Condition"_s,
                                      u"thnkalignment Thank You"_s, u"shipalignment Shipping"_s,
                                      u"pmntalignment Payment"_s}));
}

void TestListingSettings::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    QTest::newRow("titlsize1") << u"titlsize1"_s << u"Size 1 (Smallest)"_s;
    QTest::newRow("titlsize5") << u"titlsize5"_s << u"Size 5 (Default)"_s;
    QTest::newRow("titlsize7") << u"titlsize7"_s << u"Size 7 (Largest)"_s;
    QTest::newRow("descsize3") << u"descsize3"_s << u"Size 3 (Default)"_s;
    QTest::newRow("condsize2") << u"condsize2"_s << u"Size 2 (Default)"_s;
    QTest::newRow("condsize3") << u"condsize3"_s << u"Size 3"_s;
    QTest::newRow("thnksize3") << u"thnksize3"_s << u"Size 3 (Default)"_s;
    QTest::newRow("shipsize2") << u"shipsize2"_s << u"Size 2 (Default)"_s;
    QTest::newRow("pmntsize2") << u"pmntsize2"_s << u"Size 2 (Default)"_s;
    QTest::newRow("rsrvsize4") << u"rsrvsize4"_s << u"Size 4 (Default)"_s;
    QTest::newRow("rsrvsize1") << u"rsrvsize1"_s << u"Size 1 (Smallest)"_s;
    QTest::newRow("hedrsize1") << u"hedrsize1"_s << u"Size 1 (Default)"_s;
    QTest::newRow("hedrsize7") << u"hedrsize7"_s << u"Size 7 (Largest)"_s;
    QTest::newRow("fontarialblack") << u"fontarialblack"_s << u"Arialblack"_s;
    QTest::newRow("fontlucidasans") << u"fontlucidasans"_s << u"Lucida Sans Unicode"_s;
    QTest::newRow("headerright") << u"headerright"_s << u"Right Justified"_s;
    QTest::newRow("thnkcent") << u"thnkcent"_s << u"Centered"_s;
    QTest::newRow("shipleft") << u"shipleft"_s << u"Left Justified"_s;
}

void TestListingSettings::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    const StyleItem *item = findStyleItem(name);
    QVERIFY(item);
    QCOMPARE(item->caption, caption);
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

void TestListingSettings::choosingTheMarkedItemChangesNothing()
{
    const ListingSettings start = everyGroupMarked();
    for (const StyleItem &item : styleItems()) {
        if (isMarked(start, item)) {
            ListingSettings s = start;
            selectStyleItem(s, item);
            QVERIFY(s == start);
        }
    }
}

QTEST_GUILESS_MAIN(TestListingSettings)
#include "tst_listingsettings.moc"
