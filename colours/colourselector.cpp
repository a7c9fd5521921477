#include "colourselector.h"

#include "palette.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

// The window is laid out in twips, 15 to a pixel at 96 dpi.
struct Twips
{
    int left;
    int top;
    int width;
    int height;

    QRect pixels() const { return {px(left), px(top), px(width), px(height)}; }
    static int px(int twips) { return qRound(twips / 15.0); }
};

constexpr Twips ClientArea{0, 0, 6915, 3555};
constexpr Twips BackgroundHead{4560, 100, 975, 255};
constexpr Twips FontHead{6240, 105, 375, 255};
constexpr Twips FinishedButton{4680, 2400, 2055, 375};
constexpr Twips StatusLine{120, 3120, 2775, 255};
constexpr int SwatchRows = 12;

// The palette fills column by column, twelve swatches to a column.
constexpr Twips swatchPlace(int index)
{
    return {120 + 240 * (index / SwatchRows), 120 + 240 * (index % SwatchRows), 220, 220};
}
constexpr Twips backgroundButtonPlace(int row)
{
    return {4800, 360 + 240 * row, 255, 255};
}
constexpr Twips previewPlace(int row)
{
    return {5040, 360 + 240 * row, 1215, 255};
}
constexpr Twips fontButtonPlace(int row)
{
    return {6285, 360 + 240 * row, 255, 255};
}

struct PreviewRow
{
    QStringView objectName;
    QStringView caption;
    ColorSlotId background;
    ColorSlotId font;
};

constexpr int RowCount = 8;
// Radio button k (0..7) picks row k's background, button 8 + k its font.
constexpr std::array<PreviewRow, RowCount> Rows{{
    {u"DispHeaders", u"Headers", ColorSlotId::HeaderBackground, ColorSlotId::HeaderFont},
    {u"DispTitles", u"Titles", ColorSlotId::TitleBackground, ColorSlotId::TitleFont},
    {u"DispReserve", u"Reserve", ColorSlotId::ReserveBackground, ColorSlotId::ReserveFont},
    {u"DispDescription", u"Description", ColorSlotId::DescriptionBackground,
     ColorSlotId::DescriptionFont},
    {u"DispCondition", u"Condition", ColorSlotId::ConditionBackground, ColorSlotId::ConditionFont},
    {u"DispPayment", u"Payment", ColorSlotId::PaymentBackground, ColorSlotId::PaymentFont},
    {u"DispShipping", u"Shipping", ColorSlotId::ShippingBackground, ColorSlotId::ShippingFont},
    {u"DispThankYou", u"Thank You", ColorSlotId::ThankYouBackground, ColorSlotId::ThankYouFont},
}};

// The boxes are sized for the platform's usual dialog font; where a wider font would cut a
// caption short, the caption gets a smaller size instead of the box a larger one.
void fitCaption(QLabel *label)
{
    constexpr qreal SmallestPointSize = 6;
    QFont font = label->font();
    const int room = label->contentsRect().width();
    while (QFontMetricsF(font).horizontalAdvance(label->text()) > room &&
           font.pointSizeF() > SmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label->setFont(font);
}

// A small box filled with its colour, framed so that the palest colours still show their edge.
class SwatchButton : public QAbstractButton
{
public:
    SwatchButton(const QColor &colour, QWidget *parent)
        : QAbstractButton(parent)
        , m_colour(colour)
    {
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(u'#' + slotText(colour));
    }

    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_colour);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QColor m_colour;
};

} // namespace

ColourSelector *ColourSelector::open(ListingSettings &settings, QWidget *mainWindow)
{
    auto *selector = new ColourSelector(settings, mainWindow);
    selector->show();
    if (mainWindow) {
        mainWindow->hide();
    }
    return selector;
}

