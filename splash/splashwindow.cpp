#include "splashwindow.h"

#include "messageboxseam.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

struct Twips
{
    int left;
    int top;
    int width;
    int height;

    QRect pixels() const { return {px(left), px(top), px(width), px(height)}; }
    static int px(int twips) { return qRound(twips / 15.0); }
};

constexpr Twips ClientArea{0, 0, 4485, 5295};
constexpr Twips PicturePlace{0, 0, 4455, 5295};

// How long to wait at most for the window system to put the window on the screen. Only the
// first paint waits for it; nothing keeps the splash up once start-up is done.
constexpr int ExposeWaitMs = 1000;

} // namespace

SplashWindow::SplashWindow()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(u"frmSplash"_s);
    setFixedSize(ClientArea.pixels().size());

    auto *picture = new QLabel(this);
    picture->setObjectName(u"Picture1"_s);
    picture->setGeometry(PicturePlace.pixels());
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(u":/tavrin/splash.jpg"_s));
}

void SplashWindow::showAndPaint()
{
    if (const QScreen *screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    // Wait for the window system to show the window, waking on its events rather than
    // polling, but never longer than the deadline.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(ExposeWaitMs);
    while (!windowHandle()->isExposed() && deadline.isActive()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    repaint();
}

bool startWithSplash(const std::function<StartUpOutcome()> &loadMainWindow)
{
    SplashWindow splash;
    splash.showAndPaint();

    const StartUpOutcome outcome = loadMainWindow();
    if (!outcome.mainWindow) {
        const QString text =
            outcome.errorReport.isEmpty() ? u"Tavrin could not start."_s : outcome.errorReport;
        // Titled like the main window, whose start-up failed.
        QMessageBox report(QMessageBox::Critical, u"Tavrin - Brisken"_s, text, QMessageBox::Ok,
                           &splash);
        report.setObjectName(u"StartUpError"_s);
        report.setWindowModality(Qt::ApplicationModal);
        MessageBoxSeam::exec(report);
        splash.close();
        return false;
    }

    splash.close();
    outcome.mainWindow->show();
    return true;
}
