#include "mainwindow.h"

#include "aboutbox.h"
#include "accessiblerole.h"
#include "colourselector.h"
#include "seams.h"
#include "windowicon.h"
#include "windowtitle.h"

#include "filenamefilter.h"
#include "pagewriter.h"
#include "saveout.h"
#include "textrules.h"
#include "titlelimit.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

// A multi-line box holds its line breaks as paragraph separators; the settings hold CR LF,
// which is what the page writer turns into "<br>". A lone LF, which only a data file can
// bring, is an ordinary character of its line in the settings; the box keeps it as a line
// separator so that editing elsewhere in the box gives it back unchanged.
QString boxTextFromSettings(const QString &text)
{
    QString box;
    box.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            box += u'\n';
            ++i;
        } else if (text[i] == u'\n') {
            box += QChar(QChar::LineSeparator);
        } else {
            box += text[i];
        }
    }
    return box;
}

QString settingsTextFromDocument(const QTextDocument &document)
{
    const QString raw = document.toRawText();
    QString text;
    text.reserve(raw.size());
    for (QChar c : raw) {
        if (c == QChar::ParagraphSeparator) {
            text += u"\r\n"_s;
        } else if (c == QChar::LineSeparator) {
            text += u'\n';
        } else {
            text += c;
        }
    }
    return text;
}

// A line's layout throws its shaped text away once it is laid out, so every repaint of the box
// (the caret blinks twice a second) shapes the line again from its start: for a description
// pasted as one long line, hundreds of thousands of characters for each blink. A long line
// keeps its shaped text instead, for as long as it stays unchanged.
void keepLongLinesShaped(QTextDocument *document)
{
    constexpr int LongLine = 1000;
    QObject::connect(document, &QTextDocument::contentsChange, document,
                     [document](int position, int, int added) {
                         for (QTextBlock block = document->findBlock(position);
                              block.isValid() && block.position() <= position + added;
                              block = block.next()) {
                             if (block.length() > LongLine) {
                                 block.layout()->setCacheEnabled(true);
                             }
                         }
                     });
}

// The row to select after a switch changed the list: the selection stays with its entry,
// and goes when its entry is the one removed.
int rowAfterSwitch(const QStringList &before, const QStringList &after, int selected)
{
    if (selected < 0 || after.size() != before.size() - 1) {
        return selected;
    }
    qsizetype removed = 0;
    while (removed < after.size() && before[removed] == after[removed]) {
        ++removed;
    }
    if (selected == removed) {
        return -1;
    }
    return selected > removed ? selected - 1 : selected;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::Form1>())
{
    setWindowIcon(tavrinWindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);
    setWindowTitle(tavrinWindowTitle());

    // The box shows its designed text until start-up reads "thankyou.dat" over it; the
    // settings hold the same, so the two agree from the first moment.
    m_session.settings.setText(TextField::ThankYou, m_ui->Text9->text());

    setUpControls();
    buildStyleItems();
    connectControls();
    refreshFromSettings();

    // The client area is fixed; the window is as tall as the menu bar needs on top of it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    m_ui->Text1->setFocus();
}

MainWindow::~MainWindow() = default;

QAction *MainWindow::coloursAction() const
{
    return m_ui->colors;
}

void MainWindow::setUpControls()
{
    m_textBoxes = {
        {TextField::MainTitle, m_ui->Text1, nullptr},
        {TextField::SubTitle, m_ui->Text2, nullptr},
        {TextField::Description, nullptr, m_ui->Text3},
        {TextField::AuctionId, m_ui->Text4, nullptr},
        {TextField::NoReserve, m_ui->Text5, nullptr},
        {TextField::Shipping, nullptr, m_ui->Text6},
        {TextField::Condition, nullptr, m_ui->Text7},
        {TextField::Payment, nullptr, m_ui->Text8},
        {TextField::ThankYou, m_ui->Text9, nullptr},
    };
    m_switches = {
        {SectionId::NoReserve, m_ui->Check1}, {SectionId::Shipping, m_ui->Check2},
        {SectionId::Condition, m_ui->Check3}, {SectionId::Payment, m_ui->Check4},
        {SectionId::ThankYou, m_ui->Check5},
    };

    // A word longer than its box still wraps, at the box's edge.
    for (const TextBox &box : m_textBoxes) {
        if (box.multi) {
            box.multi->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            keepLongLinesShaped(box.multi->document());
        }
    }
    // The description is shown centred; the page follows its own alignment setting.
    QTextDocument *description = m_ui->Text3->document();
    QTextOption option = description->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    description->setDefaultTextOption(option);
    // Only the main title has a limit, and it counts characters, not UTF-16 units; the other
    // boxes must hold whatever text their file holds, so the form gives them no limit.
    m_ui->Text1->setValidator(new TitleLimit(this));

    // The logo's eight labels spell one name, which a screen reader reads as such.
    setAccessibleRole(m_ui->Logo, QAccessible::Graphic);

    m_ui->List1->viewport()->installEventFilter(this);
    m_ui->Text1->installEventFilter(this);
}

