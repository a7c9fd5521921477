// The program's own way in, from the data files in the folder given: it reports when its
// splash is on the screen and when its main window is on the screen and idle. It then quits,
// or, given "close", closes the window as the seller would; either way the program saves what
// it read, so every run starts from the same files.
#include "mainwindow.h"
#include "program.h"
#include "readiness.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool close = argc > 2 && qstrcmp(argv[2], "close") == 0;
    // The splash is the first window the program shows.
    FirstFrame splashPainted;
    std::unique_ptr<Readiness> readiness;
    return runProgram(folder, [&readiness, close](MainWindow &window) {
        readiness = std::make_unique<Readiness>(window, [&window, close] {
            if (close) {
                window.close();
            } else {
                QCoreApplication::exit(0);
            }
        });
    });
}
