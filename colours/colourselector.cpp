#include "colourselector.h"

#include "accessiblerole.h"
#include "palette.h"
#include "ui_colourselector.h"
#include "windowtitle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// The palette fills column by column, twelve swatches to a column, 16 pixels apart.
constexpr int SwatchRows = 12;
constexpr QRect swatchPlace(int index)
{
    return {8 + 16 * (index / SwatchRows), 8 + 16 * (index % SwatchRows), 15, 15};
}

// Radio button k (0..7) of the form picks row k's background, button 8 + k its font.
struct PreviewRow
{
    QLabel *Ui::Form2::*preview;
    ColorSlotId background;
    ColorSlotId font;
};

constexpr int RowCount = 8;
constexpr std::array<PreviewRow, RowCount> Rows{{
    {&Ui::Form2::DispHeaders, ColorSlotId::HeaderBackground, ColorSlotId::HeaderFont},
    {&Ui::Form2::DispTitles, ColorSlotId::TitleBackground, ColorSlotId::TitleFont},
    {&Ui::Form2::DispReserve, ColorSlotId::ReserveBackground, ColorSlotId::ReserveFont},
    {&Ui::Form2::DispDescription, ColorSlotId::DescriptionBackground, ColorSlotId::DescriptionFont},
    {&Ui::Form2::DispCondition, ColorSlotId::ConditionBackground, ColorSlotId::ConditionFont},
    {&Ui::Form2::DispPayment, ColorSlotId::PaymentBackground, ColorSlotId::PaymentFont},
    {&Ui::Form2::DispShipping, ColorSlotId::ShippingBackground, ColorSlotId::ShippingFont},
    {&Ui::Form2::DispThankYou, ColorSlotId::ThankYouBackground, ColorSlotId::ThankYouFont},
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
// The swatches take the focus as one group: only the group's current swatch is a Tab stop, and
// the arrow keys move the focus in the palette's order, a step down the column (and on into the
// next) or a column across; Space or Enter chooses the colour as a click does.
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
        // A black ring round a white one shows on every colour of the palette.
        if (hasFocus()) {
            p.setPen(Qt::black);
            p.drawRect(rect().adjusted(0, 0, -1, -1));
            p.setPen(Qt::white);
            p.drawRect(rect().adjusted(1, 1, -2, -2));
        }
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const int index = group()->id(this);
        int to = index;
        switch (event->key()) {
        case Qt::Key_Up:
            to = index - 1;
            break;
        case Qt::Key_Down:
            to = index + 1;
            break;
        case Qt::Key_Left:
            to = index - SwatchRows;
            break;
        case Qt::Key_Right:
            to = index + SwatchRows;
            break;
        case Qt::Key_Home:
            to = 0;
            break;
        case Qt::Key_End:
            to = SwatchCount - 1;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            click();
            return;
        default:
            QAbstractButton::keyPressEvent(event);
            return;
        }
        if (QAbstractButton *next = group()->button(to); next && next != this) {
            next->setFocusPolicy(Qt::TabFocus);
            next->setFocus(Qt::OtherFocusReason);
            setFocusPolicy(Qt::NoFocus);
        }
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
    , m_ui(std::make_unique<Ui::Form2>())
    , m_settings(settings)
    , m_mainWindow(mainWindow)
{
    // A window of its own rather than a child of the main window, so that it keeps a taskbar
    // entry while the main window is hidden.
    setAttribute(Qt::WA_DeleteOnClose);
    setAccessibleRole(this, QAccessible::Window);

    // The palette is built first, so that the window's children keep the order of its layout:
    // the swatches, then the controls of the form.
    buildPalette();
    m_ui->setupUi(this);
    setWindowTitle(tavrinWindowTitle() + u" (Color Selector)"_s);

    fitCaption(m_ui->Label2);
    fitCaption(m_ui->Label3);
    // The form adds the radio buttons to their group in its own order, Option1_0 first; the
    // ids follow that order, so that an id names its row and column.
    const QList<QAbstractButton *> roles = m_ui->Option1->buttons();
    for (int id = 0; id < roles.size(); ++id) {
        m_ui->Option1->setId(roles[id], id);
    }
    for (int row = 0; row < RowCount; ++row) {
        fitCaption(m_ui.get()->*Rows[size_t(row)].preview);
        showRowColours(row);
    }
    // The Tab key visits the radio buttons, then the palette, then Finished. Qt orders only
    // widgets that take the focus, so every swatch does while the order is set.
    const QList<QAbstractButton *> swatches = m_swatches->buttons();
    QWidget *previous = roles.constLast();
    for (QAbstractButton *swatch : swatches) {
        swatch->setFocusPolicy(Qt::TabFocus);
        QWidget::setTabOrder(previous, swatch);
        previous = swatch;
    }
    QWidget::setTabOrder(previous, m_ui->Command1);
    for (QAbstractButton *swatch : swatches) {
        swatch->setFocusPolicy(swatch == swatches.constFirst() ? Qt::TabFocus : Qt::NoFocus);
    }
    connect(m_ui->Command1, &QPushButton::clicked, this, &QWidget::close);
}

ColourSelector::~ColourSelector() = default;

void ColourSelector::buildPalette()
{
    m_swatches = new QButtonGroup(this);
    m_swatches->setObjectName(u"Picture1"_s);
    m_swatches->setExclusive(false);
    for (int n = 0; n < SwatchCount; ++n) {
        auto *swatch = new SwatchButton(swatchColour(n), this);
        swatch->setObjectName(u"Picture1_%1"_s.arg(n));
        swatch->setGeometry(swatchPlace(n));
        m_swatches->addButton(swatch, n);
    }
    connect(m_swatches, &QButtonGroup::idClicked, this, &ColourSelector::swatchClicked);
}

void ColourSelector::showRowColours(int row)
{
    const PreviewRow &r = Rows[size_t(row)];
    QLabel *preview = m_ui.get()->*r.preview;
    QPalette palette = preview->palette();
    palette.setColor(QPalette::Window, previewColour(m_settings.colors(), r.background));
    palette.setColor(QPalette::WindowText, previewColour(m_settings.colors(), r.font));
    preview->setPalette(palette);
}

void ColourSelector::swatchClicked(int index)
{
    const QColor colour = static_cast<SwatchButton *>(m_swatches->button(index))->colour();
    const QString text = slotText(colour);

    const int role = m_ui->Option1->checkedId();
    if (role >= 0) {
        const int row = role % RowCount;
        const PreviewRow &r = Rows[size_t(row)];
        m_settings.setColor(role < RowCount ? r.background : r.font, text);
        showRowColours(row);
    }
    // The word "Headers" stands here for whichever row and column the colour went to.
    m_ui->Label1->setText(u"Headers (#%1)"_s.arg(text));
}

// As in a dialog: Escape is the close box, and Enter, where no control takes it, is Finished.
void ColourSelector::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_ui->Command1->click();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
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
}
