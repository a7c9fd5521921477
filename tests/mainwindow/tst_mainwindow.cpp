#include "../testsupport.h"
#include "mainwindow.h"
#include "pagewriter.h"
#include "program.h"
#include "seams.h"

#include <QAbstractButton>
#include <QAction>
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
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QStringList FirstRunOrder = names("Title|No Reserve|Description|Condition|Payment|"
                                        "Shipping|Thank You");
const QStringList WindowMarks = names("HeaderSolid|Headerleft|fontarial");
const QStringList AllSwitches = names("Check1|Check2|Check3|Check4|Check5");

template<class T = QWidget> T *child(const QWidget &window, const QString &name)
{
    return window.findChild<T *>(name);
}

QListWidget *list(const QWidget &window)
{
    return child<QListWidget>(window, u"List1"_s);
}

// A button or check box is clicked with the mouse; anything else is a menu item.
void use(const QWidget &window, const QString &name)
{
    if (auto *button = child<QAbstractButton>(window, name)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        child<QAction>(window, name)->trigger();
    }
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

void clickRow(QWidget &window, int row)
{
    QListWidget *l = list(window);
    l->scrollToItem(l->item(row));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
}

QStringList checkedStyleItems(const QWidget &window)
{
    QStringList checked;
    for (const QAction *a : window.findChildren<QAction *>()) {
        if (a->isCheckable() && a->isChecked()) {
            checked.append(a->objectName());
        }
    }
    checked.sort();
    return checked;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList switchesOn(const QWidget &window)
{
    QStringList on;
    for (const QString &name : AllSwitches) {
        if (child<QAbstractButton>(window, name)->isChecked()) {
            on.append(name);
        }
    }
    return on;
}

QString boxText(const QWidget &window, const QString &name)
{
    if (auto *line = child<QLineEdit>(window, name)) {
        return line->text();
    }
    return child<QPlainTextEdit>(window, name)->toPlainText();
}

void setBoxText(const QWidget &window, const QString &name, const QString &text)
{
    if (auto *line = child<QLineEdit>(window, name)) {
        line->setText(text);
    } else {
        child<QPlainTextEdit>(window, name)->setPlainText(text);
    }
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

// "caption [control]" a line, indented by two blanks per level of submenu.
QByteArray menuTree(const QList<QAction *> &actions, int depth = 0)
{
    QByteArray tree;
    for (const QAction *a : actions) {
        const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
        tree += QByteArray(2 * depth, ' ') + (a->isSeparator() ? u"-"_s : a->text()).toUtf8() +
                " [" + name.toUtf8() + "]\n";
        if (a->menu()) {
            tree += menuTree(a->menu()->actions(), depth + 1);
        }
    }
    return tree;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every entry of a folder with its bytes, to show that nothing was written.
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

private:
    QString folder() const { return m_folder->path(); }
    QString inFolder(const QString &name) const { return m_folder->filePath(name); }

    std::unique_ptr<MainWindow> loadedWindow(bool shown = true)
    {
        auto window = std::make_unique<MainWindow>();
        if (const std::optional<FileError> error = window->load(folder())) {
            qWarning("%s", qPrintable(error->message()));
            return nullptr;
        }
        if (shown) {
            window->show();
            if (!QTest::qWaitForWindowActive(window.get())) {
                return nullptr;
            }
        }
        return window;
    }

    std::optional<QTemporaryDir> m_folder;
    std::optional<QString> m_saveAnswer; // none: the seller cancels
    QList<SaveRequest> m_saveRequests;
    QStringList m_messages;
    QStringList m_opened;

private slots:
    void init()
    {
        // A first start in a program folder of its own, with the shipped files.
        m_folder.emplace();
        QVERIFY(m_folder->isValid());
        const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
        for (const QString &name : defaults.entryList({u"*.dat"_s}, QDir::Files)) {
            QVERIFY(QFile::copy(defaults.filePath(name), inFolder(name)));
        }
        QVERIFY(QFile::exists(inFolder(u"thankyou.dat"_s)));
        QFile::remove(inFolder(u"prefs.dat"_s));

        m_saveAnswer.reset();
        m_saveRequests.clear();
        m_messages.clear();
        m_opened.clear();
        SaveDialog::setTestHook([this](const SaveRequest &request) {
            m_saveRequests.append(request);
            return m_saveAnswer;
        });
        MessageBox::setTestHook([this](QMessageBox &box) { m_messages.append(box.text()); });
        Browser::setTestHook([this](const QString &path) { m_opened.append(path); });
    }

    void cleanup()
    {
        SaveDialog::setTestHook({});
        MessageBox::setTestHook({});
        Browser::setTestHook({});
        m_folder.reset();
    }

    void windowFrame()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.objectName(), u"Form1"_s);
        QCOMPARE(window.windowTitle(), u"Tavrin - Brisken"_s);
        QCOMPARE(window.centralWidget()->size(), QSize(630, 400));
        QCOMPARE(window.height(), 400 + window.menuBar()->height());
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(QApplication::focusWidget(), child(window, u"Text1"_s));
    }

    // The menu bar and the popup, every item with its caption and control name, against a
    // hand-written tree; no item has a shortcut or is disabled.
    void menus()
    {
        MainWindow window;
        auto *order = child<QMenu>(window, u"Order"_s);
        QVERIFY(!window.menuBar()->actions().contains(order->menuAction()));
        const QByteArray tree =
            menuTree(window.menuBar()->actions()) + menuTree({order->menuAction()});
        QCOMPARE(tree, golden(u"mainwindow/menus.txt"_s));
        for (const QAction *a : window.findChildren<QAction *>()) {
            QVERIFY2(a->shortcut().isEmpty() && a->isEnabled(), qPrintable(a->objectName()));
        }
    }

    void stateBeforeAndAfterFirstStart()
    {
        MainWindow window;
        QCOMPARE(checkedStyleItems(window), sorted(WindowMarks));
        QCOMPARE(switchesOn(window), QStringList());
        QCOMPARE(rows(window), QStringList());
        QCOMPARE(child<QAbstractButton>(window, u"Check2"_s)->text(), u"Shipping && Handling"_s);
        QCOMPARE(boxText(window, u"Text9"_s), u"Text9"_s);
        QCOMPARE(window.session().settings.text(TextField::ThankYou), u"Text9"_s);

        QVERIFY(!window.load(folder()));
        QCOMPARE(rows(window), FirstRunOrder);
        QCOMPARE(switchesOn(window), AllSwitches);
        QCOMPARE(checkedStyleItems(window), sorted(WindowMarks));
        QCOMPARE(boxText(window, u"Text9"_s), u"Thank you for looking, and happy bidding!"_s);
        QCOMPARE(boxText(window, u"Text4"_s), u"Your seller ID"_s);
        QVERIFY(boxText(window, u"Text1"_s).isEmpty());
    }

    // Each menu item chooses its own item, and only in its own group; choosing it again keeps
    // the mark; the marks are always the settings' (whose groups the model's tests pin down).
    // The second pass starts with every group marked, so that a mark lost elsewhere shows.
    void styleItemsDriveTheSettings()
    {
        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        const ListingSettings &settings = window->session().settings;
        for (int pass = 0; pass < 2; ++pass) {
            for (const StyleItem &item : styleItems()) {
                QStringList expected = markedItems(settings);
                expected.removeIf([&item](const QString &name) {
                    return findStyleItem(name)->group == item.group;
                });
                expected.append(item.name);
                for (int twice = 0; twice < 2; ++twice) {
                    use(*window, item.name);
                    QCOMPARE(sorted(markedItems(settings)), sorted(expected));
                    QCOMPARE(checkedStyleItems(*window), sorted(expected));
                }
            }
        }
    }

    void styleChoiceShowsInNextPreview()
    {
        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        use(*window, u"fontcomic"_s);
        use(*window, u"titlsize7"_s);
        use(*window, u"Previewlisting"_s);
        const QByteArray page = fileBytes(inFolder(u"preview.html"_s));
        QVERIFY(page.contains(R"(size="7" face="Comic Sans MS, cursive")"));
        QVERIFY(!page.contains("Arial, Helvetica,sans-serif"));
    }

    void mainTitleLimit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");

        const QString a54(54, u'a');
        QTest::newRow("56th typed") << a54 + u"bc"_s << QString() << a54 + u'b';
        QTest::newRow("60 pasted") << QString() << a54 + u"bcdefg"_s << a54 + u'b';
        QTest::newRow("pasted after 54 typed") << a54 << u"xyz"_s << a54 + u'x';
        QTest::newRow("pasted into a full box") << a54 + u'b' << u"xyz"_s << a54 + u'b';
        // Characters, not UTF-16 units: an emoji counts once and is never cut in half.
        QTest::newRow("emoji as the 55th character")
            << a54 << u"\U0001F600\U0001F601"_s << a54 + u"\U0001F600"_s;
        QTest::newRow("55 emoji fit") << QString() << QString(u"\U0001F600"_s).repeated(56)
                                      << QString(u"\U0001F600"_s).repeated(55);
    }

    void mainTitleLimit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        auto *title = child<QLineEdit>(*window, u"Text1"_s);
        QTest::keyClicks(title, typed);
        if (!pasted.isEmpty()) {
            QGuiApplication::clipboard()->setText(pasted);
            QTest::keySequence(title, QKeySequence::Paste);
        }
        QCOMPARE(title->text(), expected);
        QCOMPARE(window->session().settings.text(TextField::MainTitle), expected);
    }

    void focusOrder()
    {
        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 1; i < 19; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(visited, names("Text1|Text2|Text3|Text7|Text4|Text5|Text6|Text8|List1|"
                                "Command1|Command2|Check1|Check2|Check3|Check4|Check5|"
                                "Command3|Command4|Text9"));
    }

    void selectOnFocus_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("from"); // the box before it in the focus order; none: a click
        QTest::addColumn<bool>("selects");

        QTest::newRow("Text1 by backtab") << u"Text1"_s << u"Text2"_s << true;
        const QStringList boxes = names("Text1|Text2|Text3|Text7|Text4|Text5|Text6|Text8");
        for (qsizetype i = 1; i < boxes.size(); ++i) {
            QTest::newRow(qPrintable(boxes[i] + u" by tab"_s)) << boxes[i] << boxes[i - 1] << true;
        }
        for (const QString &box : boxes) {
            QTest::newRow(qPrintable(box + u" by click"_s)) << box << QString() << true;
        }
        QTest::newRow("Text9 by click") << u"Text9"_s << QString() << false;
    }

    void selectOnFocus()
    {
        QFETCH(QString, box);
        QFETCH(QString, from);
        QFETCH(bool, selects);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        QWidget *target = child(*window, box);
        setBoxText(*window, box, u"First line\nsecond line"_s);
        if (from.isEmpty()) {
            list(*window)->setFocus();
            auto *multi = qobject_cast<QPlainTextEdit *>(target);
            QWidget *surface = multi ? multi->viewport() : target;
            QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(surface->width() / 3, 8));
        } else {
            child(*window, from)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), from == u"Text2"_s && box == u"Text1"_s
                                                             ? Qt::Key_Backtab
                                                             : Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), target);
        QCOMPARE(wholeTextSelected(target), selects);

        QTest::keyClick(target, Qt::Key_X);
        QCOMPARE(boxText(*window, box) == u"x"_s, selects);
    }

    void multiLineBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<TextField>("field");

        QTest::newRow("Text3") << u"Text3"_s << TextField::Description;
        QTest::newRow("Text7") << u"Text7"_s << TextField::Condition;
        QTest::newRow("Text6") << u"Text6"_s << TextField::Shipping;
        QTest::newRow("Text8") << u"Text8"_s << TextField::Payment;
    }

    // Enter makes a line break, held as CR LF in the box's own field.
    void multiLineBoxes()
    {
        QFETCH(QString, box);
        QFETCH(TextField, field);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        auto *edit = child<QPlainTextEdit>(*window, box);
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(edit, u"one"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, u"two"_s);
        QCOMPARE(window->session().settings.text(field), u"one\r\ntwo"_s);
    }

    // A lone LF from a data file stays a character of its line through an edit elsewhere,
    // and Shift+Enter makes the same line break as Enter.
    void loneLineFeedFromAFileSurvivesEditing()
    {
        writeFile(inFolder(u"shipping.dat"_s), "line a\nstill a\r\nline b\r\n");

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        const QString loaded = u"line a\nstill a\r\nline b"_s;
        QCOMPARE(window->session().settings.text(TextField::Shipping), loaded);
        auto *box = child<QPlainTextEdit>(*window, u"Text6"_s);
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_X);
        QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(box, Qt::Key_Y);
        QCOMPARE(window->session().settings.text(TextField::Shipping), loaded + u"x\r\ny"_s);
    }

    // Boxes other than the main title hold any length, as their files may.
    void longOneLineTextsAreKeptWhole()
    {
        writeFile(inFolder(u"ebayid.dat"_s), QByteArray(40000, 'i') + "\r\n");

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        auto *box = child<QLineEdit>(*window, u"Text4"_s);
        QCOMPARE(box->text().size(), 40000);
        box->setFocus();
        box->end(false);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(window->session().settings.text(TextField::AuctionId), QString(39999, u'i'));
    }

    void multiLineTextKeepsItsCharacters()
    {
        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        setBoxText(*window, u"Text6"_s, u"a\u00a0b\tc\nd"_s);
        QCOMPARE(window->session().settings.text(TextField::Shipping), u"a\u00a0b\tc\r\nd"_s);
        // The shipped payment text has two lines; the box shows them as two.
        QCOMPARE(child<QPlainTextEdit>(*window, u"Text8"_s)->document()->blockCount(), 2);
    }

    void orderAndSwitches_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expectedRows");
        QTest::addColumn<int>("expectedSelection");
        QTest::addColumn<QStringList>("expectedSwitches");

        const auto row = [](const char *name, const char *steps, const char *rows, int selection,
                            const char *switches) {
            QTest::newRow(name) << names(steps) << names(rows) << selection << names(switches);
        };
        // The model's tests hold the bounds and edge cases; these rows hold the controls: each
        // switch, button and menu item, and the list's selection.
        const char *all = "Check1|Check2|Check3|Check4|Check5";
        row("Payment off and back on comes last", "Check4|Check4",
            "Title|No Reserve|Description|Condition|Shipping|Thank You|Payment", -1, all);
        row("Check2 removes Shipping", "Check2",
            "Title|No Reserve|Description|Condition|Payment|Thank You", -1,
            "Check1|Check3|Check4|Check5");
        row("the other three switches", "Check1|Check3|Check5",
            "Title|Description|Payment|Shipping", -1, "Check2|Check4");
        row("Description up three times", "select 2|Command1|Command1|Command1",
            "Description|Title|No Reserve|Condition|Payment|Shipping|Thank You", 0, all);
        row("Title down", "select 0|Command2",
            "No Reserve|Title|Description|Condition|Payment|Shipping|Thank You", 1, all);
        row("moves with nothing selected", "Command1|Command2|OrderUp|OrderDown",
            "Title|No Reserve|Description|Condition|Payment|Shipping|Thank You", -1, all);
        row("menu items move like the buttons", "select 3|OrderUp|OrderDown|OrderDown",
            "Title|No Reserve|Description|Payment|Condition|Shipping|Thank You", 4, all);
        row("selected section switched off", "select 4|Check4|Command1",
            "Title|No Reserve|Description|Condition|Shipping|Thank You", -1,
            "Check1|Check2|Check3|Check5");
        row("section above the selection switched off", "select 5|Check1",
            "Title|Description|Condition|Payment|Shipping|Thank You", 4,
            "Check2|Check3|Check4|Check5");
        row("switching on keeps the selection", "Check1|select 1|Check1",
            "Title|Description|Condition|Payment|Shipping|Thank You|No Reserve", 1, all);
    }

    void orderAndSwitches()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expectedRows);
        QFETCH(int, expectedSelection);
        QFETCH(QStringList, expectedSwitches);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        for (const QString &step : steps) {
            if (step.startsWith(u"select "_s)) {
                clickRow(*window, step.mid(7).toInt());
            } else {
                use(*window, step);
            }
        }
        QCOMPARE(rows(*window), expectedRows);
        QCOMPARE(window->session().settings.sectionOrder(), expectedRows);
        QCOMPARE(selectedRow(*window), expectedSelection);
        QCOMPARE(switchesOn(*window), expectedSwitches);
    }

    void rightPressOpensOrderMenu_data()
    {
        QTest::addColumn<bool>("belowLastRow");
        QTest::newRow("over a row") << false;
        QTest::newRow("below the last row") << true;
    }

    void rightPressOpensOrderMenu()
    {
        QFETCH(bool, belowLastRow);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        QListWidget *l = list(*window);
        auto *menu = child<QMenu>(*window, u"Order"_s);
        for (const QString &name : names("Check3|Check4|Check5")) {
            use(*window, name); // leaves room below the last row
        }
        QCOMPARE(rows(*window), names("Title|No Reserve|Description|Shipping"));
        clickRow(*window, 1);
        for (Qt::MouseButton other : {Qt::LeftButton, Qt::MiddleButton}) {
            QTest::mousePress(l->viewport(), other, {}, {10, l->viewport()->height() - 3});
            QTest::mouseRelease(l->viewport(), other, {}, {10, l->viewport()->height() - 3});
            QVERIFY(!menu->isVisible());
        }
        clickRow(*window, 1);

        const QPoint at = belowLastRow ? QPoint(10, l->viewport()->height() - 3)
                                       : l->visualItemRect(l->item(3)).center();
        QCOMPARE(l->itemAt(at) == nullptr, belowLastRow);
        QTest::mousePress(l->viewport(), Qt::RightButton, {}, at);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), l->viewport()->mapToGlobal(at));
        QTest::mouseRelease(l->viewport(), Qt::RightButton, {}, at);
        QVERIFY(menu->isVisible());
        QCOMPARE(selectedRow(*window), 1);
        QCOMPARE(l->currentRow(), 1);

        const QRect down = menu->actionGeometry(child<QAction>(*window, u"OrderDown"_s));
        QTest::mouseClick(menu, Qt::LeftButton, {}, down.center());
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(rows(*window), names("Title|Description|No Reserve|Shipping"));
        QCOMPARE(selectedRow(*window), 2);
    }

    void createListingWritesChosenFile_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("button") << u"Command4"_s;
        QTest::newRow("menu item") << u"createlisting"_s;
    }

    void createListingWritesChosenFile()
    {
        QFETCH(QString, trigger);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        QTest::keyClicks(child(*window, u"Text1"_s), u"  Vintage 1.5L Bottle: NEW! "_s);
        m_saveAnswer = inFolder(u"bottle.txt"_s);
        use(*window, trigger);

        QCOMPARE(m_saveRequests.size(), 1);
        const SaveRequest &request = m_saveRequests.constFirst();
        QCOMPARE(request.filter, u"Text Template (*.txt)"_s);
        QCOMPARE(request.defaultSuffix, u"txt"_s);
        QCOMPARE(request.folder, folder()); // the folder as the system has it: no "/" added
        QCOMPARE(request.proposedName, u"Vintage 15L Bottle NEW"_s);

        QCOMPARE(window->session().outputPath, *m_saveAnswer);
        const QByteArray page = fileBytes(*m_saveAnswer);
        QCOMPARE(page, renderPage(window->session().settings));
        QVERIFY(page.contains("\r\nVintage 1.5L Bottle: NEW!\r\n"));
        QCOMPARE(m_messages, QStringList());
        QCOMPARE(m_opened, QStringList());
    }

    void proposedNameAndCancel_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("proposed");

        QTest::newRow("empty title") << QString() << QString();
        QTest::newRow("outer spaces trimmed, inner kept") << u"  Blue  Vase  "_s << u"Blue  Vase"_s;
        QTest::newRow("trimmed before filtering") << u" .Lamp. "_s << u"Lamp"_s;
    }

    void proposedNameAndCancel()
    {
        QFETCH(QString, title);
        QFETCH(QString, proposed);

        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        setBoxText(*window, u"Text1"_s, title);
        const auto before = folderContents(folder());
        use(*window, u"createlisting"_s);
        QCOMPARE(m_saveRequests.size(), 1);
        QCOMPARE(m_saveRequests.constFirst().proposedName, proposed);
        QCOMPARE(folderContents(folder()), before);
        QCOMPARE(window->session().outputPath, QString());
    }

    void cancelKeepsOutputPath()
    {
        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        const QString earlier = inFolder(u"first.txt"_s);
        m_saveAnswer = earlier;
        use(*window, u"createlisting"_s);
        const QByteArray earlierPage = fileBytes(earlier);
        QVERIFY(!earlierPage.isEmpty());

        setBoxText(*window, u"Text1"_s, u"Changed since"_s);
        m_saveAnswer.reset();
        use(*window, u"createlisting"_s);
        QCOMPARE(window->session().outputPath, earlier);
        QCOMPARE(fileBytes(earlier), earlierPage);

        use(*window, u"Previewlisting"_s);
        QCOMPARE(window->session().outputPath, inFolder(u"preview.html"_s));
        QVERIFY(fileBytes(inFolder(u"preview.html"_s)).contains("Changed since"));
    }

    void previewWritesAndOpens_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("button") << u"Command3"_s;
        QTest::newRow("menu item") << u"Previewlisting"_s;
    }

    void previewWritesAndOpens()
    {
        QFETCH(QString, trigger);

        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        const QString preview = inFolder(u"preview.html"_s);
        setBoxText(*window, u"Text1"_s, u"First look"_s);
        use(*window, trigger);
        QCOMPARE(m_opened, QStringList{preview});
        QCOMPARE(window->session().outputPath, preview);
        QCOMPARE(fileBytes(preview), renderPage(window->session().settings));

        setBoxText(*window, u"Text1"_s, u"Second look"_s);
        use(*window, trigger);
        QCOMPARE(m_opened, (QStringList{preview, preview}));
        QVERIFY(fileBytes(preview).contains("Second look"));
        QVERIFY(!fileBytes(preview).contains("First look"));
        QCOMPARE(m_saveRequests.size(), 0);
        QCOMPARE(m_messages, QStringList());
    }

    void failedWriteIsReported_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("path"); // in the program folder

        QTest::newRow("listing onto a folder") << u"createlisting"_s << u"afolder"_s;
        QTest::newRow("preview onto a folder") << u"Previewlisting"_s << u"preview.html"_s;
    }

    void failedWriteIsReported()
    {
        QFETCH(QString, command);
        QFETCH(QString, path);

        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        QVERIFY(QDir(folder()).mkdir(u"afolder"_s));
        QVERIFY(QDir(folder()).mkdir(u"preview.html"_s));
        m_saveAnswer = inFolder(path);

        use(*window, command);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(QDir::toNativeSeparators(inFolder(path))),
                 qPrintable(m_messages[0]));
        QCOMPARE(m_opened, QStringList()); // no stale preview in the browser
        QCOMPARE(window->session().outputPath, inFolder(path));
        QVERIFY(!QFileInfo(inFolder(path)).isFile());
    }

    void savingHappensOnce()
    {
        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        QVERIFY(window->close());
        QCOMPARE(fileBytes(inFolder(u"prefs.dat"_s)).size(), 210);
        QVERIFY(QFile::remove(inFolder(u"prefs.dat"_s)));
        // A second request to close, as a logout and a signal arriving together give.
        QCloseEvent again;
        QApplication::sendEvent(window.get(), &again);
        QVERIFY(again.isAccepted());
        QVERIFY(!QFile::exists(inFolder(u"prefs.dat"_s)));
    }

    void secondStartRestores()
    {
        {
            std::unique_ptr<MainWindow> window = loadedWindow();
            QVERIFY(window);
            for (const QString &box : names("Text1|Text2|Text3|Text7")) {
                setBoxText(*window, box, u"Not kept"_s);
            }
            setBoxText(*window, u"Text4"_s, u"ID 12345"_s);
            setBoxText(*window, u"Text5"_s, u"Starts at one penny"_s);
            setBoxText(*window, u"Text9"_s, u"Thanks!"_s);
            setBoxText(*window, u"Text6"_s, u"Ship\nfast"_s);
            setBoxText(*window, u"Text8"_s, u"Pay now"_s);
            // Payment and No Reserve off, Description to the top, No Reserve back at the end.
            use(*window, u"Check4"_s);
            use(*window, u"Check1"_s);
            clickRow(*window, 1);
            use(*window, u"Command1"_s);
            use(*window, u"Check1"_s);
            for (const QString &item : names("foldertab|headercenter|fontcourier|titlsize7|"
                                             "hedrsize2|desccent|pmntleft")) {
                use(*window, item);
            }
            QVERIFY(window->close());
        }

        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        QCOMPARE(rows(*window), names("Description|Title|Condition|Shipping|Thank You|No Reserve"));
        QCOMPARE(switchesOn(*window), names("Check1|Check2|Check3|Check5"));
        // Groups never chosen come back at the program's fallback sizes and left-justified.
        QCOMPARE(checkedStyleItems(*window),
                 sorted(names("foldertab|headercenter|fontcourier|titlsize7|descsize3|condsize3|"
                              "thnksize4|shipsize3|pmntsize3|rsrvsize3|hedrsize2|titlleft|"
                              "rsrvleft|desccent|condleft|thnkleft|shipleft|pmntleft")));
        QCOMPARE(boxText(*window, u"Text4"_s), u"ID 12345"_s);
        QCOMPARE(boxText(*window, u"Text5"_s), u"Starts at one penny"_s);
        QCOMPARE(boxText(*window, u"Text9"_s), u"Thanks!"_s);
        QCOMPARE(boxText(*window, u"Text6"_s), u"Ship\nfast"_s);
        QCOMPARE(window->session().settings.text(TextField::Shipping), u"Ship\r\nfast"_s);
        QCOMPARE(boxText(*window, u"Text8"_s), u"Pay now"_s);
        for (const QString &box : names("Text1|Text2|Text3|Text7")) {
            QVERIFY2(boxText(*window, box).isEmpty(), qPrintable(box));
        }
    }

    // Colours chosen in the selector reach the next Preview and the next start, also when the
    // program is told to end while the selector is still open.
    void coloursSurviveARestart()
    {
        {
            std::unique_ptr<MainWindow> window = loadedWindow();
            QVERIFY(window);
            use(*window, u"colors"_s);
            QWidget *selector = nullptr;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (top->objectName() == u"Form2"_s && top->isVisible()) {
                    selector = top;
                }
            }
            QVERIFY(selector);
            QVERIFY(!window->isVisible());
            QTest::mouseClick(child<QAbstractButton>(*selector, u"Option1_12"_s), Qt::LeftButton);
            QTest::mouseClick(child<QAbstractButton>(*selector, u"Picture1_30"_s), Qt::LeftButton);

            m_opened.clear();
            use(*window, u"Previewlisting"_s);
            QCOMPARE(m_opened.size(), 1);
            QVERIFY(fileBytes(m_opened[0]).contains("<font color=\"#00FF00\""));

            QVERIFY(window->close());
            QVERIFY(!selector->isVisible());
        }
        QCOMPARE(fileBytes(inFolder(u"colorset.dat"_s)).mid(18, 6), QByteArray("00FF00"));
        std::unique_ptr<MainWindow> window = loadedWindow(false);
        QVERIFY(window);
        QCOMPARE(window->session().settings.colors().slot(ColorSlotId::ConditionFont).text(),
                 u"00FF00"_s);
    }

    void aboutBoxChangesNothing()
    {
        std::unique_ptr<MainWindow> window = loadedWindow();
        QVERIFY(window);
        const ListingSettings before = window->session().settings;
        QStringList boxes;
        MessageBox::setTestHook(
            [&boxes](QMessageBox &box) { boxes.append(box.windowTitle() + u'|' + box.text()); });
        use(*window, u"HelpAbout"_s);
        QCOMPARE(boxes, QStringList{u"About Tavrin v2.0.1|Tavrin version 2.0.1\r\nBrisken"_s});
        QVERIFY(window->session().settings == before);
        QVERIFY(window->isVisible());
    }

    void startUpFailureWritesNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("empty"); // instead of missing

        // Which file and which fault the storage tests cover; these two cover the program.
        QTest::newRow("missing thankyou.dat") << u"thankyou.dat"_s << false;
        QTest::newRow("empty shipping.dat") << u"shipping.dat"_s << true;
    }

    void startUpFailureWritesNothing()
    {
        QFETCH(QString, file);
        QFETCH(bool, empty);

        if (empty) {
            writeFile(inFolder(file), {});
        } else {
            QVERIFY(QFile::remove(inFolder(file)));
        }
        const auto before = folderContents(folder());

        bool shown = false;
        QVERIFY(runProgram(folder(), [&shown](MainWindow &) { shown = true; }) != 0);
        QVERIFY(!shown);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(file), qPrintable(m_messages[0]));
        QVERIFY2(m_messages[0].contains(QDir::toNativeSeparators(folder())),
                 qPrintable(m_messages[0]));

        // A window whose start-up failed saves nothing when it closes either.
        MainWindow window;
        QVERIFY(window.load(folder()));
        QVERIFY(window.close());
        QCOMPARE(folderContents(folder()), before);
    }

    void programSavesOnEveryWayOut_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("close box") << u"close"_s;
        QTest::newRow("File > Quit") << u"Quit"_s;
