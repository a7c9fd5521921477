#include "mainwindow.h"

#include "aboutbox.h"
#include "colourselector.h"
#include "windowicon.h"

#include "filenamefilter.h"
#include "pagewriter.h"
#include "saveout.h"
#include "seams.h"
#include "textboxes.h"
#include "textrules.h"
#include "titlelimit.h"
#include "wrappingcheckbox.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextDocument>

#include <limits>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView WindowCaption = u"Tavrin - Brisken";

// Positions are kept in twips, as the layout was drawn; 15 twips make one pixel at 96 dpi.
constexpr int TwipsPerPixel = 15;
constexpr QSize ClientArea(9450 / TwipsPerPixel, 6000 / TwipsPerPixel);

struct Placement
{
    QStringView name;
    int left;
    int top;
    int width;
    int height;
};

// clang-format off
constexpr Placement Placements[] = {
    //  control        left    top  width height
    {u"Label5",         0,  -120,   495,   855},
    {u"Label9",       390,   120,  1095,   375},
    {u"Label6",         0,   360,   615,   615},
    {u"Label10",      360,   600,  1095,   375},
    {u"Label7",         0,   840,   735,   735},
    {u"Label11",      360,  1080,   975,   375},
    {u"Label8",         0,  1320,   615,   615},
    {u"Label12",      420,  1560,  1095,   375},
    {u"Label1",      1560,   120,  1095,   255},
    {u"Text1",       2640,   120,  6735,   285},
    {u"Label2",      1560,   480,  1095,   255},
    {u"Text2",       2640,   480,  6735,   285},
    {u"Label4",      1560,   840,  1815,   255},
    {u"Text3",       1560,  1080,  7815,  2295},
    {u"List1",        120,  2040,  1215,  1815},
    {u"Check3",      1560,  3480,  1695,   495},
    {u"Text7",       3360,  3480,  6015,   495},
    {u"Command1",     120,  3840,   615,   255},
    {u"Command2",     720,  3840,   615,   255},
    {u"Check5",      1560,  4080,  1695,   255},
    {u"Text9",       3360,  4080,  3255,   285},
    {u"Label3",      6720,  4080,   855,   255},
    {u"Text4",       7560,  4080,  1815,   285},
    {u"Command4",     120,  4200,  1335,   615},
    {u"Check1",      1560,  4440,  1695,   255},
    {u"Text5",       3360,  4440,  6015,   285},
    {u"Check2",      1560,  4800,  1695,   495},
    {u"Text6",       3360,  4800,  6015,   495},
    {u"Command3",     120,  4920,  1335,   615},
    {u"Check4",      1560,  5400,  1695,   495},
    {u"Text8",       3360,  5400,  6015,   495},
};
// clang-format on

struct Caption
{
    QStringView name;
    QStringView text;
};

constexpr Caption LabelCaptions[] = {
    {u"Label1", u"MAIN TITLE"},
    {u"Label2", u"SUB TITLE"},
    {u"Label4", u"Description"},
    {u"Label3", u"Auction ID"},
};

// The logo spells the product's name on four staggered lines: a large initial, then the rest
// of the word.
constexpr Caption LogoInitials[] = {
    {u"Label5", u"T"}, {u"Label6", u"A"}, {u"Label7", u"L"}, {u"Label8", u"M"}};
constexpr Caption LogoRests[] = {
    {u"Label9", u"avrin"}, {u"Label10", u"uction"}, {u"Label11", u"isting"}, {u"Label12", u"aker"}};

constexpr Caption ButtonCaptions[] = {
    {u"Command1", u"Up"},
    {u"Command2", u"Down"},
    {u"Command3", u"Preview"},
    {u"Command4", u"Create Listing"},
};

struct TextBoxSpec
{
    QStringView name;
    TextField field;
    bool multiLine;
    bool selectsOnFocus;
};

constexpr TextBoxSpec TextBoxes[] = {
    {u"Text1", TextField::MainTitle, false, true},  {u"Text2", TextField::SubTitle, false, true},
    {u"Text3", TextField::Description, true, true}, {u"Text4", TextField::AuctionId, false, true},
    {u"Text5", TextField::NoReserve, false, true},  {u"Text6", TextField::Shipping, true, true},
    {u"Text7", TextField::Condition, true, true},   {u"Text8", TextField::Payment, true, true},
    {u"Text9", TextField::ThankYou, false, false},
};

