// Window sessions as data. Each folder under tests/data/sessions is one case:
//   folder/  data files laid over the shipped ones (a file "bare": the case's own files only)
//   steps    one step a line, run against the real main window loaded from that folder
//   expect/  files the folder holds after the session, byte for byte; NAME.absent: no NAME
// The session ends as the program does, by closing the window, before expect/ is compared.
// A case needs a window only for what the window does: start-up and saving with nothing done in
// between are data-file cases, and a page from a folder's files is a compose case (tst_core).
//
// Steps; CONTROL is an object name, looked up in the visible windows other than the main
// window first (so "Command1" is the selector's while it is open), then in the main window.
// TEXT takes the escapes of unescape(); {folder} is the program folder, without a final "/";
// {no such folder} the system's reason for a file in a folder that does not exist.
//   type CONTROL TEXT          keys typed into the control
//   paste CONTROL TEXT         TEXT put on the clipboard and pasted with the paste key
//   key CONTROL SEQUENCE       one key sequence (Return, Tab, Shift+Tab, Ctrl+Z) to the control
//   focus CONTROL              the control takes the focus, as when the program gives it
//   click CONTROL              a mouse click: button, check box, text box, swatch, or a menu
//                              item of an open popup menu; any other action is triggered
//   row List1 N                a left click on row N
//   rightclick List1 [N]       a right click on row N, or below the last row
//   trigger ACTION             a menu item chosen from the menu bar
//   save PATH | cancel         the answer to the next save dialog (PATH in the program folder)
//   close [WINDOW]             the main window closes; with WINDOW, that window's close box
//   restart                    the main window closes and a new one loads, as the next run
//   mkdir PATH                 a folder takes the place of a file, as another program could do
//   no-browser                 the next file handed to the browser finds nothing to open it
//   expect text CONTROL TEXT   a box's text (lines joined by \n), a caption or a window title
//   expect checked CONTROL yes|no
//   expect list List1 A|B|C    the rows, top to bottom
//   expect row List1 N         the selected row, -1 for none
//   expect marks NAME ...      exactly these style items carry a check mark
//   expect message TEXT        the message box shown since the last such check; no TEXT: none
//   expect opened NAME         the file handed to the browser since the last check; no NAME: none
//   expect visible WINDOW yes|no
//   expect centred WINDOW yes|no   the window stands in the middle of its screen's free area
//   expect focus CONTROL
//   expect focus-shown CONTROL yes|no   the control looks different with the focus than without it
//   expect selection CONTROL START LENGTH
//   expect save-request filter|suffix|folder|name VALUE   the last save dialog's set-up
//   expect colours CONTROL RRGGBB RRGGBB                  background and text colour shown
//   expect menus FILE          the menu bar and the popup menu, against FILE in the case folder
//   expect accessible CONTROL ROLE NAME   the role and name a screen reader announces
//   expect labelled CONTROL LABEL         the label linked to the control
//   expect unnamed WINDOW [NAME ...]      the controls a seller can use that have no accessible
//                                         name, found through Qt's accessibility interface
// Lines that start with "#" are comments.

#include "../cases.h"
#include "filesync.h"
#include "mainwindow.h"
#include "seams.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QWindow>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

QString yesNo(bool on)
{
    return on ? u"yes"_s : u"no"_s;
}

// "caption [name]" a line, two blanks deeper per submenu; a shortcut or a disabled item shows.
QString menuTree(const QList<QAction *> &actions, int depth = 0)
{
    QString tree;
    for (const QAction *a : actions) {
        tree += QString(2 * depth, u' ') + (a->isSeparator() ? u"-"_s : a->text()) + u" ["_s +
                (a->menu() ? a->menu()->objectName() : a->objectName()) + u']' +
                (a->isEnabled() ? QString() : u" disabled"_s) +
                (a->shortcut().isEmpty() ? QString() : u' ' + a->shortcut().toString()) + u'\n';
        if (a->menu()) {
            tree += menuTree(a->menu()->actions(), depth + 1);
        }
    }
    return tree;
}

