#include "../testsupport.h"
#include "colourselector.h"
#include "defaultcolours.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFontMetricsF>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

QColor rgb(int r, int g, int b)
{
    return QColor(r, g, b);
}

// What the seller sees in the middle of a swatch.
QColor shownColour(QWidget *widget)
{
    return widget->grab().toImage().pixelColor(widget->rect().center());
}

// What the seller sees behind a preview's caption, just inside its border.
QColor shownBackground(QLabel *preview)
{
    return preview->grab().toImage().pixelColor(3, preview->height() / 2);
}

const QStringList Previews = names("DispHeaders|DispTitles|DispReserve|DispDescription|"
                                   "DispCondition|DispPayment|DispShipping|DispThankYou");

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestColourSelector : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void window();
    void controls_data();
    void controls();
    void previewRows();
    void swatches_data();
    void swatches();
    void clickStoresInExactlyOneSlot_data();
    void clickStoresInExactlyOneSlot();
    void laterClickReplacesTheColour();
    void lowerCaseSlotIsPreviewedAndRewrittenUpperCase();
    void damagedSlotShowsTheShippedColourAndStays();
    void closingShowsTheMainWindow_data();
    void closingShowsTheMainWindow();
    void reopeningStartsAfresh();

private:
    ColourSelector *openSelector();
    QAbstractButton *swatch(int index) const;
    QAbstractButton *option(int id) const;
    QLabel *label(const QString &name) const;
    void click(QWidget *widget) const { QTest::mouseClick(widget, Qt::LeftButton); }

    ListingSettings m_settings;
    QMainWindow *m_main = nullptr;
    QPointer<ColourSelector> m_selector;
};

void TestColourSelector::init()
{
    m_settings = ListingSettings();
    m_settings.setColors(defaultColorSet());
    m_main = new QMainWindow;
    m_main->setObjectName(u"Form1"_s);
    m_main->show();
}

void TestColourSelector::cleanup()
{
    if (m_selector) {
        m_selector->close();
    }
    deleteClosedWindows();
    delete m_main;
    m_main = nullptr;
}

ColourSelector *TestColourSelector::openSelector()
{
    m_selector = ColourSelector::open(m_settings, m_main);
    return m_selector;
}

QAbstractButton *TestColourSelector::swatch(int index) const
{
    return m_selector->findChild<QButtonGroup *>(u"Picture1"_s)->button(index);
}

QAbstractButton *TestColourSelector::option(int id) const
{
    return m_selector->findChild<QButtonGroup *>(u"Option1"_s)->button(id);
}

QLabel *TestColourSelector::label(const QString &name) const
{
    return m_selector->findChild<QLabel *>(name);
}

