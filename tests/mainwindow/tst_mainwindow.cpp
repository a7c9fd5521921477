#include "mainwindow.h"
#include "pagewriter.h"
#include "program.h"
#include "seams.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QStringList FirstRunOrder{u"Title"_s,   u"No Reserve"_s, u"Description"_s, u"Condition"_s,
                                u"Payment"_s, u"Shipping"_s,   u"Thank You"_s};
const QStringList WindowMarks{u"HeaderSolid"_s, u"Headerleft"_s, u"fontarial"_s};
const QStringList AllSwitches{u"Check1"_s, u"Check2"_s, u"Check3"_s, u"Check4"_s, u"Check5"_s};

// The 18 style groups, written out from the menus' naming rules.
QList<QStringList> styleGroups()
{
    QList<QStringList> groups{
        {u"HeaderSolid"_s, u"foldertab"_s},
        {u"Headerleft"_s, u"headercenter"_s, u"headerright"_s},
        {u"fontarial"_s, u"fontarialblack"_s, u"fontcomic"_s, u"fontcourier"_s, u"fontimpact"_s,
         u"fontlucidaconsole"_s, u"fontlucidasans"_s, u"fonttimes"_s},
    };
    for (const char16_t *prefix :
         {u"titl", u"desc", u"cond", u"thnk", u"ship", u"pmnt", u"rsrv", u"hedr"}) {
        QStringList sizes;
        for (int n = 1; n <= 7; ++n) {
            sizes.append(QString::fromUtf16(prefix) + u"size"_s + QString::number(n));
        }
        groups.append(sizes);
    }
    for (const char16_t *prefix : {u"titl", u"rsrv", u"desc", u"cond", u"thnk", u"ship", u"pmnt"}) {
        groups.append(
            {QString::fromUtf16(prefix) + u"cent"_s, QString::fromUtf16(prefix) + u"left"_s});
    }
    return groups;
}

template<class T> T *child(const QWidget &window, const QString &name)
{
    return window.findChild<T *>(name);
}

QAction *action(const QWidget &window, const QString &name)
{
    return child<QAction>(window, name);
}

QListWidget *list(const QWidget &window)
{
    return child<QListWidget>(window, u"List1"_s);
}

QStringList rows(const QWidget &window)
{
    QStringList texts;
    for (int row = 0; row < list(window)->count(); ++row) {
        texts.append(list(window)->item(row)->text());
    }
    return texts;
}

int selectedRow(const QWidget &window)
{
    const QList<QListWidgetItem *> selected = list(window)->selectedItems();
    return selected.isEmpty() ? -1 : list(window)->row(selected.constFirst());
}

QStringList checkedStyleItems(const QWidget &window)
{
    QStringList names;
    for (const QAction *a : window.findChildren<QAction *>()) {
        if (a->isCheckable() && a->isChecked()) {
            names.append(a->objectName());
        }
    }
    names.sort();
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

QStringList switchesOn(const QWidget &window)
{
    QStringList names;
    for (const QString &name : AllSwitches) {
        if (child<QCheckBox>(window, name)->isChecked()) {
            names.append(name);
        }
    }
    return names;
}

QString boxText(const QWidget &window, const QString &name)
{
    if (auto *line = child<QLineEdit>(window, name)) {
        return line->text();
    }
    return child<QPlainTextEdit>(window, name)->toPlainText();
}

bool wholeTextSelected(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box)) {
        return line->selectionStart() == 0 && line->selectedText() == line->text();
    }
    auto *multi = qobject_cast<QPlainTextEdit *>(box);
    const QTextCursor cursor = multi->textCursor();
    return cursor.selectionStart() == 0 &&
           cursor.selectionEnd() == multi->document()->characterCount() - 1;
}

bool anythingSelected(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box)) {
        return line->hasSelectedText();
    }
    return qobject_cast<QPlainTextEdit *>(box)->textCursor().hasSelection();
}

// Where a click lands: a multi-line box takes its mouse events in its viewport.
QWidget *clickTarget(QWidget *box)
{
    if (auto *multi = qobject_cast<QPlainTextEdit *>(box)) {
        return multi->viewport();
    }
    return box;
}

void clickRow(QWidget &window, int row)
{
    QListWidget *l = list(window);
    l->scrollToItem(l->item(row));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file of a folder with its bytes, to show that nothing was written.
QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        contents.insert(name, fileBytes(dir.filePath(name)));
    }
    return contents;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void controls_data();
    void controls();
    void menuBarOrder();
    void menus_data();
    void menus();
    void noShortcutsAndNothingDisabled();
    void stateBeforeStartUp();
    void firstStart();

    void styleItemMarksOnlyItsGroup_data();
    void styleItemMarksOnlyItsGroup();
    void styleChoiceShowsInNextPreview();

    void mainTitleLimit_data();
    void mainTitleLimit();
    void focusOrder();
    void selectOnFocus_data();
    void selectOnFocus();
    void text9KeepsClickCaret();
    void multiLineBoxes_data();
    void multiLineBoxes();
    void multiLineTextKeepsItsCharacters();

    void orderAndSwitches_data();
    void orderAndSwitches();
    void rightPressOpensOrderMenu_data();
    void rightPressOpensOrderMenu();
    void otherPressesOpenNothing();

    void createListingWritesChosenFile_data();
    void createListingWritesChosenFile();
    void proposedName_data();
    void proposedName();
    void cancelKeepsOutputPath();
    void previewWritesAndOpens_data();
    void previewWritesAndOpens();
    void failedWriteIsReported_data();
    void failedWriteIsReported();

    void closingSaves_data();
    void closingSaves();
    void savingHappensOnce();
    void secondStartRestores();
    void startUpFailsOnMissingTextFile();
    void programReportsStartUpFailure_data();
    void programReportsStartUpFailure();
    void programSavesOnEveryWayOut_data();
    void programSavesOnEveryWayOut();
    void programReportsFailedSave();

