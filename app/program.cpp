#include "program.h"

#include "mainwindow.h"
#include "seams.h"
#include "splashwindow.h"
#include "terminationsignals.h"
#include "windowtitle.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSessionManager>

#include <memory>

using namespace Qt::StringLiterals;

QString programFolderLockPath(const QString &programFolder)
{
    // One name for one folder however it is written: through links, "..", or in other case
    // where the file system ignores it.
    QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty()) {
        folder = QDir::cleanPath(programFolder);
    }
#if defined(Q_OS_WIN)
    folder = folder.toLower();
#endif
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::temp().filePath(u"tavrin-%1.lock"_s.arg(QString::fromLatin1(hash)));
}

int runProgram(const QString &programFolder, const std::function<void(MainWindow &)> &whenShown)
{
    // Two windows on one folder would each save their own settings over the other's.
    QLockFile lock(programFolderLockPath(programFolder));
    lock.setStaleLockTime(0);
    // Where no lock can be made at all (no temporary folder), the seller is not kept out.
    if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
        MessageBox::showError(nullptr, tavrinWindowTitle(),
                              u"Tavrin is already running with the settings in the folder "
                              u"\"%1\". Use that window, or close it before starting again."_s.arg(
                                  QDir::toNativeSeparators(QDir::cleanPath(programFolder))));
        return 1;
    }

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