void TestColourSelector::window()
{
    ColourSelector *selector = openSelector();
    QCOMPARE(selector->objectName(), u"Form2"_s);
    QCOMPARE(selector->windowTitle(), u"Tavrin - Brisken (Color Selector)"_s);
    QCOMPARE(selector->size(), QSize(461, 237));
    QCOMPARE(selector->minimumSize(), selector->maximumSize());
    QVERIFY(!(selector->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(selector->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(selector->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!selector->isModal());
    QVERIFY(selector->isVisible());
    QVERIFY(!m_main->isVisible());
}

void TestColourSelector::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    // Twips divided by 15, rounded to the nearest pixel.
    QTest::newRow("Background head") << u"Label2"_s << QRect(304, 7, 65, 17) << u"Background"_s;
    QTest::newRow("Font head") << u"Label3"_s << QRect(416, 7, 25, 17) << u"Font"_s;
    QTest::newRow("Finished") << u"Command1"_s << QRect(312, 160, 137, 25) << u"Finished"_s;
    QTest::newRow("status line") << u"Label1"_s << QRect(8, 208, 185, 17) << QString();
}

void TestColourSelector::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    openSelector();
    auto *widget = m_selector->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    if (auto *l = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(l->text(), text);
        // The whole caption shows, whatever font the platform uses.
        QVERIFY(QFontMetricsF(l->font()).horizontalAdvance(text) <= l->contentsRect().width());
    } else if (auto *b = qobject_cast<QAbstractButton *>(widget)) {
        QCOMPARE(b->text(), text);
    }
}

// Row k: its two buttons and its preview at 360 + 240k twips, the preview showing the row's
// background and font slots (a different pair on every row, so that a swap shows).
void TestColourSelector::previewRows()
{
    const ColorSlotId pairs[8][2] = {
        {ColorSlotId::HeaderBackground, ColorSlotId::HeaderFont},
        {ColorSlotId::TitleBackground, ColorSlotId::TitleFont},
        {ColorSlotId::ReserveBackground, ColorSlotId::ReserveFont},
        {ColorSlotId::DescriptionBackground, ColorSlotId::DescriptionFont},
        {ColorSlotId::ConditionBackground, ColorSlotId::ConditionFont},
        {ColorSlotId::PaymentBackground, ColorSlotId::PaymentFont},
        {ColorSlotId::ShippingBackground, ColorSlotId::ShippingFont},
        {ColorSlotId::ThankYouBackground, ColorSlotId::ThankYouFont}};
    for (int k = 0; k < 8; ++k) {
        m_settings.setColor(pairs[k][0], u"0000%1"_s.arg(0x10 + k, 2, 16));
        m_settings.setColor(pairs[k][1], u"%1FF00"_s.arg(0x80 + k, 2, 16));
    }
    openSelector();
    const QStringList captions =
        names("Headers|Titles|Reserve|Description|Condition|Payment|Shipping|Thank You");
    for (int k = 0; k < 8; ++k) {
        const int top = 24 + 16 * k;
        QCOMPARE(option(k)->geometry(), QRect(320, top, 17, 17));
        QCOMPARE(option(8 + k)->geometry(), QRect(419, top, 17, 17));
        QCOMPARE(option(k)->objectName(), u"Option1_"_s + QString::number(k));
        QLabel *preview = label(Previews[k]);
        QCOMPARE(preview->geometry(), QRect(336, top, 81, 17));
        QCOMPARE(preview->text(), captions[k]);
        QVERIFY(QFontMetricsF(preview->font()).horizontalAdvance(captions[k]) <=
                preview->contentsRect().width());
        QCOMPARE(preview->alignment(), Qt::AlignCenter);
        QCOMPARE(preview->frameShape(), QFrame::Panel);
        QCOMPARE(preview->palette().color(QPalette::Window), rgb(0, 0, 0x10 + k));
        QCOMPARE(preview->palette().color(QPalette::WindowText), rgb(0x80 + k, 0xFF, 0));
        QVERIFY(preview->autoFillBackground());
    }
    QCOMPARE(shownBackground(label(u"DispHeaders"_s)), rgb(0, 0, 0x10));
}

void TestColourSelector::swatches_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QRect>("geometry");

    // Column n div 12, row n mod 12; 120 + 240 per step and 220 twips square is 8 + 16 per
    // step and 15 pixels. The click table pins the colours of more swatches.
    QTest::newRow("0") << 0 << rgb(0x00, 0x00, 0x00) << QRect(8, 8, 15, 15);
    QTest::newRow("3") << 3 << rgb(0x99, 0x00, 0x00) << QRect(8, 56, 15, 15);
    QTest::newRow("11 ends the first column")
        << 11 << rgb(0xFF, 0x33, 0x00) << QRect(8, 184, 15, 15);
    QTest::newRow("12 starts the second") << 12 << rgb(0x00, 0x66, 0x00) << QRect(24, 8, 15, 15);
    QTest::newRow("36") << 36 << rgb(0x00, 0x00, 0x33) << QRect(56, 8, 15, 15);
    QTest::newRow("215") << 215 << rgb(0xFF, 0xFF, 0xFF) << QRect(280, 184, 15, 15);
}

void TestColourSelector::swatches()
{
    QFETCH(int, index);
    QFETCH(QColor, colour);
    QFETCH(QRect, geometry);

    openSelector();
    QAbstractButton *box = swatch(index);
    QVERIFY(box);
    QCOMPARE(box->geometry(), geometry);
    QCOMPARE(shownColour(box), colour);
}