private:
    QString folder() const { return m_folder->path(); }
    QString inFolder(const QString &name) const { return m_folder->filePath(name); }
    std::unique_ptr<MainWindow> loadedWindow();
    bool show(MainWindow &window);

    std::optional<QTemporaryDir> m_folder;
    std::optional<QString> m_saveAnswer;
    QList<SaveRequest> m_saveRequests;
    QStringList m_messages;
    QStringList m_opened;
};

void TestMainWindow::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isValid());
    const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
    const QStringList names = defaults.entryList({u"*.dat"_s}, QDir::Files);
    QVERIFY(names.contains(u"thankyou.dat"_s));
    for (const QString &name : names) {
        QVERIFY(QFile::copy(defaults.filePath(name), inFolder(name)));
    }
    // A first start: the seller has never saved.
    QFile::remove(inFolder(u"prefs.dat"_s));

    m_saveAnswer.reset();
    m_saveRequests.clear();
    m_messages.clear();
    m_opened.clear();
    SaveDialog::setTestHook([this](const SaveRequest &request) {
        m_saveRequests.append(request);
        return m_saveAnswer;
    });
    MessageBox::setTestHook(
        [this](const QString &, const QString &text) { m_messages.append(text); });
    Browser::setTestHook([this](const QString &path) { m_opened.append(path); });
}

void TestMainWindow::cleanup()
{
    SaveDialog::setTestHook({});
    MessageBox::setTestHook({});
    Browser::setTestHook({});
    m_folder.reset();
}

std::unique_ptr<MainWindow> TestMainWindow::loadedWindow()
{
    auto window = std::make_unique<MainWindow>();
    if (const std::optional<FileError> error = window->load(folder())) {
        qWarning("%s", qPrintable(error->message()));
        return nullptr;
    }
    return window;
}

bool TestMainWindow::show(MainWindow &window)
{
    window.show();
    return QTest::qWaitForWindowActive(&window);
}

void TestMainWindow::windowFrame()
{
    MainWindow window;
    QVERIFY(show(window));
    QCOMPARE(window.objectName(), u"Form1"_s);
    QCOMPARE(window.windowTitle(), u"Tavrin - Brisken"_s);
    QCOMPARE(window.centralWidget()->size(), QSize(630, 400));
    QCOMPARE(window.centralWidget()->y(), window.menuBar()->height());
    QCOMPARE(window.height(), 400 + window.menuBar()->height());
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(window, u"Text1"_s));
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // pixels: twips divided by 15
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, QRect geometry, const QString &text = {}) {
        QTest::newRow(name) << QString::fromLatin1(name) << geometry << text;
    };
    row("Label1", {104, 8, 73, 17}, u"MAIN TITLE"_s);
    row("Text1", {176, 8, 449, 19});
    row("Label2", {104, 32, 73, 17}, u"SUB TITLE"_s);
    row("Text2", {176, 32, 449, 19});
    row("Label4", {104, 56, 121, 17}, u"Description"_s);
    row("Text3", {104, 72, 521, 153});
    row("List1", {8, 136, 81, 121});
    row("Check3", {104, 232, 113, 33}, u"Condition"_s);
    row("Text7", {224, 232, 401, 33});
    row("Command1", {8, 256, 41, 17}, u"Up"_s);
    row("Command2", {48, 256, 41, 17}, u"Down"_s);
    row("Check5", {104, 272, 113, 17}, u"Thank You"_s);
    row("Text9", {224, 272, 217, 19}, u"Text9"_s);
    row("Label3", {448, 272, 57, 17}, u"Auction ID"_s);
    row("Text4", {504, 272, 121, 19});
    row("Command4", {8, 280, 89, 41}, u"Create Listing"_s);
    row("Check1", {104, 296, 113, 17}, u"No Reserve"_s);
    row("Text5", {224, 296, 401, 19});
    row("Check2", {104, 320, 113, 33}, u"Shipping && Handling"_s);
    row("Text6", {224, 320, 401, 33});
    row("Command3", {8, 328, 89, 41}, u"Preview"_s);
    row("Check4", {104, 360, 113, 33}, u"Payment"_s);
    row("Text8", {224, 360, 401, 33});
    row("Label5", {0, -8, 33, 57});
    row("Label9", {26, 8, 73, 25});
    row("Label6", {0, 24, 41, 41});
    row("Label10", {24, 40, 73, 25});
    row("Label7", {0, 56, 49, 49});
    row("Label11", {24, 72, 65, 25});
    row("Label8", {0, 88, 41, 41});
    row("Label12", {28, 104, 73, 25});
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    MainWindow window;
    auto *widget = child<QWidget>(window, name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), window.centralWidget());
    QCOMPARE(widget->geometry(), geometry);
    if (!name.startsWith(u"Label"_s) || !text.isEmpty()) {
        QCOMPARE(widget->property(qobject_cast<QPlainTextEdit *>(widget) ? "plainText" : "text")
                     .toString(),
                 text);
    }
}