void MainWindow::buildStyleItems()
{
    // Check marks, not radio dots, and every mark comes from the settings, so the items need
    // no action groups: each trigger goes straight to the one handler with the item's index.
    const std::vector<StyleItem> &items = styleItems();
    for (size_t i = 0; i < items.size(); ++i) {
        const StyleItem &item = items[i];
        auto *action = new QAction(item.caption, this);
        action->setObjectName(item.name);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] { styleItemTriggered(i); });
        m_styleActions.push_back(action);

        if (item.group == StyleGroup::HeaderAlign && items[i - 1].group == StyleGroup::HeaderLook) {
            m_ui->Meadermenu->addSeparator()->setObjectName(u"dummy1"_s);
        }
        menuOfGroup(item.group)->addAction(action);
    }

    // Never part of the menu bar: it opens over the section list.
    m_orderMenu = new QMenu(u"OrderPopupMenu"_s, this);
    m_orderMenu->setObjectName(u"Order"_s);
    m_orderMenu->addActions({m_ui->OrderUp, m_ui->OrderDown});
}

QMenu *MainWindow::menuOfGroup(StyleGroup group) const
{
    switch (group) {
    case StyleGroup::HeaderLook:
    case StyleGroup::HeaderAlign:
        return m_ui->Meadermenu;
    case StyleGroup::Font:
        return m_ui->fonts;
    case StyleGroup::TitleSize:
        return m_ui->titlsize;
    case StyleGroup::DescriptionSize:
        return m_ui->descsize;
    case StyleGroup::ConditionSize:
        return m_ui->condsize;
    case StyleGroup::ThankYouSize:
        return m_ui->thnksize;
    case StyleGroup::ShippingSize:
        return m_ui->shipsize;
    case StyleGroup::PaymentSize:
        return m_ui->pmntsize;
    case StyleGroup::NoReserveSize:
        return m_ui->rsrvsize;
    case StyleGroup::HeaderSize:
        return m_ui->hedrsize;
    case StyleGroup::TitleAlign:
        return m_ui->titlalignment;
    case StyleGroup::NoReserveAlign:
        return m_ui->rsrvalignment;
    case StyleGroup::DescriptionAlign:
        return m_ui->descalignment;
    case StyleGroup::ConditionAlign:
        return m_ui->condalignment;
    case StyleGroup::ThankYouAlign:
        return m_ui->thnkalignment;
    case StyleGroup::ShippingAlign:
        return m_ui->shipalignment;
    case StyleGroup::PaymentAlign:
        return m_ui->pmntalignment;
    }
    Q_UNREACHABLE();
}