void TestColourSelector::clickStoresInExactlyOneSlot_data()
{
    QTest::addColumn<int>("optionId"); // 0..7 backgrounds, 8..15 fonts, of the rows in order
    QTest::addColumn<int>("swatchIndex");
    QTest::addColumn<ColorSlotId>("slot");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, int option, int swatch, ColorSlotId slot,
                        const char16_t *text) {
        QTest::newRow(name) << option << swatch << slot << QString::fromUtf16(text);
    };
    row("Headers background", 0, 0, ColorSlotId::HeaderBackground, u"000000");
    row("Titles background", 1, 1, ColorSlotId::TitleBackground, u"330000");
    row("Reserve background", 2, 5, ColorSlotId::ReserveBackground, u"FF0000");
    row("Description background", 3, 6, ColorSlotId::DescriptionBackground, u"003300");
    row("Condition background", 4, 30, ColorSlotId::ConditionBackground, u"00FF00");
    row("Payment background", 5, 35, ColorSlotId::PaymentBackground, u"FFFF00");
    row("Shipping background", 6, 36, ColorSlotId::ShippingBackground, u"000033");
    row("Thank You background", 7, 180, ColorSlotId::ThankYouBackground, u"0000FF");
    row("Headers font", 8, 190, ColorSlotId::HeaderFont, u"CC33FF");
    row("Titles font", 9, 215, ColorSlotId::TitleFont, u"FFFFFF");
    row("Reserve font", 10, 5, ColorSlotId::ReserveFont, u"FF0000");
    row("Description font", 11, 30, ColorSlotId::DescriptionFont, u"00FF00");
    row("Condition font", 12, 30, ColorSlotId::ConditionFont, u"00FF00");
    row("Payment font", 13, 180, ColorSlotId::PaymentFont, u"0000FF");
    row("Shipping font", 14, 35, ColorSlotId::ShippingFont, u"FFFF00");
    row("Thank You font", 15, 1, ColorSlotId::ThankYouFont, u"330000");
}

void TestColourSelector::clickStoresInExactlyOneSlot()
{
    QFETCH(int, optionId);
    QFETCH(int, swatchIndex);
    QFETCH(ColorSlotId, slot);
    QFETCH(QString, text);

    const ColorSet before = m_settings.colors();
    QVERIFY(before.slot(slot).text() != text);
    openSelector();
    QVERIFY(option(0)->isChecked());
    QVERIFY(label(u"Label1"_s)->text().isEmpty());
    QList<QPalette> palettes;
    for (const QString &preview : Previews) {
        palettes.append(label(preview)->palette());
    }

    click(option(optionId));
    click(swatch(swatchIndex));

    for (int i = 0; i < ColorSet::Count; ++i) {
        const auto id = static_cast<ColorSlotId>(i);
        QCOMPARE(m_settings.colors().slot(id).text(), id == slot ? text : before.slot(id).text());
    }
    // Only the row's preview changes, and only in the chosen role.
    palettes[optionId % 8].setColor(optionId < 8 ? QPalette::Window : QPalette::WindowText,
                                    QColor::fromString(u'#' + text));
    for (int k = 0; k < 8; ++k) {
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText}) {
            QCOMPARE(label(Previews[k])->palette().color(role), palettes[k].color(role));
        }
    }
    QVERIFY(option(optionId)->isChecked());
    // "Headers" whichever row took the colour.
    QCOMPARE(label(u"Label1"_s)->text(), u"Headers (#"_s + text + u')');
}

void TestColourSelector::laterClickReplacesTheColour()
{
    openSelector();
    click(swatch(0));
    QCOMPARE(m_settings.colors().slot(ColorSlotId::HeaderBackground).text(), u"000000"_s);
    QCOMPARE(shownBackground(label(u"DispHeaders"_s)), rgb(0, 0, 0));
    click(swatch(215));
    QCOMPARE(m_settings.colors().slot(ColorSlotId::HeaderBackground).text(), u"FFFFFF"_s);
    QCOMPARE(label(u"Label1"_s)->text(), u"Headers (#FFFFFF)"_s);
}