// The controls in an accessible tree that a seller acts on, or that stand for a whole (a window,
// the logo), and have no name: by object name, else by role.
QStringList unnamedControls(QAccessibleInterface *a)
{
    using R = QAccessible::Role;
    static const QList<R> named{R::Window,      R::Graphic,      R::PushButton, R::CheckBox,
                                R::RadioButton, R::EditableText, R::List,       R::ComboBox,
                                R::MenuItem,    R::ListItem};
    QStringList unnamed;
    if (!a || a->state().invisible) {
        return unnamed;
    }
    if ((a->state().focusable || named.contains(a->role())) &&
        a->text(QAccessible::Name).trimmed().isEmpty()) {
        unnamed.append(a->object() && !a->object()->objectName().isEmpty()
                           ? a->object()->objectName()
                           : QString::fromLatin1(QMetaEnum::fromType<R>().valueToKey(a->role())));
    }
    for (int i = 0; i < a->childCount(); ++i) {
        unnamed += unnamedControls(a->child(i));
    }
    return unnamed;
}

QString boxText(const QObject *o)
{
    if (auto *line = qobject_cast<const QLineEdit *>(o)) {
        return line->text();
    }
    if (auto *multi = qobject_cast<const QPlainTextEdit *>(o)) {
        return multi->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
    }
    if (auto *button = qobject_cast<const QAbstractButton *>(o)) {
        return button->text();
    }
    if (auto *label = qobject_cast<const QLabel *>(o)) {
        return label->text();
    }
    auto *widget = qobject_cast<const QWidget *>(o);
    return widget ? widget->windowTitle() : QString();
}

// Where a selection starts and how long it is; without one, the caret and 0.
QString selectionOf(const QObject *o)
{
    if (auto *line = qobject_cast<const QLineEdit *>(o)) {
        return line->hasSelectedText()
                   ? u"%1 %2"_s.arg(line->selectionStart()).arg(line->selectionLength())
                   : u"%1 0"_s.arg(line->cursorPosition());
    }
    const QTextCursor cursor = qobject_cast<const QPlainTextEdit *>(o)->textCursor();
    return u"%1 %2"_s.arg(cursor.selectionStart())
        .arg(cursor.selectionEnd() - cursor.selectionStart());
}

class WindowSession
{
public:
    WindowSession(const QString &caseDir)
        : m_caseDir(caseDir)
        , m_folder(caseDir)
    {
        hookSeams();
        start();
    }
    ~WindowSession() { hookSeams(false); }

    QString folder() const { return m_folder.path(); }

    // Runs one step; the result says what went wrong, empty when nothing did.
    QString step(const QString &line);

    void finish()
    {
        m_window->close();
        settle();
    }

private:
    // The desktop's dialogs, answered by the case instead of a person.
    void hookSeams(bool on = true)
    {
        SaveDialog::setTestHook(on ? SaveDialog::Hook([this](const SaveRequest &request) {
            m_request = request;
            return m_answers.isEmpty() ? std::nullopt : m_answers.takeFirst();
        })
                                   : SaveDialog::Hook());
        Browser::setTestHook(on ? Browser::Hook([this](const QString &path) {
            m_opened = path;
            return !std::exchange(m_browserFails, false);
        })
                                : Browser::Hook());
        MessageBox::setTestHook(
            on ? MessageBox::Hook([this](QMessageBox &box) { m_message = box.text(); })
               : MessageBox::Hook());
    }

    // A failed start is reported as the program reports it, and the window is never shown.
    void start()
    {
        m_window = std::make_unique<MainWindow>();
        if (const std::optional<FileError> error = m_window->load(folder())) {
            m_message = error->message();
            return;
        }
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QObject *find(const QString &name) const
    {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top == m_window.get() || !top->isVisible()) {
                continue;
            }
            if (top->objectName() == name) {
                return top;
            }
            if (QObject *o = top->findChild<QObject *>(name)) {
                return o;
            }
        }
        return m_window->objectName() == name ? m_window.get()
                                              : m_window->findChild<QObject *>(name);
    }

    QString checked() const
    {
        QStringList marks;
        for (const QAction *a : m_window->findChildren<QAction *>()) {
            if (a->isCheckable() && a->isChecked()) {
                marks.append(a->objectName());
            }
        }
        marks.sort();
        return marks.join(u' ');
    }

    QString act(const QString &verb, QObject *target, const QString &text);
    QString check(const QString &what, const QString &name, const QString &text);
    void click(QObject *target);
    void clickRow(QListWidget *list, int row, Qt::MouseButton button);

    QString m_caseDir;
    CaseFolder m_folder;
    std::unique_ptr<MainWindow> m_window;
    QList<std::optional<QString>> m_answers;
    std::optional<SaveRequest> m_request;
    QString m_message;
    QString m_opened;
    bool m_browserFails = false;
};

