#include "aboutbox.h"
#include "seams.h"
#include "splashwindow.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QWidget *visibleSplash()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == u"frmSplash"_s && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

// The main window as the splash sees it: it notes whether a splash was still visible when it
// was shown.
class StandInMainWindow : public QMainWindow
{
public:
    int shown = 0;
    bool splashVisibleWhenShown = false;

protected:
    void showEvent(QShowEvent *event) override
    {
        ++shown;
        splashVisibleWhenShown = visibleSplash() != nullptr;
        QMainWindow::showEvent(event);
    }
};

// Counts paint events reaching the splash or its picture.
class SplashPaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            for (QObject *o = watched; o; o = o->parent()) {
                if (o->objectName() == u"frmSplash"_s) {
                    ++paints;
                    break;
                }
            }
        }
        return false;
    }
};

struct SeenBox
{
    QString objectName;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons standardButtons;
    qsizetype buttonCount = 0;
    Qt::WindowModality modality = Qt::NonModal;
    QPointer<QWidget> parent;
    QString parentName;
    bool splashVisible = false;
};

class BoxRecorder
{
public:
    BoxRecorder()
    {
        MessageBox::setTestHook([this](QMessageBox &box) {
            boxes.append({box.objectName(), box.windowTitle(), box.text(), box.icon(),
                          box.standardButtons(), box.buttons().size(), box.windowModality(),
                          box.parentWidget(),
                          box.parentWidget() ? box.parentWidget()->objectName() : QString(),
                          visibleSplash() != nullptr});
        });
    }
    ~BoxRecorder() { MessageBox::setTestHook({}); }
    BoxRecorder(const BoxRecorder &) = delete;
    BoxRecorder &operator=(const BoxRecorder &) = delete;

    QList<SeenBox> boxes;
};

} // namespace

class TestSplash : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void splashWindow();
    void splashShowsThePictureFromItsCorner();
    void splashIsCentredAndPaintedBeforeStartUp();
    void splashClosesBeforeTheMainWindowShows();
    void startUpErrorIsReportedOverTheSplash();
    void aboutBox();
    void aboutBoxShowsUntilOk();
};

void TestSplash::cleanup()
{
    QCOMPARE(visibleSplash(), nullptr);
}

void TestSplash::splashWindow()
{
    SplashWindow splash;
    QCOMPARE(splash.objectName(), u"frmSplash"_s);
    QCOMPARE(splash.size(), QSize(299, 353));
    QCOMPARE(splash.minimumSize(), splash.maximumSize());
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!splash.isModal());

    const QList<QWidget *> children = splash.findChildren<QWidget *>();
    QCOMPARE(children.size(), 1);
    auto *picture = qobject_cast<QLabel *>(children.first());
    QVERIFY(picture);
    QCOMPARE(picture->objectName(), u"Picture1"_s);
    QCOMPARE(picture->geometry(), QRect(0, 0, 297, 353));
    QCOMPARE(picture->pixmap().size(), QSize(295, 352));
    QVERIFY(picture->text().isEmpty());
}

void TestSplash::splashShowsThePictureFromItsCorner()
{
    const QImage picture(u":/tavrin/splash.jpg"_s);
    SplashWindow splash;
    const QImage shown = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (const QPoint p : {QPoint(0, 0), QPoint(147, 176), QPoint(294, 351), QPoint(60, 60)}) {
        QCOMPARE(QColor(shown.pixel(p)), QColor(picture.pixel(p)));
    }
}

void TestSplash::splashIsCentredAndPaintedBeforeStartUp()
{
    SplashPaintCounter counter;
    qApp->installEventFilter(&counter);
    int paintsBeforeStartUp = -1;
    QRect geometry;
    QRect screen;
    StandInMainWindow main;
    const bool started = startWithSplash([&] {
        QWidget *splash = visibleSplash();
        if (splash) {
            paintsBeforeStartUp = counter.paints;
            geometry = splash->frameGeometry();
            screen = splash->screen()->availableGeometry();
        }
        return StartUpOutcome{&main, {}};
    });
    qApp->removeEventFilter(&counter);

    QVERIFY(started);
    QVERIFY(paintsBeforeStartUp > 0);
    QVERIFY2(qAbs(geometry.center().x() - screen.center().x()) <= 1 &&
                 qAbs(geometry.center().y() - screen.center().y()) <= 1,
             qPrintable(u"%1,%2 on %3,%4"_s.arg(geometry.center().x())
                            .arg(geometry.center().y())
                            .arg(screen.center().x())
                            .arg(screen.center().y())));
}

void TestSplash::splashClosesBeforeTheMainWindowShows()
{
    StandInMainWindow main;
    bool splashDuringStartUp = false;
    bool mainHiddenDuringStartUp = false;
    const bool started = startWithSplash([&] {
        splashDuringStartUp = visibleSplash() != nullptr;
        mainHiddenDuringStartUp = !main.isVisible();
        return StartUpOutcome{&main, {}};
    });

    QVERIFY(started);
    QVERIFY(splashDuringStartUp);
    QVERIFY(mainHiddenDuringStartUp);
    QCOMPARE(main.shown, 1);
    QVERIFY(!main.splashVisibleWhenShown);
    QVERIFY(main.isVisible());
    QCOMPARE(visibleSplash(), nullptr);
}

void TestSplash::startUpErrorIsReportedOverTheSplash()
{
    BoxRecorder recorder;
    StandInMainWindow main;
    const QString report = u"The file \"thankyou.dat\" in /opt/tavrin/ could not be read: "
                           u"file not found."_s;
    const bool started = startWithSplash([&] { return StartUpOutcome{nullptr, report}; });

    QVERIFY(!started);
    QCOMPARE(recorder.boxes.size(), 1);
    const SeenBox &box = recorder.boxes.first();
    QCOMPARE(box.objectName, u"StartUpError"_s);
    QCOMPARE(box.title, u"Tavrin - Brisken"_s);
    QCOMPARE(box.text, report);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttonCount, 1);
    QVERIFY(box.splashVisible);
    QCOMPARE(box.parentName, u"frmSplash"_s);
    QCOMPARE(main.shown, 0);
    QCOMPARE(visibleSplash(), nullptr);
}

void TestSplash::aboutBox()
{
    BoxRecorder recorder;
    QMainWindow main;
    showAboutBox(&main);

    QCOMPARE(recorder.boxes.size(), 1);
    const SeenBox &box = recorder.boxes.first();
    QCOMPARE(box.title, u"About Tavrin v2.0.1"_s);
    // Exactly two lines, the version first, nothing after the maker.
    QCOMPARE(box.text, u"Tavrin version 2.0.1\r\nBrisken"_s);
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.standardButtons, QMessageBox::Ok);
    QCOMPARE(box.buttonCount, 1);
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QCOMPARE(box.parent.data(), &main);
}

void TestSplash::aboutBoxShowsUntilOk()
{
    // No interceptor: the real box comes up modally and only OK takes it away.
    QPointer<QMessageBox> seen;
    QTimer pressOk;
    pressOk.setInterval(10);
    connect(&pressOk, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->isVisible()) {
            seen = box;
            pressOk.stop();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }
    });
    pressOk.start();
    QMainWindow main;
    main.show();
    showAboutBox(&main);

    QVERIFY(seen.isNull()); // gone with the call
    QVERIFY(!pressOk.isActive());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