void MainWindow::connectControls()
{
    for (size_t i = 0; i < m_textBoxes.size(); ++i) {
        const TextBox &box = m_textBoxes[i];
        if (box.line) {
            connect(box.line, &QLineEdit::textChanged, this, [this, i] { textEdited(i); });
        } else {
            connect(box.multi, &QPlainTextEdit::textChanged, this, [this, i] { textEdited(i); });
        }
    }
    for (const Switch &s : m_switches) {
        connect(s.box, &QCheckBox::toggled, this,
                [this, section = s.section](bool on) { switchToggled(section, on); });
    }

    connect(m_ui->Command1, &QPushButton::clicked, this, &MainWindow::moveUp);
    connect(m_ui->Command2, &QPushButton::clicked, this, &MainWindow::moveDown);
    connect(m_ui->Command3, &QPushButton::clicked, this, &MainWindow::preview);
    connect(m_ui->Command4, &QPushButton::clicked, this, &MainWindow::createListing);
    connect(m_ui->OrderUp, &QAction::triggered, this, &MainWindow::moveUp);
    connect(m_ui->OrderDown, &QAction::triggered, this, &MainWindow::moveDown);
    connect(m_ui->Previewlisting, &QAction::triggered, this, &MainWindow::preview);
    connect(m_ui->createlisting, &QAction::triggered, this, &MainWindow::createListing);
    connect(m_ui->Quit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->colors, &QAction::triggered, this, &MainWindow::openColourSelector);
    connect(m_ui->HelpAbout, &QAction::triggered, this, [this] { showAboutBox(this); });
}

std::optional<FileError> MainWindow::load(const QString &programFolder)
{
    Q_ASSERT(!m_loaded);
    if (std::optional<FileError> error = startup(m_session, programFolder)) {
        return error;
    }
    m_loaded = true;
    refreshFromSettings();
    return std::nullopt;
}

void MainWindow::refreshFromSettings()
{
    refreshTexts();
    refreshOrder(selectedRow());
    refreshSwitches();
    refreshMarks();
}

void MainWindow::refreshTexts()
{
    const QScopedValueRollback guard(m_refreshing, true);
    for (TextBox &box : m_textBoxes) {
        box.typed = false;
        const QString &text = m_session.settings.text(box.field);
        if (box.line) {
            box.line->setText(text);
            box.line->setCursorPosition(0);
        } else {
            box.multi->setPlainText(boxTextFromSettings(text));
        }
    }
}

void MainWindow::refreshOrder(int selectRow)
{
    const QStringList &order = m_session.settings.sectionOrder();
    const QSignalBlocker blocker(m_ui->List1);
    for (int row = 0; row < m_ui->List1->count() && row < order.size(); ++row) {
        if (m_ui->List1->item(row)->text() != order[row]) {
            m_ui->List1->item(row)->setText(order[row]);
        }
    }
    while (m_ui->List1->count() > order.size()) {
        delete m_ui->List1->takeItem(m_ui->List1->count() - 1);
    }
    for (int row = m_ui->List1->count(); row < order.size(); ++row) {
        m_ui->List1->addItem(order[row]);
    }
    if (selectRow >= 0 && selectRow < m_ui->List1->count()) {
        m_ui->List1->setCurrentRow(selectRow, QItemSelectionModel::ClearAndSelect);
    } else {
        m_ui->List1->clearSelection();
        m_ui->List1->setCurrentRow(-1);
    }
}

void MainWindow::refreshSwitches()
{
    for (const Switch &s : m_switches) {
        const QSignalBlocker blocker(s.box);
        s.box->setChecked(m_session.settings.isSwitchedOn(s.section));
    }
}

void MainWindow::refreshMarks()
{
    const std::vector<StyleItem> &items = styleItems();
    for (size_t i = 0; i < items.size(); ++i) {
        m_styleActions[i]->setChecked(isMarked(m_session.settings, items[i]));
    }
}

int MainWindow::selectedRow() const
{
    const QList<QListWidgetItem *> selected = m_ui->List1->selectedItems();
    return selected.isEmpty() ? -1 : m_ui->List1->row(selected.constFirst());
}

void MainWindow::textEdited(size_t index)
{
    if (m_refreshing) {
        return;
    }
    TextBox &box = m_textBoxes[index];
    if (box.line) {
        m_session.settings.setText(box.field, box.line->text());
    } else {
        // A multi-line box's text is made from its document in time that grows with its
        // length, too long to spend on every key typed into a large description: it is taken
        // when the settings are next read.
        box.typed = true;
    }
}

void MainWindow::takeTypedTexts()
{
    for (TextBox &box : m_textBoxes) {
        if (box.typed) {
            box.typed = false;
            m_session.settings.setText(box.field, settingsTextFromDocument(*box.multi->document()));
        }
    }
}

