#include "mainwindow.h"
#include "program.h"
#include "seams.h"
#include "splashpicture.h"
#include "splashwindow.h"
#include "terminationsignals.h"
#include "windowicon.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    for (const QString &name : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        contents.insert(name, fileBytes(folder + name));
    }
    return contents;
}

QWidget *visibleSplash()
{
    const QWidgetList tops = QApplication::topLevelWidgets();
    const auto it = std::find_if(tops.begin(), tops.end(), [](QWidget *w) {
        return qobject_cast<SplashWindow *>(w) && w->isVisible();
    });
    return it == tops.end() ? nullptr : *it;
}

// Counts the paints that reach the splash, and notes whether a splash was up when the watched
// main window was shown.
struct SplashWatch : QObject
{
    QWidget *main = nullptr;
    int paints = 0;
    std::optional<bool> splashUpWhenMainShown;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == visibleSplash()) {
            ++paints;
        } else if (event->type() == QEvent::Show && watched == main) {
            splashUpWhenMainShown = visibleSplash() != nullptr;
        }
        return false;
    }
};

volatile std::sig_atomic_t g_previousHandlerCalls = 0;

// A close request as a logout or a signal sends it, whether or not the window is shown.
bool closeAccepted(QWidget &window)
{
    QCloseEvent close;
    QApplication::sendEvent(&window, &close);
    return close.isAccepted();
}

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_folder;
    QStringList m_boxes;

private slots:
    // A first start in a program folder of its own, with the shipped files.
    void init()
    {
        m_dir.emplace();
        m_folder = m_dir->path() + u'/';
        const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
        for (const QString &name : defaults.entryList({u"*.dat"_s}, QDir::Files)) {
            QVERIFY(QFile::copy(defaults.filePath(name), m_folder + name));
        }
        QFile::remove(m_folder + u"prefs.dat"_s);
        m_boxes.clear();
        // Every message box the program shows comes here instead of waiting for a click.
        MessageBox::setTestHook([this](QMessageBox &box) {
            m_boxes.append(box.windowTitle() + u'|' + box.text() + u'|' +
                           (visibleSplash() ? u"over the splash"_s : u""_s));
        });
    }

    void cleanup()
    {
        MessageBox::setTestHook({});
        QCOMPARE(visibleSplash(), nullptr);
    }

    void savesOnEveryWayOut_data()
    {
        // 0: the close box, -1: File > Quit, -2: the event loop told to end, the window open
        QTest::addColumn<int>("signal");
        QTest::newRow("close box") << 0;
        QTest::newRow("File > Quit") << -1;
        QTest::newRow("quit") << -2;
#ifdef Q_OS_UNIX
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
#endif
    }

    void savesOnEveryWayOut()
    {
        QFETCH(int, signal);
        const int status = runProgram(m_folder, [signal](MainWindow &window) {
            window.findChild<QLineEdit *>(u"Text4"_s)->setText(u"Saved on the way out"_s);
            if (signal == 0) {
                QTimer::singleShot(0, &window, &QWidget::close);
            } else if (signal == -1) {
                QTimer::singleShot(0, window.findChild<QAction *>(u"Quit"_s), &QAction::trigger);
            } else if (signal == -2) {
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            } else {
                std::raise(signal);
            }
        });
        QCOMPARE(status, 0);
        QCOMPARE(fileBytes(m_folder + u"ebayid.dat"_s), "Saved on the way out\r\n");
        QVERIFY(fileBytes(m_folder + u"prefs.dat"_s).startsWith("Title       No Reserve  "));
        QCOMPARE(m_boxes, QStringList());
    }

#ifdef Q_OS_UNIX
    // Once the first signal is in, a second one reaches the handler the program started with
    // at once, even before the program has turned to the first, and during the save; so a
    // hung shut-down can still be ended.
    void secondSignalTakesItsUsualCourse()
    {
        const auto previous =
            std::signal(SIGTERM, [](int) { g_previousHandlerCalls = g_previousHandlerCalls + 1; });
        QObject context;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, &context,
                         [] { std::raise(SIGTERM); });
        const int status = runProgram(m_folder, [](MainWindow &) {
            std::raise(SIGINT);
            std::raise(SIGTERM);
        });
        std::signal(SIGTERM, previous);
        QCOMPARE(status, 0);
        QCOMPARE(g_previousHandlerCalls, 2);
    }

    // Started with nohup or in the background, the program keeps those signals ignored.
    void inheritedIgnoredSignalsStayIgnored()
    {
        const auto hup = std::signal(SIGHUP, SIG_IGN);
        const auto interrupt = std::signal(SIGINT, SIG_IGN);
        bool received = false;
        {
            TerminationSignals termination;
            QObject::connect(&termination, &TerminationSignals::received, [&] { received = true; });
            std::raise(SIGHUP);
            std::raise(SIGINT);
            QCoreApplication::processEvents();
            QVERIFY(!received);
            std::raise(SIGTERM);
            QTRY_VERIFY(received);
        }
        QVERIFY(std::signal(SIGHUP, hup) == SIG_IGN);
        QVERIFY(std::signal(SIGINT, interrupt) == SIG_IGN);
    }
