// From process start to the main window shown and idle, in time and in peak memory, against a
// bare Qt program that shows a main window with one line of text. Each measurement is a fresh
// process, run with the offscreen platform, the programs in turn; the ratio of the medians is
// the figure that matters. A second baseline, an empty window, shows what the font system
// costs on its own.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Against the window with one line of text, which starts the font system as any window with
// text must.
constexpr double TimeGoal = 1.3;
constexpr double MemoryGoal = 1.2;

struct Sample
{
    double seconds;
    double peakKb;
};

std::map<std::string, std::vector<Sample>> g_samples;

Sample runOnce(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);

    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    QByteArray line;
    while (!line.endsWith('\n') && process.waitForReadyRead(30000)) {
        line += process.readLine();
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    process.waitForFinished(30000);
    if (!line.startsWith("ready ") || process.exitCode() != 0) {
        throw std::runtime_error("start-up program failed: " + program.toStdString() + "\n" +
                                 process.readAllStandardError().toStdString());
    }
    return {seconds, line.mid(6).trimmed().toDouble()};
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

// The three programs are started in turn, one of each per iteration and in a rotating order,
// so that a slower moment of a shared machine weighs on all three alike rather than on
// whichever happened to run then.
void BM_StartUpInTurn(benchmark::State &state)
{
    const Program programs[] = {
        {"bare", harness("startup_bare"), {}},
        {"text", harness("startup_bare"), {u"text"_s}},
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
            const Sample sample = runOnce(program.path, program.arguments);
            g_samples[program.key].push_back(sample);
            if (program.key == "tavrin") {
                tavrinSeconds = sample.seconds;
            }
        }
        ++turn;
        state.SetIterationTime(tavrinSeconds);
    }
}

BENCHMARK(BM_StartUpInTurn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Sample medianOf(const std::vector<Sample> &samples)
{
    std::vector<double> seconds;
    std::vector<double> peaks;
    for (const Sample &s : samples) {
        seconds.push_back(s.seconds);
        peaks.push_back(s.peakKb);
    }
    return {median(seconds), median(peaks)};
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

    const auto bare = g_samples.find("bare");
    const auto text = g_samples.find("text");
    const auto tavrin = g_samples.find("tavrin");
    if (bare == g_samples.end() || text == g_samples.end() || tavrin == g_samples.end()) {
        return 0;
    }
    const Sample b = medianOf(bare->second);
    const Sample x = medianOf(text->second);
    const Sample t = medianOf(tavrin->second);
    std::printf("\nmedians: empty window %.1f ms, %.0f kB; window with one line of text %.1f ms, "
                "%.0f kB; tavrin %.1f ms, %.0f kB\n",
                b.seconds * 1e3, b.peakKb, x.seconds * 1e3, x.peakKb, t.seconds * 1e3, t.peakKb);
    std::printf("against the empty window: time %.2f x, memory %.2f x\n", t.seconds / b.seconds,
                t.peakKb / b.peakKb);
    const double timeRatio = t.seconds / x.seconds;
    const double memoryRatio = t.peakKb / x.peakKb;
    std::printf("goal time   %.2f x the window with one line of text (at most %.1f): %s\n",
                timeRatio, TimeGoal, timeRatio <= TimeGoal ? "met" : "NOT met");
    std::printf("goal memory %.2f x the window with one line of text (at most %.1f): %s\n",
                memoryRatio, MemoryGoal, memoryRatio <= MemoryGoal ? "met" : "NOT met");
    return 0;
}