QString WindowSession::step(const QString &line)
{
    const QStringList words = line.split(u' ');
    const QString verb = words[0];
    const auto rest = [&](int from) {
        QString text =
            unescape(line.section(u' ', from)).replace(u"{folder}"_s, folder().chopped(1));
        if (text.contains(u"{no such folder}"_s)) {
            QFile missing(folder() + u"no such folder/file"_s);
            text.replace(u"{no such folder}"_s, missing.open(QIODevice::WriteOnly)
                                                    ? QString()
                                                    : FileSync::reasonOf(missing));
        }
        return text;
    };
    if (verb == u"save"_s || verb == u"cancel"_s) {
        m_answers.append(verb == u"save"_s ? std::optional(folder() + rest(1)) : std::nullopt);
        return {};
    }
    if (verb == u"restart"_s) {
        finish();
        m_window.reset();
        start();
        return {};
    }
    if (verb == u"no-browser"_s) {
        m_browserFails = true;
        return {};
    }
    if (verb == u"mkdir"_s) {
        QFile::remove(folder() + rest(1));
        return QDir(folder()).mkpath(rest(1)) ? QString() : u"cannot make the folder"_s;
    }
    if (verb == u"close"_s && words.size() == 1) {
        finish();
        return {};
    }
    QString problem;
    if (verb != u"expect"_s) {
        problem = act(verb, find(words.value(1)), rest(2));
    } else {
        const QString what = words.value(1);
        // These name no control: what follows is the expected value itself.
        const bool bare =
            QStringList{u"message"_s, u"opened"_s, u"marks"_s, u"menus"_s}.contains(what);
        problem = check(what, words.value(2), bare ? rest(2) : rest(3));
    }
    settle();
    return problem;
}

QString WindowSession::act(const QString &verb, QObject *target, const QString &text)
{
    auto *widget = qobject_cast<QWidget *>(target);
    if (!target) {
        return u"no such control"_s;
    }
    if (verb == u"type"_s) {
        QTest::keyClicks(widget, text);
    } else if (verb == u"paste"_s) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keySequence(widget, QKeySequence::Paste);
    } else if (verb == u"key"_s) {
        QTest::keySequence(widget, QKeySequence::fromString(text));
    } else if (verb == u"focus"_s) {
        widget->setFocus();
    } else if (verb == u"click"_s) {
        click(target);
    } else if (verb == u"row"_s || verb == u"rightclick"_s) {
        clickRow(qobject_cast<QListWidget *>(target), text.isEmpty() ? -1 : text.toInt(),
                 verb == u"row"_s ? Qt::LeftButton : Qt::RightButton);
    } else if (verb == u"trigger"_s) {
        qobject_cast<QAction *>(target)->trigger();
    } else if (verb == u"close"_s) {
        widget->windowHandle()->close();
    } else {
        return u"unknown step"_s;
    }
    return {};
}

void WindowSession::click(QObject *target)
{
    if (auto *action = qobject_cast<QAction *>(target)) {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *menu = qobject_cast<QMenu *>(top);
            if (menu && menu->isVisible() && menu->actions().contains(action)) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        action->trigger();
        return;
    }
    auto *widget = qobject_cast<QWidget *>(target);
    if (auto *multi = qobject_cast<QPlainTextEdit *>(widget)) {
        widget = multi->viewport();
    }
    QTest::mouseClick(widget, Qt::LeftButton, {},
                      qobject_cast<QAbstractButton *>(widget) ? widget->rect().center()
                                                              : QPoint(widget->width() / 3, 8));
}

void WindowSession::clickRow(QListWidget *list, int row, Qt::MouseButton button)
{
    QPoint at(10, list->viewport()->height() - 3);
    if (row >= 0) {
        list->scrollToItem(list->item(row));
        at = list->visualItemRect(list->item(row)).center();
    }
    QTest::mousePress(list->viewport(), button, {}, at);
    QTest::mouseRelease(list->viewport(), button, {}, at);
}

