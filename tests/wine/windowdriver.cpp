// Drives the shipped tavrin.exe as a seller at the keyboard does, through Windows's own input:
// starts it from its program folder, follows a steps file, and ends with status 0 when every
// step held, or 1 and one line saying which did not. window-sessions.sh runs it under Wine.
//
//   windowdriver PROGRAM-FOLDER STEPS FORMS-FOLDER
//
// Steps, one a line ("#" starts a comment):
//   splash            the program's first window is the splash, of the size its form gives
//   window TITLE      the window with this caption is up; it comes to the front
//   focus NAME        Tab until the control NAME has the focus, in the main window's focus
//                     order (the window starts with the first control focused)
//   type TEXT         the characters typed as Unicode input (the escapes of tests/cases.h)
//   keys KEY ...      the keys pressed in turn: alt, tab, return, space, up, down, left, right
//   wait-file PATH    PATH (the program folder's own files by name) appears within 30 seconds
//   close             the close box of the window in front
//   exit STATUS       the program ends within 30 seconds, with STATUS

#include "../cases.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QThread>
#include <QXmlStreamReader>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int WaitMs = 30000;
// What the program gets to take in one input before the next: it runs on its own.
constexpr int SettleMs = 300;

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > WaitMs) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

// The visible top-level windows of one process, in the system's order (front first).
QList<HWND> windowsOf(qint64 pid)
{
    struct Search
    {
        DWORD pid;
        QList<HWND> found;
    } search{DWORD(pid), {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto *search = reinterpret_cast<Search *>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == search->pid && ::IsWindowVisible(window)) {
                search->found.append(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

QString captionOf(HWND window)
{
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(window, text, 256);
    return QString::fromWCharArray(text, length);
}

void send(INPUT input)
{
    ::SendInput(1, &input, sizeof(INPUT));
}

void pressKey(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    send(input);
}

void typeUnit(char16_t unit)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
    send(input);
    input.ki.dwFlags |= KEYEVENTF_KEYUP;
    send(input);
}

std::optional<WORD> virtualKey(const QString &name)
{
    static const QHash<QString, WORD> keys{
        {u"alt"_s, VK_MENU},  {u"tab"_s, VK_TAB},   {u"return"_s, VK_RETURN},
        {u"space"_s, VK_SPACE}, {u"up"_s, VK_UP},   {u"down"_s, VK_DOWN},
        {u"left"_s, VK_LEFT}, {u"right"_s, VK_RIGHT}, {u"escape"_s, VK_ESCAPE},
    };
    const auto key = keys.find(name);
    return key == keys.end() ? std::nullopt : std::optional(key.value());
}

// What the forms say: the main window's focus order and the splash window's size.
struct Forms
{
    QStringList focusOrder;
    QSize splash;
};

std::optional<QString> readForms(const QString &folder, Forms *forms)
{
    QFile main(folder + u"/mainwindow/mainwindow.ui"_s);
    QFile splash(folder + u"/splash/splashwindow.ui"_s);
    if (!main.open(QIODevice::ReadOnly) || !splash.open(QIODevice::ReadOnly)) {
        return u"the forms are not under %1"_s.arg(folder);
    }
    for (QXmlStreamReader ui(&main); !ui.atEnd();) {
        if (ui.readNext() == QXmlStreamReader::StartElement && ui.name() == u"tabstop") {
            forms->focusOrder += ui.readElementText();
        }
    }
    // The form's own geometry is its first rectangle.
    QXmlStreamReader ui(&splash);
    while (!ui.atEnd() && forms->splash.height() <= 0) {
        if (ui.readNext() == QXmlStreamReader::StartElement && ui.name() == u"width") {
            forms->splash.setWidth(ui.readElementText().toInt());
        } else if (ui.isStartElement() && ui.name() == u"height") {
            forms->splash.setHeight(ui.readElementText().toInt());
        }
    }
    if (forms->focusOrder.isEmpty() || forms->splash.isEmpty()) {
        return u"the forms hold no focus order or no splash size"_s;
    }
    return std::nullopt;
}

class Driver
{
public:
    Driver(const QString &programFolder, Forms forms)
        : m_folder(programFolder)
        , m_forms(std::move(forms))
    {}

    // Runs one step; the reason when it did not hold.
    std::optional<QString> step(const QString &line);

    void stop()
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished();
        }
    }

private:
    std::optional<QString> start();

    QString m_folder;
    Forms m_forms;
    QProcess m_program;
    HWND m_front = nullptr;
    qsizetype m_focus = 0;
};

std::optional<QString> Driver::start()
{
    // Started from elsewhere, as from a shortcut: the program folder is the program's own.
    m_program.setWorkingDirectory(QDir::tempPath());
    m_program.start(m_folder + u"/tavrin.exe"_s, {});
    if (!m_program.waitForStarted(WaitMs)) {
        return u"tavrin.exe did not start: "_s + m_program.errorString();
    }
    return std::nullopt;
}

std::optional<QString> Driver::step(const QString &line)
{
    const QString verb = line.section(u' ', 0, 0);
    const QString rest = line.section(u' ', 1);
    if (m_program.state() == QProcess::NotRunning && verb != u"exit"_s) {
        if (const std::optional<QString> failed = start()) {
            return failed;
        }
    }
    const qint64 pid = m_program.processId();
    if (verb == u"splash"_s) {
        // The splash stands only while the program loads: looked for as often as can be.
        HWND first = nullptr;
        QElapsedTimer timer;
        timer.start();
        while ((first = windowsOf(pid).value(0)) == nullptr && timer.elapsed() < WaitMs) {
            QThread::msleep(2);
        }
        if (first == nullptr) {
            return u"no window came up"_s;
        }
        RECT client = {};
        ::GetClientRect(first, &client);
        const QSize size(client.right - client.left, client.bottom - client.top);
        if (size != m_forms.splash) {
            return u"the first window is \"%1\", %2 x %3, not the splash"_s.arg(captionOf(first))
                .arg(size.width())
                .arg(size.height());
        }
        return std::nullopt;
    }
    if (verb == u"window"_s) {
        if (!waitFor([&] {
                for (HWND window : windowsOf(pid)) {
                    if (captionOf(window) == rest) {
                        m_front = window;
                        return true;
                    }
                }
                return false;
            })) {
            return u"no window \"%1\""_s.arg(rest);
        }
        ::SetForegroundWindow(m_front);
        QThread::msleep(SettleMs);
        return std::nullopt;
    }
    if (verb == u"focus"_s) {
        const qsizetype target = m_forms.focusOrder.indexOf(rest);
        if (target < 0) {
            return u"no control \"%1\" in the focus order"_s.arg(rest);
        }
        const qsizetype count = m_forms.focusOrder.size();
        for (qsizetype n = (target - m_focus + count) % count; n > 0; --n) {
            pressKey(VK_TAB, false);
            pressKey(VK_TAB, true);
            QThread::msleep(50);
        }
        m_focus = target;
    } else if (verb == u"type"_s) {
        for (const QChar c : unescape(rest)) {
            typeUnit(c.unicode());
        }
    } else if (verb == u"keys"_s) {
        for (const QString &name : rest.split(u' ', Qt::SkipEmptyParts)) {
            const std::optional<WORD> key = virtualKey(name);
            if (!key) {
                return u"no key \"%1\""_s.arg(name);
            }
            pressKey(*key, false);
            pressKey(*key, true);
            QThread::msleep(SettleMs);
        }
    } else if (verb == u"wait-file"_s) {
        const QString path = QDir(m_folder).filePath(rest);
        if (!waitFor([&] { return QFile::exists(path); })) {
            return u"%1 did not appear"_s.arg(path);
        }
    } else if (verb == u"close"_s) {
        ::PostMessageW(m_front, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (verb == u"exit"_s) {
        if (!m_program.waitForFinished(WaitMs)) {
            return u"the program did not end"_s;
        }
        if (m_program.exitStatus() != QProcess::NormalExit ||
            QString::number(m_program.exitCode()) != rest) {
            return u"the program ended with status %1"_s.arg(m_program.exitCode());
        }
    } else {
        return u"no step \"%1\""_s.arg(verb);
    }
    QThread::msleep(SettleMs);
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fputs("usage: windowdriver PROGRAM-FOLDER STEPS FORMS-FOLDER\n", stderr);
        return 2;
    }
    Forms forms;
    if (const std::optional<QString> failed = readForms(args[3], &forms)) {
        std::fprintf(stderr, "windowdriver: %s\n", qPrintable(*failed));
        return 2;
    }
    QFile steps(args[2]);
    if (!steps.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "windowdriver: cannot read %s\n", qPrintable(args[2]));
        return 2;
    }
    Driver driver(args[1], std::move(forms));
    int number = 0;
    for (const QByteArray &raw : steps.readAll().split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (const std::optional<QString> failed = driver.step(line)) {
            std::fprintf(stderr, "windowdriver: steps line %d \"%s\": %s\n", number,
                         qPrintable(line), qPrintable(*failed));
            driver.stop();
            return 1;
        }
    }
    driver.stop();
    return 0;
}
