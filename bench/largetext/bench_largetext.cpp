// Large texts in the main window's boxes: a seller pastes HTML made by other tools, often one
// long line, up to the marketplace's 500,000 characters. The real main window, loaded from a
// program folder with the shipped files, runs on the offscreen platform, and for the
// description box and a one-line box (Thank You) three things are timed:
// - the paste of 500,000 characters into the empty box, on one line and on many lines, until
//   the box has painted it: at most half a second;
// - one key typed at the end of that text, until the box has painted it, against the same key
//   typed into the empty box: at most twice its time;
// - one second of idle with the caret in that box, in processor time, against the same second
//   with the caret in the empty box: at most twice.
// The measures are taken in turn, one of each per round in a rotating order, so that a busy
// moment of a shared machine weighs on all of them alike; the ratios are of the medians.
#include "mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype PastedLength = 500'000;
constexpr int Rounds = 5;
constexpr int KeysPerRound = 5;
constexpr double PasteGoalSeconds = 0.5;
constexpr double KeyGoal = 2;
constexpr double IdleGoal = 2;

// Markup as another tool writes it; "lines" breaks it after every element, "one line" not at all.
QString pastedText(bool lines)
{
    const QString element =
        u"<p style=\"font-family:Arial;color:#333333\">Solid brass desk lamp, 1920s, "
        u"fully working &amp; tested.</p>"_s;
    QString text;
    text.reserve(PastedLength + element.size());
    while (text.size() < PastedLength) {
        text += element;
        if (lines) {
            text += u'\n';
        }
    }
    text.truncate(PastedLength);
    return text;
}

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Lets the window handle what it was sent and paint it, as the event loop would.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void sendKey(QWidget *box, int key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(box, &release);
}

class Window
{
public:
    Window()
    {
        const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
        for (const QString &name : defaults.entryList({u"*.dat"_s}, QDir::Files)) {
            QFile::copy(defaults.filePath(name), m_folder.filePath(name));
        }
        if (m_window.load(m_folder.path() + u'/')) {
            throw std::runtime_error("the shipped data files did not load");
        }
        m_window.show();
        m_window.activateWindow();
        QElapsedTimer waited;
        waited.start();
        while (QApplication::activeWindow() != &m_window && waited.elapsed() < 5000) {
            settle();
        }
    }

    QWidget *box(const QString &name) { return m_window.findChild<QWidget *>(name); }

    // The box empty, with the caret in it.
    void empty(QWidget *box)
    {
        if (auto *line = qobject_cast<QLineEdit *>(box)) {
            line->clear();
        } else {
            qobject_cast<QPlainTextEdit *>(box)->clear();
        }
        box->setFocus();
        settle();
    }

private:
    QTemporaryDir m_folder;
    MainWindow m_window;
};

std::map<std::string, std::vector<double>> g_samples;

double timed(const std::function<void()> &action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    settle();
    return double(timer.nsecsElapsed()) / 1e9;
}

double idleSecond()
{
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    const double before = processSeconds();
    loop.exec();
    return processSeconds() - before;
}

struct Case
{
    std::string name;
    QString box;
    std::optional<bool> lines; // nothing: the empty box
};

void measure(Window &window, const Case &c)
{
    QWidget *box = window.box(c.box);
    window.empty(box);
    if (c.lines) {
        QGuiApplication::clipboard()->setText(pastedText(*c.lines));
        settle();
        g_samples["paste " + c.name].push_back(
            timed([box] { sendKey(box, Qt::Key_V, Qt::ControlModifier); }));
    }
    for (int k = 0; k < KeysPerRound; ++k) {
        g_samples["key " + c.name].push_back(
            timed([box] { sendKey(box, Qt::Key_X, Qt::NoModifier, u"x"_s); }));
    }
    g_samples["idle " + c.name].push_back(idleSecond());
}

const std::vector<Case> &cases()
{
    static const std::vector<Case> all{
        {"Description, empty", u"Text3"_s, std::nullopt},
        {"Description, one line", u"Text3"_s, false},
        {"Description, lines", u"Text3"_s, true},
        {"Thank You, empty", u"Text9"_s, std::nullopt},
        {"Thank You, one line", u"Text9"_s, false},
        {"Thank You, lines", u"Text9"_s, true},
    };
    return all;
}

// The iteration's time is the round's.
void BM_BoxesInTurn(benchmark::State &state)
{
    Window window;
    size_t turn = 0;
    for (auto _ : state) {
        QElapsedTimer round;
        round.start();
        for (size_t k = 0; k < cases().size(); ++k) {
            measure(window, cases()[(turn + k) % cases().size()]);
        }
        ++turn;
        state.SetIterationTime(double(round.nsecsElapsed()) / 1e9);
    }
}

BENCHMARK(BM_BoxesInTurn)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(Rounds);

double medianOf(const std::string &what)
{
    return median(g_samples.at(what));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_samples.empty()) {
        return 0;
    }

    std::printf("\nmedians over %d rounds (%d keys a round):\n", Rounds, KeysPerRound);
    for (const auto &[what, samples] : g_samples) {
        std::printf("  %-36s %9.3f ms\n", what.c_str(), median(samples) * 1e3);
    }
    for (const char *box : {"Description", "Thank You"}) {
        const std::string empty = std::string(box) + ", empty";
        for (const char *shape : {"one line", "lines"}) {
            const std::string full = std::string(box) + ", " + shape;
            printGoalSecondsLine("paste " + full, medianOf("paste " + full), PasteGoalSeconds);
            printGoalLine("key " + full + " / empty",
                          medianOf("key " + full) / medianOf("key " + empty), KeyGoal);
            printGoalLine("idle processor time " + full + " / empty",
                          medianOf("idle " + full) / medianOf("idle " + empty), IdleGoal);
        }
    }
    return 0;
}