void TestMainWindow::menuBarOrder()
{
    MainWindow window;
    QStringList captions;
    QStringList names;
    for (const QAction *a : window.menuBar()->actions()) {
        captions.append(a->text());
        names.append(a->menu() ? a->menu()->objectName() : a->objectName());
    }
    QCOMPARE(captions, (QStringList{u"&File"_s, u"&Headers"_s, u"Fonts"_s, u"FontSize"_s,
                                    u"Centering"_s, u"Colors"_s, u"&Help"_s}));
    QCOMPARE(names, (QStringList{u"Filemenu"_s, u"Meadermenu"_s, u"fonts"_s, u"size"_s,
                                 u"centering"_s, u"colors"_s, u"helpmenu"_s}));

    QMenu *order = child<QMenu>(window, u"Order"_s);
    QVERIFY(order);
    QCOMPARE(order->title(), u"OrderPopupMenu"_s);
    QVERIFY(!window.menuBar()->actions().contains(order->menuAction()));
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("entries"); // name=caption; a separator shows as "-"

    QTest::newRow("File") << u"Filemenu"_s
                          << QStringList{u"Previewlisting=Preview"_s,
                                         u"createlisting=Create Listing"_s, u"Quit=Quit"_s};
    QTest::newRow("Headers") << u"Meadermenu"_s << QStringList{u"HeaderSolid=Solid Bar"_s,
                                                               u"foldertab=Folder Tab"_s,
                                                               u"dummy1=-"_s,
                                                               u"Headerleft=Left Justified"_s,
                                                               u"headercenter=Centered"_s,
                                                               u"headerright=Right Justified"_s};
    QTest::newRow("Fonts") << u"fonts"_s
                           << QStringList{u"fontarial=Arial"_s,
                                          u"fontarialblack=Arialblack"_s,
                                          u"fontcomic=Comic Sans MS"_s,
                                          u"fontcourier=Courier New"_s,
                                          u"fontimpact=Impact"_s,
                                          u"fontlucidaconsole=Lucida Console"_s,
                                          u"fontlucidasans=Lucida Sans Unicode"_s,
                                          u"fonttimes=Times New Roman"_s};
    QTest::newRow("FontSize") << u"size"_s
                              << QStringList{u"titlsize=Title"_s,      u"descsize=Description"_s,
                                             u"condsize=Condition"_s,  u"thnksize=Thank You"_s,
                                             u"shipsize=Shipping"_s,   u"pmntsize=Payment"_s,
                                             u"rsrvsize=No Reserve"_s, u"hedrsize=Headers"_s};
    QTest::newRow("Centering") << u"centering"_s
                               << QStringList{
                                      u"titlalignment=Title"_s,       u"rsrvalignment=No Reserve"_s,
                                      u"descalignment=Description"_s, u"condalignment=Condition"_s,
                                      u"thnkalignment=Thank You"_s,   u"shipalignment=Shipping"_s,
                                      u"pmntalignment=Payment"_s};
    QTest::newRow("Help") << u"helpmenu"_s << QStringList{u"HelpAbout=About"_s};
    QTest::newRow("Order popup") << u"Order"_s
                                 << QStringList{u"OrderUp=Move Up"_s, u"OrderDown=Move Down"_s};

    const auto sizes = [](const QString &prefix, int defaultSize) {
        QStringList entries;
        for (int n = 1; n <= 7; ++n) {
            QString caption = u"Size "_s + QString::number(n);
            if (n == defaultSize) {
                caption += u" (Default)"_s;
            } else if (n == 1) {
                caption += u" (Smallest)"_s;
            } else if (n == 7) {
                caption += u" (Largest)"_s;
            }
            entries.append(prefix + QString::number(n) + u'=' + caption);
        }
        return entries;
    };
    QTest::newRow("Title sizes") << u"titlsize"_s << sizes(u"titlsize"_s, 5);
    QTest::newRow("Description sizes") << u"descsize"_s << sizes(u"descsize"_s, 3);
    QTest::newRow("Condition sizes") << u"condsize"_s << sizes(u"condsize"_s, 2);
    QTest::newRow("Thank You sizes") << u"thnksize"_s << sizes(u"thnksize"_s, 3);
    QTest::newRow("Shipping sizes") << u"shipsize"_s << sizes(u"shipsize"_s, 2);
    QTest::newRow("Payment sizes") << u"pmntsize"_s << sizes(u"pmntsize"_s, 2);
    QTest::newRow("No Reserve sizes") << u"rsrvsize"_s << sizes(u"rsrvsize"_s, 4);
    QTest::newRow("Header sizes") << u"hedrsize"_s
                                  << QStringList{
                                         u"hedrsize1=Size 1 (Default)"_s, u"hedrsize2=Size 2"_s,
                                         u"hedrsize3=Size 3"_s,           u"hedrsize4=Size 4"_s,
                                         u"hedrsize5=Size 5"_s,           u"hedrsize6=Size 6"_s,
                                         u"hedrsize7=Size 7 (Largest)"_s};
    QTest::newRow("Title alignment")
        << u"titlalignment"_s << QStringList{u"titlcent=Centered"_s, u"titlleft=Left Justified"_s};
    QTest::newRow("Payment alignment")
        << u"pmntalignment"_s << QStringList{u"pmntcent=Centered"_s, u"pmntleft=Left Justified"_s};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, entries);

    MainWindow window;
    QMenu *m = child<QMenu>(window, menu);
    QVERIFY(m);
    QStringList found;
    for (const QAction *a : m->actions()) {
        const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
        found.append(name + u'=' + (a->isSeparator() ? u"-"_s : a->text()));
    }
    QCOMPARE(found, entries);
}

void TestMainWindow::noShortcutsAndNothingDisabled()
{
    MainWindow window;
    for (const QAction *a : window.findChildren<QAction *>()) {
        QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }
}

void TestMainWindow::stateBeforeStartUp()
{
    MainWindow window;
    QCOMPARE(checkedStyleItems(window), sorted(WindowMarks));
    QCOMPARE(switchesOn(window), QStringList());
    QCOMPARE(rows(window), QStringList());
    QCOMPARE(boxText(window, u"Text9"_s), u"Text9"_s);
    QCOMPARE(window.session().settings.text(TextField::ThankYou), u"Text9"_s);
}

void TestMainWindow::firstStart()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QCOMPARE(rows(*window), FirstRunOrder);
    QCOMPARE(switchesOn(*window), AllSwitches);
    QCOMPARE(checkedStyleItems(*window), sorted(WindowMarks));
    QCOMPARE(selectedRow(*window), -1);
    QCOMPARE(boxText(*window, u"Text9"_s), u"Thank you for looking, and happy bidding!"_s);
    QCOMPARE(boxText(*window, u"Text4"_s), u"Your seller ID"_s);
    QVERIFY(boxText(*window, u"Text1"_s).isEmpty());
    // The shipped shipping text has two lines; the box shows them as two.
    QCOMPARE(child<QPlainTextEdit>(*window, u"Text6"_s)->document()->blockCount(), 2);
}