Session &MainWindow::session()
{
    takeTypedTexts();
    return m_session;
}

void MainWindow::switchToggled(SectionId section, bool on)
{
    const QStringList before = m_session.settings.sectionOrder();
    const int selected = selectedRow();
    m_session.settings.setSwitch(section, on);
    refreshOrder(rowAfterSwitch(before, m_session.settings.sectionOrder(), selected));
    refreshSwitches();
}

void MainWindow::moveUp()
{
    moveSelected(&ListingSettings::moveUp);
}

void MainWindow::moveDown()
{
    moveSelected(&ListingSettings::moveDown);
}

void MainWindow::moveSelected(int (ListingSettings::*move)(int))
{
    refreshOrder((m_session.settings.*move)(selectedRow()));
}

void MainWindow::styleItemTriggered(size_t index)
{
    selectStyleItem(m_session.settings, styleItems().at(index));
    refreshMarks();
}

void MainWindow::preview()
{
    m_session.outputPath = m_session.programFolder + u"preview.html"_s;
    // The page is written either way; a seller told that nothing could show it can open it.
    if (writeListing() && !Browser::openFile(m_session.outputPath)) {
        MessageBox::showError(this, windowTitle(),
                              u"The listing was written to \"%1\", but no program could be "
                              u"started to show it.\n\nOpen that file in your browser."_s.arg(
                                  QDir::toNativeSeparators(m_session.outputPath)));
    }
}

void MainWindow::createListing()
{
    const SaveRequest request{
        u"Text Template (*.txt)"_s,
        u"txt"_s,
        QDir::cleanPath(m_session.programFolder),
        proposedSaveName(m_session.settings.text(TextField::MainTitle)),
    };
    const std::optional<QString> chosen = SaveDialog::ask(this, request);
    if (!chosen) {
        return;
    }
    m_session.outputPath = *chosen;
    writeListing();
}

// A page that could not be written is reported: the seller must not believe a listing was
// saved when it was not. The writer leaves any earlier file at that path as it was.
bool MainWindow::writeListing()
{
    takeTypedTexts();
    const WriteResult result = writeout(m_session.settings, m_session.outputPath);
    if (!result) {
        MessageBox::showError(
            this, windowTitle(),
            u"The listing could not be written to \"%1\".\n\n%2"_s.arg(result.path, result.error));
    }
    return result.ok;
}

void MainWindow::saveAtClose()
{
    if (!m_loaded || m_saved) {
        return;
    }
    m_saved = true;
    m_saveFailed = !saveSettings(true);
}

void MainWindow::saveForSessionEnd(bool canAsk)
{
    if (m_loaded && !m_saved) {
        saveSettings(canAsk);
    }
}

bool MainWindow::saveSettings(bool canAsk)
{
    takeTypedTexts();
    const std::vector<FileError> errors = saveout(m_session);
    if (errors.empty()) {
        return true;
    }
    QStringList lines;
    for (const FileError &error : errors) {
        lines.append(error.message());
    }
    const QString report = u"The settings could not all be saved.\n\n"_s + lines.join(u'\n');
    if (canAsk) {
        MessageBox::showError(this, windowTitle(), report);
    } else {
        qCritical().noquote() << report;
    }
    return false;
}

// The selector works on the session's colours directly, so nothing needs refreshing after it.
void MainWindow::openColourSelector()
{
    if (!m_colourSelector) {
        m_colourSelector = ColourSelector::open(m_session.settings, this);
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The seller cannot reach a hidden window, but a logout or a signal can: the selector goes
    // first, so the colours chosen in it are saved with everything else.
    if (m_colourSelector) {
        m_colourSelector->close();
    }
    saveAtClose();
    event->accept();
}

// A right press over the list opens the order menu and is kept from the list, which would
// otherwise select the row under the pointer: the menu acts on the row already selected.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->Text1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste)) {
        TitleLimit::paste(*m_ui->Text1);
        return true;
    }
    if (watched == m_ui->List1->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() != Qt::RightButton) {
                break;
            }
            if (event->type() != QEvent::MouseButtonRelease) {
                m_orderMenu->popup(mouse->globalPosition().toPoint());
            }
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