#ifdef Q_OS_UNIX
        QTest::newRow("SIGTERM") << u"SIGTERM"_s;
        QTest::newRow("SIGINT") << u"SIGINT"_s;
#endif
    }

    void programSavesOnEveryWayOut()
    {
        QFETCH(QString, way);

        const int status = runProgram(folder(), [&way](MainWindow &window) {
            setBoxText(window, u"Text4"_s, u"Saved on the way out"_s);
            if (way == u"close"_s) {
                QTimer::singleShot(0, &window, &QWidget::close);
            } else if (way == u"Quit"_s) {
                QTimer::singleShot(0, child<QAction>(window, way), &QAction::trigger);
            }
#ifdef Q_OS_UNIX
            else {
                std::raise(way == u"SIGTERM"_s ? SIGTERM : SIGINT);
            }
#endif
        });
        QCOMPARE(status, 0);
        QCOMPARE(fileBytes(inFolder(u"ebayid.dat"_s)), QByteArray("Saved on the way out\r\n"));
        const QByteArray prefs = fileBytes(inFolder(u"prefs.dat"_s));
        QCOMPARE(prefs.size(), 210);
        QVERIFY(prefs.startsWith("Title       No Reserve  Description Condition   Payment     "));
        QCOMPARE(m_messages, QStringList());
    }

    void programReportsFailedSave()
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
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