void TestMainWindow::styleItemMarksOnlyItsGroup_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("group");
    for (const QStringList &group : styleGroups()) {
        for (const QString &item : group) {
            QTest::newRow(qPrintable(item)) << item << group;
        }
    }
}

void TestMainWindow::styleItemMarksOnlyItsGroup()
{
    QFETCH(QString, item);
    QFETCH(QStringList, group);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    // Give every group a mark first, so that a group moving by mistake shows.
    for (const QStringList &g : styleGroups()) {
        action(*window, g.constLast())->trigger();
    }
    QStringList expected = checkedStyleItems(*window);
    QCOMPARE(expected.size(), 18);
    expected.removeIf([&group](const QString &name) { return group.contains(name); });
    expected.append(item);
    expected.sort();

    QAction *chosen = action(*window, item);
    QVERIFY(chosen);
    chosen->trigger();
    QCOMPARE(checkedStyleItems(*window), expected);
    // Choosing the marked item again changes nothing.
    chosen->trigger();
    QCOMPARE(checkedStyleItems(*window), expected);
}

void TestMainWindow::styleChoiceShowsInNextPreview()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    action(*window, u"fontcomic"_s)->trigger();
    action(*window, u"titlsize7"_s)->trigger();
    action(*window, u"Previewlisting"_s)->trigger();
    const QByteArray page = fileBytes(inFolder(u"preview.html"_s));
    QVERIFY(page.contains(R"(size="7" face="Comic Sans MS, cursive")"));
    QVERIFY(!page.contains("Arial, Helvetica,sans-serif"));
}

void TestMainWindow::mainTitleLimit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");

    const QString fifty4 = QString(54, u'a');
    QTest::newRow("55th typed") << fifty4 + u'b' << QString() << fifty4 + u'b';
    QTest::newRow("56th typed") << fifty4 + u"bc"_s << QString() << fifty4 + u'b';
    QTest::newRow("60 pasted") << QString() << fifty4 + u"bcdefg"_s << fifty4 + u'b';
    QTest::newRow("pasted after 54 typed") << fifty4 << u"xyz"_s << fifty4 + u'x';
    QTest::newRow("pasted into a full box") << fifty4 + u'b' << u"xyz"_s << fifty4 + u'b';
}

void TestMainWindow::mainTitleLimit()
{
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    auto *title = child<QLineEdit>(*window, u"Text1"_s);
    title->setFocus();
    QTest::keyClicks(title, typed);
    if (!pasted.isEmpty()) {
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keySequence(title, QKeySequence::Paste);
    }
    QCOMPARE(title->text(), expected);
    QCOMPARE(window->session().settings.text(TextField::MainTitle), expected);
}

void TestMainWindow::focusOrder()
{
    const QStringList order{u"Text1"_s,    u"Text2"_s,    u"Text3"_s,    u"Text7"_s,  u"Text4"_s,
                            u"Text5"_s,    u"Text6"_s,    u"Text8"_s,    u"List1"_s,  u"Command1"_s,
                            u"Command2"_s, u"Check1"_s,   u"Check2"_s,   u"Check3"_s, u"Check4"_s,
                            u"Check5"_s,   u"Command3"_s, u"Command4"_s, u"Text9"_s};
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, order);
}

void TestMainWindow::selectOnFocus_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("from"); // the box before it in the focus order; empty: a click
    QTest::addColumn<bool>("backwards");

    QTest::newRow("Text1 by backtab") << u"Text1"_s << u"Text2"_s << true;
    const QStringList tabbed{u"Text1"_s, u"Text2"_s, u"Text3"_s, u"Text7"_s,
                             u"Text4"_s, u"Text5"_s, u"Text6"_s, u"Text8"_s};
    for (qsizetype i = 1; i < tabbed.size(); ++i) {
        QTest::newRow(qPrintable(tabbed[i] + u" by tab"_s)) << tabbed[i] << tabbed[i - 1] << false;
    }
    for (const QString &box : tabbed) {
        QTest::newRow(qPrintable(box + u" by click"_s)) << box << QString() << false;
    }
}

void TestMainWindow::selectOnFocus()
{
    QFETCH(QString, box);
    QFETCH(QString, from);
    QFETCH(bool, backwards);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    auto *target = child<QWidget>(*window, box);
    QVERIFY(target);
    if (auto *line = qobject_cast<QLineEdit *>(target)) {
        line->setText(u"Two words"_s);
    } else {
        qobject_cast<QPlainTextEdit *>(target)->setPlainText(u"First line\nsecond line"_s);
    }

    if (from.isEmpty()) {
        list(*window)->setFocus();
        QWidget *surface = clickTarget(target);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(surface->width() / 3, 8));
    } else {
        child<QWidget>(*window, from)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), target);
    QVERIFY(wholeTextSelected(target));

    QTest::keyClick(target, Qt::Key_X);
    QCOMPARE(boxText(*window, box), u"x"_s);
}

void TestMainWindow::text9KeepsClickCaret()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    auto *thanks = child<QLineEdit>(*window, u"Text9"_s);
    list(*window)->setFocus();
    QTest::mouseClick(thanks, Qt::LeftButton, {}, QPoint(20, thanks->height() / 2));
    QCOMPARE(QApplication::focusWidget(), thanks);
    QVERIFY(!anythingSelected(thanks));
}