#endif

    // A logout saves at once and leaves the window open, since it may be cancelled; without a
    // seller to answer, a failure goes to standard error. The later close saves again.
    void sessionEndSavesAndKeepsRunning()
    {
        MainWindow window;
        QCOMPARE(window.load(m_folder), std::nullopt);
        window.show();
        auto *id = window.findChild<QLineEdit *>(u"Text4"_s);
        id->setText(u"At logout"_s);
        QVERIFY(QFile::remove(m_folder + u"prefs.dat"_s) && QDir(m_folder).mkdir(u"prefs.dat"_s));
        QTest::ignoreMessage(
            QtCriticalMsg,
            QRegularExpression(u"(?s)^The settings could not all be saved.*prefs"_s));
        window.saveForSessionEnd(false);
        QCOMPARE(fileBytes(m_folder + u"ebayid.dat"_s), "At logout\r\n");
        QVERIFY(window.isVisible() && m_boxes.isEmpty());
        QVERIFY(QDir(m_folder).rmdir(u"prefs.dat"_s));
        id->setText(u"At the close"_s);
        QVERIFY(closeAccepted(window));
        QCOMPARE(fileBytes(m_folder + u"ebayid.dat"_s), "At the close\r\n");
        QCOMPARE(fileBytes(m_folder + u"prefs.dat"_s).size(), 210);
    }

    void failedSaveIsReported()
    {
        // "prefs.dat" cannot be replaced by a file while a folder holds its name.
        const int status = runProgram(m_folder, [this](MainWindow &window) {
            QFile::remove(m_folder + u"prefs.dat"_s);
            QDir(m_folder).mkdir(u"prefs.dat"_s);
            QTimer::singleShot(0, &window, &QWidget::close);
        });
        QCOMPARE(status, 1);
        QVERIFY2(m_boxes.size() == 1 && m_boxes[0].contains(u"prefs.dat"_s),
                 qPrintable(m_boxes.join(u'\n')));
    }

    // Reported over the splash, no main window, nothing written, not even by a later close.
    void startUpFailureWritesNothing()
    {
        QVERIFY(QFile::remove(m_folder + u"thankyou.dat"_s));
        const auto before = folderContents(m_folder);
        bool shown = false;
        QCOMPARE(runProgram(m_folder, [&shown](MainWindow &) { shown = true; }), 1);
        QVERIFY(!shown && m_boxes.size() == 1);
        QVERIFY2(m_boxes[0].startsWith(u"Tavrin - Brisken|"_s) &&
                     m_boxes[0].contains(u"thankyou.dat"_s) &&
                     m_boxes[0].endsWith(u"|over the splash"_s),
                 qPrintable(m_boxes[0]));
        MainWindow window;
        QVERIFY(window.load(m_folder) && closeAccepted(window));
        QCOMPARE(folderContents(m_folder), before);
    }

    // A second start on a folder a running copy holds, even by another path, says so and
    // opens nothing; the lock of a copy that was killed is taken over by the next start.
    void oneCopyAFolder()
    {
        const QString sameFolder = m_folder + u"../"_s + QDir(m_folder).dirName() + u'/';
        const auto before = folderContents(m_folder);
        {
            QLockFile running(programFolderLockPath(m_folder));
            QVERIFY(running.tryLock(0));
            bool shown = false;
            QCOMPARE(runProgram(sameFolder, [&shown](MainWindow &) { shown = true; }), 1);
            QVERIFY(!shown && m_boxes.size() == 1);
            QVERIFY2(m_boxes[0].contains(QDir::toNativeSeparators(m_dir->path())),
                     qPrintable(m_boxes[0]));
            QCOMPARE(folderContents(m_folder), before);
        }
        const QString program = QFileInfo(QStringLiteral(TAVRIN_BIN_DIR "/tavrin")).exists()
                                    ? u"tavrin"_s
                                    : u"tavrin.exe"_s;
        QVERIFY(QFile::copy(QStringLiteral(TAVRIN_BIN_DIR "/") + program, m_folder + program));
        QProcess killed;
        killed.start(m_folder + program, {});
        QVERIFY(killed.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(programFolderLockPath(m_folder)), 20000);
        killed.kill();
        QVERIFY(killed.waitForFinished());
        bool shown = false;
        QCOMPARE(runProgram(m_folder,
                            [&shown](MainWindow &window) {
                                shown = true;
                                QTimer::singleShot(0, &window, &QWidget::close);
                            }),
                 0);
        QVERIFY(shown);
    }

    // A logout and a signal arriving together close the window twice; it saves once.
    void savingHappensOnce()
    {
        MainWindow window;
        QVERIFY(!window.load(m_folder) && closeAccepted(window));
        QCOMPARE(fileBytes(m_folder + u"prefs.dat"_s).size(), 210);
        QVERIFY(QFile::remove(m_folder + u"prefs.dat"_s));
        QVERIFY(closeAccepted(window));
        QVERIFY(!QFile::exists(m_folder + u"prefs.dat"_s));
    }

    void splashCoversStartUp()
    {
        SplashWatch watch;
        QWidget main;
        watch.main = &main;
        qApp->installEventFilter(&watch);
        int paintsBeforeStartUp = -1;
        const bool started = startWithSplash([&] {
            paintsBeforeStartUp = visibleSplash() && !main.isVisible() ? watch.paints : -1;
            return StartUpOutcome{&main, {}};
        });
        qApp->removeEventFilter(&watch);
        QVERIFY(started && main.isVisible() && paintsBeforeStartUp > 0);
        QCOMPARE(watch.splashUpWhenMainShown, false);
    }

    void aboutBoxChangesNothing()
    {
        MainWindow window;
        QCOMPARE(window.load(m_folder), std::nullopt);
        const ListingSettings before = window.session().settings;
        window.findChild<QAction *>(u"HelpAbout"_s)->trigger();
        QCOMPARE(m_boxes, QStringList{u"About Tavrin v2.0.1|Tavrin version 2.0.1\r\nBrisken|"_s});
        QVERIFY(window.session().settings == before);
    }

    // A label's text stands at the top left of its rectangle, where the form puts it, in each
    // of the three windows.
    void labelsStandTopLeft()
    {
        MainWindow window;
        QCOMPARE(window.load(m_folder), std::nullopt);
        window.coloursAction()->trigger();
        SplashWindow splash;
        QList<QLabel *> labels = window.findChildren<QLabel *>() + splash.findChildren<QLabel *>();
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == u"Form2"_s) {
                labels += top->findChildren<QLabel *>();
            }
        }
        // The selector's eight colour samples centre their word, as its form says.
        QStringList topLeft;
        QStringList centred;
        for (const QLabel *label : labels) {
            if (label->alignment() == (Qt::AlignLeft | Qt::AlignTop)) {
                topLeft.append(label->objectName());
            } else if (label->alignment() == Qt::AlignCenter) {
                centred.append(label->objectName());
            }
        }
        QCOMPARE(topLeft.size(), 12 + 3 + 1);
        QCOMPARE(centred.size(), 8);
        QVERIFY(centred.contains(u"DispHeaders"_s));
    }

    // The splash picture is a baseline JFIF image of its documented size; the icon is 32 x 32.
    void pictures()
    {
        const QByteArray jpeg = fileBytes(u":/tavrin/splash.jpg"_s);
        QVERIFY(jpeg.startsWith("\xFF\xD8\xFF\xE0") &&
                jpeg.mid(6, 7) == QByteArrayLiteral("JFIF\0\1\1"));
        // One start-of-frame, baseline: 8 bits, 352 lines of 295 samples, three components.
        QVERIFY(jpeg.contains(QByteArrayLiteral("\xFF\xC0\0\x11\x08\x01\x60\x01\x27\x03")) &&
                !jpeg.contains("\xFF\xC2"));
        QCOMPARE(tavrinWindowIcon().pixmap(QSize(32, 32)).toImage().size(), QSize(32, 32));
    }

    // The splash shows the picture as Qt's own JPEG reader decodes it, pixel for pixel, give or
    // take the rounding of two decoders' arithmetic.
    void splashShowsThePicture()
    {
        SplashWindow splash;
        const QList<QLabel *> labels = splash.findChildren<QLabel *>();
        QCOMPARE(labels.size(), 1);
        const QImage shown = labels.front()->pixmap().toImage();
        const QImage reference = QImage(u":/tavrin/splash.jpg"_s, "JPEG");
        QVERIFY(!reference.isNull());
        QCOMPARE(shown.size(), QSize(295, 352));
        int worst = 0;
        qint64 total = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb a = shown.pixel(x, y);
                const QRgb b = reference.pixel(x, y);
                for (const int d :
                     {qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b)}) {
                    worst = std::max(worst, std::abs(d));
                    total += std::abs(d);
                }
            }
        }
        QVERIFY2(worst <= 6 && total <= qint64(shown.width()) * shown.height() / 4,
                 qPrintable(u"worst %1, total %2"_s.arg(worst).arg(total)));
    }

    // Bytes that are not a JPEG picture give no picture, and no crash.
    void splashPictureRejectsDamage_data()
    {
        const QByteArray jpeg = fileBytes(u":/tavrin/splash.jpg"_s);
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("the markers alone") << jpeg.left(20);
        QTest::newRow("cut before the frame") << jpeg.left(jpeg.indexOf("\xFF\xC0"));
        QTest::newRow("a PNG signature") << QByteArray("\x89PNG\r\n\x1A\n") + jpeg.mid(8);
        QByteArray noWidth = jpeg;
        noWidth.replace(QByteArrayLiteral("\xFF\xC0\0\x11\x08\x01\x60\x01\x27"),
                        QByteArrayLiteral("\xFF\xC0\0\x11\x08\x01\x60\x00\x00"));
        QTest::newRow("a frame of width 0") << noWidth;
    }

    void splashPictureRejectsDamage()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(decodeSplashPicture(bytes).isNull());
    }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
