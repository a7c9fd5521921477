// Start-up, measured twice against programs that do nothing but show a window. Each program is
// started as a fresh process on the offscreen platform, the three in turn, 30 times; a
// program reports the moments it reaches on standard output, and the driver notes when each
// report arrives. The ratios of the medians are the figures that matter:
// - the program until its main window is on the screen and idle, in time and in peak memory,
//   against the same form (mainwindow.ui) shown by a bare program until it is idle: what the
//   program adds to its window;
// - the program until its splash is on the screen, against a window with one line of text
//   until it is first on the screen: what a seller waits before seeing anything.
// The program until idle against the window with one line of text is printed for
// information.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Against the bare form: what the program adds, start to idle main window.
constexpr double FormTimeGoal = 1.15;
constexpr double FormMemoryGoal = 1.10;
// Against the window with one line of text: start to the first frame on the screen.
constexpr double SplashTimeGoal = 1.10;

struct Moment
{
    double seconds;
    double peakKb;
};

// One run of a program: each moment it reported ("painted", "ready"), by name.
using Run = std::map<std::string, Moment>;

// Every run of every program, by program.
std::map<std::string, std::vector<Run>> g_runs;

// Starts the program and notes when each report line arrives, until "ready".
Run runOnce(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);

    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    Run run;
    while (!run.contains("ready") && process.waitForReadyRead(30000)) {
        while (process.canReadLine()) {
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const QList<QByteArray> fields = process.readLine().trimmed().split(' ');
            if (fields.size() == 2) {
                run[fields[0].toStdString()] = {seconds, fields[1].toDouble()};
            }
        }
    }
    process.waitForFinished(30000);
    if (!run.contains("ready") || process.exitCode() != 0) {
        throw std::runtime_error("start-up program failed: " + program.toStdString() + "\n" +
                                 process.readAllStandardError().toStdString());
    }
    return run;
}

QString harness(const char *name)
{
    return QStringLiteral(TAVRIN_STARTUP_PROGRAMS) + u'/' + QString::fromLatin1(name);
}

// A program folder as a seller's would be after a first run: the shipped files and a saved
// "prefs.dat".
QTemporaryDir &programFolder()
{
    static QTemporaryDir folder;
    static bool ready = false;
    if (!ready) {
        const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
        for (const QString &name : defaults.entryList({u"*.dat"_s}, QDir::Files)) {
            QFile::copy(defaults.filePath(name), folder.filePath(name));
        }
        runOnce(harness("startup_tavrin"), {folder.path(), u"close"_s});
        ready = true;
    }
    return folder;
}

struct Program
{
    std::string key;
    QString path;
    QStringList arguments;
};

// The programs are started in turn, one of each per iteration and in a rotating order, so
// that a slower moment of a shared machine weighs on all of them alike rather than on
// whichever happened to run then. The iteration's time is the program's, start to idle.
void BM_StartUpInTurn(benchmark::State &state)
{
    const Program programs[] = {
        {"form", harness("startup_form"), {}},
        {"label", harness("startup_bare"), {}},
        {"tavrin", harness("startup_tavrin"), {programFolder().path()}},
    };
    for (const Program &program : programs) {
        runOnce(program.path, program.arguments); // warm the file cache
    }
    size_t turn = 0;
    for (auto _ : state) {
        double tavrinSeconds = 0;
        for (size_t k = 0; k < std::size(programs); ++k) {
            const Program &program = programs[(turn + k) % std::size(programs)];
            const Run run = runOnce(program.path, program.arguments);
            g_runs[program.key].push_back(run);
            if (program.key == "tavrin") {
                tavrinSeconds = run.at("ready").seconds;
            }
        }
        ++turn;
        state.SetIterationTime(tavrinSeconds);
    }
}

BENCHMARK(BM_StartUpInTurn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// The median time and the median peak memory of one moment over a program's runs.
Moment medianOf(const std::string &program, const std::string &moment)
{
    std::vector<double> seconds;
    std::vector<double> peaks;
    for (const Run &run : g_runs.at(program)) {
        const Moment &m = run.at(moment);
        seconds.push_back(m.seconds);
        peaks.push_back(m.peakKb);
    }
    return {median(seconds), median(peaks)};
}

void printMedian(const char *what, const Moment &m)
{
    std::printf("  %-48s %6.1f ms %7.1f MB\n", what, m.seconds * 1e3, m.peakKb / 1024);
}

} // namespace

int main(int argc, char *argv[])
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char *program : {"form", "label", "tavrin"}) {
        if (!g_runs.contains(program)) {
            return 0;
        }
    }

    const Moment formIdle = medianOf("form", "ready");
    const Moment labelPainted = medianOf("label", "painted");
    const Moment labelIdle = medianOf("label", "ready");
    const Moment splashPainted = medianOf("tavrin", "painted");
    const Moment tavrinIdle = medianOf("tavrin", "ready");
    std::printf("\nmedians over %zu runs each: time from process start, peak memory by then\n",
                g_runs.at("tavrin").size());
    printMedian("form: bare form idle", formIdle);
    printMedian("label: one-label window's first frame", labelPainted);
    printMedian("label: one-label window idle", labelIdle);
    printMedian("splash: tavrin's splash on the screen", splashPainted);
    printMedian("tavrin: tavrin's main window idle", tavrinIdle);

    printGoalLine("time tavrin / form", tavrinIdle.seconds / formIdle.seconds, FormTimeGoal);
    printGoalLine("peak memory tavrin / form", tavrinIdle.peakKb / formIdle.peakKb, FormMemoryGoal);
    printGoalLine("time splash / label's first frame", splashPainted.seconds / labelPainted.seconds,
                  SplashTimeGoal);
    printRatioLine("time tavrin / label (for information)", tavrinIdle.seconds / labelIdle.seconds);
    printRatioLine("peak memory tavrin / label (for information)",
                   tavrinIdle.peakKb / labelIdle.peakKb);
    return 0;
}