void TestMainWindow::multiLineBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("next");

    QTest::newRow("Text3") << u"Text3"_s << int(TextField::Description) << u"Text7"_s;
    QTest::newRow("Text7") << u"Text7"_s << int(TextField::Condition) << u"Text4"_s;
    QTest::newRow("Text6") << u"Text6"_s << int(TextField::Shipping) << u"Text8"_s;
    QTest::newRow("Text8") << u"Text8"_s << int(TextField::Payment) << u"List1"_s;
}

void TestMainWindow::multiLineBoxes()
{
    QFETCH(QString, box);
    QFETCH(int, field);
    QFETCH(QString, next);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    auto *edit = child<QPlainTextEdit>(*window, box);
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(edit, u"one"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, u"two"_s);
    QTest::keyClick(edit, Qt::Key_Tab);

    QCOMPARE(window->session().settings.text(TextField(field)), u"one\r\ntwo"_s);
    QCOMPARE(QApplication::focusWidget()->objectName(), next);
    QVERIFY(edit->wordWrapMode() != QTextOption::NoWrap);
}

void TestMainWindow::multiLineTextKeepsItsCharacters()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    // Shown as two lines, held as CR LF; a no-break space and a tab stay what they are.
    child<QPlainTextEdit>(*window, u"Text6"_s)->setPlainText(u"a\u00a0b\tc\nd"_s);
    QCOMPARE(window->session().settings.text(TextField::Shipping), u"a\u00a0b\tc\r\nd"_s);
    // Texts from the settings come back into the box line by line.
    QCOMPARE(child<QPlainTextEdit>(*window, u"Text8"_s)->document()->blockCount(),
             int(window->session().settings.text(TextField::Payment).count(u"\r\n"_s)) + 1);
}

void TestMainWindow::orderAndSwitches_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expectedRows");
    QTest::addColumn<int>("expectedSelection");
    QTest::addColumn<QStringList>("expectedSwitches");

    const QString T = u"Title"_s, NR = u"No Reserve"_s, D = u"Description"_s, C = u"Condition"_s,
                  P = u"Payment"_s, S = u"Shipping"_s, TY = u"Thank You"_s;
    const QStringList all = AllSwitches;
    const auto without = [&all](const QString &name) {
        QStringList on = all;
        on.removeOne(name);
        return on;
    };

    QTest::newRow("Payment off") << QStringList{u"off Check4"_s} << QStringList{T, NR, D, C, S, TY}
                                 << -1 << without(u"Check4"_s);
    QTest::newRow("Payment off and on comes back last")
        << QStringList{u"off Check4"_s, u"on Check4"_s} << QStringList{T, NR, D, C, S, TY, P} << -1
        << all;
    QTest::newRow("Check2 removes Shipping")
        << QStringList{u"off Check2"_s} << QStringList{T, NR, D, C, P, TY} << -1
        << without(u"Check2"_s);
    QTest::newRow("Condition off and on moves it last")
        << QStringList{u"off Check3"_s, u"on Check3"_s} << QStringList{T, NR, D, P, S, TY, C} << -1
        << all;
    QTest::newRow("all off leaves Title and Description")
        << QStringList{u"off Check1"_s, u"off Check2"_s, u"off Check3"_s, u"off Check4"_s,
                       u"off Check5"_s}
        << QStringList{T, D} << -1 << QStringList();
    QTest::newRow("Description up twice") << QStringList{u"select 2"_s, u"up"_s, u"up"_s}
                                          << QStringList{D, T, NR, C, P, S, TY} << 0 << all;
    QTest::newRow("Description up three times")
        << QStringList{u"select 2"_s, u"up"_s, u"up"_s, u"up"_s}
        << QStringList{D, T, NR, C, P, S, TY} << 0 << all;
    QTest::newRow("up on the first row")
        << QStringList{u"select 0"_s, u"up"_s} << FirstRunOrder << 0 << all;
    QTest::newRow("down on the last row")
        << QStringList{u"select 6"_s, u"down"_s} << FirstRunOrder << 6 << all;
    QTest::newRow("up with nothing selected") << QStringList{u"up"_s} << FirstRunOrder << -1 << all;
    QTest::newRow("down with nothing selected")
        << QStringList{u"down"_s} << FirstRunOrder << -1 << all;
    QTest::newRow("menu up and down act like the buttons")
        << QStringList{u"select 3"_s, u"menu up"_s, u"menu down"_s, u"menu down"_s}
        << QStringList{T, NR, D, P, C, S, TY} << 4 << all;
    QTest::newRow("Title below every other section")
        << QStringList{u"select 0"_s, u"down"_s, u"down"_s, u"down"_s,
                       u"down"_s,     u"down"_s, u"down"_s, u"down"_s}
        << QStringList{NR, D, C, P, S, TY, T} << 6 << all;
    QTest::newRow("selected section switched off")
        << QStringList{u"select 4"_s, u"off Check4"_s, u"up"_s} << QStringList{T, NR, D, C, S, TY}
        << -1 << without(u"Check4"_s);
    QTest::newRow("section above the selection switched off")
        << QStringList{u"select 5"_s, u"off Check1"_s} << QStringList{T, D, C, P, S, TY} << 4
        << without(u"Check1"_s);
    QTest::newRow("section below the selection switched off")
        << QStringList{u"select 2"_s, u"off Check5"_s} << QStringList{T, NR, D, C, P, S} << 2
        << without(u"Check5"_s);
    QTest::newRow("switching on keeps the selection")
        << QStringList{u"off Check1"_s, u"select 1"_s, u"on Check1"_s}
        << QStringList{T, D, C, P, S, TY, NR} << 1 << all;
}