ColourSelector::ColourSelector(ListingSettings &settings, QWidget *mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_mainWindow(mainWindow)
{
    // A window of its own rather than a child of the main window, so that it keeps a taskbar
    // entry while the main window is hidden.
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Tavrin - Brisken (Color Selector)"_s);
    setFixedSize(ClientArea.pixels().size());

    buildPalette();

    auto *backgroundHead = new QLabel(u"Background"_s, this);
    backgroundHead->setObjectName(u"Label2"_s);
    backgroundHead->setGeometry(BackgroundHead.pixels());
    fitCaption(backgroundHead);
    auto *fontHead = new QLabel(u"Font"_s, this);
    fontHead->setObjectName(u"Label3"_s);
    fontHead->setGeometry(FontHead.pixels());
    fitCaption(fontHead);

    buildRoleButtons();
    buildPreviews();

    auto *finished = new QPushButton(u"Finished"_s, this);
    finished->setObjectName(u"Command1"_s);
    finished->setGeometry(FinishedButton.pixels());
    connect(finished, &QPushButton::clicked, this, &QWidget::close);

    m_status = new QLabel(this);
    m_status->setObjectName(u"Label1"_s);
    m_status->setGeometry(StatusLine.pixels());
}

void ColourSelector::buildPalette()
{
    m_swatches = new QButtonGroup(this);
    m_swatches->setObjectName(u"Picture1"_s);
    m_swatches->setExclusive(false);
    for (int n = 0; n < SwatchCount; ++n) {
        auto *swatch = new SwatchButton(swatchColour(n), this);
        swatch->setObjectName(u"Picture1_%1"_s.arg(n));
        swatch->setGeometry(swatchPlace(n).pixels());
        m_swatches->addButton(swatch, n);
    }
    connect(m_swatches, &QButtonGroup::idClicked, this, &ColourSelector::swatchClicked);
}

void ColourSelector::buildRoleButtons()
{
    m_roles = new QButtonGroup(this);
    m_roles->setObjectName(u"Option1"_s);
    for (int id = 0; id < 2 * RowCount; ++id) {
        const int row = id % RowCount;
        const bool background = id < RowCount;
        auto *button = new QRadioButton(this);
        button->setObjectName(u"Option1_%1"_s.arg(id));
        button->setGeometry(
            (background ? backgroundButtonPlace(row) : fontButtonPlace(row)).pixels());
        button->setAccessibleName(
            (background ? u"%1 background"_s : u"%1 font"_s).arg(Rows[size_t(row)].caption));
        m_roles->addButton(button, id);
    }
    m_roles->button(0)->setChecked(true);
}

void ColourSelector::buildPreviews()
{
    for (int row = 0; row < RowCount; ++row) {
        auto *preview = new QLabel(Rows[size_t(row)].caption.toString(), this);
        preview->setObjectName(Rows[size_t(row)].objectName.toString());
        preview->setGeometry(previewPlace(row).pixels());
        preview->setAlignment(Qt::AlignCenter);
        preview->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        preview->setLineWidth(1);
        fitCaption(preview);
        preview->setAutoFillBackground(true);
        m_previews[size_t(row)] = preview;
        showRowColours(row);
    }
}

void ColourSelector::showRowColours(int row)
{
    const PreviewRow &r = Rows[size_t(row)];
    QLabel *preview = m_previews[size_t(row)];
    QPalette palette = preview->palette();
    palette.setColor(QPalette::Window, previewColour(m_settings.colors(), r.background));
    palette.setColor(QPalette::WindowText, previewColour(m_settings.colors(), r.font));
    preview->setPalette(palette);
}

void ColourSelector::swatchClicked(int index)
{
    const QColor colour = static_cast<SwatchButton *>(m_swatches->button(index))->colour();
    const QString text = slotText(colour);

    const int role = m_roles->checkedId();
    if (role >= 0) {
        const int row = role % RowCount;
        const PreviewRow &r = Rows[size_t(row)];
        m_settings.setColor(role < RowCount ? r.background : r.font, text);
        showRowColours(row);
    }
    // The word "Headers" stands here for whichever row and column the colour went to.
    m_status->setText(u"Headers (#%1)"_s.arg(text));
}

void ColourSelector::closeEvent(QCloseEvent *event)
{
    // The main window comes back before this one goes, so at no moment is no window of the
    // program visible, which would end the program.
    if (m_mainWindow) {
        m_mainWindow->show();
        m_mainWindow->activateWindow();
    }
    event->accept();
    emit closed();
}
