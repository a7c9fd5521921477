#include "program.h"

#include "mainwindow.h"
#include "seams.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QSessionManager>

int runProgram(const QString &programFolder, const std::function<void(MainWindow &)> &whenShown)
{
    MainWindow window;
    if (const std::optional<FileError> error = window.load(programFolder)) {
        MessageBox::showError(nullptr, window.windowTitle(), error->message());
        return 1;
    }

    // Every way out closes the window, and closing it saves the settings.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &window, &QWidget::close);
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.close(); });
#endif

    window.show();
    if (whenShown) {
        whenShown(window);
    }
    const int status = QApplication::exec();
    return window.saveFailed() ? 1 : status;
}