void TestMainWindow::orderAndSwitches()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expectedRows);
    QFETCH(int, expectedSelection);
    QFETCH(QStringList, expectedSwitches);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    for (const QString &step : steps) {
        const QStringList words = step.split(u' ');
        if (words[0] == u"select"_s) {
            clickRow(*window, words[1].toInt());
        } else if (step == u"up"_s || step == u"down"_s) {
            QTest::mouseClick(
                child<QPushButton>(*window, step == u"up"_s ? u"Command1"_s : u"Command2"_s),
                Qt::LeftButton);
        } else if (words[0] == u"menu"_s) {
            action(*window, words[1] == u"up"_s ? u"OrderUp"_s : u"OrderDown"_s)->trigger();
        } else {
            auto *box = child<QCheckBox>(*window, words[1]);
            QCOMPARE(box->isChecked(), words[0] == u"off"_s);
            QTest::mouseClick(box, Qt::LeftButton);
        }
    }
    QCOMPARE(rows(*window), expectedRows);
    QCOMPARE(window->session().settings.sectionOrder(), expectedRows);
    QCOMPARE(selectedRow(*window), expectedSelection);
    QCOMPARE(switchesOn(*window), expectedSwitches);
}

void TestMainWindow::rightPressOpensOrderMenu_data()
{
    QTest::addColumn<bool>("belowLastRow");
    QTest::newRow("over a row") << false;
    QTest::newRow("below the last row") << true;
}

void TestMainWindow::rightPressOpensOrderMenu()
{
    QFETCH(bool, belowLastRow);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    QListWidget *l = list(*window);
    // Fewer rows leave empty space at the bottom of the list.
    for (const QString &name : {u"Check3"_s, u"Check4"_s, u"Check5"_s}) {
        QTest::mouseClick(child<QCheckBox>(*window, name), Qt::LeftButton);
    }
    const QStringList before = rows(*window); // Title, No Reserve, Description, Shipping
    clickRow(*window, 1);

    const QPoint at = belowLastRow ? QPoint(10, l->viewport()->height() - 3)
                                   : l->visualItemRect(l->item(3)).center();
    QVERIFY(!belowLastRow || !l->itemAt(at));
    QTest::mousePress(l->viewport(), Qt::RightButton, {}, at);
    auto *menu = child<QMenu>(*window, u"Order"_s);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), l->viewport()->mapToGlobal(at));
    QTest::mouseRelease(l->viewport(), Qt::RightButton, {}, at);
    QVERIFY(menu->isVisible());
    QCOMPARE(selectedRow(*window), 1);
    QCOMPARE(l->currentRow(), 1);

    QAction *down = action(*window, u"OrderDown"_s);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(down).center());
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(rows(*window), (QStringList{before[0], before[2], before[1], before[3]}));
    QCOMPARE(selectedRow(*window), 2);
}

void TestMainWindow::otherPressesOpenNothing()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    QListWidget *l = list(*window);
    auto *menu = child<QMenu>(*window, u"Order"_s);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        QTest::mousePress(l->viewport(), button, {}, l->visualItemRect(l->item(2)).center());
        QTest::mouseRelease(l->viewport(), button, {}, l->visualItemRect(l->item(2)).center());
        QVERIFY(!menu->isVisible());
    }
}

void TestMainWindow::createListingWritesChosenFile_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("button") << u"Command4"_s;
    QTest::newRow("menu item") << u"createlisting"_s;
}

void TestMainWindow::createListingWritesChosenFile()
{
    QFETCH(QString, trigger);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    QTest::keyClicks(child<QLineEdit>(*window, u"Text1"_s), u"  Vintage 1.5L Bottle: NEW! "_s);
    m_saveAnswer = inFolder(u"bottle.txt"_s);

    if (auto *button = child<QPushButton>(*window, trigger)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        action(*window, trigger)->trigger();
    }

    QCOMPARE(m_saveRequests.size(), 1);
    const SaveRequest &request = m_saveRequests.constFirst();
    QCOMPARE(request.filter, u"Text Template (*.txt)"_s);
    QCOMPARE(request.defaultSuffix, u"txt"_s);
    QCOMPARE(request.folder, QDir(folder()).absolutePath());
    QVERIFY(!request.folder.endsWith(u'/'));
    QCOMPARE(request.proposedName, u"Vintage 15L Bottle NEW"_s);

    QCOMPARE(window->session().outputPath, *m_saveAnswer);
    const QByteArray page = fileBytes(*m_saveAnswer);
    QCOMPARE(page, renderPage(window->session().settings));
    QVERIFY(page.contains("\r\nVintage 1.5L Bottle: NEW!\r\n"));
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(m_opened, QStringList());
}

void TestMainWindow::proposedName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("empty title") << QString() << QString();
    QTest::newRow("nothing allowed") << u"!!!...:"_s << QString();
    QTest::newRow("outer spaces trimmed, inner kept") << u"  Blue  Vase  "_s << u"Blue  Vase"_s;
    QTest::newRow("accented letter dropped") << u"Café Table"_s << u"Caf Table"_s;
    QTest::newRow("trimmed before filtering") << u" .Lamp. "_s << u"Lamp"_s;
}

void TestMainWindow::proposedName()
{
    QFETCH(QString, title);
    QFETCH(QString, proposed);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    child<QLineEdit>(*window, u"Text1"_s)->setText(title);
    const auto before = folderContents(folder());
    action(*window, u"createlisting"_s)->trigger();
    QCOMPARE(m_saveRequests.size(), 1);
    QCOMPARE(m_saveRequests.constFirst().proposedName, proposed);
    // Cancelled: nothing is written.
    QCOMPARE(folderContents(folder()), before);
    QCOMPARE(window->session().outputPath, QString());
}

void TestMainWindow::cancelKeepsOutputPath()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    const QString earlier = inFolder(u"first.txt"_s);
    m_saveAnswer = earlier;
    action(*window, u"createlisting"_s)->trigger();
    const QByteArray earlierPage = fileBytes(earlier);
    QVERIFY(!earlierPage.isEmpty());

    child<QLineEdit>(*window, u"Text1"_s)->setText(u"Changed since"_s);
    m_saveAnswer.reset();
    action(*window, u"createlisting"_s)->trigger();
    QCOMPARE(window->session().outputPath, earlier);
    QCOMPARE(fileBytes(earlier), earlierPage);

    action(*window, u"Previewlisting"_s)->trigger();
    QCOMPARE(window->session().outputPath, inFolder(u"preview.html"_s));
    QVERIFY(fileBytes(inFolder(u"preview.html"_s)).contains("Changed since"));
}