void TestColourSelector::lowerCaseSlotIsPreviewedAndRewrittenUpperCase()
{
    m_settings.setColor(ColorSlotId::ConditionBackground, u"cc33ff"_s);
    m_settings.setColor(ColorSlotId::ConditionFont, u"0a0b0c"_s);
    openSelector();
    QLabel *condition = label(u"DispCondition"_s);
    QCOMPARE(condition->palette().color(QPalette::Window), rgb(0xCC, 0x33, 0xFF));
    QCOMPARE(condition->palette().color(QPalette::WindowText), rgb(0x0A, 0x0B, 0x0C));

    // CC, 33, FF are levels 4, 1 and 5: swatch 4 + 6 * 1 + 36 * 5.
    click(option(4));
    click(swatch(190));
    QCOMPARE(m_settings.colors().slot(ColorSlotId::ConditionBackground).text(), u"CC33FF"_s);
    QCOMPARE(m_settings.colors().slot(ColorSlotId::ConditionFont).text(), u"0a0b0c"_s);
}

void TestColourSelector::damagedSlotShowsTheShippedColourAndStays()
{
    m_settings.setColor(ColorSlotId::HeaderBackground, u"      "_s);
    m_settings.setColor(ColorSlotId::PaymentFont, u"12GG56"_s);
    openSelector();
    // The shipped scheme: 336699 behind the headers, 003333 for the payment text.
    QCOMPARE(label(u"DispHeaders"_s)->palette().color(QPalette::Window), rgb(0x33, 0x66, 0x99));
    QCOMPARE(label(u"DispPayment"_s)->palette().color(QPalette::WindowText), rgb(0x00, 0x33, 0x33));

    click(option(13 - 8)); // the payment background, next to the damaged font slot
    click(swatch(35));
    m_selector->close();
    QCOMPARE(m_settings.colors().slot(ColorSlotId::HeaderBackground).text(), u"      "_s);
    QCOMPARE(m_settings.colors().slot(ColorSlotId::PaymentFont).text(), u"12GG56"_s);
    QCOMPARE(m_settings.colors().slot(ColorSlotId::PaymentBackground).text(), u"FFFF00"_s);
}

void TestColourSelector::closingShowsTheMainWindow_data()
{
    QTest::addColumn<bool>("byFinished");
    QTest::newRow("Finished") << true;
    QTest::newRow("close box") << false;
}

void TestColourSelector::closingShowsTheMainWindow()
{
    QFETCH(bool, byFinished);

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    ColourSelector *selector = openSelector();
    QSignalSpy closed(selector, &ColourSelector::closed);
    QVERIFY(QTest::qWaitForWindowExposed(selector));
    QVERIFY(!m_main->isVisible());

    click(option(12));
    click(swatch(30));
    if (byFinished) {
        click(m_selector->findChild<QPushButton *>(u"Command1"_s));
    } else {
        selector->windowHandle()->close();
    }

    QCOMPARE(closed.size(), 1);
    QVERIFY(m_main->isVisible());
    deleteClosedWindows();
    QVERIFY(m_selector.isNull());
    QCOMPARE(lastWindowClosed.size(), 0);
    QCOMPARE(m_settings.colors().slot(ColorSlotId::ConditionFont).text(), u"00FF00"_s);
}

void TestColourSelector::reopeningStartsAfresh()
{
    openSelector();
    click(option(12));
    click(swatch(30));
    QVERIFY(!label(u"Label1"_s)->text().isEmpty());
    m_selector->close();
    deleteClosedWindows();

    openSelector();
    QVERIFY(option(0)->isChecked());
    QVERIFY(!option(12)->isChecked());
    QVERIFY(label(u"Label1"_s)->text().isEmpty());
    QCOMPARE(label(u"DispCondition"_s)->palette().color(QPalette::WindowText), rgb(0, 0xFF, 0));
    QVERIFY(!m_main->isVisible());
}

QTEST_MAIN(TestColourSelector)
#include "tst_colourselector.moc"
