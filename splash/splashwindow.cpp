#include "splashwindow.h"

#include "seams.h"
#include "splashpicture.h"
#include "ui_splashwindow.h"
#include "windowtitle.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// How long to wait at most for the window system to put the window on the screen. Only the
// first paint waits for it; nothing keeps the splash up once start-up is done.
constexpr int ExposeWaitMs = 1000;

} // namespace

SplashWindow::SplashWindow()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    Ui::frmSplash ui;
    ui.setupUi(this);
    // The picture is one of the program's embedded resources, which the form does not list.
    // It is decoded straight from the resource, past the pixmap cache, which would keep it for
    // the whole run; the splash needs it only while start-up lasts.
    QFile picture(u":/tavrin/splash.jpg"_s);
    if (picture.open(QIODevice::ReadOnly)) {
        const QByteArray jpeg = picture.readAll();
        ui.Picture1->setPixmap(QPixmap::fromImage(decodeSplashPicture(jpeg)));
    }
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
        QMessageBox report(QMessageBox::Critical, tavrinWindowTitle(), text, QMessageBox::Ok,
                           &splash);
        report.setObjectName(u"StartUpError"_s);
        report.setWindowModality(Qt::ApplicationModal);
        MessageBox::exec(report);
        splash.close();
        return false;
    }

    splash.close();
    outcome.mainWindow->show();
    return true;
}