struct SwitchSpec
{
    QStringView name;
    QStringView caption; // "&&" shows as one ampersand
    SectionId section;
};

constexpr SwitchSpec Switches[] = {
    {u"Check1", u"No Reserve", SectionId::NoReserve},
    {u"Check2", u"Shipping && Handling", SectionId::Shipping},
    {u"Check3", u"Condition", SectionId::Condition},
    {u"Check4", u"Payment", SectionId::Payment},
    {u"Check5", u"Thank You", SectionId::ThankYou},
};

constexpr QStringView FocusOrder[] = {u"Text1",    u"Text2",    u"Text3",    u"Text7",  u"Text4",
                                      u"Text5",    u"Text6",    u"Text8",    u"List1",  u"Command1",
                                      u"Command2", u"Check1",   u"Check2",   u"Check3", u"Check4",
                                      u"Check5",   u"Command3", u"Command4", u"Text9"};

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
{
    setObjectName(u"Form1"_s);
    setWindowTitle(WindowCaption.toString());
    setWindowIcon(tavrinWindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    // The box shows its designed text until start-up reads "thankyou.dat" over it; the
    // settings hold the same, so the two agree from the first moment.
    m_session.settings.setText(TextField::ThankYou, u"Text9"_s);

    buildControls();
    buildActions();
    buildMenus();
    placeControls();
    setFocusOrder();
    connectControls();
    refreshFromSettings();

    // The client area is fixed; the window is as tall as the menu bar needs on top of it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    findChild<QWidget *>(u"Text1"_s)->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setFixedSize(ClientArea);
    // The layout is fixed in pixels and was drawn for an 8-point dialog font; the platform's
    // family is kept, but a larger size would cut captions such as "Auction ID" short.
    QFont dialogFont = client->font();
    dialogFont.setPointSize(8);
    client->setFont(dialogFont);
    setCentralWidget(client);

    for (const Caption &caption : LabelCaptions) {
        auto *label = new QLabel(caption.text.toString(), client);
        label->setObjectName(caption.name.toString());
    }
    const auto addLogo = [client](const Caption &caption, int pointSize) {
        auto *label = new QLabel(caption.text.toString(), client);
        label->setObjectName(caption.name.toString());
        QFont font(u"Arial Black"_s, pointSize);
        font.setBold(true);
        font.setItalic(true);
        label->setFont(font);
    };
    for (const Caption &caption : LogoInitials) {
        addLogo(caption, 24);
    }
    for (const Caption &caption : LogoRests) {
        addLogo(caption, 12);
    }

    for (const TextBoxSpec &entry : TextBoxes) {
        TextBox box{entry.field};
        QWidget *widget = nullptr;
        if (entry.multiLine) {
            box.multi = new SelectingTextEdit(client);
            box.multi->setTabChangesFocus(true);
            box.multi->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            box.multi->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            box.multi->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box.multi->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            widget = box.multi;
        } else {
            box.line = entry.selectsOnFocus ? new SelectingLineEdit(client) : new QLineEdit(client);
            widget = box.line;
        }
        widget->setObjectName(entry.name.toString());
        m_textBoxes.push_back(box);
    }
    // The description is shown centred; the page follows its own alignment setting.
    QTextDocument *description = findChild<QPlainTextEdit *>(u"Text3"_s)->document();
    QTextOption option = description->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    description->setDefaultTextOption(option);
    // Only the main title has a limit, and it counts characters, not UTF-16 units; the other
    // boxes must hold whatever text their file holds.
    for (const TextBox &box : m_textBoxes) {
        if (box.line) {
            box.line->setMaxLength(std::numeric_limits<int>::max());
        }
    }
    findChild<QLineEdit *>(u"Text1"_s)->setValidator(new TitleLimit(this));

    m_list = new QListWidget(client);
    m_list->setObjectName(u"List1"_s);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->viewport()->installEventFilter(this);

    for (const SwitchSpec &entry : Switches) {
        auto *box = new WrappingCheckBox(entry.caption.toString(), client);
        box->setObjectName(entry.name.toString());
        m_switches.push_back({entry.section, box});
    }
    for (const Caption &caption : ButtonCaptions) {
        auto *button = new QPushButton(caption.text.toString(), client);
        button->setObjectName(caption.name.toString());
        button->setAutoDefault(false);
    }
}

void MainWindow::buildActions()
{
    const auto action = [this](const QString &name, const QString &text) {
        auto *a = new QAction(text, this);
        a->setObjectName(name);
        return a;
    };
    m_previewAction = action(u"Previewlisting"_s, u"Preview"_s);
    m_createAction = action(u"createlisting"_s, u"Create Listing"_s);
    m_quitAction = action(u"Quit"_s, u"Quit"_s);
    m_coloursAction = action(u"colors"_s, u"Colors"_s);
    m_aboutAction = action(u"HelpAbout"_s, u"About"_s);
    m_orderUpAction = action(u"OrderUp"_s, u"Move Up"_s);
    m_orderDownAction = action(u"OrderDown"_s, u"Move Down"_s);

    // Check marks, not radio dots, and every mark comes from the settings: the groups only
    // gather their items' triggers into the one handler.
    std::map<StyleGroup, QActionGroup *> groups;
    const std::vector<StyleItem> &items = styleItems();
    for (size_t i = 0; i < items.size(); ++i) {
        const StyleItem &item = items[i];
        QActionGroup *&group = groups[item.group];
        if (!group) {
            group = new QActionGroup(this);
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
            connect(group, &QActionGroup::triggered, this, &MainWindow::styleItemTriggered);
        }
        QAction *a = action(item.name, item.caption);
        a->setCheckable(true);
        a->setData(int(i));
        group->addAction(a);
        m_styleActions.push_back(a);
    }
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    const auto menu = [](QWidget *parent, const QString &name, const QString &title) {
        auto *m = new QMenu(title, parent);
        m->setObjectName(name);
        return m;
    };

    QMenu *file = menu(bar, u"Filemenu"_s, u"&File"_s);
    file->addActions({m_previewAction, m_createAction, m_quitAction});
    QMenu *headers = menu(bar, u"Meadermenu"_s, u"&Headers"_s);
    QMenu *fonts = menu(bar, u"fonts"_s, u"Fonts"_s);
    QMenu *sizes = menu(bar, u"size"_s, u"FontSize"_s);
    QMenu *centering = menu(bar, u"centering"_s, u"Centering"_s);
    QMenu *help = menu(bar, u"helpmenu"_s, u"&Help"_s);
    help->addAction(m_aboutAction);

    // The items come in menu order, so each submenu is made when its first item arrives.
    std::map<StyleGroup, QMenu *> submenus;
    const std::vector<StyleItem> &items = styleItems();
    for (size_t i = 0; i < items.size(); ++i) {
        const StyleGroup group = items[i].group;
        if (group == StyleGroup::HeaderAlign && items[i - 1].group == StyleGroup::HeaderLook) {
            headers->addSeparator()->setObjectName(u"dummy1"_s);
        }
        QMenu *target = nullptr;
        if (group == StyleGroup::HeaderLook || group == StyleGroup::HeaderAlign) {
            target = headers;
        } else if (group == StyleGroup::Font) {
            target = fonts;
        } else {
            QMenu *&submenu = submenus[group];
            if (!submenu) {
                QMenu *parent = isSizeGroup(group) ? sizes : centering;
                submenu = menu(parent, groupMenuName(group), groupMenuCaption(group));
                parent->addMenu(submenu);
            }
            target = submenu;
        }
        target->addAction(m_styleActions[i]);
    }

    bar->addMenu(file);
    bar->addMenu(headers);
    bar->addMenu(fonts);
    bar->addMenu(sizes);
    bar->addMenu(centering);
    bar->addAction(m_coloursAction);
    bar->addMenu(help);

    // Never part of the menu bar: it opens over the section list.
    m_orderMenu = menu(this, u"Order"_s, u"OrderPopupMenu"_s);
    m_orderMenu->addActions({m_orderUpAction, m_orderDownAction});
}

void MainWindow::placeControls()
{
    for (const Placement &p : Placements) {
        auto *widget = findChild<QWidget *>(p.name.toString());
        Q_ASSERT(widget);
        widget->setGeometry(p.left / TwipsPerPixel, p.top / TwipsPerPixel, p.width / TwipsPerPixel,
                            p.height / TwipsPerPixel);
    }
}

void MainWindow::setFocusOrder()
{
    QWidget *previous = nullptr;
    for (QStringView name : FocusOrder) {
        auto *widget = findChild<QWidget *>(name.toString());
        Q_ASSERT(widget);
        if (previous) {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

void MainWindow::connectControls()
{
    for (const TextBox &box : m_textBoxes) {
        if (box.line) {
            connect(box.line, &QLineEdit::textChanged, this, [this, box] { textEdited(box); });
        } else {
            connect(box.multi, &QPlainTextEdit::textChanged, this,
                    [this, box] { textEdited(box); });
        }
    }
    for (const Switch &s : m_switches) {
        connect(s.box, &QCheckBox::toggled, this,
                [this, section = s.section](bool on) { switchToggled(section, on); });
    }

    const auto button = [this](const QString &name) { return findChild<QPushButton *>(name); };
    connect(button(u"Command1"_s), &QPushButton::clicked, this, &MainWindow::moveUp);
    connect(button(u"Command2"_s), &QPushButton::clicked, this, &MainWindow::moveDown);
    connect(button(u"Command3"_s), &QPushButton::clicked, this, &MainWindow::preview);
    connect(button(u"Command4"_s), &QPushButton::clicked, this, &MainWindow::createListing);
    connect(m_orderUpAction, &QAction::triggered, this, &MainWindow::moveUp);
    connect(m_orderDownAction, &QAction::triggered, this, &MainWindow::moveDown);
    connect(m_previewAction, &QAction::triggered, this, &MainWindow::preview);
    connect(m_createAction, &QAction::triggered, this, &MainWindow::createListing);
    connect(m_quitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_coloursAction, &QAction::triggered, this, &MainWindow::openColourSelector);
    connect(m_aboutAction, &QAction::triggered, this, [this] { showAboutBox(this); });
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
    for (const TextBox &box : m_textBoxes) {
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
    const QSignalBlocker blocker(m_list);
    for (int row = 0; row < m_list->count() && row < order.size(); ++row) {
        if (m_list->item(row)->text() != order[row]) {
            m_list->item(row)->setText(order[row]);
        }
    }
    while (m_list->count() > order.size()) {
        delete m_list->takeItem(m_list->count() - 1);
    }
    for (int row = m_list->count(); row < order.size(); ++row) {
        m_list->addItem(order[row]);
    }
    if (selectRow >= 0 && selectRow < m_list->count()) {
        m_list->setCurrentRow(selectRow, QItemSelectionModel::ClearAndSelect);
    } else {
        m_list->clearSelection();
        m_list->setCurrentRow(-1);
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
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.constFirst());
}

void MainWindow::textEdited(const TextBox &box)
{
    if (m_refreshing) {
        return;
    }
    m_session.settings.setText(
        box.field, box.line ? box.line->text() : settingsTextFromDocument(*box.multi->document()));
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

void MainWindow::styleItemTriggered(QAction *action)
{
    selectStyleItem(m_session.settings, styleItems().at(size_t(action->data().toInt())));
    refreshMarks();
}

void MainWindow::preview()
{
    m_session.outputPath = m_session.programFolder + u"preview.html"_s;
    if (writeListing()) {
        Browser::openFile(m_session.outputPath);
    }
}

void MainWindow::createListing()
{
    const SaveRequest request{
        u"Text Template (*.txt)"_s,
        u"txt"_s,
        QDir::cleanPath(m_session.programFolder),
        fileNameFilter(trimBlanks(m_session.settings.text(TextField::MainTitle))),
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
    const WriteResult result = writeout(m_session.settings, m_session.outputPath);
    if (!result) {
        MessageBox::showError(
            this, WindowCaption.toString(),
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
    const std::vector<FileError> errors = saveout(m_session);
    if (errors.empty()) {
        return;
    }
    m_saveFailed = true;
    QStringList lines;
    for (const FileError &error : errors) {
        lines.append(error.message());
    }
    MessageBox::showError(this, WindowCaption.toString(),
                          u"The settings could not all be saved.\n\n"_s + lines.join(u'\n'));
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
    if (watched == m_list->viewport()) {
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