void TestMainWindow::previewWritesAndOpens_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("button") << u"Command3"_s;
    QTest::newRow("menu item") << u"Previewlisting"_s;
}

void TestMainWindow::previewWritesAndOpens()
{
    QFETCH(QString, trigger);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    const auto run = [&] {
        if (auto *button = child<QPushButton>(*window, trigger)) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            action(*window, trigger)->trigger();
        }
    };
    const QString preview = inFolder(u"preview.html"_s);
    child<QLineEdit>(*window, u"Text1"_s)->setText(u"First look"_s);
    run();
    QCOMPARE(m_opened, QStringList{preview});
    QCOMPARE(window->session().outputPath, preview);
    QCOMPARE(fileBytes(preview), renderPage(window->session().settings));

    child<QLineEdit>(*window, u"Text1"_s)->setText(u"Second look"_s);
    run();
    QCOMPARE(m_opened, (QStringList{preview, preview}));
    const QByteArray second = fileBytes(preview);
    QVERIFY(second.contains("Second look"));
    QVERIFY(!second.contains("First look"));
    QCOMPARE(m_saveRequests.size(), 0);
    QCOMPARE(m_messages, QStringList());
}

void TestMainWindow::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("path"); // in the program folder

    QTest::newRow("listing into a missing folder") << u"createlisting"_s << u"gone/listing.txt"_s;
    QTest::newRow("listing under a file") << u"createlisting"_s << u"ebayid.dat/listing.txt"_s;
    QTest::newRow("listing onto a folder") << u"createlisting"_s << u"afolder"_s;
    QTest::newRow("preview onto a folder") << u"Previewlisting"_s << u"preview.html"_s;
}

void TestMainWindow::failedWriteIsReported()
{
    QFETCH(QString, command);
    QFETCH(QString, path);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(QDir(folder()).mkdir(u"afolder"_s));
    QVERIFY(QDir(folder()).mkdir(u"preview.html"_s));
    m_saveAnswer = inFolder(path);

    action(*window, command)->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains(QDir::toNativeSeparators(inFolder(path))),
             qPrintable(m_messages[0]));
    QCOMPARE(m_opened, QStringList());
    QCOMPARE(window->session().outputPath, inFolder(path));
    QVERIFY(!QFileInfo(inFolder(path)).isFile());
}

void TestMainWindow::closingSaves_data()
{
    QTest::addColumn<bool>("byQuit");
    QTest::newRow("File > Quit") << true;
    QTest::newRow("close box") << false;
}

void TestMainWindow::closingSaves()
{
    QFETCH(bool, byQuit);

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    QTest::keyClick(child<QLineEdit>(*window, u"Text4"_s), Qt::Key_End);
    QTest::keyClicks(child<QLineEdit>(*window, u"Text4"_s), u"-7"_s);
    QCOMPARE(fileBytes(inFolder(u"prefs.dat"_s)).size(), 0);
    if (byQuit) {
        action(*window, u"Quit"_s)->trigger();
    } else {
        QVERIFY(window->close());
    }
    QVERIFY(!window->isVisible());
    QCOMPARE(fileBytes(inFolder(u"ebayid.dat"_s)), QByteArray("Your seller ID-7\r\n"));
    const QByteArray prefs = fileBytes(inFolder(u"prefs.dat"_s));
    QCOMPARE(prefs.size(), 210);
    QVERIFY(prefs.startsWith("Title       No Reserve  Description Condition   Payment     "));
    QCOMPARE(m_messages, QStringList());
}

void TestMainWindow::savingHappensOnce()
{
    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QVERIFY(show(*window));
    QVERIFY(window->close());
    QVERIFY(QFile::remove(inFolder(u"prefs.dat"_s)));
    // A second close request, as a session manager and a signal arriving together give.
    QCloseEvent again;
    QApplication::sendEvent(window.get(), &again);
    QVERIFY(again.isAccepted());
    QVERIFY(!QFile::exists(inFolder(u"prefs.dat"_s)));
}