QString WindowSession::check(const QString &what, const QString &name, const QString &text)
{
    QObject *target = find(name);
    QString got;
    QString want = text;
    if (what == u"message"_s) {
        // A message shows the folder as the system writes paths.
        const QString shown = QDir::toNativeSeparators(folder().chopped(1));
        got = QString::fromUtf8(
                  portableSeparators(
                      std::exchange(m_message, QString()).replace(shown, u"{folder}"_s).toUtf8()))
                  .replace(u"{folder}"_s, folder().chopped(1));
    } else if (what == u"opened"_s) {
        got = std::exchange(m_opened, QString());
        want = text.isEmpty() ? text : folder() + text;
    } else if (what == u"marks"_s) {
        got = checked();
        QStringList names = text.split(u' ', Qt::SkipEmptyParts);
        names.sort();
        want = names.join(u' ');
    } else if (what == u"save-request"_s) {
        const SaveRequest r = m_request.value_or(SaveRequest{});
        const QStringList fields{u"filter"_s, u"suffix"_s, u"folder"_s, u"name"_s};
        got = QStringList{r.filter, r.defaultSuffix, r.folder, r.proposedName}.value(
            fields.indexOf(name), u"no such field"_s);
    } else if (what == u"menus"_s) {
        auto *order = m_window->findChild<QMenu *>(u"Order"_s);
        got = menuTree(m_window->menuBar()->actions()) + menuTree({order->menuAction()});
        want = QString::fromUtf8(fileBytes(m_caseDir + u'/' + text));
    } else if (what == u"centred"_s) {
        const auto *widget = qobject_cast<QWidget *>(target);
        const QRect area =
            widget && widget->screen() ? widget->screen()->availableGeometry() : QRect();
        // Within a few pixels: the frame, which the window is placed by, is a little larger.
        got = yesNo(widget &&
                    (widget->frameGeometry().center() - area.center()).manhattanLength() <= 6);
    } else if (what == u"visible"_s) {
        // A window that closed and went away is as invisible as a hidden one.
        const auto *widget = qobject_cast<QWidget *>(target);
        got = yesNo(widget && widget->isVisible());
    } else if (!target) {
        return u"no such control"_s;
    } else if (what == u"text"_s) {
        got = boxText(target);
    } else if (what == u"checked"_s) {
        auto *action = qobject_cast<QAction *>(target);
        got = yesNo(action ? action->isChecked()
                           : qobject_cast<QAbstractButton *>(target)->isChecked());
    } else if (what == u"focus"_s) {
        got = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        want = name;
    } else if (what == u"focus-shown"_s) {
        auto *widget = qobject_cast<QWidget *>(target);
        widget->setFocus();
        settle();
        const QImage focused = widget->grab().toImage();
        widget->clearFocus();
        settle();
        got = yesNo(focused != widget->grab().toImage());
        widget->setFocus();
    } else if (what == u"selection"_s) {
        got = selectionOf(target);
    } else if (what == u"list"_s || what == u"row"_s) {
        auto *list = qobject_cast<QListWidget *>(target);
        QStringList rows;
        for (int row = 0; row < list->count(); ++row) {
            rows.append(list->item(row)->text());
        }
        const QList<QListWidgetItem *> selected = list->selectedItems();
        got = what == u"list"_s ? rows.join(u'|')
                                : QString::number(selected.isEmpty() ? -1 : list->row(selected[0]));
    } else if (what == u"accessible"_s || what == u"labelled"_s || what == u"unnamed"_s) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(target);
        const auto labels = a->relations(QAccessible::Label);
        if (what == u"accessible"_s) {
            got = QString::fromLatin1(
                      QMetaEnum::fromType<QAccessible::Role>().valueToKey(a->role())) +
                  u' ' + a->text(QAccessible::Name);
        } else if (what == u"labelled"_s) {
            got = labels.isEmpty() ? QString() : labels[0].first->object()->objectName();
        } else {
            got = unnamedControls(a).join(u' ');
        }
    } else if (what == u"colours"_s) {
        const QPalette palette = qobject_cast<QWidget *>(target)->palette();
        got = palette.color(QPalette::Window).name().mid(1).toUpper() + u' ' +
              palette.color(QPalette::WindowText).name().mid(1).toUpper();
    } else {
        return u"unknown check"_s;
    }
    return got == want ? QString() : u"got \"%1\", expected \"%2\""_s.arg(got, want);
}

} // namespace

class TestSessions : public QObject
{
    Q_OBJECT

private slots:
    void run_data() { addCaseRows(u"sessions"_s); }

    void run()
    {
        QFETCH(QString, dir);
        WindowSession session(dir);
        const QStringList lines = fileLines(dir + u"/steps"_s);
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const QString line = lines[n].trimmed();
            if (line.isEmpty() || line.startsWith(u'#')) {
                continue;
            }
            const QString problem = session.step(line);
            QVERIFY2(problem.isEmpty(),
                     qPrintable(u"steps line %1 \"%2\": %3"_s.arg(n + 1).arg(line, problem)));
        }
        session.finish();
        compareTree(dir + u"/expect"_s, session.folder());
    }
};

QTEST_MAIN(TestSessions)
#include "tst_sessions.moc"
