#include "program.h"

#include "mainwindow.h"
#include "splashwindow.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QSessionManager>

#include <memory>

int runProgram(const QString &programFolder, const std::function<void(MainWindow &)> &whenShown)
{
    // The window is created and loaded behind the splash; a start-up error is reported while
    // the splash is still up, and then no window was ever shown and nothing was written.
    std::unique_ptr<MainWindow> loaded;
    const bool started = startWithSplash([&]() -> StartUpOutcome {
        loaded = std::make_unique<MainWindow>();
        if (const std::optional<FileError> error = loaded->load(programFolder)) {
            return {nullptr, error->message()};
        }
        return {loaded.get(), {}};
    });
    if (!started) {
        return 1;
    }
    MainWindow &window = *loaded;

    // Every way out closes the window, and closing it saves the settings; the end of the
    // desktop session saves without closing, since the seller may still cancel it.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &window, &QWidget::close);
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &manager) {
                         window.saveForSessionEnd(manager.allowsInteraction());
                         manager.release();
                     });
#endif

    if (whenShown) {
        whenShown(window);
    }
    const int status = QApplication::exec();
    // The event loop can end without the window closing (the application told to quit); the
    // close saves, once, all the same.
    window.close();
    return window.saveFailed() ? 1 : status;
}