void TestMainWindow::secondStartRestores()
{
    {
        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        QVERIFY(show(*window));
        child<QLineEdit>(*window, u"Text1"_s)->setText(u"Not kept"_s);
        child<QLineEdit>(*window, u"Text2"_s)->setText(u"Not kept"_s);
        child<QPlainTextEdit>(*window, u"Text3"_s)->setPlainText(u"Not kept"_s);
        child<QPlainTextEdit>(*window, u"Text7"_s)->setPlainText(u"Not kept"_s);
        child<QLineEdit>(*window, u"Text4"_s)->setText(u"ID 12345"_s);
        child<QLineEdit>(*window, u"Text5"_s)->setText(u"Starts at one penny"_s);
        child<QLineEdit>(*window, u"Text9"_s)->setText(u"Thanks!"_s);
        child<QPlainTextEdit>(*window, u"Text6"_s)->setPlainText(u"Ship\nfast"_s);
        child<QPlainTextEdit>(*window, u"Text8"_s)->setPlainText(u"Pay now"_s);
        // Title, Description, Condition, Shipping, Thank You; then Description to the top and
        // No Reserve back at the end.
        QTest::mouseClick(child<QCheckBox>(*window, u"Check4"_s), Qt::LeftButton);
        QTest::mouseClick(child<QCheckBox>(*window, u"Check1"_s), Qt::LeftButton);
        clickRow(*window, 1);
        QTest::mouseClick(child<QPushButton>(*window, u"Command1"_s), Qt::LeftButton);
        QTest::mouseClick(child<QCheckBox>(*window, u"Check1"_s), Qt::LeftButton);
        for (const QString &item : {u"foldertab"_s, u"headercenter"_s, u"fontcourier"_s,
                                    u"titlsize7"_s, u"hedrsize2"_s, u"desccent"_s, u"pmntleft"_s}) {
            action(*window, item)->trigger();
        }
        QVERIFY(window->close());
    }

    std::unique_ptr<MainWindow> window = loadedWindow();
    QVERIFY(window);
    QCOMPARE(rows(*window), (QStringList{u"Description"_s, u"Title"_s, u"Condition"_s,
                                         u"Shipping"_s, u"Thank You"_s, u"No Reserve"_s}));
    QCOMPARE(switchesOn(*window),
             (QStringList{u"Check1"_s, u"Check2"_s, u"Check3"_s, u"Check5"_s}));
    // Groups never chosen come back at the program's fallback sizes and left-justified.
    QCOMPARE(checkedStyleItems(*window),
             sorted({u"foldertab"_s, u"headercenter"_s, u"fontcourier"_s, u"titlsize7"_s,
                     u"descsize3"_s, u"condsize3"_s, u"thnksize4"_s, u"shipsize3"_s, u"pmntsize3"_s,
                     u"rsrvsize3"_s, u"hedrsize2"_s, u"titlleft"_s, u"rsrvleft"_s, u"desccent"_s,
                     u"condleft"_s, u"thnkleft"_s, u"shipleft"_s, u"pmntleft"_s}));
    QCOMPARE(boxText(*window, u"Text4"_s), u"ID 12345"_s);
    QCOMPARE(boxText(*window, u"Text5"_s), u"Starts at one penny"_s);
    QCOMPARE(boxText(*window, u"Text9"_s), u"Thanks!"_s);
    QCOMPARE(boxText(*window, u"Text6"_s), u"Ship\nfast"_s);
    QCOMPARE(window->session().settings.text(TextField::Shipping), u"Ship\r\nfast"_s);
    QCOMPARE(boxText(*window, u"Text8"_s), u"Pay now"_s);
    for (const QString &box : {u"Text1"_s, u"Text2"_s, u"Text3"_s, u"Text7"_s}) {
        QVERIFY2(boxText(*window, box).isEmpty(), qPrintable(box));
    }
}

void TestMainWindow::startUpFailsOnMissingTextFile()
{
    QVERIFY(QFile::remove(inFolder(u"thankyou.dat"_s)));
    const auto before = folderContents(folder());

    MainWindow window;
    const std::optional<FileError> error = window.load(folder());
    QVERIFY(error);
    QCOMPARE(error->fileName, u"thankyou.dat"_s);
    QVERIFY(window.close());
    QCOMPARE(folderContents(folder()), before);
}

void TestMainWindow::programReportsStartUpFailure_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("emptyInstead");

    for (const QString &file : {u"NoReserve.dat"_s, u"ebayid.dat"_s, u"thankyou.dat"_s,
                                u"shipping.dat"_s, u"payment.dat"_s}) {
        QTest::newRow(qPrintable(u"missing "_s + file)) << file << false;
    }
    QTest::newRow("empty shipping.dat") << u"shipping.dat"_s << true;
}

void TestMainWindow::programReportsStartUpFailure()
{
    QFETCH(QString, file);
    QFETCH(bool, emptyInstead);

    if (emptyInstead) {
        QFile f(inFolder(file));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else {
        QVERIFY(QFile::remove(inFolder(file)));
    }
    const auto before = folderContents(folder());

    bool shown = false;
    const int status = runProgram(folder(), [&shown](MainWindow &) { shown = true; });
    QVERIFY(status != 0);
    QVERIFY(!shown);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains(file), qPrintable(m_messages[0]));
    QVERIFY2(m_messages[0].contains(QDir::toNativeSeparators(folder())), qPrintable(m_messages[0]));
    QCOMPARE(folderContents(folder()), before);
}

void TestMainWindow::programSavesOnEveryWayOut_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("close box") << u"close"_s;
    QTest::newRow("File > Quit") << u"quit"_s;
#ifdef Q_OS_UNIX
    QTest::newRow("SIGTERM") << u"SIGTERM"_s;
    QTest::newRow("SIGINT") << u"SIGINT"_s;
#endif
}

void TestMainWindow::programSavesOnEveryWayOut()
{
    QFETCH(QString, way);

    const int status = runProgram(folder(), [&way](MainWindow &window) {
        child<QLineEdit>(window, u"Text4"_s)->setText(u"Saved on the way out"_s);
        if (way == u"close"_s) {
            QTimer::singleShot(0, &window, &QWidget::close);
        } else if (way == u"quit"_s) {
            QTimer::singleShot(0, action(window, u"Quit"_s), &QAction::trigger);
        }
#ifdef Q_OS_UNIX
        else {
            std::raise(way == u"SIGTERM"_s ? SIGTERM : SIGINT);
        }
#endif
    });
    QCOMPARE(status, 0);
    QCOMPARE(fileBytes(inFolder(u"ebayid.dat"_s)), QByteArray("Saved on the way out\r\n"));
    QCOMPARE(fileBytes(inFolder(u"prefs.dat"_s)).size(), 210);
    QCOMPARE(m_messages, QStringList());
}

void TestMainWindow::programReportsFailedSave()
{
    const int status = runProgram(folder(), [this](MainWindow &window) {
        // "prefs.dat" cannot be replaced by a file while a folder holds its name.
        QFile::remove(inFolder(u"prefs.dat"_s));
        QDir(folder()).mkdir(u"prefs.dat"_s);
        QTimer::singleShot(0, &window, &QWidget::close);
    });
    QVERIFY(status != 0);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].contains(u"prefs.dat"_s), qPrintable(m_messages[0]));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
